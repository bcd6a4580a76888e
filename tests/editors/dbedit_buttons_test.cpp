// The edit base's buttons, image and painting: the strip's layout and the text area it leaves,
// the main button's drop-down, shortcuts, the owner-drawn text and the required-value line.
#include <gtest/gtest.h>

#include "controls/editors/ToolCtrlsEh_Draw.h"
#include "dbedit_fixture.h"
#include "framework/ui/ActnList.h"

using namespace editorstest;
using namespace editors;

namespace {

// An editor with a drop-down of its own, as the date-time and combo editors have.
class TDropEdit : public TDBEditEh {
    RTL_CLASS(TDropEdit, TDBEditEh)
public:
    using TDBEditEh::TDBEditEh;
    std::vector<std::string> Log;
    TPopupCalculatorEh* Popup = nullptr;
    void DropDown() override {
        TDBEditEh::DropDown();
        Log.push_back("drop");
        if (!Popup) Popup = rtl::Create<TPopupCalculatorEh>(this);
        SetDroppedDown(true);
    }
    void CloseUp(bool Accept) override {
        Log.push_back(Accept ? "close:accept" : "close:cancel");
        SetDroppedDown(false);
        TDBEditEh::CloseUp(Accept);
    }
};

class DBEditButtons : public DBEditTest {
protected:
    void SetUp() override {
        DBEditTest::SetUp();
        Drop = rtl::Create<TDropEdit>(Form);
        Drop->SetName("Drop");
        Drop->SetAutoSize(false);
        Drop->SetBorderStyle(ui::TBorderStyle::bsNone);
        Drop->SetBounds(10, 90, 160, 21);
        Drop->SetParent(Form);
        Pump();
    }
    ui::TRect EditRect(TCustomDBEditEh* E) {
        ui::TRect r;
        E->Perform(ui::EM_GETRECT, 0, reinterpret_cast<ui::LPARAM>(&r));
        return r;
    }
    TEditButtonControlEh* Control(TCustomDBEditEh* E, int I) {
        return E->ButtonControls()[static_cast<size_t>(I)].EditButtonControl;
    }
    ui::TShape* Line(TCustomDBEditEh* E, int I) { return E->ButtonControls()[static_cast<size_t>(I)].ButtonLine; }
    void Click(ui::TControl* C) {
        ui::MouseInput(ui::WM_LBUTTONDOWN, At(C, C->Width() / 2, C->Height() / 2));
        Pump();
        ui::MouseInput(ui::WM_LBUTTONUP, At(C, C->Width() / 2, C->Height() / 2));
        Pump();
        ui::ResetDoubleClick();
    }
    ui::TRecordingSurface& Rec() { return *static_cast<ui::TRecordingSurface*>(Form->Surface()); }
    // Paints the editor now; the records are in surface coordinates, Origin is its client origin.
    void PaintNow(TCustomDBEditEh* E) {
        Rec().Clear();
        E->Invalidate();
        E->Update();
        ui::TRegion clip;
        E->PaintSurface(Origin, clip);
    }
    TDropEdit* Drop = nullptr;
    ui::TPoint Origin;
};

// The common height of the strip: the area's height while it is no more than 1.5 widths,
// otherwise the height for the width.
TEST_F(DBEditButtons, ButtonHeightFollowsTheAreaOrTheWidth) {
    struct TCase {
        int Area;
        bool Flat;
        int Height;
    };
    const TCase cases[] = {{21, false, 21}, {26, false, 26}, {27, false, 17}, {30, false, 17}, {30, true, 26}};
    Drop->EditButtons()->Add()->SetWidth(17);
    for (const TCase& c : cases) {
        Drop->SetFlat(c.Flat);
        Drop->SetHeight(c.Area);
        Pump();
        EXPECT_EQ(Drop->ButtonHeight(), c.Height) << "area " << c.Area << (c.Flat ? " flat" : "");
        EXPECT_EQ(Control(Drop, 1)->Height(), c.Height);
    }
}

TEST_F(DBEditButtons, WithoutAVisibleButtonTheStripIsEmptyAndAsHighAsTheArea) {
    EXPECT_FALSE(Drop->EditButton()->Visible());
    EXPECT_EQ(Drop->ButtonsWidth(), 0);
    EXPECT_EQ(Drop->ButtonHeight(), 21);
    EXPECT_EQ(EditRect(Drop).Right, Drop->ClientWidth()) << "the text takes the whole width";
    Drop->EditButtons()->Add()->SetVisible(false);
    EXPECT_EQ(Drop->ButtonHeight(), 21);
    EXPECT_EQ(Control(Drop, 1)->Width(), 0);
}

// Main button nearest the text, the last collection item at the outer edge; a Flat editor puts a
// one-pixel line left of each visible button; a hidden button takes no room.
TEST_F(DBEditButtons, StripLayoutAndTheTextAreaItLeaves) {
    Drop->SetFlat(true);
    Drop->EditButton()->SetVisible(true);
    Drop->EditButtons()->Add()->SetWidth(15);
    Drop->EditButtons()->Add()->SetVisible(false);
    const int w = Drop->ClientWidth();
    const int fw = FlatButtonWidth();
    EXPECT_EQ(Control(Drop, 2)->Width(), 0);
    EXPECT_FALSE(Line(Drop, 2)->Visible());
    EXPECT_EQ(Control(Drop, 1)->BoundsRect(), ui::Rect(w - 15, 0, w, Drop->ButtonHeight()));
    EXPECT_TRUE(Line(Drop, 1)->Visible());
    EXPECT_EQ(Line(Drop, 1)->BoundsRect(), ui::Rect(w - 16, 0, w - 15, Drop->ButtonHeight()));
    EXPECT_EQ(Control(Drop, 0)->BoundsRect(), ui::Rect(w - 16 - fw, 0, w - 16, Drop->ButtonHeight()));
    EXPECT_EQ(Line(Drop, 0)->BoundsRect(), ui::Rect(w - 17 - fw, 0, w - 16 - fw, Drop->ButtonHeight()));
    EXPECT_EQ(Drop->ButtonsWidth(), 17 + fw);
    EXPECT_EQ(EditRect(Drop), ui::Rect(0, 0, w - 17 - fw, Drop->ClientHeight()));
    for (int i = 0; i < 3; ++i) EXPECT_EQ(Control(Drop, i)->Tag(), i);

    // Not flat: no lines, the scroll-bar width for a button without its own.
    Drop->SetFlat(false);
    EXPECT_FALSE(Line(Drop, 0)->Visible());
    EXPECT_EQ(Control(Drop, 0)->Width(), ui::GetSystemMetrics(ui::SM_CXVSCROLL));
    EXPECT_EQ(Drop->ButtonsWidth(), 15 + ui::GetSystemMetrics(ui::SM_CXVSCROLL));

    // Removing a collection item frees its control.
    Drop->EditButtons()->Delete(1);
    EXPECT_EQ(Drop->ButtonControls().size(), 2u);
}

TEST_F(DBEditButtons, PressingTheMainButtonTwiceOpensThenClosesWithoutAccepting) {
    Drop->EditButton()->SetVisible(true);
    TEditButtonControlEh* main = Control(Drop, 0);
    Click(main);
    EXPECT_EQ(Drop->Log, std::vector<std::string>{"drop"});
    EXPECT_TRUE(Drop->DroppedDown());
    EXPECT_TRUE(main->HeldDown()) << "the button stays down while the drop-down is open";
    EXPECT_EQ(ui::GetFocus(), Drop->Handle()) << "the press focuses the editor";
    Click(main);
    EXPECT_EQ(Drop->Log, (std::vector<std::string>{"drop", "close:cancel"}));
    EXPECT_FALSE(Drop->DroppedDown());
    EXPECT_FALSE(main->HeldDown());
}

TEST_F(DBEditButtons, OnButtonClickMayHandleTheClickAndOnButtonDownTheDropDown) {
    Drop->EditButton()->SetVisible(true);
    bool handleDown = true;
    int clicks = 0;
    Drop->OnButtonDown = [&](rtl::TObject* Sender, bool, bool&, bool& Handled) {
        EXPECT_EQ(Sender, Drop);
        Handled = handleDown;
    };
    Drop->OnButtonClick = [&](rtl::TObject*, bool& Handled) {
        ++clicks;
        Handled = true;
    };
    Click(Control(Drop, 0));
    EXPECT_TRUE(Drop->Log.empty()) << "a handled press opens nothing";
    EXPECT_EQ(clicks, 1);
    handleDown = false;
    Click(Control(Drop, 0));
    Click(Control(Drop, 0));
    EXPECT_EQ(Drop->Log, std::vector<std::string>{"drop"}) << "a handled click does not close";
}

// The drop-down closes through the host interface the editor offers its drop-downs.
TEST_F(DBEditButtons, ShortcutsPressButtonsAndTheDropDownClosesThroughTheEditor) {
    Drop->EditButton()->SetVisible(true);
    Drop->EditButton()->SetShortCut(AltDownShortCut);
    int itemClicks = 0;
    TEditButtonEh* item = Drop->EditButtons()->Add();
    item->SetShortCut(ui::VK_F4);
    item->OnClick = [&](rtl::TObject*, bool& Handled) {
        ++itemClicks;
        Handled = true;
    };
    Drop->SetFocus();
    Pump();
    ui::KeyInput(ui::VK_MENU, true);
    ui::KeyPressInput(ui::VK_DOWN);
    ui::KeyInput(ui::VK_MENU, false);
    Pump();
    EXPECT_EQ(Drop->Log, std::vector<std::string>{"drop"});
    ASSERT_NE(Drop->Popup, nullptr);
    Drop->Popup->Perform(ui::WM_KEYDOWN, ui::VK_ESCAPE);
    EXPECT_EQ(Drop->Log.back(), "close:cancel");
    EXPECT_FALSE(Control(Drop, 0)->HeldDown());

    Key(ui::VK_F4);
    EXPECT_EQ(itemClicks, 1);
    EXPECT_EQ(Drop->Log.size(), 2u) << "the item's shortcut does not open the drop-down";

    ui::KeyInput(ui::VK_MENU, true);
    ui::KeyPressInput(ui::VK_DOWN);
    ui::KeyInput(ui::VK_MENU, false);
    Pump();
    Drop->Popup->ProcessKey('=');
    Drop->Popup->ProcessKey('\r');
    EXPECT_EQ(Drop->Log.back(), "close:accept");
}

TEST_F(DBEditButtons, ImageTakesTheLeftOfTheTextAndPaintsItsIndex) {
    rtl::TOwnedPtr<ui::TCustomImageList> images(ui::TCustomImageList::CreateSize(16, 24));
    ui::TBitmap bmp;
    bmp.SetSize(16, 24);
    for (int i = 0; i < 3; ++i) images->Add(&bmp, nullptr);
    Drop->SetAutoSize(true);
    Drop->SetBorderStyle(ui::TBorderStyle::bsSingle);
    Drop->SetImages(images.get());
    Drop->HandleNeeded();
    EXPECT_EQ(Drop->ImageWidth(), 20);
    EXPECT_EQ(EditRect(Drop).Left, 20);
    EXPECT_EQ(Drop->Height(), 24 + 8) << "the taller image sets the height";
    Drop->SetOnGetImageIndex([](rtl::TObject*, int& Index) { Index = 2; });
    EXPECT_EQ(Drop->EditImage()->ImageIndex(), 2);
    PaintNow(Drop);
    const auto blits = Rec().OfKind(ui::TDrawOp::Blit);
    ASSERT_FALSE(blits.empty());
    const ui::TRect r = blits.back()->Rect;
    EXPECT_EQ(r.Left - Origin.X, 2) << "centred in the image area inset by 2";
    EXPECT_EQ(r.Width(), 16);

    images.reset();
    EXPECT_EQ(Drop->Images(), nullptr) << "a freed list is forgotten";
    EXPECT_EQ(Drop->ImageWidth(), 0);
}

// Right or centred text is drawn by the control while it is not focused; focused, the edit
// shows it from the left.
TEST_F(DBEditButtons, AlignedTextIsOwnerDrawnUntilFocused) {
    F("id")->SetAlignment(db::taRightJustify);
    Drop->SetDataSource(Src);
    Drop->SetDataField("id");
    Drop->EditButton()->SetVisible(true);
    PaintNow(Drop);
    auto texts = Rec().OfKind(ui::TDrawOp::Text);
    ASSERT_EQ(texts.size(), 1u);
    const int tw = Drop->MeasureTextExtent("10").cx;
    const int right = Drop->ClientWidth() - Drop->ButtonsWidth() - 1;
    EXPECT_EQ(texts[0]->Rect.Left - Origin.X, right - tw - 1) << "right edge less the margin";

    Drop->SetAlignment(ui::TAlignment::taCenter);
    PaintNow(Drop);
    texts = Rec().OfKind(ui::TDrawOp::Text);
    ASSERT_EQ(texts.size(), 1u);
    EXPECT_EQ(texts[0]->Rect.Left - Origin.X, (right - tw) / 2);

    Drop->SetFocus();
    Pump();
    PaintNow(Drop);
    texts = Rec().OfKind(ui::TDrawOp::Text);
    ASSERT_FALSE(texts.empty());
    EXPECT_EQ(texts[0]->Rect.Left - Origin.X, EditRect(Drop).Left) << "the edit shows it from the left";
}

TEST_F(DBEditButtons, ARequiredNullFieldOfAnInsertedRecordShowsTheRedLine) {
    F("note")->SetRequired(true);
    Drop->SetDataSource(Src);
    Drop->SetDataField("note");
    Drop->SetHighlightRequired(true);
    auto redLines = [&] {
        std::vector<const ui::TDrawRecord*> out;
        for (const ui::TDrawRecord* r : Rec().OfKind(ui::TDrawOp::PolyPolyline))
            if (r->Pen.Color == ui::clRed && r->Pen.Style == ui::psDot) out.push_back(r);
        return out;
    };
    PaintNow(Drop);
    EXPECT_TRUE(redLines().empty()) << "a browsing dataset shows none";

    Data.DS->Insert();
    PaintNow(Drop);
    auto lines = redLines();
    ASSERT_EQ(lines.size(), 1u) << "shown without the focus";
    const int y = Drop->ClientHeight() - 1 + Origin.Y;
    EXPECT_EQ(lines[0]->Points.front(), ui::Point(Origin.X + 2, y));
    EXPECT_EQ(lines[0]->Points.back(), ui::Point(Origin.X + Drop->ClientWidth() - Drop->ButtonsWidth() - 3, y));

    bool veto = false;
    Drop->OnCheckDrawRequiredState = [&](rtl::TObject*, bool& Draw) {
        if (veto) Draw = false;
    };
    veto = true;
    PaintNow(Drop);
    EXPECT_TRUE(redLines().empty());
    veto = false;
    F("note")->SetAsString("v");
    PaintNow(Drop);
    EXPECT_TRUE(redLines().empty()) << "a value ends it";
}

}  // namespace
