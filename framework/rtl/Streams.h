// Byte streams: the abstract stream, memory, file and string streams.
//
// File names are 1251 text as everywhere in the system; they are converted to UTF-8 only at the
// file-system call.
#pragma once

#include <cstdint>

#include "framework/rtl/Classes.h"

namespace rtl {

enum class TSeekOrigin { soBeginning, soCurrent, soEnd };
using enum TSeekOrigin;

// The file modes: one access mode, optionally or'ed with one share mode; fmCreate creates the file
// anew (or empties an existing one) and opens it for reading and writing. Share modes are accepted
// and not enforced.
constexpr uint16_t fmCreate = 0xFFFF;
constexpr uint16_t fmOpenRead = 0x0000;
constexpr uint16_t fmOpenWrite = 0x0001;
constexpr uint16_t fmOpenReadWrite = 0x0002;
constexpr uint16_t fmShareCompat = 0x0000;
constexpr uint16_t fmShareExclusive = 0x0010;
constexpr uint16_t fmShareDenyWrite = 0x0020;
constexpr uint16_t fmShareDenyRead = 0x0030;
constexpr uint16_t fmShareDenyNone = 0x0040;

class TStream : public TObject {
    RTL_CLASS(TStream, TObject)
public:
    // Reads up to Count bytes; returns how many were read (0 at the end).
    virtual int64_t Read(void* Buffer, int64_t Count) = 0;
    // Writes up to Count bytes; returns how many were written.
    virtual int64_t Write(const void* Buffer, int64_t Count) = 0;
    // Moves the position; returns the new position.
    virtual int64_t Seek(int64_t Offset, TSeekOrigin Origin) = 0;

    int64_t Position() { return Seek(0, soCurrent); }
    void SetPosition(int64_t Pos) { Seek(Pos, soBeginning); }
    virtual int64_t Size();
    // Raises EStreamError where the stream cannot change its size.
    virtual void SetSize(int64_t NewSize);

    // Exactly Count bytes or EReadError "Stream read error".
    void ReadBuffer(void* Buffer, int64_t Count);
    // Exactly Count bytes or EWriteError "Stream write error".
    void WriteBuffer(const void* Buffer, int64_t Count);
    // Copies Count bytes from Source's position; Count 0 copies the whole of Source from its start.
    int64_t CopyFrom(TStream* Source, int64_t Count);
};

// A stream over a growing block of memory.
class TMemoryStream : public TStream {
    RTL_CLASS(TMemoryStream, TStream)
public:
    TMemoryStream() = default;

    int64_t Read(void* Buffer, int64_t Count) override;
    int64_t Write(const void* Buffer, int64_t Count) override;
    int64_t Seek(int64_t Offset, TSeekOrigin Origin) override;
    int64_t Size() override { return static_cast<int64_t>(FSize); }
    // Keeps the position; new bytes are zero.
    void SetSize(int64_t NewSize) override;

    void* Memory() noexcept { return FData.data(); }
    const void* Memory() const noexcept { return FData.data(); }
    void Clear();
    void LoadFromStream(TStream* Stream);
    void LoadFromFile(const AnsiString& FileName);
    void SaveToStream(TStream* Stream);
    void SaveToFile(const AnsiString& FileName);

private:
    void Reserve(size_t NewCapacity);
    std::vector<uint8_t> FData;  // capacity; FSize bytes are in use
    size_t FSize = 0;
    int64_t FPosition = 0;
};

// A stream over an operating-system file descriptor.
class THandleStream : public TStream {
    RTL_CLASS(THandleStream, TStream)
public:
    explicit THandleStream(int AHandle) : FHandle(AHandle) {}

    int64_t Read(void* Buffer, int64_t Count) override;
    int64_t Write(const void* Buffer, int64_t Count) override;
    int64_t Seek(int64_t Offset, TSeekOrigin Origin) override;
    void SetSize(int64_t NewSize) override;
    int Handle() const noexcept { return FHandle; }
    // Forces written bytes to the disk; false when the system reports a failure.
    bool FlushToDisk();

protected:
    int FHandle;
};

class TFileStream : public THandleStream {
    RTL_CLASS(TFileStream, THandleStream)
public:
    // Raises EFCreateError "Cannot create file \"%s\". %s" or EFOpenError "Cannot open file \"%s\". %s".
    TFileStream(const AnsiString& FileName, uint16_t Mode);
    ~TFileStream() override;
    const AnsiString& FileName() const noexcept { return FFileName; }

private:
    AnsiString FFileName;
};

// A stream over an AnsiString.
class TStringStream : public TStream {
    RTL_CLASS(TStringStream, TStream)
public:
    explicit TStringStream(AnsiString AString = {}) : FDataString(std::move(AString)) {}

    int64_t Read(void* Buffer, int64_t Count) override;
    int64_t Write(const void* Buffer, int64_t Count) override;
    int64_t Seek(int64_t Offset, TSeekOrigin Origin) override;
    int64_t Size() override { return static_cast<int64_t>(FDataString.size()); }
    void SetSize(int64_t NewSize) override;

    const AnsiString& DataString() const noexcept { return FDataString; }
    // Up to Count bytes from the position.
    AnsiString ReadString(int64_t Count);
    void WriteString(const AnsiString& AString);

private:
    AnsiString FDataString;
    int64_t FPosition = 0;
};

// The operating system's text for an error number.
AnsiString SysErrorMessage(int ErrorCode);

}  // namespace rtl
