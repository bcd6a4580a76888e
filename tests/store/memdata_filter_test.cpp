// Filter expressions: parsing, evaluation against the store's rows and the wildcard matcher.
#include <gtest/gtest.h>

#include <functional>
#include <random>

#include "data/store/DAConsts.h"
#include "data/store/MemData_Filter.h"
#include "framework/rtl/SysUtils.h"
#include "memdata_sortfilter_fixture.h"

using namespace sortfiltertest;
using rtl::Variant;

namespace {

std::vector<TCol> FilterCols() {
    return {{u"ID", mdtInt32, 4},
            {u"NAME", mdtString, 31, 30},
            {u"PRICE", mdtFloat, 8},
            {u"QTY", mdtInt32, 4},
            {u"D", mdtDate, 8},
            {u"Order Date", mdtDate, 8},
            {u"WNAME", mdtWideString, 42, 20},
            {u"ENAME", mdtExtString, 8}};
}

Variant Day(const char* text) { return Variant::FromDate(rtl::StrToDate(text)); }

void FillRows(TStore& s) {
    const Variant null = Variant::Null();
    s.Add({1, V(u8"abc"), 10.0, 5, Day("01.01.2014"), Day("01.01.2014"), Variant(u"abc"), V(u8"abc")});
    s.Add({2, V(u8"xabcx"), null, -5, Day("01.02.2014"), Day("02.02.2014"), null, null});
    s.Add({3, V(u8"ABC"), 20.0, 0, Day("15.03.2014"), null, Variant(u"ABC"), V(u8"ABC")});
    s.Add({4, null, 5.0, 5, null, null, null, null});
    s.Add({5, V(u8""), 30.0, 7, Day("01.02.2014"), Day("01.03.2014"), Variant(u""), V(u8"")});
    s.Add({6, V(u8"O'Brien"), 1.0, 2, null, null, null, null});
    s.Add({7, V(u8"aXc"), 2.0, 3, null, null, null, null});
    s.Add({8, V(u8"ac"), 3.0, 4, null, null, null, null});
    s.Add({9, V(u8"*abc*"), 4.0, 1, null, null, null, null});
    s.Add({10, V(u8"Большой Текст"), 6.0, 1, null, null, null, V(u8"Большой Текст")});
}

std::vector<int> Filtered(TStore& s, const AnsiString& filter, bool ci = false, bool noPartial = false) {
    s.FilterCaseInsensitive = ci;
    s.FilterNoPartialCompare = noPartial;
    s.SetFilterText(filter);
    s.FilterUpdated();
    return s.Ids();
}

struct TFilterCase {
    AnsiString Filter;
    bool CaseInsensitive;
    bool NoPartial;
    std::vector<int> Ids;
};

}  // namespace

