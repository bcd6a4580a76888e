// The base grid: a windowed array of cells with fixed, frozen, scrollable and contra (far-edge)
// groups on both axes, a current cell and range selection, scrolling, painting through DrawCell,
// sizing and moving by mouse, and the in-place editor that the grid places over its current cell.
// It knows nothing of datasets; the data grid derives from TCustomGridEh and overrides its hooks.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "framework/rtl/Exceptions.h"
#include "framework/ui/Controls.h"
#include "framework/ui/Mask.h"
#include "framework/ui/StdCtrls.h"

namespace grid {

using rtl::AnsiString;
using ui::TPoint;
using ui::TRect;

RTL_DECLARE_EXCEPTION(EInvalidGridOperationEh, rtl::Exception);

// Error texts.
inline constexpr const char* SGridIndexOutOfRange = "Grid index out of range";
inline constexpr const char* STooManyDeleted = "Too many rows or columns deleted";
inline constexpr const char* SGridTooLarge = "Grid too large for operation";
inline constexpr const char* SFixedColTooBig = "Fixed column count must be less than column count";
inline constexpr const char* SFixedRowTooBig = "Fixed row count must be less than row count";
inline constexpr const char* SContraColNegative = "FContraColCount can not be negative.";
inline constexpr const char* SContraRowNegative = "FContraRowCount can not be negative.";

// The largest full count of an extent array.
inline constexpr int MaxExtentCount = 134217725;
// Line colours not set by the owner.
inline constexpr ui::TColor GridColorNotSet = 536870912;

using ui::MulDiv;

// ---------------------------------------------------------------------------------------------
// Cells and ranges

struct TGridCoord {
    int32_t X = 0;  // column
    int32_t Y = 0;  // row
    friend bool operator==(const TGridCoord&, const TGridCoord&) = default;
};

// Inclusive column/row range.
struct TGridRect {
    int32_t Left = 0;
    int32_t Top = 0;
    int32_t Right = 0;
    int32_t Bottom = 0;
    friend bool operator==(const TGridRect&, const TGridRect&) = default;
};

TGridRect MakeGridRect(TGridCoord A, TGridCoord B) noexcept;
bool CellInGridRect(TGridCoord C, const TGridRect& R) noexcept;

using TIntegerArray = std::vector<int>;

enum TGridOptionEh {
    gopFixedVertLine,
    gopFixedHorzLine,
    gopVertLine,
    gopHorzLine,
    gopRangeSelect,
    gopDrawFocusSelected,
    gopRowSizing,
    gopColSizing,
    gopRowMoving,
    gopColMoving,
    gopEditing,
    gopTabs,
    gopRowSelect,
    gopAlwaysShowEditor,
    gopThumbTracking,
};
using TGridOptionsEh = rtl::TSet<TGridOptionEh>;

enum TGridStateEh : uint8_t { gsNormal, gsSelecting, gsRowSizing, gsColSizing, gsRowMoving, gsColMoving };

enum TGridDrawStateFlag { gdSelected, gdFocused, gdFixed, gdHotTrack };
using TGridDrawState = rtl::TSet<TGridDrawStateFlag>;

// ExtendSelectionBy directions.
inline constexpr int ExtendLeft = 1;
inline constexpr int ExtendRight = 2;
inline constexpr int ExtendUp = 4;
inline constexpr int ExtendDown = 8;

class TCustomGridEh;

using TGridExtentFunc = int (*)(const TCustomGridEh* Grid, int Index);

// One axis of the layout (see ComputeLayout).
struct TGridAxisLayoutEh {
    int32_t LineWidth = 0;
    int32_t FixedEnd = 0;
    int32_t ScrollEnd = 0;
    int32_t ScrollLimit = 0;
    int32_t LastWholeCell = 0;
    int32_t LastWholeEnd = 0;
    int32_t FixedCount = 0;
    int32_t FirstScrollCell = 0;
    int32_t CellCount = 0;
    TGridExtentFunc ExtentOf = nullptr;
    int32_t UnfrozenEnd = 0;
    int32_t FrozenCount = 0;
    int32_t ContraCount = 0;
    int32_t ContraStart = 0;
    int32_t ClientExtent = 0;
    int32_t FullEnd = 0;
    int32_t TotalCount = 0;
    int32_t PixelOffset = 0;
    int32_t ScrollStart = 0;

