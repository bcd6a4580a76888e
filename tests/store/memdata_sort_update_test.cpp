// A row whose key changes is moved to its place at once; among rows with equal keys that place
// must be the one a fresh stable sort of the rows, in their order before the change, would give.
#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "memdata_sortfilter_fixture.h"

using namespace sortfiltertest;
using rtl::Variant;

namespace {

std::vector<TCol> Cols() { return {{u"ID", mdtInt32, 4}, {u"K", mdtString, 11, 10}, {u"V", mdtInt32, 4}}; }

struct TRow {
    int Id;
    std::string Key;
    int Value;
};

// The rows as the store shows them, read through the ids.
std::vector<TRow> Rows(TStore& s, const std::vector<TRow>& all) {
    std::vector<TRow> rows;
    for (int id : s.Ids())
        for (const auto& r : all)
            if (r.Id == id) rows.push_back(r);
    return rows;
}

}  // namespace

TEST(MemDataSortUpdate, UpdatedRowLandsWhereAFreshStableSortPutsIt) {
    // Ties on K everywhere: b x3, d x3, f x2; V breaks nothing unless the order names it.
    const std::vector<TRow> initial = {{1, "d", 1}, {2, "b", 2}, {3, "f", 1}, {4, "d", 2},
                                       {5, "b", 1}, {6, "d", 1}, {7, "f", 2}, {8, "b", 2}};
    struct {
        const char* Order;
        int RecNo;  // 1-based in the sorted order
        std::string NewKey;
        int NewValue;
    } const cases[] = {
        {"K", 1, "d", 2},  // first row joins a later group
        {"K", 8, "b", 2},  // last row joins the first group
        {"K", 5, "d", 9},  // the key stays: only another field changes
        {"K", 4, "b", 2},  // moves up into the group just before it
        {"K", 2, "f", 1},  // moves down to the last group
        {"K DESC", 3, "b", 1}, {"K DESC", 7, "f", 1}, {"K;V", 2, "d", 1}, {"K;V DESC", 6, "b", 2},
    };
    for (const auto& c : cases) {
        TStore s(Cols());
        for (const auto& r : initial) s.Add({r.Id, Variant(AnsiString(r.Key)), r.Value});
        s.SetIndexFieldNames(c.Order);
        // The rows in their order before the change, with the new values put in.
        std::vector<TRow> before = Rows(s, initial);
        TRow& changed = before[static_cast<size_t>(c.RecNo - 1)];
        changed.Key = c.NewKey;
        changed.Value = c.NewValue;

        s.SetRecordNo(c.RecNo);
        void* buf = s.AllocRecBuf();
        s.GetRecord(buf);
        s.PutFieldAsVariant(2, buf, Variant(AnsiString(c.NewKey)));
        s.PutFieldAsVariant(3, buf, Variant(c.NewValue));
        s.UpdateRecord(buf);
        s.FreeRecBuf(buf);

        TStore fresh(Cols());
        for (const auto& r : before) fresh.Add({r.Id, Variant(AnsiString(r.Key)), r.Value});
        fresh.SetIndexFieldNames(c.Order);
        EXPECT_EQ(s.Ids(), fresh.Ids()) << c.Order << ", row " << c.RecNo << " -> " << c.NewKey << "/" << c.NewValue;
    }
}

// A full sort keeps the text keys it made and reuses them next time for the rows whose text is
// unchanged: rows changed, added, deleted or made null in between must still sort by their values.
TEST(MemDataSortUpdate, RepeatedSortsFollowEveryChangeOfTheRows) {
    const std::vector<TCol> cols = {
        {u"ID", mdtInt32, 4}, {u"S", mdtString, 9, 8}, {u"W", mdtWideString, 18, 8}, {u"E", mdtExtString, 8}};
    TStore s(cols);
    std::mt19937 rnd(11);
    const char* pieces[] = {"a", "A", "b", "\xE0", "\xC0", "\xE1", "1", " "};
    auto text = [&]() -> Variant {
        if (rnd() % 7 == 0) return Variant::Null();
        AnsiString t;
        for (int n = static_cast<int>(rnd() % 3); n >= 0; --n) t += pieces[rnd() % 8];
        return Variant(t);
    };
    auto wide = [&] {
        Variant v = text();
        return v.IsNull() ? v : Variant(rtl::AnsiToWide(v.AsAnsiString()));
    };
    int nextId = 1;
    for (; nextId <= 150; ++nextId) s.Add({nextId, text(), wide(), text()});
    const char* orders[] = {"S", "S DESC", "S CIS", "S BIN", "W", "W DESC", "W CIS", "E", "E DESC", "E;S", "S;E DESC"};
    for (int step = 0; step < 300; ++step) {
        const int count = s.GetRecordCount();
        switch (rnd() % 4) {
            case 0: {  // one text of a row changes
                s.SetRecordNo(1 + static_cast<int>(rnd() % static_cast<unsigned>(count)));
                void* buf = s.AllocRecBuf();
                s.GetRecord(buf);
                const int field = 2 + static_cast<int>(rnd() % 3);
                s.PutFieldAsVariant(field, buf, field == 3 ? wide() : text());
                s.UpdateRecord(buf);
                s.FreeRecBuf(buf);
                break;
            }
            case 1: s.Add({nextId++, text(), wide(), text()}); break;
            case 2:
                s.SetRecordNo(1 + static_cast<int>(rnd() % static_cast<unsigned>(count)));
                s.DeleteRecord();
                break;
            default: {
                const char* order = orders[rnd() % std::size(orders)];
                const std::vector<void*> before = s.Records();
                s.SetIndexFieldNames(order);
                const std::vector<void*> after = s.Records();
                ASSERT_EQ(after.size(), before.size());
                // Sorted by the values, and rows that compare equal keep the order they had.
                for (size_t i = 1; i < after.size(); ++i) {
                    const int c = s.CompareRecords(after[i - 1], after[i]);
                    ASSERT_LE(c, 0) << order << " at step " << step << ", row " << i;
                    if (c == 0) {
                        ASSERT_LT(std::find(before.begin(), before.end(), after[i - 1]),
                                  std::find(before.begin(), before.end(), after[i]))
                            << order << " at step " << step << ", row " << i;
                    }
                }
                break;
            }
        }
    }
}
