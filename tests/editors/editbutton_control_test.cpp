// The edit-button control under the mouse and the driven clock.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "controls/editors/ToolCtrlsEh_Buttons.h"
#include "controls/editors/ToolCtrlsEh_Draw.h"
#include "tests/support/ui_fixture.h"

namespace {

using namespace editors;

class EditButtonControl : public uitest::UiTest {
protected:
    void SetUp() override {
        UiTest::SetUp();
        Button = rtl::Create<TEditButtonControlEh>(Form);
        Button->SetBounds(10, 10, 10, 17);
        Button->SetParent(Form);
        Button->SetOnDown([this](rtl::TObject* Sender, bool Top, bool& AutoRepeat, bool&) {
            EXPECT_EQ(Sender, Button);
            Downs.push_back(Top ? "top" : "bottom");
            if (StopAfter > 0 && static_cast<int>(Downs.size()) >= StopAfter) AutoRepeat = false;
            if (ForceRepeat) AutoRepeat = true;
        });
        Button->OnClick = [this](rtl::TObject*) { ++Clicks; };
        Form->Show();
        Pump();
    }
    void Press(int Y) {
        ui::MouseInput(ui::WM_LBUTTONDOWN, At(Button, 5, Y));
        Pump();
    }
    void MoveTo(int Y) {
        ui::MouseInput(ui::WM_MOUSEMOVE, At(Button, 5, Y));
        Pump();
    }
    void Release(int Y) {
        ui::MouseInput(ui::WM_LBUTTONUP, At(Button, 5, Y));
        Pump();
    }
    void Wait(int Ms) {
        Clock.Advance(Ms);
        Pump();
    }

