#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "controls/editors/ToolCtrlsEh_Draw.h"
#include "controls/editors/ToolCtrlsEh_DropDown.h"
#include "framework/rtl/DateUtils.h"
#include "framework/rtl/SysUtils.h"
#include "tests/support/ui_fixture.h"

namespace {

using namespace ui;
using editors::IDropDownHostEh;
using editors::TPopupListboxEh;
using editors::TPopupMonthCalendarEh;
using editors::TSizeGripEh;

// An editor stand-in that opened a drop-down: records its CloseUp calls, and closes its drop-down
// on a cancel mode sent by any other control, as the editors do.
class THostEdit : public TCustomControl, public IDropDownHostEh {
    RTL_CLASS(THostEdit, TCustomControl)
public:
    explicit THostEdit(rtl::TComponent* Owner) : TCustomControl(Owner) {
        SetTabStop(true);
        SetBounds(20, 20, 120, 22);
    }
    void CloseUp(bool Accept) override {
        Closes.push_back(Accept);
        if (DropDown) DropDown->Hide();
    }
    std::vector<bool> Closes;
    std::vector<std::string> CancelSenders;
    TWinControl* DropDown = nullptr;

protected:
    void CMCancelMode(TCMCancelMode& M) override {
        CancelSenders.push_back(M.Sender() ? M.Sender()->Name() : "-");
        if (M.Sender() != this && DropDown && DropDown->Visible()) CloseUp(false);
    }
};

class DropDownTest : public uitest::UiTest {
protected:
    void SetUp() override {
        uitest::UiTest::SetUp();
        Host = rtl::Create<THostEdit>(Form);
        Host->SetName("Host");
        Host->SetParent(Form);
    }
    void TearDown() override {
        Screen()->SetMonitors({TMonitor{Rect(0, 0, 1280, 1024), Rect(0, 0, 1280, 984), true}});
        uitest::UiTest::TearDown();
    }
    void Click(TPoint ScreenPos) {
        ResetDoubleClick();
        MouseInput(WM_LBUTTONDOWN, ScreenPos);
        MouseInput(WM_LBUTTONUP, ScreenPos);
        Pump();
    }
    // A list drop-down of the host with N items "item0".., rows of 16 pixels.
    TPopupListboxEh* MakeList(int N, int Rows = 5) {
        auto* list = rtl::Create<TPopupListboxEh>(Host);
        list->SetItemHeight(16);
        for (int i = 0; i < N; ++i) list->Items()->Add("item" + std::to_string(i));
        list->SetBounds(0, 0, 120, Rows * 16 + list->FrameHeight());
        Host->DropDown = list;
        return list;
    }
    // Places the drop-down under the host and shows it without activation, as an editor does.
    void Open(TWinControl* Drop, editors::TDropDownAlign Align = editors::daLeft) {
        const TPoint p = editors::PlaceDropDownUnderControl(Host, Drop, Align);
        Drop->SetBounds(p.X, p.Y, Drop->Width(), Drop->Height());
        Drop->Show();
        Drop->ShowWindow(SW_SHOWNA);
    }
    THostEdit* Host = nullptr;
};

// ---------------------------------------------------------------------------------------------
// List drop-down

TEST_F(DropDownTest, TheListShowsWholeRowsAndNeverTakesTheFocus) {
    TPopupListboxEh* list = MakeList(10);
    const int frame = list->FrameHeight();
    EXPECT_EQ(frame, 4);  // the raised two-pixel frame on both sides
    struct {
        int Requested, Rows;
    } cases[] = {{frame + 5 * 16, 5}, {frame + 5 * 16 + 15, 5}, {frame + 16 + 1, 1}, {frame + 3, 1}, {0, 1}, {-40, 1}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Requested);
        list->SetBounds(0, 0, 100, c.Requested);
        EXPECT_EQ(list->RowCount(), c.Rows);
        EXPECT_EQ(list->Height(), frame + c.Rows * 16);
    }
    list->SetRowCount(3);
    EXPECT_EQ(list->Height(), frame + 48);
    list->SetRowCount(0);
    EXPECT_EQ(list->Height(), frame + 16);

