// Encrypted databases of direct mode: the stored page format, keys, re-keys and crash safety.
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <fstream>
#include <iterator>
#include <memory>

#include "data/crypto/CRCipher.h"
#include "data/crypto/CRHash.h"
#include "data/sqlite/LiteStaticUni.h"
#include "lite_fixture.h"

using namespace litetest;

namespace {

std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteAll(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

bool Contains(const std::string& hay, const std::string& needle) { return hay.find(needle) != std::string::npos; }

const std::string Marker = "MARKER-SECRET";

struct TCipherCase {
    TLiteEncryptionAlgorithm Algorithm;
    const char* Name;
    int KeyBytes;
    int PageSize;
};

const TCipherCase CipherCases[] = {
    {leTripleDES, "3DES", 24, 4096},
    {leBlowfish, "Blowfish", 32, 4096},
    {leAES128, "AES128", 16, 4096},
    {leAES192, "AES192", 24, 4096},
    {leAES256, "AES256", 32, 1024},
    {leCast128, "CAST128", 16, 4096},
    // Page 1 from byte 16 leaves RC4 a final partial 32-byte block.
    {leRC4, "RC4", 32, 4096},
};

std::unique_ptr<crypto::TSymmetricAlgorithm> CipherOf(TLiteEncryptionAlgorithm a) {
    switch (a) {
        case leTripleDES: return std::make_unique<crypto::TCipher_3DES>();
        case leBlowfish: return std::make_unique<crypto::TCipher_Blowfish>();
        case leCast128: return std::make_unique<crypto::TCipher_Cast128>();
        case leRC4: return std::make_unique<crypto::TCipher_RC4>();
        default: return std::make_unique<crypto::TCipher_Rijndael>();
    }
}

// Decrypts a stored file page by page with the ciphers alone: the key text as UTF-16, its SHA-1
// digest followed by its MD5 digest, chained from a zero vector afresh on every page.
std::string DecryptFile(const std::string& stored, TLiteEncryptionAlgorithm a, int keyBytes, const AnsiString& key,
                        int pageSize) {
    WideString wide = rtl::AnsiToWide(key);
    rtl::TBytes utf16;
    for (char16_t ch : wide) {
        utf16.push_back(static_cast<uint8_t>(ch));
        utf16.push_back(static_cast<uint8_t>(ch >> 8));
    }
    crypto::THash_SHA1 sha1;
    crypto::THash_MD5 md5;
    rtl::TBytes material = sha1.ComputeHash(utf16);
    rtl::TBytes m = md5.ComputeHash(utf16);
    material.insert(material.end(), m.begin(), m.end());
    auto cipher = CipherOf(a);
    cipher->SetKey(material.data(), keyBytes);
    std::string plain = stored;
    for (size_t at = 0; at < plain.size(); at += static_cast<size_t>(pageSize)) {
        const size_t skip = at == 0 ? 16 : 0;
        rtl::TBytes zero(static_cast<size_t>(cipher->BlockSize()));
        cipher->SetIV(zero);
        cipher->DecryptBuffer(plain.data() + at + skip, static_cast<size_t>(pageSize) - skip);
    }
    return plain;
}

// Count and checksum of the marker table, read with the plain engine.
std::string PlainSummary(const std::string& path) {
    sqlite3* db = nullptr;
    std::string out = "<unreadable>";
    if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
        sqlite3_stmt* st = nullptr;
        if (sqlite3_prepare_v2(db, "SELECT count(*) || '/' || sum(n) FROM t", -1, &st, nullptr) == SQLITE_OK &&
            sqlite3_step(st) == SQLITE_ROW)
            out = reinterpret_cast<const char*>(sqlite3_column_text(st, 0));
        sqlite3_finalize(st);
    }
    sqlite3_close(db);
    return out;
}

class CodecTest : public LiteTest {
protected:
    rtl::TOwnedPtr<TSQLiteConnection> Direct(const AnsiString& Key, TLiteEncryptionAlgorithm Algorithm = leAES256,
                                             const std::string& Path = {}) {
        auto c = NewConnection(Path.empty() ? DbPath : Path, false);
        c->SetProp(pidDirect, Variant(true));
        c->SetProp(pidEncryptionAlgorithm, Variant(int(Algorithm)));
        c->SetProp(pidEncryptionKey, Variant(Key));
        return c;
    }

