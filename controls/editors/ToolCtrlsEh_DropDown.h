// The windows that drop down under an editor or a grid cell: the month calendar, the owner-drawn
// list box, the most-recently-used text list with its list box, and the size grip that resizes a
// drop-down from its free corner; and the contract between a drop-down and the control that
// opened it.
#pragma once

#include <functional>
#include <memory>

#include "framework/rtl/Classes.h"
#include "framework/ui/ComCtrls.h"
#include "framework/ui/Controls.h"
#include "framework/ui/ImgList.h"
#include "framework/ui/StdCtrls.h"

namespace editors {

using rtl::AnsiString;

// Through it a drop-down asks the control that opened it (its Owner) to close it.
class IDropDownHostEh {
public:
    virtual ~IDropDownHostEh() = default;
    virtual void CloseUp(bool Accept) = 0;
};

// The library's private messages (ui::WM_DROPDOWNPLACED and the two after it):
// 1124 to a drop-down from the placement: 2 (placed above the anchor) or 3 (below), then 0 (the
//      right edge is anchored) or 1 (the left edge is); list boxes pass it to their size grip.
// 1125 to a calendar or calculator drop-down: close without accepting.
// 1126 posted to an editor after its date or number drop-down closed, wParam the Tag of its main
//      button control; nothing in the library handles it.

// The host of a drop-down: its Owner when that offers the interface, else null.
IDropDownHostEh* DropDownHostOf(rtl::TComponent* DropDown);

// What a drop-down does with the control it is given as parent: it keeps to a top-level window
// placed in screen coordinates (so it may reach past the editor's and the form's edges) and only
// belongs to the parent's window.
void AttachDropDownToWindow(ui::TWinControl* DropDown, ui::TWinControl* AParent);

// ---------------------------------------------------------------------------------------------
// Size grip

// A small triangle in a corner of its parent; dragging it resizes the parent, kept inside the
// work area of the monitor the parent is on.
class TSizeGripEh : public ui::TCustomControl {
    RTL_CLASS(TSizeGripEh, ui::TCustomControl)
public:
    explicit TSizeGripEh(rtl::TComponent* Owner);

    // 0 top-left, 1 top-right, 2 bottom-right, 3 bottom-left of the parent's client area.
    int Corner() const noexcept { return FCorner; }
    void SetCorner(int Value);
    bool TriangleShape() const noexcept { return FTriangleShape; }
    void SetTriangleShape(bool Value);
    // The shape the window takes: the corner's triangle, or empty for the whole square.
    ui::TRegion WindowRegion() const;
    // Moves the grip into its corner of the parent.
    void UpdatePosition();
    // The reaction to a placement message: the grip goes to the side away from the anchor.
    void ChangePosition(int Side);
    void ShowGripWindow(bool Visible);

    // After a drag changed the parent's client size.
    rtl::TNotifyEvent OnParentResized;

protected:
    void CreateWnd() override;
    void Paint() override;
    void MouseDown(ui::TMouseButton Button, ui::TShiftState Shift, int X, int Y) override;
    void MouseMove(ui::TShiftState Shift, int X, int Y) override;
    void WMMove(ui::TWMMove& Message) override;
    void UpdateWindowRegion();

private:
    int FCorner = 2;
    bool FTriangleShape = true;
    bool FPositioning = false;
    ui::TPoint FPressPoint;
    int FPressWidth = 0, FPressHeight = 0, FPressClientWidth = 0, FPressClientHeight = 0;
    ui::TPoint FLastPoint;
};

// ---------------------------------------------------------------------------------------------
// Calendar drop-down

class TPopupMonthCalendarEh : public ui::TMonthCalendar {
    RTL_CLASS(TPopupMonthCalendarEh, ui::TMonthCalendar)
public:
    explicit TPopupMonthCalendarEh(rtl::TComponent* Owner);

