#include "framework/rtl/IniFiles.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>

#include "framework/rtl/Ownership.h"
#include "framework/rtl/Streams.h"
#include "framework/rtl/SysUtils.h"
#include "framework/rtl/Text.h"

namespace rtl {

namespace {

constexpr const char* SIniFileWriteError = "Unable to write to %s";

AnsiString WriteErrorMessage(const AnsiString& fileName) { return Format(SIniFileWriteError, {fileName}); }

bool HasLineBreak(std::string_view s) { return s.find_first_of("\r\n") != std::string_view::npos; }

bool ParseInteger(const AnsiString& text, int32_t& value) {
    AnsiString s = Trim(text);
    bool negative = false;
    size_t p = 0;
    if (p < s.size() && (s[p] == '-' || s[p] == '+')) negative = s[p++] == '-';
    int base = 10;
    if (p < s.size() && s[p] == '$') {
        base = 16;
        ++p;
    } else if (p + 1 < s.size() && s[p] == '0' && (s[p + 1] == 'x' || s[p + 1] == 'X')) {
        base = 16;
        p += 2;
    }
    if (p >= s.size()) return false;
    int64_t v = 0;
    for (; p < s.size(); ++p) {
        char c = s[p];
        int d;
        if (c >= '0' && c <= '9')
            d = c - '0';
        else if (base == 16 && c >= 'a' && c <= 'f')
            d = c - 'a' + 10;
        else if (base == 16 && c >= 'A' && c <= 'F')
            d = c - 'A' + 10;
        else
            return false;
        v = v * base + d;
        if (v > (base == 16 ? int64_t{0xFFFFFFFF} : int64_t{0x80000000})) return false;
    }
    if (negative) v = -v;
    if (base == 16 && !negative && v > 0x7FFFFFFF) v -= int64_t{0x100000000};  // hex spells the bit pattern
    if (v < INT32_MIN || v > INT32_MAX) return false;
    value = static_cast<int32_t>(v);
    return true;
}

std::atomic<unsigned> gTempCounter{0};

// Replaces the lines of a list as one update.
template <class F>
void FillStrings(TStrings* Strings, F&& fill) {
    Strings->BeginUpdate();
    TryFinally(
        [&] {
            Strings->Clear();
            fill();
        },
        [&] { Strings->EndUpdate(); });
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// TCustomIniFile

int32_t TCustomIniFile::ReadInteger(const AnsiString& Section, const AnsiString& Ident, int32_t Default) {
    int32_t value;
    return ParseInteger(ReadString(Section, Ident, {}), value) ? value : Default;
}

void TCustomIniFile::WriteInteger(const AnsiString& Section, const AnsiString& Ident, int32_t Value) {
    WriteString(Section, Ident, std::to_string(Value));
}

bool TCustomIniFile::ReadBool(const AnsiString& Section, const AnsiString& Ident, bool Default) {
    return ReadInteger(Section, Ident, Default ? 1 : 0) != 0;
}

void TCustomIniFile::WriteBool(const AnsiString& Section, const AnsiString& Ident, bool Value) {
    WriteString(Section, Ident, Value ? "1" : "0");
}

bool TCustomIniFile::SectionExists(const AnsiString& Section) {
    TStringList keys;
    ReadSection(Section, &keys);
    return keys.Count() > 0;
}

bool TCustomIniFile::ValueExists(const AnsiString& Section, const AnsiString& Ident) {
    TStringList keys;
    ReadSection(Section, &keys);
    return keys.IndexOf(Ident) >= 0;
}

// ---------------------------------------------------------------------------------------------
// TMemIniFile

TMemIniFile::TMemIniFile(const AnsiString& FileName) : TCustomIniFile(FileName) { Reload(); }

void TMemIniFile::Reload() {
    Clear();
    if (FileName().empty()) return;
    struct stat st {};
    if (::stat(AnsiToUTF8(FileName()).c_str(), &st) != 0 && errno == ENOENT) return;
    TStringStream text;
    {
        TFileStream file(FileName(), fmOpenRead | fmShareDenyWrite);
        text.CopyFrom(&file, 0);
    }
    Parse(text.DataString());
}

void TMemIniFile::Clear() {
    FPreamble.clear();
    FSections.clear();
}

void TMemIniFile::Parse(const AnsiString& Text) {
    Clear();
    TStringList lines;
    lines.SetText(Text);
    TSection* current = nullptr;
    for (int i = 0; i < lines.Count(); ++i) {
        AnsiString line = Trim(lines[i]);
        if (line.empty()) continue;  // the writer puts one blank line after each section
        if (line.front() == '[' && line.back() == ']') {
            FSections.push_back(TSection{Trim(std::string_view(line).substr(1, line.size() - 2)), {}});
            current = &FSections.back();
            continue;
        }
        if (!current) {
            FPreamble.push_back(line);
            continue;
        }
        auto eq = line.find('=');
        if (line.front() == ';' || eq == AnsiString::npos || eq == 0)
            current->Entries.push_back(TEntry{{}, line});
        else
            current->Entries.push_back(
                TEntry{Trim(std::string_view(line).substr(0, eq)), Trim(std::string_view(line).substr(eq + 1))});
    }
}

AnsiString TMemIniFile::Content() const {
    AnsiString s;
    for (const auto& line : FPreamble) s += line + "\r\n";
    if (!FPreamble.empty()) s += "\r\n";
    for (const auto& section : FSections) {
        s += "[" + section.Name + "]\r\n";
        for (const auto& e : section.Entries) s += (e.Key.empty() ? e.Value : e.Key + "=" + e.Value) + "\r\n";
        s += "\r\n";
    }
    return s;
}

TMemIniFile::TSection* TMemIniFile::FindSection(const AnsiString& Section) {
    AnsiString name = Trim(Section);
    for (auto& s : FSections)
        if (AnsiSameText(s.Name, name)) return &s;
    return nullptr;
}

TMemIniFile::TEntry* TMemIniFile::FindKey(TSection& Section, const AnsiString& Ident) {
    AnsiString name = Trim(Ident);
    if (name.empty()) return nullptr;
    for (auto& e : Section.Entries)
        if (!e.Key.empty() && AnsiSameText(e.Key, name)) return &e;
    return nullptr;
}

void TMemIniFile::CheckWritable(const AnsiString& Section, const AnsiString& Ident, const AnsiString& Value) const {
    // Anything that would not read back as the same section, key and value would corrupt the file.
    AnsiString section = Trim(Section), ident = Trim(Ident);
    bool bad = HasLineBreak(Section) || section.find(']') != AnsiString::npos || HasLineBreak(Ident) || ident.empty() ||
               ident.find('=') != AnsiString::npos || ident.front() == ';' || ident.front() == '[' ||
               HasLineBreak(Value);
    if (bad) throw EIniFileException(WriteErrorMessage(FileName()));
}

AnsiString TMemIniFile::ReadString(const AnsiString& Section, const AnsiString& Ident, const AnsiString& Default) {
    if (TSection* s = FindSection(Section))
        if (TEntry* e = FindKey(*s, Ident)) return e->Value;
    return Default;
}

void TMemIniFile::WriteString(const AnsiString& Section, const AnsiString& Ident, const AnsiString& Value) {
    CheckWritable(Section, Ident, Value);
    TSection* s = FindSection(Section);
    if (!s) {
        FSections.push_back(TSection{Trim(Section), {}});
        s = &FSections.back();
    }
    if (TEntry* e = FindKey(*s, Ident))
        e->Value = Trim(Value);
    else
        s->Entries.push_back(TEntry{Trim(Ident), Trim(Value)});
}

void TMemIniFile::ReadSection(const AnsiString& Section, TStrings* Strings) {
    FillStrings(Strings, [&] {
        if (TSection* s = FindSection(Section))
            for (const auto& e : s->Entries)
                if (!e.Key.empty()) Strings->Add(e.Key);
    });
}

void TMemIniFile::ReadSections(TStrings* Strings) {
    FillStrings(Strings, [&] {
        for (const auto& s : FSections) Strings->Add(s.Name);
    });
}

void TMemIniFile::ReadSectionValues(const AnsiString& Section, TStrings* Strings) {
    FillStrings(Strings, [&] {
        if (TSection* s = FindSection(Section))
            for (const auto& e : s->Entries)
                if (!e.Key.empty()) Strings->Add(e.Key + "=" + e.Value);
    });
}

void TMemIniFile::EraseSection(const AnsiString& Section) {
    AnsiString name = Trim(Section);
    std::erase_if(FSections, [&](const TSection& s) { return AnsiSameText(s.Name, name); });
}

void TMemIniFile::DeleteKey(const AnsiString& Section, const AnsiString& Ident) {
    if (TSection* s = FindSection(Section)) {
        AnsiString name = Trim(Ident);
        std::erase_if(s->Entries, [&](const TEntry& e) { return !e.Key.empty() && AnsiSameText(e.Key, name); });
    }
}

bool TMemIniFile::ValueExists(const AnsiString& Section, const AnsiString& Ident) {
    TSection* s = FindSection(Section);
    return s && FindKey(*s, Ident);
}

void TMemIniFile::GetStrings(TStrings* List) { List->SetText(Content()); }

void TMemIniFile::SetStrings(TStrings* List) { Parse(List->Text()); }

void TMemIniFile::WriteTempFile(const AnsiString& TempName, const AnsiString& Content) {
    TFileStream file(TempName, fmCreate);
    file.WriteBuffer(Content.data(), static_cast<int64_t>(Content.size()));
    if (!file.FlushToDisk()) throw EWriteError("Stream write error");
}

void TMemIniFile::UpdateFile() {
    const AnsiString& target = FileName();
    // Same folder as the target, so the rename cannot cross file systems.
    AnsiString temp = target + ".~" + std::to_string(::getpid()) + "." + std::to_string(gTempCounter++) + ".tmp";
    const UTF8String targetPath = AnsiToUTF8(target), tempPath = AnsiToUTF8(temp);
    try {
        WriteTempFile(temp, Content());
        struct stat st {};
        if (::stat(targetPath.c_str(), &st) == 0) ::chmod(tempPath.c_str(), st.st_mode & 07777);
        if (std::rename(tempPath.c_str(), targetPath.c_str()) != 0) {
            int err = errno;
            throw EFCreateError("Cannot create file \"" + target + "\". " + SysErrorMessage(err));
        }
    } catch (...) {
        ::unlink(tempPath.c_str());
        throw;
    }
    // Makes the rename itself durable; a failure here leaves a complete file either way.
    auto slash = targetPath.rfind('/');
    UTF8String dir = slash == UTF8String::npos ? UTF8String(".")
                     : slash == 0              ? UTF8String("/")
                                               : targetPath.substr(0, slash);
    int fd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

// ---------------------------------------------------------------------------------------------
// TIniFile

template <class F>
void TIniFile::Change(F&& Apply) {
    Reload();
    auto preamble = FPreamble;
    auto sections = FSections;
    try {
        Apply();
        TMemIniFile::UpdateFile();
    } catch (const EIniFileException&) {
        FPreamble = std::move(preamble);
        FSections = std::move(sections);
        throw;
    } catch (const Exception&) {
        FPreamble = std::move(preamble);
        FSections = std::move(sections);
        throw EIniFileException(WriteErrorMessage(FileName()));
    }
}

void TIniFile::WriteString(const AnsiString& Section, const AnsiString& Ident, const AnsiString& Value) {
    CheckWritable(Section, Ident, Value);
    Change([&] { TMemIniFile::WriteString(Section, Ident, Value); });
}

void TIniFile::EraseSection(const AnsiString& Section) {
    Change([&] { TMemIniFile::EraseSection(Section); });
}

void TIniFile::DeleteKey(const AnsiString& Section, const AnsiString& Ident) {
    Change([&] { TMemIniFile::DeleteKey(Section, Ident); });
}

void TIniFile::UpdateFile() {
    try {
        TMemIniFile::UpdateFile();
    } catch (const Exception&) {
        throw EIniFileException(WriteErrorMessage(FileName()));
    }
}

AnsiString TIniFile::ReadString(const AnsiString& Section, const AnsiString& Ident, const AnsiString& Default) {
    Reload();
    return TMemIniFile::ReadString(Section, Ident, Default);
}

void TIniFile::ReadSection(const AnsiString& Section, TStrings* Strings) {
    Reload();
    TMemIniFile::ReadSection(Section, Strings);
}

void TIniFile::ReadSections(TStrings* Strings) {
    Reload();
    TMemIniFile::ReadSections(Strings);
}

void TIniFile::ReadSectionValues(const AnsiString& Section, TStrings* Strings) {
    Reload();
    TMemIniFile::ReadSectionValues(Section, Strings);
}

bool TIniFile::ValueExists(const AnsiString& Section, const AnsiString& Ident) {
    Reload();
    return TMemIniFile::ValueExists(Section, Ident);
}

}  // namespace rtl
