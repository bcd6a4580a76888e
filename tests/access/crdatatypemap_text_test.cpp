#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "data/access/CRDataTypeMap.h"
#include "tests/access/crdatatypemap_fixture.h"
#include "framework/rtl/Bcd.h"
#include "framework/rtl/DateUtils.h"
#include "framework/rtl/SqlTimSt.h"
#include "framework/rtl/SysUtils.h"
#include "framework/rtl/Text.h"

using namespace daccess;
using namespace store;
using namespace crdtmtest;

namespace {

Slot AnsiSlot(const std::string& s) {
    Slot r;
    std::memcpy(r.Bytes, s.c_str(), s.size() + 1);
    return r;
}

Slot WideSlot(const std::u16string& s) {
    Slot r;
    std::memcpy(r.Bytes, s.c_str(), (s.size() + 1) * sizeof(char16_t));
    return r;
}

Slot BytesSlot(std::initializer_list<uint8_t> b) {
    Slot r;
    std::copy(b.begin(), b.end(), r.Bytes);
    return r;
}

Slot VarBytesSlot(std::initializer_list<uint8_t> b) {
    Slot r;
    r.Put(static_cast<uint16_t>(b.size()));
    std::copy(b.begin(), b.end(), r.Bytes + 2);
    return r;
}

using Call = TCall<40>;
using TextConvertTest = ConvertTest<Call>;

int32_t DayOf(int y, int m, int d) { return rtl::DateTimeToTimeStamp(rtl::EncodeDate(y, m, d)).Date; }

TEST_F(TextConvertTest, TextToNumbers) {
    struct Case {
        const char* Text;
        TMemDataType Dest;
        int32_t Precision, Scale;
        const char* Error;
        const char* Ignored;  // the stored value, as decimal text
    };
    const Case cases[] = {
        {" 42 ", mdtInt32, 0, 0, nullptr, "42"},
        {"4x2", mdtInt32, 0, 0, "4x2 is an invalid integer value", "0"},
        {"300", mdtInt8, 0, 0, "Value is out of range: 300", "127"},
        {"-9223372036854775808", mdtInt64, 0, 0, nullptr, "-9223372036854775808"},
        {"99999999999999999999", mdtInt64, 0, 0, "99999999999999999999 is an invalid integer value", "0"},
        {"65535", mdtUInt16, 0, 0, nullptr, "65535"},
        {" 1,5", mdtFloat, 0, 0, nullptr, "1,5"},
        {"1,5,", mdtCurrency, 0, 0, "1,5, is an invalid numeric value", "0"},
        {"12,3456", mdtBCD, 10, 2, "12,3456 has invalid scale", "12,34"},
        {"12,345678", mdtBCD, 10, 2, "Value cannot be converted: 12,345678", "12,34"},
        {"0,1", mdtBCD, 0, 0, nullptr, "0,1"},
        {"x", mdtBCD, 0, 0, "x is an invalid numeric value", "0"},
        {"123,456", mdtFmtBCD, 5, 2, "123,456 has invalid scale", "123,45"},
        {"-12345,6", mdtFmtBCD, 4, 1, "Value is out of range: -12345,6", "-999,9"},
        {"abc", mdtFmtBCD, 0, 0, "abc is an invalid numeric value", "0"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Text);
        for (TMemDataType source : {mdtString, mdtWideString}) {
            const Slot src = source == mdtString ? AnsiSlot(c.Text) : WideSlot(rtl::AnsiToWide(c.Text));
            EXPECT_EQ(Error({source, c.Dest, c.Precision, c.Scale}, src), c.Error ? c.Error : "");
            Slot dst;
            Get({source, c.Dest, c.Precision, c.Scale, true}, src, dst);
            std::string got;
            switch (c.Dest) {
                case mdtInt8: got = rtl::IntToStr(int32_t{dst.As<int8_t>()}); break;
                case mdtUInt16: got = rtl::IntToStr(int32_t{dst.As<uint16_t>()}); break;
                case mdtInt32: got = rtl::IntToStr(dst.As<int32_t>()); break;
                case mdtInt64: got = rtl::IntToStr(dst.As<int64_t>()); break;
                case mdtFloat:
                case mdtCurrency: got = rtl::FloatToStr(dst.As<double>()); break;
                case mdtBCD: got = rtl::CurrToStr(rtl::Currency::FromScaled(dst.As<int64_t>())); break;
                default: got = rtl::BcdToStr(dst.As<rtl::TBcd>()); break;
            }
            EXPECT_EQ(got, c.Ignored);
        }
    }
}

TEST_F(TextConvertTest, TextToBooleanAndBack) {
    Slot b;
    Get({mdtString, mdtBoolean}, AnsiSlot(" true "), b);
    EXPECT_EQ(b.As<int16_t>(), -1);
    Slot text;
    Get({mdtBoolean, mdtString}, b, text);
    EXPECT_STREQ(text.Text(), "True");
    Get(
        {mdtExtString, mdtBoolean},
        [] {
            Slot s;
            s.Put(static_cast<const char*>("False"));
            return s;
        }(),
        b);
    EXPECT_EQ(b.As<int16_t>(), 0);
    EXPECT_EQ(Error({mdtString, mdtBoolean}, AnsiSlot("maybe")), "maybe is an invalid boolean value");
    Get({mdtString, mdtBoolean, 0, 0, true}, AnsiSlot("maybe"), b);
    EXPECT_EQ(b.As<int16_t>(), 0);
}

TEST_F(TextConvertTest, TextToDatesAndTimes) {
    Slot d;
    Get({mdtString, mdtDate}, AnsiSlot(" 15.03.2024 "), d);
    EXPECT_EQ(d.As<int32_t>(), DayOf(2024, 3, 15));
    Get({mdtString, mdtTime}, AnsiSlot("12:30:15"), d);
    EXPECT_EQ(d.As<int32_t>(), 45015000);
    Get({mdtString, mdtDateTime}, AnsiSlot("15.03.2024 12:30:15"), d);
    EXPECT_EQ(d.As<double>(), double(DayOf(2024, 3, 15)) * 86400000.0 + 45015000.0);
    Get({mdtString, mdtSQLTimeStamp}, AnsiSlot("15.03.2024 12:30:15"), d);
    const auto ts = d.As<rtl::TSQLTimeStamp>();
    EXPECT_EQ(ts.Year, 2024);
    EXPECT_EQ(ts.Month, 3);
    EXPECT_EQ(ts.Day, 15);
    EXPECT_EQ(ts.Hour, 12);
    EXPECT_EQ(ts.Second, 15);

    for (TMemDataType dest : {mdtDate, mdtTime, mdtDateTime, mdtSQLTimeStamp}) {
        SCOPED_TRACE(dest);
        EXPECT_EQ(Error({mdtString, dest}, AnsiSlot("32.13.2024")), "32.13.2024 is an invalid date or time value");
    }
    // The substitute is 1899-12-30 00:00.
    Get({mdtString, mdtDate, 0, 0, true}, AnsiSlot("never"), d);
    EXPECT_EQ(d.As<int32_t>(), 693594);
    Get({mdtString, mdtTime, 0, 0, true}, AnsiSlot("never"), d);
    EXPECT_EQ(d.As<int32_t>(), 0);
    Get({mdtString, mdtSQLTimeStamp, 0, 0, true}, AnsiSlot("never"), d);
    EXPECT_EQ(d.As<rtl::TSQLTimeStamp>().Year, 1899);
}

TEST_F(TextConvertTest, TextToGuid) {
    Slot g;
    Get({mdtString, mdtGuid}, AnsiSlot("6f9619ff-8b86-d011-b42d-00c04fc964ff"), g);
    EXPECT_STREQ(g.Text(), "{6F9619FF-8B86-D011-B42D-00C04FC964FF}");
    // The GUID's text needs 38 characters and a zero: a shorter destination is refused or cut,
    // never written past its end.
    EXPECT_EQ(Error({mdtString, mdtGuid, 5}, AnsiSlot("6f9619ff-8b86-d011-b42d-00c04fc964ff")),
              "String value is too long");
    Slot cut;
    Get({mdtString, mdtGuid, 5, 0, true}, AnsiSlot("6f9619ff-8b86-d011-b42d-00c04fc964ff"), cut);
    EXPECT_STREQ(cut.Text(), "{6F96");
    EXPECT_EQ(cut.Bytes[6], 0xAB);
    Get({mdtWideString, mdtGuid}, WideSlot(u"{6f9619ff-8b86-d011-b42d-00c04fc964ff}"), g);
    EXPECT_STREQ(g.Text(), "{6F9619FF-8B86-D011-B42D-00C04FC964FF}");
    EXPECT_EQ(Error({mdtString, mdtGuid}, AnsiSlot("not-a-guid")), "not-a-guid is an invalid GUID value");
    Get({mdtString, mdtGuid, 38, 0, true}, AnsiSlot("not-a-guid"), g);
    EXPECT_STREQ(g.Text(), "{00000000-0000-0000-0000-000000000000}");
    Slot text;
    text.Put(static_cast<char*>(nullptr));
    Get({mdtGuid, mdtExtString, 38}, g, text);
    EXPECT_STREQ(text.As<const char*>(), "{00000000-0000-0000-0000-000000000000}");
    EXPECT_EQ(Error({mdtGuid, mdtString, 37}, g), "String value is too long");
}

TEST_F(TextConvertTest, CyrillicTextKeepsItsLettersInEveryForm) {
    const std::string ansi = rtl::UTF8ToAnsi(u8"Опись №7");
    const std::u16string wide = u"Опись №7";
    ASSERT_EQ(ansi.size(), 8u);

    Slot w;
    Get({mdtString, mdtWideString}, AnsiSlot(ansi), w);
    EXPECT_EQ(w.Wide(), wide);
    Slot a;
    Get({mdtWideString, mdtString}, WideSlot(wide), a);
    EXPECT_EQ(std::string(a.Text()), ansi);
    Slot ext;
    ext.Put(static_cast<char16_t*>(nullptr));
    Get(
        {mdtExtString, mdtExtWideString},
        [&] {
            Slot s;
            s.Put(static_cast<const char*>(ansi.c_str()));
            return s;
        }(),
        ext);
    EXPECT_EQ(std::u16string(ext.As<const char16_t*>()), wide);

    // Room counts characters of the destination's own form.
    EXPECT_EQ(Error({mdtWideString, mdtString, 7}, WideSlot(wide)), "String value is too long");
    Slot cut;
    Get({mdtWideString, mdtWideString, 5, 0, true}, WideSlot(wide), cut);
    EXPECT_EQ(cut.Wide(), u"Опись");
    EXPECT_EQ(cut.Bytes[12], 0xAB);

    // As bytes: one byte a letter from ANSI, two (low first) from UTF-16.
    Slot bytes;
    Get({mdtString, mdtVarBytes, 20}, AnsiSlot(ansi), bytes);
    EXPECT_EQ(bytes.As<uint16_t>(), 8);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(bytes.Bytes + 2), 8), ansi);
    Get({mdtWideString, mdtBytes, 4}, WideSlot(u"Оп"), bytes);
    EXPECT_EQ(bytes.As<uint32_t>(), 0x043F041Eu);
    Get({mdtBytes, mdtWideString, 10, 0, false, 4}, bytes, w);
    EXPECT_EQ(w.Wide(), u"Оп");
}

