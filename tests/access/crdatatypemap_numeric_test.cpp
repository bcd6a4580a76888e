#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <string>

#include "data/access/CRDataTypeMap.h"
#include "tests/access/crdatatypemap_fixture.h"
#include "framework/rtl/Bcd.h"
#include "framework/rtl/SysUtils.h"
#include "framework/rtl/Text.h"

using namespace daccess;
using namespace store;
using namespace crdtmtest;

namespace {

using Call = TCall<0>;
using NumericConvertTest = ConvertTest<Call>;

rtl::TBcd Bcd(const char* text) { return rtl::StrToBcd(text); }

int64_t ReadSigned(const Slot& s, TMemDataType t) {
    switch (t) {
        case mdtInt8: return s.As<int8_t>();
        case mdtUInt8: return s.As<uint8_t>();
        case mdtInt16: return s.As<int16_t>();
        case mdtUInt16: return s.As<uint16_t>();
        case mdtInt32: return s.As<int32_t>();
        case mdtUInt32: return s.As<uint32_t>();
        default: return s.As<int64_t>();
    }
}

Slot IntegerSlot(TMemDataType t, int64_t v) {
    Slot s;
    switch (t) {
        case mdtInt8: return Slot(static_cast<int8_t>(v));
        case mdtUInt8: return Slot(static_cast<uint8_t>(v));
        case mdtInt16: return Slot(static_cast<int16_t>(v));
        case mdtUInt16: return Slot(static_cast<uint16_t>(v));
        case mdtInt32: return Slot(static_cast<int32_t>(v));
        case mdtUInt32: return Slot(static_cast<uint32_t>(v));
        default: return Slot(v);
    }
}

TEST_F(NumericConvertTest, IntegersKeepTheirRangeOrRefuse) {
    struct Case {
        TMemDataType Source;
        int64_t Value;
        TMemDataType Dest;
        const char* Error;  // without IgnoreErrors; nullptr when the value fits
        int64_t Clamped;    // with IgnoreErrors (the value itself when it fits)
    };
    const Case cases[] = {
        {mdtInt16, 300, mdtInt8, "Value is out of range: 300", 127},
        {mdtInt16, -300, mdtInt8, "Value is out of range: -300", -128},
        {mdtInt16, 127, mdtInt8, nullptr, 127},
        {mdtInt8, -1, mdtUInt8, "Value is out of range: -1", 0},
        {mdtInt32, 65536, mdtUInt16, "Value is out of range: 65536", 65535},
        {mdtUInt32, 4294967295LL, mdtInt32, "Value is out of range: 4294967295", 2147483647},
        {mdtInt64, 5000000000LL, mdtUInt32, "Value is out of range: 5000000000", 4294967295LL},
        {mdtInt64, INT64_MIN, mdtInt32, "Value is out of range: -9223372036854775808", INT32_MIN},
        {mdtInt8, -5, mdtInt64, nullptr, -5},
        {mdtUInt8, 200, mdtInt16, nullptr, 200},
        {mdtUInt32, 4294967295LL, mdtInt64, nullptr, 4294967295LL},
        {mdtInt32, -2147483648LL, mdtInt64, nullptr, -2147483648LL},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.Source) + " " + std::to_string(c.Value) + " -> " + std::to_string(c.Dest));
        const Slot src = IntegerSlot(c.Source, c.Value);
        EXPECT_EQ(Error({c.Source, c.Dest}, src), c.Error ? c.Error : "");
        Slot dst;
        Get({c.Source, c.Dest, 0, 0, true}, src, dst);
        EXPECT_EQ(ReadSigned(dst, c.Dest), c.Clamped);
    }
}

TEST_F(NumericConvertTest, FloatsToIntegersNeedAWholeValue) {
    const std::string cannot = "Value cannot be converted: ";
    const std::string range = "Value is out of range: ";
    struct Case {
        double Value;
        TMemDataType Dest;
        std::string Error;
        int64_t Ignored;
    };
    const Case cases[] = {
        {2.5, mdtInt32, cannot + "2,5", 2},
        {-2.5, mdtInt32, cannot + "-2,5", -2},
        {3.0, mdtInt8, "", 3},
        {300.0, mdtInt8, range + "300", 127},
        {1e20, mdtInt64, range + rtl::FloatToStr(1e20), INT64_MAX},
        {-1e20, mdtInt64, range + rtl::FloatToStr(-1e20), INT64_MIN},
        {-1e20, mdtUInt8, range + rtl::FloatToStr(-1e20), 0},
        {std::nan(""), mdtInt16, cannot + rtl::FloatToStr(std::nan("")), 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Value);
        for (TMemDataType source : {mdtFloat, mdtCurrency}) {
            EXPECT_EQ(Error({source, c.Dest}, Slot(c.Value)), c.Error);
            Slot dst;
            Get({source, c.Dest, 0, 0, true}, Slot(c.Value), dst);
            EXPECT_EQ(ReadSigned(dst, c.Dest), c.Ignored);
        }
    }
}

