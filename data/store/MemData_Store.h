// The record store: TData converts single values between record buffers, the dataset's buffers
// and variants; TMemData keeps the rows as a list of record items in memory with navigation,
// record numbers, bookmarks, filtering and cached updates.
#pragma once

#include <cstdint>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "data/store/MemData.h"
#include "framework/rtl/Variant.h"

namespace store {

// A variant kept out of the record: the value of an mdtVariant field.
class TVariantObject;
// A node of a parsed filter expression; the filter parser defines it.
struct TExpressionNode;

// Kinds of a cached change handed to the apply event.
inline constexpr uint8_t ukUpdate = 0;
inline constexpr uint8_t ukInsert = 1;
inline constexpr uint8_t ukDelete = 2;

// Kinds ApplyUpdates handles, as a bit set.
inline constexpr uint8_t ukfModify = 1;
inline constexpr uint8_t ukfInsert = 2;
inline constexpr uint8_t ukfDelete = 4;
inline constexpr uint8_t ukfAll = ukfModify | ukfInsert | ukfDelete;

// Bit n stands for item update status n.
using TItemStatuses = uint8_t;
inline constexpr TItemStatuses StatusBit(uint8_t Status) { return static_cast<TItemStatuses>(1u << Status); }

// Conversion kinds between a stored TDateTime and the external forms of the date types.
inline constexpr int dkMSecs = 0;     // double: milliseconds since 0001-01-01
inline constexpr int dkDateTime = 1;  // TDateTime as it is
inline constexpr int dkTime = 2;      // int32: milliseconds of the day
inline constexpr int dkDate = 3;      // int32: day number

// A serial per item address in a flat table: no allocation per entry and a lookup touches one
// cache line. Linear probing; entries are never removed one by one.
class TItemSerialMap {
public:
    struct value_type {
        const TRecordItem* first;
        uint32_t second;
    };
    using iterator = value_type*;

    iterator end() noexcept { return nullptr; }
    bool empty() const noexcept { return FCount == 0; }
    size_t size() const noexcept { return FCount; }
    void clear() noexcept {
        FSlots.reset();
        FMask = 0;
        FCount = 0;
        FShift = 64;
    }
    using const_iterator = const value_type*;
    const_iterator end() const noexcept { return nullptr; }
    iterator find(const TRecordItem* Key) noexcept {
        return const_cast<iterator>(static_cast<const TItemSerialMap*>(this)->find(Key));
    }
    const_iterator find(const TRecordItem* Key) const noexcept {
        if (FCount == 0) return nullptr;
        for (size_t i = Home(Key);; i = (i + 1) & FMask) {
            if (FSlots[i].first == Key) return &FSlots[i];
            if (!FSlots[i].first) return nullptr;
        }
    }
    std::pair<iterator, bool> try_emplace(const TRecordItem* Key, uint32_t Value) {
        if ((FCount + 1) * 4 > Capacity() * 3) Grow();
        for (size_t i = Home(Key);; i = (i + 1) & FMask) {
            if (FSlots[i].first == Key) return {&FSlots[i], false};
            if (!FSlots[i].first) {
                FSlots[i] = {Key, Value};
                ++FCount;
                return {&FSlots[i], true};
            }
        }
    }

private:
    size_t Capacity() const noexcept { return FSlots ? FMask + 1 : 0; }
    size_t Home(const TRecordItem* Key) const noexcept {
        // Items lie a record apart: the multiplication spreads neighbours over the table.
        return static_cast<size_t>((reinterpret_cast<uintptr_t>(Key) * 0x9E3779B97F4A7C15ull) >> FShift);
    }
    void Grow();

    std::unique_ptr<value_type[]> FSlots;
    size_t FMask = 0;
    size_t FCount = 0;
    int FShift = 64;
};

// A position in a store. The item is only ever followed after the store has confirmed, through
// the data id and the serial against its index of freed items, that it still holds this row.
struct TRecBookmark {
    int32_t RefreshIteration = 0;  // data id of the filling the bookmark was taken from
    int32_t Order = -1;            // record number; -1 without a current record
    TRecordItem* Item = nullptr;
    uint32_t Serial = 0;  // frees of items in the store before it was taken
};

using TRecBufEvent = std::function<void(void* RecBuf)>;
using TNotifyStoreEvent = std::function<void()>;
using TApplyRecordEvent = std::function<void(uint8_t UpdateKind, uint8_t& Action, bool LastItem)>;
using TFilterFunc = std::function<bool(void* RecBuf)>;
using TCalcRecordEvent = std::function<void(void* Target, const void* Source)>;

class TData {
public:
    TData();
    TData(const TData&) = delete;
    TData& operator=(const TData&) = delete;
    virtual ~TData();

