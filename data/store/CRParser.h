// The SQL lexer: reads SQL and expression text held in memory or in a stream and returns one lexeme
// at a time with its code and text, keeping positions, lines and columns. TParser is the generic
// tokenizer; TSQLParser is the generic SQL dialect whose keyword codes the SQL text routines test.
// Dialects and the filter lexer derive from these and install their own tables in InitParser.
#pragma once

#include <bitset>
#include <cstdint>
#include <initializer_list>
#include <span>
#include <string_view>
#include <utility>
#include <vector>

#include "framework/rtl/Classes.h"
#include "framework/rtl/Types.h"

namespace store {

class Encoding;

using rtl::AnsiString;

// Lexeme kinds; positive codes come from the parser's symbol and keyword tables.
inline constexpr int lcEnd = 0;
inline constexpr int lcSymbol = -102;  // a symbol character not in the symbol table
inline constexpr int lcIdent = -103;   // identifier or quoted name (quotes kept)
inline constexpr int lcNumber = -105;
inline constexpr int lcString = -106;
inline constexpr int lcBlank = -107;    // only when SkipBlanks is off
inline constexpr int lcComment = -108;  // only when SkipComments is off

// Keyword codes of the generic SQL dialect.
inline constexpr int lxALL = 100;
inline constexpr int lxAND = 101;
inline constexpr int lxAS = 102;
inline constexpr int lxBEGIN = 103;
inline constexpr int lxBY = 104;
inline constexpr int lxCOMMIT = 105;
inline constexpr int lxDELETE = 106;
inline constexpr int lxDISTINCT = 107;
inline constexpr int lxEND = 108;
inline constexpr int lxEXECUTE = 109;
inline constexpr int lxFETCH = 110;
inline constexpr int lxFOR = 111;
inline constexpr int lxFROM = 112;
inline constexpr int lxFULL = 113;
inline constexpr int lxGROUP = 114;
inline constexpr int lxHAVING = 115;
inline constexpr int lxINNER = 116;
inline constexpr int lxINSERT = 117;
inline constexpr int lxINTERSECT = 118;  // no keyword of the generic table; a clause code all the same
inline constexpr int lxINTO = 119;
inline constexpr int lxIS = 120;
inline constexpr int lxJOIN = 121;
inline constexpr int lxLEFT = 122;
inline constexpr int lxLIMIT = 123;
inline constexpr int lxLOCK = 124;
inline constexpr int lxMINUS = 125;
inline constexpr int lxNOT = 126;
inline constexpr int lxOFFSET = 127;
inline constexpr int lxON = 128;
inline constexpr int lxOR = 130;
inline constexpr int lxORDER = 131;
inline constexpr int lxOUTER = 132;
inline constexpr int lxRELEASE = 133;
inline constexpr int lxRETURNING = 134;
inline constexpr int lxRIGHT = 135;
inline constexpr int lxROLLBACK = 136;
inline constexpr int lxSAVEPOINT = 137;
inline constexpr int lxSELECT = 138;
inline constexpr int lxSET = 139;
inline constexpr int lxTO = 140;
inline constexpr int lxTRANSACTION = 141;
inline constexpr int lxUNION = 142;
inline constexpr int lxUPDATE = 143;
inline constexpr int lxWHERE = 144;
inline constexpr int lxWITH = 145;

// Symbol codes of the generic SQL dialect.
inline constexpr int lxAsterisk = 1;
inline constexpr int lxEqual = 2;
inline constexpr int lxColon = 3;
inline constexpr int lxComma = 4;
inline constexpr int lxPoint = 5;
inline constexpr int lxSlash = 6;
inline constexpr int lxSemicolon = 7;

// A table of symbols or keywords, kept sorted by ordinal comparison of the texts.
class TLexemList {
public:
    struct Entry {
        AnsiString Text;
        int Code;
    };

    TLexemList() = default;
    TLexemList(std::initializer_list<std::pair<const char*, int>> entries);

    // A code of 0 or less is an assertion failure: those codes are the lexeme kinds.
    void Add(std::string_view text, int code);
    // The index of the first entry equal to the candidate, the candidate's letters a-z taken as
    // upper case; -1 when none.
    int Find(std::string_view candidate) const;

    int Count() const { return static_cast<int>(FItems.size()); }
    const Entry& operator[](int index) const { return FItems[static_cast<size_t>(index)]; }

