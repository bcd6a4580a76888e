#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <functional>

#include "db_fieldclasses_fixture.h"
#include "framework/rtl/DateUtils.h"
#include "framework/rtl/SqlTimSt.h"

namespace fieldtest {
namespace {

template <class E, class F>
std::string MessageOf(F&& f) {
    try {
        f();
    } catch (const E& e) {
        return e.Message();
    }
    return "<no exception>";
}

TEST(FieldClassRegistry, EveryTypeGetsItsStandardClass) {
    struct Case {
        TFieldType Type;
        const char* ClassName;
    };
    const Case cases[] = {
        {ftString, "TStringField"},
        {ftFixedChar, "TStringField"},
        {ftOraInterval, "TStringField"},
        {ftSmallint, "TSmallintField"},
        {ftInteger, "TIntegerField"},
        {ftWord, "TWordField"},
        {ftBoolean, "TBooleanField"},
        {ftFloat, "TFloatField"},
        {ftCurrency, "TCurrencyField"},
        {ftBCD, "TBCDField"},
        {ftDate, "TDateField"},
        {ftTime, "TTimeField"},
        {ftDateTime, "TDateTimeField"},
        {ftBytes, "TBytesField"},
        {ftVarBytes, "TVarBytesField"},
        {ftAutoInc, "TAutoIncField"},
        {ftBlob, "TBlobField"},
        {ftTypedBinary, "TBlobField"},
        {ftOraBlob, "TBlobField"},
        {ftMemo, "TMemoField"},
        {ftOraClob, "TMemoField"},
        {ftGraphic, "TGraphicField"},
        {ftWideString, "TWideStringField"},
        {ftFixedWideChar, "TWideStringField"},
        {ftLargeint, "TLargeintField"},
        {ftADT, "TADTField"},
        {ftArray, "TArrayField"},
        {ftReference, "TReferenceField"},
        {ftDataSet, "TDataSetField"},
        {ftVariant, "TVariantField"},
        {ftInterface, "TInterfaceField"},
        {ftIDispatch, "TIDispatchField"},
        {ftGuid, "TGuidField"},
        {ftTimeStamp, "TSQLTimeStampField"},
        {ftOraTimeStamp, "TSQLTimeStampField"},
        {ftFMTBcd, "TFMTBCDField"},
        {ftWideMemo, "TWideMemoField"},
    };
    for (const Case& c : cases) {
        TFieldClass cls = DefaultFieldClass(c.Type);
        ASSERT_NE(cls, nullptr) << FieldTypeName(c.Type);
        EXPECT_STREQ(cls->ClassName(), c.ClassName) << FieldTypeName(c.Type);
    }
    EXPECT_EQ(DefaultFieldClass(ftUnknown), nullptr);
    EXPECT_EQ(DefaultFieldClass(ftCursor), nullptr);
}

// Value, text, display text and edit text of each class under the Russian settings.
TEST(FieldClassText, ValueAndTextsPerClass) {
    rtl::TScopedFormatSettings keep(rtl::TFormatSettings::Default());
    const AnsiString nb = "\xA0";  // thousand separator
    const AnsiString rub = A(u8"р.");
    struct Case {
        const char* Name;
        TFieldType Type;
        int Size;
        std::function<void(TField*)> Setup;
        Variant Value;
        AnsiString AsString, Display, Edit;
    };
    const Case cases[] = {
        {"s", ftString, 10, nullptr, Variant(A(u8"Привет")), A(u8"Привет"), A(u8"Привет"), A(u8"Привет")},
        {"cut", ftString, 5, nullptr, Variant("abcdefgh"), "abcde", "abcde", "abcde"},
        {"w", ftWideString, 10, nullptr, Variant(WideString(u"Ёлка")), A(u8"Ёлка"), A(u8"Ёлка"), A(u8"Ёлка")},
        {"si", ftSmallint, 0, nullptr, Variant(-1234), "-1234", "-1234", "-1234"},
        {"i", ftInteger, 0,
         [](TField* f) {
             static_cast<TIntegerField*>(f)->SetDisplayFormat("#,##0");
             static_cast<TIntegerField*>(f)->SetEditFormat("0");
         },
         Variant(1234567), "1234567", "1" + nb + "234" + nb + "567", "1234567"},
        {"wd", ftWord, 0, nullptr, Variant(65535), "65535", "65535", "65535"},
        {"li", ftLargeint, 0, nullptr, Variant(9007199254740993LL), "9007199254740993", "9007199254740993",
         "9007199254740993"},
        {"b", ftBoolean, 0, nullptr, Variant(true), "True", "True", "True"},
        {"bru", ftBoolean, 0, [](TField* f) { static_cast<TBooleanField*>(f)->SetDisplayValues(A(u8"Да;Нет")); },
         Variant(false), A(u8"Нет"), A(u8"Нет"), A(u8"Нет")},
        {"f", ftFloat, 0, nullptr, Variant(1234.5), "1234,5", "1234,5", "1234,5"},
        {"fp", ftFloat, 0, [](TField* f) { static_cast<TFloatField*>(f)->SetPrecision(4); }, Variant(2.0 / 3.0),
         "0,666666666666667", "0,6667", "0,6667"},
        {"fmt", ftFloat, 0, [](TField* f) { static_cast<TFloatField*>(f)->SetDisplayFormat("0.00"); }, Variant(3.14159),
         "3,14159", "3,14", "3,14"},
        {"c", ftCurrency, 0, nullptr, Variant(1234.5), "1234,5", "1" + nb + "234,50 " + rub, "1234,50"},
        {"bcd", ftBCD, 4, nullptr, Variant(rtl::StrToCurr("12,3456")), "12,3456", "12,3456", "12,3456"},
        {"bcdc", ftBCD, 2, [](TField* f) { static_cast<TBCDField*>(f)->SetCurrency(true); },
         Variant(rtl::StrToCurr("-7,5")), "-7,5", "-7,50 " + rub, "-7,50"},
        {"fmtbcd", ftFMTBcd, 2, [](TField* f) { static_cast<TFMTBCDField*>(f)->SetPrecision(24); },
         Variant(rtl::StrToBcd("123456789012345678,25")), "123456789012345678,25", "123456789012345678,25",
         "123456789012345678,25"},
        {"d", ftDate, 0, [](TField* f) { static_cast<TDateTimeField*>(f)->SetDisplayFormat("yyyy-mm-dd"); },
         Variant::FromDate(rtl::EncodeDate(2024, 3, 5)), "05.03.2024", "2024-03-05", "05.03.2024"},
        {"t", ftTime, 0, nullptr, Variant::FromDate(rtl::EncodeTime(14, 30, 15, 0)), "14:30:15", "14:30:15",
         "14:30:15"},
        {"dt", ftDateTime, 0, nullptr, Variant::FromDate(rtl::EncodeDateTime(2024, 3, 5, 9, 5, 0, 0)),
         "05.03.2024 9:05:00", "05.03.2024 9:05:00", "05.03.2024 9:05:00"},
        {"ts", ftTimeStamp, 0, nullptr,
         Variant::FromSQLTimeStamp(rtl::DateTimeToSQLTimeStamp(rtl::EncodeDateTime(2023, 12, 31, 23, 59, 58, 0))),
         "31.12.2023 23:59:58", "31.12.2023 23:59:58", "31.12.2023 23:59:58"},
        {"g", ftGuid, 38, nullptr, Variant("{01234567-89AB-CDEF-0123-456789ABCDEF}"),
         "{01234567-89AB-CDEF-0123-456789ABCDEF}", "{01234567-89AB-CDEF-0123-456789ABCDEF}",
         "{01234567-89AB-CDEF-0123-456789ABCDEF}"},
    };
    TOneRow t;
    for (const Case& c : cases) t.Add(rtl::AnsiToWide(c.Name), c.Type, c.Size);
    t.OpenAndEdit();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        TField* f = t.F(c.Name);
        if (c.Setup) c.Setup(f);
        EXPECT_TRUE(f->IsNull());
        EXPECT_EQ(f->DisplayText(), "");
        f->SetValue(c.Value);
        EXPECT_FALSE(f->IsNull());
        EXPECT_EQ(f->AsString(), c.AsString);
        EXPECT_EQ(f->DisplayText(), c.Display);
        EXPECT_EQ(f->Text(), c.Edit);
        // The edit text reads back to the same value.
        Variant before = f->Value();
        f->SetEditText(f->Text());
        if (c.Type != ftFloat || c.Name == std::string("f")) {
            EXPECT_TRUE(rtl::VarSameValue(f->Value(), before));
        }
    }
    t.DataSet->Post();
    EXPECT_EQ(t.F("s")->AsString(), A(u8"Привет"));
    EXPECT_EQ(t.F("w")->AsWideString(), u"Ёлка");
    EXPECT_EQ(t.F("li")->AsLargeInt(), 9007199254740993LL);
}

// The native data each class writes is the external form of its type.
TEST(FieldClassNative, DatesTimesAndBcdUseTheExternalForms) {
    TOneRow t;
    t.Add(u"d", ftDate);
    t.Add(u"t", ftTime);
    t.Add(u"dt", ftDateTime);
    t.Add(u"bcd", ftBCD, 4);
    t.OpenAndEdit();
    EXPECT_EQ(t.F("d")->DataSize(), 4);
    EXPECT_EQ(t.F("t")->DataSize(), 4);
    EXPECT_EQ(t.F("dt")->DataSize(), 8);
    t.F("d")->SetAsDateTime(rtl::EncodeDateTime(1899, 12, 31, 18, 0, 0, 0));
    t.F("t")->SetAsDateTime(rtl::EncodeDateTime(2020, 1, 1, 1, 2, 3, 4));
    t.F("dt")->SetAsDateTime(rtl::EncodeDateTime(1, 1, 2, 0, 0, 1, 500));
    t.F("bcd")->SetAsString("-12,5");
    t.DataSet->Post();

    int32_t day, ms;
    double dtms;
    int64_t cur;
    auto bytes = t.DataSet->Stored(0, 0);
    std::memcpy(&day, bytes.data(), 4);
    EXPECT_EQ(day, rtl::DateDelta + 1);  // the time of day is dropped
    bytes = t.DataSet->Stored(0, 1);
    std::memcpy(&ms, bytes.data(), 4);
    EXPECT_EQ(ms, ((1 * 60 + 2) * 60 + 3) * 1000 + 4);  // the date is dropped
    bytes = t.DataSet->Stored(0, 2);
    std::memcpy(&dtms, bytes.data(), 8);
    EXPECT_EQ(dtms, 2.0 * 86400000.0 + 1500.0);  // milliseconds since 0001-01-01 (day 1)
    bytes = t.DataSet->Stored(0, 3);
    std::memcpy(&cur, bytes.data(), 8);
    EXPECT_EQ(cur, -125000);

    // And reading decodes the same forms.
    int32_t newDay = rtl::DateDelta + 45000;
    t.DataSet->PutStored(0, 0, &newDay);
    double newMs = (static_cast<double>(rtl::DateDelta) + 10) * 86400000.0 + 3600000.0;
    t.DataSet->PutStored(0, 2, &newMs);
    t.DataSet->Refresh();
    EXPECT_DOUBLE_EQ(t.F("d")->AsDateTime(), 45000.0);
    EXPECT_DOUBLE_EQ(t.F("dt")->AsDateTime(), 10.0 + 1.0 / 24.0);
    EXPECT_EQ(t.F("d")->Value().VType(), rtl::varDate);
    EXPECT_EQ(t.F("bcd")->Value().VType(), rtl::varCurrency);
}

TEST(FieldClassText, BadTextRaisesTheFieldMessageAndKeepsTheValue) {
    struct Case {
        const char* Name;
        TFieldType Type;
        int Size;
        const char* Good;
        AnsiString Bad;
        AnsiString Message;
    };
    const Case cases[] = {
        {"Int", ftInteger, 0, "5", "12a", "'12a' is not a valid integer value for field 'Int'"},
        {"Small", ftSmallint, 0, "5", "1,5", "'1,5' is not a valid integer value for field 'Small'"},
        {"Large", ftLargeint, 0, "5", "x", "'x' is not a valid integer value for field 'Large'"},
        {"Flt", ftFloat, 0, "5", "1,2,3", "'1,2,3' is not a valid floating-point value for field 'Flt'"},
        {"Money", ftBCD, 2, "5", "1.5", "'1.5' is not a valid floating-point value for field 'Money'"},
        {"Dec", ftFMTBcd, 2, "5", "abc", "'abc' is not a valid BCD value for field 'Dec'"},
        {"Flag", ftBoolean, 0, "True", "maybe", "'maybe' is not a valid boolean value for field 'Flag'"},
    };
    TOneRow t;
    for (const Case& c : cases) t.Add(rtl::AnsiToWide(c.Name), c.Type, c.Size);
    t.OpenAndEdit();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        TField* f = t.F(c.Name);
        f->SetEditText(c.Good);
        EXPECT_EQ(MessageOf<EDatabaseError>([&] { f->SetEditText(c.Bad); }), c.Message);
        EXPECT_EQ(f->AsString(), c.Good);
    }
}

