// Encrypted fields of the universal query on a real SQLite file: what reaches the file, what the
// query reads back, wrong keys and damaged values, and the rules of the encryption options.
#include <string>

#include "tests/components/uni_fixture.h"

namespace unitest {
namespace {

using crypto::TCRInvalidHashAction;

// The hexadecimal form of the tag that opens every encrypted value.
const std::string TagHex = "C544E5292C9C42A5B94FE27912702901";

struct UniEncryptionTest : UniFixture {
    void SetUp() override {
        UniFixture::SetUp();
        Raw("CREATE TABLE secrets (id INTEGER PRIMARY KEY, name TEXT, note TEXT);"
            "INSERT INTO secrets (id, name, note) VALUES (1, 'plain', NULL);");
        Encryptor = MakeEncryptor("archive key");
    }
    void TearDown() override {
        Queries.clear();
        Encryptor.reset();
        UniFixture::TearDown();
    }

    static rtl::TOwnedPtr<TUniEncryptor> MakeEncryptor(const AnsiString& Password,
                                                       TCRInvalidHashAction Action = crypto::ihFail) {
        rtl::TOwnedPtr<TUniEncryptor> e(rtl::Create<TUniEncryptor>(nullptr));
        e->SetInvalidHashAction(Action);
        e->SetPassword(Password);
        return e;
    }

    // A query over the table with note stored encrypted by E.
    VUdeVizov* Secrets(TUniEncryptor* E) {
        VUdeVizov* q = Query("SELECT id, name, note FROM secrets ORDER BY id");
        q->Encryption()->SetEncryptor(E);
        q->Encryption()->SetFields("note");
        return q;
    }

    // Appends a row through the query and posts it.
    void AppendSecret(VUdeVizov* Q, int Id, const AnsiString& Name, const AnsiString& Note) {
        Q->Append();
        Q->FieldByName("id")->SetAsInteger(Id);
        Q->FieldByName("name")->SetAsString(Name);
        Q->FieldByName("note")->SetAsString(Note);
        Q->Post();
    }

    std::string StoredNote(int Id) {
        auto v = Column("SELECT note FROM secrets WHERE id = " + std::to_string(Id));
        return v.empty() ? std::string("<no row>") : v[0];
    }

    // The note of row Id as a fresh query with encryptor E reads it.
    Variant ReadNote(TUniEncryptor* E, int Id) {
        VUdeVizov* q = Secrets(E);
        q->Open();
        EXPECT_TRUE(q->Locate(u"id", Variant(Id), {}));
        Variant v = q->FieldByName("note")->Value();
        q->Close();
        return v;
    }

