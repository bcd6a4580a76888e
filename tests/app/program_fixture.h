// The program started headless in a temporary working folder: its real services, message boxes
// answered and recorded through the application, and a script of user input run one step each time
// the message loop has nothing left to do.
#pragma once

#include "app/AuthFormUnit.h"
#include "app/FormServices.h"
#include "app/Main.h"
#include "app/Program.h"
#include "dbmod_fixture.h"
#include "framework/rtl/Clock.h"
#include "framework/rtl/IniFiles.h"
#include "framework/ui/Forms.h"

namespace apptest {


struct TShownMessage {
    std::string Text, Caption;
    unsigned Flags;
};

class ProgramFixture : public ::testing::Test {
public:
    void SetUp() override {
        char tmpl[] = "/tmp/velmorat_prog_XXXXXX";
        ASSERT_NE(::mkdtemp(tmpl), nullptr);
        Dir = tmpl;
        OldDir = std::filesystem::current_path();
        std::filesystem::current_path(Dir);
        ui::ClearMessageQueue();
        ui::ResetKeyState();
        ui::ResetApplication();
        Messages.clear();
        Script.clear();
        Idle = 0;
        Hook();
    }
    void TearDown() override {
        EndProgram();
        ui::ClearMessageQueue();
        ui::ResetApplication();
        ui::ResetKeyState();
        CurrentUser = TUser{};
        std::filesystem::current_path(OldDir);
        std::error_code ec;
        std::filesystem::remove_all(Dir, ec);
    }
    void Hook() {
        ui::Application()->MessageBoxHandler = [this](const AnsiString& Text, const AnsiString& Caption,
                                                      unsigned Flags) {
            Messages.push_back({rtl::AnsiToUTF8(Text), rtl::AnsiToUTF8(Caption), Flags});
            return Answer;
        };
        ui::Application()->WaitHandler = [this] {
            if (!Script.empty()) {
                auto step = std::move(Script.front());
                Script.pop_front();
                Idle = 0;
                step();
                return;
            }
            // Nothing left to do and nobody ended the loop: the program waits for a user the
            // test does not have.
            if (++Idle > 50) {
                ADD_FAILURE() << "the program waits for input the script does not give";
                ui::Application()->Terminate();
            }
        };
    }

    void MakeDatabase(const std::filesystem::path& File) { MakeInstalledDatabase(File); }
    void MakeDatabase() { MakeDatabase(Dir / "velmorat.sdb"); }
    void CopyScript() { std::filesystem::copy_file(VELMORAT_INSTALL_DB_SQL, Dir / "install_db.sql"); }
    void Raw(const char8_t* SQL) {
        sqlite3* db = nullptr;
        ASSERT_EQ(sqlite3_open((Dir / "velmorat.sdb").c_str(), &db), SQLITE_OK);
        EXPECT_EQ(sqlite3_exec(db, U(SQL).c_str(), nullptr, nullptr, nullptr), SQLITE_OK) << sqlite3_errmsg(db);
        sqlite3_close(db);
    }
    AnsiString Setting(const char* Section, const char* Key) {
        rtl::TOwnedPtr<rtl::TIniFile> ini(rtl::Create<rtl::TIniFile>(AnsiString((Dir / "setup.ini").string())));
        return ini->ReadString(Section, Key, "<none>");
    }

    void Start() { StartProgram(Services); }
    // Shows the main window (the login runs in it) and, unless the login ended the program, runs
    // the loop until the script ends it.
    void ShowMain() { MainForm->Show(); }
    void RunLoop() {
        if (!ui::Application()->Terminated()) ui::Application()->Run();
    }

    // Input as a user gives it, into the window focused when the step runs: a key that moves the
    // focus ends its step.
    void Step(std::function<void()> S) { Script.push_back(std::move(S)); }
    static void Type(const AnsiString& Text) {
        for (char c : Text) ui::CharInput(c);
    }
    static void Key(uint16_t Key) { ui::KeyPressInput(Key); }
    static void AltKey(uint16_t Key) {
        ui::KeyInput(ui::VK_MENU, true);
        ui::KeyPressInput(Key);
        ui::KeyInput(ui::VK_MENU, false);
    }
    // Ctrl is let go in a step of its own: the key state is read when the key is handled, after
    // the step has posted its input.
    void CtrlKey(uint16_t Key) {
        ui::KeyInput(ui::VK_CONTROL, true);
        ui::KeyPressInput(Key);
        Script.push_front([] { ui::KeyInput(ui::VK_CONTROL, false); });
    }
    // The login: the name typed over the preset one, the password, Enter.
    void LogIn(const char8_t* Name, const char8_t* Password) {
        Step([=] {
            AuthForm->cbUsername->SetFocus();
            AuthForm->cbUsername->SelectAll();
            Type(A(Name));
            Key(ui::VK_TAB);
        });
        Step([=] {
            Type(A(Password));
            Key(ui::VK_RETURN);
        });
    }
    std::vector<std::string> MessageTexts() const {
        std::vector<std::string> out;
        for (const auto& m : Messages) out.push_back(m.Text);
        return out;
    }

    rtl::TScopedManualClock Clock;
    std::filesystem::path Dir, OldDir;
    TFormServices Services;
    std::vector<TShownMessage> Messages;
    int Answer = ui::IDOK;
    std::deque<std::function<void()>> Script;
    int Idle = 0;
};

}  // namespace apptest
