#include "data/sqlite/LiteServicesUni_Processors.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cstring>
#include <functional>
#include <map>
#include <vector>

namespace sqlite::detail {

namespace {

// The lexer's character classes for the SQLite dialect.
constexpr bool IsBlankChar(unsigned char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

constexpr bool IsSymbolChar(unsigned char c) {
    return (c >= 33 && c <= 47) || (c >= 58 && c <= 64) || (c >= 91 && c <= 94) || c == 96 || (c >= 123 && c <= 126);
}

constexpr bool IsWordStart(unsigned char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c >= 128 || c == '_';
}

constexpr bool IsWordPart(unsigned char c) { return IsWordStart(c) || (c >= '0' && c <= '9') || c == '#' || c == '$'; }

constexpr bool IsDigit(unsigned char c) { return c >= '0' && c <= '9'; }

// Characters that change nothing once a statement's first word has been read: everything but line
// breaks, quotes, the starts of comments, ";" and the characters the lexer refuses.
constexpr std::array<bool, 256> kPlainAfterFirstWord = [] {
    std::array<bool, 256> plain{};
    for (int c = 0; c < 256; ++c) {
        const auto u = static_cast<unsigned char>(c);
        plain[u] = (u == ' ' || u == '\t' || IsSymbolChar(u) || IsWordPart(u)) && u != '\'' && u != '"' && u != '`' &&
                   u != '-' && u != '/' && u != ';';
    }
    return plain;
}();

bool SameWord(const char* Text, int64_t Length, std::string_view Upper) {
    if (Length != static_cast<int64_t>(Upper.size())) return false;
    for (int64_t i = 0; i < Length; ++i) {
        char c = Text[i];
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
        if (c != Upper[static_cast<size_t>(i)]) return false;
    }
    return true;
}

}  // namespace

bool TLiteScriptLexer::ScanStatement(components::TScannedStatement& Statement) {
    EnsureInit();
    if (IsStream()) return false;
    const std::string_view source = Text();
    const char* text = source.data();
    const auto n = static_cast<int64_t>(source.size());
    int64_t p = FPos, line = FLine, lineStart = FLineStart;
    // Steps over a line break at p (CR LF counts once) as the lexer counts lines.
    auto lineBreak = [&]() -> bool {
        if (text[p] == '\r') {
            ++p;
            if (p < n && text[p] == '\n') ++p;
        } else if (text[p] == '\n') {
            ++p;
        } else {
            return false;
        }
        ++line;
        lineStart = p;
        return true;
    };
    auto skipQuoted = [&](char quote) {
        ++p;
        for (;;) {
            while (p < n && text[p] != quote && text[p] != '\r' && text[p] != '\n') ++p;
            if (p >= n || !lineBreak()) break;
        }
        if (p < n) ++p;
    };

    while (p < n && IsBlankChar(static_cast<unsigned char>(text[p])))
        if (!lineBreak()) ++p;
    const int64_t start = p, startLine = line, startColumn = p - lineStart;
    int kind = components::skNormal;
    bool other = false;     // a lexeme besides blanks and comments
    bool firstWord = true;  // the statement's first word is still ahead
    bool delimiter = false;
    int64_t end = n, endLine = 0, endColumn = 0;
    while (p < n) {
        if (!firstWord && other) {
            while (p < n && kPlainAfterFirstWord[static_cast<unsigned char>(text[p])]) ++p;
            if (p >= n) break;
        }
        const auto c = static_cast<unsigned char>(text[p]);
        if (IsBlankChar(c)) {
            if (!lineBreak()) ++p;
            continue;
        }
        if (c == '-' && p + 2 < n && text[p + 1] == '-') {
            while (p < n && text[p] != '\r' && text[p] != '\n') ++p;
            if (!other) kind = components::skComment;
            continue;
        }
        if (c == '/') {
            // A "/" may end the statement when it stands alone on its line: the lexer decides.
            if (p + 1 >= n || text[p + 1] != '*') return false;
            p += 2;
            while (p < n) {
                if (text[p] == '*' && p + 1 < n && text[p + 1] == '/') {
                    p += 2;
                    break;
                }
                if (!lineBreak()) ++p;
            }
            if (!other) kind = components::skComment;
            continue;
        }
        if (c == ';') {
            end = p;
            endLine = line;
            endColumn = p - lineStart;
            ++p;
            delimiter = true;
            break;
        }
        other = true;
        kind = components::skNormal;
        if (c == '\'') {
            skipQuoted('\'');
        } else if (c == '"' || c == '`') {
            skipQuoted(static_cast<char>(c));
            firstWord = false;
        } else if (IsSymbolChar(c)) {
            ++p;
            firstWord = false;
        } else if (IsWordStart(c)) {
            const int64_t word = p;
            while (p < n && IsWordPart(static_cast<unsigned char>(text[p]))) ++p;
            // Triggers and DELIMITER lines are read lexeme by lexeme.
            if (firstWord &&
                (SameWord(text + word, p - word, "CREATE") || SameWord(text + word, p - word, "DELIMITER")))
                return false;
            firstWord = false;
        } else if (IsDigit(c)) {
            while (p < n && IsDigit(static_cast<unsigned char>(text[p]))) ++p;
            firstWord = false;
        } else {
            return false;  // a character the lexer refuses, with its own message
        }
    }
    if (!delimiter) {
        end = n;
        endLine = line;
        endColumn = n - lineStart;
    }
    Statement.Text.assign(text + start, static_cast<size_t>(end - start));
    Statement.Kind = kind;
    Statement.StartPos = start;
    Statement.StartLine = startLine;
    Statement.StartColumn = startColumn;
    Statement.EndPos = end;
    Statement.EndLine = endLine;
    Statement.EndColumn = endColumn;
    Statement.AtEnd = !delimiter;
    FPos = p;
    FLine = line;
    FLineStart = lineStart;
    return true;
}

}  // namespace sqlite::detail

namespace sqlite {

void TCustomLiteDumpProcessor::OrderTables(rtl::TStrings* Tables) {
    const int n = Tables->Count();
    if (n < 2) return;
    std::map<rtl::AnsiString, int> index;  // lower-case name -> place in Tables
    for (int i = 0; i < n; ++i) index[rtl::AnsiLowerCase(Tables->Strings(i))] = i;
    std::vector<std::vector<int>> parents(static_cast<size_t>(n));
    rtl::TOwnedPtr<daccess::TCustomDADataSet> ds(CreateQuery());
    ds->SetSQL(
        "SELECT m.name, p.\"table\" FROM sqlite_master m, pragma_foreign_key_list(m.name) p "
        "WHERE m.type = 'table'");
    ds->Open();
    for (; !ds->Eof(); ds->Next()) {
        const auto child = index.find(rtl::AnsiLowerCase(ds->Fields()[0]->AsString()));
        const auto parent = index.find(rtl::AnsiLowerCase(ds->Fields()[1]->AsString()));
        if (child != index.end() && parent != index.end() && child->second != parent->second)
            parents[static_cast<size_t>(child->second)].push_back(parent->second);
    }
    ds->Close();
    for (auto& p : parents) std::sort(p.begin(), p.end());
    // Depth first, parents in name order; a cycle is cut where it closes.
    std::vector<uint8_t> state(static_cast<size_t>(n), 0);  // 0 new, 1 on the path, 2 placed
    std::vector<rtl::AnsiString> ordered;
    std::function<void(int)> place = [&](int t) {
        if (state[static_cast<size_t>(t)]) return;
        state[static_cast<size_t>(t)] = 1;
        for (int p : parents[static_cast<size_t>(t)]) place(p);
        state[static_cast<size_t>(t)] = 2;
        ordered.push_back(Tables->Strings(t));
    };
    for (int i = 0; i < n; ++i) place(i);
    if (auto* list = dynamic_cast<rtl::TStringList*>(Tables)) list->SetSorted(false);
    Tables->BeginUpdate();
    rtl::TryFinally(
        [&] {
            Tables->Clear();
            for (const rtl::AnsiString& t : ordered) Tables->Add(t);
        },
        [&] { Tables->EndUpdate(); });
}

}  // namespace sqlite

namespace sqlite {

namespace {

// Text as a quoted SQL literal: quotes doubled.
void AppendQuoted(rtl::AnsiString& Out, std::string_view Text) {
    Out += '\'';
    for (size_t quote; (quote = Text.find('\'')) != std::string_view::npos;) {
        Out.append(Text.data(), quote + 1);
        Out += '\'';
        Text.remove_prefix(quote + 1);
    }
    Out += Text;
    Out += '\'';
}

}  // namespace

void TCustomLiteDumpProcessor::AppendLiteral(rtl::AnsiString& Out, TSQLite3API* API, sqlite3_stmt* Stmt, int Col,
                                             bool StoredUTF8) {
    switch (API->sqlite3_column_type(Stmt, Col)) {
        case SQLITE_INTEGER: {
            char buf[24];
            const auto res = std::to_chars(buf, buf + sizeof buf, API->sqlite3_column_int64(Stmt, Col));
            Out.append(buf, res.ptr);
            return;
        }
        case SQLITE_FLOAT: components::AppendFloatDumpText(Out, API->sqlite3_column_double(Stmt, Col)); return;
        case SQLITE_TEXT: {
            const auto* p = reinterpret_cast<const char*>(API->sqlite3_column_text(Stmt, Col));
            const std::string_view text(p, static_cast<size_t>(API->sqlite3_column_bytes(Stmt, Col)));
            if (!text.empty() && std::memchr(text.data(), 0, text.size())) {
                Out += "CAST(X'";
                Out += rtl::BytesToHex(reinterpret_cast<const uint8_t*>(text.data()), text.size());
                Out += "' AS TEXT)";
                return;
            }
            // The stored bytes are the output's when both have one encoding; invalid UTF-8 is
            // written as the decoder reads it.
            if (rtl::IsAscii(text) || (StoredUTF8 == FUTF8 && (!FUTF8 || rtl::IsValidUTF8(text)))) {
                AppendQuoted(Out, text);
            } else if (!StoredUTF8) {
                AppendQuoted(Out, rtl::AnsiToUTF8(text));
            } else {
                AppendQuoted(Out, FUTF8 ? rtl::WideToUTF8(rtl::UTF8ToWide(text)) : rtl::UTF8ToAnsi(text));
            }
            return;
        }
        case SQLITE_BLOB: {
            const auto* p = static_cast<const uint8_t*>(API->sqlite3_column_blob(Stmt, Col));
            Out += "X'";
            Out += rtl::BytesToHex(p, static_cast<size_t>(API->sqlite3_column_bytes(Stmt, Col)));
            Out += '\'';
            return;
        }
        default: Out += "NULL";
    }
}

void TCustomLiteDumpProcessor::BackupRows(const rtl::AnsiString& Table, bool NameColumns, int TableNum,
                                          int TableCount) {
    auto* rs = dynamic_cast<TSQLiteRecordSet*>(daccess::TDBAccessUtils::GetIRecordSet(FQuery));
    if (!rs || !rs->DumpData()) {
        TDADumpProcessor::BackupRows(Table, NameColumns, TableNum, TableCount);
        return;
    }
    if (!rs->DumpRowReady()) return;
    std::vector<int> columns;
    for (int i = 0; i < FQuery->FieldCount(); ++i) columns.push_back(FQuery->FieldNoOfDesc(FQuery->Fields()[i]) - 1);
    const rtl::AnsiString prefix = InsertPrefix(Table, NameColumns);
    TSQLiteConnection* conn = rs->LiteCommand()->LiteConnection();
    TSQLite3API* api = conn->API();
    sqlite3_stmt* stmt = rs->LiteCommand()->Stmt();
    const bool storedUTF8 = conn->IsUTF8();
    rtl::AnsiString line;
    int number = 0;
    do {
        line = prefix;
        for (size_t i = 0; i < columns.size(); ++i) {
            if (i > 0) line += ", ";
            AppendLiteral(line, api, stmt, columns[i], storedUTF8);
        }
        line += ");";
        WriteLine(line);
        // The row count of a one-way read is not known ahead.
        RowWritten(Table, TableNum, TableCount, ++number, 0);
    } while (rs->DumpNextRow());
}

}  // namespace sqlite
