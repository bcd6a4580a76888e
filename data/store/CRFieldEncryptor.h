// The value encryptor a record set calls for its encrypted fields. It lives below both the data
// access layer that calls it and the cryptography library that implements it, so neither needs the
// other's headers.
#pragma once

#include "framework/rtl/Variant.h"

namespace store {

// Kinds of plain data handed to a value encryptor: the record store's data type codes.
inline constexpr int ekAnsiString = 1;
inline constexpr int ekBlob = 13;
inline constexpr int ekBytes = 21;
inline constexpr int ekWideString = 25;

// Encrypts parameter values and decrypts fetched values.
class TCRFieldEncryptor {
public:
    virtual ~TCRFieldEncryptor() = default;
    virtual int EncryptValue(const void* Data, int Length, int Kind, rtl::Variant& Result) = 0;
    // Decrypts in place; Length comes in as the stored length and goes out as the plain length.
    // False when the value decrypts to nothing.
    virtual bool DecryptValue(void* Data, int& Length, int Kind) = 0;
};

}  // namespace store
