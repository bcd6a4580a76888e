// GUID columns hold their text form; two spellings of one GUID that differ in letter case are the
// same value, so a sort on them must tie and keep the rows' order.
#include <gtest/gtest.h>

#include <vector>

#include "memdata_sortfilter_fixture.h"

using namespace sortfiltertest;
using rtl::Variant;

TEST(MemDataSortGuid, KeyIgnoresLetterCase) {
    TStore s({{u"ID", mdtInt32, 4}, {u"G", mdtGuid, 39, 38}});
    const char* guids[] = {
        "{0000000B-0000-0000-0000-00000000000A}", "{0000000a-0000-0000-0000-00000000000a}",
        "{0000000b-0000-0000-0000-00000000000a}", "{0000000A-0000-0000-0000-00000000000A}",
        "{0000000C-0000-0000-0000-000000000000}", "{0000000b-0000-0000-0000-00000000000A}",
    };
    for (int i = 0; i < 6; ++i) s.Add({i + 1, Variant(AnsiString(guids[i]))});
    struct {
        const char* Order;
        std::vector<int> Ids;
    } const cases[] = {
        {"G", {2, 4, 1, 3, 6, 5}},
        {"G DESC", {5, 1, 3, 6, 2, 4}},
        {"G CIS", {2, 4, 1, 3, 6, 5}},
    };
    for (const auto& c : cases) {
        s.SetIndexFieldNames("ID");
        s.SetIndexFieldNames(c.Order);
        EXPECT_EQ(s.Ids(), c.Ids) << c.Order;
        // The comparison of single records, used when a row is inserted or updated, agrees.
        std::vector<void*> recs = s.Records();
        for (size_t i = 1; i < recs.size(); ++i) EXPECT_LE(s.CompareRecords(recs[i - 1], recs[i]), 0) << c.Order;
    }
    s.SetIndexFieldNames("G");
    std::vector<void*> recs = s.Records();
    EXPECT_EQ(s.CompareRecords(recs[0], recs[1]), 0);
}
