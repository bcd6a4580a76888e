// Local sorting by IndexFieldNames and the value comparisons behind it.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include <cstring>
#include <random>

#include "data/store/DAConsts.h"
#include "data/store/MemData_Store.h"
#include "framework/rtl/SysUtils.h"
#include "memdata_sortfilter_fixture.h"

using namespace sortfiltertest;
using rtl::Variant;

namespace {

std::vector<TCol> SortCols() {
    return {{u"ID", mdtInt32, 4}, {u"NAME", mdtString, 31, 30}, {u"VAL", mdtInt32, 4}, {u"MY NAME", mdtString, 11, 10}};
}

// Ties on NAME (1 and 7), case pairs, a null, digits, Latin and Cyrillic.
void FillNames(TStore& s) {
    s.Add({1, V(u8"бета"), 2, V(u8"x")});
    s.Add({2, V(u8"Альфа"), 1, V(u8"c")});
    s.Add({3, V(u8"альфа"), 2, V(u8"a")});
    s.Add({4, Variant::Null(), 1, V(u8"b")});
    s.Add({5, V(u8"Beta"), 2, V(u8"b")});
    s.Add({6, V(u8"alpha"), 1, V(u8"a")});
    s.Add({7, V(u8"бета"), 2, V(u8"c")});
    s.Add({8, V(u8"10"), 1, V(u8"a")});
}

struct TSortCase {
    const char* IndexFieldNames;
    std::vector<int> Ids;
};

}  // namespace

TEST(MemDataSort, IndexFieldNamesOrders) {
    const TSortCase cases[] = {
        // Nulls first ascending; digits, Latin, Cyrillic; lower case before upper case; ties keep order.
        {"NAME", {4, 8, 6, 5, 3, 2, 1, 7}},
        {"Name ASC", {4, 8, 6, 5, 3, 2, 1, 7}},
        {"name asc", {4, 8, 6, 5, 3, 2, 1, 7}},
        {"NAME CS", {4, 8, 6, 5, 3, 2, 1, 7}},
        // Descending puts nulls last and still keeps ties in their order.
        {"NAME DESC", {1, 7, 2, 3, 5, 6, 8, 4}},
        // Case-insensitive: Альфа and альфа tie.
        {"NAME CIS", {4, 8, 6, 5, 2, 3, 1, 7}},
        {"Name DESC CIS", {1, 7, 2, 3, 5, 6, 8, 4}},
        {"Name CIS DESC", {1, 7, 2, 3, 5, 6, 8, 4}},
        // Binary: code page byte order.
        {"NAME BIN", {4, 8, 5, 6, 2, 3, 1, 7}},
        // Several fields, separators and empty entries.
        {"VAL;NAME", {4, 8, 6, 2, 5, 3, 1, 7}},
        {"VAL DESC, NAME DESC", {1, 7, 3, 5, 2, 6, 8, 4}},
        {"VAL;;ID DESC", {8, 6, 4, 2, 7, 5, 3, 1}},
        {",VAL", {2, 4, 6, 8, 1, 3, 5, 7}},
        // A name with a blank in brackets, a name as a string literal.
        {"[MY NAME];ID", {3, 6, 8, 4, 5, 2, 7, 1}},
        {"[MY NAME] DESC;ID", {1, 2, 7, 4, 5, 3, 6, 8}},
        {"'MY NAME', ID DESC", {8, 6, 3, 5, 4, 7, 2, 1}},
        {"  ", {1, 2, 3, 4, 5, 6, 7, 8}},
    };
    for (const TSortCase& c : cases) {
        TStore s(SortCols());
        FillNames(s);
        s.SetIndexFieldNames(c.IndexFieldNames);
        EXPECT_EQ(s.Ids(), c.Ids) << c.IndexFieldNames;
        // Record numbers follow the new order.
        s.SetRecordNo(3);
        EXPECT_EQ(s.GetRecordNo(), 3) << c.IndexFieldNames;
    }
}

