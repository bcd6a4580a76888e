// The selected-row bookmark list against std::binary_search over the same bookmarks in the same
// run. Bookmarks have no order of their own, only the dataset's, so both searches compare through
// the dataset; the ratio shows what the list itself adds (string access, search cache, dispatch).
#include <benchmark/benchmark.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "controls/editors/DBCtrlsEh.h"
#include "controls/editors/DBCtrlsEh_Editors.h"
#include "controls/editors/ToolCtrlsEh.h"
#include "controls/editors/ToolCtrlsEh_Draw.h"
#include "controls/editors/ToolCtrlsEh_DropDown.h"
#include "framework/rtl/Text.h"
#include "tests/support/memds_fixture.h"

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

// Ten distinct faces, as an editor row and a grid column with buttons repaint them.
struct TFaceCall {
    int Style, DownPart;
    bool Flat, Active;
};
constexpr TFaceCall FaceCalls[] = {
    {editors::bfsDropDown, 0, false, false}, {editors::bfsDropDown, 1, false, false},
    {editors::bfsDropDown, 0, false, true},  {editors::bfsEllipsis, 0, false, false},
    {editors::bfsEllipsis, 1, true, true},   {editors::bfsUpDown, 0, false, false},
    {editors::bfsUpDown, 2, false, false},   {editors::bfsPlus, 0, false, false},
    {editors::bfsMinus, 0, true, false},     {editors::bfsCheckBox, 0, false, false},
};

// 10,000 faces from the cache (one real draw per key) or drawn each time, onto the built-in memory
// raster or onto the recording surface (which shows the painters' and the cache's own cost).
void DrawFaces(benchmark::State& state, bool Cached, bool Raster) {
    ui::TBitmap bitmap;
    bitmap.SetSize(200, 40);
    ui::TRecordingSurface recording(200, 40);
    ui::TCanvas recordingCanvas(&recording);
    ui::TCanvas* canvas = Raster ? bitmap.Canvas() : &recordingCanvas;
    editors::UseButtonBitmapCache = Cached;
    constexpr int Calls = 10000;
    constexpr int Kinds = int(std::size(FaceCalls));
    for (auto _ : state) {
        editors::FlushButtonBitmapCache();
        recording.Clear();
        for (int i = 0; i < Calls; ++i) {
            const TFaceCall& c = FaceCalls[i % Kinds];
            const int x = (i % Kinds) * 18;
            editors::DrawEditButtonFace(canvas, ui::Bounds(x, 2, 17, 21), ui::clBtnFace, c.Style, c.DownPart, c.Flat,
                                        c.Active, true, editors::cbChecked);
        }
        if (Cached && editors::ButtonsBitmapCache().Count() > Kinds + 1)  // the pair draws two halves
            state.SkipWithError("a face was drawn more than once");
    }
    editors::UseButtonBitmapCache = true;
    state.SetItemsProcessed(state.iterations() * Calls);
}

void BM_DrawEditButtonFace(benchmark::State& state) { DrawFaces(state, true, true); }
void BM_BaselineDirectFaceDrawing(benchmark::State& state) { DrawFaces(state, false, true); }
void BM_DrawEditButtonFaceRecorded(benchmark::State& state) { DrawFaces(state, true, false); }
void BM_BaselineDirectFaceDrawingRecorded(benchmark::State& state) { DrawFaces(state, false, false); }

// MRU filtering: 10,000 remembered texts filtered again on each key stroke of a typed text, against
// a loop over a std::vector<std::string> with the same locale comparison in the same run.
struct TMRUSetup {
    editors::TMRUListEh List;
    std::vector<std::string> Items;
    std::string Typed = rtl::UTF8ToAnsi(u8"фонд 12");

    TMRUSetup() {
        List.SetLimit(10000);
        std::mt19937 rnd(2026);
        const char8_t* heads[] = {u8"Фонд", u8"Опись", u8"Дело", u8"Archive", u8"Лист", u8"фонд"};
        for (int i = 0; i < 10000; ++i) {
            Items.push_back(rtl::UTF8ToAnsi(heads[rnd() % 6]) + " " + std::to_string(i));
            List.Items()->Add(Items.back());
        }
    }
};

