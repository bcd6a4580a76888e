// The record store's foundations: data type codes, field descriptors and the record layout, record
// items carved from blocks, the string heap of out-of-record values, and the reference-counted
// shared objects (blobs, variant holders) that record buffers point to.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>
#include <unordered_set>
#include <utility>
#include <vector>

#include "framework/rtl/Exceptions.h"
#include "framework/rtl/Ownership.h"
#include "framework/rtl/Types.h"
#include "framework/rtl/Variant.h"

namespace rtl {
class TStream;
}

namespace store {

using rtl::AnsiString;
using rtl::TBytes;
using rtl::WideString;

// ---------------------------------------------------------------------------------------------
// Data type codes
// ---------------------------------------------------------------------------------------------

using TMemDataType = uint16_t;

inline constexpr TMemDataType mdtUnknown = 0;
inline constexpr TMemDataType mdtString = 1;
inline constexpr TMemDataType mdtInt8 = 2;
inline constexpr TMemDataType mdtInt16 = 3;
inline constexpr TMemDataType mdtInt32 = 4;
inline constexpr TMemDataType mdtFloat = 5;
inline constexpr TMemDataType mdtDate = 6;
inline constexpr TMemDataType mdtTime = 7;
inline constexpr TMemDataType mdtDateTime = 8;
inline constexpr TMemDataType mdtUInt16 = 9;
inline constexpr TMemDataType mdtBoolean = 10;
inline constexpr TMemDataType mdtInt64 = 11;
inline constexpr TMemDataType mdtCurrency = 12;
inline constexpr TMemDataType mdtBlob = 13;
inline constexpr TMemDataType mdtMemo = 14;
inline constexpr TMemDataType mdtObject = 15;
inline constexpr TMemDataType mdtReference = 16;
inline constexpr TMemDataType mdtArray = 17;
inline constexpr TMemDataType mdtTable = 18;
inline constexpr TMemDataType mdtVariant = 19;
inline constexpr TMemDataType mdtExtString = 20;
inline constexpr TMemDataType mdtBytes = 21;
inline constexpr TMemDataType mdtVarBytes = 22;
inline constexpr TMemDataType mdtExtVarBytes = 23;
inline constexpr TMemDataType mdtUInt32 = 24;
inline constexpr TMemDataType mdtWideString = 25;
inline constexpr TMemDataType mdtExtWideString = 26;
inline constexpr TMemDataType mdtBCD = 27;
inline constexpr TMemDataType mdtFmtBCD = 28;
inline constexpr TMemDataType mdtGuid = 29;
inline constexpr TMemDataType mdtWideMemo = 30;
inline constexpr TMemDataType mdtSQLTimeStamp = 31;
inline constexpr TMemDataType mdtCursor = 32;
// 33 is not used.
inline constexpr TMemDataType mdtUInt8 = 34;

// Bytes of a reference slot (blob, variant object, heap value) in a record.
inline constexpr int PointerSlotSize = static_cast<int>(sizeof(void*));

// The base answers of the store's type-class tests; a store may widen them.
inline bool IsBlobDataType(TMemDataType DataType) noexcept {
    return DataType == mdtBlob || DataType == mdtMemo || DataType == mdtWideMemo;
}
inline bool IsComplexDataType(TMemDataType DataType) noexcept {
    switch (DataType) {
        case mdtVariant:
        case mdtExtString:
        case mdtExtVarBytes:
        case mdtExtWideString: return true;
        default: return IsBlobDataType(DataType);
    }
}

// Name of the unit that internal consistency checks report.
inline constexpr const char* MemDataUnit = "MemData";

// ---------------------------------------------------------------------------------------------
// Shared objects
// ---------------------------------------------------------------------------------------------

// A value that several record buffers may reference. It starts with one reference; the last
// Release destroys it. Create instances with CreateSharedObject so that the second construction
// phase runs.
class TSharedObject {
public:
    TSharedObject() = default;
    TSharedObject(const TSharedObject&) = delete;
    TSharedObject& operator=(const TSharedObject&) = delete;
    virtual ~TSharedObject();

