#include "data/crypto/CRCipher.h"

#include <immintrin.h>

#include <array>
#include <atomic>
#include <cstring>

#include "data/crypto/CRCipher_Tables.h"

namespace crypto {

// ---------------------------------------------------------------------------------------------
// Blowfish: 18 sub-keys then four S-boxes in the schedule.

TCipher_Blowfish::TCipher_Blowfish() : TSymmetricAlgorithm(8, {32, 448, 8}, 1042) {}

void TCipher_Blowfish::Encipher(uint32_t& L, uint32_t& R) const noexcept {
    const uint32_t* P = FSchedule.data();
    const uint32_t* S = P + 18;
    auto F = [S](uint32_t x) {
        return ((S[x >> 24] + S[256 + ((x >> 16) & 255)]) ^ S[512 + ((x >> 8) & 255)]) + S[768 + (x & 255)];
    };
    uint32_t l = L, r = R;
    for (int i = 0; i < 16; i += 2) {
        l ^= P[i];
        r ^= F(l);
        r ^= P[i + 1];
        l ^= F(r);
    }
    l ^= P[16];
    r ^= P[17];
    L = r;
    R = l;
}

void TCipher_Blowfish::Init(const uint8_t* Key, int Size) {
    std::memcpy(FSchedule.data(), BlowfishPiTable, sizeof BlowfishPiTable);
    for (int i = 0, k = 0; i < 18; ++i) {
        uint32_t w = 0;
        for (int j = 0; j < 4; ++j, k = (k + 1) % Size) w = (w << 8) | Key[k];
        FSchedule[i] ^= w;
    }
    uint32_t l = 0, r = 0;
    for (size_t i = 0; i < 1042; i += 2) {
        Encipher(l, r);
        FSchedule[i] = l;
        FSchedule[i + 1] = r;
    }
}

void TCipher_Blowfish::EncodeBlock(const uint8_t* In, uint8_t* Out) {
    uint32_t l = GetBE32(In), r = GetBE32(In + 4);
    Encipher(l, r);
    PutBE32(Out, l);
    PutBE32(Out + 4, r);
}

void TCipher_Blowfish::DecodeBlock(const uint8_t* In, uint8_t* Out) {
    const uint32_t* P = FSchedule.data();
    const uint32_t* S = P + 18;
    auto F = [S](uint32_t x) {
        return ((S[x >> 24] + S[256 + ((x >> 16) & 255)]) ^ S[512 + ((x >> 8) & 255)]) + S[768 + (x & 255)];
    };
    uint32_t l = GetBE32(In), r = GetBE32(In + 4);
    for (int i = 17; i > 1; i -= 2) {
        l ^= P[i];
        r ^= F(l);
        r ^= P[i - 1];
        l ^= F(r);
    }
    l ^= P[1];
    r ^= P[0];
    PutBE32(Out, r);
    PutBE32(Out + 4, l);
}

void TCipher_Blowfish::DecodeBlocks(const uint8_t* In, uint8_t* Out, size_t Count) {
    const uint32_t* P = FSchedule.data();
    const uint32_t* S = P + 18;
    auto F = [S](uint32_t x) {
        return ((S[x >> 24] + S[256 + ((x >> 16) & 255)]) ^ S[512 + ((x >> 8) & 255)]) + S[768 + (x & 255)];
    };
    size_t i = 0;
    // Four blocks side by side keep the look-ups of one from waiting on those of another.
    for (; i + 4 <= Count; i += 4) {
        const uint8_t* in = In + 8 * i;
        uint32_t l0 = GetBE32(in), r0 = GetBE32(in + 4), l1 = GetBE32(in + 8), r1 = GetBE32(in + 12);
        uint32_t l2 = GetBE32(in + 16), r2 = GetBE32(in + 20), l3 = GetBE32(in + 24), r3 = GetBE32(in + 28);
        for (int k = 17; k > 1; k -= 2) {
            l0 ^= P[k], l1 ^= P[k], l2 ^= P[k], l3 ^= P[k];
            r0 ^= F(l0) ^ P[k - 1], r1 ^= F(l1) ^ P[k - 1], r2 ^= F(l2) ^ P[k - 1], r3 ^= F(l3) ^ P[k - 1];
            l0 ^= F(r0), l1 ^= F(r1), l2 ^= F(r2), l3 ^= F(r3);
        }
        uint8_t* out = Out + 8 * i;
        PutBE32(out, r0 ^ P[0]), PutBE32(out + 4, l0 ^ P[1]);
        PutBE32(out + 8, r1 ^ P[0]), PutBE32(out + 12, l1 ^ P[1]);
        PutBE32(out + 16, r2 ^ P[0]), PutBE32(out + 20, l2 ^ P[1]);
        PutBE32(out + 24, r3 ^ P[0]), PutBE32(out + 28, l3 ^ P[1]);
    }
    for (; i < Count; ++i) DecodeBlock(In + 8 * i, Out + 8 * i);
}

// ---------------------------------------------------------------------------------------------
// Rijndael with a 16-byte block; round keys as bytes in the schedule.

namespace {

uint8_t XTime(uint8_t x) { return static_cast<uint8_t>((x << 1) ^ ((x & 0x80) ? 0x1B : 0)); }

uint8_t GMul(uint8_t a, uint8_t b) {
    uint8_t r = 0;
    for (; b; b >>= 1, a = XTime(a))
        if (b & 1) r ^= a;
    return r;
}

struct TAesTables {
    std::array<uint8_t, 256> S{}, Inv{};
    TAesTables() {
        for (int x = 0; x < 256; ++x) {
            uint8_t inv = 0;
            if (x)
                for (int y = 1; y < 256; ++y)
                    if (GMul(static_cast<uint8_t>(x), static_cast<uint8_t>(y)) == 1) {
                        inv = static_cast<uint8_t>(y);
                        break;
                    }
            uint8_t s = inv;
            for (int i = 1; i <= 4; ++i) s ^= static_cast<uint8_t>((inv << i) | (inv >> (8 - i)));
            s ^= 0x63;
            S[x] = s;
            Inv[s] = static_cast<uint8_t>(x);
        }
    }
};

const TAesTables& Aes() {
    static const TAesTables t;
    return t;
}

// The processor's AES instructions, when it has them: same round keys, same results, without
// table look-ups that depend on the data.
bool ProcessorHasAes() {
    static const bool has = __builtin_cpu_supports("aes") && __builtin_cpu_supports("sse2");
    return has;
}

std::atomic<bool> AesInstructionsAllowed{true};

bool HasAesInstructions() { return ProcessorHasAes() && AesInstructionsAllowed.load(std::memory_order_relaxed); }

__attribute__((target("aes,sse2"))) void AesNiEncode(const uint8_t* rk, int rounds, const uint8_t* in, uint8_t* out) {
    __m128i b = _mm_xor_si128(_mm_loadu_si128(reinterpret_cast<const __m128i*>(in)),
                              _mm_loadu_si128(reinterpret_cast<const __m128i*>(rk)));
    for (int r = 1; r < rounds; ++r)
        b = _mm_aesenc_si128(b, _mm_loadu_si128(reinterpret_cast<const __m128i*>(rk + 16 * r)));
    b = _mm_aesenclast_si128(b, _mm_loadu_si128(reinterpret_cast<const __m128i*>(rk + 16 * rounds)));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out), b);
}

