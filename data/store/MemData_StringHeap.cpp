// The string heap: size-class free lists carved from blocks, and large buffers one by one.
#include <cstdlib>
#include <cstring>

#include "data/store/DAConsts.h"
#include "data/store/MemData.h"

namespace store {

namespace {

void* SysAlloc(size_t n) {
    void* p = std::malloc(n);
    if (!p) throw rtl::EOutOfMemory("Out of memory");
    return p;
}

// The link to the next free buffer lives in a free buffer's first data bytes.
void* NextFree(void* data) noexcept {
    void* next;
    std::memcpy(&next, data, sizeof next);
    return next;
}

void SetNextFree(void* data, void* next) noexcept { std::memcpy(data, &next, sizeof next); }

}  // namespace

TStringHeap::~TStringHeap() { Clear(); }

TStringHeap::BufHeader* TStringHeap::HeaderOf(const void* Buf) noexcept {
    return reinterpret_cast<BufHeader*>(const_cast<uint8_t*>(static_cast<const uint8_t*>(Buf)) - BufHeaderSize);
}

int TStringHeap::BufSize(const void* Buf) noexcept { return static_cast<int>(HeaderOf(Buf)->Size); }

int TStringHeap::RefCount(const void* Buf) noexcept {
    return static_cast<int>(HeaderOf(Buf)->RefCount) - static_cast<int>(RefBase);
}

void TStringHeap::PushFree(BufHeader* H, int Class) noexcept {
    H->RefCount = RefBase;
    void* data = reinterpret_cast<uint8_t*>(H) + BufHeaderSize;
    SetNextFree(data, FSmallTab[Class]);
    FSmallTab[Class] = data;
}

void TStringHeap::NewBlock() {
    void* block = SysAlloc(BlockSize);
    std::memcpy(block, &FRoot, sizeof FRoot);
    FRoot = block;
    FFree = BlockDataSize;
}

void* TStringHeap::CarveSmall(int Size) {
    int need = Size + BufHeaderSize;
    if (!FRoot || FFree < need) {
        // The tail of the old block becomes a free buffer of the largest class it can hold.
        if (FRoot && FFree >= BufHeaderSize + 8) {
            auto* tail = reinterpret_cast<BufHeader*>(static_cast<uint8_t*>(FRoot) + BlockSize - FFree);
            int tailSize = 8 * ((FFree - BufHeaderSize) / 8);
            tail->Size = static_cast<uint32_t>(tailSize);
            PushFree(tail, tailSize / 8);
        }
        FFree = 0;
        NewBlock();
    }
    auto* h = reinterpret_cast<BufHeader*>(static_cast<uint8_t*>(FRoot) + BlockSize - FFree);
    FFree -= need;
    int size = Size;
    if (FFree < BufHeaderSize + 8) {
        // Too little left for another buffer: give it to this one when its class allows.
        int rest = 8 * (FFree / 8);
        if (size + rest <= SmallSize) size += rest;
        FFree = 0;
    }
    h->Size = static_cast<uint32_t>(size);
    h->RefCount = RefBase + 1;
    return reinterpret_cast<uint8_t*>(h) + BufHeaderSize;
}

void* TStringHeap::AllocBuf(int Size) {
    if (Size < 1) return nullptr;
    FEmpty = false;
    int cls = (Size + 7) / 8;
    if (cls > SmallClassCount) {
        auto* h = static_cast<BufHeader*>(SysAlloc(static_cast<size_t>(Size) + BufHeaderSize));
        h->Size = static_cast<uint32_t>(Size);
        h->RefCount = RefBase + 1;
        try {
            FLargeBufs.insert(h);
        } catch (...) {
            std::free(h);
            throw;
        }
        FSysGetMem = true;
        return reinterpret_cast<uint8_t*>(h) + BufHeaderSize;
    }
    if (void* data = FSmallTab[cls]) {
        FSmallTab[cls] = NextFree(data);
        HeaderOf(data)->RefCount = RefBase + 1;
        return data;
    }
    return CarveSmall(8 * cls);
}

char* TStringHeap::AllocStr(const char* Source, bool TrimRight, int Length) {
    if (!Source) return nullptr;
    size_t n = Length < 0 ? std::strlen(Source) : static_cast<size_t>(Length);
    if (TrimRight)
        while (n > 0 && Source[n - 1] == ' ') --n;
    auto* buf = static_cast<char*>(AllocBuf(static_cast<int>(n + 1)));
    std::memcpy(buf, Source, n);
    buf[n] = '\0';
    return buf;
}

char16_t* TStringHeap::AllocWideStr(const char16_t* Source, bool TrimRight, int Length) {
    if (!Source) return nullptr;
    size_t n = 0;
    if (Length < 0)
        while (Source[n] != 0) ++n;
    else
        n = static_cast<size_t>(Length);
    if (TrimRight)
        while (n > 0 && Source[n - 1] == u' ') --n;
    auto* buf = static_cast<char16_t*>(AllocBuf(static_cast<int>((n + 1) * sizeof(char16_t))));
    std::memcpy(buf, Source, n * sizeof(char16_t));
    buf[n] = 0;
    return buf;
}

void TStringHeap::DisposeBuf(void* Buf) {
    if (!Buf) return;
    BufHeader* h = HeaderOf(Buf);
    if (h->RefCount <= RefBase) rtl::AssertFail(SDisposeBufFailed, MemDataUnit, __LINE__);
    if (h->RefCount > RefBase + 1) {
        --h->RefCount;
        return;
    }
    int cls = (static_cast<int>(h->Size) + 7) / 8;
    if (cls < 1) rtl::AssertFail(SSmallTabInDisposeBufFailed, MemDataUnit, __LINE__);
    if (cls <= SmallClassCount) {
        PushFree(h, cls);
        return;
    }
    h->RefCount = RefBase;
    FLargeBufs.erase(h);
    std::free(h);
}

void TStringHeap::AddRefStr(void* Buf) {
    if (!Buf) return;
    BufHeader* h = HeaderOf(Buf);
    if (h->RefCount <= RefBase) rtl::AssertFail(SAddRefStrFailed, MemDataUnit, __LINE__);
    // A 32-bit counter cannot be exhausted by references that each sit in a record.
    if (h->RefCount == UINT32_MAX) throw rtl::EIntOverflow("Integer overflow");
    ++h->RefCount;
}

void TStringHeap::Clear() {
    // Large buffers still referenced go too: after emptying, no buffer of this heap is valid.
    for (BufHeader* h : FLargeBufs) std::free(h);
    FLargeBufs.clear();
    if (FEmpty) return;
    while (FRoot) {
        void* prev;
        std::memcpy(&prev, FRoot, sizeof prev);
        std::free(FRoot);
        FRoot = prev;
    }
    FFree = BlockDataSize;
    for (auto& p : FSmallTab) p = nullptr;
    FEmpty = true;
    FSysGetMem = false;
}

}  // namespace store
