// The data module on a real database file: start-up, login, filters, numbers, row rules, the
// deletion of a source and attached files.

#include <sys/wait.h>

#include <set>

#include "dbmod_fixture.h"
#include "framework/rtl/IniFiles.h"

namespace apptest {
namespace {

TEST_F(DBModFixture, StartUpOpensTheModuleAndRegistersMyLower) {
    EXPECT_TRUE(Mod->zServer->Connected());
    EXPECT_TRUE(Mod->zUsers->Active());
    EXPECT_TRUE(Mod->zSources->Active());
    EXPECT_EQ(Mod->FYear, ThisYear);
    EXPECT_EQ(FilesDir, AppDir + "/files/");
    rtl::TOwnedPtr<VUdeVizov> q(rtl::Create<VUdeVizov>(nullptr));
    q->SetConnection(Mod->zServer.get());
    q->SetSQL(A(u8"SELECT my_lower('АрХИВ Fund')"));
    q->Open();
    EXPECT_EQ(q->Fields()[0]->AsString(), A(u8"архив fund"));
}

// A database that cannot be opened brings up the server-setup dialog; the dialog points the module
// at another file, made from the install script, and the settings remember it.
TEST_F(DBModFixture, UnreadableDatabaseBringsUpTheSetupDialog) {
    Mod.reset();
    std::ofstream(Dir / "velmorat.sdb", std::ios::binary | std::ios::trunc) << std::string(4096, 'x');
    Services.OnServerSetup = [&] { return Mod->OpenOrInstallDatabase(A(u8"другая.sdb")); };
    // Without the script the dialog can do nothing; start-up still goes on, unconnected.
    Start();
    EXPECT_EQ(Services.ServerSetups, 1);
    EXPECT_EQ(Services.Messages,
              std::vector<std::string>{U(u8"Файл install_db.sql не найден. Попробуйте переустановить программу")});
    EXPECT_FALSE(Mod->zServer->Connected());
    EXPECT_FALSE(std::filesystem::exists(Dir / "setup.ini"));
    EXPECT_FALSE(std::filesystem::exists(Dir / U(u8"другая.sdb")));

    Mod.reset();
    std::filesystem::copy_file(VELMORAT_INSTALL_DB_SQL, Dir / "install_db.sql");
    Start();
    EXPECT_EQ(Services.ServerSetups, 2);
    ASSERT_TRUE(Mod->zServer->Connected());
    EXPECT_TRUE(Mod->zUsers->Active());
    EXPECT_TRUE(Mod->CheckLogin(A(u8"Администратор"), ""));
    rtl::TOwnedPtr<rtl::TIniFile> ini(rtl::Create<rtl::TIniFile>(AnsiString((Dir / "setup.ini").string())));
    EXPECT_EQ(ini->ReadString("SQL", "database", ""), rtl::UTF8ToAnsi((Dir / U(u8"другая.sdb")).string()));

    // An existing file is only opened again, never installed over.
    Mod->zServer->ExecSQL("DROP TABLE v_ntd");
    ASSERT_TRUE(Mod->OpenOrInstallDatabase(A(u8"другая.sdb")));
    EXPECT_NE(MessageOf([&] { Mod->zVNTD->Open(); }), "");
    EXPECT_EQ(Services.Messages.size(), 1u);
}

TEST_F(DBModFixture, LoginRefusesWhatItShould) {
    Raw(u8R"(INSERT INTO v_user (user_id, user_name, password, access, active) VALUES
             (2, 'Иванова', 'Secret', 1, 1), (3, 'Петров', 'x', 2, 0),
             (4, 'Двое', 'a', 2, 1), (5, 'Двое', 'a', 2, 1);)");
    struct Case {
        const char8_t* name;
        const char8_t* password;
        bool ok;
    } cases[] = {
        {u8"Иванова", u8"secret", false},   // the password is compared by case
        {u8"Иванова", u8"Secret ", false},  // and not trimmed
        {u8"иванова", u8"Secret", false},   // the name as the database compares it
        {u8"Нет такого", u8"", false},
        {u8"' OR '1'='1", u8"", false},  // the name is data, not SQL
        {u8"Петров", u8"x", false},      // disabled
        {u8"Двое", u8"a", false},        // two rows of one name
        {u8"Иванова", u8"Secret", true},
        {u8"Администратор", u8"", true},  // an empty stored password takes an empty one
    };
    for (const Case& c : cases) {
        CurrentUser = TUser{};
        EXPECT_EQ(Mod->CheckLogin(A(c.name), A(c.password)), c.ok) << rtl::AnsiToUTF8(A(c.name));
        if (!c.ok) {
            EXPECT_EQ(CurrentUser.Id, 0);
        }
    }
    EXPECT_EQ(CurrentUser.Id, 1);
    EXPECT_EQ(CurrentUser.Access, alAdministrator);
    Mod->RememberUser(CurrentUser.Name);
    EXPECT_EQ(Mod->LastUser(), A(u8"Администратор"));
}

TEST_F(DBModFixture, FiltersNarrowEveryDocumentJournalInSQL) {
    Mod->SetYear(2014);
    Mod->SetKind(3);
    for (VUdeVizov* q : Mod->DocJournals()) EXPECT_EQ(q->FilterSQL(), "year_of = 2014 AND kind_id = 3");
    Mod->SetKind(0);
    EXPECT_EQ(Mod->GetDocFilterText(), "year_of = 2014");
    Mod->SetKind(2);
    Mod->SetYear(0);
    Mod->SetSource(7);
    EXPECT_EQ(Mod->zOpisi->FilterSQL(), "kind_id = 2 AND source_id = 7");
    EXPECT_EQ(Mod->zOpisFond->Params()->Items(0)->AsInteger(), 7);

    Mod->SetSourceKind(1);
    Mod->SetOwnership(4);
    Mod->SetCurator(2);
    EXPECT_EQ(Mod->zSources->FilterSQL(), "sourcekind_id = 1 AND ownership = 4 AND curator_id = 2");
    Mod->PutSourceCondition("");
    EXPECT_EQ(Mod->GetSourceFilterText(), "");
}

TEST_F(DBModFixture, SourcesJournalFollowsItsFiltersAndSorts) {
    Raw(u8R"(INSERT INTO sources (id, sourcekind_id, num, source_name, curator_id, ownership) VALUES
             (1, 1, 1, 'Банк', 2, 1), (2, 2, 1, 'Архив', 3, 4), (3, 1, 2, 'Завод "Луч" 50%', 2, 4);)");
    Reopen(Mod->zSources.get());
    EXPECT_EQ(Mod->zSources->RecordCount(), 3);
    Mod->SetSourceKind(1);
    EXPECT_EQ(Mod->zSources->RecordCount(), 2);
    Mod->SetOwnership(4);
    EXPECT_EQ(Mod->zSources->RecordCount(), 1);
    Mod->SetOwnership(0);
    Mod->SetCurator(3);
    EXPECT_EQ(Mod->zSources->RecordCount(), 0);
    Mod->SetSourceKind(0);
    Mod->SetCurator(0);
    Mod->zSources->SetIndexFieldNames("source_name DESC");
    Mod->zSources->First();
    EXPECT_EQ(Mod->zSources->FieldByName("source_name")->AsString(), A(u8"Завод \"Луч\" 50%"));

    // Quotes and wildcard characters of a typed name match only themselves.
    struct {
        const char8_t* text;
        int count;
    } searches[] = {{u8"\"Луч\"", 1}, {u8"%", 1}, {u8"*", 0}, {u8"_", 0}, {u8"Ар", 1}, {u8"", 3}};
    for (const auto& s : searches) {
        TDBMod::FilterByName(Mod->zSources.get(), A(s.text));
        EXPECT_EQ(Mod->zSources->RecordCount(), s.count) << rtl::AnsiToUTF8(A(s.text));
    }
}

TEST_F(DBModFixture, JournalsShowTheSourceNameAndSortByIt) {
    const std::string y = std::to_string(ThisYear);
    Raw(u8"INSERT INTO sources (id, sourcekind_id, source_name) VALUES (1, 1, 'Банк'), (2, 1, 'Архив');");
    Raw("INSERT INTO opisi (id, num, kind_id, source_id, year_of) VALUES (1, 1, 1, 1, " + y + "), (2, 2, 1, 2, " + y +
        "), (3, 3, 1, 9, " + y + ");");
    Reopen(Mod->zLSources.get());
    Mod->zOpisi->Open();
    EXPECT_EQ(Mod->zOpisi->Fields()[1]->FieldName(), u"num");
    Mod->zOpisi->SetIndexFieldNames("source_name DESC");
    std::vector<AnsiString> names;
    for (Mod->zOpisi->First(); !Mod->zOpisi->Eof(); Mod->zOpisi->Next())
        names.push_back(Mod->zOpisi->FieldByName("source_name")->AsString());
    EXPECT_EQ(names, (std::vector<AnsiString>{A(u8"Банк"), A(u8"Архив"), ""}));
}

TEST_F(DBModFixture, NewSourceNumbersPerKindAndTakesContactsAndPassports) {
    Mod->SetYear(0);
    int first = 0;
    for (int i = 0; i < 2; ++i) {
        Mod->NewSource(1);
        Mod->zSources->FieldByName("source_name")->SetAsString(A(u8"Организация"));
        Mod->zSources->Post();
        if (i == 0) first = Mod->zSources->FieldByName("id")->AsInteger();
    }
    // The first new source became the source context; the second left it alone.
    EXPECT_EQ(Mod->FSource, first);
    EXPECT_EQ(Column("SELECT num FROM sources ORDER BY id"), (std::vector<std::string>{"1", "2"}));
    EXPECT_EQ(One("SELECT next_num FROM numbers WHERE year_of = 0 AND journal = 1 AND kind_id = 1"), "3");
    const int id = Mod->zSources->FieldByName("id")->AsInteger();
    EXPECT_TRUE(Mod->zLSources->Locate(u"id", rtl::Variant(id), {}));

    Mod->zOrgs->Open();
    Mod->zPassport->Open();
    Mod->zOrgs->Append();
    Mod->zOrgs->FieldByName("director")->SetAsString(A(u8"Сидоров"));
    Mod->NewPassport(2020, false);
    Mod->zPassport->FieldByName("area")->SetAsInteger(120);
    Mod->SaveSourceCard();
    Mod->NewPassport(2021, true);
    Mod->SaveSourceCard();
    EXPECT_EQ(One("SELECT director FROM organisations WHERE source_id = " + std::to_string(id)), U(u8"Сидоров"));
    EXPECT_EQ(Column("SELECT year_of || ':' || area || ':' || fire_signals FROM passport WHERE source_id = " +
                     std::to_string(id) + " ORDER BY year_of"),
              (std::vector<std::string>{"2020:120.0:0", "2021:120.0:0"}));
}

TEST_F(DBModFixture, JournalRowsGetNumberAndYearAndAnEmptyDateTakesThisYear) {
    Mod->SetYear(2015);
    Mod->zEvents->Open();
    Mod->NewEvent(0);
    Mod->zEvents->Post();
    Mod->zLosses->Open();
    Mod->NewLoss(0);
    Mod->zLosses->FieldByName("reg_date")->SetAsDateTime(rtl::EncodeDate(2015, 3, 1));
    Mod->zLosses->Post();
    EXPECT_EQ(One("SELECT num || ':' || year_of FROM events"), "1:" + std::to_string(ThisYear));
    EXPECT_EQ(One("SELECT num || ':' || year_of FROM losses"), "1:2015");
}

// A running number goes only to a new row posted without one: an edit keeps the row's number,
// even when the kind it counts under changes, and a number typed by hand is kept and takes none.
TEST_F(DBModFixture, OnlyANewRowWithoutANumberTakesARunningNumber) {
    struct {
        const char* Table;
        TJournal Journal;
        const char* KindField;
        std::function<VUdeVizov*()> NewRow;
    } const cases[] = {
        {"opisi", jOpisi, "kind_id",
         [&] {
             Mod->zOpisi->Open();
             Mod->NewOpis(0, 0);
             return Mod->zOpisi.get();
         }},
        {"losses", jLosses, "kind_id",
         [&] {
             Mod->zLosses->Open();
             Mod->NewLoss(0);
             return Mod->zLosses.get();
         }},
        {"events", jEvents, "kind_id",
         [&] {
             Mod->zEvents->Open();
             Mod->NewEvent(0);
             return Mod->zEvents.get();
         }},
        {"sources", jSources, "sourcekind_id",
         [&] {
             Mod->NewSource(1);
             Mod->zSources->FieldByName("source_name")->SetAsString("x");
             return Mod->zSources.get();
         }},
    };
    Mod->SetYear(0);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Table);
        // Every number the journal's counters have handed out.
        auto taken = [&] {
            return One("SELECT coalesce(sum(next_num - 1), 0) FROM numbers WHERE journal = " +
                       std::to_string(c.Journal));
        };
        auto numOf = [&](int32_t id) {
            return One("SELECT num FROM " + std::string(c.Table) + " WHERE id = " + std::to_string(id));
        };
        VUdeVizov* q = c.NewRow();
        q->FieldByName(c.KindField)->SetAsInteger(1);
        q->Post();
        const int32_t numbered = q->FieldByName("id")->AsInteger();
        EXPECT_EQ(numOf(numbered), "1");
        EXPECT_EQ(taken(), "1");

