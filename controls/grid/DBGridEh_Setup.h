// Process-wide drawing resources every data grid shares, the cell drawing primitives, and the
// storage interceptors of the grid's columns.
#pragma once

#include "controls/grid/DBGridEh.h"
#include "controls/grid/PropFilerEh.h"
#include "framework/ui/ActnList.h"

namespace grid {

// --- shared resources (made on first use, one set per process) ---

// Row-indicator glyphs 6 x 11: 0 current, 1 editing, 2 inserting, 3 multi-dot, 4 multi-arrow,
// 5 current and selected, 6 current during incremental search.
ui::TCustomImageList* IndicatorImages();
// Redraws entry 6 on IncSearchHighlightColor (run again after changing that colour).
void RefreshIncSearchIndicatorImage();
// Sort glyphs 10 x 9: 0 down, 1 up, 2 drop-down.
ui::TCustomImageList* SortMarkerImages();
// The font of sort-index numbers: Arial, Height 1 minus the sort glyph's height.
ui::TFont* SortMarkerFont();

// Cursors of column and record selection (registered with the screen by name).
inline constexpr ui::TCursor crDownCurEh = 101;
inline constexpr ui::TCursor crRightCurEh = 102;
inline constexpr ui::TCursor crLeftCurEh = 103;
void RegisterGridCursors();

extern ui::TShortCut IncSearchShortCut;
extern ui::TShortCut IncSearchNextShortCut;
extern ui::TShortCut IncSearchPriorShortCut;
extern ui::TShortCut CopyFromPreviousShortCut;
extern ui::TShortCut FindDialogShortCut;
extern int IncSearchInterval;
extern ui::TColor IncSearchHighlightColor;
extern ui::TColor IncSearchHighlightFontColor;
extern bool NoDoubleBuffering;

TColCellParamsEh* CellParamsScratch();

// One bitmap for all grids, freed with the last user.
void AcquireWorkBitmap();
void ReleaseWorkBitmap();
ui::TBitmap* GridWorkBitmap() noexcept;
int GridWorkBitmapUsers() noexcept;

// --- drawing primitives ---

// Text shortened with "..." until it fits MaxWidth ("..." alone when nothing does).
AnsiString CutTextToWidth(const AnsiString& Text, ui::TCanvas* Canvas, int MaxWidth);
void WriteCellText(ui::TCanvas* Canvas, const TRect& ARect, bool FillRect, int DX, int DY, const AnsiString& Text,
                   TAlignment Alignment, TTextLayout Layout, bool WordWrap, bool EndEllipsis, int LeftMargin,
                   int RightMargin, bool RightToLeftReading);
// The font turned to run upward (90 degrees counter-clockwise), weight and face resolved as a
// rotated title needs them.
ui::TFontData CreateVerticalFont(const ui::TFont* Font);
// Writes Text upward in ARect; Placement 0/1/2 puts it at the left, right or middle, Layout at the
// top, middle or bottom. Returns the text's extent along the baseline (nothing drawn with MeasureOnly).
int WriteVerticalText(ui::TCanvas* Canvas, const TRect& ARect, bool FillRect, bool MeasureOnly, TTextLayout Layout,
                      int Placement, const AnsiString& Text, int DY, int DX);
// Draws an image list entry (or a graphic) aligned in ARect, clipped to it when it does not fit.
void DrawImageInCell(ui::TCustomImageList* Images, ui::TGraphic* Graphic, ui::TCanvas* Canvas, TAlignment Alignment,
                     int XOffset, int ImageIndex, const TRect& ARect);
ui::TColor BrightenColor(ui::TColor Color, int Divisor);
TColumnEh* ColumnByFieldNameOrError(TCustomDBGridEh* Grid, const WideString& FieldName);

// --- storage interceptors of the columns ---

class TColumnEhPropertyInterceptor : public TStoragePropertyInterceptor {
    RTL_CLASS(TColumnEhPropertyInterceptor, TStoragePropertyInterceptor)
public:
    using TStoragePropertyInterceptor::TStoragePropertyInterceptor;
    // With auto-fitting the stored width is the column's share, not its pixels.
    void SetWidth(int Value);
};

class TColumnsEhPropertyInterceptor : public TStoragePropertyInterceptor {
    RTL_CLASS(TColumnsEhPropertyInterceptor, TStoragePropertyInterceptor)
public:
    using TStoragePropertyInterceptor::TStoragePropertyInterceptor;
    // The field names in column order, each quoted, separated by commas.
    AnsiString ColumnsIndex() const;
    void SetColumnsIndex(const AnsiString& Value);

private:
    AnsiString FColumnsIndex;
};

void RegisterGridPropertyInterceptors();

}  // namespace grid
