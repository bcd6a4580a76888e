// INI files: sections of key=value lines in 1251 text.
//
// TMemIniFile reads the whole file at construction and writes it back on UpdateFile; TIniFile
// writes the file after every change, as the system's profile functions do. A file is saved to a
// temporary file in the same folder, flushed to disk and renamed over the old one, so an
// interrupted save leaves the old file whole. Section and key names compare case-insensitively;
// comment lines and lines outside any section are kept.
#pragma once

#include <memory>
#include <vector>

#include "framework/rtl/Classes.h"

namespace rtl {

RTL_DECLARE_EXCEPTION(EIniFileException, Exception);

class TCustomIniFile : public TObject {
    RTL_CLASS(TCustomIniFile, TObject)
public:
    explicit TCustomIniFile(AnsiString FileName) : FFileName(std::move(FileName)) {}
    const AnsiString& FileName() const noexcept { return FFileName; }

    virtual AnsiString ReadString(const AnsiString& Section, const AnsiString& Ident, const AnsiString& Default) = 0;
    virtual void WriteString(const AnsiString& Section, const AnsiString& Ident, const AnsiString& Value) = 0;
    // Decimal, or hexadecimal with "0x" or "$"; Default for anything else.
    int32_t ReadInteger(const AnsiString& Section, const AnsiString& Ident, int32_t Default);
    void WriteInteger(const AnsiString& Section, const AnsiString& Ident, int32_t Value);
    // Any integer other than 0 is true; written as "1" or "0".
    bool ReadBool(const AnsiString& Section, const AnsiString& Ident, bool Default);
    void WriteBool(const AnsiString& Section, const AnsiString& Ident, bool Value);

    // The keys of a section.
    virtual void ReadSection(const AnsiString& Section, TStrings* Strings) = 0;
    virtual void ReadSections(TStrings* Strings) = 0;
    // The key=value lines of a section.
    virtual void ReadSectionValues(const AnsiString& Section, TStrings* Strings) = 0;
    virtual void EraseSection(const AnsiString& Section) = 0;
    virtual void DeleteKey(const AnsiString& Section, const AnsiString& Ident) = 0;
    virtual void UpdateFile() = 0;
    bool SectionExists(const AnsiString& Section);
    virtual bool ValueExists(const AnsiString& Section, const AnsiString& Ident);

private:
    AnsiString FFileName;
};

class TMemIniFile : public TCustomIniFile {
    RTL_CLASS(TMemIniFile, TCustomIniFile)
public:
    // A missing file gives an empty ini file; an unreadable one raises EFOpenError.
    explicit TMemIniFile(const AnsiString& FileName);

    AnsiString ReadString(const AnsiString& Section, const AnsiString& Ident, const AnsiString& Default) override;
    // A section or key that cannot be stored as a line, or a value with a line break, raises
    // EIniFileException "Unable to write to %s" and changes nothing.
    void WriteString(const AnsiString& Section, const AnsiString& Ident, const AnsiString& Value) override;
    void ReadSection(const AnsiString& Section, TStrings* Strings) override;
    void ReadSections(TStrings* Strings) override;
    void ReadSectionValues(const AnsiString& Section, TStrings* Strings) override;
    void EraseSection(const AnsiString& Section) override;
    void DeleteKey(const AnsiString& Section, const AnsiString& Ident) override;
    bool ValueExists(const AnsiString& Section, const AnsiString& Ident) override;
    // Saves the file; on failure the old file stays as it was and the error is raised.
    void UpdateFile() override;

    // The whole file as lines, and its replacement.
    void GetStrings(TStrings* List);
    void SetStrings(TStrings* List);
    void Clear();
    // Reads the file again (a missing file gives an empty ini file).
    void Reload();

protected:
    // Writes the content to the temporary file and forces it to the disk.
    virtual void WriteTempFile(const AnsiString& TempName, const AnsiString& Content);

    struct TEntry {
        AnsiString Key;    // empty for a kept comment or other raw line
        AnsiString Value;  // the raw line when Key is empty
    };
    struct TSection {
        AnsiString Name;
        std::vector<TEntry> Entries;
    };
    TSection* FindSection(const AnsiString& Section);
    TEntry* FindKey(TSection& Section, const AnsiString& Ident);
    void CheckWritable(const AnsiString& Section, const AnsiString& Ident, const AnsiString& Value) const;
    AnsiString Content() const;
    void Parse(const AnsiString& Text);

    std::vector<AnsiString> FPreamble;  // lines before the first section
    std::vector<TSection> FSections;
};

// Writes the file after every change; a failed write raises EIniFileException "Unable to write
// to %s" and leaves both the file and the values in memory as they were.
class TIniFile : public TMemIniFile {
    RTL_CLASS(TIniFile, TMemIniFile)
public:
    using TMemIniFile::TMemIniFile;

    void WriteString(const AnsiString& Section, const AnsiString& Ident, const AnsiString& Value) override;
    void EraseSection(const AnsiString& Section) override;
    void DeleteKey(const AnsiString& Section, const AnsiString& Ident) override;
    void UpdateFile() override;

    // Read from the file as it is now, which another object may have changed.
    AnsiString ReadString(const AnsiString& Section, const AnsiString& Ident, const AnsiString& Default) override;
    void ReadSection(const AnsiString& Section, TStrings* Strings) override;
    void ReadSections(TStrings* Strings) override;
    void ReadSectionValues(const AnsiString& Section, TStrings* Strings) override;
    bool ValueExists(const AnsiString& Section, const AnsiString& Ident) override;

private:
    // Runs a change on the file as it is now and saves it; on failure memory is restored.
    template <class F>
    void Change(F&& Apply);
};

}  // namespace rtl
