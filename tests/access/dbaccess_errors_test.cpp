#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "data/access/DBAccess_Common.h"

using namespace daccess;

namespace {

RTL_DECLARE_EXCEPTION(ETestProviderError, EDAError);

class EFatalTestError : public ETestProviderError {
public:
    using ETestProviderError::ETestProviderError;
    bool IsFatalError() const override { return true; }
    std::unique_ptr<rtl::Exception> Clone() const override { return std::make_unique<EFatalTestError>(*this); }
    [[noreturn]] void Raise() const override { throw *this; }
};

// A connection stand-in that records what its options and rules ask of it.
class TFakeConnection : public rtl::TComponent, public IDAConnectionLink {
public:
    explicit TFakeConnection(rtl::TComponent* Owner) : TComponent(Owner) {}

    std::vector<std::string> Calls;

    void LinkDisconnect() override { Calls.push_back("disconnect"); }
    void LinkSetIConnectionProp(int Prop, const rtl::Variant& Value) override {
        Calls.push_back(std::to_string(Prop) + "=" + rtl::VarToStr(Value));
    }
    const store::TFieldTypeMap& LinkFieldTypeMap() override { return TDAFieldTypeMap::Instance(); }
};

class TFakeDataSet : public rtl::TComponent, public IDADataSetLink {
public:
    explicit TFakeDataSet(rtl::TComponent* Owner) : TComponent(Owner) {}
    int Closes = 0;
    void LinkClose() override { ++Closes; }
    const store::TFieldTypeMap& LinkFieldTypeMap() override { return TDAFieldTypeMap::Instance(); }
};

constexpr uint16_t kTestText = 951;  // a database type of no real provider

void RegisterTestType() {
    static const bool done = [] {
        DBTypeInfos().Add(kTestText, "TestText", true, false);
        return true;
    }();
    (void)done;
}

}  // namespace

TEST(DAErrorTest, CarriesCodeAndComponentAndAnswersNotFatal) {
    rtl::TOwnedPtr<rtl::TComponent> owner(rtl::Create<rtl::TComponent>(nullptr));
    EDAError e(19, "constraint failed");
    e.SetComponent(owner.get());
    EXPECT_EQ(e.ErrorCode(), 19);
    EXPECT_EQ(e.Message(), "constraint failed");
    EXPECT_EQ(e.Component(), owner.get());
    EXPECT_FALSE(e.IsFatalError());
    EXPECT_FALSE(e.IsKeyViolation());
    EXPECT_TRUE(e.InheritsFromName("EDatabaseError"));

    // A provider's error keeps its class, code and answers through a clone and re-raise.
    const EFatalTestError fatal(10, "disk I/O error");
    std::unique_ptr<rtl::Exception> copy = fatal.Clone();
    try {
        copy->Raise();
    } catch (const db::EDatabaseError& caught) {
        auto* da = dynamic_cast<const EDAError*>(&caught);
        ASSERT_NE(da, nullptr);
        EXPECT_TRUE(da->IsFatalError());
        EXPECT_EQ(da->ErrorCode(), 10);
        EXPECT_STREQ(da->ClassName(), "ETestProviderError");
        EXPECT_TRUE(da->InheritsFromName("EDAError"));
    }
}

TEST(FieldTypeInfosTest, RegistryHoldsTheMappableTypesInOrder) {
    TFieldTypeInfos& infos = FieldTypeInfos();
    ASSERT_EQ(infos.Count(), 20);
    EXPECT_EQ(infos.Items(0)->FieldType, db::ftBoolean);
    EXPECT_EQ(infos.Items(19)->Name, "Guid");
    EXPECT_THROW(infos.Items(20), rtl::EListError);
    ASSERT_NE(infos.FindTypeInfo(db::ftFMTBcd), nullptr);
    EXPECT_EQ(infos.FindTypeInfo(db::ftFMTBcd)->Name, "FMTBCD");
    EXPECT_TRUE(infos.FindTypeInfo(db::ftFMTBcd)->ScaleAllowed);
    EXPECT_EQ(infos.FindTypeInfo(db::ftBlob), nullptr);
}

