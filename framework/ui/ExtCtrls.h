// Non-visual helpers of forms: the component timer.
#pragma once

#include <algorithm>
#include <cstdint>
#include <functional>
#include <memory>

#include "framework/rtl/Classes.h"
#include "framework/ui/Controls.h"

namespace ui {

// Fires OnTimer every Interval milliseconds of the process clock while Enabled; the message loop
// (rtl::ProcessTimers) drives it.
class TTimer : public rtl::TComponent {
    RTL_CLASS(TTimer, rtl::TComponent)
public:
    explicit TTimer(rtl::TComponent* Owner);
    ~TTimer() override;
    void AfterConstruction() override;

    bool Enabled() const noexcept { return FEnabled; }
    void SetEnabled(bool Value);
    uint32_t Interval() const noexcept { return FInterval; }
    // 0 stops the timer.
    void SetInterval(uint32_t Value);
    void SetOnTimer(rtl::TNotifyEvent Value);
    const rtl::TNotifyEvent& OnTimer() const noexcept { return FOnTimer; }

protected:
    virtual void Timer();

private:
    void UpdateTimer();
    bool FEnabled = true;
    uint32_t FInterval = 1000;
    rtl::TNotifyEvent FOnTimer;
};


// ---------------------------------------------------------------------------------------------
// Panels, bevels, shapes, images and splitters

enum class TBevelCut { bvNone, bvLowered, bvRaised, bvSpace };

class TCustomPanel : public TCustomControl {
    RTL_CLASS(TCustomPanel, TCustomControl)
public:
    explicit TCustomPanel(rtl::TComponent* Owner);
    TBevelCut BevelOuter() const noexcept { return FBevelOuter; }
    void SetBevelOuter(TBevelCut Value);
    TBevelCut BevelInner() const noexcept { return FBevelInner; }
    void SetBevelInner(TBevelCut Value);
    int BevelWidth() const noexcept { return FBevelWidth; }
    void SetBevelWidth(int Value);
    int BorderWidth() const noexcept { return FBorderWidth; }
    void SetBorderWidth(int Value);
    // 0 left, 1 right, 2 centre.
    int Alignment() const noexcept { return FAlignment; }
    void SetAlignment(int Value);
    // The frame the bevels and border take on every side.
    int FrameWidth() const noexcept;

protected:
    void Paint() override;
    void AlignControls(TControl* AControl, TRect& Rect) override;
    void CMTextChanged(TMessage& Message) override;

private:
    TBevelCut FBevelOuter = TBevelCut::bvRaised;
    TBevelCut FBevelInner = TBevelCut::bvNone;
    int FBevelWidth = 1;
    int FBorderWidth = 0;
    int FAlignment = 2;
};

class TPanel : public TCustomPanel {
    RTL_CLASS(TPanel, TCustomPanel)
public:
    using TCustomPanel::TCustomPanel;
};

enum class TBevelShape { bsBox, bsFrame, bsTopLine, bsBottomLine, bsLeftLine, bsRightLine, bsSpacer };
enum class TBevelStyle { bsLowered, bsRaised };

class TBevel : public TGraphicControl {
    RTL_CLASS(TBevel, TGraphicControl)
public:
    explicit TBevel(rtl::TComponent* Owner);
    TBevelShape Shape() const noexcept { return FShape; }
    void SetShape(TBevelShape Value);
    TBevelStyle Style() const noexcept { return FStyle; }
    void SetStyle(TBevelStyle Value);

protected:
    void Paint() override;

private:
    TBevelShape FShape = TBevelShape::bsBox;
    TBevelStyle FStyle = TBevelStyle::bsLowered;
};

enum class TShapeType { stRectangle, stSquare, stRoundRect, stRoundSquare, stEllipse, stCircle };

class TShape : public TGraphicControl {
    RTL_CLASS(TShape, TGraphicControl)
public:
    explicit TShape(rtl::TComponent* Owner);
    ~TShape() override;
    TShapeType Shape() const noexcept { return FShape; }
    void SetShape(TShapeType Value);
    TPen* Pen() const noexcept { return FPen.get(); }
    TBrush* Brush() const noexcept { return FBrush.get(); }

protected:
    void Paint() override;

private:
    TShapeType FShape = TShapeType::stRectangle;
    std::unique_ptr<TPen> FPen;
    std::unique_ptr<TBrush> FBrush;
};

class TImage : public TGraphicControl {
    RTL_CLASS(TImage, TGraphicControl)
public:
    explicit TImage(rtl::TComponent* Owner);
    ~TImage() override;
    TPicture* Picture() const noexcept { return FPicture.get(); }
    void SetPicture(TPicture* Value);
    bool Stretch() const noexcept { return FStretch; }
    void SetStretch(bool Value);
    bool Center() const noexcept { return FCenter; }
    void SetCenter(bool Value);
    bool AutoSize() const noexcept { return FAutoSize; }
    void SetAutoSize(bool Value);
    // Where the picture is drawn.
    TRect DestRect() const;

protected:
    void Paint() override;

private:
    void PictureChanged();
    std::unique_ptr<TPicture> FPicture;
    bool FStretch = false, FCenter = false, FAutoSize = false;
};

using TCanResizeEvent = std::function<void(TObject* Sender, int& NewSize, bool& Accept)>;

// Dragged, it resizes the control aligned on the same side just before it.
class TSplitter : public TGraphicControl {
    RTL_CLASS(TSplitter, TGraphicControl)
public:
    explicit TSplitter(rtl::TComponent* Owner);
    int MinSize() const noexcept { return FMinSize; }
    void SetMinSize(int Value) noexcept { FMinSize = std::max(1, Value); }
    // The control it resizes (found when a drag starts); null when none.
    TControl* FindControl() const;
    TCanResizeEvent OnCanResize;
    TNotifyEvent OnMoved;

protected:
    void Paint() override;
    void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) override;
    void MouseMove(TShiftState Shift, int X, int Y) override;
    void MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) override;

private:
    int FMinSize = 30;
    TControl* FControl = nullptr;
    TPoint FDownPos;
    int FStartSize = 0;
};

}  // namespace ui
