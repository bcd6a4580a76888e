// The lookup combo box and its drop-down grid over memory datasets: keys and texts, typing as
// character messages, Del, the BIGINT data key against the INTEGER list key, the drop-down's rows,
// width and keys; the lookup grid's rows, special row, search and errors.
#include <gtest/gtest.h>

#include "controls/grid/DBLookupEh.h"
#include "controls/grid/DBLookupGridsEh.h"
#include "framework/rtl/Text.h"
#include "tests/support/editorform_fixture.h"

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

// A card (rid, src BIGINT) on source 4, with the lookup field srcname showing src's name in List;
// closed.
std::unique_ptr<memdstest::TFixture> CardWithLookupField(db::TDataSet* List) {
    auto card = std::make_unique<memdstest::TFixture>(
        std::vector<memdstest::TCol>{{u"rid", store::mdtInt32, 4}, {u"src", store::mdtInt64, 8}},
        std::vector<std::vector<Variant>>{{Variant(1), Variant(int64_t(4))}});
    db::TDataSet* ds = card->DS.get();
    auto* rid = rtl::Create<db::TIntegerField>(ds);
    rid->SetFieldName(u"rid");
    rid->SetDataSet(ds);
    auto* src = rtl::Create<db::TLargeintField>(ds);
    src->SetFieldName(u"src");
    src->SetDataSet(ds);
    auto* name = rtl::Create<db::TStringField>(ds);
    name->SetFieldName(u"srcname");
    name->SetFieldKind(db::fkLookup);
    name->SetSize(30);
    name->SetLookupDataSet(List);
    name->SetKeyFields(u"src");
    name->SetLookupKeyFields(u"id");
    name->SetLookupResultField(u"name");
    name->SetDataSet(ds);
    return card;
}

class LookupTest : public editorstest::EditorFormTest {
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
        EditorFormTest::SetUp();
        List.DS->Open();
        Data.DS->Open();
        ListSrc = rtl::Create<db::TDataSource>(Form);
        ListSrc->SetDataSet(List.DS.get());
        DataSrc = rtl::Create<db::TDataSource>(Form);
        DataSrc->SetDataSet(Data.DS.get());
        Combo = rtl::Create<TDBLookupComboboxEh>(Form);
        Combo->SetName("Combo");
        SetUpForm(Combo, 150, 21);
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
    AnsiString Selected() const {
        return Combo->EditText().substr(static_cast<size_t>(Combo->SelStart()),
                                        static_cast<size_t>(Combo->SelLength()));
    }

