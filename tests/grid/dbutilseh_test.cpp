// The filter-cell expression parser and its rendering.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "controls/grid/DbUtilsEh.h"
#include "framework/rtl/DateUtils.h"
#include "framework/rtl/SysUtils.h"
#include "framework/rtl/Text.h"

namespace {

using namespace grid;
using rtl::AnsiString;
using rtl::Variant;

// An operand as text: items joined by '|', numbers by FloatToStr, "null" for Null.
std::string OperandText(const Variant& v) {
    if (v.IsNull()) return "null";
    if (v.IsArray()) {
        std::string r;
        for (int i = v.ArrayLowBound(); i <= v.ArrayHighBound(); ++i) {
            if (i > v.ArrayLowBound()) r += "|";
            r += OperandText(v.GetElement(i));
        }
        return r;
    }
    if (v.VType() == rtl::varDouble) return "#" + rtl::FloatToStr(v.AsDouble());
    if (v.VType() == rtl::varDate) return "@" + rtl::FormatDateTime("yyyy-mm-dd", v.AsDateTime());
    return v.AsAnsiString();
}

class STFilterParseTest : public ::testing::Test {
protected:
    rtl::TScopedFormatSettings Saved{rtl::TFormatSettings::Default()};
};

TEST_F(STFilterParseTest, TextByValueTypeGivesOperatorsOperandsAndConjunction) {
    struct Case {
        const char* Text;
        uint8_t Type;
        TSTFilterOperatorEh First;
        std::string FirstOperand;
        TSTFilterOperatorEh Conj;
        TSTFilterOperatorEh Second;
        std::string SecondOperand;
        bool Result;
    };
    const Case cases[] = {
        {"ab", stvtText, stfoLike, "ab", stfoNone, stfoNone, "null", false},
        {"5", stvtNumber, stfoEqual, "#5", stfoNone, stfoNone, "null", false},
        {"a,b,c", stvtText, stfoIn, "a|b|c", stfoNone, stfoNone, "null", false},
        {"1,5", stvtNumber, stfoEqual, "#1,5", stfoNone, stfoNone, "null", false},
        {"In (1,5)", stvtNumber, stfoIn, "#1|#5", stfoNone, stfoNone, "null", false},
        {"= Null", stvtText, stfoNull, "null", stfoNone, stfoNone, "null", false},
        {"=Null", stvtNumber, stfoNull, "null", stfoNone, stfoNone, "null", false},
        {"<> null", stvtText, stfoNotNull, "null", stfoNone, stfoNone, "null", false},
        {">= 10 AND <= 20", stvtNumber, stfoGreaterOrEqual, "#10", stfoAnd, stfoLessOrEqual, "#20", true},
        {">= NOW", stvtDateTime, stfoGreaterOrEqual, "NOW", stfoNone, stfoNone, "null", false},
        {"> 05.03.2020", stvtDateTime, stfoGreater, "@2020-03-05", stfoNone, stfoNone, "null", false},
        {"rock and roll", stvtText, stfoLike, "rock", stfoAnd, stfoLike, "roll", true},
        {"'a b' | x", stvtText, stfoLike, "a b", stfoOr, stfoLike, "x", true},
        {"!~ x%", stvtText, stfoNotLike, "x%", stfoNone, stfoNone, "null", false},
        {"not in ('a', 'b')", stvtText, stfoNotIn, "a|b", stfoNone, stfoNone, "null", false},
        {"!= 3", stvtNumber, stfoNotEqual, "#3", stfoNone, stfoNone, "null", false},
        {"=1 or In (2,3)", stvtText, stfoEqual, "1", stfoOr, stfoIn, "2|3", true},
        {"ab and", stvtText, stfoLike, "ab", stfoAnd, stfoNone, "null", false},
        {"Иван Петров", stvtText, stfoLike, "Иван Петров", stfoNone, stfoNone, "null", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Text);
        TSTFilterExpressionEh e;
        e.ValueType = c.Type;
        const bool r = ParseSTFilterExpression(rtl::UTF8ToAnsi(std::string_view(c.Text)), e);
        EXPECT_EQ(r, c.Result);
        EXPECT_EQ(e.ValueType, c.Type);
        EXPECT_EQ(e.FirstOperator, c.First);
        EXPECT_EQ(rtl::AnsiToUTF8(OperandText(e.FirstOperand)), c.FirstOperand);
        EXPECT_EQ(e.Conjunction, c.Conj);
        EXPECT_EQ(e.SecondOperator, c.Second);
        EXPECT_EQ(OperandText(e.SecondOperand), c.SecondOperand);
    }
}

TEST_F(STFilterParseTest, ErrorsNameTheWholeTextInBothConditions) {
    struct Case {
        const char* Text;
        const char* Message;
    };
    const Case cases[] = {
        {"> Null", "Unexpected expression before Null: > Null"},
        {"In 1,2)", "'(' expected: In 1,2)"},
        {"In (1,2", "')' expected: In (1,2"},
        {"'abc", "Quote is absent: 'abc"},
        {" >  ", "Unexpected expression after operator: >"},
        {"(", "Error in expression: ("},
        {"ab (", "Incorrect expression: ab ("},
        {"=1 =2", "Unexpected AND or OR: =1 =2"},
        // The second condition under the first's rules.
        {"=1 and > Null", "Unexpected expression before Null: =1 and > Null"},
        {"=1 or In 1,2)", "'(' expected: =1 or In 1,2)"},
        {"=1 or In (1,2", "')' expected: =1 or In (1,2"},
        {"=1 and 'abc", "Quote is absent: =1 and 'abc"},
        {"=1 and In (2) x", "Incorrect expression: =1 and In (2) x"},
        {"=1 and =2 and =3", "Incorrect expression: =1 and =2 and =3"},
        {"=1 and (", "Error in expression: =1 and ("},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Text);
        TSTFilterExpressionEh e;
        e.ValueType = stvtText;
        try {
            ParseSTFilterExpression(c.Text, e);
            ADD_FAILURE() << "no error";
        } catch (const rtl::Exception& ex) {
            EXPECT_STREQ(ex.ClassName(), "Exception");
            EXPECT_EQ(ex.Message(), c.Message);
        }
    }
}