TEST(FieldClassText, BadDateAndGuidTextRaiseConversionErrors) {
    TOneRow t;
    t.Add(u"d", ftDate);
    t.Add(u"t", ftTime);
    t.Add(u"g", ftGuid, 38);
    t.OpenAndEdit();
    t.F("d")->SetAsString("01.02.2024");
    EXPECT_EQ(MessageOf<rtl::EConvertError>([&] { t.F("d")->SetAsString("31.02.2024"); }),
              "'31.02.2024' is not a valid date");
    EXPECT_EQ(t.F("d")->AsString(), "01.02.2024");
    EXPECT_THROW(t.F("t")->SetAsString("25:00"), rtl::EConvertError);
    EXPECT_TRUE(t.F("t")->IsNull());
    EXPECT_THROW(t.F("g")->SetAsString("not a guid"), rtl::EConvertError);
    EXPECT_TRUE(t.F("g")->IsNull());
    // Empty text clears every kind of field.
    t.F("d")->SetAsString("");
    EXPECT_TRUE(t.F("d")->IsNull());
}

// Narrowing conversions raise instead of wrapping around.
TEST(FieldClassRange, ConversionsThatLoseRangeRaiseNamingTheField) {
    TOneRow t;
    t.Add(u"Small", ftSmallint);
    t.Add(u"Int", ftInteger);
    t.Add(u"Word", ftWord);
    t.Add(u"Large", ftLargeint);
    t.Add(u"Flt", ftFloat);
    t.Add(u"Money", ftBCD, 4);
    t.OpenAndEdit();
    t.F("Small")->SetAsInteger(1);
    t.F("Int")->SetAsInteger(1);
    t.F("Word")->SetAsInteger(1);
    t.F("Large")->SetAsLargeInt(5000000000LL);
    t.F("Flt")->SetAsFloat(1e20);
    t.F("Money")->SetAsInteger(1);

    struct Case {
        const char* Field;
        std::function<void(TField*)> Write;
    };
    const Case writes[] = {
        {"Small", [](TField* f) { f->SetAsInteger(40000); }},
        {"Small", [](TField* f) { f->SetAsString("-32769"); }},
        {"Int", [](TField* f) { f->SetAsFloat(3e9); }},
        {"Int", [](TField* f) { f->SetAsLargeInt(int64_t{1} << 40); }},
        {"Int", [](TField* f) { f->SetValue(Variant(static_cast<long long>(int64_t{1} << 33))); }},
        {"Int", [](TField* f) { f->SetAsFloat(std::nan("")); }},
        {"Word", [](TField* f) { f->SetAsInteger(-1); }},
        {"Large", [](TField* f) { f->SetAsFloat(1e19); }},
        {"Money", [](TField* f) { f->SetAsFloat(1e300); }},
        {"Money", [](TField* f) { f->SetAsLargeInt(int64_t{1} << 62); }},
    };
    for (const Case& c : writes) {
        TField* f = t.F(c.Field);
        AnsiString before = f->AsString();
        std::string m = MessageOf<rtl::EConvertError>([&] { c.Write(f); });
        EXPECT_NE(m.find("for field '" + std::string(c.Field) + "'"), std::string::npos) << c.Field << ": " << m;
        EXPECT_EQ(f->AsString(), before);
    }
    EXPECT_EQ(MessageOf<rtl::EConvertError>([&] { t.F("Int")->SetAsLargeInt(int64_t{1} << 40); }),
              "1099511627776 is not a valid value for field 'Int'. The allowed range is -2147483648 to 2147483647");

    // Reading into a narrower type.
    EXPECT_THROW(t.F("Large")->AsInteger(), rtl::EConvertError);
    EXPECT_THROW(t.F("Flt")->AsInteger(), rtl::EConvertError);
    EXPECT_THROW(t.F("Flt")->AsCurrency(), rtl::EConvertError);
    EXPECT_EQ(t.F("Large")->AsLargeInt(), 5000000000LL);
    // In range: rounded half to even.
    t.F("Int")->SetAsFloat(2.5);
    EXPECT_EQ(t.F("Int")->AsInteger(), 2);
    t.F("Int")->SetAsFloat(-3.5);
    EXPECT_EQ(t.F("Int")->AsInteger(), -4);
    t.F("Word")->SetAsInteger(65535);
    EXPECT_EQ(t.F("Word")->AsInteger(), 65535);
}

