// The filter expressions a user types into a grid column's filter cell: parsing them into one or
// two conditions, converting the operands to the column's value type, and rendering them back.
#pragma once

#include <cstdint>
#include <vector>

#include "framework/db/DB.h"
#include "framework/rtl/Variant.h"

namespace grid {

using rtl::AnsiString;
using rtl::Variant;
using rtl::WideString;

// Operator codes; stfoValue only marks a token that was a value.
enum TSTFilterOperatorEh : uint8_t {
    stfoNone,
    stfoEqual,
    stfoNotEqual,
    stfoGreater,
    stfoLess,
    stfoGreaterOrEqual,
    stfoLessOrEqual,
    stfoLike,
    stfoNotLike,
    stfoIn,
    stfoNotIn,
    stfoNull,
    stfoNotNull,
    stfoAnd,
    stfoOr,
    stfoValue
};

// What the operands are converted to; set by the owner before parsing.
enum TSTFilterValueTypeEh : uint8_t { stvtNone, stvtText, stvtNumber, stvtDateTime, stvtBoolean };

struct TSTFilterExpressionEh {
    uint8_t ValueType = stvtNone;
    TSTFilterOperatorEh FirstOperator = stfoNone;
    Variant FirstOperand = Variant::Null();
    TSTFilterOperatorEh Conjunction = stfoNone;
    TSTFilterOperatorEh SecondOperator = stfoNone;
    Variant SecondOperand = Variant::Null();
};

// Operators that take an operand (codes 1 to 10) and those that take a list.
inline bool STFilterOperatorHasOperand(TSTFilterOperatorEh Op) noexcept { return Op >= stfoEqual && Op <= stfoNotIn; }
inline bool STFilterOperatorIsList(TSTFilterOperatorEh Op) noexcept { return Op == stfoIn || Op == stfoNotIn; }

// "=", "<>", ... "In", "Null", "AND"; empty for stfoNone and stfoValue.
const char* STFilterOperatorText(TSTFilterOperatorEh Op) noexcept;

// The value type of a field's data type.
TSTFilterValueTypeEh STFilterValueTypeOf(db::TFieldType DataType) noexcept;

// Clears both conditions and the conjunction; ValueType stays.
void ClearSTFilterExpression(TSTFilterExpressionEh& Expression);
// Fills Expression from Text under its ValueType; true when a second condition was read.
// Errors raise rtl::Exception with their text followed by the trimmed expression.
bool ParseSTFilterExpression(const AnsiString& Text, TSTFilterExpressionEh& Expression);

AnsiString ValueText(const Variant& Value);
AnsiString ValueListText(const Variant& Value);
AnsiString ConditionText(TSTFilterOperatorEh Operator, const Variant& Operand);

// ---------------------------------------------------------------------------------------------
// Text search over a grid's records and the registry of dataset features.

class TCustomDBGridEh;

enum TLocateTextMatchTypeEh : uint8_t { lmtAnyPartEh, lmtWholeEh, lmtFromBeginEh };
enum TLocateTextDirectionEh : uint8_t { ltdUpEh, ltdDownEh, ltdAllEh };
enum TLocateTextTreeFindRangeEh : uint8_t {
    lttInAllNodesEh,
    lttInExpandedNodesEh,
    lttInCurrentLevelEh,
    lttInCurrentNodeEh
};
using TLocateTextOptionsEh = unsigned;
inline constexpr TLocateTextOptionsEh ltoCaseInsensitiveEh = 1;
inline constexpr TLocateTextOptionsEh ltoAllFieldsEh = 2;
inline constexpr TLocateTextOptionsEh ltoMatchFormatEh = 4;
inline constexpr TLocateTextOptionsEh ltoStopOnEscape = 16;

// Walks the grid's records (and with ltoAllFieldsEh every visible column) from the current cell
// until a cell text matches; the match becomes current, otherwise the position is restored.
bool DefaultGridLocateText(TCustomDBGridEh* Grid, const WideString& FieldName, const AnsiString& Text,
                           TLocateTextTreeFindRangeEh TreeFindRange, TLocateTextMatchTypeEh MatchType,
                           TLocateTextDirectionEh Direction, TLocateTextOptionsEh Options);

// What a dataset class offers the grid instead of the generic search, moving, sorting and filtering.
class TDatasetFeaturesEh : public rtl::TObject {
    RTL_CLASS(TDatasetFeaturesEh, rtl::TObject)
public:
    virtual void Reserved() {}
    virtual bool LocateText(TCustomDBGridEh* Grid, const WideString& FieldName,
                            TLocateTextTreeFindRangeEh TreeFindRange, TLocateTextMatchTypeEh MatchType,
                            TLocateTextDirectionEh Direction, TLocateTextOptionsEh Options, const AnsiString& Text);
    virtual bool MoveRecords(TCustomDBGridEh* Grid, const std::vector<db::TBookmark>& Bookmarks, int TargetRecord,
                             bool CheckOnly);
    virtual void ApplySorting(TCustomDBGridEh* Grid, db::TDataSet* DataSet, bool IsReopen);
    virtual void ApplyFilter(TCustomDBGridEh* Grid, db::TDataSet* DataSet, bool IsReopen);
    virtual void ExecuteFindDialog(TCustomDBGridEh* Grid, const AnsiString& Text, bool Modal,
                                   const WideString& FieldName);
};

// Registers Features (the registry owns it) for the dataset class named ClassName; a name
// registered twice raises the string list's duplicate error.
void RegisterDatasetFeaturesEh(const AnsiString& ClassName, TDatasetFeaturesEh* Features);
void UnregisterDatasetFeaturesEh(const AnsiString& ClassName);
TDatasetFeaturesEh* FeaturesForClass(const rtl::ClassRef* Class);
TDatasetFeaturesEh* FeaturesForDataSet(db::TDataSet* DataSet);

namespace msg {
inline constexpr const char* SQuoteIsAbsent = "Quote is absent: ";
inline constexpr const char* SLeftBracketExpected = "'(' expected: ";
inline constexpr const char* SRightBracketExpected = "')' expected: ";
inline constexpr const char* SErrorInExpression = "Error in expression: ";
inline constexpr const char* SUnexpectedExpressionBeforeNull = "Unexpected expression before Null: ";
inline constexpr const char* SUnexpectedExpressionAfterOperator = "Unexpected expression after operator: ";
inline constexpr const char* SIncorrectExpression = "Incorrect expression: ";
inline constexpr const char* SUnexpectedANDorOR = "Unexpected AND or OR: ";
inline constexpr const char* SFieldNameNotFound = "Field name '%s' not found";
}  // namespace msg

}  // namespace grid