        q->Edit();
        q->FieldByName(c.KindField)->SetAsInteger(2);
        q->Post();
        EXPECT_EQ(numOf(numbered), "1");
        EXPECT_EQ(taken(), "1");

        q = c.NewRow();
        q->FieldByName(c.KindField)->SetAsInteger(1);
        q->FieldByName("num")->SetAsInteger(42);
        q->Post();
        EXPECT_EQ(numOf(q->FieldByName("id")->AsInteger()), "42");
        EXPECT_EQ(taken(), "1");
        // The next row without a number goes on from the counter, not from the typed one.
        q = c.NewRow();
        q->FieldByName(c.KindField)->SetAsInteger(1);
        q->Post();
        EXPECT_EQ(numOf(q->FieldByName("id")->AsInteger()), "2");
    }
}

TEST_F(DBModFixture, ChangeToListOneChecksTheSourceAndRenumbersIt) {
    Raw("INSERT INTO sources (id, sourcekind_id, num, source_name) VALUES (5, 5, 9, 'x');");
    Mod->SetYear(0);
    Mod->NewChange(1, 0);
    EXPECT_NE(MessageOf([&] { Mod->zChanges->Post(); }), "");
    Mod->zChanges->Cancel();
    EXPECT_EQ(One("SELECT count(*) FROM changes"), "0");

    Mod->NewChange(1, 5);
    Mod->zChanges->Post();
    EXPECT_EQ(One("SELECT sourcekind_id || ':' || num FROM sources WHERE id = 5"), "1:1");
    Mod->zChanges->Edit();
    Mod->zChanges->FieldByName("decision")->SetAsInteger(2);
    Mod->zChanges->Post();
    EXPECT_EQ(One("SELECT sourcekind_id || ':' || num FROM sources WHERE id = 5"), "4:1");
}