    // --- provider hooks ---
    virtual void DoPrepare() {}
    virtual void DoUnprepare() {}
    virtual void DoOpen(int /*Flag*/) {}
    virtual void DoClose() {}
    virtual void InitData();
    virtual void FreeData();
    virtual void DoInitFields() {}

    virtual WideString ArrayElementName(int Index) const;
    virtual int GetFieldCount() const { return FFields.Count(); }
    virtual bool NeedConvertEOL() const { return false; }

    virtual bool GetEof() const { return FEof; }
    virtual bool GetBof() const { return FBof; }
    virtual int GetRecordCount() const { return -1; }
    virtual int GetRecordNo() const { return -1; }
    virtual void SetRecordNo(int /*Value*/) {}

    virtual void DoInsertRecordEvent(void* RecBuf);
    virtual void DoDeleteRecordEvent();
    virtual void DoUpdateRecordEvent(void* RecBuf);
    virtual void SetFilterText(const AnsiString& Value);
    virtual void DoAfterRevertEvent();
    virtual void DoAfterApplyEvent();
    virtual void DoBeforeCancelUpdatesEvent();
    virtual bool HasUpdates() { return false; }
    virtual void SetVisibleStatuses(TItemStatuses Value) { FVisibleStatuses = Value; }

    virtual void Open();
    virtual void Close();
    virtual void Prepare();
    virtual void Unprepare();
    virtual bool IsFullReopen() const { return true; }
    virtual void Reopen();

    // The class of new descriptors; a provider returns its own subclass.
    virtual std::unique_ptr<TFieldDesc> CreateFieldDesc() const { return std::make_unique<TFieldDesc>(); }
    virtual void InitFields();
    virtual void ExplicitInitFields() { InitFields(); }
    virtual void ClearFields();

    // --- single values ---
    // Dest receives the external form; without Dest only IsBlank is answered.
    virtual void GetField(int FieldNo, const void* RecBuf, void* Dest, bool& IsBlank);
    // From the value's address in a record to the external form.
    virtual void GetFieldData(const TFieldDesc* Field, const void* Source, void* Dest);
    // Without Source the field becomes null.
    virtual void PutField(int FieldNo, void* RecBuf, const void* Source, bool NoRound = false);
    // From the external form to the value's address in a record.
    virtual void PutFieldData(const TFieldDesc* Field, void* Dest, const void* Source, bool NoRound = false);
    virtual bool GetNull(int FieldNo, const void* RecBuf);
    virtual void SetNull(int FieldNo, void* RecBuf, bool Value);
    // A value read from the server that the record could not hold exactly (a text with characters
    // outside the code page): it keeps its flag until the field is written, and must not pick a
    // row on the server.
    static constexpr uint8_t NullFlagInexact = 2;
    bool GetInexact(int FieldNo, const void* RecBuf) const noexcept {
        return *NullFlag(RecBuf, FieldNo) == NullFlagInexact;
    }
    // Source is the field's slot in RecBuf when nil.
    virtual void GetFieldAsVariant(const TFieldDesc* Field, const void* RecBuf, rtl::Variant& Value,
                                   const void* Source = nullptr);
    virtual void PutFieldAsVariant(int FieldNo, void* RecBuf, const rtl::Variant& Value, bool NoRound = false);
    virtual void GetDateFromBuf(const void* Source, const TFieldDesc* Field, int Kind, void* Dest);
    virtual void PutDateToBuf(void* Dest, const TFieldDesc* Field, int Kind, const void* Source);

    virtual bool IsBlobFieldType(TMemDataType DataType) const { return IsBlobDataType(DataType); }
    virtual bool IsComplexFieldType(TMemDataType DataType) const { return IsComplexDataType(DataType); }
    virtual bool NeedFieldsRefresh() const { return false; }

