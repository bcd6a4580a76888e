#include "controls/editors/TarnelVCL.h"

#include <algorithm>
#include <cstring>
#include <limits>

#include "framework/rtl/Exceptions.h"
#include "framework/rtl/Text.h"
#include "framework/ui/Controls.h"
#include "framework/ui/Forms.h"

namespace editors {

int DataSetCompareBookmarks(db::TDataSet* DataSet, const db::TBookmark& Bookmark1, const db::TBookmark& Bookmark2) {
    if (!DataSet) return 0;
    return DataSet->CompareBookmarks(Bookmark1, Bookmark2);
}

db::TDataSet* DataSetOfSourceProperty(rtl::TObject* Object,
                                      const std::function<rtl::TObject*(rtl::TObject*)>& ReadProperty) {
    if (!Object || !ReadProperty) return nullptr;
    try {
        auto* source = dynamic_cast<db::TDataSource*>(ReadProperty(Object));
        return source ? source->DataSet() : nullptr;
    } catch (const rtl::Exception&) {
        // A property that cannot be read holds no data source as far as the caller is concerned.
        return nullptr;
    }
}

void VariantArrayRedim(rtl::Variant& V, int HighBound) {
    if (!V.IsArray()) throw rtl::EVariantInvalidOpError("Invalid variant operation");
    const int low = V.ArrayLowBound();
    if (HighBound < low - 1) throw rtl::EVariantBadIndexError("Variant or safe array index out of bounds");
    rtl::Variant bigger = rtl::Variant::CreateArray(low, HighBound, V.ArrayElementType());
    const int keep = std::min(HighBound, V.ArrayHighBound());
    for (int i = low; i <= keep; ++i) bigger.SetElement(i, V.GetElement(i));
    V = std::move(bigger);
}

void MessageToKeyMessage(const ui::TMessage& Message, ui::TMessage& KeyMessage) {
    KeyMessage = ui::TMessage(Message.Msg, Message.WParam, Message.LParam);
    KeyMessage.Result = Message.Result;
}

void MessageToMouseMessage(const ui::TMessage& Message, ui::TMessage& MouseMessage) {
    MouseMessage = ui::TMessage(Message.Msg, Message.WParam, Message.LParam);
    MouseMessage.Result = Message.Result;
}

bool WinInvalidateRect(ui::HWND Wnd, const ui::TRect* R, bool Erase) {
    ui::TWinControl* control = ui::FindControl(Wnd);
    if (!control) return false;
    control->InvalidateRect(R, Erase);
    return true;
}

bool WinValidateRect(ui::HWND Wnd, const ui::TRect* R) {
    ui::TWinControl* control = ui::FindControl(Wnd);
    if (!control) return false;
    control->ValidateRect(R);
    return true;
}

bool WinScrollWindow(ui::HWND Wnd, int DX, int DY, const ui::TRect* Rect, const ui::TRect* ClipRect) {
    return ui::ScrollWindow(Wnd, DX, DY, Rect, ClipRect);
}

int WinScrollWindowEx(ui::HWND Wnd, int DX, int DY, const ui::TRect* Rect, const ui::TRect* ClipRect,
                      ui::TRegion* UpdateRgn, ui::TRect* UpdateRect, unsigned Flags) {
    return ui::ScrollWindowEx(Wnd, DX, DY, Rect, ClipRect, UpdateRgn, UpdateRect, Flags);
}

bool WinSystemParametersInfo(ui::UINT Action, void* Param) { return ui::SystemParametersInfo(Action, Param); }

bool WinGetOutlineTextMetrics(ui::HDC DC, ui::TTextMetric& Metrics) {
    if (!DC) return false;
    Metrics = DC->GetTextMetrics();
    return true;
}

bool WinLoadBitmap(ui::HINSTANCE Module, const AnsiString& Name, ui::TBitmap* Bitmap) {
    return ui::LoadBitmapResource(Bitmap, Module, Name);
}

bool WinLoadBitmap(ui::HINSTANCE Module, int Id, ui::TBitmap* Bitmap) {
    return Module == 0 ? ui::LoadSystemBitmap(Bitmap, Id) : ui::LoadBitmapResource(Bitmap, Module, std::to_string(Id));
}

void BitmapLoadFromResource(ui::TBitmap* Bitmap, ui::HINSTANCE Module, const AnsiString& ResName) {
    if (!ui::LoadBitmapResource(Bitmap, Module, ResName))
        throw ui::EResNotFound(rtl::Format("Resource %s not found", {ResName}));
}

ui::TRegion WinCreatePolygonRgn(const ui::TPoint* Points, int Count) {
    if (!Points || Count < 3) return ui::TRegion();
    return ui::TRegion::FromPolygon(Points, Count);
}

bool ByteInSet(uint8_t Value, const TByteSet32& Set) noexcept { return (Set[Value / 32] >> (Value % 32)) & 1u; }

AnsiString StringFromPChar(const char* Text) { return Text ? AnsiString(Text) : AnsiString(); }

int DrawTextStr(ui::HDC DC, const AnsiString& Text, ui::TRect& R, unsigned Flags) {
    return ui::DrawText(DC, Text, R, Flags);
}

int DrawTextExStr(ui::HDC DC, const AnsiString& Text, ui::TRect& R, unsigned Flags, ui::DRAWTEXTPARAMS* Params) {
    return ui::DrawTextEx(DC, Text, R, Flags, Params);
}

bool ExtTextOutStr(ui::HDC DC, int X, int Y, unsigned Options, const ui::TRect* R, const AnsiString& Text) {
    return ui::ExtTextOut(DC, X, Y, Options, R, Text);
}

ui::LRESULT SendMessageStr(ui::HWND Wnd, ui::UINT Msg, ui::WPARAM WParam, const AnsiString& Text) {
    return ui::SendMessage(Wnd, Msg, WParam, reinterpret_cast<ui::LPARAM>(Text.c_str()));
}

ui::LRESULT SendMessagePointer(ui::HWND Wnd, ui::UINT Msg, ui::WPARAM WParam, const void* LParam) {
    return ui::SendMessage(Wnd, Msg, WParam, reinterpret_cast<ui::LPARAM>(LParam));
}

void SendGetSel(ui::HWND Wnd, int& SelStart, int& SelEnd) {
    uint32_t start = 0, end = 0;
    ui::SendMessage(Wnd, ui::EM_GETSEL, reinterpret_cast<ui::WPARAM>(&start), reinterpret_cast<ui::LPARAM>(&end));
    SelStart = static_cast<int>(start);
    SelEnd = static_cast<int>(end);
}

ui::TRect RectLPtoDP(ui::HDC DC, const ui::TRect& R) {
    const ui::TPoint a = DC->LPtoDP(ui::TPoint{R.Left, R.Top});
    const ui::TPoint b = DC->LPtoDP(ui::TPoint{R.Right, R.Bottom});
    return ui::TRect{a.X, a.Y, b.X, b.Y};
}

AnsiString AnsiUpperCaseStr(const AnsiString& S) { return rtl::AnsiUpperCase(S); }
AnsiString AnsiLowerCaseStr(const AnsiString& S) { return rtl::AnsiLowerCase(S); }

namespace {
int Sign(int V) { return (V > 0) - (V < 0); }
}  // namespace

int CompareStrByLocale(const AnsiString& S1, const AnsiString& S2) { return Sign(rtl::AnsiCompareStr(S1, S2)); }
int CompareTextByLocale(const AnsiString& S1, const AnsiString& S2) { return Sign(rtl::AnsiCompareText(S1, S2)); }

// ---------------------------------------------------------------------------------------------
// TMemoryStreamEh

int64_t TMemoryStreamEh::Read(void* Buffer, int64_t Count) {
    if (Count <= 0 || FPosition >= FSize) return 0;
    const int64_t n = std::min(Count, FSize - FPosition);
    std::memcpy(Buffer, FMemory.get() + FPosition, size_t(n));
    FPosition += n;
    return n;
}

int64_t TMemoryStreamEh::Write(const void* Buffer, int64_t Count) {
    if (Count <= 0) return 0;
    const int64_t end = FPosition + Count;
    if (end > FSize) {
        if (end > FCapacity) SetCapacity(end);
        if (FPosition > FSize) std::memset(FMemory.get() + FSize, 0, size_t(FPosition - FSize));
        FSize = end;
    }
    std::memcpy(FMemory.get() + FPosition, Buffer, size_t(Count));
    FPosition = end;
    return Count;
}

int64_t TMemoryStreamEh::Seek(int64_t Offset, rtl::TSeekOrigin Origin) {
    switch (Origin) {
        case rtl::soBeginning: FPosition = Offset; break;
        case rtl::soCurrent: FPosition += Offset; break;
        case rtl::soEnd: FPosition = FSize + Offset; break;
    }
    return FPosition;
}

void TMemoryStreamEh::SetSize(int64_t NewSize) {
    NewSize = std::max<int64_t>(NewSize, 0);
    const int64_t old = FSize;
    SetCapacity(NewSize);
    FSize = NewSize;
    if (NewSize > old) std::memset(FMemory.get() + old, 0, size_t(NewSize - old));
    if (FPosition > NewSize) FPosition = NewSize;
}

void TMemoryStreamEh::SetCapacity(int64_t NewCapacity) { GrowCapacity(NewCapacity); }

void TMemoryStreamEh::SetGrowthDelta(int Value) {
    if (Value < 1) throw rtl::EInvalidOperation("Invalid growth step");
    FDelta = Value;
}

void TMemoryStreamEh::GrowCapacity(int64_t& NewCapacity) {
    const int64_t step = 2 * int64_t(FDelta);
    if (NewCapacity > 0 && NewCapacity != FSize) NewCapacity = (NewCapacity + step - 1) / step * step;
    if (NewCapacity == FCapacity) return;
    if (NewCapacity == 0) {
        FMemory.reset();
        FCapacity = 0;
        return;
    }
    // Stream positions and sizes are 32-bit in the exports that use the stream.
    void* p =
        NewCapacity > std::numeric_limits<int32_t>::max() ? nullptr : std::realloc(FMemory.get(), size_t(NewCapacity));
    if (!p) throw rtl::EStreamError("Out of memory while expanding memory stream");
    (void)FMemory.release();
    FMemory.reset(static_cast<uint8_t*>(p));
    FCapacity = NewCapacity;
}

}  // namespace editors
