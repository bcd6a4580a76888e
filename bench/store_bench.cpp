// The memory record store against plain standard-library baselines in the same run: filling,
// sorting by a Cyrillic text and by an integer, the name-search wildcard filter, and moving to
// record numbers.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "data/store/MemData_Store.h"
#include "framework/rtl/Text.h"

namespace {

using namespace store;
using rtl::AnsiString;

constexpr int RowCount = 100000;

struct TRow {
    int32_t Id;
    int64_t Big;
    AnsiString T1, T2, T3;
    AnsiString Memo;
    double Date;
};

AnsiString Ansi(const char* utf8) { return rtl::UTF8ToAnsi(utf8); }

// Texts of 10 to 60 characters from Russian words, some capitalised, some holding "текст".
const std::vector<TRow>& Rows() {
    static const std::vector<TRow> rows = [] {
        const char* words[] = {"архив",    "фонд",     "опись",   "дело",     "документ", "письмо",   "отчёт",
                               "приказ",   "журнал",   "текст",   "карта",    "план",     "список",   "книга",
                               "сведения", "протокол", "записка", "доклад",   "Москва",   "губерния", "уезд",
                               "волость",  "комитет",  "совет",   "собрание", "рукопись", "копия",    "альбом"};
        std::vector<AnsiString> dict;
        for (const char* w : words) dict.push_back(Ansi(w));
        std::mt19937 rnd(2026);
        auto text = [&] {
            const size_t target = 10 + rnd() % 51;
            AnsiString t;
            while (t.size() < target) {
                if (!t.empty()) t += ' ';
                AnsiString w = dict[rnd() % dict.size()];
                if (rnd() % 4 == 0) w[0] = rtl::AnsiUpperChar(w[0]);
                t += w;
            }
            t.resize(target);
            return t;
        };
        std::vector<TRow> r(RowCount);
        for (int i = 0; i < RowCount; ++i) {
            r[i].Id = i + 1;
            r[i].Big = static_cast<int64_t>(rnd()) * 1000003 - 2000000000000LL;
            r[i].T1 = text();
            r[i].T2 = text();
            r[i].T3 = text();
            r[i].Memo = text() + "\r\n" + text();
            r[i].Date = 36526.0 + rnd() % 9000 + (rnd() % 86400) / 86400.0;
        }
        return r;
    }();
    return rows;
}

class TBenchStore : public TMemData {
public:
    void DoInitFields() override {
        Add(u"ID", mdtInt32, 4, 0);
        Add(u"BIG", mdtInt64, 8, 0);
        Add(u"T1", mdtString, 61, 60);
        Add(u"T2", mdtString, 61, 60);
        Add(u"T3", mdtString, 61, 60);
        Add(u"MEMO", mdtMemo, 8, 0);
        Add(u"D", mdtDateTime, 8, 0);
    }

