#include "controls/grid/DbUtilsEh.h"

#include <algorithm>
#include <string_view>
#include <vector>

#include "controls/grid/DBGridEh.h"
#include "framework/rtl/Ownership.h"
#include "framework/rtl/SysUtils.h"
#include "framework/rtl/Text.h"

namespace grid {

namespace {

constexpr const char* OperatorTexts[] = {"",   "=",  "<>",  ">",    "<",    ">=",  "<=", "~",
                                         "!~", "In", "!In", "Null", "Null", "AND", "OR", ""};

// Keywords with the resource text a translated build may give them (compared upper-cased too).
enum class TKeyword { None, Not, And, Or, Like, In, Null };
struct TKeywordText {
    const char* English;
    const char* Resource;
    TKeyword Keyword;
};
constexpr TKeywordText Keywords[] = {{"NOT", "Not", TKeyword::Not}, {"AND", "AND", TKeyword::And},
                                     {"OR", "OR", TKeyword::Or},    {"LIKE", "", TKeyword::Like},
                                     {"IN", "In", TKeyword::In},    {"NULL", "Null", TKeyword::Null}};

bool IsWordDelimiter(unsigned char c) {
    if (c < 32 || c == ' ') return true;
    return std::string_view("!\"&'()+,-.<=>|~").find(static_cast<char>(c)) != std::string_view::npos;
}

TKeyword KeywordOf(std::string_view Word) {
    if (Word.empty()) return TKeyword::None;
    const AnsiString upper = rtl::AnsiUpperCase(Word);
    for (const TKeywordText& k : Keywords) {
        if (upper == k.English) return k.Keyword;
        if (*k.Resource && upper == rtl::AnsiUpperCase(k.Resource)) return k.Keyword;
    }
    return TKeyword::None;
}

// Reads the tokens of one expression text. A peeking read only tells what kind of token stands at
// the position: it reads no values and raises nothing.
class TSTFilterLexer {
public:
    explicit TSTFilterLexer(const AnsiString& Text) : S(Text) {}

    const AnsiString& S;
    size_t P = 0;

    bool AtEnd() const { return P >= S.size(); }
    void SkipSpaces() {
        while (P < S.size() && S[P] == ' ') ++P;
    }
    [[noreturn]] void Error(const char* Message) const { throw rtl::Exception(AnsiString(Message) + S); }

    // The token at P; a value is left in Value (Null when none was read). stfoNone: no token.
    TSTFilterOperatorEh Read(bool ListMode, Variant* Value, bool Peek = false) {
        if (Value) *Value = Variant::Null();
        if (AtEnd()) return stfoNone;
        TSTFilterOperatorEh op = stfoNone;
        const char c = S[P];
        const char next = P + 1 < S.size() ? S[P + 1] : '\0';
        TKeyword keyword = TKeyword::None;
        switch (c) {
            case '!':
                if (next == '=') {
                    op = stfoNotEqual;
                    P += 2;
                } else {
                    keyword = TKeyword::Not;
                    P += 1;
                }
                break;
            case '&': keyword = TKeyword::And, P += 1; break;
            case '|': keyword = TKeyword::Or, P += 1; break;
            case '~': op = stfoLike, P += 1; break;
            case '=': op = stfoEqual, P += 1; break;
            case '<':
                if (next == '=')
                    op = stfoLessOrEqual, P += 2;
                else if (next == '>')
                    op = stfoNotEqual, P += 2;
                else
                    op = stfoLess, P += 1;
                break;
            case '>':
                if (next == '=')
                    op = stfoGreaterOrEqual, P += 2;
                else
                    op = stfoGreater, P += 1;
                break;
            case '(':
                P += 1;
                SkipSpaces();
                return stfoNone;
            case '\'': return ReadValues(ListMode, Value, Peek);
            default: {
                size_t end = P;
                while (end < S.size() && !IsWordDelimiter(static_cast<unsigned char>(S[end]))) ++end;
                keyword = KeywordOf(std::string_view(S).substr(P, end - P));
                if (keyword == TKeyword::None) return ReadValues(ListMode, Value, Peek);
                P = end;
            }
        }
        SkipSpaces();
        switch (keyword) {
            case TKeyword::None: return op;
            case TKeyword::Not:
                switch (Read(ListMode, nullptr, Peek)) {
                    case stfoLike: return stfoNotLike;
                    case stfoIn: return stfoNotIn;
                    case stfoNull: return stfoNotNull;
                    default: return stfoNone;
                }
            case TKeyword::In:
                if (AtEnd() || S[P] != '(') {
                    if (Peek) return stfoNone;
                    Error(msg::SLeftBracketExpected);
                }
                ++P;
                return stfoIn;
            case TKeyword::And: return stfoAnd;
            case TKeyword::Or: return stfoOr;
            case TKeyword::Like: return stfoLike;
            case TKeyword::Null: return stfoNull;
        }
        return stfoNone;
    }

private:
    TSTFilterOperatorEh ReadValues(bool ListMode, Variant* Value, bool Peek) {
        if (Peek) return stfoValue;
        std::vector<Variant> items;
        Variant v = ReadOneValue(ListMode);
        while (!v.IsNull()) {
            items.push_back(std::move(v));
            if (!ListMode) break;
            SkipSpaces();
            if (AtEnd() || S[P] != ',') break;
            ++P;
            v = ReadOneValue(ListMode);
        }
        if (items.empty()) return stfoNone;
        *Value = items.size() == 1 ? std::move(items.front()) : Variant::VarArray(std::move(items));
        return stfoValue;
    }

