#include "controls/grid/DBSumLst.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "controls/editors/TarnelVCL.h"
#include "framework/rtl/Exceptions.h"
#include "framework/rtl/Ownership.h"
#include "framework/rtl/Text.h"

namespace grid {

namespace sumfix {
void Overflow() { throw rtl::EOverflow("Floating point overflow"); }

int64_t Average(int64_t Total, int Count) {
    if (Count == 0) return 0;
    const int64_t q = Total / Count;
    const int64_t rem = Total % Count;
    // Round the remainder's half to even, away from the truncation otherwise.
    const int64_t twice = 2 * (rem < 0 ? -rem : rem);
    const int64_t n = Count < 0 ? -static_cast<int64_t>(Count) : Count;
    const int64_t step = (Total < 0) != (Count < 0) ? -1 : 1;
    if (twice > n || (twice == n && (q % 2 != 0))) return q + step;
    return q;
}
}  // namespace sumfix

using sumfix::Add;
using sumfix::Sub;

// ---------------------------------------------------------------------------------------------
// Sums

void TDBSum::Assign(rtl::TPersistent* Source) {
    auto* src = dynamic_cast<TDBSum*>(Source);
    if (!src) {
        rtl::TCollectionItem::Assign(Source);
        return;
    }
    SetGroupOperation(src->FGroupOperation);
    SetFieldName(src->FFieldName);
    RecordPart = src->RecordPart;
    SumValue = src->SumValue;
}

namespace {
void DropWatched(rtl::TCollection* Collection) {
    if (auto* c = dynamic_cast<TDBSumCollection*>(Collection))
        if (auto* p = dynamic_cast<TDBSumListProducer*>(c->GetOwner())) p->DropWatchedSums();
}
}  // namespace

void TDBSum::SetFieldName(const WideString& Value) {
    if (FFieldName == Value) return;
    FFieldName = Value;
    CachedField = nullptr;
    DropWatched(Collection());
    Changed(false);
}

void TDBSum::SetGroupOperation(TGroupOperation Value) {
    if (FGroupOperation == Value) return;
    FGroupOperation = Value;
    DropWatched(Collection());
    Changed(false);
}

TDBSumCollection::TDBSumCollection(TDBSumListProducer* Owner)
    : rtl::TCollection(TDBSum::StaticClass()), FOwner(Owner) {}

rtl::TPersistent* TDBSumCollection::GetOwner() { return FOwner; }

TDBSum* TDBSumCollection::FindSum(TGroupOperation Operation, const WideString& FieldName) const {
    for (int i = 0; i < Count(); ++i) {
        TDBSum* s = Items(i);
        if (s->GroupOperation() == Operation &&
            rtl::AnsiCompareText(rtl::WideToAnsi(s->FieldName()), rtl::WideToAnsi(FieldName)) == 0)
            return s;
    }
    return nullptr;
}

void TDBSumCollection::Update(rtl::TCollectionItem*) {
    if (FOwner) FOwner->SumsChanged();
}

void TDBSumCollection::Notify(rtl::TCollectionItem*, rtl::TCollectionNotification) {
    if (FOwner) FOwner->DropWatchedSums();
}

db::TDataSet* TSLBookmarkListEh::GetDataSet() { return FProducer ? FProducer->DataSet() : nullptr; }

// ---------------------------------------------------------------------------------------------
// Event relays

struct TDBSumListProducer::TEventRelay {
    TDBSumListProducer* Producer = nullptr;
    void (TDBSumListProducer::*Handler)(db::TDataSet*) = nullptr;
    bool PassOnFirst = false;
    db::TDataSet* DataSet = nullptr;
    db::TDataSetNotifyEvent db::TDataSet::*Slot = nullptr;
    db::TDataSetNotifyEvent Saved;