    // -1, 0 or 1: the entry against the candidate (candidate a-z upper-cased; a shorter equal prefix
    // sorts first).
    static int CompareWithCandidate(std::string_view entry, std::string_view candidate) noexcept;

private:
    std::vector<Entry> FItems;
};

// One bit per byte value.
using TCharSet = std::bitset<256>;
// The first characters of a symbol table's entries.
TCharSet SymbolFirstChars(const TLexemList& symbols);

class TParser;

// The class reference of parsers: the routines that read SQL text take the class of the dialect's
// lexer and create their own parser from it. Both operations return an initialised parser that the
// caller frees.
class TParserClass : public rtl::ClassRef {
public:
    using rtl::ClassRef::ClassRef;
    virtual TParser* Create(const AnsiString& text) const;
    // Reads from the stream's current position; the encoding defaults to the ANSI instance.
    virtual TParser* CreateFromStream(rtl::TStream* stream, const Encoding* encoding = nullptr) const;
    template <class T>
    class Of;
};

template <class T>
class TParserClass::Of : public TParserClass {
public:
    using TParserClass::TParserClass;
    TParser* Create(const AnsiString& text) const override { return rtl::Create<T>(text); }
    TParser* CreateFromStream(rtl::TStream* stream, const Encoding* encoding = nullptr) const override {
        return rtl::Create<T>(stream, encoding);
    }
    // Parsers have no default constructor: an empty text stands in.
    rtl::TObject* NewInstance() const override { return Create(AnsiString()); }
};

// The generic tokenizer. Create parsers with rtl::Create<T>(text) or a TParserClass: the second
// construction phase installs the tables, which a C++ constructor cannot do through the overrides.
// A parser that skipped that phase initialises itself at its first use.
class TParser : public rtl::TObject {
public:
    using ClassRefType = TParserClass;
    RTL_CLASS(TParser, rtl::TObject)
public:
    explicit TParser(AnsiString text);
    // Reads from the stream's current position; the encoding defaults to the ANSI instance.
    TParser(rtl::TStream* stream, const Encoding* encoding);
    ~TParser() override;

    // The second construction phase: InitParser.
    void AfterConstruction() override;

    // --- virtual interface ---
    // Installs the tables, comment delimiters, decimal separator and default switches; ToBegin.
    virtual void InitParser();
    virtual bool IsBlank(char ch) const;
    virtual bool IsSymbol(char ch) const;
    virtual bool IsAlpha(char ch) const;
    virtual bool IsNumber(char ch) const;
    virtual bool IsStringQuote(char ch) const;
    // The three below start at the character after the opening quote and leave FPos on the
    // closing quote, or at the end when there is none; GetNext then steps past it.
    // Counts the line breaks passed.
    virtual void SkipQuotedCounting(char quote);
    // Does not count lines.
    virtual void SkipQuoted(char quote);
    // SkipQuotedCounting when CountLinesInQuotes is on or the source is a stream, else SkipQuoted.
    virtual void SkipToQuote(char quote);
    virtual bool IsIdentQuote(char ch) const;
    // Whether a line comment starts with ch at the 0-based position pos.
    virtual bool IsLineComment(char ch, int64_t pos);
    virtual void ToBegin();
    // The next lexeme's code; lexem receives its text.
    virtual int GetNext(AnsiString& lexem);

    // --- other operations ---
    void SetText(const AnsiString& text);
    // Returns to where the last GetNext started.
    void Back();
    int GetNextCode();
    // Reads lexemes until the code or the end; with bracket counting the code counts at depth 0 only.
    int SkipTo(int code, bool countBrackets = false);
    // Reads lexemes until one of the codes at bracket depth 0 (returned) or the end (0).
    int SkipToAny(std::span<const int> codes);
    int SkipToAny(std::initializer_list<int> codes) {
        return SkipToAny(std::span<const int>(codes.begin(), codes.size()));
    }
    // Scans for a symbol, identifier or number equal to the word (upper-cased); keywords are not
    // looked up. Returns whether found; the position is then past the found lexeme.
    bool ScanForWord(const AnsiString& word);

    // 0-based positions in the whole source.
    int64_t CurrentPos();
    int64_t LastLexemPos();
    int64_t LexemPosBeforeLast();
    // 0-based line counter and columns.
    int64_t CurrentLine();
    int64_t CurrentColumn();
    int64_t LastLexemLine();
    int64_t LastLexemColumn();