TEST_F(DBModFixture, TransferLinksInventories) {
    Mod->zTransfer->Open();
    Mod->NewTransfer(0, true);
    Mod->zTransfer->Post();
    EXPECT_EQ(One("SELECT units_count FROM transfer"), "0");
    const int t = Mod->zTransfer->FieldByName("id")->AsInteger();
    Mod->LinkOpisToTransfer(11, t);
    Mod->LinkOpisToTransfer(12, t);
    AnsiString ids;
    Mod->GetTransferOpisIds(ids);
    EXPECT_EQ(ids, "11, 12");
}

TEST_F(DBModFixture, CuratorSeesApprovedInventoriesReadOnly) {
    Raw("INSERT INTO opisi (id, num, kind_id, result_id, year_of) VALUES (1, 1, 1, 1, " + std::to_string(ThisYear) +
        "), (2, 2, 1, 2, " + std::to_string(ThisYear) + ");");
    CurrentUser = TUser{7, "c", alCurator};
    Mod->zOpisi->Open();
    Mod->zOpisi->First();
    EXPECT_TRUE(Mod->zOpisi->ReadOnly());
    Mod->zOpisi->Next();
    EXPECT_FALSE(Mod->zOpisi->ReadOnly());
    CurrentUser.Access = alDepartmentHead;
    Mod->zOpisi->First();
    EXPECT_FALSE(Mod->zOpisi->ReadOnly());
}