TEST_F(NumericConvertTest, BooleansAndIntegers) {
    // The stored Boolean -1 (all bits) read as the other types.
    const Slot minusOne(static_cast<int16_t>(-1));
    Slot dst;
    Get({mdtBoolean, mdtUInt8}, minusOne, dst);
    EXPECT_EQ(dst.As<uint8_t>(), 255);
    Get({mdtBoolean, mdtUInt32}, minusOne, dst);
    EXPECT_EQ(dst.As<uint32_t>(), 4294967295u);
    Get({mdtBoolean, mdtInt64}, minusOne, dst);
    EXPECT_EQ(dst.As<int64_t>(), -1);
    Get({mdtBoolean, mdtFloat}, minusOne, dst);
    EXPECT_EQ(dst.As<double>(), -1.0);
    Slot text;
    Get({mdtBoolean, mdtString, 10}, minusOne, text);
    EXPECT_STREQ(text.Text(), "True");
    Get({mdtBoolean, mdtString, 10}, Slot(int16_t{0}), text);
    EXPECT_STREQ(text.Text(), "False");
    Get({mdtBoolean, mdtString, 4, 0, true}, Slot(int16_t{0}), text);
    EXPECT_STREQ(text.Text(), "Fals");

    // Into a Boolean: any non-zero integer stays true, also one whose low word is zero.
    struct Case {
        TMemDataType Source;
        int64_t Value;
        uint16_t Stored;
    };
    const Case cases[] = {
        {mdtInt32, 65536, 1},   {mdtInt64, int64_t{1} << 40, 1}, {mdtInt32, 0, 0},
        {mdtInt16, -1, 0xFFFF}, {mdtInt8, -2, 0xFFFE},           {mdtUInt8, 7, 7},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Value);
        Slot b;
        Get({c.Source, mdtBoolean}, IntegerSlot(c.Source, c.Value), b);
        EXPECT_EQ(b.As<uint16_t>(), c.Stored);
    }
    Slot b;
    Get({mdtFloat, mdtBoolean}, Slot(0.9), b);  // cut toward zero, no error
    EXPECT_EQ(b.As<uint16_t>(), 0);
    Get({mdtFloat, mdtBoolean}, Slot(65536.0), b);
    EXPECT_EQ(b.As<uint16_t>(), 1);
    EXPECT_EQ(Error({mdtBCD, mdtBoolean}, Slot(int64_t{15000})), "Value cannot be converted: 1,5");
    Get({mdtBCD, mdtBoolean}, Slot(int64_t{20000}), b);
    EXPECT_EQ(b.As<uint16_t>(), 2);
}