    // 300 rows of marker text over several pages, with row ids left with gaps.
    void Fill(TSQLiteConnection* C, int PageSize = 4096) {
        Exec(C, "PRAGMA page_size = " + std::to_string(PageSize));
        Exec(C, "CREATE TABLE t(name TEXT, n INTEGER)");
        Exec(C,
             "WITH RECURSIVE c(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM c WHERE i < 300) "
             "INSERT INTO t SELECT '" +
                 Marker + "-' || printf('%050d', i), i FROM c");
        Exec(C, "DELETE FROM t WHERE n % 7 = 0");
    }

    std::string Summary(TSQLiteConnection* C) {
        auto rows = Select(C, "SELECT count(*) || '/' || sum(n) || '/' || group_concat(rowid) FROM t");
        return rows.at(0).at(0).AsAnsiString();
    }

    static int Rekey(TSQLiteConnection* C, const AnsiString& Key) {
        return C->API()->sqlite3_rekey(C->API()->SQLite, Key.data(), static_cast<int>(Key.size()));
    }
};

}  // namespace

TEST_F(CodecTest, EveryCipherStoresPagesTheIndependentDecryptionReads) {
    const AnsiString key = A(u8"ключ архива 7");
    for (const auto& c : CipherCases) {
        SCOPED_TRACE(c.Name);
        const std::string path = (Dir / (std::string(c.Name) + ".sdb")).string();
        std::string expected;
        {
            auto conn = Direct(key, c.Algorithm, path);
            conn->SetProp(pidForceCreateDatabase, Variant(true));
            conn->Connect("");
            Fill(conn.get(), c.PageSize);
            expected = Summary(conn.get());
            conn->Disconnect();
        }
        const std::string stored = ReadAll(path);
        ASSERT_EQ(stored.size() % static_cast<size_t>(c.PageSize), 0u);
        ASSERT_GE(stored.size(), 4u * static_cast<size_t>(c.PageSize));
        EXPECT_EQ(stored.compare(0, 16, std::string("SQLite format 3\0", 16)), 0);
        EXPECT_FALSE(Contains(stored, Marker));
        EXPECT_FALSE(Contains(stored, "CREATE TABLE"));

        const std::string plain = DecryptFile(stored, c.Algorithm, c.KeyBytes, key, c.PageSize);
        const std::string plainPath = path + ".plain";
        WriteAll(plainPath, plain);
        EXPECT_EQ(PlainSummary(plainPath), expected.substr(0, expected.rfind('/')));
        // Nothing past the pages' own bytes: the plain file is the stored one, byte for byte.
        EXPECT_EQ((plain[16] & 0xFF) << 8 | (plain[17] & 0xFF) << 16, c.PageSize);

        auto again = Direct(key, c.Algorithm, path);
        again->Connect("");
        EXPECT_EQ(Summary(again.get()), expected);
    }
}