TEST(FieldClassRange, MinAndMaxValuesAreEnforced) {
    TOneRow t;
    t.Add(u"Int", ftInteger);
    t.Add(u"Large", ftLargeint);
    t.Add(u"Flt", ftFloat);
    t.Add(u"Money", ftBCD, 2);
    t.Add(u"Dec", ftFMTBcd, 2);
    t.Add(u"Free", ftInteger);
    t.OpenAndEdit();
    auto* i = static_cast<TIntegerField*>(t.F("Int"));
    i->SetMinValue(0);
    i->SetMaxValue(100);
    auto* l = static_cast<TLargeintField*>(t.F("Large"));
    l->SetMinValue(-10);
    l->SetMaxValue(10);
    auto* f = static_cast<TFloatField*>(t.F("Flt"));
    f->SetMinValue(-1.5);
    f->SetMaxValue(1.5);
    auto* m = static_cast<TBCDField*>(t.F("Money"));
    m->SetMaxValue(rtl::IntToCurr(1000));
    auto* d = static_cast<TFMTBCDField*>(t.F("Dec"));
    d->SetMinValue("0");
    d->SetMaxValue("99,99");

    struct Case {
        TField* Field;
        AnsiString Good, Bad, Message;
    };
    const Case cases[] = {
        {i, "100", "150", "150 is not a valid value for field 'Int'. The allowed range is 0 to 100"},
        {i, "0", "-1", "-1 is not a valid value for field 'Int'. The allowed range is 0 to 100"},
        {l, "-10", "11", "11 is not a valid value for field 'Large'. The allowed range is -10 to 10"},
        {f, "1,5", "1,75", "1,75 is not a valid value for field 'Flt'. The allowed range is -1,5 to 1,5"},
        {m, "1000", "1000,01", "1000,01 is not a valid value for field 'Money'. The allowed range is 0 to 1000"},
        {d, "99,99", "100", "100 is not a valid value for field 'Dec'. The allowed range is 0 to 99,99"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Message);
        c.Field->SetAsString(c.Good);
        EXPECT_EQ(MessageOf<EDatabaseError>([&] { c.Field->SetAsString(c.Bad); }), c.Message);
        EXPECT_EQ(c.Field->AsString(), c.Good);
    }
    // A packed decimal must fit the column's digits.
    d->SetMinValue("");
    d->SetMaxValue("");
    d->SetPrecision(5);
    EXPECT_EQ(MessageOf<rtl::EConvertError>([&] { d->SetAsString("1234,5"); }),
              "1234,5 is not a valid value for field 'Dec'. The allowed range is -999,99 to 999,99");
    d->SetAsString("-999,99");
    EXPECT_EQ(d->AsString(), "-999,99");
    // Zero bounds on both sides mean no range.
    t.F("Free")->SetAsInteger(-2000000000);
    EXPECT_EQ(t.F("Free")->AsInteger(), -2000000000);
    // The range also guards variant and float writes.
    EXPECT_THROW(i->SetValue(Variant(101)), EDatabaseError);
    EXPECT_THROW(f->SetAsFloat(-2), EDatabaseError);
}