TEST_F(TextConvertTest, BytesToText) {
    const Slot fixed = BytesSlot({0x41, 0x42, 0x00, 0x00});
    Slot t;
    Get({mdtBytes, mdtString, 10, 0, false, 4}, fixed, t);
    EXPECT_STREQ(t.Text(), "AB");
    EXPECT_EQ(t.Bytes[3], 0xAB);
    // A counted value keeps its zero bytes.
    Get({mdtVarBytes, mdtString, 10}, VarBytesSlot({0x41, 0x42, 0x00, 0x00}), t);
    EXPECT_EQ(std::string(t.Text(), 5), std::string("AB\0\0\0", 5));
    EXPECT_EQ(t.Bytes[5], 0xAB);
    // An odd last byte is no character; trailing zero units go.
    Get({mdtBytes, mdtWideString, 10, 0, false, 5}, BytesSlot({0x41, 0x00, 0x00, 0x00, 0x42}), t);
    EXPECT_EQ(t.Wide(), u"A");
    Slot ext;
    ext.Put(static_cast<void*>(nullptr));
    Get({mdtVarBytes, mdtExtVarBytes, 10}, VarBytesSlot({1, 2, 3}), ext);
    const auto* buf = ext.As<const uint8_t*>();
    ASSERT_NE(buf, nullptr);
    EXPECT_EQ(buf[0], 3);
    EXPECT_EQ(buf[4], 3);
    // A nil heap buffer reads as no bytes.
    Slot nil;
    nil.Put(static_cast<void*>(nullptr));
    Get({mdtExtVarBytes, mdtString, 10}, nil, t);
    EXPECT_STREQ(t.Text(), "");
}