TEST_F(CodecTest, WrongOrMissingKeyIsRefusedAndLeavesNoHandle) {
    {
        auto c = Direct("right", leBlowfish);
        c->Connect("");
        Fill(c.get());
    }
    const std::string before = ReadAll(DbPath);
    struct {
        AnsiString Key;
        TLiteEncryptionAlgorithm Algorithm;
    } cases[] = {{"wrong", leBlowfish}, {"", leBlowfish}, {"right", leAES256}, {"Right", leBlowfish}};
    for (const auto& k : cases) {
        SCOPED_TRACE(k.Key);
        auto c = Direct(k.Key, k.Algorithm);
        EXPECT_EQ(MessageOf([&] { c->Connect(""); }), SInvalidEncryptionKey);
        EXPECT_FALSE(c->GetConnected());
        EXPECT_EQ(c->API()->SQLite, nullptr);
    }
    // The plain engine sees no database either.
    EXPECT_EQ(PlainSummary(DbPath), "<unreadable>");
    EXPECT_EQ(ReadAll(DbPath), before);
    // With the engine-wide shared cache on (another connection's option), a second connection
    // must still read the file with its own key, not take the pages the first one decrypted.
    sqlite3_enable_shared_cache(1);
    auto c = Direct("right", leBlowfish);
    c->Connect("");
    EXPECT_EQ(Select(c.get(), "SELECT count(*) FROM t")[0][0].AsInteger(), 258);
    auto wrong = Direct("wrong", leBlowfish);
    EXPECT_EQ(MessageOf([&] { wrong->Connect(""); }), SInvalidEncryptionKey);
    sqlite3_enable_shared_cache(0);
}

TEST_F(CodecTest, JournalNeverHoldsPlainPagesWhileATransactionIsOpen) {
    auto c = Direct("k", leAES128);
    c->Connect("");
    Fill(c.get());
    Exec(c.get(), "PRAGMA cache_size = 2");
    Exec(c.get(), "BEGIN");
    Exec(c.get(), "UPDATE t SET name = 'changed' || n");
    const std::string journal = ReadAll(DbPath + "-journal");
    const std::string file = ReadAll(DbPath);
    // The journal holds the old pages, marker and all, and some new pages reached the file.
    ASSERT_GT(journal.size(), 4u * 4096);
    EXPECT_FALSE(Contains(journal, Marker));
    EXPECT_FALSE(Contains(journal, "CREATE TABLE"));
    EXPECT_FALSE(Contains(file, "changed"));
    Exec(c.get(), "ROLLBACK");
    EXPECT_EQ(Select(c.get(), "SELECT count(*) FROM t WHERE name LIKE 'MARKER%'")[0][0].AsInteger(), 258);
    EXPECT_EQ(Select(c.get(), "PRAGMA integrity_check")[0][0].AsAnsiString(), "ok");
    // A vacuum rebuilds the file through a temporary copy, which must stay in memory.
    Exec(c.get(), "VACUUM");
    EXPECT_FALSE(Contains(ReadAll(DbPath), Marker));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(Dir), std::filesystem::directory_iterator()), 1);
    EXPECT_EQ(Select(c.get(), "PRAGMA integrity_check")[0][0].AsAnsiString(), "ok");
    c->Disconnect();
    c->Connect("");
    EXPECT_EQ(Select(c.get(), "SELECT count(*) FROM t WHERE name LIKE 'MARKER%'")[0][0].AsInteger(), 258);
}

TEST_F(CodecTest, RekeyChainKeepsDataAndRowIds) {
    std::string expected;
    {
        auto c = Direct("", leCast128);
        c->Connect("");
        // Not the default page size: the copy in memory must take the file's.
        Fill(c.get(), 1024);
        expected = Summary(c.get());
    }
    ASSERT_TRUE(Contains(ReadAll(DbPath), Marker));
    const AnsiString chain[] = {"k1", A(u8"второй"), ""};
    AnsiString current;
    for (const AnsiString& next : chain) {
        SCOPED_TRACE(next);
        {
            auto c = Direct(current, leCast128);
            c->Connect("");
            ASSERT_EQ(Rekey(c.get(), next), SQLITE_OK);
            // The same connection goes on under the new key.
            Exec(c.get(), "INSERT INTO t VALUES ('extra', 0)");
            Exec(c.get(), "DELETE FROM t WHERE name = 'extra'");
            EXPECT_EQ(Summary(c.get()), expected);
        }
        EXPECT_EQ(Contains(ReadAll(DbPath), Marker), next.empty());
        if (!current.empty()) {
            auto old = Direct(current, leCast128);
            EXPECT_EQ(MessageOf([&] { old->Connect(""); }), SInvalidEncryptionKey);
        }
        auto c = Direct(next, leCast128);
        c->Connect("");
        EXPECT_EQ(Summary(c.get()), expected);
        EXPECT_EQ(Select(c.get(), "PRAGMA integrity_check")[0][0].AsAnsiString(), "ok");
        current = next;
    }
    EXPECT_EQ(PlainSummary(DbPath), expected.substr(0, expected.rfind('/')));
}

