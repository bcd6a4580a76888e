// The data-aware grid: a base grid whose rows show the records of a data source's dataset and
// whose columns are items of a column collection, each binding one field by name. Columns carry
// defaultable properties (unassigned, they follow the grid, the grid's column defaults or the
// field), a title with a sort marker, and filter-row settings. The grid reaches its dataset
// through one data link that holds the field map and the pending edit text, and keeps the
// selected records in a sorted bookmark list.
//
// Layout, painting, keyboard, mouse, selection, the grid style and center, footers and the
// column drop-downs build on this model; their hooks are the virtual operations below.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <vector>

#include "controls/editors/DBCtrlsEh.h"
#include "controls/editors/DBCtrlsEh_Editors.h"
#include "controls/editors/ToolCtrlsEh.h"
#include "controls/editors/ToolCtrlsEh_Buttons.h"
#include "controls/editors/ToolCtrlsEh_Draw.h"
#include "controls/editors/ToolCtrlsEh_DropDown.h"
#include "controls/grid/DBGridEh_TitleTree.h"
#include "controls/grid/DBSumLst.h"
#include "controls/grid/DbUtilsEh.h"
#include "controls/grid/GridsEh.h"
#include "framework/db/DB.h"
#include "framework/ui/ImgList.h"
#include "framework/ui/Menus.h"
#include "framework/ui/StdCtrls.h"

namespace grid {

using db::TAlignment;
using editors::TTextLayout;
using rtl::Variant;
using rtl::WideString;

class TCustomDBGridEh;
class TColumnEh;
class TDBGridColumnsEh;
class TDBGridEhStyle;
class TDBGridEhCenter;
class TDBGridEhIndicatorTitle;
class TDBGridInplaceEdit;
class TPopupDataGridEh;

// ---------------------------------------------------------------------------------------------
// Option sets

enum TDBGridOption {
    dgEditing,
    dgAlwaysShowEditor,
    dgTitles,
    dgIndicator,
    dgColumnResize,
    dgColLines,
    dgRowLines,
    dgTabs,
    dgRowSelect,
    dgAlwaysShowSelection,
    dgConfirmDelete,
    dgCancelOnExit,
    dgMultiSelect
};
using TDBGridOptions = rtl::TSet<TDBGridOption>;

enum TDBGridEhOption {
    dghFixed3D,
    dghFrozen3D,
    dghFooter3D,
    dghData3D,
    dghResizeWholeRightPart,
    dghHighlightFocus,
    dghClearSelection,
    dghFitRowHeightToText,
    dghAutoSortMarking,
    dghMultiSortMarking,
    dghEnterAsTab,
    dghTraceColSizing,
    dghIncSearch,
    dghPreferIncSearch,
    dghRowHighlight,
    dghDblClickOptimizeColWidth,
    dghDialogFind,
    dghRecordMoving,
    dghShowRecNo,
    dghColumnResize,
    dghColumnMove,
    dghAutoFitRowHeight
};
using TDBGridEhOptions = rtl::TSet<TDBGridEhOption>;

enum TDBGridEhAllowedOperation { alopInsertEh, alopUpdateEh, alopDeleteEh, alopAppendEh };
using TDBGridEhAllowedOperations = rtl::TSet<TDBGridEhAllowedOperation>;

enum TDBGridEhSelectionType { gstNon, gstRecordBookmarks, gstRectangle, gstColumns, gstAll };
using TDBGridEhAllowedSelections = rtl::TSet<TDBGridEhSelectionType>;

enum TDBGridEhEditAction { geaCutEh, geaCopyEh, geaPasteEh, geaDeleteEh, geaSelectAllEh };
using TDBGridEhEditActions = rtl::TSet<TDBGridEhEditAction>;

inline const TDBGridOptions DefaultDBGridOptions{dgEditing,  dgTitles, dgIndicator,     dgColumnResize, dgColLines,
                                                 dgRowLines, dgTabs,   dgConfirmDelete, dgCancelOnExit};
inline const TDBGridEhOptions DefaultDBGridEhOptions{dghFixed3D,    dghHighlightFocus, dghClearSelection,
                                                     dghDialogFind, dghColumnResize,   dghColumnMove};

enum TSortMarkerEh { smNoneEh, smDownEh, smUpEh };
enum TTextOrientationEh { tohHorizontal, tohVertical };
enum TColumnButtonStyleEh { cbsAuto, cbsEllipsis, cbsNone, cbsUpDown, cbsDropDown };
// What the in-place editor offers for a column, and the main button it shows.
enum TColumnEditStyleEh { cesNone, cesEllipsis, cesPickList, cesDataList, cesCalendar, cesUpDown, cesDropDown };
// How a column shows its value in a data cell.
enum TColumnCellKindEh { cckText, cckPickList, cckLookup, cckKeyPickList, cckImage, cckCheckBox, cckGraphic };

// Where a grid cell lies (GetCellType).
enum TCellColAreaEh { ccaIndicator, ccaData };
enum TCellRowAreaEh { rcaTitle, rcaFilter, rcaData, rcaFooter };
struct TCellAreaEh {
    TCellColAreaEh ColArea = ccaData;
    TCellRowAreaEh RowArea = rcaData;
    int DataCol = -1;
    int DataRow = -1;  // the footer row in the footer area
};

namespace msg {
inline constexpr const char* SAlgorithmError = "Algorithm error in TCustomDBGridEh.GetCellType";
inline constexpr const char* STooManyColumns = "Grid requested to display more than 256 columns";
}  // namespace msg

// ---------------------------------------------------------------------------------------------
// The grid's tool tips: the editors' window, with the hint font passed as data drawn in clWindowText.

class TToolTipsWindow : public editors::TToolTipsWindow {
    RTL_CLASS(TToolTipsWindow, editors::TToolTipsWindow)
public:
    using editors::TToolTipsWindow::TToolTipsWindow;
    ui::TRect CalcHintRect(int MaxWidth, const AnsiString& Hint, void* Data) override;
};

// ---------------------------------------------------------------------------------------------
// TColCellParamsEh: the parameters of one data cell, filled before it is painted or measured.

class TColCellParamsEh : public rtl::TObject {
    RTL_CLASS(TColCellParamsEh, rtl::TObject)
public:
    TColCellParamsEh();
    TAlignment Alignment = db::taLeftJustify;
    ui::TColor Background = ui::clWindow;
    bool BlankFixedCell = false;
    bool KeepCurrentBackground = false;
    ui::TCheckBoxState CheckboxState = ui::TCheckBoxState::cbUnchecked;
    int Col = -1;
    int Row = -1;
    ui::TFont* Font = nullptr;  // the canvas font while painting; not owned
    int ImageIndex = -1;
    bool ReadOnly = false;
    TGridDrawState State;
    AnsiString Text;
    bool TextEditing = true;
};

using TGetColCellParamsEventEh = std::function<void(TColumnEh* Sender, bool EditMode, TColCellParamsEh* Params)>;
using TColCellUpdateDataEventEh =
    std::function<void(TColumnEh* Sender, AnsiString& Text, Variant& Value, bool& UseText, bool& Handled)>;

// What a data hint handler may change before a data cell's tool tip shows (client coordinates).
struct TDBGridEhDataHintParams {
    TPoint CursorPos;
    int HintMaxWidth = 0;
    TPoint HintPos;
    TRect CursorRect;
    ui::TFont* HintFont = nullptr;
    int HideTimeout = 0;
    int ReshowTimeout = 0;
    AnsiString HintStr;
};
using TDBGridEhDataHintShowEvent =
    std::function<void(rtl::TObject* Sender, TPoint CursorPos, TGridCoord Cell, TPoint InCellCursorPos,
                       TColumnEh* Column, TDBGridEhDataHintParams& Params, bool& Processed)>;
using TDBGridEhHintShowPauseEvent =
    std::function<void(rtl::TObject* Sender, TPoint CursorPos, TGridCoord Cell, TPoint InCellCursorPos,
                       TColumnEh* Column, int& HintPause, bool& Processed)>;

// ---------------------------------------------------------------------------------------------
// Filter settings

// What the user typed into one column's filter cell, parsed, and the key values it stands for
// when the column's values come from another dataset.
class TSTColumnFilterEh : public rtl::TPersistent {
    RTL_CLASS(TSTColumnFilterEh, rtl::TPersistent)
public:
    explicit TSTColumnFilterEh(TColumnEh* Column);
    ~TSTColumnFilterEh() override;
    void Assign(rtl::TPersistent* Source) override;

    TColumnEh* Column() const noexcept { return FColumn; }
    TCustomDBGridEh* Grid() const;
    const WideString& DataField() const noexcept { return FDataField; }
    void SetDataField(const WideString& Value) { FDataField = Value; }
    const WideString& KeyField() const noexcept { return FKeyField; }
    void SetKeyField(const WideString& Value) { FKeyField = Value; }
    const WideString& ListField() const noexcept { return FListField; }
    void SetListField(const WideString& Value) { FListField = Value; }
    db::TDataSource* ListSource() const noexcept { return FListLink->DataSource(); }
    void SetListSource(db::TDataSource* Value);
    bool Visible() const noexcept { return FVisible; }
    void SetVisible(bool Value);
    int DropDownWidth() const noexcept { return FDropDownWidth; }
    void SetDropDownWidth(int Value) noexcept { FDropDownWidth = Value; }
    int DropDownRows() const noexcept { return FDropDownRows; }
    void SetDropDownRows(int Value) noexcept { FDropDownRows = Value; }

    TSTFilterExpressionEh Expression() const { return FExpression; }
    const AnsiString& ExpressionStr() const noexcept { return FExpressionStr; }
    const Variant& KeyValues() const noexcept { return FKeyValues; }
    WideString KeyFieldName() const;
    db::TDataSet* ListDataSet() const;
    WideString ListFieldName() const;
    // A value list over the list dataset's list field; null when there is none.
    rtl::TOwnedPtr<editors::TDatasetFieldValueListEh> CreateValueList() const;

    void SetExpressionText(const AnsiString& Text);
    void SetFilterText(const AnsiString& Text);
    void SetFilterTextAndRefresh(const AnsiString& Text);
    void ClearFilter();

    // Virtual operations, in slot order.
    virtual AnsiString ExpressionText() const;
    virtual bool HasValueList() const;
    virtual void KeysFromPickList(TSTFilterExpressionEh& Expression) const;
    virtual WideString FilterFieldName() const;
    virtual Variant FirstOperandValue() const;
    virtual Variant SecondOperandValue() const;

private:
    db::TField* LookupField() const;

    TColumnEh* FColumn;
    WideString FDataField;
    WideString FKeyField;
    WideString FListField;
    rtl::TOwnedPtr<editors::TFieldDataLinkEh> FListLink;
    bool FVisible = true;
    TSTFilterExpressionEh FExpression;
    AnsiString FExpressionStr;
    Variant FKeyValues = Variant::Null();
    int FDropDownWidth = 0;
    int FDropDownRows = 0;
};

// The grid-wide switches of the filter row.
class TSTDBGridEhFilter : public rtl::TPersistent {
    RTL_CLASS(TSTDBGridEhFilter, rtl::TPersistent)
public:
    explicit TSTDBGridEhFilter(TCustomDBGridEh* Grid) : FGrid(Grid) {}
    void Assign(rtl::TPersistent* Source) override;

    TCustomDBGridEh* Grid() const noexcept { return FGrid; }
    bool Local() const noexcept { return FLocal; }
    void SetLocal(bool Value) noexcept { FLocal = Value; }
    bool Visible() const noexcept { return FVisible; }
    void SetVisible(bool Value);
    void BeginUpdate() noexcept { ++FUpdateCount; }
    void EndUpdate() noexcept {
        if (FUpdateCount > 0) --FUpdateCount;
    }
    int UpdateCount() const noexcept { return FUpdateCount; }

private:
    TCustomDBGridEh* FGrid;
    bool FLocal = false;
    bool FVisible = false;
    int FUpdateCount = 0;
};

// ---------------------------------------------------------------------------------------------
// Column default values

class TColumnDefValuesEh;

class TColumnTitleDefValuesEh : public rtl::TPersistent {
    RTL_CLASS(TColumnTitleDefValuesEh, rtl::TPersistent)
public:
    explicit TColumnTitleDefValuesEh(TColumnDefValuesEh* Owner) : FOwner(Owner) {}
    void Assign(rtl::TPersistent* Source) override;

    TAlignment Alignment() const;
    void SetAlignment(TAlignment Value);
    bool AlignmentAssigned() const noexcept { return FAlignmentAssigned; }
    ui::TColor Color() const;
    void SetColor(ui::TColor Value);
    bool ColorAssigned() const noexcept { return FColorAssigned; }
    bool EndEllipsis() const noexcept { return FEndEllipsis; }
    void SetEndEllipsis(bool Value);
    TTextOrientationEh Orientation() const noexcept { return FOrientation; }
    void SetOrientation(TTextOrientationEh Value);
    bool TitleButton() const noexcept { return FTitleButton; }
    void SetTitleButton(bool Value) noexcept { FTitleButton = Value; }
    bool ToolTips() const noexcept { return FToolTips; }
    void SetToolTips(bool Value) noexcept { FToolTips = Value; }

private:
    TCustomDBGridEh* Grid() const;
    TColumnDefValuesEh* FOwner;
    TAlignment FAlignment = db::taLeftJustify;
    bool FAlignmentAssigned = false;
    ui::TColor FColor = ui::clBtnFace;
    bool FColorAssigned = false;
    bool FEndEllipsis = false;
    TTextOrientationEh FOrientation = tohHorizontal;
    bool FTitleButton = false;
    bool FToolTips = false;
};

class TColumnFooterDefValuesEh : public rtl::TPersistent {
    RTL_CLASS(TColumnFooterDefValuesEh, rtl::TPersistent)
public:
    void Assign(rtl::TPersistent* Source) override;
    bool ToolTips() const noexcept { return FToolTips; }
    void SetToolTips(bool Value) noexcept { FToolTips = Value; }

private:
    bool FToolTips = false;
};

class TColumnDefValuesEh : public rtl::TPersistent {
    RTL_CLASS(TColumnDefValuesEh, rtl::TPersistent)
public:
    explicit TColumnDefValuesEh(TCustomDBGridEh* Grid);
    ~TColumnDefValuesEh() override;
    void Assign(rtl::TPersistent* Source) override;

