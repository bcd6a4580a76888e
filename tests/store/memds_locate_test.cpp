#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "framework/rtl/Clock.h"
#include "framework/rtl/Timers.h"
#include "tests/store/memds_extras_fixture.h"

using namespace memdsx;
using db::loCaseInsensitive;
using db::loPartialKey;
using db::TLocateOptions;

namespace {

std::vector<TColumn> SourceColumns() {
    return {{u"id", mdtInt32, 4}, {u"source_name", mdtString, 41, 40}, {u"year_of", mdtInt16, 2}};
}

std::vector<std::vector<Variant>> SourceRows() {
    return {
        {Variant(1), Ru(u8"Архив города"), Variant(static_cast<int16_t>(1990))},
        {Variant(2), Ru(u8"архивный фонд"), Variant(static_cast<int16_t>(1985))},
        {Variant(3), Ru(u8"Библиотека"), Variant(static_cast<int16_t>(2001))},
        {Variant(4), Ru(u8"Музей истории"), Variant(static_cast<int16_t>(1990))},
        {Variant(5), Ru(u8"Архив края"), Variant(static_cast<int16_t>(1975))},
        {Variant(6), Variant::Null(), Variant(static_cast<int16_t>(2010))},
    };
}

std::vector<int> Ints(const std::vector<Variant>& values) {
    std::vector<int> out;
    for (const Variant& v : values) out.push_back(v.IsNull() ? -1 : v.AsInteger());
    return out;
}

struct Sources : ::testing::Test {
    TDataSetHolder S{SourceColumns(), SourceRows()};
    int BeforeScrolls = 0;
    int AfterScrolls = 0;

    void SetUp() override {
        S->BeforeScroll = [this](db::TDataSet*) { ++BeforeScrolls; };
        S->AfterScroll = [this](db::TDataSet*) { ++AfterScrolls; };
        S->Open();
        BeforeScrolls = AfterScrolls = 0;
    }
    int Id() const { return S.F("id")->AsInteger(); }
    std::vector<int> Ids() const { return Ints(S.Column("id")); }
};

}  // namespace

TEST_F(Sources, FetchAllOpenShowsEveryRow) {
    EXPECT_EQ(S->RecordCount(), 6);
    EXPECT_EQ(Ids(), (std::vector<int>{1, 2, 3, 4, 5, 6}));
    EXPECT_EQ(S.F("source_name")->AsString(), rtl::UTF8ToAnsi(u8"Архив города"));
    EXPECT_TRUE(S->FindField(std::string_view("year_of")) != nullptr);
}

TEST_F(Sources, IndexFieldNamesSortsInMemoryAndKeepsTheCurrentRow) {
    ASSERT_TRUE(S->Locate(u"id", Variant(4), {}));
    const struct {
        const char* Text;
        std::vector<int> Order;
    } cases[] = {
        {"year_of DESC;id", {6, 3, 1, 4, 2, 5}},
        {"year_of;id DESC", {5, 2, 4, 1, 3, 6}},
        {"year_of ASC;id ASC", {5, 2, 1, 4, 3, 6}},
        {"id DESC", {6, 5, 4, 3, 2, 1}},
    };
    for (const auto& c : cases) {
        S->SetIndexFieldNames(c.Text);
        EXPECT_EQ(Ids(), c.Order) << c.Text;
        EXPECT_EQ(Id(), 4) << c.Text;
        int expectedRecNo = 1;
        while (c.Order[static_cast<size_t>(expectedRecNo - 1)] != 4) ++expectedRecNo;
        EXPECT_EQ(S->RecNo(), expectedRecNo) << c.Text;
    }
    // Clearing keeps the order the records have now.
    S->SetIndexFieldNames("");
    EXPECT_EQ(Ids(), (std::vector<int>{6, 5, 4, 3, 2, 1}));
    EXPECT_EQ(Id(), 4);
}