// dk: the decryption keys of the equivalent inverse cipher, first round first.
__attribute__((target("aes,sse2"))) void AesNiDecode(const uint8_t* dk, int rounds, const uint8_t* in, uint8_t* out) {
    __m128i b = _mm_xor_si128(_mm_loadu_si128(reinterpret_cast<const __m128i*>(in)),
                              _mm_loadu_si128(reinterpret_cast<const __m128i*>(dk)));
    for (int r = 1; r < rounds; ++r)
        b = _mm_aesdec_si128(b, _mm_loadu_si128(reinterpret_cast<const __m128i*>(dk + 16 * r)));
    b = _mm_aesdeclast_si128(b, _mm_loadu_si128(reinterpret_cast<const __m128i*>(dk + 16 * rounds)));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out), b);
}

__attribute__((target("aes,sse2"))) void AesNiDecode4(const uint8_t* dk, int rounds, const uint8_t* in, uint8_t* out) {
    auto key = [dk](int r) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(dk + 16 * r)); };
    auto load = [in](int i) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + 16 * i)); };
    __m128i k = key(0);
    __m128i b0 = _mm_xor_si128(load(0), k), b1 = _mm_xor_si128(load(1), k);
    __m128i b2 = _mm_xor_si128(load(2), k), b3 = _mm_xor_si128(load(3), k);
    for (int r = 1; r < rounds; ++r) {
        k = key(r);
        b0 = _mm_aesdec_si128(b0, k), b1 = _mm_aesdec_si128(b1, k);
        b2 = _mm_aesdec_si128(b2, k), b3 = _mm_aesdec_si128(b3, k);
    }
    k = key(rounds);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out), _mm_aesdeclast_si128(b0, k));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 16), _mm_aesdeclast_si128(b1, k));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 32), _mm_aesdeclast_si128(b2, k));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 48), _mm_aesdeclast_si128(b3, k));
}