    TCustomDBGridEh* Grid() const noexcept { return FGrid; }
    bool AlwaysShowEditButton() const noexcept { return FAlwaysShowEditButton; }
    void SetAlwaysShowEditButton(bool Value);
    bool AutoDropDown() const noexcept { return FAutoDropDown; }
    void SetAutoDropDown(bool Value) noexcept { FAutoDropDown = Value; }
    bool DblClickNextVal() const noexcept { return FDblClickNextVal; }
    void SetDblClickNextVal(bool Value) noexcept { FDblClickNextVal = Value; }
    bool DropDownShowTitles() const noexcept { return FDropDownShowTitles; }
    void SetDropDownShowTitles(bool Value) noexcept { FDropDownShowTitles = Value; }
    bool DropDownSizing() const noexcept { return FDropDownSizing; }
    void SetDropDownSizing(bool Value) noexcept { FDropDownSizing = Value; }
    bool EndEllipsis() const noexcept { return FEndEllipsis; }
    void SetEndEllipsis(bool Value);
    TColumnFooterDefValuesEh* Footer() const noexcept { return FFooter.get(); }
    void SetFooter(TColumnFooterDefValuesEh* Value) { FFooter->Assign(Value); }
    bool HighlightRequired() const noexcept { return FHighlightRequired; }
    void SetHighlightRequired(bool Value);
    TTextLayout Layout() const noexcept { return FLayout; }
    void SetLayout(TTextLayout Value);
    TColumnTitleDefValuesEh* Title() const noexcept { return FTitle.get(); }
    void SetTitle(TColumnTitleDefValuesEh* Value) { FTitle->Assign(Value); }
    bool ToolTips() const noexcept { return FToolTips; }
    void SetToolTips(bool Value) noexcept { FToolTips = Value; }

private:
    void Repaint();
    TCustomDBGridEh* FGrid;
    rtl::TOwnedPtr<TColumnTitleDefValuesEh> FTitle;
    rtl::TOwnedPtr<TColumnFooterDefValuesEh> FFooter;
    bool FAlwaysShowEditButton = false;
    bool FAutoDropDown = false;
    bool FDblClickNextVal = false;
    bool FDropDownShowTitles = false;
    bool FDropDownSizing = false;
    bool FEndEllipsis = false;
    bool FHighlightRequired = false;
    TTextLayout FLayout = editors::tlTop;
    bool FToolTips = false;
};

class TDBGridEhColumnDefValuesEh : public TColumnDefValuesEh {
    RTL_CLASS(TDBGridEhColumnDefValuesEh, TColumnDefValuesEh)
public:
    using TColumnDefValuesEh::TColumnDefValuesEh;
};

// ---------------------------------------------------------------------------------------------
// TColumnsEhList: columns referred to, never owned.

class TColumnsEhList : public rtl::TList {
    RTL_CLASS(TColumnsEhList, rtl::TList)
public:
    TColumnEh* Items(int Index) const { return static_cast<TColumnEh*>(rtl::TList::Items(Index)); }
    void SetItems(int Index, TColumnEh* Column) { rtl::TList::SetItems(Index, Column); }
    TColumnEh* operator[](int Index) const { return Items(Index); }
    int Add(TColumnEh* Column) { return rtl::TList::Add(Column); }
    int Remove(TColumnEh* Column) { return rtl::TList::Remove(Column); }
    int IndexOf(TColumnEh* Column) const { return rtl::TList::IndexOf(Column); }
};

// ---------------------------------------------------------------------------------------------
// The properties a column reports from elsewhere until they are assigned.
enum TColumnEhValue {
    cvColor,
    cvWidth,
    cvFont,
    cvAlignment,
    cvReadOnly,
    cvTitleColor,
    cvTitleCaption,
    cvTitleAlignment,
    cvTitleFont,
    cvTitleButton,
    cvTitleEndEllipsis,
    cvTitleToolTips,
    cvTitleOrientation,
    cvImeMode,
    cvImeName,
    cvWordWrap,
    cvLookupDisplayFields,
    cvCheckboxes,
    cvAlwaysShowEditButton,
    cvEndEllipsis,
    cvAutoDropDown,
    cvDblClickNextVal,
    cvToolTips,
    cvDropDownSizing,
    cvDropDownShowTitles,
    cvLayout,
    cvHighlightRequired,
    cvBiDiMode,
    cvTextEditing
};
using TColumnEhValues = rtl::TSet<TColumnEhValue>;
inline const TColumnEhValues ColumnEhTitleValues{cvTitleColor,    cvTitleCaption,    cvTitleAlignment,
                                                 cvTitleFont,     cvTitleButton,     cvTitleEndEllipsis,
                                                 cvTitleToolTips, cvTitleOrientation};

// ---------------------------------------------------------------------------------------------
// Column titles

class TColumnTitleEh : public rtl::TPersistent {
    RTL_CLASS(TColumnTitleEh, rtl::TPersistent)
public:
    explicit TColumnTitleEh(TColumnEh* Column);
    ~TColumnTitleEh() override;
    void Assign(rtl::TPersistent* Source) override;

    TColumnEh* Column() const noexcept { return FColumn; }
    TAlignment Alignment() const;
    void SetAlignment(TAlignment Value);
    AnsiString Caption() const;
    ui::TColor Color() const;
    void SetColor(ui::TColor Value);
    bool EndEllipsis() const;
    void SetEndEllipsis(bool Value);
    ui::TFont* Font();
    void SetFont(ui::TFont* Value) { FFont->Assign(Value); }
    const AnsiString& Hint() const noexcept { return FHint; }
    void SetHint(const AnsiString& Value) { FHint = Value; }
    int ImageIndex() const noexcept { return FImageIndex; }
    void SetImageIndex(int Value);
    TTextOrientationEh Orientation() const;
    void SetOrientation(TTextOrientationEh Value);
    int SortIndex() const noexcept { return FSortIndex; }
    void SetSortIndex(int Value);
    TSortMarkerEh SortMarker() const noexcept { return FSortMarker; }
    void SetSortMarker(TSortMarkerEh Value);
    bool TitleButton() const;
    void SetTitleButton(bool Value);
    bool ToolTips() const;
    void SetToolTips(bool Value);

    // Advances the marker as a title-button click does.
    void CycleSortMarker(bool KeepOthers);
    int SortMarkerAreaWidth();
    // The title font the grid gives unassigned titles.
    ui::TFont* DefaultFont() const;

    // Virtual operations, in slot order.
    virtual void SetCaption(const AnsiString& Value);
    virtual void RestoreDefaults();

private:
    friend class TColumnEh;
    void FontChanged();
    void RefreshDefaultFont();
    TCustomDBGridEh* Grid() const;
    TColumnDefValuesEh* DefValues() const;
    // The assigned value, else the grid's title default, else the fallback.
    template <class T, class Get>
    T Defaulted(TColumnEhValue V, const T& Own, Get FromDefaults, const T& Fallback) const;
    // Stores an assigned value and reports the column changed.
    template <class T>
    void Store(TColumnEhValue V, T& Field, const T& Value);

    TColumnEh* FColumn;
    rtl::TOwnedPtr<ui::TFont> FFont;
    AnsiString FCaption;
    TAlignment FAlignment = db::taLeftJustify;
    ui::TColor FColor = ui::clBtnFace;
    bool FEndEllipsis = false;
    AnsiString FHint;
    int FImageIndex = -1;
    TTextOrientationEh FOrientation = tohHorizontal;
    int FSortIndex = 0;
    TSortMarkerEh FSortMarker = smNoneEh;
    bool FTitleButton = false;
    bool FToolTips = false;
};

// ---------------------------------------------------------------------------------------------
// Column footers: a sum, an average or a count over the records, a field value or a fixed text

enum TFooterValueType { fvtNon, fvtSum, fvtAvg, fvtCount, fvtFieldValue, fvtStaticText };

class TColumnFooterEh : public rtl::TCollectionItem {
    RTL_CLASS(TColumnFooterEh, rtl::TCollectionItem)
public:
    // An item of a column's Footers.
    explicit TColumnFooterEh(rtl::TCollection* Collection);
    // A column's single Footer.
    explicit TColumnFooterEh(TColumnEh* Column);
    ~TColumnFooterEh() override;
    void AfterConstruction() override;
    void Assign(rtl::TPersistent* Source) override;

    TColumnEh* Column() const noexcept { return FColumn; }
    TAlignment Alignment() const;
    void SetAlignment(TAlignment Value);
    ui::TColor Color() const;
    void SetColor(ui::TColor Value);
    const AnsiString& DisplayFormat() const noexcept { return FDisplayFormat; }
    void SetDisplayFormat(const AnsiString& Value);
    bool EndEllipsis() const noexcept { return FEndEllipsis; }
    void SetEndEllipsis(bool Value);
    const WideString& FieldName() const noexcept { return FFieldName; }
    void SetFieldName(const WideString& Value);
    ui::TFont* Font();
    void SetFont(ui::TFont* Value) { FFont->Assign(Value); }
    bool ToolTips() const;
    void SetToolTips(bool Value);
    const AnsiString& Value() const noexcept { return FValue; }
    void SetValue(const AnsiString& Value);
    TFooterValueType ValueType() const noexcept { return FValueType; }
    void SetValueType(TFooterValueType Value);
    bool WordWrap() const noexcept { return FWordWrap; }
    void SetWordWrap(bool Value);
    // The sum bound while the value type needs one.
    TDBSum* DBSum() const noexcept { return FDBSum; }
    // Creates, updates or frees the bound sum for the value type.
    void BindSum();

    virtual void RestoreDefaults();

private:
    ui::TFont* DefaultFont() const;
    void ReportChanged(bool AllItems);
    TCustomDBGridEh* Grid() const;

    TColumnEh* FColumn = nullptr;
    rtl::TOwnedPtr<ui::TFont> FFont;
    TAlignment FAlignment = db::taLeftJustify;
    ui::TColor FColor = ui::clWindow;
    bool FToolTips = false;
    bool FAlignmentAssigned = false, FColorAssigned = false, FFontAssigned = false, FToolTipsAssigned = false;
    AnsiString FDisplayFormat;
    bool FEndEllipsis = false;
    WideString FFieldName;
    AnsiString FValue;
    TFooterValueType FValueType = fvtNon;
    bool FWordWrap = false;
    TDBSum* FDBSum = nullptr;
    bool FCopyingFont = false;
};

class TColumnFootersEh : public rtl::TCollection {
    RTL_CLASS(TColumnFootersEh, rtl::TCollection)
public:
    explicit TColumnFootersEh(TColumnEh* Column);
    TColumnEh* Column() const noexcept { return FColumn; }
    TColumnFooterEh* Items(int Index) const { return static_cast<TColumnFooterEh*>(rtl::TCollection::Items(Index)); }
    TColumnFooterEh* Add() { return static_cast<TColumnFooterEh*>(rtl::TCollection::Add()); }
    rtl::TPersistent* GetOwner() override;

protected:
    void Update(rtl::TCollectionItem* Item) override;

private:
    TColumnEh* FColumn;
};

// The grid's sum list: it works at design time, where the grid recalculates the sums itself.
class TDBGridEhSumList : public TDBSumListProducer {
    RTL_CLASS(TDBGridEhSumList, TDBSumListProducer)
public:
    explicit TDBGridEhSumList(TCustomDBGridEh* Grid);
    TCustomDBGridEh* Grid() const noexcept { return FGrid; }
    void HookDataSetEvents() override;
    void UnhookDataSetEvents() override;

private:
    TCustomDBGridEh* FGrid;
};

// ---------------------------------------------------------------------------------------------
// The drop-down lookup grid of a column or a lookup combo box, reached through its owner

class TDBLookupGridEh;
class TDBGridColumnsEh;

enum TDBLookupGridEhOption {
    dlgColumnResizeEh,
    dlgColLinesEh,
    dlgRowLinesEh,
    dlgAutoSortMarkingEh,
    dlgMultiSortMarkingEh
};
using TDBLookupGridEhOptions = rtl::TSet<TDBLookupGridEhOption>;

class ILookupGridOwnerEh {
public:
    virtual ~ILookupGridOwnerEh() = default;
    // Asks Component to tell the owner when it is freed.
    virtual void FreeNotify(rtl::TComponent* Component) = 0;
    // The drop-down grid, made on first use.
    virtual TDBLookupGridEh* LookupGrid() = 0;
    virtual TDBLookupGridEhOptions LookupGridOptions() = 0;
    virtual void SetLookupGridOptions(TDBLookupGridEhOptions Value) = 0;
};

// The design-time face of a drop-down lookup grid: what it keeps itself, and what it reads and
// writes on the owner's grid. An owner without ILookupGridOwnerEh has no grid to reach.
class TColumnDropDownBoxEh : public rtl::TPersistent {
    RTL_CLASS(TColumnDropDownBoxEh, rtl::TPersistent)
public:
    explicit TColumnDropDownBoxEh(rtl::TPersistent* Owner);
    ~TColumnDropDownBoxEh() override;
    void Assign(rtl::TPersistent* Source) override;
    rtl::TPersistent* GetOwner() override { return FOwner; }