    int Extent(const TCustomGridEh* Grid, int Index) const { return ExtentOf(Grid, Index); }
};

struct TGridLayoutEh {
    TGridAxisLayoutEh Horz;
    TGridAxisLayoutEh Vert;
};

using TGridEhCellMouseEvent = std::function<void(TCustomGridEh* Grid, TGridCoord Cell, ui::TMouseButton Button,
                                                 ui::TShiftState Shift, int X, int Y)>;

// ---------------------------------------------------------------------------------------------
// Line colours

class TGridLineColorsEh : public rtl::TPersistent {
    RTL_CLASS(TGridLineColorsEh, rtl::TPersistent)
public:
    explicit TGridLineColorsEh(TCustomGridEh* Grid) : FGrid(Grid) {
        for (auto& c : Colors) c = GridColorNotSet;
    }
    TCustomGridEh* Grid() const noexcept { return FGrid; }

    virtual ui::TColor DarkColor();
    virtual ui::TColor BrightColor();
    virtual ui::TColor AreaLineColor(int ACol, int ARow);
    virtual ui::TColor VertLineColor(int ACol);
    virtual ui::TColor HorzLineColor(int ARow);
    virtual ui::TColor FrozenVertLineColor(int ACol);
    virtual ui::TColor FrozenHorzLineColor(int ARow);
    virtual ui::TColor GetColor5();
    virtual ui::TColor GetColor4();
    virtual ui::TColor GetColor17();
    virtual ui::TColor GetColor16();
    virtual ui::TColor GetColor11();
    virtual ui::TColor GetColor10();
    virtual ui::TColor GetColor15();
    virtual ui::TColor GetColor9();
    virtual ui::TColor GetColor3();
    virtual ui::TColor GetColor2();
    virtual ui::TColor GetColor14();
    virtual ui::TColor GetColor13();
    virtual ui::TColor GetColor8();
    virtual ui::TColor GetColor7();
    virtual ui::TColor GetColor12();
    virtual ui::TColor GetColor6();

    ui::TColor Colors[18];

private:
    ui::TColor Dark(int N) { return Colors[N] == GridColorNotSet ? DarkColor() : Colors[N]; }
    ui::TColor Bright(int N) { return Colors[N] == GridColorNotSet ? BrightColor() : Colors[N]; }
    TCustomGridEh* FGrid;
};

class TInplaceEdit;

// ---------------------------------------------------------------------------------------------
// TCustomGridEh

class TCustomGridEh : public ui::TCustomControl {
    RTL_CLASS(TCustomGridEh, ui::TCustomControl)
public:
    explicit TCustomGridEh(rtl::TComponent* Owner);
    ~TCustomGridEh() override;
    void AfterConstruction() override;
    void BeforeDestruction() override;

    // --- model ---
    int ColCount() const noexcept { return FColCount; }
    void SetColCount(int Value);
    int RowCount() const noexcept { return FRowCount; }
    void SetRowCount(int Value);
    int FixedCols() const noexcept { return FFixedCols; }
    void SetFixedCols(int Value);
    int FixedRows() const noexcept { return FFixedRows; }
    void SetFixedRows(int Value);
    int FrozenColCount() const noexcept { return FFrozenColCount; }
    void SetFrozenColCount(int Value);
    int FrozenRowCount() const noexcept { return FFrozenRowCount; }
    void SetFrozenRowCount(int Value);
    int ContraColCount() const noexcept { return FContraColCount; }
    void SetContraColCount(int Value);
    int ContraRowCount() const noexcept { return FContraRowCount; }
    void SetContraRowCount(int Value);
    int FullColCount() const noexcept { return FColCount + FContraColCount; }
    int FullRowCount() const noexcept { return FRowCount + FContraRowCount; }