TEST(MemDataSort, MalformedIndexFieldNamesKeepThePreviousOrder) {
    const std::pair<const char*, const char*> cases[] = {
        {"NAME ASC DESC", SInvalidIndexFieldNames},
        {"NAME CIS BIN", SInvalidIndexFieldNames},
        {"NAME XYZ", SInvalidIndexFieldNames},
        {"NAME 5", SInvalidIndexFieldNames},
        {"NAME = ID", SInvalidIndexFieldNames},
        {"ID AND NAME", SInvalidIndexFieldNames},
        // A field named like a filter keyword cannot be named plainly.
        {"NOT", SInvalidIndexFieldNames},
        {"ID; 12", SInvalidIndexFieldNames},
        {"NOPE", "Field NOPE not found"},
        {"ID, [NO SUCH]", "Field NO SUCH not found"},
    };
    for (const auto& [text, message] : cases) {
        TStore s(SortCols());
        FillNames(s);
        s.SetIndexFieldNames("ID DESC");
        try {
            s.SetIndexFieldNames(text);
            ADD_FAILURE() << text << " was accepted";
        } catch (const rtl::Exception& e) {
            EXPECT_EQ(e.Message(), message) << text;
        }
        EXPECT_EQ(s.IndexFieldNames(), text);
        ASSERT_EQ(s.SortColumns().size(), 1u) << text;
        EXPECT_TRUE(s.SortColumns()[0].DescendingOrder);
        EXPECT_EQ(s.Ids(), (std::vector<int>{8, 7, 6, 5, 4, 3, 2, 1})) << text;
    }
}

TEST(MemDataSort, ParsedColumnsCarryOrderAndType) {
    TStore s(SortCols());
    s.SetIndexFieldNames("name desc bin; [MY NAME] CIS ;ID");
    const TSortColumns& c = s.SortColumns();
    ASSERT_EQ(c.size(), 3u);
    EXPECT_EQ(c[0].FieldDesc->Name, u"NAME");
    EXPECT_TRUE(c[0].DescendingOrder);
    EXPECT_EQ(c[0].SortType, stBinary);
    EXPECT_EQ(c[1].FieldDesc->Name, u"MY NAME");
    EXPECT_FALSE(c[1].DescendingOrder);
    EXPECT_EQ(c[1].SortType, stCaseInsensitive);
    EXPECT_EQ(c[2].SortType, stCaseSensitive);
}

TEST(MemDataSort, ManyTiesKeepTheirOrderBothWays) {
    TStore s({{u"ID", mdtInt32, 4}, {u"GRP", mdtInt32, 4}, {u"TXT", mdtString, 11, 10}});
    for (int i = 1; i <= 300; ++i) s.Add({i, i % 3, Variant(AnsiString(i % 2 ? "same" : "SAME"))});
    for (const char* text : {"GRP", "GRP DESC", "TXT CIS", "TXT CIS DESC"}) {
        // Ties keep the order the rows had before: start each time from ID order.
        s.SetIndexFieldNames("ID");
        s.SetIndexFieldNames(text);
        std::vector<int> ids = s.Ids();
        ASSERT_EQ(ids.size(), 300u);
        for (size_t i = 1; i < ids.size(); ++i) {
            const bool sameGroup = std::strncmp(text, "GRP", 3) == 0 ? ids[i] % 3 == ids[i - 1] % 3 : true;
            if (sameGroup) {
                EXPECT_LT(ids[i - 1], ids[i]) << text << " at " << i;
            }
        }
    }
}

TEST(MemDataSort, NumberColumnWithNullsAndHiddenRows) {
    TStore s({{u"ID", mdtInt32, 4}, {u"GRP", mdtInt64, 8}});
    auto group = [](int id) { return id % 5 == 0 ? -1 : id % 3; };  // -1: null
    for (int i = 1; i <= 60; ++i) s.Add({i, group(i) < 0 ? Variant::Null() : Variant(int64_t{group(i)})});
    auto expected = [&](bool desc, int minId) {
        std::vector<int> ids;
        for (int i = minId; i <= 60; ++i) ids.push_back(i);
        // Nulls first ascending and last descending; ties in ID order either way.
        std::stable_sort(ids.begin(), ids.end(),
                         [&](int a, int b) { return desc ? group(a) > group(b) : group(a) < group(b); });
        return ids;
    };
    for (const bool desc : {false, true}) {
        s.SetIndexFieldNames("ID");
        s.SetIndexFieldNames(desc ? "GRP DESC" : "GRP");
        EXPECT_EQ(s.Ids(), expected(desc, 1)) << desc;
        // Sorting again from the sorted order changes nothing.
        s.SetIndexFieldNames(desc ? "GRP DESC" : "GRP");
        EXPECT_EQ(s.Ids(), expected(desc, 1)) << desc;
    }

    // Hidden rows are sorted along but not numbered; they come back in their place.
    s.SetIndexFieldNames("ID");
    s.SetFilterText("ID > 30");
    s.FilterUpdated();
    s.SetIndexFieldNames("GRP DESC");
    const std::vector<int> visible = expected(true, 31);
    EXPECT_EQ(s.Ids(), visible);
    EXPECT_EQ(s.GetRecordCount(), 30);
    s.SetRecordNo(7);
    EXPECT_EQ(s.GetFieldValue(1, TBlockManager::RecordOf(s.CurrentItem())).AsInteger(), visible[6]);
    s.SetFilterText("");
    s.FilterUpdated();
    EXPECT_EQ(s.Ids(), expected(true, 1));
}

