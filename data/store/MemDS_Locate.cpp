// Master/detail link, sort, filter and key search of the memory dataset. Key search and the
// local master/detail filter keep the base behaviour here until they are filled in.
#include "data/store/DAConsts.h"
#include "data/store/MemDS.h"
#include "framework/rtl/SysUtils.h"

namespace store {

using namespace db;

// ---------------------------------------------------------------------------------------------
// TDADetailDataLink

TDataSet* TDADetailDataLink::GetDetailDataSet() const { return FDetailDataSet; }

void TDADetailDataLink::ActiveChanged() {
    if (FDetailDataSet->Active() && !FDetailDataSet->ComponentState().Contains(rtl::csDestroying) && Active())
        FDetailDataSet->RefreshMasterFilter();
}

void TDADetailDataLink::CheckBrowseMode() {
    if (!FDetailDataSet->Active()) return;
    TDataSet* master = DataSet();
    bool masterInserting = master && master->State() == dsInsert;
    TDataSetState s = FDetailDataSet->State();
    if (!masterInserting || (s != dsEdit && s != dsInsert)) FDetailDataSet->CheckBrowseMode();
}

void TDADetailDataLink::RecordChanged(TField* Field) {
    if (!FDetailDataSet->Active()) return;
    TDataSet* master = DataSet();
    bool masterInserting = master && master->State() == dsInsert;
    TDataSetState s = FDetailDataSet->State();
    if (!Field || (s != dsEdit && s != dsInsert && !masterInserting)) FDetailDataSet->RefreshMasterFilter();
}

// ---------------------------------------------------------------------------------------------
// Master/detail

TDataSource* TMemDataSet::MasterSource() const { return FDataLink ? FDataLink->DataSource() : nullptr; }
TDataSource* TMemDataSet::MasterDataSource() const { return MasterSource(); }

bool TMemDataSet::HasMasterDetailLink() const {
    return MasterSource() && !FMasterFields.empty() && !FDetailFields.empty();
}

bool TMemDataSet::MasterIsActive() const {
    TDataSource* ds = MasterSource();
    return ds && ds->DataSet() && ds->DataSet()->Active();
}

void TMemDataSet::SetMasterSource(TDataSource* Value) {
    if (Value == MasterSource()) return;
    if (Value && IsLinkedTo(Value)) DatabaseError(msg::SCircularDataLink, this);
    bool wasLinked = HasMasterDetailLink();
    FDataLink->SetDataSource(Value);
    SetLocalMasterDetail();
    if (wasLinked || HasMasterDetailLink()) RefreshMasterFilter();
}

void TMemDataSet::SetMasterFields(const WideString& Value) {
    if (Value == FMasterFields) return;
    bool wasLinked = HasMasterDetailLink();
    FMasterFields = Value;
    SetLocalMasterDetail();
    if (wasLinked || HasMasterDetailLink()) RefreshMasterFilter();
}

void TMemDataSet::SetDetailFields(const WideString& Value) {
    if (Value == FDetailFields) return;
    bool wasLinked = HasMasterDetailLink();
    FDetailFields = Value;
    SetLocalMasterDetail();
    if (wasLinked || HasMasterDetailLink()) RefreshMasterFilter();
}

void TMemDataSet::SetDetailDelay(int Value) { FDetailDelay = Value; }

bool TMemDataSet::UseMasterDetail() { return HasMasterDetailLink(); }

bool TMemDataSet::UpdateMasterValues() { return true; }

void TMemDataSet::RefreshDetail() {
    if (!Active() || !UseMasterDetail()) return;
    FIRecordSet->FilterUpdated();
    Resync({});
    First();
}

void TMemDataSet::RefreshMasterFilter() {
    if (!Active()) return;
    UpdateMasterValues();
    FIRecordSet->FilterUpdated();
    Resync({});
}

void TMemDataSet::SetLocalMasterDetail() {
    if (FIRecordSet) FIRecordSet->FilterMDFunc = nullptr;
}

void TMemDataSet::CollectDetailLinkFields(std::vector<TField*>& MasterList, std::vector<TField*>& DetailList) {
    MasterList.clear();
    DetailList.clear();
    TDataSource* src = MasterSource();
    TDataSet* master = src ? src->DataSet() : nullptr;
    if (!master || FMasterFields.empty() || FDetailFields.empty() || !master->Active()) return;
    size_t mp = 0, dp = 0;
    while (mp < FMasterFields.size() && dp < FDetailFields.size()) {
        TField* m = master->FindField(ExtractFieldName(FMasterFields, mp));
        WideString dName = ExtractFieldName(FDetailFields, dp);
        if (!m) continue;
        MasterList.push_back(m);
        if (TField* d = FindField(dName)) DetailList.push_back(d);
    }
}

// ---------------------------------------------------------------------------------------------
// Sort

void TMemDataSet::SetIndexFieldNames(const AnsiString& Value) {
    if (Active()) {
        CheckBrowseMode();
        UpdateCursorPos();
    }
    if (TMemData* md = MemData()) {
        md->SetIndexFieldNames(Value);
        if (Active() && !md->SortColumns().empty()) Resync({});
    }
    FIndexFieldNames = Value;
}

// ---------------------------------------------------------------------------------------------
// Filter

void TMemDataSet::RemoveFilter() {
    if (!FIRecordSet) return;
    FIRecordSet->FilterFunc = nullptr;
    FIRecordSet->SetFilterText({});
}

void TMemDataSet::InstallFilter() {
    RemoveFilter();
    if (!FIRecordSet) return;
    if (OnFilterRecord()) FIRecordSet->FilterFunc = [this](void* RecBuf) { return FilterRecordCallback(RecBuf); };
    if (!rtl::Trim(Filter()).empty()) FIRecordSet->SetFilterText(Filter());
    FIRecordSet->FilterCaseInsensitive = FilterOptions().Contains(foCaseInsensitive);
    FIRecordSet->FilterNoPartialCompare = FilterOptions().Contains(foNoPartialCompare);
}

bool TMemDataSet::FilterRecordCallback(void* RecBuf) {
    TDataSetState saved = SetTempState(dsFilter);
    TRecordBuffer savedBuffer = FFilterBuffer;
    FFilterBuffer = static_cast<TRecordBuffer>(RecBuf);
    bool accept = true;
    try {
        if (OnFilterRecord()) OnFilterRecord()(this, accept);
    } catch (...) {
        HandleErrorStep();
    }
    FFilterBuffer = savedBuffer;
    RestoreState(saved);
    return accept;
}

void TMemDataSet::ChangeFiltered(bool Value) {
    if (Active()) {
        CheckBrowseMode();
        UpdateCursorPos();
    }
    if (Value == Filtered()) return;
    if (Value)
        InstallFilter();
    else
        RemoveFilter();
    TDataSet::ChangeFiltered(Value);
    if (Active()) {
        CheckIRecordSet();
        FIRecordSet->FilterUpdated();
        Resync({});
        First();
    }
}

void TMemDataSet::ChangeFilterText(const AnsiString& Value) {
    if (Active()) {
        CheckBrowseMode();
        UpdateCursorPos();
    }
    if (Value == Filter()) return;
    if (FIRecordSet) FIRecordSet->SetFilterText(Filtered() && !rtl::Trim(Value).empty() ? Value : AnsiString());
    TDataSet::ChangeFilterText(Value);
    if (Active() && Filtered()) {
        FIRecordSet->FilterUpdated();
        Resync({});
        First();
    }
}

void TMemDataSet::ChangeFilterOptions(TFilterOptions Value) {
    if (Active()) {
        CheckBrowseMode();
        UpdateCursorPos();
    }
    if (Value == FilterOptions()) return;
    if (FIRecordSet) {
        FIRecordSet->FilterCaseInsensitive = Value.Contains(foCaseInsensitive);
        FIRecordSet->FilterNoPartialCompare = Value.Contains(foNoPartialCompare);
    }
    TDataSet::ChangeFilterOptions(Value);
    if (Active() && Filtered()) {
        FIRecordSet->FilterUpdated();
        Resync({});
        First();
    }
}

void TMemDataSet::ChangeOnFilterRecord(TFilterRecordEvent Value) {
    if (Active()) {
        CheckBrowseMode();
        UpdateCursorPos();
    }
    bool set = static_cast<bool>(Value);
    TDataSet::ChangeOnFilterRecord(std::move(Value));
    if (FIRecordSet) {
        if (Filtered() && set)
            FIRecordSet->FilterFunc = [this](void* RecBuf) { return FilterRecordCallback(RecBuf); };
        else
            FIRecordSet->FilterFunc = nullptr;
    }
    if (Active()) {
        FIRecordSet->FilterUpdated();
        Resync({});
        First();
    }
}

// ---------------------------------------------------------------------------------------------
// Key search

void* TMemDataSet::ConvertKeyValue(const Variant& /*Value*/, bool /*ConvertStrings*/, const TFieldDesc* Desc,
                                   TMemDataType& ValueType) {
    ValueType = Desc ? Desc->DataType : mdtUnknown;
    return nullptr;
}

bool TMemDataSet::Locate(const WideString& KeyFields, const Variant& KeyValues, TLocateOptions Options) {
    return TDataSet::Locate(KeyFields, KeyValues, Options);
}

Variant TMemDataSet::Lookup(const WideString& KeyFields, const Variant& KeyValues, const WideString& ResultFields) {
    return TDataSet::Lookup(KeyFields, KeyValues, ResultFields);
}

bool TMemDataSet::FindRecordStep(bool Restart, bool GoForward) { return TDataSet::FindRecordStep(Restart, GoForward); }

// ---------------------------------------------------------------------------------------------
// Assignment

void TMemDataSet::AssignTo(rtl::TPersistent* Dest) {
    auto* ds = dynamic_cast<TMemDataSet*>(Dest);
    if (!ds) {
        TDataSet::AssignTo(Dest);
        return;
    }
    ds->SetCachedUpdates(FCachedUpdates);
    ds->FRequiredFields = FRequiredFields;
    ds->SetLocalUpdate(FLocalUpdate);
    ds->SetMasterSource(MasterSource());
    ds->SetMasterFields(FMasterFields);
    ds->SetDetailFields(FDetailFields);
    ds->SetDetailDelay(FDetailDelay);
}

}  // namespace store