    int DefaultColWidth() const noexcept { return FDefaultColWidth; }
    void SetDefaultColWidth(int Value);
    int DefaultRowHeight() const noexcept { return FDefaultRowHeight; }
    void SetDefaultRowHeight(int Value);
    int ColWidths(int Index) const noexcept;
    void SetColWidths(int Index, int Value);
    int RowHeights(int Index) const noexcept;
    void SetRowHeights(int Index, int Value);
    int TabStops(int Index) const noexcept;
    void SetTabStops(int Index, int Value);
    const TIntegerArray& ColWidthsArray() const noexcept { return FColWidths; }
    const TIntegerArray& RowHeightsArray() const noexcept { return FRowHeights; }
    const TIntegerArray& TabStopsArray() const noexcept { return FTabStops; }
    int GridLineWidth() const noexcept { return FGridLineWidth; }
    void SetGridLineWidth(int Value);

    TGridOptionsEh GridOptions() const noexcept { return FGridOptions; }
    void SetGridOptions(TGridOptionsEh Value);
    TGridOptionsEh DesignGridOptions() const noexcept { return FDesignGridOptions; }
    void SetDesignGridOptions(TGridOptionsEh Value) noexcept { FDesignGridOptions = Value; }
    TGridStateEh GridState() const noexcept { return FGridState; }
    ui::TBorderStyle BorderStyle() const noexcept { return FBorderStyle; }
    void SetBorderStyle(ui::TBorderStyle Value);
    ui::TScrollStyle ScrollBars() const noexcept { return FScrollBars; }
    void SetScrollBars(ui::TScrollStyle Value);
    ui::TColor FixedColor() const noexcept { return FFixedColor; }
    void SetFixedColor(ui::TColor Value);
    bool Flat() const noexcept { return FFlat; }
    void SetFlat(bool Value);
    bool Ctl3D() const noexcept { return FCtl3D; }
    void SetCtl3D(bool Value);
    bool BaseDefaultDrawing() const noexcept { return FBaseDefaultDrawing; }
    void SetBaseDefaultDrawing(bool Value) noexcept { FBaseDefaultDrawing = Value; }
    ui::TColor DefaultLineColor() const noexcept { return FDefaultLineColor; }
    bool StoreExtents() const noexcept { return FStoreExtents; }
    void SetStoreExtents(bool Value) noexcept { FStoreExtents = Value; }
    bool CellModifiable() const noexcept { return FCellModifiable; }
    TGridLineColorsEh* GridLineColors() const noexcept { return FGridLineColors.get(); }

    // --- current cell, selection, scrolling ---
    int Col() const noexcept { return FCurrent.X; }
    void SetCol(int Value);
    int Row() const noexcept { return FCurrent.Y; }
    void SetRow(int Value);
    int LeftCol() const noexcept { return FTopLeft.X; }
    void SetLeftCol(int Value);
    int TopRow() const noexcept { return FTopLeft.Y; }
    void SetTopRow(int Value);
    TGridCoord Current() const noexcept { return FCurrent; }
    TGridCoord SelectionAnchor() const noexcept { return FAnchor; }
    TGridRect Selection() const noexcept { return MakeGridRect(FCurrent, FAnchor); }
    int DataOffset() const noexcept { return FDataOffset; }
    int HorzPixelPos() const noexcept { return FHorzPixelPos; }
    int HorzPixelExtent() const noexcept { return FHorzPixelExtent; }
    int HorzPixelPage() const noexcept { return FHorzPixelPage; }
    int SingleColumnOffset() const noexcept { return FSingleColumnOffset; }

    // --- painting lock ---
    int PaintLockCount() const noexcept { return FPaintLockCount; }
    void LockPaint() noexcept { ++FPaintLockCount; }
    void UnlockPaint() noexcept {
        if (FPaintLockCount > 0) --FPaintLockCount;
    }
    bool PaintLocked() const noexcept { return FPaintLockCount > 0; }

