// The process-wide grid style (the colours of highlighted and selected cells) and grid center
// (the default handlers a grid calls for searching, moving records, sorting and filtering).
#pragma once

#include <functional>
#include <vector>

#include "controls/grid/DBGridEh.h"

namespace grid {

// Moves a colour halfway toward Glass and then toward light grey; Ungray darkens it again.
ui::TColor BlendTowardGlass(ui::TColor Color, ui::TColor Glass, bool Ungray);

// Which part of the grid a fixed cell lies in, for GetSelectedFixedCellColors.
enum TFixedCellAreaEh { fcaIndicator, fcaTitle, fcaFilter, fcaFooter, fcaOther };

class TDBGridEhStyle : public rtl::TPersistent {
    RTL_CLASS(TDBGridEhStyle, rtl::TPersistent)
public:
    TDBGridEhStyle();
    ~TDBGridEhStyle() override;

    void AddGrid(TCustomDBGridEh* Grid);
    void RemoveGrid(TCustomDBGridEh* Grid);
    bool HasGrid(TCustomDBGridEh* Grid) const;
    bool LightenSelection() const noexcept { return FLightenSelection; }
    void SetLightenSelection(bool Value) noexcept { FLightenSelection = Value; }
    bool DrawFocusFrame() const noexcept { return FDrawFocusFrame; }
    void SetDrawFocusFrame(bool Value) noexcept { FDrawFocusFrame = Value; }
    // NUMCOLORS of the screen: -1 above 256 colours.
    int ScreenNumColors() const noexcept { return FScreenNumColors; }
    void SetScreenNumColors(int Value) noexcept { FScreenNumColors = Value; }

    // Virtual operations, in slot order.
    virtual bool GetDataCellHighlight(TCustomDBGridEh* Grid, int ACol, int ARow, int DataCol, int DataRow,
                                      TGridDrawState& State, ui::TFont* Font, ui::TColor& Background);
    virtual bool GetSelectedFixedCellColors(TCustomDBGridEh* Grid, int ACol, int ARow, ui::TFont* Font,
                                            ui::TColor& Background, bool Selected, TFixedCellAreaEh Area);
    virtual void SystemColorsChanged();

private:
    bool ManyColors() const noexcept { return FScreenNumColors == -1; }
    std::vector<TCustomDBGridEh*> FGrids;
    bool FLightenSelection = true;
    bool FDrawFocusFrame = true;
    int FScreenNumColors = -1;
};

using TLocateTextHookEh = std::function<bool(TCustomDBGridEh* Grid, const WideString& FieldName, const AnsiString& Text,
                                             TLocateTextMatchTypeEh MatchType, TLocateTextDirectionEh Direction,
                                             TLocateTextOptionsEh Options)>;
using TGridHookEh = std::function<void(TCustomDBGridEh* Grid)>;

class TDBGridEhCenter : public rtl::TPersistent {
    RTL_CLASS(TDBGridEhCenter, rtl::TPersistent)
public:
    TDBGridEhCenter();
    ~TDBGridEhCenter() override;

    void AddGrid(TCustomDBGridEh* Grid);
    void RemoveGrid(TCustomDBGridEh* Grid);
    bool HasGrid(TCustomDBGridEh* Grid) const;
    bool FilterEditCloseUpApplyFilter() const noexcept { return FApplyFilterAtOnce; }
    void SetFilterEditCloseUpApplyFilter(bool Value) noexcept { FApplyFilterAtOnce = Value; }

    TLocateTextHookEh OnLocateText;
    TGridHookEh OnApplyFilter;
    TGridHookEh OnApplySorting;

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
    virtual void DefaultApplyFilter(TCustomDBGridEh* Grid);
    virtual void DefaultApplySorting(TCustomDBGridEh* Grid);

private:
    std::vector<TCustomDBGridEh*> FGrids;
    bool FApplyFilterAtOnce = false;
};

// The process-wide style and center (the grid unit's set-up installs them); null until then.
TDBGridEhStyle* CurrentGridStyle() noexcept;
TDBGridEhCenter* CurrentGridCenter() noexcept;
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