TEST(FieldClassRanges, DecimalColumnsTakePrecisionFromTheirDefinition) {
    struct Case {
        TFieldType Type;
        int Size, Precision, FieldPrecision;
        const char *Good, *Stored, *Bad, *Message;
    };
    const Case cases[] = {
        {ftBCD, 2, 5, 5, "999,99", "999,99", "1000",
         "1000 is not a valid value for field 'X'. The allowed range is -999,99 to 999,99"},
        {ftBCD, 2, 5, 5, "1,005", "1,01", "-1000,5",
         "-1000,5 is not a valid value for field 'X'. The allowed range is -999,99 to 999,99"},
        {ftBCD, 0, 3, 3, "-999", "-999", "999,5",
         "999,5 is not a valid value for field 'X'. The allowed range is -999 to 999"},
        {ftFMTBcd, 2, 6, 6, "9999,99", "9999,99", "10000",
         "10000 is not a valid value for field 'X'. The allowed range is -9999,99 to 9999,99"},
        {ftFMTBcd, 3, 4, 4, "1,2345", "1,235", "10",
         "10 is not a valid value for field 'X'. The allowed range is -9,999 to 9,999"},
        // Without a precision in the definition the classes keep their own.
        {ftBCD, 2, 0, 0, "123456789,12", "123456789,12", nullptr, nullptr},
        {ftFMTBcd, 2, 0, 15, "1234567890123,45", "1234567890123,45", nullptr, nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(FieldTypeName(c.Type)) + " " + c.Good);
        TOneRow t;
        t.DataSet->FieldDefs().Add(u"X", c.Type, c.Size)->SetPrecision(c.Precision);
        t.OpenAndEdit();
        TField* f = t.F("X");
        int precision =
            c.Type == ftBCD ? static_cast<TBCDField*>(f)->Precision() : static_cast<TFMTBCDField*>(f)->Precision();
        EXPECT_EQ(precision, c.FieldPrecision);
        f->SetAsString(c.Good);
        EXPECT_EQ(f->AsString(), c.Stored);
        if (!c.Bad) continue;
        EXPECT_EQ(MessageOf<rtl::EConvertError>([&] { f->SetAsString(c.Bad); }), c.Message);
        EXPECT_EQ(f->AsString(), c.Stored);
    }
}