    // --- editor ---
    bool EditorMode() const noexcept { return FEditorMode; }
    void SetEditorMode(bool Value);
    TInplaceEdit* InplaceEditor() const noexcept { return FInplaceEdit; }
    TGridCoord EditorCell() const noexcept { return FEditorCell; }
    void ShowEditor();
    void HideEditor();
    void ShowEditorChar(char Ch);
    void InvalidateEditor();
    void UpdateEdit();
    void HideEdit();
    void UpdateText();

    // --- geometry ---
    TGridLayoutEh ComputeLayout() const;
    TGridLayoutEh ComputeLayoutFor(int ClientWidth, int ClientHeight) const;
    TGridCoord CellAtPoint(int X, int Y, const TGridLayoutEh& Layout) const;
    TGridCoord MouseCoord(int X, int Y) const;
    TRect CellRangeRect(const TGridRect& Range, bool IncludeLines) const;
    TRect CellRangeRect(const TGridRect& Range, bool IncludeLines, const TGridLayoutEh& Layout) const;
    TRect SingleCellRect(int ACol, int ARow) const;
    TGridCoord MaxTopLeft(TGridCoord LastCell, const TGridLayoutEh& Layout) const;
    TGridCoord MaxTopLeft(TGridCoord LastCell) const { return MaxTopLeft(LastCell, ComputeLayout()); }
    void InvalidateCell(int ACol, int ARow);
    void InvalidateColumn(int ACol);
    void InvalidateRow(int ARow);
    void InvalidateGridRect(const TGridRect& R);
    void InvalidateGrid();

    // --- structure ---
    void MoveColumn(int FromIndex, int ToIndex);
    void MoveRow(int FromIndex, int ToIndex);
    void SetGridSize(int NewColCount, int NewRowCount);
    void NotifyDesigner();

    // --- scrolling and current cell ---
    void MoveCurrent(int ACol, int ARow, bool Show, bool MoveAnchor);
    void MoveAnchor(TGridCoord Cell, bool Show);
    void FocusCell(int ACol, int ARow, bool MoveAnchor);
    void MoveTopLeft(int ALeft, int ATop);
    void ScrollCellIntoView(TGridCoord Cell);
    void ModifyScrollBar(int ScrollBar, int ScrollCode, bool FromScrollBar, int Pos);
    void UpdateScrollPos();
    void UpdateScrollRange();
    void UpdateHorzExtent();
    void ScrollHorzPixels(int Distance);

    TGridEhCellMouseEvent OnCellMouseClick;

    // --- virtual operations, in slot order ---
    virtual bool CanShowEditor();
    virtual bool AcceptsCellMouseClick(ui::TWMMouse& Message);
    virtual TInplaceEdit* CreateInplaceEditor();
    virtual TGridLineColorsEh* CreateGridLineColors();
    virtual int HorzScrollLineStep();
    virtual bool HorzScrollsByPixels();
    virtual bool CanSelectCell(int ACol, int ARow);
    virtual TGridStateEh GetSizingStateAt(int X, int Y, const TGridLayoutEh& Layout, int& SizingIndex, int& SizingPos,
                                          int& SizingOfs);
    virtual void CellMouseClick(TGridCoord Cell, ui::TMouseButton Button, ui::TShiftState Shift, int X, int Y);
    virtual void DeleteColumn(int ACol);
    virtual void DeleteRow(int ARow);
    virtual void DrawCell(int ACol, int ARow, const TRect& ARect, TGridDrawState AState);
    virtual void FlatChanged() {}
    virtual void ChangeGridSize(int NewContraColCount, int NewContraRowCount);
    virtual void UpdateDefaultLineColor();
    virtual void DefaultCellMouseClick(TGridCoord Cell, ui::TMouseButton Button, ui::TShiftState Shift, int X, int Y);

