// The combo box editor: key mode (the field gets the key), completion and search while typing on
// Latin and Cyrillic items, stepping through the items, NotInList, and the drop-down list.
#include <gtest/gtest.h>

#include "framework/rtl/Text.h"
#include "framework/ui/Clipbrd.h"
#include "controls/editors/DBCtrlsEh_Editors.h"
#include "tests/support/editorform_fixture.h"

using namespace editorstest;
using namespace editors;
using rtl::Variant;

namespace {

AnsiString Ru(const char8_t* S) { return rtl::UTF8ToAnsi(S); }

std::vector<memdstest::TCol> ComboCols() {
    using namespace store;
    return {{u"kind", mdtString, 6, 5, true}, {u"name", mdtString, 21, 20}, {u"opt", mdtString, 6, 5}};
}

class ComboBoxTest : public BoundEditorTest<TDBComboBoxEh> {
protected:
    ComboBoxTest()
        : BoundEditorTest(ComboCols(), {{Variant(AnsiString("2")), Variant(AnsiString("Anna")), Variant::Null()}}) {}
    void SetUp() override {
        BoundEditorTest::SetUp();
        SetUpForm(CreateEditor("Combo"));
    }
    void Fill(std::initializer_list<const char*> Items, std::initializer_list<const char*> Keys = {}) {
        Edit->Items()->Clear();
        for (const char* s : Items) Edit->Items()->Add(s);
        Edit->KeyItems()->Clear();
        for (const char* s : Keys) Edit->KeyItems()->Add(s);
    }
};

TEST_F(ComboBoxTest, KeyModeShowsTheItemOfTheKeyAndKeepsAKeyWithoutOne) {
    Fill({"Alpha", "Beta", "Gamma"}, {"1", "2"});
    EXPECT_TRUE(Edit->KeyMode());
    EXPECT_EQ(Edit->ListedCount(), 2);
    Edit->SetValue(Variant(AnsiString("2")));
    EXPECT_EQ(Edit->EditText(), "Beta");
    EXPECT_EQ(Edit->ItemIndex(), 1);
    Edit->SetValue(Variant(AnsiString("3")));
    EXPECT_EQ(Edit->EditText(), "");
    EXPECT_EQ(Edit->Value(), Variant(AnsiString("3"))) << "a missing key stays the Value";
    Edit->SetItemIndex(2);
    EXPECT_EQ(Edit->ItemIndex(), -1) << "Gamma has no key";
    EXPECT_TRUE(Edit->Value().IsNull());
}

TEST_F(ComboBoxTest, BoundInKeyModeTheFieldGetsTheKeyAndTypingSearchesTheItems) {
    Fill({"Open", "Closed"}, {"0", "1"});
    Bind("opt");
    EXPECT_EQ(Edit->EditText(), "");
    Focus(Edit);
    EXPECT_TRUE(Edit->WindowReadOnly()) << "key mode never types into the text";
    Type("c");
    EXPECT_EQ(Edit->EditText(), "Closed");
    EXPECT_EQ(Edit->Value(), Variant(AnsiString("1")));
    Type("x");
    EXPECT_EQ(Edit->EditText(), "Closed") << "no item starts with cx: the choice stays";
    Focus(Other);
    EXPECT_EQ(Data.F("opt")->AsString(), "1");

    Focus(Edit);
    Key(ui::VK_DELETE);
    EXPECT_TRUE(Edit->Value().IsNull()) << "Del clears a field that is not required";
    Focus(Other);
    EXPECT_EQ(Data.F("opt")->AsString(), "") << "the key's text, empty";
}

TEST_F(ComboBoxTest, DelDoesNothingOnARequiredField) {
    Fill({"One", "Two"}, {"1", "2"});
    Bind("kind");
    EXPECT_EQ(Edit->EditText(), "Two");
    Focus(Edit);
    Key(ui::VK_DELETE);
    EXPECT_EQ(Edit->Value(), Variant(AnsiString("2")));
    EXPECT_EQ(Edit->EditText(), "Two");
}

TEST_F(ComboBoxTest, WithoutKeysTypingAtTheEndCompletesFromTheItems) {
    Fill({"Alpha", "Beta", "Alpine"});
    Focus(Edit);
    Type("Al");
    EXPECT_EQ(Edit->EditText(), "Alpha");
    EXPECT_EQ(Edit->SelStart(), 2);
    EXPECT_EQ(Edit->SelLength(), 3);
    EXPECT_EQ(Edit->ItemIndex(), 0);
    Type("pi");
    EXPECT_EQ(Edit->EditText(), "Alpine");
    Type("z");
    EXPECT_EQ(Edit->EditText(), "Alpiz");
    EXPECT_EQ(Edit->ItemIndex(), -1);
    Focus(Other);
    EXPECT_EQ(Edit->Value(), Variant(AnsiString("Alpiz"))) << "a text not in the list is kept";
}

TEST_F(ComboBoxTest, CyrillicItemsAreFoundWithoutRegardToCase) {
    Edit->Items()->Add(Ru(u8"Архив"));
    Edit->Items()->Add(Ru(u8"Белов"));
    Edit->Items()->Add(Ru(u8"Ёлкин"));
    Edit->KeyItems()->Add("1");
    Edit->KeyItems()->Add("2");
    Edit->KeyItems()->Add("3");
    struct TCase {
        AnsiString Text;
        bool Partial;
        int Index;
    } cases[] = {
        {Ru(u8"бе"), true, 1}, {Ru(u8"БЕЛОВ"), false, 1}, {Ru(u8"ар"), true, 0},
        {Ru(u8"ёл"), true, 2}, {Ru(u8"Бел"), false, 2},  // not found: key mode keeps the selection
    };
    for (const auto& c : cases) {
        Edit->LocateText(c.Text, c.Partial);
        EXPECT_EQ(Edit->ItemIndex(), c.Index) << rtl::AnsiToUTF8(c.Text);
    }
    Focus(Edit);
    Edit->SetValue(Variant::Null());
    for (char ch : Ru(u8"ёЛ")) ui::CharInput(ch);
    Pump();
    EXPECT_EQ(Edit->EditText(), Ru(u8"Ёлкин"));
    EXPECT_EQ(Edit->Value(), Variant(AnsiString("3")));
}

TEST_F(ComboBoxTest, UpAndDownStepThroughTheListedItems) {
    Fill({"A", "B", "C"}, {"a", "b"});
    Focus(Edit);
    Key(ui::VK_DOWN);
    EXPECT_EQ(Edit->ItemIndex(), 0) << "nothing selected: Down takes the first";
    Key(ui::VK_DOWN);
    Key(ui::VK_DOWN);
    EXPECT_EQ(Edit->ItemIndex(), 1) << "C has no key and is not reached";
    Edit->SetValue(Variant::Null());
    Key(ui::VK_UP);
    EXPECT_EQ(Edit->ItemIndex(), 1) << "nothing selected: Up takes the last";
    Key(ui::VK_UP);
    Key(ui::VK_UP);
    EXPECT_EQ(Edit->ItemIndex(), 0);
    ui::MouseWheelInput(-120, At(Edit, 5, 5));
    Pump();
    EXPECT_EQ(Edit->ItemIndex(), 1);
}

TEST_F(ComboBoxTest, AnEditorBoundByNameWithoutADataSourceRefusesWritesByCode) {
    Fill({"One", "Two"}, {"1", "2"});
    Edit->SetDataField("kind");
    EXPECT_THROW(Edit->SetItemIndex(1), db::EDatabaseError);
    EXPECT_THROW(Edit->SetValue(Variant(AnsiString("1"))), db::EDatabaseError);
    EXPECT_EQ(Edit->ItemIndex(), -1);
    EXPECT_EQ(Edit->EditText(), "");
}

TEST_F(ComboBoxTest, NotInListHearsATextOutsideTheItemsOnWriteBack) {
    Fill({"Anna", "Boris"});
    Bind("name");
    std::vector<std::string> heard;
    Edit->OnNotInList = [&](rtl::TObject*, const AnsiString& Text, bool&) { heard.push_back(Text); };
    Edit->SetText("Boris");
    Edit->SetText("Vera");
    EXPECT_EQ(heard, std::vector<std::string>{"Vera"});
    EXPECT_EQ(Data.F("name")->AsString(), "Vera");
}

TEST_F(ComboBoxTest, TheListShowsEveryItemAndAcceptsOnlyKeyedOnes) {
    Fill({"Alpha", "Beta", "A much longer item text"}, {"1", "2"});
    Edit->DropDownBox()->Width = -1;
    Focus(Edit);
    Edit->DropDown();
    Pump();
    ASSERT_TRUE(Edit->ListOpen());
    TPopupListboxEh* list = Edit->PopupList();
    EXPECT_EQ(list->Items()->Count(), 3) << "every item is shown";
    EXPECT_GE(list->Width(), Edit->Width());
    Key(ui::VK_DOWN);  // goes to the list
    Key(ui::VK_DOWN);
    EXPECT_EQ(list->ItemIndex(), 1);
    EXPECT_EQ(Edit->ItemIndex(), -1) << "the editor waits for the choice";
    Key(ui::VK_RETURN, '\r');
    EXPECT_FALSE(Edit->ListOpen());
    EXPECT_EQ(Edit->Value(), Variant(AnsiString("2")));

    Edit->DropDown();
    Pump();
    Key(ui::VK_DOWN);
    Key(ui::VK_RETURN, '\r');
    EXPECT_EQ(Edit->ItemIndex(), -1) << "the third item has no key";
    EXPECT_TRUE(Edit->Value().IsNull());

    Edit->DropDown();
    Pump();
    Key(ui::VK_ESCAPE, '\x1B');
    EXPECT_FALSE(Edit->ListOpen());
}

TEST_F(ComboBoxTest, AListWiderThanTheEditorOrResizedKeepsItsSize) {
    Fill({"x", "y"});
    Edit->DropDownBox()->Width = -1;
    Edit->DropDown();
    Pump();
    EXPECT_EQ(Edit->PopupList()->Width(), Edit->Width()) << "never narrower than the editor";
    Edit->CloseUp(false);

    Edit->DropDownBox()->Sizable = true;
    Edit->DropDown();
    Pump();
    Edit->PopupList()->SetBounds(Edit->PopupList()->Left(), Edit->PopupList()->Top(), 260, 120);
    Edit->CloseUp(false);
    EXPECT_EQ(Edit->DropDownBox()->Width, 260);
    Edit->DropDown();
    Pump();
    EXPECT_EQ(Edit->PopupList()->Width(), 260);
}

TEST_F(ComboBoxTest, APasteInKeyModeSearchesTheItemsAndOneWithoutA1251FormIsRefused) {
    Fill({"Alpha", "Beta", "?eta"}, {"1", "2", "3"});
    Focus(Edit);
    ui::Clipboard()->SetAsWideText(u"be");
    Edit->PasteFromClipboard();
    Pump();
    EXPECT_EQ(Edit->ItemIndex(), 1);
    EXPECT_EQ(Edit->Value(), Variant(AnsiString("2")));

    // Read as '?' it would find the third item: it is refused instead, and the choice stays.
    Edit->SetSelStart(0);
    const int beeps = ui::MessageBeepCount();
    ui::Clipboard()->SetAsWideText(u"\u4E2Deta");
    Edit->PasteFromClipboard();
    Pump();
    EXPECT_EQ(ui::MessageBeepCount(), beeps + 1);
    EXPECT_EQ(Edit->ItemIndex(), 1);
    EXPECT_EQ(Edit->Value(), Variant(AnsiString("2")));
}

TEST_F(ComboBoxTest, OverAKeyModeEditorTheCursorIsTheArrowEverywhere) {
    const ui::TPoint text = At(Edit, 10, Edit->ClientHeight() / 2);
    ui::MouseInput(ui::WM_MOUSEMOVE, text);
    EXPECT_EQ(ui::GetCursorShape(), ui::crIBeam) << "a text editor shows the text cursor";
    Fill({"Alpha", "Beta"}, {"1", "2"});
    ui::MouseInput(ui::WM_MOUSEMOVE, At(Other, 5, 5));
    ui::MouseInput(ui::WM_MOUSEMOVE, text);
    EXPECT_EQ(ui::GetCursorShape(), ui::crArrow);
}

TEST_F(ComboBoxTest, ADragFromTheButtonIntoTheOpenListChoosesTheItemReleasedOn) {
    Fill({"Alpha", "Beta", "Gamma"}, {"1", "2", "3"});
    Focus(Edit);
    TEditButtonControlEh* button = Edit->ButtonControls().front().EditButtonControl;
    ui::MouseInput(ui::WM_LBUTTONDOWN, At(button, button->Width() / 2, button->Height() / 2));
    Pump();
    ASSERT_TRUE(Edit->ListOpen());
    TPopupListboxEh* list = Edit->PopupList();
    EXPECT_TRUE(button->MouseCapture()) << "the pressed button keeps the mouse";
    const ui::TRect item = list->ItemRect(2);
    const ui::TPoint over = At(list, item.Left + 5, item.Top + item.Height() / 2);
    ui::MouseInput(ui::WM_MOUSEMOVE, over);
    Pump();
    EXPECT_FALSE(button->MouseCapture()) << "the list took the drag over";
    ui::MouseInput(ui::WM_LBUTTONUP, over);
    Pump();
    EXPECT_FALSE(Edit->ListOpen());
    EXPECT_EQ(Edit->ItemIndex(), 2);
    EXPECT_EQ(Edit->Value(), Variant(AnsiString("3")));
}

TEST_F(ComboBoxTest, TheWheelScrollsTheOpenListAndAltDownClosesItWithoutChoosing) {
    for (int i = 0; i < 20; ++i) Edit->Items()->Add("item" + std::to_string(i));
    Edit->SetItemIndex(0);
    Focus(Edit);
    Edit->DropDown();
    Pump();
    TPopupListboxEh* list = Edit->PopupList();
    ASSERT_EQ(list->TopIndex(), 0);
    ui::MouseWheelInput(-2 * 120, At(Edit, 5, 5));
    Pump();
    EXPECT_EQ(list->TopIndex(), 2);
    EXPECT_EQ(Edit->ItemIndex(), 0) << "the wheel went to the list";
    Key(ui::VK_DOWN);
    EXPECT_EQ(list->ItemIndex(), 1);

    ui::KeyInput(ui::VK_MENU, true);
    ui::KeyPressInput(ui::VK_DOWN);
    ui::KeyInput(ui::VK_MENU, false);
    Pump();
    EXPECT_FALSE(Edit->ListOpen()) << "the main button's shortcut is not the list's key";
    EXPECT_EQ(Edit->ItemIndex(), 0);
}

}  // namespace