TEST_F(Sources, MalformedIndexFieldNamesFailAndChangeNothing) {
    S->SetIndexFieldNames("year_of DESC");
    S->Next();
    const std::pair<const char*, const char*> cases[] = {
        {"year_of SIDEWAYS", "Invalid IndexFieldNames format!"},
        {"year_of ASC DESC", "Invalid IndexFieldNames format!"},
        {"no_such_field", "Field no_such_field not found"},
    };
    for (const auto& [text, message] : cases) {
        EXPECT_EQ(ErrorOf([&] { S->SetIndexFieldNames(text); }), message) << text;
        EXPECT_EQ(S->IndexFieldNames(), "year_of DESC");
        EXPECT_EQ(Ids(), (std::vector<int>{6, 3, 1, 4, 2, 5}));
        EXPECT_EQ(Id(), 4);
    }
}

TEST_F(Sources, NameSearchFilterIsReappliedPerKeystroke) {
    S->SetFiltered(true);
    EXPECT_EQ(S->RecordCount(), 6);  // a blank filter filters nothing
    const struct {
        const char8_t* Typed;
        std::vector<int> Visible;
    } keystrokes[] = {
        {u8"А", {1, 5}},    {u8"Ар", {1, 5}},   {u8"Архив", {1, 5}},      {u8"Архив к", {5}},
        {u8"Архив кz", {}}, {u8"Архив к", {5}}, {u8"и", {1, 2, 3, 4, 5}},
    };
    for (const auto& k : keystrokes) {
        S->SetFilter("source_name = \"*" + rtl::UTF8ToAnsi(std::u8string_view(k.Typed)) + "*\"");
        const std::string typed = rtl::AnsiToUTF8(rtl::UTF8ToAnsi(std::u8string_view(k.Typed)));
        EXPECT_EQ(S->RecordCount(), static_cast<int>(k.Visible.size())) << typed;
        EXPECT_EQ(S->RecNo(), k.Visible.empty() ? 0 : 1) << typed;
        EXPECT_EQ(Ids(), k.Visible) << typed;
    }
    S->Last();
    EXPECT_EQ(S->RecNo(), 5);
    S->SetFiltered(false);
    EXPECT_EQ(S->RecordCount(), 6);
    EXPECT_EQ(Ids(), (std::vector<int>{1, 2, 3, 4, 5, 6}));
}

TEST_F(Sources, LocateOptionsOnCyrillicText) {
    const TLocateOptions none{}, ci{loCaseInsensitive}, partial{loPartialKey}, both{loCaseInsensitive, loPartialKey};
    const struct {
        const char8_t* Key;
        TLocateOptions Options;
        int Id;  // 0: not found
    } cases[] = {
        {u8"Архив края", none, 5}, {u8"архив края", none, 0},
        {u8"архив края", ci, 5},   {u8"АРХИВ КРАЯ", ci, 5},
        {u8"Архив", none, 0},      {u8"Архив", ci, 0},
        {u8"Архив", partial, 1},   {u8"архив", partial, 2},
        {u8"архив", both, 1},      {u8"БИБЛ", both, 3},
        {u8"библ", partial, 0},    {u8"музей истории и", both, 0},  // a key longer than the value
    };
    for (const auto& c : cases) {
        S->First();
        ASSERT_TRUE(S->Locate(u"id", Variant(6), {}));
        BeforeScrolls = AfterScrolls = 0;
        const std::string key = reinterpret_cast<const char*>(c.Key);
        bool found = S->Locate(u"source_name", Ru(c.Key), c.Options);
        EXPECT_EQ(found, c.Id != 0) << key;
        EXPECT_EQ(Id(), c.Id ? c.Id : 6) << key;
        EXPECT_EQ(BeforeScrolls, 1) << key;
        EXPECT_EQ(AfterScrolls, found ? 1 : 0) << key;
    }
}

TEST_F(Sources, LocateByNullAndBySeveralFields) {
    EXPECT_TRUE(S->Locate(u"source_name", Variant::Null(), {}));
    EXPECT_EQ(Id(), 6);
    EXPECT_TRUE(S->Locate(u"year_of;source_name", rtl::VarArrayOf({Variant(1990), Ru(u8"Музей истории")}), {}));
    EXPECT_EQ(Id(), 4);
    EXPECT_FALSE(S->Locate(u"year_of;source_name", rtl::VarArrayOf({Variant(1985), Ru(u8"Музей истории")}), {}));
    EXPECT_EQ(Id(), 4);
    // A text key for a number column is converted.
    EXPECT_TRUE(S->Locate(u"year_of", Variant(AnsiString("2001")), {}));
    EXPECT_EQ(Id(), 3);
    EXPECT_EQ(ErrorOf([&] { S->Locate(u"nope", Variant(1), {}); }), "Field nope not found");
}

