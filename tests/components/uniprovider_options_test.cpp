#include <gtest/gtest.h>

#include <map>

#include "data/components/UniConsts.h"
#include "test_provider.h"

using namespace components;
using uptest::TPropLog;
using uptest::TRecConnection;
using uptest::TTestProvider;

namespace {

// The last value sent for each property id, and how often each id was sent.
struct TSent {
    std::map<int, Variant> Values;
    std::map<int, int> Counts;
};

TSent Collect(const TPropLog& Log) {
    TSent s;
    for (const auto& [prop, value] : Log) {
        s.Values[prop] = value;
        ++s.Counts[prop];
    }
    return s;
}

class OptionsTest : public ::testing::Test {
protected:
    void SetUp() override {
        Provider.reset(rtl::Create<TTestProvider>(nullptr));
        Conn.reset(rtl::Create<TRecConnection>());
        Lines.reset(rtl::Create<rtl::TStringList>());
    }
    TSent Apply(std::initializer_list<const char*> lines) {
        Lines->Clear();
        for (const char* l : lines) Lines->Add(l);
        Conn->Log.clear();
        Provider->SetObjectProps(Conn.get(), Lines.get());
        return Collect(Conn->Log);
    }
    rtl::TOwnedPtr<TTestProvider> Provider;
    rtl::TOwnedPtr<TRecConnection> Conn;
    rtl::TOwnedPtr<rtl::TStringList> Lines;
};

TEST_F(OptionsTest, SendsEveryOptionWithGivenValuesOrDefaultsAndIgnoresOtherProviders) {
    TSent s = Apply({"SQLite.BusyTimeout=350", "SQLite.ReadUncommitted=True", "SQLite.EnableSharedCache=True",
                     "SQLite.ForeignKeys=False", "MySQL.OptimizedBigint=True"});
    ASSERT_EQ(s.Values.size(), 7u);
    for (const auto& [prop, count] : s.Counts) EXPECT_EQ(count, 1) << prop;
    EXPECT_EQ(s.Values[1007].AsInteger(), 350);
    EXPECT_TRUE(s.Values[1008].AsBoolean());
    EXPECT_TRUE(s.Values[1006].AsBoolean());
    EXPECT_FALSE(s.Values[1013].AsBoolean());
    EXPECT_FALSE(s.Values[1005].AsBoolean());
    EXPECT_EQ(s.Values[1002].AsAnsiString(), "");
    EXPECT_EQ(s.Values[1016].AsInteger(), uptest::taDefault);
    // Options go out in name order.
    std::vector<int> order;
    for (const auto& [prop, value] : Conn->Log) order.push_back(prop);
    EXPECT_EQ(order, (std::vector<int>{1005, 1007, 1002, 1006, 1016, 1013, 1008}));
}

TEST_F(OptionsTest, LineMatchingTable) {
    struct Case {
        std::vector<const char*> Lines;
        int Expected;  // BusyTimeout sent
    };
    const Case cases[] = {
        {{"SQLite.BusyTimeout=350", "SQLite.BusyTimeout=350"}, 350},
        {{"SQLite.BusyTimeout=1", "SQLite.BusyTimeout=2"}, 1},
        {{"SQLite.BusyTimeout=1", "SQLite.BusyTimeout=abc"}, 1},  // later lines are not read
        {{"sqlite.busytimeout=5"}, 5},
        {{"BusyTimeout=6"}, 6},  // no prefix: any provider
        {{"MySQL.BusyTimeout=7"}, 0},
        {{"MySQL.BusyTimeout=7", "SQLite.BusyTimeout=8"}, 8},
        {{"SQLite.BusyTimeout =9"}, 0},  // the name is not trimmed
        {{" SQLite.BusyTimeout=9"}, 0},
        {{"SQLite.BusyTimeout"}, 0},  // no "=": no name
        {{"SQLite.BusyTimeout= 42 "}, 42},
        {{"SQLite.Unknown=1", "SQLite.BusyTimeout=-5"}, -5},
        {{}, 0},
    };
    for (const Case& c : cases) {
        Lines->Clear();
        for (const char* l : c.Lines) Lines->Add(l);
        Conn->Log.clear();
        Provider->SetObjectProps(Conn.get(), Lines.get());
        TSent s = Collect(Conn->Log);
        EXPECT_EQ(s.Values[1007].AsInteger(), c.Expected) << (c.Lines.empty() ? "" : c.Lines[0]);
        EXPECT_EQ(s.Counts[1007], 1);
    }
}

TEST_F(OptionsTest, ValueConversionTable) {
    struct Case {
        const char* Line;
        int Prop;
        Variant Expected;
    };
    const Case cases[] = {
        {"SQLite.ForeignKeys=FALSE", 1013, false},
        {"SQLite.ForeignKeys= true ", 1013, true},
        {"SQLite.ClientLibrary= lib.so ", 1002, " lib.so "},  // strings are taken as written
        {"SQLite.ClientLibrary=a=b", 1002, "a=b"},
        {"SQLite.EncryptionAlgorithm=taAES256", 1016, static_cast<unsigned char>(4)},
        {"SQLite.EncryptionAlgorithm= TAaes128", 1016, static_cast<unsigned char>(2)},
        {"SQLite.BusyTimeout=2147483647", 1007, 2147483647},
    };
    for (const Case& c : cases) {
        TSent s = Apply({c.Line});
        EXPECT_EQ(s.Values[c.Prop].VType(), c.Expected.VType()) << c.Line;
        EXPECT_EQ(s.Values[c.Prop].AsAnsiString(), c.Expected.AsAnsiString()) << c.Line;
    }
}

TEST_F(OptionsTest, BadValuesRaiseAndStopTheApplication) {
    struct Case {
        const char* Line;
        const char* Message;
    };
    const Case cases[] = {
        {"SQLite.BusyTimeout=abc", "Invalid value: abc for option BusyTimeout"},
        {"SQLite.BusyTimeout=-2147483647", "Invalid value: -2147483647 for option BusyTimeout"},
        {"SQLite.BusyTimeout=", "Invalid value:  for option BusyTimeout"},
        {"SQLite.BusyTimeout=99999999999", "Invalid value: 99999999999 for option BusyTimeout"},
        {"SQLite.ForeignKeys=yes", "Invalid value: yes for option ForeignKeys"},
        {"SQLite.EncryptionAlgorithm=AES", "Invalid value: AES for option EncryptionAlgorithm"},
    };
    for (const Case& c : cases) {
        Lines->Clear();
        Lines->Add(c.Line);
        Conn->Log.clear();
        try {
            Provider->SetObjectProps(Conn.get(), Lines.get());
            ADD_FAILURE() << c.Line;
        } catch (const rtl::Exception& e) {
            EXPECT_EQ(e.Message(), c.Message);
        }
    }
    // Options before the bad one in name order were sent, later ones were not.
    Apply({});
    Lines->Clear();
    Lines->Add("SQLite.BusyTimeout=abc");
    Conn->Log.clear();
    EXPECT_THROW(Provider->SetObjectProps(Conn.get(), Lines.get()), rtl::Exception);
    TSent s = Collect(Conn->Log);
    EXPECT_EQ(s.Counts.count(1005), 1u);
    EXPECT_EQ(s.Counts.count(1007), 0u);
    EXPECT_EQ(s.Counts.count(1013), 0u);
}

TEST_F(OptionsTest, RemovedLineReturnsTheOptionToItsDefault) {
    EXPECT_FALSE(Apply({"SQLite.ForeignKeys=False", "SQLite.BusyTimeout=10"}).Values[1013].AsBoolean());
    TSent s = Apply({"SQLite.BusyTimeout=10"});
    EXPECT_TRUE(s.Values[1013].AsBoolean());
    EXPECT_EQ(s.Values[1007].AsInteger(), 10);
    EXPECT_EQ(Apply({}).Values[1007].AsInteger(), 0);
}

class TSubConnection : public TRecConnection {
    RTL_CLASS(TSubConnection, TRecConnection)
};

// Stands for a class of a unit above this one, known here only by name.
class TDAScriptProcessor : public rtl::TObject {
    RTL_CLASS(TDAScriptProcessor, rtl::TObject)
};
class TMyScriptProcessor : public TDAScriptProcessor {
    RTL_CLASS(TMyScriptProcessor, TDAScriptProcessor)
public:
    uptest::TPropLog Log;
};
class TScriptProvider : public TTestProvider {
public:
    using TTestProvider::TTestProvider;
    TOptionsList* GetScriptOptions() override {
        if (!FScriptOptions) {
            FScriptOptions.reset(NewOptionsList());
            FScriptOptions->AddOption(
                rtl::Adopt(new TIntegerOption("Step", 7, {&TMyScriptProcessor::StaticClass()}, 900)));
        }
        return FScriptOptions.get();
    }
};

TEST(OptionObjects, ApplyOnlyToTheirExactClassesAndReachTheRecordSetCommand) {
    rtl::TOwnedPtr<TTestProvider> provider(rtl::Create<TTestProvider>(nullptr));
    rtl::TOwnedPtr<rtl::TStringList> lines(rtl::Create<rtl::TStringList>());
    lines->Add("SQLite.FetchAll=True");
    lines->Add("SQLite.BusyTimeout=3");

    // A subclass of the listed class gets nothing.
    rtl::TOwnedPtr<TSubConnection> sub(rtl::Create<TSubConnection>());
    provider->SetObjectProps(sub.get(), lines.get());
    EXPECT_TRUE(sub->Log.empty());

    // A record set gets the dataset options, then its own command gets them again.
    rtl::TOwnedPtr<uptest::TRecRecordSet> rs(rtl::Create<uptest::TRecRecordSet>());
    provider->SetObjectProps(rs.get(), lines.get(), true);
    TSent own = Collect(rs->Log);
    TSent cmd = Collect(rs->RecCommand()->Log);
    EXPECT_EQ(own.Values.size(), 2u);
    EXPECT_TRUE(own.Values[22].AsBoolean());
    EXPECT_TRUE(own.Values[51].AsBoolean());
    EXPECT_EQ(cmd.Values.size(), 2u);
    EXPECT_TRUE(cmd.Values[22].AsBoolean());

    // A command alone gets the SQL options, which are none here.
    rtl::TOwnedPtr<uptest::TRecCommand> command(rtl::Create<uptest::TRecCommand>());
    provider->SetObjectProps(command.get(), lines.get());
    EXPECT_TRUE(command->Log.empty());
}

TEST(OptionObjects, KindsAboveThisLayerAreReachedThroughRegisteredHandlers) {
    rtl::TOwnedPtr<TScriptProvider> provider(rtl::Create<TScriptProvider>(nullptr));
    rtl::TOwnedPtr<TMyScriptProcessor> processor(rtl::Create<TMyScriptProcessor>());
    rtl::TOwnedPtr<rtl::TStringList> lines(rtl::Create<rtl::TStringList>());
    lines->Add("SQLite.Step=3");

    provider->SetObjectProps(processor.get(), lines.get());
    EXPECT_TRUE(processor->Log.empty());

    // The handler list is process-wide: take the handler away again however the test ends.
    struct TUnregister {
        ~TUnregister() { TUniProvider::RegisterSetPropHandler("TDAScriptProcessor", nullptr); }
    } unregister;
    TUniProvider::RegisterSetPropHandler("TDAScriptProcessor", [](rtl::TObject* Obj, int Prop, const Variant& V) {
        static_cast<TMyScriptProcessor*>(Obj)->Log.emplace_back(Prop, V);
        return true;
    });
    provider->SetObjectProps(processor.get(), lines.get());
    ASSERT_EQ(processor->Log.size(), 1u);
    EXPECT_EQ(processor->Log[0].first, 900);
    EXPECT_EQ(processor->Log[0].second.AsInteger(), 3);
}

TEST(OptionKinds, TextsAndValueLists) {
    TBooleanOption b("B", false, {}, 1);
    TIntegerOption i("I", 0, {}, 2);
    TStringOption s("S", "", {}, 3);
    TEnumeratorOption e("E", static_cast<unsigned char>(0), {}, 4, "_TMode", {"_mdRead", "_mdWrite"});
    EXPECT_EQ(b.ValueToText(true), "True");
    EXPECT_EQ(i.ValueToText(-12), "-12");
    EXPECT_EQ(s.ValueToText("x y"), "x y");
    // An enumeration whose type name starts with "_" drops the first character of its names.
    EXPECT_EQ(e.ValueToText(static_cast<unsigned char>(1)), "mdWrite");
    EXPECT_TRUE(e.IsValidText(" MDWRITE "));
    EXPECT_FALSE(e.IsValidText("_mdWrite"));
    EXPECT_EQ(e.TextToValue("mdWrite").AsInteger(), 1);
    rtl::TOwnedPtr<rtl::TStringList> values(rtl::Create<rtl::TStringList>());
    e.GetValuesList(values.get());
    EXPECT_EQ(values->CommaText(), "mdRead,mdWrite");
    values->Clear();
    b.GetValuesList(values.get());
    EXPECT_EQ(values->CommaText(), "False,True");
}

TEST(OptionLines, SplitTable) {
    struct Case {
        const char* Line;
        const char* Prefix;
        const char* Name;
        const char* Value;
    };
    const Case cases[] = {
        {"SQLite.Mode=a.b", "SQLite", "Mode", "a.b"},
        {"Mode=a.b", "", "Mode", "a.b"},
        {"SQLite.BusyTimeout", "", "", ""},
        {".X=1", "", "X", "1"},
        {"A.B.C=1", "A", "B.C", "1"},
        {"=1", "", "", "1"},
    };
    for (const Case& c : cases) {
        TOptionLine l = TOptionsList::SplitOptionLine(c.Line);
        EXPECT_EQ(l.Prefix, c.Prefix) << c.Line;
        EXPECT_EQ(l.Name, c.Name) << c.Line;
        EXPECT_EQ(l.Value, c.Value) << c.Line;
    }
}

TEST(SpecificOptions, UnprefixedLinesGetTheProviderNameAndChangesAreWatched) {
    rtl::TOwnedPtr<TTestProvider> provider(rtl::Create<TTestProvider>(nullptr));
    int asked = 0;
    rtl::TOwnedPtr<TSpecificOptionsHolder> holder(rtl::Create<TSpecificOptionsHolder>([&]() -> TUniProvider* {
        ++asked;
        return provider.get();
    }));
    TSpecificOptionsList* v = holder->Values();
    EXPECT_FALSE(holder->IsModified());
    v->Add("BusyTimeout=1");
    v->Add("SQLite.Mode=a.b");
    v->Add("Mode=a.b");
    v->Add("SQLite.BusyTimeout");
    v->Add("");
    v->Add("MySQL.OptimizedBigint=True");
    EXPECT_EQ(v->Text(),
              "SQLite.BusyTimeout=1\r\nSQLite.Mode=a.b\r\nSQLite.Mode=a.b\r\nSQLite.SQLite.BusyTimeout\r\n\r\n"
              "MySQL.OptimizedBigint=True\r\n");
    EXPECT_EQ(asked, 3);
    EXPECT_TRUE(holder->IsModified());

    v->SetStrings(1, "Direct=True");
    EXPECT_EQ(v->Strings(1), "SQLite.Direct=True");
    v->SetText("ForeignKeys=False\nSQLite.BusyTimeout=2");
    EXPECT_EQ(v->Count(), 2);
    EXPECT_EQ(v->Strings(0), "SQLite.ForeignKeys=False");

    EXPECT_EQ(v->FindOptionLine("ForeignKeys"), 0);
    EXPECT_EQ(v->FindOptionLine("SQLite.BusyTimeout"), 1);
    EXPECT_EQ(v->FindOptionLine("MySQL.ForeignKeys"), -1);
}

TEST(SpecificOptions, UnprefixedLineWithoutProviderRaisesAndStoresNothing) {
    rtl::TOwnedPtr<TSpecificOptionsHolder> holder(
        rtl::Create<TSpecificOptionsHolder>([]() -> TUniProvider* { return nullptr; }));
    holder->Values()->Add("SQLite.BusyTimeout=1");  // prefixed lines never ask
    try {
        holder->Values()->Add("BusyTimeout=1");
        ADD_FAILURE();
    } catch (const db::EDatabaseError& e) {
        EXPECT_EQ(e.Message(), "Provider is not defined");
    }
    EXPECT_EQ(holder->Values()->Count(), 1);

    // An owner's own refusal travels out of the provider callback unchanged.
    rtl::TOwnedPtr<TSpecificOptionsHolder> other(
        rtl::Create<TSpecificOptionsHolder>([]() -> TUniProvider* { RaiseProviderNotRegistered("MySQL"); }));
    EXPECT_THROW(other->Values()->Add("X=1"), rtl::Exception);
    EXPECT_EQ(other->Values()->Count(), 0);
}

}  // namespace
