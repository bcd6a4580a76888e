// The memory dataset: the platform dataset over a record store. Record buffers, bookmarks, field
// definitions from the store's descriptors, calculated fields kept in the store, editing through
// the store and cached updates; the service and updater bases that the data-access layer extends.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <utility>
#include <vector>

#include "data/store/DAConsts.h"
#include "data/store/MemData.h"
#include "data/store/Win32Timer.h"
#include "framework/db/DB.h"
#include "framework/db/DB_FieldClasses.h"
#include "framework/rtl/Classes.h"
#include "framework/rtl/Streams.h"

namespace store {

// Name of the unit that internal consistency checks report.
inline constexpr const char* MemDSUnit = "MemDS";

class TMemDataSet;
class TDataSetService;
class TDataSetUpdater;
class TDADetailDataLink;
// The XML writer the service's rowset attributes are written through.
class XmlWriter;

using TUpdateKinds = rtl::TSet<db::TUpdateKind>;

// Option bits of the key search.
inline constexpr int lxCaseInsensitive = 1;
inline constexpr int lxPartialKey = 2;       // the key is a prefix of the value
inline constexpr int lxNearest = 4;          // a record beyond the key matches too; the end counts as found
inline constexpr int lxNext = 8;             // start after the current record
inline constexpr int lxUp = 16;              // search backwards
inline constexpr int lxPartialCompare = 32;  // the key may occur anywhere in the value

// A key value in the form the store's CompareFieldValue reads.
using TKeyBuffer = std::vector<uint8_t>;

// One pair of a local master/detail link: the master's value in the detail field's key form.
// The value is a copy, so it stays valid when the master's buffers move on.
struct TLocalMDLink {
    bool MasterIsNull = true;
    TKeyBuffer Value;
    rtl::Variant VariantValue;  // the key of an mdtVariant value
    TMemDataType ValueType = mdtUnknown;
    uint16_t FieldNo = 0;
    const void* Key() const noexcept {
        return ValueType == mdtVariant ? static_cast<const void*>(&VariantValue)
                                       : static_cast<const void*>(Value.data());
    }
};
using TLocalMDLinks = std::vector<TLocalMDLink>;

RTL_DECLARE_EXCEPTION(EInvalidCast, rtl::Exception);
inline constexpr const char* SInvalidCast = "Invalid class typecast";
inline constexpr const char* SMasterNotMemDataSet = "Master dataset must be inherited from TMemDataSet";
// The update result of a record queued in a batch.
inline constexpr int uaQueuedInBatch = 6;

using TUpdateErrorEvent = std::function<void(db::TDataSet* DataSet, db::EDatabaseError& E, db::TUpdateKind UpdateKind,
                                             db::TUpdateAction& UpdateAction)>;
using TUpdateRecordEvent =
    std::function<void(db::TDataSet* DataSet, db::TUpdateKind UpdateKind, db::TUpdateAction& UpdateAction)>;

// ---------------------------------------------------------------------------------------------
// TFieldTypeMap: data type codes <-> platform field types. Used only through a shared instance
// per class; descendants of the data-access layer override both operations.

class TFieldTypeMap {
public:
    virtual ~TFieldTypeMap() = default;
    // "Unknown data type" (assertion) for a code without a field type.
    virtual db::TFieldType GetFieldType(TMemDataType DataType) const;
    // 0 for field types the store cannot hold.
    virtual TMemDataType GetDataType(db::TFieldType FieldType) const;

    static const TFieldTypeMap& Instance();
};

// ---------------------------------------------------------------------------------------------
// TDataSetUpdater: performs record changes for its service's dataset.

class TDataSetUpdater : public rtl::TObject {
    RTL_CLASS(TDataSetUpdater, rtl::TObject)
public:
    // Service must not be null.
    explicit TDataSetUpdater(TDataSetService* Service);

    virtual bool PerformInsert() { return true; }
    virtual bool PerformDelete() { return true; }
    virtual bool PerformUpdate() { return true; }
    virtual bool AfterRevertRecord() { return true; }
    virtual bool AfterApplyUpdates() { return true; }
    virtual bool BeforeCancelUpdates() { return true; }
    // Whether record changes are collected into a batch, and whether it must run now.
    virtual bool BatchUpdates() { return false; }
    virtual bool BatchFull() { return false; }
    virtual void FlushBatch() {}

