// Field values of the record store: external forms, variants, nulls, trimming and blobs.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "data/store/DAConsts.h"
#include "framework/rtl/DateUtils.h"
#include "framework/rtl/SysUtils.h"
#include "framework/rtl/Text.h"
#include "tests/store/memdata_store_fixture.h"

using namespace storetest;
using rtl::Variant;

namespace {

std::vector<TColumn> AllColumns() {
    return {
        {u"I8", mdtInt8, 1},
        {u"I16", mdtInt16, 2},
        {u"I32", mdtInt32, 4},
        {u"I64", mdtInt64, 8},
        {u"U16", mdtUInt16, 2},
        {u"U32", mdtUInt32, 4},
        {u"F", mdtFloat, 8, 0, false, 2},
        {u"B", mdtBoolean, 2},
        {u"S", mdtString, 11, 10},
        {u"XS", mdtExtString, 8, 10},
        {u"W", mdtWideString, 22, 10},
        {u"XW", mdtExtWideString, 8, 10},
        {u"D", mdtDate, 8},
        {u"T", mdtTime, 8},
        {u"DT", mdtDateTime, 8},
        {u"BCD", mdtBCD, 8},
        {u"M", mdtMemo, 8},
        {u"BL", mdtBlob, 8},
        {u"V", mdtVariant, 8},
        {u"U8", mdtUInt8, 1},
        {u"FS", mdtString, 11, 10, true},
    };
}

class StoreValues : public ::testing::Test {
protected:
    StoreValues() : data(AllColumns()) { data.OpenStore(); }
    int No(const char16_t* name) { return data.FieldByName(name)->FieldNo; }
    TTestStore data;
};

TEST_F(StoreValues, VariantsRoundTripThroughEveryType) {
    const double when = rtl::EncodeDateTime(2014, 2, 1, 13, 45, 30, 250);
    struct Case {
        const char16_t* field;
        Variant in;
        Variant expected;
    } cases[] = {
        {u"I8", Variant(static_cast<signed char>(-7)), Variant(static_cast<signed char>(-7))},
        {u"U8", Variant(200), Variant(static_cast<unsigned char>(200))},
        {u"I16", Variant(static_cast<short>(-300)), Variant(static_cast<short>(-300))},
        {u"I32", Variant(123456), Variant(123456)},
        {u"I32", Variant(2.6), Variant(3)},
        {u"I32", Variant("-42"), Variant(-42)},
        {u"I64", Variant(static_cast<int64_t>(1) << 40), Variant(static_cast<int64_t>(1) << 40)},
        {u"U16", Variant(65535), Variant(static_cast<unsigned short>(65535))},
        {u"U32", Variant(4000000000u), Variant(4000000000u)},
        {u"F", Variant(1.25), Variant(1.25)},
        {u"B", Variant(true), Variant(true)},
        {u"S", Variant("abc"), Variant("abc")},
        {u"S", Variant("0123456789XYZ"), Variant("0123456789")},
        {u"XS", Variant("heap text"), Variant("heap text")},
        {u"W", Variant(u"wide"), Variant(u"wide")},
        {u"XW", Variant(u"ext wide"), Variant(u"ext wide")},
        {u"DT", Variant::FromDate(when), Variant::FromDate(when)},
        {u"D", Variant::FromDate(std::floor(when)), Variant::FromDate(std::floor(when))},
        {u"T", Variant::FromDate(0.25), Variant::FromDate(0.25)},
        {u"BCD", Variant(rtl::Currency::FromScaled(12345)), Variant(rtl::Currency::FromScaled(12345))},
        {u"M", Variant("memo text"), Variant("memo text")},
        {u"V", Variant(u"any"), Variant(u"any")},
    };
    TBuf buf(data);
    for (const Case& c : cases) {
        SCOPED_TRACE(rtl::WideToAnsi(c.field));
        data.PutFieldAsVariant(No(c.field), buf.get(), c.in);
        Variant out = data.GetFieldValue(No(c.field), buf.get());
        EXPECT_EQ(out.VType(), c.expected.VType());
        EXPECT_TRUE(rtl::VarSameValue(out, c.expected)) << rtl::VarToStr(out);
    }
    data.FreeComplexFields(buf.get(), true);
}

// A date-time field read as a variant must give back the stored moment, and date and time fields
// their date and time parts, however the value was written.
TEST_F(StoreValues, DateVariantsComeFromTheStoredValue) {
    const double when = rtl::EncodeDateTime(1995, 7, 14, 6, 30, 0, 0);
    TBuf buf(data);
    struct Case {
        const char16_t* field;
        double expected;
    } cases[] = {{u"DT", when}, {u"D", std::floor(when)}, {u"T", when - std::floor(when)}};
    for (const Case& c : cases) {
        SCOPED_TRACE(rtl::WideToAnsi(c.field));
        data.PutFieldAsVariant(No(c.field), buf.get(), Variant::FromDate(when));
        Variant v = data.GetFieldValue(No(c.field), buf.get());
        EXPECT_EQ(v.VType(), rtl::varDate);
        EXPECT_NEAR(v.AsDouble(), c.expected, 1e-8);
    }
}

TEST_F(StoreValues, ExternalDateFormsFollowTheTimeStamp) {
    const double when = rtl::EncodeDateTime(2000, 1, 2, 0, 0, 1, 500);
    TBuf buf(data);
    for (const char16_t* f : {u"D", u"T", u"DT"}) data.PutFieldAsVariant(No(f), buf.get(), Variant::FromDate(when));
    bool blank = true;
    int32_t day = 0, ms = 0;
    double msecs = 0;
    data.GetField(No(u"D"), buf.get(), &day, blank);
    EXPECT_FALSE(blank);
    EXPECT_EQ(day, rtl::DateTimeToTimeStamp(when).Date);
    data.GetField(No(u"T"), buf.get(), &ms, blank);
    EXPECT_EQ(ms, 1500);
    data.GetField(No(u"DT"), buf.get(), &msecs, blank);
    EXPECT_EQ(msecs, static_cast<double>(rtl::TimeStampToMSecs(rtl::DateTimeToTimeStamp(when))));
    // And back: the external form written is the moment read.
    data.PutField(No(u"DT"), buf.get(), &msecs);
    EXPECT_NEAR(data.GetFieldValue(No(u"DT"), buf.get()).AsDouble(), when, 1e-8);
    int32_t badDay = 0;
    EXPECT_THROW(data.PutField(No(u"D"), buf.get(), &badDay), rtl::EConvertError);
}

// Values that do not fit the slot are refused instead of being cut to its width.
TEST_F(StoreValues, NarrowingConversionsAreRefused) {
    struct Case {
        const char16_t* field;
        Variant value;
    } cases[] = {
        {u"I8", Variant(200)},
        {u"U8", Variant(-1)},
        {u"U8", Variant(256)},
        {u"I16", Variant(40000)},
        {u"U16", Variant(-1)},
        {u"U16", Variant(70000)},
        {u"I32", Variant(static_cast<int64_t>(3000000000LL))},
        {u"I32", Variant(1e12)},
    };
    TBuf buf(data);
    data.PutFieldAsVariant(No(u"I32"), buf.get(), Variant(77));
    for (const Case& c : cases) {
        SCOPED_TRACE(rtl::WideToAnsi(c.field));
        EXPECT_THROW(data.PutFieldAsVariant(No(c.field), buf.get(), c.value), rtl::EConvertError);
    }
    EXPECT_EQ(data.GetFieldValue(No(u"I32"), buf.get()).AsInteger(), 77);
    uint64_t big = 1ull << 32;
    EXPECT_THROW(data.PutField(No(u"U32"), buf.get(), &big), rtl::EConvertError);
}

TEST_F(StoreValues, VariantTypesTheSlotDoesNotTakeAreRejected) {
    struct Case {
        const char16_t* field;
        Variant value;
    } cases[] = {
        {u"I64", Variant(5)}, {u"I16", Variant(1.5)}, {u"B", Variant(1)}, {u"U32", Variant(5)}, {u"F", Variant(true)},
    };
    TBuf buf(data);
    for (const Case& c : cases) {
        SCOPED_TRACE(rtl::WideToAnsi(c.field));
        try {
            data.PutFieldAsVariant(No(c.field), buf.get(), c.value);
            ADD_FAILURE() << "accepted";
        } catch (const rtl::EConvertError& e) {
            EXPECT_STREQ(e.what(), "Cannot convert type");
        }
    }
    try {
        Variant v;
        data.GetFieldAsVariant(data.FieldByName(u"BL"), buf.get(), v);
        ADD_FAILURE() << "blob read as variant";
    } catch (const rtl::EConvertError& e) {
        EXPECT_STREQ(e.what(), "Cannot convert type 13");
    }
    data.FreeComplexFields(buf.get(), true);
}

TEST_F(StoreValues, FloatIsRoundedToScaleUnlessAskedNotTo) {
    TBuf buf(data);
    data.PutFieldAsVariant(No(u"F"), buf.get(), Variant(2.0 / 3.0));
    EXPECT_DOUBLE_EQ(data.GetFieldValue(No(u"F"), buf.get()).AsDouble(), 0.67);
    data.PutFieldAsVariant(No(u"F"), buf.get(), Variant(2.0 / 3.0), true);
    EXPECT_DOUBLE_EQ(data.GetFieldValue(No(u"F"), buf.get()).AsDouble(), 2.0 / 3.0);
    data.PutFieldAsVariant(No(u"F"), buf.get(), Variant(7));
    EXPECT_DOUBLE_EQ(data.GetFieldValue(No(u"F"), buf.get()).AsDouble(), 7.0);
}

TEST_F(StoreValues, EmptyTextAndTrailingBlanks) {
    TBuf buf(data);
    const char empty[] = "";
    for (bool toNull : {false, true}) {
        data.SetEmptyStrToNull = toNull;
        for (const char16_t* f : {u"S", u"XS"}) {
            data.PutField(No(f), buf.get(), empty);
            EXPECT_EQ(data.GetNull(No(f), buf.get()), toNull) << rtl::WideToAnsi(f);
        }
    }
    data.SetEmptyStrToNull = false;
    const char padded[] = "ab   ";
    char out[11];
    bool blank;
    struct Case {
        const char16_t* field;
        bool trimFixed, trimVar;
        const char* expected;
    } cases[] = {
        {u"FS", true, false, "ab"},   {u"FS", false, true, "ab   "}, {u"S", false, true, "ab"},
        {u"S", true, false, "ab   "}, {u"XS", false, true, "ab"},
    };
    for (const Case& c : cases) {
        data.TrimFixedChar = c.trimFixed;
        data.TrimVarChar = c.trimVar;
        std::memset(out, 'Z', sizeof out);
        data.PutField(No(c.field), buf.get(), padded);
        data.GetField(No(c.field), buf.get(), out, blank);
        EXPECT_STREQ(out, c.expected) << rtl::WideToAnsi(c.field);
        EXPECT_EQ(rtl::VarToStr(data.GetFieldValue(No(c.field), buf.get())), c.expected);
    }
    data.FreeComplexFields(buf.get(), true);
}

TEST_F(StoreValues, NullsAndFieldNumbers) {
    TBuf buf(data);
    EXPECT_TRUE(data.GetNull(No(u"I32"), buf.get()));
    EXPECT_TRUE(data.GetFieldValue(No(u"I32"), buf.get()).IsNull());
    int v = 5;
    data.PutField(No(u"I32"), buf.get(), &v);
    EXPECT_FALSE(data.GetNull(No(u"I32"), buf.get()));
    data.PutField(No(u"I32"), buf.get(), nullptr);
    EXPECT_TRUE(data.GetNull(No(u"I32"), buf.get()));
    bool blank;
    EXPECT_THROW(data.GetField(0, buf.get(), &v, blank), rtl::EAssertionFailed);
    EXPECT_THROW(data.GetField(data.FieldCount() + 1, buf.get(), &v, blank), rtl::EAssertionFailed);
    data.FreeComplexFields(buf.get(), true);
}

TEST_F(StoreValues, BlobNullFlagAndTextForms) {
    TBuf buf(data);
    int memo = No(u"M");
    EXPECT_TRUE(data.GetNull(memo, buf.get()));
    data.GetBlob(memo, buf.get())->SetAsAnsiString("hello");
    // Contents win over a stale null flag, and the flag is corrected.
    EXPECT_FALSE(data.GetNull(memo, buf.get()));
    EXPECT_EQ(data.GetBlobSize(memo, buf.get(), false, false), 5);
    EXPECT_EQ(data.GetBlobSize(memo, buf.get(), true, false), 10);
    char16_t wide[8] = {};
    EXPECT_EQ(data.ReadBlob(memo, buf.get(), true, false, wide, 0, 0), 10);
    EXPECT_EQ(std::u16string(wide), u"hello");
    const char16_t more[] = u"!!";
    data.WriteBlob(memo, buf.get(), true, more, 4, 10);
    EXPECT_EQ(data.GetBlob(memo, buf.get())->GetAsAnsiString(), "hello!!");
    data.SetNull(memo, buf.get(), true);
    EXPECT_TRUE(data.GetBlob(memo, buf.get())->IsEmpty());
    EXPECT_THROW(data.GetBlob(No(u"I32"), buf.get()), rtl::Exception);
    data.FreeComplexFields(buf.get(), true);
}

TEST_F(StoreValues, MemosAreStoredPlainAndCompressedOnesFromElsewhereAreExpanded) {
    const std::string text(3000, 'w');
    for (const char16_t* name : {u"M", u"BL"}) {
        SCOPED_TRACE(rtl::WideToAnsi(name));
        const int field = No(name);
        TBuf row(data);
        data.PutFieldAsVariant(field, row.get(), Variant(text));
        auto* blob = dynamic_cast<TCompressedBlob*>(data.GetBlob(field, row.get()));
        ASSERT_NE(blob, nullptr);
        EXPECT_FALSE(blob->IsCompressed());
        data.WriteBlob(field, row.get(), false, text.data(), static_cast<int64_t>(text.size()), 0);
        EXPECT_FALSE(blob->IsCompressed());

        // Bytes in the compressed format, as another client stores them, read as the plain text.
        ASSERT_TRUE(blob->SetCompressed(true));
        auto* contents = static_cast<TCompressedBlobData*>(blob->GetData());
        std::string raw(static_cast<size_t>(contents->GetCompressedSize()), '\0');
        contents->TCRBlobData::Read(0, 0, raw.data());
        contents->TCRBlobData::Clear();
        contents->TCRBlobData::Write(0, static_cast<int64_t>(raw.size()), raw.data());
        ASSERT_TRUE(blob->IsCompressed());
        EXPECT_EQ(data.GetBlobSize(field, row.get(), false, false), 3000);
        EXPECT_EQ(data.GetBlob(field, row.get())->GetAsAnsiString(), text);
        std::string back(3000, '\0');
        EXPECT_EQ(data.ReadBlob(field, row.get(), false, false, back.data(), 0, 0), 3000);
        EXPECT_EQ(back, text);
        // An edit of the value writes it plainly.
        data.PutFieldAsVariant(field, row.get(), Variant(text + "!"));
        EXPECT_FALSE(blob->IsCompressed());
        EXPECT_EQ(data.GetBlob(field, row.get())->GetAsAnsiString(), text + "!");
    }
}

TEST_F(StoreValues, EditRecordGivesTheStoreItsOwnHeapValues) {
    TBuf row(data);
    data.PutFieldAsVariant(No(u"XS"), row.get(), Variant("first"));
    data.PutFieldAsVariant(No(u"V"), row.get(), Variant(1));
    data.AppendRecord(row.get());
    row.HandOver();

    TBuf edit(data, false);
    data.GetRecord(edit.get());
    data.EditRecord(edit.get());
    data.PutFieldAsVariant(No(u"XS"), edit.get(), Variant("second"));
    data.PutFieldAsVariant(No(u"V"), edit.get(), Variant(2));
    TBuf stored(data, false);
    data.GetRecord(stored.get());
    EXPECT_EQ(rtl::VarToStr(data.GetFieldValue(No(u"XS"), stored.get())), "first");
    EXPECT_EQ(data.GetFieldValue(No(u"V"), stored.get()).AsInteger(), 1);

    data.PostRecord(edit.get());
    data.GetRecord(stored.get());
    EXPECT_EQ(rtl::VarToStr(data.GetFieldValue(No(u"XS"), stored.get())), "second");
    EXPECT_EQ(data.GetFieldValue(No(u"V"), stored.get()).AsInteger(), 2);
}

TEST(StoreOpen, CloseAndBookmarkOrder) {
    TTestStore data(IdNameColumns());
    data.OpenStore();
    EXPECT_TRUE(data.Active());
    EXPECT_EQ(data.FieldCount(), 2);
    data.Close();
    EXPECT_FALSE(data.Active());
    EXPECT_EQ(data.FieldCount(), 0);

    TRecBookmark b;
    b.Order = 3;
    EXPECT_EQ(data.TData::CompareBookmarks(nullptr, &b), 1);
    EXPECT_EQ(data.TData::CompareBookmarks(&b, nullptr), -1);
    EXPECT_EQ(data.TData::CompareBookmarks(nullptr, nullptr), 0);
}

TEST(StoreOpen, FilterTextThatCannotBeParsedLeavesNoExpression) {
    TTestStore data(IdNameColumns());
    data.OpenStore();
    data.SetFilterText("   ");
    EXPECT_FALSE(data.HasFilter());
    EXPECT_THROW(data.SetFilterText("ID = = 1"), rtl::Exception);
    EXPECT_EQ(data.FilterText(), "   ");
    EXPECT_EQ(data.FilterExpression(), nullptr);
}

}  // namespace