TEST(FieldTypeInfosTest, CheckTypeInfo) {
    struct Case {
        db::TFieldType Type;
        int32_t Length;
        int32_t Scale;
        const char* Error;  // null: passes
    };
    const Case cases[] = {
        {db::ftString, 20, -1, nullptr},
        {db::ftBCD, 10, 2, nullptr},
        {db::ftInteger, -1, -1, nullptr},
        {db::ftInteger, 4, -1, "Length cannot be specified for the \"Integer\" field type"},
        {db::ftDateTime, -1, 0, "Scale cannot be specified for the \"DateTime\" field type"},
        {db::ftString, 20, 2, "Scale cannot be specified for the \"String\" field type"},
        {db::ftUnknown, -1, -1, "Field type is not defined"},
        {db::ftBlob, -1, -1, "Unsupported field type: 15"},
    };
    for (const Case& c : cases) {
        if (!c.Error) {
            EXPECT_NO_THROW(FieldTypeInfos().CheckTypeInfo(c.Type, c.Length, c.Scale)) << c.Type;
            continue;
        }
        try {
            FieldTypeInfos().CheckTypeInfo(c.Type, c.Length, c.Scale);
            ADD_FAILURE() << "no error for " << c.Type;
        } catch (const EInvalidFieldTypeMapping& e) {
            EXPECT_EQ(e.Message(), c.Error);
        }
    }
}

TEST(ConnectionOptionsTest, SettersPassChangesToTheConnection) {
    rtl::TOwnedPtr<TFakeConnection> conn(rtl::Create<TFakeConnection>(nullptr));
    TDAConnectionOptions options(conn.get());
    EXPECT_TRUE(options.KeepDesignConnected());
    EXPECT_FALSE(options.DisconnectedMode());
    EXPECT_EQ(options.DefaultSortType(), store::stCaseSensitive);
    EXPECT_EQ(options.GetOwner(), conn.get());

    options.SetDisconnectedMode(false);  // unchanged: no disconnect
    options.SetDisconnectedMode(true);
    options.SetDefaultSortType(store::stCaseSensitive);  // unchanged: nothing
    options.SetDefaultSortType(store::stBinary);
    options.SetEnableBCD(false);  // passed even when unchanged
    options.SetEnableFMTBCD(true);
    EXPECT_EQ(conn->Calls, (std::vector<std::string>{"disconnect", "31=True", "48=2", "41=False", "42=True"}));
    EXPECT_TRUE(options.DisconnectedMode());
    EXPECT_EQ(options.DefaultSortType(), store::stBinary);

    // Options without a connection just keep their values.
    TDAConnectionOptions loose(nullptr);
    loose.SetDisconnectedMode(true);
    loose.SetEnableBCD(true);
    EXPECT_TRUE(loose.DisconnectedMode());
}

TEST(ConnectionOptionsTest, AssignCopiesAllButTheSortType) {
    rtl::TOwnedPtr<TFakeConnection> conn(rtl::Create<TFakeConnection>(nullptr));
    TDAConnectionOptions source(nullptr);
    source.SetKeepDesignConnected(false);
    source.SetDisconnectedMode(true);
    source.SetLocalFailover(true);
    source.SetDefaultSortType(store::stCaseInsensitive);
    source.SetEnableFMTBCD(true);

    TDAConnectionOptions dest(conn.get());
    dest.Assign(&source);
    EXPECT_FALSE(dest.KeepDesignConnected());
    EXPECT_TRUE(dest.DisconnectedMode());
    EXPECT_TRUE(dest.LocalFailover());
    EXPECT_FALSE(dest.EnableBCD());
    EXPECT_TRUE(dest.EnableFMTBCD());
    EXPECT_EQ(dest.DefaultSortType(), store::stCaseSensitive);
    EXPECT_EQ(conn->Calls, (std::vector<std::string>{"disconnect", "31=True", "41=False", "42=True"}));

    TPoolingOptions pooling(nullptr);
    EXPECT_THROW(pooling.Assign(&source), rtl::EConvertError);
}

TEST(PoolingOptionsTest, DefaultsAndAssign) {
    TPoolingOptions a(nullptr);
    EXPECT_EQ(a.MaxPoolSize(), 100);
    EXPECT_EQ(a.MinPoolSize(), 0);
    EXPECT_EQ(a.ConnectionLifetime(), 0);
    EXPECT_FALSE(a.Validate());
    a.SetMaxPoolSize(8);
    a.SetMinPoolSize(2);
    a.SetConnectionLifetime(60000);
    a.SetValidate(true);
    TPoolingOptions b(nullptr);
    b.Assign(&a);
    EXPECT_EQ(b.MaxPoolSize(), 8);
    EXPECT_EQ(b.MinPoolSize(), 2);
    EXPECT_EQ(b.ConnectionLifetime(), 60000);
    EXPECT_TRUE(b.Validate());
}

