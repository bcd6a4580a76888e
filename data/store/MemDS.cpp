// The memory dataset: type map, service base, open and close, field definitions, record buffers
// and bookmarks, field values and calculated fields kept in the store.
#include "data/store/MemDS.h"

#include <cstring>

#include "data/store/DAConsts.h"
#include "framework/rtl/Ownership.h"
#include "framework/rtl/SysUtils.h"
#include "framework/rtl/Text.h"

namespace store {

using namespace db;

namespace {

template <class T>
T LoadAt(const uint8_t* p) noexcept {
    T v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

template <class T>
void StoreAt(uint8_t* p, T v) noexcept {
    std::memcpy(p, &v, sizeof v);
}

// Offsets inside the record info.
constexpr int riRecNo = 0;
constexpr int riStatus = 4;
constexpr int riBookmarkFlag = 5;
constexpr int riRefs = 6;

// One-byte integer slots reach the fields as the 16-bit values their field class reads.
bool IsByteSlot(const TFieldDesc* Desc) noexcept {
    return (Desc->DataType == mdtInt8 || Desc->DataType == mdtUInt8) && Desc->Size == 1;
}

// Gives access to the store's own test whether a bookmarked item still holds its row.
struct TItemAccess : TMemData {
    using TMemData::ItemInUse;
};

}  // namespace

// ---------------------------------------------------------------------------------------------
// TFieldTypeMap

TFieldType TFieldTypeMap::GetFieldType(TMemDataType DataType) const {
    switch (DataType) {
        case mdtUnknown: return ftUnknown;
        case mdtString:
        case mdtExtString: return ftString;
        case mdtInt8:
        case mdtInt16:
        case mdtUInt8: return ftSmallint;
        case mdtInt32: return ftInteger;
        case mdtFloat: return ftFloat;
        case mdtDate: return ftDate;
        case mdtTime: return ftTime;
        case mdtDateTime: return ftDateTime;
        case mdtUInt16: return ftWord;
        case mdtBoolean: return ftBoolean;
        case mdtInt64:
        case mdtUInt32: return ftLargeint;
        case mdtCurrency: return ftCurrency;
        case mdtBlob: return ftBlob;
        case mdtMemo: return ftMemo;
        case mdtObject: return ftADT;
        case mdtReference: return ftReference;
        case mdtArray: return ftArray;
        case mdtTable: return ftDataSet;
        case mdtVariant: return ftVariant;
        case mdtBytes: return ftBytes;
        case mdtVarBytes:
        case mdtExtVarBytes: return ftVarBytes;
        case mdtWideString:
        case mdtExtWideString: return ftWideString;
        case mdtBCD: return ftBCD;
        case mdtFmtBCD: return ftFMTBcd;
        case mdtGuid: return ftGuid;
        case mdtWideMemo: return ftWideMemo;
        case mdtSQLTimeStamp: return ftTimeStamp;
        case mdtCursor: return ftCursor;
        default: rtl::AssertFail(SUnknownDataType, MemDSUnit, __LINE__);
    }
}

TMemDataType TFieldTypeMap::GetDataType(TFieldType FieldType) const {
    static constexpr TMemDataType Table[FieldTypeCount] = {
        0,                // ftUnknown
        mdtString,        // ftString
        mdtInt16,         // ftSmallint
        mdtInt32,         // ftInteger
        mdtUInt16,        // ftWord
        mdtBoolean,       // ftBoolean
        mdtFloat,         // ftFloat
        mdtCurrency,      // ftCurrency
        mdtBCD,           // ftBCD
        mdtDate,          // ftDate
        mdtTime,          // ftTime
        mdtDateTime,      // ftDateTime
        mdtBytes,         // ftBytes
        mdtVarBytes,      // ftVarBytes
        mdtInt32,         // ftAutoInc
        mdtBlob,          // ftBlob
        mdtMemo,          // ftMemo
        0,                // ftGraphic
        0,                // ftFmtMemo
        0,                // ftParadoxOle
        0,                // ftDBaseOle
        0,                // ftTypedBinary
        mdtCursor,        // ftCursor
        mdtString,        // ftFixedChar
        mdtWideString,    // ftWideString
        mdtInt64,         // ftLargeint
        mdtObject,        // ftADT
        mdtArray,         // ftArray
        mdtReference,     // ftReference
        mdtTable,         // ftDataSet
        0,                // ftOraBlob
        0,                // ftOraClob
        mdtVariant,       // ftVariant
        0,                // ftInterface
        0,                // ftIDispatch
        mdtGuid,          // ftGuid
        mdtSQLTimeStamp,  // ftTimeStamp
        mdtFmtBCD,        // ftFMTBcd
        mdtWideString,    // ftFixedWideChar
        mdtWideMemo,      // ftWideMemo
        0,                // ftOraTimeStamp
        0,                // ftOraInterval
    };
    int i = static_cast<int>(FieldType);
    return i >= 0 && i < FieldTypeCount ? Table[i] : 0;
}

const TFieldTypeMap& TFieldTypeMap::Instance() {
    static const TFieldTypeMap map;
    return map;
}

// ---------------------------------------------------------------------------------------------
// TDataSetService

TDataSetService* TDataSetServiceClass::Create(TMemDataSet* /*DataSet*/) const { rtl::AbstractError(); }

TDataSetService::TDataSetService(TMemDataSet* DataSet) : FDataSet(DataSet) {}

TDataSetService::~TDataSetService() = default;

void TDataSetService::AfterConstruction() {
    TObject::AfterConstruction();
    NewUpdater();
}

void TDataSetService::NewUpdater() { AssignUpdater(rtl::Create<TDataSetUpdater>(this)); }

void TDataSetService::AssignUpdater(TDataSetUpdater* Updater) { FUpdater.reset(Updater); }

TFieldClass TDataSetService::GetFieldClass(TFieldType FieldType) {
    switch (FieldType) {
        case ftString:
        case ftFixedChar:
        case ftOraInterval: return &TStringField::StaticClass();
        case ftSmallint: return &TSmallintField::StaticClass();
        case ftInteger: return &TIntegerField::StaticClass();
        case ftWord: return &TWordField::StaticClass();
        case ftBoolean: return &TBooleanField::StaticClass();
        case ftFloat: return &TFloatField::StaticClass();
        case ftCurrency: return &TCurrencyField::StaticClass();
        case ftBCD: return &TBCDField::StaticClass();
        case ftDate: return &TDateField::StaticClass();
        case ftTime: return &TTimeField::StaticClass();
        case ftDateTime: return &TDateTimeField::StaticClass();
        case ftBytes: return &TBytesField::StaticClass();
        case ftVarBytes: return &TVarBytesField::StaticClass();
        case ftAutoInc: return &TAutoIncField::StaticClass();
        case ftBlob:
        case ftFmtMemo:
        case ftParadoxOle:
        case ftDBaseOle:
        case ftTypedBinary:
        case ftOraBlob: return &TBlobField::StaticClass();
        case ftMemo:
        case ftOraClob: return &TMemoField::StaticClass();
        case ftGraphic: return &TGraphicField::StaticClass();
        case ftWideString:
        case ftFixedWideChar: return &TWideStringField::StaticClass();
        case ftLargeint: return &TLargeintField::StaticClass();
        case ftADT: return &TADTField::StaticClass();
        case ftArray: return &TArrayField::StaticClass();
        case ftReference: return &TReferenceField::StaticClass();
        case ftDataSet: return &TDataSetField::StaticClass();
        case ftVariant: return &TVariantField::StaticClass();
        case ftInterface: return &TInterfaceField::StaticClass();
        case ftIDispatch: return &TIDispatchField::StaticClass();
        case ftGuid: return &TGuidField::StaticClass();
        case ftTimeStamp:
        case ftOraTimeStamp: return &TSQLTimeStampField::StaticClass();
        case ftFMTBcd: return &TFMTBCDField::StaticClass();
        case ftWideMemo: return &TWideMemoField::StaticClass();
        default: return nullptr;
    }
}

// ---------------------------------------------------------------------------------------------
// Construction and the store

TMemDataSet::TMemDataSet(rtl::TComponent* AOwner) : TDataSet(AOwner) {
    FDataLink.reset(rtl::Create<TDADetailDataLink>(this));
}

TMemDataSet::~TMemDataSet() {
    FDetailTimer.reset();
    FDataLink.reset();
    FDataSetService.reset();
    FIRecordSet.reset();
}

void TMemDataSet::BeforeDestruction() {
    FDetailTimer.reset();
    FDataLink.reset();
    TDataSet::BeforeDestruction();
    try {
        UnPrepare();
    } catch (...) {
        // Going away regardless.
    }
}

void TMemDataSet::CheckIRecordSet() const {
    if (!FIRecordSet) rtl::AssertFail(SAssertionFailure, MemDSUnit, __LINE__);
}

TMemData* TMemDataSet::MemData() const noexcept { return dynamic_cast<TMemData*>(FIRecordSet.get()); }

void TMemDataSet::CreateIRecordSet() { SetIRecordSet(std::make_unique<TMemData>()); }

void TMemDataSet::SetIRecordSet(std::unique_ptr<TData> Store) {
    FCalcFieldsMapping.clear();
    // Handing the dataset the store it holds already changes nothing.
    if (FIRecordSet.get() == Store.get())
        (void)Store.release();
    else
        FIRecordSet = std::move(Store);
    TData* Value = FIRecordSet.get();
    if (!Value) return;
    Value->SetCachedUpdates(FCachedUpdates);
    Value->SetLocalUpdate(FLocalUpdate);
    Value->SetVisibleStatuses(StatusBit(isModified) | StatusBit(isInserted) | StatusBit(isUnmodified));
    if (TMemData* md = MemData(); md && !FIndexFieldNames.empty()) md->SetIndexFieldNames(FIndexFieldNames);
    Value->InsertRecordEvent = [this](void* RecBuf) { DoInsertRecord(RecBuf); };
    Value->DeleteRecordEvent = [this] { DoDeleteRecord(); };
    Value->UpdateRecordEvent = [this](void* RecBuf) { DoUpdateRecord(RecBuf); };
    Value->ApplyRecordEvent = [this](uint8_t Kind, uint8_t& Action, bool Last) { DoApplyRecord(Kind, Action, Last); };
    Value->AfterRevertEvent = [this] { DoAfterRevertRecord(); };
    Value->AfterApplyEvent = [this] { DoAfterApplyUpdates(); };
    Value->BeforeCancelUpdatesEvent = [this] { DoBeforeCancelUpdates(); };
    if (FCalcFieldsInStore) {
        Value->AfterInitFieldsEvent = [this] { CalcFieldsToStore(); };
        Value->CalcRecordEvent = [this](void* Target, const void* Source) { CalculateRecordFields(Target, Source); };
    }
    SetLocalMasterDetail();
}

const TDataSetServiceClass& TMemDataSet::GetDataSetServiceClass() const { return TDataSetService::StaticClass(); }

void TMemDataSet::SetDataSetService(rtl::TOwnedPtr<TDataSetService> Value) {
    if (FDataSetService.get() == Value.get())
        (void)Value.release();
    else
        FDataSetService = std::move(Value);
}

void TMemDataSet::CheckDataSetService() {
    const TDataSetServiceClass& cls = GetDataSetServiceClass();
    if (!FDataSetService || FDataSetService->ClassType() != &cls) SetDataSetService(rtl::Adopt(cls.Create(this)));
}

void TMemDataSet::ReopenRecordSet() {
    CheckIRecordSet();
    FIRecordSet->Reopen();
    // A reopen re-creates the field descriptions the service and its updater point at.
    CheckDataSetService();
    FDataSetService->AfterRecordSetOpen();
}

const TFieldTypeMap& TMemDataSet::GetFieldTypeMapClass() const { return TFieldTypeMap::Instance(); }

bool TMemDataSet::Prepared() const { return FIRecordSet && FIRecordSet->Prepared(); }

void TMemDataSet::Prepare() {
    CheckIRecordSet();
    if (FIRecordSet->Prepared()) return;
    FIRecordSet->Prepare();
    CheckDataSetService();
    FDataSetService->AfterRecordSetOpen();
    CreateFieldDefsFromDescs();
}

void TMemDataSet::UnPrepare() {
    if (Active()) Close();
    if (FIRecordSet) FIRecordSet->Unprepare();
    if (!ComponentState().Contains(rtl::csDestroying)) FieldDefs().SetUpdated(false);
}

// ---------------------------------------------------------------------------------------------
// Field definitions

bool TMemDataSet::FieldDefsNeedRefresh() {
    return !(FieldDefs().Updated() && !(FIRecordSet && FIRecordSet->NeedFieldsRefresh()));
}

void TMemDataSet::FieldDefFullName(TFieldDef* Def, int Index, WideString& Name, TObjectType* ObjType) {
    WideString index = rtl::AnsiToWide(std::to_string(Index));
    if (ArrayDefsAsObjects() && ObjType && ObjType->DataType == mdtArray) {
        WideString prefix = Def->Name();
        for (TFieldDef* p = Def->ParentDef(); p && p->DataType() != ftArray; p = p->ParentDef())
            prefix = p->Name() + u"." + prefix;
        Name = prefix + u"[" + index + u"]";
    } else {
        Name = index;
    }
}

int TMemDataSet::FieldDefSize(TFieldType FieldType, int Length) const {
    switch (FieldType) {
        case ftString:
        case ftWideString:
        case ftGuid: return Length > 1 ? Length : 1;
        case ftBytes:
        case ftVarBytes: return Length;
        default: return 0;
    }
}

TFieldType TMemDataSet::FieldTypeOf(TMemDataType DataType) const {
    return GetFieldTypeMapClass().GetFieldType(DataType);
}

TFieldType TMemDataSet::FieldDefParams(const TFieldDesc* Desc, int& Size, int& Precision, int& Scale) const {
    TFieldType ft = FieldTypeOf(Desc->DataType);
    Size = FieldDefSize(ft, Desc->Length);
    Precision = Desc->Length;
    Scale = Desc->Scale;
    return ft;
}

TFieldClass TMemDataSet::FieldClassFor(TFieldType FieldType) {
    CheckDataSetService();
    return FDataSetService->GetFieldClass(FieldType);
}

TFieldClass TMemDataSet::FieldClassOfType(TFieldType FieldType) const {
    return const_cast<TMemDataSet*>(this)->FieldClassFor(FieldType);
}

void TMemDataSet::CreateFieldDefsFromDescs() {
    if (!FieldDefsNeedRefresh()) return;
    CheckIRecordSet();
    TFieldDefs& defs = FieldDefs();
    {
        rtl::TUpdateLock<TFieldDefs> lock(&defs);
        defs.Clear();
        const TFieldDescs& descs = FIRecordSet->Fields();
        for (int i = 0; i < descs.Count(); ++i) {
            TFieldDesc* d = descs[i];
            if (d->DescKind != fdkData || d->HasParent()) continue;
            int size = 0, precision = 0, scale = 0;
            TFieldType ft = FieldDefParams(d, size, precision, scale);
            if (ft == ftUnknown) DatabaseError(SDataTypeNotSupported, this);
            TFieldDef* def = defs.AddFieldDef();
            def->SetName(d->Name);
            def->SetFieldNo(i + 1);
            def->SetDataType(ft);
            def->SetSize(size);
            def->SetRequired(d->Required && FRequiredFields);
            TFieldAttributes attrs = def->Attributes();
            if (d->ReadOnly) attrs.Include(faReadonly);
            if (d->Hidden) attrs.Include(faHiddenCol);
            if (d->Fixed) attrs.Include(faFixed);
            def->SetAttributes(attrs);
            switch (ft) {
                case ftSmallint:
                case ftInteger:
                case ftWord:
                case ftFloat:
                case ftLargeint: def->SetPrecision(d->Length); break;
                case ftBCD:
                case ftFMTBcd:
                    def->SetPrecision(d->Length);
                    def->SetSize(d->Scale);
                    break;
                case ftADT:
                case ftArray:
                    if (d->ObjectType()) AddChildFieldDefs(d->ObjectType(), def);
                    break;
                default: break;
            }
        }
    }
    UpdateFieldDefList();
    defs.SetUpdated(FIRecordSet->FieldCount() > 0);
}

void TMemDataSet::AddChildFieldDefs(TObjectType* ObjType, TFieldDef* Def) {
    int count = 1;
    if (ObjType->DataType == mdtArray && !SparseArrays()) count = ObjType->Size < 100 ? ObjType->Size : 100;
    for (int a = 0; a < ObjType->AttributeCount(); ++a) {
        TAttribute* attr = ObjType->Attributes(a);
        for (int e = 0; e < count; ++e) {
            TFieldType ft = FieldTypeOf(attr->DataType);
            WideString name = attr->Name;
            if (ObjType->DataType == mdtArray) FieldDefFullName(Def, e, name, ObjType);
            WideString base = name;
            for (int n = 1; FieldDefs().FindDef(Def->Name() + u"." + name); ++n)
                name = base + u"_" + rtl::AnsiToWide(std::to_string(n));
            TFieldDef* child = Def->ChildDefs()->AddFieldDef();
            child->SetName(name);
            child->SetDataType(ft);
            child->SetSize(ft == ftString || ft == ftWideString ? attr->Length : 0);
            child->SetRequired(false);
            if (Def->Attributes().Contains(faReadonly))
                child->SetAttributes(child->Attributes() + TFieldAttributes{faReadonly});
            if ((ft == ftADT || ft == ftArray) && attr->ObjectType) AddChildFieldDefs(attr->ObjectType, child);
        }
    }
}

void TMemDataSet::InitFieldDefsStep() {
    CheckIRecordSet();
    if (FIRecordSet->Active()) return;
    bool wasUpdated = FieldDefs().Updated();
    std::vector<WideString> names;
    if (wasUpdated)
        for (const auto& d : FIRecordSet->Fields()) names.push_back(d->Name);
    FIRecordSet->ExplicitInitFields();
    if (wasUpdated) {
        bool changed = static_cast<int>(names.size()) != FIRecordSet->FieldCount();
        for (int i = 0; !changed && i < FIRecordSet->FieldCount(); ++i)
            changed = FIRecordSet->Fields()[i]->Name != names[static_cast<size_t>(i)];
        if (changed) FieldDefs().SetUpdated(false);
    }
    CheckDataSetService();
    FDataSetService->AfterRecordSetOpen();
    CreateFieldDefsFromDescs();
}

// ---------------------------------------------------------------------------------------------
// Open and close

void TMemDataSet::OpenCursorStep(bool InfoQuery) {
    TDataSet::OpenCursorStep(InfoQuery);
    if (InfoQuery) return;
    TRecordBuffer old = FOldRecBuf;
    FOldRecBuf = nullptr;
    if (old) FreeRecordBuffer(old);
    FOldRecBuf = AllocRecordBuffer();
}

void TMemDataSet::OpenStep() {
    CheckIRecordSet();
    FIRecordSet->Open();
    CheckDataSetService();
    FDataSetService->AfterRecordSetOpen();
    CreateFieldDefsFromDescs();
    if (DefaultFields()) {
        CreateFields();
    } else {
        for (int i = 0; i < FieldDefs().Count(); ++i) {
            TFieldDef* def = FieldDefs()[i];
            if (def->DataType() != ftString) continue;
            TField* f = FindField(def->Name());
            if (!f || f->FieldKind() != fkData) continue;
            CheckFieldCompatibility(f, def);
            f->SetSize(def->Size());
        }
    }
    if (FNumberRange)
        for (int i = 0; i < FieldDefs().Count(); ++i) FDataSetService->SetNumberRange(FieldDefs()[i]);
    BindFields(true);
    const TFieldDescs& descs = FIRecordSet->Fields();
    if (descs.Count() > 0 && descs[descs.Count() - 1]->DescKind == fdkCalculated && FCacheCalcFields)
        if (TMemData* md = MemData()) md->CalcRecords();
    if (ObjectView()) {
        std::vector<TField*> all(Fields().begin(), Fields().end());
        BindObjectFields(all);
    }
    if (TMemData* md = MemData(); md && !md->SortColumns().empty()) md->SortItems();
    SetBookmarkSize(BookmarkSizeOfStore);
    FRecInfoOffset =
        FCacheCalcFields ? FIRecordSet->RecordSize() : FIRecordSet->RecordSize() + FIRecordSet->CalcRecordSize();
    FBookmarkOffset = FRecInfoOffset + RecInfoSize;
    FRecBufSize = FBookmarkOffset + BookmarkSizeOfStore;
    FApplyingUpdates = false;
    if (Filtered()) {
        InstallFilter();
        FIRecordSet->FilterUpdated();
    }
    if (MasterIsActive() && UseMasterDetail()) {
        UpdateMasterValues();
        FIRecordSet->FilterUpdated();
    }
}

void TMemDataSet::AfterOpenStep() {
    TDataSet::AfterOpenStep();
    DataEvent(deDataSetChange, 0);
    for (TDataSet* nested : NestedDataSets())
        if (nested->Active()) nested->DataEvent(deParentScroll, 0);
}

void TMemDataSet::CloseCursorStep() {
    // A pending detail refresh has nothing to refresh once closed.
    if (FDetailTimer) FDetailTimer->SetEnabled(false);
    if (FDetailTimer) FDetailTimer->SetEnabled(false);
    if (FIRecordSet && FIRecordSet->HasComplexFields() && (FInserting || FEditing)) {
        // What an unfinished insert or edit created is owned by the active buffer alone.
        if (TRecordBuffer b = ActiveBuffer()) FIRecordSet->FreeComplexFields(b, FInserting);
    }
    FInserting = false;
    FEditing = false;
    if (FOldRecBuf) FreeRecordBuffer(FOldRecBuf);
    TDataSet::CloseCursorStep();
}

void TMemDataSet::CloseStep() {
    BindFields(false);
    if (FIRecordSet) {
        FIRecordSet->Close();
        // The calculated descriptors may have gone with the store's fields.
        if (FIRecordSet->FieldCount() == 0) FCalcFieldsMapping.clear();
    }
}

bool TMemDataSet::CursorOpen() const { return FIRecordSet && FIRecordSet->Active(); }

void TMemDataSet::RefreshStep() {
    FreeBuffersComplexFields();
    ReopenRecordSet();
    if (TMemData* md = MemData(); md && !md->SortColumns().empty()) md->SortItems();
}

// ---------------------------------------------------------------------------------------------
// Record buffers

TRecordBuffer TMemDataSet::AllocRecordBuffer() {
    size_t size = static_cast<size_t>(FRecBufSize > 0 ? FRecBufSize : 1);
    auto* p = new uint8_t[size];
    std::memset(p, 0, size);
    return p;
}

void TMemDataSet::FreeRecordBuffer(TRecordBuffer& Buffer) {
    if (!Buffer) return;
    FreeBufferComplexFields(Buffer, true);
    delete[] Buffer;
    Buffer = nullptr;
}

int32_t TMemDataSet::BufRecNo(TRecordBuffer Buffer) const { return LoadAt<int32_t>(Buffer + FRecInfoOffset + riRecNo); }
void TMemDataSet::SetBufRecNo(TRecordBuffer Buffer, int32_t Value) const {
    StoreAt<int32_t>(Buffer + FRecInfoOffset + riRecNo, Value);
}
uint8_t TMemDataSet::BufUpdateStatus(TRecordBuffer Buffer) const { return Buffer[FRecInfoOffset + riStatus]; }
void TMemDataSet::SetBufUpdateStatus(TRecordBuffer Buffer, uint8_t Value) const {
    Buffer[FRecInfoOffset + riStatus] = Value;
}
bool TMemDataSet::BufHoldsRefs(TRecordBuffer Buffer) const { return Buffer[FRecInfoOffset + riRefs] != 0; }
void TMemDataSet::SetBufHoldsRefs(TRecordBuffer Buffer, bool Value) const {
    Buffer[FRecInfoOffset + riRefs] = Value ? 1 : 0;
}

void TMemDataSet::FreeBufferComplexFields(TRecordBuffer Buffer, bool WithBlob) {
    if (!Buffer || FRecBufSize == 0 || !BufHoldsRefs(Buffer)) return;
    if (FIRecordSet) FIRecordSet->FreeComplexFields(Buffer, WithBlob);
    SetBufHoldsRefs(Buffer, false);
}

void TMemDataSet::FreeBuffersComplexFields() {
    for (int i = 0; i <= BufferCount(); ++i) FreeBufferComplexFields(Buffers(i), true);
}

int TMemDataSet::RecordSizeOf() const { return FIRecordSet ? FIRecordSet->RecordSize() : 0; }

TGetResult TMemDataSet::GetRecordStep(TRecordBuffer Buffer, TGetMode GetMode, bool /*DoCheck*/) {
    CheckIRecordSet();
    FreeBufferComplexFields(Buffer, true);
    switch (GetMode) {
        case gmCurrent: FIRecordSet->GetRecord(Buffer); break;
        case gmNext: FIRecordSet->GetNextRecord(Buffer); break;
        case gmPrior: FIRecordSet->GetPriorRecord(Buffer); break;
    }
    if (FIRecordSet->GetBof()) return grBOF;
    if (FIRecordSet->GetEof()) return grEOF;
    SetBufRecNo(Buffer, FIRecordSet->GetRecordNo());
    SetBufUpdateStatus(Buffer, FIRecordSet->GetUpdateStatus());
    SetBookmarkFlag(Buffer, bfCurrent);
    if (FBuffersHoldRefs) {
        SetBufHoldsRefs(Buffer, true);
        FIRecordSet->AddRefComplexFields(Buffer);
    }
    if (!FCacheCalcFields) GetCalcFields(Buffer);
    TRecBookmark bm;
    FIRecordSet->GetBookmark(bm);
    std::memcpy(Buffer + FBookmarkOffset, &bm, sizeof bm);
    return grOK;
}

void TMemDataSet::InitRecordStep(TRecordBuffer Buffer) {
    CheckIRecordSet();
    FreeBufferComplexFields(Buffer, true);
    FIRecordSet->InitRecord(Buffer);
    if (FIRecordSet->HasComplexFields()) FIRecordSet->CreateComplexFields(Buffer, true);
}

void TMemDataSet::InitNewRecord(TRecordBuffer Buffer) {
    TDataSet::InitNewRecord(Buffer);
    SetBufRecNo(Buffer, 0);
    SetBufUpdateStatus(Buffer, isInserted);
    SetBookmarkFlag(Buffer, bfInserted);
    std::memset(Buffer + FBookmarkOffset, 0, static_cast<size_t>(BookmarkSizeOfStore));
    if (FOldRecBuf && FIRecordSet) FIRecordSet->InitRecord(FOldRecBuf);
}

void TMemDataSet::ClearCalcFieldsStep(TRecordBuffer Buffer) {
    if (!Buffer || !FIRecordSet) return;
    const TFieldDescs& descs = FIRecordSet->Fields();
    for (int i = 0; i < descs.Count(); ++i)
        if (descs[i]->DescKind != fdkData) FIRecordSet->SetNull(i + 1, Buffer, true);
}

// ---------------------------------------------------------------------------------------------
// Bookmarks and positions

void TMemDataSet::GetBookmarkData(TRecordBuffer Buffer, void* Data) {
    std::memcpy(Data, Buffer + FBookmarkOffset, static_cast<size_t>(BookmarkSizeOfStore));
}

void TMemDataSet::SetBookmarkData(TRecordBuffer Buffer, const void* Data) {
    std::memcpy(Buffer + FBookmarkOffset, Data, static_cast<size_t>(BookmarkSizeOfStore));
}

TBookmarkFlag TMemDataSet::GetBookmarkFlag(TRecordBuffer Buffer) {
    uint8_t v = Buffer[FRecInfoOffset + riBookmarkFlag];
    return v <= bfInserted ? static_cast<TBookmarkFlag>(v) : bfCurrent;
}

void TMemDataSet::SetBookmarkFlag(TRecordBuffer Buffer, TBookmarkFlag Value) {
    Buffer[FRecInfoOffset + riBookmarkFlag] = static_cast<uint8_t>(Value);
}

bool TMemDataSet::StoreBookmark(const TBookmark& Bookmark, TRecBookmark& Result) const {
    if (Bookmark.size() < sizeof(TRecBookmark)) return false;
    std::memcpy(&Result, Bookmark.data(), sizeof Result);
    return true;
}

// A row of this filling that was deleted or freed since the bookmark was taken: following the
// bookmark by number would land on some other row.
bool TMemDataSet::BookmarkRowGone(const TRecBookmark& Bookmark) const {
    TMemData* md = MemData();
    if (!md || !Bookmark.Item || Bookmark.RefreshIteration != md->RefreshIteration()) return false;
    bool (TMemData::*inUse)(const TRecBookmark&) const = &TItemAccess::ItemInUse;
    if (!(md->*inUse)(Bookmark)) return true;
    return md->IsItemHidden(Bookmark.Item);
}

void TMemDataSet::FirstStep() {
    CheckIRecordSet();
    FIRecordSet->SetToBegin();
}

void TMemDataSet::LastStep() {
    CheckIRecordSet();
    FIRecordSet->SetToEnd();
}

void TMemDataSet::GotoBookmarkStep(const void* Bookmark) {
    CheckIRecordSet();
    TRecBookmark bm;
    std::memcpy(&bm, Bookmark, sizeof bm);
    if (BookmarkRowGone(bm)) DatabaseError(msg::SRecordNotFound, this);
    FIRecordSet->SetToBookmark(bm);
}

void TMemDataSet::SetToRecordStep(TRecordBuffer Buffer) {
    CheckIRecordSet();
    TRecBookmark bm;
    std::memcpy(&bm, Buffer + FBookmarkOffset, sizeof bm);
    FIRecordSet->SetToBookmark(bm);
    if (FIRecordSet->RefetchAfterBookmark()) GetRecordStep(Buffer, gmCurrent, false);
}

bool TMemDataSet::BookmarkValidStep(const TBookmark& Bookmark) {
    TRecBookmark bm;
    if (!FIRecordSet || !StoreBookmark(Bookmark, bm)) return false;
    if (BookmarkRowGone(bm)) return false;
    return FIRecordSet->BookmarkValid(&bm);
}

int TMemDataSet::CompareBookmarksStep(const TBookmark& Bookmark1, const TBookmark& Bookmark2) {
    if (!FIRecordSet) return 0;
    TRecBookmark b1, b2;
    bool has1 = StoreBookmark(Bookmark1, b1);
    bool has2 = StoreBookmark(Bookmark2, b2);
    return FIRecordSet->CompareBookmarks(has1 ? &b1 : nullptr, has2 ? &b2 : nullptr);
}

int TMemDataSet::CountRecords() const {
    return FIRecordSet && FIRecordSet->Active() ? FIRecordSet->GetRecordCount() : 0;
}

int TMemDataSet::CurrentRecNo() const {
    TRecordBuffer b = const_cast<TMemDataSet*>(this)->StateRecordBuffer();
    return b ? BufRecNo(b) : 0;
}

void TMemDataSet::MoveToRecNo(int Value) {
    CheckBrowseMode();
    BeforeScrollStep();
    CheckIRecordSet();
    FIRecordSet->SetRecordNo(Value);
    Resync({});
    AfterScrollStep();
}

void TMemDataSet::ChangeBlockReadSize(int Value) {
    if (Value == BlockReadSize()) return;
    if (Value > 0 || Value < -1) UpdateCursorPos();
    TDataSet::ChangeBlockReadSize(Value);
}

// ---------------------------------------------------------------------------------------------
// State buffers

TRecordBuffer TMemDataSet::NewValuesBuffer() { return FApplyingUpdates ? FNewCacheRecBuf : ActiveBuffer(); }

TRecordBuffer TMemDataSet::OldValuesBuffer() {
    if (FApplyingUpdates) return FOldCacheRecBuf;
    // Without a current record there are no old values to show.
    if (!FOldRecBuf || !FIRecordSet || IsEmpty()) return nullptr;
    UpdateCursorPos();
    FIRecordSet->GetOldRecord(FOldRecBuf);
    // The store may have stepped past a hidden row: the cursor must be sought again.
    CursorPosChanged();
    return FOldRecBuf;
}

TRecordBuffer TMemDataSet::StateRecordBuffer() {
    switch (State()) {
        case dsBrowse:
            if (FApplyingUpdates) return FNewCacheRecBuf;
            return IsEmpty() ? nullptr : ActiveBuffer();
        case dsBlockRead: return IsEmpty() ? nullptr : ActiveBuffer();
        case dsEdit:
        case dsInsert: return ActiveBuffer();
        case dsCalcFields: return CalcBuffer();
        case dsFilter: return FFilterBuffer;
        case dsNewValue: return NewValuesBuffer();
        case dsOldValue: return OldValuesBuffer();
        default: return nullptr;
    }
}

Variant TMemDataSet::StateFieldValue(TDataSetState State, TField* Field) {
    if (FInserting && State == dsOldValue) return Variant::Null();
    return TDataSet::StateFieldValue(State, Field);
}

// ---------------------------------------------------------------------------------------------
// Descriptors

TFieldDesc* TMemDataSet::FieldDescOf(TField* Field) {
    if (!FIRecordSet) rtl::AssertFail(SRecordSetNotSet, MemDSUnit, __LINE__);
    if (!Field) rtl::AssertFail(SFieldCannotBeNil, MemDSUnit, __LINE__);
    if (Field->DataSet() != this) rtl::AssertFail(SWrongDataSet, MemDSUnit, __LINE__);
    const TFieldDescs& descs = FIRecordSet->Fields();
    if (Field->FieldNo() >= 1) return Field->FieldNo() <= descs.Count() ? descs[Field->FieldNo() - 1] : nullptr;
    if (DefaultFields() && FieldCount() == descs.Count()) {
        int i = Field->Index();
        return i >= 0 && i < descs.Count() ? descs[i] : nullptr;
    }
    bool calc = Field->FieldKind() == fkCalculated || Field->FieldKind() == fkLookup;
    for (const auto& d : descs) {
        if (calc && d->DescKind == fdkData) continue;
        if (rtl::WideSameText(d->Name, Field->FieldName())) return d.get();
        if (calc && rtl::WideSameText(d->ColumnName, Field->FieldName())) return d.get();
    }
    return nullptr;
}

int TMemDataSet::FieldNoOfDesc(TField* Field) {
    TFieldDesc* d = FieldDescOf(Field);
    if (!d) {
        throw rtl::Exception(rtl::Format(SFieldNotFound, {Field->FieldName()}));
    }
    return d->FieldNo;
}

bool TMemDataSet::CalculatedInStore(TField* Field) const {
    return Field->FieldKind() == fkCalculated || Field->FieldKind() == fkLookup;
}

void TMemDataSet::BindObjectFields(const std::vector<TField*>& List) {
    for (TField* f : List) {
        auto* obj = dynamic_cast<TObjectField*>(f);
        if (!obj) continue;
        // Object-type names live with the provider's descriptors; the children are bound in turn.
        BindObjectFields(obj->ChildFields());
    }
}

TBlob* TMemDataSet::GetBlobByName(const WideString& Name) { return GetBlobOfField(FieldByName(Name)); }

TBlob* TMemDataSet::GetBlobOfField(TField* Field) {
    if (!Active() || !FIRecordSet) return nullptr;
    TFieldDesc* d = FieldDescOf(Field);
    if (!d || !FIRecordSet->IsBlobFieldType(d->DataType)) return nullptr;
    TRecordBuffer b = StateRecordBuffer();
    if (!b) return nullptr;
    return FIRecordSet->GetBlob(d->FieldNo, b);
}

// ---------------------------------------------------------------------------------------------
// Field values

bool TMemDataSet::GetFieldValue(TField* Field, void* Dest) {
    TRecordBuffer buf = StateRecordBuffer();
    if (!buf) return false;
    CheckIRecordSet();
    TFieldDesc* desc;
    if (Field->FieldNo() >= 1) {
        desc = FIRecordSet->Fields()[Field->FieldNo() - 1];
    } else {
        switch (State()) {
            case dsBrowse:
            case dsEdit:
            case dsInsert:
            case dsCalcFields:
            case dsFilter:
            case dsBlockRead: break;
            default: return false;
        }
        desc = nullptr;
        for (const auto& [d, f] : FCalcFieldsMapping)
            if (f == Field) desc = d;
        if (!desc) desc = FIRecordSet->Fields()[FieldNoOfDesc(Field) - 1];
    }
    bool blank = true;
    // A blob travels through blob streams; its reference is nothing a field buffer holds.
    if (FIRecordSet->IsBlobFieldType(desc->DataType)) Dest = nullptr;
    if (Dest && IsByteSlot(desc)) {
        uint8_t raw[8] = {};
        FIRecordSet->GetField(desc->FieldNo, buf, raw, blank);
        if (!blank) {
            int16_t v = desc->DataType == mdtInt8 ? static_cast<int8_t>(raw[0]) : raw[0];
            std::memcpy(Dest, &v, sizeof v);
        }
        return !blank;
    }
    FIRecordSet->GetField(desc->FieldNo, buf, Dest, blank);
    return !blank;
}

bool TMemDataSet::FieldBytes(TField* Field, TFieldBytes& Place) {
    if (!FIRecordSet || Field->FieldNo() < 1 || Field->FieldKind() != fkData) return false;
    const TFieldDescs& descs = FIRecordSet->Fields();
    if (Field->FieldNo() > descs.Count()) return false;
    const TFieldDesc* desc = descs[Field->FieldNo() - 1];
    if (desc->HasParent() || desc->DescKind != fdkData) return false;
    // Only the types GetField copies as they are stored.
    int size = 0;
    switch (desc->DataType) {
        case mdtInt16:
        case mdtUInt16: size = 2; break;
        case mdtInt32: size = 4; break;
        case mdtInt64:
        case mdtFloat: size = 8; break;
        default: return false;
    }
    if (desc->Size != size) return false;
    Place.Offset = desc->Offset;
    Place.Size = size;
    Place.NullFlag = FIRecordSet->DataSize() + desc->FieldNo - 1;
    return true;
}

const uint8_t* TMemDataSet::FieldBytesRecord() {
    // The states a reader asks in around an edit and its post, without the general switch.
    const TDataSetState s = State();
    if (s == dsEdit || s == dsInsert || (s == dsBrowse && !FApplyingUpdates && BufferedRecordCount() > 0))
        return ActiveBuffer();
    return StateRecordBuffer();
}

bool TMemDataSet::GetFieldValueByNo(int FieldNo, void* Dest) {
    TRecordBuffer buf = StateRecordBuffer();
    if (!buf) return false;
    CheckIRecordSet();
    bool blank = true;
    FIRecordSet->GetField(FieldNo, buf, Dest, blank);
    return !blank;
}

void TMemDataSet::PutFieldValue(TField* Field, const void* Source) {
    TDataSetState st = State();
    switch (st) {
        case dsEdit:
        case dsInsert:
        case dsSetKey:
        case dsCalcFields:
        case dsFilter:
        case dsNewValue:
        case dsInternalCalc: break;
        default: DatabaseError(msg::SNotEditing, this);
    }
    CheckIRecordSet();
    TRecordBuffer buf = StateRecordBuffer();
    if (!buf) DatabaseError(msg::SNotEditing, this);
    if (Field->FieldNo() >= 1) {
        if (st == dsCalcFields) DatabaseError(msg::SNotEditing, this);
        if (Field->ReadOnly() && st != dsSetKey && st != dsFilter && !FAssigningDefaults)
            DatabaseErrorFmt(msg::SFieldReadOnly, {Field->DisplayNameA()});
        Field->Validate(Source);
        if (Field->FieldKind() != fkInternalCalc) {
            TFieldDesc* desc = FIRecordSet->Fields()[Field->FieldNo() - 1];
            if (Source && IsByteSlot(desc)) {
                int16_t v;
                std::memcpy(&v, Source, sizeof v);
                uint8_t b = static_cast<uint8_t>(v & 0xFF);
                FIRecordSet->PutField(desc->FieldNo, buf, &b);
            } else {
                FIRecordSet->PutField(desc->FieldNo, buf, Source);
            }
        }
    } else {
        TFieldDesc* desc = nullptr;
        for (const auto& [d, f] : FCalcFieldsMapping)
            if (f == Field) desc = d;
        int no = desc ? desc->FieldNo : FieldNoOfDesc(Field);
        FIRecordSet->PutField(no, buf, Source);
    }
    if (st != dsCalcFields && st != dsFilter && st != dsNewValue) DataEvent(deFieldChange, EventInfo(Field));
}

void TMemDataSet::PutFieldValueNative(TField* Field, const void* Source, bool NativeFormat) {
    TDataSet::PutFieldValueNative(Field, Source, NativeFormat);
}

void TMemDataSet::ConvertFieldData(TField* Field, const void* Source, void* Dest, bool ToNative) {
    // The store keeps BCD as the 8-byte currency value the field reads.
    if (Field->DataType() == ftBCD) {
        std::memmove(Dest, Source, sizeof(int64_t));
        return;
    }
    TDataSet::ConvertFieldData(Field, Source, Dest, ToNative);
}

// ---------------------------------------------------------------------------------------------
// Calculated fields in the store

void TMemDataSet::CalcFieldsToStore() {
    FCalcFieldsMapping.clear();
    if (!FIRecordSet || FieldCount() == 0) return;
    TFieldDescs& descs = FIRecordSet->Fields();
    for (TField* f : Fields()) {
        if (!CalculatedInStore(f)) continue;
        auto d = FIRecordSet->CreateFieldDesc();
        d->Name = f->FullName();
        d->ColumnName = d->Name;
        d->FieldNo = static_cast<uint16_t>(descs.Count() + 1);
        d->DataType = GetFieldTypeMapClass().GetDataType(f->DataType());
        switch (f->DataType()) {
            case ftDate:
            case ftTime: d->Size = f->DataSize() * 2; break;
            case ftWideString: d->Size = f->Size() * 2 + 2; break;
            default: d->Size = f->DataSize(); break;
        }
        d->Length = static_cast<uint16_t>(f->Size());
        d->DescKind = FCacheCalcFields ? fdkCalculated : fdkCalculatedArea;
        FCalcFieldsMapping.emplace_back(descs.Add(std::move(d)), f);
    }
}

void TMemDataSet::CalculateRecordFields(void* Record, const void* Source) {
    if (!FIRecordSet || CalcFieldsSize() <= 0) return;
    size_t rec = static_cast<size_t>(FIRecordSet->RecordSize());
    size_t size = rec + static_cast<size_t>(FIRecordSet->CalcRecordSize());
    std::vector<uint8_t> temp(size + RecInfoSize + BookmarkSizeOfStore, 0);
    std::memcpy(temp.data(), Source ? Source : Record, rec);
    GetCalcFields(temp.data());
    std::memcpy(Record, temp.data(), size);
}

}  // namespace store