// A curator's sources journal shows only their own sources, and a source they add is theirs.
TEST_F(DBModFixture, CuratorWorksWithOwnSources) {
    Raw(u8R"(INSERT INTO v_user (user_id, user_name, password, access, active) VALUES (7, 'Куратор', 'k', 1, 1);
             INSERT INTO sources (id, sourcekind_id, num, source_name, curator_id) VALUES
             (1, 1, 1, 'Своя', 7), (2, 1, 2, 'Чужая', 3);)");
    ASSERT_TRUE(Mod->CheckLogin(A(u8"Куратор"), "k"));
    EXPECT_EQ(CurrentUser.Access, alCurator);
    Mod->SetCurator(CurrentUser.Id);  // what the main window does for a curator
    EXPECT_EQ(Mod->zSources->RecordCount(), 1);
    EXPECT_EQ(Mod->zSources->FieldByName("source_name")->AsString(), A(u8"Своя"));
    Mod->SetYear(0);
    Mod->NewSource(3);
    Mod->zSources->FieldByName("source_name")->SetAsString(A(u8"Личный фонд"));
    Mod->zSources->Post();
    EXPECT_EQ(One(U(u8"SELECT curator_id || ':' || ownership || ':' || form_recieve || ':' || num FROM sources "
                    u8"WHERE source_name = 'Личный фонд'")),
              "7:4:2:1");
}