TEST_F(TextConvertTest, BytesToFixedSizeValues) {
    EXPECT_EQ(Error({mdtBytes, mdtInt32, 40, 0, false, 3}, BytesSlot({1, 2, 3})), "Invalid binary value");
    Slot dst;
    Get({mdtBytes, mdtInt32, 40, 0, true, 3}, BytesSlot({1, 2, 3}), dst);
    EXPECT_EQ(dst.As<uint32_t>(), 0x00030201u);
    EXPECT_EQ(dst.Bytes[4], 0xAB);
    EXPECT_EQ(Error({mdtVarBytes, mdtInt8}, VarBytesSlot({1, 2})), "Binary value is too long");
    EXPECT_EQ(Error({mdtVarBytes, mdtInt16}, VarBytesSlot({1})), "Invalid binary value");
    Get({mdtVarBytes, mdtInt16}, VarBytesSlot({0xFE, 0xFF}), dst);
    EXPECT_EQ(dst.As<int16_t>(), -2);
    const double x = -1.25;
    Slot src;
    src.Put(x);
    Get({mdtBytes, mdtFloat, 40, 0, false, 8}, src, dst);
    EXPECT_EQ(dst.As<double>(), x);
    Get({mdtBytes, mdtVarBytes, 4, 0, true, 8}, src, dst);
    EXPECT_EQ(dst.As<uint16_t>(), 2);
}