__attribute__((target("aes,sse2"))) void AesNiDecryptionKeys(const uint8_t* rk, int rounds, uint8_t* dk) {
    std::memcpy(dk, rk + 16 * rounds, 16);
    for (int r = 1; r < rounds; ++r)
        _mm_storeu_si128(reinterpret_cast<__m128i*>(dk + 16 * r),
                         _mm_aesimc_si128(_mm_loadu_si128(reinterpret_cast<const __m128i*>(rk + 16 * (rounds - r)))));
    std::memcpy(dk + 16 * rounds, rk, 16);
}

}  // namespace

void UseAesInstructions(bool Value) { AesInstructionsAllowed.store(Value, std::memory_order_relaxed); }

// Words 0-59 hold the round keys, 60-119 the decryption keys of the AES instructions.
TCipher_Rijndael::TCipher_Rijndael() : TSymmetricAlgorithm(16, {128, 256, 64}, 120) {}

void TCipher_Rijndael::Init(const uint8_t* Key, int Size) {
    const auto& S = Aes().S;
    int nk = Size / 4;
    FRounds = nk + 6;
    auto* w = reinterpret_cast<uint8_t*>(FSchedule.data());
    std::memcpy(w, Key, static_cast<size_t>(Size));
    uint8_t rcon = 1;
    for (int i = nk; i < 4 * (FRounds + 1); ++i) {
        uint8_t t[4];
        std::memcpy(t, w + 4 * (i - 1), 4);
        if (i % nk == 0) {
            uint8_t t0 = t[0];
            t[0] = static_cast<uint8_t>(S[t[1]] ^ rcon);
            t[1] = S[t[2]];
            t[2] = S[t[3]];
            t[3] = S[t0];
            rcon = XTime(rcon);
        } else if (nk > 6 && i % nk == 4) {
            for (auto& b : t) b = S[b];
        }
        for (int j = 0; j < 4; ++j) w[4 * i + j] = static_cast<uint8_t>(w[4 * (i - nk) + j] ^ t[j]);
    }
    if (ProcessorHasAes()) AesNiDecryptionKeys(w, FRounds, w + 240);
}

void TCipher_Rijndael::EncodeBlock(const uint8_t* In, uint8_t* Out) {
    if (HasAesInstructions()) return AesNiEncode(reinterpret_cast<const uint8_t*>(FSchedule.data()), FRounds, In, Out);
    const auto& S = Aes().S;
    const auto* rk = reinterpret_cast<const uint8_t*>(FSchedule.data());
    uint8_t s[16];
    for (int i = 0; i < 16; ++i) s[i] = In[i] ^ rk[i];
    for (int round = 1; round <= FRounds; ++round) {
        uint8_t t[16];
        // SubBytes and ShiftRows: state column c row r comes from column c + r.
        for (int c = 0; c < 4; ++c)
            for (int r = 0; r < 4; ++r) t[4 * c + r] = S[s[4 * ((c + r) % 4) + r]];
        if (round != FRounds)
            for (int c = 0; c < 4; ++c) {
                uint8_t* col = t + 4 * c;
                uint8_t a0 = col[0], a1 = col[1], a2 = col[2], a3 = col[3];
                uint8_t all = a0 ^ a1 ^ a2 ^ a3;
                col[0] ^= all ^ XTime(a0 ^ a1);
                col[1] ^= all ^ XTime(a1 ^ a2);
                col[2] ^= all ^ XTime(a2 ^ a3);
                col[3] ^= all ^ XTime(a3 ^ a0);
            }
        for (int i = 0; i < 16; ++i) s[i] = t[i] ^ rk[16 * round + i];
    }
    std::memcpy(Out, s, 16);
}

