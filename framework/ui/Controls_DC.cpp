// Device contexts outside a paint: canvases on a window's surface for drawing that cannot wait
// for the next paint (sizing lines drawn and undrawn with the XOR pen, the non-client frame).
#include <algorithm>
#include <memory>
#include <vector>

#include "framework/ui/Controls.h"

namespace ui {

namespace {

struct TDCState {
    struct TGiven {
        HWND Wnd;
        std::unique_ptr<TCanvas> DC;
    };
    std::vector<TGiven> Given;
    std::vector<TControlCanvas*> Bound;
};

TDCState& DCs() {
    static TDCState s;
    return s;
}

// Points the canvas at Wnd's surface: Whole puts the origin at the window's top-left corner and
// lets the frame be drawn, otherwise at the client area's. False when there is no surface.
bool BindToWindow(TCanvas& Canvas, TWinControl* Wnd, bool Whole) {
    TPoint offset;
    TRegion visible;
    TSurface* surface = Wnd->PaintSurface(offset, visible);
    if (!surface) return false;
    if (Whole) {
        const TRect inWindow = Wnd->ClientRectInWindow();
        offset.X -= inWindow.Left;
        offset.Y -= inWindow.Top;
        TRect frame = Bounds(offset.X, offset.Y, Wnd->Width(), Wnd->Height());
        // What the parents let be seen of the frame (the client part was already limited).
        if (TWinControl* parent = Wnd->Parent()) {
            TPoint po;
            TRegion parentVisible;
            parent->PaintSurface(po, parentVisible);
            visible = TRegion(frame);
            visible.Intersect(parentVisible);
        } else {
            visible = TRegion(frame);
        }
    }
    Canvas.SetSurface(surface);
    Canvas.SetViewportOrgEx(offset.X, offset.Y);
    Canvas.SelectClipRgn(&visible);
    return true;
}

HDC Give(HWND Wnd, bool Whole) {
    TWinControl* w = FindControl(Wnd);
    if (!w || !w->HandleAllocated()) return nullptr;
    auto dc = std::make_unique<TCanvas>();
    if (!BindToWindow(*dc, w, Whole)) return nullptr;
    dc->Font()->Assign(w->Font());
    HDC result = dc.get();
    DCs().Given.push_back({Wnd, std::move(dc)});
    return result;
}

}  // namespace

bool ScrollWindow(HWND Wnd, int DX, int DY, const TRect* Rect, const TRect* ClipRect) {
    TWinControl* w = FindControl(Wnd);
    if (!w) return false;
    w->ScrollWindow(DX, DY, Rect, ClipRect);
    return true;
}

int ScrollWindowEx(HWND Wnd, int DX, int DY, const TRect* Rect, const TRect* ClipRect, TRegion* UpdateRgn,
                   TRect* UpdateRect, unsigned Flags) {
    TWinControl* w = FindControl(Wnd);
    return w ? w->ScrollWindowEx(DX, DY, Rect, ClipRect, UpdateRgn, UpdateRect, Flags) : ERROR;
}

HDC GetDC(HWND Wnd) { return Give(Wnd, false); }
HDC GetWindowDC(HWND Wnd) { return Give(Wnd, true); }

int ReleaseDC(HWND Wnd, HDC DC) {
    auto& given = DCs().Given;
    auto it = std::find_if(given.begin(), given.end(), [&](const auto& g) { return g.DC.get() == DC; });
    if (it == given.end() || it->Wnd != Wnd) return 0;
    given.erase(it);
    return 1;
}

TControlCanvas::~TControlCanvas() { FreeHandle(); }

void TControlCanvas::FreeHandle() {
    if (!FBound) return;
    FBound = false;
    auto& bound = DCs().Bound;
    bound.erase(std::remove(bound.begin(), bound.end(), this), bound.end());
    if (LockCount() == 0) SetSurface(nullptr);
}

void TControlCanvas::CreateHandle() {
    // Inside a paint the canvas is given the paint's device; it is never rebound from here then.
    if (FBound || LockCount() > 0) return;
    auto* win = dynamic_cast<TWinControl*>(FControl);
    TWinControl* host = win ? win : FControl->Parent();
    if (!host || !host->HandleAllocated()) return;
    if (!BindToWindow(*this, host, false)) return;
    if (!win) {
        // A graphic control draws on its parent at its own place, clipped to its bounds.
        const TRect r = FControl->BoundsRect();
        const TPoint org = ViewportOrg();
        IntersectClipRect(r);
        SetViewportOrgEx(org.X + r.Left, org.Y + r.Top);
    }
    Font()->Assign(FControl->Font());
    FBound = true;
    DCs().Bound.push_back(this);
}

void detail::DeviceContextsGoing(HWND Wnd) {
    for (auto& g : DCs().Given)
        if (g.Wnd == Wnd) g.DC->SetSurface(nullptr);
    FreeDeviceContexts();
}

void detail::SurfaceGoing(const TSurface* Surface) {
    for (auto& g : DCs().Given)
        if (g.DC->Surface() == Surface) g.DC->SetSurface(nullptr);
    FreeDeviceContexts();
}

void FreeDeviceContexts() {
    auto bound = DCs().Bound;
    for (TControlCanvas* c : bound) c->FreeHandle();
}

}  // namespace ui
