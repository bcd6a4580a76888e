// Aggregates over all records of a dataset (sums, averages, counts) kept up to date as records
// are edited, posted and deleted, and recalculated by a walk when the dataset opens, its filter
// changes or its master scrolls. Also numbers the records of a dataset that cannot number them.
#pragma once

#include <cmath>
#include <cstdint>
#include <memory>
#include <vector>

#include "controls/editors/ToolCtrlsEh.h"
#include "framework/db/DB.h"
#include "framework/rtl/Classes.h"
#include "framework/rtl/Ownership.h"
#include "framework/rtl/Types.h"

namespace grid {

using rtl::AnsiString;
using rtl::Variant;
using rtl::WideString;

enum TGroupOperation { goSum, goAvg, goCount };

// Four-decimal fixed point (ten-thousandths in 64 bits). Every step is checked: a value or a
// result beyond the range raises EOverflow instead of wrapping.
// Inline: the edit and post upkeep converts and adds on every post.
namespace sumfix {
[[noreturn]] void Overflow();

inline int64_t FromDouble(double Value) {
    // Checked before the conversion: a value past the range has no integer form at all.
    const double scaled = std::nearbyint(Value * 10000.0);
    if (!(scaled >= -9223372036854775808.0 && scaled < 9223372036854775808.0)) Overflow();
    return static_cast<int64_t>(scaled);
}

inline int64_t Add(int64_t A, int64_t B) {
    int64_t r;
    if (__builtin_add_overflow(A, B, &r)) Overflow();
    return r;
}

inline int64_t Sub(int64_t A, int64_t B) {
    int64_t r;
    if (__builtin_sub_overflow(A, B, &r)) Overflow();
    return r;
}

// Total / Count, rounded to the nearest (halves to even); 0 for no values.
int64_t Average(int64_t Total, int Count);
}  // namespace sumfix

class TDBSumListProducer;

class TDBSum : public rtl::TCollectionItem {
    RTL_CLASS(TDBSum, rtl::TCollectionItem)
public:
    explicit TDBSum(rtl::TCollection* Collection) : rtl::TCollectionItem(Collection) {}
    void Assign(rtl::TPersistent* Source) override;

    const WideString& FieldName() const noexcept { return FFieldName; }
    void SetFieldName(const WideString& Value);
    TGroupOperation GroupOperation() const noexcept { return FGroupOperation; }
    void SetGroupOperation(TGroupOperation Value);
    // Counts records or names a field: only such a sum is computed.
    bool Relevant() const noexcept { return FGroupOperation == goCount || !FFieldName.empty(); }

    rtl::Currency SumValue;
    rtl::Currency RecordPart;
    // The record's value was null when its edit began (averages count only values).
    bool RecordOldNull = true;
    int ValueCount = 0;
    rtl::Currency ValueTotal;
    // The field resolved by the last look-up; dropped when the name or the dataset's fields change.
    db::TField* CachedField = nullptr;

private:
    WideString FFieldName;
    TGroupOperation FGroupOperation = goSum;
};

class TDBSumCollection : public rtl::TCollection {
    RTL_CLASS(TDBSumCollection, rtl::TCollection)
public:
    explicit TDBSumCollection(TDBSumListProducer* Owner);
    TDBSum* Items(int Index) const { return static_cast<TDBSum*>(rtl::TCollection::Items(Index)); }
    TDBSum* Add() { return static_cast<TDBSum*>(rtl::TCollection::Add()); }
    // The first sum of that operation over FieldName (case ignored); nullptr when none.
    TDBSum* FindSum(TGroupOperation Operation, const WideString& FieldName) const;
    rtl::TPersistent* GetOwner() override;

protected:
    void Update(rtl::TCollectionItem* Item) override;
    void Notify(rtl::TCollectionItem* Item, rtl::TCollectionNotification Action) override;

private:
    TDBSumListProducer* FOwner;
};

// The record list in dataset order, for numbering records.
class TSLBookmarkListEh : public editors::TBMListEh {
    RTL_CLASS(TSLBookmarkListEh, editors::TBMListEh)
public:
    explicit TSLBookmarkListEh(TDBSumListProducer* Producer) : FProducer(Producer) {}
    db::TDataSet* GetDataSet() override;

private:
    TDBSumListProducer* FProducer;
};

class TDBSumListProducer : public rtl::TPersistent {
    RTL_CLASS(TDBSumListProducer, rtl::TPersistent)
public:
    explicit TDBSumListProducer(rtl::TComponent* Owner);
    ~TDBSumListProducer() override;
    void Assign(rtl::TPersistent* Source) override;
    rtl::TPersistent* GetOwner() override { return FOwner; }

    rtl::TComponent* Owner() const noexcept { return FOwner; }
    bool Active() const noexcept { return FActive; }
    void SetActive(bool Value);
    db::TDataSet* DataSet() const noexcept { return FDataSet; }
    void AttachDataSet(db::TDataSet* Value);
    db::TDataSet* WatchedMaster() const noexcept { return FMaster; }
    bool ExternalRecalc() const noexcept { return FExternalRecalc; }
    void SetExternalRecalc(bool Value);
    bool VirtualRecords() const noexcept { return FVirtualRecords; }
    void SetVirtualRecords(bool Value);
    TDBSumCollection* SumCollection() const noexcept { return FSums.get(); }
    void SetSumCollection(TDBSumCollection* Value) { FSums->Assign(Value); }
    bool EventsHooked() const noexcept { return FEventsHooked; }
    bool Recalculating() const noexcept { return FRecalculating; }
    bool WorksAtDesignTime() const noexcept { return FWorksAtDesignTime; }