// A var-bytes value whose length word claims more than the field holds would make every later read
// run past the record; it is refused and the stored value stays.
TEST(StoreVarBytes, LengthWordBeyondTheFieldIsRefused) {
    TTestStore data({{u"ID", mdtInt32, 4}, {u"VB", mdtVarBytes, 6, 4}, {u"AFTER", mdtInt32, 4}});
    data.OpenStore();
    TBuf buf(data);
    uint8_t good[6] = {3, 0, 'a', 'b', 'c', 0};
    data.PutField(2, buf.get(), good);
    data.PutFieldAsVariant(3, buf.get(), Variant(-1));
    for (const uint16_t claimed : {uint16_t(5), uint16_t(0xFFFF)}) {
        uint8_t bad[6] = {0, 0, 'x', 'y', 'z', 'w'};
        std::memcpy(bad, &claimed, 2);
        EXPECT_THROW(data.PutField(2, buf.get(), bad), rtl::EAssertionFailed) << claimed;
    }
    const Variant v = data.GetFieldValue(2, buf.get());
    ASSERT_TRUE(v.IsByteArray());
    EXPECT_EQ(*v.BytesData(), (TBytes{'a', 'b', 'c'}));
    // The full length is taken as it is.
    uint8_t full[6] = {4, 0, 1, 2, 3, 4};
    data.PutField(2, buf.get(), full);
    EXPECT_EQ(*data.GetFieldValue(2, buf.get()).BytesData(), (TBytes{1, 2, 3, 4}));
    EXPECT_EQ(data.GetFieldValue(3, buf.get()).AsInteger(), -1);
}