    // Second construction phase: may call overridable operations.
    virtual void AfterConstruction() {}
    virtual const char* ClassName() const noexcept { return "TSharedObject"; }

    virtual void Disconnect() {}

    void AddRef() noexcept { ++FRefCount; }
    void Release();
    void Free() { Release(); }
    int RefCount() const noexcept { return FRefCount; }

    // The reference a record buffer stores.
    void* Handle() noexcept { return this; }

protected:
    int FRefCount = 1;

private:
    friend struct TSharedBlock;
    // Bytes from the start of the allocation this object shares with others; 0 when it has its own.
    uint32_t FBlockOffset = 0;
};

// One allocation holding several shared objects (fetched blobs, their contents and bytes), freed
// when the last of them is destroyed: values read cost one allocation per many instead of three
// each.
struct TSharedBlock {
    int Live = 0;

    // Counts Object, constructed inside this block, as one of its residents.
    void Attach(TSharedObject* Object) noexcept {
        Object->FBlockOffset =
            static_cast<uint32_t>(reinterpret_cast<uint8_t*>(Object) - reinterpret_cast<uint8_t*>(this));
        ++Live;
    }
    static TSharedBlock* Of(TSharedObject* Object) noexcept {
        return Object->FBlockOffset
                   ? reinterpret_cast<TSharedBlock*>(reinterpret_cast<uint8_t*>(Object) - Object->FBlockOffset)
                   : nullptr;
    }
    // One resident is gone; the last one frees the block.
    void Leave() noexcept;
};

// Hands out room in shared blocks to objects made one after another (the blobs of a fetch), so
// that they share few allocations. The pool holds the block it carves from until it moves on to
// the next one; a block lives on while any of its objects does.
class TSharedBlockPool {
public:
    // Room per block; a larger request gets a block of its own.
    static constexpr size_t BlockSize = 65536;

    TSharedBlockPool() = default;
    TSharedBlockPool(const TSharedBlockPool&) = delete;
    TSharedBlockPool& operator=(const TSharedBlockPool&) = delete;
    ~TSharedBlockPool() { Reset(); }

    // Bytes of room (a multiple of 16) and the block it lies in; the caller attaches the objects
    // it constructs there before anything can release the block.
    uint8_t* Carve(size_t Bytes, TSharedBlock*& Block);
    // Gives back the end of the room last carved (Bytes long) beyond its first Keep bytes.
    void Shrink(const uint8_t* Room, size_t Bytes, size_t Keep) noexcept;
    // Lets go of the current block.
    void Reset() noexcept;

private:
    TSharedBlock* FBlock = nullptr;
    size_t FUsed = 0;
    size_t FSize = 0;
};

// Constructs a shared object and runs its second phase; the result holds one reference.
template <class T, class... Args>
T* CreateSharedObject(Args&&... args) {
    T* obj = new T(std::forward<Args>(args)...);
    try {
        obj->AfterConstruction();
    } catch (...) {
        delete obj;
        throw;
    }
    return obj;
}

// Holds the value of an mdtVariant field.
class TVariantObject : public TSharedObject {
public:
    TVariantObject() = default;
    explicit TVariantObject(rtl::Variant Value) : Value(std::move(Value)) {}
    const char* ClassName() const noexcept override { return "TVariantObject"; }

    rtl::Variant Value;
};

// One attribute of an object type: a member of an object field or the element of an array.
class TObjectType;
class TAttribute {
public:
    WideString Name;
    TMemDataType DataType = mdtUnknown;
    uint16_t Length = 0;
    uint16_t Scale = 0;
    int32_t Size = 0;
    // Of an attribute that is itself an object or array; owned by the attribute's object type.
    TObjectType* ObjectType = nullptr;
};

// Describes the structure of an object (mdtObject) or array (mdtArray) field.
class TObjectType : public TSharedObject {
public:
    const char* ClassName() const noexcept override { return "TObjectType"; }

