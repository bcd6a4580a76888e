// Thin wrappers over the platform that the editors and the grid share.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <functional>
#include <memory>

#include "framework/db/DB.h"
#include "framework/rtl/Streams.h"
#include "framework/rtl/Variant.h"
#include "framework/ui/Graphics.h"
#include "framework/ui/Messages.h"

namespace editors {

using rtl::AnsiString;

// The dataset's order of two bookmarks: negative, 0 or positive; 0 without a dataset.
int DataSetCompareBookmarks(db::TDataSet* DataSet, const db::TBookmark& Bookmark1, const db::TBookmark& Bookmark2);

// The dataset of the data source that an object's class-typed property holds; nullptr when it
// holds none, or when reading the property or taking it as a data source fails. Properties are
// read through ReadProperty, the object's accessor for the property in question.
db::TDataSet* DataSetOfSourceProperty(rtl::TObject* Object,
                                      const std::function<rtl::TObject*(rtl::TObject*)>& ReadProperty);

// Changes the high bound of a one-dimensional variant array, keeping the elements that stay
// within the bounds; new elements are as a new array of that type makes them. A value that is
// not an array raises "Invalid variant operation"; a high bound below the low bound minus one
// "Variant or safe array index out of bounds".
void VariantArrayRedim(rtl::Variant& V, int HighBound);

// A 256-bit character set as eight 32-bit words.
using TByteSet32 = uint32_t[8];
bool ByteInSet(uint8_t Value, const TByteSet32& Set) noexcept;
AnsiString StringFromPChar(const char* Text);

int DrawTextStr(ui::HDC DC, const AnsiString& Text, ui::TRect& R, unsigned Flags);
int DrawTextExStr(ui::HDC DC, const AnsiString& Text, ui::TRect& R, unsigned Flags, ui::DRAWTEXTPARAMS* Params);
bool ExtTextOutStr(ui::HDC DC, int X, int Y, unsigned Options, const ui::TRect* R, const AnsiString& Text);
ui::LRESULT SendMessageStr(ui::HWND Wnd, ui::UINT Msg, ui::WPARAM WParam, const AnsiString& Text);
ui::LRESULT SendMessagePointer(ui::HWND Wnd, ui::UINT Msg, ui::WPARAM WParam, const void* LParam);
// EM_GETSEL: the selection's start and end.
void SendGetSel(ui::HWND Wnd, int& SelStart, int& SelEnd);
inline ui::LPARAM ObjectAsParam(const rtl::TObject* Object) { return reinterpret_cast<ui::LPARAM>(Object); }

// Copies of a generic message record as a key or mouse message: the copy's fields and result are
// its own, so a handler working on the copy leaves the original as it was.
void MessageToKeyMessage(const ui::TMessage& Message, ui::TMessage& KeyMessage);
void MessageToMouseMessage(const ui::TMessage& Message, ui::TMessage& MouseMessage);

// The window-system calls on a window handle; false (nothing done) for a handle that is no window.
bool WinInvalidateRect(ui::HWND Wnd, const ui::TRect* R, bool Erase);
bool WinValidateRect(ui::HWND Wnd, const ui::TRect* R);
bool WinScrollWindow(ui::HWND Wnd, int DX, int DY, const ui::TRect* Rect, const ui::TRect* ClipRect);
// The scroll with its flags (SW_SCROLLCHILDREN, SW_INVALIDATE, SW_ERASE): the pixels move and the
// uncovered part, given in UpdateRgn and UpdateRect when asked for, is what must be painted again;
// the region's kind, 0 for a handle that is no window.
int WinScrollWindowEx(ui::HWND Wnd, int DX, int DY, const ui::TRect* Rect, const ui::TRect* ClipRect,
                      ui::TRegion* UpdateRgn, ui::TRect* UpdateRect, unsigned Flags);
bool WinSystemParametersInfo(ui::UINT Action, void* Param);
// The metrics of the canvas's font; false without a canvas.
bool WinGetOutlineTextMetrics(ui::HDC DC, ui::TTextMetric& Metrics);
// A bitmap of a module by name, or a system bitmap (OBM_) by number from module 0; false, the
// bitmap untouched, when there is none.
bool WinLoadBitmap(ui::HINSTANCE Module, const AnsiString& Name, ui::TBitmap* Bitmap);
bool WinLoadBitmap(ui::HINSTANCE Module, int Id, ui::TBitmap* Bitmap);
// The module's bitmap of the name; EResNotFound "Resource %s not found" when it has none.
void BitmapLoadFromResource(ui::TBitmap* Bitmap, ui::HINSTANCE Module, const AnsiString& ResName);
// The region of the pixels inside a polygon (alternate filling).
ui::TRegion WinCreatePolygonRgn(const ui::TPoint* Points, int Count);

inline ui::LPARAM SmallPointToLParam(ui::TPoint P) { return ui::PointToLParam(P.X, P.Y); }
inline ui::TPoint LParamToSmallPoint(ui::LPARAM L) { return ui::LParamToPoint(L); }
// Both corners through the canvas's mapping.
ui::TRect RectLPtoDP(ui::HDC DC, const ui::TRect& R);
inline void ClearRect(ui::TRect& R) noexcept { R = ui::TRect{0, 0, 0, 0}; }

AnsiString AnsiUpperCaseStr(const AnsiString& S);
AnsiString AnsiLowerCaseStr(const AnsiString& S);
// The user locale's order: -1, 0 or 1.
int CompareStrByLocale(const AnsiString& S1, const AnsiString& S2);
int CompareTextByLocale(const AnsiString& S1, const AnsiString& S2);

// A memory stream that grows in steps of twice its delta, so that many small writes (grid exports)
// do not reallocate each time.
class TMemoryStreamEh : public rtl::TStream {
    RTL_CLASS(TMemoryStreamEh, rtl::TStream)
public:
    TMemoryStreamEh() = default;

    int64_t Read(void* Buffer, int64_t Count) override;
    int64_t Write(const void* Buffer, int64_t Count) override;
    int64_t Seek(int64_t Offset, rtl::TSeekOrigin Origin) override;
    int64_t Size() override { return FSize; }
    // New bytes are zero; "Out of memory while expanding memory stream" when the block cannot
    // grow, with the stream as it was.
    void SetSize(int64_t NewSize) override;

    void* Memory() noexcept { return FMemory.get(); }
    int64_t Capacity() const noexcept { return FCapacity; }
    void Clear() { SetSize(0); }
    int GrowthDelta() const noexcept { return FDelta; }
    // The step is twice the delta; a delta below 1 is refused (EInvalidOperation), the stream as it was.
    void SetGrowthDelta(int Value);

protected:
    // Rounds NewCapacity to the growth step and gives the block of that size.
    virtual void GrowCapacity(int64_t& NewCapacity);

private:
    void SetCapacity(int64_t NewCapacity);
    struct TFree {
        void operator()(void* P) const noexcept { std::free(P); }
    };
    std::unique_ptr<uint8_t, TFree> FMemory;
    int64_t FCapacity = 0;
    int64_t FSize = 0;
    int64_t FPosition = 0;
    int FDelta = 4096;
};

}  // namespace editors