TEST(FieldClassVariant, OnValidateReadsTheIncomingValueWithoutSharingIt) {
    TOneRow t;
    t.Add(u"v", ftVariant);
    t.OpenAndEdit();
    TField* f = t.F("v");
    // A long text lives on the heap, so a byte copy of the variant would free it twice.
    const AnsiString text(200, 'x');
    std::vector<Variant> seen;
    f->OnValidate = [&](TField* Sender) {
        seen.push_back(Sender->AsVariant());
        seen.push_back(Variant(Sender->AsString()));
    };
    for (int i = 0; i < 3; ++i) f->SetValue(Variant(text));
    t.DataSet->Post();
    ASSERT_EQ(seen.size(), 6u);
    for (const Variant& v : seen) EXPECT_EQ(v.AsAnsiString(), text);
    EXPECT_EQ(f->AsString(), text);
}

TEST(FieldClassChars, EditorsLetThroughWhatTheClassCanParse) {
    TOneRow t;
    t.Add(u"i", ftInteger);
    t.Add(u"l", ftLargeint);
    t.Add(u"f", ftFloat);
    t.Add(u"c", ftCurrency);
    t.Add(u"b", ftBCD, 2);
    t.Add(u"m", ftFMTBcd, 2);
    t.Add(u"d", ftDate);
    t.Add(u"dt", ftDateTime);
    t.Add(u"s", ftString, 10);
    t.OpenAndEdit();
    struct Case {
        const char* Field;
        const char* Accepted;
        const char* Refused;
    };
    const Case cases[] = {
        {"i", "0123456789+-", ",.eEa $"}, {"l", "0123456789+-", ",.eEa"}, {"f", "0123456789+-,eE", ".a $"},
        {"c", "0123456789+-,eE", ".a"},   {"b", "0123456789+-,", ".eEa"}, {"m", "0123456789+-,", ".eEa"},
        {"d", "0123456789.: a", ""},      {"dt", "0123456789.: ", ""},    {"s", "az09 .\xC0", ""},
    };
    for (const Case& c : cases) {
        TField* f = t.F(c.Field);
        for (const char* p = c.Accepted; *p; ++p) EXPECT_TRUE(f->IsValidChar(*p)) << c.Field << " '" << *p << "'";
        for (const char* p = c.Refused; *p; ++p) EXPECT_FALSE(f->IsValidChar(*p)) << c.Field << " '" << *p << "'";
    }
    // The decimal separator follows the settings.
    rtl::TFormatSettings fs = rtl::TFormatSettings::Default();
    fs.DecimalSeparator = '.';
    rtl::TScopedFormatSettings dot(fs);
    EXPECT_TRUE(t.F("f")->IsValidChar('.'));
    EXPECT_FALSE(t.F("f")->IsValidChar(','));
    // Numbers sit on the right, text on the left.
    EXPECT_EQ(t.F("i")->Alignment(), taRightJustify);
    EXPECT_EQ(t.F("m")->Alignment(), taRightJustify);
    EXPECT_EQ(t.F("s")->Alignment(), taLeftJustify);
    EXPECT_EQ(t.F("d")->Alignment(), taLeftJustify);
}

