// The clipboard: formats by number (the predefined text formats and formats registered by name),
// a store behind it (in memory here; the display backend installs the system's) and TClipboard.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "framework/rtl/Classes.h"

namespace ui {

using TClipboardFormat = uint32_t;
inline constexpr TClipboardFormat CF_TEXT = 1;
inline constexpr TClipboardFormat CF_BITMAP = 2;
inline constexpr TClipboardFormat CF_OEMTEXT = 7;
inline constexpr TClipboardFormat CF_UNICODETEXT = 13;
inline constexpr TClipboardFormat CF_LOCALE = 16;

// The same name (without regard to case) always gives the same number, from 0xC000 up; an empty
// name gives 0.
TClipboardFormat RegisterClipboardFormat(const rtl::AnsiString& Name);
// The registered name; empty for a predefined or unknown format.
rtl::AnsiString GetClipboardFormatName(TClipboardFormat Format);

// What holds the clipboard's data: one byte block per format.
class IClipboardStore {
public:
    virtual ~IClipboardStore() = default;
    virtual void Clear() = 0;
    virtual void SetData(TClipboardFormat Format, rtl::TBytes Data) = 0;
    virtual bool HasData(TClipboardFormat Format) const = 0;
    virtual rtl::TBytes GetData(TClipboardFormat Format) const = 0;
    // Formats in the order they were put.
    virtual std::vector<TClipboardFormat> Formats() const = 0;
};

class TMemoryClipboardStore : public IClipboardStore {
public:
    void Clear() override { FItems.clear(); }
    void SetData(TClipboardFormat Format, rtl::TBytes Data) override;
    bool HasData(TClipboardFormat Format) const override;
    rtl::TBytes GetData(TClipboardFormat Format) const override;
    std::vector<TClipboardFormat> Formats() const override;

private:
    std::vector<std::pair<TClipboardFormat, rtl::TBytes>> FItems;
};

// Text travels as CF_TEXT (1251, NUL-terminated) and CF_UNICODETEXT (UTF-16LE, NUL-terminated);
// either one is offered and readable as the other, as the window system converts them, except
// that Unicode text with a character outside 1251 is not offered as CF_TEXT.
class TClipboard : public rtl::TPersistent {
    RTL_CLASS(TClipboard, rtl::TPersistent)
public:
    TClipboard() = default;

    // Writes between Open and Close replace the clipboard's content together: the first write
    // empties it, the next ones add formats. A write outside Open replaces everything.
    void Open();
    void Close();
    void Clear();
    bool HasFormat(TClipboardFormat Format) const;
    int FormatCount() const;
    TClipboardFormat Formats(int Index) const;

    rtl::AnsiString AsText() const;
    void SetAsText(const rtl::AnsiString& Value);
    rtl::WideString AsWideText() const;
    void SetAsWideText(const rtl::WideString& Value);
    void SetBuffer(TClipboardFormat Format, const void* Buffer, size_t Size);
    void SetData(TClipboardFormat Format, rtl::TBytes Data);
    // The bytes of a format; empty when absent.
    rtl::TBytes GetData(TClipboardFormat Format) const;

private:
    void Adding();
    int FOpenRefCount = 0;
    bool FEmptied = false;
};

// The process's clipboard; its store is in memory until another is installed.
TClipboard* Clipboard();
void SetClipboardStore(std::unique_ptr<IClipboardStore> Store);
IClipboardStore& ClipboardStore();

}  // namespace ui
