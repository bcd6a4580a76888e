#include "tests/support/ui_fixture.h"

namespace uitest {
namespace {

using PaintTest = UiTest;

TRecordingSurface& Rec(TWinControl* W) { return *static_cast<TRecordingSurface*>(W->Surface()); }

std::vector<std::string> TextsAt(TRecordingSurface& S) {
    std::vector<std::string> out;
    for (const TDrawRecord* r : S.OfKind(TDrawOp::Text))
        out.push_back(r->Text + "@" + std::to_string(r->Rect.Left) + "," + std::to_string(r->Rect.Top));
    return out;
}

TEST_F(PaintTest, PaintingRunsFromTheQueueParentsFirstAtTheChildrensOffsets) {
    auto* panel = rtl::Create<TLogControl>(Form);
    panel->SetName("P");
    panel->SetBounds(20, 30, 200, 100);
    panel->SetParent(Form);
    auto* a = AddLog(panel, "A", 5, 6);
    Form->Show();
    ASSERT_NE(Form->Surface(), nullptr);
    Pump();
    EXPECT_EQ(TextsAt(Rec(Form)), (std::vector<std::string>{"P@21,31", "A@26,37"}));
    EXPECT_FALSE(Form->NeedsPaint());
    EXPECT_FALSE(a->NeedsPaint());

    // Only what was invalidated paints again, clipped to the invalid part.
    Rec(Form).Clear();
    const TRect part = Rect(0, 0, 10, 5);
    a->InvalidateRect(&part);
    Pump();
    ASSERT_EQ(TextsAt(Rec(Form)), (std::vector<std::string>{"A@26,37"}));
    const TDrawRecord* text = Rec(Form).OfKind(TDrawOp::Text).front();
    ASSERT_TRUE(text->Clipped);
    EXPECT_EQ(text->Clip->Bounds(), Rect(25, 36, 35, 41));
}

TEST_F(PaintTest, AChildInvalidatedBeforeItsParentIsPaintedAfterItAndStaysOnTop) {
    auto* panel = AddLog(Form, "P", 20, 30);
    panel->SetBounds(20, 30, 200, 100);
    auto* a = AddLog(panel, "A", 5, 6);
    auto* b = AddLog(a, "B", 1, 1);
    Form->Show();
    Pump();
    // Whatever order the parts were invalidated in, each parent paints before what lies on it.
    const std::vector<std::vector<TControl*>> orders = {{b, a, panel}, {a, panel}, {b, panel, a}};
    for (const auto& order : orders) {
        Rec(Form).Clear();
        for (TControl* c : order) c->Invalidate();
        Pump();
        EXPECT_EQ(TextsAt(Rec(Form)), (std::vector<std::string>{"P@21,31", "A@26,37", "B@27,38"})) << order.size();
    }
}

TEST_F(PaintTest, InvalidatingAParentRepaintsTheChildrenOnTopAndUpdatePaintsAtOnce) {
    auto* a = AddLog(Form, "A", 5, 6);
    Form->Show();
    Pump();
    Rec(Form).Clear();
    Form->Invalidate();
    EXPECT_TRUE(a->NeedsPaint());
    Form->Update();
    EXPECT_EQ(TextsAt(Rec(Form)), (std::vector<std::string>{"A@6,7"}));
    EXPECT_FALSE(a->NeedsPaint());
    // The background is erased in the control's colour before it paints.
    Rec(Form).Clear();
    a->SetColor(clRed);
    a->Repaint();
    auto fills = Rec(Form).OfKind(TDrawOp::FillRect);
    ASSERT_FALSE(fills.empty());
    EXPECT_EQ(fills.front()->Rect, Bounds(5, 6, 50, 20));
    EXPECT_EQ(fills.front()->Brush.Color, static_cast<TColor>(ColorToRGB(clRed)));
}

TEST_F(PaintTest, GraphicControlsPaintOnTheirParentInZOrder) {
    auto* g1 = rtl::Create<TGraphicControl>(Form);
    auto* g2 = rtl::Create<TGraphicControl>(Form);
    g1->SetBounds(10, 10, 40, 40);
    g2->SetBounds(30, 30, 40, 40);
    g1->SetParent(Form);
    g2->SetParent(Form);
    std::vector<std::string> order;
    g1->OnPaint = [&](TObject*) {
        order.push_back("g1");
        g1->Canvas()->TextOut(0, 0, "one");
    };
    g2->OnPaint = [&](TObject*) {
        order.push_back("g2");
        g2->Canvas()->TextOut(0, 0, "two");
    };
    Form->Show();
    Pump();
    EXPECT_EQ(order, (std::vector<std::string>{"g1", "g2"}));
    EXPECT_EQ(TextsAt(Rec(Form)), (std::vector<std::string>{"one@10,10", "two@30,30"}));
    order.clear();
    g1->BringToFront();
    Pump();
    EXPECT_EQ(order, (std::vector<std::string>{"g2", "g1"}));
    // A hidden graphic control is not painted; invalidating it repaints its area of the parent.
    order.clear();
    g2->Hide();
    Pump();
    EXPECT_EQ(order, (std::vector<std::string>{"g1"}));
}

TEST_F(PaintTest, AControlCanBePaintedIntoAGivenDevice) {
    auto* a = AddLog(Form, "A", 5, 6);
    TRecordingSurface other(100, 100);
    TCanvas dc(&other);
    a->PaintTo(&dc, 40, 50);
    EXPECT_EQ(TextsAt(other), (std::vector<std::string>{"A@41,51"}));
    // A paint message that carries a device paints into it and leaves the update region alone.
    Form->Show();
    Pump();
    a->Invalidate();
    other.Clear();
    a->Perform(WM_PAINT, reinterpret_cast<WPARAM>(&dc));
    EXPECT_EQ(TextsAt(other), (std::vector<std::string>{"A@1,1"}));
    EXPECT_TRUE(a->NeedsPaint());
}

TEST_F(PaintTest, BordersAndScrollBarsTakeTheirPlaceFromTheClientArea) {
    struct TFramed : TCustomControl {
        using TCustomControl::TCustomControl;
        void CreateParams(TCreateParams& P) override {
            TCustomControl::CreateParams(P);
            P.Style |= WS_BORDER;
            P.ExStyle |= WS_EX_CLIENTEDGE;
        }
    };
    auto* c = rtl::Create<TFramed>(Form);
    c->SetBounds(10, 10, 100, 80);
    c->SetParent(Form);
    Form->Show();
    EXPECT_EQ(c->ClientRect(), Rect(0, 0, 94, 74));
    EXPECT_EQ(c->ClientOrigin(), Point(100 + 13, 100 + 13));
    std::vector<TPoint> sizes;
    c->OnResize = [&](TObject*) { sizes.push_back(Point(c->ClientWidth(), c->ClientHeight())); };

    TScrollInfo si;
    si.fMask = SIF_RANGE | SIF_PAGE | SIF_POS;
    si.nMin = 0;
    si.nMax = 99;
    si.nPage = 10;
    si.nPos = 95;
    EXPECT_EQ(c->SetScrollInfo(SB_VERT, si), 90) << "the position stops where the last page starts";
    EXPECT_TRUE(c->ScrollBarVisible(SB_VERT));
    EXPECT_EQ(c->ClientRect(), Rect(0, 0, 94 - 17, 74));
    EXPECT_EQ(sizes, (std::vector<TPoint>{Point(77, 74)}));
    const TPoint onBar = Point(c->ClientOrigin().X + 80, c->ClientOrigin().Y + 5);
    EXPECT_EQ(SendMessage(c->Handle(), WM_NCHITTEST, 0, PointToLParam(onBar.X, onBar.Y)), HTVSCROLL);
    EXPECT_EQ(SendMessage(c->Handle(), WM_NCHITTEST, 0, PointToLParam(onBar.X - 10, onBar.Y)), HTCLIENT);

    TScrollInfo got;
    got.fMask = SIF_ALL;
    ASSERT_TRUE(c->GetScrollInfo(SB_VERT, got));
    EXPECT_EQ(got.nMax, 99);
    EXPECT_EQ(got.nPage, 10u);
    EXPECT_EQ(got.nPos, 90);

    // A page that holds the whole range hides the bar again.
    si.fMask = SIF_PAGE;
    si.nPage = 100;
    c->SetScrollInfo(SB_VERT, si);
    EXPECT_FALSE(c->ScrollBarVisible(SB_VERT));
    EXPECT_EQ(c->ClientWidth(), 94);

    // The frame is painted through WM_NCPAINT outside the client area.
    Pump();
    Rec(Form).Clear();
    c->InvalidateFrame();
    Pump();
    bool framePainted = false;
    for (const TDrawRecord& r : Rec(Form).Records())
        if (r.Clipped && !r.Clip->Contains(Point(20, 20)) && r.Clip->Contains(Point(10, 10))) framePainted = true;
    EXPECT_TRUE(framePainted);
}

TEST_F(PaintTest, RecreatingTheWindowKeepsItsStateAndGivesANewHandle) {
    auto* a = AddLog(Form, "A", 5, 6);
    Form->Show();
    a->SetText("text");
    a->SetScrollRange(SB_HORZ, 0, 500);
    a->SetScrollPos(SB_HORZ, 40);
    const HWND old = a->Handle();
    ASSERT_TRUE(a->Focused());
    a->RecreateWnd();
    EXPECT_NE(a->Handle(), old);
    EXPECT_FALSE(IsWindow(old));
    EXPECT_EQ(a->Text(), "text");
    EXPECT_EQ(a->BoundsRect(), Bounds(5, 6, 50, 20));
    EXPECT_EQ(a->GetScrollPos(SB_HORZ), 40);
    EXPECT_TRUE(a->Focused());
    EXPECT_EQ(Form->ActiveControl(), a);
}

TEST_F(PaintTest, AlignedChildrenShareTheClientArea) {
    auto* top = rtl::Create<TCustomControl>(Form);
    auto* client = rtl::Create<TCustomControl>(Form);
    auto* left = rtl::Create<TCustomControl>(Form);
    top->SetHeight(30);
    left->SetWidth(50);
    top->SetAlign(alTop);
    client->SetAlign(alClient);
    left->SetAlign(alLeft);
    top->SetParent(Form);
    client->SetParent(Form);
    left->SetParent(Form);
    EXPECT_EQ(top->BoundsRect(), Rect(0, 0, 400, 30));
    EXPECT_EQ(left->BoundsRect(), Rect(0, 30, 50, 300));
    EXPECT_EQ(client->BoundsRect(), Rect(50, 30, 400, 300));
    Form->Show();
    Form->SetBounds(100, 100, 500, 200);
    EXPECT_EQ(client->BoundsRect(), Rect(50, 30, 500, 200));
}

TEST_F(PaintTest, ResizingAWindowedAlignedChildRealignsItsSiblings) {
    auto* top = rtl::Create<TCustomControl>(Form);
    auto* client = rtl::Create<TCustomControl>(Form);
    auto* left = rtl::Create<TCustomControl>(Form);
    auto* loose = rtl::Create<TCustomControl>(Form);
    top->SetHeight(30);
    left->SetWidth(50);
    top->SetAlign(alTop);
    client->SetAlign(alClient);
    left->SetAlign(alLeft);
    for (auto* c : {top, client, left, loose}) c->SetParent(Form);
    loose->SetBounds(200, 200, 20, 20);
    Form->Show();
    ASSERT_TRUE(top->HandleAllocated());

    top->SetHeight(60);
    EXPECT_EQ(left->BoundsRect(), Rect(0, 60, 50, 300));
    EXPECT_EQ(client->BoundsRect(), Rect(50, 60, 400, 300));
    // Straight through the window record, as the user's sizing does.
    left->SetWindowPos(0, 0, 80, 10, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    EXPECT_EQ(left->BoundsRect(), Rect(0, 60, 80, 300));
    EXPECT_EQ(client->BoundsRect(), Rect(80, 60, 400, 300));
    // The aligned side is taken back from a child that leaves its place.
    top->SetBounds(30, 30, 100, 60);
    EXPECT_EQ(top->BoundsRect(), Rect(0, 0, 400, 60));
    // A child without alignment moves alone.
    loose->SetBounds(10, 10, 20, 20);
    EXPECT_EQ(client->BoundsRect(), Rect(80, 60, 400, 300));
    EXPECT_EQ(loose->BoundsRect(), Rect(10, 10, 30, 30));
}

TEST_F(PaintTest, FontAndColourComeFromTheParentUntilSetOnTheControl) {
    auto* panel = rtl::Create<TCustomControl>(Form);
    panel->SetParent(Form);
    auto* a = AddLog(panel, "A");
    Form->Font()->SetName("Serif");
    Form->SetColor(clYellow);
    EXPECT_EQ(a->Font()->Name(), "Serif");
    EXPECT_EQ(a->Color(), clYellow);
    EXPECT_TRUE(a->ParentFont());
    a->Font()->SetHeight(-20);
    EXPECT_FALSE(a->ParentFont());
    Form->Font()->SetName("Mono");
    EXPECT_EQ(panel->Font()->Name(), "Mono");
    EXPECT_EQ(a->Font()->Name(), "Serif");
    a->SetParentFont(true);
    EXPECT_EQ(a->Font()->Name(), "Mono");
    EXPECT_EQ(a->Font()->Height(), Form->Font()->Height());
    a->SetColor(clLime);
    Form->SetColor(clAqua);
    EXPECT_EQ(panel->Color(), clAqua);
    EXPECT_EQ(a->Color(), clLime);
}

}  // namespace
}  // namespace uitest

namespace uitest {
namespace {

using ScrollTest = UiTest;

TEST_F(ScrollTest, ScrollingTheWholeWindowCarriesChildWindowsButARectangleDoesNot) {
    auto* panel = rtl::Create<TCustomControl>(Form);
    panel->SetBounds(0, 0, 200, 200);
    panel->SetParent(Form);
    auto* a = AddLog(panel, "A", 10, 50);
    auto* g = rtl::Create<TGraphicControl>(Form);
    g->SetBounds(5, 5, 10, 10);
    g->SetParent(panel);
    Form->Show();
    Pump();
    const TRect part = Rect(0, 0, 100, 100);
    panel->ScrollWindow(0, -20, &part);
    EXPECT_EQ(a->Top(), 50);
    EXPECT_TRUE(panel->NeedsPaint());
    Pump();
    panel->ScrollWindow(0, -20);
    EXPECT_EQ(a->Top(), 30);
    EXPECT_EQ(g->Top(), 5);
    panel->ScrollBy(3, -10);
    EXPECT_EQ(a->BoundsRect(), Bounds(13, 20, 50, 20));
    EXPECT_EQ(g->BoundsRect(), Bounds(8, -5, 10, 10));
}

}  // namespace
}  // namespace uitest
