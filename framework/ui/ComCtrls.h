// Common controls: the month calendar, page and tab controls and the status bar.
#pragma once

#include <functional>
#include <memory>
#include <vector>

#include "framework/rtl/Classes.h"
#include "framework/rtl/Types.h"
#include "framework/ui/Controls.h"
#include "framework/ui/StdCtrls.h"

namespace ui {

// ---------------------------------------------------------------------------------------------
// Month calendar

enum : UINT {
    MCM_FIRST = 0x1000,
    MCM_GETCURSEL = MCM_FIRST + 1,
    MCM_SETCURSEL = MCM_FIRST + 2,
    MCM_GETMINREQRECT = MCM_FIRST + 9,
    MCM_GETTODAY = MCM_FIRST + 13,
    MCM_HITTEST = MCM_FIRST + 14,
    MCM_GETRANGE = MCM_FIRST + 17,
    MCM_SETRANGE = MCM_FIRST + 18,
};

// Hit-test codes: the area bits and the part within it.
enum : UINT {
    MCHT_NOWHERE = 0x00000000,
    MCHT_TITLE = 0x00010000,
    MCHT_CALENDAR = 0x00020000,
    MCHT_TODAYLINK = 0x00030000,
    MCHT_NEXT = 0x01000000,
    MCHT_PREV = 0x02000000,
    MCHT_TITLEBK = MCHT_TITLE,
    MCHT_TITLEMONTH = MCHT_TITLE | 0x0001,
    MCHT_TITLEYEAR = MCHT_TITLE | 0x0002,
    MCHT_TITLEBTNNEXT = MCHT_TITLE | MCHT_NEXT | 0x0003,
    MCHT_TITLEBTNPREV = MCHT_TITLE | MCHT_PREV | 0x0003,
    MCHT_CALENDARBK = MCHT_CALENDAR,
    MCHT_CALENDARDATE = MCHT_CALENDAR | 0x0001,
    MCHT_CALENDARDATENEXT = MCHT_CALENDARDATE | MCHT_NEXT,
    MCHT_CALENDARDATEPREV = MCHT_CALENDARDATE | MCHT_PREV,
    MCHT_CALENDARDAY = MCHT_CALENDAR | 0x0002,
    MCHT_CALENDARWEEKNUM = MCHT_CALENDAR | 0x0003,
};

struct TSystemTime {
    uint16_t wYear = 0, wMonth = 0, wDayOfWeek = 0, wDay = 0, wHour = 0, wMinute = 0, wSecond = 0, wMilliseconds = 0;
};
TSystemTime DateTimeToSystemTime(rtl::TDateTime Value);
rtl::TDateTime SystemTimeToDateTime(const TSystemTime& Value);

// MCM_HITTEST: pt in, uHit and the date under the point out.
struct TMCHitTestInfo {
    UINT cbSize = sizeof(TMCHitTestInfo);
    TPoint pt;
    UINT uHit = 0;
    TSystemTime st;
};

// One month, weeks from Monday, six week rows, a today line under them.
class TMonthCalendar : public TWinControl {
    RTL_CLASS(TMonthCalendar, TWinControl)
public:
    explicit TMonthCalendar(TComponent* Owner);

    rtl::TDateTime Date() const noexcept { return FDate; }
    void SetDate(rtl::TDateTime Value);
    // 0: no limit.
    rtl::TDateTime MinDate() const noexcept { return FMinDate; }
    void SetMinDate(rtl::TDateTime Value);
    rtl::TDateTime MaxDate() const noexcept { return FMaxDate; }
    void SetMaxDate(rtl::TDateTime Value);
    // The month shown (its first day).
    rtl::TDateTime VisibleMonth() const noexcept { return FMonth; }
    bool AutoSize() const noexcept { return FAutoSize; }
    void SetAutoSize(bool Value);

    // The smallest rectangle that shows a whole month.
    TRect MinReqRect() const;
    UINT HitTest(TPoint P, rtl::TDateTime* DateOut = nullptr) const;
    // Cell of a date of the shown grid; empty when not shown.
    TRect DateRect(rtl::TDateTime Value) const;

    // The user picked a date (keys, a click or the today line).
    TNotifyEvent OnChange;

protected:
    void CreateWnd() override;
    void DefaultHandler(TMessage& Message) override;
    void PaintWindow(HDC DC) override;
    // A date chosen by the user: clamped, shown, reported.
    void UserDate(rtl::TDateTime Value);
    rtl::TDateTime FirstShown() const;
    int CellWidth() const;
    int CellHeight() const;
    int TitleHeight() const { return CellHeight() + 4; }

