// Colours, colour helpers, edges and frame controls.
#include <gtest/gtest.h>

#include "framework/ui/Graphics.h"

using namespace ui;

TEST(Colors, SystemColoursResolveThroughTheTable) {
    EXPECT_EQ(ColorToRGB(clWindow), GetSysColor(COLOR_WINDOW));
    EXPECT_EQ(ColorToRGB(clRed), 0x0000FFu);
    EXPECT_EQ(ColorToRGB(clNone), 0u);
    EXPECT_TRUE(IsSysColor(clBtnFace));
    EXPECT_FALSE(IsSysColor(clWhite));
    EXPECT_EQ(GetSysColor(-1), 0u);
    EXPECT_EQ(GetSysColor(SysColorCount), 0u);

    SetSysColor(COLOR_BTNFACE, RGB(1, 2, 3));
    EXPECT_EQ(ColorToRGB(clBtnFace), RGB(1, 2, 3));
    ResetSysColors();
    EXPECT_NE(ColorToRGB(clBtnFace), RGB(1, 2, 3));
}

TEST(Colors, MixBrightenAndImageListValues) {
    struct Mix {
        TColor a, b;
        int percent;
        TColor expected;
    };
    const Mix mixes[] = {
        {clBlack, clWhite, 50, static_cast<TColor>(RGB(128, 128, 128))},  // 127.5 rounds to even
        {clBlack, clWhite, 0, clBlack},
        {clBlack, clWhite, 100, clWhite},
        {clRed, clBlue, 50, static_cast<TColor>(RGB(128, 0, 128))},
        {clBlack, clWhite, 150, clWhite},  // clamped
    };
    for (const Mix& m : mixes) EXPECT_EQ(MixColors(m.a, m.b, m.percent), m.expected) << m.percent;

    EXPECT_EQ(BrightenColor(0x000000, 8), 0x000000);
    EXPECT_EQ(BrightenColor(0x404040, 8), 0x484848);
    EXPECT_EQ(BrightenColor(0xF0F0F0, 8), 0xFFFFFF);
    EXPECT_EQ(BrightenColor(0x404040, 0), 0x404040) << "a zero divisor leaves the colour";

    EXPECT_EQ(ColorToImageListColor(clNone), CLR_NONE);
    EXPECT_EQ(ColorToImageListColor(clDefault), CLR_DEFAULT);
    EXPECT_EQ(ColorToImageListColor(clHighlight), GetSysColor(COLOR_HIGHLIGHT));
}

TEST(Colors, NamesRoundTripAndBadTextIsRefused) {
    for (TColor c : {clRed, clBtnFace, clNone, clDefault, static_cast<TColor>(0x123456)})
        EXPECT_EQ(StringToColor(ColorToString(c)), c) << ColorToString(c);
    EXPECT_EQ(ColorToString(0x123456), "$00123456");
    EXPECT_EQ(StringToColor("CLRED"), clRed);
    EXPECT_EQ(StringToColor("255"), clRed);
    EXPECT_EQ(StringToColor("-16777201"), clBtnFace);
    for (const char* bad : {"", "$", "$123456789", "clNoSuch", "12a", "99999999999"})
        EXPECT_THROW(StringToColor(bad), rtl::EConvertError) << bad;
}

namespace {

struct Frames : ::testing::Test {
    TMemorySurface surface{20, 20};
    TCanvas canvas{&surface};
    TColor Sys(int index) { return static_cast<TColor>(GetSysColor(index)); }
    TColor At(int x, int y) { return surface.GetPixel(x, y); }
};

}  // namespace

TEST_F(Frames, RaisedAndSunkenEdgesUseTheirSystemColours) {
    TRect r = Rect(0, 0, 10, 10);
    DrawEdge(&canvas, r, EDGE_RAISED, BF_RECT | BF_ADJUST | BF_MIDDLE);
    EXPECT_EQ(r, Rect(2, 2, 8, 8));
    EXPECT_EQ(At(0, 0), Sys(COLOR_3DLIGHT));
    EXPECT_EQ(At(1, 1), Sys(COLOR_BTNHIGHLIGHT));
    EXPECT_EQ(At(9, 9), Sys(COLOR_3DDKSHADOW));
    EXPECT_EQ(At(8, 8), Sys(COLOR_BTNSHADOW));
    EXPECT_EQ(At(9, 0), Sys(COLOR_3DDKSHADOW)) << "the far side takes the corner";
    EXPECT_EQ(At(5, 5), Sys(COLOR_BTNFACE));

    r = Rect(10, 10, 20, 20);
    DrawEdge(&canvas, r, BDR_SUNKENOUTER, BF_TOPLEFT);
    EXPECT_EQ(r, Rect(10, 10, 20, 20)) << "no BF_ADJUST, no change";
    EXPECT_EQ(At(10, 15), Sys(COLOR_BTNSHADOW));
    EXPECT_EQ(At(15, 10), Sys(COLOR_BTNSHADOW));
    EXPECT_EQ(At(19, 15), clWhite);
}

