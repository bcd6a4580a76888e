#include <gtest/gtest.h>

#include "tests/support/ui_fixture.h"

namespace {

using namespace uitest;

TEST_F(UiTest, AWindowShapeLetsPointsOutsideItFallThroughToTheParent) {
    TLogControl* child = AddLog(Form, "Shaped", 10, 10);
    child->SetBounds(10, 10, 20, 20);
    Form->Show();
    // The lower-right half of the square.
    const TPoint tri[3] = {{0, 20}, {20, 20}, {20, 0}};
    const TRegion shape = TRegion::FromPolygon(tri, 3);
    child->SetWindowRgn(&shape);
    ASSERT_NE(child->WindowRgn(), nullptr);

    EXPECT_EQ(WindowFromPoint(At(child, 18, 18)), child->Handle());
    EXPECT_EQ(WindowFromPoint(At(child, 2, 2)), Form->Handle());
    EXPECT_FALSE(child->WindowContainsPoint(At(child, 2, 2)));
    // Presses follow the shape.
    int presses = 0;
    child->OnMouseDown = [&](rtl::TObject*, TMouseButton, TShiftState, int, int) { ++presses; };
    MouseInput(WM_LBUTTONDOWN, At(child, 2, 2));
    MouseInput(WM_LBUTTONUP, At(child, 2, 2));
    Pump();
    EXPECT_EQ(presses, 0);
    ResetDoubleClick();
    MouseInput(WM_LBUTTONDOWN, At(child, 18, 18));
    MouseInput(WM_LBUTTONUP, At(child, 18, 18));
    Pump();
    EXPECT_EQ(presses, 1);

    child->SetWindowRgn(nullptr);
    EXPECT_EQ(WindowFromPoint(At(child, 2, 2)), child->Handle());
}

}  // namespace
