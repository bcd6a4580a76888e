#include <gtest/gtest.h>

#include <memory>
#include <set>
#include <string>
#include <utility>

#include "data/access/CRDataTypeMap.h"
#include "framework/rtl/Text.h"

using namespace daccess;
using namespace store;

namespace {

// Codes of a provider that exists only for these tests.
constexpr uint16_t kPlain = 901;    // no length, no scale
constexpr uint16_t kSized = 902;    // length only
constexpr uint16_t kDecimal = 903;  // length and scale
constexpr uint16_t kUnknown = 999;  // never registered

void RegisterTestTypes() {
    static const bool done = [] {
        DBTypeInfos().Add(kPlain, "Plain", false, false);
        DBTypeInfos().Add(kSized, "Sized", true, false);
        DBTypeInfos().Add(kDecimal, "Decimal", true, true);
        return true;
    }();
    (void)done;
}

template <class E>
std::string MessageOf(const std::function<void()>& call) {
    try {
        call();
    } catch (const E& e) {
        return e.Message();
    }
    return "<no exception>";
}

class TOther : public rtl::TPersistent {
public:
    int Value = 7;
};

// A provider's rule class answers its own manager.
class TTestMapRules : public TCRMapRules {
    RTL_CLASS(TTestMapRules, TCRMapRules)
public:
    static TConverterManager* GetConverterManager() {
        static TConverterManager manager;
        return &manager;
    }
};

}  // namespace

// --- registry ---

TEST(DBTypeInfos, FindsFirstRegisteredAndClearsEverything) {
    TDBTypeInfos infos;
    infos.Add(10, "First", true, false);
    infos.Add(11, "Other", false, true);
    infos.Add(10, "Second", false, false);
    ASSERT_EQ(infos.Count(), 3);
    EXPECT_EQ(infos.FindTypeInfo(10)->Name, "First");
    EXPECT_TRUE(infos.FindTypeInfo(10)->LengthAllowed);
    EXPECT_TRUE(infos.FindTypeInfo(11)->ScaleAllowed);
    EXPECT_EQ(infos.FindTypeInfo(12), nullptr);
    EXPECT_EQ(infos.Items(2)->Name, "Second");
    EXPECT_THROW(infos.Items(3), rtl::EListError);
    infos.Clear();
    EXPECT_EQ(infos.Count(), 0);
    EXPECT_EQ(infos.FindTypeInfo(10), nullptr);
}

TEST(DBTypeInfos, CheckTypeInfoValidatesTheDatabaseSide) {
    RegisterTestTypes();
    struct Case {
        uint16_t type;
        int32_t lenMin, lenMax, scaleMin, scaleMax;
        bool nameEmpty;
        std::string error;  // empty: valid
    };
    const Case cases[] = {
        {0, -1, -1, -1, -1, true, "Database type is not defined"},
        {0, 5, 9, 1, 2, false, ""},  // a named column of any type; bounds are not examined
        {kUnknown, -1, -1, -1, -1, false, "Unsupported database type: 999"},
        {kUnknown, -1, -1, -1, -1, true, "Unsupported database type: 999"},
        {kPlain, -1, -1, -1, -1, true, ""},
        {kPlain, 10, -1, -1, -1, true, "Length cannot be specified for the \"Plain\" database type"},
        {kPlain, -1, 10, -1, -1, true, "Length cannot be specified for the \"Plain\" database type"},
        {kPlain, -1, -1, -1, 2, false, "Scale cannot be specified for the \"Plain\" database type"},
        {kSized, 1, 100, -1, -1, true, ""},
        {kSized, 1, 100, 0, -1, true, "Scale cannot be specified for the \"Sized\" database type"},
        {kDecimal, 1, 38, 0, 10, true, ""},
        // Length is checked before scale.
        {kPlain, 1, -1, 1, -1, true, "Length cannot be specified for the \"Plain\" database type"},
    };
    for (const auto& c : cases) {
        const std::string got = MessageOf<EInvalidDBTypeMapping>(
            [&] { DBTypeInfos().CheckTypeInfo(c.type, c.lenMin, c.lenMax, c.scaleMin, c.scaleMax, c.nameEmpty); });
        EXPECT_EQ(got, c.error.empty() ? "<no exception>" : c.error) << c.type << " " << c.lenMin;
    }
}

// --- rules ---