TEST_F(TextConvertTest, DatesAndTimes) {
    Slot src, dst;
    src.Put(int32_t{693594});
    Get({mdtDate, mdtDateTime}, src, dst);
    EXPECT_EQ(dst.As<double>(), 59926521600000.0);
    Get({mdtDateTime, mdtDate}, dst, src);
    EXPECT_EQ(src.As<int32_t>(), 693594);

    // Half a millisecond before midnight rounds to the even count: the next day.
    src.Put(59926521600000.0 + 86399999.5);
    Get({mdtDateTime, mdtDate}, src, dst);
    EXPECT_EQ(dst.As<int32_t>(), 693595);
    Get({mdtDateTime, mdtTime}, src, dst);
    EXPECT_EQ(dst.As<int32_t>(), 0);
    src.Put(59926521600000.0 + 86399998.5);
    Get({mdtDateTime, mdtTime}, src, dst);
    EXPECT_EQ(dst.As<int32_t>(), 86399998);

    src.Put(int32_t{45015000});
    Get({mdtTime, mdtDateTime}, src, dst);
    EXPECT_EQ(dst.As<double>(), 59926521600000.0 + 45015000.0);
    Get({mdtTime, mdtString}, src, dst);
    EXPECT_STREQ(dst.Text(), "12:30:15");

    src.Put(DayOf(2024, 3, 15));
    Get({mdtDate, mdtString}, src, dst);
    EXPECT_STREQ(dst.Text(), "15.03.2024");
    Get({mdtDate, mdtSQLTimeStamp}, src, dst);
    const auto ts = dst.As<rtl::TSQLTimeStamp>();
    EXPECT_EQ(ts.Year, 2024);
    EXPECT_EQ(ts.Day, 15);
    Get({mdtSQLTimeStamp, mdtDate}, dst, src);
    EXPECT_EQ(src.As<int32_t>(), DayOf(2024, 3, 15));
    Get({mdtSQLTimeStamp, mdtDateTime}, dst, src);
    EXPECT_EQ(src.As<double>(), double(DayOf(2024, 3, 15)) * 86400000.0);
    // Midnight shows the date alone.
    Get({mdtDateTime, mdtString}, src, dst);
    EXPECT_STREQ(dst.Text(), "15.03.2024");

    // A day that no calendar has is refused before anything is written.
    for (TMemDataType dest : {mdtString, mdtSQLTimeStamp}) {
        Slot zero, out;
        zero.Put(int32_t{0});
        try {
            Get({mdtDate, dest}, zero, out);
            ADD_FAILURE() << "no error";
        } catch (const rtl::EConvertError& e) {
            EXPECT_EQ(e.Message(), "'0.0' is not a valid timestamp");
        }
        EXPECT_EQ(out.As<uint64_t>(), Slot().As<uint64_t>());
    }
    src.Put(int32_t{-1});
    EXPECT_THROW(Get({mdtTime, mdtString}, src, dst), rtl::EConvertError);

    Slot image;
    src.Put(int32_t{0x01020304});
    Get({mdtTime, mdtBytes, 4}, src, image);
    EXPECT_EQ(image.As<uint32_t>(), 0x01020304u);
}

