// The data module's components, start-up and journal filters.
#include "app/DBModUnit.h"

#include <filesystem>
#include <fstream>

#include "data/access/DBAccess_Error.h"
#include "data/sqlite/SQLiteUniProvider.h"
#include "framework/db/DB_FieldClasses.h"
#include "framework/rtl/DateUtils.h"
#include "framework/rtl/IniFiles.h"

namespace app {

TDBMod* DBMod = nullptr;
std::string AppDir;
std::string FilesDir;
uint16_t ThisYear = 0;
int32_t TodayDate = 0;
TUser CurrentUser;
const char* const NameListTables[1] = {"user"};

// ---------------------------------------------------------------------------------------------
// Filter lists

void TFilterList::Put(const AnsiString& Text) {
    if (Text.empty()) {
        FItems.clear();
        return;
    }
    const auto sep = Text.find(FilterSeparator);
    const AnsiString name = Text.substr(0, sep);
    auto it = std::find_if(FItems.begin(), FItems.end(),
                           [&](const AnsiString& item) { return item.substr(0, item.find(FilterSeparator)) == name; });
    if (sep != AnsiString::npos) {
        if (it != FItems.end())
            *it = Text;
        else
            FItems.push_back(Text);
    } else if (it != FItems.end()) {
        FItems.erase(it);
    }
}

AnsiString TFilterList::Text() const {
    AnsiString result;
    for (const AnsiString& item : FItems) {
        const auto sep = item.find(FilterSeparator);
        if (!result.empty()) result += " AND ";
        result += sep == AnsiString::npos ? AnsiString() : item.substr(sep + 1);
    }
    return result;
}

// ---------------------------------------------------------------------------------------------
// Components

TDBMod::TDBMod(IAppServices* Services) : FServices(Services) {
    if (!FServices) {
        FOwnServices = std::make_unique<TDesktopServices>();
        FServices = FOwnServices.get();
    }
    zServer.reset(rtl::Create<TUniConnection>(nullptr));
    zServer->SetLoginPrompt(false);
    zServer->SetProviderName("SQLite");
    for (const char* line : {"SQLite.BusyTimeout=350", "SQLite.ReadUncommitted=True", "SQLite.EnableSharedCache=True",
                             "SQLite.ForeignKeys=False"})
        zServer->SpecificOptions()->Add(line);

    MakeSource(srcSources, MakeQuery(zSources, "SELECT * FROM sources"));
    MakeSource(srcOpisi, MakeQuery(zOpisi, "SELECT * FROM opisi"));
    MakeSource(srcTransfer, MakeQuery(zTransfer, "SELECT * FROM transfer"));
    MakeSource(srcLosses, MakeQuery(zLosses, "SELECT * FROM losses"));
    MakeSource(srcEvents, MakeQuery(zEvents, "SELECT * FROM events"));
    MakeSource(srcChanges, MakeQuery(zChanges, "SELECT * FROM changes"));
    MakeSource(srcNomenclature, MakeQuery(zNomenclature, "SELECT * FROM nomenclature"));
    MakeSource(srcDocsApp, MakeQuery(zDocsApp, "SELECT * FROM docs_approval"));
    MakeSource(srcOther, MakeQuery(zOther, "SELECT * FROM docs_other"));
    MakeSource(srcOrgs, MakeQuery(zOrgs, "SELECT * FROM organisations"));
    MakeSource(srcPassport, MakeQuery(zPassport, "SELECT * FROM passport"));
    MakeSource(srcDocs, MakeQuery(zDocs, "SELECT * FROM documents"));
    MakeSource(srcRenames, MakeQuery(zRenames, "SELECT * FROM renames"));
    MakeSource(srcOpisFond, MakeQuery(zOpisFond, "SELECT * FROM opisi_fond WHERE source_id = :source_id"));
    MakeSource(srcLSources, MakeQuery(zLSources, "SELECT id, source_name FROM sources ORDER BY source_name"));
    MakeQuery(zNumbers, "SELECT * FROM numbers WHERE year_of = :year AND journal = :journal AND kind_id = :kind");
    MakeSource(srcUsers, MakeQuery(zUsers, "SELECT * FROM v_user"));
    MakeSource(srcDocKind, MakeQuery(zDocKind, "SELECT * FROM v_dockind"));
    MakeSource(srcEPMK, MakeQuery(zEPMK, "SELECT * FROM v_epmk"));
    MakeSource(srcVNTD, MakeQuery(zVNTD, "SELECT * FROM v_ntd"));
    MakeQuery(zBranches, "SELECT * FROM branches ORDER BY id");
    MakeQuery(zFiles, "SELECT * FROM files WHERE id = :ID");
    MakeQuery(zFileContent, "SELECT * FROM file_content WHERE file_id = :ID LIMIT 1");
    MakeSource(srcEventType, MakeQuery(zEventType, ""));

    zDump.reset(rtl::Create<components::TUniDump>(nullptr));
    zDump->SetConnection(zServer.get());

    // Details follow their masters.
    for (VUdeVizov* q : {zOrgs.get(), zPassport.get(), zRenames.get()}) {
        q->SetMasterSource(srcSources.get());
        q->SetMasterFields(u"id");
        q->SetDetailFields(u"source_id");
    }
    zDocs->SetMasterSource(srcPassport.get());
    zDocs->SetMasterFields(u"id");
    zDocs->SetDetailFields(u"passport_id");
    zPassport->SetIndexFieldNames("year_of DESC");
    BindRules();
}

TDBMod::~TDBMod() {
    DataModuleDestroy();
    // Data sources and details go before the queries they point at, the connection last.
    for (auto* s : {&srcSources,  &srcOpisi, &srcTransfer, &srcLosses,   &srcEvents, &srcChanges,  &srcNomenclature,
                    &srcDocsApp,  &srcOther, &srcOrgs,     &srcPassport, &srcDocs,   &srcRenames,  &srcOpisFond,
                    &srcLSources, &srcUsers, &srcDocKind,  &srcEPMK,     &srcVNTD,   &srcEventType})
        s->reset();
    for (auto* q : {&zDocs,   &zOrgs,    &zPassport,     &zRenames, &zSources,  &zOpisi,    &zTransfer,    &zLosses,
                    &zEvents, &zChanges, &zNomenclature, &zDocsApp, &zOther,    &zOpisFond, &zLSources,    &zNumbers,
                    &zUsers,  &zDocKind, &zEPMK,         &zVNTD,    &zBranches, &zFiles,    &zFileContent, &zEventType})
        q->reset();
    zDump.reset();
    zServer.reset();
}

VUdeVizov* TDBMod::MakeQuery(rtl::TOwnedPtr<VUdeVizov>& Query, const char* SQL) {
    Query = TaskQuery(SQL);
    return Query.get();
}

void TDBMod::MakeSource(rtl::TOwnedPtr<TUniDataSource>& Source, VUdeVizov* Query) {
    Source.reset(rtl::Create<TUniDataSource>(nullptr));
    Source->SetDataSet(Query);
}

// Every query of the module is read whole when it opens: a query read in part keeps its statement
// stepping, and with it a read lock on the file that stops every other program's writes for as
// long as the query stays open.
rtl::TOwnedPtr<VUdeVizov> TDBMod::TaskQuery(const AnsiString& SQL) {
    rtl::TOwnedPtr<VUdeVizov> q(rtl::Create<VUdeVizov>(nullptr));
    q->SetConnection(zServer.get());
    q->SetSQL(SQL);
    q->SpecificOptions()->Add("SQLite.FetchAll=True");
    return q;
}

bool HasDatabaseFile(const std::filesystem::path& File) {
    std::error_code ec;
    const auto size = std::filesystem::file_size(File, ec);
    return !ec && size > 0;
}

AnsiString MyLower(const AnsiString& Text) { return rtl::AnsiLowerCase(Text); }

bool IsLockError(const std::exception& E) {
    const auto* e = dynamic_cast<const daccess::EDAError*>(&E);
    if (!e) return false;
    const int code = e->ErrorCode() & 0xff;
    return code == 5 || code == 6;  // the engine's busy and locked codes
}

void TDBMod::ReportLocked() {
    FServices->MessageBox(rtl::UTF8ToAnsi(u8"База данных занята другой программой и сейчас не может быть прочитана. "
                                          u8"Закройте программу и запустите ее еще раз."),
                          rtl::UTF8ToAnsi(u8"Ошибка соединения"), TMsgIcon::Warning);
}

void TDBMod::DataModuleCreate() {
    AppDir = std::filesystem::current_path().string();
    FilesDir = AppDir + "/files/";
    // The full path: the engine would make a missing file empty, with no tables, under a bare name.
    const std::filesystem::path file = std::filesystem::path(AppDir) / "velmorat.sdb";
    zServer->SetDatabase(rtl::UTF8ToAnsi(file.string()));
    bool failed = !HasDatabaseFile(file);
    bool locked = false;
    if (!failed) {
        try {
            zServer->Connect();
        } catch (const rtl::Exception& e) {
            // A file another program keeps locked past the busy time-out is no case for the
            // server-setup dialog: the user is told so instead.
            locked = IsLockError(e);
            failed = !locked && !zServer->Connected();
        }
    }
    // Start-up goes on, with or without a connection; the first open reports a closed one.
    if (failed && FServices->ServerSetup()) {
        SettingsWrite("SQL", "hostname", zServer->Server());
        SettingsWrite("SQL", "username", zServer->Username());
        SettingsWrite("SQL", "password", zServer->Password());
        SettingsWrite("SQL", "database", zServer->Database());
    }
    // The provider refuses a closed connection; without one no statement runs that could call it.
    if (zServer->Connected())
        sqlite::TLiteUtils::RegisterFunction(
            zServer.get(), "my_lower",
            [](const sqlite::TLiteFunctionArgs& Args) -> rtl::Variant {
                if (Args.empty() || Args[0].IsNull()) return rtl::Variant::Null();
                return rtl::Variant(MyLower(rtl::VarToStr(Args[0])));
            },
            1);
    FDocFilter.Put("");
    FSourceFilter.Put("");
    ThisYear = static_cast<uint16_t>(rtl::YearOf(rtl::Now()));
    SetYear(ThisYear);
    TodayDate = static_cast<int32_t>(rtl::Date());
    if (!zServer->Connected()) {
        if (locked) ReportLocked();
        return;
    }
    try {
        CreateJournalFields();
        zUsers->Open();
        zSources->Open();
        zLSources->Open();
        zEPMK->Open();
    } catch (const rtl::Exception& e) {
        if (!IsLockError(e)) throw;
        // No query half-open: the module stands as after a connect that failed.
        zServer->Disconnect();
        ReportLocked();
    }
}

void TDBMod::DataModuleDestroy() {
    FDocFilter.Put("");
    FSourceFilter.Put("");
}

bool TDBMod::OpenOrInstallDatabase(const AnsiString& Name) {
    std::filesystem::path file(rtl::AnsiToUTF8(rtl::Trim(Name)));
    if (file.is_relative()) file = AppDir / file;
    if (zServer->Connected()) zServer->Disconnect();
    zServer->SetDatabase(rtl::UTF8ToAnsi(file.string()));
    if (!HasDatabaseFile(file)) {
        const std::string script = AppDir + "/install_db.sql";
        if (!std::filesystem::exists(script)) {
            FServices->MessageBox(
                rtl::UTF8ToAnsi(u8"Файл install_db.sql не найден. Попробуйте переустановить программу"),
                rtl::UTF8ToAnsi(u8"Внимание"), TMsgIcon::Warning);
            return false;
        }
        // An empty file is a new database to the engine; a script that fails leaves no half-made one.
        std::ofstream(file, std::ios::binary).flush();
        try {
            zDump->RestoreFromFile(rtl::UTF8ToAnsi(script));
        } catch (...) {
            zServer->Disconnect();
            std::error_code ec;
            std::filesystem::remove(file, ec);
            throw;
        }
    }
    zServer->Connect();
    return zServer->Connected();
}

void TDBMod::CreateJournalFields() {
    // The document journals keep the table's columns as their own fields, in the table's order, and
    // add the source's name looked up by source_id.
    const std::pair<VUdeVizov*, int> journals[] = {
        {zOpisi.get(), 250},   {zTransfer.get(), 250},     {zLosses.get(), 100},  {zEvents.get(), 100},
        {zChanges.get(), 100}, {zNomenclature.get(), 100}, {zDocsApp.get(), 100}, {zOther.get(), 20}};
    for (const auto& [q, size] : journals) {
        if (q->FieldCount() > 0) continue;
        q->InitFieldDefs();
        for (int i = 0; i < q->FieldDefs().Count(); ++i) q->FieldDefs()[i]->CreateField(q);
        auto* name = rtl::Create<db::TStringField>(q);
        name->SetFieldName(u"source_name");
        name->SetFieldKind(db::fkLookup);
        name->SetSize(size);
        name->SetLookupDataSet(zLSources.get());
        name->SetKeyFields(u"source_id");
        name->SetLookupKeyFields(u"id");
        name->SetLookupResultField(u"source_name");
        name->SetDataSet(q);
    }
}

// ---------------------------------------------------------------------------------------------
// Settings

void TDBMod::SettingsWrite(const char* Section, const char* Key, const AnsiString& Value) {
    rtl::TOwnedPtr<rtl::TIniFile> ini(rtl::Create<rtl::TIniFile>(AnsiString(AppDir + "/setup.ini")));
    ini->WriteString(Section, Key, Value);
    ini->UpdateFile();
}

AnsiString TDBMod::LastUser() const {
    rtl::TOwnedPtr<rtl::TIniFile> ini(rtl::Create<rtl::TIniFile>(AnsiString(AppDir + "/setup.ini")));
    return ini->ReadString("COMMON", "LastUser", "");
}

void TDBMod::RememberUser(const AnsiString& Name) {
    SettingsWrite("COMMON", "username", Name);
    SettingsWrite("COMMON", "LastUser", Name);
}

// ---------------------------------------------------------------------------------------------
// Filters

namespace {
AnsiString Part(const char* Name, const char* Condition, int32_t Value) {
    if (Value <= 0) return Name;
    return AnsiString(Name) + FilterSeparator + Condition + std::to_string(Value);
}
}  // namespace

void TDBMod::SetYear(int32_t Value) {
    if (Value == FYear) return;
    FYear = Value;
    FDocFilter.Put(Part("year_of", "year_of = ", Value));
    ApplyDocFilter();
}

void TDBMod::SetKind(int32_t Value) {
    if (Value == FKind) return;
    FKind = Value;
    FDocFilter.Put(Part("kind_id", "kind_id = ", Value));
    ApplyDocFilter();
}

void TDBMod::SetSource(int32_t Value) {
    if (Value == FSource) return;
    FSource = Value;
    zOpisFond->Params()->Items(0)->SetAsInteger(Value);
    FDocFilter.Put(Part("source_id", "source_id = ", Value));
    ApplyDocFilter();
}

void TDBMod::SetSourceKind(int32_t Value) {
    if (Value == FSourceKind) return;
    FSourceKind = Value;
    FSourceFilter.Put(Part("sourcekind", "sourcekind_id = ", Value));
    ApplySourceFilter();
}

void TDBMod::SetCurator(int32_t Value) {
    if (Value == FCurator) return;
    FCurator = Value;
    FSourceFilter.Put(Part("curator_id", "curator_id = ", Value));
    ApplySourceFilter();
    ApplyDocFilter();
}

void TDBMod::SetOwnership(int32_t Value) {
    if (Value == FOwnership) return;
    FOwnership = Value;
    FSourceFilter.Put(Part("ownership", "ownership = ", Value));
    ApplySourceFilter();
}

std::vector<VUdeVizov*> TDBMod::DocJournals() const {
    return {zOpisi.get(),   zOther.get(),   zEvents.get(),   zLosses.get(),
            zChanges.get(), zDocsApp.get(), zTransfer.get(), zNomenclature.get()};
}

void TDBMod::ApplyDocFilter() {
    const AnsiString text = GetDocFilterText();
    for (VUdeVizov* q : DocJournals()) q->SetFilterSQL(text);
}

void TDBMod::ApplySourceFilter() { zSources->SetFilterSQL(GetSourceFilterText()); }

void TDBMod::FilterByName(VUdeVizov* Query, const AnsiString& Text) {
    if (Text.empty()) {
        Query->SetFiltered(false);
        Query->SetOnFilterRecord(nullptr);
        return;
    }
    // The text is matched as it is, not placed in a filter literal: quotes and the filter
    // language's wildcard characters then stand for themselves.
    Query->SetFilter("");
    Query->SetOnFilterRecord([Text](db::TDataSet* DataSet, bool& Accept) {
        Accept = DataSet->FieldByName("source_name")->AsString().find(Text) != AnsiString::npos;
    });
    Query->SetFiltered(true);
}

}  // namespace app