TEST_F(Sources, LocateOnSortedColumnFindsTheFirstOfEqualRecords) {
    const struct {
        const char* Index;
        int Year;
        int RecNo;  // 0: not found
    } cases[] = {
        {"year_of", 1990, 3}, {"year_of DESC", 1990, 3}, {"year_of", 1975, 1},
        {"year_of", 2010, 6}, {"year_of DESC", 2010, 1}, {"year_of", 1995, 0},
        {"year_of", 1900, 0}, {"year_of", 2020, 0},      {"year_of;id DESC", 1990, 3},
    };
    for (const auto& c : cases) {
        S->SetIndexFieldNames(c.Index);
        S->First();
        bool found = S->Locate(u"year_of", Variant(c.Year), {});
        EXPECT_EQ(found, c.RecNo != 0) << c.Index << " " << c.Year;
        EXPECT_EQ(S->RecNo(), c.RecNo ? c.RecNo : 1) << c.Index << " " << c.Year;
    }
    // Two sorted keys are both bisected.
    S->SetIndexFieldNames("year_of;id");
    EXPECT_TRUE(S->Locate(u"id;year_of", rtl::VarArrayOf({Variant(4), Variant(1990)}), {}));
    EXPECT_EQ(Id(), 4);
    EXPECT_EQ(S->RecNo(), 4);
    // A key that does not convert to the sorted column's type falls back to comparing text.
    S->SetIndexFieldNames("year_of");
    EXPECT_FALSE(S->Locate(u"year_of", Variant(AnsiString("abc")), {}));
    EXPECT_TRUE(S->Locate(u"year_of", Variant(AnsiString(" 2010 ")), {}));
    EXPECT_EQ(Id(), 6);
    // A case-insensitive search on a case-sensitive sort scans instead.
    S->SetIndexFieldNames("source_name");
    EXPECT_TRUE(S->Locate(u"source_name", Ru(u8"БИБЛИОТЕКА"), {loCaseInsensitive}));
    EXPECT_EQ(Id(), 3);
    EXPECT_TRUE(S->Locate(u"source_name", Ru(u8"Музей истории"), {}));
    EXPECT_EQ(Id(), 4);
}

TEST_F(Sources, NearestAndNextSearchOptions) {
    S->SetIndexFieldNames("year_of");
    std::vector<db::TField*> year{S.F("year_of")};
    EXPECT_TRUE(S->LocateFields(year, lxNearest, Variant(1995)));
    EXPECT_EQ(Id(), 3);                                            // the first record not before the key
    EXPECT_TRUE(S->LocateFields(year, lxNearest, Variant(2020)));  // past the end counts as found
    EXPECT_EQ(Id(), 6);
    S->First();
    EXPECT_TRUE(S->LocateFields(year, 0, Variant(1990)));
    EXPECT_EQ(S->RecNo(), 3);
    EXPECT_TRUE(S->LocateFields(year, lxNext, Variant(1990)));
    EXPECT_EQ(S->RecNo(), 4);
    EXPECT_FALSE(S->LocateFields(year, lxNext, Variant(1990)));
    EXPECT_EQ(S->RecNo(), 4);
    // Backwards from the current record: the nearest match before it.
    EXPECT_TRUE(S->LocateFields(year, lxUp, Variant(1990)));
    EXPECT_EQ(S->RecNo(), 3);
    EXPECT_FALSE(S->LocateFields(year, lxUp, Variant(1990)));
    S->Last();
    EXPECT_TRUE(S->LocateFields(year, lxUp, Variant(1990)));
    EXPECT_EQ(S->RecNo(), 4);
    S->SetIndexFieldNames("");  // same order, scanned now
    S->Last();
    EXPECT_TRUE(S->LocateFields(year, lxUp, Variant(1990)));
    EXPECT_EQ(S->RecNo(), 4);
    EXPECT_TRUE(S->LocateFields(year, lxUp, Variant(1990)));
    EXPECT_EQ(S->RecNo(), 3);
    std::vector<db::TField*> name{S.F("source_name")};
    EXPECT_TRUE(S->LocateFields(name, lxPartialCompare | lxCaseInsensitive, Ru(u8"ФОНД")));
    EXPECT_EQ(Id(), 2);
}

