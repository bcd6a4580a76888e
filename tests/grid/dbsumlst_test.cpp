// The sum list over the memory dataset: upkeep through edits, posts, cancels and deletes, the
// full recalculation on open, filter change and master scroll, its failures and limits, and two
// lists hooked into one dataset.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <string>

#include "controls/grid/DBSumLst.h"
#include "framework/rtl/Exceptions.h"
#include "tests/grid/unnumbered_dataset.h"
#include "tests/support/memds_fixture.h"

using namespace grid;
using rtl::Variant;

namespace {

std::vector<std::vector<Variant>> Lines() {
    // id, master, amount, qty
    return {{Variant(1), Variant(1), Variant(10.5), Variant(2)},
            {Variant(2), Variant(1), Variant(4.25), Variant::Null()},
            {Variant(3), Variant(2), Variant(1.0), Variant(6)},
            {Variant(4), Variant(2), Variant(-0.75), Variant(1)}};
}

class SumListTest : public ::testing::Test {
protected:
    SumListTest()
        : Detail({{u"id", store::mdtInt32, 4},
                  {u"mid", store::mdtInt32, 4},
                  {u"amount", store::mdtFloat, 8},
                  {u"qty", store::mdtInt32, 4}},
                 Lines()),
          Master({{u"id", store::mdtInt32, 4}}, {{Variant(1)}, {Variant(2)}}) {}

    void SetUp() override { Detail.DS->Open(); }

    TDBSum* AddSum(TGroupOperation Op, const char16_t* Field) {
        TDBSum* s = List.SumCollection()->Add();
        s->SetGroupOperation(Op);
        s->SetFieldName(Field);
        return s;
    }
    static double Value(TDBSum* S) { return static_cast<double>(S->SumValue.Value) / 10000.0; }
    void Edit(int Id, const char* Field, const Variant& V) {
        ASSERT_TRUE(Detail.DS->Locate(u"id", Variant(Id), {}));
        Detail.DS->Edit();
        Detail.F(Field)->SetValue(V);
    }