    // --- dynamic operations, in dispatch order ---
    virtual bool CanBeginColumnMove(int& Origin, int& Destination, TPoint MousePt);
    virtual bool CanBeginRowMove(int& Origin, int& Destination, TPoint MousePt);
    virtual bool EditorAcceptsKey(char Key);
    virtual bool CanModifyCell();
    virtual bool GridAcceptsKey(uint16_t Key, ui::TShiftState Shift);
    virtual bool CheckColumnMoveTarget(int& Origin, int& Destination, TPoint MousePt);
    virtual bool CheckRowMoveTarget(int& Origin, int& Destination, TPoint MousePt);
    virtual bool CanEndColumnMove(int& Origin, int& Destination, TPoint MousePt);
    virtual bool CanEndRowMove(int& Origin, int& Destination, TPoint MousePt);
    virtual int GetCellEditLimit();
    virtual AnsiString GetCellEditMask(int ACol, int ARow);
    virtual AnsiString GetCellEditText(int ACol, int ARow);
    virtual void AdjustGridSize(int Index, int Amount, bool Rows);
    virtual void ColumnMoved(int FromIndex, int ToIndex);
    virtual void ColWidthsChanged();
    virtual void RowHeightsChanged();
    virtual void RowMoved(int FromIndex, int ToIndex);
    virtual void StoreEditText(int ACol, int ARow, const AnsiString& Value);
    virtual void GridSizeChanged(int OldColCount, int OldRowCount);
    virtual void ExtendSelectionBy(int Directions);
    virtual void UpdateEditorPosition();

    // Framework overrides the grid needs public (message routing and tests).
    void KeyDown(uint16_t& Key, ui::TShiftState Shift) override;
    void KeyPress(char& Key) override;
    void KeyUp(uint16_t& Key, ui::TShiftState Shift) override;
    void DblClick() override;
    bool DoMouseWheelDown(ui::TShiftState Shift, TPoint MousePos) override;
    bool DoMouseWheelUp(ui::TShiftState Shift, TPoint MousePos) override;

protected:
    // Extent of a column or row (the layout's callbacks).
    static int ColExtent(const TCustomGridEh* Grid, int Index);
    static int RowExtent(const TCustomGridEh* Grid, int Index);
    void ComputeAxis(TGridAxisLayoutEh& A, bool Horizontal, int ClientExtent) const;
    int LineStart(const TGridAxisLayoutEh& A, int Index) const;
    void InitializeCells();
    void ResizeExtentArray(TIntegerArray& Array, int Index, int Amount, int Default);
    void SizeArraysTo(int FullCols, int FullRows);
    void InvalidateRect(const TRect& R);
    void InvalidateSelectionChange(const TGridRect& OldSel, const TGridRect& NewSel);
    void TopLeftMoved(TGridCoord OldTopLeft);
    void ScrollDataArea(int DX, int DY);
    void ClampTopLeftAfterScrolling();
    TGridCoord MaxTopLeftOfLastCell() const;
    int AxisFirst(bool Horizontal) const noexcept { return Horizontal ? FTopLeft.X : FTopLeft.Y; }

    // Painting.
    // One rectangle of lines: the columns [C0, C1) from X0 and the rows [R0, R1) from Y0.
    struct TLineArea {
        TRect Area;
        int C0, C1, X0;
        int R0, R1, Y0;
    };
    void DrawAreaLines(const TGridLayoutEh& L, const TLineArea& A, bool Fixed, ui::TColor Background,
                       ui::TColor LineColor);
    void Paint() override;
    void PaintRegular(const TGridLayoutEh& L);
    void PaintContra(const TGridLayoutEh& L);
    void DrawAxisLines(const TGridAxisLayoutEh& A, bool Vertical, int First, int Limit, int Start, int End,
                       int CrossFrom, int CrossTo, ui::TColor Color);
    void DrawOneLine(TPoint A, TPoint B, ui::TColor Color);
    void DrawCells(const TGridLayoutEh& L, int FirstCol, int X, int ColLimit, int XEnd, int FirstRow, int Y,
                   int RowLimit, int YEnd, TGridDrawState BaseState, ui::TColor Background, bool Contra);
    void DrawOneCell(int ACol, int ARow, const TRect& R, TGridDrawState State, ui::TColor Background, bool Contra);
    void DrawCellFrame3D(const TRect& R, bool FarSides, bool NearSides, bool Sunken, bool Pressed);
    bool IsActiveControl() const;
    bool Designing() const noexcept { return ComponentState().Contains(rtl::csDesigning); }