TEST_F(Sources, LookupNeverMoves) {
    S->Next();
    BeforeScrolls = AfterScrolls = 0;
    Variant v = S->Lookup(u"source_name", Ru(u8"Библиотека"), u"id;year_of");
    ASSERT_TRUE(v.IsArray());
    EXPECT_EQ(v.GetElement(0).AsInteger(), 3);
    EXPECT_EQ(v.GetElement(1).AsInteger(), 2001);
    EXPECT_EQ(S->Lookup(u"id", Variant(5), u"source_name").AsAnsiString(), rtl::UTF8ToAnsi(u8"Архив края"));
    EXPECT_TRUE(S->Lookup(u"id", Variant(42), u"source_name").IsNull());
    // Case matters for lookup.
    EXPECT_TRUE(S->Lookup(u"source_name", Ru(u8"библиотека"), u"id").IsNull());
    EXPECT_EQ(Id(), 2);
    EXPECT_EQ(BeforeScrolls + AfterScrolls, 0);

    S->SetFilter("year_of > 1980");
    S->SetFiltered(true);
    S->Next();
    EXPECT_EQ(Id(), 2);
    EXPECT_TRUE(S->Lookup(u"id", Variant(5), u"source_name").IsNull());  // filtered out
    EXPECT_EQ(S->Lookup(u"id", Variant(6), u"year_of").AsInteger(), 2010);
    EXPECT_EQ(Id(), 2);
}

TEST_F(Sources, BookmarksCompareByOrderAndDeletedRowsAreRefused) {
    ASSERT_TRUE(S->Locate(u"id", Variant(2), {}));
    db::TBookmark b2 = S->Bookmark();
    ASSERT_TRUE(S->Locate(u"id", Variant(4), {}));
    db::TBookmark b4 = S->Bookmark();
    EXPECT_LT(S->CompareBookmarks(b2, b4), 0);
    EXPECT_GT(S->CompareBookmarks(b4, b2), 0);
    EXPECT_EQ(S->CompareBookmarks(b2, b2), 0);
    S->SetIndexFieldNames("year_of DESC");
    EXPECT_GT(S->CompareBookmarks(b2, b4), 0);  // 1990 comes before 1985 now
    S->GotoBookmark(b2);
    EXPECT_EQ(Id(), 2);

    ASSERT_TRUE(S->Locate(u"id", Variant(4), {}));
    S->Delete();
    EXPECT_EQ(S->RecordCount(), 5);
    EXPECT_FALSE(S->BookmarkValid(b4));
    EXPECT_TRUE(S->BookmarkValid(b2));
    int current = Id();
    EXPECT_EQ(ErrorOf([&] { S->GotoBookmark(b4); }), "Record not found");
    EXPECT_EQ(Id(), current);
}

// ---------------------------------------------------------------------------------------------
// Local master/detail

namespace {

std::vector<TColumn> MasterColumns() { return {{u"id", mdtInt32, 4}, {u"name", mdtString, 21, 20}}; }

std::vector<TColumn> DetailColumns() {
    return {{u"pid", mdtInt32, 4}, {u"source_id", mdtInt32, 4}, {u"source_code", mdtString, 11, 10}};
}

std::vector<std::vector<Variant>> DetailRows() {
    auto code = [](const char* s) { return Variant(AnsiString(s)); };
    return {
        {Variant(101), Variant(1), code("1")},  {Variant(102), Variant(1), code("1")},
        {Variant(103), Variant(2), code("2")},  {Variant(104), Variant::Null(), Variant::Null()},
        {Variant(105), Variant(3), code("03")},
    };
}

struct MasterDetail : ::testing::Test {
    rtl::TScopedManualClock Clock;
    TDataSetHolder Master{MasterColumns(),
                          {{Variant(1), Variant(AnsiString("one"))},
                           {Variant(2), Variant(AnsiString("two"))},
                           {Variant(3), Variant(AnsiString("three"))},
                           {Variant::Null(), Variant(AnsiString("none"))}}};
    TDataSetHolder Detail{DetailColumns(), DetailRows()};
    rtl::TOwnedPtr<db::TDataSource> Source{rtl::Create<db::TDataSource>(nullptr)};
    int DetailScrolls = 0;