TEST_F(NumericConvertTest, BcdDestinationsKeepFourPlacesAndTheirScale) {
    struct Case {
        TMemDataType Source;
        Slot Value;
        int32_t Precision, Scale;
        const char* Error;
        int64_t Ignored;  // the value times 10^4 with IgnoreErrors
    };
    const Case cases[] = {
        {mdtFloat, Slot(1.23456), 10, 2, "Value cannot be converted: 1,23456", 12300},
        {mdtFloat, Slot(1.23), 10, 2, nullptr, 12300},
        {mdtFloat, Slot(-0.0001), 0, 0, nullptr, -1},
        {mdtCurrency, Slot(2.5), 10, 0, "2,5 has invalid scale", 20000},
        {mdtBCD, Slot(int64_t{-12345}), 10, 2, "-1,2345 has invalid scale", -12300},
        {mdtBCD, Slot(int64_t{-12345}), 0, 0, nullptr, -12345},
        {mdtBCD, Slot(int64_t{-12345}), 10, 4, nullptr, -12345},
        {mdtInt32, Slot(int32_t{5}), 0, 0, nullptr, 50000},
        {mdtInt64, Slot(int64_t{922337203685477}), 0, 0, nullptr, 9223372036854770000},
        {mdtInt64, Slot(int64_t{1000000000000000}), 0, 0, "Value is out of range: 1000000000000000",
         9223372036854770000},
        {mdtInt64, Slot(int64_t{-1000000000000000}), 0, 0, "Value is out of range: -1000000000000000",
         -9223372036854770000},
        {mdtBoolean, Slot(int16_t{-1}), 0, 0, nullptr, -10000},
        {mdtFmtBCD, Slot(Bcd("1.5")), 0, 0, nullptr, 15000},
        {mdtFmtBCD, Slot(Bcd("1.23456")), 0, 0, "Value cannot be converted: 1,23456", 12345},
        {mdtFmtBCD, Slot(Bcd("1234567890123456")), 0, 0, "Value is out of range: 1234567890123456", INT64_MAX},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.Source) + " " + std::to_string(c.Ignored));
        EXPECT_EQ(Error({c.Source, mdtBCD, c.Precision, c.Scale}, c.Value), c.Error ? c.Error : "");
        Slot dst;
        Get({c.Source, mdtBCD, c.Precision, c.Scale, true}, c.Value, dst);
        EXPECT_EQ(dst.As<int64_t>(), c.Ignored);
    }
}

TEST_F(NumericConvertTest, FmtBcdDestinationsKeepPrecisionAndScale) {
    struct Case {
        TMemDataType Source;
        Slot Value;
        int32_t Precision, Scale;
        const char* Error;
        const char* Ignored;
    };
    const Case cases[] = {
        {mdtFmtBCD, Slot(Bcd("123.456")), 5, 2, "123,456 has invalid scale", "123,45"},
        {mdtFmtBCD, Slot(Bcd("12345.6")), 4, 1, "Value is out of range: 12345,6", "999,9"},
        {mdtFmtBCD, Slot(Bcd("-12345.6")), 4, 1, "Value is out of range: -12345,6", "-999,9"},
        // Trailing zeros of a whole number still need their digits.
        {mdtFmtBCD, Slot(Bcd("100000")), 4, 0, "Value is out of range: 100000", "9999"},
        {mdtFmtBCD, Slot(Bcd("12.5")), 3, 2, "Value is out of range: 12,5", "9,99"},
        {mdtFmtBCD, Slot(Bcd("9.99")), 3, 2, nullptr, "9,99"},
        {mdtFmtBCD, Slot(Bcd("123456789.123456789")), 0, 0, nullptr, "123456789,123456789"},
        {mdtInt32, Slot(int32_t{-42}), 0, 0, nullptr, "-42"},
        {mdtInt64, Slot(int64_t{123456}), 5, 0, "Value is out of range: 123456", "99999"},
        {mdtBCD, Slot(int64_t{-12345}), 0, 0, nullptr, "-1,2345"},
        {mdtBCD, Slot(int64_t{-12345}), 10, 2, "-1,2345 has invalid scale", "-1,23"},
        {mdtFloat, Slot(0.1), 0, 0, nullptr, "0,1"},
        {mdtBoolean, Slot(int16_t{1}), 0, 0, nullptr, "1"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Ignored);
        EXPECT_EQ(Error({c.Source, mdtFmtBCD, c.Precision, c.Scale}, c.Value), c.Error ? c.Error : "");
        Slot dst;
        Get({c.Source, mdtFmtBCD, c.Precision, c.Scale, true}, c.Value, dst);
        EXPECT_EQ(rtl::BcdToStr(dst.As<rtl::TBcd>()), c.Ignored);
    }
}