    // The store's record events outside cached mode: nothing with LocalUpdate, and the dataset's
    // Modified flag survives the call either way.
    void PerformInsertGuarded();
    void PerformDeleteGuarded();
    void PerformUpdateGuarded();
    // One pending cached record; Action receives the store's update result.
    void ApplyRecord(db::TUpdateKind UpdateKind, db::TUpdateAction& Action, bool LastItem);

    TDataSetService* Service() const noexcept { return FService; }
    TMemDataSet* DataSet() const noexcept { return FDataSet; }

protected:
    TDataSetService* FService;
    TMemDataSet* FDataSet;
};

// The class reference of services: its Create is the virtual constructor.
class TDataSetServiceClass : public rtl::ClassRef {
public:
    using ClassRef::ClassRef;
    virtual TDataSetService* Create(TMemDataSet* DataSet) const;
    template <class T>
    class Of;
};

template <class T>
class TDataSetServiceClass::Of : public TDataSetServiceClass {
public:
    using TDataSetServiceClass::TDataSetServiceClass;
    TDataSetService* Create(TMemDataSet* DataSet) const override { return ::rtl::Create<T>(DataSet); }
};

// TDataSetService: per-dataset helper that owns the updater and picks field classes.
class TDataSetService : public rtl::TObject {
public:
    using ClassRefType = TDataSetServiceClass;
    RTL_CLASS(TDataSetService, rtl::TObject)
public:
    explicit TDataSetService(TMemDataSet* DataSet);
    ~TDataSetService() override;
    // Creates the updater (NewUpdater may be overridden, so not from the constructor).
    void AfterConstruction() override;

    virtual void NewUpdater();
    // Frees the current updater and keeps the given one.
    virtual void AssignUpdater(TDataSetUpdater* Updater);
    virtual void SetNumberRange(db::TFieldDef* FieldDef);
    virtual db::TFieldClass GetFieldClass(db::TFieldType FieldType);
    virtual void AfterRecordSetOpen() {}
    // Rowset attributes of one field.
    virtual void WriteFieldSchema(db::TField* Field, TFieldDesc* FieldDesc, XmlWriter& Writer);
    virtual void WriteFieldAttributes(db::TField* Field, TFieldDesc* FieldDesc, XmlWriter& Writer,
                                      const WideString& NameOverride);
    virtual void FieldValueToXml(db::TField* Field, TFieldDesc* FieldDesc, WideString& Text);

    TMemDataSet* DataSet() const noexcept { return FDataSet; }
    TDataSetUpdater* Updater() const noexcept { return FUpdater.get(); }

protected:
    TMemDataSet* FDataSet;
    rtl::TOwnedPtr<TDataSetUpdater> FUpdater;
};

// ---------------------------------------------------------------------------------------------
// The master data link of a detail memory dataset.

class TDADetailDataLink : public db::TDetailDataLink {
    RTL_CLASS(TDADetailDataLink, db::TDetailDataLink)
public:
    explicit TDADetailDataLink(TMemDataSet* DetailDataSet) : FDetailDataSet(DetailDataSet) {}
    db::TDataSet* GetDetailDataSet() const override;

protected:
    void ActiveChanged() override;
    void CheckBrowseMode() override;
    void RecordChanged(db::TField* Field) override;

    TMemDataSet* FDetailDataSet;
};

// ---------------------------------------------------------------------------------------------
// TMemDataSet

class TMemDataSet : public db::TDataSet {
    RTL_CLASS(TMemDataSet, db::TDataSet)
public:
    // Record info that follows the record (and calculated) area of every record buffer.
    static constexpr int RecInfoSize = 7;
    static constexpr int BookmarkSizeOfStore = static_cast<int>(sizeof(TRecBookmark));

    explicit TMemDataSet(rtl::TComponent* AOwner);
    ~TMemDataSet() override;
    void BeforeDestruction() override;