    TMemDataType DataType = mdtObject;
    // Element count of an array type; the data size of an object type.
    int32_t Size = 0;

    int AttributeCount() const noexcept { return static_cast<int>(FAttributes.size()); }
    TAttribute* Attributes(int Index) const;
    TAttribute* AddAttribute();

private:
    std::vector<std::unique_ptr<TAttribute>> FAttributes;
};

// ---------------------------------------------------------------------------------------------
// Field descriptors
// ---------------------------------------------------------------------------------------------

class TFieldDesc {
public:
    TFieldDesc() = default;
    TFieldDesc(const TFieldDesc&) = delete;
    TFieldDesc& operator=(const TFieldDesc&) = delete;
    virtual ~TFieldDesc();

    // Copies Name, ColumnName, DataType, SubType, Length, Scale, Size, Offset, Required, FieldNo.
    virtual void Assign(const TFieldDesc& Source);

    bool HasParent() const noexcept { return ParentDesc != nullptr; }

    TObjectType* ObjectType() const noexcept { return FObjectType.get(); }
    // Takes a reference to the new object type and releases the old one.
    void SetObjectType(TObjectType* Value);

    WideString Name;
    WideString ColumnName;
    TMemDataType DataType = mdtUnknown;
    int16_t SubType = 0;
    uint16_t Length = 0;
    uint16_t Scale = 0;
    uint16_t FieldNo = 0;
    int16_t ColumnNo = 0;
    int32_t Size = 0;
    int32_t Offset = 0;
    int32_t FetchOffset = 0;
    bool Required = false;
    bool ReadOnly = false;
    bool KeyColumn = false;
    bool Fixed = false;
    bool Hidden = false;
    TFieldDesc* ParentDesc = nullptr;
    bool DuplicateName = false;
    // 0 data field, 1 calculated field kept in the record data, 2 kept in the calculated area.
    uint8_t DescKind = 0;
    bool AutoIncrement = false;

private:
    rtl::TSharedRef<TObjectType> FObjectType;
};

inline constexpr uint8_t fdkData = 0;
inline constexpr uint8_t fdkCalculated = 1;
inline constexpr uint8_t fdkCalculatedArea = 2;

// What the layout of a descriptor list comes to.
struct TRecordLayout {
    int DataSize = 0;
    int RecordSize = 0;
    int CalcRecordSize = 0;
};

// An ordered list that owns its descriptors; item i has FieldNo i + 1 once numbered.
class TFieldDescs {
public:
    TFieldDescs() = default;
    TFieldDescs(const TFieldDescs&) = delete;
    TFieldDescs& operator=(const TFieldDescs&) = delete;

    int Count() const noexcept { return static_cast<int>(FItems.size()); }
    // Inline: records are read and written field by field.
    TFieldDesc* Items(int Index) const {
        if (Index < 0 || Index >= Count()) IndexOutOfRange();
        return FItems[static_cast<size_t>(Index)].get();
    }
    TFieldDesc* operator[](int Index) const { return Items(Index); }

    // Appends a descriptor and takes ownership; returns it.
    TFieldDesc* Add(std::unique_ptr<TFieldDesc> Desc);
    // Destroys every descriptor.
    void Clear();

    TFieldDesc* FindField(std::u16string_view Name) const;
    TFieldDesc* FindFieldByName(std::u16string_view Name) const;
    TFieldDesc* FindFieldByColumnName(std::u16string_view Name) const;
    // FindField, or "Field %s not found".
    TFieldDesc* FieldByName(std::u16string_view Name) const;

    // Gives top-level descriptors unique names: ID, ID, ID become ID, ID_1, ID_2 in FieldNo order.
    void MakeUniqueNames();
    // Sets every descriptor's Offset and returns the record sizes.
    TRecordLayout CalcLayout();

