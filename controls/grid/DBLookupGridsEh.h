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


// Resolves a ';'-separated list of field names of DataSet; a missing name raises "Field '%s'
// not found" naming that field.
void ResolveLookupFields(db::TDataSet* DataSet, const AnsiString& Names, std::vector<db::TField*>& Fields);
// The fields of DataSet that DataField names and those a key is written to: the same fields, or
// the KeyFields of a lone lookup field, which is returned (else nullptr). Lists are cleared first;
// without a dataset they stay empty.
db::TField* ResolveKeyReceivingFields(db::TDataSet* DataSet, const AnsiString& DataField,
                                      std::vector<db::TField*>& DataFields, std::vector<db::TField*>& KeyReceiving,
                                      AnsiString& KeyReceivingNames);
// The key of the current record of DataSet: a field's value, or an array for several fields.
Variant LookupKeyOfRecord(db::TDataSet* DataSet, const AnsiString& KeyField);

class TDBLookupGridEh;

// The link to the dataset that receives the grid's key.
class TLookupGridDataLinkEh : public db::TDataLink {
    RTL_CLASS(TLookupGridDataLinkEh, db::TDataLink)
public:
    explicit TLookupGridDataLinkEh(TDBLookupGridEh* Grid) : FGrid(Grid) {}
    TDBLookupGridEh* Grid() const noexcept { return FGrid; }
    void ClearGrid() noexcept { FGrid = nullptr; }

protected:
    void ActiveChanged() override;
    void LayoutChanged() override;
    void RecordChanged(db::TField* Field) override;
    void FocusControl(db::TField** Field) override;

private:
    TDBLookupGridEh* FGrid;
};

// A lookup grid column's cell in the special row: its own text, colour and font where set,
// else the special row's.
class TGridColumnSpecCellEh : public rtl::TPersistent {
    RTL_CLASS(TGridColumnSpecCellEh, rtl::TPersistent)
public:
    explicit TGridColumnSpecCellEh(TColumnEh* Column);
    void Assign(rtl::TPersistent* Source) override;

    AnsiString Text() const;
    void SetText(const AnsiString& Value);
    bool TextAssigned() const noexcept { return FTextAssigned; }
    ui::TColor Color() const;
    void SetColor(ui::TColor Value);
    bool ColorAssigned() const noexcept { return FColorAssigned; }
    ui::TFont* Font();
    void SetFont(ui::TFont* Value) { FFont->Assign(Value); }
    bool FontAssigned() const noexcept { return FFontAssigned; }

private:
    editors::TSpecRowEh* GridSpecRow() const;
    void Changed();

    TColumnEh* FColumn;
    AnsiString FText;
    ui::TColor FColor = ui::clWindow;
    rtl::TOwnedPtr<ui::TFont> FFont;
    bool FTextAssigned = false;
    bool FColorAssigned = false;
    bool FFontAssigned = false;
};

class TDBLookupGridColumnEh : public TColumnEh {
    RTL_CLASS(TDBLookupGridColumnEh, TColumnEh)
public:
    explicit TDBLookupGridColumnEh(rtl::TCollection* Collection);
    void Assign(rtl::TPersistent* Source) override;

    TGridColumnSpecCellEh* SpecCell() const noexcept { return FSpecCell.get(); }
    void SetSpecCell(TGridColumnSpecCellEh* Value) { FSpecCell->Assign(Value); }
    // Set while the column's index or, for a default column, its width changes.
    bool IndexChanging() const noexcept { return FIndexChanging; }
    bool WidthChanging() const noexcept { return FWidthChanging; }

    void SetIndex(int Value) override;
    void SetWidth(int Value) override;

private:
    rtl::TOwnedPtr<TGridColumnSpecCellEh> FSpecCell;
    bool FIndexChanging = false;
    bool FWidthChanging = false;
};

class TDBLookupGridColumnDefValuesEh : public TColumnDefValuesEh {
    RTL_CLASS(TDBLookupGridColumnDefValuesEh, TColumnDefValuesEh)
public:
    using TColumnDefValuesEh::TColumnDefValuesEh;
};

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
    // The dataset that receives the key, and its fields the key goes to.
    db::TDataSource* LookupSource() const noexcept { return FLookupLink->DataSource(); }
    void SetLookupSource(db::TDataSource* Value);
    TLookupGridDataLinkEh* LookupLink() const noexcept { return FLookupLink.get(); }
    const AnsiString& DataField() const noexcept { return FDataField; }
    void SetDataField(const AnsiString& Value);
    bool LookupFieldMode() const noexcept { return FLookupFieldMode; }
    const std::vector<db::TField*>& DataFields() const noexcept { return FDataFields; }
    const AnsiString& KeyReceivingNames() const noexcept { return FKeyReceivingNames; }
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

    // The vertical bar over the list: record numbers where the list has them, else five
    // positions (first, a page up, between, a page down, last).
    TVertScrollValuesEh ListVertScrollValues();
    bool UpdateVertScrollBar() override;

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
    virtual void UpdateDataFields();
    virtual void UpdateListFields();
    virtual bool FindKeyRecord();
    // The receiving dataset's record or one of its fields changed (nil: the whole record).
    void LookupDataChanged(db::TField* Field);

    // The list keys: moves, the special row, the search. Called by owners that forward keys.
    void LookupKeyDown(uint16_t& Key, ui::TShiftState Shift);

    // A column moves from FromIndex to ToIndex: the special row's cells move with it, and over
    // default columns the list fields take the new order.
    void LookupColumnMoving(TDBLookupGridColumnEh* Column, int FromIndex, int ToIndex);