void TCipher_Rijndael::DecodeBlock(const uint8_t* In, uint8_t* Out) {
    if (HasAesInstructions())
        return AesNiDecode(reinterpret_cast<const uint8_t*>(FSchedule.data()) + 240, FRounds, In, Out);
    const auto& Inv = Aes().Inv;
    const auto* rk = reinterpret_cast<const uint8_t*>(FSchedule.data());
    uint8_t s[16];
    for (int i = 0; i < 16; ++i) s[i] = In[i] ^ rk[16 * FRounds + i];
    for (int round = FRounds - 1; round >= 0; --round) {
        uint8_t t[16];
        for (int c = 0; c < 4; ++c)
            for (int r = 0; r < 4; ++r) t[4 * ((c + r) % 4) + r] = Inv[s[4 * c + r]];
        for (int i = 0; i < 16; ++i) t[i] ^= rk[16 * round + i];
        if (round != 0)
            for (int c = 0; c < 4; ++c) {
                uint8_t* col = t + 4 * c;
                uint8_t a0 = col[0], a1 = col[1], a2 = col[2], a3 = col[3];
                col[0] = GMul(a0, 14) ^ GMul(a1, 11) ^ GMul(a2, 13) ^ GMul(a3, 9);
                col[1] = GMul(a0, 9) ^ GMul(a1, 14) ^ GMul(a2, 11) ^ GMul(a3, 13);
                col[2] = GMul(a0, 13) ^ GMul(a1, 9) ^ GMul(a2, 14) ^ GMul(a3, 11);
                col[3] = GMul(a0, 11) ^ GMul(a1, 13) ^ GMul(a2, 9) ^ GMul(a3, 14);
            }
        std::memcpy(s, t, 16);
    }
    std::memcpy(Out, s, 16);
}

void TCipher_Rijndael::DecodeBlocks(const uint8_t* In, uint8_t* Out, size_t Count) {
    size_t i = 0;
    if (HasAesInstructions())
        for (const auto* dk = reinterpret_cast<const uint8_t*>(FSchedule.data()) + 240; i + 4 <= Count; i += 4)
            AesNiDecode4(dk, FRounds, In + 16 * i, Out + 16 * i);
    for (; i < Count; ++i) DecodeBlock(In + 16 * i, Out + 16 * i);
}

// ---------------------------------------------------------------------------------------------
// DES; bit 1 of a table is the most significant bit of its input.

