#include "controls/editors/ToolCtrlsEh.h"

#include "framework/rtl/Ownership.h"
#include "framework/rtl/SysUtils.h"
#include "framework/rtl/Text.h"

namespace editors {

// ---------------------------------------------------------------------------------------------
// TDataLinkEh

void TDataLinkEh::DataEvent(db::TDataEvent Event, intptr_t Info) {
    db::TDataLink::DataEvent(Event, Info);
    if (OnDataEvent) OnDataEvent(Event, Info);
}

// ---------------------------------------------------------------------------------------------
// TDatasetFieldValueListEh

TDatasetFieldValueListEh::TDatasetFieldValueListEh()
    : FValues(rtl::Create<rtl::TStringList>()), FDataLink(rtl::Create<TDataLinkEh>()) {
    FValues->SetSorted(true);
    FValues->SetDuplicates(rtl::dupIgnore);
    FDataLink->OnDataEvent = [this](db::TDataEvent Event, intptr_t Info) { DataSetEvent(Event, Info); };
}

TDatasetFieldValueListEh::~TDatasetFieldValueListEh() {
    FDataLink->OnDataEvent = nullptr;
    FDataLink->SetDataSource(nullptr);
}

void TDatasetFieldValueListEh::SetFieldName(const WideString& Value) {
    if (Value == FFieldName) return;
    FFieldName = Value;
    FObsolete = true;
}

void TDatasetFieldValueListEh::AssignDataSource(db::TDataSource* Value) {
    if (Value == FDataLink->DataSource()) return;
    FDataLink->SetDataSource(Value);
    FObsolete = true;
}

void TDatasetFieldValueListEh::DataSetEvent(db::TDataEvent Event, intptr_t /*Info*/) {
    if (Event == db::deDataSetChange || Event == db::dePropertyChange || Event == db::deFieldListChange)
        FObsolete = true;
}

rtl::TStrings* TDatasetFieldValueListEh::GetValues() {
    if (!FObsolete) return FValues.get();
    FValues->Clear();
    db::TDataSet* ds = FDataLink->Active() ? FDataLink->DataSet() : nullptr;
    db::TField* field = ds ? ds->FindField(FFieldName) : nullptr;
    // Moving off a record being edited would post it: leave the list obsolete until browsing.
    if (!field || ds->State() != db::dsBrowse) return FValues.get();
    // Other controls on the dataset keep their record: the scan comes back to it.
    db::TBookmark saved = ds->Bookmark();
    {
        rtl::TControlsDisabled<db::TDataSet> noControls(ds);
        ds->First();
        while (!ds->Eof()) {
            FValues->Add(field->AsString());
            ds->Next();
        }
        if (!saved.empty() && ds->BookmarkValid(saved)) ds->GotoBookmark(saved);
    }
    FObsolete = false;
    return FValues.get();
}

// ---------------------------------------------------------------------------------------------
// Cell texts

namespace {
bool IsControlChar(char c) { return c >= '\x01' && c <= '\x1F'; }
}  // namespace

void SetCellsStrings(rtl::TStrings* List, const AnsiString& Text) {
    // A NUL ends the text, as it would end the buffer the text came from.
    const std::string_view s(Text.c_str());
    rtl::TUpdateLock<rtl::TStrings> lock(List);
    List->Clear();
    size_t p = 0;
    while (p < s.size() && static_cast<unsigned char>(s[p]) <= ' ') ++p;
    while (p < s.size()) {
        AnsiString item;
        if (s[p] == '"') {
            item = rtl::AnsiExtractQuotedStr(s, p, '"');
        } else {
            size_t start = p;
            while (p < s.size() && static_cast<unsigned char>(s[p]) >= ' ' && s[p] != ';') ++p;
            item.assign(s.substr(start, p - start));
        }
        List->Add(item);
        while (p < s.size() && IsControlChar(s[p])) ++p;
        if (p < s.size() && s[p] == ';') {
            ++p;
            while (p < s.size() && IsControlChar(s[p])) ++p;
        }
    }
}

// ---------------------------------------------------------------------------------------------
// Field lists

void CollectFieldsByNames(std::vector<db::TField*>* List, db::TDataSet* DataSet, rtl::TComponent* Component,
                          const WideString& Names) {
    size_t pos = 0;
    while (pos < Names.size()) {
        WideString name = db::ExtractFieldName(Names, pos);
        if (name.empty()) continue;
        db::TField* field = db::GetFieldProperty(DataSet, Component, name);
        if (List) List->push_back(field);
    }
}

void GetFieldsArrayByNames(db::TDataSet* DataSet, rtl::TComponent* Control, const WideString& Names,
                           TFieldsArrEh& Fields) {
    TFieldsArrEh list;
    CollectFieldsByNames(&list, DataSet, Control, Names);
    Fields = std::move(list);
}

void SetFieldsValue(db::TDataSet* DataSet, const WideString& Names, const Variant& Value) {
    if (VariantValuesEqual(Value, Variant::Null())) {
        std::vector<db::TField*> fields;
        DataSet->GetFieldList(fields, Names);
        for (db::TField* f : fields) f->Clear();
    } else {
        DataSet->SetFieldValues(Names, Value);
    }
}

// ---------------------------------------------------------------------------------------------
// Variant equality

bool VariantValuesEqual(const Variant& V1, const Variant& V2) {
    try {
        const bool a1 = V1.IsArray(), a2 = V2.IsArray();
        if (a1 != a2) return false;
        if (a1) {
            // Arrays of another shape have no equality of their own: they differ.
            if (rtl::VarArrayDimCount(V1) != rtl::VarArrayDimCount(V2) || V1.ArrayLowBound() != V2.ArrayLowBound() ||
                V1.ArrayHighBound() != V2.ArrayHighBound() || V1.ArrayCount() == 0)
                return false;
            for (int i = V1.ArrayLowBound(); i <= V1.ArrayHighBound(); ++i)
                if (!(V1.GetElement(i) == V2.GetElement(i))) return false;
            return true;
        }
        if (V1.IsEmpty() != V2.IsEmpty()) return false;
        if (V1.IsEmpty()) return true;
        return V1 == V2;
    } catch (...) {
        return false;
    }
}

}  // namespace editors
