// Filter expressions of the record store: the filter lexer, a recursive-descent parser into an
// expression tree, and its evaluation against a record.
#include <cstring>

#include "data/store/DAConsts.h"
#include "data/store/MemData_Internal.h"
#include "data/store/MemData_Filter.h"
#include "data/store/MemData_Store.h"
#include "framework/rtl/SysUtils.h"
#include "framework/rtl/Text.h"

namespace store {

// ---------------------------------------------------------------------------------------------
// Lexer
// ---------------------------------------------------------------------------------------------

const TLexemList& TBoolParser::BoolSymbols() {
    static const TLexemList list{{"=", bxEqual},      {">", bxGreater},   {"<", bxLess},        {">=", bxGreaterEqual},
                                 {"<=", bxLessEqual}, {"<>", bxNotEqual}, {"(", bxLeftParen},   {")", bxRightParen},
                                 {"-", bxMinus},      {"+", bxPlus},      {"[", bxLeftBracket}, {"]", bxRightBracket}};
    return list;
}

const TLexemList& TBoolParser::BoolKeywords() {
    static const TLexemList list{{"AND", bxAND}, {"FALSE", bxFALSE}, {"IS", bxIS}, {"LIKE", bxLIKE},
                                 {"NOT", bxNOT}, {"NULL", bxNULL},   {"OR", bxOR}, {"TRUE", bxTRUE}};
    return list;
}

const TCharSet& TBoolParser::BoolSymbolChars() {
    static const TCharSet set = SymbolFirstChars(BoolSymbols());
    return set;
}

void TBoolParser::InitParser() {
    TParser::InitParser();
    FSymbolLexems = &BoolSymbols();
    FKeywordLexems = &BoolKeywords();
    FSymbolChars = &BoolSymbolChars();
}

void TBoolParser::SkipToQuote(char quote) {
    while (!IsEndAt(FPos)) {
        const char c = CharAt(FPos);
        if (c == quote) {
            if (quote == '\'' && !IsEndAt(FPos + 1) && CharAt(FPos + 1) == '\'') {
                FPos += 2;
                continue;
            }
            return;
        }
        if (!SkipLineBreak()) ++FPos;
    }
}

// ---------------------------------------------------------------------------------------------
// Wildcard match
// ---------------------------------------------------------------------------------------------

namespace {

template <class C>
bool IsRun(C c) noexcept {
    return c == C('*') || c == C('%');
}

// Greedy two-pointer walk: a run wildcard remembers where it started; on a mismatch it takes one
// more character and the walk resumes after it. Only the latest run wildcard ever needs revisiting.
template <class C>
bool MatchGreedy(std::basic_string_view<C> t, std::basic_string_view<C> p) noexcept {
    size_t ti = 0, pi = 0;
    size_t starP = std::basic_string_view<C>::npos, starT = 0;
    while (ti < t.size()) {
        if (pi < p.size() && IsRun(p[pi])) {
            starP = pi++;
            starT = ti;
        } else if (pi < p.size() && (p[pi] == C('_') || p[pi] == t[ti])) {
            ++pi;
            ++ti;
        } else if (starP != std::basic_string_view<C>::npos) {
            pi = starP + 1;
            ti = ++starT;
        } else {
            return false;
        }
    }
    while (pi < p.size() && IsRun(p[pi])) ++pi;
    return pi == p.size();
}

// Without "_" the pieces between run wildcards are plain texts: the first and last are anchored,
// the others are found leftmost in turn, which is never worse than any later placement.
template <class C>
bool MatchPieces(std::basic_string_view<C> t, std::basic_string_view<C> p) noexcept {
    size_t first = 0;
    while (first < p.size() && !IsRun(p[first])) ++first;
    if (first == p.size()) return t == p;
    if (t.substr(0, first) != p.substr(0, first)) return false;
    size_t last = p.size();
    while (!IsRun(p[last - 1])) --last;
    const std::basic_string_view<C> tail = p.substr(last);
    if (t.size() < first + tail.size()) return false;
    if (t.substr(t.size() - tail.size()) != tail) return false;
    const size_t end = t.size() - tail.size();
    size_t pos = first;
    size_t i = first;
    while (i < last) {
        if (IsRun(p[i])) {
            ++i;
            continue;
        }
        size_t j = i;
        while (j < last && !IsRun(p[j])) ++j;
        const std::basic_string_view<C> piece = p.substr(i, j - i);
        const size_t at = t.substr(0, end).find(piece, pos);
        if (at == std::basic_string_view<C>::npos) return false;
        pos = at + piece.size();
        i = j;
    }
    return true;
}

template <class C>
bool Match(std::basic_string_view<C> t, std::basic_string_view<C> p) noexcept {
    if (p.find(C('_')) != std::basic_string_view<C>::npos) return MatchGreedy(t, p);
    return MatchPieces(t, p);
}

}  // namespace

bool MatchPattern(std::string_view Text, std::string_view Pattern) noexcept { return Match(Text, Pattern); }

bool MatchPattern(std::u16string_view Text, std::u16string_view Pattern) noexcept { return Match(Text, Pattern); }

// ---------------------------------------------------------------------------------------------
// Parser
// ---------------------------------------------------------------------------------------------

namespace {

[[noreturn]] void Illegal() { throw rtl::Exception(SIllegalFilter); }

void FreeChain(TExpressionNode* Last) noexcept {
    while (Last) {
        TExpressionNode* prev = Last->NextAlloc;
        delete Last;
        Last = prev;
    }
}

class TFilterParser {
public:
    TFilterParser(TData& Data, const AnsiString& Text) : FData(Data), FLexer(rtl::Create<TBoolParser>(Text)) {
        FLexer->SetSkipComments(true);
    }
    ~TFilterParser() { FreeChain(FLast); }

