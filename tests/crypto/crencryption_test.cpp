#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <memory>
#include <string>

#include "data/crypto/CRCipher.h"
#include "data/crypto/CRDECUtil.h"
#include "data/crypto/CREncryption.h"
#include "data/crypto/CRHash.h"
#include "data/store/MemData.h"
#include "framework/rtl/Text.h"

using namespace crypto;
using store::mdtBlob;
using store::mdtBytes;
using store::mdtString;
using store::mdtWideString;

namespace {

struct FreeObject {
    void operator()(rtl::TObject* o) const { rtl::TObject::Free(o); }
};
using TEncryptorPtr = std::unique_ptr<TCREncryptor, FreeObject>;

TEncryptorPtr MakeEncryptor(TCREncryptionAlgorithm Algorithm = eaBlowfish, TCREncDataHeader Header = ehTagAndHash,
                            const AnsiString& Password = "secret") {
    TEncryptorPtr e(rtl::Create<TCREncryptor>(nullptr));
    e->SetEncryptionAlgorithm(Algorithm);
    e->SetDataHeader(Header);
    e->SetPassword(Password);
    return e;
}

// The encrypted value as the bytes a column would store and hand back.
TBytes Stored(const Variant& v, int DataType) {
    if (DataType == mdtString) {
        AnsiString s = v.AsAnsiString();
        return TBytes(s.begin(), s.end());
    }
    if (DataType == mdtWideString) {
        WideString w = v.AsWideString();
        TBytes b(w.size() * 2);
        std::memcpy(b.data(), w.data(), b.size());
        return b;
    }
    return v.AsBytes();
}

TBytes EncryptToStored(TCREncryptor& e, const TBytes& plain, int DataType) {
    Variant result;
    int length = static_cast<int>(plain.size());
    e.Encrypt(plain.data(), DataType, result, length);
    TBytes stored = Stored(result, DataType);
    EXPECT_EQ(static_cast<size_t>(length), stored.size());
    return stored;
}

std::string ErrorOf(const std::function<void()>& f) {
    try {
        f();
    } catch (const rtl::Exception& e) {
        return std::string(e.ClassName()) + ": " + e.Message();
    }
    return "no error";
}

TBytes Sample(size_t n) {
    TBytes b(n);
    for (size_t i = 0; i < n; ++i) b[i] = static_cast<uint8_t>(i * 31 + 7);
    return b;
}

}  // namespace

TEST(Encryptor, TaggedLayoutSizes) {
    auto e = MakeEncryptor();
    Variant result;
    int length = 5;
    e->Encrypt("hello", mdtString, result, length);
    AnsiString hex = result.AsAnsiString();
    EXPECT_EQ(hex.size(), 128u);
    EXPECT_EQ(length, 128);
    EXPECT_EQ(hex.substr(0, 32), "C544E5292C9C42A5B94FE27912702901");

    struct {
        TCREncryptionAlgorithm Algorithm;
        TCRHashAlgorithm Hash;
        TCREncDataHeader Header;
        int Plain;
        int Total;
    } cases[] = {
        {eaBlowfish, haSHA1, ehTagAndHash, 5, 64},  // T = 8 * ((5 + 20 + 8) div 8 + 1) = 40
        {eaAES128, haMD5, ehTagAndHash, 5, 56},     // T = 16 * ((5 + 16 + 8) div 16 + 1) = 32
        {eaAES256, haSHA1, ehTag, 8, 56},           // T = 16 * (16 div 16 + 1) = 32
        {eaRC4, haSHA1, ehTagAndHash, 0, 56},       // T = 32 * (28 div 32 + 1) = 32
        {eaTripleDES, haSHA1, ehNone, 5, 5},
    };
    for (const auto& c : cases) {
        auto enc = MakeEncryptor(c.Algorithm, c.Header);
        enc->SetHashAlgorithm(c.Hash);
        EXPECT_EQ(EncryptToStored(*enc, Sample(static_cast<size_t>(c.Plain)), mdtBytes).size(),
                  static_cast<size_t>(c.Total))
            << c.Algorithm << "/" << c.Header;
    }
}

