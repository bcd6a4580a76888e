// The dump component: writes the rows of tables as SQL text ("backup") and runs such a text
// against its connection ("restore"). The processor, which a provider may specialise, produces the
// backup text; a restore runs through the script component.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "data/components/DAScript.h"
#include "framework/rtl/Text.h"

namespace components {

inline constexpr const char* DADumpUnit = "DADump";
inline constexpr const char* SBackupQueryOneTable =
    "To execute BackupQuery TableNames must have not more than one table";
inline constexpr const char* SQueryOneTable = "Query must contain one table";
inline constexpr const char* SConnectionNotConnected = "Connection is not connected";

class TDADump;
class TDADumpProcessor;

using TDABackupProgressEvent = std::function<void(rtl::TObject* Sender, const AnsiString& ObjectName, int ObjectNum,
                                                  int ObjectCount, int Percent)>;
using TDARestoreProgressEvent = std::function<void(rtl::TObject* Sender, int Percent)>;

class TDADumpOptions : public rtl::TPersistent {
    RTL_CLASS(TDADumpOptions, rtl::TPersistent)
public:
    explicit TDADumpOptions(TDADump* Owner = nullptr) : FOwner(Owner) {}

    bool GenerateHeader() const noexcept { return FGenerateHeader; }
    void SetGenerateHeader(bool Value) noexcept { FGenerateHeader = Value; }
    bool AddDrop() const noexcept { return FAddDrop; }
    void SetAddDrop(bool Value) noexcept { FAddDrop = Value; }
    bool QuoteNames() const noexcept { return FQuoteNames; }
    void SetQuoteNames(bool Value) noexcept { FQuoteNames = Value; }
    bool CompleteInsert() const noexcept { return FCompleteInsert; }
    void SetCompleteInsert(bool Value) noexcept { FCompleteInsert = Value; }

protected:
    void AssignTo(rtl::TPersistent* Dest) override;

    TDADump* FOwner;
    bool FGenerateHeader = true;
    bool FAddDrop = true;
    bool FQuoteNames = false;
    bool FCompleteInsert = false;
};

class TDADumpProcessorClass : public rtl::ClassRef {
public:
    using rtl::ClassRef::ClassRef;
    virtual TDADumpProcessor* Create(TDADump* Dump) const;
    template <class T>
    class Of;
};

template <class T>
class TDADumpProcessorClass::Of : public TDADumpProcessorClass {
public:
    using TDADumpProcessorClass::TDADumpProcessorClass;
    TDADumpProcessor* Create(TDADump* Dump) const override { return rtl::Create<T>(Dump); }
};

// Produces the backup text of a dump.
class TDADumpProcessor : public rtl::TObject {
public:
    using ClassRefType = TDADumpProcessorClass;
    RTL_CLASS(TDADumpProcessor, rtl::TObject)
public:
    explicit TDADumpProcessor(TDADump* Dump) : FDump(Dump) {}
    ~TDADumpProcessor() override;

    // One line of output, already in the output's encoding (see OutputUTF8). Lines for a stream
    // are kept until FlushOutput, which Backup runs at its end.
    virtual void WriteLine(const AnsiString& Line);
    void FlushOutput();
    virtual void Backup(const AnsiString& Query);
    virtual void CheckBackupQuery(const AnsiString& Query);
    // A new dataset of the dump's connection, made ready for reading; the caller owns it.
    virtual daccess::TCustomDADataSet* CreateQuery();
    virtual daccess::TCustomDADataSet* GetQuery();
    virtual void BeforeBackupObjects() {}
    virtual void AfterBackupObjects() {}
    virtual void BackupObjects(const AnsiString& Query);
    virtual void BackupData(const AnsiString& TableName, const AnsiString& Query, int TableNum, int TableCount);
    // Writes the rows of the open query (FQuery) as INSERT statements; a provider may read them
    // its own way. NameColumns: the statements list the query's columns.
    virtual void BackupRows(const AnsiString& Table, bool NameColumns, int TableNum, int TableCount);
    // The SQL literal of a field's value, in the output's encoding.
    virtual AnsiString GetFieldValueForDump(db::TField* Field);
    // The connection's SQL information; the caller owns it.
    virtual daccess::TSQLInfo* GetSQLInfo();
    virtual AnsiString QuoteName(const AnsiString& Name);
    virtual void SetProp(int Prop, const Variant& Value);
    virtual Variant GetProp(int Prop);
    // Whether the output is UTF-8 (with a byte-order mark at the start of a stream) rather than the
    // single-byte code page.
    virtual bool OutputUTF8() { return false; }
    // Puts the tables of a whole-database backup in the order their rows can be restored in
    // (names as the server gives them).
    virtual void OrderTables(rtl::TStrings* /*Tables*/) {}
    // Run inside the restore's own transaction before its first statement.
    virtual void BeginRestore() {}