    rtl::TOwnedPtr<TUniEncryptor> Encryptor;
};

TEST_F(UniEncryptionTest, PostedValuesReachTheFileEncryptedAndReadBackPlain) {
    const AnsiString note = A(u8"Опись фонда №7, лист 12");
    VUdeVizov* q = Secrets(Encryptor.get());
    q->Open();
    AppendSecret(q, 2, "second", note);
    EXPECT_EQ(q->FieldByName("note")->AsString(), note);

    // Another client sees the tagged cipher text, never the plain value; unlisted fields stay plain.
    const std::string stored = StoredNote(2);
    EXPECT_NE(stored, note);
    EXPECT_EQ(stored.find(rtl::AnsiToUTF8(note)), std::string::npos);
    EXPECT_EQ(stored.substr(0, TagHex.size()), TagHex);
    EXPECT_EQ(Column("SELECT name FROM secrets WHERE id = 2"), std::vector<std::string>{"second"});
    EXPECT_EQ(ReadNote(Encryptor.get(), 2).AsAnsiString(), note);

    // An edit is encrypted afresh: a new salt, the new value.
    ASSERT_TRUE(q->Locate(u"id", Variant(2), {}));
    q->Edit();
    q->FieldByName("note")->SetAsString("changed");
    q->Post();
    const std::string edited = StoredNote(2);
    EXPECT_EQ(edited.substr(0, TagHex.size()), TagHex);
    EXPECT_NE(edited, stored);
    EXPECT_EQ(ReadNote(Encryptor.get(), 2).AsAnsiString(), "changed");

    // The same plain text encrypts differently each time, and a cleared value stays null.
    AppendSecret(q, 3, "third", "changed");
    EXPECT_NE(StoredNote(3), edited);
    ASSERT_TRUE(q->Locate(u"id", Variant(3), {}));
    q->Edit();
    q->FieldByName("note")->Clear();
    q->Post();
    EXPECT_EQ(StoredNote(3), "<null>");
    EXPECT_TRUE(ReadNote(Encryptor.get(), 3).IsNull());

    // A query without the encryption options reads what is stored.
    VUdeVizov* bare = Query("SELECT note FROM secrets WHERE id = 2");
    bare->Open();
    EXPECT_EQ(rtl::AnsiToUTF8(bare->Fields()[0]->AsString()), edited);
}

TEST_F(UniEncryptionTest, UserUpdateStatementsEncryptTheirFieldParameters) {
    VUdeVizov* q = Secrets(Encryptor.get());
    q->SetSQLInsert("INSERT INTO secrets (id, name, note) VALUES (:id, :name, :note)");
    q->SetSQLUpdate("UPDATE secrets SET note = :note WHERE id = :Old_id");
    q->Open();
    AppendSecret(q, 4, "fourth", "by insert");
    EXPECT_EQ(StoredNote(4).substr(0, TagHex.size()), TagHex);
    ASSERT_TRUE(q->Locate(u"id", Variant(1), {}));
    q->Edit();
    q->FieldByName("note")->SetAsString("by update");
    q->Post();
    EXPECT_EQ(StoredNote(1).substr(0, TagHex.size()), TagHex);
    EXPECT_EQ(ReadNote(Encryptor.get(), 4).AsAnsiString(), "by insert");
    EXPECT_EQ(ReadNote(Encryptor.get(), 1).AsAnsiString(), "by update");
}

TEST_F(UniEncryptionTest, RecordsReadBackFromTheServerArePlain) {
    VUdeVizov* q = Secrets(Encryptor.get());
    q->Options()->SetFullRefresh(true);
    q->SetRefreshOptions(daccess::TRefreshOptions{daccess::roAfterInsert});
    q->Open();
    AppendSecret(q, 5, "fifth", "kept secret");
    EXPECT_EQ(q->FieldByName("note")->AsString(), "kept secret");
    Raw("UPDATE secrets SET name = 'renamed' WHERE id = 5");
    q->RefreshRecord();
    EXPECT_EQ(q->FieldByName("name")->AsString(), "renamed");
    EXPECT_EQ(q->FieldByName("note")->AsString(), "kept secret");
}

// Under a wrong key nothing decrypts: the open fails whatever the hash action. A damaged digest
// under the right key follows the action.
TEST_F(UniEncryptionTest, WrongKeysFailAndDamagedValuesFollowTheHashAction) {
    {
        VUdeVizov* q = Secrets(Encryptor.get());
        q->Open();
        AppendSecret(q, 2, "second", "the value");
        q->Close();
    }
    for (auto action : {crypto::ihFail, crypto::ihSkipData, crypto::ihIgnoreError}) {
        auto wrong = MakeEncryptor("not the key", action);
        VUdeVizov* q = Secrets(wrong.get());
        EXPECT_EQ(MessageOf([&] { q->Open(); }), crypto::SInvalidEncData) << int(action);
        EXPECT_FALSE(q->Active());
        Queries.clear();
    }

    // Flip the last hexadecimal digit: the stored digest of the value no longer matches.
    std::string stored = StoredNote(2);
    stored.back() = stored.back() == '0' ? '1' : '0';
    Raw("UPDATE secrets SET note = '" + stored + "' WHERE id = 2");

    struct Case {
        TCRInvalidHashAction Action;
        const char* Error;
        bool Null;
    };
    for (const Case& c : {Case{crypto::ihFail, crypto::SInvalidHash, false}, Case{crypto::ihSkipData, "", true},
                          Case{crypto::ihIgnoreError, "", false}}) {
        auto e = MakeEncryptor("archive key", c.Action);
        VUdeVizov* q = Secrets(e.get());
        EXPECT_EQ(MessageOf([&] { q->Open(); }), c.Error) << int(c.Action);
        if (!*c.Error) {
            ASSERT_TRUE(q->Locate(u"id", Variant(2), {}));
            if (c.Null)
                EXPECT_TRUE(q->FieldByName("note")->IsNull());
            else
                EXPECT_EQ(q->FieldByName("note")->AsString(), "the value");
        }
        Queries.clear();
    }
}

TEST_F(UniEncryptionTest, OptionsRules) {
    VUdeVizov* q = Secrets(Encryptor.get());
    q->Open();

    // The field list changes only on a closed dataset.
    EXPECT_EQ(MessageOf([&] { q->Encryption()->SetFields("name"); }),
              "Cannot perform this operation on an open dataset");
    EXPECT_EQ(q->Encryption()->Fields(), "note");
    EXPECT_TRUE(q->Active());

    // A field whose type cannot hold an encrypted value is refused when the fields are described.
    q->Close();
    q->Encryption()->SetFields("id");
    EXPECT_NE(MessageOf([&] { q->Open(); }).find("Data type cannot be encrypted: "), std::string::npos);
    q->Encryption()->SetFields("name, note");
    q->Open();

    // Another encryptor closes the dataset; copying the options copies both.
    auto other = MakeEncryptor("other key");
    q->Encryption()->SetEncryptor(other.get());
    EXPECT_FALSE(q->Active());
    EXPECT_EQ(q->Encryption()->Encryptor(), other.get());
    VUdeVizov* copy = Query("SELECT id, name, note FROM secrets");
    copy->SetEncryption(q->Encryption());
    EXPECT_EQ(copy->Encryption()->Encryptor(), other.get());
    EXPECT_EQ(copy->Encryption()->Fields(), "name, note");

    // A freed encryptor leaves both datasets without one, closed, and a later open reads plain.
    copy->Open();
    other.reset();
    EXPECT_EQ(copy->Encryption()->Encryptor(), nullptr);
    EXPECT_EQ(q->Encryption()->Encryptor(), nullptr);
    EXPECT_FALSE(copy->Active());
    copy->Open();
    ASSERT_TRUE(copy->Locate(u"id", Variant(1), {}));
    EXPECT_EQ(copy->FieldByName("name")->AsString(), "plain");
}

}  // namespace
}  // namespace unitest