    // Given the editor as parent it stays a top-level window that belongs to the editor's.
    Form->Show();
    list->SetParent(Host);
    list->HandleNeeded();
    EXPECT_EQ(list->Height() - list->ClientHeight(), frame);
    EXPECT_EQ(list->Parent(), nullptr);
    EXPECT_EQ(list->ParentWindow(), Host->Handle());
    EXPECT_EQ(list->TopLevelWindow(), list);
    EXPECT_NE(list->WindowStyle() & WS_POPUP, 0u);
    EXPECT_EQ(list->WindowExStyle() & WS_EX_CLIENTEDGE, 0u);
    EXPECT_NE(list->WindowExStyle() & WS_EX_TOPMOST, 0u);
    EXPECT_FALSE(list->CanFocus());
    EXPECT_FALSE(list->TabStop());
    // A window is never made smaller than a scroll-bar square.
    list->SetWindowPos(0, 0, 5, 5, SWP_NOZORDER | SWP_NOACTIVATE);
    EXPECT_EQ(list->Width(), GetSystemMetrics(SM_CXVSCROLL));
    EXPECT_EQ(list->Height(), GetSystemMetrics(SM_CYVSCROLL));
}

TEST_F(DropDownTest, TheGripSitsInTheFreeCornerAfterEachPlacement) {
    // Side messages 2 (above) / 3 (below), then 0 (right edge anchored) / 1 (left edge).
    struct {
        WPARAM Vertical, Horizontal;
        int Corner;
    } cases[] = {{2, 0, 0}, {2, 1, 1}, {3, 0, 3}, {3, 1, 2}};
    TPopupListboxEh* list = MakeList(3);
    list->HandleNeeded();
    TSizeGripEh* grip = list->SizeGrip();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Corner);
        for (const auto& back : cases) {  // from every corner
            list->Perform(WM_DROPDOWNPLACED, back.Vertical, 0);
            list->Perform(WM_DROPDOWNPLACED, back.Horizontal, 0);
            list->Perform(WM_DROPDOWNPLACED, c.Vertical, 0);
            list->Perform(WM_DROPDOWNPLACED, c.Horizontal, 0);
            EXPECT_EQ(grip->Corner(), c.Corner);
        }
        const int right = list->ClientWidth() - grip->Width(), bottom = list->ClientHeight() - grip->Height();
        const TPoint expected[4] = {{0, 0}, {right, 0}, {right, bottom}, {0, bottom}};
        EXPECT_EQ(grip->Left(), expected[c.Corner].X);
        EXPECT_EQ(grip->Top(), expected[c.Corner].Y);
        EXPECT_EQ(grip->Cursor(), c.Corner % 2 == 0 ? crSizeNWSE : crSizeNESW);
    }
    // A resize keeps the grip in its corner and is noted for the editor.
    list->SetResized(false);
    list->SetBounds(0, 0, 200, 200);
    EXPECT_TRUE(list->Resized());
    ASSERT_EQ(grip->Corner(), 2);
    EXPECT_EQ(grip->Left(), list->ClientWidth() - grip->Width());
    EXPECT_EQ(grip->Top(), list->ClientHeight() - grip->Height());
    // A move the grip did not make puts it back.
    grip->SetBounds(30, 30, grip->Width(), grip->Height());
    EXPECT_EQ(grip->Left(), list->ClientWidth() - grip->Width());
    EXPECT_EQ(grip->Top(), list->ClientHeight() - grip->Height());
}

TEST_F(DropDownTest, ThePlacementOnASecondMonitorShowsTheListWhereTheEditorIs) {
    // The second monitor lies left of the primary one, its task bar at the top.
    Screen()->SetMonitors({TMonitor{Rect(0, 0, 1280, 1024), Rect(0, 0, 1280, 984), true},
                           TMonitor{Rect(-1024, 0, 0, 768), Rect(-1024, 40, 0, 768), false}});
    Form->SetBounds(-400, 600, 380, 160);  // near the bottom of the second monitor
    Form->Show();
    TPopupListboxEh* list = MakeList(20, 8);
    Open(list, editors::daRight);
    const TPoint hostOnScreen = Host->ClientToScreen({0, 0});
    // No room below within 768: above the editor, right edges aligned, grip top-left.
    EXPECT_EQ(list->Left() + list->Width(), hostOnScreen.X + Host->Width());
    EXPECT_EQ(list->Top() + list->Height(), hostOnScreen.Y);
    EXPECT_EQ(list->SizeGrip()->Corner(), 0);
    EXPECT_EQ(WindowFromPoint({list->Left() + 40, list->Top() + 40}), list->Handle());

    // Near the second monitor's left edge a left-aligned list stays inside it.
    Form->SetBounds(-1020, 300, 380, 160);
    Host->SetBounds(0, 20, 60, 22);
    list->Hide();
    Open(list, editors::daCenter);
    EXPECT_EQ(list->Left(), -1024);
    EXPECT_EQ(list->Top(), Host->ClientToScreen({0, 0}).Y + Host->Height());
    EXPECT_EQ(list->SizeGrip()->Corner(), 2);
}

