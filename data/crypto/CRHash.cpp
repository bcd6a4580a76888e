#include "data/crypto/CRHash.h"

#include <cmath>

namespace crypto {

namespace {

const std::vector<uint32_t> MDInit = {0x67452301, 0xEFCDAB89, 0x98BADCFE, 0x10325476};
const std::vector<uint32_t> SHAInit = {0x67452301, 0xEFCDAB89, 0x98BADCFE, 0x10325476, 0xC3D2E1F0};

void LoadLE(const uint8_t* Block, uint32_t* X) {
    for (int i = 0; i < 16; ++i) X[i] = GetLE32(Block + 4 * i);
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// MD4

THash_MD4::THash_MD4() : THashAlgorithm(MDInit, 16, false) {}

void THash_MD4::Transform(const uint8_t* Block) {
    uint32_t X[16];
    LoadLE(Block, X);
    uint32_t a = FState[0], b = FState[1], c = FState[2], d = FState[3];
    static const int s1[4] = {3, 7, 11, 19}, s2[4] = {3, 5, 9, 13}, s3[4] = {3, 9, 11, 15};
    static const int o2[16] = {0, 4, 8, 12, 1, 5, 9, 13, 2, 6, 10, 14, 3, 7, 11, 15};
    static const int o3[16] = {0, 8, 4, 12, 2, 10, 6, 14, 1, 9, 5, 13, 3, 11, 7, 15};
    auto step = [](uint32_t& w, uint32_t f, uint32_t x, int s) { w = ROL(w + f + x, s); };
    for (int i = 0; i < 16; ++i) {
        step(a, (b & c) | (~b & d), X[i], s1[i % 4]);
        uint32_t t = d;
        d = c;
        c = b;
        b = a;
        a = t;
    }
    for (int i = 0; i < 16; ++i) {
        step(a, (b & c) | (b & d) | (c & d), X[o2[i]] + 0x5A827999, s2[i % 4]);
        uint32_t t = d;
        d = c;
        c = b;
        b = a;
        a = t;
    }
    for (int i = 0; i < 16; ++i) {
        step(a, b ^ c ^ d, X[o3[i]] + 0x6ED9EBA1, s3[i % 4]);
        uint32_t t = d;
        d = c;
        c = b;
        b = a;
        a = t;
    }
    FState[0] += a;
    FState[1] += b;
    FState[2] += c;
    FState[3] += d;
}

// ---------------------------------------------------------------------------------------------
// MD5

THash_MD5::THash_MD5() : THashAlgorithm(MDInit, 16, false) {}

void THash_MD5::Transform(const uint8_t* Block) {
    static const auto T = [] {
        std::array<uint32_t, 64> t{};
        for (int i = 0; i < 64; ++i)
            t[i] = static_cast<uint32_t>(std::floor(std::fabs(std::sin(i + 1.0)) * 4294967296.0));
        return t;
    }();
    static const int S[4][4] = {{7, 12, 17, 22}, {5, 9, 14, 20}, {4, 11, 16, 23}, {6, 10, 15, 21}};
    uint32_t X[16];
    LoadLE(Block, X);
    uint32_t a = FState[0], b = FState[1], c = FState[2], d = FState[3];
    for (int i = 0; i < 64; ++i) {
        uint32_t f;
        int k;
        switch (i / 16) {
            case 0:
                f = (b & c) | (~b & d);
                k = i;
                break;
            case 1:
                f = (b & d) | (c & ~d);
                k = (5 * i + 1) % 16;
                break;
            case 2:
                f = b ^ c ^ d;
                k = (3 * i + 5) % 16;
                break;
            default:
                f = c ^ (b | ~d);
                k = (7 * i) % 16;
                break;
        }
        uint32_t t = d;
        d = c;
        c = b;
        b = b + ROL(a + f + X[k] + T[i], S[i / 16][i % 4]);
        a = t;
    }
    FState[0] += a;
    FState[1] += b;
    FState[2] += c;
    FState[3] += d;
}

// ---------------------------------------------------------------------------------------------
// RIPEMD-160

THash_RipeMD160::THash_RipeMD160() : THashAlgorithm(SHAInit, 20, false) {}

void THash_RipeMD160::Transform(const uint8_t* Block) {
    // clang-format off
    static const uint8_t R[80] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15,
                                  7, 4, 13, 1, 10, 6, 15, 3, 12, 0, 9, 5, 2, 14, 11, 8,
                                  3, 10, 14, 4, 9, 15, 8, 1, 2, 7, 0, 6, 13, 11, 5, 12,
                                  1, 9, 11, 10, 0, 8, 12, 4, 13, 3, 7, 15, 14, 5, 6, 2,
                                  4, 0, 5, 9, 7, 12, 2, 10, 14, 1, 3, 8, 11, 6, 15, 13};
    static const uint8_t RR[80] = {5, 14, 7, 0, 9, 2, 11, 4, 13, 6, 15, 8, 1, 10, 3, 12,
                                   6, 11, 3, 7, 0, 13, 5, 10, 14, 15, 8, 12, 4, 9, 1, 2,
                                   15, 5, 1, 3, 7, 14, 6, 9, 11, 8, 12, 2, 10, 0, 4, 13,
                                   8, 6, 4, 1, 3, 11, 15, 0, 5, 12, 2, 13, 9, 7, 10, 14,
                                   12, 15, 10, 4, 1, 5, 8, 7, 6, 2, 13, 14, 0, 3, 9, 11};
    static const uint8_t S[80] = {11, 14, 15, 12, 5, 8, 7, 9, 11, 13, 14, 15, 6, 7, 9, 8,
                                  7, 6, 8, 13, 11, 9, 7, 15, 7, 12, 15, 9, 11, 7, 13, 12,
                                  11, 13, 6, 7, 14, 9, 13, 15, 14, 8, 13, 6, 5, 12, 7, 5,
                                  11, 12, 14, 15, 14, 15, 9, 8, 9, 14, 5, 6, 8, 6, 5, 12,
                                  9, 15, 5, 11, 6, 8, 13, 12, 5, 12, 13, 14, 11, 8, 5, 6};
    static const uint8_t SR[80] = {8, 9, 9, 11, 13, 15, 15, 5, 7, 7, 8, 11, 14, 14, 12, 6,
                                   9, 13, 15, 7, 12, 8, 9, 11, 7, 7, 12, 7, 6, 15, 13, 11,
                                   9, 7, 15, 11, 8, 6, 6, 14, 12, 13, 5, 14, 13, 13, 7, 5,
                                   15, 5, 8, 11, 14, 14, 6, 14, 6, 9, 12, 9, 12, 5, 15, 8,
                                   8, 5, 12, 9, 12, 5, 14, 6, 8, 13, 6, 5, 15, 13, 11, 11};
    // clang-format on
    static const uint32_t K[5] = {0, 0x5A827999, 0x6ED9EBA1, 0x8F1BBCDC, 0xA953FD4E};
    static const uint32_t KR[5] = {0x50A28BE6, 0x5C4DD124, 0x6D703EF3, 0x7A6D76E9, 0};
    auto f = [](int j, uint32_t x, uint32_t y, uint32_t z) -> uint32_t {
        switch (j) {
            case 0: return x ^ y ^ z;
            case 1: return (x & y) | (~x & z);
            case 2: return (x | ~y) ^ z;
            case 3: return (x & z) | (y & ~z);
            default: return x ^ (y | ~z);
        }
    };
    uint32_t X[16];
    LoadLE(Block, X);
    uint32_t a = FState[0], b = FState[1], c = FState[2], d = FState[3], e = FState[4];
    uint32_t ar = a, br = b, cr = c, dr = d, er = e;
    for (int j = 0; j < 80; ++j) {
        int round = j / 16;
        uint32_t t = ROL(a + f(round, b, c, d) + X[R[j]] + K[round], S[j]) + e;
        a = e;
        e = d;
        d = ROL(c, 10);
        c = b;
        b = t;
        t = ROL(ar + f(4 - round, br, cr, dr) + X[RR[j]] + KR[round], SR[j]) + er;
        ar = er;
        er = dr;
        dr = ROL(cr, 10);
        cr = br;
        br = t;
    }
    uint32_t t = FState[1] + c + dr;
    FState[1] = FState[2] + d + er;
    FState[2] = FState[3] + e + ar;
    FState[3] = FState[4] + a + br;
    FState[4] = FState[0] + b + cr;
    FState[0] = t;
}

// ---------------------------------------------------------------------------------------------
// SHA and SHA-1

THash_SHA::THash_SHA() : THash_SHA(false) {}

THash_SHA::THash_SHA(bool Rotate) : THashAlgorithm(SHAInit, 20, true), FRotate(Rotate) {}

void THash_SHA::Transform(const uint8_t* Block) {
    uint32_t W[80];
    for (int i = 0; i < 16; ++i) W[i] = GetBE32(Block + 4 * i);
    for (int i = 16; i < 80; ++i) {
        uint32_t x = W[i - 3] ^ W[i - 8] ^ W[i - 14] ^ W[i - 16];
        W[i] = FRotate ? ROL(x, 1) : x;
    }
    uint32_t a = FState[0], b = FState[1], c = FState[2], d = FState[3], e = FState[4];
    for (int i = 0; i < 80; ++i) {
        uint32_t f, k;
        if (i < 20) {
            f = (b & c) | (~b & d);
            k = 0x5A827999;
        } else if (i < 40) {
            f = b ^ c ^ d;
            k = 0x6ED9EBA1;
        } else if (i < 60) {
            f = (b & c) | (b & d) | (c & d);
            k = 0x8F1BBCDC;
        } else {
            f = b ^ c ^ d;
            k = 0xCA62C1D6;
        }
        uint32_t t = ROL(a, 5) + f + e + k + W[i];
        e = d;
        d = c;
        c = ROL(b, 30);
        b = a;
        a = t;
    }
    FState[0] += a;
    FState[1] += b;
    FState[2] += c;
    FState[3] += d;
    FState[4] += e;
    ProtectBuffer(W, sizeof W);
}

}  // namespace crypto
