// Comparison of values of different types must not depend on which one comes first: sorting,
// locate and key lookups hand values over in either order.
#include <gtest/gtest.h>

#include "framework/rtl/Bcd.h"
#include "framework/rtl/DateUtils.h"
#include "framework/rtl/SqlTimSt.h"
#include "framework/rtl/SysUtils.h"
#include "framework/rtl/Variant.h"

using namespace rtl;

namespace {

TVariantRelationship Mirror(TVariantRelationship r) {
    if (r == vrLessThan) return vrGreaterThan;
    if (r == vrGreaterThan) return vrLessThan;
    return r;
}

}  // namespace

TEST(VariantCompare, MixedTypesGiveMirroredResultsInBothOrders) {
    const TDateTime day = EncodeDate(2024, 3, 15);
    struct {
        const char* Name;
        Variant A, B;
        TVariantRelationship Want;
    } const cases[] = {
        {"smallint/double", Variant(static_cast<short>(2)), Variant(2.5), vrLessThan},
        {"integer/currency", Variant(2), Variant(Currency::FromScaled(15000)), vrGreaterThan},
        {"uint64/int64", Variant(uint64_t(UINT64_MAX)), Variant(int64_t(-1)), vrGreaterThan},
        {"longword/integer", Variant(4000000000u), Variant(-5), vrGreaterThan},
        {"byte/shortint", Variant(uint8_t(200)), Variant(int8_t(-1)), vrGreaterThan},
        {"currency/double", Variant(Currency::FromScaled(1)), Variant(0.0001), vrEqual},
        {"bcd/integer", Variant(StrToBcd("7,5")), Variant(7), vrGreaterThan},
        {"bcd/double", Variant(StrToBcd("0,1")), Variant(0.1), vrEqual},
        {"bcd/currency", Variant(StrToBcd("1,5")), Variant(Currency::FromScaled(15001)), vrLessThan},
        {"date/double", Variant::FromDate(day), Variant(day + 0.5), vrLessThan},
        {"date/integer", Variant::FromDate(day), Variant(static_cast<int>(day)), vrEqual},
        {"string/integer", Variant("10"), Variant(9), vrGreaterThan},
        {"wide string/double", Variant(u"2,5"), Variant(2.25), vrGreaterThan},
        {"string/date", Variant(AnsiString("16.03.2024")), Variant::FromDate(day), vrGreaterThan},
        {"string/wide string", Variant("b"), Variant(u"a"), vrGreaterThan},
        {"boolean/integer", Variant(true), Variant(0), vrLessThan},
        {"empty/integer", Variant(), Variant(1), vrLessThan},
        {"empty/string", Variant(), Variant("a"), vrLessThan},
        {"empty/wide string", Variant(), Variant(u""), vrEqual},
        {"null/integer", Variant::Null(), Variant(0), vrNotEqual},
        {"null/empty", Variant::Null(), Variant(), vrNotEqual},
        {"bytes/integer", Variant::FromBytes({1}), Variant(1), vrNotEqual},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(VarCompareValue(c.A, c.B), c.Want) << c.Name;
        EXPECT_EQ(VarCompareValue(c.B, c.A), Mirror(c.Want)) << c.Name << " (reversed)";
    }
}

TEST(VariantCompare, TextThatIsNoNumberFailsInBothOrders) {
    EXPECT_THROW(VarCompareValue(Variant("abc"), Variant(1)), EVariantTypeCastError);
    EXPECT_THROW(VarCompareValue(Variant(1), Variant("abc")), EVariantTypeCastError);
    EXPECT_FALSE(Variant("abc") == Variant(1));
    EXPECT_FALSE(Variant(1) == Variant("abc"));
}
