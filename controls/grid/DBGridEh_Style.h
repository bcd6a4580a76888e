// The process-wide grid style (the colours of highlighted and selected cells) and grid center
// (the default handlers a grid calls for searching, moving records, sorting and filtering).
#pragma once

#include <functional>
#include <vector>

#include "controls/grid/DBGridEh.h"

namespace grid {

// Moves a colour halfway toward Glass and then toward light grey; Ungray darkens it again.
ui::TColor BlendTowardGlass(ui::TColor Color, ui::TColor Glass, bool Ungray);

// Grids attached to a style or center; not owned.
class TAttachedGridsEh {
public:
    void Add(TCustomDBGridEh* Grid);
    void Remove(TCustomDBGridEh* Grid);
    bool Has(TCustomDBGridEh* Grid) const;
    const std::vector<TCustomDBGridEh*>& Items() const noexcept { return FGrids; }

private:
    std::vector<TCustomDBGridEh*> FGrids;
};

class TDBGridEhStyle;

// The style's window for system notifications: a handle in the window table, no surface.
class TGridStyleWindowEh : public ui::TWinControl {
    RTL_CLASS(TGridStyleWindowEh, ui::TWinControl)
public:
    TGridStyleWindowEh(rtl::TComponent* Owner, TDBGridEhStyle* Style) : ui::TWinControl(Owner), FStyle(Style) {}
    void WndProc(ui::TMessage& Message) override;
    // The default window procedure.
    void DefaultProc(ui::TMessage& Message) { DefaultHandler(Message); }

protected:
    void CreateParams(ui::TCreateParams& Params) override;
    void CreateWindowHandle(const ui::TCreateParams& Params) override;
    void DestroyWindowHandle() override;

private:
    TDBGridEhStyle* FStyle;
};

// Which part of the grid a fixed cell lies in, for GetSelectedFixedCellColors.
enum TFixedCellAreaEh { fcaIndicator, fcaTitle, fcaFilter, fcaFooter, fcaOther };

class TDBGridEhStyle : public rtl::TPersistent {
    RTL_CLASS(TDBGridEhStyle, rtl::TPersistent)
public:
    TDBGridEhStyle();
    ~TDBGridEhStyle() override;

    void AddGrid(TCustomDBGridEh* Grid) { FGrids.Add(Grid); }
    void RemoveGrid(TCustomDBGridEh* Grid) { FGrids.Remove(Grid); }
    bool HasGrid(TCustomDBGridEh* Grid) const { return FGrids.Has(Grid); }
    bool LightenSelection() const noexcept { return FLightenSelection; }
    void SetLightenSelection(bool Value) noexcept { FLightenSelection = Value; }
    bool DrawFocusFrame() const noexcept { return FDrawFocusFrame; }
    void SetDrawFocusFrame(bool Value) noexcept { FDrawFocusFrame = Value; }
    // NUMCOLORS of the screen: -1 above 256 colours.
    int ScreenNumColors() const noexcept { return FScreenNumColors; }
    void SetScreenNumColors(int Value) noexcept { FScreenNumColors = Value; }

    // The hidden window that receives WM_SYSCOLORCHANGE.
    ui::HWND HiddenWindow() const;

    // Virtual operations, in slot order.
    virtual bool GetDataCellHighlight(TCustomDBGridEh* Grid, int ACol, int ARow, int DataCol, int DataRow,
                                      TGridDrawState& State, ui::TFont* Font, ui::TColor& Background);
    virtual bool GetSelectedFixedCellColors(TCustomDBGridEh* Grid, int ACol, int ARow, ui::TFont* Font,
                                            ui::TColor& Background, bool Selected, TFixedCellAreaEh Area);
    virtual void HiddenWindowProc(ui::TMessage& Message);
    virtual void SystemColorsChanged();

private:
    bool ManyColors() const noexcept { return FScreenNumColors == -1; }
    TAttachedGridsEh FGrids;
    rtl::TOwnedPtr<TGridStyleWindowEh> FHiddenWindow;
    bool FLightenSelection = true;
    bool FDrawFocusFrame = true;
    int FScreenNumColors = -1;
};

using TLocateTextHookEh = std::function<bool(TCustomDBGridEh* Grid, const WideString& FieldName, const AnsiString& Text,
                                             TLocateTextMatchTypeEh MatchType, TLocateTextDirectionEh Direction,
                                             TLocateTextOptionsEh Options)>;
using TGridHookEh = std::function<void(TCustomDBGridEh* Grid)>;
using TGridCellMouseHookEh = std::function<void(TCustomDBGridEh* Grid, TGridCoord Cell, ui::TMouseButton Button,
                                                ui::TShiftState Shift, int X, int Y)>;
using TBuildIndicatorTitleMenuHookEh = std::function<void(TCustomDBGridEh* Grid, ui::TPopupMenu*& PopupMenu)>;

// The items the indicator-title menu may offer.
enum TDBGridEhIndicatorMenuItem { gimVisibleColumnsEh, gimCutEh, gimCopyEh, gimPasteEh, gimDeleteEh, gimSelectAllEh };
using TDBGridEhIndicatorMenuItems = rtl::TSet<TDBGridEhIndicatorMenuItem>;

// A menu item standing for a column ("Visible columns" entries).
class TColumnEhMenuItem : public ui::TMenuItem {
    RTL_CLASS(TColumnEhMenuItem, ui::TMenuItem)
public:
    using ui::TMenuItem::TMenuItem;
    TColumnEh* Column = nullptr;
};

// A menu item carrying a grid and an action number: 1 cut, 2 copy, 3 paste, 4 delete, 5 select all.
class TDBGridEhMenuItem : public ui::TMenuItem {
    RTL_CLASS(TDBGridEhMenuItem, ui::TMenuItem)
public:
    using ui::TMenuItem::TMenuItem;
    TCustomDBGridEh* Grid = nullptr;
    int ActionNumber = 0;
};

namespace msg {
inline constexpr const char* SVisibleColumnsEh = "Visible columns";
inline constexpr const char* SCutEh = "Cut";
inline constexpr const char* SCopyEh = "Copy";
inline constexpr const char* SPasteEh = "Paste";
inline constexpr const char* SDeleteEh = "Delete";
inline constexpr const char* SSelectAllEh = "Select All";
}  // namespace msg

class TDBGridEhCenter : public rtl::TPersistent {
    RTL_CLASS(TDBGridEhCenter, rtl::TPersistent)
public:
    TDBGridEhCenter();
    ~TDBGridEhCenter() override;