TEST(CRMapRules, AddRuleStoresTheValuesAndRejectsInvalidRulesWithoutAdding) {
    RegisterTestTypes();
    TCRMapRules rules;
    EXPECT_TRUE(rules.Enabled());
    TCRMapRule* rule = rules.AddRule("PRICE", kDecimal, 1, 18, 2, 4, mdtBCD, 10, 2, true);
    ASSERT_EQ(rules.Count(), 1);
    EXPECT_EQ(rules.Items(0), rule);
    EXPECT_EQ(rule->FieldName(), "PRICE");
    EXPECT_EQ(rule->DBType(), kDecimal);
    EXPECT_EQ(rule->DBLengthMin(), 1);
    EXPECT_EQ(rule->DBLengthMax(), 18);
    EXPECT_EQ(rule->DBScaleMin(), 2);
    EXPECT_EQ(rule->DBScaleMax(), 4);
    EXPECT_EQ(rule->DataType(), mdtBCD);
    EXPECT_EQ(rule->FieldLength(), 10);
    EXPECT_EQ(rule->FieldScale(), 2);
    EXPECT_TRUE(rule->IgnoreErrors());

    EXPECT_THROW(rules.AddRule("", 0, -1, -1, -1, -1, mdtInt32, -1, -1, false), EInvalidDBTypeMapping);
    EXPECT_THROW(rules.AddRule("X", kUnknown, -1, -1, -1, -1, mdtInt32, -1, -1, false), EInvalidDBTypeMapping);
    EXPECT_THROW(rules.AddRule("", kPlain, 3, -1, -1, -1, mdtInt32, -1, -1, false), EDataTypeMappingError);
    EXPECT_EQ(rules.Count(), 1);
}

TEST(CRMapRules, NewRuleHasOpenBounds) {
    TCRMapRules rules;
    auto* rule = static_cast<TCRMapRule*>(rules.Add());
    EXPECT_EQ(rule->FieldName(), "");
    EXPECT_EQ(rule->DBType(), 0);
    EXPECT_EQ(rule->DBLengthMin(), -1);
    EXPECT_EQ(rule->DBLengthMax(), -1);
    EXPECT_EQ(rule->DBScaleMin(), -1);
    EXPECT_EQ(rule->DBScaleMax(), -1);
    EXPECT_EQ(rule->FieldLength(), -1);
    EXPECT_EQ(rule->FieldScale(), -1);
    EXPECT_FALSE(rule->IgnoreErrors());
    EXPECT_EQ(rule->DataType(), mdtUnknown);
}

TEST(CRMapRules, RuleMatchesBoundsInclusivelyAndPassesUnknownSizes) {
    RegisterTestTypes();
    TCRMapRules rules;
    struct Case {
        int32_t lenMin, lenMax, scaleMin, scaleMax;
        uint16_t type;
        int32_t length, scale;
        bool matches;
    };
    const Case cases[] = {
        {-1, -1, -1, -1, kDecimal, 10, 2, true},  {-1, -1, -1, -1, kSized, 10, 2, false},  // another type
        {10, -1, -1, -1, kDecimal, -1, -1, true},  // unknown length passes any bound
        {10, -1, -1, -1, kDecimal, 9, -1, false}, {10, -1, -1, -1, kDecimal, 10, -1, true},
        {5, 5, -1, -1, kDecimal, 5, 0, true},     {5, 5, -1, -1, kDecimal, 4, 0, false},
        {5, 5, -1, -1, kDecimal, 6, 0, false},    {-1, 20, -1, -1, kDecimal, 21, -1, false},
        {-1, -1, 2, 4, kDecimal, 10, 1, false},   {-1, -1, 2, 4, kDecimal, 10, 4, true},
        {-1, -1, 2, 4, kDecimal, 10, 5, false},   {-1, -1, 2, 4, kDecimal, 10, -1, true},
    };
    for (const auto& c : cases) {
        TCRMapRule* rule =
            rules.AddRule("", kDecimal, c.lenMin, c.lenMax, c.scaleMin, c.scaleMax, mdtFloat, -1, -1, false);
        EXPECT_EQ(TCRMapRules::RuleMatches(rule, c.type, c.length, c.scale), c.matches)
            << c.lenMin << ".." << c.lenMax << " " << c.scaleMin << ".." << c.scaleMax << " at " << c.length << ","
            << c.scale;
    }
}