namespace {

// clang-format off
const uint8_t IP[64] = {58, 50, 42, 34, 26, 18, 10, 2, 60, 52, 44, 36, 28, 20, 12, 4,
                        62, 54, 46, 38, 30, 22, 14, 6, 64, 56, 48, 40, 32, 24, 16, 8,
                        57, 49, 41, 33, 25, 17, 9, 1, 59, 51, 43, 35, 27, 19, 11, 3,
                        61, 53, 45, 37, 29, 21, 13, 5, 63, 55, 47, 39, 31, 23, 15, 7};
const uint8_t E[48] = {32, 1, 2, 3, 4, 5, 4, 5, 6, 7, 8, 9, 8, 9, 10, 11, 12, 13, 12, 13, 14, 15, 16, 17,
                       16, 17, 18, 19, 20, 21, 20, 21, 22, 23, 24, 25, 24, 25, 26, 27, 28, 29, 28, 29, 30, 31, 32, 1};
const uint8_t P[32] = {16, 7, 20, 21, 29, 12, 28, 17, 1, 15, 23, 26, 5, 18, 31, 10,
                       2, 8, 24, 14, 32, 27, 3, 9, 19, 13, 30, 6, 22, 11, 4, 25};
const uint8_t PC1[56] = {57, 49, 41, 33, 25, 17, 9, 1, 58, 50, 42, 34, 26, 18,
                         10, 2, 59, 51, 43, 35, 27, 19, 11, 3, 60, 52, 44, 36,
                         63, 55, 47, 39, 31, 23, 15, 7, 62, 54, 46, 38, 30, 22,
                         14, 6, 61, 53, 45, 37, 29, 21, 13, 5, 28, 20, 12, 4};
const uint8_t PC2[48] = {14, 17, 11, 24, 1, 5, 3, 28, 15, 6, 21, 10, 23, 19, 12, 4, 26, 8, 16, 7, 27, 20, 13, 2,
                         41, 52, 31, 37, 47, 55, 30, 40, 51, 45, 33, 48, 44, 49, 39, 56, 34, 53, 46, 42, 50, 36, 29, 32};
const uint8_t Shifts[16] = {1, 1, 2, 2, 2, 2, 2, 2, 1, 2, 2, 2, 2, 2, 2, 1};
const uint8_t SBox[8][64] = {
    {14, 4, 13, 1, 2, 15, 11, 8, 3, 10, 6, 12, 5, 9, 0, 7, 0, 15, 7, 4, 14, 2, 13, 1, 10, 6, 12, 11, 9, 5, 3, 8,
     4, 1, 14, 8, 13, 6, 2, 11, 15, 12, 9, 7, 3, 10, 5, 0, 15, 12, 8, 2, 4, 9, 1, 7, 5, 11, 3, 14, 10, 0, 6, 13},
    {15, 1, 8, 14, 6, 11, 3, 4, 9, 7, 2, 13, 12, 0, 5, 10, 3, 13, 4, 7, 15, 2, 8, 14, 12, 0, 1, 10, 6, 9, 11, 5,
     0, 14, 7, 11, 10, 4, 13, 1, 5, 8, 12, 6, 9, 3, 2, 15, 13, 8, 10, 1, 3, 15, 4, 2, 11, 6, 7, 12, 0, 5, 14, 9},
    {10, 0, 9, 14, 6, 3, 15, 5, 1, 13, 12, 7, 11, 4, 2, 8, 13, 7, 0, 9, 3, 4, 6, 10, 2, 8, 5, 14, 12, 11, 15, 1,
     13, 6, 4, 9, 8, 15, 3, 0, 11, 1, 2, 12, 5, 10, 14, 7, 1, 10, 13, 0, 6, 9, 8, 7, 4, 15, 14, 3, 11, 5, 2, 12},
    {7, 13, 14, 3, 0, 6, 9, 10, 1, 2, 8, 5, 11, 12, 4, 15, 13, 8, 11, 5, 6, 15, 0, 3, 4, 7, 2, 12, 1, 10, 14, 9,
     10, 6, 9, 0, 12, 11, 7, 13, 15, 1, 3, 14, 5, 2, 8, 4, 3, 15, 0, 6, 10, 1, 13, 8, 9, 4, 5, 11, 12, 7, 2, 14},
    {2, 12, 4, 1, 7, 10, 11, 6, 8, 5, 3, 15, 13, 0, 14, 9, 14, 11, 2, 12, 4, 7, 13, 1, 5, 0, 15, 10, 3, 9, 8, 6,
     4, 2, 1, 11, 10, 13, 7, 8, 15, 9, 12, 5, 6, 3, 0, 14, 11, 8, 12, 7, 1, 14, 2, 13, 6, 15, 0, 9, 10, 4, 5, 3},
    {12, 1, 10, 15, 9, 2, 6, 8, 0, 13, 3, 4, 14, 7, 5, 11, 10, 15, 4, 2, 7, 12, 9, 5, 6, 1, 13, 14, 0, 11, 3, 8,
     9, 14, 15, 5, 2, 8, 12, 3, 7, 0, 4, 10, 1, 13, 11, 6, 4, 3, 2, 12, 9, 5, 15, 10, 11, 14, 1, 7, 6, 0, 8, 13},
    {4, 11, 2, 14, 15, 0, 8, 13, 3, 12, 9, 7, 5, 10, 6, 1, 13, 0, 11, 7, 4, 9, 1, 10, 14, 3, 5, 12, 2, 15, 8, 6,
     1, 4, 11, 13, 12, 3, 7, 14, 10, 15, 6, 8, 0, 5, 9, 2, 6, 11, 13, 8, 1, 4, 10, 7, 9, 5, 0, 15, 14, 2, 3, 12},
    {13, 2, 8, 4, 6, 15, 11, 1, 10, 9, 3, 14, 5, 0, 12, 7, 1, 15, 13, 8, 10, 3, 7, 4, 12, 5, 6, 11, 0, 14, 9, 2,
     7, 11, 4, 1, 9, 12, 14, 2, 0, 6, 10, 13, 15, 3, 5, 8, 2, 1, 14, 7, 4, 10, 8, 13, 15, 12, 9, 0, 3, 5, 6, 11}};
// clang-format on

// Picks the bits a table names from an input of InBits bits.
uint64_t Permute(uint64_t In, const uint8_t* Table, int OutBits, int InBits) {
    uint64_t out = 0;
    for (int i = 0; i < OutBits; ++i) out = (out << 1) | ((In >> (InBits - Table[i])) & 1);
    return out;
}

uint64_t LoadBE64(const uint8_t* p) { return uint64_t(GetBE32(p)) << 32 | GetBE32(p + 4); }
void StoreBE64(uint8_t* p, uint64_t v) {
    PutBE32(p, uint32_t(v >> 32));
    PutBE32(p + 4, uint32_t(v));
}

}  // namespace