    // Sizing and moving.
    bool FindSizingLine(const TGridAxisLayoutEh& A, int Pos, int& Index, int& LinePos, int& Ofs) const;
    int SizeFromSizingLine(const TGridLayoutEh& L) const;
    void DrawSizingLine(const TGridLayoutEh& L);
    void DrawMoveLine();
    void TrackMoveTarget(int Pos, int Index, bool Horizontal);
    void CancelMouseState();
    void AutoScrollTick();
    // Draws with the XOR pen over the window outside a paint.
    void XorLines(const std::vector<std::pair<TPoint, TPoint>>& Lines, int Width, ui::TPenStyle Style,
                  ui::TColor Color);

    // Window set-up and messages.
    void CreateParams(ui::TCreateParams& Params) override;
    void CreateWnd() override;
    void DestroyWnd() override;
    void MouseDown(ui::TMouseButton Button, ui::TShiftState Shift, int X, int Y) override;
    void MouseMove(ui::TShiftState Shift, int X, int Y) override;
    void MouseUp(ui::TMouseButton Button, ui::TShiftState Shift, int X, int Y) override;
    void DoExit() override;
    void WMLButtonDown(ui::TWMMouse& Message) override;
    void WMRButtonDown(ui::TWMMouse& Message) override;
    void WMMButtonDown(ui::TWMMouse& Message) override;
    void WMLButtonUp(ui::TWMMouse& Message) override;
    void WMRButtonUp(ui::TWMMouse& Message) override;
    void WMMButtonUp(ui::TWMMouse& Message) override;
    void WMCancelMode(ui::TWMCancelMode& Message) override;
    void CMCancelMode(ui::TCMCancelMode& Message) override;
    void CMFontChanged(ui::TMessage& Message) override;
    void CMShowingChanged(ui::TMessage& Message) override;
    void WMChar(ui::TWMKey& Message) override;
    void WMGetDlgCode(ui::TWMGetDlgCode& Message) override;
    void CMWantSpecialKey(ui::TCMWantSpecialKey& Message) override;
    void WMSetFocus(ui::TWMSetFocus& Message) override;
    void WMKillFocus(ui::TWMKillFocus& Message) override;
    void WMSize(ui::TWMSize& Message) override;
    void WMTimer(ui::TWMTimer& Message) override;
    void WMHScroll(ui::TWMScroll& Message) override;
    void WMVScroll(ui::TWMScroll& Message) override;
    void WMNCHitTest(ui::TWMNCHitTest& Message) override;
    void WMSetCursor(ui::TWMSetCursor& Message) override;
    void WMEraseBkgnd(ui::TWMEraseBkgnd& Message) override;
    void MouseButtonPressed(ui::TWMMouse& Message);
    void MouseButtonReleased(ui::TWMMouse& Message, ui::TMouseButton Button);