TEST_F(NumericConvertTest, DecimalsToIntegersAndFloats) {
    Slot dst;
    EXPECT_EQ(Error({mdtFmtBCD, mdtInt32}, Slot(Bcd("2.5"))), "Value cannot be converted: 2,5");
    Get({mdtFmtBCD, mdtInt32, 0, 0, true}, Slot(Bcd("-2.5")), dst);
    EXPECT_EQ(dst.As<int32_t>(), -2);
    EXPECT_EQ(Error({mdtFmtBCD, mdtInt8}, Slot(Bcd("300"))), "Value is out of range: 300");
    EXPECT_EQ(Error({mdtFmtBCD, mdtInt64}, Slot(Bcd("1000000000000000000000000000000"))),
              "Value is out of range: 1000000000000000000000000000000");
    Get({mdtFmtBCD, mdtInt64, 0, 0, true}, Slot(Bcd("-1000000000000000000000000000000")), dst);
    EXPECT_EQ(dst.As<int64_t>(), INT64_MIN);
    Get({mdtFmtBCD, mdtFloat}, Slot(Bcd("-0.25")), dst);
    EXPECT_EQ(dst.As<double>(), -0.25);
    Get({mdtBCD, mdtCurrency}, Slot(int64_t{-12345}), dst);
    EXPECT_DOUBLE_EQ(dst.As<double>(), -1.2345);
    EXPECT_EQ(Error({mdtBCD, mdtInt16}, Slot(int64_t{-12345})), "Value cannot be converted: -1,2345");
    Get({mdtBCD, mdtInt16, 0, 0, true}, Slot(int64_t{-12345}), dst);
    EXPECT_EQ(dst.As<int16_t>(), -1);
    Get({mdtBCD, mdtUInt8, 0, 0, true}, Slot(int64_t{3000000}), dst);
    EXPECT_EQ(dst.As<uint8_t>(), 255);
    // Float and Currency share one form: the bytes carry over.
    Get({mdtFloat, mdtCurrency}, Slot(-7.125), dst);
    EXPECT_EQ(dst.As<double>(), -7.125);
    Get({mdtInt64, mdtFloat}, Slot(int64_t{-9007199254740993}), dst);
    EXPECT_EQ(dst.As<double>(), -9007199254740992.0);
}

TEST_F(NumericConvertTest, NumbersAsText) {
    struct Case {
        TMemDataType Source;
        Slot Value;
        const char* Text;
    };
    const Case cases[] = {
        {mdtInt8, Slot(int8_t{-128}), "-128"},
        {mdtUInt32, Slot(uint32_t{4294967295u}), "4294967295"},
        {mdtInt64, Slot(INT64_MIN), "-9223372036854775808"},
        {mdtFloat, Slot(1.5), "1,5"},
        {mdtCurrency, Slot(1.0 / 3.0), "0,333333333333333"},
        {mdtBCD, Slot(INT64_MAX), "922337203685477,5807"},
        {mdtBCD, Slot(int64_t{-12300}), "-1,23"},
        {mdtFmtBCD, Slot(Bcd("-0.05")), "-0,05"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Text);
        Slot ansi;
        Get({c.Source, mdtString, 30}, c.Value, ansi);
        EXPECT_STREQ(ansi.Text(), c.Text);
        Slot wide;
        Get({c.Source, mdtWideString, 30}, c.Value, wide);
        EXPECT_EQ(std::u16string(reinterpret_cast<const char16_t*>(wide.Bytes)), rtl::AnsiToWide(c.Text));
        Slot ext(static_cast<char*>(nullptr));
        Get({c.Source, mdtExtString, 30}, c.Value, ext);
        EXPECT_STREQ(ext.As<char*>(), c.Text);
        Slot extWide(static_cast<char16_t*>(nullptr));
        Get({c.Source, mdtExtWideString, 30}, c.Value, extWide);
        EXPECT_EQ(std::u16string(extWide.As<char16_t*>()), rtl::AnsiToWide(c.Text));
    }
}

TEST_F(NumericConvertTest, TextRoomIsNeverOverrun) {
    const Slot src(int32_t{12345});
    for (TMemDataType dest : {mdtString, mdtWideString, mdtExtString, mdtExtWideString}) {
        SCOPED_TRACE(dest);
        EXPECT_EQ(Error({mdtInt32, dest, 3}, src), "String value is too long");
    }
    Slot ansi;
    Get({mdtInt32, mdtString, 3, 0, true}, src, ansi);
    EXPECT_STREQ(ansi.Text(), "123");
    EXPECT_EQ(ansi.Bytes[4], 0xAB);
    Slot wide;
    Get({mdtInt32, mdtWideString, 3, 0, true}, src, wide);
    EXPECT_EQ(std::u16string(reinterpret_cast<const char16_t*>(wide.Bytes)), u"123");
    EXPECT_EQ(wide.Bytes[8], 0xAB);
    // A string of no room gets only its terminator.
    Slot none;
    Get({mdtInt32, mdtString, 0, 0, true}, src, none);
    EXPECT_EQ(none.Bytes[0], 0);
    EXPECT_EQ(none.Bytes[1], 0xAB);

    // A failing write into a heap string keeps the old one.
    char* old = Heap.AllocStr("old");
    Slot ext(old);
    try {
        Get({mdtInt32, mdtExtString, 3}, src, ext);
        ADD_FAILURE() << "no error";
    } catch (const EDataMappingError&) {
    }
    EXPECT_EQ(ext.As<char*>(), old);
    EXPECT_STREQ(old, "old");
    Get({mdtInt32, mdtExtString, 10}, src, ext);
    EXPECT_STREQ(ext.As<char*>(), "12345");
}

