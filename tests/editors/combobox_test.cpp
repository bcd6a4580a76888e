// The combo box editor: key mode (the field gets the key), completion and search while typing on
// Latin and Cyrillic items, stepping through the items, NotInList, and the drop-down list.
#include <gtest/gtest.h>

#include "framework/rtl/Text.h"
#include "framework/ui/Clipbrd.h"
#include "numberedit_fixture.h"

using namespace editorstest;
using namespace editors;
using rtl::Variant;

namespace {

AnsiString Ru(const char8_t* S) { return rtl::UTF8ToAnsi(S); }

std::vector<memdstest::TCol> ComboCols() {
    using namespace store;
    return {{u"kind", mdtString, 6, 5, true}, {u"name", mdtString, 21, 20}, {u"opt", mdtString, 6, 5}};
}

class ComboBoxTest : public EditorFormTest {
protected:
    void SetUp() override {
        EditorFormTest::SetUp();
        Data.DS->Open();
        Src = rtl::Create<db::TDataSource>(Form);
        Src->SetDataSet(Data.DS.get());
        Combo = rtl::Create<TDBComboBoxEh>(Form);
        Combo->SetName("Combo");
        SetUpForm(Combo);
    }
    void Fill(std::initializer_list<const char*> Items, std::initializer_list<const char*> Keys = {}) {
        Combo->Items()->Clear();
        for (const char* s : Items) Combo->Items()->Add(s);
        Combo->KeyItems()->Clear();
        for (const char* s : Keys) Combo->KeyItems()->Add(s);
    }
    void Bind(const char* Name) {
        Combo->SetDataSource(Src);
        Combo->SetDataField(Name);
    }
    TFixture Data{ComboCols(), {{Variant(AnsiString("2")), Variant(AnsiString("Anna")), Variant::Null()}}};
    db::TDataSource* Src = nullptr;
    TDBComboBoxEh* Combo = nullptr;
};

TEST_F(ComboBoxTest, KeyModeShowsTheItemOfTheKeyAndKeepsAKeyWithoutOne) {
    Fill({"Alpha", "Beta", "Gamma"}, {"1", "2"});
    EXPECT_TRUE(Combo->KeyMode());
    EXPECT_EQ(Combo->ListedCount(), 2);
    Combo->SetValue(Variant(AnsiString("2")));
    EXPECT_EQ(Combo->EditText(), "Beta");
    EXPECT_EQ(Combo->ItemIndex(), 1);
    Combo->SetValue(Variant(AnsiString("3")));
    EXPECT_EQ(Combo->EditText(), "");
    EXPECT_EQ(Combo->Value(), Variant(AnsiString("3"))) << "a missing key stays the Value";
    Combo->SetItemIndex(2);
    EXPECT_EQ(Combo->ItemIndex(), -1) << "Gamma has no key";
    EXPECT_TRUE(Combo->Value().IsNull());
}

TEST_F(ComboBoxTest, BoundInKeyModeTheFieldGetsTheKeyAndTypingSearchesTheItems) {
    Fill({"Open", "Closed"}, {"0", "1"});
    Bind("opt");
    EXPECT_EQ(Combo->EditText(), "");
    Focus(Combo);
    EXPECT_TRUE(Combo->WindowReadOnly()) << "key mode never types into the text";
    Type("c");
    EXPECT_EQ(Combo->EditText(), "Closed");
    EXPECT_EQ(Combo->Value(), Variant(AnsiString("1")));
    Type("x");
    EXPECT_EQ(Combo->EditText(), "Closed") << "no item starts with cx: the choice stays";
    Focus(Other);
    EXPECT_EQ(Data.F("opt")->AsString(), "1");

    Focus(Combo);
    Key(ui::VK_DELETE);
    EXPECT_TRUE(Combo->Value().IsNull()) << "Del clears a field that is not required";
    Focus(Other);
    EXPECT_EQ(Data.F("opt")->AsString(), "") << "the key's text, empty";
}

TEST_F(ComboBoxTest, DelDoesNothingOnARequiredField) {
    Fill({"One", "Two"}, {"1", "2"});
    Bind("kind");
    EXPECT_EQ(Combo->EditText(), "Two");
    Focus(Combo);
    Key(ui::VK_DELETE);
    EXPECT_EQ(Combo->Value(), Variant(AnsiString("2")));
    EXPECT_EQ(Combo->EditText(), "Two");
}

TEST_F(ComboBoxTest, WithoutKeysTypingAtTheEndCompletesFromTheItems) {
    Fill({"Alpha", "Beta", "Alpine"});
    Focus(Combo);
    Type("Al");
    EXPECT_EQ(Combo->EditText(), "Alpha");
    EXPECT_EQ(Combo->SelStart(), 2);
    EXPECT_EQ(Combo->SelLength(), 3);
    EXPECT_EQ(Combo->ItemIndex(), 0);
    Type("pi");
    EXPECT_EQ(Combo->EditText(), "Alpine");
    Type("z");
    EXPECT_EQ(Combo->EditText(), "Alpiz");
    EXPECT_EQ(Combo->ItemIndex(), -1);
    Focus(Other);
    EXPECT_EQ(Combo->Value(), Variant(AnsiString("Alpiz"))) << "a text not in the list is kept";
}

TEST_F(ComboBoxTest, CyrillicItemsAreFoundWithoutRegardToCase) {
    Combo->Items()->Add(Ru(u8"Архив"));
    Combo->Items()->Add(Ru(u8"Белов"));
    Combo->Items()->Add(Ru(u8"Ёлкин"));
    Combo->KeyItems()->Add("1");
    Combo->KeyItems()->Add("2");
    Combo->KeyItems()->Add("3");
    struct TCase {
        AnsiString Text;
        bool Partial;
        int Index;
    } cases[] = {
        {Ru(u8"бе"), true, 1}, {Ru(u8"БЕЛОВ"), false, 1}, {Ru(u8"ар"), true, 0},
        {Ru(u8"ёл"), true, 2}, {Ru(u8"Бел"), false, 2},   // not found: key mode keeps the selection
    };
    for (const auto& c : cases) {
        Combo->LocateText(c.Text, c.Partial);
        EXPECT_EQ(Combo->ItemIndex(), c.Index) << rtl::AnsiToUTF8(c.Text);
    }
    Focus(Combo);
    Combo->SetValue(Variant::Null());
    for (char ch : Ru(u8"ёЛ")) ui::CharInput(ch);
    Pump();
    EXPECT_EQ(Combo->EditText(), Ru(u8"Ёлкин"));
    EXPECT_EQ(Combo->Value(), Variant(AnsiString("3")));
}

TEST_F(ComboBoxTest, UpAndDownStepThroughTheListedItems) {
    Fill({"A", "B", "C"}, {"a", "b"});
    Focus(Combo);
    Key(ui::VK_DOWN);
    EXPECT_EQ(Combo->ItemIndex(), 0) << "nothing selected: Down takes the first";
    Key(ui::VK_DOWN);
    Key(ui::VK_DOWN);
    EXPECT_EQ(Combo->ItemIndex(), 1) << "C has no key and is not reached";
    Combo->SetValue(Variant::Null());
    Key(ui::VK_UP);
    EXPECT_EQ(Combo->ItemIndex(), 1) << "nothing selected: Up takes the last";
    Key(ui::VK_UP);
    Key(ui::VK_UP);
    EXPECT_EQ(Combo->ItemIndex(), 0);
    ui::MouseWheelInput(-120, At(Combo, 5, 5));
    Pump();
    EXPECT_EQ(Combo->ItemIndex(), 1);
}

TEST_F(ComboBoxTest, AnEditorBoundByNameWithoutADataSourceRefusesWritesByCode) {
    Fill({"One", "Two"}, {"1", "2"});
    Combo->SetDataField("kind");
    EXPECT_THROW(Combo->SetItemIndex(1), db::EDatabaseError);
    EXPECT_THROW(Combo->SetValue(Variant(AnsiString("1"))), db::EDatabaseError);
    EXPECT_EQ(Combo->ItemIndex(), -1);
    EXPECT_EQ(Combo->EditText(), "");
}

TEST_F(ComboBoxTest, NotInListHearsATextOutsideTheItemsOnWriteBack) {
    Fill({"Anna", "Boris"});
    Bind("name");
    std::vector<std::string> heard;
    Combo->OnNotInList = [&](rtl::TObject*, const AnsiString& Text, bool&) { heard.push_back(Text); };
    Combo->SetText("Boris");
    Combo->SetText("Vera");
    EXPECT_EQ(heard, std::vector<std::string>{"Vera"});
    EXPECT_EQ(Data.F("name")->AsString(), "Vera");
}

TEST_F(ComboBoxTest, TheListShowsEveryItemAndAcceptsOnlyKeyedOnes) {
    Fill({"Alpha", "Beta", "A much longer item text"}, {"1", "2"});
    Combo->DropDownBox()->Width = -1;
    Focus(Combo);
    Combo->DropDown();
    Pump();
    ASSERT_TRUE(Combo->ListOpen());
    TPopupListboxEh* list = Combo->PopupList();
    EXPECT_EQ(list->Items()->Count(), 3) << "every item is shown";
    EXPECT_GE(list->Width(), Combo->Width());
    Key(ui::VK_DOWN);  // goes to the list
    Key(ui::VK_DOWN);
    EXPECT_EQ(list->ItemIndex(), 1);
    EXPECT_EQ(Combo->ItemIndex(), -1) << "the editor waits for the choice";
    Key(ui::VK_RETURN, '\r');
    EXPECT_FALSE(Combo->ListOpen());
    EXPECT_EQ(Combo->Value(), Variant(AnsiString("2")));

    Combo->DropDown();
    Pump();
    Key(ui::VK_DOWN);
    Key(ui::VK_RETURN, '\r');
    EXPECT_EQ(Combo->ItemIndex(), -1) << "the third item has no key";
    EXPECT_TRUE(Combo->Value().IsNull());

    Combo->DropDown();
    Pump();
    Key(ui::VK_ESCAPE, '\x1B');
    EXPECT_FALSE(Combo->ListOpen());
}

TEST_F(ComboBoxTest, AListWiderThanTheEditorOrResizedKeepsItsSize) {
    Fill({"x", "y"});
    Combo->DropDownBox()->Width = -1;
    Combo->DropDown();
    Pump();
    EXPECT_EQ(Combo->PopupList()->Width(), Combo->Width()) << "never narrower than the editor";
    Combo->CloseUp(false);

    Combo->DropDownBox()->Sizable = true;
    Combo->DropDown();
    Pump();
    Combo->PopupList()->SetBounds(Combo->PopupList()->Left(), Combo->PopupList()->Top(), 260, 120);
    Combo->CloseUp(false);
    EXPECT_EQ(Combo->DropDownBox()->Width, 260);
    Combo->DropDown();
    Pump();
    EXPECT_EQ(Combo->PopupList()->Width(), 260);
}

TEST_F(ComboBoxTest, APasteInKeyModeSearchesTheItemsAndOneWithoutA1251FormIsRefused) {
    Fill({"Alpha", "Beta", "?eta"}, {"1", "2", "3"});
    Focus(Combo);
    ui::Clipboard()->SetAsWideText(u"be");
    Combo->PasteFromClipboard();
    Pump();
    EXPECT_EQ(Combo->ItemIndex(), 1);
    EXPECT_EQ(Combo->Value(), Variant(AnsiString("2")));

    // Read as '?' it would find the third item: it is refused instead, and the choice stays.
    Combo->SetSelStart(0);
    const int beeps = ui::MessageBeepCount();
    ui::Clipboard()->SetAsWideText(u"\u4E2Deta");
    Combo->PasteFromClipboard();
    Pump();
    EXPECT_EQ(ui::MessageBeepCount(), beeps + 1);
    EXPECT_EQ(Combo->ItemIndex(), 1);
    EXPECT_EQ(Combo->Value(), Variant(AnsiString("2")));
}

TEST_F(ComboBoxTest, OverAKeyModeEditorTheCursorIsTheArrowEverywhere) {
    const ui::TPoint text = At(Combo, 10, Combo->ClientHeight() / 2);
    ui::MouseInput(ui::WM_MOUSEMOVE, text);
    EXPECT_EQ(ui::GetCursorShape(), ui::crIBeam) << "a text editor shows the text cursor";
    Fill({"Alpha", "Beta"}, {"1", "2"});
    ui::MouseInput(ui::WM_MOUSEMOVE, At(Other, 5, 5));
    ui::MouseInput(ui::WM_MOUSEMOVE, text);
    EXPECT_EQ(ui::GetCursorShape(), ui::crArrow);
}

TEST_F(ComboBoxTest, ADragFromTheButtonIntoTheOpenListChoosesTheItemReleasedOn) {
    Fill({"Alpha", "Beta", "Gamma"}, {"1", "2", "3"});
    Focus(Combo);
    TEditButtonControlEh* button = Combo->ButtonControls().front().EditButtonControl;
    ui::MouseInput(ui::WM_LBUTTONDOWN, At(button, button->Width() / 2, button->Height() / 2));
    Pump();
    ASSERT_TRUE(Combo->ListOpen());
    TPopupListboxEh* list = Combo->PopupList();
    EXPECT_TRUE(button->MouseCapture()) << "the pressed button keeps the mouse";
    const ui::TRect item = list->ItemRect(2);
    const ui::TPoint over = At(list, item.Left + 5, item.Top + item.Height() / 2);
    ui::MouseInput(ui::WM_MOUSEMOVE, over);
    Pump();
    EXPECT_FALSE(button->MouseCapture()) << "the list took the drag over";
    ui::MouseInput(ui::WM_LBUTTONUP, over);
    Pump();
    EXPECT_FALSE(Combo->ListOpen());
    EXPECT_EQ(Combo->ItemIndex(), 2);
    EXPECT_EQ(Combo->Value(), Variant(AnsiString("3")));
}

TEST_F(ComboBoxTest, TheWheelScrollsTheOpenListAndAltDownClosesItWithoutChoosing) {
    for (int i = 0; i < 20; ++i) Combo->Items()->Add("item" + std::to_string(i));
    Combo->SetItemIndex(0);
    Focus(Combo);
    Combo->DropDown();
    Pump();
    TPopupListboxEh* list = Combo->PopupList();
    ASSERT_EQ(list->TopIndex(), 0);
    ui::MouseWheelInput(-2 * 120, At(Combo, 5, 5));
    Pump();
    EXPECT_EQ(list->TopIndex(), 2);
    EXPECT_EQ(Combo->ItemIndex(), 0) << "the wheel went to the list";
    Key(ui::VK_DOWN);
    EXPECT_EQ(list->ItemIndex(), 1);

    ui::KeyInput(ui::VK_MENU, true);
    ui::KeyPressInput(ui::VK_DOWN);
    ui::KeyInput(ui::VK_MENU, false);
    Pump();
    EXPECT_FALSE(Combo->ListOpen()) << "the main button's shortcut is not the list's key";
    EXPECT_EQ(Combo->ItemIndex(), 0);
}

}  // namespace
