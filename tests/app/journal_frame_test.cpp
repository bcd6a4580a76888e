// The journal frames' shared part on the inventories frame: kinds tabs and the year edit filter the
// journal and report the count to the host; the year range ends at the current year; a curator
// deletes nothing; F1 in the frame shows the frame's topic; the grid's columns, title sorting and
// the colour of rows sent back for rework.

#include "app/OpisListFrame.h"
#include "framework/ui/Graphics.h"
#include "program_fixture.h"

namespace apptest {
namespace {

class JournalFrameTest : public ProgramFixture, public IJournalHost {
public:
    void SetUp() override {
        ProgramFixture::SetUp();
        MakeDatabase();
        Start();
        const int year = ThisYear;
        for (int id = 1; id <= 4; ++id)
            Raw(reinterpret_cast<const char8_t*>(
                ("INSERT INTO opisi (id, num, kind_id, source_id, result_id, year_of) VALUES (" + std::to_string(id) +
                 ", " + std::to_string(id) + ", " + std::to_string(id <= 2 ? 1 : 5) + ", 0, " +
                 std::to_string(id == 4 ? 2 : 1) + ", " + std::to_string(id == 3 ? year - 1 : year) + ");" +
                 "UPDATE opisi SET epmk_num = '" + std::string("BCAD").substr(id - 1, 1) +
                 "' WHERE id = " + std::to_string(id) + ";")
                    .c_str()));
        Form = rtl::Create<ui::TForm>(nullptr);
        Form->SetBounds(0, 0, 700, 450);
        Frame = rtl::Create<TOpisListFrame>(Form);
        Frame->SetAlign(ui::alClient);
        Frame->SetParent(Form);
        Frame->SetHost(this);
        DBMod->zOpisi->Open();
        Frame->Reset(ThisYear);
        Form->Show();
    }
    void TearDown() override {
        if (Form) Form->Free();
        Form = nullptr;
        ProgramFixture::TearDown();
    }
    void ShowRecordCount(db::TDataSet* Query) override { Counts.push_back(Query->RecordCount()); }
    void Pump() { ui::Application()->ProcessMessages(); }
    grid::TDBGridEh* Grid() { return Frame->grOpisi; }
    // A click on the title of the grid's column Index, Ctrl held when asked.
    void ClickTitle(int Index, bool Ctrl = false) {
        const ui::TRect r = Grid()->SingleCellRect(Grid()->DataToGridCol(Index), 0);
        const ui::TPoint p = Grid()->ClientToScreen(ui::Point((r.Left + r.Right) / 2, (r.Top + r.Bottom) / 2));
        if (Ctrl) ui::KeyInput(ui::VK_CONTROL, true);
        ui::MouseInput(ui::WM_LBUTTONDOWN, p);
        ui::MouseInput(ui::WM_LBUTTONUP, p);
        Pump();
        if (Ctrl) ui::KeyInput(ui::VK_CONTROL, false);
        Pump();
        ui::ResetDoubleClick();
    }
    // The stored epmk_num of the query's rows, in the order shown.
    std::string Order() {
        std::string out;
        for (DBMod->zOpisi->First(); !DBMod->zOpisi->Eof(); DBMod->zOpisi->Next())
            out += DBMod->zOpisi->FieldByName("epmk_num")->AsString();
        DBMod->zOpisi->First();
        return out;
    }
    void ClickTab(int Index) {
        const ui::TRect r = Frame->tcKinds->TabRect(Index);
        const ui::TPoint p = Frame->tcKinds->ClientToScreen(ui::Point((r.Left + r.Right) / 2, (r.Top + r.Bottom) / 2));
        ui::MouseInput(ui::WM_LBUTTONDOWN, p);
        ui::MouseInput(ui::WM_LBUTTONUP, p);
        Pump();
        ui::ResetDoubleClick();
    }