    rtl::TDateTime FDate = 0;
    rtl::TDateTime FMonth = 0;
    rtl::TDateTime FMinDate = 0;
    rtl::TDateTime FMaxDate = 0;
    bool FAutoSize = false;
};


// ---------------------------------------------------------------------------------------------
// Tab and page controls

using TTabChangingEvent = std::function<void(TObject* Sender, bool& AllowChange)>;

// A strip of tabs along the top; the area under it is the display rectangle.
class TCustomTabControl : public TCustomControl {
    RTL_CLASS(TCustomTabControl, TCustomControl)
public:
    explicit TCustomTabControl(TComponent* Owner);
    ~TCustomTabControl() override;
    int TabHeight() const;
    // Tab I's rectangle on the strip (client coordinates).
    TRect TabRect(int Index) const;
    int IndexOfTabAt(int X, int Y) const;
    TRect DisplayRect() const;
    TTabChangingEvent OnChanging;
    TNotifyEvent OnChange;

protected:
    virtual int TabCount() const = 0;
    virtual AnsiString TabCaption(int Index) const = 0;
    virtual int CurrentTab() const = 0;
    // The user picked a tab: OnChanging may refuse; then the switch and OnChange.
    virtual void TabPicked(int Index) = 0;
    bool CanChange();
    void Paint() override;
    void AlignControls(TControl* AControl, TRect& Rect) override;
    void DefaultHandler(TMessage& Message) override;
    void CMDialogKey(TCMDialogKey& Message) override;
};

class TTabControl : public TCustomTabControl {
    RTL_CLASS(TTabControl, TCustomTabControl)
public:
    explicit TTabControl(TComponent* Owner);
    ~TTabControl() override;
    rtl::TStrings* Tabs() const noexcept;
    int TabIndex() const noexcept { return FTabIndex; }
    // Set by code: no events.
    void SetTabIndex(int Value);

protected:
    int TabCount() const override;
    AnsiString TabCaption(int Index) const override;
    int CurrentTab() const override { return FTabIndex; }
    void TabPicked(int Index) override;

private:
    std::unique_ptr<rtl::TStringList> FTabs;
    int FTabIndex = -1;
};

class TPageControl;

class TTabSheet : public TWinControl {
    RTL_CLASS(TTabSheet, TWinControl)
public:
    explicit TTabSheet(TComponent* Owner);
    ~TTabSheet() override;
    TPageControl* PageControl() const noexcept { return FPageControl; }
    void SetPageControl(TPageControl* Value);
    // Position among the control's pages.
    int PageIndex() const;
    bool TabVisible() const noexcept { return FTabVisible; }
    void SetTabVisible(bool Value);
    int ImageIndex() const noexcept { return FImageIndex; }
    void SetImageIndex(int Value) noexcept { FImageIndex = Value; }
    // The sheet comes into view (it became the active page of a shown control) or leaves it.
    TNotifyEvent OnShow;
    TNotifyEvent OnHide;

protected:
    void CMTextChanged(TMessage& Message) override;
    void CMShowingChanged(TMessage& Message) override;
    void UpdateShowing() override;
    virtual void DoShow();
    virtual void DoHide();

private:
    friend class TPageControl;
    bool FWasShowing = false;
    TPageControl* FPageControl = nullptr;
    bool FTabVisible = true;
    int FImageIndex = -1;
};

class TPageControl : public TCustomTabControl {
    RTL_CLASS(TPageControl, TCustomTabControl)
public:
    explicit TPageControl(TComponent* Owner);
    ~TPageControl() override;
    int PageCount() const noexcept { return static_cast<int>(FPages.size()); }
    TTabSheet* Pages(int Index) const;
    TTabSheet* ActivePage() const noexcept { return FActivePage; }
    // Shows the page and hides the others; the focus inside the old page moves to the new one.
    // Set by code no events fire.
    void SetActivePage(TTabSheet* Page);
    int ActivePageIndex() const noexcept { return FActivePage ? FActivePage->PageIndex() : -1; }
    void SetActivePageIndex(int Value);
    // The next (or previous) page with a visible tab, wrapping; null when none.
    TTabSheet* FindNextPage(TTabSheet* CurPage, bool GoForward, bool CheckTabVisible) const;
    void SelectNextPage(bool GoForward);

protected:
    int TabCount() const override;
    AnsiString TabCaption(int Index) const override;
    int CurrentTab() const override;
    void TabPicked(int Index) override;

private:
    friend class TTabSheet;
    void InsertPage(TTabSheet* Page);
    void RemovePage(TTabSheet* Page);
    std::vector<TTabSheet*> VisibleTabs() const;
    std::vector<TTabSheet*> FPages;
    TTabSheet* FActivePage = nullptr;
};

// ---------------------------------------------------------------------------------------------
// Status bar

class TStatusBar;
enum class TStatusPanelBevel { pbNone, pbLowered, pbRaised };
enum class TStatusPanelStyle { psText, psOwnerDraw };

class TStatusPanel {
public:
    explicit TStatusPanel(TStatusBar* Bar) : FBar(Bar) {}
    const AnsiString& Text() const noexcept { return FText; }
    void SetText(const AnsiString& Value);
    int Width() const noexcept { return FWidth; }
    void SetWidth(int Value);
    TAlignment Alignment() const noexcept { return FAlignment; }
    void SetAlignment(TAlignment Value);
    TStatusPanelBevel Bevel() const noexcept { return FBevel; }
    void SetBevel(TStatusPanelBevel Value);
    TStatusPanelStyle Style() const noexcept { return FStyle; }
    void SetStyle(TStatusPanelStyle Value);
    int Index() const;

private:
    TStatusBar* FBar;
    AnsiString FText;
    int FWidth = 50;
    TAlignment FAlignment = taLeftJustify;
    TStatusPanelBevel FBevel = TStatusPanelBevel::pbLowered;
    TStatusPanelStyle FStyle = TStatusPanelStyle::psText;
};

class TStatusPanels {
public:
    explicit TStatusPanels(TStatusBar* Bar) : FBar(Bar) {}
    TStatusPanel* Add();
    int Count() const noexcept { return static_cast<int>(FItems.size()); }
    TStatusPanel* Items(int Index) const;
    TStatusPanel* operator[](int Index) const { return Items(Index); }
    void Delete(int Index);
    void Clear();
    int IndexOf(const TStatusPanel* Panel) const;

private:
    TStatusBar* FBar;
    std::vector<std::unique_ptr<TStatusPanel>> FItems;
};

using TDrawPanelEvent = std::function<void(TStatusBar* StatusBar, TStatusPanel* Panel, const TRect& Rect)>;

class TStatusBar : public TCustomControl {
    RTL_CLASS(TStatusBar, TCustomControl)
public:
    explicit TStatusBar(TComponent* Owner);
    ~TStatusBar() override;
    TStatusPanels* Panels() const noexcept { return FPanels.get(); }
    bool SimplePanel() const noexcept { return FSimplePanel; }
    void SetSimplePanel(bool Value);
    const AnsiString& SimpleText() const noexcept { return FSimpleText; }
    void SetSimpleText(const AnsiString& Value);
    // Panel I's rectangle; the last panel takes the rest of the width.
    TRect PanelRect(int Index) const;
    TDrawPanelEvent OnDrawPanel;

protected:
    void Paint() override;

private:
    std::unique_ptr<TStatusPanels> FPanels;
    bool FSimplePanel = false;
    AnsiString FSimpleText;
};


// ---------------------------------------------------------------------------------------------
// Tree view

class TTreeView;
class TTreeNodes;

class TTreeNode {
public:
    TTreeNode(TTreeNodes* Owner, TTreeNode* Parent, const AnsiString& Text, void* Data);
    ~TTreeNode();
    TTreeNode(const TTreeNode&) = delete;
    TTreeNode& operator=(const TTreeNode&) = delete;

