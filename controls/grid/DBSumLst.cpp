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
namespace {
[[noreturn]] void Overflow() { throw rtl::EOverflow("Floating point overflow"); }
}  // namespace

int64_t FromDouble(double Value) {
    // Checked before the conversion: a value past the range has no integer form at all.
    const double scaled = std::nearbyint(Value * 10000.0);
    if (!(scaled >= -9223372036854775808.0 && scaled < 9223372036854775808.0)) Overflow();
    return static_cast<int64_t>(scaled);
}

int64_t Add(int64_t A, int64_t B) {
    int64_t r;
    if (__builtin_add_overflow(A, B, &r)) Overflow();
    return r;
}

int64_t Sub(int64_t A, int64_t B) {
    int64_t r;
    if (__builtin_sub_overflow(A, B, &r)) Overflow();
    return r;
}

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
};

namespace {
struct TRelayCall {
    std::shared_ptr<TDBSumListProducer::TEventRelay> Relay;
    void operator()(db::TDataSet* DataSet) const;
};
}  // namespace

void TRelayCall::operator()(db::TDataSet* DataSet) const {
    // Held for the call: the handler may unhook the producer and so drop the slot's copy.
    const std::shared_ptr<TDBSumListProducer::TEventRelay> r = Relay;
    if (r->PassOnFirst && r->Saved) r->Saved(DataSet);
    if (r->Producer) (r->Producer->*(r->Handler))(DataSet);
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
        auto r = std::make_shared<TEventRelay>();
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
    for (TWatchedSum& w : FWatched)
        if (w.Snapped) FoldSnapshot(w);
    FWatched.clear();
    FWatchedValid = false;
}

void TDBSumListProducer::WatchSums() {
    FWatched.clear();
    for (int i = 0; i < FSums->Count(); ++i) {
        TDBSum* s = FSums->Items(i);
        if (!s->Relevant()) continue;
        TWatchedSum w{s, SumField(s), s->GroupOperation(), db::ftUnknown};
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
            db::TDataSet::TFieldBytes place;
            if (size && w.Field->DataSet() == FDataSet && FDataSet->FieldBytes(w.Field, place) && place.Size == size) {
                w.Offset = place.Offset;
                w.Size = size;
                w.NullFlag = place.NullFlag;
            }
        }
        FWatched.push_back(w);
    }
    FWatchedValid = true;
}

void TDBSumListProducer::FoldSnapshot(TWatchedSum& w) {
    w.Snapped = false;
    w.Sum->RecordOldNull = w.OldNull;
    w.Sum->RecordPart.Value = w.OldNull ? 0 : w.Operation == goCount ? 10000 : BytesPart(w.Type, w.OldBytes);
}

int64_t TDBSumListProducer::BytesPart(db::TFieldType Type, uint64_t Bytes) {
    const auto as = [Bytes]<class T>(T*) {
        T v;
        std::memcpy(&v, &Bytes, sizeof v);
        return v;
    };
    switch (Type) {
        case db::ftSmallint: return sumfix::FromDouble(as(static_cast<int16_t*>(nullptr)));
        case db::ftWord: return sumfix::FromDouble(as(static_cast<uint16_t*>(nullptr)));
        case db::ftInteger:
        case db::ftAutoInc: return sumfix::FromDouble(as(static_cast<int32_t*>(nullptr)));
        case db::ftLargeint: return sumfix::FromDouble(static_cast<double>(as(static_cast<int64_t*>(nullptr))));
        default: return sumfix::FromDouble(as(static_cast<double*>(nullptr)));
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

namespace {
// Sizes are 2, 4 or 8: fixed-size copies stay plain loads.
inline uint64_t LoadBytes(const uint8_t* At, int Size) {
    uint64_t v = 0;
    switch (Size) {
        case 2: std::memcpy(&v, At, 2); break;
        case 4: std::memcpy(&v, At, 4); break;
        default: std::memcpy(&v, At, 8); break;
    }
    return v;
}
}  // namespace

void TDBSumListProducer::HandleAfterEdit(db::TDataSet*) {
    if (!FActive) return;
    if (!FWatchedValid) WatchSums();
    const uint8_t* rec = FDataSet ? FDataSet->FieldBytesRecord() : nullptr;
    for (TWatchedSum& w : FWatched) {
        w.Snapped = rec && w.Offset >= 0;
        if (w.Snapped) {
            w.OldNull = rec[w.NullFlag] == 1;
            w.OldBytes = w.OldNull ? 0 : LoadBytes(rec + w.Offset, w.Size);
            continue;
        }
        TDBSum* s = w.Sum;
        db::TField* f = w.Field;
        if (s->GroupOperation() == goCount) {
            s->RecordPart.Value = !f || ReadPart(f, nullptr) ? 10000 : 0;
        } else {
            int64_t part;
            s->RecordOldNull = !ReadPart(f, &part);
            s->RecordPart.Value = part;
        }
    }
}

void TDBSumListProducer::HandleAfterInsert(db::TDataSet*) {
    if (!FActive) return;
    for (int i = 0; i < FSums->Count(); ++i) {
        TDBSum* s = FSums->Items(i);
        if (!s->Relevant()) continue;
        s->RecordPart = {};
        s->RecordOldNull = true;
    }
    for (TWatchedSum& w : FWatched) w.Snapped = false;
    if (VirtualListInUse()) {
        const db::TBookmark b = FDataSet->GetBookmark();
        if (b.empty())
            FInsertPending = true;
        else
            FVirtualRecordList->Append(b);
    }
}

void TDBSumListProducer::ApplyPost(TDBSum* s, int64_t part, bool oldNull, int64_t now, bool isNull) {
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

void TDBSumListProducer::HandleAfterPost(db::TDataSet*) {
    if (!FActive) return;
    if (!FWatchedValid) WatchSums();
    const uint8_t* rec = FDataSet ? FDataSet->FieldBytesRecord() : nullptr;
    for (TWatchedSum& w : FWatched) {
        TDBSum* s = w.Sum;
        if (w.Snapped && rec) {
            w.Snapped = false;
            const bool isNull = rec[w.NullFlag] == 1;
            const uint64_t bytes = isNull ? 0 : LoadBytes(rec + w.Offset, w.Size);
            if (isNull == w.OldNull && bytes == w.OldBytes) continue;
            if (w.Operation == goCount) {
                ApplyPost(s, w.OldNull ? 0 : 10000, w.OldNull, isNull ? 0 : 10000, isNull);
                continue;
            }
            ApplyPost(s, w.OldNull ? 0 : BytesPart(w.Type, w.OldBytes), w.OldNull,
                      isNull ? 0 : BytesPart(w.Type, bytes), isNull);
            continue;
        }
        if (w.Snapped) {
            // No record to compare with: post the edit's value through the reading path.
            FoldSnapshot(w);
        }
        db::TField* f = w.Field;
        if (w.Operation == goCount) {
            ApplyPost(s, s->RecordPart.Value, s->RecordOldNull, !f || ReadPart(f, nullptr) ? 10000 : 0, false);
            continue;
        }
        int64_t now;
        const bool isNull = !ReadPart(f, &now);
        ApplyPost(s, s->RecordPart.Value, s->RecordOldNull, now, isNull);
    }
    if (VirtualListInUse() && FInsertPending) {
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
