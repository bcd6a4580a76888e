// The selected-row bookmark list against std::binary_search over the same bookmarks in the same
// run. Bookmarks have no order of their own, only the dataset's, so both searches compare through
// the dataset; the ratio shows what the list itself adds (string access, search cache, dispatch).
#include <benchmark/benchmark.h>

#include <algorithm>
#include <random>
#include <vector>

#include "controls/editors/ToolCtrlsEh.h"
#include "tests/store/memds_fixture.h"

namespace {

constexpr int RowCount = 100000;

class TBenchBMList : public editors::TBMListEh {
    RTL_CLASS(TBenchBMList, editors::TBMListEh)
public:
    explicit TBenchBMList(db::TDataSet* DataSet) : FDataSet(DataSet) {}
    db::TDataSet* GetDataSet() override { return FDataSet; }

private:
    db::TDataSet* FDataSet;
};

std::vector<std::vector<rtl::Variant>> IdRows() {
    std::vector<std::vector<rtl::Variant>> rows;
    for (int i = 1; i <= RowCount; ++i) rows.push_back({rtl::Variant(i)});
    return rows;
}

struct TSetup {
    memdstest::TFixture F{{{u"id", store::mdtInt32, 4}}, IdRows()};
    std::vector<db::TBookmark> Sorted;  // every row, in the dataset's order
    std::vector<db::TBookmark> Probes;  // the same, shuffled
    rtl::TOwnedPtr<TBenchBMList> List;

    TSetup() {
        F.DS->Open();
        for (F.DS->First(); !F.DS->Eof(); F.DS->Next()) Sorted.push_back(F.DS->Bookmark());
        Probes = Sorted;
        std::shuffle(Probes.begin(), Probes.end(), std::mt19937(2026));
        List.reset(rtl::Create<TBenchBMList>(F.DS.get()));
        for (const db::TBookmark& b : Sorted) List->Append(b);
    }
};

TSetup& Setup() {
    static TSetup s;
    return s;
}

void BM_BMListFind(benchmark::State& state) {
    TSetup& s = Setup();
    const size_t n = static_cast<size_t>(state.range(0));
    for (auto _ : state) {
        int found = 0;
        for (size_t i = 0; i < n; ++i) {
            int index = 0;
            found += s.List->Find(s.Probes[i], index) ? 1 : 0;
        }
        if (found != static_cast<int>(n)) state.SkipWithError("a listed bookmark was not found");
        benchmark::DoNotOptimize(found);
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

void BM_BaselineBinarySearch(benchmark::State& state) {
    TSetup& s = Setup();
    db::TDataSet* ds = s.F.DS.get();
    const size_t n = static_cast<size_t>(state.range(0));
    auto less = [ds](const db::TBookmark& a, const db::TBookmark& b) { return ds->CompareBookmarks(a, b) < 0; };
    for (auto _ : state) {
        int found = 0;
        for (size_t i = 0; i < n; ++i)
            found += std::binary_search(s.Sorted.begin(), s.Sorted.end(), s.Probes[i], less) ? 1 : 0;
        if (found != static_cast<int>(n)) state.SkipWithError("a bookmark was not found");
        benchmark::DoNotOptimize(found);
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

}  // namespace

BENCHMARK(BM_BMListFind)->Arg(RowCount)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BaselineBinarySearch)->Arg(RowCount)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