    // --- switches ---
    bool SkipBlanks();
    void SetSkipBlanks(bool value);
    bool SkipComments();
    void SetSkipComments(bool value);
    bool UpperCaseKeywords();
    void SetUpperCaseKeywords(bool value);
    bool KeepStringQuotes();
    void SetKeepStringQuotes(bool value);
    bool CountLinesInQuotes();
    void SetCountLinesInQuotes(bool value);
    char DecSeparator();
    void SetDecSeparator(char value);

    // The tables every TParser shares.
    static const TLexemList& ParserSymbols();
    static const TLexemList& ParserKeywords();
    static const TCharSet& ParserSymbolChars();

protected:
    // True when pos is past the end of the source (reads the next stream block when needed).
    bool IsEndAt(int64_t pos);
    // The character at a 0-based position; pos must not be past the end nor before the retained text.
    char CharAt(int64_t pos);
    // Advances over one line break at FPos (CR LF counts once) and starts a new line after it.
    // Returns false when FPos holds no line break.
    bool SkipLineBreak();
    // Whether the text at pos begins with s (never for an empty s).
    bool StartsAt(int64_t pos, std::string_view s);
    // The source text of [from, to).
    AnsiString TextRange(int64_t from, int64_t to);
    bool IsStream() const noexcept { return FStream != nullptr; }
    // The whole source of a parser made from text; a stream's parser holds only a window of it.
    std::string_view Text() const noexcept { return FBuf; }
    void EnsureInit();

    // Installed by InitParser; descendants replace them after calling the base.
    const TLexemList* FSymbolLexems = nullptr;
    const TLexemList* FKeywordLexems = nullptr;
    const TCharSet* FSymbolChars = nullptr;
    AnsiString FBlockCommentBegin;
    AnsiString FBlockCommentEnd;
    char FDecSeparator = '.';

    // Next character, 0-based in the whole source.
    int64_t FPos = 0;
    int64_t FLine = 0;
    int64_t FLineStart = 0;

    bool FSkipBlanks = true;
    bool FSkipComments = false;
    bool FUpperCaseKeywords = true;
    bool FKeepStringQuotes = false;
    bool FCountLinesInQuotes = false;

private:
    int Scan(AnsiString& lexem, bool lookupKeywords);
    // Reads the next stream block into the buffer; false at the end of the stream.
    bool LoadBlock();
    void ResetStream();
    int64_t StreamPosition();

    bool FInitialized = false;

    // The retained text: characters FBufStart .. FBufStart + FBuf.size() of the source.
    AnsiString FBuf;
    int64_t FBufStart = 0;

    // Stream source.
    rtl::TStream* FStream = nullptr;
    const Encoding* FEncoding = nullptr;
    int64_t FStreamStart = 0;
    int64_t FStreamRemaining = 0;
    std::vector<uint8_t> FCarry;  // bytes of a character cut by the last block's end

    int64_t FPrevPos = 0;
    int64_t FPrevPrevPos = 0;
    int64_t FPrevLine = 0;
    int64_t FPrevLineStart = 0;
};

// Clause-order array: keyword codes of the clauses of a SELECT statement in their order.
using TClausesArr = std::vector<int>;

// The generic SQL dialect.
class TSQLParser : public TParser {
    RTL_CLASS(TSQLParser, TParser)
public:
    using TParser::TParser;

    void InitParser() override;
    bool IsAlpha(char ch) const override;
    bool IsStringQuote(char ch) const override;
    bool IsIdentQuote(char ch) const override;
    bool IsLineComment(char ch, int64_t pos) override;

    virtual bool IsNonStringLexeme(int code) const;
    virtual bool ReservedCheck1() const;
    virtual bool IsSelectModifier(int code) const;
    virtual bool IsNullWord(const AnsiString& text) const;
    virtual bool ReservedCheck2() const;

    // Whether the code is a clause keyword; the clause order must not be empty.
    bool IsClauseCode(int code);
    // -2 when either code is not a clause, else -1, 0 or 1 by their places in the clause order.
    int CompareClauses(int a, int b);

    static const TLexemList& SQLSymbols();
    static const TLexemList& SQLKeywords();
    static const TCharSet& SQLSymbolChars();

protected:
    TClausesArr FClauses;
};

}  // namespace store