    editors::TDropDownAlign Align = editors::daLeft;
    bool AutoDrop = false;
    int Rows = 7;
    // 0: the control's width; -1: the columns' total width; never narrower than the control.
    int Width = 0;
    bool Sizable = false;
    bool ShowTitles = false;
    bool AutoFitColWidths = true;
    bool UseMultiTitle = false;

    editors::TSpecRowEh* SpecRow() const noexcept { return FSpecRow.get(); }
    void SetSpecRow(editors::TSpecRowEh* Value) { FSpecRow->Assign(Value); }
    db::TDataSource* ListSource() const noexcept { return FListSource; }
    void SetListSource(db::TDataSource* Value);
    // Forgets a freed list source.
    void ClearListSource() noexcept { FListSource = nullptr; }
    TColumnDefValuesEh* ColumnDefValues() const;
    void SetColumnDefValues(TColumnDefValuesEh* Value);
    TDBGridColumnsEh* Columns() const;
    void SetColumns(TDBGridColumnsEh* Value);
    TDBLookupGridEhOptions Options() const;
    void SetOptions(TDBLookupGridEhOptions Value);
    bool SortLocal() const;
    void SetSortLocal(bool Value);

protected:
    ILookupGridOwnerEh* OwnerIntf() const { return dynamic_cast<ILookupGridOwnerEh*>(FOwner); }
    TDBLookupGridEh* OwnerGrid() const;

private:
    rtl::TPersistent* FOwner;
    rtl::TOwnedPtr<editors::TSpecRowEh> FSpecRow;
    db::TDataSource* FListSource = nullptr;
};

// The filter row's editor: a combo box whose text sits one pixel lower.
class TInplaceFilterEditEh : public editors::TDBComboBoxEh {
    RTL_CLASS(TInplaceFilterEditEh, editors::TDBComboBoxEh)
public:
    using editors::TDBComboBoxEh::TDBComboBoxEh;
    // The value first, then the text shown for it.
    void SetValueAndText(const Variant& Value, const AnsiString& Text);
    void TextAreaRect(ui::TRect& Rect) override;
};

// ---------------------------------------------------------------------------------------------
// Columns

class TColumnEh : public rtl::TCollectionItem, public ILookupGridOwnerEh {
    RTL_CLASS(TColumnEh, rtl::TCollectionItem)
public:
    explicit TColumnEh(rtl::TCollection* Collection);
    ~TColumnEh() override;
    void AfterConstruction() override;
    void BeforeDestruction() override;
    void Assign(rtl::TPersistent* Source) override;
    AnsiString DisplayName() const override;
    void SetIndex(int Value) override;

    TCustomDBGridEh* Grid() const;
    TColumnEhValues AssignedValues() const noexcept { return FAssignedValues; }

    // --- binding ---
    db::TField* Field();
    const WideString& FieldName() const noexcept { return FFieldName; }
    void SetFieldName(const WideString& Value);
    // The cached field, without a look-up.
    db::TField* CachedField() const noexcept { return FField; }
    void ClearFieldReference() noexcept { FField = nullptr; }
    int FitWidth() const noexcept { return FFitWidth; }
    void SetFitWidth(int Value) noexcept { FFitWidth = Value; }

    // --- defaultable properties ---
    TAlignment Alignment();
    bool AlwaysShowEditButton() const;
    void SetAlwaysShowEditButton(bool Value);
    bool AutoDropDown() const;
    void SetAutoDropDown(bool Value);
    bool Checkboxes();
    void SetCheckboxes(bool Value);
    ui::TColor Color() const;
    void SetColor(ui::TColor Value);
    bool DblClickNextVal() const;
    void SetDblClickNextVal(bool Value);
    bool DropDownShowTitles() const;
    void SetDropDownShowTitles(bool Value);
    bool DropDownSizing() const;
    void SetDropDownSizing(bool Value);
    bool EndEllipsis() const;
    void SetEndEllipsis(bool Value);
    ui::TFont* Font();
    void SetFont(ui::TFont* Value) { FFont->Assign(Value); }
    bool HighlightRequired() const;
    TTextLayout Layout() const;
    void SetLayout(TTextLayout Value);
    WideString LookupDisplayFields();
    bool ReadOnly();
    bool TextEditing() const;
    void SetTextEditing(bool Value);
    bool ToolTips() const;
    void SetToolTips(bool Value);
    int Width();
    bool WordWrap();

    // --- plain properties ---
    bool AutoFitColWidth() const noexcept { return FAutoFitColWidth; }
    TColumnButtonStyleEh ButtonStyle() const noexcept { return FButtonStyle; }
    void SetButtonStyle(TColumnButtonStyleEh Value);
    const AnsiString& DisplayFormat() const noexcept { return FDisplayFormat; }
    void SetDisplayFormat(const AnsiString& Value);
    int DropDownRows() const noexcept { return FDropDownRows; }
    void SetDropDownRows(int Value) noexcept { FDropDownRows = Value; }
    int DropDownWidth() const noexcept { return FDropDownWidth; }
    void SetDropDownWidth(int Value);
    const AnsiString& EditMask() const noexcept { return FEditMask; }
    void SetEditMask(const AnsiString& Value);
    bool HideDuplicates() const noexcept { return FHideDuplicates; }
    ui::TCustomImageList* ImageList() const noexcept { return FImageList; }
    void SetImageList(ui::TCustomImageList* Value);
    double Increment() const noexcept { return FIncrement; }
    void SetIncrement(double Value) noexcept { FIncrement = Value; }
    int MaxWidth() const noexcept { return FMaxWidth; }
    void SetMaxWidth(int Value);
    int MinWidth() const noexcept { return FMinWidth; }
    void SetMinWidth(int Value);
    int NotInKeyListIndex() const noexcept { return FNotInKeyListIndex; }
    void SetNotInKeyListIndex(int Value);
    ui::TPopupMenu* PopupMenu() const noexcept { return FPopupMenu; }
    void SetPopupMenu(ui::TPopupMenu* Value);
    bool ShowImageAndText() const noexcept { return FShowImageAndText; }
    void SetShowImageAndText(bool Value);
    intptr_t Tag() const noexcept { return FTag; }
    void SetTag(intptr_t Value) noexcept { FTag = Value; }
    bool Visible() const noexcept { return FVisible; }
    void SetVisible(bool Value);

    // --- owned objects ---
    // Created on first read.
    rtl::TStrings* PickList();
    rtl::TStrings* KeyList();
    bool HasPickList() const noexcept { return FPickList && FPickList->Count() > 0; }
    bool HasKeyList() const noexcept { return FKeyList && FKeyList->Count() > 0; }
    void SetPickList(rtl::TStrings* Value);
    void SetKeyList(rtl::TStrings* Value);
    TColumnTitleEh* Title() const noexcept { return FTitle.get(); }
    void SetTitle(TColumnTitleEh* Value) { FTitle->Assign(Value); }
    editors::TEditButtonsEh* EditButtons() const noexcept { return FEditButtons.get(); }
    void SetEditButtons(editors::TEditButtonsEh* Value) { FEditButtons->Assign(Value); }
    editors::TSpecRowEh* DropDownSpecRow() const noexcept { return FDropDownSpecRow.get(); }
    void SetDropDownSpecRow(editors::TSpecRowEh* Value) { FDropDownSpecRow->Assign(Value); }
    editors::TMRUListEh* MRUList() const noexcept { return FMRUList.get(); }
    void SetMRUList(editors::TMRUListEh* Value) { FMRUList->Assign(Value); }
    TSTColumnFilterEh* STFilter() const noexcept { return FSTFilter.get(); }
    void SetSTFilter(TSTColumnFilterEh* Value) { FSTFilter->Assign(Value); }
    TColumnDropDownBoxEh* DropDownBox() const noexcept { return FDropDownBox.get(); }
    void SetDropDownBox(TColumnDropDownBoxEh* Value) { FDropDownBox->Assign(Value); }
    TColumnFooterEh* Footer() const noexcept { return FFooter.get(); }
    void SetFooter(TColumnFooterEh* Value) { FFooter->Assign(Value); }
    TColumnFootersEh* Footers() const noexcept { return FFooters.get(); }
    void SetFooters(TColumnFootersEh* Value) { FFooters->Assign(Value); }
    // The Footers item of that index, else the single Footer.
    TColumnFooterEh* FooterForIndex(int Index) const;
    // Binds the footers' sums again (the field or a footer's value type changed).
    void UpdateFooterSums();

    // --- the drop-down lookup grid ---
    void FreeNotify(rtl::TComponent* Component) override;
    TDBLookupGridEh* LookupGrid() override;
    TDBLookupGridEhOptions LookupGridOptions() override;
    void SetLookupGridOptions(TDBLookupGridEhOptions Value) override;
    bool LookupGridMade() const noexcept { return FLookupGrid != nullptr; }
    // The grid's five events, relayed (reading makes the drop-down grid).

    // The value list of the column's filter-row drop-down (the filter row keeps it).
    editors::IMemTableDataFieldValueListEh* FilterValueList() const noexcept { return FFilterValueList; }
    void SetFilterValueList(editors::IMemTableDataFieldValueListEh* Value) noexcept { FFilterValueList = Value; }

    // The column changed (or, with AllItems, every column): see the collection's Update.
    void Changed(bool AllItems) { rtl::TCollectionItem::Changed(AllItems); }

    // --- events ---
    TGetColCellParamsEventEh OnGetCellParams() const { return FOnGetCellParams; }
    void SetOnGetCellParams(TGetColCellParamsEventEh Value);
    editors::TNotInListEventEh OnNotInList;
    TColCellUpdateDataEventEh OnUpdateData;
    // Sender is the cell editor; Text its text.
    std::function<void(rtl::TObject* Sender, const AnsiString& Text, bool& DrawState)> OnCheckDrawRequiredState;
    editors::TButtonClickEventEh OnEditButtonClick;
    editors::TButtonDownEventEh OnEditButtonDown;
    TDBGridEhDataHintShowEvent OnDataHintShow;
    TDBGridEhHintShowPauseEvent OnHintShowPause;

    // --- virtual operations, in slot order ---
    virtual editors::TEditButtonsEh* CreateEditButtons();
    virtual TSTColumnFilterEh* CreateColumnFilter();
    virtual TColumnTitleEh* CreateTitle();
    virtual bool IsDefaultColumn() const { return !FPersistent; }
    virtual void SetAlignment(TAlignment Value);
    virtual void SetAutoFitColWidth(bool Value);
    virtual void SetField(db::TField* Value);
    virtual void SetHideDuplicates(bool Value);
    virtual void SetHighlightRequired(bool Value);
    virtual void SetLookupDisplayFields(const WideString& Value);
    virtual void SetReadOnly(bool Value);
    virtual void SetWidth(int Value);
    virtual void SetWordWrap(bool Value);
    virtual void SpecRowChanged();
    virtual bool UsesRightToLeftAlignment() const { return false; }
    virtual bool UsesRightToLeftReading() const { return false; }
    virtual void GetColCellParams(bool EditMode, TColCellParamsEh* Params);
    virtual void RestoreDefaults();

    // The width an unassigned column reports.
    int DefaultWidth();

    // --- cell values ---
    TColumnCellKindEh CellKind();
    AnsiString KeyListDisplayText();
    ui::TCheckBoxState CheckboxState();
    void SetCheckboxState(ui::TCheckBoxState Value);
    int CellImageIndex();
    bool CanModifyField(bool TryEdit);
    void UpdateDataValue(const AnsiString& Text, const Variant& Value, bool UseText);
    void SetNextFieldValue(int Step);
    AnsiString FilterValidChars(const AnsiString& Text);
    void FillColCellParams(TColCellParamsEh* Params);
    db::TDataSet* LookupListDataSet();
    db::TDataSet* FieldLookupDataSet();
    int EditButtonsWidth();
    // The edit style chosen from ButtonStyle, the field and the read-only states.
    TColumnEditStyleEh EditStyle();
    int ClampWidth(int Value) const noexcept;
    // Set by the auto-fit loop when the column stopped at one of its limits.
    bool AutoFitFixed = false;

private:
    friend class TDBGridColumnsEh;
    friend class TColumnTitleEh;
    bool Assigned(TColumnEhValue V) const noexcept { return FAssignedValues.Contains(V); }
    void MarkAssigned(TColumnEhValue V) noexcept { FAssignedValues.Include(V); }
    // Stores an assigned value; false when it was assigned with this value already.
    template <class T>
    bool StoreAssigned(TColumnEhValue V, T& Store, const T& Value) {
        if (Assigned(V) && Store == Value) return false;
        Store = Value;
        MarkAssigned(V);
        return true;
    }
    TColumnDefValuesEh* DefValues() const;
    // The grid's data link is active and this is a default column with a field.
    bool WritesThroughToField();
    void FontChanged();
    void RefreshDefaultFont();
    void RepaintGrid() const;

    TColumnEhValues FAssignedValues;
    bool FPersistent = true;
    WideString FFieldName;
    db::TField* FField = nullptr;
    int FFitWidth = 0;

    TAlignment FAlignment = db::taLeftJustify;
    bool FAlwaysShowEditButton = false;
    bool FAutoDropDown = false;
    bool FCheckboxes = false;
    ui::TColor FColor = ui::clWindow;
    bool FDblClickNextVal = false;
    bool FDropDownShowTitles = false;
    bool FDropDownSizing = false;
    bool FEndEllipsis = false;
    bool FHighlightRequired = false;
    TTextLayout FLayout = editors::tlTop;
    WideString FLookupDisplayFields;
    bool FReadOnly = false;
    bool FTextEditing = true;
    bool FToolTips = false;
    int FWidth = 0;
    bool FWordWrap = false;