TEST(MemDataFilter, ExpressionsSelectRows) {
    const TFilterCase cases[] = {
        // Equality with text is a wildcard match unless partial comparison is off.
        {"NAME = '*abc*'", false, false, {1, 2, 9}},
        {"NAME = '*abc*'", true, false, {1, 2, 3, 9}},
        {"NAME = '*abc*'", false, true, {9}},
        {"NAME = \"*abc*\"", false, false, {1, 2, 9}},
        {"NAME = 'abc'", false, false, {1}},
        {"NAME = 'abc'", true, false, {1, 3}},
        {"NAME LIKE 'a_c'", false, false, {1, 7}},
        {"NAME LIKE 'a%'", false, false, {1, 7, 8}},
        {"NAME NOT LIKE '*b*'", false, false, {3, 4, 5, 6, 7, 8, 10}},
        {"NAME <> 'abc'", false, false, {2, 3, 4, 5, 6, 7, 8, 9, 10}},
        {"NAME = 'O''Brien'", false, false, {6}},
        {"NAME = " + A(u8"\"*текст*\""), true, false, {10}},
        {"NAME = " + A(u8"\"*Текст*\""), false, false, {10}},
        {"NAME = " + A(u8"\"*текст*\""), false, false, {}},
        // The same through wide and heap text fields.
        {"WNAME = '*b*'", false, false, {1}},
        {"WNAME = '*b*'", true, false, {1, 3}},
        {"ENAME = '*b*'", true, false, {1, 3}},
        {"ENAME LIKE " + A(u8"'%ТЕКСТ'"), true, false, {10}},
        // Nulls.
        {"PRICE > NULL", false, false, {}},
        {"PRICE IS NULL", false, false, {2}},
        {"PRICE IS NOT NULL", false, false, {1, 3, 4, 5, 6, 7, 8, 9, 10}},
        {"NAME IS NULL", false, false, {4, 5}},
        {"NAME IS NULL", false, true, {4}},
        {"NAME IS NOT NULL", false, false, {1, 2, 3, 6, 7, 8, 9, 10}},
        {"PRICE = NULL", false, false, {2}},
        // Numbers and comparisons.
        {"QTY = -5", false, false, {2}},
        {"QTY = 5", false, false, {1, 4}},
        {"QTY >= 5", false, false, {1, 4, 5}},
        {"QTY < 0", false, false, {2}},
        {"PRICE <= 3", false, false, {6, 7, 8}},
        {"PRICE > 4,5", false, false, {1, 3, 4, 5, 10}},
        {"PRICE < +2", false, false, {6}},
        {"QTY > PRICE", false, false, {6, 7, 8}},
        // Dates against text.
        {"D >= '01.02.2014'", false, false, {2, 3, 5}},
        {"D = '01.02.2014'", false, false, {2, 5}},
        {"[Order Date] >= '01.02.2014'", false, false, {2, 5}},
        // Precedence: NOT binds one factor, AND before OR.
        {"NOT (QTY = 5 OR QTY = 0)", false, false, {2, 5, 6, 7, 8, 9, 10}},
        {"NOT QTY = 5 OR QTY = 0", false, false, {2, 3, 5, 6, 7, 8, 9, 10}},
        {"QTY = 5 AND (PRICE = 10 OR PRICE = 5)", false, false, {1, 4}},
        {"QTY = 5 AND PRICE = 10 OR QTY = 0", false, false, {1, 3}},
        {"QTY = 1 or qty = 2 and price = 1", false, false, {6, 9, 10}},
        {"TRUE", false, false, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10}},
        {"NOT TRUE OR FALSE", false, false, {}},
        {"QTY = 7 /* seven */", false, false, {5}},
        // Blank text installs nothing.
        {"", false, false, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10}},
        {" \t ", false, false, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10}},
    };
    for (const TFilterCase& c : cases) {
        TStore s(FilterCols());
        FillRows(s);
        EXPECT_EQ(Filtered(s, c.Filter, c.CaseInsensitive, c.NoPartial), c.Ids)
            << rtl::AnsiToUTF8(c.Filter) << " ci=" << c.CaseInsensitive << " nopartial=" << c.NoPartial;
        EXPECT_EQ(s.GetRecordCount(), static_cast<int>(c.Ids.size())) << rtl::AnsiToUTF8(c.Filter);
    }
}

TEST(MemDataFilter, ParsedTree) {
    TStore s(FilterCols());
    s.SetFilterText("NOT (QTY = 5 OR [Order Date] IS NOT NULL) AND NAME LIKE 'x'");
    const TExpressionNode* root = s.FilterExpression();
    ASSERT_NE(root, nullptr);
    EXPECT_EQ(root->NodeType, ntAnd);
    const TExpressionNode* no = root->LeftOperand;
    ASSERT_EQ(no->NodeType, ntNot);
    EXPECT_EQ(no->RightOperand, nullptr);
    const TExpressionNode* orNode = no->LeftOperand;
    ASSERT_EQ(orNode->NodeType, ntOr);
    EXPECT_EQ(orNode->LeftOperand->NodeType, ntEqual);
    EXPECT_EQ(orNode->LeftOperand->LeftOperand->FieldDesc->Name, u"QTY");
    EXPECT_EQ(orNode->LeftOperand->RightOperand->Value.VType(), rtl::varInt64);
    const TExpressionNode* isNotNull = orNode->RightOperand;
    EXPECT_EQ(isNotNull->NodeType, ntNoEqual);
    EXPECT_EQ(isNotNull->LeftOperand->FieldDesc->Name, u"Order Date");
    EXPECT_TRUE(isNotNull->RightOperand->Value.IsNull());
    EXPECT_EQ(root->RightOperand->NodeType, ntLike);

    s.SetFilterText("QTY = -5");
    EXPECT_EQ(s.FilterExpression()->RightOperand->Value.VType(), rtl::varDouble);
    EXPECT_EQ(s.FilterExpression()->RightOperand->Value.AsDouble(), -5.0);
    s.SetFilterText("QTY <> 99999999999999999999");
    EXPECT_EQ(s.FilterExpression()->RightOperand->Value.VType(), rtl::varDouble);
}