TEST(FieldClassBlobs, MemoAndBlobValuesRoundTripThroughTheBlobStream) {
    TOneRow t;
    t.Add(u"memo", ftMemo);
    t.Add(u"wmemo", ftWideMemo);
    t.Add(u"blob", ftBlob);
    t.Add(u"pic", ftGraphic);
    t.OpenAndEdit();
    TField* memo = t.F("memo");
    TField* wmemo = t.F("wmemo");
    auto* blob = static_cast<TBlobField*>(t.F("blob"));
    EXPECT_TRUE(memo->IsBlob());
    EXPECT_EQ(memo->DisplayText(), "(Memo)");
    EXPECT_EQ(wmemo->DisplayText(), "(WideMemo)");
    EXPECT_EQ(blob->DisplayText(), "(Blob)");
    EXPECT_TRUE(memo->Value().IsNull());

    const AnsiString text = A(u8"Первая строка\r\nВторая — «кавычки»");
    memo->SetAsString(text);
    wmemo->SetAsWideString(u"Опись № 7\r\nЛист 2");
    const rtl::TBytes bytes = {0, 1, 2, 0xFF, 0, 0x80};
    rtl::TMemoryStream src;
    src.WriteBuffer(bytes.data(), static_cast<int64_t>(bytes.size()));
    blob->LoadFromStream(&src);
    t.DataSet->Post();

    EXPECT_EQ(t.DataSet->StoredBlob(0, 0), text);
    EXPECT_EQ(t.DataSet->StoredBlob(0, 1).size(), WideString(u"Опись № 7\r\nЛист 2").size() * 2);
    EXPECT_EQ(memo->AsString(), text);
    EXPECT_EQ(memo->AsWideString(), rtl::AnsiToWide(text));
    EXPECT_EQ(memo->Value().VType(), rtl::varString);
    EXPECT_EQ(wmemo->AsWideString(), u"Опись № 7\r\nЛист 2");
    EXPECT_EQ(wmemo->AsString(), A(u8"Опись № 7\r\nЛист 2"));
    EXPECT_EQ(wmemo->Value().VType(), rtl::varOleStr);
    EXPECT_EQ(blob->AsBytes(), bytes);
    EXPECT_EQ(blob->BlobSize(), 6);
    EXPECT_TRUE(blob->Value().IsByteArray());
    rtl::TMemoryStream out;
    blob->SaveToStream(&out);
    EXPECT_EQ(out.Size(), 6);
    EXPECT_EQ(memo->DisplayText(), "(MEMO)");
    EXPECT_EQ(wmemo->DisplayText(), "(WIDEMEMO)");

    // A cancelled change leaves the stored value; Clear empties it.
    t.DataSet->Edit();
    memo->SetAsString("x");
    EXPECT_EQ(memo->AsString(), "x");
    t.DataSet->Cancel();
    EXPECT_EQ(memo->AsString(), text);
    t.DataSet->Edit();
    blob->Clear();
    t.F("pic")->SetValue(Variant::FromBytes(rtl::TBytes{7, 8}));
    t.DataSet->Post();
    EXPECT_TRUE(blob->IsNull());
    EXPECT_EQ(t.F("pic")->DisplayText(), "(GRAPHIC)");
    // Writing outside an edit is refused by the dataset.
    EXPECT_THROW(memo->SetAsString("y"), EDatabaseError);
    EXPECT_EQ(memo->AsString(), text);
}

