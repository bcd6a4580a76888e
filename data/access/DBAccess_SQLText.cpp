// Routines that read and rewrite the WHERE, ORDER BY and FROM parts of a SELECT statement's text.
// They walk the statement with the dialect's lexer and decide by lexeme codes, so keywords inside
// strings, comments, quoted names and bracketed sub-selects never count.
#include <algorithm>

#include "data/access/DBAccess_Common.h"
#include "data/store/DAConsts.h"
#include "framework/rtl/SysUtils.h"
#include "framework/rtl/Text.h"

namespace daccess {

using namespace store;

namespace {

constexpr char CR = '\r';

rtl::TOwnedPtr<TSQLParser> NewSQLParser(const TParserClass& ParserClass, const AnsiString& SQL) {
    rtl::TOwnedPtr<TParser> parser(ParserClass.Create(SQL));
    auto* sqlParser = dynamic_cast<TSQLParser*>(parser.get());
    if (!sqlParser) rtl::AssertFail(SAssertionFailure, "DBAccess", __LINE__);
    parser.release();
    return rtl::TOwnedPtr<TSQLParser>(sqlParser);
}

// Walks lexemes keeping the bracket depth and whether the previous lexeme was the macro character.
struct TLexemWalker {
    TSQLParser& Parser;
    int Code = lcEnd;
    AnsiString Lexem;
    int Depth = 0;
    bool AfterMacro = false;
    bool ClampDepth = false;

    explicit TLexemWalker(TSQLParser& AParser, bool AClampDepth = false) : Parser(AParser), ClampDepth(AClampDepth) {}

    bool IsSymbol(char c) const {
        return Lexem.size() == 1 && Lexem[0] == c && Code != lcComment && Code != lcBlank &&
               Parser.IsNonStringLexeme(Code);
    }
    bool IsBlank() const { return Code == lcBlank; }

    // The next lexeme; false at the end. A bracket changes the depth.
    bool Next() {
        PrevMacro = AfterMacro;
        Code = Parser.GetNext(Lexem);
        if (Code == lcEnd) return false;
        if (IsSymbol('('))
            ++Depth;
        else if (IsSymbol(')')) {
            --Depth;
            if (ClampDepth && Depth < 0) Depth = 0;
        }
        AfterMacro = IsSymbol(MacroChar);
        return true;
    }