TEST(MemDataFilter, BadTextsAreRefusedAndLeaveNoExpression) {
    const std::pair<const char*, const char*> cases[] = {
        {"QTY = 1 PRICE = 2", SIllegalFilter},
        {"QTY =", SIllegalFilter},
        {"QTY", SIllegalFilter},
        {"(QTY = 1", SIllegalFilter},
        {"QTY = 1)", SIllegalFilter},
        {"QTY == 1", SIllegalFilter},
        {"QTY = - NAME", SIllegalFilter},
        {"QTY IS 5", SIllegalFilter},
        {"QTY NOT 5", SIllegalFilter},
        {"NULL = QTY AND", SIllegalFilter},
        {"= 5", SIllegalFilter},
        {"QTY = 1 AND OR QTY = 2", SIllegalFilter},
        {"QTY.X = 1", "Field QTY.X not found"},
        {"NOPE = 1", "Field NOPE not found"},
        {"[No Such] = 1", "Field No Such not found"},
    };
    for (const auto& [text, message] : cases) {
        TStore s(FilterCols());
        FillRows(s);
        EXPECT_EQ(Filtered(s, "QTY = 5"), (std::vector<int>{1, 4}));
        try {
            s.SetFilterText(text);
            ADD_FAILURE() << text << " was accepted";
        } catch (const rtl::Exception& e) {
            EXPECT_EQ(e.Message(), message) << text;
        }
        EXPECT_EQ(s.FilterExpression(), nullptr) << text;
        EXPECT_EQ(s.FilterText(), "QTY = 5") << text;
        s.FilterUpdated();
        EXPECT_EQ(s.GetRecordCount(), 10) << text;
    }
}

TEST(MemDataFilter, NameSearchOnEveryKeystroke) {
    TStore s(FilterCols());
    FillRows(s);
    s.FilterCaseInsensitive = true;
    const std::pair<const char8_t*, std::vector<int>> steps[] = {
        {u8"тек", {10}}, {u8"текс", {10}}, {u8"текст", {10}}, {u8"текстх", {}}, {u8"ab", {1, 2, 3, 9}}};
    for (const auto& [typed, ids] : steps) {
        s.SetFilterText("NAME = \"*" + A(typed) + "*\"");
        s.FilterUpdated();
        EXPECT_EQ(s.Ids(), ids) << rtl::AnsiToUTF8(A(typed));
    }
}

// ---------------------------------------------------------------------------------------------
// Wildcard matcher
// ---------------------------------------------------------------------------------------------

namespace {

// The plain recursive definition, for small inputs.
bool ReferenceMatch(std::string_view t, std::string_view p) {
    if (p.empty()) return t.empty();
    if (p[0] == '*' || p[0] == '%')
        return ReferenceMatch(t, p.substr(1)) || (!t.empty() && ReferenceMatch(t.substr(1), p));
    if (t.empty()) return false;
    if (p[0] == '_' || p[0] == t[0]) return ReferenceMatch(t.substr(1), p.substr(1));
    return false;
}

}  // namespace

