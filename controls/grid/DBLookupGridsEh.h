// The lookup list grid: a data grid over a list dataset that keeps one key value (the key of the
// record the user picked), and the drop-down form of it that lookup combo boxes and grid columns
// open under themselves.
#pragma once

#include <functional>
#include <vector>

#include "controls/editors/ToolCtrlsEh.h"
#include "controls/editors/ToolCtrlsEh_DropDown.h"
#include "controls/grid/DBGridEh.h"

namespace grid {

// The lookup grid's error texts.
namespace lookupmsg {
inline constexpr const char* SCircularDataLink = "Circular datalinks are not allowed";
inline constexpr const char* SPropDefByLookup = "Property already defined by lookup field";
inline constexpr const char* SDataSourceFixed = "Operation not allowed in a DBCtrlGrid";
inline constexpr const char* SFieldNotFound = "Field '%s' not found";
}  // namespace lookupmsg

enum TDBLookupGridEhOption {
    dlgColumnResizeEh,
    dlgColLinesEh,
    dlgRowLinesEh,
    dlgAutoSortMarkingEh,
    dlgMultiSortMarkingEh
};
using TDBLookupGridEhOptions = rtl::TSet<TDBLookupGridEhOption>;

// Resolves a ';'-separated list of field names of DataSet; a missing name raises "Field '%s'
// not found" naming that field.
void ResolveLookupFields(db::TDataSet* DataSet, const AnsiString& Names, std::vector<db::TField*>& Fields);
// The key of the current record of DataSet: a field's value, or an array for several fields.
Variant LookupKeyOfRecord(db::TDataSet* DataSet, const AnsiString& KeyField);

class TDBLookupGridEh : public TCustomDBGridEh {
    RTL_CLASS(TDBLookupGridEh, TCustomDBGridEh)
public:
    explicit TDBLookupGridEh(rtl::TComponent* Owner);
    ~TDBLookupGridEh() override;
    void AfterConstruction() override;

    // --- the list ---
    db::TDataSource* ListSource() const noexcept { return DataSource(); }
    void SetListSource(db::TDataSource* Value);
    const AnsiString& KeyField() const noexcept { return FKeyField; }
    void SetKeyField(const AnsiString& Value);
    const AnsiString& ListField() const noexcept { return FListField; }
    void SetListField(const AnsiString& Value);
    int ListFieldIndex() const noexcept { return FListFieldIndex; }
    void SetListFieldIndex(int Value);
    bool ListActive() const noexcept { return FListActive; }
    db::TField* DisplayField() const noexcept { return FDisplayField; }
    const std::vector<db::TField*>& ListFields() const noexcept { return FListFields; }
    const std::vector<db::TField*>& KeyFields() const noexcept { return FKeyFields; }

    // --- the key ---
    const Variant& KeyValue() const noexcept { return FKeyValue; }
    void SetKeyValue(const Variant& Value);
    const AnsiString& SelectedText() const noexcept { return FSelectedText; }
    const AnsiString& SearchText() const noexcept { return FSearchText; }
    void ClearSearchText() { FSearchText.clear(); }
    editors::TSpecRowEh* SpecRow() const noexcept { return FSpecRow.get(); }
    void SetSpecRow(editors::TSpecRowEh* Value) { FSpecRow->Assign(Value); }
    bool SpecRowSelected() const noexcept { return FSpecRowSelected; }
    bool LookupReadOnly() const noexcept { return FLookupReadOnly; }
    void SetLookupReadOnly(bool Value) noexcept { FLookupReadOnly = Value; }

    // --- size in whole rows ---
    int ListRowCount() const noexcept { return FListRowCount; }
    // Clamped to 1..100; the height follows.
    void SetListRowCount(int Value);
    bool ShowTitles() const { return Options().Contains(dgTitles); }
    void SetShowTitles(bool Value);
    void SetLookupUseMultiTitle(bool Value);
    bool AutoFit() const noexcept { return FAutoFit; }
    void SetAutoFit(bool Value);
    int TotalColumnWidth() const;
    TDBLookupGridEhOptions LookupOptions() const noexcept { return FLookupOptions; }
    void SetLookupOptions(TDBLookupGridEhOptions Value);
    void SetBounds(int ALeft, int ATop, int AWidth, int AHeight) override;