    bool FAutoFitColWidth = true;
    TColumnButtonStyleEh FButtonStyle = cbsAuto;
    AnsiString FDisplayFormat;
    int FDropDownRows = 7;
    int FDropDownWidth = 0;
    AnsiString FEditMask;
    bool FHideDuplicates = false;
    ui::TCustomImageList* FImageList = nullptr;
    double FIncrement = 1.0;
    int FMaxWidth = 0;
    int FMinWidth = 0;
    int FNotInKeyListIndex = -1;
    ui::TPopupMenu* FPopupMenu = nullptr;
    bool FShowImageAndText = false;
    intptr_t FTag = 0;
    bool FVisible = true;

    rtl::TOwnedPtr<ui::TFont> FFont;
    rtl::TOwnedPtr<rtl::TStringList> FPickList;
    rtl::TOwnedPtr<rtl::TStringList> FKeyList;
    rtl::TOwnedPtr<TColumnTitleEh> FTitle;
    rtl::TOwnedPtr<editors::TEditButtonsEh> FEditButtons;
    rtl::TOwnedPtr<editors::TSpecRowEh> FDropDownSpecRow;
    rtl::TOwnedPtr<editors::TMRUListEh> FMRUList;
    rtl::TOwnedPtr<TSTColumnFilterEh> FSTFilter;
    rtl::TOwnedPtr<TColumnDropDownBoxEh> FDropDownBox;
    rtl::TOwnedPtr<TColumnFooterEh> FFooter;
    rtl::TOwnedPtr<TColumnFootersEh> FFooters;
    rtl::TOwnedPtr<TDBLookupGridEh> FLookupGrid;
    editors::IMemTableDataFieldValueListEh* FFilterValueList = nullptr;
    TGetColCellParamsEventEh FOnGetCellParams;
};

class TDBGridColumnEh : public TColumnEh {
    RTL_CLASS(TDBGridColumnEh, TColumnEh)
public:
    using TColumnEh::TColumnEh;
};

class TDBGridColumnsEh : public rtl::TCollection {
    RTL_CLASS(TDBGridColumnsEh, rtl::TCollection)
public:
    TDBGridColumnsEh(TCustomDBGridEh* Grid, const rtl::TCollectionItemClass& ColumnClass);

    TCustomDBGridEh* Grid() const noexcept { return FGrid; }
    TColumnEh* Items(int Index) const { return static_cast<TColumnEh*>(rtl::TCollection::Items(Index)); }
    TColumnEh* operator[](int Index) const { return Items(Index); }
    TColumnEh* Add() { return static_cast<TColumnEh*>(rtl::TCollection::Add()); }
    TColumnEh* AddDefaultColumn();
    bool HasPersistentColumns() const;
    void ClearFieldReferences();
    rtl::TPersistent* GetOwner() override;

protected:
    void Update(rtl::TCollectionItem* Item) override;

private:
    TCustomDBGridEh* FGrid;
};

// ---------------------------------------------------------------------------------------------
// Data link and selected records

class TGridDataLinkEh : public db::TDataLink {
    RTL_CLASS(TGridDataLinkEh, db::TDataLink)
public:
    explicit TGridDataLinkEh(TCustomDBGridEh* Grid) : FGrid(Grid) {}
    ~TGridDataLinkEh() override;

    TCustomDBGridEh* Grid() const noexcept { return FGrid; }
    bool AddFieldMapping(const WideString& FieldName);
    void ClearFieldMapping();
    db::TField* MappedField(int Index) const;
    int MappedFieldIndex(int Index) const;
    int FieldMappingCount() const noexcept { return static_cast<int>(FFieldMap.size()); }
    int FieldMappingCapacity() const noexcept { return FFieldMapCapacity; }
    bool SparseMap() const noexcept { return FSparseMap; }
    void SetSparseMap(bool Value) noexcept { FSparseMap = Value; }
    bool UsesDefaultFields() const;
    bool Modified() const noexcept { return FModified; }
    void FlagModified() noexcept { FModified = true; }
    bool InUpdateData() const noexcept { return FInUpdateData; }
    void Reset();

    void DataEvent(db::TDataEvent Event, intptr_t Info) override;

protected:
    void ActiveChanged() override;
    void DataSetChanged() override;
    void DataSetScrolled(int Distance) override;
    void EditingChanged() override;
    void FocusControl(db::TField** Field) override;
    void LayoutChanged() override;
    void RecordChanged(db::TField* Field) override;
    void UpdateData() override;

private:
    TCustomDBGridEh* FGrid;
    std::vector<int> FFieldMap;
    int FFieldMapCapacity = 0;
    bool FSparseMap = false;
    bool FModified = false;
    bool FInUpdateData = false;
};

class TBookmarkListEh : public editors::TBMListEh {
    RTL_CLASS(TBookmarkListEh, editors::TBMListEh)
public:
    explicit TBookmarkListEh(TCustomDBGridEh* Grid) : FGrid(Grid) {}
    TCustomDBGridEh* Grid() const noexcept { return FGrid; }

    db::TDataSet* GetDataSet() override;
    void Invalidate() override;
    void SetCurrentRowSelected(bool Value) override;
    void StringsChanged() override;
    void Changed() override;
    void RemoveAll() override;
    TGridRect SelectionGridRect();

private:
    TCustomDBGridEh* FGrid;
};

// ---------------------------------------------------------------------------------------------
// Selection: records (the selected-record list), a block of cells, whole columns or everything.

class TDBGridEhSelection;

class TDBGridEhSelectionCols : public TColumnsEhList {
    RTL_CLASS(TDBGridEhSelectionCols, TColumnsEhList)
public:
    explicit TDBGridEhSelectionCols(TCustomDBGridEh* Grid);
    ~TDBGridEhSelectionCols() override;
    void Clear() override;
    void InsertInOrder(TColumnEh* Column);
    void Toggle(TColumnEh* Column);
    void Select(TColumnEh* Column, bool Add);
    void Extend(TColumnEh* Column);
    // Drops the columns no longer in the grid and puts the rest in column order.
    void Refresh();
    TGridRect SelectionGridRect();
    TColumnEh* AnchorColumn() const noexcept { return FAnchor; }
    TColumnEh* ShiftColumn() const noexcept { return FShift; }

private:
    TDBGridEhSelection* Owner() const;
    TCustomDBGridEh* FGrid;
    TColumnEh* FAnchor = nullptr;
    TColumnEh* FShift = nullptr;
    rtl::TOwnedPtr<TColumnsEhList> FShiftSelected;
};

struct TDBCell {
    int Col = -1;
    db::TBookmark Row;
};

class TDBGridEhSelectionRect : public rtl::TObject {
    RTL_CLASS(TDBGridEhSelectionRect, rtl::TObject)
public:
    explicit TDBGridEhSelectionRect(TCustomDBGridEh* Grid) : FGrid(Grid) {}
    bool DataState() const;
    void Clear();
    void Select(int ACol, const db::TBookmark& ARow, bool Extend);
    db::TBookmark TopRow() const;
    db::TBookmark GetBottomRow() const;
    int LeftCol() const;
    int RightCol() const;
    bool CellSelected(int DataCol, const db::TBookmark& Row) const;
    TRect BoxRect(TDBCell Cell1, TDBCell Cell2) const;
    TGridRect SelectionGridRect() const;
    const TDBCell& Anchor() const noexcept { return FAnchor; }
    const TDBCell& ShiftCell() const noexcept { return FShift; }

private:
    void CheckDataState(const char* Message) const;
    TCustomDBGridEh* FGrid;
    TDBCell FAnchor;
    TDBCell FShift;
};

class TDBGridEhSelection : public rtl::TObject {
    RTL_CLASS(TDBGridEhSelection, rtl::TObject)
public:
    explicit TDBGridEhSelection(TCustomDBGridEh* Grid);
    ~TDBGridEhSelection() override;
    TCustomDBGridEh* Grid() const noexcept { return FGrid; }
    TDBGridEhSelectionType SelectionType() const;
    TDBGridEhSelectionCols* Columns() const noexcept { return FColumns.get(); }
    TDBGridEhSelectionRect* Rect() const noexcept { return FRect.get(); }
    TBookmarkListEh* Rows() const;
    bool CellSelected(int DataCol, const db::TBookmark& Row) const;
    void Clear();
    void SelectAll();
    void SetSelectionType(TDBGridEhSelectionType Value);
    void UpdateState();
    void LinkActiveChanged(bool Active);
    TGridRect SelectionGridRect() const;

    virtual void SelectionChanged();

private:
    TCustomDBGridEh* FGrid;
    rtl::TOwnedPtr<TDBGridEhSelectionCols> FColumns;
    rtl::TOwnedPtr<TDBGridEhSelectionRect> FRect;
};

// The areas to repaint when a block on screen changes from Old to New: the strips where they
// differ when they overlap, else both whole.
std::vector<TRect> SelectionRepaintRects(const TRect& Old, const TRect& New);

// ---------------------------------------------------------------------------------------------
// Scroll-bar settings

enum TScrollBarVisibleModeEh { sbAlwaysShowEh, sbNeverShowEh, sbAutoShowEh };

class TDBGridEhScrollBar : public rtl::TPersistent {
    RTL_CLASS(TDBGridEhScrollBar, rtl::TPersistent)
public:
    TDBGridEhScrollBar(TCustomDBGridEh* Grid, bool Vertical) : FGrid(Grid), FVertical(Vertical) {}
    void Assign(rtl::TPersistent* Source) override;
    TCustomDBGridEh* Grid() const noexcept { return FGrid; }
    bool Vertical() const noexcept { return FVertical; }
    bool Tracking() const noexcept { return FTracking; }
    void SetTracking(bool Value) noexcept { FTracking = Value; }
    TScrollBarVisibleModeEh VisibleMode() const noexcept { return FVisibleMode; }
    void SetVisibleMode(TScrollBarVisibleModeEh Value);
    bool Visible() const noexcept { return FVisibleMode != sbNeverShowEh; }
    void SetVisible(bool Value) { SetVisibleMode(Value ? sbAutoShowEh : sbNeverShowEh); }
    bool IsShowing() const;
    bool ReadScrollInfo(ui::TScrollInfo& Info) const;
    ~TDBGridEhScrollBar() override;
    // A scroll-bar control that stands in for the window's own bar; its scroll notifications
    // reach the grid as the window's.
    ui::TScrollBar* ExtScrollBar() const noexcept { return FExtScrollBar; }
    void SetExtScrollBar(ui::TScrollBar* Value);

private:
    void ReleaseExtScrollBar();
    void ExtScrollBarWndProc(ui::TMessage& Message);
    TCustomDBGridEh* FGrid;
    bool FVertical;
    bool FTracking = false;
    TScrollBarVisibleModeEh FVisibleMode = sbAutoShowEh;
    ui::TScrollBar* FExtScrollBar = nullptr;
    std::function<void(ui::TMessage&)> FExtScrollBarWndProc;
    ui::TScrollEvent FExtScrollBarOnScroll;
};

class TVertDBGridEhScrollBar : public TDBGridEhScrollBar {
    RTL_CLASS(TVertDBGridEhScrollBar, TDBGridEhScrollBar)
public:
    explicit TVertDBGridEhScrollBar(TCustomDBGridEh* Grid) : TDBGridEhScrollBar(Grid, true) {}
};

// The indicator title cell: whether it is a button, the sign it shows and the menu it opens.
class TDBGridEhIndicatorTitle : public rtl::TPersistent {
    RTL_CLASS(TDBGridEhIndicatorTitle, rtl::TPersistent)
public:
    explicit TDBGridEhIndicatorTitle(TCustomDBGridEh* Grid) : FGrid(Grid) {}
    void Assign(rtl::TPersistent* Source) override;
    TCustomDBGridEh* Grid() const noexcept { return FGrid; }
    // Items copied after the global ones; not owned.
    ui::TPopupMenu* DropdownMenu() const noexcept { return FDropdownMenu; }
    void SetDropdownMenu(ui::TPopupMenu* Value);
    bool ShowDropDownSign() const noexcept { return FShowDropDownSign; }
    void SetShowDropDownSign(bool Value);
    bool TitleButton() const noexcept { return FTitleButton; }
    void SetTitleButton(bool Value) noexcept { FTitleButton = Value; }
    bool UseGlobalMenu() const noexcept { return FUseGlobalMenu; }
    void SetUseGlobalMenu(bool Value) noexcept { FUseGlobalMenu = Value; }

private:
    TCustomDBGridEh* FGrid;
    ui::TPopupMenu* FDropdownMenu = nullptr;
    bool FShowDropDownSign = false;
    bool FTitleButton = false;
    bool FUseGlobalMenu = true;
};

// The values the vertical bar shows.
struct TVertScrollValuesEh {
    int Min = 0;
    int Max = 0;
    int Page = 0;
    int Pos = 0;
    friend bool operator==(const TVertScrollValuesEh&, const TVertScrollValuesEh&) = default;
};

// Text measured as the grid's window measures it (fixed metrics before it has a surface).
ui::TSize MeasureText(const ui::TControl* Control, ui::TFont* Font, const AnsiString& Text);
// The height of Text wrapped at words into Width.
int MeasureWrappedTextHeight(const ui::TControl* Control, ui::TFont* Font, const AnsiString& Text, int Width);

// What changed in a record view: one record inserted, changed, deleted or moved, or everything.
enum TRecordViewChangeEh { rvcInsertedEh, rvcChangedEh, rvcDeletedEh, rvcMovedEh, rvcResetEh };

// What a record view tells the grids that use it (a view finds it on the component it was given).
class IRecordViewListenerEh {
public:
    virtual ~IRecordViewListenerEh() = default;
    virtual void RecordViewChanged(int RecordIndex, TRecordViewChangeEh Change, int OtherIndex) = 0;
};

// A record view that loads its records as they are needed offers this too: the grid asks for more
// when its rows do not fill the window. The view tells its listeners about every record it adds
// (rvcInsertedEh) and returns how many it added; 0 when it has no more.
class IRecordViewFetchEh {
public:
    virtual ~IRecordViewFetchEh() = default;
    virtual int FetchRecords(int Count) = 0;
};
ui::TTextMetric MeasureMetrics(const ui::TControl* Control, ui::TFont* Font);
// Copies a font's attributes without telling its watchers.
void CopyFontQuietly(ui::TFont* Dest, ui::TFont* Source);

// The height of RowHeight fitted to whole text lines above Margin; Lines receives their number.
int FitRowHeightToText(int Height, int Margin, int LineHeight, int& Lines);

// The grid's private message that carries a deferred layout request.
inline constexpr ui::UINT CM_DEFERLAYOUT = 1124;
// Posted by a grid that gets the focus while its filter row is edited.
inline constexpr ui::UINT CM_FOCUSFILTEREDIT = ui::WM_USER + 120;

// ---------------------------------------------------------------------------------------------
// TCustomDBGridEh

using TDBGridEhClickEvent = std::function<void(TColumnEh* Column)>;
using TTitleEhClickEvent = std::function<void(rtl::TObject* Sender, int ACol, TColumnEh* Column)>;
using TCheckTitleEhBtnEvent = std::function<void(rtl::TObject* Sender, int ACol, TColumnEh* Column, bool& Enabled)>;
using TMovedEvent = std::function<void(rtl::TObject* Sender, int FromIndex, int ToIndex)>;
using TGetCellEhParamsEvent = std::function<void(rtl::TObject* Sender, TColumnEh* Column, ui::TFont* AFont,
                                                 ui::TColor& Background, TGridDrawState State)>;
using TGetBtnEhParamsEvent = std::function<void(rtl::TObject* Sender, TColumnEh* Column, ui::TFont* AFont,
                                                ui::TColor& Background, TSortMarkerEh& SortMarker, bool IsDown)>;
using TGetFooterParamsEvent =
    std::function<void(rtl::TObject* Sender, int DataCol, int Row, TColumnEh* Column, ui::TFont* AFont,
                       ui::TColor& Background, TAlignment& Alignment, TGridDrawState State, AnsiString& Text)>;
using TDrawColumnEhCellEvent =
    std::function<void(rtl::TObject* Sender, const TRect& Rect, int DataCol, TColumnEh* Column, TGridDrawState State)>;
using TDrawDataCellEvent =
    std::function<void(rtl::TObject* Sender, const TRect& Rect, db::TField* Field, TGridDrawState State)>;
using TDrawFooterCellEvent = std::function<void(rtl::TObject* Sender, int DataCol, int Row, TColumnEh* Column,
                                                const TRect& Rect, TGridDrawState State)>;
using TGetDBGridEhRowHeightEvent = std::function<void(rtl::TObject* Sender, int& RowHeight)>;

using TDBGridEhBuildIndicatorTitleMenu = std::function<void(TCustomDBGridEh* Grid, ui::TPopupMenu*& PopupMenu)>;

using TDBGridEhAdvDrawDataCellEvent =
    std::function<void(rtl::TObject* Sender, TGridCoord Cell, TGridCoord AreaCell, TColumnEh* Column,
                       const TRect& ARect, TColCellParamsEh& Params, bool& Processed)>;

// The find dialog's unit installs itself here.
using TFindDialogHookEh =
    std::function<void(TCustomDBGridEh* Grid, const AnsiString& Text, const AnsiString& FieldName, bool Modal)>;
inline TFindDialogHookEh FindDialogHook;

// A lookup field's key fields are named, present and all modifiable.
bool LookupKeysModifiable(db::TField* Field);

// The drag a mouse press started in the data grid.
enum TMouseStateEh { msNoneEh, msRecordSelectingEh, msRectSelectingEh, msColSelectingEh, msRecordMovingEh };

class TCustomDBGridEh : public TCustomGridEh, public IRecordViewListenerEh, public editors::IInplaceEditHolderEh {
    RTL_CLASS(TCustomDBGridEh, TCustomGridEh)
public:
    explicit TCustomDBGridEh(rtl::TComponent* Owner);
    ~TCustomDBGridEh() override;
    void AfterConstruction() override;
    void BeforeDestruction() override;
    void Loaded() override;
    void Notification(rtl::TComponent* AComponent, rtl::TOperation Operation) override;