TEST_F(DBModFixture, RubricAndNameLists) {
    Raw("INSERT INTO sources (id, sourcekind_id, source_name, rubric_id) VALUES (1, 1, 'a', 1), (2, 1, 'b', NULL);");
    Reopen(Mod->zSources.get());
    AnsiString text;
    Mod->zSources->First();
    Mod->GetRubricText(text);
    EXPECT_EQ(text, A(u8"01. Органы государственной власти и управления"));
    Mod->zSources->Next();
    Mod->GetRubricText(text);
    EXPECT_EQ(text, "");
    std::vector<AnsiString> names;
    std::vector<int32_t> ids;
    Mod->LoadNameList(0, "", names, ids);
    EXPECT_EQ(names, std::vector<AnsiString>{A(u8"Администратор")});
    EXPECT_EQ(ids, std::vector<int32_t>{1});
}

TEST_F(DBModFixture, UsersAndVocabulariesTakeInsertsUpdatesAndDeletes) {
    Mod->NewUser();
    Mod->zUsers->Post();
    EXPECT_EQ(One("SELECT user_name || ':' || access || ':' || active FROM v_user WHERE user_id = 2"),
              U(u8"Новый пользователь:1:1"));
    Mod->zUsers->Edit();
    Mod->zUsers->Fields()[2]->SetAsString("pw");
    Mod->zUsers->Post();
    EXPECT_EQ(One("SELECT password FROM v_user WHERE user_id = 2"), "pw");
    Mod->zUsers->Delete();
    EXPECT_EQ(One("SELECT count(*) FROM v_user"), "1");

    Mod->zDocKind->Open();
    Mod->zDocKind->Append();
    Mod->zDocKind->Fields()[1]->SetAsString(A(u8"Акты"));
    Mod->zDocKind->Post();
    std::vector<AnsiString> names;
    std::vector<int32_t> ids;
    Mod->LoadDocKinds(names, ids);
    EXPECT_EQ(ids, (std::vector<int32_t>{1, 2}));
    Mod->zDocKind->Edit();
    Mod->zDocKind->Fields()[1]->SetAsString(A(u8"Акты проверок"));
    Mod->zDocKind->Post();
    EXPECT_EQ(One("SELECT dockind_name FROM v_dockind WHERE id = 2"), U(u8"Акты проверок"));
    Mod->zDocKind->Delete();
    EXPECT_EQ(One("SELECT count(*) FROM v_dockind"), "1");

    Mod->zEPMK->Append();
    Mod->zEPMK->Fields()[1]->SetAsString(A(u8"ЭПК области"));
    Mod->zEPMK->Post();
    EXPECT_EQ(Mod->zEPMK->Fields()[0]->AsInteger(), 2);
    Mod->zEPMK->Edit();
    Mod->zEPMK->Fields()[1]->SetAsString(A(u8"ЭПК края"));
    Mod->zEPMK->Post();
    EXPECT_EQ(Column("SELECT epmk_name FROM v_epmk ORDER BY id").back(), U(u8"ЭПК края"));
    Mod->zEPMK->Delete();
    EXPECT_EQ(One("SELECT count(*) FROM v_epmk"), "1");
}