    // --- properties ---
    bool CachedUpdates() const noexcept { return FCachedUpdates; }
    // Only while the dataset is closed.
    void SetCachedUpdates(bool Value);
    bool LocalUpdate() const noexcept { return FLocalUpdate; }
    void SetLocalUpdate(bool Value);
    // Cached changes not applied yet.
    bool UpdatesPending() const;
    const AnsiString& IndexFieldNames() const noexcept { return FIndexFieldNames; }
    void SetIndexFieldNames(const AnsiString& Value);
    db::TDataSource* MasterSource() const;
    void SetMasterSource(db::TDataSource* Value);
    const WideString& MasterFields() const noexcept { return FMasterFields; }
    void SetMasterFields(const WideString& Value);
    const WideString& DetailFields() const noexcept { return FDetailFields; }
    void SetDetailFields(const WideString& Value);
    int DetailDelay() const noexcept { return FDetailDelay; }
    void SetDetailDelay(int Value);

    // Option flags the data-access layer sets.
    bool RequiredFieldsOption() const noexcept { return FRequiredFields; }
    void SetRequiredFieldsOption(bool Value) noexcept { FRequiredFields = Value; }
    bool NumberRangeOption() const noexcept { return FNumberRange; }
    void SetNumberRangeOption(bool Value) noexcept { FNumberRange = Value; }
    bool CacheCalcFieldsOption() const noexcept { return FCacheCalcFields; }
    void SetCacheCalcFieldsOption(bool Value) noexcept { FCacheCalcFields = Value; }
    bool BuffersHoldReferences() const noexcept { return FBuffersHoldRefs; }
    void SetBuffersHoldReferences(bool Value) noexcept { FBuffersHoldRefs = Value; }
    bool AssigningDefaults() const noexcept { return FAssigningDefaults; }

    TUpdateErrorEvent OnUpdateError;
    TUpdateRecordEvent OnUpdateRecord;

    // --- store and service ---
    TData* IRecordSet() const noexcept { return FIRecordSet.get(); }
    virtual void CreateIRecordSet();
    // The dataset owns the store from the call on (null drops the current one).
    virtual void SetIRecordSet(std::unique_ptr<TData> Value);
    virtual const TDataSetServiceClass& GetDataSetServiceClass() const;
    // The dataset owns the service from the call on; the current one is freed.
    virtual void SetDataSetService(rtl::TOwnedPtr<TDataSetService> Value);
    TDataSetService* DataSetService() const noexcept { return FDataSetService.get(); }
    // Creates the service when there is none or it is not of GetDataSetServiceClass.
    void CheckDataSetService();
    virtual void ReopenRecordSet();
    virtual const TFieldTypeMap& GetFieldTypeMapClass() const;

    // --- field definitions ---
    virtual bool FieldDefsNeedRefresh();
    virtual void CreateFieldDefsFromDescs();
    virtual bool ArrayDefsAsObjects() const { return false; }
    virtual void FieldDefFullName(db::TFieldDef* Def, int Index, WideString& Name, TObjectType* ObjType);
    virtual int FieldDefSize(db::TFieldType FieldType, int Length) const;
    virtual db::TFieldType FieldTypeOf(TMemDataType DataType) const;
    // The field type of a descriptor (ftUnknown: unsupported) with its size, precision and scale.
    virtual db::TFieldType FieldDefParams(const TFieldDesc* Desc, int& Size, int& Precision, int& Scale) const;
    virtual db::TFieldClass FieldClassFor(db::TFieldType FieldType);

    // --- editing and cached updates ---
    virtual void PerformPost();
    virtual void AssignDefaultExpressions();
    void Cancel() override;
    virtual void ApplyUpdates();
    virtual void ApplyUpdatesOfKinds(TUpdateKinds Kinds);
    void CommitUpdates();
    void CancelUpdates();
    void RevertRecord();
    // The store's update result of the current record (urFail .. urSuspended).
    uint8_t UpdateResult();