TEST_F(Frames, CheckBoxStates) {
    struct Case {
        const char* name;
        unsigned state;
        TColor background;  // inside the box, away from the mark
        TColor mark;        // clNone: no mark
    };
    const Case cases[] = {
        {"unchecked", DFCS_BUTTONCHECK, clWindow, clNone},
        {"checked", DFCS_BUTTONCHECK | DFCS_CHECKED, clWindow, clWindowText},
        {"grayed", DFCS_BUTTONCHECK | DFCS_BUTTON3STATE | DFCS_CHECKED, clBtnFace, clBtnShadow},
        {"disabled checked", DFCS_BUTTONCHECK | DFCS_CHECKED | DFCS_INACTIVE, clBtnFace, clGrayText},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        surface.SetSize(0, 0);
        surface.SetSize(20, 20);
        ASSERT_TRUE(DrawFrameControl(&canvas, Rect(0, 0, 13, 13), DFC_BUTTON, c.state));
        EXPECT_EQ(At(0, 0), Sys(COLOR_BTNSHADOW));
        EXPECT_EQ(At(3, 2), static_cast<TColor>(ColorToRGB(c.background)));
        int marked = 0;
        for (int y = 2; y < 11; ++y)
            for (int x = 2; x < 11; ++x)
                if (c.mark != clNone && At(x, y) == static_cast<TColor>(ColorToRGB(c.mark))) ++marked;
        if (c.mark != clNone) {
            EXPECT_GE(marked, 15);
        }
        EXPECT_EQ(At(13, 6), clWhite) << "nothing outside the rectangle";
    }
}

TEST_F(Frames, ScrollArrowIsCentredAndPointsTheRightWay) {
    ASSERT_TRUE(DrawFrameControl(&canvas, Rect(0, 0, 17, 17), DFC_SCROLL, DFCS_SCROLLDOWN));
    const TColor text = Sys(COLOR_BTNTEXT);
    int top = -1, bottom = -1, topWidth = 0, bottomWidth = 0;
    for (int y = 0; y < 17; ++y) {
        int w = 0;
        for (int x = 0; x < 17; ++x) w += At(x, y) == text ? 1 : 0;
        if (w == 0) continue;
        if (top < 0) {
            top = y;
            topWidth = w;
        }
        bottom = y;
        bottomWidth = w;
    }
    ASSERT_GE(top, 0);
    EXPECT_GT(topWidth, bottomWidth) << "a down arrow narrows downwards";
    EXPECT_EQ(bottomWidth, 1);
    EXPECT_EQ(At(8, bottom), text) << "the tip is on the centre column";
    EXPECT_NEAR(top + bottom, 16, 2);
    EXPECT_FALSE(DrawFrameControl(&canvas, Rect(0, 0, 17, 17), 99, 0));
}

TEST_F(Frames, DisabledArrowHasHighlightShadow) {
    DrawFrameControl(&canvas, Rect(0, 0, 17, 17), DFC_SCROLL, DFCS_SCROLLUP | DFCS_INACTIVE);
    int shadow = 0, light = 0;
    for (int y = 3; y < 14; ++y)
        for (int x = 3; x < 14; ++x) {
            shadow += At(x, y) == Sys(COLOR_BTNSHADOW);
            light += At(x, y) == Sys(COLOR_BTNHIGHLIGHT);
        }
    EXPECT_GT(shadow, 0);
    EXPECT_GT(light, 0);
}

TEST(SystemBitmaps, CheckBoxSheetGivesTheCheckBoxSize) {
    TBitmap bmp;
    ASSERT_TRUE(LoadSystemBitmap(&bmp, OBM_CHECKBOXES));
    EXPECT_EQ(bmp.Width() / 4, 13);
    EXPECT_EQ(bmp.Height() / 3, 13);
    // The checked face carries a mark that the unchecked one lacks.
    auto dark = [&](int left) {
        int n = 0;
        for (int y = 2; y < 11; ++y)
            for (int x = left + 2; x < left + 11; ++x)
                n += bmp.Canvas()->Pixel(x, y) == static_cast<TColor>(GetSysColor(COLOR_WINDOWTEXT));
        return n;
    };
    EXPECT_EQ(dark(0), 0);
    EXPECT_GT(dark(13), 0);
    TBitmap other;
    EXPECT_FALSE(LoadSystemBitmap(&other, 1));
    EXPECT_TRUE(other.Empty());
}
