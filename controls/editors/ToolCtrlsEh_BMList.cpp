#include "controls/editors/TarnelVCL.h"
#include "controls/editors/ToolCtrlsEh.h"
#include "framework/rtl/Ownership.h"

namespace editors {

TBMListEh::TBMListEh() : FList(rtl::Create<rtl::TStringList>()) {
    FList->OnChange = [this](rtl::TObject*) { StringsChanged(); };
}

TBMListEh::~TBMListEh() {
    if (FList) FList->OnChange = nullptr;
}

void TBMListEh::BeforeDestruction() {
    RemoveAll();
    Changed();
    FList->OnChange = nullptr;
    rtl::TObject::BeforeDestruction();
}

db::TDataSet* TBMListEh::GetDataSet() { return nullptr; }

void TBMListEh::RaiseError(const AnsiString& Message) { throw rtl::Exception(Message); }

void TBMListEh::StringsChanged() {
    FCacheBookmark.clear();
    FCacheIndex = -1;
    FCacheFind = false;
}

void TBMListEh::RemoveAll() {
    if (FList->Count() == 0) return;
    FList->Clear();
    Changed();
    Invalidate();
}

int TBMListEh::CompareBookmarks(const db::TBookmark& Bookmark1, const db::TBookmark& Bookmark2) {
    return DataSetCompareBookmarks(GetDataSet(), Bookmark1, Bookmark2);
}

bool TBMListEh::Find(const db::TBookmark& Bookmark, int& Index) {
    if (FCacheIndex != -1 && Bookmark == FCacheBookmark) {
        Index = FCacheIndex;
        return FCacheFind;
    }
    bool found = false;
    int L = 0, H = FList->Count() - 1;
    while (L <= H) {
        const int M = (L + H) / 2;
        const int R = CompareBookmarks(FList->Strings(M), Bookmark);
        if (R < 0) {
            L = M + 1;
        } else {
            H = M - 1;
            if (R == 0) {
                found = true;
                L = M;
                break;
            }
        }
    }
    Index = L;
    FCacheBookmark = Bookmark;
    FCacheIndex = L;
    FCacheFind = found;
    return found;
}

int TBMListEh::IndexOf(const db::TBookmark& Bookmark) {
    int index = -1;
    return Find(Bookmark, index) ? index : -1;
}

db::TBookmark TBMListEh::CurrentBookmark() {
    db::TDataSet* ds = GetDataSet();
    if (!FLinkActive || !ds) RaiseError(db::msg::SDataSetClosed);
    return ds->Bookmark();
}

bool TBMListEh::CurrentRowSelected() {
    int index = 0;
    return Find(CurrentBookmark(), index);
}

void TBMListEh::SetCurrentRowSelected(bool Value) {
    const db::TBookmark current = CurrentBookmark();
    int index = 0;
    if (Find(current, index) == Value) return;
    if (Value)
        FList->Insert(index, current);
    else
        FList->Delete(index);
}

void TBMListEh::DeleteSelected() {
    db::TDataSet* ds = GetDataSet();
    if (!ds || FList->Count() == 0) return;
    {
        rtl::TControlsDisabled<db::TDataSet> noControls(ds);
        for (int i = FList->Count() - 1; i >= 0; --i) {
            ds->GotoBookmark(FList->Strings(i));
            ds->Delete();
            FList->Delete(i);
        }
    }
    Changed();
}

void TBMListEh::SetLinkActive(bool Value) {
    RemoveAll();
    Changed();
    FLinkActive = Value;
}

void TBMListEh::CustomSort(void* Context, const TBMListSortCompareEh& Compare) {
    if (FList->Count() < 2) return;
    QuickSort(0, FList->Count() - 1, Context, Compare);
}

void TBMListEh::QuickSort(int L, int R, void* Context, const TBMListSortCompareEh& Compare) {
    int I = L;
    do {
        I = L;
        int J = R;
        int P = (L + R) / 2;
        do {
            // The bounds keep an inconsistent comparison from running off the range.
            while (I < R && Compare(this, Context, I, P) < 0) ++I;
            while (J > L && Compare(this, Context, J, P) > 0) --J;
            if (I <= J) {
                if (I != J) FList->Exchange(I, J);
                if (P == I)
                    P = J;
                else if (P == J)
                    P = I;
                ++I;
                --J;
            }
        } while (I <= J);
        if (L < J) QuickSort(L, J, Context, Compare);
        L = I;
    } while (I < R);
}

bool TBMListEh::Resort() {
    const int n = FList->Count();
    if (n < 2 || !GetDataSet()) return false;
    bool ordered = true;
    AnsiString prev = FList->Strings(0);
    for (int i = 1; i < n && ordered; ++i) {
        AnsiString next = FList->Strings(i);
        ordered = CompareBookmarks(prev, next) <= 0;
        prev = std::move(next);
    }
    if (ordered) return false;
    CustomSort(nullptr, [](TBMListEh* List, void*, int Index1, int Index2) {
        return List->CompareBookmarks(List->Items(Index1), List->Items(Index2));
    });
    return true;
}

}  // namespace editors