    void Link(const char16_t* DetailField = u"source_id") {
        Source->SetDataSet(Master.DS.get());
        Detail->SetMasterSource(Source.get());
        Detail->SetMasterFields(u"id");
        Detail->SetDetailFields(DetailField);
        Detail->AfterScroll = [this](db::TDataSet*) { ++DetailScrolls; };
    }
    void OpenBoth() {
        Master->Open();
        Detail->Open();
    }
    std::vector<int> Pids() const { return Ints(Detail.Column("pid")); }
    void Advance(uint64_t ms) {
        Clock.Advance(ms);
        rtl::ProcessTimers();
    }
};

}  // namespace

TEST_F(MasterDetail, DetailFollowsTheMasterRow) {
    Link();
    OpenBoth();
    EXPECT_EQ(Pids(), (std::vector<int>{101, 102}));
    Master->Next();
    EXPECT_EQ(Pids(), (std::vector<int>{103}));
    EXPECT_EQ(Detail->RecordCount(), 1);
    Master->Next();
    EXPECT_EQ(Pids(), (std::vector<int>{105}));
    Master->Next();  // a null key shows the records whose field is null
    EXPECT_EQ(Pids(), (std::vector<int>{104}));
    Master->First();
    EXPECT_EQ(Pids(), (std::vector<int>{101, 102}));
    // Unlinking shows everything again.
    Detail->SetMasterFields(u"");
    EXPECT_EQ(Detail->RecordCount(), 5);
}

TEST_F(MasterDetail, IntegerMasterAgainstTextDetailComparesAsText) {
    Link(u"source_code");
    OpenBoth();
    EXPECT_EQ(Pids(), (std::vector<int>{101, 102}));
    Master->Next();
    EXPECT_EQ(Pids(), (std::vector<int>{103}));
    Master->Next();
    EXPECT_EQ(Pids(), (std::vector<int>{}));  // "3" is not "03"
}

TEST_F(MasterDetail, MasterWithoutCurrentRowGivesEmptyDetail) {
    Link();
    OpenBoth();
    Master->Append();  // a new row not posted yet
    EXPECT_EQ(Detail->RecordCount(), 0);
    EXPECT_TRUE(Detail->Eof());
    Master->Cancel();  // back on the last row, whose key is null
    EXPECT_EQ(Pids(), (std::vector<int>{104}));

    TDataSetHolder empty{MasterColumns(), {}};
    empty->Open();
    Source->SetDataSet(nullptr);
    Source->SetDataSet(empty.DS.get());
    EXPECT_EQ(Detail->RecordCount(), 0);
    Detail->Close();
    Detail->Open();
    EXPECT_EQ(Detail->RecordCount(), 0);
    Source->SetDataSet(nullptr);
}

TEST_F(MasterDetail, NewDetailRowTakesTheMasterKey) {
    Link();
    OpenBoth();
    Master->Next();
    Detail->Append();
    EXPECT_EQ(Detail.F("source_id")->AsInteger(), 2);
    Detail.F("pid")->SetValue(Variant(106));
    Detail->Post();
    EXPECT_EQ(Pids(), (std::vector<int>{103, 106}));
    Master->First();
    EXPECT_EQ(Pids(), (std::vector<int>{101, 102}));
}

TEST_F(MasterDetail, DelayRefreshesOnceAfterTheMasterIsStill) {
    Link();
    Detail->SetDetailDelay(300);
    OpenBoth();
    DetailScrolls = 0;
    Master->Next();
    Advance(100);
    Master->Next();
    Advance(100);
    Master->Prior();
    Advance(299);
    EXPECT_EQ(DetailScrolls, 0);  // not refreshed yet
    EXPECT_EQ(Detail.F("pid")->AsInteger(), 101);
    EXPECT_EQ(Detail->RecordCount(), 2);
    Advance(1);
    EXPECT_EQ(DetailScrolls, 1);
    EXPECT_EQ(Detail.F("pid")->AsInteger(), 103);
    Advance(1000);
    EXPECT_EQ(DetailScrolls, 1);  // the timer stops after refreshing
    EXPECT_EQ(Pids(), (std::vector<int>{103}));

    Detail->SetDetailDelay(0);
    Master->Next();
    EXPECT_EQ(Pids(), (std::vector<int>{105}));
}

