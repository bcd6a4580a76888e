// DrawText layout on the recording surface (characters 8x16 with a 16-pixel font).
#include <gtest/gtest.h>

#include "framework/ui/Graphics.h"

using namespace ui;

namespace {

struct Line {
    std::string text;
    int x;
    int y;
    friend bool operator==(const Line&, const Line&) = default;
};

void PrintTo(const Line& l, std::ostream* os) { *os << "'" << l.text << "'@(" << l.x << "," << l.y << ")"; }

struct DrawTextFixture : ::testing::Test {
    TRecordingSurface surface{400, 300};
    TCanvas canvas{&surface};
    DrawTextFixture() { canvas.Font()->SetHeight(-16); }

    std::vector<Line> Draw(const std::string& text, TRect r, unsigned flags, DRAWTEXTPARAMS* params = nullptr) {
        surface.Clear();
        canvas.DrawText(text, r, flags, params);
        std::vector<Line> out;
        for (const TDrawRecord* rec : surface.OfKind(TDrawOp::Text))
            out.push_back({rec->Text, rec->Rect.Left, rec->Rect.Top});
        return out;
    }
};

}  // namespace

TEST_F(DrawTextFixture, SingleLinePlacement) {
    struct Case {
        const char* name;
        unsigned flags;
        Line expected;
    };
    // Cell (10, 20)-(110, 60): 100 wide, 40 high; "abc" is 24x16.
    const Case cases[] = {
        {"left top", DT_SINGLELINE, {"abc", 10, 20}},
        {"centre", DT_SINGLELINE | DT_CENTER, {"abc", 48, 20}},
        {"right", DT_SINGLELINE | DT_RIGHT, {"abc", 86, 20}},
        {"vertical centre", DT_SINGLELINE | DT_VCENTER, {"abc", 10, 32}},
        {"bottom", DT_SINGLELINE | DT_BOTTOM | DT_RIGHT, {"abc", 86, 44}},
        {"vertical flags need a single line", DT_VCENTER, {"abc", 10, 20}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(Draw("abc", Rect(10, 20, 110, 60), c.flags), std::vector<Line>{c.expected});
    }
}

TEST_F(DrawTextFixture, TextIsClippedToTheRectangleUnlessNoClip) {
    Draw("abc", Rect(0, 0, 10, 10), DT_SINGLELINE);
    const TDrawRecord& rec = *surface.OfKind(TDrawOp::Text).front();
    ASSERT_TRUE(rec.HasTextClip);
    EXPECT_EQ(rec.TextClip, Rect(0, 0, 10, 10));
    Draw("abc", Rect(0, 0, 10, 10), DT_SINGLELINE | DT_NOCLIP);
    EXPECT_FALSE(surface.OfKind(TDrawOp::Text).front()->HasTextClip);
}

TEST_F(DrawTextFixture, Ellipses) {
    struct Case {
        const char* name;
        std::string text;
        int width;
        unsigned flags;
        std::string expected;
    };
    const Case cases[] = {
        // 80 pixels hold ten characters: seven kept plus "...".
        {"end ellipsis", "abcdefghijklmnop", 80, DT_END_ELLIPSIS, "abcdefg..."},
        {"fitting text is left alone", "abcdefghij", 80, DT_END_ELLIPSIS, "abcdefghij"},
        {"nothing fits but the dots", "abcdefgh", 20, DT_END_ELLIPSIS, "..."},
        {"word ellipsis cuts at a blank", "abc defghijkl", 80, DT_WORD_ELLIPSIS, "abc..."},
        {"path ellipsis keeps the file name", "C:\\folder\\sub\\name.txt", 144, DT_PATH_ELLIPSIS,
         "C:\\fol...\\name.txt"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto lines = Draw(c.text, Rect(0, 0, c.width, 16), DT_SINGLELINE | c.flags);
        ASSERT_EQ(lines.size(), 1u);
        EXPECT_EQ(lines[0].text, c.expected);
        EXPECT_LE(canvas.TextWidth(lines[0].text), std::max(c.width, 24));
    }
}

TEST_F(DrawTextFixture, WordBreakWrapsBetweenWordsAndKeepsLongWordsWhole) {
    // 80 pixels: ten characters per line.
    auto lines = Draw("one two three fourfivesixseven end", Rect(0, 0, 80, 200), DT_WORDBREAK);
    EXPECT_EQ(lines,
              (std::vector<Line>{{"one two", 0, 0}, {"three", 0, 16}, {"fourfivesixseven", 0, 32}, {"end", 0, 48}}));
    // Line breaks in the text start new lines; an empty line still takes its height.
    lines = Draw("a\r\n\nb", Rect(0, 0, 80, 200), 0);
    EXPECT_EQ(lines, (std::vector<Line>{{"a", 0, 0}, {"b", 0, 32}}));
    // Centred lines are centred one by one.
    lines = Draw("ab cdefgh", Rect(0, 0, 48, 100), DT_WORDBREAK | DT_CENTER);
    EXPECT_EQ(lines, (std::vector<Line>{{"ab", 16, 0}, {"cdefgh", 0, 16}}));
}

TEST_F(DrawTextFixture, WordBreakWithEndEllipsisCutsTheLongWordOnly) {
    auto lines = Draw("ab cdefghijklmn", Rect(0, 0, 64, 100), DT_WORDBREAK | DT_END_ELLIPSIS);
    EXPECT_EQ(lines, (std::vector<Line>{{"ab", 0, 0}, {"cdefg...", 0, 16}}));
}

TEST_F(DrawTextFixture, CalcRectMeasuresWithoutDrawing) {
    TRect r = Rect(5, 5, 85, 5);
    int h = canvas.DrawText("one two three", r, DT_WORDBREAK | DT_CALCRECT);
    EXPECT_TRUE(surface.Records().empty());
    EXPECT_EQ(h, 32);
    EXPECT_EQ(r, Rect(5, 5, 5 + 56, 37)) << "the width shrinks to the widest line";
    r = Rect(0, 0, 10, 0);
    canvas.DrawText("wider than ten", r, DT_SINGLELINE | DT_CALCRECT);
    EXPECT_EQ(r, Rect(0, 0, 112, 16));
    // Measuring works before a surface exists (in the default font).
    TCanvas bare;
    r = Rect(0, 0, 0, 0);
    EXPECT_EQ(bare.DrawText("ab", r, DT_CALCRECT | DT_SINGLELINE), 11);
    EXPECT_EQ(r.Right, 12);
}

TEST_F(DrawTextFixture, PrefixesTabsAndMargins) {
    EXPECT_EQ(Draw("&Save && close", Rect(0, 0, 300, 20), DT_SINGLELINE)[0].text, "Save & close");
    EXPECT_EQ(Draw("&Save", Rect(0, 0, 300, 20), DT_SINGLELINE | DT_NOPREFIX)[0].text, "&Save");
    EXPECT_EQ(Draw("ab\tc", Rect(0, 0, 300, 20), DT_SINGLELINE | DT_EXPANDTABS)[0].text, "ab      c");
    DRAWTEXTPARAMS params;
    params.iTabLength = 4;
    params.iLeftMargin = 5;
    params.iRightMargin = 7;
    auto lines = Draw("a\tb", Rect(0, 0, 100, 20), DT_SINGLELINE | DT_EXPANDTABS, &params);
    EXPECT_EQ(lines, (std::vector<Line>{{"a   b", 5, 0}}));
    EXPECT_EQ(params.uiLengthDrawn, 3u);
    lines = Draw("ab", Rect(0, 0, 100, 20), DT_SINGLELINE | DT_RIGHT, &params);
    EXPECT_EQ(lines[0].x, 100 - 7 - 16);
}

TEST_F(DrawTextFixture, ReturnValueIsHeightOrOffsetToTextBottom) {
    TRect r = Rect(0, 10, 100, 50);
    EXPECT_EQ(canvas.DrawText("a\nb\nc", r, 0), 48);
    EXPECT_EQ(canvas.DrawText("a", r, DT_SINGLELINE | DT_BOTTOM), 40);
    EXPECT_EQ(canvas.DrawText("a", r, DT_SINGLELINE | DT_VCENTER), 28);
}

TEST_F(DrawTextFixture, ExtTextOutOpaqueRectangleUsesBackgroundColour) {
    canvas.SetBkColor(clYellow);
    TRect r = Rect(0, 0, 50, 20);
    ExtTextOut(&canvas, 2, 2, ETO_OPAQUE | ETO_CLIPPED, &r, "x");
    ASSERT_EQ(surface.Records().size(), 2u);
    EXPECT_EQ(surface.Records()[0].Op, TDrawOp::FillRect);
    EXPECT_EQ(surface.Records()[0].Color, clYellow);
    EXPECT_EQ(surface.Records()[1].TextClip, r);
}

// The accelerator's letter is underlined in the text colour, unless the prefix is hidden.
TEST_F(DrawTextFixture, TheAcceleratorLetterIsUnderlined) {
    const auto underlines = [&](const std::string& text, unsigned flags) {
        surface.Clear();
        TRect r = Rect(10, 20, 200, 100);
        canvas.SetTextColor(clRed);
        canvas.DrawText(text, r, flags);
        std::vector<TRect> out;
        for (const TDrawRecord* rec : surface.OfKind(TDrawOp::FillRect)) {
            EXPECT_EQ(rec->Color, clRed);
            out.push_back(rec->Rect);
        }
        return out;
    };
    // 8x16 characters, ascent 12: the line runs under the letter one pixel below the baseline.
    EXPECT_EQ(underlines("Sa&ve", DT_SINGLELINE), (std::vector<TRect>{Rect(26, 33, 34, 34)}));
    EXPECT_EQ(underlines("Sa&ve", DT_SINGLELINE | DT_CENTER), (std::vector<TRect>{Rect(105, 33, 113, 34)}));
    EXPECT_EQ(underlines("one\r\nt&wo", 0), (std::vector<TRect>{Rect(18, 49, 26, 50)}));
    EXPECT_EQ(underlines("a && b", DT_SINGLELINE), std::vector<TRect>{});
    EXPECT_EQ(underlines("Sa&ve", DT_SINGLELINE | DT_HIDEPREFIX), std::vector<TRect>{});
    EXPECT_EQ(underlines("Sa&ve", DT_SINGLELINE | DT_NOPREFIX), std::vector<TRect>{});
    EXPECT_EQ(underlines("Sa&ve", DT_SINGLELINE | DT_PREFIXONLY), (std::vector<TRect>{Rect(26, 33, 34, 34)}));
    EXPECT_TRUE(surface.OfKind(TDrawOp::Text).empty()) << "prefix only: no text";
}