TEST_F(DBModFixture, DeletingASourceIsAllOrNothing) {
    Raw("INSERT INTO sources (id, sourcekind_id, source_name) VALUES (1, 1, 'a');"
        "INSERT INTO opisi (source_id) VALUES (1); INSERT INTO events (source_id) VALUES (1);"
        "INSERT INTO nomenclature (source_id) VALUES (1); INSERT INTO opisi (source_id) VALUES (2);");
    Reopen(Mod->zSources.get());
    Mod->OnDeleteSourceStep = [](int step) {
        if (step == 6) throw rtl::Exception("injected");
    };
    EXPECT_EQ(MessageOf([&] { Mod->zSources->Delete(); }), "injected");
    EXPECT_EQ(One("SELECT (SELECT count(*) FROM sources) || (SELECT count(*) FROM opisi) || "
                  "(SELECT count(*) FROM events) || (SELECT count(*) FROM nomenclature)"),
              "1211");
    Mod->OnDeleteSourceStep = nullptr;
    Mod->zSources->Delete();
    EXPECT_EQ(One("SELECT (SELECT count(*) FROM sources) || (SELECT count(*) FROM opisi) || "
                  "(SELECT count(*) FROM events) || (SELECT count(*) FROM nomenclature)"),
              "0100");
    EXPECT_FALSE(Mod->zServer->InTransaction());
}