    TEditButtonControlEh* Button = nullptr;
    std::vector<std::string> Downs;
    int Clicks = 0;
    int StopAfter = 0;
    bool ForceRepeat = false;
};

using Strings = std::vector<std::string>;

TEST_F(EditButtonControl, UpDownRepeatsAfter400MsThenEvery100MsUntilReleased) {
    Button->SetStyle(ebsUpDownEh);
    Press(2);
    EXPECT_EQ(Button->PressedPart(), 1);
    EXPECT_EQ(Downs, Strings{"top"}) << "the first step comes with the press";
    Wait(399);
    EXPECT_EQ(Downs.size(), 1u);
    Wait(1);
    EXPECT_EQ(Downs.size(), 2u);
    Wait(99);
    EXPECT_EQ(Downs.size(), 2u);
    Wait(1);
    Wait(100);
    EXPECT_EQ(Downs, (Strings{"top", "top", "top", "top"}));
    Release(2);
    EXPECT_EQ(Clicks, 1);
    EXPECT_EQ(Button->PressedPart(), 0);
    Wait(1000);
    EXPECT_EQ(Downs.size(), 4u) << "the release stops the timer";
}

TEST_F(EditButtonControl, HalvesOfAnUpDownButton) {
    Button->SetStyle(ebsUpDownEh);
    // Height 17: rows 0..7 are the upper half, 10..16 the lower; rows 8 and 9 belong to neither.
    struct Case {
        int Y;
        int Part;
        Strings Downs;
    };
    for (const Case& c :
         {Case{7, 1, {"top"}}, Case{8, 0, {}}, Case{9, 0, {}}, Case{10, 2, {"bottom"}}, Case{16, 2, {"bottom"}}}) {
        Downs.clear();
        Press(c.Y);
        EXPECT_EQ(Button->PressedPart(), c.Part) << c.Y;
        EXPECT_EQ(Downs, c.Downs) << c.Y;
        Wait(400);
        EXPECT_EQ(Downs.size(), c.Downs.empty() ? 0u : 2u) << "no repeat without a part, row " << c.Y;
        Release(c.Y);
    }
}

// The control paints the face its state calls for: its style's drawing style, the pressed half,
// flat and active, enabled, over the parent's colour; a glyph button keeps the speed button's face.
TEST_F(EditButtonControl, PaintsTheFaceOfItsStyleAndState) {
    const int w = Button->Width(), h = Button->Height();
    Form->SetColor(ui::TColor(0x00204060));
    auto paintedMatches = [&](int DownPart) {
        ui::TBitmap viaControl, direct;
        viaControl.SetSize(w, h);
        direct.SetSize(w, h);
        viaControl.Canvas()->FillSolid(ui::TRect{0, 0, w, h}, ui::clWhite);
        direct.Canvas()->FillSolid(ui::TRect{0, 0, w, h}, ui::clWhite);
        Button->PaintTo(viaControl.Canvas(), 0, 0);
        DrawEditButtonFace(direct.Canvas(), ui::Rect(0, 0, w, h), Form->Color(), EditButtonDrawStyle(Button->Style()),
                           DownPart, Button->Flat(), Button->Active(), Button->Enabled(), cbUnchecked);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                if (viaControl.Canvas()->Pixel(x, y) != direct.Canvas()->Pixel(x, y)) return false;
        return true;
    };
    for (TEditButtonStyleEh style : {ebsDropDownEh, ebsEllipsisEh, ebsUpDownEh, ebsPlusEh, ebsMinusEh}) {
        Button->SetStyle(style);
        for (bool flat : {false, true})
            for (bool active : {false, true}) {
                SCOPED_TRACE(std::to_string(static_cast<int>(style)) + (flat ? " flat" : "") +
                             (active ? " active" : ""));
                Button->SetFlat(flat);
                Button->SetActive(active);
                EXPECT_TRUE(paintedMatches(0));
                if (style == ebsUpDownEh) {
                    Press(12);
                    EXPECT_TRUE(paintedMatches(2)) << "the lower half is drawn pressed";
                    EXPECT_FALSE(paintedMatches(1));
                    Release(12);
                    Press(3);
                    EXPECT_TRUE(paintedMatches(1));
                    Release(3);
                } else {
                    Press(5);
                    EXPECT_TRUE(paintedMatches(1));
                    Release(5);
                }
            }
    }
    Button->SetEnabled(false);
    EXPECT_TRUE(paintedMatches(0));
}

TEST_F(EditButtonControl, SlidingOffThePressedHalfStopsTheStepsAndTheClick) {
    Button->SetStyle(ebsUpDownEh);
    Press(14);
    EXPECT_EQ(Downs, Strings{"bottom"});
    MoveTo(3);
    EXPECT_EQ(Button->State(), ui::TButtonState::bsUp);
    Wait(400);
    Wait(100);
    EXPECT_EQ(Downs, Strings{"bottom"}) << "ticks after sliding off do nothing";
    Release(3);
    EXPECT_EQ(Clicks, 0);

    // A move within the pressed half keeps the press.
    Downs.clear();
    Press(2);
    MoveTo(5);
    EXPECT_EQ(Button->State(), ui::TButtonState::bsDown);
    Release(5);
    EXPECT_EQ(Clicks, 1);
}

TEST_F(EditButtonControl, OtherStylesRepeatOnlyWhenTheHandlerAsks) {
    Press(12);
    EXPECT_EQ(Button->PressedPart(), 1) << "the whole button is one part";
    EXPECT_EQ(Downs, Strings{"top"});
    EXPECT_EQ(Button->AutoRepeatTimer(), nullptr);
    Release(12);
    EXPECT_EQ(Clicks, 1);

    Downs.clear();
    ForceRepeat = true;
    Press(12);
    Wait(400);
    EXPECT_EQ(Downs.size(), 2u);
    ForceRepeat = false;
    Wait(100);
    EXPECT_EQ(Downs.size(), 3u);
    Wait(1000);
    EXPECT_EQ(Downs.size(), 3u) << "the handler declined, so the timer stopped";
    Release(12);
}

TEST_F(EditButtonControl, HandlerEndsTheRepeat) {
    Button->SetStyle(ebsUpDownEh);
    StopAfter = 3;
    Press(2);
    Wait(400);
    Wait(100);
    Wait(100);
    Wait(100);
    EXPECT_EQ(Downs.size(), 3u);
    Release(2);
}

TEST_F(EditButtonControl, HeldDownKeepsTheButtonPressedUntilReleased) {
    Button->SetHeldDown(true);
    EXPECT_TRUE(Button->Down());
    EXPECT_EQ(Button->State(), ui::TButtonState::bsExclusive);
    EXPECT_EQ(Button->PressedPart(), 1);
    EXPECT_FALSE(Button->AllowAllUp());
    Button->SetHeldDown(false);
    EXPECT_FALSE(Button->Down());
    EXPECT_EQ(Button->State(), ui::TButtonState::bsUp);
    EXPECT_EQ(Button->GroupIndex(), 0);
    EXPECT_EQ(Button->PressedPart(), 0);
}

}  // namespace

#include "controls/editors/TarnelVCL.h"
#include "framework/ui/StdCtrls.h"

namespace {

using EditorMessages = uitest::UiTest;

TEST_F(EditorMessages, SendGetSelReadsTheEditsSelection) {
    auto* e = rtl::Create<ui::TEdit>(Form);
    e->SetParent(Form);
    e->SetText("abcdef");
    e->SetSelStart(2);
    e->SetSelLength(3);
    int s = -1, f = -1;
    editors::SendGetSel(e->Handle(), s, f);
    EXPECT_EQ(s, 2);
    EXPECT_EQ(f, 5);
}

}  // namespace
