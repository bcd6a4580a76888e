#include "edit_fixture.h"
#include "framework/ui/Buttons.h"
#include "framework/ui/ExtCtrls.h"
#include "framework/ui/StdCtrls.h"

namespace uitest {
namespace {

using PanelTest = InputTest;

TEST_F(PanelTest, SpeedButtonsInAGroupStayDownOneAtATime) {
    std::vector<TSpeedButton*> b;
    int clicks = 0;
    for (int i = 0; i < 3; ++i) {
        auto* s = rtl::Create<TSpeedButton>(Form);
        s->SetParent(Form);
        s->SetLeft(10 + 30 * i);
        s->SetGroupIndex(1);
        s->OnClick = [&](TObject*) { ++clicks; };
        b.push_back(s);
    }
    Form->Show();
    Click(b[0], 5, 5);
    EXPECT_TRUE(b[0]->Down());
    Click(b[2], 5, 5);
    EXPECT_FALSE(b[0]->Down());
    EXPECT_TRUE(b[2]->Down());
    // Without AllowAllUp the down button stays down when clicked again.
    Click(b[2], 5, 5);
    EXPECT_TRUE(b[2]->Down());
    b[0]->SetAllowAllUp(true);
    Click(b[2], 5, 5);
    EXPECT_FALSE(b[2]->Down());
    EXPECT_EQ(clicks, 4);
    // A button outside any group never stays down; a release off the button is no click.
    auto* plain = rtl::Create<TSpeedButton>(Form);
    plain->SetParent(Form);
    plain->SetTop(50);
    plain->SetDown(true);
    EXPECT_FALSE(plain->Down());
    MouseInput(WM_LBUTTONDOWN, At(plain, 5, 5));
    Pump();
    MouseInput(WM_LBUTTONUP, At(plain, 100, 100));
    Pump();
    EXPECT_EQ(clicks, 4);
}

TEST_F(PanelTest, AButtonWhoseClickRaisesLetsTheMouseGo) {
    auto* failing = rtl::Create<TButton>(Form);
    failing->SetParent(Form);
    failing->OnClick = [](TObject*) { throw rtl::Exception("refused"); };
    auto* other = rtl::Create<TButton>(Form);
    other->SetParent(Form);
    other->SetLeft(100);
    int others = 0;
    other->OnClick = [&](TObject*) { ++others; };
    Form->Show();
    Click(failing, 5, 5);
    EXPECT_EQ(GetCaptureControl(), nullptr);
    EXPECT_EQ(GetCapture(), HWND{0});
    Click(other, 5, 5);
    EXPECT_EQ(others, 1) << "the next click reaches the button under the mouse";
}

TEST_F(PanelTest, PanelsKeepAlignedChildrenInsideTheirBevelsAndSplittersResize) {
    auto* panel = rtl::Create<TPanel>(Form);
    panel->SetParent(Form);
    panel->SetBounds(0, 0, 300, 200);
    panel->SetBevelInner(TBevelCut::bvLowered);
    panel->SetBorderWidth(2);
    EXPECT_EQ(panel->FrameWidth(), 4);
    auto* left = rtl::Create<TPanel>(Form);
    left->SetParent(panel);
    left->SetWidth(100);
    left->SetAlign(alLeft);
    EXPECT_EQ(left->BoundsRect(), Rect(4, 4, 104, 196));
    auto* split = rtl::Create<TSplitter>(Form);
    split->SetParent(panel);
    split->SetLeft(150);
    split->SetAlign(alLeft);
    EXPECT_EQ(split->Left(), 104);
    ASSERT_EQ(split->FindControl(), left);
    int moved = 0;
    split->OnMoved = [&](TObject*) { ++moved; };
    Form->Show();
    MouseInput(WM_LBUTTONDOWN, At(split, 1, 50));
    Pump();
    MouseInput(WM_MOUSEMOVE, At(split, 41, 50));
    Pump();
    MouseInput(WM_LBUTTONUP, At(split, 41, 50));
    Pump();
    EXPECT_EQ(left->Width(), 140);
    EXPECT_EQ(split->Left(), 144);
    EXPECT_EQ(moved, 1);
    // Never below the minimum size.
    MouseInput(WM_LBUTTONDOWN, At(split, 1, 50));
    Pump();
    MouseInput(WM_MOUSEMOVE, At(split, -200, 50));
    Pump();
    MouseInput(WM_LBUTTONUP, At(split, -200, 50));
    Pump();
    EXPECT_EQ(left->Width(), split->MinSize());
}

TEST_F(PanelTest, ImagePlacesItsPicture) {
    auto* img = rtl::Create<TImage>(Form);
    img->SetBounds(0, 0, 100, 80);
    img->Picture()->Bitmap()->SetSize(20, 10);
    EXPECT_EQ(img->DestRect(), Rect(0, 0, 20, 10));
    img->SetCenter(true);
    EXPECT_EQ(img->DestRect(), Rect(40, 35, 60, 45));
    img->SetStretch(true);
    EXPECT_EQ(img->DestRect(), Rect(0, 0, 100, 80));
    img->SetAutoSize(true);
    EXPECT_EQ(img->Width(), 20);
}

}  // namespace
}  // namespace uitest
