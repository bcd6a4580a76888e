// The script component: runs a text of several SQL statements one at a time. The processor splits
// the text with a dialect's lexer at the delimiter (or at "/" alone on a line), never inside
// literals or comments; the script expands its macros, lets handlers see, change or skip each
// statement, executes it and applies its error policy.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>

#include "data/access/DBAccess.h"
#include "data/store/CRParser.h"
#include "framework/rtl/Classes.h"
#include "framework/rtl/Lock.h"
#include "framework/rtl/Ownership.h"
#include "framework/rtl/Streams.h"

namespace store {
class Encoding;
}

namespace components {

using rtl::AnsiString;
using rtl::Variant;

inline constexpr const char* DAScriptUnit = "DAScript";

enum TErrorAction { eaAbort, eaFail, eaException, eaContinue };

// Statement kinds the processor tracks.
inline constexpr int skNormal = 0;
inline constexpr int skComment = 2;     // comments and blanks only
inline constexpr int skBlock = 0x8000;  // not ended by the delimiter

class TDAScript;
class TDAScriptProcessor;

// A statement a processor found by its own quick scan: its text and kind, and where it begins and
// ends (0-based offset, line and column).
struct TScannedStatement {
    AnsiString Text;
    int Kind = skNormal;
    int64_t StartPos = 0, StartLine = 0, StartColumn = 0;
    int64_t EndPos = 0, EndLine = 0, EndColumn = 0;
    bool AtEnd = false;  // the script's text ended with it
};

using TBeforeStatementExecuteEvent = std::function<void(rtl::TObject* Sender, AnsiString& SQL, bool& Omit)>;
using TAfterStatementExecuteEvent = std::function<void(rtl::TObject* Sender, const AnsiString& SQL)>;
using TOnErrorEvent =
    std::function<void(rtl::TObject* Sender, rtl::Exception& E, const AnsiString& SQL, TErrorAction& Action)>;

// The class reference of processors: made with the script they serve.
class TDAScriptProcessorClass : public rtl::ClassRef {
public:
    using rtl::ClassRef::ClassRef;
    virtual TDAScriptProcessor* Create(TDAScript* Script) const;
    template <class T>
    class Of;
};

template <class T>
class TDAScriptProcessorClass::Of : public TDAScriptProcessorClass {
public:
    using TDAScriptProcessorClass::TDAScriptProcessorClass;
    TDAScriptProcessor* Create(TDAScript* Script) const override { return rtl::Create<T>(Script); }
};

// A script's lines. Loaded from a UTF-8 or UTF-16 file they hold its text in the code page, and
// keep the file's text as UTF-8 until they are changed, so that a statement keeps every character.
class TScriptLines : public rtl::TStringList {
    RTL_CLASS(TScriptLines, rtl::TStringList)
public:
    void LoadFromStream(rtl::TStream* Stream) override;
    // The loaded file's text as UTF-8 while the lines are as loaded; else null.
    const std::string* SourceUTF8() const noexcept { return FHasSource ? &FSource : nullptr; }

protected:
    void Changed() override;

private:
    std::string FSource;
    bool FHasSource = false;
    bool FLoading = false;
};

// Splits the script into statements and executes them one by one.
class TDAScriptProcessor : public rtl::TObject {
public:
    using ClassRefType = TDAScriptProcessorClass;
    RTL_CLASS(TDAScriptProcessor, rtl::TObject)
public:
    explicit TDAScriptProcessor(TDAScript* Script) : FScript(Script) {}
    ~TDAScriptProcessor() override;

    virtual const store::TParserClass& GetParserClass();
    // Executes the next statement: false at the end of the script or when a statement asked to stop.
    virtual bool ExecuteNext();
    // Returns whether the script should stop. Takes the text by value: the handlers may change it.
    virtual bool ExecuteStatement(AnsiString SQL, int StatementKind);
    // Frees the lexer: the next run starts from the beginning.
    virtual void Reset();
    virtual void SetProp(int Prop, const Variant& Value);
    virtual Variant GetProp(int Prop);

    TDAScript* Script() const noexcept { return FScript; }
    const AnsiString& Delimiter() const noexcept { return FDelimiter; }
    void SetDelimiter(const AnsiString& Value) { FDelimiter = Value; }
    int StatementIndex() const noexcept { return FStatementIndex; }
    void SetStatementIndex(int Value) noexcept { FStatementIndex = Value; }
    bool HasParser() const noexcept { return static_cast<bool>(FParser); }

protected:
    virtual void BeforeStatement() {}
    virtual void AfterStatement() {}
    // Updates the statement kind for a lexeme that is collected into the statement.
    virtual void CheckLexem(int Code, const AnsiString& Lexem, int& StatementKind);
    // A lexeme (not a string literal) that ends the statement by itself and is not part of it.
    virtual bool IsEndLexem(int /*Code*/, const AnsiString& /*Lexem*/) { return false; }
    virtual bool IsBlockStatement(int StatementKind) { return StatementKind == skBlock; }
    // A statement that only changes the delimiter: takes the new one and answers true.
    virtual bool CheckDelimiterChange(const AnsiString& /*Statement*/) { return false; }
    virtual bool CheckOmit(int StatementKind) { return StatementKind == skComment; }
    // Collects the next statement without going lexeme by lexeme, past its delimiter; false (the
    // lexer's position unchanged) when the text ahead needs the lexer's reading.
    virtual bool ScanStatement(TScannedStatement& /*Statement*/) { return false; }
    // The encoding a stream is read with, by its first bytes; BOMLength receives the bytes to skip.
    virtual const store::Encoding* StreamEncoding(rtl::TStream* Stream, int& BOMLength);
    // The collected statement as the handlers and the SQL component get it (a dialect reading its
    // source undecoded adapts it here).
    virtual AnsiString StatementFromSource(const AnsiString& SQL) { return SQL; }
    virtual void CreateParser();
    // Reads the next statement lexeme by lexeme into FStatement; true when the text ended.
    bool CollectLexemes(int& StatementKind);