TEST_F(DropDownTest, TheMouseTracksItemsAndClicksOutsideCancelTheDropDown) {
    auto* other = AddLog(Form, "Other", 200, 20);
    Form->Show();
    Host->SetFocus();
    TPopupListboxEh* list = MakeList(10);
    Open(list);
    ASSERT_TRUE(list->IsWindowVisible());

    // Moving over the items selects them; a press keeps the focus in the editor and sends no
    // cancel mode (the list is no part of the form).
    MouseInput(WM_MOUSEMOVE, At(list, 10, 16 * 2 + 3));
    Pump();
    EXPECT_EQ(list->ItemIndex(), 2);
    list->SetItemIndex(4);                               // the editor moved the selection with a key
    MouseInput(WM_MOUSEMOVE, At(list, 10, 16 * 2 + 3));  // same point: no change
    Pump();
    EXPECT_EQ(list->ItemIndex(), 4);
    Click(At(list, 10, 16 * 3 + 3));
    EXPECT_EQ(list->ItemIndex(), 3);
    EXPECT_TRUE(Host->Focused());
    EXPECT_TRUE(Host->CancelSenders.empty());
    EXPECT_TRUE(list->Visible());

    // A click on another control of the form tells the editor, naming the control.
    Click(At(other, 5, 5));
    EXPECT_EQ(Host->CancelSenders, std::vector<std::string>{"Other"});
    EXPECT_EQ(Host->Closes, std::vector<bool>{false});
    EXPECT_FALSE(list->Visible());
}

TEST_F(DropDownTest, TypingSearchesFromTheFirstItemAndRestartsAfterAPause) {
    TPopupListboxEh* list = MakeList(0);
    for (const char* s : {"delta", "alpha", "abc", "abd", "beta", "b"}) list->Items()->Add(s);
    list->HandleNeeded();
    auto type = [&](char c) { list->Perform(WM_CHAR, static_cast<uint8_t>(c), 0); };
    type('a');
    EXPECT_EQ(list->ItemIndex(), 1);
    Clock.Advance(1500);
    type('b');  // within two seconds: "ab"
    EXPECT_EQ(list->ItemIndex(), 2);
    EXPECT_EQ(list->SearchText(), "ab");
    Clock.Advance(2001);
    type('b');  // after the pause: "b"
    EXPECT_EQ(list->ItemIndex(), 4);
    EXPECT_EQ(list->SearchText(), "b");
    type('\b');
    EXPECT_EQ(list->SearchText(), "");
    type('d');
    EXPECT_EQ(list->ItemIndex(), 0);
    // The text stops growing at 32 characters.
    for (int i = 0; i < 40; ++i) type('d');
    EXPECT_EQ(list->SearchText().size(), 32u);
    type('\x1B');
    EXPECT_EQ(list->SearchText(), "");
}

