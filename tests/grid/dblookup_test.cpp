// The lookup combo box and its drop-down grid over memory datasets: keys and texts, typing as
// character messages, Del, the BIGINT data key against the INTEGER list key, the drop-down's rows,
// width and keys; the lookup grid's rows, special row, search and errors.
#include <gtest/gtest.h>

#include "controls/grid/DBLookupEh.h"
#include "controls/grid/DBLookupGridsEh.h"
#include "framework/rtl/Text.h"
#include "tests/store/memds_fixture.h"
#include "tests/ui/ui_fixture.h"

using namespace grid;
using rtl::AnsiString;
using rtl::Variant;

namespace {


std::vector<std::vector<Variant>> ListRows(std::initializer_list<const char*> Names) {
    std::vector<std::vector<Variant>> rows;
    int id = 1;
    for (const char* n : Names) rows.push_back({Variant(id++), Variant(AnsiString(n))});
    return rows;
}

class LookupTest : public uitest::UiTest {
protected:
    LookupTest()
        : List({{u"id", store::mdtInt32, 4}, {u"name", store::mdtString, 31, 30}},
               ListRows({"Alpha", "Alpine", "Beta", "Gamma"})),
          // The data key is 64-bit, the list key 32-bit: the same numbers are the same keys.
          Data({{u"rid", store::mdtInt32, 4}, {u"src", store::mdtInt64, 8}, {u"req", store::mdtInt64, 8, 0, true}},
               {{Variant(1), Variant(int64_t(2)), Variant(int64_t(1))},
                {Variant(2), Variant(int64_t(4)), Variant(int64_t(3))},
                {Variant(3), Variant::Null(), Variant(int64_t(9))}}) {}

    void SetUp() override {
        UiTest::SetUp();
        List.DS->Open();
        Data.DS->Open();
        ListSrc = rtl::Create<db::TDataSource>(Form);
        ListSrc->SetDataSet(List.DS.get());
        DataSrc = rtl::Create<db::TDataSource>(Form);
        DataSrc->SetDataSet(Data.DS.get());
        Combo = rtl::Create<TDBLookupComboboxEh>(Form);
        Combo->SetName("Combo");
        Combo->SetBounds(10, 10, 150, 21);
        Combo->SetParent(Form);
        Other = rtl::Create<ui::TEdit>(Form);
        Other->SetName("Other");
        Other->SetBounds(10, 60, 150, 21);
        Other->SetParent(Form);
        Form->Show();
        Pump();
    }
    void TearDown() override {
        if (Form) Form->Free();
        Form = nullptr;
        UiTest::TearDown();
    }
    void Bind(const char* Field = "src") {
        Combo->SetListSource(ListSrc);
        Combo->SetKeyField("id");
        Combo->SetListField("name");
        Combo->SetDataSource(DataSrc);
        Combo->SetDataField(Field);
    }
    void BindUnbound() {
        Combo->SetListSource(ListSrc);
        Combo->SetKeyField("id");
        Combo->SetListField("name");
    }
    void Focus(ui::TWinControl* C) {
        C->SetFocus();
        Pump();
    }
    void Type(const std::string& Text) {
        for (char c : Text) ui::CharInput(c);
        Pump();
    }
    void Key(uint16_t K, char C = 0) {
        ui::KeyPressInput(K, C);
        Pump();
    }
    AnsiString Selected() const { return Combo->EditText().substr(static_cast<size_t>(Combo->SelStart()),
                                                                 static_cast<size_t>(Combo->SelLength())); }