    // --- key search, master/detail ---
    // The key value in the stored form of Desc's type; false (and an empty buffer) for Empty or
    // Null. "Cannot convert type" for a value without a conversion.
    virtual bool ConvertKeyValue(const rtl::Variant& Value, bool ConvertStrings, const TFieldDesc* Desc,
                                 TKeyBuffer& Buffer, TMemDataType& ValueType);
    virtual bool UpdateMasterValues();
    virtual void RefreshDetail();
    virtual bool UseMasterDetail();
    virtual void RefreshMasterFilter();
    bool HasMasterDetailLink() const;
    bool MasterIsActive() const;
    void SetLocalMasterDetail();
    bool Locate(const WideString& KeyFields, const rtl::Variant& KeyValues, db::TLocateOptions Options) override;
    // Key searches without scroll events; Bits are the lx* options.
    bool LocateByNames(const WideString& KeyFields, const rtl::Variant& KeyValues, bool Restore, int Bits);
    bool LocateByFieldList(const std::vector<db::TField*>& KeyFields, bool Restore, int Bits,
                           const rtl::Variant& KeyValues);
    // Key searches that move the dataset with scroll events.
    bool LocateFieldsResync(const std::vector<db::TField*>& KeyFields, int Bits, const rtl::Variant& KeyValues);
    bool LocateFields(const std::vector<db::TField*>& KeyFields, int Bits, const rtl::Variant& KeyValues);
    bool LocateRecord(const std::vector<TFieldDesc*>& KeyDescs, const rtl::Variant& KeyValues, bool Restore, int Bits);
    // Run by the master link on master changes: refresh now or one DetailDelay after the last one.
    void ScheduleDetailRefresh();
    TWin32Timer* DetailTimer() const noexcept { return FDetailTimer.get(); }
    const TLocalMDLinks& LocalMDLinks() const noexcept { return FLocalMDLinks; }
    rtl::Variant Lookup(const WideString& KeyFields, const rtl::Variant& KeyValues,
                        const WideString& ResultFields) override;

    // --- preparation ---
    virtual void Prepare();
    virtual void UnPrepare();
    bool Prepared() const;

    // --- descriptors, buffers and blobs ---
    virtual TFieldDesc* FieldDescOf(db::TField* Field);
    // "Field %s not found" when the field has no descriptor.
    int FieldNoOfDesc(db::TField* Field);
    void BindObjectFields(const std::vector<db::TField*>& Fields);
    db::TDataSetState EnterTempState(db::TDataSetState State) { return SetTempState(State); }
    void LeaveTempState(db::TDataSetState State) { RestoreState(State); }
    void FreeBufferComplexFields(db::TRecordBuffer Buffer, bool WithBlob);
    db::TRecordBuffer OldValuesBuffer();
    db::TRecordBuffer NewValuesBuffer();
    // True while the cached-updates apply loop runs (the buffers above are then the apply buffers).
    bool ApplyingUpdates() const noexcept { return FApplyingUpdates; }
    // The record buffer of the current state; null when there is none.
    db::TRecordBuffer StateRecordBuffer();
    TBlob* GetBlobByName(const WideString& Name);
    TBlob* GetBlobOfField(db::TField* Field);
    int RecBufSize() const noexcept { return FRecBufSize; }
    int RecInfoOffset() const noexcept { return FRecInfoOffset; }
    int BookmarkOffset() const noexcept { return FBookmarkOffset; }