    auto begin() const { return FItems.begin(); }
    auto end() const { return FItems.end(); }

private:
    [[noreturn]] static void IndexOutOfRange();
    std::vector<std::unique_ptr<TFieldDesc>> FItems;
};

// ---------------------------------------------------------------------------------------------
// Record items and blocks
// ---------------------------------------------------------------------------------------------

struct TItemBlock;

// Update status of a stored record.
inline constexpr uint8_t isUnmodified = 0;
inline constexpr uint8_t isModified = 1;
inline constexpr uint8_t isInserted = 2;
inline constexpr uint8_t isDeleted = 3;

// Update result of a cached change: the update actions 0 to 4, then these two.
inline constexpr uint8_t urFail = 0;
inline constexpr uint8_t urAbort = 1;
inline constexpr uint8_t urSkip = 2;
inline constexpr uint8_t urRetry = 3;
inline constexpr uint8_t urApplied = 4;
inline constexpr uint8_t urNone = 5;
inline constexpr uint8_t urSuspended = 6;

// Cached filter decision.
inline constexpr uint8_t fsNotChecked = 0;
inline constexpr uint8_t fsOmitted = 2;
inline constexpr uint8_t fsVisible = 1;

inline constexpr uint8_t ItemCheckUsed = 0xEE;
inline constexpr uint8_t ItemCheckFree = 0xDD;

#pragma pack(push, 1)
// The header in front of every stored record; the record follows it directly. Its odd size plus
// the odd record size keeps every item, and so every record, on an even address.
struct TRecordItem {
    TItemBlock* Block;
    TRecordItem* Prev;
    TRecordItem* Next;
    TRecordItem* Rollback;
    uint8_t Status;
    uint8_t UpdateResult;
    int32_t Order;
    uint8_t CheckByte;
    uint8_t FilterState;
    uint8_t Spare;
};

// The header of a block; ItemCount items of header plus record follow it.
struct TItemBlock {
    uint16_t ItemCount;
    uint16_t UsedCount;
    TItemBlock* Newer;
    TItemBlock* Older;
    uint8_t Spare;
};
#pragma pack(pop)

static_assert(sizeof(TRecordItem) % 2 == 1);

class TBlockManager {
public:
    TBlockManager() = default;
    TBlockManager(const TBlockManager&) = delete;
    TBlockManager& operator=(const TBlockManager&) = delete;
    ~TBlockManager();

    // A zero-filled block of ItemCount items, all counted as used; item headers are the caller's.
    void AllocBlock(TItemBlock*& Block, int ItemCount);
    void FreeBlock(TItemBlock* Block);
    void FreeAllBlocks();
    // A block of DefaultItemCount items, all on the free list.
    void AddFreeBlock();
    // Puts an item of a provider-filled block on the free list; the caller lowers UsedCount.
    void AddFreeItem(TRecordItem* Item);

    void AllocItem(TRecordItem*& Item);
    void FreeItem(TRecordItem* Item);

    void PutRecord(TRecordItem* Item, const void* Buffer) const;
    void GetRecord(TRecordItem* Item, void* Buffer) const;
    void CopyRecord(TRecordItem* Source, TRecordItem* Dest) const;
    static uint8_t* RecordOf(TRecordItem* Item) noexcept {
        return reinterpret_cast<uint8_t*>(Item) + sizeof(TRecordItem);
    }

    // Bytes of one item: header plus record.
    size_t ItemSize() const noexcept { return sizeof(TRecordItem) + static_cast<size_t>(RecordSize); }
    // Item Index (0-based) of a block.
    TRecordItem* BlockItem(TItemBlock* Block, int Index) const noexcept;