TEST(FieldClassBinary, BytesAndVarBytesKeepTheirLengthsAndRefuseOverflow) {
    TOneRow t;
    t.Add(u"fixed", ftBytes, 4);
    t.Add(u"var", ftVarBytes, 4);
    t.OpenAndEdit();
    auto* fixed = static_cast<TBinaryField*>(t.F("fixed"));
    auto* var = static_cast<TBinaryField*>(t.F("var"));
    fixed->SetAsBytes({1, 2});
    var->SetAsBytes({1, 2});
    EXPECT_EQ(fixed->AsBytes(), (rtl::TBytes{1, 2, 0, 0}));
    EXPECT_EQ(var->AsBytes(), (rtl::TBytes{1, 2}));
    var->SetValue(Variant::FromBytes(rtl::TBytes{9, 8, 7, 6}));
    EXPECT_EQ(var->AsBytes(), (rtl::TBytes{9, 8, 7, 6}));
    EXPECT_EQ(MessageOf<EDatabaseError>([&] {
                  var->SetAsBytes({1, 2, 3, 4, 5});
              }),
              "Invalid variant type or size for field 'var'");
    EXPECT_EQ(var->AsBytes(), (rtl::TBytes{9, 8, 7, 6}));
    EXPECT_THROW(fixed->SetValue(Variant(1.5)), EDatabaseError);
}

