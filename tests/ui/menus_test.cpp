#include "edit_fixture.h"
#include "framework/ui/ActnList.h"
#include "framework/ui/Menus.h"
#include "framework/ui/StdCtrls.h"

namespace uitest {
namespace {

class MenuTest : public InputTest {
protected:
    TMenuItem* Item(TMenuItem* Parent, const rtl::AnsiString& Caption) {
        auto* i = rtl::Create<TMenuItem>(Form);
        i->SetCaption(Caption);
        Parent->Add(i);
        return i;
    }
};

TEST(ShortCutTest, TextRoundTrip) {
    struct Case {
        TShortCut Value;
        const char* Text;
    } cases[] = {
        {ShortCut('S', {ssCtrl}), "Ctrl+S"},
        {ShortCut(VK_F5, {ssShift}), "Shift+F5"},
        {ShortCut(VK_DELETE, {ssCtrl, ssAlt}), "Ctrl+Alt+Del"},
        {ShortCut(VK_INSERT, {}), "Ins"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ShortCutToText(c.Value), c.Text);
        EXPECT_EQ(TextToShortCut(c.Text), c.Value);
    }
    EXPECT_EQ(TextToShortCut("Ctrl+Nonsense"), 0);
}

TEST_F(MenuTest, MainMenuShortcutsRunItemsAndActionsWhereverTheFocusIs) {
    auto* edit = rtl::Create<TEdit>(Form);
    edit->SetParent(Form);
    auto* menu = rtl::Create<TMainMenu>(Form);
    auto* file = Item(menu->Items(), Cp(u8"&Файл"));
    auto* save = Item(file, Cp(u8"&Сохранить"));
    auto* print = Item(file, Cp(u8"Печать"));

    auto* actions = rtl::Create<TActionList>(Form);
    auto* aSave = rtl::Create<TAction>(Form);
    aSave->SetActionList(actions);
    aSave->SetCaption(Cp(u8"Сохранить запись"));
    aSave->SetShortCut(ShortCut('S', {ssCtrl}));
    int saved = 0;
    bool canSave = true;
    aSave->OnExecute = [&](TObject*) { ++saved; };
    aSave->OnUpdate = [&](TObject*) { aSave->SetEnabled(canSave); };
    save->SetAction(aSave);
    EXPECT_EQ(save->Caption(), Cp(u8"Сохранить запись"));
    EXPECT_EQ(save->ShortCut(), ShortCut('S', {ssCtrl}));

    int printed = 0;
    print->SetShortCut(ShortCut('P', {ssCtrl}));
    print->OnClick = [&](TObject*) { ++printed; };

    Form->Show();
    edit->SetFocus();
    Stroke(CK('S'));
    Stroke(CK('P'));
    EXPECT_EQ(saved, 1);
    EXPECT_EQ(printed, 1);
    EXPECT_EQ(edit->Text(), "");

    // OnUpdate disables the action: the shortcut is taken but nothing runs.
    canSave = false;
    Stroke(CK('S'));
    EXPECT_EQ(saved, 1);
    EXPECT_FALSE(save->Enabled());

    // An action with no menu item runs from its list's shortcut.
    auto* aFind = rtl::Create<TAction>(Form);
    aFind->SetActionList(actions);
    aFind->SetShortCut(ShortCut(VK_F3, {}));
    int found = 0;
    aFind->OnExecute = [&](TObject*) { ++found; };
    Stroke(K(VK_F3));
    EXPECT_EQ(found, 1);

    // Freed actions leave their items and list.
    aFind->Free();
    EXPECT_EQ(actions->ActionCount(), 1);
    aSave->Free();
    EXPECT_EQ(save->Action(), nullptr);
}

TEST_F(MenuTest, ItemsCheckRadioGroupsAndPopupChoosesThroughThePresenter) {
    auto* pm = rtl::Create<TPopupMenu>(Form);
    auto* a = Item(pm->Items(), "A");
    auto* b = Item(pm->Items(), "B");
    auto* line = Item(pm->Items(), "-");
    for (auto* i : {a, b}) {
        i->SetRadioItem(true);
        i->SetGroupIndex(1);
    }
    a->SetChecked(true);
    b->SetChecked(true);
    EXPECT_FALSE(a->Checked());
    EXPECT_TRUE(line->IsLine());
    EXPECT_EQ(pm->Items()->Find("&b"), b);

    int clicked = 0;
    b->OnClick = [&](TObject*) { ++clicked; };
    bool popped = false;
    pm->OnPopup = [&](TObject*) { popped = true; };
    TPopupMenu::SetPresenter([&](TPopupMenu* M, TPoint) { return M->Items()->Items(1); });
    pm->Popup(10, 20);
    TPopupMenu::SetPresenter(nullptr);
    EXPECT_TRUE(popped);
    EXPECT_EQ(clicked, 1);
    EXPECT_EQ(pm->PopupPoint(), Point(10, 20));
    b->SetEnabled(false);
    b->Click();
    EXPECT_EQ(clicked, 1);
    EXPECT_THROW(pm->Items()->Items(5), rtl::Exception);
}

}  // namespace
}  // namespace uitest

namespace {

TEST(MenuItemLook, BitmapBreakAndPopupAlignmentAreKept) {
    ui::TMenuItem item(nullptr);
    EXPECT_FALSE(item.HasBitmap());
    ui::TBitmap b;
    b.SetSize(16, 16);
    item.SetBitmap(&b);
    EXPECT_TRUE(item.HasBitmap());
    EXPECT_EQ(item.Bitmap()->Width(), 16);
    item.SetBreak(ui::mbBarBreak);
    EXPECT_EQ(item.Break(), ui::mbBarBreak);
    ui::TPopupMenu menu(nullptr);
    EXPECT_EQ(menu.Alignment(), ui::TPopupAlignment::paLeft);
    menu.SetAlignment(ui::TPopupAlignment::paRight);
    EXPECT_EQ(menu.Alignment(), ui::TPopupAlignment::paRight);
}

}  // namespace
