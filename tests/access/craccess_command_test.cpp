// The provider command: parameter scanning, statement text, property ids and parameter values.
#include <gtest/gtest.h>

#include "expect_raise.h"
#include "tests/support/fake_provider.h"
#include "framework/rtl/Text.h"

using namespace daccess;
using fake::TFakeCommand;

namespace {

using accesstest::ExpectAssertion;

struct CommandHolder {
    rtl::TOwnedPtr<TFakeCommand> Command{rtl::Create<TFakeCommand>()};
    TFakeCommand* operator->() const { return Command.get(); }
};

std::vector<AnsiString> ParamNames(const TCRCommand& command) {
    std::vector<AnsiString> names;
    for (int i = 0; i < command.ParamCount(); ++i) names.push_back(command.Params(i)->GetName());
    return names;
}

}  // namespace

TEST(CRCommandParseSQL, ReplacesParametersAndLeavesEverythingElseAlone) {
    struct Case {
        const char* sql;
        const char* native;
        std::vector<AnsiString> names;
    };
    const Case cases[] = {
        {"SELECT * FROM t WHERE a = :a AND b = ':b'", "SELECT * FROM t WHERE a = ? AND b = ':b'", {"a"}},
        {"x := 1", "x := 1", {}},
        {"SELECT a::int FROM t", "SELECT a::int FROM t", {}},
        {"SELECT :@name", "SELECT ?", {"@name"}},
        {"SELECT :\"Quoted Name\", :1", "SELECT ?, ?", {"Quoted Name", "1"}},
        {"SELECT * FROM t WHERE d = :date ORDER BY :order",
         "SELECT * FROM t WHERE d = ? ORDER BY ?",
         {"date", "order"}},
        {"SELECT 1 /* :hidden */ FROM t -- :gone\nWHERE x = :x",
         "SELECT 1 /* :hidden */ FROM t -- :gone\nWHERE x = ?",
         {"x"}},
        {"SELECT ': ' || :p", "SELECT ': ' || ?", {"p"}},
        {"a : b", "a : b", {}},
        {"SELECT :'x'", "SELECT :'x'", {}},
        {"SELECT :", "SELECT :", {}},
        {"WHERE id=:ID and kind=:Kind", "WHERE id=? and kind=?", {"ID", "Kind"}},
        {"", "", {}},
    };
    for (const Case& c : cases) {
        CommandHolder cmd;
        cmd->SetSQL(c.sql);
        EXPECT_EQ(cmd->NativeSQL(), c.native) << c.sql;
        EXPECT_EQ(ParamNames(*cmd.Command), c.names) << c.sql;
        EXPECT_EQ(cmd->SQL(), c.sql);
    }
}

TEST(CRCommandParseSQL, RenamePrefixRewritesNamesWithoutDescriptors) {
    CommandHolder cmd;
    EXPECT_EQ(cmd->ParseSQL("SELECT :a, :\"b\" FROM t WHERE c = 'x:y'", nullptr, true, "@"),
              "SELECT @a, @b FROM t WHERE c = 'x:y'");
    // Neither list nor prefix: the text passes unchanged.
    EXPECT_EQ(cmd->ParseSQL("SELECT :a", nullptr, true, ""), "SELECT :a");
}

TEST(CRCommandSQL, SameTextParsesOnceAndDisabledScanKeepsText) {
    CommandHolder cmd;
    cmd->SetSQL("SELECT :a");
    cmd->Params(0)->SetValue(5);
    TParamDesc* first = cmd->Params(0);
    cmd->SetSQL("SELECT :a");
    ASSERT_EQ(cmd->ParamCount(), 1);
    EXPECT_EQ(cmd->Params(0), first);
    EXPECT_EQ(cmd->Params(0)->GetValue().AsInteger(), 5);

    CommandHolder raw;
    raw->SetProp(pidDisableParamScan, true);
    raw->SetSQL("SELECT :a FROM t");
    EXPECT_EQ(raw->NativeSQL(), "SELECT :a FROM t");
    EXPECT_EQ(raw->ParamCount(), 0);
}