TEST(Encryptor, RoundTripsEveryCipherHeaderAndOuterForm) {
    for (auto algorithm : {eaTripleDES, eaBlowfish, eaAES128, eaAES192, eaAES256, eaCast128, eaRC4})
        for (auto header : {ehTagAndHash, ehTag, ehNone})
            for (int type : {mdtString, mdtBytes, mdtWideString})
                for (size_t n : {0u, 1u, 17u, 100u}) {
                    if (header == ehNone && n == 0) continue;
                    auto e = MakeEncryptor(algorithm, header);
                    TBytes plain = Sample(n);
                    TBytes stored = EncryptToStored(*e, plain, type);
                    if (n) {
                        EXPECT_FALSE(stored.size() == n && stored == plain);
                    }
                    // A fresh encryptor with the same password reads it back.
                    auto d = MakeEncryptor(algorithm, header);
                    int length = static_cast<int>(stored.size());
                    EXPECT_TRUE(d->Decrypt(stored.data(), type, length));
                    ASSERT_EQ(length, static_cast<int>(n)) << algorithm << "/" << header << "/" << type;
                    EXPECT_EQ(TBytes(stored.begin(), stored.begin() + length), plain)
                        << algorithm << "/" << header << "/" << type << "/" << n;
                }
}

TEST(Encryptor, EqualValuesEncryptDifferently) {
    for (auto algorithm : {eaBlowfish, eaAES128, eaRC4}) {
        auto e = MakeEncryptor(algorithm, ehTag);
        TBytes a(40, 'A');
        EXPECT_NE(EncryptToStored(*e, a, mdtBytes), EncryptToStored(*e, a, mdtBytes)) << algorithm;
    }
}

// The stored layout, built here with the bare ciphers and digests: the tag, 8 random bytes that
// open the vector, the enciphered fixed value, length, value and padding, then the plain digest.
TEST(Encryptor, StoredLayoutMatchesValuesWrittenByHand) {
    const AnsiString password = "secret";
    TBytes utf16;
    for (char c : password) utf16.insert(utf16.end(), {static_cast<uint8_t>(c), 0});
    TBytes material = THash_SHA1().ComputeHash(utf16);
    TBytes md5 = THash_MD5().ComputeHash(utf16);
    material.insert(material.end(), md5.begin(), md5.end());

    struct {
        TCREncryptionAlgorithm Algorithm;
        TCRHashAlgorithm Hash;
        TCREncDataHeader Header;
        std::function<std::unique_ptr<TSymmetricAlgorithm>()> Make;
        int KeyBytes;
        size_t Plain;
    } cases[] = {
        // Blowfish with SHA-1: a 20-byte span ends in a partial block.
        {eaBlowfish, haSHA1, ehTagAndHash, [] { return std::make_unique<TCipher_Blowfish>(); }, 32, 5},
        {eaAES128, haMD5, ehTagAndHash, [] { return std::make_unique<TCipher_Rijndael>(); }, 16, 21},
        {eaTripleDES, haSHA1, ehTag, [] { return std::make_unique<TCipher_3DES>(); }, 24, 13},
        {eaRC4, haSHA1, ehTagAndHash, [] { return std::make_unique<TCipher_RC4>(); }, 32, 40},
        {eaRC4, haMD5, ehTag, [] { return std::make_unique<TCipher_RC4>(); }, 32, 3},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.Algorithm << "/" << c.Hash << "/" << c.Header);
        auto e = MakeEncryptor(c.Algorithm, c.Header, password);
        e->SetHashAlgorithm(c.Hash);
        const TBytes plain = Sample(c.Plain);
        const size_t H = c.Header == ehTag ? 0 : (c.Hash == haMD5 ? 16 : 20);
        const TBytes digest = c.Hash == haMD5 ? THash_MD5().ComputeHash(plain) : THash_SHA1().ComputeHash(plain);

        // Ours, opened by hand.
        TBytes stored = EncryptToStored(*e, plain, mdtBytes);
        const size_t T = stored.size() - 24;
        ASSERT_EQ(std::memcmp(stored.data(), EncryptedValueTag, 16), 0);
        EXPECT_EQ(TBytes(stored.end() - static_cast<std::ptrdiff_t>(H), stored.end()),
                  TBytes(digest.begin(), digest.begin() + static_cast<std::ptrdiff_t>(H)))
            << "the digest of the plain value is stored in plain at the end";
        auto cipher = c.Make();
        cipher->SetKey(material.data(), c.KeyBytes);
        cipher->SetIV(stored.data() + 16, 8);
        cipher->DecryptBuffer(stored.data() + 24, T - H);
        EXPECT_EQ(GetLE32(stored.data() + 24), 0xBAADF00Du);
        ASSERT_EQ(GetLE32(stored.data() + 28), c.Plain);
        EXPECT_EQ(TBytes(stored.begin() + 32, stored.begin() + 32 + static_cast<std::ptrdiff_t>(c.Plain)), plain);

        // Written by hand, read by the encryptor.
        TBytes hand(24 + T, 0x5A);
        std::memcpy(hand.data(), EncryptedValueTag, 16);
        for (size_t i = 16; i < 24; ++i) hand[i] = static_cast<uint8_t>(0xF0 + i);
        PutLE32(hand.data() + 24, 0xBAADF00D);
        PutLE32(hand.data() + 28, static_cast<uint32_t>(c.Plain));
        std::memcpy(hand.data() + 32, plain.data(), c.Plain);
        std::memcpy(hand.data() + 24 + T - H, digest.data(), H);
        cipher->SetKey(material.data(), c.KeyBytes);
        cipher->SetIV(hand.data() + 16, 8);
        cipher->EncryptBuffer(hand.data() + 24, T - H);
        for (int type : {mdtBytes, mdtString}) {
            TBytes buffer = type == mdtBytes ? hand : [&] {
                AnsiString hex = BufferToHex(hand.data(), hand.size());
                return TBytes(hex.begin(), hex.end());
            }();
            int length = static_cast<int>(buffer.size());
            ASSERT_TRUE(e->Decrypt(buffer.data(), type, length)) << type;
            EXPECT_EQ(TBytes(buffer.begin(), buffer.begin() + length), plain) << type;
        }
    }
}

