#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "data/crypto/CRCipher.h"

using namespace crypto;

namespace {

TBytes FromHex(const std::string& h) {
    TBytes b(h.size() / 2);
    for (size_t i = 0; i < b.size(); ++i)
        b[i] = static_cast<uint8_t>(HexDigitValue(h[2 * i]) * 16 + HexDigitValue(h[2 * i + 1]));
    return b;
}

std::string Hex(const TBytes& b) { return BufferToHex(b.data(), b.size()); }

// Puts the processor's AES instructions back in use when a test that switched them off ends.
struct TAesInstructions {
    ~TAesInstructions() { UseAesInstructions(true); }
};

std::unique_ptr<TSymmetricAlgorithm> MakeCipher(const std::string& name) {
    if (name == "Blowfish") return std::make_unique<TCipher_Blowfish>();
    if (name == "AES") return std::make_unique<TCipher_Rijndael>();
    if (name == "DES") return std::make_unique<TCipher_1DES>();
    if (name == "3DES") return std::make_unique<TCipher_3DES>();
    if (name == "CAST") return std::make_unique<TCipher_Cast128>();
    return std::make_unique<TCipher_RC4>();
}

struct BlockCase {
    const char* Cipher;
    const char* Key;
    const char* Plain;
    const char* Encrypted;
};

const BlockCase BlockCases[] = {
    {"Blowfish", "0000000000000000", "0000000000000000", "4EF997456198DD78"},
    {"Blowfish", "FFFFFFFFFFFFFFFF", "FFFFFFFFFFFFFFFF", "51866FD5B85ECB8A"},
    {"Blowfish", "3000000000000000", "1000000000000001", "7D856F9A613063F2"},
    {"Blowfish", "1111111111111111", "1111111111111111", "2466DD878B963C9D"},
    {"Blowfish", "0123456789ABCDEF", "1111111111111111", "61F9C3802281B096"},
    {"Blowfish", "FEDCBA9876543210", "0123456789ABCDEF", "0ACEAB0FC6A0A28D"},
    {"AES", "000102030405060708090A0B0C0D0E0F", "00112233445566778899AABBCCDDEEFF", "69C4E0D86A7B0430D8CDB78070B4C55A"},
    {"AES", "000102030405060708090A0B0C0D0E0F1011121314151617", "00112233445566778899AABBCCDDEEFF",
     "DDA97CA4864CDFE06EAF70A0EC0D7191"},
    {"AES", "000102030405060708090A0B0C0D0E0F101112131415161718191A1B1C1D1E1F", "00112233445566778899AABBCCDDEEFF",
     "8EA2B7CA516745BFEAFC49904B496089"},
    {"DES", "133457799BBCDFF1", "0123456789ABCDEF", "85E813540F0AB405"},
    {"DES", "0E329232EA6D0D73", "8787878787878787", "0000000000000000"},
    // Three equal keys reduce triple DES to one DES.
    {"3DES", "133457799BBCDFF1133457799BBCDFF1133457799BBCDFF1", "0123456789ABCDEF", "85E813540F0AB405"},
    // 128-, 80- and 40-bit keys: 16 rounds, then 12 for the two short ones.
    {"CAST", "0123456712345678234567893456789A", "0123456789ABCDEF", "238B4FE5847E44B2"},
    {"CAST", "01234567123456782345", "0123456789ABCDEF", "EB6A711A2C02271B"},
    {"CAST", "0123456712", "0123456789ABCDEF", "7AC816D16E9B302E"},
};

}  // namespace

TEST(Ciphers, PublishedBlockVectorsBothWays) {
    // Software AES as well as the processor's instructions, where it has them.
    TAesInstructions restore;
    for (bool instructions : {true, false}) {
        UseAesInstructions(instructions);
        for (const auto& c : BlockCases) {
            auto cipher = MakeCipher(c.Cipher);
            cipher->SetMode(cmECB);
            cipher->SetKey(FromHex(c.Key));
            TBytes data = FromHex(c.Plain);
            cipher->EncryptBuffer(data.data(), data.size());
            EXPECT_EQ(Hex(data), c.Encrypted) << c.Cipher << " key " << c.Key << " " << instructions;
            cipher->DecryptBuffer(data.data(), data.size());
            EXPECT_EQ(Hex(data), c.Plain) << c.Cipher << " key " << c.Key << " " << instructions;
        }
    }
}