TMRUSetup& MRUSetup() {
    static TMRUSetup s;
    return s;
}

void BM_MRUFilterPerKeyStroke(benchmark::State& state) {
    TMRUSetup& s = MRUSetup();
    rtl::TStringList shown;
    for (auto _ : state) {
        size_t total = 0;
        for (size_t n = 1; n <= s.Typed.size(); ++n) {
            if (!s.List.FilterItems(&shown, s.Typed.substr(0, n))) state.SkipWithError("interrupted");
            total += size_t(shown.Count());
        }
        benchmark::DoNotOptimize(total);
    }
    state.SetItemsProcessed(state.iterations() * int64_t(s.Typed.size()));
    state.counters["items"] = double(s.Items.size());
}

void BM_BaselineVectorFilterPerKeyStroke(benchmark::State& state) {
    TMRUSetup& s = MRUSetup();
    std::vector<std::string> shown;
    for (auto _ : state) {
        size_t total = 0;
        for (size_t n = 1; n <= s.Typed.size(); ++n) {
            const std::string_view text = std::string_view(s.Typed).substr(0, n);
            shown.clear();
            for (const std::string& item : s.Items)
                if (rtl::AnsiCompareText(std::string_view(item).substr(0, std::min(n, item.size())), text) == 0)
                    shown.push_back(item);
            total += shown.size();
        }
        benchmark::DoNotOptimize(total);
    }
    state.SetItemsProcessed(state.iterations() * int64_t(s.Typed.size()));
}

}  // namespace

BENCHMARK(BM_MRUFilterPerKeyStroke)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BaselineVectorFilterPerKeyStroke)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DrawEditButtonFace)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BaselineDirectFaceDrawing)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DrawEditButtonFaceRecorded)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BaselineDirectFaceDrawingRecorded)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BMListFind)->Arg(RowCount)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BaselineBinarySearch)->Arg(RowCount)->Unit(benchmark::kMillisecond);

// ---------------------------------------------------------------------------------------------
// Typing into a bound edit: 1,000 characters, each posted as the backend posts a typed character
// and handled through the message loop (key press, edit, EN_CHANGE, the link's modified flag,
// repaint), then written back to the field; against appending the same characters to a
// std::string in the same run.

namespace {

constexpr int TypedChars = 1000;

struct TTypingSetup {
    memdstest::TFixture F{{{u"text", store::mdtString, TypedChars + 1, TypedChars}},
                          {{rtl::Variant(rtl::AnsiString("start"))}}};
    db::TDataSource* Src = nullptr;
    editors::TDBEditEh* Edit = nullptr;
    ui::TForm* Form = nullptr;

    TTypingSetup() {
        F.DS->Open();
        Form = rtl::Create<ui::TForm>(nullptr);
        Form->SetBounds(0, 0, 400, 100);
        Src = rtl::Create<db::TDataSource>(Form);
        Src->SetDataSet(F.DS.get());
        Edit = rtl::Create<editors::TDBEditEh>(Form);
        Edit->SetBounds(10, 10, 300, 24);
        Edit->SetParent(Form);
        Edit->SetDataSource(Src);
        Edit->SetDataField("text");
        Form->Show();
        Edit->SetFocus();
        ui::Application()->ProcessMessages();
    }
    ~TTypingSetup() { Form->Free(); }
};

void BM_TypeIntoBoundEdit(benchmark::State& state) {
    TTypingSetup s;
    for (auto _ : state) {
        s.Edit->SelectAll();
        for (int i = 0; i < TypedChars; ++i) {
            ui::CharInput(static_cast<char>('a' + i % 26));
            ui::Application()->ProcessMessages();
        }
        s.F.DS->Post();
        if (s.F.DS->FieldByName(std::string_view("text"))->AsString().size() != static_cast<size_t>(TypedChars))
            state.SkipWithError("the typed text did not reach the field");
    }
    state.SetItemsProcessed(state.iterations() * TypedChars);
}

void BM_BaselineStringAppend(benchmark::State& state) {
    for (auto _ : state) {
        std::string text;
        for (int i = 0; i < TypedChars; ++i) {
            text.push_back(static_cast<char>('a' + i % 26));
            benchmark::DoNotOptimize(text.data());
        }
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * TypedChars);
}

}  // namespace