    memdstest::TFixture List;
    memdstest::TFixture Data;
    db::TDataSource* ListSrc = nullptr;
    db::TDataSource* DataSrc = nullptr;
    TDBLookupComboboxEh* Combo = nullptr;
    ui::TEdit* Other = nullptr;
};

TEST_F(LookupTest, TheDataKeyShowsItsListTextAndABigintKeyMatchesAnIntegerKey) {
    Bind();
    EXPECT_TRUE(Combo->ListActive());
    EXPECT_EQ(Combo->KeyValue(), Variant(int64_t(2)));
    EXPECT_EQ(Combo->EditText(), "Alpine");
    Data.DS->Next();
    EXPECT_EQ(Combo->EditText(), "Gamma");
    Data.DS->Next();
    EXPECT_TRUE(Combo->KeyValue().IsNull());
    EXPECT_EQ(Combo->EditText(), "");
    Data.DS->First();
    EXPECT_EQ(Data.DS->State(), db::dsBrowse) << "scrolling never starts an edit";
    EXPECT_FALSE(Combo->Modified());
}

TEST_F(LookupTest, AKeyNotInTheListShowsAnEmptyText) {
    BindUnbound();
    Combo->SetKeyValue(Variant(3));
    EXPECT_EQ(Combo->EditText(), "Beta");
    Combo->SetKeyValue(Variant(77));
    EXPECT_EQ(Combo->EditText(), "");
    EXPECT_EQ(Combo->KeyValue(), Variant(77));
}

TEST_F(LookupTest, TypedCharactersSearchTheListAndSelectTheCompletion) {
    Bind();
    Data.DS->Last();  // the key is Null
    Focus(Combo);
    EXPECT_TRUE(Combo->WindowReadOnly());
    struct Step {
        const char* Typed;
        const char* Text;
        const char* Selected;
        int Key;
    };
    const Step steps[] = {
        {"a", "Alpha", "lpha", 1}, {"l", "Alpha", "pha", 1}, {"p", "Alpha", "ha", 1},
        {"h", "Alpha", "a", 1},    {"z", "Alpha", "a", 1},
    };
    for (const Step& s : steps) {
        Type(s.Typed);
        EXPECT_EQ(Combo->EditText(), s.Text) << s.Typed;
        EXPECT_EQ(Selected(), s.Selected) << s.Typed;
        EXPECT_EQ(Combo->KeyValue(), Variant(s.Key)) << s.Typed;
    }
    // Back to "Alp|" and an i: Alpine.
    Combo->SetSel(3, 3);
    Type("i");
    EXPECT_EQ(Combo->EditText(), "Alpine");
    EXPECT_EQ(Selected(), "ne");
    EXPECT_EQ(Combo->KeyValue(), Variant(2));
    Focus(Other);
    EXPECT_EQ(Data.F("src")->AsInteger(), 2) << "the key is written as the focus leaves";
}

TEST_F(LookupTest, FreeTextNotInTheListNullsTheKeyKeepsTheTextAndAsksOnWriteBack) {
    BindUnbound();
    Combo->SetStyle(csDropDownEh);
    int asked = 0;
    Combo->OnNotInList = [&](rtl::TObject*, const AnsiString& Text, bool& Recheck) {
        ++asked;
        EXPECT_EQ(Text, "Delta");
        // The handler adds the record; the search runs again.
        List.DS->Append();
        List.F("id")->SetAsInteger(5);
        List.F("name")->SetAsString("Delta");
        List.DS->Post();
        Recheck = true;
    };
    Focus(Combo);
    Type("Delta");
    EXPECT_EQ(Combo->EditText(), "Delta");
    EXPECT_TRUE(Combo->KeyValue().IsNull());
    Focus(Other);
    EXPECT_EQ(asked, 1);
    EXPECT_EQ(Combo->KeyValue(), Variant(5));
}

TEST_F(LookupTest, DelClearsANotRequiredKeyAndOnARequiredOneOnlyWithAllSelected) {
    struct Case {
        const char* Field;
        bool SelectAll;
        bool Cleared;
    };
    for (const Case c : {Case{"src", false, true}, Case{"req", false, false}, Case{"req", true, true}}) {
        Data.DS->First();
        Bind(c.Field);
        Focus(Combo);
        if (c.SelectAll) Combo->SetSel(0, static_cast<int>(Combo->EditText().size()));
        else Combo->SetSel(0, 1);
        Key(ui::VK_DELETE);
        EXPECT_EQ(Combo->KeyValue().IsNull(), c.Cleared) << c.Field << c.SelectAll;
        EXPECT_EQ(Combo->EditText().empty(), c.Cleared) << c.Field << c.SelectAll;
        Data.DS->Cancel();
        Focus(Other);
        Combo->SetDataField("");
    }
}

TEST_F(LookupTest, UpAndDownStepThroughTheList) {
    BindUnbound();
    Focus(Combo);
    Key(ui::VK_DOWN);
    EXPECT_EQ(Combo->EditText(), "Alpha") << "no key: the first record";
    Key(ui::VK_DOWN);
    EXPECT_EQ(Combo->EditText(), "Alpine");
    Key(ui::VK_UP);
    Key(ui::VK_UP);
    EXPECT_EQ(Combo->EditText(), "Alpha") << "Up on the first record stays there";
}

TEST_F(LookupTest, DropDownRowsFollowTheRecordsAndWidthNeverUnderTheControl) {
    BindUnbound();
    Focus(Combo);
    Key(ui::VK_DOWN, 0);
    ui::KeyInput(ui::VK_MENU, true, true);
    ui::KeyInput(ui::VK_DOWN, true, true);
    ui::KeyInput(ui::VK_DOWN, false, true);
    ui::KeyInput(ui::VK_MENU, false, true);
    Pump();
    ASSERT_TRUE(Combo->ListVisible()) << "Alt+Down drops the list";
    TPopupDataGridEh* g = Combo->LookupGrid();
    EXPECT_EQ(g->ListRowCount(), 4) << "4 records, 7 rows asked";
    EXPECT_GE(g->Width(), Combo->Width());
    EXPECT_EQ(g->KeyValue(), Variant(1));
    Key(ui::VK_DOWN);
    EXPECT_EQ(g->KeyValue(), Variant(2));
    Key(ui::VK_ESCAPE, '\x1B');
    EXPECT_FALSE(Combo->ListVisible());
    EXPECT_EQ(Combo->KeyValue(), Variant(1)) << "Esc keeps the old key";

    Combo->DropDown();
    Key(ui::VK_DOWN);
    Key(ui::VK_DOWN);
    Key(ui::VK_RETURN, '\r');
    EXPECT_FALSE(Combo->ListVisible());
    EXPECT_EQ(Combo->KeyValue(), Variant(3)) << "Enter accepts";
    EXPECT_EQ(Combo->EditText(), "Beta");

    Combo->DropDownBox()->Width = -1;
    Combo->DropDown();
    EXPECT_GE(g->Width(), Combo->Width()) << "never narrower than the control";
    Combo->CloseUp(false);
}

TEST_F(LookupTest, ManyRecordsGiveTheAskedRowsAndAResizeIsKeptForTheNextDropDown) {
    for (int i = 0; i < 16; ++i) {
        List.DS->Append();
        List.F("id")->SetAsInteger(100 + i);
        List.F("name")->SetAsString("Item" + std::to_string(i));
        List.DS->Post();
    }
    BindUnbound();
    Focus(Combo);
    Combo->DropDown();
    TPopupDataGridEh* g = Combo->LookupGrid();
    EXPECT_EQ(g->ListRowCount(), 7);
    g->SetBounds(g->Left(), g->Top(), 220, g->Height() + 3 * g->GetDataRowHeight() + 2);
    g->SetUserResized(true);
    Combo->CloseUp(false);
    EXPECT_EQ(Combo->DropDownBox()->Rows, 10);
    EXPECT_EQ(Combo->DropDownBox()->Width, 220);
    Combo->DropDown();
    EXPECT_EQ(g->ListRowCount(), 10);
    EXPECT_EQ(g->Width(), 220);
    Combo->CloseUp(false);
}

TEST_F(LookupTest, BindingErrorsNameWhatIsWrong) {
    Combo->SetListSource(ListSrc);
    Combo->SetListField("nosuch");
    try {
        Combo->SetKeyField("id");
        FAIL() << "a missing list field raises";
    } catch (const db::EDatabaseError& e) {
        EXPECT_EQ(std::string(e.Message()), "Field 'nosuch' not found");
    }
}

// ---------------------------------------------------------------------------------------------
// The lookup grid

class LookupGridTest : public LookupTest {
protected:
    void SetUp() override {
        LookupTest::SetUp();
        Grid = rtl::Create<TDBLookupGridEh>(Form);
        Grid->SetName("LookupGrid");
        Grid->SetBounds(200, 10, 200, 100);
        Grid->SetParent(Form);
        Grid->SetListSource(ListSrc);
        Grid->SetListField("name");
        Grid->SetKeyField("id");
        Pump();
    }
    TDBLookupGridEh* Grid = nullptr;
};

TEST_F(LookupGridTest, RowCountIsClampedAndHeightsSnapToWholeRows) {
    const int row = Grid->GetDataRowHeight();
    const int border = Grid->GetBorderHeight();
    for (const auto& [asked, rows] : {std::pair{0, 1}, std::pair{500, 100}, std::pair{5, 5}}) {
        Grid->SetListRowCount(asked);
        EXPECT_EQ(Grid->ListRowCount(), rows);
        EXPECT_EQ(Grid->Height(), border + rows * row);
    }
    Grid->SetBounds(Grid->Left(), Grid->Top(), Grid->Width(), border + 3 * row + row / 2);
    EXPECT_EQ(Grid->ListRowCount(), 3);
    EXPECT_EQ(Grid->Height(), border + 3 * row);
    Grid->SetBounds(Grid->Left(), Grid->Top(), Grid->Width(), 2);
    EXPECT_EQ(Grid->ListRowCount(), 1);
}

TEST_F(LookupGridTest, TheSpecialRowHoldsANullKeyAndSitsAboveTheFirstRecord) {
    Grid->SpecRow()->SetCellsText("(none)");
    Grid->SpecRow()->SetVisible(true);
    Grid->SetKeyValue(Variant::Null());
    EXPECT_TRUE(Grid->SpecRowSelected());
    EXPECT_EQ(Grid->SelectedText(), "(none)");
    uint16_t k = ui::VK_DOWN;
    Grid->LookupKeyDown(k, {});
    EXPECT_FALSE(Grid->SpecRowSelected());
    EXPECT_EQ(Grid->KeyValue(), Variant(1));
    k = ui::VK_UP;
    Grid->LookupKeyDown(k, {});
    EXPECT_TRUE(Grid->SpecRowSelected()) << "Up from the first record";
    EXPECT_TRUE(Grid->KeyValue().IsNull());
}

TEST_F(LookupGridTest, IncrementalSearchJoinsKeysWithinTwoSecondsAndStopsAt32) {
    Grid->ProcessSearchKey('a');
    Clock.Advance(500);
    Grid->ProcessSearchKey('l');
    Grid->ProcessSearchKey('p');
    Grid->ProcessSearchKey('i');
    EXPECT_EQ(Grid->SearchText(), "alpi");
    EXPECT_EQ(Grid->KeyValue(), Variant(2));
    Clock.Advance(2001);
    Grid->ProcessSearchKey('g');
    EXPECT_EQ(Grid->SearchText(), "g") << "a pause starts over";
    EXPECT_EQ(Grid->KeyValue(), Variant(4));
    Grid->ProcessSearchKey('x');
    EXPECT_EQ(Grid->SearchText(), "g") << "no match keeps the text";
    Grid->ProcessSearchKey('\b');
    EXPECT_EQ(Grid->SearchText(), "");
}

TEST_F(LookupGridTest, ErrorsNameTheMissingField) {
    try {
        Grid->SetListField("name;absent");
        FAIL();
    } catch (const db::EDatabaseError& e) {
        EXPECT_EQ(std::string(e.Message()), "Field 'absent' not found");
    }
}

}  // namespace