// A million rounds of keys made from each other's ciphertexts: every S-box entry and key-schedule
// path ends up exercised.
TEST(Ciphers, Cast128MaintenanceTest) {
    TBytes a = FromHex("0123456712345678234567893456789A"), b = a;
    TCipher_Cast128 ca, cb;
    ca.SetMode(cmECB);
    cb.SetMode(cmECB);
    for (int i = 0; i < 1000000; ++i) {
        cb.SetKey(b);
        cb.EncryptBuffer(a.data(), 16);
        ca.SetKey(a);
        ca.EncryptBuffer(b.data(), 16);
    }
    EXPECT_EQ(Hex(a), "EEA9D0A249FD3BA6B3436FB89D6DCA92");
    EXPECT_EQ(Hex(b), "B2C95EB00C31AD7180AC05B8E83D696E");
}

TEST(Ciphers, TripleDesIsEncryptDecryptEncrypt) {
    TBytes k1 = FromHex("0123456789ABCDEF"), k2 = FromHex("23456789ABCDEF01"), k3 = FromHex("456789ABCDEF0123");
    TBytes block = FromHex("5468652071756663");
    auto des = [&](const TBytes& key, TBytes b, bool decrypt) {
        TCipher_1DES d;
        d.SetMode(cmECB);
        d.SetKey(key);
        decrypt ? d.DecryptBuffer(b.data(), 8) : d.EncryptBuffer(b.data(), 8);
        return b;
    };
    for (bool twoKeys : {false, true}) {
        TBytes key = k1;
        key.insert(key.end(), k2.begin(), k2.end());
        if (!twoKeys) key.insert(key.end(), k3.begin(), k3.end());
        TBytes expected = des(twoKeys ? k1 : k3, des(k2, des(k1, block, false), true), false);
        TCipher_3DES tdes;
        tdes.SetMode(cmECB);
        tdes.SetKey(key);
        TBytes data = block;
        tdes.EncryptBuffer(data.data(), 8);
        EXPECT_EQ(data, expected) << (twoKeys ? "16-byte key" : "24-byte key");
    }
}

TEST(Ciphers, CbcChainsFromTheVectorAndResets) {
    TCipher_Rijndael aes;
    aes.SetKey(FromHex("2B7E151628AED2A6ABF7158809CF4F3C"));
    aes.SetIV(FromHex("000102030405060708090A0B0C0D0E0F"));
    TBytes data = FromHex("6BC1BEE22E409F96E93D7E117393172AAE2D8A571E03AC9C9EB76FAC45AF8E51");
    aes.EncryptBuffer(data.data(), data.size());
    EXPECT_EQ(Hex(data), "7649ABAC8119B246CEE98E9B12E9197D5086CB9B507219EE95DB113A917678B2");
    aes.Reset();
    aes.DecryptBuffer(data.data(), data.size());
    EXPECT_EQ(Hex(data), "6BC1BEE22E409F96E93D7E117393172AAE2D8A571E03AC9C9EB76FAC45AF8E51");
}

// Chained decryption works on many blocks at once; it must equal the one-block-at-a-time
// definition, across several calls that carry the chaining block on, and for block counts that
// fill no batch evenly.
TEST(Ciphers, LongChainedDecryptionMatchesBlockByBlock) {
    TAesInstructions restore;
    for (const char* name : {"Blowfish", "AES", "AES in software", "3DES", "CAST"}) {
        UseAesInstructions(std::string(name) != "AES in software");
        auto cipher = MakeCipher(std::string(name).substr(0, std::string(name).find(' ')));
        cipher->GenerateKey();
        const size_t B = static_cast<size_t>(cipher->BlockSize());
        for (size_t blocks : {1u, 3u, 37u, 510u}) {
            TBytes plain(blocks * B + 5);
            for (size_t i = 0; i < plain.size(); ++i) plain[i] = static_cast<uint8_t>(i * 7 + blocks);
            TBytes data = plain;
            cipher->GenerateIV();
            TBytes iv = cipher->IV();
            cipher->EncryptBuffer(data.data(), data.size());
            // By definition: P[i] = D(C[i]) xor C[i-1], from the vector.
            TBytes expected(blocks * B);
            TBytes prev = iv;
            for (size_t b = 0; b < blocks; ++b) {
                TBytes block(data.begin() + static_cast<std::ptrdiff_t>(b * B),
                             data.begin() + static_cast<std::ptrdiff_t>((b + 1) * B));
                TBytes d = block;
                cipher->SetMode(cmECB);
                cipher->DecryptBuffer(d.data(), B);
                cipher->SetMode(cmCBC);
                for (size_t i = 0; i < B; ++i) expected[b * B + i] = static_cast<uint8_t>(d[i] ^ prev[i]);
                prev = block;
            }
            ASSERT_EQ(expected, TBytes(plain.begin(), plain.begin() + static_cast<std::ptrdiff_t>(blocks * B)));
            cipher->Reset();
            const size_t first = (blocks / 2) * B;
            cipher->DecryptBuffer(data.data(), first);
            cipher->DecryptBuffer(data.data() + first, data.size() - first);
            EXPECT_EQ(data, plain) << name << " " << blocks;
        }
    }
}