    // --- options ---
    TDBGridOptions Options() const noexcept { return FOptions; }
    void SetOptions(TDBGridOptions Value);
    TDBGridEhOptions OptionsEh() const noexcept { return FOptionsEh; }
    void SetOptionsEh(TDBGridEhOptions Value);
    TDBGridEhAllowedOperations AllowedOperations() const noexcept { return FAllowedOperations; }
    void SetAllowedOperations(TDBGridEhAllowedOperations Value) noexcept { FAllowedOperations = Value; }
    TDBGridEhAllowedSelections AllowedSelections() const noexcept { return FAllowedSelections; }
    void SetAllowedSelections(TDBGridEhAllowedSelections Value);
    bool SelectionAllowed(TDBGridEhSelectionType Kind) const;
    TDBGridEhEditActions EditActions() const noexcept { return FEditActions; }
    void SetEditActions(TDBGridEhEditActions Value) noexcept { FEditActions = Value; }

    // --- objects ---
    TDBGridColumnsEh* Columns() const noexcept { return FColumns.get(); }
    void SetColumns(TDBGridColumnsEh* Value) { FColumns->Assign(Value); }
    TColumnDefValuesEh* ColumnDefValues() const noexcept { return FColumnDefValues.get(); }
    void SetColumnDefValues(TColumnDefValuesEh* Value) { FColumnDefValues->Assign(Value); }
    TColumnsEhList* DisplayedColumnList() const noexcept { return FDisplayedColumnList.get(); }
    TColumnsEhList* SortMarkedColumnList() const noexcept { return FSortMarkedColumnList.get(); }
    TGridDataLinkEh* DataLink() const noexcept { return FDataLink.get(); }
    TBookmarkListEh* SelectedRecords() const noexcept { return FSelectedRecords.get(); }
    TSTDBGridEhFilter* STFilter() const noexcept { return FSTFilter.get(); }
    void SetSTFilter(TSTDBGridEhFilter* Value) { FSTFilter->Assign(Value); }
    // The shared colour rules and default handlers; the unit's current ones at creation.
    TDBGridEhStyle* Style() const noexcept { return FStyle; }
    void SetStyle(TDBGridEhStyle* Value);
    TDBGridEhCenter* Center() const noexcept { return FCenter; }
    void SetCenter(TDBGridEhCenter* Value);
    TDBGridEhIndicatorTitle* IndicatorTitle() const noexcept { return FIndicatorTitle.get(); }
    void SetIndicatorTitle(TDBGridEhIndicatorTitle* Value);
    TDBGridEhSumList* SumList() const noexcept { return FSumList.get(); }
    void SetSumList(TDBGridEhSumList* Value) { FSumList->Assign(Value); }
    THeadTreeNode* TitleRoot() const noexcept { return FHeadTree.get(); }
    // The leaf node of each column, in column order (built with the title tree).
    const std::vector<THeadTreeNode*>& LeafFieldArr() const noexcept { return FLeafFieldArr; }
    TColCellParamsEh* ColCellParams() const noexcept { return FColCellParams.get(); }
    ui::TFont* TitleFont() const noexcept { return FTitleFont.get(); }
    void SetTitleFont(ui::TFont* Value);
    ui::TFont* FooterFont() const noexcept { return FFooterFont.get(); }
    void SetFooterFont(ui::TFont* Value);

    // --- data ---
    db::TDataSource* DataSource() const noexcept { return FDataLink->DataSource(); }
    void SetDataSource(db::TDataSource* Value);
    db::TDataSet* DataSet() const noexcept { return FDataLink->DataSet(); }
    int GridToDataCol(int GridCol) const noexcept { return GridCol - FIndicatorColCount; }
    int DataToGridCol(int DataCol) const noexcept { return DataCol + FIndicatorColCount; }
    int IndicatorColCount() const noexcept { return FIndicatorColCount; }
    int CurrentDataCol() const noexcept { return GridToDataCol(Col()); }
    TColumnEh* CurrentColumn() const;
    db::TField* CurrentField() const;
    // Makes every column bound to Field the current column in turn.
    void FocusFieldColumn(db::TField* Field);
    const AnsiString& EditText() const noexcept { return FEditText; }
    void SetEditText(const AnsiString& Value) { FEditText = Value; }

    // --- geometry ---
    TCellAreaEh GetCellType(int ACol, int ARow) const;
    int TitleRowCount() const;
    int DataRowCount() const { return RowCount() - TitleRowCount(); }
    TGridRect DataAreaBounds() const;
    TRect DataAreaRect() const;
    // Scrolling rows shown whole.
    int VisibleDataRowCount() const;

    // --- plain properties ---
    bool AutoFitColWidths() const noexcept { return FAutoFitColWidths; }
    void SetAutoFitColWidths(bool Value);
    int FooterRowCount() const noexcept { return FFooterRowCount; }
    void SetFooterRowCount(int Value);
    int FrozenCols() const noexcept { return FFrozenCols; }
    void SetFrozenCols(int Value);
    // Columns kept at the right edge; the layout hands the base grid what fits.
    int ContraColCount() const noexcept { return FContraColumns; }
    void SetContraColCount(int Value);
    bool ReadOnly() const noexcept { return FReadOnly; }
    void SetReadOnly(bool Value);
    int RowHeight() const noexcept { return FRowHeight; }
    void SetRowHeight(int Value);
    int RowLines() const noexcept { return FRowLines; }
    void SetRowLines(int Value);
    bool RowSizingAllowed() const noexcept { return FRowSizingAllowed; }
    void SetRowSizingAllowed(bool Value);
    bool SortLocal() const noexcept { return FSortLocal; }
    void SetSortLocal(bool Value) noexcept { FSortLocal = Value; }
    int TitleHeight() const noexcept { return FTitleHeight; }
    void SetTitleHeight(int Value);
    int TitleLines() const noexcept { return FTitleLines; }
    void SetTitleLines(int Value);
    bool UseMultiTitle() const noexcept { return FUseMultiTitle; }
    void SetUseMultiTitle(bool Value);
    int VTitleMargin() const noexcept { return FVTitleMargin; }
    void SetVTitleMargin(int Value);
    int MinAutoFitWidth() const noexcept { return FMinAutoFitWidth; }
    void SetMinAutoFitWidth(int Value);
    bool DefaultDrawing() const noexcept { return FDefaultDrawing; }
    void SetDefaultDrawing(bool Value) noexcept { FDefaultDrawing = Value; }
    bool DrawMemoText() const noexcept { return FDrawMemoText; }
    void SetDrawMemoText(bool Value);
    bool DrawGraphicData() const noexcept { return FDrawGraphicData; }
    void SetDrawGraphicData(bool Value);
    ui::TColor EvenRowColor() const { return FEvenRowColorAssigned ? FEvenRowColor : Color(); }
    void SetEvenRowColor(ui::TColor Value);
    bool EvenRowColorAssigned() const noexcept { return FEvenRowColorAssigned; }
    ui::TColor OddRowColor() const { return FOddRowColorAssigned ? FOddRowColor : Color(); }
    void SetOddRowColor(ui::TColor Value);
    bool OddRowColorAssigned() const noexcept { return FOddRowColorAssigned; }
    ui::TColor FooterColor() const noexcept { return FFooterColor; }
    void SetFooterColor(ui::TColor Value);
    ui::TCustomImageList* TitleImages() const noexcept { return FTitleImages; }
    void SetTitleImages(ui::TCustomImageList* Value);
    // The grid's default column width and default data-row height.
    int DefaultColumnWidth() const noexcept { return DefaultColWidth(); }

    // --- layout brackets ---
    void LockUpdates() noexcept { ++FUpdateNesting; }
    void UnlockUpdates() noexcept {
        if (FUpdateNesting > 0) --FUpdateNesting;
    }
    int UpdateNesting() const noexcept { return FUpdateNesting; }
    void OpenLayoutBracket();
    void CloseLayoutBracket();
    bool TryOpenLayoutBracket();
    bool LayoutLocked() const noexcept { return FLayoutNesting > 0; }
    // Set while the data link reports a layout change.
    bool InDataLinkLayoutChange() const noexcept { return FInLayoutChange; }
    void RebuildSortMarkedColumnList();
    // Rebuilds the title tree from the column captions.
    void BuildTitleTree();
    // The height of a multi-level title subtree; stores each level's height in its nodes.
    int TitleTreeHeight(THeadTreeNode* Node);
    // Scales fonts and column widths by M / D (a change of screen resolution).
    void ChangeScale(int M, int D);
    // The grid's own non-client border: 1 for a flat single border with Ctl3D.
    int BorderWidth() const noexcept { return FBorderWidth; }

    // --- selection (the selection object of the grid records builds on these) ---
    TDBGridEhSelectionType SelectionType() const noexcept { return FSelectionType; }
    virtual void SelectionSetType(TDBGridEhSelectionType Value) { FSelectionType = Value; }
    virtual void ClearGridSelection();
    virtual void SelectionUpdateState();
    virtual void SelectionChanged();
    TDBGridEhSelection* Selection() const noexcept { return FSelection.get(); }