TEST(CRMapRules, FindRuleByNameAndByType) {
    RegisterTestTypes();
    TCRMapRules rules;
    TCRMapRule* anyType = rules.AddRule("Code", 0, -1, -1, -1, -1, mdtInt32, -1, -1, false);
    TCRMapRule* codeAgain = rules.AddRule("CODE", 0, -1, -1, -1, -1, mdtInt64, -1, -1, false);
    TCRMapRule* namedSized = rules.AddRule("Title", kSized, 1, 50, -1, -1, mdtString, -1, -1, false);
    TCRMapRule* sizedLong = rules.AddRule("", kSized, 51, -1, -1, -1, mdtMemo, -1, -1, false);
    TCRMapRule* sizedAgain = rules.AddRule("", kSized, -1, -1, -1, -1, mdtWideString, -1, -1, false);
    const std::string cyrillic = rtl::UTF8ToAnsi("Шифр");
    TCRMapRule* cyrillicRule = rules.AddRule(cyrillic, kPlain, -1, -1, -1, -1, mdtInt32, -1, -1, false);

    struct Case {
        std::string name;
        uint16_t type;
        int32_t length;
        TCRMapRule* byName;
        TCRMapRule* byType;
    };
    const Case cases[] = {
        // A named rule of any type: every type and size, letters a to z folded; the earlier wins.
        {"code", kDecimal, 10, anyType, nullptr},
        {"cOdE", kSized, 99, anyType, sizedLong},
        {"Title", kSized, 20, namedSized, namedSized},
        // Out of the named rule's range: no rule by name; the type pass takes the first fitting one.
        {"Title", kSized, 60, nullptr, sizedLong},
        // A named and typed rule serves other columns of its type in the type pass.
        {"Other", kSized, 20, nullptr, namedSized},
        {"Other", kSized, -1, nullptr, namedSized},
        {"Other", kPlain, -1, nullptr, cyrillicRule},
        {"Other", kDecimal, -1, nullptr, nullptr},
        // Only a to z are folded.
        {cyrillic, kPlain, -1, cyrillicRule, cyrillicRule},
        {rtl::AnsiUpperCase(cyrillic), kPlain, -1, nullptr, cyrillicRule},
        {"", kDecimal, -1, nullptr, nullptr},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(rules.FindRuleByName(c.name, c.type, c.length, -1), c.byName) << c.name << " " << c.length;
        EXPECT_EQ(rules.FindRuleByType(c.type, c.length, -1), c.byType) << c.name << " " << c.length;
    }
    (void)codeAgain;
    (void)sizedAgain;
}

TEST(CRMapRules, AssignCopiesBetweenRulesAndIgnoresOtherObjects) {
    RegisterTestTypes();
    TCRMapRules rules;
    TCRMapRule* source = rules.AddRule("A", kDecimal, 1, 2, 3, 4, mdtFmtBCD, 5, 6, true);
    TCRMapRule* target = rules.AddRule("B", kPlain, -1, -1, -1, -1, mdtInt32, -1, -1, false);
    target->Assign(source);
    EXPECT_EQ(target->FieldName(), "A");
    EXPECT_EQ(target->DBType(), kDecimal);
    EXPECT_EQ(target->DBLengthMin(), 1);
    EXPECT_EQ(target->DBLengthMax(), 2);
    EXPECT_EQ(target->DBScaleMin(), 3);
    EXPECT_EQ(target->DBScaleMax(), 4);
    EXPECT_EQ(target->FieldLength(), 5);
    EXPECT_EQ(target->FieldScale(), 6);
    EXPECT_TRUE(target->IgnoreErrors());
    EXPECT_EQ(target->DataType(), mdtFmtBCD);

    // A plain rule takes the shared part only.
    TMapRules plainRules(TMapRule::StaticClass());
    auto* plain = static_cast<TMapRule*>(plainRules.Add());
    plain->Assign(source);
    EXPECT_EQ(plain->FieldName(), "A");
    EXPECT_EQ(plain->FieldScale(), 6);
    source->SetFieldName("C");
    source->Assign(plain);  // a plain source leaves the target's data type alone
    EXPECT_EQ(source->FieldName(), "A");
    EXPECT_EQ(source->DataType(), mdtFmtBCD);

    TOther other;
    EXPECT_NO_THROW(other.Assign(source));
    EXPECT_EQ(other.Value, 7);
    EXPECT_EQ(source->FieldName(), "A");
}