    // --- records ---
    virtual void GetRecord(void* RecBuf) = 0;
    virtual void GetNextRecord(void* RecBuf) = 0;
    virtual void GetPriorRecord(void* RecBuf) = 0;
    virtual void PutRecord(const void* RecBuf) = 0;
    virtual void AppendRecord(void* RecBuf) = 0;
    virtual void InsertRecord(void* RecBuf) = 0;
    virtual void UpdateRecord(void* RecBuf) = 0;
    virtual void DeleteRecord() = 0;
    virtual void CancelRecord(void* RecBuf);

    virtual void CreateComplexFields(void* RecBuf, bool WithBlob);
    virtual void CreateComplexField(void* RecBuf, int Index, bool WithBlob);
    virtual void FreeComplexFields(void* RecBuf, bool WithBlob);
    virtual void CopyComplexFields(const void* Source, void* Dest, bool WithBlob);
    virtual void AddRefComplexFields(void* RecBuf);

    virtual void SetToBegin();
    virtual void SetToEnd();

    virtual void GetBookmark(TRecBookmark& Bookmark);
    virtual void SetToBookmark(const TRecBookmark& Bookmark);
    virtual bool BookmarkValid(const TRecBookmark* Bookmark);
    virtual int CompareBookmarks(const TRecBookmark* Bookmark1, const TRecBookmark* Bookmark2);
    virtual bool RefetchAfterBookmark() const { return false; }

    // --- cached updates ---
    virtual uint8_t GetUpdateStatus() { return isUnmodified; }
    virtual uint8_t GetUpdateResult() { return urNone; }
    virtual bool HasModifiedOrDeleted() { return false; }
    virtual void SetCacheRecBuf(void* /*NewBuf*/, void* /*OldBuf*/) {}
    virtual void ApplyUpdates(uint8_t /*Kinds*/) {}
    virtual void CommitUpdates() {}
    virtual void CancelUpdates() {}
    virtual void RestoreUpdates() {}
    virtual void RevertRecord() {}
    virtual void DoApplyRecordEvent(uint8_t UpdateKind, uint8_t& Action, bool LastItem);
    virtual void GetOldRecord(void* /*RecBuf*/) {}
    virtual bool FilterUpdated() { return false; }

    // --- further operations ---
    int FieldCount() const { return GetFieldCount(); }
    TFieldDescs& Fields() noexcept { return FFields; }
    const TFieldDescs& Fields() const noexcept { return FFields; }
    TFieldDesc* FindField(std::u16string_view Name) const { return FFields.FindField(Name); }
    TFieldDesc* FindFieldByName(std::u16string_view Name) const { return FFields.FindFieldByName(Name); }
    TFieldDesc* FindFieldByColumnName(std::u16string_view Name) const { return FFields.FindFieldByColumnName(Name); }
    TFieldDesc* FieldByName(std::u16string_view Name) const { return FFields.FieldByName(Name); }
    TStringHeap& StringHeap() noexcept { return FStringHeap; }

    // Null when the field is null.
    void GetFieldValue(int FieldNo, const void* RecBuf, rtl::Variant& Value);
    rtl::Variant GetFieldValue(int FieldNo, const void* RecBuf);
    void* AllocRecBuf() const;
    void FreeRecBuf(void* RecBuf) const;
    void InitRecord(void* RecBuf);
    void EditRecord(void* RecBuf);
    void PostRecord(void* RecBuf);
    bool HasFilter() const;
    TSharedObject* GetSharedObject(int FieldNo, const void* RecBuf);
    TBlob* GetBlob(int FieldNo, const void* RecBuf);
    void SetBlob(int FieldNo, void* RecBuf, TBlob* Blob);
    // Counts and positions are bytes of the requested text form; the result is the bytes written.
    int64_t ReadBlob(int FieldNo, const void* RecBuf, bool AsUnicode, bool FromRollback, void* Dest, int64_t Count,
                     int64_t Position);
    void WriteBlob(int FieldNo, void* RecBuf, bool AsUnicode, const void* Source, int64_t Count, int64_t Position);
    void TruncateBlob(int FieldNo, void* RecBuf, bool AsUnicode, int64_t Size);
    int64_t GetBlobSize(int FieldNo, const void* RecBuf, bool AsUnicode, bool FromRollback);
    void SetBlobSize(int FieldNo, void* RecBuf, bool AsUnicode, bool FromRollback, int64_t Size);

