// Rectangle helpers and regions.
#include <algorithm>
#include <cmath>

#include "framework/ui/Graphics.h"

namespace ui {

bool IntersectRect(TRect& Dest, const TRect& A, const TRect& B) noexcept {
    TRect r{std::max(A.Left, B.Left), std::max(A.Top, B.Top), std::min(A.Right, B.Right), std::min(A.Bottom, B.Bottom)};
    if (r.IsEmpty()) {
        Dest = TRect{};
        return false;
    }
    Dest = r;
    return true;
}

bool UnionRect(TRect& Dest, const TRect& A, const TRect& B) noexcept {
    if (A.IsEmpty()) {
        Dest = B.IsEmpty() ? TRect{} : B;
    } else if (B.IsEmpty()) {
        Dest = A;
    } else {
        Dest = TRect{std::min(A.Left, B.Left), std::min(A.Top, B.Top), std::max(A.Right, B.Right),
                     std::max(A.Bottom, B.Bottom)};
    }
    return !Dest.IsEmpty();
}

namespace {

// Appends the parts of R outside Cut (up to four rectangles).
void SubtractInto(std::vector<TRect>& Out, const TRect& R, const TRect& Cut) {
    if (!R.Intersects(Cut)) {
        Out.push_back(R);
        return;
    }
    if (Cut.Top > R.Top) Out.push_back({R.Left, R.Top, R.Right, Cut.Top});
    if (Cut.Bottom < R.Bottom) Out.push_back({R.Left, Cut.Bottom, R.Right, R.Bottom});
    int top = std::max(R.Top, Cut.Top), bottom = std::min(R.Bottom, Cut.Bottom);
    if (Cut.Left > R.Left) Out.push_back({R.Left, top, Cut.Left, bottom});
    if (Cut.Right < R.Right) Out.push_back({Cut.Right, top, R.Right, bottom});
}

}  // namespace

TRegion::TRegion(const TRect& R) {
    TRect n = R.Normalized();
    if (!n.IsEmpty()) FRects.push_back(n);
}

TRegion TRegion::FromPolygon(const TPoint* Points, int Count, const TRect* Limit) {
    TRegion result;
    if (Count < 3 || !Points) return result;
    int top = Points[0].Y, bottom = Points[0].Y;
    for (int i = 1; i < Count; ++i) {
        top = std::min(top, Points[i].Y);
        bottom = std::max(bottom, Points[i].Y);
    }
    if (Limit) {
        top = std::max(top, Limit->Top);
        bottom = std::min(bottom, Limit->Bottom);
    }
    std::vector<double> xs;
    for (int y = top; y < bottom; ++y) {
        double cy = y + 0.5;
        xs.clear();
        for (int i = 0; i < Count; ++i) {
            TPoint a = Points[i], b = Points[(i + 1) % Count];
            if (a.Y == b.Y) continue;
            if ((cy >= a.Y && cy < b.Y) || (cy >= b.Y && cy < a.Y))
                xs.push_back(a.X + (cy - a.Y) * double(b.X - a.X) / double(b.Y - a.Y));
        }
        std::sort(xs.begin(), xs.end());
        for (size_t k = 0; k + 1 < xs.size(); k += 2) {
            // Pixels whose centre x + 0.5 lies in [xs[k], xs[k+1]).
            int l = static_cast<int>(std::ceil(xs[k] - 0.5));
            int r = static_cast<int>(std::ceil(xs[k + 1] - 0.5));
            if (Limit) {
                l = std::max(l, Limit->Left);
                r = std::min(r, Limit->Right);
            }
            if (r > l) result.FRects.push_back({l, y, r, y + 1});
        }
    }
    return result;
}

TRect TRegion::Bounds() const noexcept {
    if (FRects.empty()) return {};
    TRect b = FRects[0];
    for (const TRect& r : FRects) {
        b.Left = std::min(b.Left, r.Left);
        b.Top = std::min(b.Top, r.Top);
        b.Right = std::max(b.Right, r.Right);
        b.Bottom = std::max(b.Bottom, r.Bottom);
    }
    return b;
}

bool TRegion::Contains(TPoint P) const noexcept {
    for (const TRect& r : FRects)
        if (r.Contains(P)) return true;
    return false;
}

bool TRegion::Intersects(const TRect& R) const noexcept {
    TRect n = R.Normalized();
    for (const TRect& r : FRects)
        if (r.Intersects(n)) return true;
    return false;
}

void TRegion::Offset(int DX, int DY) noexcept {
    for (TRect& r : FRects) r.Offset(DX, DY);
}

void TRegion::Union(const TRegion& Other) {
    // Our rectangles stay; Other adds only what lies outside them, so the set stays disjoint.
    std::vector<TRect> pieces = Other.FRects;
    for (const TRect& mine : FRects) {
        std::vector<TRect> next;
        for (const TRect& p : pieces) SubtractInto(next, p, mine);
        pieces.swap(next);
    }
    FRects.insert(FRects.end(), pieces.begin(), pieces.end());
}

void TRegion::Intersect(const TRegion& Other) {
    std::vector<TRect> out;
    for (const TRect& a : FRects)
        for (const TRect& b : Other.FRects) {
            TRect c;
            if (IntersectRect(c, a, b)) out.push_back(c);
        }
    FRects.swap(out);
}

void TRegion::Intersect(const TRect& R) { Intersect(TRegion(R)); }

void TRegion::Subtract(const TRegion& Other) {
    for (const TRect& cut : Other.FRects) {
        std::vector<TRect> next;
        for (const TRect& r : FRects) SubtractInto(next, r, cut);
        FRects.swap(next);
    }
}

void TRegion::Subtract(const TRect& R) { Subtract(TRegion(R)); }

bool TRegion::Equals(const TRegion& Other) const {
    TRegion a = *this;
    a.Subtract(Other);
    if (!a.IsEmpty()) return false;
    TRegion b = Other;
    b.Subtract(*this);
    return b.IsEmpty();
}

}  // namespace ui