BENCHMARK(BM_TypeIntoBoundEdit)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BaselineStringAppend)->Unit(benchmark::kMicrosecond);

// ---------------------------------------------------------------------------------------------
// The combo box's search per key stroke: LocateText over 5,000 Cyrillic items whose match is at
// the end of the list (the whole list is compared), against a plain loop comparing the same
// prefixes with the locale's case-insensitive collation over a std::vector in the same run.

namespace {

std::vector<rtl::AnsiString> CyrillicItems(int N) {
    static const char8_t* stems[] = {u8"Иванов",    u8"Петрова",  u8"Сидоренко", u8"Ёлкин", u8"Архипов",
                                     u8"Белоусова", u8"Гаврилов", u8"Давыдова",  u8"Жуков", u8"Зайцева"};
    std::vector<rtl::AnsiString> items;
    for (int i = 0; i < N; ++i)
        items.push_back(rtl::UTF8ToAnsi(stems[i % 10]) + rtl::UTF8ToAnsi(u8" Фонд ") + std::to_string(100000 + i));
    return items;
}

struct TComboSetup {
    std::vector<rtl::AnsiString> Items;
    std::vector<rtl::AnsiString> Probes;  // lower-case prefixes of the last two items
    editors::TDBComboBoxEh* Combo = nullptr;
    ui::TForm* Form = nullptr;

    explicit TComboSetup(int N) : Items(CyrillicItems(N)) {
        for (int k : {N - 1, N - 2}) Probes.push_back(rtl::AnsiLowerCase(Items[static_cast<size_t>(k)]));
        Form = rtl::Create<ui::TForm>(nullptr);
        Form->SetBounds(0, 0, 400, 100);
        Combo = rtl::Create<editors::TDBComboBoxEh>(Form);
        Combo->SetBounds(10, 10, 300, 24);
        Combo->SetParent(Form);
        for (const auto& s : Items) Combo->Items()->Add(s);
        Form->Show();
        ui::Application()->ProcessMessages();
    }
    ~TComboSetup() { Form->Free(); }
};

void BM_LocateText(benchmark::State& state) {
    TComboSetup s(static_cast<int>(state.range(0)));
    size_t k = 0;
    for (auto _ : state) {
        const rtl::AnsiString& probe = s.Probes[k++ % 2];
        s.Combo->LocateText(probe, true);
        if (s.Combo->ItemIndex() < static_cast<int>(s.Items.size()) - 2) state.SkipWithError("the item was not found");
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

void BM_BaselineLocateText(benchmark::State& state) {
    const std::vector<rtl::AnsiString> items = CyrillicItems(static_cast<int>(state.range(0)));
    std::vector<rtl::AnsiString> probes;
    for (size_t k : {items.size() - 1, items.size() - 2}) probes.push_back(rtl::AnsiLowerCase(items[k]));
    size_t k = 0;
    for (auto _ : state) {
        const std::string_view probe = probes[k++ % 2];
        int found = -1;
        for (size_t i = 0; i < items.size(); ++i) {
            const std::string_view item = items[i];
            if (item.size() >= probe.size() && rtl::AnsiSameText(item.substr(0, probe.size()), probe)) {
                found = static_cast<int>(i);
                break;
            }
        }
        if (found < static_cast<int>(items.size()) - 2) state.SkipWithError("the item was not found");
        benchmark::DoNotOptimize(found);
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

}  // namespace

BENCHMARK(BM_LocateText)->Arg(5000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BaselineLocateText)->Arg(5000)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
