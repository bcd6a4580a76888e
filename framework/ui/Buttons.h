// The speed button: a graphic button with a glyph that can stay down, alone or in a group.
#pragma once

#include <memory>

#include "framework/ui/Controls.h"

namespace ui {

enum class TButtonState { bsUp, bsDisabled, bsDown, bsExclusive };
enum class TButtonLayout { blGlyphLeft, blGlyphRight, blGlyphTop, blGlyphBottom };

class TSpeedButton : public TGraphicControl {
    RTL_CLASS(TSpeedButton, TGraphicControl)
public:
    explicit TSpeedButton(TComponent* Owner);
    ~TSpeedButton() override;

    // Buttons with the same non-zero GroupIndex and parent stay down one at a time.
    int GroupIndex() const noexcept { return FGroupIndex; }
    void SetGroupIndex(int Value);
    bool Down() const noexcept { return FDown; }
    void SetDown(bool Value);
    // A grouped button that is down goes up when clicked again.
    bool AllowAllUp() const noexcept { return FAllowAllUp; }
    void SetAllowAllUp(bool Value);
    bool Flat() const noexcept { return FFlat; }
    void SetFlat(bool Value);
    TBitmap* Glyph() const noexcept { return FGlyph.get(); }
    void SetGlyph(TBitmap* Value);
    // Images side by side in the glyph: up, disabled, down, exclusive.
    int NumGlyphs() const noexcept { return FNumGlyphs; }
    void SetNumGlyphs(int Value);
    TButtonLayout Layout() const noexcept { return FLayout; }
    void SetLayout(TButtonLayout Value);
    TButtonState State() const noexcept { return FState; }
    // Flat buttons show a frame only while the mouse is over them.
    bool MouseInControl() const noexcept { return FMouseInControl; }
    void Click() override;

protected:
    void Paint() override;
    void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) override;
    void MouseMove(TShiftState Shift, int X, int Y) override;
    void MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) override;
    void CMMouseEnter(TMessage& Message) override;
    void CMMouseLeave(TMessage& Message) override;
    void CMEnabledChanged(TMessage& Message) override;
    // For descendants whose press may end before the release (a press sliding off its part).
    void SetState(TButtonState Value);

private:
    void UpdateExclusive();
    int FGroupIndex = 0;
    bool FDown = false, FAllowAllUp = false, FFlat = false, FDragging = false, FMouseInControl = false;
    std::unique_ptr<TBitmap> FGlyph;
    int FNumGlyphs = 1;
    TButtonLayout FLayout = TButtonLayout::blGlyphLeft;
    TButtonState FState = TButtonState::bsUp;
};

}  // namespace ui