    TDADump* Dump() const noexcept { return FDump; }

protected:
    // "INSERT INTO Table[(columns)] VALUES (" in the output's encoding.
    AnsiString InsertPrefix(const AnsiString& Table, bool NameColumns);
    // Tells OnBackupProgress that row Number of Count (0: not known) is written.
    void RowWritten(const AnsiString& Table, int TableNum, int TableCount, int Number, int Count);
    // Text of the single-byte code page in the output's encoding.
    AnsiString Out(const AnsiString& Text) { return FUTF8 ? rtl::AnsiToUTF8(Text) : Text; }

    TDADump* FDump;
    daccess::TCustomDADataSet* FQuery = nullptr;
    bool FUTF8 = false;
    bool FBOMWritten = false;
    std::string FPending;  // lines not yet written to the stream
};

// The dump component.
class TDADump : public rtl::TComponent {
    RTL_CLASS(TDADump, rtl::TComponent)
public:
    explicit TDADump(rtl::TComponent* Owner);
    ~TDADump() override;
    void AfterConstruction() override;
    void Notification(rtl::TComponent* AComponent, rtl::TOperation Operation) override;

    virtual const TDADumpProcessorClass& GetProcessorClass();
    virtual void SetProcessor(TDADumpProcessor* Value);
    virtual AnsiString TableNamesRead();
    virtual void TableNamesWrite(const AnsiString& Value);
    virtual TDADumpOptions* CreateOptions();
    virtual TDAScript* CreateScript();
    virtual void BeginConnection();
    virtual void EndConnection();
    virtual void AddHeader(AnsiString& Text);

    // --- backup ---
    // All tables (or TableNames) into SQL.
    void Backup();
    // The rows of one query into SQL.
    void BackupQuery(const AnsiString& Query);
    void BackupToStream(rtl::TStream* Stream, const AnsiString& Query = {});
    void BackupToFile(const AnsiString& FileName, const AnsiString& Query = {});

    // --- restore ---
    void RestoreFromFile(const AnsiString& FileName);
    void RestoreFromStream(rtl::TStream* Stream);

    // --- properties ---
    daccess::TCustomDAConnection* Connection() const noexcept { return FConnection; }
    void SetConnection(daccess::TCustomDAConnection* Value);
    rtl::TStrings* SQL() const noexcept { return FSQL.get(); }
    void SetSQL(rtl::TStrings* Value);
    AnsiString TableNames() { return TableNamesRead(); }
    void SetTableNames(const AnsiString& Value) { TableNamesWrite(Value); }
    // The list behind TableNames.
    rtl::TStrings* TableList() const noexcept { return FTables.get(); }
    bool Debug() const noexcept { return FDebug; }
    void SetDebug(bool Value) noexcept { FDebug = Value; }
    TDADumpOptions* Options() const noexcept { return FOptions.get(); }
    TDADumpProcessor* Processor() const noexcept { return FProcessor.get(); }
    rtl::TStream* OutputStream() const noexcept { return FStream; }

    TDABackupProgressEvent OnBackupProgress;
    TDARestoreProgressEvent OnRestoreProgress;
    TOnErrorEvent OnError;

protected:
    void RunBackup(rtl::TStream* Stream, const AnsiString& Query);

    daccess::TCustomDAConnection* FConnection = nullptr;
    rtl::TOwnedPtr<TDADumpProcessor> FProcessor;
    rtl::TOwnedPtr<rtl::TStringList> FSQL;
    rtl::TOwnedPtr<rtl::TStringList> FTables;
    bool FDebug = false;
    rtl::TOwnedPtr<TDADumpOptions> FOptions;
    rtl::TStream* FStream = nullptr;
};

// Float text that reads back as the same double: the shortest such text, "." as separator.
AnsiString FloatToDumpText(double Value);
void AppendFloatDumpText(AnsiString& Out, double Value);

}  // namespace components
