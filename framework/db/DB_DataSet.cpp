// The dataset: state machine, record buffer ring, navigation, editing and data events.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <utility>

#include "framework/db/DB.h"
#include "framework/rtl/Bcd.h"
#include "framework/rtl/DateUtils.h"
#include "framework/rtl/Ownership.h"
#include "framework/rtl/Streams.h"
#include "framework/rtl/Text.h"

namespace db {

namespace {

bool IsEditState(TDataSetState s) { return s == dsEdit || s == dsInsert || s == dsSetKey; }

// Types whose non-native form differs from the native one.
bool NeedsConversion(TFieldType t) { return t == ftBCD || t == ftDate || t == ftTime || t == ftDateTime; }

// Types whose native data is as long as the Size says.
bool IsSizedType(TFieldType t) {
    switch (t) {
        case ftString:
        case ftFixedChar:
        case ftGuid:
        case ftWideString:
        case ftFixedWideChar:
        case ftBytes:
        case ftVarBytes: return true;
        default: return false;
    }
}

}  // namespace

TDataSet::TDataSet(rtl::TComponent* AOwner) : TComponent(AOwner) {
    FFields = std::make_unique<TFields>(this);
    FFieldDefs.reset(rtl::Create<TFieldDefs>(this));
}

TDataSet::~TDataSet() {
    // Without Free the buffers cannot be released here (their layout is the descendant's); the
    // links and fields are still let go so that nothing points at this object.
    for (TDataSource* ds : FDataSources) {
        ds->FDataSet = nullptr;
        ds->FState = dsInactive;
    }
    FDataSources.clear();
    if (FFields) FFields->Clear();
}

void TDataSet::BeforeDestruction() {
    TComponent::BeforeDestruction();
    try {
        SetActive(false);
    } catch (...) {
        // A failing close must not stop the dataset from going away.
    }
    while (!FDataSources.empty()) FDataSources.back()->SetDataSet(nullptr);
    if (FDefaultFields) DestroyFields();
    FFields->Clear();
}

// ---------------------------------------------------------------------------------------------
// Lifecycle

void TDataSet::CheckActive() const {
    if (!Active()) DatabaseError(msg::SDataSetClosed, const_cast<TDataSet*>(this));
}

void TDataSet::CheckInactive() const {
    if (Active()) DatabaseError(msg::SDataSetOpen, const_cast<TDataSet*>(this));
}

void TDataSet::CheckBiDirectional() const {
    if (FIsUniDirectional)
        DatabaseError("Operation not allowed on a unidirectional dataset", const_cast<TDataSet*>(this));
}

void TDataSet::CheckCanModify() const {
    if (!CanModify()) DatabaseError(msg::SDataSetReadOnly, const_cast<TDataSet*>(this));
}

void TDataSet::SetActive(bool Value) {
    if (ComponentState().Contains(rtl::csReading) || ComponentState().Contains(rtl::csLoading)) {
        FStreamedActive = Value;
        return;
    }
    if (Active() == Value) return;
    if (Value) {
        BeforeOpenStep();
        try {
            // dsOpening is internal: the controls see the dataset become active only once it is.
            FState = dsOpening;
            rtl::TScopeExit opened([this] { FState = dsInactive; });
            OpenCursorStep(false);
        } catch (...) {
            // What the failed open left is closed; the open's own error is the one that goes on.
            try {
                CloseCursorStep();
            } catch (...) {
            }
            throw;
        }
        SetState(dsBrowse);
        AfterOpenStep();
    } else {
        bool destroying = ComponentState().Contains(rtl::csDestroying);
        if (!destroying) BeforeCloseStep();
        SetState(dsInactive);
        CloseCursorStep();
        if (!destroying) AfterCloseStep();
    }
}

void TDataSet::Loaded() {
    TComponent::Loaded();
    if (FStreamedActive) {
        FStreamedActive = false;
        SetActive(true);
    }
}

void TDataSet::OpenCursorStep(bool InfoQuery) {
    if (InfoQuery)
        InitFieldDefsStep();
    else
        DoInternalOpen();
}

void TDataSet::DoInternalOpen() {
    FDefaultFields = FFields->Count() == 0;
    OpenStep();
    FInternalOpenComplete = true;
    ClearBuffers();
    UpdateBufferCount();
    FBOF = true;
    FEOF = FRecordCount == 0;
}

void TDataSet::CloseCursorStep() {
    FInternalOpenComplete = false;
    FBlockReadSize = 0;
    SetBufferCount(0);
    ClearBuffers();
    CloseStep();
    if (FDefaultFields) DestroyFields();
}

void TDataSet::InitFieldDefs() {
    if (CursorOpen()) {
        InitFieldDefsStep();
        return;
    }
    OpenCursorStep(true);
    if (CursorOpen()) CloseCursorStep();
}

// ---------------------------------------------------------------------------------------------
// State

void TDataSet::SetState(TDataSetState Value) {
    if (FState == Value) return;
    FState = Value;
    FModified = false;
    DataEvent(deUpdateState, 0);
}

TDataSetState TDataSet::SetTempState(TDataSetState Value) {
    TDataSetState old = FState;
    FState = Value;
    return old;
}

void TDataSet::RestoreState(TDataSetState Value) { FState = Value; }

bool TDataSet::IsEmpty() const noexcept { return FRecordCount == 0; }

// ---------------------------------------------------------------------------------------------
// Buffer ring

TRecordBuffer TDataSet::ActiveBuffer() const {
    if (FBuffers.empty()) return nullptr;
    return FBuffers[static_cast<size_t>(FActiveRecord)];
}

TRecordBuffer TDataSet::Buffers(int Index) const {
    if (Index < 0 || static_cast<size_t>(Index) >= FBuffers.size()) return nullptr;
    return FBuffers[static_cast<size_t>(Index)];
}

void TDataSet::MoveBuffer(int CurIndex, int NewIndex) {
    if (CurIndex == NewIndex) return;
    TRecordBuffer b = FBuffers[static_cast<size_t>(CurIndex)];
    FBuffers.erase(FBuffers.begin() + CurIndex);
    FBuffers.insert(FBuffers.begin() + NewIndex, b);
}

void TDataSet::ClearBuffers() {
    FRecordCount = 0;
    FActiveRecord = 0;
    FCurrentRecord = -1;
    FBOF = true;
    FEOF = true;
}

void TDataSet::ActivateBuffers() {
    FRecordCount = 1;
    FActiveRecord = 0;
    FCurrentRecord = 0;
    FBOF = false;
    FEOF = false;
}

void TDataSet::SetActiveRecord(int Value) {
    if (Value < 0 || Value >= std::max(FRecordCount, 1)) return;
    FActiveRecord = Value;
}

void TDataSet::SetCurrentRecord(int Index) {
    if (FCurrentRecord == Index) return;
    TRecordBuffer buffer = FBuffers[static_cast<size_t>(Index)];
    switch (GetBookmarkFlag(buffer)) {
        case bfCurrent:
        case bfInserted: SetToRecordStep(buffer); break;
        case bfBOF: FirstStep(); break;
        case bfEOF: LastStep(); break;
    }
    FCurrentRecord = Index;
}

void TDataSet::UpdateCursorPos() {
    if (FRecordCount > 0) SetCurrentRecord(FActiveRecord);
}

bool TDataSet::NextRecordStep() {
    if (FRecordCount > 0) SetCurrentRecord(FRecordCount - 1);
    TGetResult r = GetRecordStep(FBuffers[static_cast<size_t>(FRecordCount)], gmNext, true);
    if (r != grOK) {
        CursorPosChanged();
        return false;
    }
    if (FRecordCount == 0) {
        ActivateBuffers();
    } else if (FRecordCount < FBufferCount) {
        ++FRecordCount;
    } else {
        // The ring is full: the first record leaves and the spare slot takes the new one.
        MoveBuffer(0, FRecordCount);
        ++FBufferShift;
    }
    FCurrentRecord = FRecordCount - 1;
    return true;
}

bool TDataSet::PriorRecordStep() {
    if (FRecordCount > 0) SetCurrentRecord(0);
    TGetResult r = GetRecordStep(FBuffers[static_cast<size_t>(FRecordCount)], gmPrior, true);
    if (r != grOK) {
        CursorPosChanged();
        return false;
    }
    if (FRecordCount == 0) {
        ActivateBuffers();
    } else {
        MoveBuffer(FRecordCount, 0);
        --FBufferShift;
        if (FRecordCount < FBufferCount) {
            ++FRecordCount;
            ++FActiveRecord;
        }
    }
    FCurrentRecord = 0;
    return true;
}

int TDataSet::GetNextRecords() {
    int n = 0;
    while (FRecordCount < FBufferCount && NextRecordStep()) ++n;
    return n;
}

int TDataSet::GetPriorRecords() {
    int n = 0;
    while (FRecordCount > 0 && FRecordCount < FBufferCount && PriorRecordStep()) ++n;
    return n;
}

void TDataSet::SetBufferCount(int Value) {
    if (Value < 0) Value = 0;
    if (Value == FBufferCount) return;
    FBufferShift = 0;
    if (Value == 0) {
        for (TRecordBuffer& b : FBuffers) FreeRecordBuffer(b);
        FBuffers.clear();
        FBufferCount = 0;
        ClearBuffers();
        return;
    }
    if (Value > FBufferCount) {
        FBuffers.reserve(static_cast<size_t>(Value) + 1);
        while (FBuffers.size() < static_cast<size_t>(Value) + 1) FBuffers.push_back(AllocRecordBuffer());
        FBufferCount = Value;
        if (FInternalOpenComplete) {
            bool bof = FBOF, eof = FEOF;
            bool wasEmpty = FRecordCount == 0;
            GetNextRecords();
            if (!wasEmpty && FRecordCount < FBufferCount) GetPriorRecords();
            if (!wasEmpty) {
                FBOF = bof;
                FEOF = eof;
            }
        }
    } else {
        if (FRecordCount > Value) {
            // Keep the active record inside the smaller ring: drop records before it first.
            int drop = std::max(0, FActiveRecord - (Value - 1));
            if (drop > 0) {
                std::rotate(FBuffers.begin(), FBuffers.begin() + drop, FBuffers.end());
                FActiveRecord -= drop;
                FRecordCount -= drop;
                FBufferShift += drop;
            }
            if (FRecordCount > Value) FRecordCount = Value;
        }
        for (size_t i = static_cast<size_t>(Value) + 1; i < FBuffers.size(); ++i) FreeRecordBuffer(FBuffers[i]);
        FBuffers.resize(static_cast<size_t>(Value) + 1);
        FBufferCount = Value;
    }
    CursorPosChanged();
    // Links keep their windows on the same records.
    for (TDataSource* ds : FDataSources)
        for (TDataLink* link : ds->FDataLinks) link->ApplyShift(FBufferShift);
    FBufferShift = 0;
}

void TDataSet::UpdateBufferCount() {
    if (!FInternalOpenComplete) return;
    int count = 1;
    if (!FIsUniDirectional)
        for (TDataSource* ds : FDataSources)
            for (TDataLink* link : ds->FDataLinks) count = std::max(count, link->FBufferCount);
    SetBufferCount(count);
    for (TDataSource* ds : FDataSources)
        for (TDataLink* link : ds->FDataLinks) link->UpdateRange();
}

void TDataSet::Resync(TResyncMode Mode) {
    if (FBuffers.empty() || !FInternalOpenComplete) return;
    TRecordBuffer spare = FBuffers[static_cast<size_t>(FRecordCount)];
    if (Mode.Contains(rmExact)) {
        CursorPosChanged();
        if (GetRecordStep(spare, gmCurrent, true) != grOK) DatabaseError(msg::SRecordNotFound, this);
    } else if (GetRecordStep(spare, gmCurrent, false) != grOK && GetRecordStep(spare, gmNext, false) != grOK &&
               GetRecordStep(spare, gmPrior, false) != grOK) {
        ClearBuffers();
        DataEvent(deDataSetChange, 0);
        return;
    }
    int count = Mode.Contains(rmCenter) ? (FBufferCount - 1) / 2 : FActiveRecord;
    count = std::min(count, FBufferCount - 1);
    MoveBuffer(FRecordCount, 0);
    ActivateBuffers();
    rtl::TryFinally(
        [&] {
            while (count > 0 && PriorRecordStep()) --count;
            GetNextRecords();
            GetPriorRecords();
        },
        [&] { DataEvent(deDataSetChange, 0); });
}

// ---------------------------------------------------------------------------------------------
// Navigation

void TDataSet::First() {
    CheckBrowseMode();
    BeforeScrollStep();
    ClearBuffers();
    rtl::TryFinally(
        [&] {
            FirstStep();
            GetNextRecords();
        },
        [&] {
            FBOF = true;
            DataEvent(deDataSetChange, 0);
        });
    AfterScrollStep();
}

void TDataSet::Last() {
    CheckBiDirectional();
    CheckBrowseMode();
    BeforeScrollStep();
    ClearBuffers();
    rtl::TryFinally(
        [&] {
            LastStep();
            if (FBufferCount > 0 && PriorRecordStep()) GetPriorRecords();
        },
        [&] {
            FEOF = true;
            DataEvent(deDataSetChange, 0);
        });
    AfterScrollStep();
}

void TDataSet::Next() {
    if (FBlockReadSize > 0)
        BlockReadNextStep();
    else
        MoveBy(1);
}

void TDataSet::Prior() { MoveBy(-1); }

int TDataSet::MoveBy(int Distance) {
    CheckBrowseMode();
    if (Distance < 0) CheckBiDirectional();
    int result = 0;
    if ((Distance > 0 && !FEOF) || (Distance < 0 && !FBOF)) {
        FBOF = false;
        FEOF = false;
        BeforeScrollStep();
        FBufferShift = 0;
        int shift = 0;
        try {
            rtl::TScopeExit takeShift([&] { shift = std::exchange(FBufferShift, 0); });
            while (Distance > 0) {
                if (FActiveRecord < FRecordCount - 1) {
                    ++FActiveRecord;
                } else if (NextRecordStep()) {
                    FActiveRecord = FRecordCount - 1;
                } else {
                    FEOF = true;
                    break;
                }
                --Distance;
                ++result;
            }
            while (Distance < 0) {
                if (FActiveRecord > 0) {
                    --FActiveRecord;
                } else if (PriorRecordStep()) {
                    FActiveRecord = 0;
                } else {
                    FBOF = true;
                    break;
                }
                ++Distance;
                --result;
            }
        } catch (...) {
            // A move that failed part-way leaves the controls to draw every record again.
            DataEvent(deDataSetChange, 0);
            throw;
        }
        DataEvent(deDataSetScroll, shift);
        AfterScrollStep();
    }
    return result;
}

bool TDataSet::FindFirst() {
    FFound = FindRecordStep(true, true);
    return FFound;
}

bool TDataSet::FindLast() {
    FFound = FindRecordStep(true, false);
    return FFound;
}

bool TDataSet::FindNext() {
    FFound = FindRecordStep(false, true);
    return FFound;
}

bool TDataSet::FindPrior() {
    FFound = FindRecordStep(false, false);
    return FFound;
}

// ---------------------------------------------------------------------------------------------
// Editing

void TDataSet::CheckOperation(void (TDataSet::*Operation)(), const TDataSetErrorEvent& ErrorEvent) {
    for (;;) {
        try {
            UpdateCursorPos();
            (this->*Operation)();
            return;
        } catch (EDatabaseError& E) {
            TDataAction action = daFail;
            if (ErrorEvent) ErrorEvent(this, E, action);
            if (action == daFail) throw;
            if (action == daAbort) rtl::Abort();
        }
    }
}

void TDataSet::BeginInsertAppend() {
    CheckBrowseMode();
    CheckCanModify();
    BeforeInsertStep();
    BeforeScrollStep();
}

void TDataSet::EndInsertAppend() {
    SetState(dsInsert);
    try {
        NewRecordStep();
    } catch (...) {
        UpdateCursorPos();
        SetState(dsBrowse);
        Resync({});
        throw;
    }
    FModified = false;
    DataEvent(deDataSetChange, 0);
    AfterInsertStep();
    AfterScrollStep();
}

void TDataSet::Insert() {
    BeginInsertAppend();
    TBookmark oldCurrent = GetBookmark();
    MoveBuffer(FRecordCount, FActiveRecord);
    TRecordBuffer buffer = ActiveBuffer();
    CursorPosChanged();
    InitNewRecord(buffer);
    if (FRecordCount == 0)
        SetBookmarkFlag(buffer, bfBOF);
    else if (!oldCurrent.empty())
        SetBookmarkData(buffer, oldCurrent.data());
    if (FRecordCount < FBufferCount) ++FRecordCount;
    FBOF = false;
    FEOF = false;
    InsertStep();
    EndInsertAppend();
}

void TDataSet::Append() {
    BeginInsertAppend();
    ClearBuffers();
    TRecordBuffer buffer = FBuffers[0];
    InitNewRecord(buffer);
    SetBookmarkFlag(buffer, bfEOF);
    FRecordCount = 1;
    FActiveRecord = 0;
    FBOF = false;
    FEOF = false;
    GetPriorRecords();
    InsertStep();
    EndInsertAppend();
}

void TDataSet::Edit() {
    if (FState == dsEdit || FState == dsInsert) return;
    if (FRecordCount == 0) {
        Insert();
        return;
    }
    CheckBrowseMode();
    CheckCanModify();
    BeforeEditStep();
    CheckOperation(&TDataSet::EditStep, OnEditError);
    GetCalcFields(ActiveBuffer());
    SetState(dsEdit);
    DataEvent(deRecordChange, 0);
    AfterEditStep();
}

void TDataSet::Post() {
    UpdateRecord();
    if (FState != dsEdit && FState != dsInsert) {
        if (FState == dsSetKey) SetState(dsBrowse);
        return;
    }
    DataEvent(deCheckBrowseMode, 0);
    BeforePostStep();
    CheckOperation(&TDataSet::PostStep, OnPostError);
    SetState(dsBrowse);
    Resync({});
    AfterPostStep();
}

void TDataSet::Cancel() {
    switch (FState) {
        case dsEdit:
        case dsInsert: {
            DataEvent(deCheckBrowseMode, 0);
            BeforeCancelStep();
            UpdateCursorPos();
            CancelStep();
            SetState(dsBrowse);
            Resync({});
            AfterCancelStep();
            break;
        }
        case dsSetKey: SetState(dsBrowse); break;
        default: break;
    }
}

void TDataSet::Delete() {
    CheckActive();
    if (FState == dsInsert || FState == dsSetKey) {
        Cancel();
        return;
    }
    if (FRecordCount == 0) DatabaseError(msg::SDataSetEmpty, this);
    DataEvent(deCheckBrowseMode, 0);
    BeforeDeleteStep();
    BeforeScrollStep();
    CheckOperation(&TDataSet::DeleteStep, OnDeleteError);
    SetState(dsBrowse);
    Resync({});
    AfterDeleteStep();
    AfterScrollStep();
}

void TDataSet::Refresh() {
    BeforeRefreshStep();
    CheckBrowseMode();
    UpdateCursorPos();
    rtl::TryFinally([&] { RefreshStep(); }, [&] { Resync({}); });
    AfterRefreshStep();
}

void TDataSet::CheckBrowseMode() {
    CheckActive();
    DataEvent(deCheckBrowseMode, 0);
    switch (FState) {
        case dsEdit:
        case dsInsert:
            UpdateRecord();
            if (FModified)
                Post();
            else
                Cancel();
            break;
        case dsSetKey: Post(); break;
        default: break;
    }
}

void TDataSet::UpdateRecord() {
    if (!IsEditState(FState)) DatabaseError(msg::SNotEditing, this);
    DataEvent(deUpdateRecord, 0);
}

void TDataSet::ClearFields() {
    if (!IsEditState(FState)) DatabaseError(msg::SNotEditing, this);
    TRecordBuffer buffer = ActiveBuffer();
    InitRecordStep(buffer);
    if (FState != dsSetKey) GetCalcFields(buffer);
    DataEvent(deRecordChange, 0);
}

void TDataSet::PostStep() { CheckRequiredFields(); }

void TDataSet::CheckRequiredFields() {
    for (TField* f : *FFields) {
        if (f->Required() && !f->ReadOnly() && f->FieldKind() == fkData && f->IsNull()) {
            f->FocusControl();
            DatabaseErrorFmt(msg::SFieldRequired, {f->DisplayNameA()});
        }
    }
}

void TDataSet::InitNewRecord(TRecordBuffer Buffer) {
    InitRecordStep(Buffer);
    ClearCalcFieldsStep(Buffer);
    SetBookmarkFlag(Buffer, bfInserted);
}

void TDataSet::HandleErrorStep() { rtl::HandleException(); }

int TDataSet::CompareBookmarksStep(const TBookmark& /*Bookmark1*/, const TBookmark& /*Bookmark2*/) { return 0; }

// ---------------------------------------------------------------------------------------------
// Bookmarks

bool TDataSet::BookmarkAvailable() const {
    switch (FState) {
        case dsInactive:
        case dsSetKey:
        case dsOpening: return false;
        default: break;
    }
    if (FBookmarkSize <= 0 || FRecordCount == 0) return false;
    TRecordBuffer buffer = FState == dsCalcFields && FCalcBuffer ? FCalcBuffer : ActiveBuffer();
    return buffer && const_cast<TDataSet*>(this)->GetBookmarkFlag(buffer) == bfCurrent;
}

TBookmark TDataSet::GetBookmark() const {
    if (!BookmarkAvailable()) return {};
    TBookmark result(static_cast<size_t>(FBookmarkSize), '\0');
    TRecordBuffer buffer = FState == dsCalcFields && FCalcBuffer ? FCalcBuffer : ActiveBuffer();
    const_cast<TDataSet*>(this)->GetBookmarkData(buffer, result.data());
    return result;
}

void TDataSet::GotoBookmark(const TBookmark& Bookmark) {
    if (Bookmark.empty()) return;
    CheckBrowseMode();
    BeforeScrollStep();
    GotoBookmarkStep(Bookmark.data());
    Resync(TResyncMode{rmExact, rmCenter});
    AfterScrollStep();
}

// ---------------------------------------------------------------------------------------------
// Search and filter

bool TDataSet::Locate(const WideString& /*KeyFields*/, const Variant& /*KeyValues*/, TLocateOptions /*Options*/) {
    return false;
}

Variant TDataSet::Lookup(const WideString& /*KeyFields*/, const Variant& /*KeyValues*/,
                         const WideString& /*ResultFields*/) {
    return Variant::Null();
}

void TDataSet::ChangeFiltered(bool Value) { FFiltered = Value; }
void TDataSet::ChangeFilterText(const AnsiString& Value) { FFilterText = Value; }
void TDataSet::ChangeFilterOptions(TFilterOptions Value) { FFilterOptions = Value; }
void TDataSet::ChangeOnFilterRecord(TFilterRecordEvent Value) { FOnFilterRecord = std::move(Value); }

void TDataSet::ChangeBlockReadSize(int Value) {
    if (Value == FBlockReadSize) return;
    if (Value > 0 || Value < -1) {
        if (FState != dsBlockRead) {
            CheckActive();
            CheckBrowseMode();
        }
        FBlockReadSize = Value;
        FState = dsBlockRead;
    } else {
        FBlockReadSize = Value;
        if (FState == dsBlockRead) {
            FState = dsBrowse;
            CursorPosChanged();
            UpdateCursorPos();
            Resync({});
        }
    }
}

void TDataSet::BlockReadNextStep() { MoveBy(1); }

// ---------------------------------------------------------------------------------------------
// Controls and data events

void TDataSet::DisableControls() {
    if (FDisableCount == 0) {
        FDisableState = FState;
        FDisabledActive = FState != dsInactive;
        FEnableEvent = -1;
    }
    ++FDisableCount;
}

void TDataSet::EnableControls() {
    if (FDisableCount == 0) return;
    if (--FDisableCount > 0) return;
    int pending = FEnableEvent;
    FEnableEvent = -1;
    if (FDisableState != FState) NotifyDataSources(deUpdateState, 0);
    if (FDisableState != dsInactive && FState != dsInactive && pending >= 0)
        NotifyDataSources(static_cast<TDataEvent>(pending), 0);
}

void TDataSet::NotifyDataEvent(TDataEvent Event, intptr_t Info) {
    switch (Event) {
        case deFieldChange: {
            TField* field = EventField(Info);
            if (field && (field->FieldKind() == fkData || field->FieldKind() == fkInternalCalc)) FModified = true;
            UpdateCalcFields();
            if (field) field->Change();
            break;
        }
        case dePropertyChange: FFieldDefs->SetUpdated(false); break;
        default: break;
    }
    if (FDisableCount == 0) {
        NotifyDataSources(Event, Info);
        return;
    }
    switch (Event) {
        case deUpdateState:
            // Controls that keep field references must learn that the fields may be gone.
            if ((FState != dsInactive) != FDisabledActive) {
                FDisabledActive = FState != dsInactive;
                NotifyDataSources(deDisabledStateChange, FDisabledActive ? 1 : 0);
            }
            if (FState == dsInactive)
                FEnableEvent = deLayoutChange;
            else if (FEnableEvent != deLayoutChange)
                FEnableEvent = deDataSetChange;
            break;
        case deLayoutChange:
        case deFieldListChange: FEnableEvent = deLayoutChange; break;
        case deFieldChange:
        case deRecordChange:
        case deDataSetChange:
        case deDataSetScroll:
            if (FEnableEvent != deLayoutChange) FEnableEvent = deDataSetChange;
            break;
        default: break;
    }
}

void TDataSet::NotifyDataSources(TDataEvent Event, intptr_t Info) {
    std::vector<TDataSource*> sources = FDataSources;
    for (TDataSource* ds : sources)
        if (std::find(FDataSources.begin(), FDataSources.end(), ds) != FDataSources.end()) ds->DataEvent(Event, Info);
}

void TDataSet::AddDataSource(TDataSource* DataSource) {
    FDataSources.push_back(DataSource);
    UpdateBufferCount();
}

void TDataSet::RemoveDataSource(TDataSource* DataSource) {
    auto it = std::find(FDataSources.begin(), FDataSources.end(), DataSource);
    if (it != FDataSources.end()) FDataSources.erase(it);
    UpdateBufferCount();
}

bool TDataSet::IsLinkedTo(TDataSource* DataSource) const {
    // A chain longer than this is a cycle already.
    int guard = 1000;
    TDataSet* ds = DataSource ? DataSource->DataSet() : nullptr;
    while (ds && guard-- > 0) {
        if (ds == this) return true;
        TDataSource* master = ds->MasterDataSource();
        ds = master ? master->DataSet() : nullptr;
    }
    return false;
}

void TDataSet::Notification(rtl::TComponent* AComponent, rtl::TOperation Operation) {
    TComponent::Notification(AComponent, Operation);
}

void TDataSet::BeforeOpenStep() { FireEvent(BeforeOpen); }
void TDataSet::AfterOpenStep() { FireEvent(AfterOpen); }
void TDataSet::BeforeCloseStep() { FireEvent(BeforeClose); }
void TDataSet::AfterCloseStep() { FireEvent(AfterClose); }
void TDataSet::BeforeInsertStep() { FireEvent(BeforeInsert); }
void TDataSet::AfterInsertStep() { FireEvent(AfterInsert); }
void TDataSet::BeforeEditStep() { FireEvent(BeforeEdit); }
void TDataSet::AfterEditStep() { FireEvent(AfterEdit); }
void TDataSet::BeforePostStep() { FireEvent(BeforePost); }
void TDataSet::AfterPostStep() { FireEvent(AfterPost); }
void TDataSet::BeforeCancelStep() { FireEvent(BeforeCancel); }
void TDataSet::AfterCancelStep() { FireEvent(AfterCancel); }
void TDataSet::BeforeDeleteStep() { FireEvent(BeforeDelete); }
void TDataSet::AfterDeleteStep() { FireEvent(AfterDelete); }
void TDataSet::BeforeScrollStep() { FireEvent(BeforeScroll); }
void TDataSet::AfterScrollStep() { FireEvent(AfterScroll); }
void TDataSet::BeforeRefreshStep() { FireEvent(BeforeRefresh); }
void TDataSet::AfterRefreshStep() { FireEvent(AfterRefresh); }
void TDataSet::NewRecordStep() { FireEvent(OnNewRecord); }
void TDataSet::CalcFieldsStep() { FireEvent(OnCalcFields); }

// ---------------------------------------------------------------------------------------------
// Fields

TField* TDataSet::FieldByName(const WideString& FieldName) const { return FFields->FieldByName(FieldName); }
TField* TDataSet::FieldByName(std::string_view FieldName) const {
    return FFields->FieldByName(rtl::AnsiToWide(FieldName));
}
TField* TDataSet::FindField(const WideString& FieldName) const { return FFields->FindField(FieldName); }
TField* TDataSet::FindField(std::string_view FieldName) const { return FFields->FindField(rtl::AnsiToWide(FieldName)); }

void TDataSet::GetFieldList(std::vector<TField*>& List, const WideString& FieldNames) const {
    size_t pos = 0;
    while (pos < FieldNames.size()) {
        WideString name = ExtractFieldName(FieldNames, pos);
        if (!name.empty()) List.push_back(FieldByName(name));
    }
}

Variant TDataSet::FieldValues(const WideString& FieldName) const {
    if (FieldName.find(u';') == WideString::npos) return FieldByName(FieldName)->Value();
    std::vector<TField*> list;
    GetFieldList(list, FieldName);
    std::vector<Variant> values;
    values.reserve(list.size());
    for (TField* f : list) values.push_back(f->Value());
    return Variant::VarArray(std::move(values));
}

void TDataSet::SetFieldValues(const WideString& FieldName, const Variant& Value) {
    if (FieldName.find(u';') == WideString::npos) {
        FieldByName(FieldName)->SetValue(Value);
        return;
    }
    std::vector<TField*> list;
    GetFieldList(list, FieldName);
    // Null clears every field; otherwise each field needs its own value, and all are taken before
    // any is written so that a short or scalar value changes nothing.
    std::vector<Variant> values(list.size(), Variant::Null());
    if (!Value.IsNull() && !Value.IsEmpty()) {
        if (!Value.IsArray()) throw rtl::EVariantBadIndexError("Variant or safe array index out of bounds");
        for (size_t i = 0; i < list.size(); ++i)
            values[i] = Value.GetElement(Value.ArrayLowBound() + static_cast<int>(i));
    }
    for (size_t i = 0; i < list.size(); ++i) list[i]->SetValue(values[i]);
}

std::vector<WideString> TDataSet::GetFieldNames() const {
    std::vector<WideString> names;
    if (FFields->Count() == 0) {
        const_cast<TDataSet*>(this)->FFieldDefs->Update();
        for (int i = 0; i < FFieldDefs->Count(); ++i) names.push_back(FFieldDefs->Items(i)->Name());
    } else {
        for (TField* f : *FFields) names.push_back(f->FieldName());
    }
    return names;
}

void TDataSet::GetFieldNames(rtl::TStrings* List) const {
    List->BeginUpdate();
    rtl::TryFinally(
        [&] {
            List->Clear();
            for (const WideString& n : GetFieldNames()) List->Add(rtl::WideToAnsi(n));
        },
        [&] { List->EndUpdate(); });
}

void TDataSet::UpdateFieldDefList() {
    FFieldDefList.clear();
    std::function<void(TFieldDefs&)> add = [&](TFieldDefs& defs) {
        for (int i = 0; i < defs.Count(); ++i) {
            TFieldDef* def = defs.Items(i);
            FFieldDefList.push_back(def);
            if (def->HasChildDefs()) add(*def->ChildDefs());
        }
    };
    add(*FFieldDefs);
}

void TDataSet::SetObjectView(bool Value) {
    CheckInactive();
    FObjectView = Value;
}

void TDataSet::SetSparseArrays(bool Value) {
    CheckInactive();
    FSparseArrays = Value;
}

void TDataSet::CreateFields() {
    for (int i = 0; i < FFieldDefs->Count(); ++i) {
        TFieldDef* def = FFieldDefs->Items(i);
        if (def->DataType() == ftUnknown) continue;
        if (def->Attributes().Contains(faHiddenCol) && !FFieldDefs->HiddenFields()) continue;
        def->CreateField(this);
    }
}

void TDataSet::DestroyFields() {
    while (FFields->Count() > 0) {
        TField* f = FFields->Fields(FFields->Count() - 1);
        FFields->Remove(f);
        f->FDataSet = nullptr;
        rtl::TObject::Free(f);
    }
}

void TDataSet::BindFields(bool Binding) {
    FCalcFieldsSize = 0;
    FHasCalcFields = false;
    FHasLookupFields = false;
    if (!Binding) return;
    if (FFieldDefList.empty() && FFieldDefs->Count() > 0) UpdateFieldDefList();
    for (TField* f : *FFields) {
        switch (f->FieldKind()) {
            case fkData: {
                TFieldDef* def = nullptr;
                if (f->ParentField()) {
                    WideString full = f->FullName();
                    for (TFieldDef* d : FFieldDefList)
                        if (rtl::WideSameText(d->FullName(), full)) def = d;
                } else {
                    def = FFieldDefs->FindDef(f->FieldName());
                }
                if (!def) DatabaseErrorFmt(msg::SFieldNotFound, {f->DisplayNameA()}, this);
                CheckFieldCompatibility(f, def);
                // The dataset copies the definition's bytes into the field's buffer: a smaller
                // field would be overrun, a larger one would leave text unterminated.
                if (IsSizedType(def->DataType()) && f->Size() != def->Size())
                    DatabaseErrorFmt(msg::SFieldSizeMismatch,
                                     {f->DisplayNameA(), rtl::IntToStr(f->Size()), rtl::IntToStr(def->Size())}, this);
                f->FFieldNo = def->FieldNo();
                break;
            }
            case fkInternalCalc: FHasCalcFields = true; break;
            case fkCalculated:
            case fkLookup:
                f->FFieldNo = -1;
                f->FOffset = FCalcFieldsSize;
                FCalcFieldsSize += f->DataSize() + 1;
                FHasCalcFields = true;
                if (f->FieldKind() == fkLookup) {
                    FHasLookupFields = true;
                    if (!f->LookupDataSet() || f->KeyFields().empty() || f->LookupKeyFields().empty() ||
                        f->LookupResultField().empty())
                        DatabaseErrorFmt(msg::SLookupInfoError, {f->DisplayNameA()}, this);
                    if (f->LookupCache() && f->LookupDataSet()->Active()) f->RefreshLookupList();
                }
                break;
            case fkAggregate: break;
        }
    }
}

void TDataSet::CheckFieldCompatibility(TField* Field, TFieldDef* FieldDef) {
    auto family = [](TFieldType t) {
        switch (t) {
            case ftFixedChar: return ftString;
            case ftFixedWideChar: return ftWideString;
            case ftAutoInc: return ftInteger;
            case ftOraTimeStamp: return ftTimeStamp;
            default: return t;
        }
    };
    // A field reads and writes its own native layout: another family would misread the record.
    if (family(Field->DataType()) != family(FieldDef->DataType()))
        DatabaseErrorFmt(msg::SFieldTypeMismatch,
                         {Field->DisplayNameA(), FieldTypeName(Field->DataType()), FieldTypeName(FieldDef->DataType())},
                         this);
}

void TDataSet::RegisterNestedDataSet(TDataSet* DataSet, bool Register) {
    auto it = std::find(FNestedDataSets.begin(), FNestedDataSets.end(), DataSet);
    if (Register && it == FNestedDataSets.end()) FNestedDataSets.push_back(DataSet);
    if (!Register && it != FNestedDataSets.end()) FNestedDataSets.erase(it);
}

void TDataSet::ClearCalcFieldsStep(TRecordBuffer Buffer) {
    if (Buffer && FCalcFieldsSize > 0) std::memset(Buffer + RecordSizeOf(), 0, static_cast<size_t>(FCalcFieldsSize));
}

void TDataSet::GetCalcFields(TRecordBuffer Buffer) {
    if (FHasCalcFields) CalculateFields(Buffer);
}

void TDataSet::CalculateFields(TRecordBuffer Buffer) {
    TRecordBuffer previous = FCalcBuffer;
    FCalcBuffer = Buffer;
    TDataSetState saved = SetTempState(dsCalcFields);
    rtl::TryFinally(
        [&] {
            ClearCalcFieldsStep(Buffer);
            if (FHasLookupFields)
                for (TField* f : *FFields)
                    if (f->FieldKind() == fkLookup) f->CalcLookupValue();
            CalcFieldsStep();
        },
        [&] {
            RestoreState(saved);
            FCalcBuffer = previous;
        });
}

void TDataSet::UpdateCalcFields() {
    if (!FAutoCalcFields || !FHasCalcFields) return;
    if (FState != dsEdit && FState != dsInsert) return;
    GetCalcFields(ActiveBuffer());
}

// ---------------------------------------------------------------------------------------------
// Field data

Variant TDataSet::StateFieldValue(TDataSetState State, TField* Field) {
    TDataSetState saved = SetTempState(State);
    return rtl::TryFinally([&] { return Field->IsNull() ? Variant::Null() : Field->Value(); },
                           [&] { RestoreState(saved); });
}

void TDataSet::SetStateFieldValue(TDataSetState State, TField* Field, const Variant& Value) {
    TDataSetState saved = SetTempState(State);
    rtl::TryFinally([&] { Field->SetValue(Value); }, [&] { RestoreState(saved); });
}

bool TDataSet::GetFieldValue(TField* /*Field*/, void* /*Dest*/) { return false; }

bool TDataSet::FieldBytes(TField* /*Field*/, TFieldBytes& /*Place*/) { return false; }

const uint8_t* TDataSet::FieldBytesRecord() { return nullptr; }

bool TDataSet::GetFieldValueByNo(int FieldNo, void* Dest) {
    TField* f = FFields->FieldByNumber(FieldNo);
    return f ? GetFieldValue(f, Dest) : false;
}

bool TDataSet::GetFieldValueNative(TField* Field, void* Dest, bool NativeFormat) {
    if (NativeFormat || !Dest || !NeedsConversion(Field->DataType())) return GetFieldValue(Field, Dest);
    // Dates and decimals are read on every row of a scan: their native data fits on the stack.
    const size_t size = std::max<size_t>(static_cast<size_t>(Field->DataSize()), sizeof(rtl::TBcd));
    alignas(16) uint8_t local[64];
    std::vector<uint8_t> heap;
    uint8_t* temp = local;
    if (size > sizeof local) {
        heap.resize(size);
        temp = heap.data();
    } else {
        std::memset(local, 0, size);
    }
    bool present = GetFieldValue(Field, temp);
    if (present) ConvertFieldData(Field, temp, Dest, false);
    return present;
}

void TDataSet::PutFieldValue(TField* /*Field*/, const void* /*Source*/) {}

void TDataSet::PutFieldValueNative(TField* Field, const void* Source, bool NativeFormat) {
    if (NativeFormat || !Source || !NeedsConversion(Field->DataType())) {
        PutFieldValue(Field, Source);
        return;
    }
    std::vector<uint8_t> temp(std::max<size_t>(static_cast<size_t>(Field->DataSize()), sizeof(rtl::TBcd)));
    ConvertFieldData(Field, Source, temp.data(), true);
    PutFieldValue(Field, temp.data());
}

void TDataSet::ConvertFieldData(TField* Field, const void* Source, void* Dest, bool ToNative) {
    switch (Field->DataType()) {
        case ftBCD:
            if (ToNative) {
                rtl::Currency c;
                std::memcpy(&c.Value, Source, sizeof(c.Value));
                rtl::TBcd bcd = rtl::CurrToBcd(c);
                std::memcpy(Dest, &bcd, sizeof(bcd));
            } else {
                rtl::TBcd bcd;
                std::memcpy(&bcd, Source, sizeof(bcd));
                rtl::Currency c = rtl::BcdToCurr(bcd);
                std::memcpy(Dest, &c.Value, sizeof(c.Value));
            }
            return;
        case ftDate:
        case ftTime:
        case ftDateTime: {
            bool date = Field->DataType() == ftDate, time = Field->DataType() == ftTime;
            if (ToNative) {
                rtl::TDateTime dt;
                std::memcpy(&dt, Source, sizeof(dt));
                rtl::TTimeStamp ts = rtl::DateTimeToTimeStamp(dt);
                if (date || time) {
                    int32_t v = date ? ts.Date : ts.Time;
                    std::memcpy(Dest, &v, sizeof(v));
                } else {
                    double ms = static_cast<double>(rtl::TimeStampToMSecs(ts));
                    std::memcpy(Dest, &ms, sizeof(ms));
                }
            } else {
                rtl::TTimeStamp ts;
                if (date || time) {
                    int32_t v;
                    std::memcpy(&v, Source, sizeof(v));
                    ts.Date = date ? v : 693594;  // a time alone lies on 1899-12-30
                    ts.Time = date ? 0 : v;
                } else {
                    double ms;
                    std::memcpy(&ms, Source, sizeof(ms));
                    if (!std::isfinite(ms) || ms < 0 || ms > 9.2e18)
                        throw rtl::EConvertError(rtl::Format("'%s' is not a valid timestamp", {rtl::FloatToStr(ms)}));
                    ts = rtl::MSecsToTimeStamp(std::llround(ms));
                }
                rtl::TDateTime dt = rtl::TimeStampToDateTime(ts);
                std::memcpy(Dest, &dt, sizeof(dt));
            }
            return;
        }
        default: CopyFieldData(Field->DataType(), Dest, Source, static_cast<size_t>(Field->DataSize())); return;
    }
}

rtl::TStream* TDataSet::NewBlobStream(TField* Field, TBlobStreamMode /*Mode*/) { Field->AccessError("Blob"); }

// The text read from the stream straight into the value's own block, with no string in between;
// a wide text ignores a trailing odd byte.
template <class C>
static Variant ReadStreamText(rtl::TStream* Stream) {
    int64_t size = Stream ? Stream->Size() : 0;
    size_t count = size > 0 ? static_cast<size_t>(size) / sizeof(C) : 0;
    C* chars = nullptr;
    Variant v = Variant::UninitTextOf(count, &chars);
    if (count > 0) {
        Stream->SetPosition(0);
        Stream->ReadBuffer(chars, static_cast<int64_t>(count * sizeof(C)));
    }
    return v;
}

Variant TDataSet::ReadBlobText(TField* Field, bool Wide) {
    rtl::TOwnedPtr<rtl::TStream> s(NewBlobStream(Field, bmRead));
    return Wide ? ReadStreamText<char16_t>(s.get()) : ReadStreamText<char>(s.get());
}

void TDataSet::CollectDetailLinkFields(std::vector<TField*>& MasterFields, std::vector<TField*>& DetailFields) {
    MasterFields.clear();
    DetailFields.clear();
}

}  // namespace db