    Variant ReadOneValue(bool ListMode) {
        SkipSpaces();
        if (AtEnd()) return Variant::Null();
        if (S[P] == '\'') {
            const size_t close = S.find('\'', P + 1);
            if (close == AnsiString::npos) Error(msg::SQuoteIsAbsent);
            Variant v(S.substr(P + 1, close - P - 1));
            P = close + 1;
            return v;
        }
        size_t end = P;
        for (; end < S.size(); ++end) {
            const char c = S[end];
            if (c == '(' || c == ')' || (ListMode && c == ',')) break;
            if (c == ' ' && StopsValue(end)) break;
        }
        size_t last = end;
        while (last > P && S[last - 1] == ' ') --last;
        if (last == P) {
            P = end;
            return Variant::Null();
        }
        Variant v(S.substr(P, last - P));
        P = end;
        return v;
    }

    // A space ends an unquoted value when an operator or keyword follows it.
    bool StopsValue(size_t Space) {
        const size_t saved = P;
        P = Space;
        SkipSpaces();
        const TSTFilterOperatorEh op = Read(false, nullptr, true);
        P = saved;
        return op >= stfoEqual && op <= stfoOr;
    }
};

void ConvertOperand(uint8_t ValueType, TSTFilterOperatorEh Operator, Variant& Operand) {
    if (!STFilterOperatorHasOperand(Operator)) {
        Operand = Variant::Null();
        return;
    }
    auto convert = [ValueType](const Variant& v) -> Variant {
        if (v.IsNull()) return v;
        const AnsiString text = v.AsAnsiString();
        if (ValueType == stvtNumber) return Variant(rtl::StrToFloat(text));
        if (ValueType == stvtDateTime) {
            if (rtl::AnsiUpperCase(text) == "NOW") return v;
            return Variant::FromDate(rtl::StrToDateTime(text));
        }
        return v;
    };
    if (ValueType != stvtNumber && ValueType != stvtDateTime) return;
    if (Operand.IsArray()) {
        for (int i = Operand.ArrayLowBound(); i <= Operand.ArrayHighBound(); ++i)
            Operand.SetElement(i, convert(Operand.GetElement(i)));
    } else {
        Operand = convert(Operand);
    }
}

// One condition from the position: a value alone, or an operator with its operand. False when
// the position holds no token at all.
bool ReadCondition(TSTFilterLexer& L, uint8_t ValueType, bool ListMode, TSTFilterOperatorEh& Operator,
                   Variant& Operand) {
    Variant value;
    const TSTFilterOperatorEh token = L.Read(ListMode, &value);
    if (token == stfoNone) return false;
    if (token == stfoValue) {
        Operator = value.IsArray() ? stfoIn : ValueType == stvtText ? stfoLike : stfoEqual;
        Operand = std::move(value);
        return true;
    }
    const bool list = STFilterOperatorIsList(token);
    L.SkipSpaces();
    Operator = token;
    const TSTFilterOperatorEh next = L.Read(list || ListMode, &value);
    if (next == stfoNull) {
        if (token == stfoEqual)
            Operator = stfoNull;
        else if (token == stfoNotEqual)
            Operator = stfoNotNull;
        else
            L.Error(msg::SUnexpectedExpressionBeforeNull);
        Operand = Variant::Null();
        return true;
    }
    if (next != stfoValue) L.Error(msg::SUnexpectedExpressionAfterOperator);
    Operand = std::move(value);
    if (list) {
        L.SkipSpaces();
        if (L.AtEnd() || L.S[L.P] != ')') L.Error(msg::SRightBracketExpected);
        ++L.P;
    }
    return true;
}

}  // namespace

const char* STFilterOperatorText(TSTFilterOperatorEh Op) noexcept { return Op <= stfoValue ? OperatorTexts[Op] : ""; }

TSTFilterValueTypeEh STFilterValueTypeOf(db::TFieldType DataType) noexcept {
    using namespace db;
    switch (DataType) {
        case ftString:
        case ftMemo:
        case ftFmtMemo:
        case ftFixedChar:
        case ftWideString:
        case ftGuid:
        case ftFixedWideChar:
        case ftWideMemo:
        case ftOraInterval: return stvtText;
        case ftSmallint:
        case ftInteger:
        case ftWord:
        case ftFloat:
        case ftCurrency:
        case ftBCD:
        case ftAutoInc:
        case ftLargeint:
        case ftFMTBcd: return stvtNumber;
        case ftDate:
        case ftTime:
        case ftDateTime:
        case ftTimeStamp: return stvtDateTime;
        case ftBoolean: return stvtBoolean;
        default: return stvtNone;
    }
}

void ClearSTFilterExpression(TSTFilterExpressionEh& Expression) {
    Expression.FirstOperator = stfoNone;
    Expression.FirstOperand = Variant::Null();
    Expression.Conjunction = stfoNone;
    Expression.SecondOperator = stfoNone;
    Expression.SecondOperand = Variant::Null();
}

bool ParseSTFilterExpression(const AnsiString& Text, TSTFilterExpressionEh& Expression) {
    // A comma is the decimal separator of a number column's single value, not a list separator.
    const bool listMode = !(Expression.ValueType == stvtNumber && rtl::FormatSettings().DecimalSeparator == ',');
    ClearSTFilterExpression(Expression);
    const AnsiString text = rtl::Trim(Text);
    if (text.empty()) return false;

    TSTFilterLexer L(text);
    L.SkipSpaces();
    if (!ReadCondition(L, Expression.ValueType, listMode, Expression.FirstOperator, Expression.FirstOperand))
        L.Error(msg::SErrorInExpression);

    // The second condition is held to the same rules as the first: its list must be closed and
    // nothing may follow it.
    L.SkipSpaces();
    if (!L.AtEnd()) {
        Variant ignored;
        const TSTFilterOperatorEh conjunction = L.Read(listMode, &ignored);
        if (conjunction == stfoNone) L.Error(msg::SIncorrectExpression);
        if (conjunction != stfoAnd && conjunction != stfoOr) L.Error(msg::SUnexpectedANDorOR);
        Expression.Conjunction = conjunction;
        L.SkipSpaces();
        if (!L.AtEnd()) {
            if (!ReadCondition(L, Expression.ValueType, listMode, Expression.SecondOperator, Expression.SecondOperand))
                L.Error(msg::SErrorInExpression);
            L.SkipSpaces();
            if (!L.AtEnd()) L.Error(msg::SIncorrectExpression);
        }
    }

    ConvertOperand(Expression.ValueType, Expression.FirstOperator, Expression.FirstOperand);
    ConvertOperand(Expression.ValueType, Expression.SecondOperator, Expression.SecondOperand);
    return Expression.SecondOperator != stfoNone;
}

AnsiString ValueText(const Variant& Value) {
    switch (Value.VType()) {
        case rtl::varSingle:
        case rtl::varDouble:
        case rtl::varCurrency: return rtl::FloatToStr(Value.AsDouble());
        case rtl::varDate: return rtl::DateToStr(Value.AsDateTime());
        default: return "'" + Value.AsAnsiString() + "'";
    }
}

AnsiString ValueListText(const Variant& Value) {
    if (!Value.IsArray()) return Value.IsNull() ? AnsiString() : Value.AsAnsiString();
    AnsiString r;
    for (int i = Value.ArrayLowBound(); i <= Value.ArrayHighBound(); ++i) {
        if (i > Value.ArrayLowBound()) r += ",";
        r += "'" + Value.GetElement(i).AsAnsiString() + "'";
    }
    return r;
}

AnsiString ConditionText(TSTFilterOperatorEh Operator, const Variant& Operand) {
    if (Operator == stfoNull) return "=Null";
    if (Operator == stfoNotNull) return "<>Null";
    if (STFilterOperatorIsList(Operator)) {
        AnsiString r = AnsiString(STFilterOperatorText(Operator)) + " (";
        if (Operand.IsArray()) {
            for (int i = Operand.ArrayLowBound(); i <= Operand.ArrayHighBound(); ++i) {
                if (i > Operand.ArrayLowBound()) r += ",";
                r += ValueText(Operand.GetElement(i));
            }
        } else {
            r += ValueText(Operand);
        }
        return r + ")";
    }
    return AnsiString(STFilterOperatorText(Operator)) + " " + ValueText(Operand);
}

}  // namespace grid