    // --- record window, scroll bars and layout requests ---
    TDBGridEhScrollBar* VertScrollBar() const noexcept { return FVertScrollBar.get(); }
    TDBGridEhScrollBar* HorzScrollBar() const noexcept { return FHorzScrollBar.get(); }
    int CalcIndicatorWidth();
    int DefaultDataRowHeight() const noexcept { return FDefaultRowHeight; }
    int TitleRowHeight() const noexcept { return FTitleRowHeight; }
    int EditButtonWidth() const noexcept { return FEditButtonWidth; }
    bool RowFitsMoreThanOneLine() const noexcept { return FRowFitsMoreThanOneLine; }
    // Defers a layout to the grid's queue (one message however often asked) and ends a bracket.
    void PostLayoutRequest();
    virtual void UpdateRowCount();
    // Returns whether the window's vertical bar changed between shown and hidden.
    virtual bool UpdateVertScrollBar();
    TVertScrollValuesEh VertScrollValues();
    // The external horizontal bar: 0..127 over the scrolling columns.
    void UpdateExtHorzScrollBar();
    virtual void SyncActiveRecord();
    void SwitchToDataRow(int DataRow);
    void RestoreActiveRecord();
    int RecNoOfDataRow(int DataRow);
    // Records that have a data row: every record of a record view, else the link's buffered ones.
    int RowRecordCount() const;
    // The window scroll of a record move: the painted rows in Area move by DY pixels.
    virtual void ScrollDataRows(int DY, const TRect& Area);
    void UpdateAfterResize();
    // The remembered position of the search and the width optimisation.
    struct TSavedPosition {
        db::TBookmark Bookmark;
        int Offset = 0;
    };
    TSavedPosition SavePosition();
    void RestorePosition(const TSavedPosition& Position);
    // Widths from the data: the selected columns (or all when everything is selected) and Column.
    void FitColumnWidth(TColumnEh* Column);
    void FitColumnsWidth(TColumnsEhList* Columns);
    int TitleTextWidth(TColumnEh* Column);
    int CellTextWidth(TColumnEh* Column);
    // The widest footer text of the column over the footer rows (0 without footers).
    int FooterTextWidth(TColumnEh* Column);
    // The text a footer cell shows before OnGetFooterParams (the footers build on this).
    virtual AnsiString FooterCellText(TColumnEh* Column, int FooterRow) {
        return GetFooterValueText(FooterRow, Column);
    }
    // Searches the dataset's cells (see DefaultGridLocateText); leaves the match current.
    bool LocateText(const WideString& FieldName, const AnsiString& Text, TLocateTextMatchTypeEh MatchType,
                    TLocateTextDirectionEh Direction, TLocateTextOptionsEh Options);

    // --- events ---
    TDBGridEhClickEvent OnCellClick;
    TDBGridEhClickEvent OnTitleClick;
    TTitleEhClickEvent OnTitleBtnClick;
    TCheckTitleEhBtnEvent OnCheckButton;
    rtl::TNotifyEvent OnSortMarkingChanged;
    rtl::TNotifyEvent OnColEnter;
    rtl::TNotifyEvent OnColExit;
    // Runs after the top-left cell moved (not stored with the form).
    rtl::TNotifyEvent OnTopLeftChanged;
    TMovedEvent OnColumnMoved;
    rtl::TNotifyEvent OnColWidthsChanged;
    TGetCellEhParamsEvent OnGetCellParams;
    TGetBtnEhParamsEvent OnGetBtnParams;
    TGetFooterParamsEvent OnGetFooterParams;
    TDrawColumnEhCellEvent OnDrawColumnCell;
    TDrawDataCellEvent OnDrawDataCell;
    TDrawFooterCellEvent OnDrawFooterCell;
    TGetDBGridEhRowHeightEvent OnGetRowHeight;
    TDBGridEhAdvDrawDataCellEvent OnAdvDrawDataCell;
    TGridEhCellMouseEvent OnIndicatorTitleMouseDown;
    TDBGridEhBuildIndicatorTitleMenu OnBuildIndicatorTitleMenu;
    rtl::TNotifyEvent OnEditButtonClick;
    rtl::TNotifyEvent OnSelectionChanged;
    rtl::TNotifyEvent OnApplyFilter;
    TDBGridEhDataHintShowEvent OnDataHintShow;
    TDBGridEhHintShowPauseEvent OnHintShowPause;
    rtl::TNotifyEvent OnSumListRecalcAll;
    rtl::TNotifyEvent OnSumListAfterRecalcAll;

    // --- virtual operations ---
    virtual bool EnsureGridFocus();
    virtual bool EditorShownAlways() const;
    virtual bool FilterRowVisible() const { return FSTFilter && FSTFilter->Visible(); }
    virtual bool TitlesVisible() const { return FOptions.Contains(dgTitles); }
    virtual bool IndicatorVisible() const {
        return FOptions.Contains(dgIndicator) || FOptionsEh.Contains(dghShowRecNo);
    }
    virtual void LinkDataSetChanged();
    virtual void MapDataLinkFields();
    virtual void DrawTitleCell(int ACol, int ARow, const TCellAreaEh& Area, TGridDrawState State, const TRect& ARect);
    virtual void DrawIndicatorCell(int ACol, int ARow, const TCellAreaEh& Area, TGridDrawState State,
                                   const TRect& ARect);
    virtual void DrawDataCell(int ACol, int ARow, const TCellAreaEh& Area, TGridDrawState State, const TRect& ARect);
    virtual void DrawFooterCell(int ACol, int ARow, const TCellAreaEh& Area, TGridDrawState State, const TRect& ARect);
    virtual void DrawFilterCell(int ACol, int ARow, const TCellAreaEh& Area, TGridDrawState State, const TRect& ARect);
    // --- painting ---
    virtual bool IsCellDrawn3D(int ACol, int ARow, TGridDrawState State) const;
    virtual bool IsCellThemed(int ACol, int ARow, bool Drawn3D) const;
    // Titles and fixed cells take the themed look: not Flat, themes on, dghFixed3D.
    bool UsesThemedHeaders() const;
    virtual bool DrawsFocusedRowSelection() const;
    // Maps the canvas so that x runs from the right edge leftwards (On) or back to normal.
    void MirrorCanvas(bool On);
    // WriteCellText for a column's cell; a right-to-left column is written un-mirrored.
    void WriteColumnCellText(TColumnEh* Column, ui::TCanvas* ACanvas, int RightMargin, int LeftMargin, bool EndEllipsis,
                             bool WordWrap, TTextLayout Layout, TAlignment Alignment, const AnsiString& Text, int DY,
                             int DX, bool FillRect, const TRect& ARect);
    // DrawEditButtonFace; a grid that reads right to left draws the face un-mirrored.
    void DrawButtonFaceMirrored(ui::HDC DC, const TRect& Rect, ui::TColor BackColor, int Style, int DownPart, bool Flat,
                                bool Active, bool Enabled, editors::TCheckBoxState State);
    // Whether the whole grid reads right to left (never on this platform).
    virtual bool UsesRightToLeftAlignment() const { return false; }
    // Themed headers or tree lines flicker when painted straight to the window.
    virtual bool NeedsDoubleBufferedPaint() const;
    virtual void DrawIndicatorGlyph(int Kind, int XOffset, const TRect& ARect);
    virtual void DrawDropDownSign(bool Highlighted, const TRect& ARect);
    virtual void DrawGraphicOrMemoCell(TColumnEh* Column, const TRect& ARect);
    virtual void DrawTreeAreaCell(int DataCol, int DataRow, const TRect& ARect, TGridDrawState State);
    // The dataset's record view when it offers one, and whether it shows a tree.
    editors::IMemTableEh* RecordView() const;
    bool TreeViewMode() const;
    // The tree indent of the record being painted: TreeLevelWidth pixels a level, 0 outside tree mode.
    static constexpr int TreeLevelWidth = 18;
    int TreeIndentWidth() const;
    // Set while a press in the tree area moves to the record of a toggled node.
    bool InTreeUpdate() const noexcept { return FInTreeUpdate; }
    // The tree levels of the record being painted; Flags bit 0 paints over the row lines they cross.
    void DrawTreeIndent(ui::TCanvas* Canvas, const TRect& ARect, int Flags);
    void DrawDefaultDataCell(int ACol, int ARow, const TCellAreaEh& Area, TColCellParamsEh* Params, const TRect& ARect,
                             TColumnEh* Column);
    void DrawTitleGroupCells(int ACol, int ARow, THeadTreeNode* Node, const TRect& CellRect, const TRect& BelowRect,
                             bool EndEllipsis, TGridDrawState State);
    void FillCellBackground(bool Themed, const TRect& ARect, bool Drawn3D, const TRect& ClipRect, bool Highlighted,
                            bool Pressed);
    void DrawCellFrame(const TRect& ARect, bool RightEdge, bool LeftEdge, bool Highlighted, bool Pressed);
    // An edit button of Column in a data cell, clipped to the cell when it starts left of it.
    void DrawCellButton(TColumnEh* Column, ui::TCanvas* Canvas, ui::TBitmap* Glyph, ui::TColor Color, bool LinkActive,
                        bool IsFlat, const TRect& CellRect, TRect ButtonRect, editors::TEditButtonStyleEh Style);
    // The column's always-shown edit buttons at the right of a data cell (Inner: the cell without them).
    void DrawDataCellButtons(TColumnEh* Column, const TRect& ARect, const TRect& Inner, bool Is3D);
    // The typed incremental-search text over the start of the current cell's text.
    void DrawIncSearchText(TColumnEh* Column, TColCellParamsEh* Params, const TRect& ARect, int DX, int DY);
    // Colour rules of selected fixed cells and highlighted data cells; true when colours were set.
    virtual bool GetSelectedFixedCellColors(int ACol, int ARow, ui::TFont* AFont, ui::TColor& Color, bool Selected,
                                            const TCellAreaEh& Area);
    virtual bool GetDataCellHighlight(int DataCol, int DataRow, ui::TFont* AFont, ui::TColor& Color,
                                      TGridDrawState State);
    virtual bool IsCellSelected(int ACol, int ARow, int DataCol);
    bool GridOrEditorFocused() const;
    // The data row is the current record's (while a painter has switched records, the one active before).
    bool IsCurrentDataRow(int DataRow) const;
    // The text a tool tip shows for the current record's cell of Column.
    AnsiString CellHintText(TColumnEh* Column);
    // The font tool tips are drawn in (made on first use).
    ui::TFont* HintFont();
    // Repaints what shows the focus: the selection and the current row.
    void FocusChanged();
    // FocusChanged when the grid-or-editor focus differs from the state last painted (the
    // editor's focus changes come through here too); while the grid or its editor is losing the
    // focus, To is the window taking it.
    void CheckFocusChanged();
    void CheckFocusChanged(ui::HWND To);
    bool WasFocused() const noexcept { return FWasFocused; }
    // Data-record switches made by the painters since the grid was created.
    int64_t RecordSwitchCount() const noexcept { return FRecordSwitchCount; }
    bool DoubleBufferedPaint() const noexcept { return FDoubleBufferedPaint; }
    virtual void GetDataSetFields(std::vector<db::TField*>& List);
    virtual void LinkLayoutChanged();
    virtual void LinkActiveChanged(bool Active);
    virtual void LinkDataSetScrolled(int Distance);
    virtual void UpdateColumnTabStopsAndWidths();
    virtual void ShowInplaceEditor();
    // --- the cell editor's contract ---
    TInplaceEdit* CreateInplaceEditor() override;
    AnsiString GetCellEditText(int ACol, int ARow) override;
    AnsiString GetCellEditMask(int ACol, int ARow) override;
    int GetCellEditLimit() override;
    void StoreEditText(int ACol, int ARow, const AnsiString& Value) override;
    bool EditorAcceptsKey(char Key) override;
    bool CanModifyCell() override;
    bool CanShowEditor() override;
    // Whether the current cell may be changed now; enters edit state (and flags the link) when so.
    virtual bool CanModifyCurrentCell();
    bool OperationsAllowEdit();
    // The key value chosen while editing a key-list or lookup cell.
    const Variant& EditValue() const noexcept { return FEditValue; }
    void SetEditValue(const Variant& Value) { FEditValue = Value; }
    TDBGridInplaceEdit* DBInplaceEdit() const;
    void CopyValueFromPreviousRecord();
    // A memo's text with its line breaks as CR LF, as the cell editor shows it.
    static AnsiString TextWithCRLF(const AnsiString& S);
    virtual void InvalidateIndicatorCell();
    virtual void FieldDataChanged(db::TField* Field);
    // Writes the edit text of the current cell into its field.
    virtual void WriteEditText();
    // Rebuilds the layout from the columns (the layout builds on this).
    virtual void RebuildLayout();
    // Per-row heights: every data row of a record view gets its own; otherwise the first data row
    // the default one.
    virtual void UpdateAllRowHeights();
    void UpdateDataRowHeight(int DataRow);

    // --- record view (a dataset offering IMemTableEh gives every record its own row) ---
    editors::IMemTableEh* MemTable() const noexcept { return FMemTable; }
    bool RecordViewMode() const noexcept { return FMemTable != nullptr; }
    void RecordViewChanged(int RecordIndex, TRecordViewChangeEh Change, int OtherIndex) override;

