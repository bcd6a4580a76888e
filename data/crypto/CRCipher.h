// The block and stream ciphers.
#pragma once

#include "data/crypto/CRSymmetricAlgorithm.h"

namespace crypto {

class TCipher_Blowfish : public TSymmetricAlgorithm {
public:
    TCipher_Blowfish();
    const char* ClassName() const noexcept override { return "TCipher_Blowfish"; }

protected:
    void Init(const uint8_t* Key, int Size) override;
    void EncodeBlock(const uint8_t* In, uint8_t* Out) override;
    void DecodeBlock(const uint8_t* In, uint8_t* Out) override;
    void DecodeBlocks(const uint8_t* In, uint8_t* Out, size_t Count) override;

private:
    void Encipher(uint32_t& L, uint32_t& R) const noexcept;
};

// Lets tests run Rijndael in software on a processor with AES instructions; on by default.
void UseAesInstructions(bool Value);

class TCipher_Rijndael : public TSymmetricAlgorithm {
public:
    TCipher_Rijndael();
    const char* ClassName() const noexcept override { return "TCipher_Rijndael"; }

protected:
    void Init(const uint8_t* Key, int Size) override;
    void EncodeBlock(const uint8_t* In, uint8_t* Out) override;
    void DecodeBlock(const uint8_t* In, uint8_t* Out) override;
    void DecodeBlocks(const uint8_t* In, uint8_t* Out, size_t Count) override;

private:
    int FRounds = 0;
};

class TCipher_1DES : public TSymmetricAlgorithm {
public:
    TCipher_1DES();
    const char* ClassName() const noexcept override { return "TCipher_1DES"; }

protected:
    TCipher_1DES(TKeySizes LegalKeySizes, size_t ScheduleWords);
    void Init(const uint8_t* Key, int Size) override;
    void EncodeBlock(const uint8_t* In, uint8_t* Out) override;
    void DecodeBlock(const uint8_t* In, uint8_t* Out) override;

    // One 32-word schedule from an 8-byte key, at Schedule.
    static void MakeSchedule(const uint8_t* Key, uint32_t* Schedule);
    // One DES pass over a 64-bit block with a schedule, forwards or backwards.
    static uint64_t Crypt(uint64_t Block, const uint32_t* Schedule, bool Decrypt);
};

// Encrypt-decrypt-encrypt with the key's first, second and third 8 bytes; a 16-byte key
// reuses the first for the third.
class TCipher_3DES : public TCipher_1DES {
public:
    TCipher_3DES();
    const char* ClassName() const noexcept override { return "TCipher_3DES"; }

protected:
    void Init(const uint8_t* Key, int Size) override;
    void EncodeBlock(const uint8_t* In, uint8_t* Out) override;
    void DecodeBlock(const uint8_t* In, uint8_t* Out) override;
};

class TCipher_Cast128 : public TSymmetricAlgorithm {
public:
    TCipher_Cast128();
    const char* ClassName() const noexcept override { return "TCipher_Cast128"; }

protected:
    void Init(const uint8_t* Key, int Size) override;
    void EncodeBlock(const uint8_t* In, uint8_t* Out) override;
    void DecodeBlock(const uint8_t* In, uint8_t* Out) override;

private:
    // 12 rounds for keys of up to 80 bits, 16 above.
    int FRounds = 16;
};

// A stream cipher; its 32-byte "block" is 32 key-stream bytes XORed into the data, and reset
// returns to the start of the key stream.
class TCipher_RC4 : public TSymmetricAlgorithm {
public:
    TCipher_RC4();
    const char* ClassName() const noexcept override { return "TCipher_RC4"; }
    void Reset() override;
    void EncryptBuffer(void* Buffer, size_t Size) override;
    void DecryptBuffer(void* Buffer, size_t Size) override { EncryptBuffer(Buffer, Size); }

protected:
    void Init(const uint8_t* Key, int Size) override;
    void EncodeBlock(const uint8_t* In, uint8_t* Out) override;
    void DecodeBlock(const uint8_t* In, uint8_t* Out) override { EncodeBlock(In, Out); }
};

}  // namespace crypto