    // The root; the caller owns the chain it heads.
    TExpressionNode* Parse() {
        Next();
        TExpressionNode* root = Expression();
        if (FCode != lcEnd) Illegal();
        if (root != FLast) rtl::AssertFail(SAssertionFailure, MemDataUnit, __LINE__);
        FLast = nullptr;
        return root;
    }

private:
    void Next() { FCode = FLexer->GetNext(FLexem); }

    TExpressionNode* New(uint8_t Type, TExpressionNode* Left = nullptr, TExpressionNode* Right = nullptr) {
        auto* node = new TExpressionNode;
        node->NodeType = Type;
        node->LeftOperand = Left;
        node->RightOperand = Right;
        node->NextAlloc = FLast;
        FLast = node;
        return node;
    }

    TExpressionNode* Constant(rtl::Variant Value) {
        TExpressionNode* node = New(ntValue);
        node->Value = std::move(Value);
        return node;
    }

    TExpressionNode* Expression() {
        TExpressionNode* left = Term();
        while (FCode == bxOR) {
            Next();
            TExpressionNode* right = Term();
            left = New(ntOr, left, right);
        }
        return left;
    }

    TExpressionNode* Term() {
        TExpressionNode* left = Factor();
        while (FCode == bxAND) {
            Next();
            TExpressionNode* right = Factor();
            left = New(ntAnd, left, right);
        }
        return left;
    }

    TExpressionNode* Factor() {
        switch (FCode) {
            case bxLeftParen: {
                Next();
                TExpressionNode* inner = Expression();
                if (FCode != bxRightParen) Illegal();
                Next();
                return inner;
            }
            case bxNOT: {
                Next();
                TExpressionNode* operand = Factor();
                return New(ntNot, operand);
            }
            case bxTRUE: Next(); return New(ntTrue);
            case bxFALSE: Next(); return New(ntFalse);
            case bxMinus:
            case bxPlus:
            case bxLeftBracket:
            case bxRightBracket:
            case lcString:
            case lcNumber:
            case lcIdent: return Comparison();
            default: Illegal();
        }
    }

    TExpressionNode* Comparison() {
        TExpressionNode* left = Operand();
        uint8_t type;
        switch (FCode) {
            case bxEqual: type = ntEqual; break;
            case bxGreater: type = ntMore; break;
            case bxLess: type = ntLess; break;
            case bxGreaterEqual: type = ntMoreEqual; break;
            case bxLessEqual: type = ntLessEqual; break;
            case bxNotEqual: type = ntNoEqual; break;
            case bxLIKE: type = ntLike; break;
            case bxNOT:
                Next();
                if (FCode != bxLIKE) Illegal();
                type = ntNotLike;
                break;
            case bxIS: {
                Next();
                type = ntEqual;
                if (FCode == bxNOT) {
                    type = ntNoEqual;
                    Next();
                }
                if (FCode != bxNULL) Illegal();
                Next();
                TExpressionNode* right = Constant(rtl::Variant::Null());
                return New(type, left, right);
            }
            default: Illegal();
        }
        Next();
        TExpressionNode* right = Operand();
        return New(type, left, right);
    }

