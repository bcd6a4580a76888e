#include "framework/rtl/Streams.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <limits>
#include <new>
#include <stdexcept>

#include "framework/rtl/Text.h"

namespace rtl {

namespace {

constexpr const char* SReadError = "Stream read error";
constexpr const char* SWriteError = "Stream write error";

AnsiString FileMessage(const char* prefix, const AnsiString& fileName, int err) {
    return AnsiString(prefix) + " \"" + fileName + "\". " + SysErrorMessage(err);
}

// A position moved by an offset, held at the ends of the int64 range instead of overflowing.
int64_t MovePosition(int64_t base, int64_t offset) {
    int64_t r;
    if (__builtin_add_overflow(base, offset, &r)) return offset < 0 ? INT64_MIN : INT64_MAX;
    return r;
}

int64_t SeekTarget(int64_t position, int64_t size, int64_t offset, TSeekOrigin origin) {
    switch (origin) {
        case soBeginning: return offset;
        case soCurrent: return MovePosition(position, offset);
        case soEnd: return MovePosition(size, offset);
    }
    return position;
}

// Reads from a block of memory at position, as memory and string streams do.
int64_t ReadBlock(const void* data, size_t size, int64_t& position, void* buffer, int64_t count) {
    if (position < 0 || count <= 0) return 0;
    const int64_t avail = static_cast<int64_t>(size) - position;
    if (avail <= 0) return 0;
    const int64_t n = std::min(avail, count);
    std::memcpy(buffer, static_cast<const uint8_t*>(data) + position, static_cast<size_t>(n));
    position += n;
    return n;
}

// The end of a write of count bytes at position, or false when it cannot be addressed.
bool WriteEnd(int64_t position, int64_t count, size_t& end) {
    if (position < 0 || count <= 0) return false;
    int64_t e;
    if (__builtin_add_overflow(position, count, &e)) return false;
    end = static_cast<size_t>(e);
    return true;
}

// Runs a growth of a block; a size the system cannot give becomes the runtime's own error.
template <class F>
void Grow(F&& grow) {
    try {
        grow();
    } catch (const std::bad_alloc&) {
        throw EOutOfMemory("Out of memory");
    } catch (const std::length_error&) {
        throw EOutOfMemory("Out of memory");
    }
}

}  // namespace

AnsiString SysErrorMessage(int ErrorCode) {
    char buf[256];
    // The GNU form returns a pointer that may or may not be buf.
    const char* text = strerror_r(ErrorCode, buf, sizeof buf);
    return UTF8ToAnsi(text ? text : "");
}

// ---------------------------------------------------------------------------------------------
// TStream

int64_t TStream::Size() {
    int64_t pos = Seek(0, soCurrent);
    int64_t size = Seek(0, soEnd);
    Seek(pos, soBeginning);
    return size;
}

void TStream::SetSize(int64_t /*NewSize*/) { throw EStreamError("Stream size cannot be changed"); }

void TStream::ReadBuffer(void* Buffer, int64_t Count) {
    if (Count < 0) throw EReadError(SReadError);
    auto* p = static_cast<uint8_t*>(Buffer);
    int64_t done = 0;
    // A stream may return fewer bytes than asked before its end.
    while (done < Count) {
        int64_t n = Read(p + done, Count - done);
        if (n <= 0) throw EReadError(SReadError);
        done += n;
    }
}

void TStream::WriteBuffer(const void* Buffer, int64_t Count) {
    if (Count < 0) throw EWriteError(SWriteError);
    const auto* p = static_cast<const uint8_t*>(Buffer);
    int64_t done = 0;
    while (done < Count) {
        int64_t n = Write(p + done, Count - done);
        if (n <= 0) throw EWriteError(SWriteError);
        done += n;
    }
}

int64_t TStream::CopyFrom(TStream* Source, int64_t Count) {
    if (Count == 0) {
        Source->SetPosition(0);
        Count = Source->Size();
    }
    // A negative count (or a source whose size cannot be told) copies nothing silently otherwise.
    if (Count < 0) throw EReadError(SReadError);
    constexpr int64_t MaxBufSize = 0xF000;
    std::vector<uint8_t> buffer(static_cast<size_t>(std::min(Count, MaxBufSize)));
    int64_t result = Count;
    while (Count > 0) {
        int64_t n = std::min(Count, MaxBufSize);
        Source->ReadBuffer(buffer.data(), n);
        WriteBuffer(buffer.data(), n);
        Count -= n;
    }
    return result;
}

// ---------------------------------------------------------------------------------------------
// TMemoryStream

int64_t TMemoryStream::Read(void* Buffer, int64_t Count) {
    return ReadBlock(FData.data(), FSize, FPosition, Buffer, Count);
}

void TMemoryStream::Reserve(size_t NewCapacity) {
    if (NewCapacity <= FData.size()) return;
    // Grow geometrically so that many small writes stay linear.
    size_t grown = std::max(NewCapacity, FData.size() + FData.size() / 2);
    grown = (grown + 0x1FFF) & ~static_cast<size_t>(0x1FFF);
    if (grown < NewCapacity) throw EOutOfMemory("Out of memory");
    Grow([&] { FData.resize(grown, 0); });
}

int64_t TMemoryStream::Write(const void* Buffer, int64_t Count) {
    size_t end;
    if (!WriteEnd(FPosition, Count, end)) return 0;
    if (end > FSize) {
        Reserve(end);
        // Bytes between the old end and a position beyond it read as zero.
        if (static_cast<size_t>(FPosition) > FSize)
            std::fill(FData.begin() + static_cast<std::ptrdiff_t>(FSize), FData.begin() + FPosition, 0);
        FSize = end;
    }
    std::memcpy(FData.data() + FPosition, Buffer, static_cast<size_t>(Count));
    FPosition = static_cast<int64_t>(end);
    return Count;
}

int64_t TMemoryStream::Seek(int64_t Offset, TSeekOrigin Origin) {
    FPosition = SeekTarget(FPosition, static_cast<int64_t>(FSize), Offset, Origin);
    return FPosition;
}

void TMemoryStream::SetSize(int64_t NewSize) {
    if (NewSize < 0) throw EStreamError("Stream size cannot be changed");
    size_t n = static_cast<size_t>(NewSize);
    if (n > FSize) {
        Reserve(n);
        std::fill(FData.begin() + static_cast<std::ptrdiff_t>(FSize), FData.begin() + static_cast<std::ptrdiff_t>(n),
                  0);
    }
    FSize = n;
    if (FPosition > NewSize) FPosition = NewSize;
}

void TMemoryStream::Clear() {
    FData.clear();
    FData.shrink_to_fit();
    FSize = 0;
    FPosition = 0;
}

void TMemoryStream::LoadFromStream(TStream* Stream) {
    Stream->SetPosition(0);
    const int64_t count = Stream->Size();
    if (count < 0) throw EReadError(SReadError);
    // Read into a fresh block so that a failed read leaves the old content whole.
    TMemoryStream loaded;
    loaded.SetSize(count);
    if (count != 0) Stream->ReadBuffer(loaded.FData.data(), count);
    FData.swap(loaded.FData);
    FSize = loaded.FSize;
    FPosition = 0;
}

void TMemoryStream::LoadFromFile(const AnsiString& FileName) {
    TFileStream stream(FileName, fmOpenRead | fmShareDenyWrite);
    LoadFromStream(&stream);
}

void TMemoryStream::SaveToStream(TStream* Stream) {
    if (FSize != 0) Stream->WriteBuffer(FData.data(), static_cast<int64_t>(FSize));
}

void TMemoryStream::SaveToFile(const AnsiString& FileName) {
    TFileStream stream(FileName, fmCreate);
    SaveToStream(&stream);
}

// ---------------------------------------------------------------------------------------------
// THandleStream, TFileStream

int64_t THandleStream::Read(void* Buffer, int64_t Count) {
    if (Count <= 0 || FHandle < 0) return 0;
    for (;;) {
        ssize_t n = ::read(FHandle, Buffer, static_cast<size_t>(Count));
        if (n < 0 && errno == EINTR) continue;
        return n < 0 ? 0 : n;
    }
}

int64_t THandleStream::Write(const void* Buffer, int64_t Count) {
    if (Count <= 0 || FHandle < 0) return 0;
    for (;;) {
        ssize_t n = ::write(FHandle, Buffer, static_cast<size_t>(Count));
        if (n < 0 && errno == EINTR) continue;
        return n < 0 ? 0 : n;
    }
}

int64_t THandleStream::Seek(int64_t Offset, TSeekOrigin Origin) {
    int whence = Origin == soBeginning ? SEEK_SET : Origin == soCurrent ? SEEK_CUR : SEEK_END;
    off_t r = ::lseek(FHandle, static_cast<off_t>(Offset), whence);
    return r < 0 ? -1 : static_cast<int64_t>(r);
}

void THandleStream::SetSize(int64_t NewSize) {
    int64_t pos = Position();
    if (NewSize < 0 || ::ftruncate(FHandle, static_cast<off_t>(NewSize)) != 0) throw EWriteError(SWriteError);
    if (pos > NewSize) Seek(NewSize, soBeginning);
}

bool THandleStream::FlushToDisk() { return FHandle >= 0 && ::fsync(FHandle) == 0; }

TFileStream::TFileStream(const AnsiString& FileName, uint16_t Mode) : THandleStream(-1), FFileName(FileName) {
    const UTF8String path = AnsiToUTF8(FileName);
    if (Mode == fmCreate) {
        FHandle = ::open(path.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
        if (FHandle < 0) throw EFCreateError(FileMessage("Cannot create file", FileName, errno));
        return;
    }
    int flags;
    switch (Mode & 0x3) {
        case fmOpenWrite: flags = O_WRONLY; break;
        case fmOpenReadWrite: flags = O_RDWR; break;
        default: flags = O_RDONLY; break;
    }
    FHandle = ::open(path.c_str(), flags | O_CLOEXEC);
    if (FHandle < 0) throw EFOpenError(FileMessage("Cannot open file", FileName, errno));
    struct stat st {};
    if (::fstat(FHandle, &st) == 0 && S_ISDIR(st.st_mode)) {
        ::close(FHandle);
        FHandle = -1;
        throw EFOpenError(FileMessage("Cannot open file", FileName, EISDIR));
    }
}

TFileStream::~TFileStream() {
    if (FHandle >= 0) ::close(FHandle);
}

// ---------------------------------------------------------------------------------------------
// TStringStream

int64_t TStringStream::Read(void* Buffer, int64_t Count) {
    return ReadBlock(FDataString.data(), FDataString.size(), FPosition, Buffer, Count);
}

int64_t TStringStream::Write(const void* Buffer, int64_t Count) {
    // Overwrites in place and grows at the end; the bytes after the written range stay.
    size_t end;
    if (!WriteEnd(FPosition, Count, end)) return 0;
    if (end > FDataString.size()) {
        Grow([&] { FDataString.resize(end, '\0'); });
    }
    std::memcpy(FDataString.data() + FPosition, Buffer, static_cast<size_t>(Count));
    FPosition = static_cast<int64_t>(end);
    return Count;
}

int64_t TStringStream::Seek(int64_t Offset, TSeekOrigin Origin) {
    const int64_t size = static_cast<int64_t>(FDataString.size());
    FPosition = std::clamp<int64_t>(SeekTarget(FPosition, size, Offset, Origin), 0, size);
    return FPosition;
}

void TStringStream::SetSize(int64_t NewSize) {
    if (NewSize < 0) throw EStreamError("Stream size cannot be changed");
    Grow([&] { FDataString.resize(static_cast<size_t>(NewSize), '\0'); });
    if (FPosition > NewSize) FPosition = NewSize;
}

AnsiString TStringStream::ReadString(int64_t Count) {
    int64_t avail = static_cast<int64_t>(FDataString.size()) - FPosition;
    int64_t n = std::clamp<int64_t>(Count, 0, std::max<int64_t>(avail, 0));
    AnsiString result = FDataString.substr(static_cast<size_t>(FPosition), static_cast<size_t>(n));
    FPosition += n;
    return result;
}

void TStringStream::WriteString(const AnsiString& AString) {
    Write(AString.data(), static_cast<int64_t>(AString.size()));
}

}  // namespace rtl