    // Fired after a pick (the key moved by the user).
    rtl::TNotifyEvent OnClick;

    // --- extension points ---
    virtual bool CanChangeKeyValue();
    virtual bool CanFindKeyRecord(const std::vector<db::TField*>& Fields, const Variant& Value);
    virtual int GetBorderHeight();
    virtual int GetSpecRowHeight();
    virtual int GetDataRowHeight();
    virtual void KeyValueChanged();
    virtual void ListLinkDataChanged();
    virtual void ProcessSearchKey(char Key);
    virtual void SelectKeyValue(const Variant& Value);
    virtual void RefreshDisplay();
    virtual void FitListColumns();
    virtual void UpdateListFields();
    virtual bool FindKeyRecord();

    // The list keys: moves, the special row, the search. Called by owners that forward keys.
    void LookupKeyDown(uint16_t& Key, ui::TShiftState Shift);

protected:
    void KeyDown(uint16_t& Key, ui::TShiftState Shift) override;
    void KeyPress(char& Key) override;
    void GetDataSetFields(std::vector<db::TField*>& List) override;
    void LinkActiveChanged(bool Active) override;
    void LinkDataSetChanged() override;
    // Moves the list cursor by Distance records (the special row above the first one).
    void MoveListBy(int Distance);
    // The list's current record becomes the key.
    void TakeCurrentRecord();
    void SelectSpecRow();
    void CheckNotLookupField();
    void CheckNotCircular();

    Variant FKeyValue = Variant::Null();
    AnsiString FKeyField, FListField;
    int FListFieldIndex = 0;
    std::vector<db::TField*> FKeyFields, FListFields;
    db::TField* FDisplayField = nullptr;
    bool FListActive = false;
    bool FSpecRowSelected = false;
    bool FInternalSelection = false;
    bool FLookupReadOnly = false;
    AnsiString FSelectedText, FSearchText;
    int FListRowCount = 7;
    bool FAutoFit = false;
    bool FFitting = false, FSizing = false;
    bool FInLinkActiveChange = false;
    TDBLookupGridEhOptions FLookupOptions;
    rtl::TOwnedPtr<editors::TSpecRowEh> FSpecRow;
};

// The drop-down form: never takes the focus; its owner forwards keys and the wheel and closes it.
class TPopupDataGridEh : public TDBLookupGridEh {
    RTL_CLASS(TPopupDataGridEh, TDBLookupGridEh)
public:
    explicit TPopupDataGridEh(rtl::TComponent* Owner);
    void AfterConstruction() override;
    bool CanFocus() const override { return false; }
    void SetParent(ui::TWinControl* AParent) override;

    editors::TSizeGripEh* SizeGrip() const noexcept { return FSizeGrip; }
    bool UserResized() const noexcept { return FUserResized; }
    void SetUserResized(bool Value) noexcept { FUserResized = Value; }
    bool UserAction() const noexcept { return FUserAction; }

    std::function<void(TPopupDataGridEh* Grid, bool Accept)> OnCloseUpRequest;
    std::function<void(TPopupDataGridEh* Grid)> OnUserKeyValueChanged;

    void KeyValueChanged() override;
    void SetBounds(int ALeft, int ATop, int AWidth, int AHeight) override;

protected:
    void CreateParams(ui::TCreateParams& Params) override;
    void KeyDown(uint16_t& Key, ui::TShiftState Shift) override;
    void MouseDown(ui::TMouseButton Button, ui::TShiftState Shift, int X, int Y) override;
    void MouseMove(ui::TShiftState Shift, int X, int Y) override;
    void MouseUp(ui::TMouseButton Button, ui::TShiftState Shift, int X, int Y) override;
    void WndProc(ui::TMessage& Message) override;
    // The data row under a client point, -1 outside the data rows; -2 on the special row.
    int DataRowAt(int X, int Y);
    void SelectRowAt(int X, int Y);

private:
    editors::TSizeGripEh* FSizeGrip = nullptr;  // owned as a component
    bool FUserResized = false;
    bool FPressedInside = false;
    bool FUserAction = false;
};

}  // namespace grid
