// Inputs at the edges of the runtime's ranges: huge widths, positions and counts, and edits that
// a list refuses. Each case must end in the system's own error or a sound result, never in lost
// data, a hang or undefined behaviour.
#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "framework/rtl/DateUtils.h"
#include "framework/rtl/Streams.h"
#include "framework/rtl/SysUtils.h"
#include "framework/rtl/Text.h"
#include "framework/rtl/Variant.h"

using namespace rtl;

namespace {

AnsiString A(const char8_t* utf8) { return UTF8ToAnsi(reinterpret_cast<const char*>(utf8)); }

std::vector<AnsiString> Lines(const TStrings& list) {
    std::vector<AnsiString> r;
    for (int i = 0; i < list.Count(); ++i) r.push_back(list[i]);
    return r;
}

// Says it holds more bytes than it gives.
class TShortStream : public TStream {
public:
    int64_t Read(void* Buffer, int64_t Count) override {
        const int64_t n = std::min<int64_t>(Count, 3 - FPos);
        if (n <= 0) return 0;
        std::memset(Buffer, 'x', static_cast<size_t>(n));
        FPos += n;
        return n;
    }
    int64_t Write(const void*, int64_t) override { return 0; }
    int64_t Seek(int64_t Offset, TSeekOrigin Origin) override {
        if (Origin == soEnd) return 10;
        if (Origin == soBeginning) FPos = Offset;
        return FPos;
    }

private:
    int64_t FPos = 0;
};

}  // namespace

TEST(FormatWidths, HugeWidthsAndPrecisionsPadInLinearTime) {
    // Zero padding used to go in one character at a time: quadratic in the width a format asks for.
    struct Case {
        std::function<AnsiString()> make;
        size_t length;
        char first;
    };
    const Case cases[] = {
        {[] { return Format("%.999999d", {5}); }, 999999, '0'},
        {[] { return Format("%.999999x", {255}); }, 999999, '0'},
        {[] { return Format("%.999999u", {-1}); }, 999999, '0'},
        {[] { return Format("%9999999d", {5}); }, 999999, ' '},  // digits beyond the cap are read and dropped
        {[] { return IntToHex(1, 500000); }, 500000, '0'},
        {[] { return FormatFloat(std::string(300000, '0'), 42); }, 300000, '0'},
        {[] { return FormatDateTime("yyyy", EncodeDate(2024, 5, 1)); }, 4, '2'},
    };
    for (const Case& c : cases) {
        const AnsiString s = c.make();
        ASSERT_EQ(s.size(), c.length);
        EXPECT_EQ(s.front(), c.first);
    }
    EXPECT_EQ(Format("%.5d|%-4d|%4s", {42, 7, "ab"}), "00042|7   |  ab");
    EXPECT_EQ(IntToHex(255, 4), "00FF");
}

TEST(FormatWidths, StarArgumentsOutsideTheIntRangeDoNotWrap) {
    // 2^32 + 3 used to narrow to a width of 3.
    const long long wide = (1LL << 32) + 3;
    EXPECT_EQ(Format("%*d", {wide, 7}).size(), 999999u);
    EXPECT_EQ(Format("%*d", {-wide, 7}), "7");
    EXPECT_EQ(Format("%.*f", {wide, 1.5}), "1,500000000000000000");  // fixed decimals stop at 18
    EXPECT_EQ(Format("%*d", {4, 7}), "   7");
}

TEST(FloatText, WholeNumbersReadAsBefore) {
    const struct {
        double value;
        const char* text;
    } cases[] = {
        {0.0, "0"},
        {-0.0, "0"},
        {1.0, "1"},
        {-42.0, "-42"},
        {999999999999999.0, "999999999999999"},
        {-999999999999999.0, "-999999999999999"},
        {1e15, "1E15"},
        {-1e15, "-1E15"},
        {9007199254740992.0, "9,00719925474099E15"},
        {0.5, "0,5"},
        {1e-5, "1E-5"},
        {123456.789, "123456,789"},
    };
    for (const auto& c : cases) EXPECT_EQ(FloatToStr(c.value), c.text) << c.value;
    EXPECT_EQ(FloatToStrF(123.0, ffGeneral, 17, 0), "123");
    EXPECT_EQ(FloatToStrF(123.0, ffGeneral, 2, 0), "1,2E2");
    EXPECT_EQ(FloatToStrF(0.1, ffGeneral, 17, 0), "0,10000000000000001");
}