    const AnsiString& Text() const noexcept { return FText; }
    void SetText(const AnsiString& Value);
    void* Data() const noexcept { return FData; }
    void SetData(void* Value) noexcept { FData = Value; }
    TTreeNode* Parent() const noexcept { return FParent; }
    int Level() const noexcept;
    int Count() const noexcept { return static_cast<int>(FChildren.size()); }
    TTreeNode* Item(int Index) const;
    TTreeNode* GetFirstChild() const noexcept { return FChildren.empty() ? nullptr : FChildren.front().get(); }
    int Index() const;
    // Shown with an expand button even before its children are loaded.
    bool HasChildren() const noexcept { return FHasChildren || !FChildren.empty(); }
    void SetHasChildren(bool Value);
    bool Expanded() const noexcept { return FExpanded; }
    // OnExpanding (or OnCollapsing) may refuse.
    void Expand(bool Recurse = false);
    void Collapse(bool Recurse = false);
    void SetExpanded(bool Value) { Value ? Expand() : Collapse(); }
    bool Selected() const noexcept;
    void SetSelected(bool Value);
    void DeleteChildren();
    void Delete();
    // Shown: every parent is expanded.
    bool IsVisible() const noexcept;
    int ImageIndex = -1;
    int SelectedIndex = -1;

private:
    friend class TTreeNodes;
    friend class TTreeView;
    TTreeNodes* FOwner;
    TTreeNode* FParent;
    AnsiString FText;
    void* FData;
    bool FHasChildren = false;
    bool FExpanded = false;
    std::vector<std::unique_ptr<TTreeNode>> FChildren;
};

class TTreeNodes {
public:
    explicit TTreeNodes(TTreeView* Owner) : FOwner(Owner) {}
    ~TTreeNodes();
    TTreeView* Owner() const noexcept { return FOwner; }
    // Nodes in display order (every node, expanded or not).
    int Count() const;
    TTreeNode* Item(int Index) const;
    TTreeNode* GetFirstNode() const noexcept { return FRoots.empty() ? nullptr : FRoots.front().get(); }
    // Parent null: a root node.
    TTreeNode* AddChild(TTreeNode* Parent, const AnsiString& Text) { return AddChildObject(Parent, Text, nullptr); }
    TTreeNode* AddChildObject(TTreeNode* Parent, const AnsiString& Text, void* Data);
    TTreeNode* Add(TTreeNode* Sibling, const AnsiString& Text) {
        return AddChildObject(Sibling ? Sibling->Parent() : nullptr, Text, nullptr);
    }
    void Delete(TTreeNode* Node);
    void Clear();
    void BeginUpdate() noexcept { ++FUpdate; }
    void EndUpdate();

private:
    friend class TTreeNode;
    friend class TTreeView;
    TTreeView* FOwner;
    std::vector<std::unique_ptr<TTreeNode>> FRoots;
    int FUpdate = 0;
};

using TTVExpandingEvent = std::function<void(TObject* Sender, TTreeNode* Node, bool& AllowExpansion)>;
using TTVCollapsingEvent = std::function<void(TObject* Sender, TTreeNode* Node, bool& AllowCollapse)>;
using TTVChangedEvent = std::function<void(TObject* Sender, TTreeNode* Node)>;

class TTreeView : public TCustomControl {
    RTL_CLASS(TTreeView, TCustomControl)
public:
    explicit TTreeView(TComponent* Owner);
    ~TTreeView() override;
    TTreeNodes* Items() const noexcept { return FItems.get(); }
    TTreeNode* Selected() const noexcept { return FSelected; }
    void SetSelected(TTreeNode* Node);
    bool ReadOnly() const noexcept { return FReadOnly; }
    void SetReadOnly(bool Value) noexcept { FReadOnly = Value; }
    int Indent() const noexcept { return FIndent; }
    void SetIndent(int Value);
    int ItemHeight() const;
    int TopItem() const noexcept { return FTopRow; }
    // The expanded (shown) nodes, top to bottom.
    std::vector<TTreeNode*> VisibleNodes() const;
    TTreeNode* GetNodeAt(int X, int Y) const;
    // The row rectangle of a shown node; empty otherwise.
    TRect NodeRect(const TTreeNode* Node) const;

    TTVExpandingEvent OnExpanding;
    TTVCollapsingEvent OnCollapsing;
    TTVChangedEvent OnExpanded;
    TTVChangedEvent OnChange;

protected:
    void Paint() override;
    void DefaultHandler(TMessage& Message) override;
    void DblClick() override;

private:
    friend class TTreeNode;
    friend class TTreeNodes;
    void NodeGoing(TTreeNode* Node);
    void MakeVisible(TTreeNode* Node);
    std::unique_ptr<TTreeNodes> FItems;
    TTreeNode* FSelected = nullptr;
    bool FReadOnly = false;
    int FIndent = 19;
    int FTopRow = 0;
};

}  // namespace ui