    TExpressionNode* FieldNode(const AnsiString& Name) {
        TFieldDesc* field = FData.FindField(rtl::AnsiToWide(Name));
        if (!field) internal::FieldNotFound(Name);
        TExpressionNode* node = New(ntField);
        node->FieldDesc = field;
        node->Value = rtl::Variant(Name);
        return node;
    }

    TExpressionNode* Operand() {
        switch (FCode) {
            case bxMinus:
            case bxPlus: {
                const AnsiString sign = FCode == bxMinus ? "-" : "";
                Next();
                if (FCode != lcNumber) Illegal();
                double value;
                if (!rtl::TryStrToFloat(sign + FLexem, value)) Illegal();
                Next();
                return Constant(rtl::Variant(value));
            }
            case bxLeftBracket: {
                AnsiString name;
                FLexer->SetSkipBlanks(false);
                AnsiString lexem;
                int code;
                do {
                    code = FLexer->GetNext(lexem);
                    if (code != lcEnd && code != bxRightBracket) name += lexem;
                } while (code != lcEnd && code != bxRightBracket);
                FLexer->SetSkipBlanks(true);
                TExpressionNode* node = FieldNode(rtl::Trim(name));
                if (code == lcEnd)
                    FCode = lcEnd;
                else
                    Next();
                return node;
            }
            case lcIdent: {
                AnsiString name = FLexem;
                Next();
                while (FCode == lcSymbol && FLexem == ".") {
                    Next();
                    if (FCode != lcIdent) Illegal();
                    name += "." + FLexem;
                    Next();
                }
                return FieldNode(name);
            }
            case lcString: {
                AnsiString text = internal::UndoubleQuotes(FLexem);
                Next();
                return Constant(rtl::Variant(std::move(text)));
            }
            case lcNumber: {
                int64_t i;
                rtl::Variant value;
                if (rtl::TryStrToInt64(FLexem, i)) {
                    value = rtl::Variant(static_cast<long long>(i));
                } else {
                    double d;
                    if (!rtl::TryStrToFloat(FLexem, d)) Illegal();
                    value = rtl::Variant(d);
                }
                Next();
                return Constant(std::move(value));
            }
            case bxTRUE: Next(); return Constant(rtl::Variant(true));
            case bxFALSE: Next(); return Constant(rtl::Variant(false));
            case bxNULL: Next(); return Constant(rtl::Variant::Null());
            default: Illegal();
        }
    }

    TData& FData;
    rtl::TOwnedPtr<TBoolParser> FLexer;
    int FCode = lcEnd;
    AnsiString FLexem;
    TExpressionNode* FLast = nullptr;
};

}  // namespace

void TData::FreeFilterExpression() noexcept {
    FreeChain(FFilterExpression);
    FFilterExpression = nullptr;
}

// ---------------------------------------------------------------------------------------------
// Evaluation
// ---------------------------------------------------------------------------------------------

namespace {

bool IsDateType(TMemDataType t) noexcept { return t == mdtDate || t == mdtTime || t == mdtDateTime; }

bool IsAnsiTextField(const TFieldDesc* f) noexcept {
    return f && !f->HasParent() && (f->DataType == mdtString || f->DataType == mdtExtString);
}

bool IsPatternNode(uint8_t t) noexcept { return t == ntEqual || t == ntLike || t == ntNoEqual || t == ntNotLike; }

class TEvaluator {
public:
    TEvaluator(TData& Data, void* RecBuf) : FData(Data), FRecBuf(RecBuf) {}

    bool Eval(TExpressionNode* Node) {
        switch (Node->NodeType) {
            case ntAnd: return Eval(Node->LeftOperand) && Eval(Node->RightOperand);
            case ntOr: return Eval(Node->LeftOperand) || Eval(Node->RightOperand);
            case ntNot: return !Eval(Node->LeftOperand);
            case ntTrue: return true;
            case ntFalse: return false;
            case ntEqual:
            case ntMore:
            case ntLess:
            case ntMoreEqual:
            case ntLessEqual:
            case ntNoEqual:
            case ntLike:
            case ntNotLike: return Compare(Node);
            default: rtl::AssertFail(SAssertionFailure, MemDataUnit, __LINE__);
        }
    }

private:
    rtl::Variant OperandValue(const TExpressionNode* Node) {
        if (Node->NodeType == ntField) return FData.GetFieldValue(Node->FieldDesc->FieldNo, FRecBuf);
        return Node->Value;
    }

