// The login shown with the main window, what the user's access level opens, the commands and their
// shortcuts, and help.

#include "framework/rtl/DateUtils.h"
#include "program_fixture.h"

namespace apptest {
namespace {

class MainFormTest : public ProgramFixture {
public:
    void SetUp() override {
        ProgramFixture::SetUp();
        MakeDatabase();
        Raw(u8R"(INSERT INTO v_user (user_id, user_name, password, access, active) VALUES
                 (2, 'Иванова', 'Secret', 1, 1), (3, 'Петров', 'x', 2, 1);)");
    }
};

TEST_F(MainFormTest, LoginTable) {
    const std::string wrong = U(u8"Пароль не верен, попробуйте еще раз");
    struct Case {
        const char* Name;
        std::function<void(MainFormTest&)> User;
        bool LoggedIn;
        std::vector<std::string> Shown;
    };
    const Case cases[] = {
        {"right name and password, Enter", [](MainFormTest& t) { t.LogIn(u8"Иванова", u8"Secret"); }, true, {}},
        {"a wrong password, then the right one",
         [](MainFormTest& t) {
             t.LogIn(u8"Иванова", u8"secret");
             t.Step([] {
                 EXPECT_EQ(AuthForm->edPassword->Text(), "") << "the password is cleared";
                 EXPECT_EQ(ui::Screen()->ActiveControl(), AuthForm->edPassword);
                 Type("Secret");
                 Key(ui::VK_RETURN);
             });
         },
         true,
         {wrong}},
        {"an unknown name",
         [](MainFormTest& t) {
             t.LogIn(u8"Никто", u8"");
             t.Step([] { Key(ui::VK_ESCAPE); });
         },
         false,
         {wrong}},
        {"Выход",
         [](MainFormTest& t) {
             t.Step([] {
                 AuthForm->btnCancel->SetFocus();
                 Key(ui::VK_SPACE);
             });
         },
         false,
         {}},
        {"the close box",
         [](MainFormTest& t) { t.Step([] { ui::PostMessage(AuthForm->Handle(), ui::WM_CLOSE); }); },
         false,
         {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        TearDown();
        SetUp();
        Start();
        c.User(*this);
        ShowMain();
        EXPECT_TRUE(Script.empty());
        EXPECT_EQ(MessageTexts(), c.Shown);
        EXPECT_EQ(ui::Application()->Terminated(), !c.LoggedIn) << "giving up the login ends the program";
        if (c.LoggedIn) {
            EXPECT_EQ(CurrentUser.Name, A(u8"Иванова"));
            EXPECT_EQ(Setting("COMMON", "LastUser"), A(u8"Иванова"));
            EXPECT_EQ(Setting("COMMON", "username"), A(u8"Иванова"));
        } else {
            EXPECT_EQ(CurrentUser.Id, 0);
            EXPECT_EQ(Setting("COMMON", "LastUser"), "<none>");
        }
        for (const auto& m : Messages) {
            EXPECT_EQ(m.Caption, U(u8"Авторизация"));
            EXPECT_EQ(m.Flags & 0xF0, ui::MB_ICONINFORMATION);
        }
    }
}

TEST_F(MainFormTest, LoginPresetsTheLastUserAndListsTheNames) {
    std::ofstream(Dir / "setup.ini") << "[COMMON]\nLastUser=" << A(u8"Петров") << "\n";
    Start();
    Step([] {
        EXPECT_EQ(AuthForm->Caption(), A(u8"Вход в программу"));
        EXPECT_EQ(AuthForm->cbUsername->Text(), A(u8"Петров"));
        EXPECT_EQ(ui::Screen()->ActiveControl(), AuthForm->edPassword);
        EXPECT_EQ(AuthForm->cbUsername->Items()->Count(), 3);
        Type("x");
        Key(ui::VK_RETURN);
    });
    ShowMain();
    EXPECT_EQ(CurrentUser.Id, 3);
}

TEST_F(MainFormTest, AccessLevelSetsTheStatusBarCommandsAndCuratorFilter) {
    struct Case {
        const char8_t *Name, *Password;
        int Curator;
    } cases[] = {
        {u8"Иванова", u8"Secret", 2},
        {u8"Петров", u8"x", 0},
        {u8"Администратор", u8"", 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(U(c.Name));
        TearDown();
        SetUp();
        Start();
        LogIn(c.Name, c.Password);
        ShowMain();
        ASSERT_FALSE(ui::Application()->Terminated());
        EXPECT_EQ(MainForm->sbStatus->Panels()->Items(2)->Text(), A(u8"Пользователь: ") + A(c.Name));
        EXPECT_EQ(DBMod->FCurator, c.Curator) << "a curator sees only the own sources";
        // The users and vocabularies forms do not exist yet: once the loop has updated the
        // commands, theirs are shut for everyone.
        Step([] {
            EXPECT_FALSE(MainForm->actUsers->Enabled());
            EXPECT_FALSE(MainForm->actVocab->Enabled());
            AltKey(ui::VK_F4);
        });
        RunLoop();
    }
}

TEST_F(MainFormTest, CommandsWithoutAHandlerAreShutAndAltF4EndsTheLoop) {
    Start();
    LogIn(u8"Администратор", u8"");
    ShowMain();
    EXPECT_EQ(MainForm->Caption(), A(u8"Вельморат"));
    Step([] {
        for (ui::TAction* a : MainForm->JournalActions()) EXPECT_EQ(a->Enabled(), a == MainForm->actOpisi) << a->Name();
        for (ui::TAction* a : {MainForm->actFontLarger, MainForm->actFontSmaller, MainForm->actSourceListReport,
                               MainForm->actActivityLog, MainForm->actAbout, MainForm->actUsers})
            EXPECT_FALSE(a->Enabled()) << a->Name();
        for (ui::TAction* a : {MainForm->actExit, MainForm->actHelp, MainForm->actSummary})
            EXPECT_TRUE(a->Enabled()) << a->Name();
    });
    EXPECT_EQ(MainForm->actHelp->ShortCut(), 0) << "F1 stays context help";
    EXPECT_EQ(MainForm->actOpisi->ShortCut(), ui::ShortCut('O', {ui::ssCtrl}));
    EXPECT_EQ(MainForm->actTransfer->ShortCut(), ui::ShortCut('P', {ui::ssCtrl}));
    // A shut command's shortcut does nothing; Alt+F4 closes the window and ends the loop.
    Step([this] { CtrlKey('P'); });
    Step([] {
        EXPECT_EQ(MainForm->Caption(), A(u8"Вельморат"));
        AltKey(ui::VK_F4);
    });
    RunLoop();
    EXPECT_TRUE(ui::Application()->Terminated());
    EXPECT_TRUE(Script.empty());
    EXPECT_EQ(Setting("COMMON", "LastUser"), A(u8"Администратор"));
}

// The inventories command through its shortcut, twice, the second time after the user changed the
// tab and the year: the frame shows again from the first tab and the current year, the window and
// the panels name the journal and its count.
TEST_F(MainFormTest, InventoriesCommandShowsTheJournalFromTheStart) {
    // The rows are written before start-up sets ThisYear: take the year from the same clock.
    const int thisYear = rtl::YearOf(rtl::Now());
    const std::string year = std::to_string(thisYear);
    Raw(reinterpret_cast<const char8_t*>(("INSERT INTO opisi (id, num, kind_id, source_id, result_id, year_of) VALUES "
                                          "(1, 1, 1, 0, 1, " +
                                          year + "), (2, 2, 2, 0, 2, " + year + "), (3, 1, 2, 0, 1, " +
                                          std::to_string(thisYear - 1) + ");")
                                             .c_str()));
    Start();
    LogIn(u8"Петров", u8"x");
    ShowMain();
    TOpisListFrame* frame = MainForm->OpisListFrame1;
    EXPECT_FALSE(frame->Visible()) << "no journal before the command";
    EXPECT_EQ(frame->Align(), ui::alClient);
    EXPECT_EQ(frame->Parent(), MainForm);
    const auto shown = [&] {
        EXPECT_TRUE(frame->Visible());
        EXPECT_TRUE(MainForm->actOpisi->Checked());
        EXPECT_EQ(MainForm->Caption(), A(u8"Регистрация описей — Вельморат"));
        EXPECT_EQ(MainForm->sbStatus->Panels()->Items(0)->Text(), A(u8"Журнал: Регистрация описей"));
        EXPECT_EQ(MainForm->sbStatus->Panels()->Items(1)->Text(), A(u8"Кол-во записей: 2"));
        EXPECT_TRUE(DBMod->zOpisi->Active());
        EXPECT_TRUE(DBMod->zVNTD->Active());
        EXPECT_EQ(DBMod->zOpisi->FilterSQL(), "year_of = " + year);
        EXPECT_EQ(frame->tcKinds->TabIndex(), 0);
        EXPECT_EQ(frame->edYear->Value().AsInteger(), ThisYear);
    };
    Step([this] { CtrlKey('O'); });
    Step([&] {
        shown();
        // The user narrows the journal: the count follows.
        frame->tcKinds->SetTabIndex(2);
        frame->tcKindsChange(frame->tcKinds);
        EXPECT_EQ(MainForm->sbStatus->Panels()->Items(1)->Text(), A(u8"Кол-во записей: 1"));
        frame->edYear->SetValue(ThisYear - 1);
        EXPECT_EQ(MainForm->sbStatus->Panels()->Items(1)->Text(), A(u8"Кол-во записей: 1"));
        EXPECT_EQ(DBMod->zOpisi->FilterSQL(), "year_of = " + std::to_string(ThisYear - 1) + " AND kind_id = 2");
        MainForm->sbStatus->Panels()->Items(1)->SetText("stale");
        // The second time typed in the journal's grid.
        frame->grOpisi->SetFocus();
        CtrlKey('O');
    });
    Step([&] {
        shown();
        EXPECT_EQ(DBMod->FKind, 0);
        AltKey(ui::VK_F4);
    });
    RunLoop();
    EXPECT_TRUE(Script.empty());
}

// A curator deletes nothing from a journal; the window keeps its smallest size.
TEST_F(MainFormTest, CuratorsFrameDeletesNothingAndTheWindowHasASmallestSize) {
    struct Case {
        const char8_t *Name, *Password;
        bool Delete;
    } cases[] = {{u8"Иванова", u8"Secret", false}, {u8"Петров", u8"x", true}};
    for (const Case& c : cases) {
        SCOPED_TRACE(U(c.Name));
        TearDown();
        SetUp();
        Start();
        LogIn(c.Name, c.Password);
        ShowMain();
        EXPECT_EQ(MainForm->OpisListFrame1->btnDelete->Enabled(), c.Delete);
    }
    EXPECT_EQ(MainForm->Constraints()->MinWidth(), 360);
    EXPECT_EQ(MainForm->Constraints()->MinHeight(), 240);
    MainForm->SetBounds(MainForm->Left(), MainForm->Top(), 100, 100);
    EXPECT_EQ(MainForm->Width(), 360);
    EXPECT_EQ(MainForm->Height(), 240);
}

// Every journal command starts from the same state: queries closed, kind, source and source kind
// back to none and the year to the current one; the curator's filter stays.
TEST_F(MainFormTest, ResetJournalsClosesTheQueriesAndKeepsTheCurator) {
    Start();
    LogIn(u8"Иванова", u8"Secret");
    ShowMain();
    DBMod->zOpisi->Open();
    DBMod->SetKind(3);
    DBMod->SetYear(ThisYear - 2);
    DBMod->SetSource(5);
    DBMod->SetSourceKind(2);
    MainForm->ResetJournals();
    EXPECT_FALSE(DBMod->zOpisi->Active());
    EXPECT_FALSE(DBMod->zSources->Active());
    EXPECT_EQ(DBMod->FKind, 0);
    EXPECT_EQ(DBMod->FSource, 0);
    EXPECT_EQ(DBMod->FSourceKind, 0);
    EXPECT_EQ(DBMod->FYear, ThisYear);
    EXPECT_EQ(DBMod->FCurator, 2);
    EXPECT_EQ(DBMod->GetDocFilterText(), "year_of = " + std::to_string(ThisYear));
    DBMod->zOpisi->Open();
    MainForm->ShowRecordCount(DBMod->zOpisi.get());
    EXPECT_EQ(MainForm->sbStatus->Panels()->Items(1)->Text(), A(u8"Кол-во записей: 0"));
}

// Help: F1 asks the focused window's form for its topic, "Помощь" shows the contents; a missing
// page is named in an error box.
TEST_F(MainFormTest, HelpTopicsFollowTheFocus) {
    FakeServices opener;
    const std::filesystem::path help = Dir / "help";
    std::filesystem::create_directories(help);
    for (const char* page : {"101.html", "1000.html", "1100.html"}) std::ofstream(help / page) << "<html></html>";
    Start();
    THelpService service(opener, help.string());
    HelpService = &service;
    Step([] { Key(ui::VK_F1); });
    LogIn(u8"Администратор", u8"");
    ShowMain();
    Step([] { Key(ui::VK_F1); });
    Step([] { MainForm->actHelp->Execute(); });
    Step([&] {
        std::filesystem::remove(help / "101.html");
        Key(ui::VK_F1);
    });
    Step([] { AltKey(ui::VK_F4); });
    RunLoop();
    HelpService = nullptr;
    EXPECT_EQ(opener.Opened, (std::vector<std::string>{(help / "1100.html").string(), (help / "101.html").string(),
                                                       (help / "1000.html").string()}));
    EXPECT_EQ(opener.Messages,
              std::vector<std::string>{U(u8"Страница справки не найдена: ") + (help / "101.html").string()});
}

// The desktop's opener is started and not waited for; when it cannot start, an error box says so.
TEST_F(MainFormTest, MissingOpenerGivesTheErrorBox) {
    const char* old = std::getenv("PATH");
    const std::string saved = old ? old : "";
    std::filesystem::create_directories(Dir / "bin");
    ::setenv("PATH", (Dir / "bin").c_str(), 1);
    const bool opened = Services.OpenWithDesktop((Dir / "a.pdf").string());
    ::setenv("PATH", saved.c_str(), 1);
    EXPECT_FALSE(opened);
    ASSERT_EQ(Messages.size(), 1u);
    EXPECT_EQ(Messages[0].Text, U(u8"Не удается запустить программу для открытия файла: ") + (Dir / "a.pdf").string());
    EXPECT_EQ(Messages[0].Flags & 0xF0, ui::MB_ICONERROR);
    EXPECT_TRUE(StartProcess({"true"}));
    EXPECT_FALSE(StartProcess({}));
}

}  // namespace
}  // namespace apptest