// The full sort builds keys once per row; inserting and updating single rows compares records.
// Both must give one order, for every kind of key.
TEST(MemDataSort, FullSortAgreesWithRecordComparison) {
    TStore s({{u"ID", mdtInt32, 4},
              {u"S", mdtString, 9, 8},
              {u"W", mdtWideString, 18, 8},
              {u"F", mdtFloat, 8},
              {u"D", mdtDateTime, 8},
              {u"I8", mdtInt8, 1},
              {u"B", mdtBoolean, 2},
              {u"E", mdtExtString, 8},
              {u"C", mdtBCD, 8},
              {u"U", mdtUInt32, 4}});
    std::mt19937 rnd(7);
    const char* pieces[] = {"a", "A", "b", "\xE0", "\xC0", "\xE1", "1", " ", "z"};
    auto text = [&] {
        AnsiString t;
        for (int n = static_cast<int>(rnd() % 4); n >= 0; --n) t += pieces[rnd() % 9];
        return t;
    };
    for (int i = 1; i <= 120; ++i) {
        auto maybe = [&](Variant v) { return rnd() % 6 == 0 ? Variant::Null() : v; };
        s.Add({i, maybe(Variant(text())), maybe(Variant(rtl::AnsiToWide(text()))),
               maybe(Variant(static_cast<double>(static_cast<int>(rnd() % 7) - 3) / 2)),
               maybe(Variant::FromDate(40000.0 + rnd() % 5 + (rnd() % 3) / 4.0)),
               maybe(Variant(static_cast<int>(rnd() % 5) - 2)), maybe(Variant(rnd() % 2 == 0)), maybe(Variant(text())),
               maybe(Variant(rtl::Currency::FromScaled(static_cast<int64_t>(rnd() % 5) * 5000))),
               maybe(Variant(static_cast<unsigned>(rnd() % 4) * 1000000000u))});
    }
    const char* orders[] = {"S",         "S CIS DESC", "S BIN", "W",      "W CIS", "W BIN DESC",
                            "F DESC",    "D",          "I8;S",  "B;F",    "E CIS", "E BIN",
                            "C DESC;ID", "U;S DESC",   "I8",    "U DESC", "F",     "D DESC"};
    for (const char* order : orders) {
        s.SetIndexFieldNames(order);
        std::vector<void*> recs = s.Records();
        ASSERT_EQ(recs.size(), 120u);
        for (size_t i = 1; i < recs.size(); ++i)
            EXPECT_LE(s.CompareRecords(recs[i - 1], recs[i]), 0) << order << " at " << i;
    }
}

TEST(MemDataSort, UpdatedRowMovesToItsPlace) {
    TStore s(SortCols());
    for (int i = 1; i <= 5; ++i) s.Add({i, Variant(AnsiString(1, static_cast<char>('a' + i))), 0, Variant::Null()});
    s.SetIndexFieldNames("NAME");
    s.SetRecordNo(2);  // ID 2, "c"
    void* buf = s.AllocRecBuf();
    s.GetRecord(buf);
    s.PutFieldAsVariant(2, buf, Variant(AnsiString("z")));
    s.UpdateRecord(buf);
    s.FreeRecBuf(buf);
    EXPECT_EQ(s.Ids(), (std::vector<int>{1, 3, 4, 5, 2}));
    EXPECT_EQ(s.GetRecordCount(), 5);
}

