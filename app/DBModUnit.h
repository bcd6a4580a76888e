// The data module: the one connection to "velmorat.sdb", every query and data source the forms
// bind to, the journal filters, running numbers, row rules, attached files and the login check.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "app/AppServices.h"
#include "data/components/Uni.h"
#include "data/components/UniDump.h"
#include "framework/rtl/Classes.h"
#include "framework/rtl/Text.h"

namespace app {

using components::TUniConnection;
using components::TUniDataSource;
using components::VUdeVizov;
using rtl::AnsiString;

enum TAccessLevel : uint16_t { alCurator = 1, alDepartmentHead = 2, alAdministrator = 3 };

struct TUser {
    int32_t Id = 0;
    AnsiString Name;
    uint16_t Access = 0;
};

// Set once at start-up.
extern std::string AppDir;    // the working folder, no trailing separator
extern std::string FilesDir;  // AppDir + "/files/": copies of attached files
extern uint16_t ThisYear;
extern int32_t TodayDate;  // whole days of the date type
extern TUser CurrentUser;
extern const char* const NameListTables[1];
inline constexpr char FilterSeparator = '|';

// Journal codes of the running-number counters.
enum TJournal : uint8_t {
    jSources = 1,
    jOpisi,
    jTransfer,
    jLosses,
    jEvents,
    jChanges,
    jNomenclature,
    jDocsApproval,
    jDocsOther
};

// A list of named condition parts, each "name|condition", kept in the order first set.
class TFilterList {
public:
    void Put(const AnsiString& Text);
    AnsiString Text() const;
    const std::vector<AnsiString>& Items() const noexcept { return FItems; }

private:
    std::vector<AnsiString> FItems;
};

class TDBMod {
public:
    // Services default to the desktop's; the working folder is the current directory.
    explicit TDBMod(IAppServices* Services = nullptr);
    ~TDBMod();
    TDBMod(const TDBMod&) = delete;
    TDBMod& operator=(const TDBMod&) = delete;

    // Start-up: globals, settings, connection, "my_lower", filters, the first opens. A failed
    // connect is swallowed and start-up goes on (the journals then report the closed connection).
    void DataModuleCreate();
    // Lets go of the filter lists; the destructor runs it.
    void DataModuleDestroy();
    // For the server-setup dialog: points the connection at the database file Name, making it from
    // AppDir's "install_db.sql" through zDump when the file does not exist yet, and connects. False,
    // with the message shown, when the script is missing. An SQLite database is its file: there is
    // no server to create it on or switch to.
    bool OpenOrInstallDatabase(const AnsiString& Name);

    // --- filters ---
    void SetYear(int32_t Value);
    void SetKind(int32_t Value);
    void SetSource(int32_t Value);
    void SetSourceKind(int32_t Value);
    void SetCurator(int32_t Value);
    void SetOwnership(int32_t Value);
    void PutDocCondition(const AnsiString& Text) { FDocFilter.Put(Text); }
    void PutSourceCondition(const AnsiString& Text) { FSourceFilter.Put(Text); }
    AnsiString GetDocFilterText() const { return FDocFilter.Text(); }
    AnsiString GetSourceFilterText() const { return FSourceFilter.Text(); }
    void ApplyDocFilter();
    void ApplySourceFilter();
    // The eight document journals, in the order the filter is applied to them.
    std::vector<VUdeVizov*> DocJournals() const;
    // The client filter of a journal that shows the sources whose name holds Text; empty text
    // switches it off. Quotes and wildcard characters of the text match themselves.
    static void FilterByName(VUdeVizov* Query, const AnsiString& Text);

    // --- numbers, rows, rules ---
    // The next number of (year filter, journal, kind), taken atomically from the counter.
    int32_t NextNumber(uint8_t Journal, int32_t Kind);
    void PostIfEditing(VUdeVizov* Query);
    void SaveSourceCard();
    void NewSource(int32_t Kind);
    void NewOpis(int32_t KindCode, int32_t SourceId);
    void NewTransfer(int32_t SourceId, bool Described);
    void NewLoss(int32_t SourceId);
    void NewEvent(int32_t SourceId);
    void NewNomenclature(int32_t SourceId);
    void NewChange(int32_t Decision, int32_t SourceId);
    void NewDocApproval(int32_t SourceId);
    void NewDocOther(int32_t SourceId);
    void NewPassport(int32_t Year, bool Copy);
    void NewUser();
    void LinkOpisToTransfer(int32_t OpisId, int32_t TransferId);
    void GetTransferOpisIds(AnsiString& Ids);
    void GetRubricText(AnsiString& Text);
    void LoadNameList(int TableIndex, const AnsiString& Condition, std::vector<AnsiString>& Names,
                      std::vector<int32_t>& Ids);
    void LoadDocKinds(std::vector<AnsiString>& Names, std::vector<int32_t>& Ids);

