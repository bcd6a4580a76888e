#include "edit_fixture.h"
#include "framework/ui/StdCtrls.h"

namespace uitest {
namespace {

// Rows of the default font on the recording surface.
constexpr int Row = 11;

class ListTest : public InputTest {
protected:
    TListBox* MakeList(std::initializer_list<const char8_t*> Items) {
        auto* l = rtl::Create<TListBox>(Form);
        l->SetParent(Form);
        l->SetBounds(10, 10, 150, 4 * Row + 4);  // four rows of the default font inside the border
        for (auto* s : Items) l->Items()->Add(Cp(s));
        l->OnClick = [this](TObject*) { ++Clicks; };
        Form->Show();
        l->SetFocus();
        return l;
    }
    int Clicks = 0;
};

TEST_F(ListTest, TypeAheadOnCyrillicGrowsThePrefixWithinThePause) {
    auto* l = MakeList({u8"Архив", u8"Бумаги", u8"борьба", u8"Брошюры", u8"Ведомость"});
    Type(Cp(u8"б"));
    EXPECT_EQ(l->ItemIndex(), 1);
    // The same letter again after the pause moves on to the next match.
    Clock.Advance(1500);
    Type(Cp(u8"Б"));
    EXPECT_EQ(l->ItemIndex(), 2);
    // Within the pause the prefix grows and the current item still counts.
    Clock.Advance(1500);
    Type(Cp(u8"б"));
    EXPECT_EQ(l->ItemIndex(), 3);
    Clock.Advance(200);
    Type(Cp(u8"у"));
    EXPECT_EQ(l->ItemIndex(), 1);
    EXPECT_EQ(Clicks, 4);
    // No match leaves the selection.
    Clock.Advance(1500);
    Type(Cp(u8"я"));
    EXPECT_EQ(l->ItemIndex(), 1);
}

TEST_F(ListTest, KeysMouseAndTheTopIndex) {
    auto* l = MakeList({u8"1", u8"2", u8"3", u8"4", u8"5", u8"6", u8"7", u8"8"});
    EXPECT_EQ(l->VisibleRows(), 4);
    Stroke(K(VK_DOWN));
    EXPECT_EQ(l->ItemIndex(), 0);
    Stroke(K(VK_END));
    EXPECT_EQ(l->ItemIndex(), 7);
    EXPECT_EQ(l->TopIndex(), 4);
    EXPECT_EQ(l->ItemAtPos(Point(5, Row + 3), true), 5);
    EXPECT_EQ(l->ItemAtPos(Point(5, Row * 9), true), -1);
    EXPECT_EQ(l->ItemAtPos(Point(5, Row * 9), false), 8);
    Click(l, 5, 2 * Row + 3);
    EXPECT_EQ(l->ItemIndex(), 6);
    Stroke(K(VK_HOME));
    EXPECT_EQ(l->TopIndex(), 0);
    EXPECT_EQ(l->ItemRect(2), Rect(0, 2 * Row, l->ClientWidth(), 3 * Row));
    // Selection set by code does not click.
    const int before = Clicks;
    l->SetItemIndex(3);
    EXPECT_EQ(Clicks, before);
    l->SetItemIndex(99);
    EXPECT_EQ(l->ItemIndex(), -1);
}

TEST_F(ListTest, SelectStringFindsByPrefixFromAfterTheStartAndWraps) {
    auto* l = MakeList({u8"опись 1", u8"Опись 2", u8"акт", u8"ОПИСЬ 3"});
    const std::string p = Cp(u8"опись");
    EXPECT_EQ(l->Perform(LB_SELECTSTRING, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(p.c_str())), 0);
    EXPECT_EQ(l->Perform(LB_SELECTSTRING, 1, reinterpret_cast<LPARAM>(p.c_str())), 3);
    EXPECT_EQ(l->ItemIndex(), 3);
    EXPECT_EQ(l->Perform(LB_SELECTSTRING, 3, reinterpret_cast<LPARAM>(p.c_str())), 0);
    const std::string none = "zz";
    EXPECT_EQ(l->Perform(LB_SELECTSTRING, 0, reinterpret_cast<LPARAM>(none.c_str())), LB_ERR);
    EXPECT_EQ(l->ItemIndex(), 0);
}

TEST_F(ListTest, ExtendedMultiSelectWithShiftAndCtrl) {
    auto* l = MakeList({u8"а", u8"б", u8"в", u8"г"});
    l->SetMultiSelect(true);
    Click(l, 5, 3);
    Click(l, 5, 2 * Row + 3, true);
    EXPECT_EQ(l->SelCount(), 3);
    KeyInput(VK_CONTROL, true);
    MouseInput(WM_LBUTTONDOWN, At(l, 5, Row + 3));
    MouseInput(WM_LBUTTONUP, At(l, 5, Row + 3));
    Pump();
    KeyInput(VK_CONTROL, false);
    EXPECT_FALSE(l->Selected(1));
    EXPECT_TRUE(l->Selected(2));
    EXPECT_EQ(l->SelCount(), 2);
    EXPECT_THROW(l->Selected(4), rtl::Exception);
}

TEST_F(ListTest, VirtualOwnerDrawListAsksForTextsAndDrawsFixedRows) {
    auto* l = MakeList({});
    l->SetStyle(lbVirtualOwnerDraw);
    l->SetItemHeight(20);
    l->OnData = [](TWinControl*, int Index, AnsiString& S) { S = "row " + std::to_string(Index); };
    std::vector<int> drawn;
    l->OnDrawItem = [&](TWinControl*, int Index, TRect R, TOwnerDrawState) {
        drawn.push_back(Index);
        EXPECT_EQ(R.Height(), 20);
    };
    l->SetCount(1000);
    EXPECT_EQ(l->ItemText(500), "row 500");
    EXPECT_EQ(l->FindPrefix("row 99", -1), 99);
    l->Repaint();
    Form->Update();
    EXPECT_EQ(drawn, (std::vector<int>{0, 1, 2})) << "44 pixels: two rows and part of a third";
}

class ComboTest : public InputTest {
protected:
    TComboBox* MakeCombo(TComboBoxStyle Style) {
        auto* c = rtl::Create<TComboBox>(Form);
        c->SetParent(Form);
        c->SetBounds(10, 10, 150, 24);
        c->SetStyle(Style);
        for (auto* s : {u8"куратор", u8"начальник отдела", u8"администратор"}) c->Items()->Add(Cp(s));
        c->OnChange = [this](TObject*) { Events.push_back("change"); };
        Form->Show();
        c->SetFocus();
        return c;
    }
    std::vector<std::string> Events;
};

TEST_F(ComboTest, DropDownListChoosesWithKeysTypeAheadAndTheMouse) {
    auto* ok = rtl::Create<TButton>(Form);
    ok->SetParent(Form);
    ok->SetTop(100);
    ok->SetDefault(true);
    int okClicks = 0;
    ok->OnClick = [&](TObject*) { ++okClicks; };
    auto* c = MakeCombo(csDropDownList);
    c->OnSelect = [this](TObject*) { Events.push_back("select"); };
    c->SetItemIndex(0);
    EXPECT_EQ(c->Text(), Cp(u8"куратор"));
    EXPECT_TRUE(Events.empty());

    Stroke(K(VK_DOWN));
    EXPECT_EQ(c->ItemIndex(), 1);
    EXPECT_EQ(Events, std::vector<std::string>{"select"});
    Type(Cp(u8"А"));
    EXPECT_EQ(c->Text(), Cp(u8"администратор"));
    // Typing does not edit a drop-down list.
    Stroke(K(VK_BACK));
    EXPECT_EQ(c->Text(), Cp(u8"администратор"));

    // Open: the list shows under the box, keys steer it, Enter closes without pressing the
    // default button, Esc closes without choosing.
    Stroke(K(VK_F4));
    ASSERT_TRUE(c->DroppedDown());
    EXPECT_TRUE(c->Focused());
    EXPECT_EQ(c->DropDownList()->ItemIndex(), 2);
    Stroke(K(VK_UP));
    EXPECT_EQ(c->ItemIndex(), 1);
    Stroke(K(VK_RETURN));
    EXPECT_FALSE(c->DroppedDown());
    EXPECT_EQ(okClicks, 0);
    Stroke(K(VK_F4));
    Stroke(K(VK_ESCAPE));
    EXPECT_FALSE(c->DroppedDown());
    EXPECT_EQ(c->ItemIndex(), 1);

    // A click in the open list chooses the item under it.
    Click(c, 20, 5);
    ASSERT_TRUE(c->DroppedDown());
    TCustomListBox* list = c->DropDownList();
    MouseInput(WM_LBUTTONDOWN, At(list, 5, 3));
    Pump();
    MouseInput(WM_LBUTTONUP, At(list, 5, 3));
    Pump();
    EXPECT_FALSE(c->DroppedDown());
    EXPECT_EQ(c->ItemIndex(), 0);
    EXPECT_TRUE(c->Focused());
}

TEST_F(ComboTest, DropDownStyleEditsAndMatchesTypedTextToItems) {
    auto* c = MakeCombo(csDropDown);
    Type(Cp(u8"куратор"));
    EXPECT_EQ(c->ItemIndex(), 0);
    Type("x");
    EXPECT_EQ(c->ItemIndex(), -1);
    EXPECT_EQ(Events.size(), 8u);
    // Without OnSelect a chosen item reports a change.
    Events.clear();
    Stroke(K(VK_DOWN));
    EXPECT_EQ(c->ItemIndex(), 0);
    EXPECT_EQ(Events, std::vector<std::string>{"change"});
    // Losing the focus closes the list.
    Stroke(K(VK_F4));
    ASSERT_TRUE(c->DroppedDown());
    auto* other = rtl::Create<TEdit>(Form);
    other->SetParent(Form);
    other->SetTop(60);
    other->SetFocus();
    EXPECT_FALSE(c->DroppedDown());
}

// The list opens inside the work area of the box's monitor: below, or above without room below,
// moved left at the right edge, cut to whole rows when neither side has room.
TEST_F(ComboTest, TheListOpensInsideTheWorkArea) {
    TMonitor first, second;
    first.BoundsRect = Rect(0, 0, 1024, 768);
    first.WorkareaRect = Rect(0, 0, 1024, 740);
    first.Primary = true;
    second.BoundsRect = Rect(1024, 0, 1024 + 640, 200);  // a short screen beside the first
    second.WorkareaRect = second.BoundsRect;
    Screen()->SetMonitors({first, second});
    auto* c = MakeCombo(csDropDownList);
    const int h = 3 * Row + 2;  // three items
    const struct {
        const char* Name;
        TPoint FormAt;
        TPoint BoxAt;   // in the form's client area
        int Left, Top;  // of the list, relative to the box's window rectangle
        int Height;
        bool FromRight;  // Left counts from the work area's right edge
    } cases[] = {
        {"room below", {100, 100}, {10, 10}, 0, 24, h, false},
        {"at the bottom: above", {100, 600}, {10, 96}, 0, -h, h, false},
        {"at the right edge: moved left", {900, 100}, {10, 10}, -150, 24, h, true},
        {"second screen, bottom right", {1024 + 500, 100}, {10, 50}, -150, -h, h, true},
        {"second screen, little room either side: cut to rows", {1024 + 10, 0}, {10, 0}, 0, 24, 2 * Row + 2, false},
    };
    for (const auto& k : cases) {
        SCOPED_TRACE(k.Name);
        Form->SetBounds(k.FormAt.X, k.FormAt.Y, 300, 200);
        c->SetBounds(k.BoxAt.X, k.BoxAt.Y, 150, 24);
        if (k.FormAt.Y == 0) {
            // The box 25 pixels above the bottom of the short work area, with less room above it.
            second.WorkareaRect = Rect(1024, 0, 1024 + 640, c->WindowRectOnScreen().Bottom + 25);
            Screen()->SetMonitors({first, second});
        }
        c->SetDroppedDown(true);
        ASSERT_TRUE(c->DroppedDown());
        const TRect box = c->WindowRectOnScreen();
        const TRect work = Screen()->MonitorFromRect(box).WorkareaRect;
        const TRect list = c->DropDownList()->WindowRectOnScreen();
        EXPECT_EQ(list.Left, (k.FromRight ? work.Right : box.Left) + k.Left);
        EXPECT_EQ(list.Top, box.Top + k.Top);
        EXPECT_EQ(list.Height(), k.Height);
        EXPECT_EQ(list.Width(), 150);
        EXPECT_TRUE(work.Contains(list.TopLeft()) && list.Bottom <= work.Bottom && list.Right <= work.Right);
        c->SetDroppedDown(false);
    }
}

// An open list closes on a press anywhere outside it, the box itself included, and when the mouse
// is taken from it.
TEST_F(ComboTest, APressOutsideTheOpenListClosesIt) {
    auto* c = MakeCombo(csDropDownList);
    c->SetItemIndex(0);
    const struct {
        const char* Name;
        std::function<void()> Act;
    } cases[] = {
        {"the form's empty face", [&] { Click(Form, 250, 150); }},
        {"the box", [&] { Click(c, 20, 5); }},
        {"a right press elsewhere",
         [&] {
             MouseInput(WM_RBUTTONDOWN, At(Form, 250, 150));
             MouseInput(WM_RBUTTONUP, At(Form, 250, 150));
             Pump();
         }},
        {"the mouse taken away", [&] { SetCapture(Form->Handle()); }},
    };
    for (const auto& k : cases) {
        SCOPED_TRACE(k.Name);
        Click(c, 20, 5);
        ASSERT_TRUE(c->DroppedDown());
        k.Act();
        EXPECT_FALSE(c->DroppedDown());
        EXPECT_EQ(c->ItemIndex(), 0) << "closing this way chooses nothing";
        EXPECT_TRUE(c->Focused());
        ReleaseCapture();
    }
    // The press that opens it and the release on the box keep it open; a release on an item chooses.
    MouseInput(WM_LBUTTONDOWN, At(c, 20, 5));
    MouseInput(WM_LBUTTONUP, At(c, 20, 5));
    Pump();
    ASSERT_TRUE(c->DroppedDown());
    Click(c->DropDownList(), 5, 2 * Row + 3);
    EXPECT_FALSE(c->DroppedDown());
    EXPECT_EQ(c->ItemIndex(), 2);
}

// The wheel scrolls what is under the pointer, not the focused control; an open list too.
TEST_F(ComboTest, TheWheelScrollsWhatIsUnderThePointer) {
    auto* c = MakeCombo(csDropDown);
    for (int i = 0; i < 20; ++i) c->Items()->Add("item " + std::to_string(i));
    auto* l = rtl::Create<TListBox>(Form);
    l->SetParent(Form);
    l->SetBounds(10, 60, 150, 4 * Row + 4);
    for (int i = 0; i < 20; ++i) l->Items()->Add(std::to_string(i));
    const AnsiString text = c->Text();
    MouseWheelInput(-WHEEL_DELTA, At(l, 5, 5));
    Pump();
    EXPECT_EQ(l->TopIndex(), 3);
    EXPECT_TRUE(c->Focused());
    EXPECT_EQ(c->Text(), text);
    c->SetDroppedDown(true);
    TCustomListBox* list = c->DropDownList();
    ASSERT_NE(list, nullptr);
    MouseWheelInput(-WHEEL_DELTA, At(list, 5, 5));
    Pump();
    EXPECT_EQ(list->TopIndex(), 3);
    EXPECT_TRUE(c->DroppedDown());
}

// The thumb follows a drag, reporting each place as it goes and the last one when let go.
TEST_F(ListTest, TheScrollBarsThumbCanBeDragged) {
    auto* s = rtl::Create<TScrollBar>(Form);
    s->SetParent(Form);
    s->SetBounds(10, 100, 17 + 100 + 17 + 20, 17);  // a 154-pixel bar: 120 of track
    s->SetParams(0, 0, 100);
    s->SetPageSize(20);  // a thumb of 120 * 20 / 101 = 23 pixels, 97 of room for 81 positions
    Form->Show();
    std::vector<std::string> codes;
    s->OnScroll = [&](TObject*, TScrollCode Code, int& Pos) {
        codes.push_back(std::to_string(int(Code)) + ":" + std::to_string(Pos));
    };
    MouseInput(WM_LBUTTONDOWN, At(s, 17 + 5, 8));
    Pump();  // the bar holds the mouse from here
    MouseInput(WM_MOUSEMOVE, At(s, 17 + 5 + 48, 8));
    Pump();
    MouseInput(WM_MOUSEMOVE, At(s, 17 + 5 + 97, 8));
    MouseInput(WM_MOUSEMOVE, At(s, 17 + 5 + 300, 8));
    MouseInput(WM_LBUTTONUP, At(s, 17 + 5 + 300, 8));
    Pump();
    EXPECT_EQ(s->Position(), 81) << "as far as the page allows";
    const auto track = std::to_string(int(TScrollCode::scTrack));
    EXPECT_EQ(codes, (std::vector<std::string>{track + ":40", track + ":81",
                                               std::to_string(int(TScrollCode::scPosition)) + ":81",
                                               std::to_string(int(TScrollCode::scEndScroll)) + ":81"}));
    // A press beside the thumb pages; on the arrow it moves a line.
    s->SetLargeChange(10);
    Click(s, 17 + 10, 8);
    EXPECT_EQ(s->Position(), 71);
    Click(s, 5, 8);
    EXPECT_EQ(s->Position(), 70);
}

TEST(ScrollBarTest, ScrollCodesMoveWithinTheRangeLessThePage) {
    auto* s = rtl::Create<TScrollBar>(nullptr);
    s->SetParams(0, 0, 100);
    s->SetPageSize(10);
    s->SetLargeChange(30);
    std::vector<int> changes;
    s->OnChange = [&](TObject*) { changes.push_back(s->Position()); };
    s->Scroll(TScrollCode::scLineDown);
    s->Scroll(TScrollCode::scPageDown);
    s->Scroll(TScrollCode::scBottom);
    s->Scroll(TScrollCode::scPageDown);
    s->Scroll(TScrollCode::scTop);
    EXPECT_EQ(changes, (std::vector<int>{1, 31, 91, 0}));
    s->OnScroll = [](TObject*, TScrollCode, int& Pos) { Pos = 50; };
    s->Scroll(TScrollCode::scLineDown);
    EXPECT_EQ(s->Position(), 50);
    EXPECT_THROW(s->SetParams(0, 10, 5), rtl::Exception);
    s->Free();
}

}  // namespace
}  // namespace uitest
