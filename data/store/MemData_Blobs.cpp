// Shared objects, blob contents in pieces, blobs with a rollback copy, and compressed contents.
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <new>
#include <typeinfo>

#include "data/store/DAConsts.h"
#include "data/store/MemData.h"
#include "data/store/MemUtils.h"
#include "framework/rtl/Streams.h"
#include "framework/rtl/Text.h"

namespace store {

namespace {

[[noreturn]] void Failed(int line) { rtl::AssertFail(SAssertionFailure, MemDataUnit, line); }

}  // namespace

// --- TSharedObject ---

TSharedObject::~TSharedObject() { FRefCount = 0; }

void TSharedObject::Release() {
    if (FRefCount < 1)
        rtl::AssertFail(AnsiString(ClassName()) + SFreeRefCount + std::to_string(FRefCount), MemDataUnit, __LINE__);
    if (FRefCount > 1) {
        --FRefCount;
        return;
    }
    TSharedBlock* block = TSharedBlock::Of(this);
    if (!block) {
        delete this;
        return;
    }
    this->~TSharedObject();
    block->Leave();
}

void TSharedBlock::Leave() noexcept {
    if (--Live == 0) {
        this->~TSharedBlock();
        std::free(this);
    }
}

namespace {
constexpr size_t Align16(size_t n) { return (n + 15) & ~size_t(15); }
}  // namespace

uint8_t* TSharedBlockPool::Carve(size_t Bytes, TSharedBlock*& Block) {
    Bytes = Align16(Bytes);
    if (!FBlock || FSize - FUsed < Bytes) {
        Reset();
        const size_t size = std::max(BlockSize, Align16(sizeof(TSharedBlock)) + Bytes);
        if (size > std::numeric_limits<uint32_t>::max()) Failed(__LINE__);
        void* mem = std::malloc(size);
        if (!mem) throw rtl::EOutOfMemory("Out of memory");
        FBlock = new (mem) TSharedBlock;
        FBlock->Live = 1;  // the pool's own hold
        FUsed = Align16(sizeof(TSharedBlock));
        FSize = size;
    }
    uint8_t* room = reinterpret_cast<uint8_t*>(FBlock) + FUsed;
    FUsed += Bytes;
    Block = FBlock;
    return room;
}

void TSharedBlockPool::Shrink(const uint8_t* Room, size_t Bytes, size_t Keep) noexcept {
    const auto* base = reinterpret_cast<const uint8_t*>(FBlock);
    if (!FBlock || Keep > Bytes || Room + Align16(Bytes) != base + FUsed) return;
    FUsed = static_cast<size_t>(Room - base) + Align16(Keep);
}

void TSharedBlockPool::Reset() noexcept {
    if (TSharedBlock* block = std::exchange(FBlock, nullptr)) block->Leave();
    FUsed = FSize = 0;
}

// --- TCRBlobData: pieces ---

TCRBlobData::~TCRBlobData() {
    while (FFirstPiece) {
        PPieceHeader next = FFirstPiece->Next;
        FreePiece(FFirstPiece);
        FFirstPiece = next;
    }
}

PPieceHeader TCRBlobData::AllocPiece(int Size) {
    if (Size <= 0) Failed(__LINE__);
    auto* piece = static_cast<PPieceHeader>(std::malloc(sizeof(TPieceHeader) + static_cast<size_t>(Size)));
    if (!piece) throw rtl::EOutOfMemory("Out of memory");
    piece->Blob = nullptr;
    piece->Size = Size;
    piece->Used = 0;
    piece->Prev = nullptr;
    piece->Next = nullptr;
    piece->Test = 0;
    return piece;
}

void TCRBlobData::FreePiece(PPieceHeader Piece) noexcept {
    // A piece made with its contents goes with their allocation.
    if (Piece->Test != PieceInBlock) std::free(Piece);
}

void TCRBlobData::AppendPiece(PPieceHeader Piece) {
    Piece->Blob = this;
    Piece->Next = nullptr;
    if (!FFirstPiece) {
        Piece->Prev = nullptr;
        FFirstPiece = Piece;
        return;
    }
    PPieceHeader last = FFirstPiece;
    while (last->Next) last = last->Next;
    last->Next = Piece;
    Piece->Prev = last;
}

void TCRBlobData::DeletePiece(PPieceHeader Piece) {
    if (Piece->Blob != this) Failed(__LINE__);
    if (Piece->Prev)
        Piece->Prev->Next = Piece->Next;
    else
        FFirstPiece = Piece->Next;
    if (Piece->Next) Piece->Next->Prev = Piece->Prev;
    FreePiece(Piece);
}

void TCRBlobData::ReallocPiece(PPieceHeader& Piece, int Size) {
    if (Size <= 0) {
        if (Piece->Blob == this)
            DeletePiece(Piece);
        else
            FreePiece(Piece);
        Piece = nullptr;
        return;
    }
    PPieceHeader moved;
    if (Piece->Test == PieceInBlock) {
        // Moves out of the block, which keeps its bytes until the block goes.
        moved = AllocPiece(Size);
        const int keep = std::min(Piece->Used, Size);
        if (keep > 0) std::memcpy(PieceData(moved), PieceData(Piece), static_cast<size_t>(keep));
        moved->Blob = Piece->Blob;
        moved->Used = Piece->Used;
        moved->Prev = Piece->Prev;
        moved->Next = Piece->Next;
    } else {
        moved = static_cast<PPieceHeader>(std::realloc(Piece, sizeof(TPieceHeader) + static_cast<size_t>(Size)));
        if (!moved) throw rtl::EOutOfMemory("Out of memory");
    }
    moved->Size = Size;
    moved->Used = std::min(moved->Used, Size);
    if (moved->Blob == this) {
        if (moved->Prev)
            moved->Prev->Next = moved;
        else
            FFirstPiece = moved;
        if (moved->Next) moved->Next->Prev = moved;
    }
    Piece = moved;
}

void TCRBlobData::CompressPiece(PPieceHeader& Piece) {
    if (Piece->Used < Piece->Size) ReallocPiece(Piece, Piece->Used);
}

void TCRBlobData::MergePieces() {
    if (!FFirstPiece || !FFirstPiece->Next) return;
    int64_t total = RawSize();
    if (total == 0) {
        Clear();
        return;
    }
    if (total > std::numeric_limits<int32_t>::max()) Failed(__LINE__);
    PPieceHeader piece = AllocPiece(static_cast<int>(total));
    int64_t done = 0;
    for (PPieceHeader p = FFirstPiece; p; p = p->Next) {
        std::memcpy(PieceData(piece) + done, PieceData(p), static_cast<size_t>(p->Used));
        done += p->Used;
    }
    piece->Used = static_cast<int32_t>(total);
    TCRBlobData::Clear();
    AppendPiece(piece);
}

void TCRBlobData::CopyPiecesFrom(const TCRBlobData& Source) {
    TCRBlobData::Clear();
    int64_t total = Source.RawSize();
    if (total == 0) return;
    if (total > std::numeric_limits<int32_t>::max()) Failed(__LINE__);
    PPieceHeader piece = AllocPiece(static_cast<int>(total));
    int64_t done = 0;
    for (PPieceHeader p = Source.FFirstPiece; p; p = p->Next) {
        std::memcpy(PieceData(piece) + done, PieceData(p), static_cast<size_t>(p->Used));
        done += p->Used;
    }
    piece->Used = static_cast<int32_t>(total);
    AppendPiece(piece);
}

// --- TCRBlobData: contents ---

int64_t TCRBlobData::RawSize() const noexcept {
    int64_t n = 0;
    for (PPieceHeader p = FFirstPiece; p; p = p->Next) n += p->Used;
    return n;
}

int64_t TCRBlobData::GetSize() { return RawSize(); }

void TCRBlobData::SetSize(int64_t Value) {
    int64_t size = GetSize();
    if (Value < size) {
        Truncate(Value);
    } else if (Value > size) {
        int64_t add = Value - size;
        if (add > std::numeric_limits<int32_t>::max()) Failed(__LINE__);
        PPieceHeader piece = AllocPiece(static_cast<int>(add));
        std::memset(PieceData(piece), 0, static_cast<size_t>(add));
        piece->Used = static_cast<int32_t>(add);
        AppendPiece(piece);
    }
}

void TCRBlobData::Clear() {
    while (FFirstPiece) DeletePiece(FFirstPiece);
}

void TCRBlobData::Truncate(int64_t NewSize) {
    if (NewSize <= 0) {
        TCRBlobData::Clear();
        return;
    }
    int64_t start = 0;
    for (PPieceHeader p = FFirstPiece; p; p = p->Next) {
        int64_t keep = std::clamp<int64_t>(NewSize - start, 0, p->Used);
        start += p->Used;
        p->Used = static_cast<int32_t>(keep);
    }
}

bool TCRBlobData::IsEmpty() { return FFirstPiece == nullptr; }

int64_t TCRBlobData::Read(int64_t Position, int64_t Count, void* Dest) {
    if (!FFirstPiece || Position < 0) return 0;
    int64_t size = RawSize();
    if (Position > size) return 0;
    if (Count <= 0 || Count > size - Position) Count = size - Position;
    auto* dest = static_cast<uint8_t*>(Dest);
    int64_t start = 0, done = 0;
    for (PPieceHeader p = FFirstPiece; p && done < Count; p = p->Next) {
        int64_t end = start + p->Used;
        if (Position + done < end) {
            int64_t from = Position + done - start;
            int64_t n = std::min<int64_t>(Count - done, p->Used - from);
            std::memcpy(dest + done, PieceData(p) + from, static_cast<size_t>(n));
            done += n;
        }
        start = end;
    }
    return done;
}

void TCRBlobData::Write(int64_t Position, int64_t Count, const void* Source) {
    if (Count <= 0) return;
    int64_t size = RawSize();
    int64_t pos = std::clamp<int64_t>(Position, 0, size);
    int64_t total = size;
    auto* src = static_cast<const uint8_t*>(Source);
    int64_t remaining = Count;
    int64_t start = 0;
    for (PPieceHeader p = FFirstPiece; p && remaining > 0; p = p->Next) {
        // Spare room of a piece is filled only at the very end, where nothing follows its bytes.
        bool inside = pos < start + p->Used;
        bool atEnd = pos == start + p->Used && p->Used < p->Size && pos == total;
        if (inside || atEnd) {
            int64_t from = pos - start;
            if (from > p->Used) Failed(__LINE__);
            int64_t n = std::min<int64_t>(remaining, p->Size - from);
            std::memcpy(PieceData(p) + from, src, static_cast<size_t>(n));
            if (from + n > p->Used) {
                total += from + n - p->Used;
                p->Used = static_cast<int32_t>(from + n);
            }
            pos += n;
            src += n;
            remaining -= n;
        }
        start += p->Used;
    }
    while (remaining > 0) {
        int n = static_cast<int>(std::min<int64_t>(remaining, FPieceSize));
        PPieceHeader piece = AllocPiece(n);
        std::memcpy(PieceData(piece), src, static_cast<size_t>(n));
        piece->Used = n;
        AppendPiece(piece);
        src += n;
        remaining -= n;
    }
}

// --- TCRBlobData: text forms ---

void TCRBlobData::ConvertLineBreaks(bool Unicode, bool Expand) {
    int64_t size = GetSize();
    if (size == 0) return;
    TBytes in(static_cast<size_t>(size));
    Read(0, 0, in.data());
    const size_t unit = Unicode ? 2 : 1;
    const size_t units = in.size() / unit;
    auto at = [&](size_t i) -> uint16_t {
        if (!Unicode) return in[i];
        return static_cast<uint16_t>(in[2 * i] | (in[2 * i + 1] << 8));
    };

    // New pieces are sized by the input still to convert.
    std::vector<PPieceHeader> pieces;
    PPieceHeader cur = nullptr;
    size_t inputPos = 0;  // bytes consumed
    auto emitByte = [&](uint8_t b) {
        if (!cur || cur->Used == cur->Size) {
            int64_t left = static_cast<int64_t>(in.size() - inputPos);
            int64_t n;
            if (Expand)
                n = left < FPieceSize / 2 ? 2 * left : FPieceSize;
            else
                n = std::min<int64_t>(left, FPieceSize);
            cur = AllocPiece(static_cast<int>(std::max<int64_t>(n, static_cast<int64_t>(unit))));
            pieces.push_back(cur);
        }
        PieceData(cur)[cur->Used++] = b;
    };
    auto emit = [&](uint16_t ch) {
        emitByte(static_cast<uint8_t>(ch & 0xFF));
        if (Unicode) emitByte(static_cast<uint8_t>(ch >> 8));
    };
    try {
        for (size_t i = 0; i < units; ++i) {
            uint16_t ch = at(i);
            if (Expand) {
                if (ch == 10 && (i == 0 || at(i - 1) != 13)) emit(13);
                emit(ch);
            } else if (!(ch == 13 && i + 1 < units && at(i + 1) == 10)) {
                emit(ch);
            }
            inputPos += unit;
        }
        // An odd trailing byte of UTF-16 contents is kept as it was.
        for (size_t i = units * unit; i < in.size(); ++i) {
            inputPos = i;
            emitByte(in[i]);
        }
    } catch (...) {
        for (PPieceHeader p : pieces) FreePiece(p);
        throw;
    }
    TCRBlobData::Clear();
    for (PPieceHeader p : pieces) AppendPiece(p);
}

void TCRBlobData::ExpandLineBreaks(bool Unicode) { ConvertLineBreaks(Unicode, true); }
void TCRBlobData::CollapseLineBreaks(bool Unicode) { ConvertLineBreaks(Unicode, false); }

// The ANSI code page is single-byte: one character is one byte, or two bytes of UTF-16.
int64_t TCRBlobData::GetSizeAsAnsi() { return GetSize() / 2; }
int64_t TCRBlobData::GetSizeAsUnicode() { return GetSize() * 2; }
int64_t TCRBlobData::TranslatePositionToUnicode(int64_t AnsiPosition) { return AnsiPosition * 2; }
int64_t TCRBlobData::TranslatePositionToAnsi(int64_t UnicodePosition) { return UnicodePosition / 2; }

// --- TBlob ---

void TBlob::AfterConstruction() { FData = TDataRef::Adopt(CreateBlobData()); }

TBlob::~TBlob() { FTest = 0; }

TBlob* TBlob::CreateClone() { return CreateSharedObject<TBlob>(FIsUnicode); }

TCRBlobData* TBlob::CreateBlobData() { return CreateSharedObject<TCRBlobData>(); }

void TBlob::CheckValid() const {
#ifndef NDEBUG
    // Only a blob made with new skips the second phase that gives it contents: debug builds stop
    // at the maker's mistake rather than report it as a bad value.
    if (FTest == BlobValid && !FData)
        rtl::AssertFail(AnsiString(ClassName()) + " was made without CreateSharedObject", MemDataUnit, __LINE__);
#endif
    if (FTest != BlobValid || !FData) throw rtl::Exception(SInvalidBlob);
}

void TBlob::PrepareChange() {
    if (FNeedRollback && !HasRollback()) SaveToRollback();
}

TBlob* TBlob::Clone(bool FromRollback, bool WithData) {
    auto blob = rtl::TSharedRef<TBlob>::Adopt(CreateClone());
    if (FromRollback && FEmptyRollback) {
        // Empty contents of this blob's own kind, as a shared rollback object would be.
        TDataRef empty = TDataRef::Adopt(CreateBlobData());
        blob->SetContents(empty.get());
    } else if (FromRollback) {
        blob->SetContents(FRollback ? FRollback.get() : FData.get());
    } else if (WithData) {
        blob->SetContents(FData.get());
    }
    return blob.Detach();
}

void TBlob::AssignContents(TBlob* Other) { SetContents(Other->FData.get()); }

void TBlob::SetContents(TCRBlobData* Contents) {
    if (FStoredData || !Contents) Failed(__LINE__);
    FData = TDataRef::Retain(Contents);
}

void TBlob::SaveToRollback() {
    if (!FNeedRollback) throw rtl::Exception(SBlobMustBeInCacheMode);
    CheckValid();
    if (FData->IsEmpty() && FData->RefCount() == 1) {
        // Nobody else sees these contents: the blob goes on with them, the rollback is empty.
        FRollback.reset();
        FEmptyRollback = true;
        return;
    }
    // The current contents object becomes the rollback copy as it is; the blob goes on with a
    // copy, so other blobs sharing the old contents keep seeing them unchanged.
    TDataRef copy = TDataRef::Adopt(CreateBlobData());
    copy->SetPieceSize(FData->PieceSize());
    copy->CopyPiecesFrom(*FData);
    FRollback = std::move(FData);
    FEmptyRollback = false;
    FData = std::move(copy);
}

int64_t TBlob::GetSize() {
    CheckValid();
    return FData->GetSize();
}

void TBlob::SetSize(int64_t Value) {
    CheckValid();
    // A shrinking size loses bytes: keep them for Cancel like any other change.
    PrepareChange();
    FData->SetSize(Value);
}

void TBlob::SetIsUnicode(bool Value) {
    if (Value == FIsUnicode) return;
    if (GetSize() > 0) throw rtl::Exception(SCannotChangeIsUnicode);
    FIsUnicode = Value;
}

int64_t TBlob::GetSizeAsAnsi() {
    if (!FIsUnicode) Failed(__LINE__);
    CheckValid();
    return FData->GetSizeAsAnsi();
}

int64_t TBlob::GetSizeAsUnicode() {
    if (FIsUnicode) Failed(__LINE__);
    CheckValid();
    return FData->GetSizeAsUnicode();
}

int64_t TBlob::Read(int64_t Position, int64_t Count, void* Dest) {
    CheckValid();
    CheckValue();
    return FData->Read(Position, Count, Dest);
}

void TBlob::Write(int64_t Position, int64_t Count, const void* Source) {
    CheckValid();
    PrepareChange();
    FData->Write(Position, Count, Source);
}

void TBlob::Clear() {
    CheckValid();
    if (FData->IsEmpty()) return;
    PrepareChange();
    FData->Clear();
}

void TBlob::Truncate(int64_t NewSize) {
    CheckValid();
    PrepareChange();
    FData->Truncate(NewSize);
}

bool TBlob::IsEmpty() {
    CheckValid();
    return FData->IsEmpty();
}

void TBlob::MergePieces() {
    CheckValid();
    FData->MergePieces();
}

void TBlob::LoadFromStream(rtl::TStream& Stream) {
    Clear();
    Stream.SetPosition(0);
    std::vector<uint8_t> chunk(static_cast<size_t>(FData->PieceSize()));
    int64_t pos = 0;
    for (;;) {
        int64_t n = Stream.Read(chunk.data(), static_cast<int64_t>(chunk.size()));
        if (n <= 0) break;
        Write(pos, n, chunk.data());
        pos += n;
    }
}

void TBlob::SaveToStream(rtl::TStream& Stream) {
    CheckValid();
    Stream.SetSize(0);
    Stream.SetPosition(0);
    int64_t size = GetSize();
    if (size == 0) return;
    // Read whole, so compressed contents are expanded once, straight into the buffer.
    std::vector<uint8_t> all(static_cast<size_t>(size));
    int64_t got = Read(0, 0, all.data());
    int64_t chunk = FData->PieceSize();
    for (int64_t pos = 0; pos < got; pos += chunk) Stream.WriteBuffer(all.data() + pos, std::min(chunk, got - pos));
}

void TBlob::Commit() {
    FEmptyRollback = false;
    FRollback.reset();
}

void TBlob::Cancel() {
    if (!HasRollback()) return;
    if (FStoredData) ViewRollback(false);
    if (FEmptyRollback) {
        // Back to empty contents; shared ones are left to their other holders.
        if (FData->RefCount() == 1) {
            FData->Clear();
        } else {
            TDataRef empty = TDataRef::Adopt(CreateBlobData());
            empty->SetPieceSize(FData->PieceSize());
            FData = std::move(empty);
        }
        FEmptyRollback = false;
        return;
    }
    FData = std::move(FRollback);
}

void TBlob::ViewRollback(bool Value) {
    if (Value && FEmptyRollback && !FStoredData) {
        TDataRef empty = TDataRef::Adopt(CreateBlobData());
        empty->SetPieceSize(FData->PieceSize());
        FRollback = std::move(empty);
        FEmptyRollback = false;
    }
    if (Value) {
        if (FRollback && !FStoredData) {
            FStoredData = std::move(FData);
            FData = FRollback;
        }
    } else if (FStoredData) {
        FData = std::move(FStoredData);
    }
}

AnsiString TBlob::GetAsAnsiString() {
    if (FIsUnicode) return rtl::WideToAnsi(GetAsWideString());
    // Plain contents in one piece, as a fetch leaves them, are copied once, unless a subclass
    // reads them its own way.
    if (typeid(*this) == typeid(TCompressedBlob) || typeid(*this) == typeid(TBlob)) {
        CheckValid();
        TCRBlobData* data = FData.get();
        const PPieceHeader first = data->FirstPiece();
        const bool plain =
            typeid(*data) == typeid(TCRBlobData) || (typeid(*data) == typeid(TCompressedBlobData) &&
                                                     !static_cast<const TCompressedBlobData*>(data)->IsCompressed());
        if (plain && !first) return AnsiString();
        if (plain && !first->Next)
            return AnsiString(reinterpret_cast<const char*>(PieceData(first)), static_cast<size_t>(first->Used));
    }
    AnsiString s(static_cast<size_t>(GetSize()), '\0');
    s.resize(static_cast<size_t>(Read(0, 0, s.data())));
    return s;
}

void TBlob::SetAsAnsiString(std::string_view Value) {
    if (FIsUnicode) {
        SetAsWideString(rtl::AnsiToWide(Value));
        return;
    }
    Clear();
    Write(0, static_cast<int64_t>(Value.size()), Value.data());
}

WideString TBlob::GetAsWideString() {
    if (!FIsUnicode) return rtl::AnsiToWide(GetAsAnsiString());
    int64_t size = GetSize();
    std::vector<uint8_t> bytes(static_cast<size_t>(size));
    int64_t got = Read(0, 0, bytes.data());
    WideString s(static_cast<size_t>(got / 2), u'\0');
    if (!s.empty()) std::memcpy(s.data(), bytes.data(), s.size() * 2);
    return s;
}

void TBlob::SetAsWideString(std::u16string_view Value) {
    if (!FIsUnicode) {
        SetAsAnsiString(rtl::WideToAnsi(Value));
        return;
    }
    Clear();
    Write(0, static_cast<int64_t>(Value.size() * 2), Value.data());
}

TBytes TBlob::GetAsBytes() {
    TBytes b(static_cast<size_t>(GetSize()));
    b.resize(static_cast<size_t>(Read(0, 0, b.data())));
    return b;
}

void TBlob::SetAsBytes(const TBytes& Value) {
    Clear();
    Write(0, static_cast<int64_t>(Value.size()), Value.data());
}

void TBlob::ExpandLineBreaks() {
    CheckValid();
    PrepareChange();
    FData->ExpandLineBreaks(FIsUnicode);
}

void TBlob::CollapseLineBreaks() {
    CheckValid();
    PrepareChange();
    FData->CollapseLineBreaks(FIsUnicode);
}

// --- TCompressedBlobData ---

namespace {

// The most a deflate stream of n bytes can expand to (about 1032:1), with room for tiny streams.
uint64_t MaxInflatedSize(uint64_t streamBytes) { return streamBytes * 1032 + 1024; }

}  // namespace

bool TCompressedBlobData::IsCompressed() const noexcept {
    return FFirstPiece && FFirstPiece->Used >= static_cast<int32_t>(sizeof CompressedBlobMarker) &&
           std::memcmp(PieceData(FFirstPiece), CompressedBlobMarker, sizeof CompressedBlobMarker) == 0;
}

uint32_t TCompressedBlobData::CheckedUncompressedSize() {
    int64_t raw = RawSize();
    if (raw <= CompressedHeaderSize) throw rtl::Exception(SInvalidCompressedBlobSize);
    uint8_t header[CompressedHeaderSize];
    TCRBlobData::Read(0, CompressedHeaderSize, header);
    uint32_t size = static_cast<uint32_t>(header[16]) | static_cast<uint32_t>(header[17]) << 8 |
                    static_cast<uint32_t>(header[18]) << 16 | static_cast<uint32_t>(header[19]) << 24;
    if (size == 0 || size > MaxInflatedSize(static_cast<uint64_t>(raw - CompressedHeaderSize)))
        throw rtl::Exception(SInvalidCompressedBlobSize);
    return size;
}

int64_t TCompressedBlobData::Decompress(void* Dest, int64_t DestLen) {
    if (!FFirstPiece) Failed(__LINE__);
    CheckCompressorLinked();
    MergePieces();
    if (FFirstPiece->Next) Failed(__LINE__);
    int32_t used = FFirstPiece->Used;
    if (used <= CompressedHeaderSize) throw rtl::Exception(SInvalidCompressedBlobSize);
    if (std::memcmp(PieceData(FFirstPiece), CompressedBlobMarker, sizeof CompressedBlobMarker) != 0)
        throw rtl::Exception(SInvalidCompressedBlobHeader);
    uint32_t produced = static_cast<uint32_t>(std::min<int64_t>(DestLen, std::numeric_limits<uint32_t>::max()));
    try {
        DoUncompress(Dest, produced, PieceData(FFirstPiece) + CompressedHeaderSize,
                     static_cast<uint32_t>(used - CompressedHeaderSize));
    } catch (const rtl::Exception&) {
        throw rtl::Exception(SInvalidCompressedBlobData);
    }
    return produced;
}

bool TCompressedBlobData::CompressFrom(const void* Source, int64_t Count) {
    CheckCompressorLinked();
    if (Count <= MinCompressSize) return false;
    int64_t capacity = Count / 5 + Count + 32;
    if (capacity > std::numeric_limits<int32_t>::max()) return false;
    PPieceHeader piece = AllocPiece(static_cast<int>(capacity));
    // The stream goes behind the header: its room is the capacity less the header.
    uint32_t len = static_cast<uint32_t>(capacity - CompressedHeaderSize);
    try {
        DoCompress(PieceData(piece) + CompressedHeaderSize, len, Source, static_cast<uint32_t>(Count));
    } catch (const rtl::Exception&) {
        FreePiece(piece);
        return false;
    }
    if (CompressedHeaderSize + static_cast<int64_t>(len) >= Count) {
        FreePiece(piece);
        return false;
    }
    uint8_t* d = PieceData(piece);
    std::memcpy(d, CompressedBlobMarker, sizeof CompressedBlobMarker);
    uint32_t n = static_cast<uint32_t>(Count);
    d[16] = static_cast<uint8_t>(n);
    d[17] = static_cast<uint8_t>(n >> 8);
    d[18] = static_cast<uint8_t>(n >> 16);
    d[19] = static_cast<uint8_t>(n >> 24);
    piece->Used = static_cast<int32_t>(CompressedHeaderSize + len);
    try {
        ReallocPiece(piece, piece->Used);
    } catch (...) {
        FreePiece(piece);
        throw;
    }
    TCRBlobData::Clear();
    AppendPiece(piece);
    return true;
}

bool TCompressedBlobData::SetCompressed(bool Value) {
    if (!FFirstPiece || Value == IsCompressed()) return false;
    if (Value) {
        if (RawSize() <= MinCompressSize) return false;
        MergePieces();
        return CompressFrom(PieceData(FFirstPiece), FFirstPiece->Used);
    }
    uint32_t size = CheckedUncompressedSize();
    if (size > static_cast<uint32_t>(std::numeric_limits<int32_t>::max()))
        throw rtl::Exception(SInvalidCompressedBlobSize);
    PPieceHeader piece = AllocPiece(static_cast<int>(size));
    int64_t produced;
    try {
        produced = Decompress(PieceData(piece), size);
    } catch (...) {
        FreePiece(piece);
        throw;
    }
    if (produced != static_cast<int64_t>(size)) {
        FreePiece(piece);
        throw rtl::Exception(SInvalidUncompressedBlobSize);
    }
    piece->Used = static_cast<int32_t>(size);
    TCRBlobData::Clear();
    AppendPiece(piece);
    return true;
}

int64_t TCompressedBlobData::GetSize() {
    if (IsCompressed()) return CheckedUncompressedSize();
    return RawSize();
}

void TCompressedBlobData::SetSize(int64_t Value) {
    if (IsCompressed() && Value != 0 && Value != GetSize()) Failed(__LINE__);
    TCRBlobData::SetSize(Value);
}

void TCompressedBlobData::Truncate(int64_t NewSize) {
    if (NewSize != 0 && IsCompressed()) SetCompressed(false);
    TCRBlobData::Truncate(NewSize);
}

int64_t TCompressedBlobData::Read(int64_t Position, int64_t Count, void* Dest) {
    if (IsCompressed()) {
        int64_t size = CheckedUncompressedSize();
        // A whole read expands straight into the reader's buffer.
        if (Position == 0 && (Count <= 0 || Count >= size)) return Decompress(Dest, size);
        SetCompressed(false);
    }
    return TCRBlobData::Read(Position, Count, Dest);
}

void TCompressedBlobData::Write(int64_t Position, int64_t Count, const void* Source) {
    // New contents are written plainly: compression is the caller's choice, through SetCompressed.
    if (!IsCompressed()) {
        TCRBlobData::Write(Position, Count, Source);
        return;
    }
    // A value already held compressed keeps that form when it is replaced whole.
    if (Position == 0 && Count == static_cast<int64_t>(CheckedUncompressedSize())) {
        if (CompressFrom(Source, Count)) return;
        TCRBlobData::Clear();
        TCRBlobData::Write(0, Count, Source);
        return;
    }
    SetCompressed(false);
    TCRBlobData::Write(Position, Count, Source);
}

// --- TCompressedBlob ---

TCRBlobData* TCompressedBlob::CreateBlobData() { return CreateSharedObject<TCompressedBlobData>(); }

TCompressedBlob* TCompressedBlob::CreateFilled(bool IsUnicode, const void* Data, size_t Bytes, TSharedBlockPool& Pool) {
    struct TSource {
        const void* Data;
        size_t Bytes;
    } source{Data, Bytes};
    return CreateFilled(
        IsUnicode, Bytes, Pool,
        [](void* Context, uint8_t* Dest) {
            const auto* src = static_cast<const TSource*>(Context);
            if (src->Bytes) std::memcpy(Dest, src->Data, src->Bytes);
            return src->Bytes;
        },
        &source);
}

TCompressedBlob* TCompressedBlob::CreateFilled(bool IsUnicode, size_t MaxBytes, TSharedBlockPool& Pool, TFillFunc Fill,
                                               void* Context) {
    if (MaxBytes > static_cast<size_t>(std::numeric_limits<int32_t>::max())) Failed(__LINE__);
    constexpr size_t dataAt = Align16(sizeof(TCompressedBlob));
    constexpr size_t pieceAt = dataAt + Align16(sizeof(TCompressedBlobData));
    constexpr size_t contentsAt = pieceAt + sizeof(TPieceHeader);
    TSharedBlock* block = nullptr;
    const size_t room = MaxBytes ? contentsAt + MaxBytes : pieceAt;
    uint8_t* mem = Pool.Carve(room, block);
    // The contents are written before any object is attached to the block: should the fill
    // throw, the room is merely left unused.
    size_t bytes = 0;
    if (MaxBytes) {
        bytes = Fill(Context, mem + contentsAt);
        if (bytes > MaxBytes) Failed(__LINE__);
        Pool.Shrink(mem, room, bytes ? contentsAt + bytes : pieceAt);
    }
    // Nothing below throws: the objects are plain constructions and the piece is linked by hand.
    auto* blob = new (mem) TCompressedBlob(IsUnicode);
    auto* data = new (mem + dataAt) TCompressedBlobData;
    block->Attach(blob);
    block->Attach(data);
    blob->FData = TDataRef::Adopt(data);
    if (bytes) {
        auto* piece = reinterpret_cast<PPieceHeader>(mem + pieceAt);
        piece->Size = static_cast<int32_t>(bytes);
        piece->Used = static_cast<int32_t>(bytes);
        piece->Test = PieceInBlock;
        data->AppendPiece(piece);
    }
    return blob;
}

bool TCompressedBlob::IsCompressed() const {
    CheckValid();
    auto* data = dynamic_cast<TCompressedBlobData*>(FData.get());
    return data && data->IsCompressed();
}

bool TCompressedBlob::SetCompressed(bool Value) {
    CheckValid();
    auto* data = dynamic_cast<TCompressedBlobData*>(FData.get());
    return data && data->SetCompressed(Value);
}

}  // namespace store
