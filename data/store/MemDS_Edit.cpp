// Editing through the store, the store's record events, cached updates and the updater base.
#include <cmath>
#include <cstdint>
#include <cstring>
#include <functional>

#include "data/store/DAConsts.h"
#include "data/store/MemDS.h"
#include "framework/rtl/Ownership.h"

namespace store {

using namespace db;

namespace {

// Puts the dataset's Modified flag back when the scope ends, however it ends.
class TModifiedKeeper {
public:
    explicit TModifiedKeeper(TMemDataSet* DataSet) : FDataSet(DataSet), FModified(DataSet->Modified()) {}
    ~TModifiedKeeper() { FDataSet->SetModified(FModified); }
    TModifiedKeeper(const TModifiedKeeper&) = delete;
    TModifiedKeeper& operator=(const TModifiedKeeper&) = delete;

private:
    TMemDataSet* FDataSet;
    bool FModified;
};

uint8_t StoreKinds(TUpdateKinds Kinds) {
    uint8_t bits = 0;
    if (Kinds.Contains(db::ukModify)) bits |= ukfModify;
    if (Kinds.Contains(db::ukInsert)) bits |= ukfInsert;
    if (Kinds.Contains(db::ukDelete)) bits |= ukfDelete;
    return bits;
}

// The text of a default expression: a quoted text loses its quotes, a doubled quote inside it
// stands for one.
AnsiString DefaultExpressionText(const AnsiString& Expression) {
    if (Expression.empty() || Expression[0] != '\'') return Expression;
    AnsiString text;
    for (size_t i = 1; i < Expression.size(); ++i) {
        if (Expression[i] == '\'') {
            if (i + 1 < Expression.size() && Expression[i + 1] == '\'') {
                text += '\'';
                ++i;
                continue;
            }
            break;
        }
        text += Expression[i];
    }
    return text;
}

double Power10(int Exponent) { return std::pow(10.0, Exponent); }

}  // namespace

// ---------------------------------------------------------------------------------------------
// TDataSetUpdater

TDataSetUpdater::TDataSetUpdater(TDataSetService* Service) : FService(Service), FDataSet(nullptr) {
    if (!Service) rtl::AssertFail(SAssertionFailure, MemDSUnit, __LINE__);
    FDataSet = Service->DataSet();
}

void TDataSetUpdater::PerformInsertGuarded() {
    if (FDataSet->LocalUpdate()) return;
    TModifiedKeeper keep(FDataSet);
    PerformInsert();
}

void TDataSetUpdater::PerformDeleteGuarded() {
    if (FDataSet->LocalUpdate()) return;
    TModifiedKeeper keep(FDataSet);
    PerformDelete();
}

void TDataSetUpdater::PerformUpdateGuarded() {
    if (FDataSet->LocalUpdate()) return;
    TModifiedKeeper keep(FDataSet);
    PerformUpdate();
}

void TDataSetUpdater::ApplyRecord(TUpdateKind UpdateKind, TUpdateAction& Action, bool LastItem) {
    TModifiedKeeper keep(FDataSet);
    Action = uaFail;
    try {
        if (FDataSet->OnUpdateRecord) {
            FDataSet->OnUpdateRecord(FDataSet, UpdateKind, Action);
            if (Action == uaFail) DatabaseError(SUpdateFailed);
            if (Action == uaAbort) rtl::Abort();
            return;
        }
        switch (UpdateKind) {
            case db::ukModify: PerformUpdate(); break;
            case db::ukInsert: PerformInsert(); break;
            case db::ukDelete: PerformDelete(); break;
        }
        if (BatchUpdates()) {
            if (LastItem || BatchFull()) {
                FlushBatch();
                Action = uaApplied;
            } else {
                Action = static_cast<TUpdateAction>(uaQueuedInBatch);
            }
            return;
        }
        Action = uaApplied;
    } catch (EDatabaseError& E) {
        if (!FDataSet->OnUpdateError) throw;
        TUpdateAction action = uaFail;
        FDataSet->OnUpdateError(FDataSet, E, UpdateKind, action);
        if (action == uaFail) throw;
        if (action == uaAbort) rtl::Abort();
        Action = action;
    }
}

// ---------------------------------------------------------------------------------------------
// TDataSetService: number ranges

void TDataSetService::SetNumberRange(TFieldDef* FieldDef) {
    TFieldType ft = FieldDef->DataType();
    if (ft != ftSmallint && ft != ftInteger && ft != ftFloat && ft != ftLargeint) return;
    TField* field = FDataSet->FindField(FieldDef->Name());
    if (!field) return;
    FDataSet->CheckFieldCompatibility(field, FieldDef);
    TData* data = FDataSet->IRecordSet();
    TFieldDesc* desc = data ? data->FindField(FieldDef->Name()) : nullptr;
    if (!desc) return;
    int length = desc->Length;
    switch (ft) {
        case ftSmallint:
        case ftInteger: {
            auto* f = dynamic_cast<TIntegerField*>(field);
            if (!f) rtl::AssertFail(SAssertionFailure, MemDSUnit, __LINE__);
            // A range wider than the field's type would wrap: the type's own limits hold then.
            if (length > 9) return;
            int32_t max = static_cast<int32_t>(std::llround(Power10(length))) - 1;
            f->SetMaxValue(max);
            f->SetMinValue(-max);
            break;
        }
        case ftLargeint: {
            auto* f = dynamic_cast<TLargeintField*>(field);
            if (!f) rtl::AssertFail(SAssertionFailure, MemDSUnit, __LINE__);
            if (length > 18) return;
            int64_t max = 1;
            for (int i = 0; i < length; ++i) max *= 10;
            f->SetMaxValue(max - 1);
            f->SetMinValue(-(max - 1));
            break;
        }
        case ftFloat: {
            if (length < 1 || length > 15) return;
            auto* f = dynamic_cast<TFloatField*>(field);
            if (!f) rtl::AssertFail(SAssertionFailure, MemDSUnit, __LINE__);
            f->SetPrecision(length);
            double max = Power10(length - desc->Scale) - Power10(-static_cast<int>(desc->Scale));
            f->SetMaxValue(max);
            f->SetMinValue(-max);
            break;
        }
        default: break;
    }
}

// ---------------------------------------------------------------------------------------------
// Editing hooks

void TMemDataSet::InsertStep() {
    CheckIRecordSet();
    FInserting = true;
}

void TMemDataSet::EditStep() {
    CheckIRecordSet();
    FEditing = true;
    TRecordBuffer b = ActiveBuffer();
    if (b && BufHoldsRefs(b)) {
        // Releasing the buffer's own references empties its slots: read the stored row again,
        // so that the edit starts from its values.
        FreeBufferComplexFields(b, true);
        FIRecordSet->GetRecord(b);
    }
    // The stored row takes copies of its heap values, so that the edit buffer alone owns the
    // values it is about to change.
    FIRecordSet->EditRecord(b);
}

void TMemDataSet::PostStep() {
    TDataSet::PostStep();
    CheckIRecordSet();
    TRecordBuffer b = ActiveBuffer();
    if (FIRecordSet->HasBlobFields()) {
        const TFieldDescs& descs = FIRecordSet->Fields();
        for (int i = 0; i < descs.Count(); ++i) {
            TFieldDesc* d = descs[i];
            if (!FIRecordSet->IsBlobFieldType(d->DataType) || d->DescKind != fdkData || d->HasParent()) continue;
            TBlob* blob = FIRecordSet->GetBlob(i + 1, b);
            if (blob && blob->HasRollback())
                if (TField* f = FieldByNumber(i + 1)) f->SetModified(true);
        }
    }
    if (FEditing)
        FIRecordSet->PostRecord(b);
    else if (FInserting)
        FIRecordSet->InsertRecord(b);
    FEditing = false;
    FInserting = false;
}

void TMemDataSet::CancelStep() {
    CheckIRecordSet();
    bool editing = FEditing;
    bool inserting = FInserting;
    FEditing = false;
    FInserting = false;
    TRecordBuffer b = ActiveBuffer();
    if (!b) return;
    if (editing)
        FIRecordSet->CancelRecord(b);
    else if (inserting && FIRecordSet->HasComplexFields())
        FIRecordSet->FreeComplexFields(b, true);
}

void TMemDataSet::Cancel() {
    if (!(FEditing || FInserting) || !FIRecordSet || !FIRecordSet->HasComplexFields() || !ActiveBuffer()) {
        TDataSet::Cancel();
        return;
    }
    // The controls redraw from the buffer while the cancel runs: keep its values alive until then.
    TRecordBuffer copy = new uint8_t[static_cast<size_t>(FRecBufSize)];
    std::memcpy(copy, ActiveBuffer(), static_cast<size_t>(FRecBufSize));
    auto release = [this, &copy] {
        FIRecordSet->FreeComplexFields(copy, true);
        delete[] copy;
        copy = nullptr;
    };
    try {
        FIRecordSet->AddRefComplexFields(copy);
    } catch (...) {
        delete[] copy;
        throw;
    }
    rtl::TryFinally([this] { TDataSet::Cancel(); }, release);
}

void TMemDataSet::DeleteStep() {
    CheckIRecordSet();
    CheckCanModify();
    FIRecordSet->DeleteRecord();
    FEditing = false;
    FInserting = false;
}

void TMemDataSet::AddRecordStep(TRecordBuffer Buffer, bool Append) {
    CheckIRecordSet();
    if (Append)
        FIRecordSet->AppendRecord(Buffer);
    else
        FIRecordSet->InsertRecord(Buffer);
}

void TMemDataSet::NewRecordStep() {
    AssignDefaultExpressions();
    try {
        TDataSet::NewRecordStep();
    } catch (...) {
        CancelStep();
        throw;
    }
    TDataSource* master = MasterSource();
    TDataSet* masterSet = master ? master->DataSet() : nullptr;
    if (!masterSet || !masterSet->Active() || FMasterFields.empty() || FDetailFields.empty()) return;
    size_t mp = 0, dp = 0;
    while (mp < FMasterFields.size() && dp < FDetailFields.size()) {
        WideString mName = ExtractFieldName(FMasterFields, mp);
        WideString dName = ExtractFieldName(FDetailFields, dp);
        TField* mField = masterSet->FindField(mName);
        TField* dField = FindField(dName);
        if (!mField || !dField || dField->ReadOnly()) continue;
        if (dynamic_cast<TLargeintField*>(dField))
            dField->SetAsLargeInt(mField->AsLargeInt());
        else
            dField->SetValue(mField->Value());
    }
}

void TMemDataSet::AssignDefaultExpressions() {
    rtl::TScopedValue<bool> assigning(FAssigningDefaults, true);
    for (TField* f : Fields())
        if (!f->DefaultExpression().empty()) f->SetAsString(DefaultExpressionText(f->DefaultExpression()));
}

void TMemDataSet::PerformPost() {
    CheckDataSetService();
    TDataSetUpdater* updater = FDataSetService->Updater();
    if (!updater) return;
    if (FEditing)
        updater->PerformUpdateGuarded();
    else
        updater->PerformInsertGuarded();
}

TUpdateStatus TMemDataSet::UpdateStatusStep() {
    if (!FCachedUpdates || IsEmpty()) return usUnmodified;
    TRecordBuffer b = State() == dsCalcFields ? CalcBuffer() : ActiveBuffer();
    if (!b) return usUnmodified;
    uint8_t s = BufUpdateStatus(b);
    return s <= usDeleted ? static_cast<TUpdateStatus>(s) : usUnmodified;
}

uint8_t TMemDataSet::UpdateResult() {
    UpdateCursorPos();
    CheckIRecordSet();
    return FIRecordSet->GetUpdateResult();
}

// ---------------------------------------------------------------------------------------------
// Cached updates

void TMemDataSet::SetCachedUpdates(bool Value) {
    if (Value == FCachedUpdates) return;
    CheckInactive();
    FCachedUpdates = Value;
    if (FIRecordSet) FIRecordSet->SetCachedUpdates(Value);
}

void TMemDataSet::SetLocalUpdate(bool Value) {
    FLocalUpdate = Value;
    if (FIRecordSet) FIRecordSet->SetLocalUpdate(Value);
}

bool TMemDataSet::UpdatesPending() const { return FIRecordSet && FIRecordSet->HasUpdates(); }

void TMemDataSet::CheckCachedUpdates() {
    if (!FCachedUpdates) DatabaseError(SNotCachedUpdate, this);
}

void TMemDataSet::WithApplyBuffers(const std::function<void()>& Body, bool ResyncOnFailure) {
    FNewCacheRecBuf = AllocRecordBuffer();
    FOldCacheRecBuf = AllocRecordBuffer();
    FApplyingUpdates = true;
    auto cleanUp = [this] {
        FApplyingUpdates = false;
        if (FIRecordSet) FIRecordSet->SetCacheRecBuf(nullptr, nullptr);
        FreeRecordBuffer(FNewCacheRecBuf);
        FreeRecordBuffer(FOldCacheRecBuf);
    };
    try {
        FIRecordSet->SetCacheRecBuf(FNewCacheRecBuf, FOldCacheRecBuf);
        Body();
    } catch (...) {
        cleanUp();
        if (ResyncOnFailure) Resync({});
        throw;
    }
    cleanUp();
    Resync({});
}

void TMemDataSet::ApplyUpdates() { ApplyUpdatesOfKinds(TUpdateKinds{db::ukModify, db::ukInsert, db::ukDelete}); }

void TMemDataSet::ApplyUpdatesOfKinds(TUpdateKinds Kinds) {
    CheckActive();
    FreeBuffersComplexFields();
    if (State() != dsBrowse) Post();
    CheckCachedUpdates();
    UpdateCursorPos();
    CheckIRecordSet();
    uint8_t bits = StoreKinds(Kinds);
    WithApplyBuffers([this, bits] { FIRecordSet->ApplyUpdates(bits); }, true);
}

void TMemDataSet::CommitUpdates() {
    CheckActive();
    CheckCachedUpdates();
    FreeBuffersComplexFields();
    UpdateCursorPos();
    CheckIRecordSet();
    WithApplyBuffers([this] { FIRecordSet->CommitUpdates(); }, false);
}

void TMemDataSet::CancelUpdates() {
    CheckActive();
    if (State() == dsEdit || State() == dsInsert || State() == dsSetKey) Cancel();
    CheckCachedUpdates();
    FreeBuffersComplexFields();
    UpdateCursorPos();
    CheckIRecordSet();
    FIRecordSet->CancelUpdates();
    Resync({});
}

void TMemDataSet::RevertRecord() {
    CheckActive();
    FreeBufferComplexFields(ActiveBuffer(), true);
    if (State() == dsEdit || State() == dsInsert || State() == dsSetKey) Cancel();
    CheckCachedUpdates();
    UpdateCursorPos();
    CheckIRecordSet();
    FIRecordSet->RevertRecord();
    Resync({});
}

// ---------------------------------------------------------------------------------------------
// Store events

void TMemDataSet::DoInsertRecord(void* /*RecBuf*/) {
    if (FDataSetService && FDataSetService->Updater()) FDataSetService->Updater()->PerformInsertGuarded();
}

void TMemDataSet::DoDeleteRecord() {
    if (FDataSetService && FDataSetService->Updater()) FDataSetService->Updater()->PerformDeleteGuarded();
}

void TMemDataSet::DoUpdateRecord(void* /*RecBuf*/) {
    if (FDataSetService && FDataSetService->Updater()) FDataSetService->Updater()->PerformUpdateGuarded();
}

void TMemDataSet::DoApplyRecord(uint8_t UpdateKind, uint8_t& Action, bool LastItem) {
    CheckDataSetService();
    TDataSetUpdater* updater = FDataSetService->Updater();
    if (!updater) return;
    TUpdateAction action = uaFail;
    updater->ApplyRecord(static_cast<TUpdateKind>(UpdateKind), action, LastItem);
    Action = static_cast<uint8_t>(action);
}

void TMemDataSet::DoAfterRevertRecord() {
    if (FDataSetService && FDataSetService->Updater()) FDataSetService->Updater()->AfterRevertRecord();
}

void TMemDataSet::DoAfterApplyUpdates() {
    if (FDataSetService && FDataSetService->Updater()) FDataSetService->Updater()->AfterApplyUpdates();
}

void TMemDataSet::DoBeforeCancelUpdates() {
    if (FDataSetService && FDataSetService->Updater()) FDataSetService->Updater()->BeforeCancelUpdates();
}

}  // namespace store