TEST(Ciphers, PartialFinalBlockRoundTrips) {
    for (const char* name : {"Blowfish", "AES", "3DES", "RC4"}) {
        auto cipher = MakeCipher(name);
        cipher->GenerateKey();
        cipher->GenerateIV();
        for (size_t n : {1u, 7u, 13u, 33u, 47u}) {
            TBytes plain(n);
            for (size_t i = 0; i < n; ++i) plain[i] = static_cast<uint8_t>(i + 1);
            TBytes data = plain;
            cipher->Reset();
            cipher->EncryptBuffer(data.data(), n);
            // With a random key one byte can encrypt to itself (1 in 256); longer texts cannot
            // plausibly stay unchanged.
            if (n > 1) {
                EXPECT_NE(data, plain) << name << " " << n;
            }
            cipher->Reset();
            cipher->DecryptBuffer(data.data(), n);
            EXPECT_EQ(data, plain) << name << " " << n;
        }
    }
}

TEST(Ciphers, Rc4KeyStreamAndReset) {
    TCipher_RC4 rc4;
    rc4.SetKey(FromHex("0102030405"));
    TBytes zeros(16);
    rc4.EncryptBuffer(zeros.data(), zeros.size());
    EXPECT_EQ(Hex(zeros), "B2396305F03DC027CCC3524A0A1118A8");
    std::string secret = "Secret", text = "Attack at dawn";
    rc4.SetKey(secret.data(), static_cast<int>(secret.size()));
    TBytes data(text.begin(), text.end());
    rc4.EncryptBuffer(data.data(), data.size());
    EXPECT_EQ(Hex(data), "45A01F645FC35B383552544B9BF5");
    rc4.Reset();
    rc4.DecryptBuffer(data.data(), data.size());
    EXPECT_EQ(std::string(data.begin(), data.end()), text);
}

TEST(Ciphers, RefusesBadKeysVectorsAndUseBeforeKey) {
    struct {
        const char* Cipher;
        int KeyBytes;
        const char* Message;
    } cases[] = {
        {"AES", 20, "Length from Encryption key is invalid.\r\nKeysize for TCipher_Rijndael must be 16-32 bytes"},
        {"Blowfish", 3, "Length from Encryption key is invalid.\r\nKeysize for TCipher_Blowfish must be 4-56 bytes"},
        {"3DES", 8, "Length from Encryption key is invalid.\r\nKeysize for TCipher_3DES must be 16-24 bytes"},
        {"RC4", 257, "Length from Encryption key is invalid.\r\nKeysize for TCipher_RC4 must be 5-256 bytes"},
    };
    for (const auto& c : cases) {
        auto cipher = MakeCipher(c.Cipher);
        TBytes key(static_cast<size_t>(c.KeyBytes), 1);
        try {
            cipher->SetKey(key);
            ADD_FAILURE() << c.Cipher << " took a " << c.KeyBytes << "-byte key";
        } catch (const rtl::Exception& e) {
            EXPECT_EQ(e.Message(), c.Message);
        }
        EXPECT_FALSE(cipher->Initialized());
    }
    TCipher_Blowfish bf;
    uint8_t block[8] = {};
    try {
        bf.EncryptBuffer(block, 8);
        ADD_FAILURE() << "encrypted without a key";
    } catch (const rtl::Exception& e) {
        EXPECT_EQ(e.Message(), "TCipher_Blowfish is not initialized. Set Key first");
    }
    TBytes tooLong(9, 1);
    for (const TBytes& iv : {TBytes{}, tooLong}) {
        try {
            bf.SetIV(iv);
            ADD_FAILURE() << "took a vector of " << iv.size() << " bytes";
        } catch (const rtl::Exception& e) {
            EXPECT_EQ(e.Message(), "Invalid Initialization Vector");
        }
    }
}