protected:
    void Notification(rtl::TComponent* AComponent, rtl::TOperation Operation) override;
    void MouseDown(ui::TMouseButton Button, ui::TShiftState Shift, int X, int Y) override;
    void MouseMove(ui::TShiftState Shift, int X, int Y) override;
    void MouseUp(ui::TMouseButton Button, ui::TShiftState Shift, int X, int Y) override;
    void WMTimer(ui::TWMTimer& Message) override;
    void WMVScroll(ui::TWMScroll& Message) override;
    void WMSize(ui::TWMSize& Message) override;
    int TitlesHeight();
    // The data rows the client area holds.
    int ListPageRows();
    // The control's height for Rows data rows with the present titles, border and special row.
    int HeightForRows(int Rows);
    // Scrolls the list so that record RecNo (1-based) is the first one shown; the key stays.
    void ScrollRecordToTop(int RecNo);
    // The data row under a client point, -1 outside the data rows; -2 on the special row.
    int DataRowAt(int X, int Y);
    // Picks the row under the point (the special row, or a buffered record).
    void SelectRowAt(int X, int Y);
    // Tracking beyond the top or the bottom edge scrolls, faster the farther away.
    void AutoScrollStep(int Y);
    void StopAutoScroll();
    void KeyDown(uint16_t& Key, ui::TShiftState Shift) override;
    void KeyPress(char& Key) override;
    bool DoMouseWheelDown(ui::TShiftState Shift, ui::TPoint MousePos) override;
    bool DoMouseWheelUp(ui::TShiftState Shift, ui::TPoint MousePos) override;
    bool GetDataCellHighlight(int DataCol, int DataRow, ui::TFont* AFont, ui::TColor& Color,
                              TGridDrawState State) override;
    bool FilterRowVisible() const override { return FSpecRow && FSpecRow->Visible(); }
    void DrawFilterCell(int ACol, int ARow, const TCellAreaEh& Area, TGridDrawState State, const TRect& ARect) override;
    void GetDataSetFields(std::vector<db::TField*>& List) override;
    void LinkActiveChanged(bool Active) override;
    void LinkDataSetChanged() override;
    TColumnDefValuesEh* CreateColumnDefValues() override;
    TDBGridColumnsEh* CreateColumns() override;
    void ColWidthsChanged() override;
    void CreateWnd() override;
    void WMSetFocus(ui::TWMSetFocus& Message) override;
    void WMKillFocus(ui::TWMKillFocus& Message) override;
    void WMGetDlgCode(ui::TWMGetDlgCode& Message) override;
    // Moves the list cursor by Distance records (the special row above the first one).
    void MoveListBy(int Distance);
    // The list's current record becomes the key.
    void TakeCurrentRecord();
    void SelectSpecRow();
    void CheckNotLookupField();
    void CheckNotCircular();
    // The key's record is among the buffered rows: its row index, else -1.
    int KeyRowIndex();

    bool FTracking = false;
    int FTrackY = 0;
    bool FAutoScrolling = false;
    rtl::TOwnedPtr<TLookupGridDataLinkEh> FLookupLink;
    rtl::TOwnedPtr<db::TDataSource> FInternalSource;
    AnsiString FDataField, FKeyReceivingNames;
    std::vector<db::TField*> FDataFields, FKeyReceivingFields;
    bool FLookupFieldMode = false;
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
    // The special row's settings changed (after the list has been repainted).
    std::function<void(TPopupDataGridEh* Grid)> OnSpecRowChanged;

    void KeyValueChanged() override;
    void SetBounds(int ALeft, int ATop, int AWidth, int AHeight) override;

protected:
    void CreateParams(ui::TCreateParams& Params) override;
    void KeyDown(uint16_t& Key, ui::TShiftState Shift) override;
    void MouseDown(ui::TMouseButton Button, ui::TShiftState Shift, int X, int Y) override;
    void MouseMove(ui::TShiftState Shift, int X, int Y) override;
    void MouseUp(ui::TMouseButton Button, ui::TShiftState Shift, int X, int Y) override;
    void WndProc(ui::TMessage& Message) override;

private:
    editors::TSizeGripEh* FSizeGrip = nullptr;  // owned as a component
    bool FUserResized = false;
    bool FPressedInside = false;
    bool FUserAction = false;
};

}  // namespace grid
