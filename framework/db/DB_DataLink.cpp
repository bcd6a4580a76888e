// Data sources and data links: how datasets reach their controls.
#include <algorithm>

#include "framework/db/DB.h"
#include "framework/rtl/Ownership.h"
#include "framework/rtl/Text.h"

namespace db {

// ---------------------------------------------------------------------------------------------
// TDataSource

TDataSource::TDataSource(rtl::TComponent* AOwner) : TComponent(AOwner) {}

TDataSource::~TDataSource() {
    // Only reached without Free: let go silently (no virtual notifications from a destructor).
    for (TDataLink* link : FDataLinks) {
        link->FDataSource = nullptr;
        link->FActive = false;
        link->FEditing = false;
    }
    FDataLinks.clear();
    if (FDataSet) {
        auto& list = FDataSet->FDataSources;
        list.erase(std::remove(list.begin(), list.end(), this), list.end());
        FDataSet = nullptr;
    }
}

void TDataSource::BeforeDestruction() {
    TComponent::BeforeDestruction();
    OnStateChange = nullptr;
    OnDataChange = nullptr;
    OnUpdateData = nullptr;
    SetDataSet(nullptr);
    while (!FDataLinks.empty()) RemoveDataLink(FDataLinks.back());
}

bool TDataSource::IsLinkedTo(TDataSet* DataSet) const {
    int guard = 1000;
    while (DataSet && guard-- > 0) {
        TDataSource* master = DataSet->MasterDataSource();
        if (!master) break;
        if (master == this) return true;
        DataSet = master->DataSet();
    }
    return false;
}

void TDataSource::SetDataSet(TDataSet* Value) {
    if (Value == FDataSet) return;
    if (Value && IsLinkedTo(Value)) DatabaseError(msg::SCircularDataLink, this);
    if (FDataSet) FDataSet->RemoveDataSource(this);
    FDataSet = Value;
    if (Value) Value->AddDataSource(this);
    UpdateState();
}

void TDataSource::SetEnabled(bool Value) {
    if (Value == FEnabled) return;
    FEnabled = Value;
    UpdateState();
}

void TDataSource::Edit() {
    if (FAutoEdit && FState == dsBrowse && FDataSet) FDataSet->Edit();
}

void TDataSource::UpdateState() {
    TDataSetState state = dsInactive;
    if (FEnabled && FDataSet) {
        state = FDataSet->State();
        if (state == dsOpening) state = dsInactive;
    }
    if (state == FState) return;
    FState = state;
    NotifyDataLinks(deUpdateState, 0);
    if (OnStateChange) OnStateChange(this);
}

void TDataSource::AddDataLink(TDataLink* DataLink) {
    FDataLinks.push_back(DataLink);
    DataLink->FDataSource = this;
    if (FDataSet) FDataSet->UpdateBufferCount();
    DataLink->UpdateState();
}

void TDataSource::RemoveDataLink(TDataLink* DataLink) {
    DataLink->FDataSource = nullptr;
    FDataLinks.erase(std::remove(FDataLinks.begin(), FDataLinks.end(), DataLink), FDataLinks.end());
    DataLink->UpdateState();
    if (FDataSet) FDataSet->UpdateBufferCount();
}

void TDataSource::NotifyLinkTypes(TDataEvent Event, intptr_t Info, bool LinkType) {
    std::vector<TDataLink*> links = FDataLinks;
    for (TDataLink* link : links) {
        if (std::find(FDataLinks.begin(), FDataLinks.end(), link) == FDataLinks.end()) continue;
        if (link->FVisualControl != LinkType) continue;
        if (Event == deUpdateState)
            link->UpdateState();
        else if (link->FActive)
            link->DataEvent(Event, Info);
    }
}

void TDataSource::NotifyDataLinks(TDataEvent Event, intptr_t Info) {
    // Non-visual links (details, lookups) first, so that controls paint settled data.
    NotifyLinkTypes(Event, Info, false);
    NotifyLinkTypes(Event, Info, true);
}

void TDataSource::DataEvent(TDataEvent Event, intptr_t Info) {
    if (Event == deUpdateState) {
        UpdateState();
        return;
    }
    if (FState == dsInactive) return;
    NotifyDataLinks(Event, Info);
    switch (Event) {
        case deFieldChange:
        case deRecordChange:
            if (OnDataChange) OnDataChange(this, EventField(Info));
            break;
        case deDataSetChange:
        case deDataSetScroll:
        case deLayoutChange:
            if (OnDataChange) OnDataChange(this, nullptr);
            break;
        case deUpdateRecord:
            if (OnUpdateData) OnUpdateData(this);
            break;
        default: break;
    }
}

void TDataSource::Notification(rtl::TComponent* AComponent, rtl::TOperation Operation) {
    TComponent::Notification(AComponent, Operation);
}

TField* GetFieldProperty(TDataSet* DataSet, rtl::TComponent* Control, const WideString& FieldName) {
    TField* field = DataSet ? DataSet->FindField(FieldName) : nullptr;
    if (!field) DatabaseErrorFmt(msg::SFieldNotFound, {rtl::WideToAnsi(FieldName)}, Control);
    return field;
}

// ---------------------------------------------------------------------------------------------
// TDataLink

TDataLink::TDataLink() = default;

TDataLink::~TDataLink() {
    if (FDataSource) {
        auto& list = FDataSource->FDataLinks;
        list.erase(std::remove(list.begin(), list.end(), this), list.end());
        if (FDataSource->FDataSet) FDataSource->FDataSet->UpdateBufferCount();
        FDataSource = nullptr;
    }
}

TDataSet* TDataLink::DataSet() const noexcept { return FDataSource ? FDataSource->DataSet() : nullptr; }

void TDataLink::SetDataSource(TDataSource* Value) {
    if (Value == FDataSource) return;
    if (FDataSourceFixed) DatabaseError(msg::SDataSourceChange);
    if (FDataSource) FDataSource->RemoveDataLink(this);
    if (Value) Value->AddDataLink(this);
}

void TDataLink::SetReadOnly(bool Value) {
    if (Value == FReadOnly) return;
    FReadOnly = Value;
    UpdateState();
}

void TDataLink::UpdateState() {
    SetActive(FDataSource && FDataSource->State() != dsInactive);
    TDataSetState s = FDataSource ? FDataSource->State() : dsInactive;
    SetEditing(FActive && !FReadOnly && (s == dsEdit || s == dsInsert || s == dsSetKey));
}

void TDataLink::SetActive(bool Value) {
    if (Value == FActive) return;
    FActive = Value;
    if (Value)
        UpdateRange();
    else
        FFirstRecord = 0;
    ActiveChanged();
}

void TDataLink::SetEditing(bool Value) {
    if (Value == FEditing) return;
    FEditing = Value;
    EditingChanged();
}

void TDataLink::UpdateRange() {
    TDataSet* ds = DataSet();
    if (!ds) {
        FFirstRecord = 0;
        return;
    }
    int active = ds->FActiveRecord;
    int lo = std::max(0, active - FBufferCount + 1);
    int hi = std::min(std::max(0, ds->FBufferCount - FBufferCount), active);
    // Prefer a full window: do not leave empty rows below while records exist above.
    hi = std::min(hi, std::max(lo, ds->FRecordCount - FBufferCount));
    if (FFirstRecord < lo) FFirstRecord = lo;
    if (FFirstRecord > hi) FFirstRecord = hi;
    if (FFirstRecord < 0) FFirstRecord = 0;
}

int TDataLink::ApplyShift(int Shift) {
    int old = FFirstRecord;
    FFirstRecord -= Shift;
    UpdateRange();
    return FFirstRecord - old + Shift;
}

int TDataLink::ActiveRecord() const {
    TDataSet* ds = DataSet();
    if (!ds || !FActive) return 0;
    return ds->FActiveRecord - FFirstRecord;
}

void TDataLink::SetActiveRecord(int Value) {
    TDataSet* ds = DataSet();
    if (ds && FActive) ds->SetActiveRecord(Value + FFirstRecord);
}

void TDataLink::SetBufferCount(int Value) {
    if (Value < 1) Value = 1;
    if (Value == FBufferCount) return;
    FBufferCount = Value;
    TDataSet* ds = DataSet();
    if (ds && FActive) {
        ds->UpdateBufferCount();
        UpdateRange();
    }
}

int TDataLink::RecordCount() const {
    TDataSet* ds = DataSet();
    if (!ds || !FActive) return 0;
    return std::clamp(ds->FRecordCount - FFirstRecord, 0, FBufferCount);
}

bool TDataLink::Bof() const {
    TDataSet* ds = DataSet();
    return ds ? ds->Bof() : true;
}

bool TDataLink::Eof() const {
    TDataSet* ds = DataSet();
    return ds ? ds->Eof() : true;
}

bool TDataLink::Edit() {
    if (!FReadOnly && FDataSource) FDataSource->Edit();
    return FEditing;
}

void TDataLink::UpdateRecord() {
    FUpdating = true;
    rtl::TryFinally([&] { UpdateData(); }, [&] { FUpdating = false; });
}

int TDataLink::MoveBy(int Distance) {
    TDataSet* ds = DataSet();
    return ds ? ds->MoveBy(Distance) : 0;
}

void TDataLink::DataEvent(TDataEvent Event, intptr_t Info) {
    switch (Event) {
        case deFieldChange:
        case deRecordChange:
            if (!FUpdating) RecordChanged(EventField(Info));
            break;
        case deDataSetChange:
        case deDataSetScroll:
        case deLayoutChange: {
            int distance = 0;
            if (FDataSource && FDataSource->State() != dsSetKey) {
                if (Event == deDataSetScroll)
                    distance = ApplyShift(static_cast<int>(Info));
                else
                    UpdateRange();
            }
            if (Event == deDataSetChange)
                DataSetChanged();
            else if (Event == deDataSetScroll)
                DataSetScrolled(distance);
            else
                LayoutChanged();
            break;
        }
        case deUpdateRecord: UpdateRecord(); break;
        case deUpdateState: UpdateState(); break;
        case deCheckBrowseMode: CheckBrowseMode(); break;
        case deFocusControl: FocusControl(reinterpret_cast<TField**>(Info)); break;
        default: break;
    }
}

}  // namespace db
