// What a column shows in a data cell and how new values reach its field.
#include <algorithm>

#include "controls/grid/DBGridEh.h"
#include "controls/grid/DBGridEh_Style.h"
#include "framework/db/DB_Error.h"
#include "framework/rtl/SysUtils.h"
#include "framework/rtl/Text.h"

namespace grid {

namespace {

bool IsNumericType(db::TFieldType T) {
    using namespace db;
    return T == ftSmallint || T == ftInteger || T == ftFloat || T == ftCurrency || T == ftBCD || T == ftFMTBcd;
}

bool IsIntegralOrNumericType(db::TFieldType T) { return IsNumericType(T) || T == db::ftWord; }

// Lookup fields are modified through their key fields.
bool KeyFieldsModifiable(db::TField* Field, db::TField*& FirstKey) {
    FirstKey = nullptr;
    if (Field->KeyFields().empty() || !Field->DataSet()) return false;
    std::vector<db::TField*> keys;
    Field->DataSet()->GetFieldList(keys, Field->KeyFields());
    if (keys.empty()) return false;
    for (db::TField* k : keys)
        if (!k->CanModify()) return false;
    FirstKey = keys.front();
    return true;
}

// One entry of a check-box KeyList: semicolon-separated codes; a trailing semicolon or an empty
// entry also matches the empty text.
bool CheckboxEntryMatches(const AnsiString& Entry, const AnsiString& Text) {
    if (Entry.empty()) return Text.empty();
    size_t start = 0;
    while (true) {
        const size_t semi = Entry.find(';', start);
        const AnsiString code = rtl::Trim(
            std::string_view(Entry).substr(start, semi == AnsiString::npos ? AnsiString::npos : semi - start));
        if (semi == AnsiString::npos) {
            // The part after the last semicolon: empty only when the entry ends with one.
            return rtl::AnsiCompareText(code, Text) == 0;
        }
        if (!code.empty() && rtl::AnsiCompareText(code, Text) == 0) return true;
        start = semi + 1;
    }
}

AnsiString FirstCode(const AnsiString& Entry) {
    const size_t semi = Entry.find(';');
    return rtl::Trim(std::string_view(Entry).substr(0, semi));
}

int StepIndex(int Index, int Count, bool Forward) {
    if (Forward) return (Index < 0 || Index >= Count - 1) ? 0 : Index + 1;
    return (Index <= 0) ? Count - 1 : Index - 1;
}

}  // namespace

int TColumnEh::ClampWidth(int Value) const noexcept {
    if (FMaxWidth > 0 && FMaxWidth < Value) return FMaxWidth;
    if (FMinWidth > 0 && Value < FMinWidth) return FMinWidth;
    return Value;
}

TColumnCellKindEh TColumnEh::CellKind() {
    db::TField* f = Field();
    if (Checkboxes()) return cckCheckBox;
    TCustomDBGridEh* g = Grid();
    if (f && f->DataType() == db::ftGraphic && g && g->DrawGraphicData()) return cckGraphic;
    if (f && f->FieldKind() == db::fkLookup) return cckLookup;
    if (HasPickList() && !HasKeyList()) return cckPickList;
    if (FImageList && !FShowImageAndText) return cckImage;
    if (HasKeyList() && HasPickList()) return cckKeyPickList;
    return cckText;
}

AnsiString TColumnEh::KeyListDisplayText() {
    db::TField* f = Field();
    if (!f || CellKind() == cckImage) return {};
    if (HasKeyList()) {
        const int i = FKeyList->IndexOf(f->Text());
        const int picks = FPickList ? FPickList->Count() : 0;
        if (i >= 0 && i < picks) return FPickList->Strings(i);
        if (FNotInKeyListIndex >= 0 && FNotInKeyListIndex < picks) return FPickList->Strings(FNotInKeyListIndex);
        return {};
    }
    TCustomDBGridEh* g = Grid();
    if (g && g->DrawMemoText() && (f->DataType() == db::ftMemo || f->DataType() == db::ftWideMemo))
        return f->AsString();
    if (FDisplayFormat.empty()) return f->DisplayText();
    if (f->IsNull()) return {};
    if (dynamic_cast<db::TNumericField*>(f)) return rtl::FormatFloat(FDisplayFormat, f->AsFloat());
    if (dynamic_cast<db::TDateTimeField*>(f) || f->DataType() == db::ftTimeStamp)
        return rtl::FormatDateTime(FDisplayFormat, f->AsDateTime());
    return {};
}

ui::TCheckBoxState TColumnEh::CheckboxState() {
    db::TField* f = Field();
    if (!f) return ui::cbUnchecked;
    if (!HasKeyList() && f->DataType() == db::ftBoolean) {
        if (f->IsNull()) return ui::cbGrayed;
        return f->AsBoolean() ? ui::cbChecked : ui::cbUnchecked;
    }
    if (!HasKeyList() && IsNumericType(f->DataType())) {
        if (f->IsNull()) return ui::cbGrayed;
        return f->AsFloat() == 1 ? ui::cbChecked : ui::cbUnchecked;
    }
    const AnsiString text = f->Text();
    const int n = FKeyList ? FKeyList->Count() : 0;
    if (n > 0 && CheckboxEntryMatches(FKeyList->Strings(0), text)) return ui::cbChecked;
    if (n >= 2 && CheckboxEntryMatches(FKeyList->Strings(1), text)) return ui::cbUnchecked;
    return ui::cbGrayed;
}

void TColumnEh::SetCheckboxState(ui::TCheckBoxState Value) {
    db::TField* f = Field();
    if (!f) return;
    if (Value == ui::cbGrayed) {
        UpdateDataValue({}, Variant::Null(), false);
    } else if (f->DataType() == db::ftBoolean) {
        UpdateDataValue({}, Variant(Value == ui::cbChecked), false);
    } else if (IsNumericType(f->DataType())) {
        UpdateDataValue({}, Variant(Value == ui::cbChecked ? 1 : 0), false);
    } else {
        const int entry = Value == ui::cbChecked ? 0 : 1;
        const AnsiString code = FKeyList && entry < FKeyList->Count() ? FirstCode(FKeyList->Strings(entry)) : "";
        UpdateDataValue(code, Variant(code), true);
    }
}


int TColumnEh::CellImageIndex() {
    db::TField* f = Field();
    if (!f) return -1;
    int r = -1;
    if (HasKeyList())
        r = FKeyList->IndexOf(f->Text());
    else if (HasPickList())
        r = FPickList->IndexOf(f->Text());
    else if (IsIntegralOrNumericType(f->DataType()))
        r = FieldValueAsInteger(f, -1);
    return r == -1 ? FNotInKeyListIndex : r;
}

db::TDataSet* TColumnEh::FieldLookupDataSet() {
    db::TField* f = Field();
    return f ? f->LookupDataSet() : nullptr;
}

db::TDataSet* TColumnEh::LookupListDataSet() { return FieldLookupDataSet(); }

bool TColumnEh::CanModifyField(bool TryEdit) {
    TCustomDBGridEh* g = Grid();
    if (g && (g->ReadOnly() || !g->DataLink()->Active() || g->DataLink()->ReadOnly())) return false;
    if (ReadOnly()) return false;
    db::TField* f = Field();
    if (!f) return false;
    db::TField* checked = f;
    if (f->FieldKind() == db::fkLookup && !KeyFieldsModifiable(f, checked)) return false;
    if (!checked->CanModify()) return false;
    if (checked->IsBlob() && !checked->OnSetText &&
        !(g && g->DrawMemoText() && (checked->DataType() == db::ftMemo || checked->DataType() == db::ftWideMemo)))
        return false;
    if (g) {
        db::TDataSet* ds = g->DataSet();
        const auto ops = g->AllowedOperations();
        if (!ops.Contains(alopUpdateEh) && !(ds && ds->State() == db::dsInsert)) return false;
        if (ds && ds->IsEmpty() && !ops.Contains(alopInsertEh) && !ops.Contains(alopAppendEh)) return false;
        if (TryEdit) {
            g->DataLink()->Edit();
            if (!g->DataLink()->Editing()) return false;
            g->DataLink()->FlagModified();
        }
    }
    return true;
}

void TColumnEh::UpdateDataValue(const AnsiString& Text, const Variant& Value, bool UseText) {
    TCustomDBGridEh* g = Grid();
    if (!g) return;
    AnsiString text = Text;
    Variant value = Value;
    bool useText = UseText;
    bool handled = false;
    if (OnUpdateData) OnUpdateData(this, text, value, useText, handled);
    db::TField* f = Field();
    if (handled || !f) return;
    if (useText) {
        if (g->DrawMemoText() && (f->DataType() == db::ftMemo || f->DataType() == db::ftWideMemo))
            f->SetAsString(text);
        else
            f->SetEditText(text);
    } else if (f->FieldKind() == db::fkLookup && !f->KeyFields().empty() && f->DataSet()) {
        f->DataSet()->SetFieldValues(f->KeyFields(), value);
    } else {
        f->SetValue(value);
    }
    if (FMRUList && FMRUList->AutoAdd() && FMRUList->Active() && g->InplaceEditor() &&
        g->InplaceEditor()->EditVisible())
        FMRUList->AddItem(text);
}

void TColumnEh::SetNextFieldValue(int Step) {
    TCustomDBGridEh* g = Grid();
    if (!g || !CanModifyField(true)) return;
    db::TField* f = Field();
    const AnsiString current = g->EditorMode() && g->InplaceEditor() ? g->InplaceEditor()->Text() : f->Text();
    const TColumnCellKindEh kind = CellKind();
    if (kind == cckCheckBox) {
        SetCheckboxState(CheckboxState() == ui::cbChecked ? ui::cbUnchecked : ui::cbChecked);
        return;
    }
    const bool forward = Step == 1;
    if ((kind == cckKeyPickList || kind == cckImage) && HasKeyList()) {
        const int i = FKeyList->IndexOf(f->Text());
        const AnsiString code = FKeyList->Strings(StepIndex(i, FKeyList->Count(), forward));
        UpdateDataValue(current, Variant(code), false);
        return;
    }
    if (kind == cckPickList) {
        const int n = FPickList->Count();
        const int i = FPickList->IndexOf(f->Text());
        const int next = StepIndex(i, n, forward);
        const bool wraps = forward ? (i < 0 || i >= n - 1) : (i <= 0);
        if (wraps)
            f->SetEditText(FPickList->Strings(next));
        else
            UpdateDataValue(FPickList->Strings(next), Variant(FPickList->Strings(next)), true);
        return;
    }
    if (kind == cckLookup) {
        db::TDataSet* list = LookupListDataSet();
        if (!list || !list->Active()) return;
        std::vector<db::TField*> keys;
        f->DataSet()->GetFieldList(keys, f->KeyFields());
        if (keys.empty()) return;
        if (keys.front()->IsNull() || !list->Locate(f->LookupKeyFields(), keys.front()->Value(), {})) {
            list->First();
        } else if (forward) {
            list->Next();
            if (list->Eof()) list->First();
        } else {
            list->Prior();
            if (list->Bof()) list->Last();
        }
        UpdateDataValue(current, list->FieldValues(f->LookupKeyFields()), false);
        if (db::TField* result = list->FindField(f->LookupResultField())) f->SetEditText(result->Text());
        return;
    }
    // An image column without codes, and any integral field, steps the number itself.
    if (IsIntegralOrNumericType(f->DataType())) {
        const double base = f->IsNull() ? -Step : f->AsFloat();
        try {
            if (f->DataType() == db::ftFloat || f->DataType() == db::ftCurrency || f->DataType() == db::ftBCD ||
                f->DataType() == db::ftFMTBcd)
                UpdateDataValue(current, Variant(base + Step), false);
            else
                UpdateDataValue(current, Variant(static_cast<int>(base) + Step), false);
        } catch (const db::EDatabaseError&) {
            // A value the field refuses (out of its range) leaves it as it was.
        }
    }
}

AnsiString TColumnEh::FilterValidChars(const AnsiString& Text) {
    db::TField* f = Field();
    AnsiString r;
    for (char c : Text) {
        bool keep;
        if (!f)
            keep = static_cast<bool>(OnUpdateData);
        else if (HasKeyList())
            keep = true;
        else
            keep = f->IsValidChar(c);
        if (keep) r += c;
    }
    return r;
}

void TColumnEh::FillColCellParams(TColCellParamsEh* Params) {
    Params->Font = Font();
    Params->Background = Color();
    Params->Alignment = Alignment();
    Params->ImageIndex = CellImageIndex();
    Params->Text = KeyListDisplayText();
    Params->CheckboxState = CheckboxState();
    Params->ReadOnly = ReadOnly();
    Params->TextEditing = TextEditing();
    Params->Col = -1;
    Params->Row = -1;
    Params->BlankFixedCell = false;
    Params->KeepCurrentBackground = false;
}

TColumnEditStyleEh TColumnEh::EditStyle() {
    switch (FButtonStyle) {
        case cbsEllipsis: return cesEllipsis;
        case cbsUpDown: return cesUpDown;
        case cbsDropDown: return cesDropDown;
        case cbsNone: return cesNone;
        case cbsAuto: break;
    }
    db::TField* f = Field();
    if (!f) return cesNone;
    TCustomDBGridEh* g = Grid();
    if (f->FieldKind() == db::fkLookup) {
        db::TField* first = nullptr;
        const bool designing = g && g->ComponentState().Contains(rtl::csDesigning);
        const bool keysOk = designing ? !f->KeyFields().empty() : KeyFieldsModifiable(f, first);
        const bool readOnlyAssigned = Assigned(cvReadOnly) && FReadOnly;
        if (keysOk && !readOnlyAssigned && g && !g->ReadOnly() && g->DataLink()->Active() && !g->DataLink()->ReadOnly())
            return cesDataList;
    }
    if (HasPickList() && !ReadOnly()) return cesPickList;
    const db::TFieldType t = f->DataType();
    if ((t == db::ftDate || t == db::ftDateTime || t == db::ftTimeStamp) && !ReadOnly()) return cesCalendar;
    return cesNone;
}

int TColumnEh::EditButtonsWidth() {
    TCustomDBGridEh* g = Grid();
    const bool flat = g && g->Flat();
    const int buttonWidth = flat ? editors::FlatButtonWidth() : ui::GetSystemMetrics(ui::SM_CXVSCROLL);
    int r = 0;
    if (EditStyle() != cesNone) r += flat ? buttonWidth + 1 : buttonWidth;
    if (FEditButtons) {
        for (int i = 0; i < FEditButtons->Count(); ++i) {
            editors::TEditButtonEh* b = FEditButtons->Items(i);
            if (!b->Visible()) continue;
            r += (b->Width() == 0 ? buttonWidth : b->Width()) + (flat ? 1 : 0);
        }
    }
    return r;
}

}  // namespace grid