namespace {

TEST_F(LookupTest, PressOnTheTextDragIntoTheListAndReleaseOnARowAcceptsIt) {
    BindUnbound();
    Focus(Combo);
    ui::MouseInput(ui::WM_LBUTTONDOWN, At(Combo, 20, 10));
    Pump();
    ASSERT_TRUE(Combo->ListVisible()) << "a press on the text drops the list";
    TPopupDataGridEh* g = Combo->LookupGrid();
    const int row = g->GetDataRowHeight();
    const ui::TPoint third = At(g, 20, 2 * row + row / 2);
    ui::MouseInput(ui::WM_MOUSEMOVE, third);
    Pump();
    ui::MouseInput(ui::WM_LBUTTONUP, third);
    Pump();
    EXPECT_FALSE(Combo->ListVisible());
    EXPECT_EQ(Combo->KeyValue(), Variant(3));
    EXPECT_EQ(Combo->EditText(), "Beta");
}

}  // namespace

namespace {

TEST_F(LookupTest, ALookupFieldSuppliesTheListAndForbidsItsOwnKeyField) {
    memdstest::TFixture card({{u"rid", store::mdtInt32, 4}, {u"src", store::mdtInt64, 8}},
                             {{Variant(1), Variant(int64_t(4))}});
    auto* rid = rtl::Create<db::TIntegerField>(card.DS.get());
    rid->SetFieldName(u"rid");
    rid->SetDataSet(card.DS.get());
    auto* src = rtl::Create<db::TLargeintField>(card.DS.get());
    src->SetFieldName(u"src");
    src->SetDataSet(card.DS.get());
    auto* name = rtl::Create<db::TStringField>(card.DS.get());
    name->SetFieldName(u"srcname");
    name->SetFieldKind(db::fkLookup);
    name->SetSize(30);
    name->SetLookupDataSet(List.DS.get());
    name->SetKeyFields(u"src");
    name->SetLookupKeyFields(u"id");
    name->SetLookupResultField(u"name");
    name->SetDataSet(card.DS.get());
    card.DS->Open();
    auto* cardSrc = rtl::Create<db::TDataSource>(Form);
    cardSrc->SetDataSet(card.DS.get());
    Combo->SetDataSource(cardSrc);
    Combo->SetDataField("srcname");
    EXPECT_TRUE(Combo->LookupFieldMode());
    EXPECT_EQ(Combo->KeyReceivingNames(), "src");
    EXPECT_EQ(Combo->EditText(), "Gamma");
    EXPECT_EQ(Combo->KeyValue(), Variant(int64_t(4)));
    try {
        Combo->SetKeyField("id");
        FAIL() << "the lookup field defines the key";
    } catch (const db::EDatabaseError& e) {
        EXPECT_EQ(std::string(e.Message()), "Property already defined by lookup field");
    }
    Combo->SetDataSource(nullptr);
    Combo->Free();
    Combo = nullptr;
    card.DS->Close();
}

}  // namespace

namespace {

TEST_F(LookupGridTest, AKeyInNeitherListNorSpecialRowSelectsItOnlyWithShowIfNotInKeyList) {
    Grid->SpecRow()->SetCellsText("(other)");
    Grid->SpecRow()->SetValue(Variant(-1));
    Grid->SpecRow()->SetVisible(true);
    for (const bool show : {true, false}) {
        Grid->SpecRow()->SetShowIfNotInKeyList(show);
        Grid->SetKeyValue(Variant(2));
        Grid->SetKeyValue(Variant(99));
        EXPECT_EQ(Grid->SpecRowSelected(), show);
        EXPECT_EQ(Grid->SelectedText(), show ? AnsiString("(other)") : AnsiString("Alpha")) << show;
        if (!show) {
            EXPECT_EQ(List.DS->RecNo(), 1) << "the list shows its first record";
        }
    }
}

}  // namespace