    memdstest::TFixture List;
    memdstest::TFixture Data;
    db::TDataSource* ListSrc = nullptr;
    db::TDataSource* DataSrc = nullptr;
    TDBLookupComboboxEh* Combo = nullptr;
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
        if (c.SelectAll)
            Combo->SetSel(0, static_cast<int>(Combo->EditText().size()));
        else
            Combo->SetSel(0, 1);
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
    TPopupDataGridEh* g = Combo->DataList();
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
    TPopupDataGridEh* g = Combo->DataList();
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
    for (const auto& [asked, rows] : {std::pair{0, 1}, std::pair{500, 100}, std::pair{5, 5}}) {
        Grid->SetListRowCount(asked);
        EXPECT_EQ(Grid->ListRowCount(), rows);
        EXPECT_EQ(Grid->ClientHeight(), rows * row) << "scroll bars come and go with the rows";
    }
    Grid->SetBounds(Grid->Left(), Grid->Top(), Grid->Width(), Grid->GetBorderHeight() + 3 * row + row / 2);
    EXPECT_EQ(Grid->ListRowCount(), 3);
    EXPECT_EQ(Grid->ClientHeight(), 3 * row);
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
    TPopupDataGridEh* g = Combo->DataList();
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

TEST_F(LookupTest, WithAutoDropTheFirstCharacterDropsTheListAndIsSearched) {
    Bind();
    Focus(Combo);
    for (bool autoDrop : {false, true}) {
        Combo->DropDownBox()->AutoDrop = autoDrop;
        Type("b");
        EXPECT_EQ(Combo->ListVisible(), autoDrop);
        EXPECT_EQ(Combo->EditText(), "Beta");
        EXPECT_EQ(Combo->KeyValue(), Variant(3));
        if (autoDrop) {
            EXPECT_EQ(Combo->DataList()->KeyValue(), Variant(3)) << "the list shows the found record";
        }
        Key(ui::VK_ESCAPE);
        Clock.Advance(3000);
    }
}

TEST_F(LookupTest, ARightReleaseAsksForTheContextMenuAndNeverDrops) {
    Bind();
    Focus(Combo);
    std::vector<ui::TPoint> asked;
    Combo->OnContextPopup = [&](rtl::TObject*, ui::TPoint MousePos, bool& Handled) {
        asked.push_back(MousePos);
        Handled = true;
    };
    ui::MouseInput(ui::WM_RBUTTONDOWN, At(Combo, 20, 10));
    Pump();
    EXPECT_TRUE(asked.empty()) << "the press alone asks for nothing";
    ui::MouseInput(ui::WM_RBUTTONUP, At(Combo, 20, 10));
    Pump();
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_EQ(asked[0], ui::Point(20, 10));
    EXPECT_FALSE(Combo->ListVisible());
    EXPECT_EQ(Combo->KeyValue(), Variant(int64_t(2)));
}

TEST_F(LookupTest, TheSpecialRowsShortcutSetsItsValueOnlyWhenTheRowIsShown) {
    Bind();
    editors::TSpecRowEh* spec = Combo->DropDownBox()->SpecRow();
    spec->SetCellsText("(none)");
    Focus(Combo);
    auto altDel = [&] {
        ui::KeyInput(ui::VK_MENU, true);
        ui::KeyPressInput(ui::VK_DELETE);
        ui::KeyInput(ui::VK_MENU, false);
        Pump();
    };
    altDel();
    EXPECT_EQ(Combo->KeyValue(), Variant(int64_t(2))) << "a hidden special row has no shortcut";
    EXPECT_EQ(Combo->EditText(), "Alpine");
    spec->SetVisible(true);
    altDel();
    EXPECT_TRUE(Combo->KeyValue().IsNull());
    EXPECT_EQ(Combo->EditText(), "(none)");
    EXPECT_EQ(Selected(), "(none)");
    Focus(Other);
    EXPECT_TRUE(Data.F("src")->IsNull()) << "leaving the control writes the special row's value";
}

TEST_F(LookupTest, ALookupFieldSuppliesTheListAndForbidsItsOwnKeyField) {
    auto cardFixture = CardWithLookupField(List.DS.get());
    memdstest::TFixture& card = *cardFixture;
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

namespace {

// The lookup grid writing its key into a second dataset, and its binding errors.
TEST_F(LookupGridTest, ADataFieldFollowsTheRecordAndReceivesThePickedKey) {
    Grid->SetLookupSource(DataSrc);
    Grid->SetDataField("src");
    EXPECT_EQ(Grid->KeyReceivingNames(), "src");
    EXPECT_EQ(Grid->KeyValue(), Variant(int64_t(2))) << "the 64-bit data key is the list's 32-bit 2";
    EXPECT_EQ(Grid->SelectedText(), "Alpine");
    Data.DS->Next();
    EXPECT_EQ(Grid->SelectedText(), "Gamma");
    EXPECT_EQ(Data.DS->State(), db::dsBrowse);
    uint16_t k = ui::VK_UP;
    Grid->LookupKeyDown(k, {});
    EXPECT_EQ(Data.DS->State(), db::dsEdit) << "a pick edits the receiving record";
    EXPECT_EQ(Data.F("src")->AsInteger(), 3);
    EXPECT_EQ(Grid->SelectedText(), "Beta");
    Data.DS->Cancel();
    EXPECT_EQ(Grid->SelectedText(), "Gamma") << "the cancelled record's key comes back";
    Grid->LookupLink()->SetReadOnly(true);
    EXPECT_FALSE(Grid->CanChangeKeyValue());
}

TEST_F(LookupGridTest, BindingErrorsRaiseTheirTexts) {
    struct Case {
        const char* Name;
        std::function<void()> Act;
        const char* Message;
    };
    auto* listSelf = rtl::Create<db::TDataSource>(Form);
    listSelf->SetDataSet(List.DS.get());
    const Case cases[] = {
        {"list linked to the receiving source",
         [&] {
             Grid->SetLookupSource(listSelf);
             Grid->SetDataField("id");
         },
         "Circular datalinks are not allowed"},
        {"fixed receiving source",
         [&] {
             Grid->LookupLink()->SetDataSourceFixed(true);
             Grid->SetKeyField("name");
         },
         "Operation not allowed in a DBCtrlGrid"},
    };
    for (const Case& c : cases) {
        try {
            c.Act();
            ADD_FAILURE() << c.Name;
        } catch (const db::EDatabaseError& e) {
            EXPECT_EQ(std::string(e.Message()), c.Message) << c.Name;
        }
        Grid->LookupLink()->SetDataSourceFixed(false);
        Grid->SetDataField("");
        Grid->SetLookupSource(nullptr);
    }
}

TEST_F(LookupGridTest, ALookupDataFieldSuppliesTheListAndForbidsKeyField) {
    auto cardFixture = CardWithLookupField(List.DS.get());
    memdstest::TFixture& card = *cardFixture;
    card.DS->Open();
    auto* cardSrc = rtl::Create<db::TDataSource>(Form);
    cardSrc->SetDataSet(card.DS.get());
    Grid->SetListSource(nullptr);
    Grid->SetLookupSource(cardSrc);
    Grid->SetDataField("srcname");
    EXPECT_TRUE(Grid->LookupFieldMode());
    EXPECT_TRUE(Grid->ListActive());
    EXPECT_EQ(Grid->KeyField(), "id");
    EXPECT_EQ(Grid->SelectedText(), "Gamma");
    try {
        Grid->SetKeyField("name");
        FAIL();
    } catch (const db::EDatabaseError& e) {
        EXPECT_EQ(std::string(e.Message()), "Property already defined by lookup field");
    }
    Grid->SetDataField("");
    EXPECT_FALSE(Grid->LookupFieldMode());
    Grid->SetLookupSource(nullptr);
    card.DS->Close();
}

TEST_F(LookupGridTest, TheWheelScrollsTheListAndLeavesTheKey) {
    Grid->SetListRowCount(2);
    Grid->SetKeyValue(Variant(1));
    ui::MouseWheelInput(-120, At(Grid, 10, 5));
    Pump();
    EXPECT_EQ(Grid->KeyValue(), Variant(1));
    EXPECT_EQ(List.DS->RecNo(), 3) << "the record after the two shown rows";
    // A move starts from the key's row when it is still shown, else only brings it back.
    uint16_t k = ui::VK_DOWN;
    Grid->LookupKeyDown(k, {});
    EXPECT_EQ(Grid->KeyValue(), Variant(1));
    EXPECT_EQ(List.DS->RecNo(), 1);
}

TEST_F(LookupGridTest, TheKeyRowAndASelectedSpecialRowArePaintedHighlighted) {
    auto* surface = static_cast<ui::TRecordingSurface*>(Form->Surface());
    auto highlightedTexts = [&] {
        surface->Clear();
        Grid->Invalidate();
        Pump();
        Grid->UpdateWindow();
        std::vector<std::string> out;
        for (const ui::TDrawRecord* r : surface->OfKind(ui::TDrawOp::Text))
            if (!r->Text.empty() && r->Color == static_cast<ui::TColor>(ui::ColorToRGB(ui::clHighlightText)))
                out.push_back(r->Text);
        return out;
    };
    Grid->SetKeyValue(Variant(3));
    EXPECT_EQ(highlightedTexts(), std::vector<std::string>{"Beta"});
    Grid->SpecRow()->SetCellsText("(none)");
    Grid->SpecRow()->SetVisible(true);
    Grid->SetKeyValue(Variant::Null());
    EXPECT_EQ(highlightedTexts(), std::vector<std::string>{"(none)"});
}

// ---------------------------------------------------------------------------------------------
// Drop-down boxes and the owner interface

class TNoGridOwner : public rtl::TPersistent {
    RTL_CLASS(TNoGridOwner, rtl::TPersistent)
};

TEST_F(LookupTest, ABoxWithoutAGridOwnerReportsNothingAndIgnoresWrites) {
    TNoGridOwner owner;
    TColumnDropDownBoxEh box(&owner);
    box.SetOptions(TDBLookupGridEhOptions{dlgRowLinesEh});
    box.SetSortLocal(true);
    EXPECT_EQ(box.Columns(), nullptr);
    EXPECT_EQ(box.ColumnDefValues(), nullptr);
    EXPECT_TRUE(box.Options().Empty());
    EXPECT_FALSE(box.SortLocal());
}

TEST_F(LookupTest, TheComboBoxesBoxReachesItsDropDownGrid) {
    TLookupComboboxDropDownBoxEh* box = Combo->DropDownBox();
    EXPECT_EQ(box->Options(), TDBLookupGridEhOptions{dlgColLinesEh});
    box->SetOptions(TDBLookupGridEhOptions{dlgRowLinesEh, dlgColumnResizeEh});
    EXPECT_TRUE(Combo->DataList()->Options().Contains(dgRowLines));
    EXPECT_FALSE(Combo->DataList()->Options().Contains(dgColLines));
    box->SetSortLocal(true);
    EXPECT_TRUE(Combo->DataList()->SortLocal());
    EXPECT_EQ(box->Columns(), Combo->DataList()->Columns());
    int clicks = 0;
    Combo->OnDropDownBoxTitleBtnClick() = [&](rtl::TObject*, int, TColumnEh*) { ++clicks; };
    ASSERT_TRUE(Combo->DataList()->OnTitleBtnClick);
    Combo->DataList()->OnTitleBtnClick(nullptr, 0, nullptr);
    EXPECT_EQ(clicks, 1);

    // Persistent columns travel with an assignment; default ones leave the target empty.
    auto* other = rtl::Create<TDBLookupComboboxEh>(Form);
    other->DataList()->Columns()->Add()->SetFieldName(u"name");
    other->DropDownBox()->Assign(box);
    EXPECT_EQ(other->DataList()->Columns()->Count(), 0);
    box->Columns()->Add()->SetFieldName(u"id");
    other->DropDownBox()->Assign(box);
    ASSERT_EQ(other->DataList()->Columns()->Count(), 1);
    EXPECT_EQ(other->DataList()->Columns()->Items(0)->FieldName(), u"id");
    EXPECT_TRUE(other->DataList()->Options().Contains(dgRowLines));
}

TEST_F(LookupTest, AFreedDropDownListSourceIsForgotten) {
    auto* src = rtl::Create<db::TDataSource>(Form);
    src->SetDataSet(List.DS.get());
    Combo->DropDownBox()->SetListSource(src);
    Combo->DropDownBox()->SetListSource(src);
    src->Free();
    EXPECT_EQ(Combo->DropDownBox()->ListSource(), nullptr);
}

TEST_F(LookupTest, AColumnsBoxReachesTheColumnsOwnLookupGrid) {
    auto* grid = rtl::Create<TDBGridEh>(Form);
    grid->SetParent(Form);
    TColumnEh* col = grid->Columns()->Add();
    EXPECT_FALSE(col->LookupGridMade());
    col->DropDownBox()->SetOptions(TDBLookupGridEhOptions{dlgRowLinesEh});
    ASSERT_TRUE(col->LookupGridMade());
    EXPECT_EQ(col->LookupGridOptions(), TDBLookupGridEhOptions{dlgRowLinesEh});
    auto* src = rtl::Create<db::TDataSource>(Form);
    col->DropDownBox()->SetListSource(src);
    src->Free();
    EXPECT_EQ(col->DropDownBox()->ListSource(), nullptr) << "the grid was asked to hear of it";
    TColumnEh* copy = grid->Columns()->Add();
    copy->Assign(col);
    EXPECT_EQ(copy->DropDownBox()->Options(), TDBLookupGridEhOptions{dlgRowLinesEh});
}

// ---------------------------------------------------------------------------------------------
// Edits of the text that search the list

TEST_F(LookupTest, ReplacingTheSelectionSearchesTheWouldBeText) {
    struct Case {
        TDBLookupComboboxEhStyle Style;
        const char* Inserted;
        const char* Text;
        int Key;
    };
    const Case cases[] = {
        {csDropDownListEh, "gamma", "Gamma", 4},
        {csDropDownListEh, "Zeta", "Alpha", 1},  // not found: the list style keeps its text and key
        {csDropDownEh, "gamma", "Gamma", 4},
        {csDropDownEh, "Zeta", "Zeta", 0},  // the free text stays, the key goes
    };
    BindUnbound();
    Focus(Combo);
    for (const Case& c : cases) {
        Combo->SetStyle(c.Style);
        Combo->SetKeyValue(Variant(1));
        Combo->SetSel(0, static_cast<int>(Combo->EditText().size()));
        Combo->Perform(ui::EM_REPLACESEL, 1, reinterpret_cast<ui::LPARAM>(c.Inserted));
        EXPECT_EQ(Combo->EditText(), c.Text) << c.Inserted << c.Style;
        if (c.Key)
            EXPECT_EQ(Combo->KeyValue(), Variant(c.Key)) << c.Inserted << c.Style;
        else
            EXPECT_TRUE(Combo->KeyValue().IsNull()) << c.Inserted << c.Style;
    }
}

TEST_F(LookupTest, CutAndDelInFreeTextSearchTheRest) {
    BindUnbound();
    Combo->SetStyle(csDropDownEh);
    Focus(Combo);
    Combo->SetKeyValue(Variant(2));
    ASSERT_EQ(Combo->EditText(), "Alpine");
    // "Alpine" less its last three letters is "Alp": the whole text matches nothing, so the key goes.
    Combo->SetSel(3, 6);
    Key(ui::VK_DELETE);
    EXPECT_EQ(Combo->EditText(), "Alp");
    EXPECT_TRUE(Combo->KeyValue().IsNull());
    Combo->SetKeyValue(Variant(3));
    Combo->SetEditText("BetaX");
    Combo->SetSel(4, 5);
    Combo->Perform(ui::WM_CUT, 0, 0);
    EXPECT_EQ(Combo->EditText(), "Beta");
    EXPECT_EQ(Combo->KeyValue(), Variant(3));
}

TEST_F(LookupTest, TheFilterEditorTakesValueAndTextAndSitsOnePixelLower) {
    auto* plain = rtl::Create<editors::TDBComboBoxEh>(Form);
    auto* filter = rtl::Create<TInplaceFilterEditEh>(Form);
    for (editors::TDBComboBoxEh* e : std::initializer_list<editors::TDBComboBoxEh*>{plain, filter}) {
        e->SetBounds(10, 100, 120, 21);
        e->SetParent(Form);
    }
    ui::TRect a, b;
    plain->TextAreaRect(a);
    filter->TextAreaRect(b);
    EXPECT_EQ(b.Top, a.Top + 1);
    EXPECT_EQ(b.Bottom, a.Bottom);
    filter->SetValueAndText(Variant(7), ">5");
    EXPECT_EQ(filter->EditText(), ">5");
}

}  // namespace

namespace {

TEST_F(LookupGridTest, DraggingPastTheLastRowScrollsOnTheTimerUntilRelease) {
    Grid->SetListRowCount(2);
    Grid->SetKeyValue(Variant(1));
    Pump();
    const int row = Grid->GetDataRowHeight();
    ui::MouseInput(ui::WM_LBUTTONDOWN, At(Grid, 10, row / 2));
    Pump();
    EXPECT_EQ(Grid->KeyValue(), Variant(1));
    // Five pixels below: the last row is picked and the list moves one on, then every 125 ms.
    ui::MouseInput(ui::WM_MOUSEMOVE, At(Grid, 10, Grid->ClientHeight() + 4));
    Pump();
    EXPECT_EQ(Grid->KeyValue(), Variant(3));
    Clock.Advance(124);
    Pump();
    EXPECT_EQ(Grid->KeyValue(), Variant(3));
    Clock.Advance(2);
    Pump();
    EXPECT_EQ(Grid->KeyValue(), Variant(4));
    ui::MouseInput(ui::WM_LBUTTONUP, At(Grid, 10, Grid->ClientHeight() + 4));
    Pump();
    Clock.Advance(1000);
    Pump();
    EXPECT_EQ(Grid->KeyValue(), Variant(4)) << "the release stops the scrolling";
}

}  // namespace