TEST_F(STFilterParseTest, BadNumbersAndDatesRaiseConversionErrors) {
    TSTFilterExpressionEh e;
    e.ValueType = stvtNumber;
    EXPECT_THROW(ParseSTFilterExpression("= abc", e), rtl::EConvertError);
    e.ValueType = stvtDateTime;
    EXPECT_THROW(ParseSTFilterExpression("In (01.02.2020, yesterday)", e), rtl::EConvertError);
}

TEST_F(STFilterParseTest, EmptyTextClearsButKeepsValueType) {
    TSTFilterExpressionEh e;
    e.ValueType = stvtNumber;
    ParseSTFilterExpression("=5 or =6", e);
    EXPECT_FALSE(ParseSTFilterExpression("   ", e));
    EXPECT_EQ(e.ValueType, stvtNumber);
    EXPECT_EQ(e.FirstOperator, stfoNone);
    EXPECT_TRUE(e.FirstOperand.IsNull());
    EXPECT_EQ(e.Conjunction, stfoNone);
    EXPECT_EQ(e.SecondOperator, stfoNone);
}

TEST_F(STFilterParseTest, RendersConditionsValuesAndLists) {
    const Variant list = Variant::VarArray({Variant("A"), Variant("B")});
    EXPECT_EQ(ConditionText(stfoIn, list), "In ('A','B')");
    EXPECT_EQ(ConditionText(stfoEqual, Variant(5.0)), "= 5");
    EXPECT_EQ(ConditionText(stfoNull, Variant::Null()), "=Null");
    EXPECT_EQ(ConditionText(stfoNotNull, Variant::Null()), "<>Null");
    EXPECT_EQ(ConditionText(stfoLike, Variant("ab")), "~ 'ab'");
    EXPECT_EQ(ConditionText(stfoGreater, Variant(1.5)), "> 1,5");
    EXPECT_EQ(ValueText(Variant::FromDate(rtl::EncodeDate(2020, 3, 5))), "05.03.2020");
    EXPECT_EQ(ValueListText(list), "'A','B'");
    EXPECT_EQ(ValueListText(Variant("x")), "x");
    EXPECT_EQ(STFilterValueTypeOf(db::ftWideString), stvtText);
    EXPECT_EQ(STFilterValueTypeOf(db::ftLargeint), stvtNumber);
    EXPECT_EQ(STFilterValueTypeOf(db::ftTimeStamp), stvtDateTime);
    EXPECT_EQ(STFilterValueTypeOf(db::ftBoolean), stvtBoolean);
    EXPECT_EQ(STFilterValueTypeOf(db::ftBlob), stvtNone);
}

}  // namespace