    void FinishLoading();
    void SwitchOn(bool Recalc);
    void SwitchOff(bool Clear);
    void SumsChanged();
    // Forgets what the edit and post upkeep prepared for the sums (items came or went).
    void DropWatchedSums();

    rtl::TNotifyEvent SumListChanged;
    rtl::TNotifyEvent OnRecalcAll;
    rtl::TNotifyEvent OnAfterRecalcAll;

    // --- virtual operations, in slot order ---
    virtual int RecordNumber();
    virtual int VirtualIndexOf(const db::TBookmark& Bookmark);
    virtual void GoToRecordNumber(int N);
    virtual void HandleAfterCancel(db::TDataSet* DataSet);
    virtual void HandleAfterClose(db::TDataSet* DataSet);
    virtual void HandleAfterEdit(db::TDataSet* DataSet);
    virtual void HandleAfterInsert(db::TDataSet* DataSet);
    virtual void HandleAfterOpen(db::TDataSet* DataSet);
    virtual void HandleAfterPost(db::TDataSet* DataSet);
    virtual void HandleAfterScroll(db::TDataSet* DataSet);
    virtual void HandleBeforeDelete(db::TDataSet* DataSet);
    virtual void UnhookDataSetEvents();
    virtual bool RecordsSequenced();
    virtual int RecordTotal();
    virtual void ResetSums();
    virtual void RecalcAll();
    virtual void HookDataSetEvents();

    void HandleMasterAfterScroll(db::TDataSet* DataSet);

    // One redirected event of a dataset. The dataset's slot calls the relay, which calls the
    // producer (while it is hooked) and then the handler it replaced. The relay outlives the
    // producer when another producer has hooked the same event after it.
    struct TEventRelay;

protected:
    void SetWorksAtDesignTime(bool Value) noexcept { FWorksAtDesignTime = Value; }
    void SetEventsHooked(bool Value) noexcept { FEventsHooked = Value; }
    // The owner is neither loading nor (unless the producer works at design time) designed.
    bool PastGate() const;
    void FireSumListChanged();

private:
    void TakeFilterSnapshot();
    void UnhookRelays();
    // The dataset or its master is being freed.
    void DataSetFreed(rtl::TComponent* Component);
    bool VirtualListInUse();
    // False when the field is null; otherwise its value as fixed point goes to Part (0 when
    // null) unless Part is nullptr. Numeric data fields are read once, straight from the
    // record, as this runs on every edit and post.
    static bool ReadPart(db::TField* Field, int64_t* Part);
    static int64_t FieldPart(db::TField* Field) {
        int64_t part;
        ReadPart(Field, &part);
        return part;
    }
    db::TField* SumField(TDBSum* Sum) const;
    void DropCachedFields();

    // A relevant sum as the edit and post upkeep sees it. A value the dataset keeps as plain
    // record bytes is compared between the edit and the post as one 8-byte word around it, so
    // a post that changed none of the summed values converts nothing; the rest are read
    // through their fields.
    struct TWatchedSum {
        TDBSum* Sum;
        db::TField* Field;
        TGroupOperation Operation;
        db::TFieldType Type;
        int Word = -1;      // where the 8 bytes holding the value begin; -1: read through the field
        int NullFlag = 0;   // the record byte that is 1 when null
        uint64_t Mask = 0;  // the value's bits in the word (none for a count: null or not)
        int Shift = 0;      // the value's first bit in the word
        uint64_t OldWord = 0;
        bool OldNull = true;
    };
    void WatchSums();
    // The value a word holds as fixed point.
    static int64_t WordPart(const TWatchedSum& Watched, uint64_t Word);
    // The edit's bytes become the parts the reading path posts.
    static void FoldSnapshot(TWatchedSum& Watched);
    static void ApplyPost(TDBSum* Sum, int64_t Part, bool OldNull, int64_t Now, bool IsNull);
    void ReadEditPart(const TWatchedSum& Watched);
    void ReadPostPart(const TWatchedSum& Watched);
    // A byte place whose word or null flag changed between the edit and the post.
    [[gnu::noinline]] static void PostWord(const TWatchedSum& Watched, uint64_t Word, bool IsNull);

    rtl::TComponent* FOwner;
    db::TDataSet* FDataSet = nullptr;
    db::TDataSet* FMaster = nullptr;
    bool FActive = true;
    bool FExternalRecalc = false;
    bool FVirtualRecords = false;
    bool FEventsHooked = false;
    bool FRecalculating = false;
    bool FWorksAtDesignTime = false;
    bool FInsertPending = false;
    int FSearchHint = -1;
    AnsiString FFilterSnapshot;
    bool FFilteredSnapshot = false;
    rtl::TOwnedPtr<TDBSumCollection> FSums;
    rtl::TOwnedPtr<TSLBookmarkListEh> FVirtualRecordList;
    std::vector<rtl::TSharedRef<TEventRelay>> FRelays;
    // Sums with byte places first, then those read through their fields.
    std::vector<TWatchedSum> FWatched;
    size_t FByteSums = 0;
    bool FWatchedValid = false;
    // The edit took the byte places' words; their post compares words.
    bool FBytesSnapped = false;
    rtl::TOwnedPtr<rtl::TComponent> FWatcher;
};

}  // namespace grid