TEST_F(DBModFixture, AttachOpenDetachAndDelete) {
    const std::string picked = (Dir / U(u8"опись.pdf")).string();
    std::ofstream(picked) << "pdf";
    Mod->zOpisi->Open();
    Mod->NewOpis(1, 0);
    Services.Picks.push_back(picked);
    ASSERT_TRUE(Mod->AttachFile(Mod->zOpisi.get()));  // the files folder did not exist yet
    Mod->zOpisi->Post();
    const std::string id = One("SELECT file_id FROM opisi");
    EXPECT_EQ(One("SELECT file_name FROM files WHERE id = " + id), U(u8"опись.pdf"));
    const std::string copy = FilesDir + id + ".pdf";
    EXPECT_TRUE(std::filesystem::exists(copy));
    const char* oldTemp = std::getenv("TEMP");
    const std::string savedTemp = oldTemp ? oldTemp : "";
    ::setenv("TEMP", (Dir / "temp").c_str(), 1);
    Mod->OpenAttachedFile(Mod->zOpisi.get());
    if (oldTemp)
        ::setenv("TEMP", savedTemp.c_str(), 1);
    else
        ::unsetenv("TEMP");
    EXPECT_EQ(Services.Opened, std::vector<std::string>{copy});
    EXPECT_TRUE(std::filesystem::is_directory(Dir / "temp" / "Velmorat"));

    EXPECT_FALSE(Mod->AttachFile(Mod->zOpisi.get()));  // cancelled dialog
    // Detaching touches only the row, and posts nothing: the file goes when asked.
    ASSERT_TRUE(Mod->DetachFile(Mod->zOpisi.get()));
    EXPECT_EQ(Mod->zOpisi->State(), db::dsEdit);
    EXPECT_EQ(One("SELECT file_id FROM opisi"), id);
    EXPECT_TRUE(std::filesystem::exists(copy));
    Mod->zOpisi->Post();
    Mod->RemoveAttachment(std::stoi(id));
    EXPECT_EQ(One("SELECT file_id FROM opisi"), "0");
    EXPECT_FALSE(std::filesystem::exists(copy));
    EXPECT_EQ(One("SELECT count(*) FROM files"), "0");
    Mod->OpenAttachedFile(Mod->zOpisi.get());
    EXPECT_EQ(Services.Messages.size(), 1u);

    // A files row removed behind the module's back: removing it again is no error.
    Services.Picks.push_back(picked);
    ASSERT_TRUE(Mod->AttachFile(Mod->zOpisi.get()));
    Mod->zOpisi->Post();
    Raw("DELETE FROM files");
    ASSERT_TRUE(Mod->DetachFile(Mod->zOpisi.get()));
    Mod->zOpisi->Post();
    Mod->RemoveAttachment(99);
    EXPECT_EQ(One("SELECT file_id FROM opisi"), "0");

    // Deleting the entry removes its attachment with it.
    Services.Picks.push_back(picked);
    ASSERT_TRUE(Mod->AttachFile(Mod->zOpisi.get()));
    Mod->zOpisi->Post();
    const std::string last = FilesDir + One("SELECT file_id FROM opisi") + ".pdf";
    ASSERT_TRUE(std::filesystem::exists(last));
    Mod->zOpisi->Delete();
    EXPECT_FALSE(std::filesystem::exists(last));
    EXPECT_EQ(One("SELECT count(*) FROM files"), "0");
}

// An entry whose delete fails keeps its attachment whole.
TEST_F(DBModFixture, AFailedDeleteKeepsTheAttachment) {
    const std::string picked = (Dir / "act.txt").string();
    std::ofstream(picked) << "act";
    Mod->zLosses->Open();
    Mod->NewLoss(0);
    Services.Picks.push_back(picked);
    ASSERT_TRUE(Mod->AttachFile(Mod->zLosses.get()));
    Mod->zLosses->Post();
    const std::string copy = FilesDir + One("SELECT file_id FROM losses") + ".txt";
    Raw("CREATE TRIGGER keep BEFORE DELETE ON losses BEGIN SELECT RAISE(ABORT, 'kept'); END;");
    EXPECT_NE(MessageOf([&] { Mod->zLosses->Delete(); }), "");
    EXPECT_TRUE(std::filesystem::exists(copy));
    EXPECT_EQ(One("SELECT count(*) FROM files"), "1");
    Raw("DROP TRIGGER keep;");
    Mod->zLosses->Delete();
    EXPECT_FALSE(std::filesystem::exists(copy));
    EXPECT_EQ(One("SELECT count(*) FROM files"), "0");
}

