#include <gtest/gtest.h>

#include "data/components/UniSQLMonitor.h"
#include "uni_fixture.h"

using namespace daccess;
using unitest::UniFixture;

namespace {

// Made under an owner that is being loaded, so it does not switch on (and reach for the monitor
// tool) before its options are set.
template <class T>
T* NewQuietMonitor(rtl::TComponent* Owner) {
    Owner->SetComponentStateFlag(rtl::csLoading, true);
    T* m = rtl::Create<T>(Owner);
    Owner->SetComponentStateFlag(rtl::csLoading, false);
    m->SetOptions({});
    m->SetActive(true);
    return m;
}

struct UniMonitorTest : UniFixture {
    // A monitor that leaves the monitor tool alone: made inactive, its options set, then switched on.
    components::TUniSQLMonitor* NewMonitor(std::vector<AnsiString>& Texts) {
        Owner.reset(rtl::Create<rtl::TComponent>(nullptr));
        auto* m = NewQuietMonitor<components::TUniSQLMonitor>(Owner.get());
        m->OnSQL = [&Texts](rtl::TObject*, const AnsiString& Text, TDATraceFlag) { Texts.push_back(Text); };
        return m;
    }
    void TearDown() override {
        Owner.reset();
        UniFixture::TearDown();
    }
    rtl::TOwnedPtr<rtl::TComponent> Owner;
};

}  // namespace

TEST_F(UniMonitorTest, TheUniversalMonitorHearsTheUniversalComponents) {
    std::vector<AnsiString> texts;
    components::TUniSQLMonitor* monitor = NewMonitor(texts);
    EXPECT_EQ(monitor->GetCaption(), "Marbelon");
    EXPECT_EQ(TraceFlagsToBits(monitor->TraceFlags()), 1643);
    EXPECT_EQ(TCustomDASQLMonitor::GetMonitor(components::TUniSQLMonitor::StaticClass()), monitor);

    // A monitor of the base class is not the universal components' monitor.
    std::vector<AnsiString> other;
    rtl::TOwnedPtr<rtl::TComponent> baseOwner(rtl::Create<rtl::TComponent>(nullptr));
    auto* base = NewQuietMonitor<TCustomDASQLMonitor>(baseOwner.get());
    base->OnSQL = [&](rtl::TObject*, const AnsiString& Text, TDATraceFlag) { other.push_back(Text); };

    Conn->SetUsername("u");
    Conn->Connect();
    components::VUdeVizov* q = Query("SELECT name FROM sources WHERE id = :id");
    q->ParamByName("id")->SetValue(Variant(2));
    q->Open();
    Conn->StartTransaction();
    Conn->Commit();

    EXPECT_TRUE(other.empty());
    ASSERT_FALSE(texts.empty());
    EXPECT_EQ(texts.front(), "Connect: u@");
    bool executed = false;
    for (const AnsiString& t : texts)
        if (t == "SQL Execute: SELECT name FROM sources WHERE id = :id\r\n:id(Integer)=2") executed = true;
    EXPECT_TRUE(executed);
    EXPECT_NE(std::find(texts.begin(), texts.end(), AnsiString("Commit: u@")), texts.end());
}

TEST_F(UniMonitorTest, TheFirstMonitorStaysRegisteredUntilItIsDestroyed) {
    std::vector<AnsiString> texts;
    components::TUniSQLMonitor* first = NewMonitor(texts);
    rtl::TOwnedPtr<rtl::TComponent> secondOwner(rtl::Create<rtl::TComponent>(nullptr));
    NewQuietMonitor<components::TUniSQLMonitor>(secondOwner.get());
    EXPECT_EQ(TCustomDASQLMonitor::GetMonitor(components::TUniSQLMonitor::StaticClass()), first);
    Owner.reset();
    EXPECT_EQ(TCustomDASQLMonitor::GetMonitor(components::TUniSQLMonitor::StaticClass()), nullptr);
    EXPECT_FALSE(TCustomDASQLMonitor::HasMonitor(Conn.get()));
}
