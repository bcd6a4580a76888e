#include <gtest/gtest.h>

#include "data/access/DBAccess.h"
#include "data/access/MTSCall.h"
#include "expect_raise.h"
#include "lite_dataset_fixture.h"

using namespace daccess;
using accesstest::ExpectMessage;
using litedataset::LiteDataSetFixture;

namespace {

std::vector<AnsiString> GCalls;

class TLoggingDtcTransaction : public ICRTransactionSC {
public:
    HRESULT Commit(bool, uint32_t, uint32_t) override {
        GCalls.push_back("commit");
        return S_OK;
    }
    HRESULT Abort(const rtl::TGUID*, bool, bool) override {
        GCalls.push_back("abort");
        return S_OK;
    }
};

class TLoggingDispenser : public ICRTransactionDispenserSC {
public:
    HRESULT BeginTransaction(void*, int32_t, uint32_t, void*, std::shared_ptr<ICRTransactionSC>& T) override {
        GCalls.push_back("begin");
        T = std::make_shared<TLoggingDtcTransaction>();
        return S_OK;
    }
};

HRESULT LoggingEntry(const char*, const char*, const rtl::TGUID&, uint32_t, void*,
                     std::shared_ptr<ICRTransactionDispenserSC>& Dispenser) {
    GCalls.push_back("dispenser");
    Dispenser = std::make_shared<TLoggingDispenser>();
    return S_OK;
}

using DistributedTransactionTest = LiteDataSetFixture;

}  // namespace

// The transaction component over the SQLite provider: without a coordinator nothing starts; with
// one, the provider refuses to enlist and the distributed transaction is aborted. The connection
// works on in both cases.
TEST_F(DistributedTransactionTest, TheComponentReportsAndRecoversOnEveryPath) {
    rtl::TOwnedPtr<TDATransaction> t(rtl::Create<TDATransaction>(nullptr));
    t->SetTransactionType(ttMTS);
    t->SetDefaultConnection(Conn.get());
    Conn->Connect();

    SetCoordinatorEntry(nullptr);
    ExpectMessage([&] { t->StartTransaction(); }, "Can not find xolehlp.dll");
    EXPECT_FALSE(t->Active());

    GCalls.clear();
    SetCoordinatorEntry(LoggingEntry);
    ExpectMessage([&] { t->StartTransaction(); }, "MS DTC transactions not supported");
    SetCoordinatorEntry(nullptr);
    EXPECT_EQ(GCalls, (std::vector<AnsiString>{"dispenser", "begin", "abort"}));
    EXPECT_FALSE(t->Active());

    Conn->ExecSQL("UPDATE sources SET kind = 4 WHERE id = 1");
    TCustomDADataSet* q = Query("SELECT kind FROM sources WHERE id = 1");
    q->Open();
    EXPECT_EQ(q->FieldByName("kind")->AsInteger(), 4);
}
