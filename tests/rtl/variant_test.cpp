#include <gtest/gtest.h>

#include <functional>

#include "framework/rtl/Bcd.h"
#include "framework/rtl/DateUtils.h"
#include "framework/rtl/SysUtils.h"
#include "framework/rtl/Variant.h"

using namespace rtl;

static_assert(sizeof(Variant) <= 32);
static_assert(std::is_nothrow_move_constructible_v<Variant>);
static_assert(std::is_nothrow_move_assignable_v<Variant>);

TEST(Variant, ConstructorsKeepTheTypeCodes) {
    struct Case {
        Variant v;
        TVarType type;
    } cases[] = {
        {Variant(), 0},
        {Variant::Null(), 1},
        {Variant(int16_t(1)), 2},
        {Variant(1), 3},
        {Variant(1.0f), 4},
        {Variant(1.0), 5},
        {Variant(Currency::FromScaled(1)), 6},
        {Variant::FromDate(1), 7},
        {Variant(u"w"), 8},
        {Variant(true), 11},
        {Variant(int8_t(1)), 16},
        {Variant(uint8_t(1)), 17},
        {Variant(uint16_t(1)), 18},
        {Variant(uint32_t(1)), 19},
        {Variant(int64_t(1)), 20},
        {Variant("a"), 0x100},
        {Variant(AnsiString("a")), 0x100},
        {Variant::FromBytes(TBytes{1, 2}), 0x2011},
        {Variant::VarArray({1, "a"}), 0x200C},
        {Variant::FromPointer(nullptr), 0x4000},
    };
    for (const auto& c : cases) EXPECT_EQ(c.v.VType(), c.type) << VarTypeAsText(c.type);
    EXPECT_EQ(VarTypeAsText(varArray | varByte), "Array Byte");
    EXPECT_EQ(VarTypeAsText(varOleStr), "OleStr");
}

TEST(Variant, EmptyAndNullAreDistinct) {
    const Variant e, n = Variant::Null();
    EXPECT_TRUE(e.IsEmpty());
    EXPECT_FALSE(e.IsNull());
    EXPECT_TRUE(n.IsNull());
    EXPECT_TRUE(VarIsClear(e));
    EXPECT_FALSE(VarIsClear(n));
    EXPECT_EQ(VarToStr(n), "");
    EXPECT_EQ(VarToStr(e), "");
    EXPECT_EQ(e.AsInteger(), 0);
    EXPECT_THROW(n.AsInteger(), EVariantTypeCastError);
    EXPECT_EQ(VarCompareValue(e, n), vrNotEqual);
    EXPECT_FALSE(VarSameValue(e, n));
    EXPECT_TRUE(VarSameValue(n, n));
}

TEST(Variant, TextUsesTheLocale) {
    struct Case {
        Variant v;
        std::string want;
    } cases[] = {
        {Variant(1.5), "1,5"},
        {Variant(1.1f), "1,1"},
        {Variant(Currency::FromScaled(-12345)), "-1,2345"},
        {Variant(true), "True"},
        {Variant(false), "False"},
        {Variant(int64_t(-9000000000)), "-9000000000"},
        {Variant(uint32_t(4294967295u)), "4294967295"},
        {Variant::FromDate(EncodeDateTime(2024, 3, 5, 7, 8, 9, 0)), "05.03.2024 7:08:09"},
        {Variant::FromDate(EncodeDate(2024, 3, 5)), "05.03.2024"},
        {Variant(u"wide"), "wide"},
        {Variant(StrToBcd("-12345678901234567890,5")), "-12345678901234567890,5"},
    };
    for (const auto& c : cases) EXPECT_EQ(c.v.AsAnsiString(), c.want);
    EXPECT_EQ(Variant("abc").AsWideString(), u"abc");
}