TEST(CRCommandSQL, ScanParamsTurnedOnParsesAgain) {
    CommandHolder cmd;
    cmd->SetProp(pidScanParams, false);
    cmd->SetSQL("SELECT :a, :b");
    cmd->ParamDescs()->Clear();
    cmd->SetProp(pidScanParams, true);
    EXPECT_EQ(ParamNames(*cmd.Command), (std::vector<AnsiString>{"a", "b"}));
    EXPECT_EQ(cmd->NativeSQL(), "SELECT ?, ?");
}

TEST(CRCommandParams, FindAndDeleteByName) {
    CommandHolder cmd;
    cmd->SetSQL("SELECT :Alpha, :beta");
    EXPECT_EQ(cmd->FindParam("ALPHA"), cmd->Params(0));
    EXPECT_EQ(cmd->FindParam("gamma"), nullptr);
    cmd->DeleteParam(0);
    EXPECT_EQ(ParamNames(*cmd.Command), (std::vector<AnsiString>{"beta"}));
}

TEST(CRCommandProps, AcceptedIgnoredAndRefusedIds) {
    CommandHolder cmd;
    for (int id : {pidAutoCommit, pidCompressBlobMode, pidDisableParamScan, pidQuoteNames, pidEnableBCD,
                   pidEnableFMTBCD, pidCommandReserved33, pidHasOutValues, pidIsStoredProc})
        EXPECT_TRUE(cmd->SetProp(id, id == pidCompressBlobMode ? Variant(2) : Variant(true))) << id;
    EXPECT_TRUE(cmd->AutoCommit());
    EXPECT_EQ(cmd->CompressBlobMode(), 2);
    EXPECT_TRUE(cmd->QuoteNames());

    Variant v;
    ASSERT_TRUE(cmd->GetProp(pidHasOutValues, v));
    EXPECT_TRUE(v.AsBoolean());
    for (int id : {pidRowsAffectedOnOpen, pidDescribesParams, pidExecuting}) {
        ASSERT_TRUE(cmd->GetProp(id, v));
        EXPECT_FALSE(v.AsBoolean()) << id;
    }
    ExpectAssertion([&] { cmd->SetProp(pidFetchAll, true); }, "22");
    ExpectAssertion([&] { cmd->GetProp(pidRowsAffected, v); }, "13");
}

TEST(CRCommandBase, ParserClassOfTheBaseIsAnAssertionAndCursorsAreUnsupported) {
    ExpectAssertion([] { TCRCommand::GetParserClass(); }, "Assertion failure");
    CommandHolder cmd;
    EXPECT_EQ(cmd->GetCursor(), nullptr);
    try {
        cmd->SetCursor(nullptr);
        FAIL();
    } catch (const rtl::Exception& e) {
        EXPECT_STREQ(e.what(), "Operation is not supported by the database");
    }
    EXPECT_EQ(&TFakeCommand::StaticClass().GetTableInfoClass(), &TCRTableInfo::StaticClass());
    rtl::TOwnedPtr<TSQLInfo> info(TFakeCommand::StaticClass().CreateSQLInfo());
    EXPECT_EQ(info->ParserClass(), &store::TSQLParser::StaticClass());
}

// --- parameter values ---

TEST(ParamDesc, NullFollowsTheValueAndObjectsTravelAsPointers) {
    rtl::TOwnedPtr<TParamDesc> p(rtl::Create<TParamDesc>());
    EXPECT_TRUE(p->GetNull());
    p->SetValue(3);
    EXPECT_FALSE(p->GetNull());
    p->SetValue(Variant::Null());
    EXPECT_TRUE(p->GetNull());
    p->SetValue(7);
    p->SetNull(true);
    EXPECT_TRUE(p->GetValue().IsEmpty());

    EXPECT_EQ(p->GetObject(), nullptr);
    store::TBlob* blob = store::CreateSharedObject<store::TBlob>();
    p->SetObject(blob);
    EXPECT_EQ(p->GetObject(), blob);
    p->SetNull(true);  // an object stays
    EXPECT_EQ(p->GetObject(), blob);
    blob->Release();

    p->SetValue(1);
    ExpectAssertion([&] { p->GetObject(); }, "Assertion failure");
}

