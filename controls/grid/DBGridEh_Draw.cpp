// Cell drawing primitives shared by every grid painter.
#include <algorithm>

#include "controls/grid/DBGridEh_Setup.h"
#include "controls/editors/TarnelVCL.h"
#include "framework/rtl/Ownership.h"
#include "framework/rtl/SysUtils.h"
#include "framework/rtl/Text.h"

namespace grid {

AnsiString CutTextToWidth(const AnsiString& Text, ui::TCanvas* Canvas, int MaxWidth) {
    AnsiString result = Text;
    const int n = static_cast<int>(Text.size());
    for (int i = 1; i <= n; ++i) {
        if (Canvas->TextWidth(result) <= MaxWidth) break;
        result = Text.substr(0, static_cast<size_t>(std::max(0, n - i - 1))) + "...";
    }
    return result;
}

namespace {

unsigned AlignmentFlags(TAlignment Alignment) {
    switch (Alignment) {
        case db::taRightJustify: return ui::DT_NOPREFIX | ui::DT_EXPANDTABS | ui::DT_RIGHT;
        case db::taCenter: return ui::DT_NOPREFIX | ui::DT_EXPANDTABS | ui::DT_CENTER;
        default: return ui::DT_NOPREFIX | ui::DT_EXPANDTABS | ui::DT_LEFT;
    }
}

// Keeps the canvas brush as it was around a write that may clear it.
struct TBrushKeep {
    ui::TCanvas* Canvas;
    ui::TColor Color;
    ui::TBrushStyle Style;
    explicit TBrushKeep(ui::TCanvas* C) : Canvas(C), Color(C->Brush()->Color()), Style(C->Brush()->Style()) {}
    ~TBrushKeep() {
        Canvas->Brush()->SetStyle(Style);
        Canvas->Brush()->SetColor(Color);
    }
};

void WriteTextBlock(ui::TCanvas* Canvas, const TRect& ARect, int DX, int DY, const AnsiString& Text,
                    TAlignment Alignment, TTextLayout Layout, bool WordWrap, bool EndEllipsis, int LeftMargin,
                    int RightMargin, bool RightToLeftReading) {
    unsigned flags = AlignmentFlags(Alignment);
    if (WordWrap) flags |= ui::DT_WORDBREAK;
    if (EndEllipsis) flags |= ui::DT_END_ELLIPSIS;
    if (RightToLeftReading) flags |= ui::DT_RTLREADING;
    ui::DRAWTEXTPARAMS params;
    params.iTabLength = 0;
    params.iLeftMargin = LeftMargin;
    params.iRightMargin = RightMargin;
    TRect r{ARect.Left + DX, ARect.Top + DY, ARect.Right - DX, ARect.Bottom - DY};
    if (Layout != editors::tlTop) {
        TRect calc = r;
        Canvas->DrawText(Text, calc, flags | ui::DT_CALCRECT, &params);
        const int h = calc.Height();
        if (Layout == editors::tlCenter)
            r.Top = r.Top + (r.Bottom - r.Top) / 2 - h / 2;
        else
            r.Top = r.Bottom - h;
    }
    if (DX > 0) ++r.Bottom;
    Canvas->DrawText(Text, r, flags, &params);
}

}  // namespace

// Our surfaces are true colour, so the device never maps a brush to another colour and the
// palette detour through the work bitmap is not needed.
void WriteCellText(ui::TCanvas* Canvas, const TRect& ARect, bool FillRect, int DX, int DY, const AnsiString& Text,
                   TAlignment Alignment, TTextLayout Layout, bool WordWrap, bool EndEllipsis, int LeftMargin,
                   int RightMargin, bool RightToLeftReading) {
    if (WordWrap) {
        TBrushKeep keep(Canvas);
        if (FillRect)
            Canvas->FillRect(ARect);
        else
            Canvas->Brush()->SetStyle(ui::bsClear);
        WriteTextBlock(Canvas, ARect, DX, DY, Text, Alignment, Layout, WordWrap, EndEllipsis, LeftMargin, RightMargin,
                       RightToLeftReading);
        return;
    }
    const AnsiString text = EndEllipsis ? CutTextToWidth(Text, Canvas, ARect.Width() - DX) : Text;
    // Left-justified text needs no measuring.
    int width = 0;
    const ui::TFontStyles st = Canvas->Font()->Style();
    if (Alignment != db::taLeftJustify && (st.Contains(ui::fsBold) || st.Contains(ui::fsItalic))) {
        TRect calc{0, 0, 0, 0};
        Canvas->DrawText(text, calc, ui::DT_CALCRECT | ui::DT_NOPREFIX);
        width = calc.Width();
    } else if (Alignment != db::taLeftJustify) {
        width = Canvas->TextWidth(text);
    }
    int x;
    switch (Alignment) {
        case db::taRightJustify: x = ARect.Right - width - 3; break;
        case db::taCenter:
            x = ARect.Left < ARect.Right ? ARect.Left + static_cast<int>(static_cast<unsigned>(ARect.Width()) / 2) -
                                               static_cast<int>(static_cast<unsigned>(width) / 2)
                                         : 0;
            break;
        default: x = ARect.Left + DX; break;
    }
    int y = ARect.Top;
    if (Layout != editors::tlTop) {
        const int h = Canvas->TextHeight(text);
        if (h < ARect.Height() - DY) {
            if (Layout == editors::tlCenter)
                y = (ARect.Top + ARect.Bottom - h) / 2 - DY;
            else
                y = ARect.Bottom - h - DY;
        }
    }
    TBrushKeep keep(Canvas);
    if (!FillRect) Canvas->Brush()->SetStyle(ui::bsClear);
    Canvas->TextRect(ARect, x, y + DY, text);
}

namespace {

void PutFont(ui::TFont* Font, const ui::TFontData& D) {
    Font->SetName(D.Name);
    Font->SetHeight(D.Height);
    Font->SetStyle(D.Style);
    Font->SetPitch(D.Pitch);
    Font->SetCharset(D.Charset);
    Font->SetOrientation(D.Orientation);
}

}  // namespace

ui::TFontData CreateVerticalFont(const ui::TFont* Font) {
    ui::TFontData d = Font->Data();
    d.Orientation = 900;
    if (rtl::SameText(d.Name, "Default")) d.Name = "MS Sans Serif";
    return d;
}

int WriteVerticalText(ui::TCanvas* Canvas, const TRect& ARect, bool FillRect, bool MeasureOnly, TTextLayout Layout,
                      int Placement, const AnsiString& Text, int DY, int DX) {
    ui::TFont* font = Canvas->Font();
    struct TFontKeep {
        ui::TFont* F;
        ui::TFontData D;
        ~TFontKeep() { PutFont(F, D); }
    } keepFont{font, font->Data()};
    PutFont(font, CreateVerticalFont(font));
    const ui::TTextMetric tm = Canvas->GetTextMetrics();
    const int extent = Canvas->TextWidth(Text) + tm.tmOverhang;
    if (MeasureOnly) return extent;
    const int textHeight = tm.tmHeight;
    int x;
    switch (Placement) {
        case 1: x = ARect.Right - textHeight; break;
        case 2: x = ARect.Left + ARect.Width() / 2 - (textHeight + tm.tmOverhang) / 2; break;
        default: x = ARect.Left + DX; break;
    }
    // The baseline runs upward, so Y is where the text starts at the bottom.
    int y;
    switch (Layout) {
        case editors::tlTop: y = ARect.Top + extent; break;
        case editors::tlBottom: y = ARect.Bottom - DY; break;
        default: y = ARect.Top + ARect.Height() / 2 + extent / 2; break;
    }
    TBrushKeep keep(Canvas);
    if (!FillRect) Canvas->Brush()->SetStyle(ui::bsClear);
    Canvas->TextRect(ARect, x, y, Text);
    return extent;
}

void DrawImageInCell(ui::TCustomImageList* Images, ui::TGraphic* Graphic, ui::TCanvas* Canvas, TAlignment Alignment,
                     int XOffset, int ImageIndex, const TRect& ARect) {
    int w = 0, h = 0;
    if (Images) {
        w = Images->Width();
        h = Images->Height();
    } else if (Graphic) {
        w = Graphic->Width();
        h = Graphic->Height();
    } else {
        return;
    }
    int x;
    switch (Alignment) {
        case db::taRightJustify: x = ARect.Right - w; break;
        case db::taCenter: x = (ARect.Left + ARect.Right - w) / 2; break;
        default: x = XOffset + ARect.Left; break;
    }
    const int y = (ARect.Top + ARect.Bottom - h) / 2;
    auto draw = [&] {
        if (Images)
            Images->Draw(Canvas, x, y, ImageIndex, true);
        else
            Canvas->Draw(x, y, Graphic);
    };
    const bool inside = x >= ARect.Left && y >= ARect.Top && x + w <= ARect.Right && y + h <= ARect.Bottom;
    if (inside) {
        draw();
        return;
    }
    ui::TRegion saved;
    const bool hadClip = Canvas->GetClipRgn(saved) == 1;
    struct TRestore {
        ui::TCanvas* C;
        const ui::TRegion* R;
        ~TRestore() { C->SelectClipRgn(R); }
    } restore{Canvas, hadClip ? &saved : nullptr};
    Canvas->IntersectClipRect(ARect);
    draw();
}

ui::TColor BrightenColor(ui::TColor Color, int Divisor) {
    const ui::TColorRef rgb = ui::ColorToRGB(Color);
    auto ch = [&](int shift) {
        const int c = static_cast<int>((rgb >> shift) & 0xFF);
        return static_cast<uint32_t>(std::min(255, c + c / Divisor)) << shift;
    };
    return static_cast<ui::TColor>(ch(0) | ch(8) | ch(16));
}

TColumnEh* ColumnByFieldNameOrError(TCustomDBGridEh* Grid, const WideString& FieldName) {
    const AnsiString name = rtl::WideToAnsi(FieldName);
    TDBGridColumnsEh* cols = Grid->Columns();
    for (int i = 0; i < cols->Count(); ++i)
        if (editors::CompareTextByLocale(rtl::WideToAnsi(cols->Items(i)->FieldName()), name) == 0)
            return cols->Items(i);
    throw EInvalidGridOperationEh(rtl::Format("Field name '%s' not found", {name}));
}

bool TCustomDBGridEh::UsesThemedHeaders() const {
    return !Flat() && editors::ThemesActive() && FOptionsEh.Contains(dghFixed3D);
}

bool TCustomDBGridEh::DrawsFocusedRowSelection() const {
    return !Designing() && FOptions.Contains(dgRowSelect) && DefaultDrawing() && Focused();
}

namespace {

// Where a rectangle of a mirrored canvas lies once the mirroring is off: its device rectangle
// (turned round) in the window's own pixels, without the origin that places the window on its
// surface, which the canvas adds again when it draws.
TRect UnmirroredRect(ui::TCanvas* C, const TRect& R) {
    const TRect d = C->LPtoDP(R);
    const TPoint o = C->ViewportOrg();
    return TRect{d.Left - o.X, d.Top - o.Y, d.Right - o.X, d.Bottom - o.Y};
}

}  // namespace

void TCustomDBGridEh::MirrorCanvas(bool On) {
    ui::TCanvas* C = Canvas();
    const int w = ClientWidth(), h = ClientHeight();
    C->SetMapMode(ui::MM_ANISOTROPIC);
    C->SetViewportExtEx(w, h);
    if (On) {
        C->SetWindowOrgEx(w, 0);
        C->SetWindowExtEx(-w, h);
    } else {
        C->SetWindowOrgEx(0, 0);
        C->SetWindowExtEx(w, h);
    }
}

void TCustomDBGridEh::WriteColumnCellText(TColumnEh* Column, ui::TCanvas* ACanvas, int RightMargin, int LeftMargin,
                                          bool EndEllipsis, bool WordWrap, TTextLayout Layout, TAlignment Alignment,
                                          const AnsiString& Text, int DY, int DX, bool FillRect, const TRect& ARect) {
    if (!Column->UsesRightToLeftAlignment()) {
        WriteCellText(ACanvas, ARect, FillRect, DX, DY, Text, Alignment, Layout, WordWrap, EndEllipsis, LeftMargin,
                      RightMargin, Column->UsesRightToLeftReading());
        return;
    }
    // The device rectangle of a mirrored cell is its logical one turned round, so text drawn
    // there un-mirrored reads the right way; sides of alignment and margins swap with it.
    const TRect r = UnmirroredRect(ACanvas, ARect);
    if (Alignment == db::taLeftJustify)
        Alignment = db::taRightJustify;
    else if (Alignment == db::taRightJustify)
        Alignment = db::taLeftJustify;
    MirrorCanvas(false);
    rtl::TScopeExit remirror([this] { MirrorCanvas(true); });
    WriteCellText(ACanvas, r, FillRect, DX, DY, Text, Alignment, Layout, WordWrap, EndEllipsis, RightMargin, LeftMargin,
                  Column->UsesRightToLeftReading());
}

void TCustomDBGridEh::DrawButtonFaceMirrored(ui::HDC DC, const TRect& Rect, ui::TColor BackColor, int Style,
                                             int DownPart, bool Flat, bool Active, bool Enabled,
                                             editors::TCheckBoxState State) {
    if (!UsesRightToLeftAlignment()) {
        editors::DrawEditButtonFace(DC, Rect, BackColor, Style, DownPart, Flat, Active, Enabled, State);
        return;
    }
    const TRect r = UnmirroredRect(DC, Rect);
    MirrorCanvas(false);
    rtl::TScopeExit remirror([this] { MirrorCanvas(true); });
    editors::DrawEditButtonFace(DC, r, BackColor, Style, DownPart, Flat, Active, Enabled, State);
}

}  // namespace grid
