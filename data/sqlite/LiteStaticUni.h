// Direct mode: the entry-point table bound to the SQLite engine the program is linked with, and
// the page codec that encrypts the database files it opens.
//
// The linked engine has no page-codec hooks, so the codec lives in a file-system layer of our
// own ("velmorat-codec") wrapping the default one. Whole pages are encrypted on their way to the
// file and decrypted on their way back, page 1 from byte 16 on, every other page whole, with no
// reserved bytes, so the stored format is that of a codec inside the pager.
#pragma once

#include <sqlite3.h>

#include <functional>
#include <memory>

#include "data/sqlite/LiteClassesUni.h"
#include "framework/rtl/Classes.h"

namespace crypto {
class TCREncryptor;
}

namespace sqlite {

class TSQLite3API;

// Binds every slot to the linked engine's function of the same name, and the key pair to the
// page codec below.
void BindLinkedEngine(TSQLite3API& api);

// Name of the file-system layer the codec registers with the engine.
inline constexpr const char* CodecVfsName = "velmorat-codec";

// Operation modes of the page routine, as a pager-based codec numbers them.
inline constexpr int cmReadPage = 0;
inline constexpr int cmReadJournal = 2;
inline constexpr int cmRestorePage = 3;
inline constexpr int cmWritePage = 6;
inline constexpr int cmWriteJournal = 7;

// Encrypts and decrypts the pages of one database file. Owned by the file it serves.
class TSQLiteCodec : public rtl::TObject {
    RTL_CLASS(TSQLiteCodec, rtl::TObject)
public:
    TSQLiteCodec(TLiteEncryptionAlgorithm Algorithm, int PageSize);
    ~TSQLiteCodec() override;

    TLiteEncryptionAlgorithm Algorithm() const noexcept { return FAlgorithm; }
    int PageSize() const noexcept { return FPageSize; }
    void SetPageSize(int Value);
    const AnsiString& ReadKey() const noexcept { return FReadKey; }
    const AnsiString& WriteKey() const noexcept { return FWriteKey; }
    // An empty key turns the direction off; a key with no algorithm is refused.
    void SetReadKey(const AnsiString& Key);
    void SetWriteKey(const AnsiString& Key);
    bool Keyed() const noexcept { return !FReadKey.empty() || !FWriteKey.empty(); }

    // The page routine. Reads (modes 0, 2, 3) decrypt Data in place and return it; writes
    // (modes 6, 7) return the codec's buffer holding the encrypted copy and leave Data plain.
    // Journal copies take the read key: they hold the committed state, which a rollback must be
    // able to read back while a re-key writes the file under the new key. nullptr on failure.
    void* Code(void* Data, unsigned PageNo, int Mode);
    // Decrypts the first Size bytes of page 1 as they lie in the file; Size need not be a whole
    // page, so the header can be read before the page size is known.
    bool DecodeHeader(uint8_t* Data, int Size);
    // The cipher's block size, 0 without a read key.
    int ReadBlockSize();

private:
    bool Crypt(crypto::TCREncryptor& Encryptor, const AnsiString& Key, uint8_t* Data, int Size, bool Encrypt);

    TLiteEncryptionAlgorithm FAlgorithm;
    int FPageSize = 0;
    std::unique_ptr<uint8_t[]> FBuffer;
    AnsiString FReadKey;
    AnsiString FWriteKey;
    rtl::TOwnedPtr<crypto::TCREncryptor> FReadEncryptor;
    rtl::TOwnedPtr<crypto::TCREncryptor> FWriteEncryptor;
};

// The key entry points of the table (slots 68-69). They are called only by our own code, never
// by the engine, so they may raise.
int sqlite3_key(sqlite3* db, const void* key, int keyLength);
int sqlite3_rekey(sqlite3* db, const void* key, int keyLength);
// Gives the database a codec with the key (up to its first zero byte); 1 when it already has one
// or was not opened through the codec's file-system layer.
int sqlite3CodecAttach(sqlite3* db, int dbIndex, const void* key, int keyLength, TLiteEncryptionAlgorithm algorithm);
// The codec's read key, or nothing when the database has no codec.
void sqlite3CodecGetKey(sqlite3* db, int dbIndex, void** key, int* keyLength);
void sqlite3_activate_see(const char* passPhrase);
// The codec of an open database, nullptr when it has none.
TSQLiteCodec* CodecOf(sqlite3* db, int dbIndex = 0);

// Opens a database file through the codec with the key registered first, so that the engine's
// first look at the header already sees it decrypted, and checks that the key reads the file.
// Returns the engine's result like sqlite3_open; a key that does not read the file closes the
// handle and raises "Invalid EncryptionKey and/or EncryptionAlgorithm specified".
int OpenCodecDatabase(const char* FileName, sqlite3** Db, const AnsiString& Key, TLiteEncryptionAlgorithm Algorithm);

// Called after every page the codec writes to a database file, with its page number; lets tests
// stop a process part way through a write. An empty hook removes it.
void SetCodecPageWriteHook(std::function<void(unsigned PageNo)> Hook);
// Asked before every page the codec writes to a database file; true fails that write with an I/O
// error, as a full disk would. An empty function removes it.
void SetCodecPageWriteFault(std::function<bool(unsigned PageNo)> Fault);

}  // namespace sqlite