TEST(MemDataSort, CalculatedAreaFieldIsComputedForTheComparison) {
    TStore s({{u"ID", mdtInt32, 4}, {u"CALC", mdtInt32, 4, 0, false, 0, fdkCalculatedArea}});
    ASSERT_GT(s.CalcRecordSize(), 0);
    int calls = 0;
    s.CalcRecordEvent = [&](void* target, const void* source) {
        ++calls;
        const int id = s.GetFieldValue(1, source).AsInteger();
        s.PutFieldAsVariant(2, target, Variant((id % 3) * 100 - id));
    };
    for (int i = 1; i <= 7; ++i) s.Add({i});
    s.SetIndexFieldNames("CALC");
    // Keys 99, 198, -3, 96, 195, -6, 93.
    EXPECT_EQ(s.Ids(), (std::vector<int>{6, 3, 7, 4, 1, 5, 2}));
    EXPECT_EQ(calls, 7);  // once per row for the whole sort
    s.SetRecordNo(1);
    s.Add({8});  // key 192: between 1 and 5
    EXPECT_EQ(s.Ids(), (std::vector<int>{6, 3, 7, 4, 1, 8, 5, 2}));
}

// ---------------------------------------------------------------------------------------------
// Value comparison
// ---------------------------------------------------------------------------------------------

namespace {

class ValueCompare : public ::testing::Test {
protected:
    ValueCompare()
        : s({{u"S", mdtString, 21, 20},
             {u"FX", mdtString, 21, 20, true},
             {u"W", mdtWideString, 42, 20},
             {u"I16", mdtInt16, 2},
             {u"U32", mdtUInt32, 4},
             {u"I64", mdtInt64, 8},
             {u"F", mdtFloat, 8},
             {u"B", mdtBoolean, 2},
             {u"BY", mdtBytes, 4, 4},
             {u"VB", mdtVarBytes, 8, 6},
             {u"C", mdtBCD, 8},
             {u"G", mdtGuid, 39, 38},
             {u"V", mdtVariant, 8},
             {u"D", mdtDate, 8}}) {
        rec = s.AllocRecBuf();
        s.InitRecord(rec);
        s.CreateComplexFields(rec, true);
        s.PutFieldAsVariant(1, rec, Variant(A(u8"Текст")));
        s.PutFieldAsVariant(2, rec, Variant(AnsiString("ab  ")));
        s.PutFieldAsVariant(3, rec, Variant(rtl::UTF8ToWide("Широкий")));
        s.PutFieldAsVariant(4, rec, Variant(static_cast<short>(-7)));
        s.PutFieldAsVariant(5, rec, Variant(4000000000u));
        s.PutFieldAsVariant(6, rec, Variant(static_cast<long long>(1) << 40));
        s.PutFieldAsVariant(7, rec, Variant(2.5));
        s.PutFieldAsVariant(8, rec, Variant(true));
        s.PutFieldAsVariant(9, rec, Variant::FromBytes(reinterpret_cast<const uint8_t*>("\x01\x02\x03\x04"), 4));
        s.PutFieldAsVariant(10, rec, Variant::FromBytes(reinterpret_cast<const uint8_t*>("\x05\x06"), 2));
        s.PutFieldAsVariant(11, rec, Variant(rtl::Currency::FromScaled(12345)));
        s.PutFieldAsVariant(12, rec, Variant(AnsiString("{0A0B0C0D-0000-0000-0000-0000000000FF}")));
        s.PutFieldAsVariant(13, rec, Variant(42));
        s.PutFieldAsVariant(14, rec, Variant::FromDate(41640.0));
    }
    ~ValueCompare() override {
        s.FreeComplexFields(rec, true);
        s.FreeRecBuf(rec);
    }
    TFieldDesc* F(const char16_t* name) { return s.FieldByName(name); }
    int Cmp(const void* key, TMemDataType type, TValueMatchOptions o, const char16_t* field) {
        return s.CompareFieldValue(key, type, o, rec, F(field));
    }
    static std::vector<uint8_t> Bytes(std::initializer_list<uint8_t> b) {
        std::vector<uint8_t> v(2);
        const uint16_t n = static_cast<uint16_t>(b.size());
        std::memcpy(v.data(), &n, 2);
        v.insert(v.end(), b);
        return v;
    }

    TStore s;
    void* rec;
};

int SignOf(int r) { return r < 0 ? -1 : (r > 0 ? 1 : 0); }

}  // namespace