    // Head of the free list (doubly linked through Prev and Next).
    TRecordItem* FirstFree = nullptr;
    // The newest block; blocks link to older ones.
    TItemBlock* FirstBlock = nullptr;
    // Set by the store after each layout, before items of that layout are allocated.
    int RecordSize = 0;
    uint16_t DefaultItemCount = 10;

private:
    void UnlinkFree(TRecordItem* Item) noexcept;
};

// ---------------------------------------------------------------------------------------------
// String heap
// ---------------------------------------------------------------------------------------------

// Reference-counted buffers for values kept out of the record: small ones in size classes of
// 8 bytes carved from blocks, large ones allocated one by one. Callers hold the data address.
class TStringHeap {
public:
    // Requests up to this size come from blocks.
    static constexpr int SmallSize = 2000;
    static constexpr int SmallClassCount = SmallSize / 8;
    static constexpr int BlockSize = 16384;
    // Bytes of a block after its link to the previous block.
    static constexpr int BlockDataSize = BlockSize - static_cast<int>(sizeof(void*));
    // The size and the reference counter in front of each buffer.
    static constexpr int BufHeaderSize = 8;
    // The counter of a buffer on a free list; one reference reads RefBase + 1.
    static constexpr uint32_t RefBase = 100;

    TStringHeap() = default;
    TStringHeap(const TStringHeap&) = delete;
    TStringHeap& operator=(const TStringHeap&) = delete;
    ~TStringHeap();

    void* AllocBuf(int Size);
    char* AllocStr(const char* Source, bool TrimRight = false, int Length = -1);
    char16_t* AllocWideStr(const char16_t* Source, bool TrimRight = false, int Length = -1);
    void DisposeBuf(void* Buf);
    void AddRefStr(void* Buf);
    // Empties the heap; every buffer handed out becomes invalid.
    void Clear();

    bool Empty() const noexcept { return FEmpty; }
    bool SysGetMemHandedOut() const noexcept { return FSysGetMem; }
    // Data bytes of a buffer (the class size for small buffers).
    static int BufSize(const void* Buf) noexcept;
    // References held on a buffer.
    static int RefCount(const void* Buf) noexcept;

private:
    struct BufHeader {
        uint32_t Size;
        uint32_t RefCount;
    };
    static BufHeader* HeaderOf(const void* Buf) noexcept;
    void* CarveSmall(int Size);
    void NewBlock();
    void PushFree(BufHeader* H, int Class) noexcept;

    void* FRoot = nullptr;  // newest block
    int FFree = 0;          // bytes still free in the newest block
    bool FEmpty = true;
    bool FSysGetMem = false;
    void* FSmallTab[SmallClassCount + 1] = {};
    std::unordered_set<BufHeader*> FLargeBufs;
};

// ---------------------------------------------------------------------------------------------
// Blobs
// ---------------------------------------------------------------------------------------------

class TCRBlobData;

// One allocation of a blob's contents: this header, then Size data bytes.
struct TPieceHeader {
    TCRBlobData* Blob;
    int32_t Size;  // capacity
    int32_t Used;
    TPieceHeader* Prev;
    TPieceHeader* Next;
    uint16_t Test;
};
using PPieceHeader = TPieceHeader*;

// Test of a piece that lives in its contents' allocation: it is never freed on its own.
inline constexpr uint16_t PieceInBlock = 0xB10C;

inline uint8_t* PieceData(PPieceHeader Piece) noexcept {
    return reinterpret_cast<uint8_t*>(Piece) + sizeof(TPieceHeader);
}

// Default capacity of pieces made by writes: a full piece and its header take 64 KB.
inline constexpr int DefaultPieceSize = 65536 - static_cast<int>(sizeof(TPieceHeader));

// A blob's contents as a list of pieces. Positions and counts are bytes.
class TCRBlobData : public TSharedObject {
public:
    TCRBlobData() = default;
    ~TCRBlobData() override;
    const char* ClassName() const noexcept override { return "TCRBlobData"; }

    virtual int64_t GetSize();
    virtual void SetSize(int64_t Value);
    virtual void Clear();
    virtual void Truncate(int64_t NewSize);
    virtual bool IsEmpty();
    virtual int64_t Read(int64_t Position, int64_t Count, void* Dest);
    virtual void Write(int64_t Position, int64_t Count, const void* Source);

