#include <gtest/gtest.h>

#include "framework/ui/Themes.h"

using namespace ui;

namespace {

struct ThemeFixture : ::testing::Test {
    TMemorySurface surface{30, 30};
    TCanvas canvas{&surface};
    TThemeServices& themes = ThemeServices();

    TColor At(int x, int y) { return surface.GetPixel(x, y); }
    void Draw(TThemedElementDetails d, TRect r) {
        surface.SetSize(0, 0);
        surface.SetSize(30, 30);
        themes.DrawElement(&canvas, d, r);
    }
};

}  // namespace

TEST(ThemeState, DetailsMapToTheirStates) {
    struct Case {
        TThemedElementDetails details;
        TThemeState state;
    };
    const Case cases[] = {
        {TThemeServices::GetElementDetails(tbPushButtonNormal), TThemeState::Normal},
        {TThemeServices::GetElementDetails(tbPushButtonDefaulted), TThemeState::Defaulted},
        {TThemeServices::GetElementDetails(tbCheckBoxCheckedHot), TThemeState::Hot},
        {TThemeServices::GetElementDetails(tbCheckBoxMixedDisabled), TThemeState::Disabled},
        {TThemeServices::GetElementDetails(tbRadioButtonUncheckedPressed), TThemeState::Pressed},
        {TThemeServices::GetElementDetails(tcDropDownButtonPressed), TThemeState::Pressed},
        {TThemeServices::GetElementDetails(thHeaderItemRightHot), TThemeState::Hot},
        {TThemeServices::GetElementDetails(tsArrowBtnLeftDisabled), TThemeState::Disabled},
        {TThemeServices::GetElementDetails(tsThumbBtnVertHot), TThemeState::Hot},
        {TThemeServices::GetElementDetails(tsDownPressed), TThemeState::Pressed},
        {TThemeServices::GetElementDetails(ttbButtonCheckedHot), TThemeState::CheckedHot},
    };
    for (const Case& c : cases)
        EXPECT_EQ(TThemeServices::StateOf(c.details), c.state) << int(c.details.Element) << "/" << c.details.Part;
}

TEST_F(ThemeFixture, PushButtonStatesLookDifferent) {
    std::vector<TColor> fills, borders;
    for (TThemedButton b : {tbPushButtonNormal, tbPushButtonHot, tbPushButtonPressed, tbPushButtonDisabled}) {
        Draw(TThemeServices::GetElementDetails(b), Rect(0, 0, 20, 10));
        fills.push_back(At(10, 5));
        borders.push_back(At(0, 0));
        EXPECT_EQ(At(20, 5), clWhite) << "nothing outside the rectangle";
    }
    for (size_t i = 0; i < fills.size(); ++i)
        for (size_t j = i + 1; j < fills.size(); ++j) {
            EXPECT_NE(fills[i], fills[j]) << i << " vs " << j;
            EXPECT_NE(borders[i], borders[j]) << i << " vs " << j;
        }
    Draw(TThemeServices::GetElementDetails(tbPushButtonDefaulted), Rect(0, 0, 20, 10));
    EXPECT_EQ(At(1, 1), At(0, 0)) << "a default button has a two-pixel frame";
}

TEST_F(ThemeFixture, CheckBoxIsACentredSquareWithItsMark) {
    // A 13x13 box centred in 21x21 starts at (4, 4); the cell around it stays untouched.
    Draw(TThemeServices::GetElementDetails(tbCheckBoxUncheckedNormal), Rect(0, 0, 21, 21));
    const TColor border = At(4, 4);
    EXPECT_NE(border, clWhite);
    EXPECT_EQ(At(3, 10), clWhite);
    EXPECT_EQ(At(16, 16), border);
    EXPECT_EQ(At(17, 17), clWhite);
    int marks = 0;
    for (int y = 5; y < 16; ++y)
        for (int x = 5; x < 16; ++x) marks += At(x, y) == border;
    EXPECT_EQ(marks, 0);

    Draw(TThemeServices::GetElementDetails(tbCheckBoxCheckedNormal), Rect(0, 0, 21, 21));
    marks = 0;
    for (int y = 5; y < 16; ++y)
        for (int x = 5; x < 16; ++x) marks += At(x, y) == border;
    EXPECT_GT(marks, 8);

    Draw(TThemeServices::GetElementDetails(tbCheckBoxMixedNormal), Rect(0, 0, 21, 21));
    EXPECT_EQ(At(10, 10), border) << "the mixed state fills the middle";
    EXPECT_TRUE(themes.HasTransparentParts(TThemeServices::GetElementDetails(tbCheckBoxMixedNormal)));
    EXPECT_FALSE(themes.HasTransparentParts(TThemeServices::GetElementDetails(tbPushButtonNormal)));
}