TEST_F(ValueCompare, TextKeysUnderOptions) {
    struct TCase {
        AnsiString Key;
        TValueMatchOptions Options;
        const char16_t* Field;
        int Expected;
    };
    const TCase cases[] = {
        {A(u8"Текст"), 0, u"S", 0},
        {A(u8"текст"), 0, u"S", -1},
        {A(u8"текст"), voCaseInsensitive, u"S", 0},
        {A(u8"Тек"), voPartialKey, u"S", 0},
        {A(u8"тек"), voPartialKey | voCaseInsensitive, u"S", 0},
        {A(u8"Текст длиннее"), voPartialKey, u"S", 1},
        {"", voPartialKey, u"S", -1},  // an empty ANSI key matches only an empty value
        {A(u8"кст"), voSubstring, u"S", 0},
        {A(u8"КСТ"), voSubstring, u"S", 1},
        {A(u8"КСТ"), voSubstring | voCaseInsensitive, u"S", 0},
        {A(u8"Текстище"), voSubstring, u"S", 1},
        {A(u8"Яблоко"), 0, u"S", 1},
        {"Zebra", 0, u"S", -1},  // Latin sorts before Cyrillic
        {A(u8"Текст"), voBinary, u"S", 0},
        {A(u8"текст"), voBinary, u"S", 1},
        // A fixed field trims its trailing blanks, and the key with it.
        {"ab", 0, u"FX", 0},
        {"ab   ", 0, u"FX", 0},
        {"-7", 0, u"I16", 0},
        {"4000000000", 0, u"U32", 0},
        {"2,5", 0, u"F", 0},
        {"01.01.2014", 0, u"D", 0},
        {"42", 0, u"V", 0},
        {"1,23", voPartialKey, u"C", 0},
        {"1,2345", 0, u"C", 0},
        {"{0a0b0c0d-0000-0000-0000-0000000000ff}", 0, u"G", 0},
    };
    for (const TCase& c : cases)
        EXPECT_EQ(SignOf(Cmp(c.Key.c_str(), mdtString, c.Options, c.Field)), c.Expected)
            << rtl::AnsiToUTF8(c.Key) << " options " << int(c.Options);
}

TEST_F(ValueCompare, WideKeysAndPrefixes) {
    const WideString full = rtl::UTF8ToWide("Широкий");
    const WideString prefix = rtl::UTF8ToWide("шир");
    const WideString empty;
    EXPECT_EQ(Cmp(full.c_str(), mdtWideString, 0, u"W"), 0);
    EXPECT_EQ(Cmp(prefix.c_str(), mdtWideString, voPartialKey | voCaseInsensitive, u"W"), 0);
    EXPECT_NE(Cmp(prefix.c_str(), mdtWideString, voPartialKey, u"W"), 0);
    // An empty wide key matches every value under the partial option.
    EXPECT_EQ(Cmp(empty.c_str(), mdtWideString, voPartialKey, u"W"), 0);
    EXPECT_EQ(s.MatchWideStr(u"", u"abc", voPartialKey), 0);
    EXPECT_NE(s.MatchAnsiStr("", "abc", voPartialKey), 0);
    EXPECT_EQ(s.MatchAnsiStr("", "", voPartialKey), 0);
    EXPECT_EQ(Cmp(full.c_str(), mdtWideString, 0, u"I16") != 0, true);  // text of a number
    EXPECT_THROW(Cmp(full.c_str(), mdtWideString, 0, u"B"), rtl::EConvertError);
    EXPECT_THROW(Cmp(full.c_str(), mdtWideString, 0, u"G"), rtl::EConvertError);
}