    void Fill(const std::vector<TRow>& rows) {
        void* buf = AllocRecBuf();
        for (const TRow& r : rows) {
            InitRecord(buf);
            CreateComplexFields(buf, true);
            PutField(1, buf, &r.Id);
            PutField(2, buf, &r.Big);
            PutField(3, buf, r.T1.c_str());
            PutField(4, buf, r.T2.c_str());
            PutField(5, buf, r.T3.c_str());
            PutFieldAsVariant(6, buf, rtl::Variant(r.Memo));
            PutFieldAsVariant(7, buf, rtl::Variant::FromDate(r.Date));
            // The stored record takes over the buffer's blob; the next row gets a new one.
            AppendRecord(buf);
        }
        FreeRecBuf(buf);
    }

private:
    void Add(const char16_t* name, TMemDataType type, int size, int length) {
        auto d = CreateFieldDesc();
        d->Name = name;
        d->ColumnName = name;
        d->DataType = type;
        d->Size = size;
        d->Length = static_cast<uint16_t>(length);
        d->FieldNo = static_cast<uint16_t>(FFields.Count() + 1);
        FFields.Add(std::move(d));
    }
};

std::unique_ptr<TBenchStore> NewFilledStore() {
    auto s = std::make_unique<TBenchStore>();
    s->InitFields();
    s->Open();
    s->Fill(Rows());
    return s;
}

TBenchStore& SharedStore() {
    static std::unique_ptr<TBenchStore> store = NewFilledStore();
    return *store;
}

// --- fill ---

// The allocator merges freed chunks only at its next large request: ask for one while the clock
// is stopped, so that the teardown a run leaves out is not charged to the next run's first
// allocation.
void SettleHeap() {
    void* volatile p = std::malloc(4096);
    std::free(p);
}

void BM_StoreFill(benchmark::State& state) {
    const auto& rows = Rows();
    for (auto _ : state) {
        auto s = std::make_unique<TBenchStore>();
        s->InitFields();
        s->Open();
        s->Fill(rows);
        benchmark::DoNotOptimize(s->GetRecordCount());
        state.PauseTiming();
        s.reset();
        SettleHeap();
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

void BM_BaselineFill(benchmark::State& state) {
    const auto& rows = Rows();
    for (auto _ : state) {
        std::vector<TRow> v;
        for (const TRow& r : rows) v.push_back(r);
        benchmark::DoNotOptimize(v.data());
        state.PauseTiming();
        v.clear();
        v.shrink_to_fit();
        SettleHeap();
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

// --- sorting ---

// Each run starts from the rows in their fetched order.
void RestoreOrder(TBenchStore& s) { s.SetIndexFieldNames("ID"); }

void BM_StoreSortCyrillic(benchmark::State& state) {
    TBenchStore& s = SharedStore();
    for (auto _ : state) {
        state.PauseTiming();
        RestoreOrder(s);
        state.ResumeTiming();
        s.SetIndexFieldNames("T1");
        benchmark::DoNotOptimize(s.FirstItem());
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

void BM_BaselineSortCyrillic(benchmark::State& state) {
    const auto& rows = Rows();
    for (auto _ : state) {
        std::vector<std::pair<std::string, uint32_t>> keyed;
        keyed.reserve(rows.size());
        for (uint32_t i = 0; i < rows.size(); ++i) keyed.emplace_back(rtl::AnsiSortKey(rows[i].T1, false), i);
        std::sort(keyed.begin(), keyed.end());
        benchmark::DoNotOptimize(keyed.data());
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

void BM_StoreSortInt(benchmark::State& state) {
    TBenchStore& s = SharedStore();
    for (auto _ : state) {
        state.PauseTiming();
        RestoreOrder(s);
        state.ResumeTiming();
        s.SetIndexFieldNames("BIG");
        benchmark::DoNotOptimize(s.FirstItem());
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

void BM_BaselineSortInt(benchmark::State& state) {
    const auto& rows = Rows();
    for (auto _ : state) {
        std::vector<std::pair<int64_t, uint32_t>> keyed;
        keyed.reserve(rows.size());
        for (uint32_t i = 0; i < rows.size(); ++i) keyed.emplace_back(rows[i].Big, i);
        std::sort(keyed.begin(), keyed.end());
        benchmark::DoNotOptimize(keyed.data());
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

// --- name search filter ---

void BM_StoreFilterWildcard(benchmark::State& state) {
    TBenchStore& s = SharedStore();
    RestoreOrder(s);
    s.SetFilterText("T1 = \"*" + Ansi("текст") + "*\"");
    for (auto _ : state) {
        s.FilterUpdated();
        benchmark::DoNotOptimize(s.GetRecordCount());
    }
    state.counters["visible"] = s.GetRecordCount();
    s.SetFilterText("");
    s.FilterUpdated();
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

void BM_BaselineFilterWildcard(benchmark::State& state) {
    const auto& rows = Rows();
    const AnsiString needle = Ansi("текст");
    int visible = 0;
    for (auto _ : state) {
        visible = 0;
        for (const TRow& r : rows)
            if (std::string_view(r.T1).find(needle) != std::string_view::npos) ++visible;
        benchmark::DoNotOptimize(visible);
    }
    state.counters["visible"] = visible;
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

// --- positioning ---

void BM_StoreSetRecordNo(benchmark::State& state) {
    TBenchStore& s = SharedStore();
    std::mt19937 rnd(5);
    std::vector<int> targets(4096);
    for (int& t : targets) t = 1 + static_cast<int>(rnd() % static_cast<unsigned>(state.range(0)));
    size_t i = 0;
    for (auto _ : state) {
        s.SetRecordNo(targets[i++ & 4095]);
        benchmark::DoNotOptimize(s.CurrentItem());
    }
}

}  // namespace

BENCHMARK(BM_StoreFill)->Arg(RowCount)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BaselineFill)->Arg(RowCount)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_StoreSortCyrillic)->Arg(RowCount)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BaselineSortCyrillic)->Arg(RowCount)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_StoreSortInt)->Arg(RowCount)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BaselineSortInt)->Arg(RowCount)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_StoreFilterWildcard)->Arg(RowCount)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BaselineFilterWildcard)->Arg(RowCount)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_StoreSetRecordNo)->Arg(RowCount);

// =============================================================================================
// The memory dataset over the same rows: Locate on an integer and on a text column, re-sorting
// through IndexFieldNames and re-filtering through Filter, beside the store-level cases above.

#include "data/store/MemDS.h"

namespace {

// Fetches the benchmark rows at every open, as a fetch-all provider does.
class TBenchFetchStore : public TBenchStore {
public:
    void DoOpen(int /*Flag*/) override {
        InitFields();
        Fill(Rows());
    }
};

store::TMemDataSet& SharedDataSet() {
    static rtl::TOwnedPtr<store::TMemDataSet> ds = [] {
        rtl::TOwnedPtr<store::TMemDataSet> d(rtl::Create<store::TMemDataSet>(nullptr));
        d->SetLocalUpdate(true);
        d->SetIRecordSet(std::unique_ptr<TData>(new TBenchFetchStore()));
        d->Open();
        return d;
    }();
    return *ds;
}

// The same spread of targets for the dataset and its baseline.
std::vector<int> LocateTargets() {
    std::mt19937 rnd(11);
    std::vector<int> t(1024);
    for (int& i : t) i = static_cast<int>(rnd() % RowCount);
    return t;
}

void BM_DataSetLocateInt(benchmark::State& state) {
    store::TMemDataSet& ds = SharedDataSet();
    ds.SetIndexFieldNames("");
    const auto targets = LocateTargets();
    size_t i = 0;
    for (auto _ : state) {
        bool found = ds.Locate(u"ID", rtl::Variant(Rows()[targets[i++ & 1023]].Id), {});
        benchmark::DoNotOptimize(found);
    }
}

void BM_BaselineLocateInt(benchmark::State& state) {
    const auto& rows = Rows();
    const auto targets = LocateTargets();
    size_t i = 0;
    for (auto _ : state) {
        const int32_t id = rows[targets[i++ & 1023]].Id;
        auto it = std::find_if(rows.begin(), rows.end(), [id](const TRow& r) { return r.Id == id; });
        benchmark::DoNotOptimize(it);
    }
}

void BM_DataSetLocateText(benchmark::State& state) {
    store::TMemDataSet& ds = SharedDataSet();
    ds.SetIndexFieldNames("");
    const auto targets = LocateTargets();
    size_t i = 0;
    for (auto _ : state) {
        bool found = ds.Locate(u"T1", rtl::Variant(Rows()[targets[i++ & 1023]].T1), {});
        benchmark::DoNotOptimize(found);
    }
}

void BM_BaselineLocateText(benchmark::State& state) {
    const auto& rows = Rows();
    const auto targets = LocateTargets();
    size_t i = 0;
    for (auto _ : state) {
        const AnsiString& key = rows[targets[i++ & 1023]].T1;
        auto it = std::find_if(rows.begin(), rows.end(), [&key](const TRow& r) { return r.T1 == key; });
        benchmark::DoNotOptimize(it);
    }
}

void BM_DataSetIndexFieldNames(benchmark::State& state) {
    store::TMemDataSet& ds = SharedDataSet();
    for (auto _ : state) {
        state.PauseTiming();
        ds.SetIndexFieldNames("ID");
        state.ResumeTiming();
        ds.SetIndexFieldNames("T1 DESC");
        benchmark::DoNotOptimize(ds.RecNo());
    }
    ds.SetIndexFieldNames("");
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

void BM_DataSetFilter(benchmark::State& state) {
    store::TMemDataSet& ds = SharedDataSet();
    const AnsiString filters[] = {"T1 = \"*" + Ansi("текст") + "*\"", "T1 = \"*" + Ansi("книга") + "*\""};
    // Rows in their fetched order, as the store-level filter case has them.
    ds.SetIndexFieldNames("ID");
    ds.SetFiltered(true);
    size_t i = 0;
    for (auto _ : state) {
        ds.SetFilter(filters[i++ & 1]);
        benchmark::DoNotOptimize(ds.RecordCount());
    }
    ds.SetFiltered(false);
    ds.SetFilter("");
    ds.SetIndexFieldNames("");
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

}  // namespace

BENCHMARK(BM_DataSetLocateInt)->Arg(RowCount)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_BaselineLocateInt)->Arg(RowCount)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_DataSetLocateText)->Arg(RowCount)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_BaselineLocateText)->Arg(RowCount)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_DataSetIndexFieldNames)->Arg(RowCount)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DataSetFilter)->Arg(RowCount)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