    PPieceHeader FirstPiece() const noexcept { return FFirstPiece; }
    int PieceSize() const noexcept { return FPieceSize; }
    void SetPieceSize(int Value) noexcept { FPieceSize = Value; }

    // Piece handling.
    static PPieceHeader AllocPiece(int Size);
    void AppendPiece(PPieceHeader Piece);
    void DeletePiece(PPieceHeader Piece);
    // Capacity 0 frees the piece; a piece in the list keeps its place.
    void ReallocPiece(PPieceHeader& Piece, int Size);
    // Frees a piece that is in no list.
    static void FreePiece(PPieceHeader Piece) noexcept;
    // Shrinks a piece to its used bytes.
    void CompressPiece(PPieceHeader& Piece);
    void MergePieces();
    // Copies the raw pieces (compressed or not) of another contents object into this empty one.
    void CopyPiecesFrom(const TCRBlobData& Source);

    // Line-break conversions of ANSI (1 byte) or UTF-16 contents.
    void ExpandLineBreaks(bool Unicode);
    void CollapseLineBreaks(bool Unicode);

    // Size and position in the other text form (single-byte ANSI code page).
    int64_t GetSizeAsAnsi();     // of UTF-16 contents
    int64_t GetSizeAsUnicode();  // of ANSI contents
    int64_t TranslatePositionToUnicode(int64_t AnsiPosition);
    int64_t TranslatePositionToAnsi(int64_t UnicodePosition);

protected:
    // Bytes held by the pieces as they are, compressed or not.
    int64_t RawSize() const noexcept;
    void ConvertLineBreaks(bool Unicode, bool Expand);

    PPieceHeader FFirstPiece = nullptr;
    int FPieceSize = DefaultPieceSize;
};

class TBlob : public TSharedObject {
public:
    explicit TBlob(bool IsUnicode = false) : FIsUnicode(IsUnicode) {}
    ~TBlob() override;
    void AfterConstruction() override;
    const char* ClassName() const noexcept override { return "TBlob"; }

    virtual TBlob* CreateClone();
    virtual TCRBlobData* CreateBlobData();
    virtual void CheckValue() {}
    virtual void SaveToRollback();
    virtual int64_t GetSize();
    virtual void SetSize(int64_t Value);
    virtual void SetIsUnicode(bool Value);
    virtual int64_t GetSizeAsAnsi();
    virtual int64_t GetSizeAsUnicode();
    virtual int64_t Read(int64_t Position, int64_t Count, void* Dest);
    virtual void Write(int64_t Position, int64_t Count, const void* Source);
    virtual void Clear();
    virtual void Truncate(int64_t NewSize);
    virtual bool IsEmpty();
    virtual void MergePieces();
    virtual void LoadFromStream(rtl::TStream& Stream);
    virtual void SaveToStream(rtl::TStream& Stream);
    virtual void Commit();
    virtual void Cancel();

    // A new blob of class TBlob sharing the rollback contents (FromRollback) or the contents.
    TBlob* Clone(bool FromRollback = false, bool WithData = true);
    void AssignContents(TBlob* Other);
    void SetContents(TCRBlobData* Contents);
    TCRBlobData* GetData() const noexcept { return FData.get(); }
    // Nil while the rollback copy is empty contents not made into an object yet.
    TCRBlobData* GetRollback() const noexcept { return FRollback.get(); }

    bool IsUnicode() const noexcept { return FIsUnicode; }
    void EnableRollback() noexcept { FNeedRollback = true; }
    bool RollbackEnabled() const noexcept { return FNeedRollback; }
    bool HasRollback() const noexcept { return FRollback != nullptr || FEmptyRollback; }
    void ViewRollback(bool Value);