TEST(DAMapRulesTest, ChangingARuleClosesTheOwner) {
    rtl::TOwnedPtr<TFakeConnection> conn(rtl::Create<TFakeConnection>(nullptr));
    rtl::TOwnedPtr<TFakeDataSet> ds(rtl::Create<TFakeDataSet>(nullptr));
    TDAConnectionMapRules connRules(conn.get());
    TDADataSetMapRules dsRules(ds.get());

    TDAMapRule* rule = connRules.AddRule();
    EXPECT_EQ(rule->DBLengthMin(), -1);
    EXPECT_EQ(rule->FieldType(), db::ftUnknown);
    EXPECT_FALSE(conn->Calls.empty());
    conn->Calls.clear();
    rule->SetFieldType(db::ftString);
    rule->SetFieldLength(40);
    EXPECT_EQ(conn->Calls, (std::vector<std::string>{"disconnect", "disconnect"}));

    TDAMapRule* other = dsRules.AddRule();
    ds->Closes = 0;
    other->SetDBType(kTestText);
    EXPECT_EQ(ds->Closes, 1);

    // Assigning copies the rule and closes the destination's owner once more.
    other->Assign(rule);
    EXPECT_EQ(other->FieldType(), db::ftString);
    EXPECT_EQ(other->FieldLength(), 40);
    EXPECT_EQ(other->DBType(), 0);
    EXPECT_GE(ds->Closes, 2);
}

TEST(DAMapRulesTest, CopyToHandsRulesToTheProviderLayer) {
    RegisterTestType();
    rtl::TOwnedPtr<TFakeConnection> conn(rtl::Create<TFakeConnection>(nullptr));
    TDAConnectionMapRules rules(conn.get());
    TDAMapRule* byName = rules.AddRule();
    byName->SetFieldName("name");
    byName->SetFieldType(db::ftString);
    byName->SetFieldLength(100);
    TDAMapRule* byType = rules.AddRule();
    byType->SetDBType(kTestText);
    byType->SetDBLengthMin(1);
    byType->SetDBLengthMax(8);
    byType->SetFieldType(db::ftInteger);
    byType->SetIgnoreErrors(true);

    TCRMapRules provider;
    provider.AddRule("stale", kTestText, -1, -1, -1, -1, store::mdtString, -1, -1, false);
    rules.CopyTo(&provider);
    ASSERT_EQ(provider.Count(), 2);
    EXPECT_EQ(provider.Items(0)->FieldName(), "name");
    EXPECT_EQ(provider.Items(0)->DataType(), store::mdtString);
    EXPECT_EQ(provider.Items(0)->FieldLength(), 100);
    EXPECT_EQ(provider.Items(1)->DBType(), kTestText);
    EXPECT_EQ(provider.Items(1)->DBLengthMax(), 8);
    EXPECT_EQ(provider.Items(1)->DataType(), store::mdtInt32);
    EXPECT_EQ(&TDAFieldTypeMap::Instance().GetFieldTypeInfos(), &FieldTypeInfos());
    EXPECT_TRUE(provider.Items(1)->IgnoreErrors());

    // A rule collection with no owner to map through is a programming fault.
    TDAMapRules bare;
    bare.AddRule()->SetFieldType(db::ftString);
    EXPECT_THROW(bare.CopyTo(&provider), rtl::EAssertionFailed);
}

TEST(DAMapRulesTest, CheckRuleValidatesBothSides) {
    RegisterTestType();
    TDADataSetMapRules rules(nullptr);
    EXPECT_NO_THROW(rules.CheckRule("", kTestText, 1, 10, -1, -1, db::ftString, 10, -1));
    EXPECT_THROW(rules.CheckRule("", kTestText, -1, -1, 0, 2, db::ftString, 10, -1), EInvalidDBTypeMapping);
    EXPECT_THROW(rules.CheckRule("", kTestText, -1, -1, -1, -1, db::ftInteger, 4, -1), EInvalidFieldTypeMapping);
    // The base collection checks the field side only.
    TDAMapRules bare;
    EXPECT_NO_THROW(bare.CheckRule("", 999, 5, 5, 5, 5, db::ftBCD, 10, 2));
    EXPECT_THROW(bare.CheckRule("", 999, -1, -1, -1, -1, db::ftUnknown, -1, -1), EInvalidFieldTypeMapping);
}
