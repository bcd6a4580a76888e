// The SQLite variants of the script and dump processors. The script processor splits with the
// SQLite lexer, keeps trigger bodies whole and understands a DELIMITER line; with the Unicode option
// a UTF-8 script keeps text that has no single-byte form. The dump processor reads every column as
// ready SQL literal text and, with the Unicode option, writes UTF-8.
#pragma once

#include <typeinfo>

#include "data/components/DADump.h"
#include "data/components/DAScript.h"
#include "data/sqlite/LiteClassesUni.h"
#include "data/sqlite/LiteParserUni.h"
#include "data/store/CLRClasses.h"
#include "framework/rtl/SysUtils.h"
#include "framework/rtl/Text.h"

namespace sqlite {

namespace detail {

// Whether the connection's provider connection carries the Unicode option.
inline bool UsesUnicode(daccess::TCustomDAConnection* Conn) {
    if (!Conn || !Conn->IConnection()) return false;
    rtl::Variant v;
    return daccess::TryGetProp(Conn->IConnection(), pidUseUnicode, v) && v.AsBoolean();
}

inline bool Representable(const rtl::WideString& Text) { return rtl::AnsiToWide(rtl::WideToAnsi(Text)) == Text; }

// A UTF-8 statement as single-byte SQL text. A string literal with characters outside the code page
// becomes a cast of its UTF-8 bytes when the database keeps them (Unicode), else it is converted like
// the rest of the text.
inline rtl::AnsiString UTF8StatementToAnsi(const rtl::AnsiString& SQL, bool KeepUnicode) {
    rtl::AnsiString out;
    out.reserve(SQL.size());
    size_t plainFrom = 0;
    auto flushPlain = [&](size_t upTo) {
        if (upTo > plainFrom) out += rtl::UTF8ToAnsi(std::string_view(SQL).substr(plainFrom, upTo - plainFrom));
    };
    size_t i = 0;
    const size_t n = SQL.size();
    while (i < n) {
        const char c = SQL[i];
        if (c == '-' && i + 1 < n && SQL[i + 1] == '-') {
            const size_t eol = SQL.find('\n', i);
            i = eol == rtl::AnsiString::npos ? n : eol;
        } else if (c == '/' && i + 1 < n && SQL[i + 1] == '*') {
            const size_t end = SQL.find("*/", i + 2);
            i = end == rtl::AnsiString::npos ? n : end + 2;
        } else if (c == '"' || c == '`' || c == '[') {
            const char close = c == '[' ? ']' : c;
            const size_t end = SQL.find(close, i + 1);
            i = end == rtl::AnsiString::npos ? n : end + 1;
        } else if (c == '\'') {
            // The literal's text with doubled quotes made single.
            std::string value;
            size_t j = i + 1;
            for (; j < n; ++j) {
                if (SQL[j] == '\'') {
                    if (j + 1 < n && SQL[j + 1] == '\'') {
                        value += '\'';
                        ++j;
                        continue;
                    }
                    break;
                }
                value += SQL[j];
            }
            const size_t end = j < n ? j + 1 : n;
            // A blob literal X'..' is plain hexadecimal text.
            const bool blob = i > 0 && (SQL[i - 1] == 'x' || SQL[i - 1] == 'X');
            if (!blob && KeepUnicode && !Representable(rtl::UTF8ToWide(value))) {
                flushPlain(i);
                out += "(CAST(X'" + rtl::BytesToHex(reinterpret_cast<const uint8_t*>(value.data()), value.size()) +
                       "' AS TEXT))";
                plainFrom = end;
            }
            i = end;
        } else {
            ++i;
        }
    }
    flushPlain(n);
    return out;
}

// UTF-16 text read as UTF-8, so that the script keeps every character until the statement is made.
class TUTF16AsUTF8Encoding : public store::UnicodeEncoding {
    RTL_CLASS(TUTF16AsUTF8Encoding, store::UnicodeEncoding)
public:
    rtl::AnsiString BytesToAnsiAt(const rtl::TBytes& Bytes, int Index, int Count) const override {
        return rtl::WideToUTF8(BytesToWideAt(Bytes, Index, Count));
    }
    static const TUTF16AsUTF8Encoding* Instance() {
        static const TUTF16AsUTF8Encoding instance;
        return &instance;
    }
};

// The SQLite lexer over a script's text that can also skip a whole plain statement at once: the
// splitter then reads lexeme by lexeme only statements that need it (triggers, DELIMITER lines, a
// "/" or a character the lexer refuses).
class TLiteScriptLexer final : public TLiteParser {
    RTL_CLASS(TLiteScriptLexer, TLiteParser)
public:
    explicit TLiteScriptLexer(rtl::AnsiString Text) : TLiteParser(std::move(Text)) {}
    // A stream is always read lexeme by lexeme.
    TLiteScriptLexer(rtl::TStream* Stream, const store::Encoding* Encoding) : TLiteParser(Stream, Encoding) {}

