#include "framework/ui/Buttons.h"

#include <algorithm>

namespace ui {

TSpeedButton::TSpeedButton(TComponent* Owner) : TGraphicControl(Owner), FGlyph(std::make_unique<TBitmap>()) {
    // The click comes from MouseUp, where grouping is settled first.
    FControlStyle = TControlStyle{csCaptureMouse, csDoubleClicks, csOpaque};
    SetBounds(0, 0, 23, 22);
    FParentFont = true;
    FColor = clBtnFace;
}

TSpeedButton::~TSpeedButton() = default;

void TSpeedButton::SetGroupIndex(int Value) {
    FGroupIndex = Value;
    UpdateExclusive();
}

void TSpeedButton::SetDown(bool Value) {
    if (FGroupIndex == 0) Value = false;
    if (Value == FDown) return;
    // The last button of a group that may not be all up stays down.
    if (FDown && !Value && !FAllowAllUp) return;
    FDown = Value;
    FState = Value ? TButtonState::bsExclusive : TButtonState::bsUp;
    Invalidate();
    if (Value) UpdateExclusive();
}

void TSpeedButton::SetAllowAllUp(bool Value) {
    FAllowAllUp = Value;
    UpdateExclusive();
}

void TSpeedButton::SetFlat(bool Value) {
    FFlat = Value;
    Invalidate();
}

void TSpeedButton::SetGlyph(TBitmap* Value) {
    if (Value)
        FGlyph->Assign(Value);
    else
        FGlyph->SetSize(0, 0);
    if (!FGlyph->Empty() && FGlyph->Height() > 0 && FGlyph->Width() % FGlyph->Height() == 0) {
        const int n = FGlyph->Width() / FGlyph->Height();
        FNumGlyphs = std::clamp(n, 1, 4);
    }
    Invalidate();
}

void TSpeedButton::SetNumGlyphs(int Value) {
    FNumGlyphs = std::clamp(Value, 1, 4);
    Invalidate();
}

void TSpeedButton::SetLayout(TButtonLayout Value) {
    FLayout = Value;
    Invalidate();
}

void TSpeedButton::UpdateExclusive() {
    if (FGroupIndex == 0 || !FParent) return;
    for (int i = 0; i < FParent->ControlCount(); ++i) {
        auto* other = dynamic_cast<TSpeedButton*>(FParent->Controls(i));
        if (!other || other == this || other->FGroupIndex != FGroupIndex) continue;
        if (FDown && other->FDown) {
            other->FDown = false;
            other->FState = TButtonState::bsUp;
            other->Invalidate();
        }
        other->FAllowAllUp = FAllowAllUp;
    }
}

void TSpeedButton::Click() { TGraphicControl::Click(); }

void TSpeedButton::SetState(TButtonState Value) {
    if (Value == FState) return;
    FState = Value;
    Invalidate();
}

void TSpeedButton::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) {
    TGraphicControl::MouseDown(Button, Shift, X, Y);
    if (Button != mbLeft || !Enabled()) return;
    if (!FDown) {
        FState = TButtonState::bsDown;
        Invalidate();
    }
    FDragging = true;
}

void TSpeedButton::MouseMove(TShiftState Shift, int X, int Y) {
    TGraphicControl::MouseMove(Shift, X, Y);
    if (!FDragging) return;
    const bool in = PtInRect(ClientRect(), Point(X, Y));
    TButtonState s = FDown ? TButtonState::bsExclusive : TButtonState::bsUp;
    if (in) s = FDown ? TButtonState::bsExclusive : TButtonState::bsDown;
    if (s != FState) {
        FState = s;
        Invalidate();
    }
}

void TSpeedButton::MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) {
    TGraphicControl::MouseUp(Button, Shift, X, Y);
    if (!FDragging || Button != mbLeft) return;
    FDragging = false;
    const bool in = PtInRect(ClientRect(), Point(X, Y));
    if (FGroupIndex == 0) {
        FState = TButtonState::bsUp;
        Invalidate();
        if (in) Click();
        return;
    }
    if (in) {
        if (!FDown)
            SetDown(true);
        else if (FAllowAllUp)
            SetDown(false);
        Click();
    }
    FState = FDown ? TButtonState::bsExclusive : TButtonState::bsUp;
    Invalidate();
}