    TDAScript* FScript;
    rtl::TOwnedPtr<store::TParser> FParser;
    // The text a parser reads when the script's lines came from a UTF-8 file.
    rtl::TOwnedPtr<rtl::TMemoryStream> FSourceStream;
    AnsiString FDelimiter = ";";
    AnsiString FStatement;
    TScannedStatement FScanned;
    int FStatementIndex = -1;
    bool FParseOnly = false;
};

// The script component.
class TDAScript : public rtl::TComponent, public daccess::IMacrosOwner {
    RTL_CLASS(TDAScript, rtl::TComponent)
public:
    explicit TDAScript(rtl::TComponent* Owner);
    ~TDAScript() override;
    // Makes the internal SQL component through CreateSQL.
    void AfterConstruction() override;
    void Notification(rtl::TComponent* AComponent, rtl::TOperation Operation) override;

    virtual const TDAScriptProcessorClass& GetProcessorClass();
    virtual void SetProcessor(TDAScriptProcessor* Value);
    virtual daccess::TCustomDAConnection* UsedConnection() const;
    virtual daccess::TCustomDASQL* CreateSQL();
    virtual void RecordErrorOffset() { FErrorOffset = FStartPos; }

    void Execute();
    bool ExecuteNext();
    void BreakExec();
    // Executes one statement through the dataset or the internal SQL component with the error
    // policy; returns whether the script should stop.
    virtual bool ExecuteSQL(const AnsiString& SQL);

    // --- properties ---
    rtl::TStrings* SQL() const noexcept { return FSQL.get(); }
    void SetSQL(rtl::TStrings* Value);
    bool Debug() const noexcept { return FDebug; }
    void SetDebug(bool Value);
    const AnsiString& Delimiter() const noexcept { return FDelimiter; }
    void SetDelimiter(const AnsiString& Value) { FDelimiter = Value; }
    daccess::TMacros* Macros() const noexcept { return FMacros.get(); }
    bool NoPreconnect() const noexcept { return FNoPreconnect; }
    void SetNoPreconnect(bool Value) noexcept { FNoPreconnect = Value; }
    daccess::TCustomDADataSet* DataSet() const noexcept { return FDataSet; }
    void SetDataSet(daccess::TCustomDADataSet* Value);
    daccess::TCustomDASQL* InternalSQL() const noexcept { return FSQLComponent.get(); }
    TDAScriptProcessor* Processor() const noexcept { return FProcessor.get(); }
    // The processor of the current class, made on demand.
    TDAScriptProcessor* EnsureProcessor();

    // Positions of the current statement, the next one and the last error (0-based).
    int64_t StartPos() const noexcept { return FStartPos; }
    int64_t StartLine() const noexcept { return FStartLine; }
    int64_t StartColumn() const noexcept { return FStartColumn; }
    int64_t EndPos() const noexcept { return FEndPos; }
    int64_t EndLine() const noexcept { return FEndLine; }
    int64_t EndColumn() const noexcept { return FEndColumn; }
    int64_t ErrorOffset() const noexcept { return FErrorOffset; }
    int64_t NextStatementOffset() const noexcept { return FNextOffset; }
    bool Stopped() const noexcept { return FStop; }
    // The input of a stream execution, or none.
    rtl::TStream* InputStream() const noexcept { return FStream; }
    // The script's lines as one text, trailing blanks dropped.
    const AnsiString& ScriptText() const noexcept { return FText; }
    // The UTF-8 text of the file the lines were loaded from, while they are as loaded; else null.
    const std::string* ScriptSourceUTF8() const noexcept { return FSQL->SourceUTF8(); }

    TBeforeStatementExecuteEvent BeforeExecute;
    TAfterStatementExecuteEvent AfterExecute;
    TOnErrorEvent OnError;

    // --- IMacrosOwner ---
    bool MacrosOwnerActive() override { return false; }
    AnsiString MacrosOwnerSQLText() override { return FSQL->Text(); }
    void MacrosChanged() override {}

protected:
    friend class TDAScriptProcessor;
    friend class TDAScriptUtils;
    void SQLChanged();

    rtl::TOwnedPtr<TScriptLines> FSQL;
    rtl::TOwnedPtr<daccess::TMacros> FMacros;
    rtl::TOwnedPtr<daccess::TCustomDASQL> FSQLComponent;
    rtl::TOwnedPtr<TDAScriptProcessor> FProcessor;
    daccess::TCustomDADataSet* FDataSet = nullptr;
    rtl::TRecursiveLock FLock;
    bool FStop = false;
    bool FDebug = false;
    AnsiString FDelimiter = ";";
    bool FNoPreconnect = false;
    int64_t FErrorOffset = 0;
    int64_t FStartPos = 0, FStartLine = 0, FStartColumn = 0;
    int64_t FEndPos = 0, FEndLine = 0, FEndColumn = 0;
    int64_t FNextOffset = 0;
    rtl::TStream* FStream = nullptr;
    // The lines as one text without trailing blanks, kept from the last change of SQL.
    AnsiString FText;
};

class TDAScriptUtils {
public:
    // The stream replaces the SQL text as input until ClearStream.
    static void SetStream(TDAScript* Script, rtl::TStream* Stream);
    static void ClearStream(TDAScript* Script);
};

}  // namespace components
