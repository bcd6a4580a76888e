// The journal frames' shared part on the inventories frame: kinds tabs and the year edit filter the
// journal and report the count to the host; the year range ends at the current year; a curator
// deletes nothing; F1 in the frame shows the frame's topic.

#include "app/OpisListFrame.h"
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
                 std::to_string(id == 4 ? 2 : 1) + ", " + std::to_string(id == 3 ? year - 1 : year) + ");")
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

}  // namespace
}  // namespace apptest
