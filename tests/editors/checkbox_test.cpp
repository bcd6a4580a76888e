// The data-aware check box: the state a field's text or Boolean gives through the lists of
// accepted texts, what each state writes back, toggling by mouse and keys, Esc, read-only boxes,
// the unbound value, and painting each state on the recording canvas.
#include <gtest/gtest.h>

#include "controls/editors/DBCtrlsEh_Editors.h"
#include "controls/editors/ToolCtrlsEh_Draw.h"
#include "tests/support/editorform_fixture.h"
#include "framework/ui/Graphics.h"

using namespace editors;
using editorstest::BoundEditorTest;
using rtl::AnsiString;
using rtl::Variant;

namespace {

// flag string(5) as the application stores check boxes ("0"/"1"), ok Boolean.
std::vector<memdstest::TCol> CheckCols() {
    using namespace store;
    return {{u"flag", mdtString, 6, 5}, {u"ok", mdtBoolean, 2}};
}

class CheckBoxTest : public BoundEditorTest<TDBCheckBoxEh> {
protected:
    CheckBoxTest()
        : BoundEditorTest(CheckCols(),
                          {{Variant(AnsiString("1")), Variant(true)}, {Variant::Null(), Variant::Null()}}) {}
    void SetUp() override {
        BoundEditorTest::SetUp();
        CreateEditor("Box")->SetCaption("&Done");
        SetUpForm(Edit, 120, 20);
    }
    void Bind(const char* Name, const char* Checked = nullptr, const char* Unchecked = nullptr) {
        if (Checked) Edit->SetValueChecked(Checked);
        if (Unchecked) Edit->SetValueUnchecked(Unchecked);
        Edit->SetDataSource(Src);
        Edit->SetDataField(Name);
    }
    void SetField(const char* Name, const Variant& V) {
        Data.DS->Edit();
        Data.F(Name)->SetValue(V);
    }
    void Space() {
        ui::KeyPressInput(ui::VK_SPACE, ' ');
        Pump();
    }
    void ClickBox() {
        ui::MouseInput(ui::WM_LBUTTONDOWN, At(Edit, 5, 10));
        Pump();
        ui::MouseInput(ui::WM_LBUTTONUP, At(Edit, 5, 10));
        Pump();
        ui::ResetDoubleClick();
    }
    ui::TRecordingSurface& Rec() { return *static_cast<ui::TRecordingSurface*>(Form->Surface()); }
    void PaintNow() {
        Rec().Clear();
        Edit->Invalidate();
        Edit->Update();
    }
    // What the square part of the box records, as comparable text.
    std::string SquareRecords() {
        std::string out;
        for (const auto& r : Rec().Records())
            if (r.Op != ui::TDrawOp::Text && r.Op != ui::TDrawOp::FocusRect && r.Rect.Width() < 40)
                out += std::to_string(int(r.Op)) + ":" + std::to_string(reinterpret_cast<uintptr_t>(r.Source)) + ";";
        return out;
    }
};

TEST(CheckBoxValueList, EntriesAreTrimmedCaseIgnoredAndATrailingSeparatorHoldsTheEmptyText) {
    struct TCase {
        const char* List;
        const char* Text;
        bool Has;
    } cases[] = {
        {"Yes;Y;1", "yes", true}, {"Yes;Y;1", "1", true}, {" Yes ; Y ", "y", true},
        {"Yes;Y;1", "", false},   {"No;", "", true},      {"", "", false},
        {"", "x", false},         {"1", "10", false},     {"Да;Нет", "", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ValueListHasText(c.List, c.Text), c.Has) << "'" << c.List << "' / '" << c.Text << "'";
    const AnsiString yes = rtl::UTF8ToAnsi(u8"Да;д");
    EXPECT_TRUE(ValueListHasText(yes, rtl::UTF8ToAnsi(u8"ДА"))) << "Cyrillic case folds too";
}

TEST_F(CheckBoxTest, AStringFieldMapsThroughTheListsAndWritesTheirFirstEntries) {
    struct TCase {
        const char* Checked;
        const char* Unchecked;
        Variant Text;
        ui::TCheckBoxState State;
    } cases[] = {
        {"1", "0", Variant(AnsiString("1")), ui::cbChecked},
        {"1", "0", Variant(AnsiString("0")), ui::cbUnchecked},
        {"1", "0", Variant::Null(), ui::cbGrayed},
        {"Yes;Y;1", "No;N;0", Variant(AnsiString("yes")), ui::cbChecked},
        {"Yes;Y;1", "No;", Variant::Null(), ui::cbUnchecked},
        {"", "No", Variant(AnsiString("x")), ui::cbGrayed},
        {"", "No", Variant(AnsiString("no")), ui::cbUnchecked},
    };
    Bind("flag");
    for (const auto& c : cases) {
        Edit->SetValueChecked(c.Checked);
        Edit->SetValueUnchecked(c.Unchecked);
        SetField("flag", c.Text);
        EXPECT_EQ(Edit->State(), c.State) << c.Checked << " / " << c.Unchecked << " / " << rtl::VarToStr(c.Text);
    }
    Data.DS->Cancel();

    Edit->SetValueChecked("Yes;Y;1");
    Edit->SetValueUnchecked(" No ;N;0");
    Edit->SetState(ui::cbUnchecked);
    EXPECT_EQ(Data.F("flag")->AsString(), "No") << "the first entry, trimmed";
    Edit->SetChecked(true);
    EXPECT_EQ(Data.F("flag")->AsString(), "Yes");
    Edit->SetState(ui::cbGrayed);
    EXPECT_TRUE(Data.F("flag")->IsNull()) << "grayed clears the field";
}

TEST_F(CheckBoxTest, ABooleanFieldIsReadByTextWithCustomListsButAlwaysWrittenAsBoolean) {
    Bind("ok");
    EXPECT_EQ(Edit->State(), ui::cbChecked);
    Data.DS->Next();
    EXPECT_EQ(Edit->State(), ui::cbGrayed) << "Null with the default lists";
    Data.DS->First();

    Edit->SetValueChecked("Y");
    Edit->SetValueUnchecked("N");
    EXPECT_EQ(Edit->State(), ui::cbGrayed) << "the text True is in neither custom list";
    Edit->SetValueChecked("True");
    Edit->SetValueUnchecked("F;False");
    EXPECT_EQ(Edit->State(), ui::cbChecked);
    Edit->SetChecked(false);
    EXPECT_FALSE(Data.F("ok")->IsNull());
    EXPECT_FALSE(Data.F("ok")->AsBoolean()) << "written as a Boolean, not as the text F";
}

TEST_F(CheckBoxTest, ClicksAndSpaceCycleTheStatesAndTheFieldIsWrittenOnLeaving) {
    struct TCase {
        bool AllowGrayed;
        std::vector<ui::TCheckBoxState> After;
    } cases[] = {
        {false, {ui::cbUnchecked, ui::cbChecked, ui::cbUnchecked}},
        {true, {ui::cbUnchecked, ui::cbGrayed, ui::cbChecked, ui::cbUnchecked}},
    };
    Bind("flag", "1", "0");
    for (const auto& c : cases) {
        Edit->SetAllowGrayed(c.AllowGrayed);
        Focus(Edit);
        std::vector<ui::TCheckBoxState> seen;
        for (size_t i = 0; i < c.After.size(); ++i) {
            i % 2 ? ClickBox() : Space();
            seen.push_back(Edit->State());
        }
        EXPECT_EQ(seen, c.After) << "AllowGrayed " << c.AllowGrayed;
        EXPECT_EQ(Data.F("flag")->AsString(), "1") << "the field waits for the write-back";
        Focus(Other);
        EXPECT_EQ(Data.F("flag")->AsString(), "0");
        Data.DS->Post();
        Edit->SetState(ui::cbChecked);
    }
}

TEST_F(CheckBoxTest, AFirstPressOnlyFocusesWithoutOnClickButStillToggles) {
    Bind("flag", "1", "0");
    int clicks = 0;
    Edit->OnClick = [&](rtl::TObject*) { ++clicks; };
    ClickBox();
    EXPECT_TRUE(Edit->Focused());
    EXPECT_EQ(Edit->State(), ui::cbUnchecked);
    EXPECT_EQ(clicks, 1) << "one state change, one OnClick";
}

TEST_F(CheckBoxTest, EscAfterAChangeRestoresTheFieldsStateAndTheFormDoesNotGetIt) {
    Bind("flag", "1", "0");
    auto* cancel = rtl::Create<ui::TButton>(Form);
    cancel->SetParent(Form);
    cancel->SetBounds(200, 10, 60, 24);
    cancel->SetCancel(true);
    int cancels = 0;
    cancel->OnClick = [&](rtl::TObject*) { ++cancels; };
    Focus(Edit);
    Space();
    ASSERT_EQ(Edit->State(), ui::cbUnchecked);
    EXPECT_TRUE(Edit->StateChanged());
    ui::KeyPressInput(ui::VK_ESCAPE, '\x1B');
    Pump();
    EXPECT_EQ(Edit->State(), ui::cbChecked);
    EXPECT_EQ(cancels, 0);
    ui::KeyPressInput(ui::VK_ESCAPE, '\x1B');
    Pump();
    EXPECT_EQ(cancels, 1) << "with nothing changed Esc is the form's again";
}

TEST_F(CheckBoxTest, AReadOnlyBoxIgnoresClicksAndKeysAndLeavesTheDatasetBrowsing) {
    Bind("flag", "1", "0");
    Edit->SetReadOnly(true);
    Focus(Edit);
    Space();
    ClickBox();
    EXPECT_EQ(Edit->State(), ui::cbChecked);
    EXPECT_EQ(Data.DS->State(), db::dsBrowse);
}

TEST_F(CheckBoxTest, AnUnboundBoxKeepsABooleanAndGrayedIsNull) {
    EXPECT_EQ(Edit->State(), ui::cbUnchecked);
    EXPECT_EQ(Edit->DataLink()->UnboundValue(), Variant(false));
    Edit->SetState(ui::cbGrayed);
    EXPECT_TRUE(Edit->DataLink()->UnboundValue().IsNull());
    Edit->SetChecked(true);
    EXPECT_EQ(Edit->DataLink()->UnboundValue(), Variant(true));
    Focus(Edit);
    Space();
    Focus(Other);
    EXPECT_EQ(Edit->DataLink()->UnboundValue(), Variant(false)) << "a toggle is stored on leaving";
}

TEST_F(CheckBoxTest, WritesWithoutADataSourceOrFailingWritesLeaveTheStateAsTheDataHasIt) {
    Edit->SetDataField("flag");
    EXPECT_EQ(reinterpret_cast<TFieldDataLinkEh*>(Edit->Perform(ui::CM_GETDATALINK)), Edit->DataLink());
    EXPECT_THROW(Edit->SetChecked(true), db::EDatabaseError);
    EXPECT_EQ(Edit->State(), ui::cbUnchecked);

    Bind("flag", "1", "0");
    Edit->OnUpdateData = [](rtl::TObject*, bool&) { throw rtl::Exception("refused"); };
    EXPECT_THROW(Edit->SetChecked(false), rtl::Exception);
    EXPECT_EQ(Edit->State(), ui::cbChecked);
    EXPECT_EQ(Data.F("flag")->AsString(), "1");
}

TEST_F(CheckBoxTest, EachStatePaintsItsOwnFaceAndTheFocusRectangleOnlyWhenFocused) {
    Bind("flag", "1", "0");
    std::vector<std::string> faces;
    for (auto s : {ui::cbUnchecked, ui::cbChecked, ui::cbGrayed}) {
        Edit->SetState(s);
        PaintNow();
        faces.push_back(SquareRecords());
        EXPECT_FALSE(faces.back().empty());
        EXPECT_TRUE(Rec().OfKind(ui::TDrawOp::FocusRect).empty());
    }
    EXPECT_NE(faces[0], faces[1]);
    EXPECT_NE(faces[1], faces[2]);
    EXPECT_NE(faces[0], faces[2]);

    Focus(Edit);
    PaintNow();
    const auto texts = Rec().OfKind(ui::TDrawOp::Text);
    ASSERT_EQ(texts.size(), 1u);
    EXPECT_EQ(texts[0]->Text, "Done");
    const auto focus = Rec().OfKind(ui::TDrawOp::FocusRect);
    ASSERT_EQ(focus.size(), 1u);
    EXPECT_EQ(focus[0]->Rect.Left, texts[0]->Rect.Left - 1) << "the caption grown by a pixel";
}

TEST_F(CheckBoxTest, TheCaptionSitsBesideTheSquareOnTheAlignedSideAndIsEmbossedWhenDisabled) {
    ui::TPoint origin;
    ui::TRegion clip;
    Edit->PaintSurface(origin, clip);
    PaintNow();
    auto texts = Rec().OfKind(ui::TDrawOp::Text);
    ASSERT_EQ(texts.size(), 1u);
    EXPECT_GE(texts[0]->Rect.Left - origin.X, CheckBoxWidth() + 5);

    Edit->SetAlignment(ui::TLeftRight::taLeftJustify);
    PaintNow();
    texts = Rec().OfKind(ui::TDrawOp::Text);
    ASSERT_EQ(texts.size(), 1u);
    EXPECT_EQ(texts[0]->Rect.Left - origin.X, 0);

    Edit->SetAlignment(ui::TLeftRight::taRightJustify);
    Edit->SetEnabled(false);
    PaintNow();
    texts = Rec().OfKind(ui::TDrawOp::Text);
    ASSERT_EQ(texts.size(), 2u);
    EXPECT_EQ(texts[0]->Rect.Left, texts[1]->Rect.Left + 1) << "the light copy one pixel right and down";
    EXPECT_NE(texts[0]->Color, texts[1]->Color);
}

}  // namespace