    // --- filter expression (parsed by the filter parser) ---
    void ParseFilter(const AnsiString& Text);
    void FreeFilterExpression() noexcept;
    bool EvaluateFilterExpression(void* RecBuf);
    TExpressionNode* FilterExpression() const noexcept { return FFilterExpression; }

    // A field's value as a comparison key: the address of the key in the form CompareFieldValue
    // reads (into the record, or into Scratch for converted forms) and its value type; nil when
    // the field is null.
    const void* GetMatchValue(const void* RecBuf, const TFieldDesc* Field, bool& IsNull, TMemDataType& ValueType,
                              std::vector<uint8_t>& Scratch);

    // --- state ---
    bool Active() const noexcept { return FActive; }
    bool Prepared() const noexcept { return FPrepared; }
    int RecordSize() const noexcept { return FRecordSize; }
    int CalcRecordSize() const noexcept { return FCalcRecordSize; }
    int DataSize() const noexcept { return FDataSize; }
    bool HasComplexFields() const noexcept { return FHasComplexFields; }
    bool HasBlobFields() const noexcept { return FHasBlobFields; }
    bool CreatesOwnFields() const noexcept { return FCreatesOwnFields; }
    void SetCreatesOwnFields(bool Value) noexcept { FCreatesOwnFields = Value; }
    bool CachedUpdates() const noexcept { return FCachedUpdates; }
    void SetCachedUpdates(bool Value);
    bool LocalUpdate() const noexcept { return FLocalUpdate; }
    void SetLocalUpdate(bool Value) noexcept { FLocalUpdate = Value; }
    TItemStatuses VisibleStatuses() const noexcept { return FVisibleStatuses; }
    const AnsiString& FilterText() const noexcept { return FFilterText; }
    bool FilterCaseInsensitive = false;
    bool FilterNoPartialCompare = false;
    bool TrimFixedChar = true;
    bool TrimVarChar = false;
    bool SetEmptyStrToNull = false;

    // --- events ---
    TRecBufEvent InsertRecordEvent;
    TNotifyStoreEvent DeleteRecordEvent;
    TRecBufEvent UpdateRecordEvent;
    TApplyRecordEvent ApplyRecordEvent;
    TNotifyStoreEvent AfterRevertEvent;
    TNotifyStoreEvent AfterApplyEvent;
    TNotifyStoreEvent BeforeCancelUpdatesEvent;
    TNotifyStoreEvent FieldsChangedEvent;
    TFilterFunc FilterFunc;
    TFilterFunc FilterMDFunc;
    TNotifyStoreEvent AfterInitFieldsEvent;
    TCalcRecordEvent CalcRecordEvent;

    // Process-wide host hooks; nothing installs them by default.
    static std::function<void()> BeginBusyWaitProc;
    static std::function<void()> EndBusyWaitProc;
    static std::function<AnsiString()> HostApplicationTitleProc;
    static void BeginBusyWait();
    static void EndBusyWait();
    static AnsiString HostApplicationTitle();

protected:
    // Copies the current record without moving; EditRecord and PostRecord read it this way.
    virtual void GetCurrentRecord(void* RecBuf);
    TFieldDesc* FieldOf(int FieldNo) const;
    static uint8_t* Slot(void* RecBuf, const TFieldDesc* Field) noexcept {
        return static_cast<uint8_t*>(RecBuf) + Field->Offset;
    }
    static const uint8_t* Slot(const void* RecBuf, const TFieldDesc* Field) noexcept {
        return static_cast<const uint8_t*>(RecBuf) + Field->Offset;
    }
    // GetNull's answer for a known descriptor: GetField asks it for every value it reads.
    bool NullOf(const TFieldDesc* field, int FieldNo, const void* RecBuf);
    uint8_t* NullFlag(const void* RecBuf, int FieldNo) const noexcept {
        return const_cast<uint8_t*>(static_cast<const uint8_t*>(RecBuf)) + FDataSize + FieldNo - 1;
    }
    // Record slots carry no alignment guarantee.
    static void* ReadPtr(const void* Address) noexcept {
        void* p;
        std::memcpy(&p, Address, sizeof p);
        return p;
    }
    static void WritePtr(void* Address, const void* Value) noexcept { std::memcpy(Address, &Value, sizeof Value); }
    // A slot of a shared object holds one reference: puts Value's in and hands back the one the
    // slot held, the slot already changed when that one is released.
    template <class T>
    static rtl::TSharedRef<T> ExchangeSlotRef(void* Address, rtl::TSharedRef<T> Value) noexcept {
        auto* old = static_cast<T*>(static_cast<TSharedObject*>(ReadPtr(Address)));
        WritePtr(Address, static_cast<TSharedObject*>(Value.Detach()));
        return rtl::TSharedRef<T>::Adopt(old);
    }
    bool TrimFor(const TFieldDesc* Field) const noexcept { return Field->Fixed ? TrimFixedChar : TrimVarChar; }
    // Skips child fields and fields of the calculated area.
    static bool IsRecordSlot(const TFieldDesc* Field) noexcept {
        return !Field->HasParent() && Field->DescKind != fdkCalculatedArea;
    }

