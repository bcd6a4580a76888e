// The filter language of the record store: its lexer (also used for IndexFieldNames), the nodes of
// a parsed expression and the wildcard matcher that equality with a text value uses.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "data/store/CRParser.h"
#include "data/store/MemData.h"
#include "framework/rtl/Variant.h"

namespace store {

// Lexeme codes of the filter lexer.
inline constexpr int bxEqual = 1;
inline constexpr int bxGreater = 2;
inline constexpr int bxLess = 3;
inline constexpr int bxGreaterEqual = 4;
inline constexpr int bxLessEqual = 5;
inline constexpr int bxNotEqual = 6;
inline constexpr int bxLeftParen = 7;
inline constexpr int bxRightParen = 8;
inline constexpr int bxMinus = 9;
inline constexpr int bxPlus = 10;
inline constexpr int bxLeftBracket = 11;
inline constexpr int bxRightBracket = 12;
inline constexpr int bxAND = 13;
inline constexpr int bxFALSE = 14;
inline constexpr int bxIS = 15;
inline constexpr int bxLIKE = 16;
inline constexpr int bxNOT = 17;
inline constexpr int bxNULL = 18;
inline constexpr int bxOR = 19;
inline constexpr int bxTRUE = 20;

class TBoolParser : public TParser {
    RTL_CLASS(TBoolParser, TParser)
public:
    using TParser::TParser;

    void InitParser() override;
    // A doubled single quote inside a literal does not end it.
    void SkipToQuote(char quote) override;

    static const TLexemList& BoolSymbols();
    static const TLexemList& BoolKeywords();
    static const TCharSet& BoolSymbolChars();
};

// Node types of a parsed filter expression.
inline constexpr uint8_t ntEqual = 0;  // also IS NULL
inline constexpr uint8_t ntMore = 1;
inline constexpr uint8_t ntLess = 2;
inline constexpr uint8_t ntMoreEqual = 3;
inline constexpr uint8_t ntLessEqual = 4;
inline constexpr uint8_t ntNoEqual = 5;  // also IS NOT NULL
inline constexpr uint8_t ntAnd = 6;
inline constexpr uint8_t ntOr = 7;
inline constexpr uint8_t ntNot = 8;
inline constexpr uint8_t ntField = 9;
inline constexpr uint8_t ntValue = 10;
inline constexpr uint8_t ntTrue = 11;
inline constexpr uint8_t ntFalse = 12;
inline constexpr uint8_t ntLike = 13;
inline constexpr uint8_t ntNotLike = 14;

struct TExpressionNode {
    uint8_t NodeType = ntTrue;
    TExpressionNode* LeftOperand = nullptr;
    TExpressionNode* RightOperand = nullptr;
    TExpressionNode* NextOperand = nullptr;  // never set
    TFieldDesc* FieldDesc = nullptr;
    // A constant's value; the name as written for a field node.
    rtl::Variant Value;
    // The node allocated before this one. Parents are allocated after their operands, so the root
    // heads a chain that reaches every node of its tree.
    TExpressionNode* NextAlloc = nullptr;

    // A text constant prepared for matching: upper-cased or not, decided at first use.
    std::string MatchText;
    int8_t MatchTextCase = -1;  // -1 not prepared, 0 as written, 1 upper-cased
};

// Whether Text matches Pattern as a whole: "*" and "%" stand for any run of characters, "_" for
// exactly one; case-sensitive. Runs in time proportional to the product of the lengths at worst.
bool MatchPattern(std::string_view Text, std::string_view Pattern) noexcept;
bool MatchPattern(std::u16string_view Text, std::u16string_view Pattern) noexcept;

}  // namespace store