TEST(Variant, NumericConversions) {
    EXPECT_EQ(Variant(2.5).AsInteger(), 2);  // half to even
    EXPECT_EQ(Variant(3.5).AsInteger(), 4);
    EXPECT_EQ(Variant(true).AsInteger(), -1);
    EXPECT_EQ(Variant(" 42 ").AsInteger(), 42);
    EXPECT_EQ(Variant("2,5").AsDouble(), 2.5);
    EXPECT_EQ(Variant(Currency::FromScaled(25000)).AsInt64(), 2);
    EXPECT_EQ(Variant(Currency::FromScaled(35000)).AsInt64(), 4);
    EXPECT_EQ(Variant(1.23456).AsCurrency().Value, 12346);
    EXPECT_EQ(Variant("1,00005").AsCurrency().Value, 10000);
    EXPECT_EQ(Variant(7).AsCurrency().Value, 70000);
    EXPECT_TRUE(Variant("true").AsBoolean());
    EXPECT_FALSE(Variant(0.0).AsBoolean());
    EXPECT_DOUBLE_EQ(Variant("05.03.2024").AsDateTime(), EncodeDate(2024, 3, 5));
    EXPECT_EQ(BcdToStr(Variant(Currency::FromScaled(15000)).AsBcd()), "1,5");
    const Variant asInt = VarAsType("42", varInteger);
    EXPECT_EQ(asInt.VType(), varInteger);
    EXPECT_EQ(asInt.AsInteger(), 42);
    EXPECT_EQ(VarAsType(1.5, varString).AsAnsiString(), "1,5");
    EXPECT_EQ(VarAsType(true, varByte).AsInteger(), 255);
}

TEST(Variant, FailedConversionsRaiseWithThePlatformText) {
    struct Case {
        std::function<void()> f;
        std::string msg;
    } cast[] = {
        {[] { Variant("abc").AsInteger(); }, "Could not convert variant of type (String) into type (Integer)"},
        {[] { Variant::Null().AsDouble(); }, "Could not convert variant of type (Null) into type (Double)"},
        {[] { Variant::FromBytes({1}).AsAnsiString(); },
         "Could not convert variant of type (Array Byte) into type (String)"},
        {[] { Variant(u"x").AsDateTime(); }, "Could not convert variant of type (OleStr) into type (Date)"},
        {[] { Variant(1).AsBytes(); }, "Could not convert variant of type (Integer) into type (Array Byte)"},
    };
    for (const auto& c : cast) {
        try {
            c.f();
            ADD_FAILURE() << c.msg;
        } catch (const EVariantTypeCastError& e) {
            EXPECT_EQ(e.Message(), c.msg);
        }
    }
    // Values that do not fit raise a conversion error instead of wrapping.
    struct Over {
        std::function<void()> f;
        std::string msg;
    } over[] = {
        {[] { Variant(3e9).AsInteger(); }, "Overflow while converting variant of type (Double) into type (Integer)"},
        {[] { Variant(int64_t(1) << 40).AsInteger(); },
         "Overflow while converting variant of type (Int64) into type (Integer)"},
        {[] { Variant(1e19).AsInt64(); }, "Overflow while converting variant of type (Double) into type (Int64)"},
        {[] { Variant(1e300).AsCurrency(); },
         "Overflow while converting variant of type (Double) into type (Currency)"},
        {[] { VarAsType(300, varByte); }, "Overflow while converting variant of type (Integer) into type (Byte)"},
        {[] { VarAsType(-1, varWord); }, "Overflow while converting variant of type (Integer) into type (Word)"},
        {[] { Variant(uint32_t(4294967295u)).AsInteger(); },
         "Overflow while converting variant of type (LongWord) into type (Integer)"},
        {[] { Variant(INT64_MAX).AsCurrency(); },
         "Overflow while converting variant of type (Int64) into type (Currency)"},
    };
    for (const auto& c : over) {
        try {
            c.f();
            ADD_FAILURE() << c.msg;
        } catch (const EConvertError& e) {
            EXPECT_EQ(e.Message(), c.msg);
        }
    }
}