    // The statement from the current position to the next ";" outside literals and comments (or
    // to the end), with the lexer moved past that ";"; false, the position unchanged, when the
    // text ahead needs the lexer.
    bool ScanStatement(components::TScannedStatement& Statement);
};

}  // namespace detail

class TLiteScriptProcessor : public components::TDAScriptProcessor {
    RTL_CLASS(TLiteScriptProcessor, components::TDAScriptProcessor)
public:
    using TDAScriptProcessor::TDAScriptProcessor;

    const store::TParserClass& GetParserClass() override { return TLiteParser::StaticClass(); }

protected:
    void BeforeStatement() override {
        FWords = 0;
        FTrigger = false;
        FBlockDepth = 0;
        FCaseDepth = 0;
        FDelimiterLine = false;
    }

    // A trigger's body runs from BEGIN to its END; CASE ... END inside it nests.
    void CheckLexem(int Code, const rtl::AnsiString& Lexem, int& StatementKind) override {
        const bool word = Code != store::lcBlank && Code != store::lcComment && Code != store::lcString;
        if (!word) {
            if (StatementKind != components::skBlock) TDAScriptProcessor::CheckLexem(Code, Lexem, StatementKind);
            return;
        }
        // Past its first words only a trigger's statement needs its words looked at.
        if (FWords >= 100 && !FTrigger) {
            StatementKind = components::skNormal;
            return;
        }
        const rtl::AnsiString up = rtl::AnsiUpperCase(Lexem);
        ++FWords;
        if (FWords == 1) FDelimiterLine = up == "DELIMITER" && FScript->StartColumn() == 0;
        if (FWords == 1 && up != "CREATE") FWords = 100;  // nothing to look for in this statement
        if (FWords == 2 && (up == "TEMP" || up == "TEMPORARY")) --FWords;
        if (FWords == 2 && up == "TRIGGER") FTrigger = true;
        if (FTrigger) {
            if (up == "BEGIN" && FBlockDepth == 0) {
                FBlockDepth = 1;
            } else if (FBlockDepth > 0 && up == "CASE") {
                ++FCaseDepth;
            } else if (FBlockDepth > 0 && up == "END") {
                if (FCaseDepth > 0)
                    --FCaseDepth;
                else
                    FBlockDepth = 0;
            }
        }
        StatementKind = FBlockDepth > 0 ? components::skBlock : components::skNormal;
    }

    // "DELIMITER x" ends at its line's end.
    bool IsEndLexem(int Code, const rtl::AnsiString& Lexem) override {
        return FDelimiterLine && FWords >= 2 && Code == store::lcBlank &&
               Lexem.find_first_of("\r\n") != rtl::AnsiString::npos;
    }

    void CreateParser() override {
        rtl::TStream* in = FScript->InputStream();
        std::string streamText;
        if (in && !FQuickScanOff) {
            // A single-byte or UTF-8 stream is split as text, as the lines are: much faster than
            // lexeme by lexeme.
            int bom = 0;
            if (StreamEncoding(in, bom) != detail::TUTF16AsUTF8Encoding::Instance()) {
                in->Seek(bom, rtl::TSeekOrigin::soCurrent);
                streamText.resize(static_cast<size_t>(std::max<int64_t>(in->Size() - in->Position(), 0)));
                if (!streamText.empty()) in->ReadBuffer(streamText.data(), static_cast<int64_t>(streamText.size()));
                in = nullptr;
            }
        }
        if (!in && !FQuickScanOff) {
            // Lines loaded from a UTF-8 file are split in that text, which keeps every character.
            if (!FScript->InputStream()) {
                const std::string* source = FScript->ScriptSourceUTF8();
                FSourceUTF8 = source != nullptr;
                streamText = source ? *source : FScript->ScriptText();
            }
            FParser.reset(rtl::Create<detail::TLiteScriptLexer>(std::move(streamText)));
            FParser->SetSkipBlanks(false);
            FParser->SetSkipComments(false);
            FParser->SetUpperCaseKeywords(false);
            FParser->SetKeepStringQuotes(true);
            FParser->SetCountLinesInQuotes(true);
            return;
        }
        TDAScriptProcessor::CreateParser();
    }