TEST_F(CodecTest, ProcessKilledInTheMiddleOfARekeyLeavesTheOldKey) {
    std::string expected;
    {
        auto c = Direct("old", leAES256);
        c->Connect("");
        Fill(c.get());
        // Enough pages that the copy spills part of them before the commit.
        Exec(c.get(), "INSERT INTO t SELECT name, n + 1000 FROM t");
        Exec(c.get(), "INSERT INTO t SELECT name, n + 2000 FROM t");
        expected = Summary(c.get());
    }
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        int pages = 0;
        SetCodecPageWriteHook([&](unsigned) {
            if (++pages == 5) ::_exit(0);
        });
        try {
            auto c = Direct("old", leAES256);
            c->Connect("");
            Exec(c.get(), "PRAGMA cache_size = 4");
            Rekey(c.get(), "new");
        } catch (...) {
            ::_exit(2);
        }
        ::_exit(3);  // the hook never fired
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    ASSERT_EQ(WEXITSTATUS(status), 0);
    ASSERT_TRUE(std::filesystem::exists(DbPath + "-journal"));
    // The new key must not be able to play the journal back, or the old state would be lost.
    {
        auto c = Direct("new", leAES256);
        EXPECT_EQ(MessageOf([&] { c->Connect(""); }), SInvalidEncryptionKey);
    }
    auto c = Direct("old", leAES256);
    c->Connect("");
    EXPECT_EQ(Summary(c.get()), expected);
    EXPECT_EQ(Select(c.get(), "PRAGMA integrity_check")[0][0].AsAnsiString(), "ok");
}

// A write that fails part way through the copy under the new key, inside the process: the
// re-key reports it, and the file still opens with the old key holding the same rows.
TEST_F(CodecTest, RekeyFailingPartWayKeepsTheOldKeyAndData) {
    auto c = Direct("old", leAES256);
    c->Connect("");
    Fill(c.get());
    Exec(c.get(), "INSERT INTO t SELECT name, n + 1000 FROM t");
    Exec(c.get(), "PRAGMA cache_size = 4");
    const std::string expected = Summary(c.get());
    int pages = 0;
    SetCodecPageWriteFault([&](unsigned) { return ++pages == 5; });
    const int rc = Rekey(c.get(), "new");
    SetCodecPageWriteFault(nullptr);
    EXPECT_NE(rc, SQLITE_OK);
    EXPECT_GE(pages, 5);
    // The same connection goes on under the old key.
    EXPECT_EQ(Summary(c.get()), expected);
    Exec(c.get(), "INSERT INTO t VALUES ('after', 1)");
    c.reset();
    {
        auto wrong = Direct("new", leAES256);
        EXPECT_EQ(MessageOf([&] { wrong->Connect(""); }), SInvalidEncryptionKey);
    }
    auto again = Direct("old", leAES256);
    again->Connect("");
    EXPECT_EQ(Select(again.get(), "SELECT count(*) FROM t WHERE name = 'after'")[0][0].AsInteger(), 1);
    Exec(again.get(), "DELETE FROM t WHERE name = 'after'");
    EXPECT_EQ(Summary(again.get()), expected);
    EXPECT_EQ(Select(again.get(), "PRAGMA integrity_check")[0][0].AsAnsiString(), "ok");
}

