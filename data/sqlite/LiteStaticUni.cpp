#include "data/sqlite/LiteStaticUni.h"

#include <cstring>

#include "data/crypto/CREncryption.h"
#include "data/sqlite/LiteCallUni.h"
#include "data/sqlite/LiteConstsUni.h"
#include "data/store/MemData.h"

namespace sqlite {

void BindLinkedEngine(TSQLite3API& api) {
#define VELMORAT_SQLITE_LINK(name) api.name = &::name;
    VELMORAT_SQLITE_ENTRY_POINTS(VELMORAT_SQLITE_LINK)
#undef VELMORAT_SQLITE_LINK
    api.sqlite3_key = &sqlite::sqlite3_key;
    api.sqlite3_rekey = &sqlite::sqlite3_rekey;
}

// ---------------------------------------------------------------------------------------------

TSQLiteCodec::TSQLiteCodec(TLiteEncryptionAlgorithm Algorithm, int PageSize) : FAlgorithm(Algorithm) {
    SetPageSize(PageSize);
}

TSQLiteCodec::~TSQLiteCodec() {
    if (FBuffer) crypto::ProtectBuffer(FBuffer.get(), static_cast<size_t>(FPageSize));
}

void TSQLiteCodec::SetPageSize(int Value) {
    if (Value == FPageSize) return;
    if (FBuffer) crypto::ProtectBuffer(FBuffer.get(), static_cast<size_t>(FPageSize));
    FPageSize = Value;
    FBuffer.reset(Value > 0 ? new uint8_t[static_cast<size_t>(Value)] : nullptr);
}

namespace {

rtl::TOwnedPtr<crypto::TCREncryptor> MakeEncryptor(TLiteEncryptionAlgorithm Algorithm) {
    rtl::TOwnedPtr<crypto::TCREncryptor> e(rtl::Create<crypto::TCREncryptor>(nullptr));
    e->SetDataHeader(crypto::ehNone);
    // Both enumerations order their first seven values alike.
    e->SetEncryptionAlgorithm(static_cast<crypto::TCREncryptionAlgorithm>(Algorithm));
    return e;
}

}  // namespace

void TSQLiteCodec::SetReadKey(const AnsiString& Key) {
    // With no algorithm the encryptor has no cipher: a key would fail on the first page read,
    // far from where it was given.
    if (!Key.empty() && FAlgorithm >= leDefault) throw rtl::Exception(SNoEncryptionAlgorithm);
    if (!Key.empty() && !FReadEncryptor) FReadEncryptor = MakeEncryptor(FAlgorithm);
    FReadKey = Key;
}

void TSQLiteCodec::SetWriteKey(const AnsiString& Key) {
    if (!Key.empty() && FAlgorithm >= leDefault) throw rtl::Exception(SNoEncryptionAlgorithm);
    if (!Key.empty() && !FWriteEncryptor) FWriteEncryptor = MakeEncryptor(FAlgorithm);
    FWriteKey = Key;
}

bool TSQLiteCodec::Crypt(crypto::TCREncryptor& Encryptor, const AnsiString& Key, uint8_t* Data, int Size,
                         bool Encrypt) {
    if (Size <= 0) return true;
    try {
        if (Encryptor.Password() != Key) Encryptor.SetPassword(Key);
        if (Encrypt) {
            rtl::Variant result;
            int length = Size;
            Encryptor.Encrypt(Data, store::mdtBytes, result, length);
            const rtl::TBytes* bytes = result.BytesData();
            if (!bytes || bytes->size() != static_cast<size_t>(Size)) return false;
            std::memcpy(Data, bytes->data(), bytes->size());
            return true;
        }
        int length = Size;
        return Encryptor.Decrypt(Data, store::mdtBytes, length) && length == Size;
    } catch (...) {
        // The engine's frames lie above: report through the result, never by raising.
        return false;
    }
}

void* TSQLiteCodec::Code(void* Data, unsigned PageNo, int Mode) {
    const int offset = PageNo == 1 ? 16 : 0;
    const int length = FPageSize - offset;
    auto* page = static_cast<uint8_t*>(Data);
    switch (Mode) {
        case cmReadPage:
        case cmReadJournal:
        case cmRestorePage:
            // In place: a page that fails to decrypt is refused as a whole anyway.
            if (!FReadEncryptor || FReadKey.empty()) return Data;
            return Crypt(*FReadEncryptor, FReadKey, page + offset, length, false) ? Data : nullptr;
        case cmWritePage:
        case cmWriteJournal: {
            const bool journal = Mode == cmWriteJournal;
            crypto::TCREncryptor* encryptor = journal ? FReadEncryptor.get() : FWriteEncryptor.get();
            const AnsiString& key = journal ? FReadKey : FWriteKey;
            if (!encryptor || key.empty()) return Data;
            std::memcpy(FBuffer.get(), page, static_cast<size_t>(FPageSize));
            if (!Crypt(*encryptor, key, FBuffer.get() + offset, length, true)) return nullptr;
            return FBuffer.get();
        }
        default: return Data;
    }
}

bool TSQLiteCodec::DecodeHeader(uint8_t* Data, int Size) {
    if (!FReadEncryptor || FReadKey.empty() || Size <= 16) return true;
    return Crypt(*FReadEncryptor, FReadKey, Data + 16, Size - 16, false);
}

int TSQLiteCodec::ReadBlockSize() {
    if (!FReadEncryptor || FReadKey.empty()) return 0;
    switch (FAlgorithm) {
        case leAES128:
        case leAES192:
        case leAES256: return 16;
        case leRC4: return 32;
        default: return 8;
    }
}

}  // namespace sqlite