    // --- dynamic operations ---
    virtual TColumnDefValuesEh* CreateColumnDefValues();
    virtual TDBGridColumnsEh* CreateColumns();
    virtual void CellClick(TColumnEh* Column);
    virtual void CheckButton(int ACol, bool& Enabled);
    virtual void ColEnter();
    virtual void ColExit();
    virtual void SortMarkingChanged();
    virtual void TitleBtnClick(int ACol, TColumnEh* Column);
    virtual void TitleClick(TColumnEh* Column);
    virtual void EditButtonClick();
    virtual void GetCellParams(TColumnEh* Column, ui::TFont* AFont, ui::TColor& Background, TGridDrawState State);
    virtual void GetFooterParams(int DataCol, int Row, TColumnEh* Column, ui::TFont* AFont, ui::TColor& Background,
                                 TAlignment& Alignment, TGridDrawState State, AnsiString& Text);
    // The text of footer row FooterIndex of Column.
    virtual AnsiString GetFooterValueText(int FooterIndex, TColumnEh* Column);
    // Repaints the footer rows.
    void InvalidateFooter();
    virtual void DrawColumnCell(const TRect& Rect, int DataCol, TColumnEh* Column, TGridDrawState State);
    virtual void DrawDataCellEvent(const TRect& Rect, db::TField* Field, TGridDrawState State);
    virtual void DefaultApplySorting();
    virtual void DefaultApplyFilter();
    // The indicator-title menu and press go through the grid center.
    virtual void DefaultBuildIndicatorTitleMenu(ui::TPopupMenu*& PopupMenu);
    virtual void IndicatorTitleMouseDown(TGridCoord Cell, ui::TMouseButton Button, ui::TShiftState Shift, int X, int Y);
    // Whether an edit action of the indicator-title menu can run now, and running it (the
    // clipboard commands build on this; select all is the selection's).
    virtual bool EditActionEnabled(TDBGridEhEditAction Action);
    virtual void RunEditAction(TDBGridEhEditAction Action);
    // A standard edit action (copy, cut, paste, select all, delete) runs or updates through the
    // commands above while the grid has the focus; the data link sees every action first.
    virtual bool ExecuteAction(ui::TBasicAction* Action);
    virtual bool UpdateAction(ui::TBasicAction* Action);
    bool IndicatorTitlePressed() const noexcept { return FIndicatorTitlePressed; }
    virtual void ApplyFilter();

    // --- the filter row ---
    TInplaceFilterEditEh* FilterEditor() const noexcept { return FFilterEdit; }
    bool FilterEditing() const noexcept { return FFilterEditing; }
    int FilterCol() const noexcept { return FFilterCol; }
    virtual TInplaceFilterEditEh* CreateFilterEditor();
    bool ColumnFilterable(int DataCol) const;
    AnsiString ColumnFilterText(int DataCol) const;
    void SetFilterEditing(bool Value);
    void StartFilterEdit(int DataCol);
    void StopFilterEdit();
    void HideFilterEditor();
    bool CanShowFilterEditor() const;
    void UpdateFilterEdit(bool Load);
    void FillFilterEditorList(int DataCol);
    void StoreFilterEditText(int DataCol);
    void StoreCurrentFilterText();
    void ClearColumnFilters();
    bool IsFilterRow(int ARow) const { return ARow == TitleRowCount() - 1; }
    // The tag of each item of the filter editor's list: 0 for a value, else the special item.
    const std::vector<int>& FilterItemTags() const noexcept { return FFilterItemTags; }

    // --- the hosted filter editor's holder ---
    bool CanEditorModify(ui::TWinControl*) override { return true; }
    void GetLastMouseDown(ui::TPoint& Pos, int& Time) override;
    void EditorWndProc(ui::TWinControl*, ui::TMessage&) override {}
    void EditorKeyDown(ui::TWinControl* Editor, uint16_t& Key, ui::TShiftState Shift) override;
    void EditorKeyPress(ui::TWinControl* Editor, char& Key) override;
    void EditorKeyUp(ui::TWinControl*, uint16_t&, ui::TShiftState) override {}

    void DrawCell(int ACol, int ARow, const TRect& ARect, TGridDrawState AState) override;

    // --- input: keys, mouse and sort marking ---
    void KeyDown(uint16_t& Key, ui::TShiftState Shift) override;
    void KeyUp(uint16_t& Key, ui::TShiftState Shift) override;
    // Ends a title press, record or data tracking; releases the capture.
    void EndMouseTracking();
    // Draws the pressed title button down while (X, Y) stays on it.
    void FollowTitleButtonPress(int X, int Y);
    bool TitleButtonDown() const noexcept { return FTitleBtnDown; }
    // A Ctrl+click changed the sort markers; the notification waits for the Ctrl release.
    bool SortCtrlPending() const noexcept { return FSortCtrlPending; }
    // Fits a column's width to its content on a double click on its sizing line (the layout builds on this).
    virtual void OptimizeColumnWidth(int /*DataCol*/) {}
    // A press in the tree indent of the first column: true when it lies there; unless CheckOnly a press
    // on a row's expander toggles its node.
    virtual bool TreeAreaMouseDown(int X, int Y, bool CheckOnly = false);
    // Asks "Delete record?" (or for all selected records) with dgConfirmDelete.
    virtual bool ConfirmDelete();
    void MoveDown(bool Select);
    void MoveUp(bool Select);
    // Moves Distance records; Select extends the record selection from its anchor.
    void SelectRecordsMove(bool Select, int Distance);
    void TabToColumn(bool Forward);
    // Makes the data column at grid index ACol current, skipping zero-width columns by Step.
    void GoToColumn(int ACol, int Step);
    // Incremental search: Text appended to the search text, found from the beginning of the
    // current column's values; Interval ms of silence end it (-1: never).
    void IncSearchAppend(const AnsiString& Text, int Interval, TLocateTextDirectionEh Direction);
    void IncSearchStop();
    bool IncSearchActive() const noexcept { return FIncSearchActive; }
    const AnsiString& IncSearchText() const noexcept { return FIncSearchText; }
    void KeyPress(char& Key) override;
    // Opens the find dialog through FindDialogHook (Ctrl+F).
    virtual void OpenFindDialog(const AnsiString& Text, const AnsiString& FieldName, bool Modal);

    // --- mouse drags in the data area and the auto-scroll timer ---
    TMouseStateEh MouseState() const noexcept { return FMouseState; }
    bool TrackingData() const noexcept { return FTrackingData; }
    bool TrackingRecords() const noexcept { return FTrackingRecords; }
    bool AutoScrollTimerOn() const noexcept { return FAutoScrollTimerOn; }
    int AutoScrollInterval() const noexcept { return FAutoScrollInterval; }
    void StartAutoScrollTimer(int Interval);
    void StopAutoScrollTimer();
    // One step of a drag beyond the data area: scrolls, extends the selection, sets timer 1.
    virtual void AutoScrollTimerTick();
    // Record moving by the indicator (dghRecordMoving).
    bool RecordMovingMouseDown(int X, int Y, bool CheckOnly);
    void RecordMovingMouseMove(int X, int Y);
    void RecordMovingMouseUp(int X, int Y, bool Drop);
    int MoveToRow() const noexcept { return FMoveToRow; }
    bool MoveSelectedRecords(int TargetDataRow, bool CheckOnly);
    virtual bool MoveRecords(const std::vector<db::TBookmark>& Bookmarks, int TargetDataRow, bool CheckOnly);
    virtual bool DefaultMoveRecords(const std::vector<db::TBookmark>& Bookmarks, int TargetDataRow, bool CheckOnly);
    virtual bool AllowRecordMoveStart(int /*FromRow*/, int /*ToRow*/, TPoint /*MousePt*/) { return true; }
    std::function<void(rtl::TObject* Sender, const std::vector<db::TBookmark>& Bookmarks, int ToRecNo, bool CheckOnly,
                       bool& Result)>
        OnMoveRecords;

protected:
    void BaseGridKeyDown(uint16_t& Key, ui::TShiftState Shift);
    void RunEditKey(TDBGridEhEditAction Action);
    void IncSearchAppendClipboard();
    void ClearImageOrCheckBoxCell();
    // Writes FEditText (and FEditValue for key lists) through the current column.
    void WriteCellEditText();
    void MouseDown(ui::TMouseButton Button, ui::TShiftState Shift, int X, int Y) override;
    void MouseMove(ui::TShiftState Shift, int X, int Y) override;
    void MouseUp(ui::TMouseButton Button, ui::TShiftState Shift, int X, int Y) override;
    void WMKillFocus(ui::TWMKillFocus& Message) override;
    void DoExit() override;
    void WMSetFocus(ui::TWMSetFocus& Message) override;
    void CMHintShow(ui::TCMHintShow& Message) override;
    void DefaultHandler(ui::TMessage& Message) override;
    void CMHintShowPause(ui::TMessage& Message);
    // A title or footer tool tip: shown when Text is cut in Rect (R: the column's right edge).
    void PlaceToolTip(ui::THintInfo& Info, const TRect& Cell, TRect Rect, int R, const AnsiString& Text,
                      ui::TFont* Font, TAlignment Alignment, bool WordWrap, bool Always);
    void DefaultDataHint(TColumnEh* Column, TGridCoord Cell, const TCellAreaEh& Area, TDBGridEhDataHintParams& Params,
                         ui::THintInfo& Info);
    rtl::TOwnedPtr<ui::TFont> FHintFont;
    bool FWasFocused = false;
    void ColumnMoved(int FromIndex, int ToIndex) override;
    void RowHeightsChanged() override;
    void FlatChanged() override;
    void CreateParams(ui::TCreateParams& Params) override;
    void WMNCCalcSize(ui::TWMNCCalcSize& Message) override;
    void WMNCPaint(ui::TMessage& Message) override;
    virtual void PaintFlatBorder();
    void WMSetCursor(ui::TWMSetCursor& Message) override;
    // The column-edge zone of the title rows: gsColSizing with the grid column and the offset of
    // its right edge from X, else gsNormal.
    TGridStateEh TitleEdgeSizingAt(int X, int Y, int& Column, int& Offset);
    void WMLButtonDown(ui::TWMMouse& Message) override;
    void WMGetDlgCode(ui::TWMGetDlgCode& Message) override;
    void CMWantSpecialKey(ui::TCMWantSpecialKey& Message) override;
    void WMCancelMode(ui::TWMCancelMode& Message) override;
    // The bottom band of a data column's title where a press selects the column.
    bool InColumnSelectBand(int X, int Y);
    void DrawRecordMoveLine();
    bool DataLinkActive() const;
    bool DataSetModifiable() const;
    bool InsertedUnchanged() const;
    bool InsertAtEnd() const;

    TPoint FMouseDownPos{-1, -1};
    bool FMouseTracking = false;
    TMouseStateEh FMouseState = msNoneEh;
    bool FTrackingData = false;
    bool FTrackingRecords = false;
    bool FAutoDragPending = false;
    bool FDragSelected = false;
    TPoint FLastMousePos{-1, -1};
    ui::TShiftState FLastMouseShift;
    bool FRowSizingEnded = false;
    // Column sizing traced by the grid itself (dghTraceColSizing): the column and the press offset.
    int FTracedSizingCol = -1;
    int FTracedSizingOffset = 0;
    bool FAutoScrollTimerOn = false;
    int FAutoScrollInterval = -1;
    int FMoveFromRow = -1;
    int FMoveToRow = -1;
    db::TBookmark FMoveBookmark;
    bool FMoveLineShown = false;
    int FMoveLineFrom = 0;
    int FMoveLineTo = 0;
    int FLocateNesting = 0;
    ui::TCursor FLocateSavedCursor = ui::crDefault;
    bool FSortCtrlPending = false;
    bool FRightColumnMove = false;
    TGridCoord FCheckBoxDownCell{-1, -1};
    bool FShiftAnchorSet = false;
    bool FShiftAnchorSelected = false;
    db::TBookmark FShiftAnchor;
    bool FToggleSelect = false;
    bool FAppendedRecord = false;
    bool FIncSearchActive = false;
    AnsiString FIncSearchText;
    int FIncSearchInterval = -1;
    void WMTimer(ui::TWMTimer& Message) override;

protected:
    friend class TColumnEh;
    friend class TGridDataLinkEh;
    friend class TDBGridColumnsEh;
    friend class TSTDBGridEhFilter;
    bool Loading() const noexcept { return ComponentState().Contains(rtl::csLoading); }
    bool IsDestroying() const noexcept { return ComponentState().Contains(rtl::csDestroying); }
    // The option synchronisation between dgColumnResize and dghColumnResize/dghColumnMove.
    void SyncColumnResizeOptions(TDBGridOptions NewOptions, TDBGridEhOptions NewOptionsEh);
    void ApplyBaseGridOptions();
    void TitleFontChanged();
    void FooterFontChanged();
    void CMParentFontChanged(ui::TMessage& Message) override;
    void CMParentColorChanged(ui::TMessage& Message) override;
    int LineWidthOfColumns() const { return FOptions.Contains(dgColLines) ? 1 : 0; }
    void Paint() override;
    void PaintWindow(ui::HDC DC) override;
    void ColWidthsChanged() override;
    void WMVScroll(ui::TWMScroll& Message) override;
    void WMHScroll(ui::TWMScroll& Message) override;
    void WMSize(ui::TWMSize& Message) override;
    void CreateWnd() override;
    void WndProc(ui::TMessage& Message) override;
    bool DoMouseWheelDown(ui::TShiftState Shift, TPoint MousePos) override;
    bool DoMouseWheelUp(ui::TShiftState Shift, TPoint MousePos) override;
    void RunAutoFit();
    void DeferLayout();
    void QueryMemTable();
    void UpdateRecordViewRowCount();
    void SyncRecordViewRow();
    TVertScrollValuesEh RecordViewVertScrollValues();
    void RecordViewVScroll(ui::TWMScroll& Message);
    void RecordViewScrollBy(uint16_t Code);
    // Asks a view that fetches on demand for more records until the rows fill the client area.
    void FillRecordViewClient();
    // Asks such a view for Count more records; the number it added.
    int FetchRecordViewRecords(int Count);
    void UpdateEditorPosition() override;
    bool GridWidthsDiffer();
    ui::TScrollStyle WantedBaseScrollBars() const;
    void ComputeRowHeights();
    void ApplyVertScrollValues(const TVertScrollValuesEh& V);
    void InvalidateDataRow(int GridRow);