    // Takes the fields' layout: the record sizes, the complex and blob flags and the complex
    // slots below.
    void ApplyLayout();

    // The fields of a complex type, in field order, found once per layout: the loops that run
    // for every record visit these alone.
    struct TComplexSlot {
        int Index;
        bool RecordSlot;
        bool Blob;
    };

    TFieldDescs FFields;
    std::vector<TComplexSlot> FComplexSlots;
    TStringHeap FStringHeap;
    // Room for the blobs of new record buffers, many to an allocation.
    TSharedBlockPool FNewBlobPool;
    int FRecordSize = 0;
    int FCalcRecordSize = 0;
    int FDataSize = 0;
    bool FHasComplexFields = false;
    bool FHasBlobFields = false;
    bool FCreatesOwnFields = true;
    bool FCachedUpdates = false;
    bool FLocalUpdate = false;
    TItemStatuses FVisibleStatuses = StatusBit(isUnmodified) | StatusBit(isModified) | StatusBit(isInserted);
    AnsiString FFilterText;
    TExpressionNode* FFilterExpression = nullptr;
    // The record the filter expression is being evaluated on.
    void* FFilterRecBuf = nullptr;
    bool FActive = false;
    bool FPrepared = false;
    bool FBof = true;
    bool FEof = true;
    int FRecordCount = 0;
    int FRecordNoOffset = 0;
};

// Sort order of one IndexFieldNames column.
enum TSortType { stCaseSensitive, stCaseInsensitive, stBinary };

struct TSortColumn {
    TFieldDesc* FieldDesc = nullptr;
    bool DescendingOrder = false;
    TSortType SortType = stCaseSensitive;
};
using TSortColumns = std::vector<TSortColumn>;

// The collation keys a full sort made for one text column, kept so that the next sort reuses the
// key of every row whose text is unchanged. A key depends on the text and the key kind alone, so
// a row is matched by its item and confirmed by comparing the text it was made from.
struct TTextSortKeys {
    struct TRow {
        const TRecordItem* Item;
        uint32_t TextOff, TextLen;
        uint32_t KeyOff, KeyLen;  // KeyLen NoKey: the value was null
    };
    static constexpr uint32_t NoKey = UINT32_MAX;
    uint32_t Kind = 0;       // data type and sort type the keys were made for; 0: none
    std::vector<TRow> Rows;  // in the order the sort left the list
    std::string Texts;
    std::string Keys;
};

// Characters whose locale comparison is their byte (or, without regard to case, their upper
// case): letters without a decomposition, digits and the blank. Each weighs exactly one unit at
// every level, so two texts that part at such characters differ whatever follows.
struct TPlainTextChars {
    bool Plain[256] = {};
    uint8_t Fold[256] = {};
    TPlainTextChars();
};

// Option bits of value comparisons (sorting, locate and lookup, local master/detail).
using TValueMatchOptions = uint8_t;
inline constexpr TValueMatchOptions voCaseInsensitive = 1;
inline constexpr TValueMatchOptions voPartialKey = 2;  // the key matches a prefix of the field
inline constexpr TValueMatchOptions voSubstring = 4;   // the key matches anywhere in the field
inline constexpr TValueMatchOptions voBinary = 8;      // ordinal comparison
inline constexpr TValueMatchOptions voNullsLast = 0x10;

class TMemData : public TData {
public:
    TMemData();
    ~TMemData() override;