TEST_F(ValueCompare, TypedKeys) {
    const int16_t i16 = -8;
    const uint32_t u32 = 4000000001u;
    const int64_t i64 = (static_cast<int64_t>(1) << 40);
    const double f = 2.0;
    const uint16_t t = 1, fl = 0;
    const double cur = 1.2345, curLess = 1.2344;
    const double date = 41641.0;
    EXPECT_EQ(Cmp(&i16, mdtInt16, 0, u"I16"), -1);
    EXPECT_EQ(Cmp(&u32, mdtUInt32, 0, u"U32"), 1);  // unsigned: beyond the signed range
    EXPECT_EQ(Cmp(&i64, mdtInt64, 0, u"I64"), 0);
    EXPECT_EQ(Cmp(&f, mdtFloat, 0, u"F"), -1);
    EXPECT_EQ(Cmp(&t, mdtBoolean, 0, u"B"), 0);
    EXPECT_EQ(Cmp(&fl, mdtBoolean, 0, u"B"), -1);
    EXPECT_EQ(Cmp(&cur, mdtBCD, 0, u"C"), 0);
    EXPECT_EQ(Cmp(&curLess, mdtBCD, 0, u"C"), -1);
    EXPECT_EQ(Cmp(&date, mdtDate, 0, u"D"), 1);
    // Currency keys too large for the currency integer order beyond every value, never by chance.
    for (const double huge : {1e300, 1e15, -1e15, -1e300, HUGE_VAL, -HUGE_VAL})
        EXPECT_EQ(Cmp(&huge, mdtBCD, 0, u"C"), huge > 0 ? 1 : -1) << huge;

    struct TBytesCase {
        std::vector<uint8_t> Key;
        TMemDataType Type;
        TValueMatchOptions Options;
        const char16_t* Field;
        int Expected;
    };
    const TBytesCase bytes[] = {
        {Bytes({1, 2, 3, 4}), mdtBytes, voSubstring, u"BY", 0},  // the whole value under the substring option
        {Bytes({2, 3}), mdtBytes, voSubstring, u"BY", 0},
        {Bytes({3, 2}), mdtBytes, voSubstring, u"BY", 1},
        {Bytes({1, 2, 3, 4, 5}), mdtBytes, voSubstring, u"BY", 1},
        {Bytes({1, 2}), mdtBytes, voPartialKey, u"BY", 0},
        {Bytes({1, 3}), mdtBytes, voPartialKey, u"BY", 1},
        {Bytes({1, 2, 3, 4}), mdtBytes, 0, u"BY", 0},
        {Bytes({1, 2, 3}), mdtBytes, 0, u"BY", -1},  // shorter with equal bytes is smaller
        {Bytes({1, 2, 3, 5}), mdtBytes, 0, u"BY", 1},
        {Bytes({0xFF}), mdtBytes, 0, u"BY", 1},  // unsigned bytes
        {Bytes({5, 6}), mdtVarBytes, 0, u"VB", 0},
        {Bytes({5, 6, 0}), mdtVarBytes, 0, u"VB", 1},
    };
    for (const TBytesCase& c : bytes) EXPECT_EQ(SignOf(Cmp(c.Key.data(), c.Type, c.Options, c.Field)), c.Expected);
}

TEST_F(ValueCompare, VariantKeysAndFailures) {
    const Variant num(41), text(AnsiString("42")), nullKey = Variant::Null();
    const Variant bytes = Variant::FromBytes(reinterpret_cast<const uint8_t*>("\x01"), 1);
    EXPECT_EQ(Cmp(&num, mdtVariant, 0, u"V"), -1);
    EXPECT_EQ(Cmp(&text, mdtVariant, 0, u"V"), 0);      // taken as text
    EXPECT_EQ(Cmp(&nullKey, mdtVariant, 0, u"V"), -1);  // varNull orders below varInteger by code
    EXPECT_EQ(Cmp(&bytes, mdtVariant, 0, u"V"), 1);     // different type: by type code
    EXPECT_THROW(Cmp(&num, 15, 0, u"V"), rtl::EAssertionFailed);
    try {
        Cmp(&num, 15, 0, u"V");
    } catch (const rtl::Exception& e) {
        EXPECT_NE(e.Message().find("Unknown ValueType = 15"), AnsiString::npos);
    }
    const char* key = "x";
    EXPECT_THROW(Cmp(key, mdtString, 0, u"B"), rtl::EConvertError);
    EXPECT_THROW(Cmp(key, mdtString, 0, u"BY"), rtl::EConvertError);
}

TEST_F(ValueCompare, RecordFieldNulls) {
    void* other = s.AllocRecBuf();
    s.InitRecord(other);
    const TFieldDesc* f = F(u"I16");
    EXPECT_EQ(s.CompareRecordField(other, rec, 0, f), -1);
    EXPECT_EQ(s.CompareRecordField(rec, other, 0, f), 1);
    EXPECT_EQ(s.CompareRecordField(other, rec, voNullsLast, f), 1);
    EXPECT_EQ(s.CompareRecordField(rec, other, voNullsLast, f), -1);
    EXPECT_EQ(s.CompareRecordField(other, other, 0, f), 0);
    EXPECT_EQ(s.CompareRecordField(rec, rec, 0, F(u"S")), 0);
    s.FreeRecBuf(other);
}
