// The value encryptor: encrypts single field and parameter values, and decrypts them on fetch.
#pragma once

#include <memory>

#include "data/crypto/CRHash.h"
#include "data/crypto/CRSymmetricAlgorithm.h"
#include "data/store/CRFieldEncryptor.h"
#include "framework/rtl/Classes.h"
#include "framework/rtl/Variant.h"

namespace crypto {

using rtl::Variant;

inline constexpr const char* SInvalidEncDataSize = "Invalid encrypted data size";
inline constexpr const char* SInvalidEncData = "Encrypted data is corrupt - Invalid encrypted data";
inline constexpr const char* SInvalidHash = "Encrypted data is corrupt - Invalid hash";
inline constexpr const char* SInvalidKey = "Key is invalid. Set Key or Password first";
inline constexpr const char* SDataTypeCannotBeEncrypted = "Data type cannot be encrypted: %s";
inline constexpr const char* SCipherNotAvailable = "Cipher %s is not available";

enum TCREncryptionAlgorithm : uint8_t { eaTripleDES, eaBlowfish, eaAES128, eaAES192, eaAES256, eaCast128, eaRC4 };
enum TCRHashAlgorithm : uint8_t { haSHA1, haMD5 };
enum TCREncDataHeader : uint8_t { ehTagAndHash, ehTag, ehNone };
enum TCRInvalidHashAction : uint8_t { ihFail, ihSkipData, ihIgnoreError };

RTL_DECLARE_EXCEPTION(EInvalidEncData, rtl::Exception);
RTL_DECLARE_EXCEPTION(EInvalidHash, rtl::Exception);

// The 16 bytes that open every tagged encrypted value.
extern const uint8_t EncryptedValueTag[16];

class TCREncryptor : public rtl::TComponent, public store::TCRFieldEncryptor {
    RTL_CLASS(TCREncryptor, rtl::TComponent)
public:
    explicit TCREncryptor(rtl::TComponent* Owner);
    ~TCREncryptor() override;

    TCREncDataHeader DataHeader() const noexcept { return FDataHeader; }
    void SetDataHeader(TCREncDataHeader Value) noexcept { FDataHeader = Value; }
    TCREncryptionAlgorithm EncryptionAlgorithm() const noexcept { return FEncryptionAlgorithm; }
    void SetEncryptionAlgorithm(TCREncryptionAlgorithm Value);
    TCRHashAlgorithm HashAlgorithm() const noexcept { return FHashAlgorithm; }
    void SetHashAlgorithm(TCRHashAlgorithm Value) noexcept { FHashAlgorithm = Value; }
    TCRInvalidHashAction InvalidHashAction() const noexcept { return FInvalidHashAction; }
    void SetInvalidHashAction(TCRInvalidHashAction Value) noexcept { FInvalidHashAction = Value; }
    const AnsiString& Password() const noexcept { return FPassword; }
    // Derives new key material and prepares the cipher at once; an empty password raises.
    void SetPassword(const AnsiString& Value);
    // An explicit key used instead of the password's key material.
    void SetKey(const void* Key, int Size);

    // Encrypts Length bytes of a value given as the data type (mdtString, mdtBytes or
    // mdtWideString) into Result in that type's outer form; Length becomes the result's length
    // in bytes, 0 when the result is Null.
    void Encrypt(const void* Data, int DataType, Variant& Result, int& Length);
    // Decrypts Length bytes in place; false when the buffer held no encrypted value (left as it
    // was) or its digest failed under ihSkipData. On any error the buffer is left untouched.
    bool Decrypt(void* Buffer, int DataType, int& Length);

    int EncryptValue(const void* Data, int Length, int Kind, Variant& Result) override;
    bool DecryptValue(void* Data, int& Length, int Kind) override;

protected:
    void HashPassword();
    void InitCipher();

private:
    int DigestSize() const noexcept;
    // Sets the cipher up for one tagged value from its 8 random bytes.
    void StartValue(const uint8_t* Salt);
    void StartZeroVector();

    TCREncDataHeader FDataHeader = ehTagAndHash;
    TCREncryptionAlgorithm FEncryptionAlgorithm = eaBlowfish;
    TCRHashAlgorithm FHashAlgorithm = haSHA1;
    TCRInvalidHashAction FInvalidHashAction = ihFail;
    AnsiString FPassword;
    THash_SHA1 FSHA1;
    THash_MD5 FMD5;
    THashAlgorithm* FHash = nullptr;
    TBytes FKeyMaterial;
    TBytes FKey;
    TBytes FCipherKey;
    std::unique_ptr<TSymmetricAlgorithm> FCipher;
};

}  // namespace crypto
