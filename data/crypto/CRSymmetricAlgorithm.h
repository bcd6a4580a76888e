// Base of the block ciphers: key checks, initial vector, chaining and wiping.
#pragma once

#include <cstdint>
#include <vector>

#include "data/crypto/CRDECUtil.h"

namespace crypto {

inline constexpr const char* SInvalidKeyLength =
    "Length from Encryption key is invalid.\r\nKeysize for %s must be %d-%d bytes";
inline constexpr const char* SInvalidIV = "Invalid Initialization Vector";
inline constexpr const char* SNotInitialized = "%s is not initialized. Set Key first";

inline constexpr int cmCBC = 0;
inline constexpr int cmECB = 1;

// Legal key sizes in bits: from MinSize to MaxSize in steps of SkipSize.
struct TKeySizes {
    int MinSize;
    int MaxSize;
    int SkipSize;
};

class TSymmetricAlgorithm : public TProtection {
public:
    ~TSymmetricAlgorithm() override;

    virtual const char* ClassName() const noexcept = 0;
    int BlockSize() const noexcept { return FBlockSize; }
    // Bytes of the key in force, 0 before one is set.
    int KeySize() const noexcept { return static_cast<int>(FKey.size()); }
    const TKeySizes& LegalKeySizes() const noexcept { return FLegalKeySizes; }
    bool IsLegalKeySize(int Bytes) const noexcept;
    int Mode() const noexcept { return FMode; }
    void SetMode(int Value) noexcept { FMode = Value; }
    int Padding() const noexcept { return 0; }
    bool Initialized() const noexcept { return FInitialized; }

    void SetKey(const void* Key, int Size);
    void SetKey(const TBytes& Key) { SetKey(Key.data(), static_cast<int>(Key.size())); }
    // A shorter vector is filled up with zero bytes to the block size.
    void SetIV(const void* IV, int Size);
    void SetIV(const TBytes& IV) { SetIV(IV.data(), static_cast<int>(IV.size())); }
    const TBytes& IV() const noexcept { return FIV; }
    // The chaining block goes back to the initial vector.
    virtual void Reset();

    virtual void EncryptBuffer(void* Buffer, size_t Size);
    virtual void DecryptBuffer(void* Buffer, size_t Size);

    void GenerateKey();
    void GenerateIV();
    // Overwrites vector, chaining block, work buffer and key schedule; a key must then be set again.
    void Wipe() noexcept;

protected:
    TSymmetricAlgorithm(int BlockSize, TKeySizes LegalKeySizes, size_t ScheduleWords);

    // Builds the key schedule in FSchedule.
    virtual void Init(const uint8_t* Key, int Size) = 0;
    virtual void EncodeBlock(const uint8_t* In, uint8_t* Out) = 0;
    virtual void DecodeBlock(const uint8_t* In, uint8_t* Out) = 0;
    // Decodes Count independent blocks from In to Out (which do not overlap); ciphers that can
    // work on several blocks at once override it, since chained decryption needs no block's
    // result before the next one starts.
    virtual void DecodeBlocks(const uint8_t* In, uint8_t* Out, size_t Count);
    void Code(void* Buffer, size_t Size, TPAction Action) override;
    void CheckInitialized() const;

    std::vector<uint32_t> FSchedule;
    TBytes FKey;

private:
    int FBlockSize;
    TKeySizes FLegalKeySizes;
    int FMode = cmCBC;
    bool FInitialized = false;
    TBytes FIV;
    TBytes FFeedback;
    TBytes FBuffer;
};

}  // namespace crypto