TEST(Encryptor, StreamCipherValuesShareOneKeyStream) {
    // Every RC4 value is enciphered from the start of the password key's stream whatever its
    // random bytes; stored values depend on it.
    auto e = MakeEncryptor(eaRC4, ehTag);
    TBytes a(40, 'A'), b(40, 'B');
    TBytes ea = EncryptToStored(*e, a, mdtBytes), eb = EncryptToStored(*e, b, mdtBytes);
    EXPECT_NE(TBytes(ea.begin() + 16, ea.begin() + 24), TBytes(eb.begin() + 16, eb.begin() + 24));
    EXPECT_EQ(TBytes(ea.begin() + 24, ea.begin() + 28), TBytes(eb.begin() + 24, eb.begin() + 28));
    for (size_t i = 32; i < 72; ++i) EXPECT_EQ(ea[i] ^ eb[i], 'A' ^ 'B') << i;
}

TEST(Encryptor, ValueWithoutTagIsLeftAlone) {
    auto e = MakeEncryptor();
    struct {
        int Type;
        std::string Text;
    } cases[] = {
        {mdtString, "plain text value"},
        {mdtString, "C544E5292C9C42A5B94FE279127029"},  // one byte short of the tag
        {mdtString, "00000000000000000000000000000000000000000000000000000000000000000000000000"},
        {mdtBytes, "short"},
        {mdtBytes, std::string(40, '\x01')},
        {mdtBlob, std::string(40, '\x02')},
    };
    for (const auto& c : cases) {
        std::string buffer = c.Text;
        int length = static_cast<int>(buffer.size());
        EXPECT_FALSE(e->Decrypt(buffer.data(), c.Type, length)) << c.Text;
        EXPECT_EQ(length, static_cast<int>(c.Text.size()));
        EXPECT_EQ(buffer, c.Text);
    }
}