    bool Ctl3D() const noexcept { return FCtl3D; }
    void SetCtl3D(bool Value);
    int BorderWidth() const noexcept { return FBorderWidth; }
    bool CanFocus() const override { return true; }
    void SetBounds(int ALeft, int ATop, int AWidth, int AHeight) override;
    // Stays a top-level window placed in screen coordinates, as the list does.
    void SetParent(ui::TWinControl* AParent) override;

protected:
    void CreateParams(ui::TCreateParams& Params) override;
    void CreateWnd() override;
    void WndProc(ui::TMessage& Message) override;
    void KeyDown(uint16_t& Key, ui::TShiftState Shift) override;
    bool DoMouseWheelDown(ui::TShiftState Shift, ui::TPoint MousePos) override;
    bool DoMouseWheelUp(ui::TShiftState Shift, ui::TPoint MousePos) override;
    virtual void DrawPopupBorder(ui::HDC DC);

private:
    // False when the owner offers no host.
    bool CloseUp(bool Accept);
    bool FCtl3D = true;
    int FBorderWidth = 2;
};

// ---------------------------------------------------------------------------------------------
// List drop-down

using TListGetImageIndexEventEh = std::function<void(rtl::TObject* Sender, int ItemIndex, int& ImageIndex)>;

// An owner-drawn list that never takes the focus: the editor keeps it and steers the list.
class TPopupListboxEh : public ui::TCustomListBox {
    RTL_CLASS(TPopupListboxEh, ui::TCustomListBox)
public:
    explicit TPopupListboxEh(rtl::TComponent* Owner);
    ~TPopupListboxEh() override;

    TSizeGripEh* SizeGrip() const noexcept { return FSizeGrip; }
    ui::TCustomImageList* Images() const noexcept { return FImages; }
    void SetImageList(ui::TCustomImageList* Value);
    // Shown without copying: the list keeps only the count and reads texts from the source.
    rtl::TStrings* ItemsSource() const noexcept { return FItemsSource; }
    void SetItemsSource(rtl::TStrings* Value);
    // Whole rows that fit the height last set through SetBounds.
    int RowCount() const noexcept { return FRowCount; }
    void SetRowCount(int Rows);
    // The height taken by the frame (non-client area).
    int FrameHeight();
    int FontTextHeight() const;
    bool Ctl3D() const noexcept { return FCtl3D; }
    void SetCtl3D(bool Value);
    int BorderWidth() const noexcept { return FBorderWidth; }
    // Set by every resize; the owning editor reads and clears it to remember a user-resized size.
    bool Resized() const noexcept { return FResized; }
    void SetResized(bool Value) noexcept { FResized = Value; }
    const AnsiString& SearchText() const noexcept { return FSearchText; }

    bool CanFocus() const override { return false; }
    void SetBounds(int ALeft, int ATop, int AWidth, int AHeight) override;
    // The list stays a top-level window: a control given as its parent becomes the window it
    // belongs to, so it may reach past that control's edges.
    void SetParent(ui::TWinControl* AParent) override;
    // The wheel moves the list one row per notch (also when an editor passes it on).
    bool DoMouseWheel(ui::TShiftState Shift, int WheelDelta, ui::TPoint MousePos) override;

    TListGetImageIndexEventEh OnGetImageIndex;

protected:
    void CreateParams(ui::TCreateParams& Params) override;
    void CreateWnd() override;
    void WndProc(ui::TMessage& Message) override;
    void KeyPress(char& Key) override;
    void DrawItem(int Index, ui::TRect Rect, ui::TOwnerDrawState State) override;
    void Notification(rtl::TComponent* AComponent, rtl::TOperation Operation) override;
    virtual void DrawPopupBorder(ui::HDC DC);
    // The item text in virtual mode.
    virtual void GetItemData(int Index, AnsiString& Data);

    TSizeGripEh* FSizeGrip = nullptr;

private:
    void SourceChanged(rtl::TObject* Sender);

    ui::TCustomImageList* FImages = nullptr;
    rtl::TStrings* FItemsSource = nullptr;
    AnsiString FSearchText;
    uint32_t FSearchTick = 0;
    ui::TPoint FLastMousePoint{-1, -1};
    int FRowCount = 0;
    bool FResized = false;
    bool FCtl3D = true;
    int FBorderWidth = 2;
};

// ---------------------------------------------------------------------------------------------
// Most-recently-used texts

using TFilterMRUItemEventEh = std::function<void(rtl::TObject* Sender, bool& Accept)>;
using TMRUCloseUpEventEh = std::function<void(rtl::TObject* Sender, bool Accept)>;
// Decides whether an item is shown for the typed text (an editor's own comparison).
using TMRUItemFilterEh = std::function<void(const AnsiString& Item, bool& Accept)>;

// The texts an editor remembers, oldest first.
class TMRUListEh : public rtl::TPersistent {
    RTL_CLASS(TMRUListEh, rtl::TPersistent)
public:
    explicit TMRUListEh(rtl::TPersistent* Owner = nullptr);
    ~TMRUListEh() override;