TEST(StreamEdges, SeeksFarOutHoldAtTheEndsOfTheRange) {
    TMemoryStream m;
    m.WriteBuffer("abc", 3);
    EXPECT_EQ(m.Seek(INT64_MAX, soBeginning), INT64_MAX);
    EXPECT_EQ(m.Seek(10, soCurrent), INT64_MAX);
    EXPECT_EQ(m.Seek(INT64_MAX, soEnd), INT64_MAX);
    EXPECT_EQ(m.Seek(INT64_MIN, soBeginning), INT64_MIN);
    EXPECT_EQ(m.Seek(-10, soCurrent), INT64_MIN);
    // A write whose end cannot be addressed fails and leaves the stream as it was.
    m.Seek(INT64_MAX - 1, soBeginning);
    EXPECT_THROW(m.WriteBuffer("xyz", 3), EWriteError);
    EXPECT_EQ(m.Size(), 3);
    char buf[4] = {};
    m.SetPosition(0);
    m.ReadBuffer(buf, 3);
    EXPECT_STREQ(buf, "abc");

    TStringStream s("abc");
    s.Seek(2, soBeginning);
    EXPECT_EQ(s.Seek(INT64_MAX, soCurrent), 3);
    EXPECT_EQ(s.Seek(INT64_MAX, soEnd), 3);
    EXPECT_EQ(s.Seek(INT64_MIN, soCurrent), 0);
    EXPECT_EQ(s.DataString(), "abc");
}

TEST(StreamEdges, FailedLoadsAndCopiesKeepWhatWasThere) {
    TMemoryStream m;
    m.WriteBuffer("old", 3);
    TShortStream shortSource;
    EXPECT_THROW(m.LoadFromStream(&shortSource), EReadError);
    ASSERT_EQ(m.Size(), 3);
    EXPECT_EQ(std::memcmp(m.Memory(), "old", 3), 0);

    // A negative count used to ask for a buffer of 2^64 - 1 bytes.
    TStringStream src("source"), dst("dest");
    EXPECT_THROW(dst.CopyFrom(&src, -1), EReadError);
    EXPECT_EQ(dst.DataString(), "dest");

    TMemoryStream loaded;
    TStringStream text("hello");
    loaded.LoadFromStream(&text);
    EXPECT_EQ(loaded.Size(), 5);
    EXPECT_EQ(std::memcmp(loaded.Memory(), "hello", 5), 0);
}

TEST(StringListEdges, MovesThatTheListRefusesLoseNothing) {
    const struct {
        bool sorted;
        int from, to;
        const char* message;
    } refused[] = {
        {false, 0, 3, "List index out of bounds (3)"},
        {false, 2, -1, "List index out of bounds (-1)"},
        {false, 5, 0, "List index out of bounds (5)"},
        {true, 0, 2, "Operation not allowed on sorted string list"},
        {true, 2, 0, "Operation not allowed on sorted string list"},
    };
    for (const auto& c : refused) {
        TStringList list;
        TObject marker;
        list.AddObject("a", &marker);
        list.Add("b");
        list.Add("c");
        list.SetSorted(c.sorted);
        try {
            list.Move(c.from, c.to);
            ADD_FAILURE() << "no error moving " << c.from << " to " << c.to;
        } catch (const EStringListError& e) {
            EXPECT_EQ(e.Message(), c.message);
        }
        EXPECT_EQ(Lines(list), (std::vector<AnsiString>{"a", "b", "c"}));
        EXPECT_EQ(list.Objects(0), &marker);
    }

    TStringList list;
    TObject marker;
    list.SetCommaText("a,b,c,d");
    list.SetObjects(0, &marker);
    list.Move(0, 2);
    EXPECT_EQ(list.CommaText(), "b,c,a,d");
    EXPECT_EQ(list.Objects(2), &marker);
    list.Move(3, 0);
    EXPECT_EQ(list.CommaText(), "d,b,c,a");
    EXPECT_EQ(list.Objects(3), &marker);
}

TEST(StringListEdges, NewValuesGoIntoSortedListsWhole) {
    TStringList list;
    list.SetSorted(true);
    list.Add("m=1");
    list.SetValues("b", "2");
    list.SetValues("z", "3");
    EXPECT_EQ(Lines(list), (std::vector<AnsiString>{"b=2", "m=1", "z=3"}));
    // An existing value of a sorted list cannot be put in place: the error leaves the list whole.
    EXPECT_THROW(list.SetValues("m", "9"), EStringListError);
    EXPECT_EQ(Lines(list), (std::vector<AnsiString>{"b=2", "m=1", "z=3"}));
    list.SetValues("m", "");
    EXPECT_EQ(Lines(list), (std::vector<AnsiString>{"b=2", "z=3"}));
}