TEST_F(DBModFixture, AFailedCopyLeavesNoFilesRow) {
    Mod->zOther->Open();
    Mod->NewDocOther(0);
    Services.Picks.push_back((Dir / "missing.txt").string());
    EXPECT_FALSE(Mod->AttachFile(Mod->zOther.get()));
    EXPECT_EQ(One("SELECT count(*) FROM files"), "0");
    EXPECT_TRUE(Mod->zOther->FieldByName("file_id")->IsNull());
    EXPECT_EQ(Services.Messages.size(), 1u);
}

// A database whose counter has lost its unique key and holds the same key twice refuses to number
// instead of numbering everything 0, and changes no counter.
TEST_F(DBModFixture, DuplicateCounterRowsAreAnErrorNotZero) {
    Raw("DROP INDEX numbers_key; INSERT INTO numbers (year_of, journal, kind_id, next_num) VALUES "
        "(2015, 2, 1, 5), (2015, 2, 1, 9);");
    Mod->SetYear(2015);
    EXPECT_NE(MessageOf([&] { Mod->NextNumber(jOpisi, 1); }), "");
    Mod->zOpisi->Open();
    Mod->NewOpis(1, 0);
    EXPECT_NE(MessageOf([&] { Mod->zOpisi->Post(); }), "");
    Mod->zOpisi->Cancel();
    EXPECT_EQ(Column("SELECT next_num FROM numbers ORDER BY id"), (std::vector<std::string>{"5", "9"}));
    EXPECT_EQ(One("SELECT count(*) FROM opisi"), "0");
}

TEST_F(DBModFixture, TwoProcessesNeverShareARunningNumber) {
    constexpr int Each = 40;
    int fds[2], ready[2], go[2];
    ASSERT_EQ(::pipe(fds), 0);
    ASSERT_EQ(::pipe(ready), 0);
    ASSERT_EQ(::pipe(go), 0);
    Mod.reset();
    pid_t kids[2];
    for (pid_t& kid : kids) {
        kid = ::fork();
        if (kid == 0) {
            ::close(fds[0]);
            int code = 0;
            try {
                TDBMod m(&Services);
                m.DataModuleCreate();
                // Both programs are up before either takes a number, so that the numbers race.
                char byte = 1;
                if (::write(ready[1], &byte, 1) != 1 || ::read(go[0], &byte, 1) != 1) code = 3;
                for (int i = 0; i < Each && code == 0; ++i) {
                    int32_t n = m.NextNumber(jOpisi, 1);
                    if (::write(fds[1], &n, sizeof n) != sizeof n) code = 2;
                }
            } catch (const rtl::Exception& e) {
                std::fprintf(stderr, "child: %s\n", e.what());
                code = 1;
            }
            ::_exit(code);
        }
    }
    for (int fd : {fds[1], ready[1], go[0]}) ::close(fd);
    // A child that failed before it was ready closes its end, and the wait ends without it.
    char bytes[2] = {1, 1};
    const bool bothReady = ::read(ready[0], bytes, 1) == 1 && ::read(ready[0], bytes, 1) == 1;
    EXPECT_TRUE(bothReady);
    if (bothReady) {
        EXPECT_EQ(::write(go[1], bytes, 2), 2);
    }
    ::close(go[1]);
    std::set<int32_t> seen;
    int32_t n = 0;
    while (::read(fds[0], &n, sizeof n) == sizeof n) EXPECT_TRUE(seen.insert(n).second) << n;
    for (int fd : {fds[0], ready[0]}) ::close(fd);
    for (pid_t kid : kids) {
        int status = 0;
        ::waitpid(kid, &status, 0);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    EXPECT_EQ(seen.size(), 2u * Each);
    EXPECT_EQ(*seen.rbegin(), 2 * Each);
}

}  // namespace
}  // namespace apptest