TCipher_1DES::TCipher_1DES() : TSymmetricAlgorithm(8, {64, 64, 0}, 32) {}

TCipher_1DES::TCipher_1DES(TKeySizes LegalKeySizes, size_t ScheduleWords)
    : TSymmetricAlgorithm(8, LegalKeySizes, ScheduleWords) {}

void TCipher_1DES::MakeSchedule(const uint8_t* Key, uint32_t* Schedule) {
    uint64_t cd = Permute(LoadBE64(Key), PC1, 56, 64);
    uint32_t c = uint32_t(cd >> 28) & 0xFFFFFFF, d = uint32_t(cd) & 0xFFFFFFF;
    for (int i = 0; i < 16; ++i) {
        c = ((c << Shifts[i]) | (c >> (28 - Shifts[i]))) & 0xFFFFFFF;
        d = ((d << Shifts[i]) | (d >> (28 - Shifts[i]))) & 0xFFFFFFF;
        uint64_t k = Permute(uint64_t(c) << 28 | d, PC2, 48, 56);
        Schedule[2 * i] = uint32_t(k >> 32);
        Schedule[2 * i + 1] = uint32_t(k);
    }
}

uint64_t TCipher_1DES::Crypt(uint64_t Block, const uint32_t* Schedule, bool Decrypt) {
    static const auto FP = [] {
        std::array<uint8_t, 64> fp{};
        for (int i = 0; i < 64; ++i) fp[IP[i] - 1] = static_cast<uint8_t>(i + 1);
        return fp;
    }();
    uint64_t b = Permute(Block, IP, 64, 64);
    uint32_t l = uint32_t(b >> 32), r = uint32_t(b);
    for (int i = 0; i < 16; ++i) {
        int n = Decrypt ? 15 - i : i;
        uint64_t k = uint64_t(Schedule[2 * n]) << 32 | Schedule[2 * n + 1];
        uint64_t x = Permute(r, E, 48, 32) ^ k;
        uint32_t s = 0;
        for (int j = 0; j < 8; ++j) {
            unsigned six = unsigned(x >> (42 - 6 * j)) & 63;
            unsigned row = ((six >> 4) & 2) | (six & 1), col = (six >> 1) & 15;
            s = (s << 4) | SBox[j][row * 16 + col];
        }
        uint32_t f = uint32_t(Permute(s, P, 32, 32));
        uint32_t t = l ^ f;
        l = r;
        r = t;
    }
    return Permute(uint64_t(r) << 32 | l, FP.data(), 64, 64);
}

void TCipher_1DES::Init(const uint8_t* Key, int) { MakeSchedule(Key, FSchedule.data()); }

void TCipher_1DES::EncodeBlock(const uint8_t* In, uint8_t* Out) {
    StoreBE64(Out, Crypt(LoadBE64(In), FSchedule.data(), false));
}

void TCipher_1DES::DecodeBlock(const uint8_t* In, uint8_t* Out) {
    StoreBE64(Out, Crypt(LoadBE64(In), FSchedule.data(), true));
}

TCipher_3DES::TCipher_3DES() : TCipher_1DES({128, 192, 64}, 96) {}

void TCipher_3DES::Init(const uint8_t* Key, int Size) {
    MakeSchedule(Key, FSchedule.data());
    MakeSchedule(Key + 8, FSchedule.data() + 32);
    MakeSchedule(Size >= 24 ? Key + 16 : Key, FSchedule.data() + 64);
}

void TCipher_3DES::EncodeBlock(const uint8_t* In, uint8_t* Out) {
    const uint32_t* k = FSchedule.data();
    uint64_t b = Crypt(LoadBE64(In), k, false);
    b = Crypt(b, k + 32, true);
    StoreBE64(Out, Crypt(b, k + 64, false));
}

void TCipher_3DES::DecodeBlock(const uint8_t* In, uint8_t* Out) {
    const uint32_t* k = FSchedule.data();
    uint64_t b = Crypt(LoadBE64(In), k + 64, true);
    b = Crypt(b, k + 32, false);
    StoreBE64(Out, Crypt(b, k, true));
}

// ---------------------------------------------------------------------------------------------
// RC4: the permutation in words 0-255, the two indexes in words 256 and 257.

TCipher_RC4::TCipher_RC4() : TSymmetricAlgorithm(32, {40, 2048, 8}, 258) {}