TEST_F(DropDownTest, VirtualModeShowsAHundredThousandItemsWithoutCopyingThem) {
    rtl::TStringList source;
    for (int i = 0; i < 100000; ++i) source.Add(i % 1000 == 0 ? "mark" + std::to_string(i) : "row" + std::to_string(i));
    TPopupListboxEh* list = MakeList(0, 10);
    list->SetItemsSource(&source);
    EXPECT_EQ(list->Style(), lbVirtualOwnerDraw);
    EXPECT_EQ(list->Count(), 100000);
    EXPECT_EQ(list->Items()->Count(), 0);
    EXPECT_EQ(list->ItemText(99999), "row99999");

    // The search starts at the head even far beyond index 65535.
    list->SetItemIndex(70001);
    list->Perform(WM_CHAR, 'm', 0);
    EXPECT_EQ(list->ItemIndex(), 0);
    list->SetItemIndex(99998);
    EXPECT_EQ(list->TopIndex(), 99998 - 9);
    // The wheel an editor passes on moves one row per notch.
    EXPECT_EQ(list->Perform(CM_MOUSEWHEEL, MakeWParam(0, static_cast<uint16_t>(3 * WHEEL_DELTA)), 0), 1);
    EXPECT_EQ(list->TopIndex(), 99998 - 12);
    list->Perform(CM_MOUSEWHEEL, MakeWParam(0, static_cast<uint16_t>(-3 * WHEEL_DELTA)), 0);
    EXPECT_EQ(list->TopIndex(), 99998 - 9);

    // Painting reads only the visible rows from the source.
    Open(list);
    auto* surface = dynamic_cast<TRecordingSurface*>(list->Surface());
    ASSERT_NE(surface, nullptr);
    surface->Clear();
    list->Repaint();
    const std::vector<std::string> expected = {"row99989", "row99990", "row99991", "row99992", "row99993",
                                               "row99994", "row99995", "row99996", "row99997", "row99998"};
    EXPECT_EQ(surface->Texts(), expected);

    list->SetItemsSource(nullptr);
    EXPECT_EQ(list->Style(), lbOwnerDrawFixed);
    EXPECT_EQ(list->Count(), 0);
}

TEST_F(DropDownTest, ImagesGoBeforeTheTextsAsTheOwnerChooses) {
    TPopupListboxEh* list = MakeList(3);
    auto* images = TCustomImageList::CreateSize(16, 16, Form);
    list->SetImageList(images);
    std::vector<std::pair<rtl::TObject*, int>> asked;
    list->OnGetImageIndex = [&](rtl::TObject* Sender, int Item, int& ImageIndex) {
        asked.emplace_back(Sender, Item);
        EXPECT_EQ(ImageIndex, Item);
        ImageIndex = 0;
    };
    list->SetItemIndex(1);
    Open(list);
    auto* surface = dynamic_cast<TRecordingSurface*>(list->Surface());
    ASSERT_NE(surface, nullptr);
    surface->Clear();
    asked.clear();
    list->Repaint();
    EXPECT_EQ(asked, (std::vector<std::pair<rtl::TObject*, int>>{{Host, 0}, {Host, 1}, {Host, 2}}));
    const TPoint org = list->ClientRectInWindow().TopLeft();
    int texts = 0;
    for (const TDrawRecord& r : surface->Records()) {
        if (r.Op == TDrawOp::Text) {
            ++texts;
            EXPECT_EQ(r.Rect.Left - org.X, 16 + 5) << r.Text;
        }
        // The focus frame of the selected row leaves the image area out.
        if (r.Op == TDrawOp::FocusRect) {
            EXPECT_EQ(r.Rect, Rect(org.X + 20, org.Y + 16, org.X + list->ClientWidth(), org.Y + 32));
        }
    }
    EXPECT_EQ(texts, 3);
    // The image list going away leaves a plain list.
    images->Free();
    EXPECT_EQ(list->Images(), nullptr);
    list->Repaint();
}

// ---------------------------------------------------------------------------------------------
// Size grip