    uint8_t FIndicatorColCount = 1;
    uint8_t FLayoutNesting = 0;
    uint8_t FUpdateNesting = 0;
    bool FSizeChangedWhileLocked = false;
    AnsiString FEditText;
    Variant FEditValue = Variant::Null();
    int FDefaultRowHeight = 0;
    int FTitleRowHeight = 0;
    int FCellTextMargin = 4;
    int FIndicatorColWidth = 11;
    int FPressedTitleCol = -1;
    bool FTitleBtnDown = false;
    bool FFilterEditing = false;
    int FFilterCol = -1;
    TInplaceFilterEditEh* FFilterEdit = nullptr;  // owned as a component
    std::vector<int> FFilterItemTags;
    int FFilterChosenTag = 0;
    ui::TPoint FFilterPressPos{0, 0};
    int FFilterPressTime = 0;
    std::map<TColumnEh*, rtl::TOwnedPtr<editors::TDatasetFieldValueListEh>> FFilterValueLists;
    void FilterEditorItemsRequest();
    void FilterEditorCloseUp(bool& Accept);
    // Starts filter editing in the next filterable column from grid column From in Step's direction.
    void MoveFilterCol(int From, int Step);
    // Up from the first record into the filter row; true when it went there.
    bool FilterRowUpEntry(ui::TShiftState Shift);
    // A press on a filter cell; true when it was taken.
    bool FilterRowPress(ui::TMessage& Message);
    bool FInLayoutChange = false;
    int64_t FRecordSwitchCount = 0;
    bool FDoubleBufferedPaint = false;
    bool FInTreeUpdate = false;
    // The off-screen image of buffered paints: kept between paints, grown with the client only.
    std::unique_ptr<ui::TBitmap> FPaintBuffer;
    // Per column, one flag per grid row: the line above that row was painted over (hidden duplicates).
    std::vector<std::vector<bool>> FDuplicateLineFlags;
    // What the data-cell painters read of a column, taken once per paint: the column's defaulted
    // properties ask the grid and its default values on every read.
    struct TColumnPaintValues {
        ui::TFont* Font = nullptr;
        ui::TColor Color = ui::clWindow;
        TAlignment Alignment = db::taLeftJustify;
        TColumnCellKindEh Kind = cckText;
        TTextLayout Layout = editors::tlTop;
        bool ReadOnly = false;
        bool TextEditing = false;
        bool HighlightRequired = false;
        bool AlwaysShowEditButton = false;
        bool WordWrap = false;
        bool EndEllipsis = false;
    };
    std::vector<TColumnPaintValues> FPaintColumns;
    bool FPaintColumnsTaken = false;
    TColumnPaintValues FPaintColumnScratch;
    const TColumnPaintValues& PaintValues(int DataCol);
    rtl::TOwnedPtr<TDBGridEhSelection> FSelection;
    rtl::TOwnedPtr<TDBGridEhScrollBar> FVertScrollBar;
    rtl::TOwnedPtr<TDBGridEhScrollBar> FHorzScrollBar;
    int FEditButtonWidth = 16;
    int FEditButtonHeight = 16;
    bool FRowFitsMoreThanOneLine = false;
    int FSavedActiveRecord = -1;
    // A record view's active record was switched by SwitchToDataRow (its index may be negative).
    bool FViewRecordSwitched = false;
    bool FFetchingRecords = false;
    // The top-left cell after the last layout or move.
    TGridCoord FLastTopLeft{1, 1};
    bool FThumbTracked = false;
    TVertScrollValuesEh FAppliedVert{-1, -1, -1, -1};
    TScrollBarVisibleModeEh FPrevVisibleMode = sbAutoShowEh;
    int FBorderWidth = 0;
    bool FIndicatorTitlePressed = false;
    editors::IMemTableEh* FMemTable = nullptr;
    bool FRowHeightsDirty = false;
    TDBGridEhStyle* FStyle = nullptr;
    TDBGridEhCenter* FCenter = nullptr;
    rtl::TOwnedPtr<TDBGridEhIndicatorTitle> FIndicatorTitle;

private:
    TDBGridOptions FOptions = DefaultDBGridOptions;
    TDBGridEhOptions FOptionsEh = DefaultDBGridEhOptions;
    TDBGridEhAllowedOperations FAllowedOperations{alopInsertEh, alopUpdateEh, alopDeleteEh, alopAppendEh};
    TDBGridEhAllowedSelections FAllowedSelections{gstRecordBookmarks, gstRectangle, gstColumns, gstAll};
    TDBGridEhEditActions FEditActions;
    TDBGridEhSelectionType FSelectionType = gstNon;

    rtl::TOwnedPtr<TDBGridColumnsEh> FColumns;
    rtl::TOwnedPtr<TColumnDefValuesEh> FColumnDefValues;
    rtl::TOwnedPtr<TColumnsEhList> FDisplayedColumnList;
    rtl::TOwnedPtr<TColumnsEhList> FSortMarkedColumnList;
    rtl::TOwnedPtr<TGridDataLinkEh> FDataLink;
    rtl::TOwnedPtr<TBookmarkListEh> FSelectedRecords;
    rtl::TOwnedPtr<TSTDBGridEhFilter> FSTFilter;
    rtl::TOwnedPtr<TDBGridEhSumList> FSumList;
    rtl::TOwnedPtr<THeadTreeNode> FHeadTree;
    std::vector<THeadTreeNode*> FLeafFieldArr;
    rtl::TOwnedPtr<TColCellParamsEh> FColCellParams;
    rtl::TOwnedPtr<ui::TFont> FTitleFont;
    rtl::TOwnedPtr<ui::TFont> FFooterFont;

    bool FAutoFitColWidths = false;
    int FFooterRowCount = 0;
    int FFrozenCols = 0;
    int FContraColumns = 0;
    bool FReadOnly = false;
    int FRowHeight = 0;
    int FRowLines = 0;
    bool FRowSizingAllowed = false;
    bool FSortLocal = false;
    int FTitleHeight = 0;
    int FTitleLines = 0;
    bool FUseMultiTitle = false;
    int FVTitleMargin = 10;
    int FMinAutoFitWidth = 0;
    bool FDefaultDrawing = true;
    bool FDrawMemoText = false;
    bool FDrawGraphicData = false;
    ui::TColor FEvenRowColor = ui::clWindow;
    bool FEvenRowColorAssigned = false;
    ui::TColor FOddRowColor = ui::clWindow;
    bool FOddRowColorAssigned = false;
    ui::TColor FFooterColor = ui::clWindow;
    ui::TCustomImageList* FTitleImages = nullptr;
    bool FFontChangeFromParent = false;
};

// ---------------------------------------------------------------------------------------------
// TDBGridInplaceEdit: the text editor over the current cell, configured from the current column.

class TDBGridInplaceEdit : public TInplaceEdit, public editors::IDropDownHostEh {
    RTL_CLASS(TDBGridInplaceEdit, TInplaceEdit)
public:
    explicit TDBGridInplaceEdit(rtl::TComponent* Owner);
    ~TDBGridInplaceEdit() override;

    TCustomDBGridEh* DBGrid() const;
    // The grid's current column; null without columns.
    TColumnEh* Column() const;
    TColumnEditStyleEh EditStyle() const noexcept { return FEditStyle; }
    ui::TWinControl* ActiveList() const noexcept { return FActiveList; }
    bool ListVisible() const noexcept { return FListVisible; }
    bool DropDownInProgress() const noexcept { return FDroppingDown; }
    bool WordWrapped() const noexcept { return FWordWrap; }
    bool ReadOnlyForced() const noexcept { return FReadOnlyForced; }
    int ImageIndex() const noexcept { return FImageIndex; }
    int ButtonsWidth() const noexcept { return FButtonsWidth; }
    struct TButtonEntry {
        ui::TShape* Separator = nullptr;
        editors::TEditButtonControlEh* Button = nullptr;
    };
    const std::vector<TButtonEntry>& ButtonControls() const noexcept { return FButtons; }
    editors::TPopupListboxEh* PickListBox() const noexcept { return FPickList; }
    TPopupDataGridEh* DataList() const noexcept { return FDataList; }
    editors::TPopupMonthCalendarEh* Calendar() const noexcept { return FCalendar; }
    editors::TPopupCalculatorEh* Calculator() const noexcept { return FCalculator; }
    editors::TMRUListboxEh* MRUListbox() const noexcept { return FMRUListbox; }
    bool MRUDroppedDown() const;

    void LoadCellContents() override;
    void UpdateEditRect() override;
    // The drop-down of the current style (see DBGridEh_DropDown.cpp).
    void DropDown();
    void CloseUp(bool Accept) override;
    void CloseMRUList(bool Accept);
    void UpdateMRUDropDown();
    // Steps the value as the up-down buttons do.
    void UpDownClick(bool Bottom);
    // Loads the cell again after its field changed; an open list stays open.
    void Reload();

    // --- virtual operations, in slot order ---
    virtual void UpdateImageIndex();
    virtual editors::TEditButtonControlEh* CreateEditButtonControl();
    virtual editors::TMRUListboxEh* CreateMRUListbox();
    virtual editors::TPopupCalculatorEh* GetCalculator();
    virtual void EditButtonDown(bool Bottom);
    virtual TRect GetTextRect();
    // True when Text was consumed (the key is then dropped).
    virtual bool ProcessTypedText(AnsiString& Text);
    virtual void EditButtonClick(editors::TEditButtonControlEh* Button);
    virtual void EditButtonMouseDown(editors::TEditButtonControlEh* Button, bool TopButton, bool& AutoRepeat,
                                     bool& Handled);
    virtual void EditButtonMouseMove(editors::TEditButtonControlEh* Button, ui::TShiftState Shift, int X, int Y);
    virtual void EditButtonMouseUp(editors::TEditButtonControlEh* Button, ui::TMouseButton MouseButton,
                                   ui::TShiftState Shift, int X, int Y);
    virtual void FilterMRUItem(const AnsiString& Item, bool& Accept);
    virtual void SaveMRUListboxSize();
    virtual void DrawRequiredState(ui::TCanvas* Canvas);
    virtual void TextChanged();

    void KeyDown(uint16_t& Key, ui::TShiftState Shift) override;
    void KeyPress(char& Key) override;
    void KeyUp(uint16_t& Key, ui::TShiftState Shift) override;

protected:
    void CreateParams(ui::TCreateParams& Params) override;
    void WndProc(ui::TMessage& Message) override;
    void MouseDown(ui::TMouseButton Button, ui::TShiftState Shift, int X, int Y) override;
    void PaintEdit(ui::TCanvas* DC) override;
    void Change() override;
    void DoPaste() override;
    void Notification(rtl::TComponent* AComponent, rtl::TOperation Operation) override;
    void SetEditStyle(TColumnEditStyleEh Value);
    void UpdateEditButtonControls();
    // The row's tree indent when the editor is in the first shown column of a tree view, else 0.
    int TreeIndent() const;
    // A left press in the node's own expander (the last level of the indent) toggles the node.
    bool TreeAreaPress(int X, int Y);
    // The grid's edit text (and lookup key) follow the editor's text after a deletion.
    void TextEditedByKey();
    // Puts an accepted completion into the editor and the grid.
    void ShowCompletion(const AnsiString& Text, int SelFrom, const Variant& Key, bool SetKey);
    bool DeleteInKeyColumn(bool Backspace);
    bool PasteIntoCell();
    // The keys a list takes while it can drop; true when the message was handled.
    bool ListKeyMessage(ui::TMessage& Message);
    void DropDownPickList();
    void DropDownDataList();
    void DropDownCalendar();
    void DropDownCalculator();
    void PlaceAndShow(ui::TWinControl* List);
    int ColumnButtonIndexOf(rtl::TObject* Sender) const;

    TColumnEditStyleEh FEditStyle = cesNone;
    ui::TWinControl* FActiveList = nullptr;
    editors::TPopupListboxEh* FPickList = nullptr;
    TPopupDataGridEh* FDataList = nullptr;
    editors::TPopupMonthCalendarEh* FCalendar = nullptr;
    editors::TPopupCalculatorEh* FCalculator = nullptr;
    editors::TMRUListboxEh* FMRUListbox = nullptr;
    db::TDataSource* FDataSource = nullptr;  // feeds the data list; owned as a component
    std::vector<TButtonEntry> FButtons;
    bool FListVisible = false;
    bool FDroppingDown = false;
    bool FOpenedByPress = false;
    bool FSpecRowChanged = false;
    bool FNoCloseUp = false;
    bool FWordWrap = false;
    bool FTextChanged = false;
    bool FReadOnlyForced = false;
    int FButtonsWidth = 0;
    int FImageIndex = -1;
    // The grid's edit text when the list dropped: a cancelled list puts it back.
    AnsiString FTextBeforeDropDown;
    // The code of a key-down a list took: its character is not the editor's.
    uint16_t FKeyTaken = 0;
};

// The grid forms place; it publishes what TCustomDBGridEh implements.
class TDBGridEh : public TCustomDBGridEh {
    RTL_CLASS(TDBGridEh, TCustomDBGridEh)
public:
    using TCustomDBGridEh::TCustomDBGridEh;
};

}  // namespace grid