TEST_F(MasterDetail, LinkKeepsItsOwnCopyOfTheMasterValue) {
    Link();
    OpenBoth();
    Master->Next();
    EXPECT_EQ(Pids(), (std::vector<int>{103}));
    // The master's buffers go away; re-filtering the detail must not read them.
    Master->Close();
    Detail->RefreshDetail();
    EXPECT_EQ(Pids(), (std::vector<int>{103}));
    ASSERT_EQ(Detail->LocalMDLinks().size(), 1u);
    EXPECT_FALSE(Detail->LocalMDLinks()[0].MasterIsNull);
}

TEST_F(MasterDetail, CircularLinkIsRefused) {
    Link();
    rtl::TOwnedPtr<db::TDataSource> detailSource{rtl::Create<db::TDataSource>(nullptr)};
    detailSource->SetDataSet(Detail.DS.get());
    EXPECT_EQ(ErrorOf([&] { Master->SetMasterSource(detailSource.get()); }), "Circular datalinks are not allowed");
    EXPECT_EQ(Master->MasterSource(), nullptr);
}

TEST_F(Sources, FindRecordUsesTheFilterOnlyForTheSearch) {
    S->SetOnFilterRecord([](db::TDataSet* DataSet, bool& Accept) {
        Accept = DataSet->FieldByName(std::string_view("year_of"))->AsInteger() == 1990;
    });
    EXPECT_EQ(S->RecordCount(), 6);  // not Filtered: the handler only drives FindFirst and friends
    EXPECT_TRUE(S->FindFirst());
    EXPECT_EQ(Id(), 1);
    EXPECT_TRUE(S->FindNext());
    EXPECT_EQ(Id(), 4);
    EXPECT_FALSE(S->FindNext());
    EXPECT_EQ(Id(), 4);
    EXPECT_TRUE(S->FindPrior());
    EXPECT_EQ(Id(), 1);
    EXPECT_TRUE(S->FindLast());
    EXPECT_EQ(Id(), 4);
    EXPECT_EQ(S->RecordCount(), 6);
    S->Next();
    EXPECT_EQ(Id(), 5);  // the neighbours are the dataset's own records again

    S->SetFiltered(true);
    EXPECT_EQ(Ids(), (std::vector<int>{1, 4}));
}

TEST_F(Sources, ExceptionInFilterHandlerIsShownNotRaised) {
    std::vector<rtl::AnsiString> shown;
    auto previous = rtl::SetApplicationExceptionHandler([&](const rtl::Exception& e) { shown.push_back(e.Message()); });
    S->SetOnFilterRecord([](db::TDataSet* DataSet, bool& Accept) {
        Accept = false;
        if (DataSet->FieldByName(std::string_view("id"))->AsInteger() == 3) throw rtl::Exception("bad row");
    });
    EXPECT_NO_THROW(S->SetFiltered(true));
    rtl::SetApplicationExceptionHandler(previous);
    EXPECT_EQ(shown, (std::vector<rtl::AnsiString>{"bad row"}));
    EXPECT_EQ(S->RecordCount(), 0);  // the row keeps the Accept it had when the handler failed
}

TEST_F(MasterDetail, AssignmentCopiesTheLinkAndTheDelay) {
    Link();
    Detail->SetDetailDelay(250);
    TDataSetHolder copy{DetailColumns(), DetailRows()};
    copy->Assign(Detail.DS.get());
    EXPECT_EQ(copy->MasterSource(), Source.get());
    EXPECT_EQ(copy->MasterFields(), u"id");
    EXPECT_EQ(copy->DetailFields(), u"source_id");
    EXPECT_EQ(copy->DetailDelay(), 250);
    ASSERT_NE(copy->DetailTimer(), nullptr);
    EXPECT_EQ(copy->DetailTimer()->Interval(), 250u);
    EXPECT_FALSE(copy->DetailTimer()->Enabled());
}

TEST_F(MasterDetail, ClosingTheDetailStopsAPendingRefresh) {
    Link();
    Detail->SetDetailDelay(300);
    OpenBoth();
    Master->Next();
    ASSERT_TRUE(Detail->DetailTimer()->Enabled());
    Detail->Close();
    EXPECT_FALSE(Detail->DetailTimer()->Enabled());
    Advance(1000);
    Detail->Open();
    EXPECT_EQ(Pids(), (std::vector<int>{103}));  // opening builds the link from the current master row
}