class BlobConvertTest : public TextConvertTest {
protected:
    void SetUp() override {
        Memo = CreateSharedObject<TBlob>(false);
        WideMemo = CreateSharedObject<TBlob>(true);
    }
    void TearDown() override {
        Memo->Release();
        WideMemo->Release();
    }
    Slot Ref(TBlob* b) {
        Slot s;
        s.Put(b);
        return s;
    }
    TBlob* Memo = nullptr;
    TBlob* WideMemo = nullptr;
};

TEST_F(BlobConvertTest, BlobsReadAsText) {
    Memo->SetAsAnsiString("abcdefghijklmnopqrst");
    EXPECT_EQ(Error({mdtMemo, mdtString, 10}, Ref(Memo)), "String value is too long");
    Slot t;
    Get({mdtMemo, mdtString, 10, 0, true}, Ref(Memo), t);
    EXPECT_STREQ(t.Text(), "abcdefghij");
    EXPECT_EQ(t.Bytes[11], 0xAB);

    WideMemo->SetAsWideString(u"Фонд 中");
    Slot ext;
    ext.Put(static_cast<char16_t*>(nullptr));
    Get({mdtWideMemo, mdtExtWideString, 10}, Ref(WideMemo), ext);
    EXPECT_EQ(std::u16string(ext.As<const char16_t*>()), u"Фонд 中");
    Get({mdtWideMemo, mdtString, 10}, Ref(WideMemo), t);
    EXPECT_EQ(std::string(t.Text()), rtl::WideToAnsi(u"Фонд 中"));

    // Between blob types the reference itself passes, and the receiver holds a counted one: the
    // blob outlives the owner's release.
    Slot ref;
    Get({mdtMemo, mdtWideMemo}, Ref(Memo), ref);
    EXPECT_EQ(ref.As<TBlob*>(), Memo);
    Get({mdtBlob, mdtMemo}, Ref(Memo), ref);
    EXPECT_EQ(ref.As<TBlob*>(), Memo);
    EXPECT_EQ(Memo->RefCount(), 3);
    Memo->Release();
    Memo->Release();
    EXPECT_EQ(Memo->GetAsAnsiString(), "abcdefghijklmnopqrst");
}

TEST_F(BlobConvertTest, TextWrittenBackIntoBlobs) {
    // The put direction of a blob column shown as text.
    const TOnDemandConverter* toWide = Manager.FindOnDemandConverter(mdtWideMemo, mdtExtWideString);
    ASSERT_NE(toWide, nullptr);
    const char16_t* text = u"Дело 中 №3";
    Slot src;
    src.Put(text);
    Slot dst = Ref(WideMemo);
    toWide->PutConverter(&Heap, src.Bytes, 20, 0, dst.Bytes, 0, 0, false);
    EXPECT_EQ(dst.As<TBlob*>(), WideMemo);
    EXPECT_EQ(WideMemo->GetAsWideString(), text);

    const TOnDemandConverter* toMemo = Manager.FindOnDemandConverter(mdtMemo, mdtString);
    ASSERT_NE(toMemo, nullptr);
    const std::string ansi = rtl::UTF8ToAnsi(u8"Акт приёма");
    const Slot ansiSrc = AnsiSlot(ansi);
    dst = Ref(Memo);
    toMemo->PutConverter(&Heap, ansiSrc.Bytes, 20, 0, dst.Bytes, 0, 0, false);
    EXPECT_EQ(Memo->GetAsAnsiString(), ansi);

    const TOnDemandConverter* wideIntoMemo = Manager.FindOnDemandConverter(mdtBlob, mdtWideString);
    ASSERT_NE(wideIntoMemo, nullptr);
    const Slot wideSrc = WideSlot(u"Опись");
    wideIntoMemo->PutConverter(&Heap, wideSrc.Bytes, 20, 0, dst.Bytes, 0, 0, false);
    EXPECT_EQ(Memo->GetAsAnsiString(), rtl::UTF8ToAnsi(u8"Опись"));
}

}  // namespace