namespace {

// Reverses the bytes and reports their count; a zero-length mode stands for a broken encryptor.
struct Reverser {
    bool Broken = false;
    int Calls = 0;
    int LastKind = 0;
    int operator()(const void* data, int length, int kind, Variant& result) {
        ++Calls;
        LastKind = kind;
        if (Broken) return 0;
        std::string s(static_cast<const char*>(data), static_cast<size_t>(length));
        result = AnsiString(s.rbegin(), s.rend());
        return length;
    }
};

}  // namespace

TEST(ParamDesc, EncryptedValuesByDataType) {
    auto rev = std::make_shared<Reverser>();
    rtl::TOwnedPtr<TParamDesc> p(rtl::Create<TParamDesc>());
    p->SetName("secret");
    p->SetEncryptor([rev](const void* d, int l, int k, Variant& r) { return (*rev)(d, l, k, r); });

    p->SetDataType(store::mdtString);
    p->SetValue("abc");
    EXPECT_EQ(p->GetValue().AsAnsiString(), "cba");
    EXPECT_EQ(rev->LastKind, 1);

    p->SetDataType(store::mdtVarBytes);
    p->SetValue(Variant::FromBytes(rtl::TBytes{1, 2}));
    EXPECT_EQ(rev->LastKind, 21);

    p->SetDataType(store::mdtWideString);
    p->SetValue(u"я");
    EXPECT_EQ(rev->LastKind, 25);

    p->SetValue(Variant::Null());
    EXPECT_TRUE(p->GetNull());

    p->SetDataType(store::mdtInt32);
    try {
        p->SetValue(5);
        FAIL();
    } catch (const rtl::Exception& e) {
        EXPECT_STREQ(e.what(), "Data type cannot be encrypted: 4");
    }
}

TEST(ParamDesc, EncryptorThatProducesNothingNeverLetsPlainTextThrough) {
    auto rev = std::make_shared<Reverser>();
    rev->Broken = true;
    rtl::TOwnedPtr<TParamDesc> p(rtl::Create<TParamDesc>());
    p->SetName("secret");
    p->SetDataType(store::mdtString);
    p->SetEncryptor([rev](const void* d, int l, int k, Variant& r) { return (*rev)(d, l, k, r); });
    EXPECT_THROW(p->SetValue("plain text"), rtl::Exception);
    EXPECT_TRUE(p->GetValue().IsEmpty());
    // An empty value has nothing to hide.
    p->SetValue("");
    EXPECT_EQ(p->GetValue().AsAnsiString(), "");

    store::TBlob* blob = store::CreateSharedObject<store::TBlob>();
    blob->SetAsAnsiString("memo text");
    p->SetDataType(store::mdtMemo);
    EXPECT_THROW(p->SetObject(blob), rtl::Exception);
    blob->Release();
}

TEST(ParamDesc, EncryptedBlobIsACopy) {
    auto rev = std::make_shared<Reverser>();
    rtl::TOwnedPtr<TParamDesc> p(rtl::Create<TParamDesc>());
    p->SetDataType(store::mdtMemo);
    p->SetEncryptor([rev](const void* d, int l, int k, Variant& r) { return (*rev)(d, l, k, r); });
    store::TBlob* blob = store::CreateSharedObject<store::TBlob>();
    blob->SetAsAnsiString("abc");
    p->SetObject(blob);
    auto* held = dynamic_cast<store::TBlob*>(p->GetObject());
    ASSERT_NE(held, nullptr);
    EXPECT_NE(held, blob);
    EXPECT_EQ(held->GetAsAnsiString(), "cba");
    EXPECT_EQ(blob->GetAsAnsiString(), "abc");
    blob->Release();
}