    static bool IsText(const rtl::Variant& v) noexcept { return rtl::VarIsStr(v); }

    bool PatternMatch(const rtl::Variant& Left, const rtl::Variant& Right) {
        const bool wide = Left.VType() == rtl::varOleStr || Right.VType() == rtl::varOleStr;
        if (wide) return MatchPattern(rtl::VarToWideStr(Left), rtl::VarToWideStr(Right));
        const AnsiString l = Left.IsNull() ? AnsiString() : rtl::VarToStr(Left);
        const AnsiString r = Right.IsNull() ? AnsiString() : rtl::VarToStr(Right);
        return MatchPattern(l, r);
    }

    // A text field matched against a text constant, read straight from the record: the road of
    // the name search, taken for every row on every keystroke.
    bool FastTextMatch(TExpressionNode* Node) {
        const TFieldDesc* f = Node->LeftOperand->FieldDesc;
        TExpressionNode* constant = Node->RightOperand;
        const int8_t wantCase = FData.FilterCaseInsensitive ? 1 : 0;
        if (constant->MatchTextCase != wantCase) {
            const std::string_view text = constant->Value.StrRef();
            constant->MatchText = wantCase ? rtl::AnsiUpperCase(text) : AnsiString(text);
            constant->MatchTextCase = wantCase;
        }
        const bool negate = Node->NodeType == ntNoEqual || Node->NodeType == ntNotLike;
        if (FData.GetNull(f->FieldNo, FRecBuf)) {
            // A null field is no text: only LIKE and the negated forms still match it as empty.
            if (Node->NodeType == ntEqual) return false;
            return MatchPattern(std::string_view(), constant->MatchText) != negate;
        }
        const uint8_t* slot = static_cast<const uint8_t*>(FRecBuf) + f->Offset;
        std::string_view text;
        if (f->DataType == mdtString) {
            const char* p = reinterpret_cast<const char*>(slot);
            text = std::string_view(p, strnlen(p, static_cast<size_t>(f->Size)));
        } else {
            const char* p;
            std::memcpy(&p, slot, sizeof p);
            if (p) text = p;
        }
        if (f->Fixed ? FData.TrimFixedChar : FData.TrimVarChar)
            while (!text.empty() && static_cast<uint8_t>(text.back()) <= 32) text.remove_suffix(1);
        if (wantCase) {
            FUpper.assign(text);
            for (char& c : FUpper) c = rtl::AnsiUpperChar(c);
            text = FUpper;
        }
        return MatchPattern(text, constant->MatchText) != negate;
    }

    bool Compare(TExpressionNode* Node) {
        TExpressionNode* l = Node->LeftOperand;
        TExpressionNode* r = Node->RightOperand;
        if (!l || !r) rtl::AssertFail(SAssertionFailure, MemDataUnit, __LINE__);
        const bool partial = !FData.FilterNoPartialCompare;
        if (partial && IsPatternNode(Node->NodeType) && l->NodeType == ntField && IsAnsiTextField(l->FieldDesc) &&
            r->NodeType == ntValue && r->Value.VType() == rtl::varString)
            return FastTextMatch(Node);
        return CompareValues(Node, OperandValue(l), OperandValue(r), partial);
    }

public:
    // The comparison of a node on given operand values; conversions of one operand to the other's
    // kind happen here and raise when the text does not convert.
    bool CompareValues(const TExpressionNode* Node, rtl::Variant lv, rtl::Variant rv, bool partial) {
        const TExpressionNode* l = Node->LeftOperand;
        const TExpressionNode* r = Node->RightOperand;
        ConvertDate(l, lv, rv);
        ConvertDate(r, rv, lv);
        if (FData.FilterCaseInsensitive) {
            UpperText(lv);
            UpperText(rv);
        }
        const uint8_t type = Node->NodeType;
        if ((lv.IsNull() || rv.IsNull()) && type >= ntMore && type <= ntLessEqual) return false;
        switch (type) {
            case ntEqual:
                if (partial && IsText(lv)) return PatternMatch(lv, rv);
                return rtl::VarCompareValue(lv, rv) == rtl::vrEqual;
            case ntLike:
                if (partial && (IsText(lv) || IsText(rv))) return PatternMatch(lv, rv);
                return rtl::VarCompareValue(lv, rv) == rtl::vrEqual;
            case ntNoEqual:
            case ntNotLike:
                if (partial && (IsText(lv) || IsText(rv))) return !PatternMatch(lv, rv);
                return rtl::VarCompareValue(lv, rv) != rtl::vrEqual;
            case ntMore: return rtl::VarCompareValue(lv, rv) == rtl::vrGreaterThan;
            case ntLess: return rtl::VarCompareValue(lv, rv) == rtl::vrLessThan;
            case ntMoreEqual: {
                const auto rel = rtl::VarCompareValue(lv, rv);
                return rel == rtl::vrGreaterThan || rel == rtl::vrEqual;
            }
            case ntLessEqual: {
                const auto rel = rtl::VarCompareValue(lv, rv);
                return rel == rtl::vrLessThan || rel == rtl::vrEqual;
            }
            default: rtl::AssertFail(SAssertionFailure, MemDataUnit, __LINE__);
        }
    }

private:
    // Text compared with a date field becomes a date.
    static void ConvertDate(const TExpressionNode* FieldSide, const rtl::Variant& FieldValue, rtl::Variant& Other) {
        (void)FieldValue;
        if (FieldSide->NodeType != ntField || !IsDateType(FieldSide->FieldDesc->DataType) || !IsText(Other)) return;
        rtl::TDateTime dt;
        if (rtl::TryStrToDateTime(rtl::VarToStr(Other), dt))
            Other = rtl::Variant::FromDate(dt);
        else
            Other = rtl::Variant::FromDate(Other.AsDateTime());
    }