    void InitData() override;
    void FreeData() override;
    bool GetEof() const override;
    bool GetBof() const override;
    int GetRecordCount() const override { return FRecordCount; }
    int GetRecordNo() const override;
    void SetRecordNo(int Value) override;
    bool HasUpdates() override;
    void SetVisibleStatuses(TItemStatuses Value) override;
    void Reopen() override;
    void InitFields() override;
    void ClearFields() override;

    void GetCurrentRecord(void* RecBuf) override;
    void GetRecord(void* RecBuf) override;
    void GetNextRecord(void* RecBuf) override;
    void GetPriorRecord(void* RecBuf) override;
    void PutRecord(const void* RecBuf) override;
    void AppendRecord(void* RecBuf) override;
    void InsertRecord(void* RecBuf) override;
    void UpdateRecord(void* RecBuf) override;
    void DeleteRecord() override;

    void SetToBegin() override;
    void SetToEnd() override;
    void GetBookmark(TRecBookmark& Bookmark) override;
    void SetToBookmark(const TRecBookmark& Bookmark) override;
    bool BookmarkValid(const TRecBookmark* Bookmark) override;
    int CompareBookmarks(const TRecBookmark* Bookmark1, const TRecBookmark* Bookmark2) override;

    uint8_t GetUpdateStatus() override;
    uint8_t GetUpdateResult() override;
    bool HasModifiedOrDeleted() override;
    void SetCacheRecBuf(void* NewBuf, void* OldBuf) override;
    void ApplyUpdates(uint8_t Kinds) override;
    void CommitUpdates() override;
    void CancelUpdates() override;
    void RestoreUpdates() override;
    void RevertRecord() override;
    void GetOldRecord(void* RecBuf) override;
    bool FilterUpdated() override;

    // --- provider hooks and sorting ---
    // Called before moving past the last item so that a provider can fetch more rows.
    virtual bool FetchNext(int /*Flag*/ = 0) { return false; }
    virtual void InitSortColumn(TSortColumn& Column);
    // Value comparisons: negative, 0 or positive, positive when the first (the key) is greater.
    virtual int CompareAnsiPChar(const char* S1, const char* S2, TValueMatchOptions Options);
    virtual int CompareAnsiStr(std::string_view S1, std::string_view S2, TValueMatchOptions Options);
    virtual int CompareWidePrefix(std::u16string_view Key, std::u16string_view Value, TValueMatchOptions Options);
    virtual int CompareWideStr(std::u16string_view S1, std::u16string_view S2, TValueMatchOptions Options);
    virtual int MatchAnsiStr(std::string_view Key, std::string_view Value, TValueMatchOptions Options);
    virtual int MatchWideStr(std::u16string_view Key, std::u16string_view Value, TValueMatchOptions Options);
    // Value is a key in the form GetMatchValue gives for ValueType.
    virtual int CompareFieldValue(const void* Value, TMemDataType ValueType, TValueMatchOptions Options,
                                  const void* RecBuf, const TFieldDesc* FieldDesc);
    virtual int CompareBySortColumn(const void* RecBuf1, const void* RecBuf2, const TSortColumn& Column);
    virtual int CompareRecordField(const void* RecBuf1, const void* RecBuf2, TValueMatchOptions Options,
                                   const TFieldDesc* FieldDesc);
    virtual void SetIndexFieldNames(const AnsiString& Value);
    virtual void SortItems();

    const AnsiString& IndexFieldNames() const noexcept { return FIndexFieldNames; }
    const TSortColumns& SortColumns() const noexcept { return FSortColumns; }
    int CompareRecords(const void* RecBuf1, const void* RecBuf2);
    void MoveToSortedPlace(int Direction);

