// The filter expressions a user types into a grid column's filter cell: parsing them into one or
// two conditions, converting the operands to the column's value type, and rendering them back.
#pragma once

#include <cstdint>

#include "framework/db/DB.h"
#include "framework/rtl/Variant.h"

namespace grid {

using rtl::AnsiString;
using rtl::Variant;

// Operator codes; stfoValue only marks a token that was a value.
enum TSTFilterOperatorEh : uint8_t {
    stfoNone, stfoEqual, stfoNotEqual, stfoGreater, stfoLess, stfoGreaterOrEqual, stfoLessOrEqual,
    stfoLike, stfoNotLike, stfoIn, stfoNotIn, stfoNull, stfoNotNull, stfoAnd, stfoOr, stfoValue
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

namespace msg {
inline constexpr const char* SQuoteIsAbsent = "Quote is absent: ";
inline constexpr const char* SLeftBracketExpected = "'(' expected: ";
inline constexpr const char* SRightBracketExpected = "')' expected: ";
inline constexpr const char* SErrorInExpression = "Error in expression: ";
inline constexpr const char* SUnexpectedExpressionBeforeNull = "Unexpected expression before Null: ";
inline constexpr const char* SUnexpectedExpressionAfterOperator = "Unexpected expression after operator: ";
inline constexpr const char* SIncorrectExpression = "Incorrect expression: ";
inline constexpr const char* SUnexpectedANDorOR = "Unexpected AND or OR: ";
}  // namespace msg

}  // namespace grid
