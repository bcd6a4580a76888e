// Painters of the library's small graphic elements (check squares, edit-button faces with a cache of
// pre-drawn faces, images, tree lines, gradients), drop-down placement and pending-click discarding.
#pragma once

#include <memory>
#include <vector>

#include "framework/db/DB.h"
#include "framework/ui/Controls.h"
#include "framework/ui/Graphics.h"
#include "framework/ui/ImgList.h"

namespace editors {

using ui::HDC;
using ui::TColor;
using ui::TPoint;
using ui::TRect;

enum TCheckBoxState { cbUnchecked, cbChecked, cbGrayed };
enum TTextLayout { tlTop, tlCenter, tlBottom };
enum TDropDownAlign { daLeft, daRight, daCenter };
using db::TAlignment;

// Drawing styles of a button face.
inline constexpr int bfsDropDown = 0;
inline constexpr int bfsEllipsis = 1;
inline constexpr int bfsUpDown = 2;
inline constexpr int bfsCheckBox = 3;
inline constexpr int bfsPlus = 4;
inline constexpr int bfsMinus = 5;

// Set on first use and kept for the process.
int FlatButtonWidth();
int CheckBoxWidth();
int CheckBoxHeight();
// Faces come from the cache while set.
extern bool UseButtonBitmapCache;

struct TButtonBitmapKey {
    int Width = 0;
    int Height = 0;
    int Style = 0;
    bool Flat = false;
    bool Pressed = false;
    bool Active = false;
    bool Enabled = true;
    bool LowerHalf = false;
    int State = 0;
    friend bool operator==(const TButtonBitmapKey&, const TButtonBitmapKey&) = default;
};

// Pre-drawn faces, one per distinct key; only grows until flushed.
class TButtonsBitmapCache {
public:
    // The face for Key (negative sizes count as 0), drawn on a miss; owned by the cache.
    ui::TBitmap* GetBitmap(TButtonBitmapKey Key);
    void Clear() noexcept { FEntries.clear(); }
    int Count() const noexcept { return static_cast<int>(FEntries.size()); }

private:
    struct TEntry {
        TButtonBitmapKey Key;
        rtl::TOwnedPtr<ui::TBitmap> Bitmap;
    };
    std::vector<TEntry> FEntries;
};

TButtonsBitmapCache& ButtonsBitmapCache();
// Called when system colours change so faces are redrawn in the new colours.
void FlushButtonBitmapCache();

bool ThemesActive();

void DrawEditButtonFace(HDC DC, const TRect& Rect, TColor BackColor, int Style, int DownPart, bool Flat, bool Active,
                        bool Enabled, TCheckBoxState State);
void DrawButtonFaceKind(HDC DC, int Style, const TRect& Rect, bool Enabled, bool Flat, bool Active, bool Pressed,
                        bool LowerHalf);
void DrawDropDownFace(HDC DC, const TRect& Rect, bool Enabled, bool Pressed, bool Active, bool Flat);
void DrawSpinFace(HDC DC, const TRect& Rect, bool Enabled, bool LowerHalf, bool Pressed, bool Active, bool Flat);
void DrawEllipsisFace(HDC DC, const TRect& Rect, bool Enabled, bool Pressed, bool Flat, bool Active);
void DrawPlusMinusFace(HDC DC, const TRect& Rect, bool Enabled, bool Active, bool Flat, bool Pressed, bool IsPlus);
void DrawCheckSquare(HDC DC, const TRect& Rect, TCheckBoxState State, bool Active, bool Pressed, bool Flat,
                     bool Enabled);

TRect FitCheckBoxRect(const TRect& Rect, TAlignment HAlign, TTextLayout VLayout);
int ComputeFlatButtonWidth();
int EditButtonHeightForWidth(int Width, bool Flat);
void DrawImageCentered(HDC DC, const TRect& Rect, ui::TCustomImageList* Images, bool Selected, int ImageIndex);

// Top-left point for the drop-down next to AnchorRect (screen) inside the nearest work area; may
// shrink the drop-down and tells it the chosen sides through WM_DROPDOWNPLACED.
TPoint PlaceDropDownAtRect(const TRect& AnchorRect, ui::TWinControl* DropDown, TDropDownAlign Align);
TPoint PlaceDropDownUnderControl(ui::TControl* Anchor, ui::TWinControl* DropDown, TDropDownAlign Align);

void DrawDottedLine(ui::TCanvas* Canvas, TPoint Start, int Length, bool Phase, bool Horizontal);
void DrawTreeLinesElement(ui::TCanvas* Canvas, const TRect& Rect, int Kind, bool ShiftBox, double ScaleY, double ScaleX,
                          bool Phase);
void FillGradientVertical(ui::TCanvas* Canvas, const TRect& Rect, TColor Color1, TColor Color2);
// Points[0..HighIndex] taken in pairs, each pair one segment offset by Origin.
void DrawGradientSegments(ui::TCanvas* Canvas, TPoint Origin, const TPoint* Points, TColor Color1, TColor Color2,
                          int HighIndex);
using ui::ColorToImageListColor;
using ui::MixColors;

bool IsDoubleClickPair(TPoint OldPos, TPoint NewPos, uint32_t Interval);
// Remove a queued left click aimed at the control; true when one was removed.
bool DiscardPendingClickInClient(ui::TControl* Control);
bool DiscardPendingClickOnControl(ui::TControl* Control);

}  // namespace editors
