// Dragging inside the program: a drag owns the mouse until it drops or is cancelled.
#include <cstdlib>

#include "framework/ui/Controls.h"
#include "framework/ui/Forms.h"

namespace ui {

namespace {

struct TDrag {
    TControl* Source = nullptr;
    TDragObject* Object = nullptr;  // from OnStartDrag; not owned
    bool Active = false;            // the threshold was passed
    int Threshold = 5;
    TPoint Start;
    TControl* Target = nullptr;
    bool Accepted = false;
    TCursor SavedShape = crDefault;
};

TDrag& Drag() {
    static TDrag d;
    return d;
}

TObject* SourceOf(const TDrag& D) { return D.Object ? static_cast<TObject*>(D.Object) : D.Source; }

TCursor CursorFor(const TDrag& D, bool Accepted, TPoint P) {
    if (D.Object) return D.Object->GetDragCursor(Accepted, P.X, P.Y);
    return Accepted ? D.Source->DragCursor() : crNoDrop;
}

void DragTo(TPoint ScreenPos) {
    TDrag& d = Drag();
    TControl* target = FindDragTarget(ScreenPos, false);
    if (target != d.Target) {
        if (TControl* old = d.Target) {
            d.Target = nullptr;
            bool ignored = false;
            const TPoint p = old->ScreenToClient(ScreenPos);
            old->DragOver(SourceOf(d), p.X, p.Y, dsDragLeave, ignored);
            if (!d.Source) return;  // the handler ended the drag
        }
        d.Target = target;
        d.Accepted = false;
        if (target) {
            const TPoint p = target->ScreenToClient(ScreenPos);
            target->DragOver(SourceOf(d), p.X, p.Y, dsDragEnter, d.Accepted);
        }
    } else if (target) {
        const TPoint p = target->ScreenToClient(ScreenPos);
        target->DragOver(SourceOf(d), p.X, p.Y, dsDragMove, d.Accepted);
    }
    if (d.Source) SetCursorShape(CursorFor(d, d.Target && d.Accepted, ScreenPos));
}

void DragDone(bool Drop) {
    TDrag d = Drag();
    Drag() = TDrag();
    if (!d.Source) return;
    SetCursorShape(d.SavedShape);
    const TPoint pos = GetCursorPos();
    TControl* target = (Drop && d.Active && d.Target && d.Accepted) ? d.Target : nullptr;
    if (d.Active && d.Target) {
        const TPoint p = d.Target->ScreenToClient(pos);
        if (target) {
            target->DragDrop(SourceOf(d), p.X, p.Y);
        } else {
            bool ignored = false;
            d.Target->DragOver(SourceOf(d), p.X, p.Y, dsDragLeave, ignored);
        }
    }
    const TPoint p = target ? target->ScreenToClient(pos) : Point(0, 0);
    d.Source->DoEndDrag(target, p.X, p.Y);
}

}  // namespace

TCursor TDragObject::GetDragCursor(bool Accepted, int, int) { return Accepted ? crDrag : crNoDrop; }

void TControl::BeginDrag(bool Immediate, int Threshold) {
    if (Drag().Source) return;
    TDrag& d = Drag();
    d.Source = this;
    d.Threshold = Threshold < 0 ? 5 : Threshold;
    d.Start = GetCursorPos();
    d.SavedShape = GetCursorShape();
    // The drag takes the mouse from whoever held it.
    if (GetCapture()) ReleaseCapture();
    TDragObject* object = nullptr;
    DoStartDrag(object);
    if (Drag().Source != this) return;
    Drag().Object = object;
    if (Immediate) {
        Drag().Active = true;
        DragTo(d.Start);
    }
}

bool TControl::Dragging() const { return Drag().Source == this; }

void TControl::EndDrag(bool Drop) {
    if (Dragging()) DragDone(Drop);
}

void TControl::DoStartDrag(TDragObject*& DragObject) {
    if (OnStartDrag) OnStartDrag(this, DragObject);
}

void TControl::DoEndDrag(TObject* Target, int X, int Y) {
    if (OnEndDrag) OnEndDrag(this, Target, X, Y);
}

void TControl::DragOver(TObject* Source, int X, int Y, TDragState State, bool& Accept) {
    Accept = static_cast<bool>(OnDragOver);
    if (OnDragOver) OnDragOver(this, Source, X, Y, State, Accept);
}

void TControl::DragDrop(TObject* Source, int X, int Y) {
    if (OnDragDrop) OnDragDrop(this, Source, X, Y);
}

TControl* DragControl() { return Drag().Source; }

void CancelDrag() { DragDone(false); }

namespace detail {

bool DragMouseInput(UINT Msg, TPoint ScreenPos) {
    TDrag& d = Drag();
    if (!d.Source) return false;
    switch (Msg) {
        case WM_MOUSEMOVE:
            if (!d.Active &&
                (std::abs(ScreenPos.X - d.Start.X) > d.Threshold || std::abs(ScreenPos.Y - d.Start.Y) > d.Threshold))
                d.Active = true;
            if (d.Active) DragTo(ScreenPos);
            break;
        case WM_LBUTTONUP: DragDone(true); break;
        case WM_RBUTTONDOWN: DragDone(false); break;
        default: break;
    }
    return true;
}

void DragControlGoing(TControl* Control) {
    TDrag& d = Drag();
    if (d.Source == Control)
        d = TDrag();
    else if (d.Target == Control)
        d.Target = nullptr;
}

}  // namespace detail

}  // namespace ui