TEST(Encryptor, DamagedDigestFollowsTheInvalidHashAction) {
    TBytes plain = Sample(11);
    for (auto algorithm : {eaBlowfish, eaAES128, eaRC4}) {
        auto e = MakeEncryptor(algorithm);
        TBytes stored = EncryptToStored(*e, plain, mdtBytes);
        EXPECT_EQ(TBytes(stored.end() - 20, stored.end()), THash_SHA1().ComputeHash(plain));
        stored.back() ^= 0x01;
        const TBytes damaged = stored;

        TBytes buffer = damaged;
        int length = static_cast<int>(buffer.size());
        EXPECT_EQ(ErrorOf([&] { e->Decrypt(buffer.data(), mdtBytes, length); }),
                  "EInvalidHash: Encrypted data is corrupt - Invalid hash");
        EXPECT_EQ(buffer, damaged) << "a refused value must stay as stored";

        e->SetInvalidHashAction(ihSkipData);
        length = static_cast<int>(buffer.size());
        EXPECT_FALSE(e->Decrypt(buffer.data(), mdtBytes, length));
        EXPECT_EQ(length, 0);

        e->SetInvalidHashAction(ihIgnoreError);
        length = static_cast<int>(buffer.size());
        EXPECT_TRUE(e->Decrypt(buffer.data(), mdtBytes, length));
        ASSERT_EQ(length, 11);
        EXPECT_EQ(TBytes(buffer.begin(), buffer.begin() + 11), plain);
    }
}

TEST(Encryptor, WrongKeyAndDamagedDataAreRefusedWithoutTouchingTheBuffer) {
    auto e = MakeEncryptor(eaBlowfish, ehTag);
    TBytes stored = EncryptToStored(*e, Sample(30), mdtBytes);
    TBytes hexBytes = EncryptToStored(*e, Sample(30), mdtString);
    const std::string hex(hexBytes.begin(), hexBytes.end());
    auto other = MakeEncryptor(eaBlowfish, ehTag, "another");
    struct {
        const char* Name;
        TCREncryptor* Encryptor;
        int Type;
        std::string Data;
        const char* Error;
    } cases[] = {
        {"wrong password", other.get(), mdtBytes, std::string(stored.begin(), stored.end()),
         "EInvalidEncData: Encrypted data is corrupt - Invalid encrypted data"},
        {"truncated to a part block", e.get(), mdtBlob, std::string(stored.begin(), stored.end() - 3),
         "EInvalidEncData: Invalid encrypted data size"},
        {"shorter than a header", e.get(), mdtBlob, std::string(stored.begin(), stored.begin() + 30),
         "EInvalidEncData: Invalid encrypted data size"},
        {"odd hexadecimal text", e.get(), mdtString, hex.substr(0, hex.size() - 1),
         "EInvalidEncData: Invalid encrypted data size"},
        {"non-hexadecimal text", e.get(), mdtString, hex.substr(0, 40) + "ZZ" + hex.substr(42),
         "EInvalidEncData: Encrypted data is corrupt - Invalid encrypted data"},
        {"damaged length word", e.get(), mdtBytes,
         [&] {
             std::string s(stored.begin(), stored.end());
             s[24] ^= 0x40;  // the first enciphered block
             return s;
         }(),
         "EInvalidEncData: Encrypted data is corrupt - Invalid encrypted data"},
    };
    for (const auto& c : cases) {
        std::string buffer = c.Data;
        int length = static_cast<int>(buffer.size());
        EXPECT_EQ(ErrorOf([&] { c.Encryptor->Decrypt(buffer.data(), c.Type, length); }), c.Error) << c.Name;
        EXPECT_EQ(buffer, c.Data) << c.Name;
        EXPECT_EQ(length, static_cast<int>(c.Data.size())) << c.Name;
    }
}