TEST_F(CodecTest, WalIsRefusedForKeyedFilesOnly) {
    {
        auto c = Direct("k", leRC4);
        c->Connect("");
        Fill(c.get());
        EXPECT_EQ(MessageOf([&] { Exec(c.get(), "PRAGMA journal_mode = WAL"); }), SWalNotEncrypted);
        EXPECT_EQ(Select(c.get(), "PRAGMA journal_mode")[0][0].AsAnsiString(), "delete");
    }
    const std::string plainPath = (Dir / "plain.sdb").string();
    auto p = Direct("", leRC4, plainPath);
    p->SetProp(pidForceCreateDatabase, Variant(true));
    p->Connect("");
    Fill(p.get());
    EXPECT_EQ(Select(p.get(), "PRAGMA journal_mode = WAL")[0][0].AsAnsiString(), "wal");
    EXPECT_EQ(MessageOf([&] { Rekey(p.get(), "k"); }), SWalNotEncrypted);
    EXPECT_EQ(Select(p.get(), "SELECT count(*) FROM t")[0][0].AsInteger(), 258);
}

TEST_F(CodecTest, KeyEntryPoints) {
    // A codec with no algorithm refuses a key at once, and the data stays readable.
    auto c = Direct("", leDefault);
    c->Connect("");
    Fill(c.get());
    sqlite3* db = c->API()->SQLite;
    EXPECT_EQ(MessageOf([&] { Rekey(c.get(), "k"); }), SNoEncryptionAlgorithm);
    EXPECT_EQ(Rekey(c.get(), ""), SQLITE_OK);
    EXPECT_EQ(Select(c.get(), "SELECT count(*) FROM t")[0][0].AsInteger(), 258);
    // The open database already carries a codec: attaching again changes nothing.
    EXPECT_EQ(sqlite::sqlite3_key(db, "k", 1), 1);
    EXPECT_EQ(sqlite3CodecAttach(db, 0, "k", 1, leAES128), 1);
    void* key = &db;
    int length = -1;
    sqlite3CodecGetKey(db, 0, &key, &length);
    EXPECT_EQ(length, 0);
    EXPECT_EQ(sqlite::sqlite3_key(nullptr, "k", 1), 1);

    // A database the codec's layer did not open has no codec and cannot be keyed.
    sqlite3* plain = nullptr;
    ASSERT_EQ(sqlite3_open(":memory:", &plain), SQLITE_OK);
    sqlite3CodecGetKey(plain, 0, &key, &length);
    EXPECT_EQ(key, nullptr);
    EXPECT_EQ(length, 0);
    EXPECT_EQ(sqlite::sqlite3_rekey(plain, "k", 1), 1);
    sqlite3_close(plain);

    auto k = Direct("secret", leBlowfish, (Dir / "keyed.sdb").string());
    k->SetProp(pidForceCreateDatabase, Variant(true));
    k->Connect("");
    sqlite3CodecGetKey(k->API()->SQLite, 0, &key, &length);
    EXPECT_EQ(std::string(static_cast<const char*>(key), static_cast<size_t>(length)), "secret");
}

// A connection notices another one's commit by the change counter in the file header, which it
// reads on its own, apart from page 1: that small read must be decrypted too.
TEST_F(CodecTest, ConnectionsOnOneFileSeeEachOthersCommits) {
    for (auto algorithm : {leBlowfish, leAES192, leRC4}) {
        SCOPED_TRACE(int(algorithm));
        const std::string path = (Dir / ("shared" + std::to_string(int(algorithm)) + ".sdb")).string();
        auto a = Direct("k", algorithm, path);
        a->SetProp(pidForceCreateDatabase, Variant(true));
        a->Connect("");
        Fill(a.get());
        auto b = Direct("k", algorithm, path);
        b->Connect("");
        EXPECT_EQ(Select(b.get(), "SELECT count(*) FROM t")[0][0].AsInteger(), 258);
        Exec(a.get(), "DELETE FROM t WHERE n > 100");
        EXPECT_EQ(Select(b.get(), "SELECT count(*) FROM t")[0][0].AsInteger(), 86);
        Exec(b.get(), "INSERT INTO t VALUES ('b', 1)");
        EXPECT_EQ(Select(a.get(), "SELECT count(*) FROM t")[0][0].AsInteger(), 87);
    }
}
