// The data module's components, start-up and journal filters.
#include "app/DBModUnit.h"

#include <filesystem>
#include <fstream>

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
    auto it = std::find_if(FItems.begin(), FItems.end(), [&](const AnsiString& item) {
        return item.substr(0, item.find(FilterSeparator)) == name;
    });
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

    MakeSource(srcSources, MakeQuery(zSources, "SELECT * FROM sources", true));
    MakeSource(srcOpisi, MakeQuery(zOpisi, "SELECT * FROM opisi", true));
    MakeSource(srcTransfer, MakeQuery(zTransfer, "SELECT * FROM transfer", true));
    MakeSource(srcLosses, MakeQuery(zLosses, "SELECT * FROM losses", true));
    MakeSource(srcEvents, MakeQuery(zEvents, "SELECT * FROM events", true));
    MakeSource(srcChanges, MakeQuery(zChanges, "SELECT * FROM changes", true));
    MakeSource(srcNomenclature, MakeQuery(zNomenclature, "SELECT * FROM nomenclature", true));
    MakeSource(srcDocsApp, MakeQuery(zDocsApp, "SELECT * FROM docs_approval", true));
    MakeSource(srcOther, MakeQuery(zOther, "SELECT * FROM docs_other", false));
    MakeSource(srcOrgs, MakeQuery(zOrgs, "SELECT * FROM organisations", false));
    MakeSource(srcPassport, MakeQuery(zPassport, "SELECT * FROM passport", false));
    MakeSource(srcDocs, MakeQuery(zDocs, "SELECT * FROM documents", false));
    MakeSource(srcRenames, MakeQuery(zRenames, "SELECT * FROM renames", false));
    MakeSource(srcOpisFond, MakeQuery(zOpisFond, "SELECT * FROM opisi_fond WHERE source_id = :source_id", false));
    MakeSource(srcLSources, MakeQuery(zLSources, "SELECT id, source_name FROM sources ORDER BY source_name", false));
    MakeQuery(zNumbers, "SELECT * FROM numbers WHERE year_of = :year AND journal = :journal AND kind_id = :kind", false);
    MakeSource(srcUsers, MakeQuery(zUsers, "SELECT * FROM v_user", false));
    MakeSource(srcDocKind, MakeQuery(zDocKind, "SELECT * FROM v_dockind", false));
    MakeSource(srcEPMK, MakeQuery(zEPMK, "SELECT * FROM v_epmk", false));
    MakeSource(srcVNTD, MakeQuery(zVNTD, "SELECT * FROM v_ntd", false));
    MakeQuery(zBranches, "SELECT * FROM branches ORDER BY id", false);
    MakeQuery(zFiles, "SELECT * FROM files WHERE id = :ID", false);
    MakeQuery(zFileContent, "SELECT * FROM file_content WHERE file_id = :ID LIMIT 1", false);
    MakeSource(srcEventType, MakeQuery(zEventType, "", false));

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
    for (auto* s : {&srcSources, &srcOpisi, &srcTransfer, &srcLosses, &srcEvents, &srcChanges, &srcNomenclature,
                    &srcDocsApp, &srcOther, &srcOrgs, &srcPassport, &srcDocs, &srcRenames, &srcOpisFond,
                    &srcLSources, &srcUsers, &srcDocKind, &srcEPMK, &srcVNTD, &srcEventType})
        s->reset();
    for (auto* q : {&zDocs, &zOrgs, &zPassport, &zRenames, &zSources, &zOpisi, &zTransfer, &zLosses, &zEvents,
                    &zChanges, &zNomenclature, &zDocsApp, &zOther, &zOpisFond, &zLSources, &zNumbers, &zUsers,
                    &zDocKind, &zEPMK, &zVNTD, &zBranches, &zFiles, &zFileContent, &zEventType})
        q->reset();
    zDump.reset();
    zServer.reset();
}

VUdeVizov* TDBMod::MakeQuery(rtl::TOwnedPtr<VUdeVizov>& Query, const char* SQL, bool FetchAll) {
    Query.reset(rtl::Create<VUdeVizov>(nullptr));
    Query->SetConnection(zServer.get());
    Query->SetSQL(SQL);
    if (FetchAll) Query->SpecificOptions()->Add("SQLite.FetchAll=True");
    return Query.get();
}

void TDBMod::MakeSource(rtl::TOwnedPtr<TUniDataSource>& Source, VUdeVizov* Query) {
    Source.reset(rtl::Create<TUniDataSource>(nullptr));
    Source->SetDataSet(Query);
}

rtl::TOwnedPtr<VUdeVizov> TDBMod::TaskQuery(const AnsiString& SQL) {
    rtl::TOwnedPtr<VUdeVizov> q(rtl::Create<VUdeVizov>(nullptr));
    q->SetConnection(zServer.get());
    q->SetSQL(SQL);
    return q;
}

bool HasDatabaseFile(const std::filesystem::path& File) {
    std::error_code ec;
    const auto size = std::filesystem::file_size(File, ec);
    return !ec && size > 0;
}

AnsiString MyLower(const AnsiString& Text) { return rtl::AnsiLowerCase(Text); }

void TDBMod::DataModuleCreate() {
    AppDir = std::filesystem::current_path().string();
    FilesDir = AppDir + "/files/";
    // The full path: the engine would make a missing file empty, with no tables, under a bare name.
    const std::filesystem::path file = std::filesystem::path(AppDir) / "velmorat.sdb";
    zServer->SetDatabase(rtl::UTF8ToAnsi(file.string()));
    bool failed = !HasDatabaseFile(file);
    if (!failed) try {
            zServer->Connect();
        } catch (const rtl::Exception&) {
            failed = !zServer->Connected();
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
    if (!zServer->Connected()) return;
    CreateJournalFields();
    zUsers->Open();
    zSources->Open();
    zLSources->Open();
    zEPMK->Open();
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
    const std::pair<VUdeVizov*, int> journals[] = {{zOpisi.get(), 250}, {zTransfer.get(), 250}, {zLosses.get(), 100},
                                                   {zEvents.get(), 100}, {zChanges.get(), 100}, {zNomenclature.get(), 100},
                                                   {zDocsApp.get(), 100}, {zOther.get(), 20}};
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
    return {zOpisi.get(), zOther.get(), zEvents.get(), zLosses.get(),
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