// The stored vector is the chaining input of the first enciphered block, so a byte flipped in it
// flips the same bit of the length word and nothing else: the fixed value still matches. A length
// outside the last block of the span, longer or shorter, is refused whatever the hash action; a
// length inside it only the digest can tell.
TEST(Encryptor, LengthWordDamagedThroughTheStoredVectorIsRefused) {
    struct {
        size_t Offset;
        uint8_t Mask;
    } const beyondTheBlock[] = {{16 + 4, 0x10}, {16 + 4, 0x20}, {16 + 5, 0x01}, {16 + 7, 0x80}};
    for (TCREncryptionAlgorithm algorithm : {eaBlowfish, eaAES128}) {
        for (TCREncDataHeader header : {ehTag, ehTagAndHash}) {
            for (TCRInvalidHashAction action : {ihFail, ihIgnoreError}) {
                auto e = MakeEncryptor(algorithm, header);
                e->SetInvalidHashAction(action);
                const TBytes stored = EncryptToStored(*e, Sample(30), mdtBytes);
                auto decrypt = [&](size_t offset, uint8_t mask) {
                    std::string buffer(stored.begin(), stored.end());
                    buffer[offset] = static_cast<char>(buffer[offset] ^ mask);
                    const std::string before = buffer;
                    int length = static_cast<int>(buffer.size());
                    std::string error = ErrorOf([&] { e->Decrypt(buffer.data(), mdtBytes, length); });
                    if (error != "no error") {
                        EXPECT_EQ(buffer, before);
                    }
                    return error;
                };
                for (const auto& f : beyondTheBlock)
                    EXPECT_EQ(decrypt(f.Offset, f.Mask),
                              "EInvalidEncData: Encrypted data is corrupt - Invalid encrypted data")
                        << int(algorithm) << "/" << int(header) << "/" << int(action) << " byte " << f.Offset
                        << " mask " << int(f.Mask);
                if (header == ehTagAndHash && action == ihFail) {
                    EXPECT_EQ(decrypt(16 + 4, 0x01), "EInvalidHash: Encrypted data is corrupt - Invalid hash")
                        << int(algorithm);
                }
            }
        }
    }
}

TEST(Encryptor, FixedLengthBytesFieldPaddedWithZerosDecrypts) {
    auto e = MakeEncryptor(eaAES128);
    TBytes plain = Sample(9);
    TBytes stored = EncryptToStored(*e, plain, mdtBytes);
    size_t storedSize = stored.size();
    stored.resize(storedSize + 20, 0);
    int length = static_cast<int>(stored.size());
    ASSERT_TRUE(e->Decrypt(stored.data(), mdtBytes, length));
    EXPECT_EQ(TBytes(stored.begin(), stored.begin() + length), plain);

    // A value cut short must not make the rounding read past the buffer's end.
    TBytes cut = EncryptToStored(*e, plain, mdtBytes);
    cut.resize(cut.size() - 5);
    length = static_cast<int>(cut.size());
    EXPECT_EQ(ErrorOf([&] { e->Decrypt(cut.data(), mdtBytes, length); }),
              "EInvalidEncData: Invalid encrypted data size");
}

TEST(Encryptor, KeyMaterialIsShaThenMd5OfUtf16Password) {
    AnsiString password = rtl::UTF8ToAnsi(u8"Пароль1");
    WideString wide = rtl::AnsiToWide(password);
    TBytes utf16(wide.size() * 2);
    for (size_t i = 0; i < wide.size(); ++i) {
        utf16[2 * i] = static_cast<uint8_t>(wide[i]);
        utf16[2 * i + 1] = static_cast<uint8_t>(wide[i] >> 8);
    }
    TBytes material = THash_SHA1().ComputeHash(utf16);
    TBytes md5 = THash_MD5().ComputeHash(utf16);
    material.insert(material.end(), md5.begin(), md5.end());

    struct {
        TCREncryptionAlgorithm Algorithm;
        std::function<std::unique_ptr<TSymmetricAlgorithm>()> Make;
        size_t KeyBytes;
    } cases[] = {
        {eaBlowfish, [] { return std::make_unique<TCipher_Blowfish>(); }, 32},
        {eaTripleDES, [] { return std::make_unique<TCipher_3DES>(); }, 24},
        {eaAES192, [] { return std::make_unique<TCipher_Rijndael>(); }, 24},
        {eaCast128, [] { return std::make_unique<TCipher_Cast128>(); }, 16},
        {eaRC4, [] { return std::make_unique<TCipher_RC4>(); }, 32},
    };
    for (const auto& c : cases) {
        auto e = MakeEncryptor(c.Algorithm, ehNone, password);
        TBytes plain = Sample(37);
        TBytes stored = EncryptToStored(*e, plain, mdtBytes);
        auto cipher = c.Make();
        cipher->SetKey(material.data(), static_cast<int>(c.KeyBytes));
        TBytes expected = plain;
        cipher->EncryptBuffer(expected.data(), expected.size());
        EXPECT_EQ(stored, expected) << c.Algorithm;
        // Without a header equal values give equal results: the page codec relies on it.
        EXPECT_EQ(EncryptToStored(*e, plain, mdtBytes), expected) << c.Algorithm;
    }
}