TEST(MemDataFilter, WildcardMatches) {
    const std::string as(100000, 'a');
    struct TCase {
        std::string Text;
        std::string Pattern;
        bool Expected;
    };
    const TCase cases[] = {
        {"abc", "a*c", true},
        {"abc", "a%c", true},
        {"ac", "a_c", false},
        {"aXc", "a_c", true},
        {"", "*", true},
        {"", "", true},
        {"a", "", false},
        {"", "_", false},
        {"abc", "*%*", true},
        {"abc", "ab", false},
        {"abcabc", "*abc", true},
        {"abcab", "*abc", false},
        {"aaa", "a*a*a", true},
        {"aa", "a*a*a", false},
        {"ab", "a*b*", true},
        {"ab", "ab*b", false},
        {"abb", "ab*b", true},
        {"x*y", "x*y", true},
        {"a_b", "a_b", true},
        {"abc", "abc*", true},
        // Long runs of one letter: these finish at once and still answer right.
        {as, "*a*a*a*a*a*a*b", false},
        {as + "b", "*a*a*a*a*a*a*b", true},
        {as, "*a_a_a_a_a_b", false},
        {as + "xb", "*a_a_a_a_a_b", true},
        {as, "*aaaaaaaaaaaaaaaaaaab*", false},
        {as, "%" + std::string(50, '_') + "%b", false},
    };
    for (const TCase& c : cases)
        EXPECT_EQ(MatchPattern(c.Text, c.Pattern), c.Expected) << c.Text.substr(0, 20) << " / " << c.Pattern;
    EXPECT_TRUE(MatchPattern(std::u16string_view(u"Широкий"), std::u16string_view(u"*ок_й")));
    EXPECT_FALSE(MatchPattern(std::u16string_view(u"Широкий"), std::u16string_view(u"*ок_")));
}

TEST(MemDataFilter, WildcardAgreesWithTheDefinition) {
    std::mt19937 rnd(11);
    const char textChars[] = "ab";
    const char patternChars[] = "ab*%_";
    for (int i = 0; i < 20000; ++i) {
        std::string t, p;
        for (int n = static_cast<int>(rnd() % 7); n > 0; --n) t += textChars[rnd() % 2];
        for (int n = static_cast<int>(rnd() % 6); n > 0; --n) p += patternChars[rnd() % 5];
        ASSERT_EQ(MatchPattern(t, p), ReferenceMatch(t, p)) << "'" << t << "' / '" << p << "'";
    }
}

TEST(MemDataFilter, ConstantsThatCannotMeetTheirFieldAreRefusedWhenSet) {
    // Each of these used to pass the parser and then fail on the first row the store filtered.
    const char* refused[] = {
        "PRICE > 'abc'",        "QTY = 'abc'", "QTY >= 'x' OR QTY = 1", "NOT (PRICE <= 'zz')", "D = 'not a date'",
        "[Order Date] < 'abc'", "5 > 'abc'",
    };
    for (const char* text : refused) {
        TStore s(FilterCols());
        FillRows(s);
        EXPECT_EQ(Filtered(s, "QTY = 5"), (std::vector<int>{1, 4}));
        AnsiString message;
        try {
            s.SetFilterText(text);
        } catch (const rtl::Exception& e) {
            message = e.Message();
        }
        EXPECT_NE(message.find("convert"), AnsiString::npos) << text << ": " << message;
        EXPECT_EQ(s.FilterExpression(), nullptr) << text;
        EXPECT_EQ(s.FilterText(), "QTY = 5") << text;
        s.FilterUpdated();
        EXPECT_EQ(s.GetRecordCount(), 10) << text;
    }
    // A closed store refuses the same text when it opens.
    TStore closed(FilterCols());
    closed.Close();
    closed.SetFilterText("PRICE > 'abc'");
    EXPECT_THROW(closed.Open(), rtl::Exception);
    EXPECT_FALSE(closed.Active());
    EXPECT_EQ(closed.FilterExpression(), nullptr);

    // Text that converts, and comparisons that never convert the text, still filter rows.
    const TFilterCase accepted[] = {
        {"QTY = '5'", false, false, {1, 4}}, {"PRICE > '4,5'", false, false, {1, 3, 4, 5, 10}},
        {"'abc' = QTY", false, false, {}},   {"QTY <> 'abc'", false, false, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10}},
        {"QTY LIKE 'a%'", false, false, {}}, {"NAME > 'abc'", false, false, {2, 3, 6, 7, 8, 10}},
    };
    for (const TFilterCase& c : accepted) {
        TStore s(FilterCols());
        FillRows(s);
        EXPECT_EQ(Filtered(s, c.Filter, c.CaseInsensitive, c.NoPartial), c.Ids) << c.Filter;
    }
}