TEST_F(DropDownTest, TheGripIsATriangleInItsCorner) {
    TPopupListboxEh* list = MakeList(3);
    list->HandleNeeded();
    TSizeGripEh* grip = list->SizeGrip();
    const int w = grip->Width(), h = grip->Height();
    ASSERT_EQ(w, 17);
    // Per corner: a point near the corner (inside) and the opposite one (outside).
    struct {
        WPARAM Vertical, Horizontal;
        TPoint In, Out;
    } cases[] = {{2, 0, {1, 1}, {w - 2, h - 2}},
                 {2, 1, {w - 2, 1}, {1, h - 2}},
                 {3, 1, {w - 2, h - 2}, {1, 1}},
                 {3, 0, {1, h - 2}, {w - 2, 1}}};
    for (const auto& c : cases) {
        list->Perform(WM_DROPDOWNPLACED, c.Vertical, 0);
        list->Perform(WM_DROPDOWNPLACED, c.Horizontal, 0);
        SCOPED_TRACE(grip->Corner());
        ASSERT_NE(grip->WindowRgn(), nullptr);
        EXPECT_TRUE(grip->WindowRgn()->Contains(c.In));
        EXPECT_FALSE(grip->WindowRgn()->Contains(c.Out));
    }
    grip->SetTriangleShape(false);
    EXPECT_EQ(grip->WindowRgn(), nullptr);

    // Painted as groups of four lines parallel to the triangle's long side (bottom-left corner:
    // top-left to bottom-right): light, two shadows, face.
    grip->SetTriangleShape(true);
    ASSERT_EQ(grip->Corner(), 3);
    list->ShowWindow(SW_SHOWNA);
    auto* surface = dynamic_cast<TRecordingSurface*>(list->Surface());
    ASSERT_NE(surface, nullptr);
    surface->Clear();
    list->Repaint();
    std::vector<TColor> colors;
    for (const TDrawRecord& r : surface->Records()) {
        if (r.Op != TDrawOp::PolyPolyline) continue;
        ASSERT_EQ(r.Points.size(), 2u);
        EXPECT_EQ(r.Points[1].X - r.Points[0].X, r.Points[1].Y - r.Points[0].Y);
        colors.push_back(r.Pen.Color);
    }
    ASSERT_EQ(colors.size(), 16u);  // 17 pixels: four groups
    const std::vector<TColor> group = {clBtnHighlight, clBtnShadow, clBtnShadow, clBtnFace};
    for (size_t i = 0; i < colors.size(); ++i) EXPECT_EQ(ColorToRGB(colors[i]), ColorToRGB(group[i % 4])) << i;
}

class SizeGripDragTest : public DropDownTest {
protected:
    void SetUp() override {
        DropDownTest::SetUp();
        Screen()->SetMonitors({TMonitor{Rect(0, 0, 1280, 1024), Rect(0, 0, 1280, 984), true},
                               TMonitor{Rect(1280, 0, 2304, 768), Rect(1280, 0, 2304, 728), false}});
        List = MakeList(50, 5);
        List->HandleNeeded();
        List->SizeGrip()->OnParentResized = [this](rtl::TObject*) { ++Resizes; };
    }
    // Drags the grip from a point inside it by (DX, DY) in one move.
    void Drag(int DX, int DY) {
        TSizeGripEh* g = List->SizeGrip();
        const TPoint from = g->Corner() == 2   ? At(g, 12, 12)
                            : g->Corner() == 0 ? At(g, 3, 3)
                            : g->Corner() == 1 ? At(g, 12, 3)
                                               : At(g, 3, 12);
        ResetDoubleClick();
        MouseInput(WM_LBUTTONDOWN, from);
        Pump();
        MouseInput(WM_MOUSEMOVE, {from.X + DX, from.Y + DY});
        Pump();
        MouseInput(WM_LBUTTONUP, {from.X + DX, from.Y + DY});
        Pump();
    }
    TPopupListboxEh* List = nullptr;
    int Resizes = 0;
};

TEST_F(SizeGripDragTest, DraggingTheBottomRightGripGrowsTheListInWholeRowsUpToTheWorkArea) {
    List->SetBounds(1500, 400, 150, 5 * 16 + 4);
    List->ShowWindow(SW_SHOWNA);
    Drag(30, 40);
    EXPECT_EQ(Resizes, 1);
    EXPECT_EQ(List->Left(), 1500);
    EXPECT_EQ(List->Top(), 400);
    EXPECT_EQ(List->Width(), 180);
    EXPECT_EQ(List->RowCount(), 7);  // 80 + 40 pixels: seven whole rows
    EXPECT_EQ(List->SizeGrip()->Left(), List->ClientWidth() - 17);
    EXPECT_EQ(List->SizeGrip()->Top(), List->ClientHeight() - 17);

    // Beyond the second monitor's work area (bottom 728, right 2304) the list stops at its edge.
    Drag(2000, 2000);
    EXPECT_EQ(List->Left() + List->Width(), 2304);
    EXPECT_LE(List->Top() + List->Height(), 728);
    EXPECT_GT(List->Top() + List->Height(), 728 - 16);
    EXPECT_EQ(Resizes, 2);

    // A drag that ends where it began changes nothing.
    Drag(0, 0);
    EXPECT_EQ(Resizes, 2);
}

