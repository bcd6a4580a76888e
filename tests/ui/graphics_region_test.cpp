#include <gtest/gtest.h>

#include "framework/ui/Graphics.h"

using namespace ui;

namespace {

int PixelCount(const TRegion& R) {
    int n = 0;
    for (const TRect& r : R.Rects()) n += r.Width() * r.Height();
    return n;
}

// Disjoint rectangles are the region's invariant: overlapping ones would double-count pixels
// and make a raster fill run twice over the same spot.
bool Disjoint(const TRegion& R) {
    const auto& rs = R.Rects();
    for (size_t i = 0; i < rs.size(); ++i)
        for (size_t j = i + 1; j < rs.size(); ++j)
            if (rs[i].Intersects(rs[j])) return false;
    return true;
}

}  // namespace

TEST(RectHelpers, IntersectUnionAndEmptiness) {
    TRect r;
    EXPECT_TRUE(IntersectRect(r, Rect(0, 0, 10, 10), Rect(5, 5, 20, 20)));
    EXPECT_EQ(r, Rect(5, 5, 10, 10));
    // Touching edges share no pixel.
    EXPECT_FALSE(IntersectRect(r, Rect(0, 0, 10, 10), Rect(10, 0, 20, 10)));
    EXPECT_EQ(r, TRect{});
    EXPECT_TRUE(UnionRect(r, Rect(0, 0, 0, 0), Rect(2, 2, 4, 4)));
    EXPECT_EQ(r, Rect(2, 2, 4, 4));
    EXPECT_TRUE(Rect(5, 5, 1, 1).IsEmpty());
    EXPECT_FALSE(Rect(0, 0, 3, 3).Contains(Point(3, 1)));
}

TEST(Region, SetOperationsKeepExactPixels) {
    struct Case {
        const char* name;
        TRegion (*make)();
        int pixels;
        TPoint inside;
        TPoint outside;
    };
    const Case cases[] = {
        {"union of overlapping squares",
         [] {
             TRegion r(Rect(0, 0, 10, 10));
             r.Union(Rect(5, 5, 15, 15));
             return r;
         },
         175,
         {12, 12},
         {12, 2}},
        {"hole punched in the middle",
         [] {
             TRegion r(Rect(0, 0, 10, 10));
             r.Subtract(Rect(3, 3, 7, 7));
             return r;
         },
         84,
         {1, 5},
         {5, 5}},
        {"intersection of a holed square with a band",
         [] {
             TRegion r(Rect(0, 0, 10, 10));
             r.Subtract(Rect(3, 3, 7, 7));
             r.Intersect(Rect(0, 4, 10, 6));
             return r;
         },
         12,
         {8, 5},
         {5, 5}},
        {"subtracting everything leaves nothing",
         [] {
             TRegion r(Rect(0, 0, 4, 4));
             r.Subtract(Rect(-1, -1, 5, 5));
             return r;
         },
         0,
         {-100, -100},
         {1, 1}},
        {"inverted rectangle is normalised", [] { return TRegion(Rect(10, 10, 0, 0)); }, 100, {0, 0}, {10, 10}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TRegion r = c.make();
        EXPECT_EQ(PixelCount(r), c.pixels);
        EXPECT_TRUE(Disjoint(r));
        if (c.pixels > 0) {
            EXPECT_TRUE(r.Contains(c.inside));
        }
        EXPECT_FALSE(r.Contains(c.outside));
    }
}

TEST(Region, EqualsComparesPixelsNotSplitAndOffsetMoves) {
    TRegion a(Rect(0, 0, 10, 10));
    TRegion b(Rect(0, 0, 10, 5));
    b.Union(Rect(0, 5, 10, 10));
    EXPECT_TRUE(a.Equals(b));
    b.Offset(1, 0);
    EXPECT_FALSE(a.Equals(b));
    EXPECT_EQ(b.Bounds(), Rect(1, 0, 11, 10));
    EXPECT_TRUE(b.Intersects(Rect(10, 9, 11, 10)));
    EXPECT_FALSE(b.Intersects(Rect(11, 0, 12, 10)));
}

TEST(Region, PolygonCoversPixelCentres) {
    const TPoint square[] = {{0, 0}, {4, 0}, {4, 4}, {0, 4}};
    EXPECT_EQ(PixelCount(TRegion::FromPolygon(square, 4)), 16);
    // A right triangle over a 4x4 square: pixel centres under the diagonal x < y.
    const TPoint tri[] = {{0, 0}, {0, 4}, {4, 4}};
    TRegion t = TRegion::FromPolygon(tri, 3);
    EXPECT_EQ(PixelCount(t), 6);
    EXPECT_TRUE(t.Contains({0, 3}));
    EXPECT_FALSE(t.Contains({3, 0}));
    EXPECT_TRUE(TRegion::FromPolygon(tri, 2).IsEmpty());
}