    AnsiString GetAsAnsiString();
    void SetAsAnsiString(std::string_view Value);
    WideString GetAsWideString();
    void SetAsWideString(std::u16string_view Value);
    AnsiString GetAsString() { return GetAsAnsiString(); }
    void SetAsString(const AnsiString& Value) { SetAsAnsiString(Value); }
    TBytes GetAsBytes();
    void SetAsBytes(const TBytes& Value);

    void ExpandLineBreaks();
    void CollapseLineBreaks();

    // False once destroyed; a debugging aid, never a substitute for holding a reference.
    bool IsValid() const noexcept { return FTest == BlobValid; }

protected:
    static constexpr uint8_t BlobValid = 0xDD;
    void CheckValid() const;
    void PrepareChange();

    using TDataRef = rtl::TSharedRef<TCRBlobData>;

    // The handles first and the flags packed after them: every fetched memo has a blob.
    TDataRef FData;
    TDataRef FRollback;
    TDataRef FStoredData;  // the real contents while the rollback copy is shown
    bool FIsUnicode;
    bool FNeedRollback = false;
    // The rollback copy is empty contents, kept without an object: a new value of a new row
    // would otherwise cost one for nothing.
    bool FEmptyRollback = false;
    uint8_t FTest = BlobValid;
};

// The marker in front of compressed contents.
inline constexpr uint8_t CompressedBlobMarker[16] = {0x39, 0x8C, 0x9D, 0xF1, 0x58, 0x55, 0x49, 0x38,
                                                     0xA6, 0x52, 0x87, 0xCE, 0xE0, 0xC6, 0xDA, 0x7E};
// Marker and 32-bit little-endian uncompressed size.
inline constexpr int CompressedHeaderSize = 20;
// Values of this size or less are never compressed.
inline constexpr int MinCompressSize = 50;

class TCompressedBlobData : public TCRBlobData {
public:
    const char* ClassName() const noexcept override { return "TCompressedBlobData"; }

    int64_t GetSize() override;
    void SetSize(int64_t Value) override;
    void Truncate(int64_t NewSize) override;
    int64_t Read(int64_t Position, int64_t Count, void* Dest) override;
    void Write(int64_t Position, int64_t Count, const void* Source) override;

    bool IsCompressed() const noexcept;
    // Compresses or expands the contents; false when nothing changed.
    bool SetCompressed(bool Value);
    // Bytes the contents take as stored.
    int64_t GetCompressedSize() const noexcept { return RawSize(); }

private:
    // The uncompressed size the header claims, checked against the stream that follows it.
    uint32_t CheckedUncompressedSize();
    // Inflates the (merged) contents into Dest of DestLen bytes; returns the bytes produced.
    int64_t Decompress(void* Dest, int64_t DestLen);
    // Replaces the contents with the compressed form of Source when that is shorter.
    bool CompressFrom(const void* Source, int64_t Count);
};

class TCompressedBlob : public TBlob {
public:
    using TBlob::TBlob;
    const char* ClassName() const noexcept override { return "TCompressedBlob"; }
    TCRBlobData* CreateBlobData() override;

    // A blob holding a copy of Bytes bytes at Data, made with its contents in room of Pool.
    static TCompressedBlob* CreateFilled(bool IsUnicode, const void* Data, size_t Bytes, TSharedBlockPool& Pool);
    // The same with contents that Fill writes at Dest, at most MaxBytes; it returns how many it
    // wrote. Text decoded this way lands in the blob with no copy in between.
    using TFillFunc = size_t (*)(void* Context, uint8_t* Dest);
    static TCompressedBlob* CreateFilled(bool IsUnicode, size_t MaxBytes, TSharedBlockPool& Pool, TFillFunc Fill,
                                         void* Context);

    bool IsCompressed() const;
    bool SetCompressed(bool Value);
};

enum class TCompressBlobMode { cbNone, cbClient, cbServer, cbClientServer };
using enum TCompressBlobMode;

}  // namespace store

// The record store built on these foundations.
#include "data/store/MemData_Store.h"