TEST_F(SizeGripDragTest, DraggingATopLeftGripKeepsTheBottomRightCorner) {
    List->SetBounds(300, 300, 150, 5 * 16 + 4);
    List->Perform(WM_DROPDOWNPLACED, 2, 0);
    List->Perform(WM_DROPDOWNPLACED, 0, 0);
    ASSERT_EQ(List->SizeGrip()->Corner(), 0);
    List->ShowWindow(SW_SHOWNA);
    const int right = List->Left() + List->Width(), bottom = List->Top() + List->Height();
    Drag(-50, -32);
    EXPECT_EQ(List->Width(), 200);
    EXPECT_EQ(List->RowCount(), 7);
    EXPECT_EQ(List->Left() + List->Width(), right);
    EXPECT_EQ(List->Top() + List->Height(), bottom);
    EXPECT_EQ(List->SizeGrip()->Left(), 0);
    EXPECT_EQ(List->SizeGrip()->Top(), 0);

    // Not past the work area's top-left.
    Drag(-1000, -1000);
    EXPECT_EQ(List->Left(), 0);
    EXPECT_GE(List->Top(), 0);
    EXPECT_EQ(List->Left() + List->Width(), right);
    EXPECT_EQ(List->Top() + List->Height(), bottom);
}

// ---------------------------------------------------------------------------------------------
// Calendar drop-down

class CalendarDropDownTest : public DropDownTest {
protected:
    void SetUp() override {
        DropDownTest::SetUp();
        Form->Show();
        Host->SetFocus();
        Cal = rtl::Create<TPopupMonthCalendarEh>(Host);
        Host->DropDown = Cal;
        Cal->SetDate(rtl::EncodeDate(2026, 3, 11));
        Open(Cal);
        ui::SetFocus(Cal->Handle());
        Pump();
        Host->Closes.clear();
    }
    TPopupMonthCalendarEh* Cal = nullptr;
};

TEST_F(CalendarDropDownTest, TheCalendarTakesItsMinimumSizeInsideAPopupFrame) {
    const TRect r = Cal->MinReqRect();
    EXPECT_EQ(Cal->Width(), r.Width() + 4);
    EXPECT_EQ(Cal->Height(), r.Height() + 4);
    EXPECT_EQ(Cal->ClientWidth(), r.Width());
    EXPECT_NE(Cal->WindowStyle() & WS_POPUP, 0u);
    EXPECT_EQ(Cal->WindowStyle() & WS_BORDER, 0u);
    EXPECT_EQ(Cal->WindowExStyle(), static_cast<uint32_t>(WS_EX_TOOLWINDOW));
    Cal->SetCtl3D(false);
    Cal->HandleNeeded();
    EXPECT_NE(Cal->WindowStyle() & WS_BORDER, 0u);
    EXPECT_EQ(Cal->Width(), r.Width() + 2);
    EXPECT_EQ(Cal->ClientWidth(), r.Width());
}

TEST_F(CalendarDropDownTest, EnterAcceptsEscCancelsAndOtherKeysMoveTheDate) {
    ASSERT_TRUE(Cal->Focused());
    KeyPressInput(VK_RIGHT);
    Pump();
    EXPECT_EQ(Cal->Date(), rtl::EncodeDate(2026, 3, 12));
    EXPECT_TRUE(Host->Closes.empty());
    KeyPressInput(VK_RETURN, '\r');
    Pump();
    // Asked once, though both the special-key query and the key itself close.
    EXPECT_EQ(Host->Closes, std::vector<bool>{true});
    Host->Closes.clear();
    Open(Cal);
    ui::SetFocus(Cal->Handle());
    KeyPressInput(VK_ESCAPE, '\x1B');
    Pump();
    EXPECT_EQ(Host->Closes, std::vector<bool>{false});
    EXPECT_EQ(Cal->Perform(CM_WANTSPECIALKEY, VK_RETURN, 0), 1);
    EXPECT_NE(Cal->Perform(WM_GETDLGCODE) & (DLGC_WANTARROWS | DLGC_WANTTAB | DLGC_WANTCHARS), static_cast<LRESULT>(0));
}

