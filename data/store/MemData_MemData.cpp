// TMemData: the rows as a doubly linked list of record items, with record numbers, bookmarks,
// visibility under filters and cached updates with rollback copies.
#include <bit>
#include <cstdlib>
#include <cstring>
#include <limits>

#include "data/store/DAConsts.h"
#include "data/store/MemData_Store.h"

namespace store {

namespace {

// Identifies each filling of a store in bookmarks; never reused within a process.
int32_t GRefreshIteration = 1;

// A far jump by record number builds the record-number cache instead of walking the list.
constexpr int DirectJumpDistance = 64;

void* ItemRecord(TRecordItem* Item) noexcept { return TBlockManager::RecordOf(Item); }

}  // namespace

void TItemSerialMap::Grow() {
    const size_t capacity = FSlots ? (FMask + 1) * 2 : 64;
    std::unique_ptr<value_type[]> old = std::move(FSlots);
    const size_t oldCapacity = old ? FMask + 1 : 0;
    FSlots = std::make_unique<value_type[]>(capacity);
    FMask = capacity - 1;
    FShift = 64 - std::countr_zero(capacity);
    for (size_t k = 0; k < oldCapacity; ++k) {
        if (!old[k].first) continue;
        size_t i = Home(old[k].first);
        while (FSlots[i].first) i = (i + 1) & FMask;
        FSlots[i] = old[k];
    }
}

TMemData::TMemData() { ResetList(); }

TMemData::~TMemData() {
    try {
        TData::Close();
    } catch (...) {
        // A destructor cannot report; the data is freed below in any case.
    }
    FreeFilterExpression();
}

void TMemData::ResetList() {
    FFirstItem = nullptr;
    FLastItem = nullptr;
    FCurrentItem = nullptr;
    FCache.clear();
    FBof = true;
    FEof = true;
    FRecordCount = 0;
    FRecordNoOffset = 0;
    FRefreshIteration = ++GRefreshIteration;
    FRecordNoCache.clear();
    FFreedItems.clear();
}

void TMemData::InitData() {
    TData::InitData();
    ResetList();
}

void TMemData::FreeData() {
    bool blobOrVariant = false;
    bool heapValues = false;
    for (const auto& f : FFields) {
        if (IsBlobFieldType(f->DataType) || f->DataType == mdtVariant) blobOrVariant = true;
        if (f->DataType == mdtExtString || f->DataType == mdtExtVarBytes || f->DataType == mdtExtWideString)
            heapValues = true;
    }
    if (blobOrVariant || (heapValues && FStringHeap.SysGetMemHandedOut())) {
        for (TRecordItem* item = FFirstItem; item; item = item->Next) FreeComplexFields(ItemRecord(item), true);
        for (TRecordItem* item : FCache)
            if (item->Rollback) FreeComplexFields(ItemRecord(item->Rollback), true);
    }
    FCache.clear();
    FTextSortKeys.clear();
    FStringHeap.Clear();
    FBlockMan.FreeAllBlocks();
    InitData();
}

// ---------------------------------------------------------------------------------------------
// Fields and reopening
// ---------------------------------------------------------------------------------------------

void TMemData::Reopen() {
    TData::Reopen();
    FRecordNoCache.clear();
    if (!FFilterText.empty()) FilterUpdated();
    if (!FSortColumns.empty()) SortItems();
}

void TMemData::InitFields() {
    TData::InitFields();
    FBlockMan.RecordSize = FRecordSize;
    ParseIndexFieldNames();
}

void TMemData::ClearFields() {
    FSortColumns.clear();
    TData::ClearFields();
}

// ---------------------------------------------------------------------------------------------
// List handling
// ---------------------------------------------------------------------------------------------

void TMemData::LinkBefore(TRecordItem* Item, TRecordItem* Before) noexcept {
    Item->Next = Before;
    Item->Prev = Before ? Before->Prev : FLastItem;
    if (Item->Prev)
        Item->Prev->Next = Item;
    else
        FFirstItem = Item;
    if (Before)
        Before->Prev = Item;
    else
        FLastItem = Item;
    FRecordNoCache.clear();
}

void TMemData::LinkAfter(TRecordItem* Item, TRecordItem* After) noexcept {
    LinkBefore(Item, After ? After->Next : FFirstItem);
}

void TMemData::Unlink(TRecordItem* Item) noexcept {
    if (FCurrentItem == Item) FCurrentItem = Item->Next ? Item->Next : Item->Prev;
    if (Item->Prev)
        Item->Prev->Next = Item->Next;
    else
        FFirstItem = Item->Next;
    if (Item->Next)
        Item->Next->Prev = Item->Prev;
    else
        FLastItem = Item->Prev;
    Item->Prev = Item->Next = nullptr;
    if (!FFirstItem) {
        FCurrentItem = nullptr;
        FBof = FEof = true;
    }
    FRecordNoCache.clear();
}

void TMemData::SwapWithNext(TRecordItem* Item) noexcept {
    TRecordItem* next = Item->Next;
    if (!next) return;
    TRecordItem* before = Item->Prev;
    TRecordItem* after = next->Next;
    if (before)
        before->Next = next;
    else
        FFirstItem = next;
    next->Prev = before;
    next->Next = Item;
    Item->Prev = next;
    Item->Next = after;
    if (after)
        after->Prev = Item;
    else
        FLastItem = Item;
    FRecordNoCache.clear();
}

void TMemData::FreeItem(TRecordItem* Item) {
    // Bookmarks of this item taken before now no longer hold: its memory may hold another row next.
    FFreedItems.try_emplace(Item, 0u).first->second = ++FFreeSerial;
    if (Item == FWatchedItem) FWatchedItemFreed = true;
    FBlockMan.FreeItem(Item);
}

void TMemData::FreeItemWithFields(TRecordItem* Item) {
    if (FHasComplexFields) FreeComplexFields(ItemRecord(Item), true);
    FreeItem(Item);
}

// ---------------------------------------------------------------------------------------------
// Visibility and numbering
// ---------------------------------------------------------------------------------------------

bool TMemData::IsItemHidden(TRecordItem* Item) {
    if (!Item) return true;
    if (Item->FilterState != fsNotChecked) return Item->FilterState == fsOmitted;
    bool hidden = false;
    if (FCachedUpdates && !(FVisibleStatuses & StatusBit(Item->Status))) {
        hidden = true;
    } else if (HasFilter()) {
        void* rec = ItemRecord(Item);
        if (FCalcRecordSize > 0) {
            FFilterCalcBuf.assign(static_cast<size_t>(FRecordSize + FCalcRecordSize), 0);
            std::memcpy(FFilterCalcBuf.data(), rec, static_cast<size_t>(FRecordSize));
            rec = FFilterCalcBuf.data();
            if (CalcRecordEvent) CalcRecordEvent(rec, nullptr);
        }
        FFilterRecBuf = rec;
        hidden = (FilterFunc && !FilterFunc(rec)) || (FilterMDFunc && !FilterMDFunc(rec)) ||
                 (FFilterExpression && !EvaluateFilterExpression(rec));
        FFilterRecBuf = nullptr;
    }
    Item->FilterState = hidden ? fsOmitted : fsVisible;
    return hidden;
}

void TMemData::ReorderItems(TRecordItem* Item, TReorderMode Mode) {
    FRecordNoCache.clear();
    if (Mode == rmAll || !Item) {
        int n = 0;
        for (TRecordItem* it = FFirstItem; it; it = it->Next) it->Order = IsItemHidden(it) ? 0 : ++n;
        FRecordCount = n;
        FRecordNoOffset = 0;
        return;
    }
    TRecordItem* neighbour = Item->Next ? Item->Next : Item->Prev;
    if (!neighbour) {
        Item->Order = IsItemHidden(Item) ? 0 : 1;
        FRecordNoOffset = 0;
        return;
    }
    if (neighbour->Order > (FRecordCount + FRecordNoOffset) / 2) {
        TRecordItem* before = Item->Prev;
        while (before && IsItemHidden(before)) before = before->Prev;
        int n;
        if (before) {
            n = before->Order + 1;
        } else {
            n = 1;
            FRecordNoOffset = 0;
        }
        for (TRecordItem* it = Item; it; it = it->Next) it->Order = IsItemHidden(it) ? 0 : n++;
    } else {
        TRecordItem* after = Item->Next;
        while (after && IsItemHidden(after)) after = after->Next;
        int n;
        if (after) {
            n = after->Order - 1;
            FRecordNoOffset += Mode == rmInsert ? 1 : -1;
        } else {
            n = FRecordCount;
            FRecordNoOffset = 0;
        }
        for (TRecordItem* it = Item; it; it = it->Prev) it->Order = IsItemHidden(it) ? 0 : n--;
    }
}

void TMemData::RenumberItems(TRecordItem* Item, bool KeepCount, bool Backward) {
    FRecordNoCache.clear();
    if (!Item) return;
    if (Backward) {
        int n = Item->Order;
        for (TRecordItem* it = Item; it; it = it->Prev) it->Order = IsItemHidden(it) ? 0 : n--;
        return;
    }
    TRecordItem* before = Item->Prev;
    while (before && IsItemHidden(before)) before = before->Prev;
    int n = before ? before->Order + 1 : 1;
    for (TRecordItem* it = Item; it; it = it->Next) {
        if (IsItemHidden(it)) {
            it->Order = 0;
        } else {
            it->Order = n++;
            if (!KeepCount) ++FRecordCount;
        }
    }
}

TRecordItem* TMemData::LastVisibleItem() {
    TRecordItem* it = FLastItem;
    while (it && IsItemHidden(it)) it = it->Prev;
    return it;
}

int TMemData::GetRecordNo() const {
    if (!FCurrentItem || FCurrentItem->FilterState == fsOmitted) return 0;
    return FCurrentItem->Order + FRecordNoOffset;
}

void TMemData::BuildRecordNoCache() {
    FRecordNoCache.clear();
    FRecordNoCache.reserve(static_cast<size_t>(FRecordCount));
    bool all = true;
    for (TRecordItem* it = FFirstItem; it; it = it->Next) {
        if (!IsItemHidden(it))
            FRecordNoCache.push_back(it);
        else
            all = false;
    }
    FRecordNoCacheComplete = all;
}

void TMemData::SetRecordNo(int Value) {
    if (!FFirstItem || Value < 1) return;
    auto setCurrent = [this](TRecordItem* item) {
        FCurrentItem = item;
        FBof = FEof = false;
    };
    if (!FRecordNoCache.empty()) {
        if (Value <= static_cast<int>(FRecordNoCache.size()))
            setCurrent(FRecordNoCache[static_cast<size_t>(Value) - 1]);
        return;
    }
    TRecordItem* last = LastVisibleItem();
    if (!last) return;
    TRecordItem* cur = FCurrentItem && !IsItemHidden(FCurrentItem) ? FCurrentItem : nullptr;
    int64_t distLast = std::llabs(static_cast<int64_t>(FRecordNoOffset) + last->Order - Value);
    int64_t distCur = cur ? std::llabs(static_cast<int64_t>(FRecordNoOffset) + cur->Order - Value)
                          : std::numeric_limits<int64_t>::max();
    int64_t nearest = std::min<int64_t>({static_cast<int64_t>(Value), distLast, distCur});
    if (nearest > DirectJumpDistance && Value <= FRecordCount) {
        BuildRecordNoCache();
        if (Value <= static_cast<int>(FRecordNoCache.size()))
            setCurrent(FRecordNoCache[static_cast<size_t>(Value) - 1]);
        return;
    }
    TRecordItem* start;
    bool forward;
    if (Value < distLast && Value < distCur) {
        start = FFirstItem;
        forward = true;
    } else {
        start = distLast < distCur ? last : cur;
        forward = start->Order + FRecordNoOffset < Value;
    }
    for (TRecordItem* it = start; it;) {
        // Order 0 is not a reliable sign of a hidden row once the base has moved: ask the filter.
        if (!IsItemHidden(it) && it->Order + FRecordNoOffset == Value) {
            setCurrent(it);
            return;
        }
        if (forward) {
            if (!it->Next) FetchNext();
            it = it->Next;
        } else {
            it = it->Prev;
        }
    }
}

bool TMemData::FilterUpdated() {
    for (TRecordItem* it = FFirstItem; it; it = it->Next) it->FilterState = fsNotChecked;
    ReorderItems(nullptr, rmAll);
    FEof = FRecordCount == 0;
    return FEof;
}

void TMemData::SetVisibleStatuses(TItemStatuses Value) {
    if (Value == FVisibleStatuses) return;
    FVisibleStatuses = Value;
    FilterUpdated();
}

// ---------------------------------------------------------------------------------------------
// Navigation
// ---------------------------------------------------------------------------------------------

bool TMemData::GetEof() const { return !FCurrentItem && FEof; }

bool TMemData::GetBof() const { return !FCurrentItem && FBof; }

void TMemData::SetToBegin() {
    FCurrentItem = nullptr;
    FBof = true;
    FEof = FLastItem == nullptr;
}

void TMemData::SetToEnd() {
    FCurrentItem = nullptr;
    FEof = true;
    FBof = FFirstItem == nullptr;
}

void TMemData::GetNextRecord(void* RecBuf) {
    if (GetEof()) return;
    TRecordItem* cand;
    if (GetBof()) {
        FBof = false;
        cand = FFirstItem;
    } else {
        cand = FCurrentItem ? FCurrentItem->Next : FFirstItem;
    }
    while (cand && IsItemHidden(cand)) cand = cand->Next;
    if (!cand) {
        FCurrentItem = nullptr;
        FEof = true;
        return;
    }
    FCurrentItem = cand;
    FBof = FEof = false;
    if (RecBuf) FBlockMan.GetRecord(cand, RecBuf);
}

void TMemData::GetPriorRecord(void* RecBuf) {
    if (GetBof()) return;
    TRecordItem* cand;
    if (GetEof()) {
        FEof = false;
        cand = FLastItem;
    } else {
        cand = FCurrentItem ? FCurrentItem->Prev : FLastItem;
    }
    while (cand && IsItemHidden(cand)) cand = cand->Prev;
    if (!cand) {
        FCurrentItem = nullptr;
        FBof = true;
        return;
    }
    FCurrentItem = cand;
    FBof = FEof = false;
    if (RecBuf) FBlockMan.GetRecord(cand, RecBuf);
}

void TMemData::GetRecord(void* RecBuf) {
    if (GetEof() || GetBof() || !FCurrentItem) return;
    if (IsItemHidden(FCurrentItem)) {
        GetNextRecord(RecBuf);
        return;
    }
    FBlockMan.GetRecord(FCurrentItem, RecBuf);
}

void TMemData::GetCurrentRecord(void* RecBuf) {
    if (!FCurrentItem) rtl::AssertFail(SAssertionFailure, MemDataUnit, __LINE__);
    FBlockMan.GetRecord(FCurrentItem, RecBuf);
}

void TMemData::PutRecord(const void* RecBuf) {
    if (!FCurrentItem) rtl::AssertFail(SAssertionFailure, MemDataUnit, __LINE__);
    FRecordNoCache.clear();
    FCurrentItem->FilterState = fsNotChecked;
    FBlockMan.PutRecord(FCurrentItem, RecBuf);
}

// ---------------------------------------------------------------------------------------------
// Editing
// ---------------------------------------------------------------------------------------------

void TMemData::CommitBlobs(void* RecBuf) {
    if (!FHasBlobFields) return;
    for (const TComplexSlot& c : FComplexSlots)
        if (c.Blob && c.RecordSlot)
            if (auto* blob = static_cast<TBlob*>(ReadPtr(Slot(RecBuf, FFields[c.Index])))) blob->Commit();
}

void TMemData::AppendRecord(void* RecBuf) {
    SetToEnd();
    InsertRecord(RecBuf);
}

void TMemData::InsertRecord(void* RecBuf) {
    if (!FCachedUpdates) DoInsertRecordEvent(RecBuf);
    TRecordItem* before = FCurrentItem;
    TRecordItem* item;
    FBlockMan.AllocItem(item);
    if (FCurrentItem)
        LinkBefore(item, FCurrentItem);
    else if (FBof && !FEof)
        LinkBefore(item, FFirstItem);
    else
        LinkAfter(item, FLastItem);
    FCurrentItem = item;
    FBof = FEof = false;
    PutRecord(RecBuf);
    // The new row stays visible until the filter is next applied, so that the row the user has
    // just posted does not vanish under the cursor and the count matches the visible rows.
    item->FilterState = fsVisible;
    CommitBlobs(RecBuf);
    if (!FSortColumns.empty()) {
        int dir = before ? CompareRecords(ItemRecord(item), ItemRecord(before)) : -1;
        MoveToSortedPlace(dir < 0 ? -1 : (dir > 0 ? 1 : 0));
    }
    ++FRecordCount;
    ReorderItems(item, rmInsert);
    if (FCachedUpdates && !FLocalUpdate) {
        AddCacheItem(item);
        item->Status = isInserted;
        item->UpdateResult = urNone;
    }
}

void TMemData::UpdateRecord(void* RecBuf) {
    if (!FCurrentItem) rtl::AssertFail(SAssertionFailure, MemDataUnit, __LINE__);
    if (!FCachedUpdates) DoUpdateRecordEvent(RecBuf);
    TRecordItem* item = FCurrentItem;
    bool wasHidden = IsItemHidden(item);
    if (FCachedUpdates && !FLocalUpdate) {
        if (item->Status == isUnmodified && CacheIndexOf(item) < 0) AddCacheItem(item);
        if (!(item->Status == isInserted && item->UpdateResult != urApplied)) {
            item->Status = isModified;
            if (!item->Rollback) MakeRollback(item);
        }
        item->UpdateResult = urNone;
    }
    int dir = FSortColumns.empty() ? 0 : CompareRecords(RecBuf, ItemRecord(item));
    PutRecord(RecBuf);
    // Kept visible until the filter is next applied: the posted row stays current.
    item->FilterState = fsVisible;
    if (!FSortColumns.empty()) {
        MoveToSortedPlace(dir);
        ReorderItems(nullptr, rmAll);
    } else if (wasHidden) {
        ++FRecordCount;
        ReorderItems(item, rmInsert);
    }
}

void TMemData::MakeRollback(TRecordItem* Item) {
    TRecordItem* rollback;
    FBlockMan.AllocItem(rollback);
    rollback->Prev = rollback->Next = nullptr;
    FBlockMan.CopyRecord(Item, rollback);
    Item->Rollback = rollback;
    if (!FHasComplexFields) return;
    void* rec = ItemRecord(rollback);
    AddRefComplexFields(rec);
    if (!FHasBlobFields) return;
    // A blob changed in place keeps its old contents as its own rollback: the rollback record
    // takes those contents in a blob of its own, so that both sides stay independent.
    for (const auto& f : FFields) {
        if (!IsBlobFieldType(f->DataType) || !IsRecordSlot(f.get())) continue;
        auto* blob = static_cast<TBlob*>(ReadPtr(Slot(rec, f.get())));
        if (!blob || !blob->HasRollback()) continue;
        rtl::TSharedRef<TBlob> changed =
            ExchangeSlotRef(Slot(rec, f.get()), rtl::TSharedRef<TBlob>::Adopt(blob->Clone(true, true)));
        changed->Commit();
    }
}

void TMemData::DeleteRecord() {
    if (!FCurrentItem) return;
    if (FCurrentItem == FLastItem) FetchNext();
    if (!FCachedUpdates) {
        DoDeleteRecordEvent();
        RemoveRecord();
        return;
    }
    if (FLocalUpdate) {
        RemoveRecord();
        return;
    }
    TRecordItem* item = FCurrentItem;
    bool wasVisible = !IsItemHidden(item);
    switch (item->Status) {
        case isUnmodified:
            AddCacheItem(item);
            item->Status = isDeleted;
            item->UpdateResult = urNone;
            break;
        case isModified:
            RestoreFromRollback(item);
            item->Status = isDeleted;
            item->UpdateResult = urNone;
            item->Order = 0;
            break;
        case isInserted:
            RemoveCacheItem(item);
            Unlink(item);
            FreeItemWithFields(item);
            break;
        default: return;
    }
    if (FCurrentItem) FCurrentItem->FilterState = fsNotChecked;
    if (wasVisible) --FRecordCount;
    if (FFirstItem)
        ReorderItems(FCurrentItem, rmDelete);
    else
        ReorderItems(nullptr, rmAll);
}

void TMemData::RemoveRecord() {
    TRecordItem* item = FCurrentItem;
    if (!item) return;
    bool removed = false;
    if (FCachedUpdates && CacheIndexOf(item) >= 0) {
        removed = item->Status == isInserted;
        RevertRecord();
    }
    if (!removed) {
        bool wasVisible = !IsItemHidden(item);
        if (FCurrentItem != item) FCurrentItem = item;
        Unlink(item);
        FreeItemWithFields(item);
        if (wasVisible) --FRecordCount;
    }
    if (FFirstItem)
        ReorderItems(FCurrentItem, rmDelete);
    else
        ReorderItems(nullptr, rmAll);
}

// ---------------------------------------------------------------------------------------------
// Bookmarks
// ---------------------------------------------------------------------------------------------

void TMemData::GetBookmark(TRecBookmark& Bookmark) {
    Bookmark.RefreshIteration = FRefreshIteration;
    Bookmark.Item = FCurrentItem;
    Bookmark.Order = FCurrentItem ? GetRecordNo() : -1;
    Bookmark.Serial = FCurrentItem ? FFreeSerial : 0;
}

bool TMemData::ItemInUse(const TRecBookmark& Bookmark) const {
    if (Bookmark.RefreshIteration != FRefreshIteration || !Bookmark.Item) return false;
    // The item is the bookmark's row unless it was freed after the bookmark was taken.
    auto it = FFreedItems.find(Bookmark.Item);
    return it == FFreedItems.end() || it->second <= Bookmark.Serial;
}

void TMemData::SetToBookmark(const TRecBookmark& Bookmark) {
    if (ItemInUse(Bookmark)) {
        FCurrentItem = Bookmark.Item;
        FBof = FEof = false;
        return;
    }
    TData::SetToBookmark(Bookmark);
}

bool TMemData::BookmarkValid(const TRecBookmark* Bookmark) {
    if (!Bookmark) return false;
    bool inUse = ItemInUse(*Bookmark);
    bool valid =
        (Bookmark->Order >= 1 && Bookmark->Order <= FRecordCount) || (inUse && FRecordCount >= Bookmark->Item->Order);
    if (valid && inUse && HasFilter()) valid = !IsItemHidden(Bookmark->Item);
    return valid;
}

int TMemData::CompareBookmarks(const TRecBookmark* Bookmark1, const TRecBookmark* Bookmark2) {
    if (Bookmark1 && Bookmark2 && ItemInUse(*Bookmark1) && ItemInUse(*Bookmark2)) {
        if (Bookmark1->Item == Bookmark2->Item) return 0;
        int o1 = Bookmark1->Item->Order;
        int o2 = Bookmark2->Item->Order;
        return o1 < o2 ? -1 : (o1 > o2 ? 1 : 0);
    }
    return TData::CompareBookmarks(Bookmark1, Bookmark2);
}

// ---------------------------------------------------------------------------------------------
// Cached updates
// ---------------------------------------------------------------------------------------------

int TMemData::CacheIndexOf(const TRecordItem* Item) const noexcept {
    for (size_t i = 0; i < FCache.size(); ++i)
        if (FCache[i] == Item) return static_cast<int>(i);
    return -1;
}

void TMemData::RemoveCacheItem(const TRecordItem* Item) {
    int i = CacheIndexOf(Item);
    if (i >= 0) FCache.erase(FCache.begin() + i);
}

uint8_t TMemData::GetUpdateStatus() { return FCurrentItem ? FCurrentItem->Status : isUnmodified; }

uint8_t TMemData::GetUpdateResult() { return FCurrentItem ? FCurrentItem->UpdateResult : urNone; }

bool TMemData::HasUpdates() {
    for (TRecordItem* item : FCache)
        if (item->UpdateResult != urApplied) return true;
    return false;
}

bool TMemData::HasModifiedOrDeleted() {
    for (TRecordItem* item : FCache)
        if ((item->Status == isModified || item->Status == isDeleted) && item->UpdateResult != urApplied) return true;
    return false;
}

void TMemData::SetCacheRecBuf(void* NewBuf, void* OldBuf) {
    FNewCacheRecBuf = NewBuf;
    FOldCacheRecBuf = OldBuf;
}

// Contract: hands each cached change of the given kinds, in cache order, to the apply event with
// its new and old record, and marks the record with the event's result (a suspended record waits
// for the next result of its batch; a retry starts the batch again). Records stay in the cache
// until CommitUpdates; an error goes on with the results marked so far. The current record is
// kept unless it was freed on the way. Without cached updates it does nothing.
void TMemData::ApplyUpdates(uint8_t Kinds) {
    if (!FCachedUpdates) return;
    std::vector<uint8_t> ownNew, ownOld;
    void* newBuf = FNewCacheRecBuf;
    void* oldBuf = FOldCacheRecBuf;
    if (!newBuf || !oldBuf) {
        ownNew.assign(static_cast<size_t>(FRecordSize + FCalcRecordSize), 0);
        ownOld.assign(ownNew.size(), 0);
        newBuf = ownNew.data();
        oldBuf = ownOld.data();
    }
    TRecordItem* saved = FCurrentItem;
    FWatchedItem = saved;
    FWatchedItemFreed = false;
    bool renumber = false;
    auto finish = [&]() {
        if (!saved || !FWatchedItemFreed) FCurrentItem = saved;
        FWatchedItem = nullptr;
        if (renumber) ReorderItems(nullptr, rmAll);
    };
    try {
        size_t i = 0;
        int batchStart = -1;
        while (FActive && i < FCache.size()) {
            TRecordItem* item = FCache[i];
            if (item->UpdateResult == urApplied) {
                ++i;
                continue;
            }
            uint8_t kind;
            switch (item->Status) {
                case isModified: kind = ukUpdate; break;
                case isInserted: kind = ukInsert; break;
                case isDeleted: kind = ukDelete; break;
                default: rtl::AssertFail(SAssertionFailure, MemDataUnit, __LINE__);
            }
            uint8_t mask = kind == ukUpdate ? ukfModify : (kind == ukInsert ? ukfInsert : ukfDelete);
            if (!(Kinds & mask)) {
                ++i;
                continue;
            }
            FBlockMan.GetRecord(item, newBuf);
            FBlockMan.GetRecord(kind == ukUpdate && item->Rollback ? item->Rollback : item, oldBuf);
            FCurrentItem = item;
            FBof = FEof = false;
            uint8_t action = urFail;
            DoApplyRecordEvent(kind, action, i + 1 == FCache.size());
            if (!FActive) break;
            // The handler may have reverted changes: find the node again.
            if (i >= FCache.size() || FCache[i] != item) {
                int j = CacheIndexOf(item);
                if (j < 0) {
                    batchStart = -1;
                    continue;
                }
                i = static_cast<size_t>(j);
            }
            if (kind != ukDelete) {
                int dir = FSortColumns.empty() ? 0 : CompareRecords(newBuf, ItemRecord(item));
                FBlockMan.PutRecord(item, newBuf);
                FRecordNoCache.clear();
                if (dir != 0) {
                    MoveItemToSortedPlace(item, dir);
                    renumber = true;
                }
            }
            if (action == urSuspended) {
                item->UpdateResult = urSuspended;
                if (batchStart < 0) batchStart = static_cast<int>(i);
                ++i;
                continue;
            }
            size_t from = batchStart >= 0 ? static_cast<size_t>(batchStart) : i;
            for (size_t k = from; k < i; ++k)
                if (FCache[k]->UpdateResult == urSuspended) FCache[k]->UpdateResult = action;
            item->UpdateResult = action;
            if (action == urRetry)
                i = from;
            else
                ++i;
            batchStart = -1;
        }
    } catch (...) {
        if (renumber) ReorderItems(nullptr, rmAll);
        FWatchedItem = nullptr;
        throw;
    }
    finish();
    DoAfterApplyEvent();
}

void TMemData::CommitUpdates() {
    if (HasUpdates()) ApplyUpdates(ukfAll);
    std::vector<TRecordItem*> pending;
    for (TRecordItem* item : FCache) {
        if (item->UpdateResult != urApplied) {
            pending.push_back(item);
            continue;
        }
        if (TRecordItem* rollback = item->Rollback) {
            item->Rollback = nullptr;
            FreeItemWithFields(rollback);
        }
        if (item->Status == isDeleted) {
            Unlink(item);
            FreeItemWithFields(item);
        } else {
            item->Status = isUnmodified;
            item->UpdateResult = urNone;
        }
    }
    FCache = std::move(pending);
}

void TMemData::RestoreFromRollback(TRecordItem* Item) {
    TRecordItem* rollback = Item->Rollback;
    if (!rollback) return;
    void* rec = ItemRecord(Item);
    void* old = ItemRecord(rollback);
    if (FHasBlobFields) {
        // The item's blob object lives on (buffers may reference it) and takes the old contents.
        for (const auto& f : FFields) {
            if (!IsBlobFieldType(f->DataType) || !IsRecordSlot(f.get())) continue;
            auto* mine = static_cast<TBlob*>(ReadPtr(Slot(rec, f.get())));
            auto* theirs = static_cast<TBlob*>(ReadPtr(Slot(old, f.get())));
            if (mine == theirs || !mine || !theirs) continue;
            mine->AssignContents(theirs);
            ExchangeSlotRef(Slot(old, f.get()), rtl::TSharedRef<TBlob>::Retain(mine));
        }
    }
    if (FHasComplexFields) FreeComplexFields(rec, true);
    FBlockMan.CopyRecord(rollback, Item);
    Item->Rollback = nullptr;
    FreeItem(rollback);
    FRecordNoCache.clear();
}

void TMemData::RevertItem(TRecordItem* Item) {
    switch (Item->Status) {
        case isUnmodified:
            Item->UpdateResult = urNone;
            Item->FilterState = fsNotChecked;
            break;
        case isModified:
            RestoreFromRollback(Item);
            if (!FSortColumns.empty()) MoveItemToSortedPlace(Item, 0);
            Item->Status = isUnmodified;
            Item->UpdateResult = urNone;
            Item->FilterState = fsNotChecked;
            break;
        case isInserted: {
            bool wasVisible = !IsItemHidden(Item);
            Unlink(Item);
            FreeItemWithFields(Item);
            if (wasVisible) --FRecordCount;
            break;
        }
        case isDeleted:
            Item->Status = isUnmodified;
            Item->UpdateResult = urNone;
            Item->FilterState = fsNotChecked;
            if (!FSortColumns.empty()) MoveItemToSortedPlace(Item, 0);
            ++FRecordCount;
            break;
        default: break;
    }
    DoAfterRevertEvent();
}

void TMemData::RevertRecord() {
    TRecordItem* item = FCurrentItem;
    if (!item) return;
    int i = CacheIndexOf(item);
    if (i < 0) return;
    FCache.erase(FCache.begin() + i);
    RevertItem(item);
    // A revert changes visibility and the count: the numbers must follow at once.
    ReorderItems(nullptr, rmAll);
}

void TMemData::CancelUpdates() {
    if (FCache.empty()) return;
    DoBeforeCancelUpdatesEvent();
    std::vector<TRecordItem*> nodes = std::move(FCache);
    FCache.clear();
    for (TRecordItem* item : nodes) RevertItem(item);
    ReorderItems(nullptr, rmAll);
}

void TMemData::RestoreUpdates() {
    if (!FCachedUpdates) return;
    for (TRecordItem* item : FCache) item->UpdateResult = urNone;
}

void TMemData::GetOldRecord(void* RecBuf) {
    if (GetEof() || GetBof() || !FCurrentItem) return;
    if (IsItemHidden(FCurrentItem)) {
        GetNextRecord(RecBuf);
        if (!FCurrentItem) return;
    }
    FBlockMan.GetRecord(FCurrentItem->Rollback ? FCurrentItem->Rollback : FCurrentItem, RecBuf);
}

void TMemData::CalcRecords(TRecordItem* First, TRecordItem* Last) {
    if (!CalcRecordEvent || FCalcRecordSize != 0) return;
    if (!First) First = FFirstItem;
    if (!Last) Last = FLastItem;
    for (TRecordItem* it = First; it; it = it->Next) {
        CalcRecordEvent(ItemRecord(it), nullptr);
        if (it == Last) break;
    }
}

// ---------------------------------------------------------------------------------------------
// Keeping the sort order
// ---------------------------------------------------------------------------------------------

int TMemData::CompareItems(TRecordItem* Item1, TRecordItem* Item2) {
    return CompareRecords(ItemRecord(Item1), ItemRecord(Item2));
}

void TMemData::MoveToSortedPlace(int Direction) {
    if (FCurrentItem) MoveItemToSortedPlace(FCurrentItem, Direction);
}

void TMemData::MoveItemToSortedPlace(TRecordItem* Item, int Direction) {
    if (FSortColumns.empty()) return;
    if (Direction == 0) {
        if (Item->Prev && CompareItems(Item, Item->Prev) < 0)
            Direction = -1;
        else if (Item->Next && CompareItems(Item, Item->Next) > 0)
            Direction = 1;
        else
            return;
    }
    if (Direction < 0) {
        while (Item->Prev && CompareItems(Item, Item->Prev) < 0) SwapWithNext(Item->Prev);
    } else {
        while (Item->Next && CompareItems(Item, Item->Next) > 0) SwapWithNext(Item);
    }
}

}  // namespace store