    ui::TForm* Form = nullptr;
    TOpisListFrame* Frame = nullptr;
    std::vector<int> Counts;
};

TEST_F(JournalFrameTest, TabsFilterByKindAndReportTheCount) {
    EXPECT_EQ(Frame->tcKinds->Tabs()->Count(), 13);
    EXPECT_EQ(Frame->tcKinds->Tabs()->Strings(0), A(u8"Все"));
    EXPECT_EQ(Frame->tcKinds->Tabs()->Strings(12), A(u8"ПМХ"));
    EXPECT_TRUE(Counts.empty()) << "set by the command, not the user's choice";
    struct Case {
        int Tab, Kind, Count;
    } cases[] = {{1, 1, 2}, {5, 5, 1}, {3, 3, 0}, {0, 0, 3}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Tab);
        Counts.clear();
        ClickTab(c.Tab);
        EXPECT_EQ(DBMod->FKind, c.Kind);
        EXPECT_EQ(Counts, std::vector<int>{c.Count});
    }
}

TEST_F(JournalFrameTest, YearEditReachesTheCurrentYearTypedAndStepped) {
    ASSERT_NE(Frame->edYear, nullptr);
    EXPECT_EQ(Frame->edYear->MinValue(), 1980);
    EXPECT_EQ(Frame->edYear->MaxValue(), ThisYear);
    Frame->edYear->SetFocus();
    Pump();
    // Stepped down a year, then up to the current one and no further.
    Counts.clear();
    ui::KeyPressInput(ui::VK_DOWN);
    Pump();
    EXPECT_EQ(DBMod->FYear, ThisYear - 1);
    EXPECT_EQ(Counts.back(), 1);
    ui::KeyPressInput(ui::VK_UP);
    ui::KeyPressInput(ui::VK_UP);
    Pump();
    EXPECT_EQ(DBMod->FYear, ThisYear);
    EXPECT_EQ(Frame->edYear->Value().AsInteger(), ThisYear);
    EXPECT_EQ(Counts.back(), 3);
    // Typed: the current year is taken as it is.
    Frame->edYear->SelectAll();
    Type(std::to_string(ThisYear - 1));
    Pump();
    EXPECT_EQ(DBMod->FYear, ThisYear - 1);
    Frame->edYear->SelectAll();
    Type(std::to_string(ThisYear));
    Pump();
    EXPECT_EQ(DBMod->FYear, ThisYear);
    EXPECT_EQ(Counts.back(), 3);
}

TEST_F(JournalFrameTest, CuratorDeletesNothingAndF1AsksTheFrame) {
    Frame->SetCuratorRestrictions(true);
    EXPECT_FALSE(Frame->btnDelete->Enabled());
    Frame->SetCuratorRestrictions(false);
    EXPECT_TRUE(Frame->btnDelete->Enabled());
    FakeServices opener;
    std::filesystem::create_directories(Dir / "help");
    std::ofstream(Dir / "help" / "107.html") << "<html></html>";
    THelpService service(opener, (Dir / "help").string());
    HelpService = &service;
    Frame->edYear->SetFocus();
    ui::KeyPressInput(ui::VK_F1);
    Pump();
    HelpService = nullptr;
    EXPECT_EQ(opener.Opened, std::vector<std::string>{(Dir / "help" / "107.html").string()});
}

TEST_F(JournalFrameTest, GridShowsTheJournalsColumns) {
    ASSERT_NE(Grid(), nullptr);
    EXPECT_EQ(Grid()->Name(), "grOpisi");
    EXPECT_EQ(Grid()->DataSource(), DBMod->srcOpisi.get());
    EXPECT_TRUE(Grid()->ReadOnly());
    EXPECT_FALSE(Grid()->Options().Contains(grid::dgEditing));
    EXPECT_TRUE(Grid()->OptionsEh().Contains(grid::dghDialogFind));
    struct Column {
        const char* Field;
        const char8_t* Title;
        bool Visible, Button;
    } columns[] = {{"num", u8"№ п/п", false, true},           {"reg_date", u8"Дата", true, false},
                   {"kind_id", u8"Вид", true, false},         {"epmk_date", u8"Дата ЭПМК", true, true},
                   {"epmk_num", u8"№ протокола", true, true}, {"source_name", u8"Источник", true, true},
                   {"result_id", u8"Результат", true, false}};
    ASSERT_EQ(Grid()->Columns()->Count(), 7);
    for (int i = 0; i < 7; ++i) {
        SCOPED_TRACE(columns[i].Field);
        grid::TColumnEh* c = Grid()->Columns()->Items(i);
        EXPECT_EQ(rtl::WideToAnsi(c->FieldName()), columns[i].Field);
        EXPECT_EQ(c->Title()->Caption(), A(columns[i].Title));
        EXPECT_EQ(c->Visible(), columns[i].Visible);
        EXPECT_EQ(c->Title()->TitleButton(), columns[i].Button);
    }
    grid::TColumnEh* kind = Grid()->Columns()->Items(2);
    EXPECT_EQ(kind->KeyList()->Count(), 11);
    EXPECT_EQ(kind->PickList()->Strings(10), A(u8"ЛФ"));
    EXPECT_EQ(kind->KeyList()->Strings(10), "11");
    grid::TColumnEh* result = Grid()->Columns()->Items(6);
    EXPECT_EQ(result->PickList()->Strings(1), A(u8"отправлена на доработку"));
    EXPECT_EQ(result->KeyList()->Strings(1), "2");
}

// Title clicks cycle the marker and order the rows; a Ctrl+click taking the only marker away
// leaves the order as it was, with no error shown.
TEST_F(JournalFrameTest, TitleClicksSortAndTheLastMarkerRemovedKeepsTheOrder) {
    ui::Application()->OnException = [](rtl::TObject*, const rtl::Exception& E) {
        ADD_FAILURE() << "shown: " << E.what();
    };
    EXPECT_EQ(Order(), "BCD");
    struct Step {
        bool Ctrl;
        grid::TSortMarkerEh Marker;
        const char* Index;
        const char* Rows;
    } steps[] = {
        {false, grid::smDownEh, "epmk_num DESC", "DCB"}, {false, grid::smUpEh, "epmk_num ASC", "BCD"},
        {false, grid::smDownEh, "epmk_num DESC", "DCB"}, {true, grid::smUpEh, "epmk_num ASC", "BCD"},
        {true, grid::smNoneEh, "epmk_num ASC", "BCD"},
    };
    grid::TColumnEh* column = Grid()->Columns()->Items(4);
    for (const Step& s : steps) {
        SCOPED_TRACE(s.Index + std::string(s.Ctrl ? " ctrl" : ""));
        ClickTitle(4, s.Ctrl);
        EXPECT_EQ(column->Title()->SortMarker(), s.Marker);
        EXPECT_EQ(DBMod->zOpisi->IndexFieldNames(), s.Index);
        EXPECT_EQ(Order(), s.Rows);
    }
    EXPECT_EQ(Grid()->SortMarkedColumnList()->Count(), 0);
    // A title without a button sorts nothing.
    ClickTitle(1);
    EXPECT_EQ(DBMod->zOpisi->IndexFieldNames(), "epmk_num ASC");
}

// A row sent back for rework (result 2) is filled pale yellow in every column; the others keep
// the window's colour.
TEST_F(JournalFrameTest, SentBackRowsArePaleYellow) {
    EXPECT_EQ(TOpisListFrame::SentBackColor, static_cast<ui::TColor>(0x00EEFFFF));
    auto* surface = static_cast<ui::TRecordingSurface*>(Form->Surface());
    surface->Clear();
    Grid()->Invalidate();
    Pump();
    Grid()->UpdateWindow();
    const ui::TPoint o = Grid()->ClientToParent(ui::TPoint{0, 0}, Form);
    // Rows in the query's order: ids 1, 2, 4; the third is sent back.
    for (int row = 1; row <= 3; ++row) {
        for (int col = 2; col < Grid()->ColCount(); ++col) {
            SCOPED_TRACE(std::to_string(row) + "," + std::to_string(col));
            ui::TRect cell = Grid()->SingleCellRect(col, row);
            if (cell.Right <= cell.Left) continue;
            cell = ui::TRect{cell.Left + o.X, cell.Top + o.Y, cell.Right + o.X, cell.Bottom + o.Y};
            bool pale = false, any = false;
            for (const ui::TDrawRecord* r : surface->OfKind(ui::TDrawOp::FillRect)) {
                const ui::TRect& f = r->Rect;
                if (f.Left < cell.Left || f.Top < cell.Top || f.Right > cell.Right || f.Bottom > cell.Bottom ||
                    f.Width() * 2 <= cell.Width())
                    continue;
                any = true;
                pale = pale || r->Brush.Color == TOpisListFrame::SentBackColor;
            }
            EXPECT_TRUE(any);
            EXPECT_EQ(pale, row == 3);
        }
    }
}

}  // namespace
}  // namespace apptest
