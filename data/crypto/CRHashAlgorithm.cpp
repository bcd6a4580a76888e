#include "data/crypto/CRHashAlgorithm.h"

#include <cstring>

namespace crypto {

THashAlgorithm::THashAlgorithm(std::vector<uint32_t> InitState, int DigestSize, bool BigEndian)
    : FState(InitState), FInitState(std::move(InitState)), FDigestSize(DigestSize), FBigEndian(BigEndian) {}

THashAlgorithm::~THashAlgorithm() {
    ProtectBuffer(FState.data(), FState.size() * 4);
    ProtectBuffer(FBuffer.data(), FBuffer.size());
}

void THashAlgorithm::Initialize() {
    FState = FInitState;
    ProtectBuffer(FBuffer.data(), FBuffer.size());
    FBufferLen = 0;
    FCount = 0;
}

void THashAlgorithm::HashData(const void* Data, size_t Size) {
    auto* p = static_cast<const uint8_t*>(Data);
    FCount += Size;
    if (FBufferLen) {
        size_t take = std::min(Size, 64 - FBufferLen);
        std::memcpy(FBuffer.data() + FBufferLen, p, take);
        FBufferLen += take;
        p += take;
        Size -= take;
        if (FBufferLen < 64) return;
        Transform(FBuffer.data());
        FBufferLen = 0;
    }
    for (; Size >= 64; p += 64, Size -= 64) Transform(p);
    if (Size) std::memcpy(FBuffer.data(), p, Size);
    FBufferLen = Size;
}

TBytes THashAlgorithm::Final() {
    uint64_t bits = FCount * 8;
    uint8_t pad[72] = {0x80};
    size_t padLen = (FBufferLen < 56 ? 56 : 120) - FBufferLen;
    uint8_t length[8];
    for (int i = 0; i < 8; ++i) length[FBigEndian ? 7 - i : i] = uint8_t(bits >> (8 * i));
    HashData(pad, padLen);
    HashData(length, 8);
    TBytes digest(static_cast<size_t>(FDigestSize));
    for (int i = 0; i < FDigestSize / 4; ++i) {
        if (FBigEndian)
            PutBE32(&digest[4 * i], FState[i]);
        else
            PutLE32(&digest[4 * i], FState[i]);
    }
    Initialize();
    return digest;
}

TBytes THashAlgorithm::ComputeHash(const void* Data, size_t Size) {
    Initialize();
    HashData(Data, Size);
    return Final();
}

int THashAlgorithm::TransformBlock(const uint8_t* Input, int Count, uint8_t* Output) {
    if (Count <= 0) return 0;
    HashData(Input, static_cast<size_t>(Count));
    if (Output && Output != Input) std::memmove(Output, Input, static_cast<size_t>(Count));
    return Count;
}

TBytes THashAlgorithm::TransformFinalBlock(const uint8_t* Input, int Count) {
    if (Count > 0) HashData(Input, static_cast<size_t>(Count));
    return Final();
}

void THashAlgorithm::Code(void* Buffer, size_t Size, TPAction Action) {
    if (Action == TPAction::paCalc) HashData(Buffer, Size);
}

}  // namespace crypto
