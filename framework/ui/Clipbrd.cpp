#include "framework/ui/Clipbrd.h"

#include <algorithm>

#include "framework/rtl/SysUtils.h"
#include "framework/rtl/Text.h"

namespace ui {

namespace {

std::vector<rtl::AnsiString>& RegisteredNames() {
    static std::vector<rtl::AnsiString> names;
    return names;
}

std::unique_ptr<IClipboardStore>& StorePtr() {
    static std::unique_ptr<IClipboardStore> store = std::make_unique<TMemoryClipboardStore>();
    return store;
}

constexpr TClipboardFormat FirstRegistered = 0xC000;

rtl::AnsiString BytesToAnsi(const rtl::TBytes& B) {
    rtl::AnsiString s(B.begin(), B.end());
    const auto nul = s.find('\0');
    if (nul != rtl::AnsiString::npos) s.resize(nul);
    return s;
}

rtl::WideString BytesToWide(const rtl::TBytes& B) {
    rtl::WideString w;
    for (size_t i = 0; i + 1 < B.size(); i += 2) {
        const char16_t c = static_cast<char16_t>(B[i] | (B[i + 1] << 8));
        if (c == 0) break;
        w.push_back(c);
    }
    return w;
}

rtl::TBytes AnsiToBytes(const rtl::AnsiString& S) {
    rtl::TBytes b(S.begin(), S.end());
    b.push_back(0);
    return b;
}

rtl::TBytes WideToBytes(const rtl::WideString& W) {
    rtl::TBytes b;
    b.reserve(W.size() * 2 + 2);
    for (char16_t c : W) {
        b.push_back(static_cast<uint8_t>(c & 0xFF));
        b.push_back(static_cast<uint8_t>(c >> 8));
    }
    b.push_back(0);
    b.push_back(0);
    return b;
}

bool AllInAnsi(const rtl::WideString& W) {
    return std::all_of(W.begin(), W.end(), [](char16_t c) { return rtl::WideCharInAnsi(c); });
}

// The other text format as the window system makes it from the one present: 1251 text becomes
// Unicode; Unicode text becomes 1251 only when every character has a 1251 form.
bool Synthesized(const IClipboardStore& S, TClipboardFormat Format, rtl::TBytes* Data) {
    if (S.HasData(Format)) return false;
    if (Format == CF_UNICODETEXT && S.HasData(CF_TEXT)) {
        if (Data) *Data = WideToBytes(rtl::AnsiToWide(BytesToAnsi(S.GetData(CF_TEXT))));
        return true;
    }
    if (Format == CF_TEXT && S.HasData(CF_UNICODETEXT)) {
        const rtl::WideString w = BytesToWide(S.GetData(CF_UNICODETEXT));
        if (!AllInAnsi(w)) return false;
        if (Data) *Data = AnsiToBytes(rtl::WideToAnsi(w));
        return true;
    }
    return false;
}

}  // namespace

TClipboardFormat RegisterClipboardFormat(const rtl::AnsiString& Name) {
    if (Name.empty()) return 0;
    auto& names = RegisteredNames();
    for (size_t i = 0; i < names.size(); ++i)
        if (rtl::AnsiUpperCase(names[i]) == rtl::AnsiUpperCase(Name))
            return FirstRegistered + static_cast<TClipboardFormat>(i);
    names.push_back(Name);
    return FirstRegistered + static_cast<TClipboardFormat>(names.size() - 1);
}

rtl::AnsiString GetClipboardFormatName(TClipboardFormat Format) {
    auto& names = RegisteredNames();
    if (Format < FirstRegistered || Format - FirstRegistered >= names.size()) return {};
    return names[Format - FirstRegistered];
}

void TMemoryClipboardStore::SetData(TClipboardFormat Format, rtl::TBytes Data) {
    for (auto& item : FItems)
        if (item.first == Format) {
            item.second = std::move(Data);
            return;
        }
    FItems.emplace_back(Format, std::move(Data));
}

bool TMemoryClipboardStore::HasData(TClipboardFormat Format) const {
    return std::any_of(FItems.begin(), FItems.end(), [&](const auto& item) { return item.first == Format; });
}

rtl::TBytes TMemoryClipboardStore::GetData(TClipboardFormat Format) const {
    for (const auto& item : FItems)
        if (item.first == Format) return item.second;
    return {};
}

std::vector<TClipboardFormat> TMemoryClipboardStore::Formats() const {
    std::vector<TClipboardFormat> list;
    for (const auto& item : FItems) list.push_back(item.first);
    return list;
}

TClipboard* Clipboard() {
    static TClipboard clipboard;
    return &clipboard;
}

void SetClipboardStore(std::unique_ptr<IClipboardStore> Store) {
    StorePtr() = Store ? std::move(Store) : std::make_unique<TMemoryClipboardStore>();
}

IClipboardStore& ClipboardStore() { return *StorePtr(); }

void TClipboard::Open() {
    if (FOpenRefCount++ == 0) FEmptied = false;
}

void TClipboard::Close() {
    if (FOpenRefCount > 0) --FOpenRefCount;
}

void TClipboard::Adding() {
    if (FOpenRefCount == 0 || !FEmptied) {
        ClipboardStore().Clear();
        FEmptied = true;
    }
}

void TClipboard::Clear() {
    ClipboardStore().Clear();
    if (FOpenRefCount > 0) FEmptied = true;
}

bool TClipboard::HasFormat(TClipboardFormat Format) const {
    const IClipboardStore& s = ClipboardStore();
    if (s.HasData(Format)) return true;
    if (Format == CF_OEMTEXT) return s.HasData(CF_TEXT) || s.HasData(CF_UNICODETEXT);
    return Synthesized(s, Format, nullptr);
}

namespace {

std::vector<TClipboardFormat> AllFormats() {
    const IClipboardStore& s = ClipboardStore();
    std::vector<TClipboardFormat> list = s.Formats();
    for (TClipboardFormat f : {CF_TEXT, CF_UNICODETEXT})
        if (std::find(list.begin(), list.end(), f) == list.end() && Synthesized(s, f, nullptr)) list.push_back(f);
    return list;
}

}  // namespace

int TClipboard::FormatCount() const { return static_cast<int>(AllFormats().size()); }

TClipboardFormat TClipboard::Formats(int Index) const {
    const auto list = AllFormats();
    if (Index < 0 || Index >= static_cast<int>(list.size()))
        throw rtl::EListError("List index out of bounds (" + std::to_string(Index) + ")");
    return list[static_cast<size_t>(Index)];
}

void TClipboard::SetData(TClipboardFormat Format, rtl::TBytes Data) {
    Adding();
    ClipboardStore().SetData(Format, std::move(Data));
}

void TClipboard::SetBuffer(TClipboardFormat Format, const void* Buffer, size_t Size) {
    const auto* p = static_cast<const uint8_t*>(Buffer);
    SetData(Format, rtl::TBytes(p, p + Size));
}

rtl::TBytes TClipboard::GetData(TClipboardFormat Format) const {
    rtl::TBytes data;
    if (Synthesized(ClipboardStore(), Format, &data)) return data;
    return ClipboardStore().GetData(Format);
}

rtl::AnsiString TClipboard::AsText() const {
    const IClipboardStore& s = ClipboardStore();
    if (s.HasData(CF_TEXT)) return BytesToAnsi(s.GetData(CF_TEXT));
    if (s.HasData(CF_UNICODETEXT)) return rtl::WideToAnsi(BytesToWide(s.GetData(CF_UNICODETEXT)));
    return {};
}

void TClipboard::SetAsText(const rtl::AnsiString& Value) { SetData(CF_TEXT, AnsiToBytes(Value)); }

rtl::WideString TClipboard::AsWideText() const {
    const IClipboardStore& s = ClipboardStore();
    if (s.HasData(CF_UNICODETEXT)) return BytesToWide(s.GetData(CF_UNICODETEXT));
    if (s.HasData(CF_TEXT)) return rtl::AnsiToWide(BytesToAnsi(s.GetData(CF_TEXT)));
    return {};
}

void TClipboard::SetAsWideText(const rtl::WideString& Value) { SetData(CF_UNICODETEXT, WideToBytes(Value)); }

}  // namespace ui
