// The lookup combo box: shows a text of a list dataset's record while it keeps (and writes into
// the edited record) that record's key; its drop-down is a lookup list grid.
#pragma once

#include <memory>

#include "controls/editors/DBCtrlsEh.h"
#include "controls/editors/DBCtrlsEh_Editors.h"
#include "controls/grid/DBLookupGridsEh.h"

namespace grid {

enum TDBLookupComboboxEhStyle { csDropDownEh, csDropDownListEh };

class TCustomDBLookupComboboxEh;

// The drop-down settings of a lookup combo box; its special row's changes reach the control.
class TLookupComboboxDropDownBoxEh : public TColumnDropDownBoxEh {
    RTL_CLASS(TLookupComboboxDropDownBoxEh, TColumnDropDownBoxEh)
public:
    explicit TLookupComboboxDropDownBoxEh(TCustomDBLookupComboboxEh* Owner);
};

// The combo box's field link: several key fields, and a layout change resolves them again.
class TDataSourceLinkEh : public editors::TFieldDataLinkEh {
    RTL_CLASS(TDataSourceLinkEh, editors::TFieldDataLinkEh)
public:
    explicit TDataSourceLinkEh(TCustomDBLookupComboboxEh* Control);
    void HandleLayoutChange() override;

private:
    TCustomDBLookupComboboxEh* FLookupControl;
};

// The link to the list dataset.
class TListSourceLinkEh : public db::TDataLink {
    RTL_CLASS(TListSourceLinkEh, db::TDataLink)
public:
    explicit TListSourceLinkEh(TCustomDBLookupComboboxEh* Control) : FControl(Control) {}

protected:
    void ActiveChanged() override;
    void LayoutChanged() override;
    void DataSetChanged() override;
    void RecordChanged(db::TField*) override {}

private:
    TCustomDBLookupComboboxEh* FControl;
};

class TCustomDBLookupComboboxEh : public editors::TCustomDBEditEh, public ILookupGridOwnerEh {
    RTL_CLASS(TCustomDBLookupComboboxEh, editors::TCustomDBEditEh)
public:
    explicit TCustomDBLookupComboboxEh(rtl::TComponent* Owner);
    ~TCustomDBLookupComboboxEh() override;
    void AfterConstruction() override;
    void BeforeDestruction() override;

    // --- binding ---
    AnsiString GetDataField() const override { return FDataField; }
    void SetDataField(const AnsiString& Value) override;
    db::TDataSource* ListSource() const;
    void SetListSource(db::TDataSource* Value);
    AnsiString KeyField() const;
    void SetKeyField(const AnsiString& Value);
    const AnsiString& ListField() const noexcept { return FListField; }
    void SetListField(const AnsiString& Value);
    int ListFieldIndex() const noexcept { return FListFieldIndex; }
    void SetListFieldIndex(int Value);
    TDBLookupComboboxEhStyle Style() const noexcept { return FStyle; }
    void SetStyle(TDBLookupComboboxEhStyle Value);
    TLookupComboboxDropDownBoxEh* DropDownBox() const noexcept { return FDropDownBox.get(); }
    void SetDropDownBox(TLookupComboboxDropDownBoxEh* Value) { FDropDownBox->Assign(Value); }

    // --- state ---
    const Variant& KeyValue() const noexcept { return FKeyValue; }
    void SetKeyValue(const Variant& Value) { StoreKeyValue(Value); }
    bool ListActive() const noexcept { return FListActive; }
    bool LookupFieldMode() const noexcept { return FLookupFieldMode; }
    bool PlainEdit() const noexcept { return FPlainEdit; }
    bool ListVisible() const noexcept { return FListVisible; }
    db::TField* DisplayField() const noexcept { return FDisplayField; }
    const std::vector<db::TField*>& ListFields() const noexcept { return FListFields; }
    const std::vector<db::TField*>& KeyFields() const noexcept { return FKeyFields; }
    const std::vector<db::TField*>& DataFields() const noexcept { return FDataFields; }
    const AnsiString& KeyReceivingNames() const noexcept { return FKeyReceivingNames; }
    TPopupDataGridEh* DataList() const noexcept { return FDataList; }
    db::TDataSet* ListDataSet() const { return FListLink->DataSet(); }

    // --- events ---
    rtl::TNotifyEvent OnKeyValueChanged;
    editors::TNotInListEventEh OnNotInList;
    editors::TCloseUpEventEh OnCloseUp;
    rtl::TNotifyEvent OnDropDown;
    // The drop-down grid's own events.
    TCheckTitleEhBtnEvent& OnDropDownBoxCheckButton() { return FDataList->OnCheckButton; }
    TDrawColumnEhCellEvent& OnDropDownBoxDrawColumnCell() { return FDataList->OnDrawColumnCell; }
    TGetCellEhParamsEvent& OnDropDownBoxGetCellParams() { return FDataList->OnGetCellParams; }
    rtl::TNotifyEvent& OnDropDownBoxSortMarkingChanged() { return FDataList->OnSortMarkingChanged; }
    TTitleEhClickEvent& OnDropDownBoxTitleBtnClick() { return FDataList->OnTitleBtnClick; }