TEST(CRMapRules, ConverterManagerComesFromTheRuleClass) {
    TCRMapRules base;
    try {
        base.ConverterManager();
        FAIL() << "the base rule class has no manager";
    } catch (const rtl::EAssertionFailed& e) {
        EXPECT_EQ(e.Unit(), "CRDataTypeMap");
    }
    EXPECT_THROW(TCRMapRules::StaticClass().GetConverterManager(), rtl::EAssertionFailed);

    const TCRMapRulesClass& cls = TTestMapRules::StaticClass();
    std::unique_ptr<TCRMapRules, rtl::TObjectDeleter> made(cls.Create());
    ASSERT_NE(made, nullptr);
    EXPECT_STREQ(made->ClassName(), "TTestMapRules");
    EXPECT_TRUE(made->Enabled());
    EXPECT_EQ(made->ConverterManager(), TTestMapRules::GetConverterManager());
    EXPECT_EQ(cls.GetConverterManager(), TTestMapRules::GetConverterManager());
    // Items are provider-layer rules.
    EXPECT_NE(dynamic_cast<TCRMapRule*>(made->Add()), nullptr);
}

// --- converter manager ---

TEST(SizeConverters, Calculators) {
    const std::pair<int32_t, int32_t> half[] = {{7, 3}, {-7, -3}, {8, 4}, {0, 0}, {1, 0}};
    for (auto [in, out] : half) EXPECT_EQ(TSizeConverters::HalfSize(in), out) << in;
    EXPECT_EQ(TSizeConverters::DoubleSize(21), 42);
    EXPECT_EQ(TSizeConverters::SameSize(-1), -1);
    EXPECT_EQ(TSizeConverters::ZeroSize(17), 0);
    EXPECT_EQ(TSizeConverters::GuidTextSize(5), 38);
}

TEST(ConverterManager, OnDemandTableHasEveryPairOnceWithItsReverse) {
    TConverterManager manager;
    EXPECT_EQ(manager.GetDBProvider(), 0);
    EXPECT_EQ(manager.FetchConverterCount(), 0);
    ASSERT_EQ(manager.OnDemandConverterCount(), 441);
    std::set<std::pair<int, int>> pairs;
    for (int i = 0; i < manager.OnDemandConverterCount(); ++i) {
        const TOnDemandConverter* c = manager.OnDemandConverters(i);
        EXPECT_TRUE(pairs.emplace(c->SourceDataType, c->DestDataType).second)
            << c->SourceDataType << "->" << c->DestDataType;
        EXPECT_NE(c->GetConverter, nullptr);
        EXPECT_NE(c->PutConverter, nullptr);
    }
    for (auto [source, dest] : pairs) {
        if (source == mdtBlob || source == mdtMemo || source == mdtWideMemo) continue;
        EXPECT_TRUE(pairs.count({dest, source})) << source << "->" << dest << " has no reverse";
    }
    // Grouped by source in this order.
    EXPECT_EQ(manager.OnDemandConverters(0)->SourceDataType, mdtBoolean);
    EXPECT_EQ(manager.OnDemandConverters(440)->SourceDataType, mdtGuid);
}