    // --- platform overrides reachable from outside ---
    db::TFieldClass FieldClassOfType(db::TFieldType FieldType) const override;
    db::TDataSource* MasterDataSource() const override;
    rtl::Variant StateFieldValue(db::TDataSetState State, db::TField* Field) override;
    bool GetFieldValue(db::TField* Field, void* Dest) override;
    bool GetFieldValueByNo(int FieldNo, void* Dest) override;
    bool FieldBytes(db::TField* Field, TFieldBytes& Place) override;
    const uint8_t* FieldBytesRecord() override;
    void PutFieldValue(db::TField* Field, const void* Source) override;
    void PutFieldValueNative(db::TField* Field, const void* Source, bool NativeFormat) override;
    void ConvertFieldData(db::TField* Field, const void* Source, void* Dest, bool ToNative) override;
    rtl::TStream* NewBlobStream(db::TField* Field, db::TBlobStreamMode Mode) override;
    rtl::Variant ReadBlobText(db::TField* Field, bool Wide) override;
    void CollectDetailLinkFields(std::vector<db::TField*>& MasterFields,
                                 std::vector<db::TField*>& DetailFields) override;
    void AssignTo(rtl::TPersistent* Dest) override;

protected:
    // --- record storage steps ---
    db::TRecordBuffer AllocRecordBuffer() override;
    void FreeRecordBuffer(db::TRecordBuffer& Buffer) override;
    db::TGetResult GetRecordStep(db::TRecordBuffer Buffer, db::TGetMode GetMode, bool DoCheck) override;
    int RecordSizeOf() const override;
    void GetBookmarkData(db::TRecordBuffer Buffer, void* Data) override;
    void SetBookmarkData(db::TRecordBuffer Buffer, const void* Data) override;
    db::TBookmarkFlag GetBookmarkFlag(db::TRecordBuffer Buffer) override;
    void SetBookmarkFlag(db::TRecordBuffer Buffer, db::TBookmarkFlag Value) override;
    void OpenStep() override;
    void CloseStep() override;
    bool CursorOpen() const override;
    void FirstStep() override;
    void LastStep() override;
    void GotoBookmarkStep(const void* Bookmark) override;
    void SetToRecordStep(db::TRecordBuffer Buffer) override;
    void InitRecordStep(db::TRecordBuffer Buffer) override;
    void AddRecordStep(db::TRecordBuffer Buffer, bool Append) override;
    void DeleteStep() override;
    void PostStep() override;
    void CancelStep() override;
    void EditStep() override;
    void InsertStep() override;
    void RefreshStep() override;
    void InitFieldDefsStep() override;
    bool BookmarkValidStep(const db::TBookmark& Bookmark) override;
    int CompareBookmarksStep(const db::TBookmark& Bookmark1, const db::TBookmark& Bookmark2) override;
    db::TUpdateStatus UpdateStatusStep() override;
    int CountRecords() const override;
    int CurrentRecNo() const override;
    void MoveToRecNo(int Value) override;
    bool FindRecordStep(bool Restart, bool GoForward) override;
    void OpenCursorStep(bool InfoQuery) override;
    void CloseCursorStep() override;
    void InitNewRecord(db::TRecordBuffer Buffer) override;
    void ClearCalcFieldsStep(db::TRecordBuffer Buffer) override;
    void AfterOpenStep() override;
    void NewRecordStep() override;
    void ChangeFiltered(bool Value) override;
    void ChangeFilterText(const AnsiString& Value) override;
    void ChangeFilterOptions(db::TFilterOptions Value) override;
    void ChangeOnFilterRecord(db::TFilterRecordEvent Value) override;
    void ChangeBlockReadSize(int Value) override;

    // --- store events ---
    void DoInsertRecord(void* RecBuf);
    void DoDeleteRecord();
    void DoUpdateRecord(void* RecBuf);
    void DoApplyRecord(uint8_t UpdateKind, uint8_t& Action, bool LastItem);
    void DoAfterRevertRecord();
    void DoAfterApplyUpdates();
    void DoBeforeCancelUpdates();
    // Gives every persistent calculated or lookup field a descriptor in the store.
    void CalcFieldsToStore();
    // Computes the calculated fields of a stored record (Source: the record area to use).
    void CalculateRecordFields(void* Record, const void* Source);

    // --- filter and key search hooks ---
    // Posts pending edits and brings the store's cursor to the current record before a
    // setting that moves records changes.
    void SettleCursor();
    // Re-applies the filter and shows the first record that passes it.
    void Refilter();
    void InstallFilter();
    void RemoveFilter();
    bool FilterRecordCallback(void* RecBuf);
    // LocateRecord with the caller's buffer, which holds the found record afterwards.
    bool LocateRecordTo(const std::vector<TFieldDesc*>& KeyDescs, const rtl::Variant& KeyValues, bool Restore, int Bits,
                        db::TRecordBuffer Candidate);

public:
    struct TLocateKey;
    struct TLocatePlan;

protected:
    // The parts of a key search: the keys in the store's form, a test of one record, the record
    // the store is on, bisection over the sorted keys (the record number found, or 0) and the
    // scan in the search's direction (from the current record itself when FromCurrent).
    TLocatePlan PlanLocate(const std::vector<TFieldDesc*>& KeyDescs, const rtl::Variant& KeyValues, int Bits);
    bool LocateMatches(const TLocatePlan& Plan, const void* Rec);
    // The index of the first of Items from Start on (in the direction of Step) that matches; -1.
    int LocateInItems(const TLocatePlan& Plan, const std::vector<TRecordItem*>& Items, int Start, int Step);
    const void* LocateCurrentRecord(const TLocatePlan& Plan, db::TRecordBuffer Candidate);
    int LocateBisect(const TLocatePlan& Plan, int Low, int High, db::TRecordBuffer Candidate);
    bool LocateScan(const TLocatePlan& Plan, bool FromCurrent, db::TRecordBuffer Candidate);
    bool BuildLocalMDLinks();
    bool LocalDetailFilter(void* RecBuf);
    void EnsureDetailTimer();

