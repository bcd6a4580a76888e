#include "data/store/CRParser.h"

#include <algorithm>
#include <cstdio>

#include "data/store/CLRClasses.h"
#include "data/store/DAConsts.h"
#include "framework/rtl/Exceptions.h"
#include "framework/rtl/Streams.h"
#include "framework/rtl/SysUtils.h"
#include "framework/rtl/Text.h"

namespace store {

namespace {

constexpr const char* kUnit = "CRParser";
// Stream sources are read in blocks of this many bytes.
constexpr int kBlockSize = 65536;

inline unsigned char U(char c) noexcept { return static_cast<unsigned char>(c); }

inline char UpperAscii(char c) noexcept { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c; }

}  // namespace

// --- TLexemList ---

TLexemList::TLexemList(std::initializer_list<std::pair<const char*, int>> entries) {
    for (const auto& [text, code] : entries) Add(text, code);
}

int TLexemList::CompareWithCandidate(std::string_view entry, std::string_view candidate) noexcept {
    const size_t n = std::min(entry.size(), candidate.size());
    for (size_t i = 0; i < n; ++i) {
        const unsigned char a = U(entry[i]);
        const unsigned char b = U(UpperAscii(candidate[i]));
        if (a != b) return a < b ? -1 : 1;
    }
    if (entry.size() == candidate.size()) return 0;
    return entry.size() < candidate.size() ? -1 : 1;
}

void TLexemList::Add(std::string_view text, int code) {
    if (code <= 0) rtl::AssertFail(SAssertionFailure, kUnit, __LINE__);
    // Ordinal order; equal texts keep their order of addition so that Find returns the first.
    auto it = std::upper_bound(FItems.begin(), FItems.end(), text,
                               [](std::string_view t, const Entry& e) { return t.compare(e.Text) < 0; });
    FItems.insert(it, Entry{AnsiString(text), code});
}

int TLexemList::Find(std::string_view candidate) const {
    auto it = std::lower_bound(FItems.begin(), FItems.end(), candidate,
                               [](const Entry& e, std::string_view c) { return CompareWithCandidate(e.Text, c) < 0; });
    if (it != FItems.end() && CompareWithCandidate(it->Text, candidate) == 0)
        return static_cast<int>(it - FItems.begin());
    return -1;
}

TCharSet SymbolFirstChars(const TLexemList& symbols) {
    TCharSet set;
    for (int i = 0; i < symbols.Count(); ++i)
        if (!symbols[i].Text.empty()) set.set(U(symbols[i].Text[0]));
    return set;
}

// --- TParserClass ---

TParser* TParserClass::Create(const AnsiString& text) const { return rtl::Create<TParser>(text); }

TParser* TParserClass::CreateFromStream(rtl::TStream* stream, const Encoding* encoding) const {
    return rtl::Create<TParser>(stream, encoding);
}

// --- TParser: tables ---

const TLexemList& TParser::ParserSymbols() {
    static const TLexemList list{{"!", 1},  {"\"", 2}, {"#", 3},   {"$", 4},  {"%", 5},  {"&", 6},  {"'", 7},
                                 {"(", 8},  {")", 9},  {"*", 10},  {"+", 11}, {",", 12}, {"-", 13}, {".", 14},
                                 {"/", 15}, {":", 16}, {";", 17},  {"<", 18}, {"=", 19}, {">", 20}, {"?", 21},
                                 {"@", 22}, {"[", 23}, {"\\", 24}, {"]", 25}, {"^", 26}, {"_", 27}, {"`", 28}};
    return list;
}

const TLexemList& TParser::ParserKeywords() {
    static const TLexemList list{{"AND", 29}, {"NOT", 30}, {"OR", 31}};
    return list;
}

const TCharSet& TParser::ParserSymbolChars() {
    static const TCharSet set = SymbolFirstChars(ParserSymbols());
    return set;
}

// --- TParser: construction ---

TParser::TParser(AnsiString text) : FBuf(std::move(text)) {}

TParser::TParser(rtl::TStream* stream, const Encoding* encoding)
    : FStream(stream), FEncoding(encoding ? encoding : Encoding::AnsiInstance()) {
    FStreamStart = StreamPosition();
}

TParser::~TParser() = default;

void TParser::AfterConstruction() { EnsureInit(); }

void TParser::EnsureInit() {
    if (!FInitialized) InitParser();
}

void TParser::InitParser() {
    // Set first: ToBegin and the setters below must not start a second initialisation.
    FInitialized = true;
    FSymbolLexems = &ParserSymbols();
    FKeywordLexems = &ParserKeywords();
    FSymbolChars = &ParserSymbolChars();
    FBlockCommentBegin = "/*";
    FBlockCommentEnd = "*/";
    FDecSeparator = rtl::FormatSettings().DecimalSeparator;
    FSkipBlanks = true;
    FUpperCaseKeywords = true;
    FKeepStringQuotes = false;
    ToBegin();
}

// --- TParser: character classes ---

bool TParser::IsBlank(char ch) const { return ch == '\t' || ch == '\n' || ch == '\r' || ch == ' '; }

bool TParser::IsSymbol(char ch) const {
    const unsigned char c = U(ch);
    return (c >= 33 && c <= 47) || (c >= 58 && c <= 64) || (c >= 91 && c <= 94) || c == 96 || (c >= 123 && c <= 126);
}

bool TParser::IsAlpha(char ch) const {
    const unsigned char c = U(ch);
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c >= 128;
}

bool TParser::IsNumber(char ch) const { return ch >= '0' && ch <= '9'; }

bool TParser::IsStringQuote(char ch) const { return ch == '"' || ch == '\''; }

bool TParser::IsIdentQuote(char) const { return false; }

bool TParser::IsLineComment(char ch, int64_t pos) {
    // The marker counts only when something follows it.
    return ch == '/' && !IsEndAt(pos + 1) && CharAt(pos + 1) == '/' && !IsEndAt(pos + 2);
}

// --- TParser: source access ---

bool TParser::IsEndAt(int64_t pos) {
    while (pos - FBufStart >= static_cast<int64_t>(FBuf.size())) {
        if (!FStream || !LoadBlock()) return true;
    }
    return false;
}

char TParser::CharAt(int64_t pos) {
    if (pos < FBufStart) rtl::AssertFail(SAssertionFailure, kUnit, __LINE__);
    if (IsEndAt(pos)) return '\0';
    return FBuf[static_cast<size_t>(pos - FBufStart)];
}

AnsiString TParser::TextRange(int64_t from, int64_t to) {
    if (to <= from) return {};
    if (from < FBufStart) rtl::AssertFail(SAssertionFailure, kUnit, __LINE__);
    IsEndAt(to - 1);
    const auto begin = static_cast<size_t>(from - FBufStart);
    const auto end = std::min(static_cast<size_t>(to - FBufStart), FBuf.size());
    return begin < end ? FBuf.substr(begin, end - begin) : AnsiString();
}

bool TParser::SkipLineBreak() {
    if (IsEndAt(FPos)) return false;
    const char ch = CharAt(FPos);
    if (ch == '\r') {
        ++FPos;
        if (!IsEndAt(FPos) && CharAt(FPos) == '\n') ++FPos;
    } else if (ch == '\n') {
        ++FPos;
    } else {
        return false;
    }
    ++FLine;
    FLineStart = FPos;
    return true;
}

bool TParser::StartsAt(int64_t pos, std::string_view s) {
    if (s.empty()) return false;
    for (size_t i = 0; i < s.size(); ++i) {
        const int64_t p = pos + static_cast<int64_t>(i);
        if (IsEndAt(p) || CharAt(p) != s[i]) return false;
    }
    return true;
}

// --- TParser: quoted text ---

void TParser::SkipQuotedCounting(char quote) {
    while (!IsEndAt(FPos)) {
        if (CharAt(FPos) == quote) return;
        if (!SkipLineBreak()) ++FPos;
    }
}

void TParser::SkipQuoted(char quote) {
    if (FStream) {
        while (!IsEndAt(FPos) && CharAt(FPos) != quote) ++FPos;
        return;
    }
    const auto from = static_cast<size_t>(std::max<int64_t>(FPos - FBufStart, 0));
    const size_t at = FBuf.find(quote, from);
    FPos = FBufStart + static_cast<int64_t>(at == AnsiString::npos ? FBuf.size() : at);
}

void TParser::SkipToQuote(char quote) {
    if (FCountLinesInQuotes || FStream)
        SkipQuotedCounting(quote);
    else
        SkipQuoted(quote);
}

// --- TParser: positions ---

void TParser::ToBegin() {
    EnsureInit();
    FPos = 0;
    FPrevPos = 0;
    FPrevPrevPos = 0;
    FLine = 0;
    FLineStart = 0;
    FPrevLine = 0;
    FPrevLineStart = 0;
    if (FStream) ResetStream();
}

void TParser::SetText(const AnsiString& text) {
    EnsureInit();
    FStream = nullptr;
    FEncoding = nullptr;
    FCarry.clear();
    FBuf = text;
    FBufStart = 0;
    ToBegin();
}

void TParser::Back() {
    EnsureInit();
    FPos = FPrevPos;
    FLine = FPrevLine;
    FLineStart = FPrevLineStart;
}

int64_t TParser::CurrentPos() {
    EnsureInit();
    return FPos;
}

int64_t TParser::LastLexemPos() {
    EnsureInit();
    return FPrevPos;
}

int64_t TParser::LexemPosBeforeLast() {
    EnsureInit();
    return FPrevPrevPos;
}

int64_t TParser::CurrentLine() {
    EnsureInit();
    return FLine;
}

int64_t TParser::CurrentColumn() {
    EnsureInit();
    return FPos - FLineStart;
}

int64_t TParser::LastLexemLine() {
    EnsureInit();
    return FPrevLine;
}

int64_t TParser::LastLexemColumn() {
    EnsureInit();
    return FPrevPos - FPrevLineStart;
}

// --- TParser: switches ---

bool TParser::SkipBlanks() {
    EnsureInit();
    return FSkipBlanks;
}
void TParser::SetSkipBlanks(bool value) {
    EnsureInit();
    FSkipBlanks = value;
}
bool TParser::SkipComments() {
    EnsureInit();
    return FSkipComments;
}
void TParser::SetSkipComments(bool value) {
    EnsureInit();
    FSkipComments = value;
}
bool TParser::UpperCaseKeywords() {
    EnsureInit();
    return FUpperCaseKeywords;
}
void TParser::SetUpperCaseKeywords(bool value) {
    EnsureInit();
    FUpperCaseKeywords = value;
}
bool TParser::KeepStringQuotes() {
    EnsureInit();
    return FKeepStringQuotes;
}
void TParser::SetKeepStringQuotes(bool value) {
    EnsureInit();
    FKeepStringQuotes = value;
}
bool TParser::CountLinesInQuotes() {
    EnsureInit();
    return FCountLinesInQuotes;
}
void TParser::SetCountLinesInQuotes(bool value) {
    EnsureInit();
    FCountLinesInQuotes = value;
}
char TParser::DecSeparator() {
    EnsureInit();
    return FDecSeparator;
}
void TParser::SetDecSeparator(char value) {
    EnsureInit();
    FDecSeparator = value;
}

// --- TParser: scanning ---

int TParser::GetNext(AnsiString& lexem) { return Scan(lexem, true); }

int TParser::GetNextCode() {
    AnsiString lexem;
    return GetNext(lexem);
}

// Contract: reads the lexeme at the current position into lexem and returns its code (lcEnd once
// the text or stream is used up, lexem then empty); the position, line and column move past it
// and the previous position is kept for a one-step back-off. Blanks and comments come back as
// lexemes unless the parser skips them; keywords are looked up only when asked.
int TParser::Scan(AnsiString& lexem, bool lookupKeywords) {
    EnsureInit();
    FPrevPrevPos = FPrevPos;
    FPrevPos = FPos;
    FPrevLine = FLine;
    FPrevLineStart = FLineStart;
    lexem.clear();

    // Blanks and comments.
    for (;;) {
        if (IsEndAt(FPos)) return lcEnd;
        const int64_t blankStart = FPos;
        while (!IsEndAt(FPos) && IsBlank(CharAt(FPos)))
            if (!SkipLineBreak()) ++FPos;
        if (!FSkipBlanks && FPos > blankStart) {
            lexem = TextRange(blankStart, FPos);
            return lcBlank;
        }
        if (IsEndAt(FPos)) return lcEnd;

        const int64_t commentStart = FPos;
        bool comment = false;
        if (IsLineComment(CharAt(FPos), FPos)) {
            comment = true;
            while (!IsEndAt(FPos) && CharAt(FPos) != '\r' && CharAt(FPos) != '\n') ++FPos;
        } else if (StartsAt(FPos, FBlockCommentBegin)) {
            comment = true;
            FPos += static_cast<int64_t>(FBlockCommentBegin.size());
            while (!IsEndAt(FPos)) {
                if (StartsAt(FPos, FBlockCommentEnd)) {
                    FPos += static_cast<int64_t>(FBlockCommentEnd.size());
                    break;
                }
                if (!SkipLineBreak()) ++FPos;
            }
        }
        if (!comment) break;
        if (!FSkipComments) {
            lexem = TextRange(commentStart, FPos);
            return lcComment;
        }
    }

    const int64_t start = FPos;
    const char ch = CharAt(FPos);

    if (IsSymbol(ch)) {
        if (IsStringQuote(ch) || IsIdentQuote(ch)) {
            const bool isString = IsStringQuote(ch);
            ++FPos;
            SkipToQuote(ch);
            const int64_t close = FPos;
            if (!IsEndAt(FPos)) ++FPos;  // past the closing quote
            if (!isString || FKeepStringQuotes)
                lexem = TextRange(start, FPos);
            else
                lexem = TextRange(start + 1, close);
            return isString ? lcString : lcIdent;
        }

        // The longest run of symbol characters found in the table.
        int found = -1;
        int64_t length = 0;
        if (FSymbolChars->test(U(ch))) {
            AnsiString candidate(1, ch);
            int index = FSymbolLexems->Find(candidate);
            while (index >= 0) {
                found = index;
                ++length;
                const int64_t next = start + length;
                if (IsEndAt(next) || !IsSymbol(CharAt(next))) break;
                candidate += CharAt(next);
                index = FSymbolLexems->Find(candidate);
            }
        }
        if (found >= 0) {
            const TLexemList::Entry& entry = (*FSymbolLexems)[found];
            FPos = start + length;
            lexem = entry.Text;
            return entry.Code;
        }
        ++FPos;
        lexem.assign(1, ch);
        return lcSymbol;
    }

    if (IsAlpha(ch) || ch == '_') {
        while (!IsEndAt(FPos)) {
            const char c = CharAt(FPos);
            if (!(IsAlpha(c) || IsNumber(c) || c == '_')) break;
            ++FPos;
        }
        lexem = TextRange(start, FPos);
        if (lookupKeywords) {
            const int index = FKeywordLexems->Find(lexem);
            if (index >= 0) {
                const TLexemList::Entry& entry = (*FKeywordLexems)[index];
                if (FUpperCaseKeywords) lexem = entry.Text;
                return entry.Code;
            }
        }
        return lcIdent;
    }

    if (IsNumber(ch)) {
        while (!IsEndAt(FPos) && IsNumber(CharAt(FPos))) ++FPos;
        if (!IsEndAt(FPos + 1) && CharAt(FPos) == FDecSeparator && IsNumber(CharAt(FPos + 1))) {
            FPos += 2;
            while (!IsEndAt(FPos) && IsNumber(CharAt(FPos))) ++FPos;
        }
        lexem = TextRange(start, FPos);
        return lcNumber;
    }

    char hex[8];
    std::snprintf(hex, sizeof hex, "%04X", static_cast<unsigned>(U(ch)));
    throw rtl::Exception(AnsiString(SUnknownSymbol) + ch + SUnknownSymbolCode + hex);
}

// --- TParser: skipping ---

namespace {

// The bracket a lexeme opens (+1) or closes (-1); strings, names and comments never count.
int BracketStep(int code, const AnsiString& lexem) {
    if (code == lcString || code == lcIdent || code == lcComment || code == lcBlank || code == lcNumber) return 0;
    if (lexem == "(") return 1;
    if (lexem == ")") return -1;
    return 0;
}

}  // namespace

int TParser::SkipTo(int code, bool countBrackets) {
    AnsiString lexem;
    int depth = 0;
    for (;;) {
        const int c = GetNext(lexem);
        if (c == lcEnd) return lcEnd;
        if (c == code && (!countBrackets || depth == 0)) return c;
        if (countBrackets) depth += BracketStep(c, lexem);
    }
}

int TParser::SkipToAny(std::span<const int> codes) {
    AnsiString lexem;
    int depth = 0;
    for (;;) {
        const int c = GetNext(lexem);
        if (c == lcEnd) return lcEnd;
        if (depth == 0 && std::find(codes.begin(), codes.end(), c) != codes.end()) return c;
        depth += BracketStep(c, lexem);
    }
}

bool TParser::ScanForWord(const AnsiString& word) {
    EnsureInit();
    const AnsiString sought = rtl::AnsiUpperCase(word);
    AnsiString lexem;
    for (;;) {
        const int code = Scan(lexem, false);
        if (code == lcEnd) return false;
        bool found = false;
        if (code > 0)
            found = lexem == sought;  // the table's text
        else if (code == lcSymbol)
            found = sought.size() == 1 && lexem == sought;
        else if (code == lcIdent || code == lcNumber)
            found = rtl::AnsiUpperCase(lexem) == sought;
        if (found) return true;
    }
}

// --- TParser: stream source ---

int64_t TParser::StreamPosition() { return FStream ? FStream->Position() : 0; }

void TParser::ResetStream() {
    FBuf.clear();
    FBufStart = 0;
    FCarry.clear();
    FStream->SetPosition(FStreamStart);
    // The end is found by reading, not by a length, so no source is too long for the positions.
    FStreamRemaining = std::max<int64_t>(FStream->Size() - FStreamStart, 0);
}

bool TParser::LoadBlock() {
    for (;;) {
        if (FStreamRemaining <= 0 && FCarry.empty()) return false;
        rtl::TBytes bytes(FCarry.begin(), FCarry.end());
        const size_t carried = bytes.size();
        const int64_t wanted = std::min<int64_t>(kBlockSize, FStreamRemaining);
        int64_t got = 0;
        if (wanted > 0) {
            bytes.resize(carried + static_cast<size_t>(wanted));
            got = std::max<int64_t>(FStream->Read(bytes.data() + carried, wanted), 0);
            bytes.resize(carried + static_cast<size_t>(got));
        }
        FStreamRemaining = got > 0 ? FStreamRemaining - got : 0;

        // A character cut by the block's end waits for the rest of its bytes in the next block.
        const int count = static_cast<int>(bytes.size());
        const int complete = FStreamRemaining > 0 ? FEncoding->CompleteByteCount(bytes, 0, count) : count;
        FCarry.assign(bytes.begin() + complete, bytes.end());
        const AnsiString text = complete > 0 ? FEncoding->BytesToAnsiAt(bytes, 0, complete) : AnsiString();

        // Drop the text before the last GetNext start once a block's worth has gathered there.
        const int64_t keepFrom = std::min(FPrevPos, FPos);
        if (keepFrom - FBufStart >= kBlockSize) {
            FBuf.erase(0, static_cast<size_t>(keepFrom - FBufStart));
            FBufStart = keepFrom;
        }
        FBuf += text;
        if (!text.empty()) return true;
    }
}

// --- TSQLParser ---

const TLexemList& TSQLParser::SQLSymbols() {
    static const TLexemList list{{"*", lxAsterisk}, {"=", lxEqual}, {":", lxColon},    {",", lxComma},
                                 {".", lxPoint},    {"/", lxSlash}, {";", lxSemicolon}};
    return list;
}

const TLexemList& TSQLParser::SQLKeywords() {
    static const TLexemList list{{"ALL", lxALL},
                                 {"AND", lxAND},
                                 {"AS", lxAS},
                                 {"BEGIN", lxBEGIN},
                                 {"BY", lxBY},
                                 {"COMMIT", lxCOMMIT},
                                 {"DELETE", lxDELETE},
                                 {"DISTINCT", lxDISTINCT},
                                 {"END", lxEND},
                                 {"EXECUTE", lxEXECUTE},
                                 {"FETCH", lxFETCH},
                                 {"FOR", lxFOR},
                                 {"FROM", lxFROM},
                                 {"FULL", lxFULL},
                                 {"GROUP", lxGROUP},
                                 {"HAVING", lxHAVING},
                                 {"INNER", lxINNER},
                                 {"INSERT", lxINSERT},
                                 {"INTO", lxINTO},
                                 {"IS", lxIS},
                                 {"JOIN", lxJOIN},
                                 {"LEFT", lxLEFT},
                                 {"LIMIT", lxLIMIT},
                                 {"LOCK", lxLOCK},
                                 {"MINUS", lxMINUS},
                                 {"NOT", lxNOT},
                                 {"OFFSET", lxOFFSET},
                                 {"ON", lxON},
                                 {"OR", lxOR},
                                 {"ORDER", lxORDER},
                                 {"OUTER", lxOUTER},
                                 {"RELEASE", lxRELEASE},
                                 {"RETURNING", lxRETURNING},
                                 {"RIGHT", lxRIGHT},
                                 {"ROLLBACK", lxROLLBACK},
                                 {"SAVEPOINT", lxSAVEPOINT},
                                 {"SELECT", lxSELECT},
                                 {"SET", lxSET},
                                 {"TO", lxTO},
                                 {"TRANSACTION", lxTRANSACTION},
                                 {"UNION", lxUNION},
                                 {"UPDATE", lxUPDATE},
                                 {"WHERE", lxWHERE},
                                 {"WITH", lxWITH}};
    return list;
}

const TCharSet& TSQLParser::SQLSymbolChars() {
    static const TCharSet set = SymbolFirstChars(SQLSymbols());
    return set;
}

void TSQLParser::InitParser() {
    TParser::InitParser();
    FSymbolLexems = &SQLSymbols();
    FKeywordLexems = &SQLKeywords();
    FSymbolChars = &SQLSymbolChars();
    FClauses = {lxWHERE, lxGROUP, lxHAVING, lxUNION, lxINTERSECT, lxMINUS, lxORDER};
}

bool TSQLParser::IsAlpha(char ch) const { return TParser::IsAlpha(ch) || ch == '#' || ch == '$'; }

bool TSQLParser::IsStringQuote(char ch) const { return ch == '\''; }

bool TSQLParser::IsIdentQuote(char ch) const { return ch == '"'; }

bool TSQLParser::IsLineComment(char ch, int64_t pos) {
    return ch == '-' && !IsEndAt(pos + 1) && CharAt(pos + 1) == '-' && !IsEndAt(pos + 2);
}

bool TSQLParser::IsNonStringLexeme(int code) const { return code != lcString; }

bool TSQLParser::ReservedCheck1() const { return false; }

bool TSQLParser::IsSelectModifier(int code) const { return code == lxALL || code == lxDISTINCT; }

bool TSQLParser::IsNullWord(const AnsiString& text) const { return text == "NULL"; }

bool TSQLParser::ReservedCheck2() const { return false; }

bool TSQLParser::IsClauseCode(int code) {
    EnsureInit();
    if (FClauses.empty()) rtl::AssertFail(SAssertionFailure, kUnit, __LINE__);
    return std::find(FClauses.begin(), FClauses.end(), code) != FClauses.end();
}

int TSQLParser::CompareClauses(int a, int b) {
    EnsureInit();
    const auto ia = std::find(FClauses.begin(), FClauses.end(), a);
    const auto ib = std::find(FClauses.begin(), FClauses.end(), b);
    if (ia == FClauses.end() || ib == FClauses.end()) return -2;
    if (ia == ib) return 0;
    return ia < ib ? -1 : 1;
}

}  // namespace store
