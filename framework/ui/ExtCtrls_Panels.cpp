// Panels, bevels, shapes, images and splitters.
#include "framework/ui/ExtCtrls.h"

namespace ui {

// ---------------------------------------------------------------------------------------------
// TCustomPanel

TCustomPanel::TCustomPanel(rtl::TComponent* Owner) : TCustomControl(Owner) {
    FControlStyle = TControlStyle{csAcceptsControls, csCaptureMouse, csClickEvents, csSetCaption,
                                  csOpaque,          csDoubleClicks, csReplicatable};
    FColor = clBtnFace;
    SetBounds(0, 0, 185, 41);
}

int TCustomPanel::FrameWidth() const noexcept {
    int w = FBorderWidth;
    if (FBevelOuter != TBevelCut::bvNone) w += FBevelWidth;
    if (FBevelInner != TBevelCut::bvNone) w += FBevelWidth;
    return w;
}

void TCustomPanel::SetBevelOuter(TBevelCut Value) {
    FBevelOuter = Value;
    Realign();
    Invalidate();
}
void TCustomPanel::SetBevelInner(TBevelCut Value) {
    FBevelInner = Value;
    Realign();
    Invalidate();
}
void TCustomPanel::SetBevelWidth(int Value) {
    FBevelWidth = std::max(1, Value);
    Realign();
    Invalidate();
}
void TCustomPanel::SetBorderWidth(int Value) {
    FBorderWidth = std::max(0, Value);
    Realign();
    Invalidate();
}
void TCustomPanel::SetAlignment(int Value) {
    FAlignment = Value;
    Invalidate();
}

void TCustomPanel::AlignControls(TControl* AControl, TRect& Rect) {
    // Aligned children stay inside the bevels.
    const int f = FrameWidth();
    Rect.Inflate(-f, -f);
    TCustomControl::AlignControls(AControl, Rect);
}

void TCustomPanel::CMTextChanged(TMessage& Message) {
    TCustomControl::CMTextChanged(Message);
    Invalidate();
}

void TCustomPanel::Paint() {
    TCanvas* c = Canvas();
    TRect r = ClientRect();
    c->Brush()->SetColor(Color());
    c->FillRect(r);
    auto bevel = [&](TBevelCut Cut) {
        if (Cut == TBevelCut::bvNone) return;
        for (int i = 0; i < FBevelWidth; ++i) {
            if (Cut != TBevelCut::bvSpace)
                DrawEdge(c, r, Cut == TBevelCut::bvRaised ? BDR_RAISEDINNER : BDR_SUNKENOUTER, BF_RECT);
            r.Inflate(-1, -1);
        }
    };
    bevel(FBevelOuter);
    r.Inflate(-FBorderWidth, -FBorderWidth);
    bevel(FBevelInner);
    if (!Caption().empty()) {
        c->Font()->Assign(Font());
        c->Brush()->SetStyle(bsClear);
        unsigned f = DT_VCENTER | DT_SINGLELINE;
        f |= FAlignment == 0 ? DT_LEFT : FAlignment == 1 ? DT_RIGHT : DT_CENTER;
        DrawText(c, Caption(), r, f);
        c->Brush()->SetStyle(bsSolid);
    }
}

// ---------------------------------------------------------------------------------------------
// TBevel, TShape

TBevel::TBevel(rtl::TComponent* Owner) : TGraphicControl(Owner) {
    FControlStyle.Include(csReplicatable);
    SetBounds(0, 0, 50, 50);
}

void TBevel::SetShape(TBevelShape Value) {
    FShape = Value;
    Invalidate();
}

void TBevel::SetStyle(TBevelStyle Value) {
    FStyle = Value;
    Invalidate();
}

void TBevel::Paint() {
    TCanvas* c = Canvas();
    TRect r = ClientRect();
    const unsigned edge = FStyle == TBevelStyle::bsLowered ? EDGE_SUNKEN : EDGE_RAISED;
    switch (FShape) {
        case TBevelShape::bsBox: DrawEdge(c, r, edge, BF_RECT); break;
        case TBevelShape::bsFrame:
            DrawEdge(c, r, FStyle == TBevelStyle::bsLowered ? EDGE_ETCHED : EDGE_BUMP, BF_RECT);
            break;
        case TBevelShape::bsTopLine: DrawEdge(c, r, EDGE_ETCHED, BF_TOP); break;
        case TBevelShape::bsBottomLine: DrawEdge(c, r, EDGE_ETCHED, BF_BOTTOM); break;
        case TBevelShape::bsLeftLine: DrawEdge(c, r, EDGE_ETCHED, BF_LEFT); break;
        case TBevelShape::bsRightLine: DrawEdge(c, r, EDGE_ETCHED, BF_RIGHT); break;
        case TBevelShape::bsSpacer: break;
    }
}

TShape::TShape(rtl::TComponent* Owner)
    : TGraphicControl(Owner), FPen(std::make_unique<TPen>()), FBrush(std::make_unique<TBrush>()) {
    FControlStyle.Include(csReplicatable);
    SetBounds(0, 0, 65, 65);
    FPen->OnChange = [this](TObject*) { Invalidate(); };
    FBrush->OnChange = [this](TObject*) { Invalidate(); };
}

TShape::~TShape() {
    FPen->OnChange = nullptr;
    FBrush->OnChange = nullptr;
}

void TShape::SetShape(TShapeType Value) {
    FShape = Value;
    Invalidate();
}

void TShape::Paint() {
    TCanvas* c = Canvas();
    c->SetPen(FPen.get());
    c->SetBrush(FBrush.get());
    const int pw = FPen->Width();
    int x = pw / 2, y = pw / 2, w = Width() - pw + 1, h = Height() - pw + 1;
    if (pw == 0) {
        --w;
        --h;
    }
    if (FShape == TShapeType::stSquare || FShape == TShapeType::stRoundSquare || FShape == TShapeType::stCircle) {
        const int s = std::min(w, h);
        x += (w - s) / 2;
        y += (h - s) / 2;
        w = h = s;
    }
    switch (FShape) {
        case TShapeType::stEllipse:
        case TShapeType::stCircle: c->Ellipse(x, y, x + w, y + h); break;
        default: c->Rectangle(x, y, x + w, y + h); break;
    }
}

// ---------------------------------------------------------------------------------------------
// TImage

TImage::TImage(rtl::TComponent* Owner) : TGraphicControl(Owner), FPicture(std::make_unique<TPicture>()) {
    FControlStyle.Include(csReplicatable);
    SetBounds(0, 0, 105, 105);
    FPicture->OnChange = [this](TObject*) { PictureChanged(); };
}

TImage::~TImage() { FPicture->OnChange = nullptr; }

void TImage::SetPicture(TPicture* Value) { FPicture->Assign(Value); }

void TImage::SetStretch(bool Value) {
    FStretch = Value;
    Invalidate();
}

void TImage::SetCenter(bool Value) {
    FCenter = Value;
    Invalidate();
}

void TImage::SetAutoSize(bool Value) {
    FAutoSize = Value;
    PictureChanged();
}

void TImage::PictureChanged() {
    if (FAutoSize && FPicture->Width() > 0 && FPicture->Height() > 0)
        SetBounds(Left(), Top(), FPicture->Width(), FPicture->Height());
    Invalidate();
}

TRect TImage::DestRect() const {
    const int w = FPicture->Width(), h = FPicture->Height();
    if (FStretch) return ClientRect();
    if (FCenter) return Bounds((Width() - w) / 2, (Height() - h) / 2, w, h);
    return Rect(0, 0, w, h);
}

void TImage::Paint() {
    if (TGraphic* g = FPicture->Graphic(); g && !g->Empty()) Canvas()->StretchDraw(DestRect(), g);
}

// ---------------------------------------------------------------------------------------------
// TSplitter

TSplitter::TSplitter(rtl::TComponent* Owner) : TGraphicControl(Owner) {
    FAlign = alLeft;
    SetBounds(0, 0, 3, 100);
    FCursor = crHSplit;
}

TControl* TSplitter::FindControl() const {
    if (!FParent) return nullptr;
    for (int i = 0; i < FParent->ControlCount(); ++i) {
        TControl* c = FParent->Controls(i);
        if (c == this || !c->Visible() || c->Align() != FAlign) continue;
        switch (FAlign) {
            case alLeft:
                if (c->Left() + c->Width() == Left()) return c;
                break;
            case alRight:
                if (c->Left() == Left() + Width()) return c;
                break;
            case alTop:
                if (c->Top() + c->Height() == Top()) return c;
                break;
            case alBottom:
                if (c->Top() == Top() + Height()) return c;
                break;
            default: break;
        }
    }
    return nullptr;
}

void TSplitter::Paint() {
    Canvas()->Brush()->SetColor(Color());
    Canvas()->FillRect(ClientRect());
}

void TSplitter::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) {
    TGraphicControl::MouseDown(Button, Shift, X, Y);
    if (Button != mbLeft) return;
    FControl = FindControl();
    if (!FControl) return;
    FDownPos = ClientToScreen(Point(X, Y));
    FStartSize = FAlign == alLeft || FAlign == alRight ? FControl->Width() : FControl->Height();
}

void TSplitter::MouseMove(TShiftState Shift, int X, int Y) {
    TGraphicControl::MouseMove(Shift, X, Y);
    if (!FControl || !MouseCapture()) return;
    const TPoint p = ClientToScreen(Point(X, Y));
    int size = FStartSize;
    switch (FAlign) {
        case alLeft: size += p.X - FDownPos.X; break;
        case alRight: size -= p.X - FDownPos.X; break;
        case alTop: size += p.Y - FDownPos.Y; break;
        case alBottom: size -= p.Y - FDownPos.Y; break;
        default: return;
    }
    size = std::max(size, FMinSize);
    bool accept = true;
    if (OnCanResize) OnCanResize(this, size, accept);
    if (!accept) return;
    if (FAlign == alLeft || FAlign == alRight)
        FControl->SetWidth(size);
    else
        FControl->SetHeight(size);
}

void TSplitter::MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) {
    TGraphicControl::MouseUp(Button, Shift, X, Y);
    if (FControl && Button == mbLeft) {
        FControl = nullptr;
        if (OnMoved) OnMoved(this);
    }
}

}  // namespace ui