    // Fields (the data grid reads and writes several).
    int FColCount = 5;
    int FRowCount = 5;
    int FFixedCols = 1;
    int FFixedRows = 1;
    int FFrozenColCount = 0;
    int FFrozenRowCount = 0;
    int FContraColCount = 0;
    int FContraRowCount = 0;
    int FDefaultColWidth = 64;
    int FDefaultRowHeight = 24;
    int FGridLineWidth = 1;
    TIntegerArray FColWidths;
    TIntegerArray FRowHeights;
    TIntegerArray FTabStops;
    TGridOptionsEh FGridOptions{gopFixedVertLine, gopFixedHorzLine, gopVertLine, gopHorzLine, gopRangeSelect};
    TGridOptionsEh FDesignGridOptions{gopRowSizing, gopColSizing, gopColMoving};
    TGridStateEh FGridState = gsNormal;
    ui::TBorderStyle FBorderStyle = ui::TBorderStyle::bsSingle;
    ui::TScrollStyle FScrollBars = ui::TScrollStyle::ssBoth;
    ui::TColor FFixedColor = ui::clBtnFace;
    bool FFlat = false;
    bool FCtl3D = true;
    bool FBaseDefaultDrawing = true;
    ui::TColor FDefaultLineColor = 0;
    bool FStoreExtents = true;
    bool FCellModifiable = true;
    bool FEditorMode = false;
    TGridCoord FCurrent{1, 1};
    TGridCoord FAnchor{1, 1};
    TGridCoord FTopLeft{1, 1};
    int FDataOffset = 0;
    int FHorzPixelPos = 0;
    int FHorzPixelExtent = 0;
    int FHorzPixelPage = 0;
    int FSingleColumnOffset = 0;
    int FPaintLockCount = 0;
    TInplaceEdit* FInplaceEdit = nullptr;
    TGridCoord FEditorCell{-1, -1};
    std::unique_ptr<TGridLineColorsEh> FGridLineColors;
    // Mouse state.
    int FSizingIndex = -1;
    int FSizingPos = 0;
    int FSizingOfs = 0;
    int FMoveIndex = 0;
    int FMovePos = 0;
    TGridCoord FMouseDownCell{-1, -1};
    TPoint FHitTest;
    bool FInHideEdit = false;

private:
    friend class TInplaceEdit;
    // Reused line buffers of one paint.
    std::vector<TPoint> FLinePoints;
    std::vector<int> FLineCounts;
    // What one paint reads once.
    TGridRect FPaintSelection;
    bool FFocusedPaint = false;
};

// ---------------------------------------------------------------------------------------------
// TInplaceEdit

class TInplaceEdit : public ui::TCustomMaskEdit {
    RTL_CLASS(TInplaceEdit, ui::TCustomMaskEdit)
public:
    explicit TInplaceEdit(rtl::TComponent* Owner);
    ~TInplaceEdit() override;

    TCustomGridEh* Grid() const noexcept { return FGrid; }
    void SetGrid(TCustomGridEh* Value) noexcept { FGrid = Value; }
    uint32_t ClickTime() const noexcept { return FClickTime; }
    void SetClickTime(uint32_t Value) noexcept { FClickTime = Value; }

    virtual void UpdateEditRect();
    virtual void LoadCellContents();

    void CaretToEndUnselected();
    void InvalidateEdit();
    void HideEdit();
    void MoveEdit(const TRect& R, bool ForceRedraw);
    void UpdateEditPos(const TRect& R) { MoveEdit(R, false); }
    void ShowEditAt(const TRect& R) { MoveEdit(R, true); }
    bool EditVisible() const noexcept { return IsWindowVisible(); }
    void FocusEdit();

protected:
    void CreateParams(ui::TCreateParams& Params) override;
    void KeyDown(uint16_t& Key, ui::TShiftState Shift) override;
    void KeyPress(char& Key) override;
    void KeyUp(uint16_t& Key, ui::TShiftState Shift) override;
    void DblClick() override;
    bool DoMouseWheel(ui::TShiftState Shift, int WheelDelta, TPoint MousePos) override;
    void WndProc(ui::TMessage& Message) override;
    void DoCut() override;
    void DoPaste() override;
    void DoClear() override;
    void Change() override;
    bool CaretAtEnd() const;
    bool CaretAtStart() const;
    void SendToGrid(uint16_t& Key, ui::TShiftState Shift);

    TCustomGridEh* FGrid = nullptr;
    uint32_t FClickTime = 0;
};

}  // namespace grid