TEST(StringListEdges, SortOrdersAsTheComparisonDoes) {
    const std::vector<AnsiString> words = {A(u8"ёж"),   A(u8"Ель"), A(u8"ель"),    "Zebra",       "apple", "Apple",
                                           "10",        "9",        A(u8"Яблоко"), A(u8"яблоко"), "a-b",   "ab",
                                           "a b",       "",         A(u8"Ёлка"),   A(u8"елка"),   "Ab",    "aB",
                                           A(u8"Щука"), "z",        A(u8"№5"),     "\x98"};
    for (bool caseSensitive : {false, true}) {
        TStringList byKeys, byCompare;
        byKeys.SetCaseSensitive(caseSensitive);
        byCompare.SetCaseSensitive(caseSensitive);
        for (const AnsiString& w : words) {
            byKeys.Add(w);
            byCompare.Add(w);
        }
        byKeys.Sort();
        byCompare.CustomSort(
            [](TStringList* l, int a, int b) { return l->CompareStrings(l->Strings(a), l->Strings(b)); });
        EXPECT_EQ(Lines(byKeys), Lines(byCompare)) << "case sensitive " << caseSensitive;
        for (int i = 1; i < byKeys.Count(); ++i) EXPECT_LE(byKeys.CompareStrings(byKeys[i - 1], byKeys[i]), 0);
    }
}

TEST(DateEdges, MonthAndTimeStepsBeyondTheRangeRaise) {
    const TDateTime day = EncodeDateTime(2024, 1, 31, 10, 30, 0, 0);
    const std::function<TDateTime()> bad[] = {
        [&] { return IncMonth(day, INT_MAX); },         [&] { return IncMonth(day, INT_MIN); },
        [&] { return IncMonth(day, -12 * 2024); },  // year 0
        [&] { return IncMonth(day, 12 * 7976); },  // year 10000
        [&] { return IncYear(day, INT_MAX); },          [&] { return IncYear(day, INT_MIN); },
        [&] { return IncSecond(day, INT64_MAX); },      [&] { return IncMinute(day, INT64_MIN); },
        [&] { return IncHour(day, INT64_MAX / 1000); }, [&] { return IncMilliSecond(day, INT64_MAX); },
    };
    for (size_t i = 0; i < std::size(bad); ++i) {
        try {
            bad[i]();
            ADD_FAILURE() << "case " << i << " gave no error";
        } catch (const EConvertError& e) {
            EXPECT_EQ(e.Message(), "Invalid argument to date encode") << "case " << i;
        }
    }
    EXPECT_EQ(IncMonth(day, 12 * 7975 + 11), EncodeDateTime(9999, 12, 31, 10, 30, 0, 0));
    EXPECT_EQ(IncMonth(day, -12 * 2023), EncodeDateTime(1, 1, 31, 10, 30, 0, 0));
    EXPECT_EQ(IncYear(EncodeDate(2024, 2, 29), -4), EncodeDate(2020, 2, 29));
    EXPECT_EQ(IncHour(day, 14), EncodeDateTime(2024, 2, 1, 0, 30, 0, 0));
}

TEST(VariantArrayEdges, BoundsAtTheEndsOfTheIntRange) {
    const Variant low = VarArrayCreate(INT_MIN, INT_MIN, varVariant);
    EXPECT_EQ(VarArrayLowBound(low), INT_MIN);
    EXPECT_EQ(VarArrayHighBound(low), INT_MIN);
    Variant high = VarArrayCreate(INT_MAX, INT_MAX, varByte);
    EXPECT_EQ(VarArrayHighBound(high), INT_MAX);
    high.SetElement(INT_MAX, Variant(7));
    EXPECT_EQ(high.GetElement(INT_MAX).AsInteger(), 7);
    const Variant none = VarArrayCreate(5, 4, varVariant);
    EXPECT_EQ(none.ArrayCount(), 0);
    // More elements than an int can count, and reversed bounds, are invalid operations.
    EXPECT_THROW(VarArrayCreate(-10, INT_MAX, varByte), EVariantInvalidOpError);
    EXPECT_THROW(VarArrayCreate(INT_MIN, INT_MAX, varVariant), EVariantInvalidOpError);
    EXPECT_THROW(VarArrayCreate(5, 3, varVariant), EVariantInvalidOpError);
}

TEST(VariantCompareText, SameAndMixedKindsOfTextOrderAlike) {
    const AnsiString a = A(u8"Архив"), b = A(u8"архив"), c = A(u8"Фонд");
    const struct {
        Variant x, y;
        TVariantRelationship r;
    } cases[] = {
        {Variant(a), Variant(c), vrLessThan},
        {Variant(AnsiToWide(a)), Variant(AnsiToWide(c)), vrLessThan},
        {Variant(a), Variant(AnsiToWide(c)), vrLessThan},
        {Variant(b), Variant(a), vrLessThan},  // lower case first at equal letters
        {Variant(AnsiToWide(b)), Variant(AnsiToWide(a)), vrLessThan},
        {Variant(a), Variant(a), vrEqual},
        {Variant(AnsiToWide(a)), Variant(a), vrEqual},
        {Variant(), Variant(a), vrLessThan},
    };
    for (const auto& t : cases) {
        EXPECT_EQ(VarCompareValue(t.x, t.y), t.r);
        const TVariantRelationship back = t.r == vrLessThan ? vrGreaterThan : t.r;
        EXPECT_EQ(VarCompareValue(t.y, t.x), back);
    }
}
