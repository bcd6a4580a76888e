#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "data/crypto/CRHash.h"
#include "data/crypto/CRMD5.h"
#include "data/crypto/CRSHA1.h"

using namespace crypto;

namespace {

std::string Hex(const TBytes& b) {
    std::string s = BufferToHex(b.data(), b.size());
    for (auto& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

struct DigestCase {
    const char* Algorithm;
    std::string Message;
    const char* Digest;
};

std::unique_ptr<THashAlgorithm> MakeHash(const std::string& name) {
    if (name == "MD4") return std::make_unique<THash_MD4>();
    if (name == "MD5") return std::make_unique<THash_MD5>();
    if (name == "RMD160") return std::make_unique<THash_RipeMD160>();
    if (name == "SHA0") return std::make_unique<THash_SHA>();
    return std::make_unique<THash_SHA1>();
}

const std::string Alphabet448 = "abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq";

const DigestCase DigestCases[] = {
    {"MD4", "", "31d6cfe0d16ae931b73c59d7e0c089c0"},
    {"MD4", "abc", "a448017aaf21d8525fc10ae87aa6729d"},
    {"MD4", "message digest", "d9130a8164549fe818874806e1c7014b"},
    {"MD5", "", "d41d8cd98f00b204e9800998ecf8427e"},
    {"MD5", "abc", "900150983cd24fb0d6963f7d28e17f72"},
    {"MD5", "message digest", "f96b697d7cb7938d525a2f31aaf161d0"},
    {"MD5", "abcdefghijklmnopqrstuvwxyz", "c3fcd3d76192e4007dfb496cca67e13b"},
    {"MD5", "12345678901234567890123456789012345678901234567890123456789012345678901234567890",
     "57edf4a22be3c955ac49da2e2107b67a"},
    {"RMD160", "", "9c1185a5c5e9fc54612808977ee8f548b2258d31"},
    {"RMD160", "abc", "8eb208f7e05d987a9b044a8e98c6b087f15a0bfc"},
    {"RMD160", "message digest", "5d0689ef49d2fae572b881b123a85ffa21595f36"},
    {"SHA0", "abc", "0164b8a914cd2a5e74c4f7ff082c4d97f1edf880"},
    {"SHA0", Alphabet448, "d2516ee1acfa5baf33dfc1c471e438449ef134c8"},
    {"SHA1", "", "da39a3ee5e6b4b0d3255bfef95601890afd80709"},
    {"SHA1", "abc", "a9993e364706816aba3e25717850c26c9cd0d89d"},
    {"SHA1", Alphabet448, "84983e441c3bd26ebaae4aa1f95129e5e54670f1"},
    {"SHA1", std::string(1000000, 'a'), "34aa973cd4c4daa4f61eeb2bdbad27316534016f"},
};

}  // namespace

TEST(Digests, PublishedVectors) {
    for (const auto& c : DigestCases) {
        auto h = MakeHash(c.Algorithm);
        EXPECT_EQ(Hex(h->ComputeHash(c.Message.data(), c.Message.size())), c.Digest)
            << c.Algorithm << " of " << c.Message.size() << " bytes";
    }
}

TEST(Digests, PiecewiseFeedingMatchesOneBuffer) {
    // Pieces that straddle the 64-byte block and the 56-byte padding boundary.
    std::string msg(200, 'x');
    for (size_t i = 0; i < msg.size(); ++i) msg[i] = static_cast<char>(i * 7);
    for (const char* name : {"MD5", "SHA1", "RMD160"}) {
        auto whole = MakeHash(name)->ComputeHash(msg.data(), msg.size());
        for (size_t cut : {1u, 55u, 56u, 63u, 64u, 65u, 130u}) {
            auto h = MakeHash(name);
            h->HashData(msg.data(), cut);
            h->TransformBlock(reinterpret_cast<const uint8_t*>(msg.data()) + cut, static_cast<int>(msg.size() - cut),
                              nullptr);
            EXPECT_EQ(h->TransformFinalBlock(nullptr, 0), whole) << name << " cut " << cut;
        }
    }
}

TEST(Digests, ServiceProvidersRestartAfterFinal) {
    TSHA1CryptoServiceProvider sha;
    sha.HashData("ab", 2);
    sha.HashData("c", 1);
    EXPECT_EQ(Hex(sha.FinalDigest()), "a9993e364706816aba3e25717850c26c9cd0d89d");
    sha.HashData("abc", 3);
    EXPECT_EQ(Hex(sha.FinalDigest()), "a9993e364706816aba3e25717850c26c9cd0d89d");
    TMD5CryptoServiceProvider md5;
    EXPECT_EQ(md5.DigestSize(), 16);
    md5.HashData("abc", 3);
    EXPECT_EQ(Hex(md5.FinalDigest()), "900150983cd24fb0d6963f7d28e17f72");
}

TEST(Protection, ChainPassesDataOnAndRefusesCircles) {
    auto first = std::make_shared<THash_MD5>();
    auto second = std::make_shared<THash_SHA1>();
    first->SetProtection(second);
    char data[] = "abc";
    first->CodeBuffer(data, 3, TPAction::paCalc);
    EXPECT_EQ(Hex(second->Final()), "a9993e364706816aba3e25717850c26c9cd0d89d");
    EXPECT_EQ(Hex(first->Final()), "900150983cd24fb0d6963f7d28e17f72");
    try {
        second->SetProtection(first);
        FAIL() << "a circle was accepted";
    } catch (const rtl::Exception& e) {
        EXPECT_STREQ(e.what(), "Circular Protection detected, Protection Object is invalid");
    }
    first->SetProtection(nullptr);
}