TEST_F(CalendarDropDownTest, ClickingADayAcceptsWhileTheArrowsAndWeekdaysKeepItOpen) {
    struct {
        const char* Name;
        UINT Hit;
        bool Closes;
    } cases[] = {{"next month", MCHT_TITLEBTNNEXT, false},
                 {"previous month", MCHT_TITLEBTNPREV, false},
                 {"weekday header", MCHT_CALENDARDAY, false},
                 {"day", MCHT_CALENDARDATE, true},
                 {"today line", MCHT_TODAYLINK, true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        // Find a client point of that part.
        TPoint at{-1, -1};
        for (int y = 0; y < Cal->ClientHeight() && at.X < 0; ++y)
            for (int x = 0; x < Cal->ClientWidth(); ++x)
                if ((c.Hit == MCHT_CALENDARDATE ? (Cal->HitTest({x, y}) & 0xFFFF00FF) == MCHT_CALENDARDATE
                                                : Cal->HitTest({x, y}) == c.Hit)) {
                    at = {x, y};
                    break;
                }
        ASSERT_GE(at.X, 0);
        Host->Closes.clear();
        Open(Cal);
        Click(At(Cal, at.X, at.Y));
        EXPECT_EQ(Host->Closes, c.Closes ? std::vector<bool>{true} : std::vector<bool>{});
    }
}

TEST_F(CalendarDropDownTest, LosingTheFocusOrAClickOutsideClosesOnceWithoutAccepting) {
    auto* other = AddLog(Form, "Other", 200, 20);
    // The focus going elsewhere: message 1125 is posted and closes.
    ui::SetFocus(other->Handle());
    EXPECT_TRUE(Host->Closes.empty());
    Pump();
    EXPECT_EQ(Host->Closes, std::vector<bool>{false});
    EXPECT_TRUE(Host->CancelSenders.empty());

    // A click outside: the editor hears of it through cancel mode and closes; the close that
    // the focus loss queued finds the calendar hidden and does nothing more.
    Host->Closes.clear();
    Host->SetFocus();
    Open(Cal);
    ui::SetFocus(Cal->Handle());
    Pump();
    Click(At(other, 3, 3));
    EXPECT_EQ(Host->CancelSenders, std::vector<std::string>{"Other"});
    EXPECT_EQ(Host->Closes, std::vector<bool>{false});

    // Message 1125 sent directly, and the date message is always reported as taken.
    Host->Closes.clear();
    Open(Cal);
    Cal->Perform(WM_DROPDOWNCLOSE);
    EXPECT_EQ(Host->Closes, std::vector<bool>{false});
    TSystemTime st{};
    st.wYear = 2026, st.wMonth = 12, st.wDay = 1;
    EXPECT_EQ(Cal->Perform(MCM_SETCURSEL, 0, reinterpret_cast<LPARAM>(&st)), 1);
}

TEST_F(CalendarDropDownTest, TheWheelStepsOneDay) {
    MouseWheelInput(-WHEEL_DELTA, At(Cal, 5, 5));
    Pump();
    EXPECT_EQ(Cal->Date(), rtl::EncodeDate(2026, 3, 12));
    MouseWheelInput(2 * WHEEL_DELTA, At(Cal, 5, 5));
    Pump();
    EXPECT_EQ(Cal->Date(), rtl::EncodeDate(2026, 3, 10));
}

TEST_F(DropDownTest, WithoutAHostKeysAndClicksCloseNothing) {
    Form->Show();
    auto* orphan = rtl::Create<TPopupMonthCalendarEh>(Form);
    orphan->HandleNeeded();
    orphan->ShowWindow(SW_SHOWNA);
    EXPECT_EQ(editors::DropDownHostOf(orphan), nullptr);
    orphan->Perform(WM_DROPDOWNCLOSE);
    uint16_t key = VK_RETURN;
    orphan->Perform(WM_KEYDOWN, key, 0);
    EXPECT_TRUE(orphan->IsWindowVisible());
    EXPECT_TRUE(Host->Closes.empty());
}

}  // namespace