TEST_F(Sources, IllegalFilterTextLeavesTheFilterInForce) {
    S->SetFiltered(true);
    S->SetFilter("source_name = \"*" + rtl::UTF8ToAnsi(u8"Архив") + "*\"");
    ASSERT_EQ(Ids(), (std::vector<int>{1, 5}));
    // A double quote typed into the search box breaks the expression.
    const rtl::AnsiString broken = "source_name = \"*" + rtl::UTF8ToAnsi(u8"Архив\"") + "*\"";
    EXPECT_FALSE(ErrorOf([&] { S->SetFilter(broken); }).empty());
    EXPECT_EQ(S->Filter(), "source_name = \"*" + rtl::UTF8ToAnsi(u8"Архив") + "*\"");
    EXPECT_EQ(Ids(), (std::vector<int>{1, 5}));
    S->Refresh();
    EXPECT_EQ(S->RecordCount(), 2);
    EXPECT_EQ(Ids(), (std::vector<int>{1, 5}));
}

TEST(EmptySources, SearchesFindNothing) {
    TDataSetHolder S{SourceColumns(), {}};
    S->Open();
    for (const char* index : {"", "year_of"}) {
        S->SetIndexFieldNames(index);
        EXPECT_FALSE(S->Locate(u"year_of", Variant(1990), {})) << index;
        EXPECT_TRUE(S->Lookup(u"year_of", Variant(1990), u"id").IsNull()) << index;
        EXPECT_TRUE(S->Eof());
    }
    EXPECT_TRUE(S->LocateFields({S.F("year_of")}, lxNearest, Variant(1990)));  // the end counts as found
    EXPECT_TRUE(S->IsEmpty());
}

namespace {

std::vector<TColumn> CodeColumns() {
    return {{u"code", mdtInt32, 4}, {u"big", mdtInt64, 8}, {u"title", mdtString, 21, 20}, {u"n", mdtInt32, 4}};
}

// Codes repeat so that a search has a first and a next match; row 3 has nulls where others have 0.
std::vector<std::vector<Variant>> CodeRows() {
    const Variant null = Variant::Null();
    return {
        {Variant(0), Variant(int64_t{0}), Ru(u8"опись"), Variant(1)},
        {Variant(7), Variant(int64_t{1} << 40), Ru(u8"Опись"), Variant(2)},
        {null, null, null, Variant(3)},
        {Variant(7), Variant(int64_t{1} << 40), Ru(u8"опись 2"), Variant(4)},
        {Variant(9), Variant(int64_t{-5}), Ru(u8"ОПИСЬ"), Variant(5)},
        {Variant(7), Variant(int64_t{3}), Ru(u8"фонд"), Variant(6)},
    };
}

struct Codes : ::testing::Test {
    TDataSetHolder S{CodeColumns(), CodeRows()};
    void SetUp() override { S->Open(); }
    int N() const { return S.F("n")->AsInteger(); }
};

}  // namespace