void TSpeedButton::CMMouseEnter(TMessage& Message) {
    TGraphicControl::CMMouseEnter(Message);
    FMouseInControl = true;
    if (FFlat && Enabled()) Invalidate();
}

void TSpeedButton::CMMouseLeave(TMessage& Message) {
    TGraphicControl::CMMouseLeave(Message);
    FMouseInControl = false;
    if (FFlat && Enabled()) Invalidate();
}

void TSpeedButton::CMEnabledChanged(TMessage& Message) {
    TGraphicControl::CMEnabledChanged(Message);
    FState = !Enabled() ? TButtonState::bsDisabled : FDown ? TButtonState::bsExclusive : TButtonState::bsUp;
    Invalidate();
}

void TSpeedButton::Paint() {
    TCanvas* c = Canvas();
    const TRect r = ClientRect();
    c->Brush()->SetColor(Color());
    c->FillRect(r);
    const bool pushed = FState == TButtonState::bsDown || FState == TButtonState::bsExclusive;
    if (!FFlat) {
        DrawFrameControl(c, r, DFC_BUTTON, DFCS_BUTTONPUSH | (pushed ? DFCS_PUSHED : 0));
    } else if (pushed || (FMouseInControl && Enabled())) {
        TRect e = r;
        DrawEdge(c, e, pushed ? BDR_SUNKENOUTER : BDR_RAISEDINNER, BF_RECT);
    }
    const int offset = pushed ? 1 : 0;
    int gw = 0, gh = 0;
    if (!FGlyph->Empty()) {
        gw = FGlyph->Width() / FNumGlyphs;
        gh = FGlyph->Height();
    }
    c->Font()->Assign(Font());
    const TSize ts = Caption().empty() ? TSize{0, 0} : c->TextExtent(Caption());
    const int spacing = gw > 0 && ts.cx > 0 ? 4 : 0;
    const bool horizontal = FLayout == TButtonLayout::blGlyphLeft || FLayout == TButtonLayout::blGlyphRight;
    const int totalW = horizontal ? gw + spacing + ts.cx : std::max(gw, ts.cx);
    const int totalH = horizontal ? std::max(gh, ts.cy) : gh + spacing + ts.cy;
    int x = (r.Width() - totalW) / 2 + offset, y = (r.Height() - totalH) / 2 + offset;
    TPoint glyphAt, textAt;
    switch (FLayout) {
        case TButtonLayout::blGlyphLeft:
            glyphAt = Point(x, y + (totalH - gh) / 2);
            textAt = Point(x + gw + spacing, y + (totalH - ts.cy) / 2);
            break;
        case TButtonLayout::blGlyphRight:
            textAt = Point(x, y + (totalH - ts.cy) / 2);
            glyphAt = Point(x + ts.cx + spacing, y + (totalH - gh) / 2);
            break;
        case TButtonLayout::blGlyphTop:
            glyphAt = Point(x + (totalW - gw) / 2, y);
            textAt = Point(x + (totalW - ts.cx) / 2, y + gh + spacing);
            break;
        case TButtonLayout::blGlyphBottom:
            textAt = Point(x + (totalW - ts.cx) / 2, y);
            glyphAt = Point(x + (totalW - gw) / 2, y + ts.cy + spacing);
            break;
    }
    if (gw > 0) {
        // The image for the state, when the glyph holds one.
        int index = 0;
        if (FState == TButtonState::bsDisabled && FNumGlyphs > 1)
            index = 1;
        else if (FState == TButtonState::bsDown && FNumGlyphs > 2)
            index = 2;
        else if (FState == TButtonState::bsExclusive && FNumGlyphs > 3)
            index = 3;
        c->CopyRect(Bounds(glyphAt.X, glyphAt.Y, gw, gh), FGlyph->Canvas(), Bounds(index * gw, 0, gw, gh));
    }
    if (ts.cx > 0) {
        c->Brush()->SetStyle(bsClear);
        if (!Enabled()) c->Font()->SetColor(clGrayText);
        c->TextOut(textAt.X, textAt.Y, Caption());
        c->Brush()->SetStyle(bsSolid);
    }
}

}  // namespace ui