TEST_F(ThemeFixture, ArrowsPointTheirWayAndPressedInverts) {
    auto rowWidth = [&](int y, TColor c) {
        int n = 0;
        for (int x = 0; x < 17; ++x) n += At(x, y) == c;
        return n;
    };
    Draw(TThemeServices::GetElementDetails(tsArrowBtnUpNormal), Rect(0, 0, 17, 17));
    const TColor back = At(0, 0);
    std::vector<int> widths;
    for (int y = 0; y < 17; ++y) {
        int w = 17 - rowWidth(y, back);
        if (w > 0) widths.push_back(w);
    }
    ASSERT_GE(widths.size(), 2u);
    EXPECT_LT(widths.front(), widths.back()) << "an up arrow widens downwards";

    Draw(TThemeServices::GetElementDetails(tsArrowBtnUpPressed), Rect(0, 0, 17, 17));
    EXPECT_NE(At(0, 0), back);
    Draw(TThemeServices::GetElementDetails(tcDropDownButtonHot), Rect(0, 0, 17, 17));
    EXPECT_NE(At(0, 0), At(1, 1)) << "a hot drop-down button is framed";
}

TEST_F(ThemeFixture, ClipAndCanvasStateAreRespected) {
    canvas.Pen()->SetColor(clRed);
    canvas.Brush()->SetColor(clLime);
    TRect clip = Rect(0, 0, 10, 30);
    themes.DrawElement(&canvas, TThemeServices::GetElementDetails(thHeaderItemNormal), Rect(0, 0, 20, 20), &clip);
    themes.DrawElement(&canvas, TThemeServices::GetElementDetails(tbRadioButtonCheckedNormal), Rect(0, 20, 10, 30));
    EXPECT_EQ(At(15, 5), clWhite);
    EXPECT_EQ(At(9, 19), static_cast<TColor>(RGB(229, 229, 229))) << "bottom line inside the clip";
    EXPECT_EQ(canvas.Pen()->Color(), clRed);
    EXPECT_EQ(canvas.Brush()->Color(), clLime);
    EXPECT_FALSE(canvas.HasClipRgn());

    // A don't-care detail paints nothing.
    surface.SetSize(0, 0);
    surface.SetSize(30, 30);
    themes.DrawElement(&canvas, TThemeServices::GetElementDetails(tbButtonDontCare), Rect(0, 0, 20, 20));
    EXPECT_EQ(At(5, 5), clWhite);
}

TEST_F(ThemeFixture, TextUsesTheStateColourAndSwitchingNotifies) {
    TRecordingSurface rec(100, 30);
    TCanvas c(&rec);
    themes.DrawText(&c, TThemeServices::GetElementDetails(tbPushButtonDisabled), "OK", Rect(0, 0, 100, 30),
                    DT_SINGLELINE | DT_CENTER | DT_VCENTER);
    ASSERT_EQ(rec.Texts(), std::vector<std::string>{"OK"});
    EXPECT_EQ(rec.Records()[0].Color, themes.TextColor(TThemeServices::GetElementDetails(tbPushButtonDisabled)));
    EXPECT_EQ(rec.Records()[0].Background, clNone);
    EXPECT_EQ(c.GetBkMode(), OPAQUE) << "the canvas state comes back";

    int changes = 0;
    themes.OnThemeChange = [&](rtl::TObject*) { ++changes; };
    themes.SetThemesEnabled(false);
    themes.SetThemesEnabled(false);
    EXPECT_FALSE(themes.ThemesEnabled());
    themes.SetThemesEnabled(true);
    themes.OnThemeChange = nullptr;
    EXPECT_EQ(changes, 2);
    EXPECT_EQ(themes.ContentRect(&c, TThemeServices::GetElementDetails(tbPushButtonNormal), Rect(0, 0, 20, 20)),
              Rect(3, 3, 17, 17));
}