    // A keyword that counts: at depth 0 and not a macro name.
    bool AtTop() const { return Depth == 0 && !PrevMacro; }
    // The statement ends here: a ';' at depth 0 ends it as the end of the text does.
    bool AtStatementEnd() const { return Depth == 0 && IsSymbol(';'); }
    // 0-based start of the current lexeme, for lexemes whose text is their source text.
    int64_t LexemStart() { return Parser.CurrentPos() - static_cast<int64_t>(Lexem.size()); }

private:
    bool PrevMacro = false;
};

// Moves the parser past the statement's SELECT. With brackets counted, a WITH is followed to its main
// SELECT; without, the first SELECT anywhere is taken.
bool FindSelect(TSQLParser& Parser, bool CountBrackets) {
    if (!CountBrackets) return Parser.SkipTo(lxSELECT, false) == lxSELECT;
    int code = Parser.SkipToAny({lxWITH, lxSELECT});
    if (code == lxWITH) code = Parser.SkipTo(lxSELECT, true);
    return code == lxSELECT;
}

// Whether a condition has an OR outside its own brackets.
bool HasTopLevelOr(const AnsiString& Condition, const TParserClass& ParserClass) {
    auto parser = NewSQLParser(ParserClass, Condition);
    parser->SetSkipComments(true);
    TLexemWalker w(*parser);
    while (w.Next())
        if (w.Depth == 0 && w.Code > 0 && rtl::UpperCase(w.Lexem) == "OR") return true;
    return false;
}

// Whether the text from From on holds anything but blanks (a comment the parser skipped).
bool HasTextAfter(const AnsiString& SQL, int64_t From) {
    if (From < 0) From = 0;
    if (static_cast<size_t>(From) >= SQL.size()) return false;
    return !rtl::Trim(std::string_view(SQL).substr(static_cast<size_t>(From))).empty();
}

void InsertAt(AnsiString& S, int64_t Pos0, const AnsiString& Text) {
    const size_t pos = static_cast<size_t>(std::clamp<int64_t>(Pos0, 0, static_cast<int64_t>(S.size())));
    S.insert(pos, Text);
}

// Deletes the 1-based characters Start .. End, clipped to the text.
void DeleteRange(AnsiString& S, int64_t Start, int64_t End) {
    End = std::min<int64_t>(End, static_cast<int64_t>(S.size()));
    if (Start < 1 || Start > End) return;
    S.erase(static_cast<size_t>(Start - 1), static_cast<size_t>(End - Start + 1));
}


// Writes the clause's new text where the old one stood, or appends keyword and text after
// the statement when there was no such clause.
AnsiString PlaceClause(AnsiString result, int64_t start, int64_t end, bool clauseFound, const char* keyword,
                       const AnsiString& body, bool leadingBlank, bool stopTight, bool atStatementEnd) {
    AnsiString text;
    if (!clauseFound) {
        start = end + 1;
        text = AnsiString(keyword) + body;
        if (result.find(CR) < static_cast<size_t>(std::min<int64_t>(start, static_cast<int64_t>(result.size()))))
            text = AnsiString(1, CR) + " " + text;
    } else {
        text = leadingBlank ? " " + body : body;
    }
    if (stopTight && !atStatementEnd) text += " ";
    InsertAt(result, start - 1, text);
    return result;
}

}  // namespace

// ---------------------------------------------------------------------------------------------

AnsiString AddWhere(const AnsiString& SQL, const AnsiString& Condition, const TParserClass& ParserClass,
                    bool OmitComments) {
    AnsiString result = SQL;
    if (rtl::Trim(Condition).empty()) return result;

    auto parser = NewSQLParser(ParserClass, SQL);
    parser->SetSkipComments(OmitComments);
    if (!FindSelect(*parser, true)) return result;

    enum { StopEnd, StopClause, StopSemicolon } stop = StopEnd;
    int64_t wherePos = -1;  // 0-based: where the opening bracket of the old condition goes
    int64_t stopPos = 0;
    int prevCode = lxSELECT;
    int64_t lastEnd = parser->CurrentPos();
    TLexemWalker w(*parser);
    while (w.Next()) {
        if (w.AtTop()) {
            if (w.Code == lxWHERE) {
                if (wherePos < 0) wherePos = parser->CurrentPos() + 1;
            } else if (parser->IsClauseCode(w.Code)) {
                stop = StopClause;
                stopPos = parser->LastLexemPos();
                break;
            } else if (w.AtStatementEnd()) {
                stop = StopSemicolon;
                stopPos = parser->CurrentPos() - 1;
                break;
            }
        }
        prevCode = w.Code;
        lastEnd = parser->CurrentPos();
    }

    const bool hasWhere = wherePos >= 0;
    // An OR at the top of the new condition would bind looser than the AND that joins it.
    const AnsiString condition = HasTopLevelOr(Condition, ParserClass) ? "(" + Condition + ")" : Condition;
    const AnsiString tail = hasWhere ? " AND " + condition + " " : AnsiString(1, CR) + "WHERE " + condition + " ";
    // A line comment before the closing bracket would swallow it.
    bool commentBefore = prevCode == lcComment;
    if (stop == StopEnd && HasTextAfter(SQL, lastEnd)) commentBefore = true;
    const AnsiString closing = commentBefore ? AnsiString(1, CR) + ")" : AnsiString(")");

    switch (stop) {
        case StopClause:
        case StopSemicolon:
            if (hasWhere) {
                InsertAt(result, stopPos, closing + tail);
                InsertAt(result, wherePos, "(");
            } else {
                InsertAt(result, stopPos, tail);
            }
            break;
        case StopEnd:
            if (hasWhere) {
                InsertAt(result, wherePos, "(");
                result = rtl::Trim(result) + closing + tail;
            } else {
                result = rtl::Trim(result) + tail;
            }
            break;
    }
    return result;
}

AnsiString SetWhere(const AnsiString& SQL, const AnsiString& Condition, const TParserClass& ParserClass) {
    AnsiString result = SQL;
    auto parser = NewSQLParser(ParserClass, SQL);
    parser->SetSkipBlanks(false);
    parser->SetSkipComments(true);
    if (!FindSelect(*parser, true)) return result;

    const bool newCondition = !Condition.empty();
    int64_t start = 0;  // 1-based; 0: nothing to delete
    int64_t end = 0;    // 1-based; 0: unset
    bool whereFound = false;
    bool leadingBlank = false;
    bool stopTight = false;  // the stopping keyword follows the clause without a blank
    int prevCode = lxSELECT;
    int64_t prevBlankStart = 0;
    TLexemWalker w(*parser);
    while (w.Next()) {
        if (w.IsBlank()) {
            const int64_t blankStart = w.LexemStart();
            if (prevCode != lcBlank) end = blankStart;
            prevBlankStart = blankStart;
            prevCode = w.Code;
            continue;
        }
        if (w.AtTop()) {
            if (w.Code == lxWHERE && !whereFound) {
                whereFound = true;
                const int64_t whereStart = w.LexemStart();
                end = 0;
                if (newCondition) {
                    AnsiString lexem;
                    if (parser->GetNext(lexem) == lcBlank) {
                        start = parser->CurrentPos() + 1;
                        end = parser->CurrentPos() - static_cast<int64_t>(lexem.size());
                        prevCode = lcBlank;
                        continue;
                    }
                    // No blank after WHERE: the condition brings its own.
                    parser->Back();
                    start = parser->CurrentPos() + 1;
                    leadingBlank = true;
                } else {
                    start = prevCode == lcBlank ? prevBlankStart + 1 : whereStart + 1;
                }
                prevCode = w.Code;
                continue;
            }
            if ((w.Code != lxWHERE && parser->IsClauseCode(w.Code)) || w.AtStatementEnd()) {
                // A clause written directly after the condition must not be taken into it.
                if (end == 0) {
                    end = w.LexemStart();
                    stopTight = true;
                }
                break;
            }
        }
        end = 0;
        prevCode = w.Code;
    }
    if (end == 0) end = static_cast<int64_t>(result.size());
    if (start > 0) DeleteRange(result, start, end);
    if (!newCondition) {
        // Keep the following keyword apart from what stood before the removed clause.
        if (start > 0 && stopTight && w.Code != lcEnd && !w.AtStatementEnd()) InsertAt(result, start - 1, " ");
        return result;
    }

    return PlaceClause(std::move(result), start, end, whereFound, " WHERE ", Condition, leadingBlank, stopTight,
                       w.AtStatementEnd());
}

AnsiString GetClause(const AnsiString& SQL, TSQLParser& Parser, int Code) {
    Parser.SetText(SQL);
    if (!FindSelect(Parser, false)) return {};
    int64_t start = -1;  // 0-based
    int64_t stop = static_cast<int64_t>(SQL.size());
    TLexemWalker w(Parser);
    while (w.Next()) {
        if (!w.AtTop()) continue;
        if (w.Code == Code && start < 0) {
            start = Parser.CurrentPos() + 1;
        } else if ((w.Code != Code && Parser.IsClauseCode(w.Code)) || w.AtStatementEnd()) {
            Parser.Back();
            stop = Parser.CurrentPos();
            break;
        }
    }
    if (start < 0 || start >= stop) return {};
    return SQL.substr(static_cast<size_t>(start), static_cast<size_t>(stop - start));
}

AnsiString GetFrom(const AnsiString& SQL, const TParserClass& ParserClass, bool OmitComments) {
    auto parser = NewSQLParser(ParserClass, SQL);
    parser->SetSkipComments(OmitComments);
    return GetClause(SQL, *parser, lxFROM);
}

AnsiString GetWhere(const AnsiString& SQL, const TParserClass& ParserClass, bool OmitComments) {
    auto parser = NewSQLParser(ParserClass, SQL);
    parser->SetSkipComments(OmitComments);
    return GetClause(SQL, *parser, lxWHERE);
}

namespace {

// LIMIT and OFFSET follow the ORDER BY list; they are not part of it.
bool IsAfterOrderKeyword(const TLexemWalker& w) { return w.Code == lxLIMIT || w.Code == lxOFFSET; }

}  // namespace

AnsiString SetOrderBy(const AnsiString& SQL, const AnsiString& Fields, const TParserClass& ParserClass) {
    AnsiString fields = Fields;
    std::replace(fields.begin(), fields.end(), ';', ',');

    AnsiString result = SQL;
    auto parser = NewSQLParser(ParserClass, SQL);
    parser->SetSkipBlanks(false);
    parser->SetSkipComments(true);
    if (!FindSelect(*parser, false)) return result;

    const bool newList = !fields.empty();
    int64_t start = 0;
    int64_t end = 0;
    bool orderFound = false;
    bool leadingBlank = false;
    bool stopTight = false;
    int prevCode = lxSELECT;
    int64_t prevBlankStart = 0;
    TLexemWalker w(*parser, true);
    while (w.Next()) {
        if (w.IsBlank()) {
            const int64_t blankStart = w.LexemStart();
            if (prevCode != lcBlank) end = blankStart;
            prevBlankStart = blankStart;
            prevCode = w.Code;
            continue;
        }
        if (w.AtTop()) {
            if (w.Code == lxORDER && !orderFound) {
                const int64_t orderStart = w.LexemStart();
                if (!newList) start = prevCode == lcBlank ? prevBlankStart + 1 : orderStart + 1;
                AnsiString lexem;
                int code = parser->GetNext(lexem);
                if (code == lcBlank) code = parser->GetNext(lexem);
                if (code == lxBY) {
                    orderFound = true;
                    if (newList) {
                        if (parser->GetNext(lexem) == lcBlank) {
                            start = parser->CurrentPos() + 1;
                        } else {
                            parser->Back();
                            start = parser->CurrentPos() + 1;
                            leadingBlank = true;
                        }
                    }
                    end = 0;
                    prevCode = lxBY;
                    continue;
                }
                // ORDER without BY is no clause: look at that lexeme again.
                if (code != lcEnd) parser->Back();
                start = 0;
                end = 0;
                prevCode = lxORDER;
                continue;
            }
            if (IsAfterOrderKeyword(w) || w.AtStatementEnd() ||
                (orderFound && parser->CompareClauses(lxORDER, w.Code) == -1)) {
                if (end == 0) {
                    end = w.LexemStart();
                    stopTight = true;
                }
                break;
            }
        }
        end = 0;
        prevCode = w.Code;
    }
    if (end == 0) end = static_cast<int64_t>(result.size());
    if (start > 0) DeleteRange(result, start, end);
    if (!newList) {
        if (start > 0 && stopTight && !w.AtStatementEnd()) InsertAt(result, start - 1, " ");
        return result;
    }

    return PlaceClause(std::move(result), start, end, orderFound, " ORDER BY ", fields, leadingBlank, stopTight,
                       w.AtStatementEnd());
}

AnsiString GetOrderBy(const AnsiString& SQL, const TParserClass& ParserClass) {
    auto parser = NewSQLParser(ParserClass, SQL);
    parser->SetSkipBlanks(false);
    parser->SetSkipComments(true);
    if (!FindSelect(*parser, false)) return {};

    int64_t listStart = -1;
    TLexemWalker w(*parser, true);
    while (listStart < 0 && w.Next()) {
        if (!w.AtTop() || w.Code != lxORDER) continue;
        AnsiString lexem;
        int code = parser->GetNext(lexem);
        if (code == lcBlank) code = parser->GetNext(lexem);
        if (code != lxBY) {
            if (code != lcEnd) parser->Back();
            continue;
        }
        if (parser->GetNext(lexem) != lcBlank) parser->Back();
        listStart = parser->CurrentPos();
    }
    if (listStart < 0) return {};

    const AnsiString rest = SQL.substr(static_cast<size_t>(listStart));
    auto restParser = NewSQLParser(ParserClass, rest);
    restParser->SetSkipComments(true);
    int64_t cut = static_cast<int64_t>(rest.size());
    TLexemWalker r(*restParser, true);
    while (r.Next()) {
        if (restParser->IsClauseCode(r.Code) || (r.Depth == 0 && (IsAfterOrderKeyword(r) || r.AtStatementEnd()))) {
            cut = r.LexemStart();
            break;
        }
    }
    return rtl::Trim(std::string_view(rest).substr(0, static_cast<size_t>(cut)));
}

}  // namespace daccess
