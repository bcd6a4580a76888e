// The cards' fixture: the program started in a temporary working folder over a database made from
// the install script with a small seed (two sources, an approved inventory and one sent back), a
// user logged in at a chosen level, scripted services (message boxes answered from a list, the
// file dialog, the desktop's opener) and a modal driver that runs a list of steps while a form is
// shown modally.
#pragma once

#include "app/OpisFormUnit.h"
#include "program_fixture.h"

namespace apptest {

// The program's services with the file dialog and the opener scripted; message boxes go through
// the application, where the fixture answers them.
using ScriptedServices = ScriptedFiles<TFormServices>;

class CardFixture : public ProgramFixture {
public:
    void SetUp() override {
        ProgramFixture::SetUp();
        MakeDatabase();
        // The year of the program's clock, which the data module takes as the current one.
        const std::string year = std::to_string(rtl::YearOf(rtl::Now()));
        Raw(reinterpret_cast<const char8_t*>(
            (U(u8"INSERT INTO v_user (user_id, user_name, password, access, active) VALUES (2, 'Иванова', '', 1, 1);"
               "INSERT INTO sources (id, sourcekind_id, num, source_name, source_fullname, curator_id) VALUES "
               "(1, 1, 1, 'Завод', 'Механический завод', 2), (2, 2, 1, 'Собрание', 'Собрание писем', 2);"
               "INSERT INTO opisi (id, num, kind_id, source_id, reg_date, units_count, year_from, year_to, num_from, "
               "num_to, result_id, epmk_num, epmk_date, year_of) VALUES ") +
             "(1, 1, 1, 1, '" + year + "-02-01', 10, 1990, 2000, '1', 10, 1, '5', '" + year + "-03-01', " + year +
             "), " + "(2, 2, 8, 2, '" + year + "-02-02', 20, 1991, 2001, '1', 20, 2, '6', '" + year + "-03-02', " +
             year + ");")
                .c_str()));
        ui::Application()->MessageBoxHandler = [this](const AnsiString& Text, const AnsiString& Caption,
                                                      unsigned Flags) {
            Messages.push_back({rtl::AnsiToUTF8(Text), rtl::AnsiToUTF8(Caption), Flags});
            if (Answers.empty()) return Answer;
            const int a = Answers.front();
            Answers.pop_front();
            return a;
        };
        StartProgram(Scripted);
    }

    // The user at a level, as the login leaves the program.
    void LogInAs(int32_t Id, const char8_t* Name, TAccessLevel Level) {
        CurrentUser = {Id, A(Name), static_cast<uint16_t>(Level)};
        if (Level == alCurator) DBMod->SetCurator(Id);
    }
    void OpenJournal() {
        DBMod->SetYear(ThisYear);
        DBMod->zOpisi->Open();
    }

    // Shows Form modally and runs the steps, one each time its loop has nothing left to do; the
    // form's modal result.
    int RunModal(ui::TForm* Form, std::vector<std::function<void()>> Steps) {
        int result = 0;
        Drive([&] { result = Form->ShowModal(); }, std::move(Steps));
        return result;
    }
    // Runs Action, which shows a form modally, with the steps scripted for that form.
    void Drive(const std::function<void()>& Action, std::vector<std::function<void()>> Steps) {
        for (auto& s : Steps) Step(std::move(s));
        Action();
        EXPECT_TRUE(Script.empty()) << "the form closed before the script ended";
        Script.clear();
    }
    // A user's click on a control of the active form, found by name.
    static ui::TControl* Named(ui::TForm* Form, const char* Name) {
        auto* c = dynamic_cast<ui::TControl*>(Form->FindComponent(Name));
        EXPECT_NE(c, nullptr) << Name;
        return c;
    }
    static void Click(ui::TControl* Control) {
        const ui::TPoint p = Control->ClientToScreen(ui::Point(Control->Width() / 2, Control->Height() / 2));
        ui::ResetDoubleClick();
        ui::MouseInput(ui::WM_LBUTTONDOWN, p);
        ui::MouseInput(ui::WM_LBUTTONUP, p);
    }
    static void Click(ui::TForm* Form, const char* Name) { Click(Named(Form, Name)); }
    // Text typed into a named editor over what it holds.
    static void TypeInto(ui::TForm* Form, const char* Name, const AnsiString& Text) {
        auto* e = dynamic_cast<ui::TCustomEdit*>(Named(Form, Name));
        ASSERT_NE(e, nullptr) << Name;
        e->SetFocus();
        e->SelectAll();
        Type(Text);
    }
    std::string Sql(const std::string& Query) {
        sqlite3* db = nullptr;
        sqlite3_open((Dir / "velmorat.sdb").c_str(), &db);
        sqlite3_stmt* st = nullptr;
        std::string out;
        EXPECT_EQ(sqlite3_prepare_v2(db, Query.c_str(), -1, &st, nullptr), SQLITE_OK) << sqlite3_errmsg(db);
        for (bool first = true; st && sqlite3_step(st) == SQLITE_ROW; first = false) {
            const unsigned char* t = sqlite3_column_text(st, 0);
            out += (first ? "" : ",") + std::string(t ? reinterpret_cast<const char*>(t) : "NULL");
        }
        sqlite3_finalize(st);
        sqlite3_close(db);
        return out;
    }

    ScriptedServices Scripted;
    std::deque<int> Answers;
};

}  // namespace apptest