    memdstest::TFixture Detail;
    memdstest::TFixture Master;
    TDBSumListProducer List{nullptr};
};

TEST_F(SumListTest, SumsFollowEditsPostsCancelsAndDeletes) {
    TDBSum* sum = AddSum(goSum, u"amount");
    TDBSum* avg = AddSum(goAvg, u"qty");
    TDBSum* all = AddSum(goCount, u"");
    TDBSum* some = AddSum(goCount, u"qty");
    List.AttachDataSet(Detail.DS.get());
    struct Step {
        const char* What;
        std::function<void()> Act;
        double Sum, Avg, All, Some;
    };
    const Step steps[] = {
        {"opened", [] {}, 15.0, 3.0, 4, 3},
        {"null to a value",
         [&] {
             Edit(2, "qty", Variant(3));
             Detail.DS->Post();
         },
         15.0, 3.0, 4, 4},
        {"a value to null",
         [&] {
             Edit(3, "qty", Variant::Null());
             Detail.DS->Post();
         },
         15.0, 2.0, 4, 3},
        // Zero adds nothing to a total yet is a value an average and a count take in.
        {"null to zero",
         [&] {
             Edit(3, "qty", Variant(0));
             Detail.DS->Post();
         },
         15.0, 1.5, 4, 4},
        {"zero to null",
         [&] {
             Edit(3, "qty", Variant::Null());
             Detail.DS->Post();
         },
         15.0, 2.0, 4, 3},
        {"posted unchanged",
         [&] {
             Edit(1, "amount", Variant(10.5));
             Detail.DS->Post();
         },
         15.0, 2.0, 4, 3},
        {"edit then cancel",
         [&] {
             Edit(1, "amount", Variant(1000.0));
             Detail.DS->Cancel();
         },
         15.0, 2.0, 4, 3},
        {"amount edited",
         [&] {
             Edit(1, "amount", Variant(0.5));
             Detail.DS->Post();
         },
         5.0, 2.0, 4, 3},
        {"delete",
         [&] {
             ASSERT_TRUE(Detail.DS->Locate(u"id", Variant(4), {}));
             Detail.DS->Delete();
         },
         5.75, 2.5, 3, 2},
        {"insert",
         [&] {
             Detail.DS->Append();
             Detail.F("id")->SetAsInteger(9);
             Detail.F("amount")->SetAsFloat(2.0);
             Detail.F("qty")->SetAsInteger(5);
             Detail.DS->Post();
         },
         7.75, 3.3333, 4, 3},
    };
    for (const Step& s : steps) {
        s.Act();
        EXPECT_DOUBLE_EQ(Value(sum), s.Sum) << s.What;
        EXPECT_DOUBLE_EQ(Value(avg), s.Avg) << s.What;
        EXPECT_DOUBLE_EQ(Value(all), s.All) << s.What;
        EXPECT_DOUBLE_EQ(Value(some), s.Some) << s.What;
    }
}

TEST_F(SumListTest, TenTimesOneTenthIsExactlyOne) {
    std::vector<std::vector<Variant>> rows;
    for (int i = 0; i < 10; ++i) rows.push_back({Variant(i), Variant(1), Variant(0.1), Variant(1)});
    Detail.DS->Close();
    Detail.Store->SetRows(rows);
    Detail.DS->Open();
    TDBSum* sum = AddSum(goSum, u"amount");
    List.AttachDataSet(Detail.DS.get());
    EXPECT_EQ(sum->SumValue.Value, 10000);
}

TEST_F(SumListTest, ExternalRecalcLeavesTheSumsToItsHandler) {
    TDBSum* sum = AddSum(goSum, u"amount");
    int recalcs = 0, after = 0;
    List.OnRecalcAll = [&](rtl::TObject*) {
        ++recalcs;
        sum->SumValue.Value = 70000;
    };
    List.OnAfterRecalcAll = [&](rtl::TObject*) { ++after; };
    List.SetExternalRecalc(true);
    List.AttachDataSet(Detail.DS.get());
    EXPECT_GE(recalcs, 1);
    EXPECT_EQ(after, 0);
    EXPECT_EQ(sum->SumValue.Value, 70000);
}

TEST_F(SumListTest, AFilterChangeIsRecalculatedAtTheNextScroll) {
    TDBSum* all = AddSum(goCount, u"");
    List.AttachDataSet(Detail.DS.get());
    Detail.DS->SetFilter("mid = 2");
    Detail.DS->SetFiltered(true);
    Detail.DS->First();
    Detail.DS->Next();
    EXPECT_EQ(all->SumValue.Value, 20000);
}

TEST_F(SumListTest, ADetailIsRecalculatedWhenItsMasterScrolls) {
    Master.DS->Open();
    auto* masterSrc = rtl::Create<db::TDataSource>(nullptr);
    masterSrc->SetDataSet(Master.DS.get());
    Detail.DS->Close();
    Detail.DS->SetMasterSource(masterSrc);
    Detail.DS->SetMasterFields(u"id");
    Detail.DS->SetDetailFields(u"mid");
    Detail.DS->Open();
    TDBSum* sum = AddSum(goSum, u"amount");
    List.AttachDataSet(Detail.DS.get());
    EXPECT_EQ(List.WatchedMaster(), Master.DS.get());
    EXPECT_DOUBLE_EQ(Value(sum), 14.75);
    Master.DS->Next();
    EXPECT_DOUBLE_EQ(Value(sum), 0.25);
    List.AttachDataSet(nullptr);
    Detail.DS->Close();
    Detail.DS->SetMasterSource(nullptr);
    masterSrc->Free();
}

TEST_F(SumListTest, ASumOverAMissingFieldRaisesAndLeavesTheEndStateSet) {
    List.AttachDataSet(Detail.DS.get());
    int changed = 0;
    List.SumListChanged = [&](rtl::TObject*) { ++changed; };
    try {
        AddSum(goSum, u"nosuch");
        FAIL() << "the missing field raises";
    } catch (const db::EDatabaseError& e) {
        EXPECT_NE(std::string(e.Message()).find("nosuch"), std::string::npos);
    }
    EXPECT_FALSE(List.Recalculating());
    EXPECT_GT(changed, 0);
    EXPECT_FALSE(Detail.DS->ControlsDisabled()) << "the walk gives the controls back";
}

TEST_F(SumListTest, OverflowRaisesInsteadOfWrapping) {
    TDBSum* sum = AddSum(goSum, u"amount");
    List.AttachDataSet(Detail.DS.get());
    struct Case {
        const char* What;
        std::vector<double> Amounts;
    };
    const Case cases[] = {
        {"one value beyond the range", {1e15}},
        {"a sum beyond the range", {9e14, 9e14}},
        {"a negative sum beyond the range", {-9e14, -9e14}},
    };
    for (const Case& c : cases) {
        std::vector<std::vector<Variant>> rows;
        for (double a : c.Amounts) rows.push_back({Variant(1), Variant(1), Variant(a), Variant(1)});
        Detail.DS->Close();
        Detail.Store->SetRows(rows);
        EXPECT_THROW(Detail.DS->Open(), rtl::EOverflow) << c.What;
        EXPECT_EQ(sum->SumValue.Value, 0) << c.What << ": no wrapped sum is shown";
        EXPECT_FALSE(Detail.DS->ControlsDisabled()) << c.What;
        EXPECT_FALSE(List.Recalculating()) << c.What;
    }
    // Grown by a post: the sum stays what it was.
    Detail.DS->Close();
    Detail.Store->SetRows(
        {{Variant(1), Variant(1), Variant(9e14), Variant(1)}, {Variant(2), Variant(1), Variant(0.0), Variant(1)}});
    Detail.DS->Open();
    const int64_t before = sum->SumValue.Value;
    Edit(2, "amount", Variant(9e14));
    EXPECT_THROW(Detail.DS->Post(), rtl::EOverflow);
    EXPECT_EQ(sum->SumValue.Value, before);

    EXPECT_EQ(sumfix::FromDouble(-922337203685477.0), -INT64_C(9223372036854769664)) << "the double nearest";
    // Odd thirty-seconds are exact halves of a ten-thousandth: they go to the even one.
    const std::pair<double, int64_t> halves[] = {{1.0 / 32, 312},   {3.0 / 32, 938}, {-1.0 / 32, -312},
                                                 {-3.0 / 32, -938}, {0.00004, 0},    {-0.00004, 0}};
    for (const auto& [value, want] : halves) EXPECT_EQ(sumfix::FromDouble(value), want) << value;
    EXPECT_THROW(sumfix::FromDouble(std::nan("")), rtl::EOverflow);
    EXPECT_THROW(sumfix::Add(INT64_MAX, 1), rtl::EOverflow);
    EXPECT_THROW(sumfix::Sub(INT64_MIN, 1), rtl::EOverflow);
    EXPECT_EQ(sumfix::Average(5, 2), 2) << "half to even";
    EXPECT_EQ(sumfix::Average(7, 2), 4);
    EXPECT_EQ(sumfix::Average(-7, 2), -4);
    EXPECT_EQ(sumfix::Average(10, 3), 3);
}

TEST_F(SumListTest, TwoListsOnOneDatasetUnhookInEitherOrder) {
    int userPosts = 0;
    Detail.DS->AfterPost = [&](db::TDataSet*) { ++userPosts; };
    for (const bool firstGoesFirst : {true, false}) {
        auto first = std::make_unique<TDBSumListProducer>(nullptr);
        auto second = std::make_unique<TDBSumListProducer>(nullptr);
        TDBSum* a = first->SumCollection()->Add();
        a->SetFieldName(u"amount");
        TDBSum* b = second->SumCollection()->Add();
        b->SetFieldName(u"amount");
        first->AttachDataSet(Detail.DS.get());
        second->AttachDataSet(Detail.DS.get());
        if (firstGoesFirst)
            first.reset();
        else
            second.reset();
        Edit(1, "amount", Variant(1.5));
        Detail.DS->Post();
        TDBSum* left = firstGoesFirst ? b : a;
        EXPECT_DOUBLE_EQ(static_cast<double>(left->SumValue.Value) / 10000, 6.0) << firstGoesFirst;
        first.reset();
        second.reset();
        Edit(1, "amount", Variant(10.5));
        Detail.DS->Post();
    }
    EXPECT_EQ(userPosts, 4) << "the dataset's own handler runs through every chain";
}

TEST_F(SumListTest, AHandlerThatFreesTheListMidEventLeavesTheDatasetWorking) {
    enum TFreer { ChangeNotice, UserAfterScroll };
    const struct {
        const char* What;
        TFreer Freer;
        bool UserAfterPost;
    } cases[] = {{"the list's change notice during a post", ChangeNotice, false},
                 {"the change notice, with the user's post handler after the list", ChangeNotice, true},
                 {"the user's scroll handler, which runs before the list", UserAfterScroll, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.What);
        int userPosts = 0;
        Detail.DS->AfterPost = nullptr;
        Detail.DS->AfterScroll = nullptr;
        if (c.UserAfterPost) Detail.DS->AfterPost = [&](db::TDataSet*) { ++userPosts; };
        auto list = std::make_unique<TDBSumListProducer>(nullptr);
        bool armed = false;  // the list's own walk scrolls too
        if (c.Freer == UserAfterScroll)
            Detail.DS->AfterScroll = [&](db::TDataSet*) {
                if (armed) list.reset();
            };
        list->SumCollection()->Add()->SetFieldName(u"amount");
        list->AttachDataSet(Detail.DS.get());
        if (c.Freer == ChangeNotice) list->SumListChanged = [&](rtl::TObject*) { list.reset(); };
        armed = true;
        if (c.Freer == UserAfterScroll) {
            Detail.DS->Next();
        } else {
            Edit(1, "amount", Variant(2.0));
            Detail.DS->Post();
        }
        EXPECT_FALSE(list) << "the handler freed the list";
        // The dataset goes on calling what is left of its chain.
        Edit(2, "amount", Variant(3.0));
        Detail.DS->Post();
        Detail.DS->Next();
        if (c.UserAfterPost) {
            EXPECT_GE(userPosts, 1);
        }
    }
    Detail.DS->AfterPost = nullptr;
    Detail.DS->AfterScroll = nullptr;
}

TEST_F(SumListTest, AWriteThatSendsNoFieldNoticeStillReachesTheSums) {
    // A new value written in the new-value state changes the record without a field-change
    // notice: the upkeep reads every summed field, so it sees the write all the same.
    TDBSum* sum = AddSum(goSum, u"amount");
    TDBSum* some = AddSum(goCount, u"qty");
    List.AttachDataSet(Detail.DS.get());
    memdstest::TLink link;
    auto* src = rtl::Create<db::TDataSource>(nullptr);
    src->SetDataSet(Detail.DS.get());
    link.SetDataSource(src);
    ASSERT_TRUE(Detail.DS->Locate(u"id", Variant(1), {}));
    Detail.DS->Edit();
    link.Log.clear();
    Detail.F("amount")->SetNewValue(Variant(2.5));
    Detail.F("qty")->SetNewValue(Variant::Null());
    EXPECT_TRUE(link.Log.empty()) << "no field notice was sent";
    Detail.DS->Post();
    EXPECT_DOUBLE_EQ(Detail.F("amount")->AsFloat(), 2.5);
    EXPECT_DOUBLE_EQ(Value(sum), 7.0);
    EXPECT_DOUBLE_EQ(Value(some), 2);
    link.SetDataSource(nullptr);
    src->Free();
}

TEST(SumListKinds, EveryStoredKindFollowsAnEditAndItsPost) {
    // Plain values of each width are compared as stored; a byte-sized or decimal value is read
    // through its field. Each goes null to a value, changes, and back to null, placed last in a
    // short record (read through its field), before a float and after one.
    struct Kind {
        const char* What;
        store::TMemDataType Type;
        int Size;
        Variant Seven;  // the store takes only a 64-bit integer into a 64-bit slot
        int Second;     // past the signed range of an unsigned kind
    };
    const Kind kinds[] = {
        {"int16", store::mdtInt16, 2, Variant(7), -5},      {"uint16", store::mdtUInt16, 2, Variant(7), 40000},
        {"int32", store::mdtInt32, 4, Variant(7), -5},      {"int64", store::mdtInt64, 8, Variant(int64_t{7}), -5},
        {"float", store::mdtFloat, 8, Variant(7), -5},      {"int8", store::mdtInt8, 1, Variant(7), -5},
        {"currency", store::mdtCurrency, 8, Variant(7), -5}};
    enum TLayout { Last, BeforeAFloat, AfterAFloat };
    for (const TLayout layout : {Last, BeforeAFloat, AfterAFloat})
        for (const Kind& k : kinds) {
            SCOPED_TRACE(std::string(k.What) + " in layout " + std::to_string(layout));
            std::vector<memdstest::TCol> cols{{u"id", store::mdtInt32, 4}};
            std::vector<std::vector<Variant>> rows{{Variant(1)}, {Variant(2)}};
            const auto add = [&](memdstest::TCol c, const Variant& First, const Variant& Second) {
                cols.push_back(c);
                rows[0].push_back(First);
                rows[1].push_back(Second);
            };
            if (layout == AfterAFloat) add({u"pad", store::mdtFloat, 8}, Variant(0.5), Variant(0.5));
            add({u"v", k.Type, k.Size}, k.Seven, Variant::Null());
            if (layout == BeforeAFloat) add({u"pad", store::mdtFloat, 8}, Variant(0.5), Variant(0.5));
            memdstest::TFixture data(cols, rows);
            data.DS->Open();
            TDBSumListProducer list{nullptr};
            TDBSum* sum = list.SumCollection()->Add();
            sum->SetFieldName(u"v");
            TDBSum* avg = list.SumCollection()->Add();
            avg->SetGroupOperation(goAvg);
            avg->SetFieldName(u"v");
            list.AttachDataSet(data.DS.get());
            const int64_t second = (7 + int64_t{k.Second}) * 10000;
            const std::pair<Variant, std::pair<int64_t, int64_t>> steps[] = {{Variant(3), {100000, 50000}},
                                                                             {Variant(k.Second), {second, second / 2}},
                                                                             {Variant::Null(), {70000, 70000}}};
            for (const auto& [value, want] : steps) {
                ASSERT_TRUE(data.DS->Locate(u"id", Variant(2), {}));
                data.DS->Edit();
                data.F("v")->SetValue(value);
                data.DS->Post();
                EXPECT_EQ(sum->SumValue.Value, want.first);
                EXPECT_EQ(avg->SumValue.Value, want.second);
            }
        }
}

TEST(SumListKinds, A64BitValueIsComparedAndReadWhole) {
    // Only the high half changes: a compare or read of four bytes would miss it.
    const int64_t low = 5, high = (int64_t{1} << 32) + 5;
    memdstest::TFixture data({{u"id", store::mdtInt32, 4}, {u"v", store::mdtInt64, 8}},
                             {{Variant(1), Variant(int64_t{2})}, {Variant(2), Variant(low)}});
    data.DS->Open();
    TDBSumListProducer list{nullptr};
    TDBSum* sum = list.SumCollection()->Add();
    sum->SetFieldName(u"v");
    list.AttachDataSet(data.DS.get());
    ASSERT_EQ(sum->SumValue.Value, 70000);
    for (const int64_t value : {high, low}) {
        ASSERT_TRUE(data.DS->Locate(u"id", Variant(2), {}));
        data.DS->Edit();
        data.F("v")->SetValue(Variant(value));
        data.DS->Post();
        EXPECT_EQ(sum->SumValue.Value, (value + 2) * 10000) << value;
    }
}

TEST_F(SumListTest, VirtualRecordNumbersCountWhereTheDatasetCannot) {
    rtl::TOwnedPtr<gridtest::TUnnumberedDataSet> ds(rtl::Create<gridtest::TUnnumberedDataSet>(nullptr));
    ds->SetIRecordSet(std::unique_ptr<store::TData>(new memdstest::TRowStore({{u"id", store::mdtInt32, 4},
                                                                              {u"mid", store::mdtInt32, 4},
                                                                              {u"amount", store::mdtFloat, 8},
                                                                              {u"qty", store::mdtInt32, 4}},
                                                                             Lines())));
    ds->Open();
    TDBSum* all = AddSum(goCount, u"");
    List.AttachDataSet(ds.get());
    EXPECT_FALSE(List.RecordsSequenced()) << "without virtual records nothing numbers them";
    List.SetVirtualRecords(true);
    ASSERT_TRUE(List.RecordsSequenced());
    auto numbers = [&] {
        std::vector<std::pair<int, int>> seen;  // id, number
        for (ds->First(); !ds->Eof(); ds->Next())
            seen.push_back({ds->FieldByName(u"id")->AsInteger(), List.RecordNumber()});
        return seen;
    };
    using Seen = std::vector<std::pair<int, int>>;
    EXPECT_EQ(List.RecordTotal(), 4);
    EXPECT_EQ(numbers(), (Seen{{1, 1}, {2, 2}, {3, 3}, {4, 4}}));
    List.GoToRecordNumber(3);
    EXPECT_EQ(ds->FieldByName(u"id")->AsInteger(), 3);
    List.GoToRecordNumber(9);
    EXPECT_EQ(ds->FieldByName(u"id")->AsInteger(), 3) << "a number beyond the records stays put";

    ASSERT_TRUE(ds->Locate(u"id", Variant(2), {}));
    ds->Delete();
    EXPECT_EQ(List.RecordTotal(), 3);
    EXPECT_EQ(numbers(), (Seen{{1, 1}, {3, 2}, {4, 3}}));
    ds->Append();
    ds->FieldByName(u"id")->SetAsInteger(9);
    ds->Post();
    EXPECT_EQ(List.RecordTotal(), 4);
    EXPECT_EQ(List.RecordNumber(), 4);
    EXPECT_EQ(numbers(), (Seen{{1, 1}, {3, 2}, {4, 3}, {9, 4}}));
    EXPECT_DOUBLE_EQ(Value(all), 4);
    // Cancelled inserts leave no number behind.
    ds->Append();
    ds->Cancel();
    EXPECT_EQ(List.RecordTotal(), 4);
    List.AttachDataSet(nullptr);
}

}  // namespace