TEST_F(Codes, ExactSearchesSkipNullsAndHiddenRowsAndKeepTheirDirection) {
    // A null slot holds zeros: a key of 0 must still not find it.
    EXPECT_TRUE(S->Locate(u"code", Variant(0), {}));
    EXPECT_EQ(N(), 1);
    EXPECT_TRUE(S->Locate(u"big", Variant(int64_t{0}), {}));
    EXPECT_EQ(N(), 1);
    EXPECT_TRUE(S->Locate(u"code", Variant::Null(), {}));
    EXPECT_EQ(N(), 3);
    EXPECT_TRUE(S->Locate(u"big", Variant(int64_t{1} << 40), {}));
    EXPECT_EQ(N(), 2);

    // Next and backward searches start beside the current record.
    std::vector<db::TField*> code{S.F("code")};
    S->First();
    EXPECT_TRUE(S->LocateFields(code, lxNext, Variant(7)));
    EXPECT_EQ(N(), 2);
    EXPECT_TRUE(S->LocateFields(code, lxNext, Variant(7)));
    EXPECT_EQ(N(), 4);
    EXPECT_TRUE(S->LocateFields(code, lxNext, Variant(7)));
    EXPECT_EQ(N(), 6);
    EXPECT_FALSE(S->LocateFields(code, lxNext, Variant(7)));
    EXPECT_EQ(N(), 6);
    EXPECT_TRUE(S->LocateFields(code, lxUp, Variant(7)));
    EXPECT_EQ(N(), 4);
    EXPECT_TRUE(S->LocateFields(code, lxUp, Variant(0)));
    EXPECT_EQ(N(), 1);

    // Rows the filter hides are not found, and the others keep their record numbers.
    S->SetFilter("n <> 2 and n <> 4");
    S->SetFiltered(true);
    EXPECT_TRUE(S->Locate(u"code", Variant(7), {}));
    EXPECT_EQ(N(), 6);
    EXPECT_EQ(S->RecNo(), 4);
    EXPECT_FALSE(S->Locate(u"big", Variant(int64_t{1} << 40), {}));
    EXPECT_EQ(N(), 6);
    EXPECT_TRUE(S->Locate(u"title", Ru(u8"фонд"), {}));
    EXPECT_EQ(S->RecNo(), 4);
    EXPECT_FALSE(S->Locate(u"title", Ru(u8"Опись"), {}));
    S->SetFiltered(false);
}

TEST_F(Codes, TextSearchesFollowTheLocaleComparison) {
    const TLocateOptions none{}, ci{loCaseInsensitive}, partial{loPartialKey};
    const struct {
        const char8_t* Key;
        TLocateOptions Options;
        int N;  // 0: not found
    } cases[] = {
        {u8"опись", none, 1}, {u8"Опись", none, 2}, {u8"ОПИСЬ", none, 5},   {u8"ОПИСЬ", ci, 1},
        {u8"опись 2", ci, 4}, {u8"опис", none, 0},  {u8"опис", partial, 1}, {u8"описи", ci, 0},
        {u8"", none, 0},      {u8"фонд ", none, 0}, {u8"ФОНД", ci, 6},
    };
    for (const auto& c : cases) {
        const std::string key = reinterpret_cast<const char*>(c.Key);
        S->Last();
        const bool found = S->Locate(u"title", Ru(c.Key), c.Options);
        EXPECT_EQ(found, c.N != 0) << key;
        EXPECT_EQ(N(), c.N ? c.N : 6) << key;
    }
}

TEST(QuickTextEquality, NeverContradictsTheLocaleComparison) {
    // Plain letters, case pairs, the letters with their own weights (ё, й), characters the
    // comparison ignores or expands (soft hyphen, ellipsis), punctuation and prefixes.
    const char8_t* words[] = {u8"опись",  u8"Опись", u8"ОПИСЬ",  u8"опис",   u8"описи",    u8"опись ",
                              u8"",       u8"ёж",    u8"еж",     u8"Ёж",     u8"йод",      u8"иод",
                              u8"Йод",    u8"a-b",   u8"ab",     u8"AB",     u8"a\u00ADb", u8"...",
                              u8"\u2026", u8"No",    u8"\u2116", u8"дело 1", u8"дело 2",   u8"Дело 1"};
    std::vector<std::string> texts;
    for (const char8_t* w : words) texts.push_back(rtl::UTF8ToAnsi(std::u8string_view(w)));
    for (const std::string& a : texts) {
        for (const std::string& b : texts) {
            for (const bool ci : {false, true}) {
                const int quick = store::TMemData::QuickTextEquality(a, b.c_str(), b.size(), ci);
                if (quick < 0) continue;
                const bool equal = (ci ? rtl::AnsiCompareText(a, b) : rtl::AnsiCompareStr(a, b)) == 0;
                EXPECT_EQ(quick == 1, equal) << a << " | " << b << " ci=" << ci;
            }
        }
        // A value slot ends at its size even without a zero.
        EXPECT_EQ(store::TMemData::QuickTextEquality(a, (a + "xyz").c_str(), a.size(), false), 1) << a;
    }
    // Plain texts are decided without the comparison.
    EXPECT_EQ(store::TMemData::QuickTextEquality(texts[0], texts[1].c_str(), texts[1].size(), false), 0);
    EXPECT_EQ(store::TMemData::QuickTextEquality(texts[0], texts[2].c_str(), texts[2].size(), true), 1);
}