    static void UpperText(rtl::Variant& v) {
        if (v.VType() == rtl::varOleStr)
            v = rtl::Variant(rtl::WideUpperCase(v.WideRef()));
        else if (rtl::VarIsStr(v))
            v = rtl::Variant(rtl::AnsiUpperCase(v.StrRef()));
    }

    TData& FData;
    void* FRecBuf;
    std::string FUpper;
};

}  // namespace

namespace {

// A value of the operand's kind that converts the other operand as every stored value of a field
// would; false where the outcome depends on the row (text, variant, blob and byte fields).
bool ProbeValue(const TExpressionNode* Node, rtl::Variant& Value) {
    if (Node->NodeType == ntValue) {
        Value = Node->Value;
        return true;
    }
    if (Node->NodeType != ntField || Node->FieldDesc->HasParent()) return false;
    switch (Node->FieldDesc->DataType) {
        case mdtInt8:
        case mdtUInt8:
        case mdtInt16:
        case mdtUInt16:
        case mdtInt32:
        case mdtUInt32:
        case mdtInt64: Value = rtl::Variant(0); return true;
        case mdtFloat:
        case mdtCurrency: Value = rtl::Variant(0.0); return true;
        case mdtBCD: Value = rtl::Variant(rtl::Currency::FromScaled(0)); return true;
        case mdtBoolean: Value = rtl::Variant(false); return true;
        case mdtDate:
        case mdtTime:
        case mdtDateTime: Value = rtl::Variant::FromDate(0.0); return true;
        default: return false;
    }
}

// A constant that can never be compared with its field (PRICE > 'abc') is refused now, with the
// conversion's own message, rather than failing on the first row while the rows are filtered.
// Comparisons run as with partial matching, which converts least: what fails here fails under
// any filter option.
void CheckConversions(TExpressionNode* Node, TEvaluator& Probe) {
    for (; Node; Node = Node->NextAlloc) {
        if (Node->NodeType > ntNoEqual && Node->NodeType != ntLike && Node->NodeType != ntNotLike) continue;
        rtl::Variant lv, rv;
        if (!ProbeValue(Node->LeftOperand, lv) || !ProbeValue(Node->RightOperand, rv)) continue;
        Probe.CompareValues(Node, std::move(lv), std::move(rv), true);
    }
}

}  // namespace

void TData::ParseFilter(const AnsiString& Text) {
    FreeFilterExpression();
    if (rtl::Trim(Text).empty()) return;
    TFilterParser parser(*this, Text);
    TExpressionNode* root = parser.Parse();
    try {
        TEvaluator probe(*this, nullptr);
        CheckConversions(root, probe);
    } catch (...) {
        FreeChain(root);
        throw;
    }
    FFilterExpression = root;
}

bool TData::EvaluateFilterExpression(void* RecBuf) {
    if (!FFilterExpression) return true;
    TEvaluator evaluator(*this, RecBuf);
    return evaluator.Eval(FFilterExpression);
}

}  // namespace store
