#include "data/crypto/CREncryption.h"

#include <cstring>

#include "data/crypto/CRCipher.h"
#include "data/crypto/CRRNG.h"
#include "data/store/DAConsts.h"
#include "data/store/MemData.h"
#include "framework/rtl/SysUtils.h"
#include "framework/rtl/Text.h"

namespace crypto {

const uint8_t EncryptedValueTag[16] = {0xC5, 0x44, 0xE5, 0x29, 0x2C, 0x9C, 0x42, 0xA5,
                                       0xB9, 0x4F, 0xE2, 0x79, 0x12, 0x70, 0x29, 0x01};

namespace {

constexpr const char* UnitName = "CREncryption";
constexpr uint32_t FixedValue = 0xBAADF00D;
constexpr size_t HeaderSize = 24;  // tag and random bytes

bool IsTextType(int DataType) { return DataType == store::mdtString || DataType == store::mdtWideString; }

// Hexadecimal text of Count characters into bytes; false on an odd count or a non-digit.
template <class Ch>
bool HexToBytes(const Ch* Text, size_t Count, TBytes& Out) {
    if (Count % 2) return false;
    Out.resize(Count / 2);
    for (size_t i = 0; i < Out.size(); ++i) {
        int hi = HexDigitValue(static_cast<char16_t>(Text[2 * i]));
        int lo = HexDigitValue(static_cast<char16_t>(Text[2 * i + 1]));
        if (hi < 0 || lo < 0) return false;
        Out[i] = static_cast<uint8_t>(hi * 16 + lo);
    }
    return true;
}

// The buffer's text as bytes: characters of 1 or 2 bytes by the data type.
bool TextToBytes(const void* Buffer, int DataType, size_t Length, TBytes& Out, bool& Odd) {
    Odd = false;
    if (DataType == store::mdtString) {
        if (Length % 2) Odd = true;
        return HexToBytes(static_cast<const char*>(Buffer), Length, Out);
    }
    if (Length % 4) Odd = true;
    if (Length % 2) return false;
    std::u16string text(Length / 2, u'\0');
    std::memcpy(text.data(), Buffer, Length);
    return HexToBytes(text.data(), text.size(), Out);
}

// Wipes a buffer that held plain data before it is freed.
struct TWipeOnExit {
    TBytes& Bytes;
    ~TWipeOnExit() { ProtectBuffer(Bytes.data(), Bytes.size()); }
};

[[noreturn]] void CannotEncrypt(int DataType) {
    throw rtl::Exception(rtl::Format(SDataTypeCannotBeEncrypted, {rtl::IntToStr(DataType)}));
}

}  // namespace

TCREncryptor::TCREncryptor(rtl::TComponent* Owner) : TComponent(Owner) {}

TCREncryptor::~TCREncryptor() {
    ProtectBuffer(FKeyMaterial.data(), FKeyMaterial.size());
    ProtectBuffer(FKey.data(), FKey.size());
    ProtectBuffer(FCipherKey.data(), FCipherKey.size());
}

void TCREncryptor::SetEncryptionAlgorithm(TCREncryptionAlgorithm Value) {
    if (Value == FEncryptionAlgorithm) return;
    FEncryptionAlgorithm = Value;
    FCipher.reset();
}

void TCREncryptor::SetPassword(const AnsiString& Value) {
    if (Value == FPassword) return;
    FPassword = Value;
    ProtectBuffer(FKey.data(), FKey.size());
    FKey.clear();
    HashPassword();
    FCipher.reset();
    InitCipher();
}

void TCREncryptor::SetKey(const void* Key, int Size) {
    ProtectBuffer(FKey.data(), FKey.size());
    FKey.clear();
    if (Key && Size > 0) FKey.assign(static_cast<const uint8_t*>(Key), static_cast<const uint8_t*>(Key) + Size);
    FCipher.reset();
}

void TCREncryptor::HashPassword() {
    ProtectBuffer(FKeyMaterial.data(), FKeyMaterial.size());
    FKeyMaterial.clear();
    if (FPassword.empty()) return;
    WideString wide = rtl::AnsiToWide(FPassword);
    TBytes bytes(wide.size() * 2);
    TWipeOnExit wipe{bytes};
    for (size_t i = 0; i < wide.size(); ++i) {
        bytes[2 * i] = static_cast<uint8_t>(wide[i]);
        bytes[2 * i + 1] = static_cast<uint8_t>(wide[i] >> 8);
    }
    FKeyMaterial = FSHA1.ComputeHash(bytes);
    TBytes md5 = FMD5.ComputeHash(bytes);
    FKeyMaterial.insert(FKeyMaterial.end(), md5.begin(), md5.end());
    ProtectBuffer(md5.data(), md5.size());
}

void TCREncryptor::InitCipher() {
    switch (FHashAlgorithm) {
        case haSHA1: FHash = &FSHA1; break;
        case haMD5: FHash = &FMD5; break;
        default: rtl::AssertFail(store::SAssertionFailure, UnitName, 239);
    }
    if (!FCipher) {
        switch (FEncryptionAlgorithm) {
            case eaTripleDES: FCipher = std::make_unique<TCipher_3DES>(); break;
            case eaBlowfish: FCipher = std::make_unique<TCipher_Blowfish>(); break;
            case eaAES128:
            case eaAES192:
            case eaAES256: FCipher = std::make_unique<TCipher_Rijndael>(); break;
            case eaCast128: FCipher = std::make_unique<TCipher_Cast128>(); break;
            case eaRC4: FCipher = std::make_unique<TCipher_RC4>(); break;
            default: rtl::AssertFail(store::SAssertionFailure, UnitName, 255);
        }
        FCipher->SetMode(cmCBC);
    }
    if (FCipher->Initialized() && FEncryptionAlgorithm != eaRC4) return;
    TBytes key;
    if (!FKey.empty()) {
        key = FKey;
    } else {
        if (FPassword.empty() || FKeyMaterial.empty()) throw rtl::Exception(SInvalidKey);
        size_t size;
        switch (FEncryptionAlgorithm) {
            case eaAES128: size = 16; break;
            case eaAES192: size = 24; break;
            case eaAES256: size = 32; break;
            default: size = std::min<size_t>(static_cast<size_t>(FCipher->LegalKeySizes().MaxSize / 8), 32);
        }
        key.assign(FKeyMaterial.begin(), FKeyMaterial.begin() + static_cast<std::ptrdiff_t>(size));
    }
    ProtectBuffer(FCipherKey.data(), FCipherKey.size());
    FCipherKey = std::move(key);
    FCipher->SetKey(FCipherKey);
}

void TCREncryptor::StartValue(const uint8_t* Salt) {
    // RC4 ignores the vector and InitCipher rekeys it with the same key for every value, so all
    // values share one key stream and XORing two stored values gives the XOR of their plain
    // texts. Kept as it is: a key of its own per value would make stored values unreadable.
    FCipher->SetIV(Salt, 8);
}

void TCREncryptor::StartZeroVector() {
    TBytes zero(static_cast<size_t>(FCipher->BlockSize()));
    FCipher->SetIV(zero);
}

int TCREncryptor::DigestSize() const noexcept {
    if (FDataHeader != ehTagAndHash) return 0;
    return FHashAlgorithm == haMD5 ? 16 : 20;
}

void TCREncryptor::Encrypt(const void* Data, int DataType, Variant& Result, int& Length) {
    InitCipher();
    if (DataType != store::mdtString && DataType != store::mdtBytes && DataType != store::mdtWideString)
        CannotEncrypt(DataType);
    if (Length < 0 || (Length > 0 && !Data)) throw rtl::Exception(SInvalidEncDataSize);
    const size_t n = static_cast<size_t>(Length);
    TBytes out;
    TWipeOnExit wipeOut{out};
    if (FDataHeader == ehNone) {
        if (n == 0) {
            Result = Variant::Null();
            Length = 0;
            return;
        }
        out.assign(static_cast<const uint8_t*>(Data), static_cast<const uint8_t*>(Data) + n);
        StartZeroVector();
        FCipher->EncryptBuffer(out.data(), n);
    } else {
        const size_t B = static_cast<size_t>(FCipher->BlockSize());
        const size_t H = static_cast<size_t>(DigestSize());
        const size_t T = B * ((n + H + 8) / B + 1);
        out.assign(HeaderSize + T, 0);
        uint8_t* p = out.data();
        std::memcpy(p, EncryptedValueTag, 16);
        Random().Random(p + 16, 8);
        PutLE32(p + 24, FixedValue);
        PutLE32(p + 28, static_cast<uint32_t>(n));
        if (n) std::memcpy(p + 32, Data, n);
        Random().Random(p + 32 + n, T - n - H - 8);
        if (H) {
            TBytes digest = FHash->ComputeHash(Data, n);
            std::memcpy(p + HeaderSize + T - H, digest.data(), H);
        }
        StartValue(p + 16);
        // The digest stays in plain after the enciphered span: anyone can confirm a guessed
        // value against it and see which rows hold equal values. Kept for stored values to
        // stay readable both ways.
        FCipher->EncryptBuffer(p + HeaderSize, T - H);
    }
    switch (DataType) {
        case store::mdtString:
            Result = Variant(BufferToHex(out.data(), out.size()));
            Length = static_cast<int>(out.size() * 2);
            break;
        case store::mdtWideString: {
            AnsiString hex = BufferToHex(out.data(), out.size());
            Result = Variant(WideString(hex.begin(), hex.end()));
            Length = static_cast<int>(out.size() * 4);
            break;
        }
        default: Result = Variant::FromBytes(out); Length = static_cast<int>(out.size());
    }
}

bool TCREncryptor::Decrypt(void* Buffer, int DataType, int& Length) {
    InitCipher();
    if (DataType != store::mdtString && DataType != store::mdtBytes && DataType != store::mdtWideString &&
        DataType != store::mdtBlob)
        CannotEncrypt(DataType);
    if (Length < 0 || (Length > 0 && !Buffer)) throw rtl::Exception(SInvalidEncDataSize);
    const size_t length = static_cast<size_t>(Length);
    TBytes raw;
    TWipeOnExit wipeRaw{raw};
    bool odd = false;

    if (FDataHeader == ehNone) {
        if (IsTextType(DataType)) {
            if (!TextToBytes(Buffer, DataType, length, raw, odd))
                throw EInvalidEncData(odd ? SInvalidEncDataSize : SInvalidEncData);
        } else {
            StartZeroVector();
            FCipher->DecryptBuffer(Buffer, length);
            return true;
        }
        StartZeroVector();
        FCipher->DecryptBuffer(raw.data(), raw.size());
        if (!raw.empty()) std::memcpy(Buffer, raw.data(), raw.size());
        Length = static_cast<int>(raw.size());
        return true;
    }

    // Only a value that opens with the tag is ours to decrypt.
    if (IsTextType(DataType)) {
        size_t charSize = DataType == store::mdtString ? 1 : 2;
        if (length < 32 * charSize) return false;
        TBytes tag;
        if (!TextToBytes(Buffer, DataType, 32 * charSize, tag, odd) ||
            std::memcmp(tag.data(), EncryptedValueTag, 16) != 0)
            return false;
        if (!TextToBytes(Buffer, DataType, length, raw, odd))
            throw EInvalidEncData(odd ? SInvalidEncDataSize : SInvalidEncData);
    } else {
        if (length <= 15 || std::memcmp(Buffer, EncryptedValueTag, 16) != 0) return false;
        raw.assign(static_cast<uint8_t*>(Buffer), static_cast<uint8_t*>(Buffer) + length);
    }

    const size_t B = static_cast<size_t>(FCipher->BlockSize());
    const size_t H = static_cast<size_t>(DigestSize());
    if (raw.size() < H + 32) throw EInvalidEncData(SInvalidEncDataSize);
    size_t span = raw.size() - HeaderSize;
    if (DataType == store::mdtBytes) {
        // A fixed-length field pads the stored value with zero bytes.
        size_t used = raw.size();
        while (used > HeaderSize + B && raw[used - 1] == 0) --used;
        span = (used - HeaderSize + B - 1) / B * B;
        if (HeaderSize + span > raw.size()) throw EInvalidEncData(SInvalidEncDataSize);
    }
    if (span % B != 0 || span < H + 8) throw EInvalidEncData(SInvalidEncDataSize);

    StartValue(raw.data() + 16);
    FCipher->DecryptBuffer(raw.data() + HeaderSize, span - H);
    const uint8_t* p = raw.data();
    // A wrong key or damaged bytes show in the fixed value before anything is handed out.
    if (GetLE32(p + 24) != FixedValue) throw EInvalidEncData(SInvalidEncData);
    const size_t L = GetLE32(p + 28);
    // The encoder pads to the next whole block, so the value ends in the span's last block; a
    // length outside it is damage that a value without a digest would otherwise hand out.
    if (L > span - H - 8 || L + H + 8 + B < span) throw EInvalidEncData(SInvalidEncData);
    if (H) {
        TBytes digest = FHash->ComputeHash(p + 32, L);
        if (std::memcmp(digest.data(), p + HeaderSize + span - H, H) != 0) {
            if (FInvalidHashAction == ihFail) throw EInvalidHash(SInvalidHash);
            if (FInvalidHashAction == ihSkipData) {
                Length = 0;
                return false;
            }
        }
    }
    if (L) std::memcpy(Buffer, p + 32, L);
    Length = static_cast<int>(L);
    return true;
}

int TCREncryptor::EncryptValue(const void* Data, int Length, int Kind, Variant& Result) {
    int length = Length;
    Encrypt(Data, Kind, Result, length);
    return length;
}

bool TCREncryptor::DecryptValue(void* Data, int& Length, int Kind) { return Decrypt(Data, Kind, Length); }

}  // namespace crypto
