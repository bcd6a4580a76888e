// The SQL dialect object: quoting and normalising names, splitting dotted names, and reading the
// table list and the select list of a SELECT statement; the tables and columns it reads into.
#include <cctype>

#include "data/access/CRAccess_SQLInfo.h"
#include "data/store/DAConsts.h"
#include "framework/rtl/SysUtils.h"
#include "framework/rtl/Text.h"

namespace daccess {

using store::lcEnd;
using store::lcIdent;
using store::lcNumber;
using store::lcString;

namespace {

bool IsUpperLetter(char c) { return c >= 'A' && c <= 'Z'; }
bool IsLowerLetter(char c) { return c >= 'a' && c <= 'z'; }

bool LetterOfMode(char c, int mode) {
    switch (mode) {
        case 0: return IsUpperLetter(c);
        case 1: return IsLowerLetter(c);
        default: return IsUpperLetter(c) || IsLowerLetter(c);
    }
}

bool IsWordChar(char c) {
    const unsigned char u = static_cast<unsigned char>(c);
    return std::isalnum(u) || c == '_' || c == '$' || c == '#' || u >= 128;
}

// A keyword of the parser's table (symbols have positive codes too, but are not words).
bool IsKeyword(int code, const AnsiString& lexem) {
    return code > 0 && !lexem.empty() && IsWordChar(lexem[0]) && !std::isdigit(static_cast<unsigned char>(lexem[0]));
}

bool IsJoinWord(int code) {
    using namespace store;
    return code == lxFULL || code == lxINNER || code == lxJOIN || code == lxLEFT || code == lxOUTER || code == lxRIGHT;
}

store::TSQLParser* CreateSQLParser(const store::TParserClass* parserClass, const AnsiString& sql, int line) {
    if (!parserClass) rtl::AssertFail(store::SAssertionFailure, CRAccessUnit, line);
    store::TParser* parser = parserClass->Create(sql);
    auto* sqlParser = dynamic_cast<store::TSQLParser*>(parser);
    if (!sqlParser) {
        rtl::TObject::Free(parser);
        rtl::AssertFail(store::SAssertionFailure, CRAccessUnit, line);
    }
    sqlParser->SetSkipComments(true);
    sqlParser->SetUpperCaseKeywords(false);
    return sqlParser;
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// TSQLInfo

TSQLInfo* TSQLInfoClass::Create(const store::TParserClass* ParserClass) const {
    return rtl::Create<TSQLInfo>(ParserClass);
}

void TSQLInfo::ParseExtColumnName(store::TParser* /*Parser*/, int& /*Code*/, AnsiString& /*St*/) {}

bool TSQLInfo::FirstCharQuotesNeed(char Ch, int IdCase) const { return !LetterOfMode(Ch, IdCase); }

bool TSQLInfo::NextCharQuotesNeed(char Ch, int IdCase) const {
    if (Ch == '$' || Ch == '_' || (Ch >= '0' && Ch <= '9')) return false;
    return !LetterOfMode(Ch, IdCase);
}

AnsiString TSQLInfo::Quote(const AnsiString& Value, char Left, char Right) const {
    if (IsQuoted(Value)) return Value;
    // A closing quote inside the name is doubled, so that the name cannot end the quoted text and
    // put the rest of it into the statement.
    AnsiString out(1, Left);
    out.reserve(Value.size() + 2);
    for (char c : Value) {
        if (c == Right) out += c;
        out += c;
    }
    out += Right;
    return out;
}

AnsiString TSQLInfo::UnQuote(const AnsiString& Value) const {
    if (!IsQuoted(Value)) return Value;
    AnsiString out;
    out.reserve(Value.size() - 2);
    const char right = RightQuote();
    for (size_t i = 1; i + 1 < Value.size(); ++i) {
        out += Value[i];
        if (Value[i] == right && i + 2 < Value.size() && Value[i + 1] == right) ++i;
    }
    return out;
}

bool TSQLInfo::IsQuoted(const AnsiString& Value) const {
    return Value.size() > 1 && Value.front() == LeftQuote() && Value.back() == RightQuote();
}

bool TSQLInfo::QuotesNeeded(const AnsiString& Value) const {
    if (Value.empty()) return false;
    const int idCase = IdentCase();
    if (FirstCharQuotesNeed(Value[0], idCase)) return true;
    for (size_t i = 1; i < Value.size(); ++i)
        if (NextCharQuotesNeed(Value[i], idCase)) return true;
    return false;
}

AnsiString TSQLInfo::NormalizeName(const AnsiString& Value, bool QuoteNames, bool UnQuoteNames) const {
    return NormalizeNameEx(Value, LeftQuote(), RightQuote(), QuoteNames, UnQuoteNames);
}

AnsiString TSQLInfo::NormalizeNameEx(const AnsiString& Value, char Left, char Right, bool QuoteNames,
                                     bool UnQuoteNames) const {
    if (Value.empty()) return {};
    size_t point = AnsiString::npos;
    if (Value.front() == Left) {
        for (size_t i = 1; i + 1 < Value.size(); ++i)
            if (Value[i] == Right && Value[i + 1] == '.') {
                point = i + 1;
                break;
            }
    } else {
        point = Value.find('.');
    }
    if (point != AnsiString::npos)
        return NormalizeNameEx(Value.substr(0, point), Left, Right, QuoteNames, UnQuoteNames) + "." +
               NormalizeNameEx(Value.substr(point + 1), Left, Right, QuoteNames, UnQuoteNames);

    AnsiString result = Value;
    const bool quoted = result.size() > 1 && result.front() == Left && result.back() == Right;
    if (!QuoteNames && !quoted) {
        if (IdentCase() == 0)
            result = rtl::AnsiUpperCase(result);
        else if (IdentCase() == 1)
            result = rtl::AnsiLowerCase(result);
    }
    // Whether the name needs quotes is a question about the bare name: a needlessly quoted name
    // loses its quotes.
    if (UnQuoteNames || (!QuoteNames && !QuotesNeeded(UnQuote(result)))) return UnQuote(result);
    return Quote(result, Left, Right);
}

void TSQLInfo::SplitObjectName(const AnsiString& Name, AnsiString& Catalog, AnsiString& Schema,
                               AnsiString& ObjName) const {
    Catalog.clear();
    Schema.clear();
    ObjName.clear();
    AnsiString* parts[3] = {&ObjName, &Schema, &Catalog};
    int part = 0;
    bool inQuotes = false;
    size_t end = Name.size();
    for (size_t i = Name.size(); i-- > 0;) {
        const char c = Name[i];
        if (!inQuotes && c == RightQuote()) {
            inQuotes = true;
        } else if (inQuotes && c == LeftQuote()) {
            inQuotes = false;
        } else if (!inQuotes && c == '.') {
            *parts[part] = Name.substr(i + 1, end - i - 1);
            end = i;
            if (++part == 3) return;
        }
    }
    *parts[part] = Name.substr(0, end);
}

void TSQLInfo::ParseTableList(store::TSQLParser* Parser, int& Code, AnsiString& St, TCRTablesInfo* TablesInfo,
                              bool /*TopLevel*/) {
    using namespace store;
    auto next = [&] { Code = Parser->GetNext(St); };
    auto skipBracketed = [&] {  // at "(": past its ")"
        int depth = 0;
        do {
            if (St == "(")
                ++depth;
            else if (St == ")")
                --depth;
            next();
        } while (Code != lcEnd && depth > 0);
    };
    // A clause keyword ends the list at any depth, so that a malformed nested list cannot stall.
    while (Code != lcEnd && St != ")" && !Parser->IsClauseCode(Code)) {
        if (IsJoinWord(Code) || St == ",") {
            next();
            continue;
        }
        if (St == "(") {
            next();
            if (Code == lxSELECT) {
                int depth = 1;
                while (Code != lcEnd && depth > 0) {
                    if (St == "(")
                        ++depth;
                    else if (St == ")")
                        --depth;
                    if (depth > 0) next();
                }
            } else {
                ParseTableList(Parser, Code, St, TablesInfo, false);
            }
            if (St == ")") next();
        } else {
            AnsiString name;
            bool expectPart = true;
            while (Code != lcEnd) {
                if (expectPart && (Code == lcIdent || (IsKeyword(Code, St) && !IsJoinWord(Code) && Code != lxON &&
                                                       !Parser->IsClauseCode(Code)))) {
                    name += St;
                    expectPart = false;
                } else if (!expectPart && St == ".") {
                    name += St;
                    expectPart = true;
                } else {
                    break;
                }
                next();
            }
            if (!name.empty()) {
                if (Code == lxAS) next();
                AnsiString alias;
                if (Code == lcIdent ||
                    (IsKeyword(Code, St) && !IsJoinWord(Code) && Code != lxON && !Parser->IsClauseCode(Code))) {
                    alias = St;
                    next();
                }
                if (St != "(") {
                    TCRTableInfo* info = TablesInfo->Add();
                    info->SetTableName(NormalizeName(name, false, false));
                    info->SetTableAlias(NormalizeName(alias, false, false));
                }
            } else if (Code != lcEnd && St != ")" && St != "," && !IsJoinWord(Code) && !Parser->IsClauseCode(Code)) {
                // Neither a name nor a bracket: step over it so the loop moves on.
                if (St == "(")
                    skipBracketed();
                else
                    next();
            }
        }
        // ON conditions and anything else up to the next item.
        while (Code != lcEnd && St != "," && St != ")" && !IsJoinWord(Code) && !Parser->IsClauseCode(Code)) {
            if (St == "(")
                skipBracketed();
            else
                next();
        }
    }
}

void TSQLInfo::ParseTablesInfo(const AnsiString& SQL, TCRTablesInfo* TablesInfo) {
    TablesInfo->Clear();
    rtl::TOwnedPtr<store::TSQLParser> parser(CreateSQLParser(FParserClass, SQL, __LINE__));
    TablesInfo->BeginUpdate();
    rtl::TryFinally(
        [&] {
            AnsiString st;
            int code = parser->SkipTo(store::lxSELECT);
            if (code != lcEnd) code = parser->SkipTo(store::lxFROM, true);
            if (code != lcEnd) {
                code = parser->GetNext(st);
                ParseTableList(parser.get(), code, st, TablesInfo, true);
            }
        },
        [&] { TablesInfo->EndUpdate(); });
}

// One entry per item of the SELECT list up to FROM: a plain column gets its name, table prefix and
// alias; anything else (calls, arithmetic, literals, NULL) its whole text as Expr with the alias
// after it.
void TSQLInfo::ParseColumnsInfo(const AnsiString& SQL, TColumnsInfo* ColumnsInfo) {
    using namespace store;
    rtl::TOwnedPtr<TSQLParser> parser(CreateSQLParser(FParserClass, SQL, __LINE__));
    AnsiString st;
    int code = parser->SkipTo(lxSELECT);
    if (code == lcEnd) return;
    auto next = [&] { code = parser->GetNext(st); };
    auto isWord = [&] { return code == lcIdent || (IsKeyword(code, st) && code != lxFROM); };
    next();
    while (code != lcEnd && code != lxFROM) {
        while (parser->IsSelectModifier(code)) next();
        if (code == lcEnd || code == lxFROM) break;
        AnsiString name, table, alias, expr;
        bool isExpr = false;
        if (isWord() || st == "*") {
            std::vector<AnsiString> parts{st};
            next();
            while (st == "." && parts.size() < 4) {
                next();
                if (code == lcEnd) break;
                parts.push_back(st);
                next();
            }
            name = parts.back();
            for (size_t i = 0; i + 1 < parts.size(); ++i) table += (i ? "." : "") + parts[i];
            ParseExtColumnName(parser.get(), code, st);
            if (code == lxAS) next();
            if (isWord()) {
                alias = st;
                next();
            }
        }
        if (code != lcEnd && code != lxFROM && st != ",") {
            // Not a plain column: everything up to the next comma at depth 0 is an expression.
            isExpr = true;
            expr = table.empty() ? name : table + "." + name;
            auto append = [&](const AnsiString& text) {
                if (text.empty()) return;
                if (!expr.empty() && IsWordChar(expr.back()) && (IsWordChar(text[0]) || text[0] == '"')) expr += ' ';
                expr += text;
            };
            append(alias);
            alias.clear();
            bool prevIsValue = !expr.empty();
            int depth = 0;
            bool afterAs = false;
            while (code != lcEnd && !(depth == 0 && (st == "," || code == lxFROM))) {
                if (depth == 0 && code == lxAS) {
                    afterAs = true;
                    next();
                    continue;
                }
                if (depth == 0 && isWord() && (prevIsValue || afterAs)) {
                    append(alias);
                    alias = st;
                } else {
                    if (st == "(")
                        ++depth;
                    else if (st == ")")
                        --depth;
                    append(alias);
                    alias.clear();
                    append(code == lcString ? AnsiString("'") + st + "'" : st);
                }
                afterAs = false;
                prevIsValue =
                    code == lcIdent || code == lcNumber || code == lcString || IsKeyword(code, st) || st == ")";
                next();
            }
        } else if (table.empty() && parser->IsNullWord(rtl::AnsiUpperCase(name))) {
            isExpr = true;
            expr = name;
        }
        TColumnInfo* info = ColumnsInfo->AddColumn();
        if (isExpr) {
            info->Expr = expr;
        } else {
            info->Name = NormalizeName(name, false, true);
            info->Table = NormalizeName(table, false, true);
        }
        info->Alias = NormalizeName(alias, false, true);
        info->TableIndex = -1;
        if (st == ",") next();
    }
}

AnsiString TSQLInfo::NamesFromList(const rtl::TStrings* List) const {
    AnsiString result;
    for (int i = 0; i < List->Count(); ++i) {
        if (i) result += ";";
        result += List->Strings(i);
    }
    return result;
}

void TSQLInfo::NamesToList(const AnsiString& Value, rtl::TStrings* List) const {
    List->Clear();
    const AnsiString text = rtl::Trim(Value);
    size_t start = 0;
    for (size_t i = 0; i <= text.size(); ++i) {
        if (i == text.size() || text[i] == ',' || text[i] == ';') {
            AnsiString piece = rtl::Trim(std::string_view(text).substr(start, i - start));
            if (!piece.empty()) List->Add(piece);
            start = i + 1;
        }
    }
}

// ---------------------------------------------------------------------------------------------
// Columns

TColumnsInfo::~TColumnsInfo() { TColumnsInfo::Clear(); }

void TColumnsInfo::Clear() {
    for (int i = 0; i < Count(); ++i) rtl::TObject::Free(Items(i));
    TList::Clear();
}

TColumnInfo* TColumnsInfo::AddColumn() {
    auto* info = rtl::Create<TColumnInfo>();
    Add(info);
    return info;
}

// ---------------------------------------------------------------------------------------------
// Tables

TCRTableInfo* TCRTableInfoClass::Create(TCRTablesInfo* Owner) const { return rtl::Create<TCRTableInfo>(Owner); }

void TCRTableInfo::SetTableName(const AnsiString& Value) {
    FTableName = Value;
    if (FOwner && FIndex >= 0) FOwner->RebuildNames();
}

void TCRTableInfo::SetTableAlias(const AnsiString& Value) {
    FTableAlias = Value;
    if (FOwner && FIndex >= 0) FOwner->RebuildAliases();
}

TCRTablesInfo::TCRTablesInfo(const TCRTableInfoClass& TableInfoClass)
    : FTableInfoClass(&TableInfoClass),
      FNames(rtl::Create<rtl::TStringList>()),
      FAliases(rtl::Create<rtl::TStringList>()) {
    for (rtl::TStringList* list : {FNames.get(), FAliases.get()}) {
        list->SetDuplicates(rtl::dupAccept);
        list->SetSorted(true);
    }
}

TCRTablesInfo::~TCRTablesInfo() = default;

void TCRTablesInfo::BeginUpdate() { ++FUpdateCount; }

void TCRTablesInfo::EndUpdate() {
    --FUpdateCount;
    RebuildNames();
    RebuildAliases();
}

TCRTableInfo* TCRTablesInfo::Add() {
    TCRTableInfo* info = FTableInfoClass->Create(this);
    FItems.emplace_back(info);
    info->FIndex = static_cast<int>(FItems.size()) - 1;
    RebuildNames();
    RebuildAliases();
    return info;
}

void TCRTablesInfo::Clear() {
    FItems.clear();
    RebuildNames();
    RebuildAliases();
}

TCRTableInfo* TCRTablesInfo::Items(int Index) const {
    if (Index < 0 || Index >= Count()) throw rtl::EListError(rtl::Format(SListIndexOutOfBounds, {Index}));
    return FItems[static_cast<size_t>(Index)].get();
}

void TCRTablesInfo::SetCaseSensitive(bool Value) {
    FCaseSensitive = Value;
    FNames->SetCaseSensitive(Value);
    FAliases->SetCaseSensitive(Value);
    RebuildNames();
    RebuildAliases();
}

void TCRTablesInfo::RebuildNames() { Rebuild(FNames.get(), false); }

void TCRTablesInfo::RebuildAliases() { Rebuild(FAliases.get(), true); }

void TCRTablesInfo::Rebuild(rtl::TStringList* List, bool Aliases) {
    if (FUpdateCount > 0) return;
    List->Clear();
    // Added unsorted and sorted once.
    List->SetSorted(false);
    for (const auto& item : FItems) List->AddObject(Aliases ? item->FTableAlias : item->FTableName, item.get());
    List->SetSorted(true);
}

int TCRTablesInfo::Lookup(const rtl::TStringList* List, const AnsiString& Value, bool Aliases) const {
    if (FUpdateCount > 0) {
        for (const auto& item : FItems) {
            const AnsiString& s = Aliases ? item->FTableAlias : item->FTableName;
            if (FCaseSensitive ? s == Value : rtl::AnsiSameText(s, Value)) return item->FIndex;
        }
        return -1;
    }
    int index = 0;
    if (!List->Find(Value, index)) return -1;
    return static_cast<TCRTableInfo*>(List->Objects(index))->FIndex;
}

TCRTableInfo* TCRTablesInfo::FindByName(const AnsiString& Name) const {
    const int i = IndexOf(Name);
    return i < 0 ? nullptr : FItems[static_cast<size_t>(i)].get();
}

int TCRTablesInfo::IndexOf(const AnsiString& Name) const { return Lookup(FNames.get(), Name, false); }

int TCRTablesInfo::IndexByAlias(const AnsiString& Alias) const { return Lookup(FAliases.get(), Alias, true); }

}  // namespace daccess