TEST(ConverterManager, FindOnDemandConverterAndItsSizeCalculators) {
    TConverterManager manager;
    using S = TSizeConverters;
    struct Case {
        TMemDataType source, dest;
        bool exists;
        TSizeConverter length, scale;
    };
    const Case cases[] = {
        {mdtInt8, mdtInt8, false, nullptr, nullptr},
        {mdtFloat, mdtFloat, false, nullptr, nullptr},
        {mdtBoolean, mdtBoolean, false, nullptr, nullptr},
        {mdtInt32, mdtDate, false, nullptr, nullptr},
        {mdtGuid, mdtInt32, false, nullptr, nullptr},
        {mdtString, mdtBlob, false, nullptr, nullptr},
        {mdtMemo, mdtBlob, false, nullptr, nullptr},
        {mdtGuid, mdtBytes, false, nullptr, nullptr},
        {mdtBytes, mdtGuid, false, nullptr, nullptr},
        {mdtInt8, mdtInt16, true, nullptr, nullptr},
        {mdtInt32, mdtString, true, nullptr, nullptr},
        {mdtDate, mdtDateTime, true, nullptr, nullptr},
        {mdtMemo, mdtWideMemo, true, nullptr, nullptr},
        {mdtBlob, mdtWideString, true, nullptr, nullptr},
        {mdtInt32, mdtBCD, true, &S::ZeroSize, &S::ZeroSize},
        {mdtBoolean, mdtFmtBCD, true, &S::ZeroSize, &S::ZeroSize},
        {mdtExtWideString, mdtFmtBCD, true, &S::ZeroSize, &S::ZeroSize},
        {mdtVarBytes, mdtBCD, true, &S::ZeroSize, &S::ZeroSize},
        {mdtBCD, mdtBCD, true, &S::SameSize, &S::SameSize},
        {mdtFmtBCD, mdtBCD, true, &S::SameSize, &S::SameSize},
        {mdtBCD, mdtInt32, true, nullptr, nullptr},
        {mdtString, mdtString, true, &S::SameSize, nullptr},
        {mdtString, mdtExtWideString, true, &S::SameSize, nullptr},
        {mdtBytes, mdtVarBytes, true, &S::SameSize, nullptr},
        {mdtString, mdtBytes, true, &S::SameSize, nullptr},
        {mdtWideString, mdtVarBytes, true, &S::DoubleSize, nullptr},
        {mdtExtVarBytes, mdtExtWideString, true, &S::HalfSize, nullptr},
        {mdtGuid, mdtWideString, true, &S::GuidTextSize, nullptr},
        {mdtExtString, mdtGuid, true, &S::GuidTextSize, nullptr},
        {mdtDateTime, mdtString, true, nullptr, nullptr},
    };
    for (const auto& c : cases) {
        const TOnDemandConverter* conv = manager.FindOnDemandConverter(c.source, c.dest);
        ASSERT_EQ(conv != nullptr, c.exists) << c.source << "->" << c.dest;
        if (!conv) continue;
        EXPECT_EQ(conv->SourceDataType, c.source);
        EXPECT_EQ(conv->DestDataType, c.dest);
        EXPECT_EQ(conv->CalcLength, c.length) << c.source << "->" << c.dest;
        EXPECT_EQ(conv->CalcScale, c.scale) << c.source << "->" << c.dest;
    }
}

TEST(ConverterManager, FetchConvertersMatchTypeDestinationAndRanges) {
    TConverterManager manager;
    manager.AddFetchConverter(kPlain, mdtInt64);
    manager.AddFetchConverterWithCalc(kPlain, mdtString, mdtMemo, &TSizeConverters::DoubleSize, nullptr);
    manager.AddFetchConverterRange(kDecimal, 10, -1, -1, -1, mdtFloat);
    manager.AddFetchConverterFull(kDecimal, -1, -1, 1, 4, mdtBCD, mdtFmtBCD, nullptr, &TSizeConverters::SameSize);
    manager.AddFetchConverterFull(kDecimal, -1, -1, 0, -1, mdtBCD, mdtBCD, nullptr, nullptr);
    ASSERT_EQ(manager.FetchConverterCount(), 5);

    const TFetchConverter* plain = manager.FindFetchConverter(kPlain, -1, -1, mdtInt64);
    ASSERT_NE(plain, nullptr);
    EXPECT_EQ(plain->InternalDataType, mdtInt64);
    EXPECT_EQ(plain->CalcLength, nullptr);
    const TFetchConverter* memo = manager.FindFetchConverter(kPlain, 100, 0, mdtString);
    ASSERT_NE(memo, nullptr);
    EXPECT_EQ(memo->InternalDataType, mdtMemo);
    EXPECT_EQ(memo->CalcLength, &TSizeConverters::DoubleSize);

    struct Case {
        uint16_t type;
        int32_t length, scale;
        TMemDataType dest;
        int index;  // -1: none
    };
    const Case cases[] = {
        {kDecimal, -1, -1, mdtFloat, 2},  // an unknown length passes the lower bound 10
        {kDecimal, 10, -1, mdtFloat, 2},
        {kDecimal, 9, -1, mdtFloat, -1},
        {kDecimal, 18, 2, mdtBCD, 3},
        {kDecimal, 18, 0, mdtBCD, 4},  // the first converter whose ranges contain the column wins
        {kDecimal, 18, 5, mdtBCD, 4},
        {kDecimal, 18, -1, mdtBCD, 3},
        {kDecimal, 18, 2, mdtFmtBCD, -1},  // matched on the asked type, not the stored one
        {kSized, -1, -1, mdtInt64, -1},
        {kPlain, -1, -1, mdtInt32, -1},
    };
    for (const auto& c : cases) {
        const TFetchConverter* found = manager.FindFetchConverter(c.type, c.length, c.scale, c.dest);
        const TFetchConverter* expected = c.index < 0 ? nullptr : manager.FetchConverters(c.index);
        EXPECT_EQ(found, expected) << c.type << " " << c.length << "," << c.scale << " -> " << c.dest;
    }
}