TEST(FieldClassBinary, VarBytesLongerThanTheLengthWordAreRefused) {
    TOneRow t;
    t.Add(u"var", ftVarBytes, 70000);
    t.OpenAndEdit();
    auto* var = static_cast<TBinaryField*>(t.F("var"));
    const rtl::TBytes most(0xFFFF, 7);
    var->SetAsBytes(most);
    // One byte more would wrap the stored length to 0 and lose the whole value.
    EXPECT_EQ(MessageOf<EDatabaseError>([&] { var->SetAsBytes(rtl::TBytes(0x10000, 8)); }),
              "Invalid variant type or size for field 'var'");
    EXPECT_EQ(var->AsBytes(), most);
}

TEST(FieldClassVariant, VariantFieldsKeepTheValueType) {
    TOneRow t;
    t.Add(u"v", ftVariant);
    t.OpenAndEdit();
    TField* v = t.F("v");
    EXPECT_TRUE(v->IsNull());
    v->SetValue(Variant(A(u8"Текст")));
    EXPECT_EQ(v->Value().VType(), rtl::varString);
    v->SetAsInteger(42);
    t.DataSet->Post();
    EXPECT_EQ(v->Value().VType(), rtl::varInteger);
    EXPECT_EQ(v->AsString(), "42");
}

TEST(FieldClassObjects, ObjectFieldsShowTheirTypeName) {
    TOneRow t;
    t.Add(u"a", ftADT);
    t.Add(u"r", ftArray);
    t.OpenAndEdit();
    EXPECT_EQ(t.F("a")->DisplayText(), "(ADT)");
    EXPECT_EQ(t.F("r")->DisplayText(), "(Array)");
    EXPECT_THROW(t.F("a")->AsInteger(), EDatabaseError);
}

}  // namespace
}  // namespace fieldtest
