// The program's start in a working folder: the database opened, or asked for through the database
// dialog; nothing thrown out of the start whatever the folder holds.

#include "app/SQLSetupFrmUnit.h"
#include "program_fixture.h"

namespace apptest {
namespace {

class StartupTest : public ProgramFixture {
public:
    // The dialog: the database name typed into its combo box, then OK.
    void ChooseDatabase(const char8_t* Name) {
        Step([=] {
            ASSERT_NE(SQLSetupFrm, nullptr);
            SQLSetupFrm->cbDatabase->SetFocus();
            SQLSetupFrm->cbDatabase->SelectAll();
            Type(A(Name));
            Key(ui::VK_TAB);  // to OK
        });
        Step([] { Key(ui::VK_SPACE); });
    }
    void CloseDialog() {
        Step([] {
            ASSERT_NE(SQLSetupFrm, nullptr);
            ui::PostMessage(SQLSetupFrm->Handle(), ui::WM_CLOSE);
        });
    }
};

TEST_F(StartupTest, TableOfWorkingFolders) {
    struct Case {
        const char* Name;
        std::function<void(ProgramFixture&)> Folder;
        std::function<void(StartupTest&)> User;  // what the user does in the dialog
        bool Dialog, Connected;
        std::vector<std::string> Shown;  // message texts, in order
        const char* DatabaseSetting;     // "database" of "SQL" in setup.ini
    };
    const std::string made = U(u8"новая.sdb");
    const Case cases[] = {
        {"existing database: no dialog",
         [](ProgramFixture& f) { f.MakeDatabase(); },
         nullptr,
         false,
         true,
         {},
         "<none>"},
        {"no database, the dialog closed: nothing written",
         [](ProgramFixture&) {},
         [](StartupTest& t) { t.CloseDialog(); },
         true,
         false,
         {},
         "<none>"},
        {"empty file counts as missing",
         [](ProgramFixture& f) { std::ofstream(f.Dir / "velmorat.sdb").flush(); },
         [](StartupTest& t) { t.CloseDialog(); },
         true,
         false,
         {},
         "<none>"},
        {"no database, no script: the dialog says so and stays",
         [](ProgramFixture&) {},
         [](StartupTest& t) {
             t.ChooseDatabase(u8"новая.sdb");
             t.CloseDialog();
         },
         true,
         false,
         {U(u8"Файл install_db.sql не найден. Попробуйте переустановить программу")},
         "<none>"},
        {"no database, the script: made and connected",
         [](ProgramFixture& f) { f.CopyScript(); },
         [](StartupTest& t) { t.ChooseDatabase(u8"новая.sdb"); },
         true,
         true,
         {},
         "new"},
        {"a file that is no database: the connection message, the dialog stays",
         [](ProgramFixture& f) {
             f.CopyScript();
             std::ofstream(f.Dir / "velmorat.sdb", std::ios::binary) << std::string(4096, 'x');
         },
         [](StartupTest& t) {
             t.ChooseDatabase(u8"velmorat.sdb");
             t.CloseDialog();
         },
         true,
         false,
         {U(u8"Не удается подключиться к базе данных, проверьте запущен ли сервер, а также его параметры, указанные "
            u8"здесь")},
         "<none>"},
        {"the empty name is refused",
         [](ProgramFixture& f) { f.CopyScript(); },
         [](StartupTest& t) {
             t.ChooseDatabase(u8"  ");
             t.CloseDialog();
         },
         true,
         false,
         {U(u8"Необходимо указать название базы данных")},
         "<none>"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        TearDown();
        SetUp();
        c.Folder(*this);
        if (c.User) c.User(*this);
        bool dialog = false;
        ui::Screen()->OnActiveFormChange = [&](rtl::TObject*) { dialog = dialog || SQLSetupFrm != nullptr; };
        EXPECT_NO_THROW(Start());
        EXPECT_EQ(dialog, c.Dialog);
        EXPECT_EQ(SQLSetupFrm, nullptr) << "the dialog lives only while start-up shows it";
        EXPECT_EQ(MessageTexts(), c.Shown);
        ASSERT_NE(DBMod, nullptr);
        EXPECT_EQ(DBMod->zServer->Connected(), c.Connected);
        EXPECT_EQ(DBMod->zUsers->Active(), c.Connected);
        EXPECT_TRUE(Script.empty());
        const AnsiString database = Setting("SQL", "database");
        if (std::string(c.DatabaseSetting) == "new") {
            EXPECT_EQ(database, rtl::UTF8ToAnsi((Dir / made).string()));
            EXPECT_TRUE(DBMod->CheckLogin(A(u8"Администратор"), ""));
        } else {
            EXPECT_EQ(database, c.DatabaseSetting);
        }
        if (!c.Connected) {
            EXPECT_FALSE(std::filesystem::exists(Dir / made));
        }
    }
}

// A script that fails part-way leaves no file behind and the dialog open with the error; a second
// try with a sound script then succeeds.
TEST_F(StartupTest, FailedInstallLeavesNoFileAndKeepsTheDialog) {
    {
        std::ifstream in(VELMORAT_INSTALL_DB_SQL);
        std::ofstream out(Dir / "install_db.sql");
        out << in.rdbuf() << "\nINSERT INTO no_such_table VALUES (1);\n";
    }
    ChooseDatabase(u8"новая.sdb");
    Step([&] {
        ASSERT_NE(SQLSetupFrm, nullptr) << "the dialog stays open";
        EXPECT_FALSE(std::filesystem::exists(Dir / U(u8"новая.sdb")));
        ASSERT_EQ(Messages.size(), 1u);
        EXPECT_NE(Messages[0].Text.find("no_such_table"), std::string::npos) << Messages[0].Text;
        std::filesystem::copy_file(VELMORAT_INSTALL_DB_SQL, Dir / "install_db.sql",
                                   std::filesystem::copy_options::overwrite_existing);
    });
    ChooseDatabase(u8"новая.sdb");
    EXPECT_NO_THROW(Start());
    EXPECT_TRUE(DBMod->zServer->Connected());
    EXPECT_TRUE(std::filesystem::exists(Dir / U(u8"новая.sdb")));
}

// The dialog lists the database files of the working folder; picking an existing one only opens it.
TEST_F(StartupTest, DialogListsDatabaseFilesAndReopensAnExistingOne) {
    MakeDatabase(Dir / "archive.sdb");
    std::ofstream(Dir / "notes.txt") << "x";
    std::ofstream(Dir / "velmorat.sdb").flush();
    Step([&] {
        ASSERT_NE(SQLSetupFrm, nullptr);
        EXPECT_EQ(SQLSetupFrm->cbDatabase->Text(), "velmorat.sdb");
        SQLSetupFrm->cbDatabase->SetFocus();
        std::vector<std::string> items;
        for (int i = 0; i < SQLSetupFrm->cbDatabase->Items()->Count(); ++i)
            items.push_back(SQLSetupFrm->cbDatabase->Items()->Strings(i));
        EXPECT_EQ(items, (std::vector<std::string>{"archive.sdb", "velmorat.sdb"}));
        SQLSetupFrm->cbDatabase->SelectAll();
        Type("archive.sdb");
        Key(ui::VK_TAB);
    });
    Step([] { Key(ui::VK_SPACE); });
    EXPECT_NO_THROW(Start());
    EXPECT_TRUE(DBMod->zServer->Connected());
    EXPECT_TRUE(Messages.empty());
    EXPECT_EQ(Setting("SQL", "database"), rtl::UTF8ToAnsi((Dir / "archive.sdb").string()));
}

// A database that opens but lacks the tables: start-up shows the error and goes on.
TEST_F(StartupTest, DatabaseWithoutTablesShowsTheErrorAndGoesOn) {
    Raw(u8"CREATE TABLE unrelated (x INTEGER);");
    EXPECT_NO_THROW(Start());
    ASSERT_EQ(Messages.size(), 1u);
    EXPECT_NE(Messages[0].Text.find("no such table"), std::string::npos) << Messages[0].Text;
    EXPECT_EQ(Messages[0].Flags & 0xF0, ui::MB_ICONERROR);
    EXPECT_NE(MainForm, nullptr);
    EXPECT_NE(AuthForm, nullptr);
}

}  // namespace
}  // namespace apptest