void TCipher_RC4::Init(const uint8_t* Key, int Size) {
    uint32_t* S = FSchedule.data();
    for (uint32_t i = 0; i < 256; ++i) S[i] = i;
    for (uint32_t i = 0, j = 0; i < 256; ++i) {
        j = (j + S[i] + Key[i % static_cast<uint32_t>(Size)]) & 255;
        std::swap(S[i], S[j]);
    }
    S[256] = 0;
    S[257] = 0;
}

void TCipher_RC4::Reset() {
    TSymmetricAlgorithm::Reset();
    if (Initialized()) Init(FKey.data(), KeySize());
}

void TCipher_RC4::EncryptBuffer(void* Buffer, size_t Size) {
    CheckInitialized();
    uint32_t* S = FSchedule.data();
    uint32_t i = S[256], j = S[257];
    auto* p = static_cast<uint8_t*>(Buffer);
    for (size_t n = 0; n < Size; ++n) {
        i = (i + 1) & 255;
        j = (j + S[i]) & 255;
        std::swap(S[i], S[j]);
        p[n] ^= static_cast<uint8_t>(S[(S[i] + S[j]) & 255]);
    }
    S[256] = i;
    S[257] = j;
}

void TCipher_RC4::EncodeBlock(const uint8_t* In, uint8_t* Out) {
    if (Out != In) std::memcpy(Out, In, 32);
    EncryptBuffer(Out, 32);
}

}  // namespace crypto

// ---------------------------------------------------------------------------------------------
// CAST-128: masking keys in words 0-15, rotation keys in words 16-31.