TEST(Encryptor, KeysPasswordsAndDataTypes) {
    TEncryptorPtr e(rtl::Create<TCREncryptor>(nullptr));
    EXPECT_EQ(e->DataHeader(), ehTagAndHash);
    EXPECT_EQ(e->EncryptionAlgorithm(), eaBlowfish);
    EXPECT_EQ(e->HashAlgorithm(), haSHA1);
    EXPECT_EQ(e->InvalidHashAction(), ihFail);
    TBytes plain = Sample(4);
    Variant v;
    int length = 4;
    EXPECT_EQ(ErrorOf([&] { e->Encrypt(plain.data(), mdtBytes, v, length); }),
              "Exception: Key is invalid. Set Key or Password first");

    e->SetPassword("first");
    EXPECT_EQ(ErrorOf([&] { e->SetPassword(""); }), "Exception: Key is invalid. Set Key or Password first");

    // An explicit key wins over the password until the password changes again.
    TBytes key = Sample(16);
    e->SetEncryptionAlgorithm(eaAES128);
    e->SetKey(key.data(), 16);
    TBytes stored = EncryptToStored(*e, plain, mdtBytes);
    TEncryptorPtr d(rtl::Create<TCREncryptor>(nullptr));
    d->SetEncryptionAlgorithm(eaAES128);
    d->SetKey(key.data(), 16);
    length = static_cast<int>(stored.size());
    TBytes copy = stored;
    ASSERT_TRUE(d->Decrypt(copy.data(), mdtBytes, length));
    EXPECT_EQ(TBytes(copy.begin(), copy.begin() + length), plain);
    d->SetPassword("other");
    copy = stored;
    length = static_cast<int>(copy.size());
    EXPECT_EQ(ErrorOf([&] { d->Decrypt(copy.data(), mdtBytes, length); }),
              "EInvalidEncData: Encrypted data is corrupt - Invalid encrypted data");

    length = 4;
    EXPECT_EQ(ErrorOf([&] { e->Encrypt(plain.data(), 3, v, length); }), "Exception: Data type cannot be encrypted: 3");
    EXPECT_EQ(ErrorOf([&] { e->Encrypt(plain.data(), mdtBlob, v, length); }),
              "Exception: Data type cannot be encrypted: 13");
    e->SetHashAlgorithm(static_cast<TCRHashAlgorithm>(5));
    EXPECT_EQ(ErrorOf([&] { e->Encrypt(plain.data(), mdtBytes, v, length); }).substr(0, 16), "EAssertionFailed");
}

TEST(Encryptor, EmptyValueWithoutHeaderGivesNull) {
    auto e = MakeEncryptor(eaBlowfish, ehNone);
    Variant v = 1;
    int length = 0;
    e->Encrypt("", mdtString, v, length);
    EXPECT_TRUE(v.IsNull());
    EXPECT_EQ(length, 0);
}

TEST(Encryptor, ServesAsTheRecordSetFieldEncryptor) {
    auto e = MakeEncryptor(eaAES256);
    store::TCRFieldEncryptor* f = e.get();
    WideString text = u"Акт приёма";
    Variant result;
    int n = f->EncryptValue(text.data(), static_cast<int>(text.size() * 2), store::ekWideString, result);
    WideString stored = result.AsWideString();
    EXPECT_EQ(n, static_cast<int>(stored.size() * 2));
    int length = n;
    ASSERT_TRUE(f->DecryptValue(stored.data(), length, store::ekWideString));
    EXPECT_EQ(stored.substr(0, static_cast<size_t>(length / 2)), text);
}