    bool Active() const noexcept { return FActive; }
    void SetActive(bool Value);
    bool AutoAdd() const noexcept { return FAutoAdd; }
    void SetAutoAdd(bool Value) noexcept { FAutoAdd = Value; }
    bool CaseSensitive() const noexcept { return FCaseSensitive; }
    void SetCaseSensitive(bool Value) noexcept { FCaseSensitive = Value; }
    rtl::TStrings* Items() const noexcept;
    void SetItems(rtl::TStrings* Value);
    int Limit() const noexcept { return FLimit; }
    // A negative limit counts as 0.
    void SetLimit(int Value);
    int Rows() const noexcept { return FRows; }
    void SetRows(int Value) noexcept { FRows = Value; }
    // Stop a filling when a key press waits in the queue.
    bool CancelIfKeyInQueue() const noexcept { return FCancelIfKeyInQueue; }
    void SetCancelIfKeyInQueue(bool Value) noexcept { FCancelIfKeyInQueue = Value; }
    // Kept for the editor: whether its list is open and the width the user gave it.
    bool DroppedDown() const noexcept { return FDroppedDown; }
    void SetDroppedDown(bool Value) noexcept { FDroppedDown = Value; }
    int Width() const noexcept { return FWidth; }
    void SetWidth(int Value) noexcept { FWidth = Value; }

    TPersistent* GetOwner() override { return FOwner; }
    void Assign(rtl::TPersistent* Source) override;

    // The requests to the owner.
    virtual void CloseList(bool Accept);
    virtual void OpenList();
    void AddItem(const AnsiString& Text);
    // Fills Strings with the items that begin with Text; false when a waiting key interrupted.
    bool FilterItems(rtl::TStrings* Strings, const AnsiString& Text);
    // The same with the owner's own comparison in place of the prefix test and OnFilterItem.
    bool FilterItems(rtl::TStrings* Strings, const AnsiString& Text, const TMRUItemFilterEh& Filter);
    void TrimToLimit();

    rtl::TNotifyEvent OnActiveChanged;
    TFilterMRUItemEventEh OnFilterItem;
    rtl::TNotifyEvent OnDropDown;
    TMRUCloseUpEventEh OnCloseUp;

private:
    bool SameItem(const AnsiString& A, const AnsiString& B) const;
    bool KeyWaiting() const;
    bool FillFiltered(rtl::TStrings* Strings, const AnsiString& Text, const TMRUItemFilterEh& Filter);

    rtl::TPersistent* FOwner = nullptr;
    std::unique_ptr<rtl::TStringList> FItems;
    bool FActive = false;
    bool FAutoAdd = true;
    bool FCaseSensitive = false;
    bool FCancelIfKeyInQueue = true;
    bool FDroppedDown = false;
    int FLimit = 100;
    int FRows = 7;
    int FWidth = 0;
};

// The MRU list's drop-down: its own scroll bar beside the size grip.
class TMRUListboxEh : public TPopupListboxEh {
    RTL_CLASS(TMRUListboxEh, TPopupListboxEh)
public:
    explicit TMRUListboxEh(rtl::TComponent* Owner);
    ~TMRUListboxEh() override;

    ui::TScrollBar* ScrollBar() const noexcept { return FScrollBar; }
    void UpdateScrollBar();
    void PlaceScrollBar();

protected:
    void CreateParams(ui::TCreateParams& Params) override;
    void CreateWnd() override;
    void WndProc(ui::TMessage& Message) override;
    void ScrollBarWndProc(ui::TMessage& Message);

private:
    ui::TScrollBar* FScrollBar = nullptr;
    std::function<void(ui::TMessage&)> FScrollBarDefProc;
    bool FPositioning = false;
};

}  // namespace editors
