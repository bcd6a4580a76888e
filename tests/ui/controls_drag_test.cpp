// Dragging between controls: the threshold, the targets' answers and cursors, the drop, the end.
#include "tests/support/ui_fixture.h"

namespace uitest {
namespace {

using DragTest = UiTest;

struct TDragLog {
    std::vector<std::string> Events;
    void Watch(TControl* Target, int AcceptBelowX) {
        Target->OnDragOver = [this, Target, AcceptBelowX](TObject*, TObject* Source, int X, int, TDragState State,
                                                          bool& Accept) {
            static const char* names[] = {"enter", "leave", "move"};
            Events.push_back(Target->Name() + ":" + names[int(State)] + "<" + static_cast<TControl*>(Source)->Name());
            Accept = X < AcceptBelowX;
        };
        Target->OnDragDrop = [this, Target](TObject*, TObject* Source, int X, int Y) {
            Events.push_back(Target->Name() + ":drop<" + static_cast<TControl*>(Source)->Name() + "@" +
                             std::to_string(X) + "," + std::to_string(Y));
        };
    }
    void WatchSource(TControl* Source) {
        Source->OnStartDrag = [this](TObject*, TDragObject*&) { Events.push_back("start"); };
        Source->OnEndDrag = [this](TObject*, TObject* Target, int, int) {
            Events.push_back(std::string("end>") + (Target ? static_cast<TControl*>(Target)->Name() : "-"));
        };
    }
};

TEST_F(DragTest, ADragPassesTheThresholdAsksTheTargetsAndDropsOnOneThatAccepts) {
    auto* a = AddLog(Form, "A", 10, 10);
    auto* b = AddLog(Form, "B", 100, 10);
    a->OnMouseDown = [a](TObject*, TMouseButton, TShiftState, int, int) { a->BeginDrag(false); };
    TDragLog log;
    log.WatchSource(a);
    log.Watch(b, 30);
    Form->Show();
    MouseInput(WM_LBUTTONDOWN, At(a, 5, 5));
    Pump();
    EXPECT_TRUE(a->Dragging());
    EXPECT_EQ(log.Events, (std::vector<std::string>{"start"}));
    MouseInput(WM_MOUSEMOVE, At(a, 8, 8));  // within the threshold: nothing is asked yet
    EXPECT_EQ(log.Events.size(), 1u);
    MouseInput(WM_MOUSEMOVE, At(b, 5, 5));
    EXPECT_EQ(GetCursorShape(), crDrag);
    MouseInput(WM_MOUSEMOVE, At(b, 40, 5));
    EXPECT_EQ(GetCursorShape(), crNoDrop);
    MouseInput(WM_MOUSEMOVE, At(b, 6, 7));
    MouseInput(WM_LBUTTONUP, At(b, 6, 7));
    Pump();
    EXPECT_FALSE(a->Dragging());
    EXPECT_EQ(DragControl(), nullptr);
    EXPECT_EQ(log.Events,
              (std::vector<std::string>{"start", "B:enter<A", "B:move<A", "B:move<A", "B:drop<A@6,7", "end>B"}));
    // The mouse is the program's again: a click reaches the control.
    log.Events.clear();
    int clicks = 0;
    b->OnClick = [&](TObject*) { ++clicks; };
    MouseInput(WM_LBUTTONDOWN, At(b, 5, 5));
    MouseInput(WM_LBUTTONUP, At(b, 5, 5));
    Pump();
    EXPECT_EQ(clicks, 1);
}

TEST_F(DragTest, AutomaticDragsStartAtOnceAndEscOrTheRightButtonCancelWithoutADrop) {
    auto* a = AddLog(Form, "A", 10, 10);
    auto* b = AddLog(Form, "B", 100, 10);
    a->SetDragMode(dmAutomatic);
    a->SetDragCursor(crMultiDrag);
    int downs = 0;
    a->OnMouseDown = [&](TObject*, TMouseButton, TShiftState, int, int) { ++downs; };
    TDragLog log;
    log.WatchSource(a);
    log.Watch(b, 100);
    Form->Show();
    for (const bool byEsc : {true, false}) {
        log.Events.clear();
        MouseInput(WM_LBUTTONDOWN, At(a, 5, 5));
        Pump();
        ASSERT_TRUE(a->Dragging());
        MouseInput(WM_MOUSEMOVE, At(b, 5, 5));
        EXPECT_EQ(GetCursorShape(), crMultiDrag);
        if (byEsc) {
            KeyPressInput(VK_ESCAPE);
            Pump();
        } else {
            MouseInput(WM_RBUTTONDOWN, At(b, 5, 5));
        }
        EXPECT_FALSE(a->Dragging());
        EXPECT_EQ(log.Events, (std::vector<std::string>{"start", "B:enter<A", "B:leave<A", "end>-"}));
        MouseInput(WM_LBUTTONUP, At(b, 5, 5));
        MouseInput(WM_RBUTTONUP, At(b, 5, 5));
        Pump();
        ResetDoubleClick();
    }
    EXPECT_EQ(downs, 0) << "an automatic drag takes the press";
    EXPECT_NE(GetCursorShape(), crNoDrop);
}

}  // namespace
}  // namespace uitest