    // --- record info of a buffer ---
    int32_t BufRecNo(db::TRecordBuffer Buffer) const;
    void SetBufRecNo(db::TRecordBuffer Buffer, int32_t Value) const;
    uint8_t BufUpdateStatus(db::TRecordBuffer Buffer) const;
    void SetBufUpdateStatus(db::TRecordBuffer Buffer, uint8_t Value) const;
    bool BufHoldsRefs(db::TRecordBuffer Buffer) const;
    void SetBufHoldsRefs(db::TRecordBuffer Buffer, bool Value) const;
    // Frees the complex values every buffer of the ring holds references to.
    void FreeBuffersComplexFields();
    void CheckIRecordSet() const;
    TMemData* MemData() const noexcept;
    bool CalculatedInStore(db::TField* Field) const;

    // Old values of the current record; receives GetOldRecord in the old-value state.
    db::TRecordBuffer FOldRecBuf = nullptr;
    // The record the store is filtering.
    db::TRecordBuffer FFilterBuffer = nullptr;
    bool FCachedUpdates = false;
    bool FLocalUpdate = false;
    bool FInserting = false;
    bool FEditing = false;
    AnsiString FIndexFieldNames;
    std::vector<std::pair<TFieldDesc*, db::TField*>> FCalcFieldsMapping;
    rtl::TOwnedPtr<TDADetailDataLink> FDataLink;
    WideString FMasterFields;
    WideString FDetailFields;
    int FDetailDelay = 0;
    TLocalMDLinks FLocalMDLinks;
    rtl::TOwnedPtr<TWin32Timer> FDetailTimer;
    std::unique_ptr<TData> FIRecordSet;
    rtl::TOwnedPtr<TDataSetService> FDataSetService;
    int FBookmarkOffset = 0;
    int FRecInfoOffset = 0;
    int FRecBufSize = 0;
    bool FApplyingUpdates = false;
    db::TRecordBuffer FNewCacheRecBuf = nullptr;
    db::TRecordBuffer FOldCacheRecBuf = nullptr;
    bool FRequiredFields = true;
    bool FNumberRange = false;
    bool FBuffersHoldRefs = false;
    bool FCacheCalcFields = false;
    bool FCalcFieldsInStore = true;
    bool FAssigningDefaults = false;

private:
    friend class TDataSetUpdater;
    friend class TDataSetService;
    friend class TDADetailDataLink;
    void AddChildFieldDefs(TObjectType* ObjType, db::TFieldDef* Def);
    void WithApplyBuffers(const std::function<void()>& Body, bool ResyncOnFailure);
    void CheckCachedUpdates();
    bool StoreBookmark(const db::TBookmark& Bookmark, TRecBookmark& Result) const;
    bool BookmarkRowGone(const TRecBookmark& Bookmark) const;
};

// ---------------------------------------------------------------------------------------------
// TBlobStream: reads and writes the blob of a field in the record buffer of the dataset's state
// when the stream was opened. A wide memo is accessed as UTF-16 bytes.

class TBlobStream : public rtl::TStream {
    RTL_CLASS(TBlobStream, rtl::TStream)
public:
    // "Field '%s' cannot be modified" or "Dataset not in edit or insert mode" for a writable
    // stream that may not write; bmWrite empties the blob at once.
    TBlobStream(db::TBlobField* Field, db::TBlobStreamMode Mode);
    ~TBlobStream() override;

    int64_t Read(void* Buffer, int64_t Count) override;
    int64_t Write(const void* Buffer, int64_t Count) override;
    int64_t Seek(int64_t Offset, rtl::TSeekOrigin Origin) override;
    int64_t Size() override;
    void SetSize(int64_t NewSize) override;
    // Cuts the blob at the position.
    void Truncate();

    bool Opened() const noexcept { return FOpened; }

private:
    bool AsUnicode() const noexcept { return FAsUnicode; }
    bool FromRollback() const;

    db::TBlobField* FField;
    TMemDataSet* FDataSet;
    uint16_t FFieldNo = 0;
    db::TRecordBuffer FBuffer = nullptr;
    db::TBlobStreamMode FMode;
    bool FOpened = false;
    bool FModified = false;
    // A wide memo's blob is read and written as UTF-16; found once, not at every read.
    bool FAsUnicode = false;
    int64_t FPosition = 0;
};

}  // namespace store
