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

namespace uitest {
namespace {

// A form with a main menu: "&Файл" (Открыть Ctrl+O, a line, a disabled item, a submenu, В&ыход),
// "&Правка" (Копировать, and Вставить in a column of its own) and "Справка" without sub-items.
std::string U(const char8_t* Utf8) { return reinterpret_cast<const char*>(Utf8); }

class MenuBarTest : public MenuTest {
protected:
    void SetUp() override {
        MenuTest::SetUp();
        Edit = rtl::Create<TEdit>(Form);
        Edit->SetParent(Form);
        Menu = rtl::Create<TMainMenu>(Form);
        TMenuItem* file = Item(Menu->Items(), Cp(u8"&Файл"));
        Item(file, Cp(u8"&Открыть"))->SetShortCut(ShortCut('O', {ssCtrl}));
        Item(file, "-");
        Item(file, Cp(u8"Печать"))->SetEnabled(false);
        TMenuItem* recent = Item(file, Cp(u8"&Недавние"));
        Item(recent, Cp(u8"Один"));
        Item(recent, Cp(u8"Два"));
        Item(file, Cp(u8"В&ыход"));
        TMenuItem* edit = Item(Menu->Items(), Cp(u8"&Правка"));
        Item(edit, Cp(u8"Копировать"));
        Item(edit, Cp(u8"Вставить"))->SetBreak(mbBarBreak);
        Item(Menu->Items(), Cp(u8"Справка"));
        Watch(Menu->Items());
        Form->Show();
        Edit->SetFocus();
        Pump();
    }
    void TearDown() override {
        EndMenu();
        MenuTest::TearDown();
    }
    // Every item logs its click with whether the menu had closed by then.
    void Watch(TMenuItem* Parent) {
        for (int i = 0; i < Parent->Count(); ++i) {
            TMenuItem* item = Parent->Items(i);
            item->OnClick = [this, item](TObject*) {
                Clicks += (Clicks.empty() ? "" : " ") + rtl::AnsiToUTF8(StripHotkey(item->Caption())) +
                          (MenuActive() ? "(menu open)" : "");
            };
            Watch(item);
        }
    }
    // "bar=Файл /Открыть /-": the bar's item, then each open level's selected item.
    static std::string State() {
        const detail::TMenuModeState s = detail::MenuModeState();
        if (!MenuActive()) return "-";
        std::string out = "bar=";
        out += s.Form && s.BarIndex >= 0
                   ? rtl::AnsiToUTF8(StripHotkey(s.Form->Menu()->Items()->Items(s.BarIndex)->Caption()))
                   : "-";
        for (size_t i = 0; i < s.Parents.size(); ++i)
            out +=
                " /" + (s.Selected[i] >= 0 ? rtl::AnsiToUTF8(StripHotkey(s.Parents[i]->Items(s.Selected[i])->Caption()))
                                           : "-");
        return out;
    }

public:
    void Alt() {
        KeyInput(VK_MENU, true);
        KeyInput(VK_MENU, false);
        Pump();
    }
    void AltLetter(const char8_t* Letter, uint16_t Key) {
        KeyInput(VK_MENU, true);
        KeyPressInput(Key, Cp(Letter)[0]);
        KeyInput(VK_MENU, false);
        Pump();
    }
    void Press(uint16_t Key) {
        KeyPressInput(Key);
        Pump();
    }

protected:
    TEdit* Edit = nullptr;
    TMainMenu* Menu = nullptr;
    std::string Clicks;
};

TEST_F(MenuBarTest, TheClientAreaStartsBelowTheBar) {
    const TRect bar = Form->MenuBarRect();
    EXPECT_GT(bar.Height(), 10);
    EXPECT_EQ(Form->ClientToScreen(Point(0, 0)).Y - Form->WindowRectOnScreen().Top, bar.Height());
    EXPECT_EQ(Form->ClientHeight(), Form->Height() - bar.Height());
    EXPECT_EQ(SendMessage(Form->Handle(), WM_NCHITTEST, 0, PointToLParam(Form->Left() + 5, Form->Top() + 3)), HTMENU);
    // A menu with no item shows no bar.
    Menu->Items()->Clear();
    EXPECT_TRUE(Form->MenuBarRect().IsEmpty());
    EXPECT_EQ(Form->ClientHeight(), Form->Height());
}

TEST_F(MenuBarTest, TheKeyboardWalksTheBarAndItsMenus) {
    struct TStep {
        std::function<void(MenuBarTest*)> Do;
        const char* State;
    };
    const auto press = [](uint16_t K) { return [K](MenuBarTest* T) { T->Press(K); }; };
    const auto alt = [](MenuBarTest* T) { T->Alt(); };
    const std::vector<std::pair<const char*, std::vector<TStep>>> cases = {
        {"Alt selects the first item, arrows move along the bar and wrap, Esc leaves",
         {{alt, "bar=Файл"},
          {press(VK_RIGHT), "bar=Правка"},
          {press(VK_LEFT), "bar=Файл"},
          {press(VK_LEFT), "bar=Справка"},
          {press(VK_ESCAPE), "-"}}},
        {"F10 and Down open the menu; Down skips the line and the disabled item",
         {{press(VK_F10), "bar=Файл"},
          {press(VK_DOWN), "bar=Файл /Открыть"},
          {press(VK_DOWN), "bar=Файл /Недавние"},
          {press(VK_UP), "bar=Файл /Открыть"},
          {press(VK_UP), "bar=Файл /Выход"}}},
        {"Right opens a submenu, Left and Esc close one level each",
         {{alt, "bar=Файл"},
          {press(VK_RETURN), "bar=Файл /Открыть"},
          {press(VK_DOWN), "bar=Файл /Недавние"},
          {press(VK_RIGHT), "bar=Файл /Недавние /Один"},
          {press(VK_LEFT), "bar=Файл /Недавние"},
          {press(VK_RIGHT), "bar=Файл /Недавние /Один"},
          {press(VK_ESCAPE), "bar=Файл /Недавние"},
          {press(VK_ESCAPE), "bar=Файл"},
          {press(VK_ESCAPE), "-"}}},
        {"Right on an item without a submenu opens the next bar item's menu",
         {{alt, "bar=Файл"},
          {press(VK_DOWN), "bar=Файл /Открыть"},
          {press(VK_RIGHT), "bar=Правка /Копировать"},
          {press(VK_LEFT), "bar=Файл /Открыть"}}},
        {"Alt again leaves", {{alt, "bar=Файл"}, {alt, "-"}}},
    };
    for (const auto& [name, steps] : cases) {
        SCOPED_TRACE(name);
        for (size_t i = 0; i < steps.size(); ++i) {
            steps[i].Do(this);
            EXPECT_EQ(State(), steps[i].State) << "step " << i;
        }
        EndMenu();
    }
    EXPECT_EQ(Clicks, "");
    EXPECT_TRUE(Edit->Focused()) << "the menu never takes the focus";
    EXPECT_EQ(Edit->Text(), "") << "no key of the menu reached the edit";
}

TEST_F(MenuBarTest, EnterAndAcceleratorsPickAfterTheMenuHasClosed) {
    Press(VK_F10);
    Press(VK_DOWN);
    Press(VK_RETURN);
    EXPECT_EQ(State(), "-");
    EXPECT_EQ(Clicks, U(u8"Открыть"));
    // Alt+letter from the edit opens the bar item; a letter in the menu picks its item.
    Clicks.clear();
    AltLetter(u8"ф", 'A');
    EXPECT_EQ(State(), "bar=Файл /Открыть");
    KeyPressInput('S', Cp(u8"ы")[0]);
    Pump();
    EXPECT_EQ(State(), "-");
    EXPECT_EQ(Clicks, U(u8"Выход"));
    // A bar item without sub-items is picked at once.
    Clicks.clear();
    Press(VK_F10);
    Press(VK_LEFT);
    Press(VK_RETURN);
    EXPECT_EQ(Clicks, U(u8"Справка"));
    EXPECT_EQ(Edit->Text(), "");
    // The shortcut still runs the item with the bar closed.
    Clicks.clear();
    Stroke(CK('O'));
    EXPECT_EQ(Clicks, U(u8"Открыть"));
}

TEST_F(MenuBarTest, TheMouseOpensTracksAndPicks) {
    const TRect w = Form->WindowRectOnScreen();
    const std::vector<TRect> items = detail::MenuBarItems(Menu, Form, Form->Width());
    const auto onBar = [&](int I) {
        return Point(w.Left + items[size_t(I)].Left + 5, w.Top + items[size_t(I)].Top + 5);
    };
    MouseInput(WM_LBUTTONDOWN, onBar(0));
    MouseInput(WM_LBUTTONUP, onBar(0));
    Pump();
    EXPECT_EQ(State(), "bar=Файл /-");
    // Moving along the bar opens the other menu.
    MouseInput(WM_MOUSEMOVE, onBar(1));
    Pump();
    EXPECT_EQ(State(), "bar=Правка /-");
    MouseInput(WM_MOUSEMOVE, onBar(0));
    Pump();
    TWinControl* drop = detail::MenuModeState().Windows.at(0);
    EXPECT_TRUE(drop->IsWindowVisible());
    EXPECT_GE(drop->Top(), w.Top + items[0].Bottom) << "the menu opens under the bar";
    // Hovering a submenu's item opens it; a click on its item picks it.
    const int row = drop->ClientHeight() / 5;  // two plain rows, a line and two more: roughly
    TPoint p = drop->ClientToScreen(Point(20, 2));
    for (; p.Y < drop->WindowRectOnScreen().Bottom; p.Y += 2) {
        MouseInput(WM_MOUSEMOVE, p);
        Pump();
        if (State() == "bar=Файл /Недавние") break;
    }
    // It opens once the mouse has rested a moment, not while it passes over.
    ASSERT_EQ(State(), "bar=Файл /Недавние") << row;
    Clock.Advance(100);
    Pump();
    EXPECT_EQ(State(), "bar=Файл /Недавние");
    Clock.Advance(400);
    Pump();
    ASSERT_EQ(State(), "bar=Файл /Недавние /-");
    // Resting on another item closes the submenu that was open; coming back opens it again.
    MouseInput(WM_MOUSEMOVE, drop->ClientToScreen(Point(20, 4)));
    Pump();
    EXPECT_EQ(State(), "bar=Файл /Открыть /-");
    Clock.Advance(500);
    Pump();
    EXPECT_EQ(State(), "bar=Файл /Открыть");
    MouseInput(WM_MOUSEMOVE, p);
    Pump();
    Clock.Advance(500);
    Pump();
    ASSERT_EQ(State(), "bar=Файл /Недавние /-");
    TWinControl* sub = detail::MenuModeState().Windows.at(1);
    EXPECT_GE(sub->Left(), drop->WindowRectOnScreen().Right - 4) << "the submenu opens to the right";
    const TPoint two = sub->ClientToScreen(Point(20, sub->ClientHeight() * 3 / 4));
    MouseInput(WM_MOUSEMOVE, two);
    MouseInput(WM_LBUTTONDOWN, two);
    MouseInput(WM_LBUTTONUP, two);
    Pump();
    EXPECT_EQ(State(), "-");
    EXPECT_EQ(Clicks, U(u8"Два"));
    EXPECT_FALSE(drop->IsWindowVisible());
    // A press outside closes the menu and goes no further.
    MouseInput(WM_LBUTTONDOWN, onBar(1));
    MouseInput(WM_LBUTTONUP, onBar(1));
    Pump();
    EXPECT_EQ(State(), "bar=Правка /-");
    MouseInput(WM_LBUTTONDOWN, At(Edit, 30, 5));
    MouseInput(WM_LBUTTONUP, At(Edit, 30, 5));
    Pump();
    EXPECT_EQ(State(), "-");
    // A press on the open item closes it.
    MouseInput(WM_LBUTTONDOWN, onBar(0));
    Pump();
    EXPECT_EQ(State(), "bar=Файл /-");
    MouseInput(WM_LBUTTONUP, onBar(0));
    MouseInput(WM_LBUTTONDOWN, onBar(0));
    MouseInput(WM_LBUTTONUP, onBar(0));
    Pump();
    EXPECT_EQ(State(), "-");
    EXPECT_EQ(Clicks, U(u8"Два"));
}

// Ctrl with Alt is how many layouts reach their third level (AltGr): the character is typed;
// Ctrl alone gives the control code; Alt alone belongs to the menu.
TEST_F(MenuBarTest, CtrlAltTypesTheCharacterWhileCtrlGivesTheControlCode) {
    const char euro = '\x88';
    struct TCase {
        const char* Name;
        std::vector<uint16_t> Held;
        uint16_t Key;
        char Char;
        std::string Text;  // the edit's text after, from "ab"
        bool Menu;
    } cases[] = {
        {"Ctrl+Alt types the character", {VK_CONTROL, VK_MENU}, 'E', euro, std::string("ab") + euro, false},
        {"Alt then Ctrl types it too", {VK_MENU, VK_CONTROL}, 'Q', '@', "ab@", false},
        {"Ctrl alone gives the control code (select all)", {VK_CONTROL}, 'A', 0, "ab", false},
        {"Ctrl+Alt pressed and let go alone is not the menu", {VK_CONTROL, VK_MENU}, 0, 0, "ab", false},
        {"Alt alone is the menu", {VK_MENU}, 0, 0, "ab", true},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        Edit->SetText("ab");
        Edit->SetSelStart(2);
        for (uint16_t k : c.Held) KeyInput(k, true);
        if (c.Key) KeyPressInput(c.Key, c.Char);
        for (auto k = c.Held.rbegin(); k != c.Held.rend(); ++k) KeyInput(*k, false);
        Pump();
        EXPECT_EQ(Edit->Text(), c.Text);
        EXPECT_EQ(MenuActive(), c.Menu);
        if (c.Key == 'A') {
            EXPECT_EQ(Edit->SelLength(), 2);
        }
        EndMenu();
    }
}

TEST_F(MenuBarTest, TheItemUnderTheMouseIsHotUntilTheMouseLeavesTheBar) {
    const TRect w = Form->WindowRectOnScreen();
    const std::vector<TRect> items = detail::MenuBarItems(Menu, Form, Form->Width());
    const auto onBar = [&](int I) {
        return Point(w.Left + items[size_t(I)].Left + 5, w.Top + items[size_t(I)].Top + 5);
    };
    auto& rec = *static_cast<TRecordingSurface*>(Form->Surface());
    // The bar items drawn hot since the last look.
    const auto hot = [&] {
        std::vector<int> out;
        Pump();
        for (const TDrawRecord* r : rec.OfKind(TDrawOp::FillRect))
            for (size_t i = 0; i < items.size(); ++i)
                if (r->Rect == items[i] && r->Brush.Color == static_cast<TColor>(ColorToRGB(clHighlight)))
                    out.push_back(int(i));
        rec.Clear();
        return out;
    };
    using V = std::vector<int>;
    hot();
    MouseInput(WM_MOUSEMOVE, onBar(1));
    EXPECT_EQ(hot(), V{1});
    MouseInput(WM_MOUSEMOVE, onBar(0));
    EXPECT_EQ(hot(), V{0});
    EXPECT_EQ(State(), "-") << "hovering does not enter the menu mode";
    // Into the client area, off every window, onto another form's frame: the bar is drawn plain.
    const std::vector<std::function<void()>> leaves = {
        [&] { MouseInput(WM_MOUSEMOVE, At(Edit, 5, 5)); },
        [&] { MouseInput(WM_MOUSEMOVE, Point(w.Right + 300, w.Bottom + 300)); },
        [&] {
            TForm* other = MakeForm("Other");
            other->Show();
            Pump();
            MouseInput(WM_MOUSEMOVE, other->WindowRectOnScreen().TopLeft());
        },
    };
    for (size_t i = 0; i < leaves.size(); ++i) {
        MouseInput(WM_MOUSEMOVE, onBar(2));
        EXPECT_EQ(hot(), V{2}) << i;
        leaves[i]();
        Pump();
        EXPECT_EQ(hot(), V{}) << i;
        EXPECT_FALSE(Form->NeedsPaint()) << i;
    }
    // A disabled item is not drawn hot; entering the menu mode hands the highlight to it.
    Form->SetFocus();
    Edit->SetFocus();
    Menu->Items()->Items(2)->SetEnabled(false);
    MouseInput(WM_MOUSEMOVE, onBar(2));
    EXPECT_EQ(hot(), V{});
    MouseInput(WM_MOUSEMOVE, onBar(1));
    EXPECT_EQ(hot(), V{1});
    KeyPressInput(VK_F10);
    EXPECT_EQ(hot(), V{0});
    EXPECT_EQ(State(), "bar=Файл");
}

TEST_F(MenuBarTest, ItemsShowTheirPictureFromTheMenusImages) {
    // Two 20x20 pictures; the rows grow to hold them.
    TCustomImageList* images = TCustomImageList::CreateSize(20, 20);
    images->SetName("Pictures");
    TBitmap strip;
    strip.SetSize(40, 20);
    strip.Canvas()->Brush()->SetColor(clRed);
    strip.Canvas()->FillRect(Rect(0, 0, 40, 20));
    images->AddMasked(&strip, clFuchsia);
    Menu->SetImages(images);
    TMenuItem* file = Menu->Items()->Items(0);
    file->Items(0)->SetImageIndex(1);  // Открыть
    file->Items(2)->SetImageIndex(0);  // Печать, disabled
    file->Items(4)->SetImageIndex(7);  // Выход: no such picture
    file->Items(4)->SetChecked(true);
    Press(VK_F10);
    Press(VK_DOWN);
    ASSERT_EQ(State(), "bar=Файл /Открыть");
    TWinControl* drop = detail::MenuModeState().Windows.at(0);
    auto& rec = *static_cast<TRecordingSurface*>(drop->Surface());
    rec.Clear();
    drop->Repaint();
    // Blits of 20x20 pictures, by the row (20 pixels high or more) they sit in.
    std::vector<int> rows;
    const int rowHeight = 26;
    for (const TDrawRecord* r : rec.OfKind(TDrawOp::Blit))
        if (r->Rect.Width() == 20 && r->Rect.Height() == 20)
            rows.push_back((r->Rect.Top + r->Rect.Height() / 2) / rowHeight);
    // One for the enabled item; the disabled one's embossed in two; none for a missing picture
    // (the ticked item shows its tick).
    EXPECT_EQ(rows, (std::vector<int>{0, 1, 1}));
    EXPECT_GE(drop->ClientHeight(), 4 * rowHeight) << "rows as high as the pictures";
    // The image list going leaves the menu without pictures.
    images->Free();
    EXPECT_EQ(Menu->Images(), nullptr);
    rec.Clear();
    drop->Repaint();
    for (const TDrawRecord* r : rec.OfKind(TDrawOp::Blit)) EXPECT_NE(r->Rect.Width(), 20);
}

TEST_F(MenuBarTest, AnItemWithABreakStartsAColumn) {
    Press(VK_F10);
    Press(VK_RIGHT);
    Press(VK_DOWN);
    ASSERT_EQ(State(), "bar=Правка /Копировать");
    TWinControl* drop = detail::MenuModeState().Windows.at(0);
    const int w = drop->ClientWidth(), h = drop->ClientHeight();
    EXPECT_LT(h, 40) << "one row high";
    MouseInput(WM_MOUSEMOVE, drop->ClientToScreen(Point(w * 3 / 4, h / 2)));
    Pump();
    EXPECT_EQ(State(), "bar=Правка /Вставить");
    MouseInput(WM_MOUSEMOVE, drop->ClientToScreen(Point(w / 4, h / 2)));
    Pump();
    EXPECT_EQ(State(), "bar=Правка /Копировать");
    Press(VK_DOWN);
    EXPECT_EQ(State(), "bar=Правка /Вставить");
    // Left and Right step between the columns first, then along the bar.
    Press(VK_LEFT);
    EXPECT_EQ(State(), "bar=Правка /Копировать");
    Press(VK_RIGHT);
    EXPECT_EQ(State(), "bar=Правка /Вставить");
    Press(VK_LEFT);
    Press(VK_LEFT);
    EXPECT_EQ(State().rfind("bar=Файл /", 0), 0u) << State();
}

TEST_F(MenuBarTest, APopupMenuRunsItsOwnLoopAndHandsBackTheItem) {
    auto* pm = rtl::Create<TPopupMenu>(Form);
    TMenuItem* a = Item(pm->Items(), "A");
    Item(pm->Items(), "-");
    TMenuItem* b = Item(pm->Items(), Cp(u8"&Б"));
    std::string got;
    for (TMenuItem* i : {a, b})
        i->OnClick = [&, i](TObject*) { got = rtl::AnsiToUTF8(i->Caption()) + (MenuActive() ? "(open)" : ""); };
    Edit->SetPopupMenu(pm);
    // The right button on the edit; the keys wait in the queue for the menu's loop.
    MouseInput(WM_RBUTTONDOWN, At(Edit, 10, 5));
    MouseInput(WM_RBUTTONUP, At(Edit, 10, 5));
    KeyPressInput(VK_DOWN);
    KeyPressInput(VK_DOWN);
    KeyPressInput(VK_RETURN);
    Pump();
    EXPECT_EQ(got, "&" + U(u8"Б"));
    EXPECT_FALSE(MenuActive());
    // Esc closes it with nothing chosen; with nothing left to handle and no display, it closes too.
    got.clear();
    KeyPressInput(VK_ESCAPE);
    pm->Popup(200, 200);
    EXPECT_EQ(got, "");
    pm->Popup(200, 200);
    EXPECT_FALSE(MenuActive());
    EXPECT_TRUE(Edit->Focused());
}

}  // namespace
}  // namespace uitest