    // --- further operations ---
    void CalcRecords(TRecordItem* First = nullptr, TRecordItem* Last = nullptr);
    void RemoveRecord();
    void RenumberItems(TRecordItem* Item, bool KeepCount, bool Backward);
    bool IsItemHidden(TRecordItem* Item);
    void BuildRecordNoCache();
    void ClearRecordNoCache() noexcept { FRecordNoCache.clear(); }
    // The visible items in list order, item n - 1 having record number n; valid until the list
    // or its filter changes.
    const std::vector<TRecordItem*>& VisibleItems() {
        if (FRecordNoCache.empty()) BuildRecordNoCache();
        return FRecordNoCache;
    }
    // The stored null flag, which is the whole answer for every field but blobs and child fields.
    bool NullFlagSet(const void* RecBuf, int FieldNo) const noexcept { return *NullFlag(RecBuf, FieldNo) == 1; }
    // Whether two ANSI texts are equal under the locale comparison, decided without it where the
    // bytes allow: 1 equal, 0 different, -1 undecided. Value ends at its first zero byte or after
    // MaxLen bytes, as a text slot of a record does.
    static int QuickTextEquality(std::string_view Key, const char* Value, size_t MaxLen, bool CaseInsensitive);
    static const TPlainTextChars& PlainTextChars();
    bool HasRecordNoCache() const noexcept { return !FRecordNoCache.empty(); }

    TRecordItem* FirstItem() const noexcept { return FFirstItem; }
    TRecordItem* LastItem() const noexcept { return FLastItem; }
    TRecordItem* CurrentItem() const noexcept { return FCurrentItem; }
    int RecordNoOffset() const noexcept { return FRecordNoOffset; }
    int32_t RefreshIteration() const noexcept { return FRefreshIteration; }
    TBlockManager& BlockManager() noexcept { return FBlockMan; }
    // Changed items in the order they were first changed.
    const std::vector<TRecordItem*>& CacheItems() const noexcept { return FCache; }

protected:
    enum TReorderMode { rmInsert, rmDelete, rmAll };

    void ReorderItems(TRecordItem* Item, TReorderMode Mode);
    // Relinks the list as Items[Order[0]], Items[Order[1]], ... and renumbers it.
    void RelinkInOrder(const std::vector<TRecordItem*>& Items, const std::vector<uint32_t>& Order);
    void LinkBefore(TRecordItem* Item, TRecordItem* Before) noexcept;
    void LinkAfter(TRecordItem* Item, TRecordItem* After) noexcept;
    void Unlink(TRecordItem* Item) noexcept;
    void SwapWithNext(TRecordItem* Item) noexcept;
    // Gives the item back to the block manager; bookmarks on it become stale.
    void FreeItem(TRecordItem* Item);
    void FreeItemWithFields(TRecordItem* Item);
    void MoveItemToSortedPlace(TRecordItem* Item, int Direction);
    int CompareItems(TRecordItem* Item1, TRecordItem* Item2);
    // Index of the item's node in the cache list, or -1.
    int CacheIndexOf(const TRecordItem* Item) const noexcept;
    void AddCacheItem(TRecordItem* Item) { FCache.push_back(Item); }
    void RemoveCacheItem(const TRecordItem* Item);
    void RevertItem(TRecordItem* Item);
    TRecordItem* LastVisibleItem();
    bool ItemInUse(const TRecBookmark& Bookmark) const;
    void ParseIndexFieldNames();
    void CommitBlobs(void* RecBuf);
    void MakeRollback(TRecordItem* Item);
    // The item takes back the values of its rollback copy, which is freed.
    void RestoreFromRollback(TRecordItem* Item);

private:
    void ResetList();

protected:
    TRecordItem* FFirstItem = nullptr;
    TRecordItem* FLastItem = nullptr;
    TRecordItem* FCurrentItem = nullptr;
    int32_t FRefreshIteration = 0;
    std::vector<TRecordItem*> FCache;
    AnsiString FIndexFieldNames;
    TSortColumns FSortColumns;
    // One per sort column; empty for the columns that are not text.
    std::vector<TTextSortKeys> FTextSortKeys;
    std::vector<TRecordItem*> FRecordNoCache;
    // The cache holds every item of the list (none is hidden); meaningful while it is not empty.
    bool FRecordNoCacheComplete = false;
    TBlockManager FBlockMan;
    void* FNewCacheRecBuf = nullptr;
    void* FOldCacheRecBuf = nullptr;
    // Items freed since the store was filled, each with the count of frees when it last was; a
    // bookmark carries the count at the time it was taken.
    TItemSerialMap FFreedItems;
    uint32_t FFreeSerial = 0;
    // The item ApplyUpdates returns to, and whether it was freed meanwhile.
    TRecordItem* FWatchedItem = nullptr;
    bool FWatchedItemFreed = false;
    std::vector<uint8_t> FFilterCalcBuf;
};

}  // namespace store