TEST_F(NumericConvertTest, NumbersAsBytes) {
    Slot bytes;
    Get({mdtInt16, mdtBytes, 4}, Slot(int16_t{-2}), bytes);
    EXPECT_EQ(bytes.As<uint32_t>(), 0x0000FFFEu);
    EXPECT_EQ(bytes.Bytes[4], 0xAB);
    EXPECT_EQ(Error({mdtInt64, mdtBytes, 4}, Slot(int64_t{1})), "Binary value is too long");

    EXPECT_EQ(Error({mdtInt8, mdtVarBytes, 2}, Slot(int8_t{5})), "Binary value is too long");
    Slot var;
    Get({mdtInt8, mdtVarBytes, 2, 0, true}, Slot(int8_t{5}), var);
    EXPECT_EQ(var.As<uint16_t>(), 0);
    EXPECT_EQ(var.Bytes[2], 0xAB);
    Get({mdtFloat, mdtVarBytes, 20}, Slot(1.5), var);
    EXPECT_EQ(var.As<uint16_t>(), 8);
    double back;
    std::memcpy(&back, var.Bytes + 2, 8);
    EXPECT_EQ(back, 1.5);
    EXPECT_THROW(Get({mdtInt8, mdtVarBytes, 1, 0, true}, Slot(int8_t{5}), var), rtl::EAssertionFailed);

    Slot ext(static_cast<void*>(nullptr));
    Get({mdtFmtBCD, mdtExtVarBytes, 100}, Slot(Bcd("1.5")), ext);
    const auto* buf = ext.As<const uint8_t*>();
    ASSERT_NE(buf, nullptr);
    uint16_t count;
    std::memcpy(&count, buf, 2);
    EXPECT_EQ(count, 34);
    rtl::TBcd stored;
    std::memcpy(&stored, buf + 2, sizeof stored);
    EXPECT_EQ(rtl::BcdToStr(stored), "1,5");
    // Too little room: the old buffer stays.
    void* before = ext.As<void*>();
    try {
        Get({mdtInt32, mdtExtVarBytes, 5}, Slot(int32_t{1}), ext);
        ADD_FAILURE() << "no error";
    } catch (const EDataMappingError& e) {
        EXPECT_EQ(e.Message(), "Binary value is too long");
    }
    EXPECT_EQ(ext.As<void*>(), before);
    Get({mdtInt32, mdtExtVarBytes, 5, 0, true}, Slot(int32_t{0x04030201}), ext);
    buf = ext.As<const uint8_t*>();
    EXPECT_EQ(buf[0], 3);
    EXPECT_EQ(buf[2], 1);
    EXPECT_EQ(buf[4], 3);
}

TEST_F(NumericConvertTest, EveryRegisteredPairHasItsRoutines) {
    // Zero values through every pair both ways: a routine may refuse the value, but none may be
    // missing.
    for (int i = 0; i < Manager.OnDemandConverterCount(); ++i) {
        const TOnDemandConverter* c = Manager.OnDemandConverters(i);
        SCOPED_TRACE(std::to_string(c->SourceDataType) + " -> " + std::to_string(c->DestDataType));
        for (TConvertProc proc : {c->GetConverter, c->PutConverter}) {
            alignas(8) uint8_t src[80] = {};
            alignas(8) uint8_t dst[80] = {};
            try {
                proc(&Heap, src, 40, 0, dst, 40, 0, true);
            } catch (const rtl::Exception& e) {
                EXPECT_NE(e.Message(), "not implemented");
            }
        }
    }
    // Pairs nobody registered keep refusing.
    try {
        Slot src(int8_t{1}), dst;
        TDataConverters::Routine(mdtInt8, mdtInt8)(&Heap, src.Bytes, 0, 0, dst.Bytes, 0, 0, false);
        ADD_FAILURE() << "no error";
    } catch (const rtl::Exception& e) {
        EXPECT_EQ(e.Message(), "not implemented");
    }
}

}  // namespace