    // --- the drop-down grid's owner ---
    void FreeNotify(rtl::TComponent* Component) override;
    TDBLookupGridEh* LookupGrid() override { return FDataList; }
    TDBLookupGridEhOptions LookupGridOptions() override;
    void SetLookupGridOptions(TDBLookupGridEhOptions Value) override;

    // --- extension points ---
    virtual bool CanModifyKey(bool StartEdit);
    virtual bool KeyValueMatchesKeyFields(const std::vector<db::TField*>& Fields, const Variant& Value);
    virtual int GetListFieldsWidth();
    virtual bool LocateListText(const AnsiString& Text, bool Partial);
    virtual bool LocateKeyIn(db::TDataSource* Source);
    virtual bool UsesDropDownListSource();
    virtual void KeyValueChanged();
    virtual void ListLinkDataChanged() {}
    virtual void ProcessSearchText(const AnsiString& Typed);
    virtual void StoreKeyValue(const Variant& Value);
    virtual void ListSettingsChanged();
    virtual void UpdateDataFields();
    virtual void UpdateListFields();
    virtual void UpdateListLinkSource();
    virtual bool LocateKeyInList();
    virtual void SelectAllText();

    // --- overrides of the edit base ---
    bool ButtonEnabled() override;
    editors::TFieldDataLinkEh* CreateDataLink() override;
    editors::TEditButtonEh* CreateEditButton() override;
    ui::TAlignment DefaultAlignment() const override;
    AnsiString PaintCopyText() override;
    Variant GetValueVariant() const override { return FKeyValue; }
    bool IsValidChar(char Key) override;
    void ActiveChanged() override;
    void EditButtonDown(bool TopButton) override;
    void CloseUp(bool Accept) override;
    void DataChanged() override;
    void DropDown() override;
    void EditButtonMouseMove(rtl::TObject* Sender, ui::TShiftState Shift, int X, int Y) override;
    void InternalSetText(const AnsiString& AText) override;
    void InternalSetValue(const Variant& AValue) override;
    void SetFocused(bool Value) override;
    void UpdateData() override;
    void UpdateControlReadOnly() override;
    void StoreTextToLink() override;
    void WndProc(ui::TMessage& Message) override;

protected:
    void Notification(rtl::TComponent* AComponent, rtl::TOperation Operation) override;
    void KeyDown(uint16_t& Key, ui::TShiftState Shift) override;
    void KeyPress(char& Key) override;
    void WMChar(ui::TWMKey& Message) override;
    bool DoMouseWheel(ui::TShiftState Shift, int WheelDelta, ui::TPoint MousePos) override;
    ui::TWinControl* ListWindow() const override;

    // Sets the key without writing it anywhere; KeyValueChanged when it differs.
    void SetKeyValueInternal(const Variant& Value);
    // Shows a text without searching it.
    void SetTextInternal(const AnsiString& S);
    // The text of a list record for Field.
    static AnsiString ShownText(db::TField* Field);
    // Up: the previous list record; down: the next.
    void StepListRecord(bool Up);
    db::TDataSource* ListSourceInUse() const;
    void CheckNotLookupField();
    void CheckNotCircular(db::TDataSet* ListDataSet);
    bool ListModeMouse(ui::TMessage& Message);
    // Searches the whole text after the edit window changed it; a hit selects from Caret to the end.
    void SearchEditedText(int Caret);
    // Cut, paste or Del of the free-text style: the edit window acts, then the whole text is searched.
    void EditThenSearch(ui::TMessage& Message);
    void EMReplaceSel(ui::TMessage& Message);
    void DataListCloseUp(bool Accept);

private:
    friend class TListSourceLinkEh;
    friend class TDataSourceLinkEh;
    friend class TLookupComboboxDropDownBoxEh;

    AnsiString FDataField;
    std::vector<db::TField*> FDataFields, FKeyReceivingFields, FKeyFields, FListFields;
    AnsiString FKeyReceivingNames;
    AnsiString FKeyField, FListField;
    int FListFieldIndex = 0;
    db::TField* FDisplayField = nullptr;
    db::TDataSource* FListSource = nullptr;
    rtl::TOwnedPtr<db::TDataSource> FInternalSource;
    rtl::TOwnedPtr<TListSourceLinkEh> FListLink;
    std::unique_ptr<TLookupComboboxDropDownBoxEh> FDropDownBox;
    TPopupDataGridEh* FDataList = nullptr;  // owned as a component
    Variant FKeyValue = Variant::Null();
    TDBLookupComboboxEhStyle FStyle = csDropDownListEh;
    bool FListActive = false;
    bool FLookupFieldMode = false;
    bool FPlainEdit = true;
    bool FDroppedByPress = false;
    bool FUpdatingDataFields = false;
    bool FUnboundText = false;
};

class TDBLookupComboboxEh : public TCustomDBLookupComboboxEh {
    RTL_CLASS(TDBLookupComboboxEh, TCustomDBLookupComboboxEh)
public:
    using TCustomDBLookupComboboxEh::TCustomDBLookupComboboxEh;
};

}  // namespace grid