TEST(Variant, CompareAcrossTypeCodes) {
    struct Case {
        Variant a, b;
        TVariantRelationship want;
    } cases[] = {
        {1, 1.0, vrEqual},
        {1, 1.5, vrLessThan},
        {Currency::FromScaled(15000), 1.5, vrEqual},
        {Currency::FromScaled(15000), 2, vrLessThan},
        {int64_t(9007199254740993), int64_t(9007199254740992), vrGreaterThan},  // exact beyond doubles
        {uint64_t(UINT64_MAX), int64_t(-1), vrGreaterThan},
        {uint8_t(200), int8_t(-1), vrGreaterThan},
        {Variant::FromDate(2.5), 2.5, vrEqual},
        {"b", "a", vrGreaterThan},
        {"a", u"a", vrEqual},
        {"10", 9, vrGreaterThan},
        {false, true, vrLessThan},
        {Variant(), 0, vrEqual},
        {Variant(), "", vrEqual},
        {Variant(), Variant(), vrEqual},
        {Variant::Null(), 1, vrNotEqual},
        {1, Variant::Null(), vrNotEqual},
        {Variant::Null(), Variant::Null(), vrEqual},
        {StrToBcd("0,1"), 0.1, vrEqual},
        {StrToBcd("12345678901234567890,01"), StrToBcd("12345678901234567890"), vrGreaterThan},
        {Variant::FromBytes({1, 2}), Variant::FromBytes({1, 3}), vrLessThan},
        {Variant::FromBytes({1, 2}), Variant::FromBytes({1, 2}), vrEqual},
        {Variant::VarArray({1, "a"}), Variant::VarArray({1, "b"}), vrLessThan},
        {Variant::FromBytes({1}), 1, vrNotEqual},
    };
    for (size_t i = 0; i < std::size(cases); ++i) {
        EXPECT_EQ(VarCompareValue(cases[i].a, cases[i].b), cases[i].want) << "case " << i;
    }
    EXPECT_THROW(VarCompareValue("abc", 1), EVariantTypeCastError);
}

TEST(Variant, LooseEqualityForNulls) {
    EXPECT_TRUE(Variant::Null() == Variant::Null());
    EXPECT_FALSE(Variant::Null() == Variant());
    EXPECT_FALSE(Variant::Null() == Variant(0));
    EXPECT_FALSE(Variant("") == Variant::Null());
    EXPECT_TRUE(Variant(2) == Variant(2.0));
    EXPECT_FALSE(Variant("abc") == Variant(1));  // incompatible values are unequal, not an error
    EXPECT_TRUE(Variant(u"x") != Variant("y"));
}

TEST(Variant, ArraysAreSharedUntilWritten) {
    Variant a = Variant::FromBytes({10, 20, 30});
    EXPECT_TRUE(a.IsArray());
    EXPECT_EQ(a.ArrayLowBound(), 0);
    EXPECT_EQ(a.ArrayHighBound(), 2);
    EXPECT_EQ(a.GetElement(1).AsInteger(), 20);
    Variant b = a;
    b.SetElement(1, 99);
    EXPECT_EQ(a.GetElement(1).AsInteger(), 20);
    EXPECT_EQ(b.AsBytes(), (TBytes{10, 99, 30}));
    EXPECT_THROW(b.SetElement(0, 256), EConvertError);
    EXPECT_EQ(b.GetElement(0).AsInteger(), 10);
    EXPECT_THROW(b.GetElement(3), EVariantBadIndexError);
    EXPECT_THROW(Variant(1).ArrayCount(), EVariantInvalidOpError);

    Variant keys = VarArrayCreate(1, 2, varVariant);
    EXPECT_EQ(keys.ArrayLowBound(), 1);
    keys.SetElement(1, "name");
    keys.SetElement(2, Variant::Null());
    EXPECT_EQ(keys.GetElement(1).AsAnsiString(), "name");
    EXPECT_TRUE(keys.GetElement(2).IsNull());
    keys.SetElement(1, keys);  // an array may hold a copy of itself
    EXPECT_TRUE(keys.GetElement(1).IsArray());
    EXPECT_EQ(Variant::FromBytes(TBytes{}).ArrayHighBound(), -1);
}

TEST(Variant, PointerSlotAndCopies) {
    int object = 5;
    const Variant p = Variant::FromPointer(&object);
    EXPECT_EQ(p.VType(), 0x4000);
    EXPECT_EQ(p.AsPointer(), &object);
    EXPECT_FALSE(VarIsClear(p));
    EXPECT_TRUE(VarIsClear(Variant::FromPointer(nullptr)));
    EXPECT_THROW(p.AsInteger(), EVariantTypeCastError);

    Variant s = AnsiString(1000, 'x');
    Variant t = std::move(s);
    EXPECT_TRUE(s.IsEmpty());
    EXPECT_EQ(t.AsAnsiString().size(), 1000u);
    Variant u = t;
    EXPECT_EQ(u.StrRef().data(), t.StrRef().data());  // copies share the text
}
