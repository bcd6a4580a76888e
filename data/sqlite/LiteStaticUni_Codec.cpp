// The codec's file-system layer and the key entry points.
#include <cstring>
#include <mutex>
#include <new>
#include <utility>

#include "data/sqlite/LiteConstsUni.h"
#include "data/sqlite/LiteStaticUni.h"
#include "data/crypto/CRDECUtil.h"
#include "framework/rtl/Exceptions.h"
#include "framework/rtl/Ownership.h"

namespace sqlite {

namespace {

enum class TFileKind { Main, Journal, Other };

// Our part of an open file, built in the engine's allocation by xOpen and destroyed by xClose;
// the default layer's file follows it in the same allocation.
struct TCodecFile {
    sqlite3_file Base{};
    sqlite3_file* Real = nullptr;
    TFileKind Kind = TFileKind::Other;
    // The codec a main file owns.
    std::unique_ptr<TSQLiteCodec> Owned;
    // The main file's codec: its own for a main file, borrowed by its journal.
    TSQLiteCodec* Codec = nullptr;
    // The name the engine opened the file by; a journal's leads to its database file.
    sqlite3_filename Name = nullptr;
    // A journal's key has been checked against the committed state.
    bool KeyChecked = false;
};

constexpr size_t RealOffset = (sizeof(TCodecFile) + 15) / 16 * 16;

sqlite3_vfs* RealVfs = nullptr;

// Serialises attach and re-key over the whole process.
std::recursive_mutex& CodecLock() {
    static std::recursive_mutex lock;
    return lock;
}

// The codec a main file takes when it is opened: set by OpenCodecDatabase around its open call,
// under the codec lock, on the opening thread.
thread_local std::unique_ptr<TSQLiteCodec> PendingCodec;

std::function<void(unsigned)>& PageWriteHook() {
    static std::function<void(unsigned)> hook;
    return hook;
}

std::function<bool(unsigned)>& PageWriteFault() {
    static std::function<bool(unsigned)> fault;
    return fault;
}

TCodecFile* Of(sqlite3_file* f) { return reinterpret_cast<TCodecFile*>(f); }
// Our part of a file the codec's layer opened; nullptr for any other file.
TCodecFile* CodecFileOf(sqlite3_file* f);

bool IsPageSize(int n) { return n >= 512 && n <= 65536 && (n & (n - 1)) == 0; }

bool EqualNoCase(const char* a, const char* b) { return a && b && sqlite3_stricmp(a, b) == 0; }

// --- io methods: forwarded to the default layer, with pages coded on the way ---

int xClose(sqlite3_file* f) {
    TCodecFile* p = Of(f);
    int rc = p->Real->pMethods ? p->Real->pMethods->xClose(p->Real) : SQLITE_OK;
    p->~TCodecFile();
    return rc;
}

int ReadMain(TCodecFile* p, uint8_t* buf, int amt, sqlite3_int64 off) {
    TSQLiteCodec* c = p->Codec;
    if (IsPageSize(amt) && off % amt == 0) {
        int rc = p->Real->pMethods->xRead(p->Real, buf, amt, off);
        // Past the end of the file the engine gets zeros, which mean a new page.
        if (rc != SQLITE_OK) return rc;
        c->SetPageSize(amt);
        return c->Code(buf, static_cast<unsigned>(off / amt + 1), cmReadPage) ? SQLITE_OK : SQLITE_IOERR_READ;
    }
    const int block = c->ReadBlockSize();
    if (block == 0 || off + amt <= 16) return p->Real->pMethods->xRead(p->Real, buf, amt, off);
    // A look at the header before any page is read: decrypt from byte 16 up to whole blocks,
    // which needs no page size.
    if (off + amt > 512) return SQLITE_IOERR_READ;
    const int end = 16 + static_cast<int>((off + amt - 16 + block - 1) / block * block);
    uint8_t head[512 + 32];
    int rc = p->Real->pMethods->xRead(p->Real, head, end, 0);
    if (rc == SQLITE_IOERR_SHORT_READ) {
        std::memset(buf, 0, static_cast<size_t>(amt));
        return rc;
    }
    if (rc != SQLITE_OK) return rc;
    const bool decoded = c->DecodeHeader(head, end);
    // A hot journal may be played back before any page is read: its page images are found by
    // the page size.
    const int pageSize = head[16] << 8 | head[17] << 16;
    if (decoded && IsPageSize(pageSize)) c->SetPageSize(pageSize);
    if (decoded) std::memcpy(buf, head + off, static_cast<size_t>(amt));
    crypto::ProtectBuffer(head, sizeof head);
    return decoded ? SQLITE_OK : SQLITE_IOERR_READ;
}

// A page image in a rollback journal follows its 4-byte page number: it is the one write of a
// page's size at an offset of 4 modulo 8 (headers lie on sector boundaries).
bool IsJournalPage(TCodecFile* p, int amt, sqlite3_int64 off) {
    return p->Codec && amt == p->Codec->PageSize() && amt > 0 && off >= 4 && off % 8 == 4;
}

int JournalPageNo(TCodecFile* p, sqlite3_int64 off, unsigned& pgno) {
    uint8_t b[4];
    int rc = p->Real->pMethods->xRead(p->Real, b, 4, off - 4);
    pgno = unsigned(b[0]) << 24 | unsigned(b[1]) << 16 | unsigned(b[2]) << 8 | b[3];
    return rc;
}

uint32_t BE32(const uint8_t* b) { return uint32_t(b[0]) << 24 | uint32_t(b[1]) << 16 | uint32_t(b[2]) << 8 | b[3]; }

// The fixed fields of a decrypted page 1: page size, file format versions and payload fractions.
bool SaneHeader(const uint8_t* h, int pageSize) {
    const int size = h[16] << 8 | h[17] << 16;
    return size == pageSize && h[18] >= 1 && h[18] <= 2 && h[19] >= 1 && h[19] <= 2 && h[21] == 64 && h[22] == 32 &&
           h[23] == 32;
}

// Before the first page image of a journal goes back into the file, the read key must be the
// one the journal was written under: with any other key the engine would take the images for
// torn records, stop the rollback and delete the journal, losing the committed state. The key
// is checked against page 1 as the journal holds it (a re-key journals it first) or else as
// the file holds it, which an unjournalled page 1 still shows under the committed key.
int CheckJournalKey(TCodecFile* p) {
    sqlite3_file* j = p->Real;
    uint8_t hdr[28];
    int rc = j->pMethods->xRead(j, hdr, sizeof hdr, 0);
    if (rc != SQLITE_OK) return rc;
    const uint32_t nRec = BE32(hdr + 8), dbSize = BE32(hdr + 16), sector = BE32(hdr + 20), pageSize = BE32(hdr + 24);
    if (dbSize == 0 || !IsPageSize(static_cast<int>(pageSize))) return SQLITE_OK;
    p->Codec->SetPageSize(static_cast<int>(pageSize));
    sqlite3_int64 size = 0;
    j->pMethods->xFileSize(j, &size);
    std::unique_ptr<uint8_t[]> page(new uint8_t[pageSize]);
    bool found = false;
    for (uint32_t k = 0; nRec == 0xFFFFFFFF || k < nRec; ++k) {
        const sqlite3_int64 rec = sqlite3_int64(sector) + sqlite3_int64(k) * (pageSize + 8);
        if (rec + 8 + pageSize > size) break;
        uint8_t b[4];
        if ((rc = j->pMethods->xRead(j, b, 4, rec)) != SQLITE_OK) return rc;
        if (BE32(b) != 1) continue;
        if ((rc = j->pMethods->xRead(j, page.get(), static_cast<int>(pageSize), rec + 4)) != SQLITE_OK) return rc;
        if (!p->Codec->Code(page.get(), 1, cmReadJournal)) return SQLITE_IOERR_READ;
        found = true;
        break;
    }
    if (!found) {
        TCodecFile* main = CodecFileOf(sqlite3_database_file_object(p->Name));
        if (!main) return SQLITE_OK;
        rc = main->Real->pMethods->xRead(main->Real, page.get(), static_cast<int>(pageSize), 0);
        if (rc != SQLITE_OK) return rc;
        if (!p->Codec->Code(page.get(), 1, cmReadPage)) return SQLITE_IOERR_READ;
    }
    const bool sane = SaneHeader(page.get(), static_cast<int>(pageSize));
    crypto::ProtectBuffer(page.get(), pageSize);
    return sane ? SQLITE_OK : SQLITE_NOTADB;
}

int xRead(sqlite3_file* f, void* buf, int amt, sqlite3_int64 off) {
    TCodecFile* p = Of(f);
    if (p->Kind == TFileKind::Main && p->Codec) return ReadMain(p, static_cast<uint8_t*>(buf), amt, off);
    if (p->Kind == TFileKind::Journal && p->Codec && !p->KeyChecked && off >= 4 && off % 8 == 4 && IsPageSize(amt)) {
        int rc = CheckJournalKey(p);
        if (rc != SQLITE_OK) return rc;
        p->KeyChecked = true;
    }
    int rc = p->Real->pMethods->xRead(p->Real, buf, amt, off);
    if (rc != SQLITE_OK || p->Kind != TFileKind::Journal || !IsJournalPage(p, amt, off)) return rc;
    unsigned pgno = 0;
    rc = JournalPageNo(p, off, pgno);
    if (rc != SQLITE_OK) return rc;
    return p->Codec->Code(buf, pgno, cmReadJournal) ? SQLITE_OK : SQLITE_IOERR_READ;
}

int xWrite(sqlite3_file* f, const void* buf, int amt, sqlite3_int64 off) {
    TCodecFile* p = Of(f);
    TSQLiteCodec* c = p->Codec;
    if (!c || p->Kind == TFileKind::Other) return p->Real->pMethods->xWrite(p->Real, buf, amt, off);
    unsigned pgno = 0;
    int mode;
    if (p->Kind == TFileKind::Main) {
        if (!IsPageSize(amt) || off % amt != 0) {
            // The engine writes a database file only in whole pages; anything else would go out
            // in plain.
            if (c->Keyed()) return SQLITE_IOERR_WRITE;
            return p->Real->pMethods->xWrite(p->Real, buf, amt, off);
        }
        c->SetPageSize(amt);
        pgno = static_cast<unsigned>(off / amt + 1);
        mode = cmWritePage;
    } else {
        if (!IsJournalPage(p, amt, off)) return p->Real->pMethods->xWrite(p->Real, buf, amt, off);
        int rc = JournalPageNo(p, off, pgno);
        if (rc != SQLITE_OK) return rc;
        mode = cmWriteJournal;
    }
    if (mode == cmWritePage && PageWriteFault() && PageWriteFault()(pgno)) return SQLITE_IOERR_WRITE;
    const void* out = c->Code(const_cast<void*>(buf), pgno, mode);
    if (!out) return SQLITE_IOERR_WRITE;
    int rc = p->Real->pMethods->xWrite(p->Real, out, amt, off);
    if (rc == SQLITE_OK && mode == cmWritePage && PageWriteHook()) PageWriteHook()(pgno);
    return rc;
}

int xTruncate(sqlite3_file* f, sqlite3_int64 size) { return Of(f)->Real->pMethods->xTruncate(Of(f)->Real, size); }
int xSync(sqlite3_file* f, int flags) { return Of(f)->Real->pMethods->xSync(Of(f)->Real, flags); }
int xFileSize(sqlite3_file* f, sqlite3_int64* size) { return Of(f)->Real->pMethods->xFileSize(Of(f)->Real, size); }
int xLock(sqlite3_file* f, int level) { return Of(f)->Real->pMethods->xLock(Of(f)->Real, level); }
int xUnlock(sqlite3_file* f, int level) { return Of(f)->Real->pMethods->xUnlock(Of(f)->Real, level); }
int xCheckReservedLock(sqlite3_file* f, int* out) {
    return Of(f)->Real->pMethods->xCheckReservedLock(Of(f)->Real, out);
}

int xFileControl(sqlite3_file* f, int op, void* arg) {
    TCodecFile* p = Of(f);
    if (op == SQLITE_FCNTL_PRAGMA && p->Kind == TFileKind::Main && p->Codec && p->Codec->Keyed()) {
        // The write-ahead log would hold every changed page in plain.
        auto** args = static_cast<char**>(arg);
        if (EqualNoCase(args[1], "journal_mode") && EqualNoCase(args[2], "wal")) {
            args[0] = sqlite3_mprintf("%s", SWalNotEncrypted);
            return SQLITE_ERROR;
        }
    }
    return p->Real->pMethods->xFileControl(p->Real, op, arg);
}

int xSectorSize(sqlite3_file* f) { return Of(f)->Real->pMethods->xSectorSize(Of(f)->Real); }
int xDeviceCharacteristics(sqlite3_file* f) { return Of(f)->Real->pMethods->xDeviceCharacteristics(Of(f)->Real); }

int xShmMap(sqlite3_file* f, int page, int size, int extend, void volatile** out) {
    return Of(f)->Real->pMethods->xShmMap(Of(f)->Real, page, size, extend, out);
}
int xShmLock(sqlite3_file* f, int offset, int n, int flags) {
    return Of(f)->Real->pMethods->xShmLock(Of(f)->Real, offset, n, flags);
}
void xShmBarrier(sqlite3_file* f) { Of(f)->Real->pMethods->xShmBarrier(Of(f)->Real); }
int xShmUnmap(sqlite3_file* f, int deleteFlag) { return Of(f)->Real->pMethods->xShmUnmap(Of(f)->Real, deleteFlag); }

// Version 2: shared memory for the write-ahead log of plain files, but no memory mapping, which
// would hand the engine the file's bytes without passing through xRead.
const sqlite3_io_methods CodecMethods = {2,
                                         xClose,
                                         xRead,
                                         xWrite,
                                         xTruncate,
                                         xSync,
                                         xFileSize,
                                         xLock,
                                         xUnlock,
                                         xCheckReservedLock,
                                         xFileControl,
                                         xSectorSize,
                                         xDeviceCharacteristics,
                                         xShmMap,
                                         xShmLock,
                                         xShmBarrier,
                                         xShmUnmap,
                                         nullptr,
                                         nullptr};

TCodecFile* CodecFileOf(sqlite3_file* f) { return f && f->pMethods == &CodecMethods ? Of(f) : nullptr; }

int xOpen(sqlite3_vfs*, sqlite3_filename name, sqlite3_file* f, int flags, int* outFlags) {
    f->pMethods = nullptr;
    TCodecFile* main = nullptr;
    if (name && (flags & (SQLITE_OPEN_MAIN_JOURNAL | SQLITE_OPEN_WAL)))
        main = CodecFileOf(sqlite3_database_file_object(name));
    if ((flags & SQLITE_OPEN_WAL) && main && main->Codec && main->Codec->Keyed()) return SQLITE_CANTOPEN;
    auto* real = reinterpret_cast<sqlite3_file*>(reinterpret_cast<char*>(f) + RealOffset);
    std::memset(real, 0, static_cast<size_t>(RealVfs->szOsFile));
    int rc = RealVfs->xOpen(RealVfs, name, real, flags, outFlags);
    if (rc != SQLITE_OK) {
        if (real->pMethods) real->pMethods->xClose(real);
        return rc;
    }
    TCodecFile* p = new (f) TCodecFile;
    p->Real = real;
    p->Name = name;
    if (flags & SQLITE_OPEN_MAIN_DB) {
        p->Kind = TFileKind::Main;
        p->Owned = std::move(PendingCodec);
        p->Codec = p->Owned.get();
    } else if ((flags & SQLITE_OPEN_MAIN_JOURNAL) && main) {
        p->Kind = TFileKind::Journal;
        p->Codec = main->Codec;
    }
    f->pMethods = &CodecMethods;
    return SQLITE_OK;
}

int xDelete(sqlite3_vfs*, const char* name, int syncDir) { return RealVfs->xDelete(RealVfs, name, syncDir); }
int xAccess(sqlite3_vfs*, const char* name, int flags, int* out) { return RealVfs->xAccess(RealVfs, name, flags, out); }
int xFullPathname(sqlite3_vfs*, const char* name, int n, char* out) {
    return RealVfs->xFullPathname(RealVfs, name, n, out);
}
void* xDlOpen(sqlite3_vfs*, const char* name) { return RealVfs->xDlOpen(RealVfs, name); }
void xDlError(sqlite3_vfs*, int n, char* out) { RealVfs->xDlError(RealVfs, n, out); }
void (*xDlSym(sqlite3_vfs*, void* h, const char* sym))(void) { return RealVfs->xDlSym(RealVfs, h, sym); }
void xDlClose(sqlite3_vfs*, void* h) { RealVfs->xDlClose(RealVfs, h); }
int xRandomness(sqlite3_vfs*, int n, char* out) { return RealVfs->xRandomness(RealVfs, n, out); }
int xSleep(sqlite3_vfs*, int us) { return RealVfs->xSleep(RealVfs, us); }
int xCurrentTime(sqlite3_vfs*, double* out) { return RealVfs->xCurrentTime(RealVfs, out); }
int xGetLastError(sqlite3_vfs*, int n, char* out) {
    return RealVfs->xGetLastError ? RealVfs->xGetLastError(RealVfs, n, out) : 0;
}
int xCurrentTimeInt64(sqlite3_vfs*, sqlite3_int64* out) {
    if (RealVfs->iVersion >= 2 && RealVfs->xCurrentTimeInt64) return RealVfs->xCurrentTimeInt64(RealVfs, out);
    double d = 0;
    int rc = RealVfs->xCurrentTime(RealVfs, &d);
    *out = static_cast<sqlite3_int64>(d * 86400000.0);
    return rc;
}

void RegisterVfs() {
    static std::once_flag once;
    std::call_once(once, [] {
        sqlite3_initialize();
        RealVfs = sqlite3_vfs_find(nullptr);
        static sqlite3_vfs vfs{};
        vfs.iVersion = 2;
        vfs.szOsFile = static_cast<int>(RealOffset) + RealVfs->szOsFile;
        vfs.mxPathname = RealVfs->mxPathname;
        vfs.zName = CodecVfsName;
        vfs.xOpen = xOpen;
        vfs.xDelete = xDelete;
        vfs.xAccess = xAccess;
        vfs.xFullPathname = xFullPathname;
        vfs.xDlOpen = xDlOpen;
        vfs.xDlError = xDlError;
        vfs.xDlSym = xDlSym;
        vfs.xDlClose = xDlClose;
        vfs.xRandomness = xRandomness;
        vfs.xSleep = xSleep;
        vfs.xCurrentTime = xCurrentTime;
        vfs.xGetLastError = xGetLastError;
        vfs.xCurrentTimeInt64 = xCurrentTimeInt64;
        sqlite3_vfs_register(&vfs, 0);
    });
}

TCodecFile* MainFileOf(sqlite3* db, int dbIndex) {
    if (!db) return nullptr;
    const char* name = dbIndex == 0 ? "main" : sqlite3_db_name(db, dbIndex);
    if (!name) return nullptr;
    sqlite3_file* f = nullptr;
    if (sqlite3_file_control(db, name, SQLITE_FCNTL_FILE_POINTER, &f) != SQLITE_OK) return nullptr;
    return CodecFileOf(f);
}

AnsiString KeyText(const void* key, int keyLength) {
    if (!key || keyLength == 0) return {};
    auto* k = static_cast<const char*>(key);
    return keyLength < 0 ? AnsiString(k) : AnsiString(k, strnlen(k, static_cast<size_t>(keyLength)));
}

struct TFinalizeStatic {
    void operator()(sqlite3_stmt* Stmt) const noexcept { sqlite3_finalize(Stmt); }
};
// A statement prepared straight through the engine, finalized on every way out.
using TStaticStatement = rtl::TUniqueHandle<sqlite3_stmt*, TFinalizeStatic>;

// Runs one statement to its end; the engine's result code.
int Run(sqlite3* db, const char* sql) {
    TStaticStatement stmt;
    int rc = sqlite3_prepare_v2(db, sql, -1, stmt.Receive(), nullptr);
    if (rc == SQLITE_OK)
        while ((rc = sqlite3_step(stmt.get())) == SQLITE_ROW) {
        }
    return rc == SQLITE_DONE ? SQLITE_OK : rc;
}

bool IsWal(sqlite3* db) {
    TStaticStatement stmt;
    return sqlite3_prepare_v2(db, "PRAGMA main.journal_mode", -1, stmt.Receive(), nullptr) == SQLITE_OK &&
           sqlite3_step(stmt.get()) == SQLITE_ROW &&
           EqualNoCase(reinterpret_cast<const char*>(sqlite3_column_text(stmt.get(), 0)), "wal");
}

struct TCloseDb {
    void operator()(sqlite3* db) const { sqlite3_close(db); }
};
using TDbPtr = std::unique_ptr<sqlite3, TCloseDb>;

// Copies every page of one database into another, in one transaction on the target.
int CopyPages(sqlite3* to, sqlite3* from, const std::function<void()>& onFailure) {
    sqlite3_backup* b = sqlite3_backup_init(to, "main", from, "main");
    if (!b) return sqlite3_errcode(to);
    int rc = sqlite3_backup_step(b, -1);
    // The target rolls back in finish: its journal pages must be read and restored with the key
    // they were written under.
    if (rc != SQLITE_DONE && onFailure) onFailure();
    int frc = sqlite3_backup_finish(b);
    return rc == SQLITE_DONE ? frc : rc;
}

}  // namespace

void SetCodecPageWriteHook(std::function<void(unsigned)> Hook) { PageWriteHook() = std::move(Hook); }

void SetCodecPageWriteFault(std::function<bool(unsigned)> Fault) { PageWriteFault() = std::move(Fault); }

TSQLiteCodec* CodecOf(sqlite3* db, int dbIndex) {
    TCodecFile* f = MainFileOf(db, dbIndex);
    return f ? f->Codec : nullptr;
}

int sqlite3CodecAttach(sqlite3* db, int dbIndex, const void* key, int keyLength, TLiteEncryptionAlgorithm algorithm) {
    std::lock_guard<std::recursive_mutex> guard(CodecLock());
    TCodecFile* f = MainFileOf(db, dbIndex);
    if (!f || f->Codec) return SQLITE_ERROR;
    AnsiString text = KeyText(key, keyLength);
    auto codec = std::make_unique<TSQLiteCodec>(algorithm, 0);
    codec->SetReadKey(text);
    codec->SetWriteKey(text);
    f->Owned = std::move(codec);
    f->Codec = f->Owned.get();
    return SQLITE_OK;
}

void sqlite3CodecGetKey(sqlite3* db, int dbIndex, void** key, int* keyLength) {
    if (key) *key = nullptr;
    if (keyLength) *keyLength = 0;
    TSQLiteCodec* c = CodecOf(db, dbIndex);
    if (!c) return;
    if (key) *key = const_cast<char*>(c->ReadKey().data());
    if (keyLength) *keyLength = static_cast<int>(c->ReadKey().size());
}

void sqlite3_activate_see(const char*) {}

int sqlite3_key(sqlite3* db, const void* key, int keyLength) {
    if (!db) return SQLITE_ERROR;
    return sqlite3CodecAttach(db, 0, key, keyLength, leDefault);
}

int sqlite3_rekey(sqlite3* db, const void* key, int keyLength) {
    std::lock_guard<std::recursive_mutex> guard(CodecLock());
    TCodecFile* f = MainFileOf(db, 0);
    if (!f) return SQLITE_ERROR;
    if (!f->Codec) {
        if (sqlite3CodecAttach(db, 0, nullptr, 0, leDefault) != SQLITE_OK) return SQLITE_ERROR;
    }
    TSQLiteCodec* c = f->Codec;
    const AnsiString newKey = KeyText(key, keyLength);
    const AnsiString oldKey = c->ReadKey();
    if (!newKey.empty() && c->Algorithm() >= leDefault) throw rtl::Exception(SNoEncryptionAlgorithm);
    if (!newKey.empty() && IsWal(db)) throw rtl::Exception(SWalNotEncrypted);
    if (!newKey.empty()) {
        int rc = Run(db, "PRAGMA temp_store = MEMORY");
        if (rc != SQLITE_OK) return rc;
    }
    // The plain pages go to memory first and come back page for page under the new key: page
    // numbers and row ids stay as they are, which a vacuum would not keep. The copy back is one
    // write transaction under an exclusive lock, journalled under the old key.
    sqlite3* raw = nullptr;
    int rc = sqlite3_open_v2(":memory:", &raw, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
    TDbPtr memory(raw);
    if (rc != SQLITE_OK) return rc;
    rc = CopyPages(memory.get(), db, nullptr);
    if (rc != SQLITE_OK) return rc;
    c->SetWriteKey(newKey);
    rc = CopyPages(db, memory.get(), [&] { c->SetWriteKey(oldKey); });
    if (rc != SQLITE_OK) {
        c->SetWriteKey(oldKey);
        return rc;
    }
    c->SetReadKey(newKey);
    return SQLITE_OK;
}

int OpenCodecDatabase(const char* FileName, sqlite3** Db, const AnsiString& Key, TLiteEncryptionAlgorithm Algorithm) {
    RegisterVfs();
    *Db = nullptr;
    std::lock_guard<std::recursive_mutex> guard(CodecLock());
    auto codec = std::make_unique<TSQLiteCodec>(Algorithm, 0);
    codec->SetReadKey(Key);
    codec->SetWriteKey(Key);
    PendingCodec = std::move(codec);
    // A private cache: a shared one would hand this connection pages another one decrypted,
    // whatever its own key.
    int rc = sqlite3_open_v2(FileName, Db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_PRIVATECACHE,
                             CodecVfsName);
    // Not taken when there is no file, as for ":memory:".
    PendingCodec.reset();
    if (rc != SQLITE_OK || !*Db) return rc;
    // Statements see the key's effect here; a busy database is left to the caller's own probe,
    // which runs with the busy time-out in force.
    rc = Run(*Db, "select * from sqlite_master");
    if (rc == SQLITE_OK && !Key.empty()) rc = Run(*Db, "PRAGMA temp_store = MEMORY");
    if (rc != SQLITE_OK && rc != SQLITE_BUSY && rc != SQLITE_LOCKED) {
        TDbPtr refused(std::exchange(*Db, nullptr));
        throw rtl::Exception(SInvalidEncryptionKey);
    }
    return SQLITE_OK;
}

}  // namespace sqlite
