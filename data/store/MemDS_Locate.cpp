// Master/detail link, sort, filter and key search of the memory dataset: the store does the
// work, the dataset converts keys, installs callbacks and keeps its buffers in step.
#include <algorithm>
#include <cstring>

#include "data/store/DAConsts.h"
#include "data/store/MemDS.h"
#include "data/store/MemData_Internal.h"
#include "framework/rtl/Bcd.h"
#include "framework/rtl/Ownership.h"
#include "framework/rtl/SysUtils.h"
#include "framework/rtl/Text.h"

namespace store {

using namespace db;

// ---------------------------------------------------------------------------------------------
// TDADetailDataLink

TDataSet* TDADetailDataLink::GetDetailDataSet() const { return FDetailDataSet; }

void TDADetailDataLink::ActiveChanged() {
    if (FDetailDataSet->Active() && !FDetailDataSet->ComponentState().Contains(rtl::csDestroying) && Active())
        FDetailDataSet->ScheduleDetailRefresh();
}

void TDADetailDataLink::CheckBrowseMode() {
    if (!FDetailDataSet->Active()) return;
    TDataSet* master = DataSet();
    bool masterInserting = master && master->State() == dsInsert;
    TDataSetState s = FDetailDataSet->State();
    if (!masterInserting || (s != dsEdit && s != dsInsert)) FDetailDataSet->CheckBrowseMode();
}

void TDADetailDataLink::RecordChanged(TField* Field) {
    if (Field) {
        // Only a change of a linking master field concerns the detail.
        bool linking = false;
        const WideString& names = FDetailDataSet->MasterFields();
        size_t pos = 0;
        while (pos < names.size() && !linking)
            linking = rtl::WideSameText(ExtractFieldName(names, pos), Field->FieldName());
        if (!linking) return;
    }
    if (!FDetailDataSet->Active()) return;
    if (Field) {
        TDataSet* master = DataSet();
        TDataSetState s = FDetailDataSet->State();
        if (s == dsEdit || s == dsInsert || (master && master->State() == dsInsert)) return;
    }
    FDetailDataSet->ScheduleDetailRefresh();
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

void TMemDataSet::EnsureDetailTimer() {
    if (FDetailTimer) return;
    FDetailTimer.reset(rtl::Create<TWin32Timer>(nullptr));
    FDetailTimer->SetEnabled(false);
    FDetailTimer->SetOnTimer([this](rtl::TObject*) { RefreshDetail(); });
}

void TMemDataSet::SetDetailDelay(int Value) {
    FDetailDelay = Value;
    EnsureDetailTimer();
    FDetailTimer->SetInterval(Value > 0 ? static_cast<uint32_t>(Value) : 0u);
}

bool TMemDataSet::UseMasterDetail() { return HasMasterDetailLink(); }

bool TMemDataSet::UpdateMasterValues() { return BuildLocalMDLinks(); }

void TMemDataSet::RefreshDetail() {
    if (FDetailTimer) FDetailTimer->SetEnabled(false);
    if (!Active() || !UseMasterDetail()) return;
    CheckIRecordSet();
    Refilter();
}

void TMemDataSet::RefreshMasterFilter() {
    if (!Active()) return;
    UpdateMasterValues();
    CheckIRecordSet();
    FIRecordSet->FilterUpdated();
    Resync({});
}

void TMemDataSet::SetLocalMasterDetail() {
    if (!FIRecordSet) return;
    if (UseMasterDetail())
        FIRecordSet->FilterMDFunc = [this](void* RecBuf) { return LocalDetailFilter(RecBuf); };
    else
        FIRecordSet->FilterMDFunc = nullptr;
}

void TMemDataSet::ScheduleDetailRefresh() {
    FreeBuffersComplexFields();
    TDataSource* src = MasterSource();
    TDataSet* master = src ? src->DataSet() : nullptr;
    if (!master || !master->Active() || master->State() == dsSetKey) return;
    if (!UpdateMasterValues()) return;
    if (FDetailTimer && FDetailTimer->Interval() != 0) {
        // Restarting the interval delays the refresh until the master has been still for it.
        FDetailTimer->SetEnabled(false);
        FDetailTimer->SetEnabled(true);
    } else {
        RefreshDetail();
    }
}

bool TMemDataSet::BuildLocalMDLinks() {
    FLocalMDLinks.clear();
    if (!HasMasterDetailLink() || !MasterIsActive()) return true;
    auto* master = dynamic_cast<TMemDataSet*>(MasterSource()->DataSet());
    if (!master) throw rtl::Exception(SMasterNotMemDataSet);
    CheckIRecordSet();
    TData* masterData = master->IRecordSet();
    TRecordBuffer masterBuf = master->StateRecordBuffer();
    size_t mp = 0, dp = 0;
    while (mp < FMasterFields.size() && dp < FDetailFields.size()) {
        WideString masterName = ExtractFieldName(FMasterFields, mp);
        WideString detailName = ExtractFieldName(FDetailFields, dp);
        TField* masterField = master->FindField(masterName);
        TField* detailField = FindField(detailName);
        if (!masterField || !detailField) continue;
        TFieldDesc* detailDesc = FIRecordSet->FindField(detailName);
        if (!detailDesc) throw rtl::Exception(rtl::Format(SFieldNotFound, {rtl::WideToAnsi(detailName)}));
        TFieldDesc* masterDesc = master->FieldDescOf(masterField);
        if (!masterDesc) throw rtl::Exception(rtl::Format(SFieldNotFound, {rtl::WideToAnsi(masterName)}));
        TLocalMDLink link;
        link.FieldNo = detailDesc->FieldNo;
        link.ValueType = detailDesc->DataType;
        link.MasterIsNull = !masterBuf || masterField->IsNull();
        if (!link.MasterIsNull) {
            if (masterDesc->DataType != detailDesc->DataType) {
                ConvertKeyValue(masterField->Value(), true, detailDesc, link.Value, link.ValueType);
            } else {
                // A copy of the master's value: its buffer is reused as soon as the master moves.
                bool isNull = false;
                TKeyBuffer scratch;
                const void* key = masterData->GetMatchValue(masterBuf, masterDesc, isNull, link.ValueType, scratch);
                if (isNull || !key) {
                    link.MasterIsNull = true;
                } else if (link.ValueType == mdtVariant) {
                    link.VariantValue = *static_cast<const rtl::Variant*>(key);
                } else if (key == scratch.data()) {
                    link.Value = std::move(scratch);
                } else {
                    const auto* p = static_cast<const uint8_t*>(key);
                    link.Value.assign(p, p + masterDesc->Size);
                    link.Value.push_back(0);  // text keys end with a terminator
                    link.Value.push_back(0);
                }
            }
        }
        FLocalMDLinks.push_back(std::move(link));
    }
    return true;
}

bool TMemDataSet::LocalDetailFilter(void* RecBuf) {
    TDataSource* src = MasterSource();
    TDataSet* master = src ? src->DataSet() : nullptr;
    // A master without a current row, or with a new row not posted yet, has no details.
    if (master && master->Active() && (master->IsEmpty() || master->State() == dsInsert)) return false;
    TMemData* md = MemData();
    if (!md) return true;
    for (const TLocalMDLink& link : FLocalMDLinks) {
        if (link.FieldNo < 1 || link.FieldNo > md->Fields().Count()) return false;
        bool detailNull = md->GetNull(link.FieldNo, RecBuf);
        if (link.MasterIsNull) {
            if (!detailNull) return false;
            continue;
        }
        if (detailNull) return false;
        const TFieldDesc* desc = md->Fields()[link.FieldNo - 1];
        if (md->CompareFieldValue(link.Key(), link.ValueType, 0, RecBuf, desc) != 0) return false;
    }
    return true;
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
    SettleCursor();
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

void TMemDataSet::SettleCursor() {
    if (!Active()) return;
    CheckBrowseMode();
    UpdateCursorPos();
}

void TMemDataSet::Refilter() {
    FIRecordSet->FilterUpdated();
    Resync({});
    First();
}

void TMemDataSet::ChangeFiltered(bool Value) {
    SettleCursor();
    if (Value == Filtered()) return;
    if (Value)
        InstallFilter();
    else
        RemoveFilter();
    TDataSet::ChangeFiltered(Value);
    if (Active()) {
        CheckIRecordSet();
        Refilter();
    }
}

void TMemDataSet::ChangeFilterText(const AnsiString& Value) {
    SettleCursor();
    if (Value == Filter()) return;
    if (FIRecordSet) FIRecordSet->SetFilterText(Filtered() && !rtl::Trim(Value).empty() ? Value : AnsiString());
    TDataSet::ChangeFilterText(Value);
    if (Active() && Filtered()) Refilter();
}

void TMemDataSet::ChangeFilterOptions(TFilterOptions Value) {
    SettleCursor();
    if (Value == FilterOptions()) return;
    if (FIRecordSet) {
        FIRecordSet->FilterCaseInsensitive = Value.Contains(foCaseInsensitive);
        FIRecordSet->FilterNoPartialCompare = Value.Contains(foNoPartialCompare);
    }
    TDataSet::ChangeFilterOptions(Value);
    if (Active() && Filtered()) Refilter();
}

void TMemDataSet::ChangeOnFilterRecord(TFilterRecordEvent Value) {
    SettleCursor();
    bool set = static_cast<bool>(Value);
    TDataSet::ChangeOnFilterRecord(std::move(Value));
    if (FIRecordSet) {
        if (Filtered() && set)
            FIRecordSet->FilterFunc = [this](void* RecBuf) { return FilterRecordCallback(RecBuf); };
        else
            FIRecordSet->FilterFunc = nullptr;
    }
    if (Active()) Refilter();
}

// ---------------------------------------------------------------------------------------------
// Key search

namespace {

template <class T>
void PutValue(TKeyBuffer& Buffer, T Value) {
    Buffer.resize(sizeof(T));
    std::memcpy(Buffer.data(), &Value, sizeof(T));
}

void PutText(TKeyBuffer& Buffer, TMemDataType& ValueType, const AnsiString& Text) {
    ValueType = mdtString;
    Buffer.assign(Text.begin(), Text.end());
    Buffer.push_back(0);
}

void PutWide(TKeyBuffer& Buffer, TMemDataType& ValueType, const WideString& Text) {
    ValueType = mdtWideString;
    Buffer.assign((Text.size() + 1) * sizeof(char16_t), 0);
    if (!Text.empty()) std::memcpy(Buffer.data(), Text.data(), Text.size() * sizeof(char16_t));
}

// A 16-bit length followed by the bytes.
void PutBytes(TKeyBuffer& Buffer, const void* Data, size_t Count) {
    // A longer key cannot be expressed; cutting it would make it match a shorter value.
    if (Count > 0xFFFF) throw rtl::EConvertError(SCannotConvertType);
    const auto n = static_cast<uint16_t>(Count);
    Buffer.resize(2 + Count);
    std::memcpy(Buffer.data(), &n, 2);
    if (Count) std::memcpy(Buffer.data() + 2, Data, Count);
}

TValueMatchOptions MatchOptionsOf(int Bits) {
    TValueMatchOptions options = 0;
    if (Bits & lxCaseInsensitive) options |= voCaseInsensitive;
    if (Bits & lxPartialKey) options |= voPartialKey;
    if (Bits & lxPartialCompare) options |= voSubstring;
    return options;
}

// Frees a record buffer of the dataset when the search is over.
struct TTempRecordBuffer {
    std::vector<uint8_t> Data;
    explicit TTempRecordBuffer(size_t Size) : Data(std::max<size_t>(Size, 1), 0) {}
    TRecordBuffer Get() { return Data.data(); }
};

}  // namespace

bool TMemDataSet::ConvertKeyValue(const Variant& Value, bool ConvertStrings, const TFieldDesc* Desc, TKeyBuffer& Buffer,
                                  TMemDataType& ValueType) {
    Buffer.clear();
    ValueType = Desc->DataType;
    if (Value.IsEmpty() || Value.IsNull()) return false;
    const TMemDataType type = Desc->DataType;
    if (!rtl::VarIsStr(Value)) {
        switch (type) {
            case mdtString:
            case mdtExtString: PutText(Buffer, ValueType, rtl::VarToStr(Value)); break;
            case mdtInt8:
            case mdtInt16:
            case mdtInt32:
            case mdtUInt16:
            case mdtUInt8: PutValue<int32_t>(Buffer, Value.AsInteger()); break;
            case mdtFloat:
            case mdtCurrency:
            case mdtBCD: PutValue<double>(Buffer, Value.AsDouble()); break;
            case mdtDate:
            case mdtTime:
            case mdtDateTime: PutValue<double>(Buffer, Value.AsDateTime()); break;
            case mdtBoolean: PutValue<uint8_t>(Buffer, Value.AsBoolean() ? 1 : 0); break;
            case mdtInt64: PutValue<int64_t>(Buffer, Value.AsInt64()); break;
            case mdtUInt32: PutValue<uint32_t>(Buffer, static_cast<uint32_t>(Value.AsInt64())); break;
            case mdtBytes:
            case mdtVarBytes:
            case mdtExtVarBytes: {
                if (!Value.IsByteArray()) rtl::AssertFail(SAssertionFailure, MemDSUnit, __LINE__);
                rtl::TBytes bytes = Value.AsBytes();
                PutBytes(Buffer, bytes.data(), bytes.size());
                break;
            }
            case mdtWideString:
            case mdtExtWideString: PutWide(Buffer, ValueType, rtl::VarToWideStr(Value)); break;
            case mdtFmtBCD: PutValue<rtl::TBcd>(Buffer, Value.AsBcd()); break;
            default: throw rtl::EConvertError(SCannotConvertType);
        }
        return true;
    }
    const AnsiString text = rtl::VarToStr(Value);
    if (!ConvertStrings) {
        switch (type) {
            case mdtBoolean: PutValue<uint8_t>(Buffer, Value.AsBoolean() ? 1 : 0); break;
            case mdtBytes:
            case mdtVarBytes:
            case mdtExtVarBytes: PutBytes(Buffer, text.data(), text.size()); break;
            case mdtWideString:
            case mdtExtWideString: PutWide(Buffer, ValueType, Value.AsWideString()); break;
            default: PutText(Buffer, ValueType, text);
        }
        return true;
    }
    switch (type) {
        case mdtString:
        case mdtBlob:
        case mdtMemo:
        case mdtVariant:
        case mdtExtString:
        case mdtGuid: PutText(Buffer, ValueType, text); break;
        case mdtInt8:
        case mdtInt16:
        case mdtInt32:
        case mdtUInt16:
        case mdtUInt8: PutValue<int32_t>(Buffer, rtl::StrToInt(rtl::Trim(text))); break;
        case mdtFloat:
        case mdtCurrency:
        case mdtBCD: PutValue<double>(Buffer, rtl::StrToFloat(rtl::Trim(text))); break;
        // Straight from the text, so no digits are lost on the way through a double.
        case mdtFmtBCD: PutValue<rtl::TBcd>(Buffer, rtl::StrToBcd(rtl::Trim(text))); break;
        case mdtDate: PutValue<double>(Buffer, rtl::StrToDate(text)); break;
        case mdtTime: PutValue<double>(Buffer, rtl::StrToTime(text)); break;
        case mdtDateTime: PutValue<double>(Buffer, rtl::StrToDateTime(text)); break;
        case mdtBoolean: PutValue<uint8_t>(Buffer, Value.AsBoolean() ? 1 : 0); break;
        case mdtInt64: PutValue<int64_t>(Buffer, rtl::StrToInt64(rtl::Trim(text))); break;
        case mdtUInt32: PutValue<uint32_t>(Buffer, static_cast<uint32_t>(rtl::StrToInt64(rtl::Trim(text)))); break;
        case mdtBytes:
        case mdtVarBytes:
        case mdtExtVarBytes: PutBytes(Buffer, text.data(), text.size()); break;
        case mdtWideString:
        case mdtExtWideString:
        case mdtWideMemo: PutWide(Buffer, ValueType, Value.AsWideString()); break;
        default: throw rtl::EConvertError(SCannotConvertType);
    }
    return true;
}

bool TMemDataSet::LocateRecord(const std::vector<TFieldDesc*>& KeyDescs, const Variant& KeyValues, bool Restore,
                               int Bits) {
    TTempRecordBuffer candidate(static_cast<size_t>(FRecBufSize));
    return LocateRecordTo(KeyDescs, KeyValues, Restore, Bits, candidate.Get());
}

// One key of a search: the field, the key in the store's comparison form, and how a record is
// tested against it.
struct TMemDataSet::TLocateKey {
    enum TTest : uint8_t { ltCompare, ltInt32, ltInt64, ltDouble, ltText };
    TFieldDesc* Desc = nullptr;
    Variant Value = Variant::Null();
    TKeyBuffer Buffer;
    TMemDataType Type = mdtUnknown;
    bool Present = false;
    TTest Test = ltCompare;
    std::string_view Text;
};

struct TMemDataSet::TLocatePlan {
    TMemData* Store = nullptr;
    std::vector<TLocateKey> Keys;
    // The keys that lead the store's sort order come first; their columns.
    size_t SortedPrefix = 0;
    std::vector<TSortColumn> SortColumns;
    TValueMatchOptions Options = 0;
    bool Nearest = false;
    bool Up = false;
    bool CalcKeys = false;
};

namespace {

// The direct test of an exact search on a field of a plain stored type; comparisons otherwise.
void ChooseKeyTest(TMemDataSet::TLocateKey& Key, TData& Data, TValueMatchOptions Options, bool Nearest) {
    using K = TMemDataSet::TLocateKey;
    Key.Test = K::ltCompare;
    const TFieldDesc* d = Key.Desc;
    if (!Key.Present || Nearest || d->HasParent() || d->DescKind == fdkCalculatedArea || Key.Type != d->DataType)
        return;
    switch (d->DataType) {
        case mdtInt32: Key.Test = K::ltInt32; break;
        case mdtInt64: Key.Test = K::ltInt64; break;
        case mdtFloat:
        case mdtDate:
        case mdtTime:
        case mdtDateTime: Key.Test = K::ltDouble; break;
        case mdtString: {
            // Trimmed and partial comparisons take the general path.
            const bool trim = d->Fixed ? Data.TrimFixedChar : Data.TrimVarChar;
            if (trim || (Options & (voPartialKey | voSubstring | voBinary))) return;
            const char* p = reinterpret_cast<const char*>(Key.Buffer.data());
            Key.Text = std::string_view(p, std::strlen(p));
            Key.Test = K::ltText;
            break;
        }
        default: break;
    }
}

}  // namespace

TMemDataSet::TLocatePlan TMemDataSet::PlanLocate(const std::vector<TFieldDesc*>& KeyDescs, const Variant& KeyValues,
                                                 int Bits) {
    TMemData* md = MemData();
    TLocatePlan plan;
    plan.Store = md;
    plan.Options = MatchOptionsOf(Bits);
    plan.Nearest = (Bits & lxNearest) != 0;
    plan.Up = (Bits & lxUp) != 0;
    const size_t n = KeyDescs.size();
    plan.Keys.resize(n);
    for (size_t i = 0; i < n; ++i) {
        plan.Keys[i].Desc = KeyDescs[i];
        plan.CalcKeys = plan.CalcKeys || KeyDescs[i]->DescKind == fdkCalculatedArea;
    }
    if (!KeyValues.IsArray() || (n == 1 && KeyValues.ArrayCount() > 1)) {
        plan.Keys[0].Value = KeyValues;
    } else {
        const int low = KeyValues.ArrayLowBound();
        for (size_t i = 0; i < n && static_cast<int>(i) < KeyValues.ArrayCount(); ++i)
            plan.Keys[i].Value = KeyValues.GetElement(low + static_cast<int>(i));
    }

    // Keys that lead the store's sort order can be searched by bisection.
    if (!(Bits & (lxPartialKey | lxPartialCompare | lxNearest))) {
        for (const TSortColumn& col : md->SortColumns()) {
            if ((col.SortType == stCaseInsensitive) != ((Bits & lxCaseInsensitive) != 0)) break;
            auto it = std::find_if(plan.Keys.begin() + static_cast<std::ptrdiff_t>(plan.SortedPrefix), plan.Keys.end(),
                                   [&](const TLocateKey& k) { return k.Desc == col.FieldDesc; });
            if (it == plan.Keys.end()) break;
            std::swap(*it, plan.Keys[plan.SortedPrefix]);
            plan.SortColumns.push_back(col);
            ++plan.SortedPrefix;
        }
    }
    auto convert = [&](bool sortedForms) {
        for (size_t i = 0; i < n; ++i) {
            TLocateKey& k = plan.Keys[i];
            k.Present = ConvertKeyValue(k.Value, sortedForms && i < plan.SortedPrefix, k.Desc, k.Buffer, k.Type);
        }
    };
    try {
        convert(true);
    } catch (const rtl::Exception&) {
        // Without the sorted search every key is compared in its plain form.
        plan.SortedPrefix = 0;
        plan.SortColumns.clear();
        convert(false);
    }
    for (TLocateKey& k : plan.Keys) ChooseKeyTest(k, *md, plan.Options, plan.Nearest);
    return plan;
}

bool TMemDataSet::LocateMatches(const TLocatePlan& Plan, const void* Rec) {
    TMemData* md = Plan.Store;
    for (const TLocateKey& k : Plan.Keys) {
        const int fieldNo = k.Desc->FieldNo;
        const uint8_t* slot = static_cast<const uint8_t*>(Rec) + k.Desc->Offset;
        switch (k.Test) {
            // The value first: the null flag lies elsewhere in the record and is read on a match only.
            case TLocateKey::ltInt32:
                if (internal::Load<int32_t>(slot) != internal::Load<int32_t>(k.Buffer.data()) ||
                    md->NullFlagSet(Rec, fieldNo))
                    return false;
                continue;
            case TLocateKey::ltInt64:
                if (internal::Load<int64_t>(slot) != internal::Load<int64_t>(k.Buffer.data()) ||
                    md->NullFlagSet(Rec, fieldNo))
                    return false;
                continue;
            case TLocateKey::ltDouble: {
                // As the comparison orders them: neither is smaller.
                const double a = internal::Load<double>(k.Buffer.data()), b = internal::Load<double>(slot);
                if (a < b || b < a || md->NullFlagSet(Rec, fieldNo)) return false;
                continue;
            }
            case TLocateKey::ltText: {
                const char* p = reinterpret_cast<const char*>(slot);
                const size_t size = static_cast<size_t>(k.Desc->Size);
                const bool ci = (Plan.Options & voCaseInsensitive) != 0;
                const int eq = TMemData::QuickTextEquality(k.Text, p, size, ci);
                if (eq == 0) return false;
                if (eq < 0 && md->CompareAnsiStr(k.Text, std::string_view(p, strnlen(p, size)), Plan.Options) != 0)
                    return false;
                if (md->NullFlagSet(Rec, fieldNo)) return false;
                continue;
            }
            case TLocateKey::ltCompare: break;
        }
        const bool recNull = md->GetNull(fieldNo, Rec);
        if (!k.Present) {
            if (!recNull) return false;
            continue;
        }
        if (recNull) return false;
        const int c = md->CompareFieldValue(k.Buffer.data(), k.Type, Plan.Options, Rec, k.Desc);
        if (!(c == 0 || (Plan.Nearest && c < 0))) return false;
    }
    return true;
}

const void* TMemDataSet::LocateCurrentRecord(const TLocatePlan& Plan, TRecordBuffer Candidate) {
    TMemData* md = Plan.Store;
    if (!Plan.CalcKeys) return TBlockManager::RecordOf(md->CurrentItem());
    // Calculated keys need the calculated-field pass over a copy.
    md->GetRecord(Candidate);
    GetCalcFields(Candidate);
    return Candidate;
}

// Binary search of records Low..High, sorted on the plan's leading keys, for one matching those keys:
// its record number (the first such record in the search direction, left current), or 0. Nulls sort
// first.
int TMemDataSet::LocateBisect(const TLocatePlan& Plan, int Low, int High, TRecordBuffer Candidate) {
    TMemData* md = Plan.Store;
    // Key against the record on the sorted keys: positive when the key comes after it.
    auto compareAt = [&](int recNo) -> int {
        md->SetRecordNo(recNo);
        const void* rec = LocateCurrentRecord(Plan, Candidate);
        for (size_t i = 0; i < Plan.SortedPrefix; ++i) {
            const TLocateKey& k = Plan.Keys[i];
            const TSortColumn& col = Plan.SortColumns[i];
            const bool recNull = md->GetNull(k.Desc->FieldNo, rec);
            int c;
            if (!k.Present && recNull)
                c = 0;
            else if (recNull)
                c = 1;
            else if (!k.Present)
                c = -1;
            else
                c = md->CompareFieldValue(k.Buffer.data(), k.Type,
                                          Plan.Options | (col.SortType == stBinary ? voBinary : 0), rec, k.Desc);
            if (col.DescendingOrder) c = -c;
            if (c != 0) return c;
        }
        return 0;
    };
    md->BuildRecordNoCache();
    if (Low > High) return 0;
    int at = 0;
    int c = compareAt(Low);
    if (c == 0) {
        at = Low;
    } else if (c > 0) {
        c = compareAt(High);
        if (c == 0) {
            at = High;
        } else if (c < 0) {
            int lo = Low, hi = High;
            while (hi - lo > 1) {
                const int mid = lo + (hi - lo) / 2;
                c = compareAt(mid);
                if (c == 0) {
                    at = mid;
                    break;
                }
                if (c < 0)
                    hi = mid;
                else
                    lo = mid;
            }
        }
    }
    if (!at) return 0;
    // Several records may share the key: take the first in the direction of the search.
    if (!Plan.Up)
        while (at > Low && compareAt(at - 1) == 0) --at;
    else
        while (at < High && compareAt(at + 1) == 0) ++at;
    compareAt(at);
    return at;
}

namespace {

// The index of the first item from Start on in the direction of Step whose record passes Test; -1.
template <class F>
int FindItem(const std::vector<TRecordItem*>& Items, int Start, int Step, F&& Test) {
    const int count = static_cast<int>(Items.size());
    for (int i = Start; i >= 0 && i < count; i += Step)
        if (Test(static_cast<const uint8_t*>(TBlockManager::RecordOf(Items[static_cast<size_t>(i)])))) return i;
    return -1;
}

}  // namespace

int TMemDataSet::LocateInItems(const TLocatePlan& Plan, const std::vector<TRecordItem*>& Items, int Start, int Step) {
    // A single key of a plain type is tested inline; the rest through the general test.
    const TLocateKey& k = Plan.Keys.front();
    const size_t offset = k.Desc->Offset;
    const int fieldNo = k.Desc->FieldNo;
    TMemData* md = Plan.Store;
    switch (Plan.Keys.size() == 1 ? k.Test : TLocateKey::ltCompare) {
        case TLocateKey::ltInt32: {
            const int32_t key = internal::Load<int32_t>(k.Buffer.data());
            return FindItem(Items, Start, Step, [&](const uint8_t* rec) {
                return internal::Load<int32_t>(rec + offset) == key && !md->NullFlagSet(rec, fieldNo);
            });
        }
        case TLocateKey::ltInt64: {
            const int64_t key = internal::Load<int64_t>(k.Buffer.data());
            return FindItem(Items, Start, Step, [&](const uint8_t* rec) {
                return internal::Load<int64_t>(rec + offset) == key && !md->NullFlagSet(rec, fieldNo);
            });
        }
        case TLocateKey::ltText: {
            const size_t size = static_cast<size_t>(k.Desc->Size);
            const bool ci = (Plan.Options & voCaseInsensitive) != 0;
            // Most records part from the key at their first character: settled here.
            const TPlainTextChars& chars = TMemData::PlainTextChars();
            const uint8_t first = k.Text.empty() ? 0 : static_cast<uint8_t>(k.Text.front());
            const bool firstPlain = chars.Plain[first];
            return FindItem(Items, Start, Step, [&](const uint8_t* rec) {
                const uint8_t c = rec[offset];
                if (firstPlain && c != first &&
                    (c == 0 || (chars.Plain[c] && (!ci || chars.Fold[c] != chars.Fold[first]))))
                    return false;
                const char* p = reinterpret_cast<const char*>(rec + offset);
                const int eq = TMemData::QuickTextEquality(k.Text, p, size, ci);
                if (eq == 0) return false;
                if (eq < 0 && md->CompareAnsiStr(k.Text, std::string_view(p, strnlen(p, size)), Plan.Options) != 0)
                    return false;
                return !md->NullFlagSet(rec, fieldNo);
            });
        }
        default: return FindItem(Items, Start, Step, [&](const uint8_t* rec) { return LocateMatches(Plan, rec); });
    }
}

bool TMemDataSet::LocateScan(const TLocatePlan& Plan, bool FromCurrent, TRecordBuffer Candidate) {
    TData* data = FIRecordSet.get();
    TMemData* md = Plan.Store;
    const int step = Plan.Up ? -1 : 1;
    // The first index of the visible items to test, or -1 when the store's own moves must decide.
    int start = -1;
    if (!Plan.CalcKeys) {
        const auto& items = md->VisibleItems();
        const int count = static_cast<int>(items.size());
        TRecordItem* cur = md->CurrentItem();
        int recNo = cur ? md->GetRecordNo() : 0;
        if (recNo > count || (recNo > 0 && items[static_cast<size_t>(recNo) - 1] != cur)) recNo = 0;
        if (FromCurrent) {
            if (recNo > 0) start = recNo - 1;
        } else if (cur) {
            if (recNo > 0) start = recNo - 1 + step;
        } else if (data->GetBof()) {
            start = Plan.Up ? -1 : 0;
        } else if (data->GetEof() && Plan.Up) {
            start = count - 1;
        }
        if (start >= 0 && start < count) {
            const int at = LocateInItems(Plan, items, start, step);
            if (at >= 0) {
                md->SetRecordNo(at + 1);
                return true;
            }
            // Past the rows at hand: a provider may fetch more as the cursor moves on.
            md->SetRecordNo(Plan.Up ? 1 : count);
            FromCurrent = false;
        }
    }
    for (bool first = FromCurrent;; first = false) {
        if (!first) {
            if (Plan.Up)
                data->GetPriorRecord(nullptr);
            else
                data->GetNextRecord(nullptr);
            if (Plan.Up ? data->GetBof() : data->GetEof()) return Plan.Nearest;
        }
        if (LocateMatches(Plan, LocateCurrentRecord(Plan, Candidate))) return true;
    }
}

bool TMemDataSet::LocateRecordTo(const std::vector<TFieldDesc*>& KeyDescs, const Variant& KeyValues, bool Restore,
                                 int Bits, TRecordBuffer Candidate) {
    if (KeyDescs.empty()) return false;
    CheckBrowseMode();
    CursorPosChanged();
    UpdateCursorPos();
    CheckIRecordSet();
    TData* data = FIRecordSet.get();
    TMemData* md = MemData();
    // Values are compared by the memory store.
    if (!md) rtl::AssertFail(SAssertionFailure, MemDSUnit, __LINE__);
    const TLocatePlan plan = PlanLocate(KeyDescs, KeyValues, Bits);
    TRecBookmark saved;
    data->GetBookmark(saved);
    const bool hadRecords = data->GetRecordCount() != 0;
    auto restorePosition = [&] {
        if (hadRecords) data->SetToBookmark(saved);
    };

    bool found = false;
    if (plan.SortedPrefix > 0) {
        int low = 1;
        int high = data->GetRecordCount();
        if (Bits & lxNext) {
            data->GetNextRecord(nullptr);
            if (data->GetEof()) {
                restorePosition();
                return false;
            }
            low = data->GetRecordNo();
        }
        if (plan.Up) {
            data->GetPriorRecord(nullptr);
            if (data->GetBof()) {
                restorePosition();
                return false;
            }
            high = data->GetRecordNo();
        }
        // The first record with the sorted keys; the other keys are looked for from there on.
        if (LocateBisect(plan, low, high, Candidate) > 0)
            found = plan.SortedPrefix == plan.Keys.size() || LocateScan(plan, true, Candidate);
    } else {
        if (!(Bits & (lxNext | lxUp))) data->SetToBegin();
        found = LocateScan(plan, false, Candidate);
    }
    // The caller may read the found record from the buffer.
    if (found && md->CurrentItem()) md->GetRecord(Candidate);
    if (Restore || !found) restorePosition();
    return found;
}

bool TMemDataSet::LocateByNames(const WideString& KeyFields, const Variant& KeyValues, bool Restore, int Bits) {
    CheckActive();
    CheckIRecordSet();
    std::vector<TFieldDesc*> descs;
    size_t pos = 0;
    while (pos < KeyFields.size()) {
        WideString name = ExtractFieldName(KeyFields, pos);
        if (!name.empty()) descs.push_back(FIRecordSet->FieldByName(name));
    }
    return LocateRecord(descs, KeyValues, Restore, Bits);
}

bool TMemDataSet::LocateByFieldList(const std::vector<TField*>& KeyFields, bool Restore, int Bits,
                                    const Variant& KeyValues) {
    CheckActive();
    std::vector<TFieldDesc*> descs;
    for (TField* f : KeyFields)
        if (f)
            if (TFieldDesc* d = FieldDescOf(f)) descs.push_back(d);
    return LocateRecord(descs, KeyValues, Restore, Bits);
}

bool TMemDataSet::LocateFieldsResync(const std::vector<TField*>& KeyFields, int Bits, const Variant& KeyValues) {
    BeforeScrollStep();
    bool found = LocateByFieldList(KeyFields, false, Bits & (lxCaseInsensitive | lxPartialKey), KeyValues);
    if (found) {
        Resync({rmExact, rmCenter});
        AfterScrollStep();
    }
    return found;
}

bool TMemDataSet::LocateFields(const std::vector<TField*>& KeyFields, int Bits, const Variant& KeyValues) {
    BeforeScrollStep();
    bool found = LocateByFieldList(KeyFields, false, Bits, KeyValues);
    if (found) {
        // A nearest search may end past the last record.
        if (FIRecordSet->GetBof() || FIRecordSet->GetEof())
            Resync({});
        else
            Resync({rmExact, rmCenter});
        AfterScrollStep();
    }
    return found;
}

bool TMemDataSet::Locate(const WideString& KeyFields, const Variant& KeyValues, TLocateOptions Options) {
    BeforeScrollStep();
    int bits = 0;
    if (Options.Contains(loCaseInsensitive)) bits |= lxCaseInsensitive;
    if (Options.Contains(loPartialKey)) bits |= lxPartialKey;
    bool found = LocateByNames(KeyFields, KeyValues, false, bits);
    if (found) {
        Resync({rmExact, rmCenter});
        AfterScrollStep();
    }
    return found;
}

Variant TMemDataSet::Lookup(const WideString& KeyFields, const Variant& KeyValues, const WideString& ResultFields) {
    Variant result = Variant::Null();
    if (Active() && Filtered()) {
        // The filter may depend on data that changed since the records were last checked.
        TBookmark bm = Bookmark();
        CheckIRecordSet();
        FIRecordSet->FilterUpdated();
        Resync({});
        if (!bm.empty() && BookmarkValid(bm)) {
            GotoBookmarkStep(bm.data());
            Resync({});
        } else {
            First();
        }
    }
    CheckActive();
    CheckIRecordSet();
    std::vector<TFieldDesc*> descs;
    size_t pos = 0;
    while (pos < KeyFields.size()) {
        WideString name = ExtractFieldName(KeyFields, pos);
        if (!name.empty()) descs.push_back(FIRecordSet->FieldByName(name));
    }
    TTempRecordBuffer candidate(static_cast<size_t>(FRecBufSize));
    if (!LocateRecordTo(descs, KeyValues, true, 0, candidate.Get())) return result;
    TRecordBuffer buf = candidate.Get();
    GetCalcFields(buf);
    // The result fields are read from the found record through the filter-state buffer.
    TRecordBuffer savedFilter = FFilterBuffer;
    FFilterBuffer = buf;
    TDataSetState saved = SetTempState(dsFilter);
    rtl::TryFinally([&] { result = FieldValues(ResultFields); },
                    [&] {
                        RestoreState(saved);
                        FFilterBuffer = savedFilter;
                    });
    return result;
}

bool TMemDataSet::FindRecordStep(bool Restart, bool GoForward) {
    CheckBrowseMode();
    BeforeScrollStep();
    bool found = false;
    UpdateCursorPos();
    CursorPosChanged();
    CheckIRecordSet();
    const bool tempFilter = !Filtered();
    if (tempFilter) {
        InstallFilter();
        FIRecordSet->FilterUpdated();
    }
    auto undo = [&] {
        if (!tempFilter) return;
        RemoveFilter();
        FIRecordSet->FilterUpdated();
    };
    // The buffers are read without the search's filter, as the dataset shows its records.
    rtl::TryFinally(
        [&] {
            if (GoForward) {
                if (Restart) FIRecordSet->SetToBegin();
                FIRecordSet->GetNextRecord(nullptr);
            } else {
                if (Restart) FIRecordSet->SetToEnd();
                FIRecordSet->GetPriorRecord(nullptr);
            }
            found = !FIRecordSet->GetBof() && !FIRecordSet->GetEof();
        },
        undo);
    if (found) {
        Resync({rmExact, rmCenter});
        AfterScrollStep();
    }
    return found;
}

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