// ---------------------------------------------------------------------------------------------
// Text search and dataset features

namespace grid {

namespace {

bool TextMatches(const AnsiString& Cell, const AnsiString& Text, TLocateTextMatchTypeEh MatchType) {
    switch (MatchType) {
        case lmtWholeEh: return Cell == Text;
        case lmtFromBeginEh: return Cell.compare(0, Text.size(), Text) == 0;
        default: return Cell.find(Text) != AnsiString::npos;
    }
}

bool EscapeWaiting(TCustomDBGridEh* Grid) {
    if (!Grid->HandleAllocated()) return false;
    ui::TMsg m;
    return ui::PeekMessage(m, Grid->Handle(), ui::WM_KEYDOWN, ui::WM_KEYDOWN, ui::PM_NOREMOVE) &&
           m.wParam == ui::VK_ESCAPE;
}

}  // namespace

bool DefaultGridLocateText(TCustomDBGridEh* Grid, const WideString& FieldName, const AnsiString& Text,
                           TLocateTextTreeFindRangeEh, TLocateTextMatchTypeEh MatchType,
                           TLocateTextDirectionEh Direction, TLocateTextOptionsEh Options) {
    if (!Grid || !Grid->DataSource()) return false;
    db::TDataSet* ds = Grid->DataSet();
    if (!ds || !ds->Active()) return false;
    TColumnsEhList* cols = Grid->DisplayedColumnList();
    const int n = cols->Count();
    if (n == 0) return false;
    int pos = -1;
    if (!FieldName.empty()) {
        const AnsiString wanted = rtl::WideToAnsi(FieldName);
        for (int i = 0; i < n && pos < 0; ++i)
            if (rtl::AnsiCompareText(rtl::WideToAnsi(cols->Items(i)->FieldName()), wanted) == 0) pos = i;
        if (pos < 0) throw rtl::Exception(rtl::Format(msg::SFieldNameNotFound, {wanted}));
    } else if (!Grid->Options().Contains(dgRowSelect)) {
        pos = std::max(cols->IndexOf(Grid->CurrentColumn()), 0);
    } else {
        pos = 0;
    }
    const bool caseInsensitive = Options & ltoCaseInsensitiveEh;
    const bool allColumns = Options & ltoAllFieldsEh;
    const bool display = Options & ltoMatchFormatEh;
    const AnsiString text = caseInsensitive ? rtl::AnsiUpperCase(Text) : Text;
    const bool up = Direction == ltdUpEh;
    // Every visible column is searched, not only those on screen.
    auto step = [&] {
        if (!allColumns) {
            if (up)
                ds->Prior();
            else
                ds->Next();
        } else if (up) {
            if (--pos < 0) {
                pos = n - 1;
                ds->Prior();
            }
        } else if (++pos >= n) {
            pos = 0;
            ds->Next();
        }
    };
    // Columns whose display text is the field's own are read straight from the field.
    std::vector<db::TField*> plainFields(static_cast<size_t>(n), nullptr);
    for (int i = 0; i < n && display; ++i) {
        TColumnEh* c = cols->Items(i);
        db::TField* f = c->Field();
        const bool memo = f && (f->DataType() == db::ftMemo || f->DataType() == db::ftWideMemo);
        if (f && !c->HasKeyList() && c->DisplayFormat().empty() && !(memo && Grid->DrawMemoText()) &&
            c->CellKind() != cckImage && c->CellKind() != cckLookup)
            plainFields[static_cast<size_t>(i)] = f;
    }
    bool found = false;
    ds->DisableControls();
    rtl::TryFinally(
        [&] {
            const TCustomDBGridEh::TSavedPosition saved = Grid->SavePosition();
            if (Direction == ltdAllEh) {
                ds->First();
                if (allColumns) pos = 0;
            } else {
                step();
            }
            while (!(up ? ds->Bof() : ds->Eof())) {
                TColumnEh* c = cols->Items(pos);
                AnsiString cell;
                if (db::TField* plain = plainFields[static_cast<size_t>(pos)])
                    cell = plain->DisplayText();
                else if (display)
                    cell = c->KeyListDisplayText();
                else if (db::TField* f = c->Field())
                    cell = f->Text();
                if (caseInsensitive) cell = rtl::AnsiUpperCase(cell);
                if (TextMatches(cell, text, MatchType)) {
                    found = true;
                    break;
                }
                if ((Options & ltoStopOnEscape) && EscapeWaiting(Grid)) break;
                step();
            }
            if (!found) Grid->RestorePosition(saved);
        },
        [&] { ds->EnableControls(); });
    if (found) {
        const int dataCol = Grid->Columns()->IndexOf(cols->Items(pos));
        if (dataCol >= 0) Grid->SetCol(Grid->DataToGridCol(dataCol));
    }
    return found;
}

bool TDatasetFeaturesEh::LocateText(TCustomDBGridEh* Grid, const WideString& FieldName,
                                    TLocateTextTreeFindRangeEh TreeFindRange, TLocateTextMatchTypeEh MatchType,
                                    TLocateTextDirectionEh Direction, TLocateTextOptionsEh Options,
                                    const AnsiString& Text) {
    return DefaultGridLocateText(Grid, FieldName, Text, TreeFindRange, MatchType, Direction, Options);
}

bool TDatasetFeaturesEh::MoveRecords(TCustomDBGridEh*, const std::vector<db::TBookmark>&, int, bool) { return false; }
void TDatasetFeaturesEh::ApplySorting(TCustomDBGridEh*, db::TDataSet*, bool) {}
void TDatasetFeaturesEh::ApplyFilter(TCustomDBGridEh*, db::TDataSet*, bool) {}
void TDatasetFeaturesEh::ExecuteFindDialog(TCustomDBGridEh*, const AnsiString&, bool, const WideString&) {}

namespace {

struct TFeaturesEntry {
    AnsiString ClassName;
    rtl::TOwnedPtr<TDatasetFeaturesEh> Features;
};

std::vector<TFeaturesEntry>& Registry() {
    static std::vector<TFeaturesEntry> r;
    return r;
}

}  // namespace

void RegisterDatasetFeaturesEh(const AnsiString& ClassName, TDatasetFeaturesEh* Features) {
    auto owned = rtl::Adopt(Features);
    for (const TFeaturesEntry& e : Registry())
        if (rtl::AnsiCompareText(e.ClassName, ClassName) == 0)
            throw rtl::Exception("String list does not allow duplicates");
    Registry().push_back({ClassName, std::move(owned)});
}

void UnregisterDatasetFeaturesEh(const AnsiString& ClassName) {
    auto& r = Registry();
    r.erase(std::remove_if(r.begin(), r.end(),
                           [&](const TFeaturesEntry& e) { return rtl::AnsiCompareText(e.ClassName, ClassName) == 0; }),
            r.end());
}

TDatasetFeaturesEh* FeaturesForClass(const rtl::ClassRef* Class) {
    TDatasetFeaturesEh* best = nullptr;
    int bestDistance = -1;
    for (const TFeaturesEntry& e : Registry()) {
        int distance = 0;
        for (const rtl::ClassRef* c = Class; c; c = c->ClassParent(), ++distance) {
            if (rtl::AnsiCompareText(c->ClassName(), e.ClassName) == 0) {
                // Equal distances keep the earlier registration.
                if (bestDistance < 0 || distance < bestDistance) {
                    best = e.Features.get();
                    bestDistance = distance;
                }
                break;
            }
        }
    }
    return best;
}

TDatasetFeaturesEh* FeaturesForDataSet(db::TDataSet* DataSet) {
    return DataSet ? FeaturesForClass(DataSet->ClassType()) : nullptr;
}

}  // namespace grid