    // Events fire on the thread that owns the dataset: a plain count keeps each call cheap.
    void AddRef() noexcept { ++FRefs; }
    void Release() {
        if (--FRefs == 0) delete this;
    }

private:
    int FRefs = 1;
};

namespace {
struct TRelayCall {
    rtl::TSharedRef<TDBSumListProducer::TEventRelay> Relay;
    void operator()(db::TDataSet* DataSet) const {
        TDBSumListProducer::TEventRelay* r = Relay.get();
        if (r->Saved) return Chained(DataSet);
        // Nothing runs after the producer, so the relay need not outlive the call.
        if (r->Producer) (r->Producer->*(r->Handler))(DataSet);
    }
    [[gnu::noinline]] void Chained(db::TDataSet* DataSet) const;
};
}  // namespace

void TRelayCall::Chained(db::TDataSet* DataSet) const {
    // Held for the call: a handler may unhook the producer and so drop the slot's copy.
    const rtl::TSharedRef<TDBSumListProducer::TEventRelay> r = Relay;
    if (r->PassOnFirst && r->Saved) r->Saved(DataSet);
    if (r->Producer) (r->Producer->*(r->Handler))(DataSet);
    // Unhooked by the call, the relay gave its saved handler back to the dataset.
    if (!r->PassOnFirst && r->Saved) r->Saved(DataSet);
}

// Tells the producer when its dataset or the master is freed.
class TSumListWatcherEh : public rtl::TComponent {
    RTL_CLASS(TSumListWatcherEh, rtl::TComponent)
public:
    explicit TSumListWatcherEh(std::function<void(rtl::TComponent*)> OnFreed)
        : rtl::TComponent(nullptr), FOnFreed(std::move(OnFreed)) {}

protected:
    void Notification(rtl::TComponent* AComponent, rtl::TOperation Operation) override {
        rtl::TComponent::Notification(AComponent, Operation);
        if (Operation == rtl::opRemove && FOnFreed) FOnFreed(AComponent);
    }

private:
    std::function<void(rtl::TComponent*)> FOnFreed;
};

// ---------------------------------------------------------------------------------------------
// The producer

TDBSumListProducer::TDBSumListProducer(rtl::TComponent* Owner)
    : FOwner(Owner),
      FSums(rtl::Create<TDBSumCollection>(this)),
      FVirtualRecordList(rtl::Create<TSLBookmarkListEh>(this)),
      FWatcher(rtl::Create<TSumListWatcherEh>([this](rtl::TComponent* C) { DataSetFreed(C); })) {}

TDBSumListProducer::~TDBSumListProducer() {
    FActive = false;
    UnhookRelays();
    if (FMaster && FMaster != FDataSet) FMaster->RemoveFreeNotification(FWatcher.get());
    if (FDataSet) FDataSet->RemoveFreeNotification(FWatcher.get());
    FVirtualRecordList.reset();
}

void TDBSumListProducer::DataSetFreed(rtl::TComponent* C) {
    if (C != FDataSet && C != FMaster) return;
    DropCachedFields();
    // A freed dataset takes its event slots with it: only the relays are let go.
    for (const auto& r : FRelays) r->Producer = nullptr;
    FRelays.clear();
    FEventsHooked = false;
    if (C == FMaster) FMaster = nullptr;
    if (C == FDataSet) {
        FDataSet = nullptr;
        FMaster = nullptr;
        if (FVirtualRecordList) FVirtualRecordList->RemoveAll();
    }
}

void TDBSumListProducer::Assign(rtl::TPersistent* Source) {
    auto* src = dynamic_cast<TDBSumListProducer*>(Source);
    if (!src) {
        rtl::TPersistent::Assign(Source);
        return;
    }
    SetActive(src->FActive);
    AttachDataSet(src->FDataSet);
    SetExternalRecalc(src->FExternalRecalc);
    FSums->Assign(src->FSums.get());
    SumListChanged = src->SumListChanged;
    SetVirtualRecords(src->FVirtualRecords);
    OnAfterRecalcAll = src->OnAfterRecalcAll;
    OnRecalcAll = src->OnRecalcAll;
}

bool TDBSumListProducer::PastGate() const {
    if (!FOwner) return true;
    const rtl::TComponentState s = FOwner->ComponentState();
    return !s.Contains(rtl::csLoading) && (FWorksAtDesignTime || !s.Contains(rtl::csDesigning));
}

void TDBSumListProducer::FireSumListChanged() {
    if (SumListChanged) SumListChanged(this);
}

void TDBSumListProducer::SetActive(bool Value) {
    if (FActive == Value) return;
    if (Value)
        SwitchOn(true);
    else
        SwitchOff(true);
}

void TDBSumListProducer::SwitchOn(bool Recalc) {
    FActive = true;
    if (!PastGate()) return;
    HookDataSetEvents();
    if (Recalc) RecalcAll();
}

void TDBSumListProducer::SwitchOff(bool Clear) {
    FActive = false;
    if (!PastGate()) return;
    UnhookDataSetEvents();
    if (Clear) ResetSums();
}

void TDBSumListProducer::FinishLoading() {
    if (FDataSet && FActive) SwitchOn(true);
}

void TDBSumListProducer::AttachDataSet(db::TDataSet* Value) {
    if (Value == FDataSet) {
        if (Value && Value->ComponentState().Contains(rtl::csDestroying)) {
            UnhookDataSetEvents();
            DataSetFreed(Value);
        }
        return;
    }
    DropCachedFields();
    auto store = [&] {
        if (FDataSet) FDataSet->RemoveFreeNotification(FWatcher.get());
        FDataSet = Value;
        if (FDataSet) FDataSet->FreeNotification(FWatcher.get());
    };
    if (!PastGate()) {
        store();
        return;
    }
    const bool wasActive = FActive;
    SwitchOff(true);
    store();
    if (wasActive) SwitchOn(true);
}

void TDBSumListProducer::SetExternalRecalc(bool Value) {
    if (FExternalRecalc == Value) return;
    FExternalRecalc = Value;
    RecalcAll();
}

void TDBSumListProducer::SetVirtualRecords(bool Value) {
    if (FVirtualRecords == Value) return;
    FVirtualRecords = Value;
    if (Value) RecalcAll();
}

void TDBSumListProducer::SumsChanged() {
    DropWatchedSums();
    if (FOwner && FOwner->ComponentState().Contains(rtl::csLoading)) return;
    if (FOwner && FOwner->ComponentState().Contains(rtl::csDestroying)) return;
    RecalcAll();
}

void TDBSumListProducer::HookDataSetEvents() {
    if (!FDataSet || FEventsHooked) return;
    FMaster = editors::DataSetOfSourceProperty(
        FDataSet, [](rtl::TObject* O) -> rtl::TObject* { return static_cast<db::TDataSet*>(O)->MasterDataSource(); });
    auto hook = [this](db::TDataSet* DS, db::TDataSetNotifyEvent db::TDataSet::*Slot,
                       void (TDBSumListProducer::*Handler)(db::TDataSet*), bool PassOnFirst) {
        auto r = rtl::TSharedRef<TEventRelay>::Adopt(new TEventRelay);
        r->Producer = this;
        r->Handler = Handler;
        r->PassOnFirst = PassOnFirst;
        r->DataSet = DS;
        r->Slot = Slot;
        r->Saved = std::move(DS->*Slot);
        DS->*Slot = TRelayCall{r};
        FRelays.push_back(std::move(r));
    };
    hook(FDataSet, &db::TDataSet::AfterEdit, &TDBSumListProducer::HandleAfterEdit, false);
    hook(FDataSet, &db::TDataSet::AfterInsert, &TDBSumListProducer::HandleAfterInsert, false);
    hook(FDataSet, &db::TDataSet::AfterOpen, &TDBSumListProducer::HandleAfterOpen, false);
    hook(FDataSet, &db::TDataSet::AfterPost, &TDBSumListProducer::HandleAfterPost, false);
    hook(FDataSet, &db::TDataSet::AfterScroll, &TDBSumListProducer::HandleAfterScroll, true);
    hook(FDataSet, &db::TDataSet::BeforeDelete, &TDBSumListProducer::HandleBeforeDelete, true);
    hook(FDataSet, &db::TDataSet::AfterClose, &TDBSumListProducer::HandleAfterClose, false);
    hook(FDataSet, &db::TDataSet::AfterCancel, &TDBSumListProducer::HandleAfterCancel, true);
    if (FMaster) {
        hook(FMaster, &db::TDataSet::AfterScroll, &TDBSumListProducer::HandleMasterAfterScroll, true);
        FMaster->FreeNotification(FWatcher.get());
    }
    FEventsHooked = true;
}

void TDBSumListProducer::UnhookRelays() {
    for (const auto& r : FRelays) {
        db::TDataSetNotifyEvent& slot = r->DataSet->*(r->Slot);
        const auto* call = slot.target<TRelayCall>();
        // Put the saved handler back only while the slot is still ours; a later hook keeps our
        // relay as its saved handler, which from now on only passes events through.
        if (call && call->Relay == r) slot = std::move(r->Saved);
        r->Producer = nullptr;
    }
    FRelays.clear();
}

void TDBSumListProducer::UnhookDataSetEvents() {
    if (!FEventsHooked) return;
    UnhookRelays();
    if (FMaster && FMaster != FDataSet) FMaster->RemoveFreeNotification(FWatcher.get());
    FMaster = nullptr;
    FEventsHooked = false;
    FVirtualRecordList->RemoveAll();
}

void TDBSumListProducer::ResetSums() {
    for (int i = 0; i < FSums->Count(); ++i) {
        TDBSum* s = FSums->Items(i);
        s->SumValue = {};
        s->RecordPart = {};
        s->ValueTotal = {};
        s->ValueCount = 0;
    }
    FireSumListChanged();
}

void TDBSumListProducer::TakeFilterSnapshot() {
    if (!FDataSet) return;
    FFilterSnapshot = FDataSet->Filter();
    FFilteredSnapshot = FDataSet->Filtered();
}

bool TDBSumListProducer::VirtualListInUse() { return FDataSet && FVirtualRecords && !FDataSet->IsSequenced(); }

db::TField* TDBSumListProducer::SumField(TDBSum* Sum) const {
    if (Sum->FieldName().empty()) return nullptr;
    // Each upkeep step looks the field up: once per open is enough.
    if (!Sum->CachedField) Sum->CachedField = FDataSet->FieldByName(Sum->FieldName());
    return Sum->CachedField;
}

void TDBSumListProducer::DropCachedFields() {
    DropWatchedSums();
    for (int i = 0; i < FSums->Count(); ++i) FSums->Items(i)->CachedField = nullptr;
}

void TDBSumListProducer::DropWatchedSums() {
    // An edit's bytes still waiting for their post become the parts the reading path posts.
    if (FBytesSnapped)
        for (size_t i = 0; i < FByteSums; ++i) FoldSnapshot(FWatched[i]);
    FBytesSnapped = false;
    FWatched.clear();
    FByteSums = 0;
    FWatchedValid = false;
}

void TDBSumListProducer::WatchSums() {
    FWatched.clear();
    FByteSums = 0;
    FBytesSnapped = false;
    // Each watched sum's byte place; Size 0 where it is read through its field.
    std::vector<db::TDataSet::TFieldBytes> places;
    // The record holds at least every byte a place names: words are read within that.
    int limit = 0;
    for (int i = 0; i < FSums->Count(); ++i) {
        TDBSum* s = FSums->Items(i);
        if (!s->Relevant()) continue;
        TWatchedSum w{s, SumField(s), s->GroupOperation(), db::ftUnknown};
        db::TDataSet::TFieldBytes place{};
        if (w.Field) {
            w.Type = w.Field->DataType();
            int size = 0;
            switch (w.Type) {
                case db::ftSmallint:
                case db::ftWord: size = 2; break;
                case db::ftInteger:
                case db::ftAutoInc: size = 4; break;
                case db::ftLargeint:
                case db::ftFloat:
                case db::ftCurrency: size = 8; break;
                default: break;
            }
            if (size && w.Field->DataSet() == FDataSet && FDataSet->FieldBytes(w.Field, place) && place.Size == size &&
                place.Offset >= 0 && place.NullFlag >= 0)
                limit = std::max({limit, place.Offset + size, place.NullFlag + 1});
            else
                place.Size = 0;
        }
        FWatched.push_back(w);
        places.push_back(place);
    }
    for (size_t i = 0; i < FWatched.size(); ++i) {
        TWatchedSum& w = FWatched[i];
        const db::TDataSet::TFieldBytes& p = places[i];
        // The word ends with the value where the record has room before it, else begins with it.
        const int word = p.Offset + p.Size >= 8 ? p.Offset + p.Size - 8 : p.Offset;
        if (p.Size == 0 || word + 8 > limit) continue;
        w.Word = word;
        w.NullFlag = p.NullFlag;
        w.Shift = (p.Offset - word) * 8;
        const uint64_t bits = p.Size == 8 ? ~uint64_t{0} : (uint64_t{1} << (p.Size * 8)) - 1;
        w.Mask = w.Operation == goCount ? 0 : bits << w.Shift;
    }
    // Byte places first, in their order, then the sums read through their fields.
    const auto readThrough =
        std::stable_partition(FWatched.begin(), FWatched.end(), [](const TWatchedSum& w) { return w.Word >= 0; });
    FByteSums = static_cast<size_t>(readThrough - FWatched.begin());
    FWatchedValid = true;
}

void TDBSumListProducer::FoldSnapshot(TWatchedSum& w) {
    w.Sum->RecordOldNull = w.OldNull;
    w.Sum->RecordPart.Value = w.OldNull ? 0 : w.Operation == goCount ? 10000 : WordPart(w, w.OldWord);
}

inline int64_t TDBSumListProducer::WordPart(const TWatchedSum& w, uint64_t Word) {
    const uint64_t v = Word >> w.Shift;
    if (w.Type == db::ftFloat || w.Type == db::ftCurrency) {
        double d;
        std::memcpy(&d, &v, sizeof d);
        return sumfix::FromDouble(d);
    }
    // Values of up to 32 bits have an exact product; wider ones go through a double, as
    // the walk over all records reads them.
    switch (w.Type) {
        case db::ftSmallint: return static_cast<int16_t>(v) * int64_t{10000};
        case db::ftWord: return static_cast<uint16_t>(v) * int64_t{10000};
        case db::ftLargeint: return sumfix::FromDouble(static_cast<double>(static_cast<int64_t>(v)));
        default: return static_cast<int32_t>(v) * int64_t{10000};
    }
}

bool TDBSumListProducer::ReadPart(db::TField* Field, int64_t* Part) {
    int64_t ignored;
    int64_t& part = Part ? *Part : ignored;
    part = 0;
    db::TDataSet* ds = Field->DataSet();
    const db::TFieldType type = Field->DataType();
    const bool native = type == db::ftFloat || type == db::ftCurrency || type == db::ftSmallint || type == db::ftWord ||
                        type == db::ftInteger || type == db::ftAutoInc || type == db::ftLargeint;
    if (ds && native && Field->FieldKind() == db::fkData) {
        union {
            double d;
            int16_t i16;
            uint16_t u16;
            int32_t i32;
            int64_t i64;
        } raw{};
        if (!ds->GetFieldValue(Field, &raw)) return false;
        if (!Part) return true;
        switch (type) {
            case db::ftSmallint: part = sumfix::FromDouble(raw.i16); break;
            case db::ftWord: part = sumfix::FromDouble(raw.u16); break;
            case db::ftInteger:
            case db::ftAutoInc: part = sumfix::FromDouble(raw.i32); break;
            case db::ftLargeint: part = sumfix::FromDouble(static_cast<double>(raw.i64)); break;
            default: part = sumfix::FromDouble(raw.d); break;
        }
        return true;
    }
    if (Field->IsNull()) return false;
    if (Part) part = sumfix::FromDouble(Field->AsFloat());
    return true;
}

void TDBSumListProducer::RecalcAll() {
    if (!PastGate() || !FActive || !FDataSet || !FDataSet->Active() || !FEventsHooked) return;
    DropCachedFields();
    ResetSums();
    FSearchHint = -1;
    if (OnRecalcAll) OnRecalcAll(this);
    if (FExternalRecalc) {
        TakeFilterSnapshot();
        FRecalculating = false;
        FireSumListChanged();
        return;
    }
    struct TWalked {
        TDBSum* Sum;
        db::TField* Field;
    };
    rtl::TryFinally(
        [&] {
            std::vector<TWalked> walked;
            for (int i = 0; i < FSums->Count(); ++i)
                if (FSums->Items(i)->Relevant()) walked.push_back({FSums->Items(i), nullptr});
            const bool virtualList = VirtualListInUse();
            if (walked.empty() && !virtualList) return;
            db::TDataSet* ds = FDataSet;
            const db::TBookmark saved = ds->GetBookmark();
            ds->DisableControls();
            rtl::TryFinally(
                [&] {
                    FVirtualRecordList->RemoveAll();
                    FRecalculating = true;
                    for (TWalked& w : walked) w.Field = SumField(w.Sum);
                    std::vector<int64_t> sums(walked.size(), 0), totals(walked.size(), 0);
                    std::vector<int> counts(walked.size(), 0);
                    ds->First();
                    while (!ds->Eof()) {
                        for (size_t i = 0; i < walked.size(); ++i) {
                            db::TField* f = walked[i].Field;
                            switch (walked[i].Sum->GroupOperation()) {
                                case goSum:
                                    if (!f->IsNull()) sums[i] = Add(sums[i], sumfix::FromDouble(f->AsFloat()));
                                    break;
                                case goAvg:
                                    if (!f->IsNull()) {
                                        ++counts[i];
                                        totals[i] = Add(totals[i], sumfix::FromDouble(f->AsFloat()));
                                    }
                                    break;
                                case goCount:
                                    if (!f || !f->IsNull()) sums[i] = Add(sums[i], 10000);
                                    break;
                            }
                        }
                        if (virtualList) FVirtualRecordList->Append(ds->GetBookmark());
                        ds->Next();
                    }
                    if (!saved.empty() && ds->BookmarkValid(saved))
                        ds->GotoBookmark(saved);
                    else
                        ds->First();
                    for (size_t i = 0; i < walked.size(); ++i) {
                        TDBSum* s = walked[i].Sum;
                        if (s->GroupOperation() == goAvg) {
                            s->ValueCount = counts[i];
                            s->ValueTotal = rtl::Currency::FromScaled(totals[i]);
                            s->SumValue = rtl::Currency::FromScaled(sumfix::Average(totals[i], counts[i]));
                        } else {
                            s->SumValue = rtl::Currency::FromScaled(sums[i]);
                        }
                    }
                },
                [&] { ds->EnableControls(); });
            if (OnAfterRecalcAll) OnAfterRecalcAll(this);
        },
        [&] {
            TakeFilterSnapshot();
            FRecalculating = false;
            FireSumListChanged();
        });
}

void TDBSumListProducer::ReadEditPart(const TWatchedSum& w) {
    TDBSum* s = w.Sum;
    if (w.Operation == goCount) {
        s->RecordPart.Value = !w.Field || ReadPart(w.Field, nullptr) ? 10000 : 0;
        return;
    }
    int64_t part;
    s->RecordOldNull = !ReadPart(w.Field, &part);
    s->RecordPart.Value = part;
}

void TDBSumListProducer::ReadPostPart(const TWatchedSum& w) {
    TDBSum* s = w.Sum;
    if (w.Operation == goCount) {
        ApplyPost(s, s->RecordPart.Value, s->RecordOldNull, !w.Field || ReadPart(w.Field, nullptr) ? 10000 : 0, false);
        return;
    }
    int64_t now;
    const bool isNull = !ReadPart(w.Field, &now);
    ApplyPost(s, s->RecordPart.Value, s->RecordOldNull, now, isNull);
}

void TDBSumListProducer::HandleAfterEdit(db::TDataSet*) {
    if (!FActive) return;
    if (!FWatchedValid) WatchSums();
    const uint8_t* rec = FByteSums && FDataSet ? FDataSet->FieldBytesRecord() : nullptr;
    FBytesSnapped = rec != nullptr;
    size_t i = 0;
    if (rec) {
        for (TWatchedSum *w = FWatched.data(), *end = w + FByteSums; w != end; ++w) {
            w->OldNull = rec[w->NullFlag] == 1;
            std::memcpy(&w->OldWord, rec + w->Word, sizeof w->OldWord);
        }
        i = FByteSums;
    }
    for (; i < FWatched.size(); ++i) ReadEditPart(FWatched[i]);
}

void TDBSumListProducer::HandleAfterInsert(db::TDataSet*) {
    if (!FActive) return;
    for (int i = 0; i < FSums->Count(); ++i) {
        TDBSum* s = FSums->Items(i);
        if (!s->Relevant()) continue;
        s->RecordPart = {};
        s->RecordOldNull = true;
    }
    FBytesSnapped = false;
    if (VirtualListInUse()) {
        const db::TBookmark b = FDataSet->GetBookmark();
        if (b.empty())
            FInsertPending = true;
        else
            FVirtualRecordList->Append(b);
    }
}

inline void TDBSumListProducer::ApplyPost(TDBSum* s, int64_t part, bool oldNull, int64_t now, bool isNull) {
    switch (s->GroupOperation()) {
        case goSum:
        case goCount:
            // An unchanged value leaves the sum alone: nothing to check or store.
            if (now != part) s->SumValue.Value = Add(Sub(s->SumValue.Value, part), now);
            break;
        case goAvg:
            if (now == part && isNull == oldNull) break;
            if (isNull && !oldNull) --s->ValueCount;
            if (!isNull && oldNull) ++s->ValueCount;
            s->ValueTotal.Value = Add(Sub(s->ValueTotal.Value, part), now);
            s->SumValue.Value = sumfix::Average(s->ValueTotal.Value, s->ValueCount);
            break;
    }
}

void TDBSumListProducer::PostWord(const TWatchedSum& w, uint64_t Word, bool IsNull) {
    if (w.Operation == goCount)
        ApplyPost(w.Sum, w.OldNull ? 0 : 10000, w.OldNull, IsNull ? 0 : 10000, IsNull);
    else
        ApplyPost(w.Sum, w.OldNull ? 0 : WordPart(w, w.OldWord), w.OldNull, IsNull ? 0 : WordPart(w, Word), IsNull);
}

void TDBSumListProducer::HandleAfterPost(db::TDataSet*) {
    if (!FActive) return;
    if (!FWatchedValid) WatchSums();
    size_t i = 0;
    if (FBytesSnapped) {
        FBytesSnapped = false;
        if (const uint8_t* rec = FDataSet ? FDataSet->FieldBytesRecord() : nullptr) {
            for (const TWatchedSum *w = FWatched.data(), *end = w + FByteSums; w != end; ++w) {
                uint64_t word;
                std::memcpy(&word, rec + w->Word, sizeof word);
                const bool isNull = rec[w->NullFlag] == 1;
                if (isNull != w->OldNull || ((word ^ w->OldWord) & w->Mask) != 0) PostWord(*w, word, isNull);
            }
            i = FByteSums;
        } else {
            // No record to compare with: post the edit's values through the reading path.
            for (size_t k = 0; k < FByteSums; ++k) FoldSnapshot(FWatched[k]);
        }
    }
    for (; i < FWatched.size(); ++i) ReadPostPart(FWatched[i]);
    if (FInsertPending && VirtualListInUse()) {
        const db::TBookmark b = FDataSet->GetBookmark();
        int index = 0;
        if (!FVirtualRecordList->Find(b, index)) FVirtualRecordList->InsertAt(index, b);
        FInsertPending = false;
    }
    FireSumListChanged();
}

void TDBSumListProducer::HandleBeforeDelete(db::TDataSet*) {
    if (!FActive) return;
    for (int i = 0; i < FSums->Count(); ++i) {
        TDBSum* s = FSums->Items(i);
        if (!s->Relevant()) continue;
        db::TField* f = SumField(s);
        switch (s->GroupOperation()) {
            case goSum: s->SumValue.Value = Sub(s->SumValue.Value, FieldPart(f)); break;
            case goAvg:
                s->ValueTotal.Value = Sub(s->ValueTotal.Value, FieldPart(f));
                if (!f->IsNull()) --s->ValueCount;
                s->SumValue.Value = sumfix::Average(s->ValueTotal.Value, s->ValueCount);
                break;
            case goCount:
                if (!f || !f->IsNull()) s->SumValue.Value = Sub(s->SumValue.Value, 10000);
                break;
        }
    }
    if (VirtualListInUse()) {
        const int index = FVirtualRecordList->IndexOf(FDataSet->GetBookmark());
        if (index >= 0) FVirtualRecordList->DeleteAt(index);
    }
    FireSumListChanged();
}

void TDBSumListProducer::HandleAfterCancel(db::TDataSet*) { FInsertPending = false; }

void TDBSumListProducer::HandleAfterOpen(db::TDataSet*) { RecalcAll(); }

void TDBSumListProducer::HandleAfterClose(db::TDataSet*) {
    DropCachedFields();
    if (FActive) {
        ResetSums();
        FireSumListChanged();
        FRecalculating = false;
    }
    FVirtualRecordList->RemoveAll();
}

void TDBSumListProducer::HandleAfterScroll(db::TDataSet*) {
    if (FRecalculating || !FDataSet) return;
    if (FDataSet->Filtered() != FFilteredSnapshot || (FDataSet->Filtered() && FDataSet->Filter() != FFilterSnapshot))
        RecalcAll();
}

void TDBSumListProducer::HandleMasterAfterScroll(db::TDataSet*) {
    if (!FRecalculating) RecalcAll();
}

// ---------------------------------------------------------------------------------------------
// Virtual record numbers

bool TDBSumListProducer::RecordsSequenced() {
    if (FDataSet && FDataSet->IsSequenced()) return true;
    if (!FDataSet || !FVirtualRecords || !FActive) return false;
    return FVirtualRecordList->Count() > 0 || (FDataSet->Bof() && FDataSet->Eof());
}

int TDBSumListProducer::VirtualIndexOf(const db::TBookmark& Bookmark) {
    const int n = FVirtualRecordList->Count();
    if (n == 0) return -1;
    int i = FSearchHint < 0 || FSearchHint >= n ? 0 : FSearchHint;
    const int c = FVirtualRecordList->CompareBookmarks(FVirtualRecordList->Items(i), Bookmark);
    if (c > 0) {
        while (i >= 0 && FVirtualRecordList->CompareBookmarks(FVirtualRecordList->Items(i), Bookmark) > 0) --i;
    } else if (c < 0) {
        while (i < n && FVirtualRecordList->CompareBookmarks(FVirtualRecordList->Items(i), Bookmark) < 0) ++i;
    }
    if (i < 0 || i >= n || FVirtualRecordList->CompareBookmarks(FVirtualRecordList->Items(i), Bookmark) != 0) {
        FSearchHint = std::clamp(i, 0, n - 1);
        return -1;
    }
    FSearchHint = i;
    return i;
}

int TDBSumListProducer::RecordNumber() {
    if (!VirtualListInUse() || !FActive) return FDataSet ? FDataSet->RecNo() : 0;
    return VirtualIndexOf(FDataSet->GetBookmark()) + 1;
}

void TDBSumListProducer::GoToRecordNumber(int N) {
    if (!VirtualListInUse() || !FActive) {
        if (FDataSet) FDataSet->SetRecNo(N);
        return;
    }
    if (N >= 1 && N <= FVirtualRecordList->Count()) FDataSet->GotoBookmark(FVirtualRecordList->Items(N - 1));
}

int TDBSumListProducer::RecordTotal() {
    if (!FDataSet) return 0;
    if (!VirtualListInUse() || !FActive) return FDataSet->RecordCount();
    return FVirtualRecordList->Count();
}

}  // namespace grid