    // --- attached files ---
    bool AttachFile(VUdeVizov* Query);
    void GetAttachedFileName(VUdeVizov* Query, std::string& FileName);
    // Lets the current row go of its file (file_id 0, the row left in edit state, not posted);
    // the file itself stays until RemoveAttachment, so that a card closed without saving keeps it.
    bool DetachFile(VUdeVizov* Query);
    // Deletes the files row and its copy; an id below 1 or of no row does nothing.
    void RemoveAttachment(int32_t FileId);
    // Opens the attachment of the current row with the desktop's program, or reports it missing.
    void OpenAttachedFile(VUdeVizov* Query);

    // --- login ---
    bool CheckLogin(const AnsiString& Name, const AnsiString& Password);
    // Writes the user's name as the last one to "setup.ini".
    void RememberUser(const AnsiString& Name);
    AnsiString LastUser() const;

    // --- state ---
    int32_t FYear = 0, FKind = 0, FSource = 0, FSourceKind = 0, FCurator = 0, FOwnership = 0;
    const TFilterList& DocFilter() const noexcept { return FDocFilter; }
    const TFilterList& SourceFilter() const noexcept { return FSourceFilter; }
    IAppServices& Services() const noexcept { return *FServices; }
    // A hook that runs between the statements of a source's deletion; tests inject failures.
    std::function<void(int Step)> OnDeleteSourceStep;

    // Components, created with the module; the connection is freed last.
    rtl::TOwnedPtr<TUniConnection> zServer;
    rtl::TOwnedPtr<VUdeVizov> zSources, zOpisi, zTransfer, zLosses, zEvents, zChanges, zNomenclature, zDocsApp, zOther,
        zOrgs, zPassport, zDocs, zRenames, zOpisFond, zLSources, zNumbers, zUsers, zDocKind, zEPMK, zVNTD, zBranches,
        zFiles, zFileContent, zEventType;
    // Restores the install script for the server-setup dialog.
    rtl::TOwnedPtr<components::TUniDump> zDump;
    rtl::TOwnedPtr<TUniDataSource> srcSources, srcOpisi, srcTransfer, srcLosses, srcEvents, srcChanges, srcNomenclature,
        srcDocsApp, srcOther, srcOrgs, srcPassport, srcDocs, srcRenames, srcOpisFond, srcLSources, srcUsers, srcDocKind,
        srcEPMK, srcVNTD, srcEventType;

private:
    VUdeVizov* MakeQuery(rtl::TOwnedPtr<VUdeVizov>& Query, const char* SQL);
    void MakeSource(rtl::TOwnedPtr<TUniDataSource>& Source, VUdeVizov* Query);
    void BindRules();
    void CreateJournalFields();
    // Number and year of a journal row before it is posted.
    void NumberAndYear(db::TDataSet* DataSet, uint8_t Journal, const char* DateField);
    void SourceBeforePost(db::TDataSet* DataSet);
    void SourceAfterPost(db::TDataSet* DataSet);
    void SourceBeforeDelete(db::TDataSet* DataSet);
    void ChangeAfterPost(db::TDataSet* DataSet);
    void EntryBeforeDelete(db::TDataSet* DataSet);
    void EntryAfterDelete(db::TDataSet* DataSet);
    void OpisiAfterScroll(db::TDataSet* DataSet);
    // A query on zServer, read whole when it opens.
    rtl::TOwnedPtr<VUdeVizov> TaskQuery(const AnsiString& SQL);
    // The files row of an id opened in zFiles; false when there is none.
    bool OpenFileRow(int32_t FileId);
    static std::string Extension(const AnsiString& Name);
    void SettingsWrite(const char* Section, const char* Key, const AnsiString& Value);
    // Tells the user that another program keeps the database locked.
    void ReportLocked();

    std::unique_ptr<IAppServices> FOwnServices;
    IAppServices* FServices;
    TFilterList FDocFilter, FSourceFilter;
    std::map<db::TDataSet*, int32_t> FPendingFile;
    bool FOwnDeleteTransaction = false;  // a source's deletion started the open transaction
};

// The engine's busy or locked error: another program held the file past the busy time-out.
bool IsLockError(const std::exception& E);

// The program's one data module.
extern TDBMod* DBMod;

// A database file to open: one that exists and is not empty (an empty file is a missing database).
bool HasDatabaseFile(const std::filesystem::path& File);

// The year of a date value; an empty (null) date counts as the current year.
int32_t YearOfField(db::TField* Field);
// The program's folder in the temporary directory that the variable TEMP names (else the system's).
std::string TempVelmoratDir();
// "my_lower": the text lower-cased by the single-byte code page's rules.
AnsiString MyLower(const AnsiString& Text);

}  // namespace app