namespace crypto {

namespace {

const uint32_t (&CS)[8][256] = Cast128SBox;

// One pass of the key schedule: four z words from x, four sub-keys, four x words from z and
// four more sub-keys. The index tables name bytes of x (0-15) and z (16-31).
void Cast128KeyPass(uint8_t* xz, uint32_t* K) {
    uint8_t* x = xz;
    uint8_t* z = xz + 16;
    auto put = [](uint8_t* p, uint32_t v) { PutBE32(p, v); };
    auto S5 = [](uint8_t i) { return CS[4][i]; };
    auto S6 = [](uint8_t i) { return CS[5][i]; };
    auto S7 = [](uint8_t i) { return CS[6][i]; };
    auto S8 = [](uint8_t i) { return CS[7][i]; };
    auto xToZ = [&] {
        put(z + 0, GetBE32(x + 0) ^ S5(x[13]) ^ S6(x[15]) ^ S7(x[12]) ^ S8(x[14]) ^ S7(x[8]));
        put(z + 4, GetBE32(x + 8) ^ S5(z[0]) ^ S6(z[2]) ^ S7(z[1]) ^ S8(z[3]) ^ S8(x[10]));
        put(z + 8, GetBE32(x + 12) ^ S5(z[7]) ^ S6(z[6]) ^ S7(z[5]) ^ S8(z[4]) ^ S5(x[9]));
        put(z + 12, GetBE32(x + 4) ^ S5(z[10]) ^ S6(z[9]) ^ S7(z[11]) ^ S8(z[8]) ^ S6(x[11]));
    };
    auto zToX = [&] {
        put(x + 0, GetBE32(z + 8) ^ S5(z[5]) ^ S6(z[7]) ^ S7(z[4]) ^ S8(z[6]) ^ S7(z[0]));
        put(x + 4, GetBE32(z + 0) ^ S5(x[0]) ^ S6(x[2]) ^ S7(x[1]) ^ S8(x[3]) ^ S8(z[2]));
        put(x + 8, GetBE32(z + 4) ^ S5(x[7]) ^ S6(x[6]) ^ S7(x[5]) ^ S8(x[4]) ^ S5(z[1]));
        put(x + 12, GetBE32(z + 12) ^ S5(x[10]) ^ S6(x[9]) ^ S7(x[11]) ^ S8(x[8]) ^ S6(z[3]));
    };
    xToZ();
    K[0] = S5(z[8]) ^ S6(z[9]) ^ S7(z[7]) ^ S8(z[6]) ^ S5(z[2]);
    K[1] = S5(z[10]) ^ S6(z[11]) ^ S7(z[5]) ^ S8(z[4]) ^ S6(z[6]);
    K[2] = S5(z[12]) ^ S6(z[13]) ^ S7(z[3]) ^ S8(z[2]) ^ S7(z[9]);
    K[3] = S5(z[14]) ^ S6(z[15]) ^ S7(z[1]) ^ S8(z[0]) ^ S8(z[12]);
    zToX();
    K[4] = S5(x[3]) ^ S6(x[2]) ^ S7(x[12]) ^ S8(x[13]) ^ S5(x[8]);
    K[5] = S5(x[1]) ^ S6(x[0]) ^ S7(x[14]) ^ S8(x[15]) ^ S6(x[13]);
    K[6] = S5(x[7]) ^ S6(x[6]) ^ S7(x[8]) ^ S8(x[9]) ^ S7(x[3]);
    K[7] = S5(x[5]) ^ S6(x[4]) ^ S7(x[10]) ^ S8(x[11]) ^ S8(x[7]);
    xToZ();
    K[8] = S5(z[3]) ^ S6(z[2]) ^ S7(z[12]) ^ S8(z[13]) ^ S5(z[9]);
    K[9] = S5(z[1]) ^ S6(z[0]) ^ S7(z[14]) ^ S8(z[15]) ^ S6(z[12]);
    K[10] = S5(z[7]) ^ S6(z[6]) ^ S7(z[8]) ^ S8(z[9]) ^ S7(z[2]);
    K[11] = S5(z[5]) ^ S6(z[4]) ^ S7(z[10]) ^ S8(z[11]) ^ S8(z[6]);
    zToX();
    K[12] = S5(x[8]) ^ S6(x[9]) ^ S7(x[7]) ^ S8(x[6]) ^ S5(x[3]);
    K[13] = S5(x[10]) ^ S6(x[11]) ^ S7(x[5]) ^ S8(x[4]) ^ S6(x[7]);
    K[14] = S5(x[12]) ^ S6(x[13]) ^ S7(x[3]) ^ S8(x[2]) ^ S7(x[8]);
    K[15] = S5(x[14]) ^ S6(x[15]) ^ S7(x[1]) ^ S8(x[0]) ^ S8(x[13]);
}

inline uint32_t CastF(int Round, uint32_t D, uint32_t Km, uint32_t Kr) {
    uint32_t I;
    switch (Round % 3) {
        case 0:
            I = ROL(Km + D, int(Kr));
            return ((CS[0][I >> 24] ^ CS[1][(I >> 16) & 255]) - CS[2][(I >> 8) & 255]) + CS[3][I & 255];
        case 1:
            I = ROL(Km ^ D, int(Kr));
            return ((CS[0][I >> 24] - CS[1][(I >> 16) & 255]) + CS[2][(I >> 8) & 255]) ^ CS[3][I & 255];
        default:
            I = ROL(Km - D, int(Kr));
            return ((CS[0][I >> 24] + CS[1][(I >> 16) & 255]) ^ CS[2][(I >> 8) & 255]) - CS[3][I & 255];
    }
}

}  // namespace

TCipher_Cast128::TCipher_Cast128() : TSymmetricAlgorithm(8, {40, 128, 8}, 32) {}

void TCipher_Cast128::Init(const uint8_t* Key, int Size) {
    // Shorter keys are padded on the right with zero bytes to 128 bits.
    uint8_t xz[32] = {};
    std::memcpy(xz, Key, static_cast<size_t>(Size));
    Cast128KeyPass(xz, FSchedule.data());
    Cast128KeyPass(xz, FSchedule.data() + 16);
    for (int i = 16; i < 32; ++i) FSchedule[static_cast<size_t>(i)] &= 31;
    ProtectBuffer(xz, sizeof xz);
    FRounds = Size <= 10 ? 12 : 16;
}

void TCipher_Cast128::EncodeBlock(const uint8_t* In, uint8_t* Out) {
    const uint32_t* K = FSchedule.data();
    uint32_t l = GetBE32(In), r = GetBE32(In + 4);
    for (int i = 0; i < FRounds; ++i) {
        uint32_t t = r;
        r = l ^ CastF(i, r, K[i], K[16 + i]);
        l = t;
    }
    PutBE32(Out, r);
    PutBE32(Out + 4, l);
}

void TCipher_Cast128::DecodeBlock(const uint8_t* In, uint8_t* Out) {
    const uint32_t* K = FSchedule.data();
    uint32_t l = GetBE32(In), r = GetBE32(In + 4);
    for (int i = FRounds - 1; i >= 0; --i) {
        uint32_t t = r;
        r = l ^ CastF(i, r, K[i], K[16 + i]);
        l = t;
    }
    PutBE32(Out, r);
    PutBE32(Out + 4, l);
}

}  // namespace crypto