    // Plain statements of a script's text are found without reading their lexemes one by one.
    bool ScanStatement(components::TScannedStatement& Statement) override {
        if (FDelimiter != ";") return false;
        store::TParser* parser = FParser.get();
        // Asked once per statement: the exact type is cheaper to tell than a cast through the tree.
        return parser && typeid(*parser) == typeid(detail::TLiteScriptLexer) &&
               static_cast<detail::TLiteScriptLexer*>(parser)->ScanStatement(Statement);
    }

public:
    // Tests compare the quick scan with the lexer's reading of the same text.
    void SetQuickScan(bool Value) noexcept { FQuickScanOff = !Value; }

protected:
    bool CheckDelimiterChange(const rtl::AnsiString& Statement) override {
        // Nearly every statement is none: told without copying its text.
        size_t first = 0;
        while (first < Statement.size() && static_cast<unsigned char>(Statement[first]) <= ' ') ++first;
        if (Statement.size() - first < 10 || !rtl::SameText(std::string_view(Statement).substr(first, 9), "DELIMITER"))
            return false;
        const rtl::AnsiString text = rtl::Trim(Statement);
        if (text.size() < 10 || rtl::AnsiUpperCase(text.substr(0, 9)) != "DELIMITER") return false;
        if (text[9] != ' ' && text[9] != '\t') return false;
        const rtl::AnsiString value = rtl::Trim(text.substr(10));
        if (value.empty() || value.find_first_of(" \t") != rtl::AnsiString::npos) return false;
        FDelimiter = value;
        return true;
    }

    // A UTF-8 or UTF-16 script is read as UTF-8, so that with the Unicode option no character is
    // lost on the way to the database.
    const store::Encoding* StreamEncoding(rtl::TStream* Stream, int& BOMLength) override {
        const store::Encoding* enc = TDAScriptProcessor::StreamEncoding(Stream, BOMLength);
        FSourceUTF8 = false;
        if (enc == store::Encoding::Utf8Instance()) {
            FSourceUTF8 = true;
            return store::Encoding::AnsiInstance();
        }
        if (enc == store::Encoding::UnicodeInstance()) {
            FSourceUTF8 = true;
            return detail::TUTF16AsUTF8Encoding::Instance();
        }
        return enc;
    }

    rtl::AnsiString StatementFromSource(const rtl::AnsiString& SQL) override {
        if (!FSourceUTF8 || rtl::IsAscii(SQL)) return SQL;
        daccess::TCustomDAConnection* conn =
            FScript->DataSet() ? FScript->DataSet()->UsedConnection() : FScript->UsedConnection();
        // The option is known once the provider connection exists; the statement connects anyway.
        if (conn && !conn->Connected()) conn->Connect();
        return detail::UTF8StatementToAnsi(SQL, detail::UsesUnicode(conn));
    }

    bool FSourceUTF8 = false;
    bool FQuickScanOff = false;
    int FWords = 0;
    bool FTrigger = false;
    int FBlockDepth = 0;
    int FCaseDepth = 0;
    bool FDelimiterLine = false;
};

class TCustomLiteDumpProcessor : public components::TDADumpProcessor {
    RTL_CLASS(TCustomLiteDumpProcessor, components::TDADumpProcessor)
public:
    using TDADumpProcessor::TDADumpProcessor;

    daccess::TCustomDADataSet* CreateQuery() override {
        daccess::TCustomDADataSet* ds = TDADumpProcessor::CreateQuery();
        ds->SetReadOnly(true);
        ds->SetUniDirectional(true);
        return ds;
    }

    daccess::TCustomDADataSet* GetQuery() override {
        daccess::TCustomDADataSet* ds = CreateQuery();
        if (daccess::TCRRecordSet* rs = daccess::TDBAccessUtils::GetIRecordSet(ds))
            rs->SetProp(pidDumpData, rtl::Variant(true));
        return ds;
    }

    // Each row's literal text goes from the statement straight to the output: nothing is fetched
    // into records.
    void BackupRows(const rtl::AnsiString& Table, bool NameColumns, int TableNum, int TableCount) override;

    bool OutputUTF8() override { return detail::UsesUnicode(FDump->Connection()); }

    // Parents before their children, so that a restore meets every referenced row first; else by
    // name.
    void OrderTables(rtl::TStrings* Tables) override;

    // Foreign keys are checked when the restore's transaction commits, once every row is back.
    void BeginRestore() override { FDump->Connection()->ExecSQL("PRAGMA defer_foreign_keys = ON"); }

private:
    // The SQL literal of a column of the statement's row, in the output's encoding, appended to
    // Out: a number, X'..' for a blob, NULL, a quoted text, or CAST(X'..' AS TEXT) for a text
    // holding a zero character, which a quoted literal would cut.
    void AppendLiteral(rtl::AnsiString& Out, TSQLite3API* API, sqlite3_stmt* Stmt, int Col, bool StoredUTF8);
};

}  // namespace sqlite