    void AddGrid(TCustomDBGridEh* Grid) { FGrids.Add(Grid); }
    void RemoveGrid(TCustomDBGridEh* Grid) { FGrids.Remove(Grid); }
    bool HasGrid(TCustomDBGridEh* Grid) const { return FGrids.Has(Grid); }
    bool FilterEditCloseUpApplyFilter() const noexcept { return FApplyFilterAtOnce; }
    void SetFilterEditCloseUpApplyFilter(bool Value) noexcept { FApplyFilterAtOnce = Value; }

    TDBGridEhIndicatorMenuItems IndicatorMenuItems() const noexcept { return FIndicatorMenuItems; }
    void SetIndicatorMenuItems(TDBGridEhIndicatorMenuItems Value) noexcept { FIndicatorMenuItems = Value; }

    TLocateTextHookEh OnLocateText;
    TGridHookEh OnApplyFilter;
    TGridHookEh OnApplySorting;
    TBuildIndicatorTitleMenuHookEh OnBuildIndicatorTitleMenu;
    TGridCellMouseHookEh OnCellMouseClick;
    TGridCellMouseHookEh OnIndicatorTitleMouseDown;

    void BuildIndicatorTitleMenu(TCustomDBGridEh* Grid, ui::TPopupMenu*& PopupMenu);
    void CellMouseClick(TCustomDBGridEh* Grid, TGridCoord Cell, ui::TMouseButton Button, ui::TShiftState Shift, int X,
                        int Y);

    // Virtual operations, in slot order.
    virtual bool DefaultLocateText(TCustomDBGridEh* Grid, const WideString& FieldName, const AnsiString& Text,
                                   TLocateTextMatchTypeEh MatchType, TLocateTextDirectionEh Direction,
                                   TLocateTextOptionsEh Options);
    virtual bool DefaultMoveRecords(TCustomDBGridEh* Grid, const std::vector<db::TBookmark>& Bookmarks,
                                    int TargetRecord, bool CheckOnly);
    virtual bool LocateText(TCustomDBGridEh* Grid, const WideString& FieldName, const AnsiString& Text,
                            TLocateTextMatchTypeEh MatchType, TLocateTextDirectionEh Direction,
                            TLocateTextOptionsEh Options);
    virtual bool MoveRecords(TCustomDBGridEh* Grid, const std::vector<db::TBookmark>& Bookmarks, int TargetRecord,
                             bool CheckOnly);
    virtual void ApplyFilter(TCustomDBGridEh* Grid);
    virtual void ApplySorting(TCustomDBGridEh* Grid);
    virtual void IndicatorTitleMouseDown(TCustomDBGridEh* Grid, TGridCoord Cell, ui::TMouseButton Button,
                                         ui::TShiftState Shift, int X, int Y);
    virtual void DefaultApplyFilter(TCustomDBGridEh* Grid);
    virtual void DefaultApplySorting(TCustomDBGridEh* Grid);
    virtual void BuildDefaultIndicatorTitleMenu(TCustomDBGridEh* Grid, ui::TPopupMenu*& PopupMenu);
    virtual void DefaultCellMouseClick(TCustomDBGridEh* Grid, TGridCoord Cell, ui::TMouseButton Button,
                                       ui::TShiftState Shift, int X, int Y);
    virtual void DefaultIndicatorTitleMouseDown(TCustomDBGridEh* Grid, TGridCoord Cell, ui::TMouseButton Button,
                                                ui::TShiftState Shift, int X, int Y);

private:
    TAttachedGridsEh FGrids;
    bool FApplyFilterAtOnce = false;
    TDBGridEhIndicatorMenuItems FIndicatorMenuItems{gimVisibleColumnsEh, gimCutEh,    gimCopyEh,
                                                    gimPasteEh,          gimDeleteEh, gimSelectAllEh};
};

// The one indicator-title menu (owned by the screen, named "DBGridEhIndicatorTitlePopupMenu").
ui::TPopupMenu* IndicatorTitlePopupMenu();

// The process-wide style and center, made by the grid unit's set-up before the first grid (the
// window model is not ready while static objects are made); null once freed.
TDBGridEhStyle* CurrentGridStyle();
TDBGridEhCenter* CurrentGridCenter();
void SetCurrentGridStyle(TDBGridEhStyle* Style) noexcept;
void SetCurrentGridCenter(TDBGridEhCenter* Center) noexcept;

// A field's value as an integer when it is one or fits one; Default otherwise.
int FieldValueAsInteger(db::TField* Field, int Default);
bool AllFieldsModifiable(const std::vector<db::TField*>& Fields);
[[noreturn]] void RaiseInvalidGridOperation(const AnsiString& Message);
// Removes one pending message of that number from the window's queue (a WM_QUIT goes back).
void RemovePendingMessage(ui::HWND Wnd, ui::UINT Message);
void SwapRectSides(TRect& R) noexcept;

}  // namespace grid
