// A row whose key changes is moved to its place at once; among rows with equal keys that place
// must be the one a fresh stable sort of the rows, in their order before the change, would give.
#include <gtest/gtest.h>

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
    const std::vector<TRow> initial = {{1, "d", 1}, {2, "b", 2}, {3, "f", 1}, {4, "d", 2}, {5, "b", 1},
                                       {6, "d", 1}, {7, "f", 2}, {8, "b", 2}};
    struct {
        const char* Order;
        int RecNo;  // 1-based in the sorted order
        std::string NewKey;
        int NewValue;
    } const cases[] = {
        {"K", 1, "d", 2},      // first row joins a later group
        {"K", 8, "b", 2},      // last row joins the first group
        {"K", 5, "d", 9},      // the key stays: only another field changes
        {"K", 4, "b", 2},      // moves up into the group just before it
        {"K", 2, "f", 1},      // moves down to the last group
        {"K DESC", 3, "b", 1},
        {"K DESC", 7, "f", 1},
        {"K;V", 2, "d", 1},
        {"K;V DESC", 6, "b", 2},
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
        EXPECT_EQ(s.Ids(), fresh.Ids()) << c.Order << ", row " << c.RecNo << " -> " << c.NewKey << "/"
                                        << c.NewValue;
    }
}
