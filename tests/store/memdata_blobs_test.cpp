#include <gtest/gtest.h>
#include <zlib.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "data/store/MemData.h"
#include "framework/rtl/Streams.h"
#include "framework/rtl/Text.h"

using namespace store;

namespace {

// Releases a shared object at the end of a test.
template <class T>
struct Ref {
    T* p;
    explicit Ref(T* obj) : p(obj) {}
    ~Ref() {
        if (p) p->Release();
    }
    T* operator->() const { return p; }
    T* get() const { return p; }
};

std::string Bytes(TBlob& b) {
    std::string s(static_cast<size_t>(b.GetSize()), '\0');
    s.resize(static_cast<size_t>(b.Read(0, 0, s.data())));
    return s;
}

std::string RawBytes(TCRBlobData& d) {
    std::string s;
    for (PPieceHeader p = d.FirstPiece(); p; p = p->Next)
        s.append(reinterpret_cast<const char*>(PieceData(p)), static_cast<size_t>(p->Used));
    return s;
}

std::vector<int> PieceUsed(TCRBlobData& d) {
    std::vector<int> v;
    for (PPieceHeader p = d.FirstPiece(); p; p = p->Next) v.push_back(p->Used);
    return v;
}

void SetRaw(TCRBlobData& d, const std::string& raw) {
    d.TCRBlobData::Clear();
    PPieceHeader p = TCRBlobData::AllocPiece(static_cast<int>(raw.size()));
    std::memcpy(PieceData(p), raw.data(), raw.size());
    p->Used = static_cast<int32_t>(raw.size());
    d.AppendPiece(p);
}

std::string Marker() { return std::string(reinterpret_cast<const char*>(CompressedBlobMarker), 16); }

std::string Le32(uint32_t n) {
    std::string s(4, '\0');
    for (int i = 0; i < 4; ++i) s[i] = static_cast<char>(n >> (8 * i));
    return s;
}

std::string ZStream(const std::string& plain) {
    uLongf len = compressBound(plain.size());
    std::string out(len, '\0');
    compress(reinterpret_cast<Bytef*>(out.data()), &len, reinterpret_cast<const Bytef*>(plain.data()), plain.size());
    out.resize(len);
    return out;
}

template <class F>
std::string MessageOf(F&& f) {
    try {
        f();
    } catch (const rtl::Exception& e) {
        return e.Message();
    }
    return "<no exception>";
}

class TProbe : public TSharedObject {
public:
    const char* ClassName() const noexcept override { return "TProbe"; }
    void Exhaust() { FRefCount = 0; }
};

}  // namespace

TEST(SharedObject, ReferenceCounting) {
    auto* o = CreateSharedObject<TProbe>();
    EXPECT_EQ(o->RefCount(), 1);
    o->AddRef();
    o->Release();
    EXPECT_EQ(o->RefCount(), 1);
    EXPECT_EQ(o->Handle(), static_cast<void*>(o));
    o->Exhaust();
    try {
        o->Release();
        FAIL();
    } catch (const rtl::EAssertionFailed& e) {
        EXPECT_EQ(e.Text(), "TProbe.Free RefCount = 0");
    }
    delete o;
}

TEST(BlobData, PiecesReadWriteTruncate) {
    Ref d(CreateSharedObject<TCRBlobData>());
    d->SetPieceSize(4);
    EXPECT_TRUE(d->IsEmpty());
    EXPECT_EQ(d->Read(0, 0, nullptr), 0);
    d->Write(0, 10, "0123456789");
    EXPECT_EQ(PieceUsed(*d.get()), (std::vector<int>{4, 4, 2}));
    EXPECT_EQ(d->GetSize(), 10);

    struct ReadCase {
        int64_t pos, count;
        std::string out;
    };
    const ReadCase reads[] = {
        {0, 0, "0123456789"}, {3, 3, "345"}, {8, 5, "89"}, {10, 0, ""}, {11, 1, ""}, {4, 4, "4567"},
    };
    for (const auto& r : reads) {
        char buf[16] = {};
        int64_t n = d->Read(r.pos, r.count, buf);
        EXPECT_EQ(std::string(buf, static_cast<size_t>(n)), r.out) << r.pos << "," << r.count;
    }

    // Overwrite across a piece boundary, then append past the end (a position beyond is the end).
    d->Write(3, 3, "abc");
    d->Write(50, 3, "XYZ");
    EXPECT_EQ(RawBytes(*d.get()), "012abc6789XYZ");

    d->Truncate(5);
    EXPECT_EQ(PieceUsed(*d.get()), (std::vector<int>{4, 1, 0, 0}));
    EXPECT_EQ(RawBytes(*d.get()), "012ab");
    // The truncated piece's spare room is filled before new pieces are made.
    d->Write(5, 6, "klmnop");
    EXPECT_EQ(RawBytes(*d.get()), "012abklmnop");
    EXPECT_EQ(d->GetSize(), 11);

    d->SetSize(13);
    EXPECT_EQ(RawBytes(*d.get()), std::string("012abklmnop\0\0", 13));
    d->SetSize(2);
    EXPECT_EQ(RawBytes(*d.get()), "01");
    d->MergePieces();
    EXPECT_EQ(PieceUsed(*d.get()), (std::vector<int>{2}));
    d->Truncate(0);
    EXPECT_TRUE(d->IsEmpty());
}

TEST(Blob, CachedModeCancelAndCommit) {
    Ref b(CreateSharedObject<TBlob>());
    b->SetAsAnsiString("before");
    EXPECT_THROW(b->SaveToRollback(), rtl::Exception);
    EXPECT_EQ(MessageOf([&] { b->SaveToRollback(); }), "Blob must be in cached mode");

    b->EnableRollback();
    b->Write(0, 3, "NEW");
    EXPECT_TRUE(b->HasRollback());
    EXPECT_EQ(b->GetAsAnsiString(), "NEWore");
    b->ViewRollback(true);
    EXPECT_EQ(b->GetAsAnsiString(), "before");
    b->ViewRollback(false);
    EXPECT_EQ(b->GetAsAnsiString(), "NEWore");

    Ref old(b->Clone(true));
    EXPECT_EQ(old->GetAsAnsiString(), "before");
    b->Cancel();
    EXPECT_FALSE(b->HasRollback());
    EXPECT_EQ(b->GetAsAnsiString(), "before");

    b->Truncate(2);
    EXPECT_EQ(b->GetAsAnsiString(), "be");
    b->Commit();
    EXPECT_FALSE(b->HasRollback());
    b->Cancel();  // nothing to go back to
    EXPECT_EQ(b->GetAsAnsiString(), "be");

    // Shrinking through SetSize is a change like any other.
    b->SetSize(1);
    b->Cancel();
    EXPECT_EQ(b->GetAsAnsiString(), "be");

    // A blob sharing the contents keeps seeing them while the cached blob changes.
    Ref shared(CreateSharedObject<TBlob>());
    shared->AssignContents(b.get());
    b->Clear();
    EXPECT_EQ(b->GetSize(), 0);
    EXPECT_EQ(shared->GetAsAnsiString(), "be");
    b->Cancel();
    EXPECT_EQ(b->GetAsAnsiString(), "be");
}

TEST(Blob, CachedModeOverEmptyContents) {
    // A value written into an empty blob (a new row) goes back to empty, alone or shared.
    for (const bool shared : {false, true}) {
        SCOPED_TRACE(shared);
        Ref b(CreateSharedObject<TCompressedBlob>());
        Ref other(CreateSharedObject<TBlob>());
        if (shared) other->AssignContents(b.get());
        b->EnableRollback();
        b->SetAsAnsiString("value");
        EXPECT_TRUE(b->HasRollback());
        EXPECT_EQ(other->GetSize(), 0);
        b->ViewRollback(true);
        EXPECT_EQ(b->GetSize(), 0);
        b->ViewRollback(false);
        EXPECT_EQ(b->GetAsAnsiString(), "value");
        Ref old(b->Clone(true));
        EXPECT_EQ(old->GetSize(), 0);
        // The copy still knows the compressed format.
        EXPECT_NE(dynamic_cast<TCompressedBlobData*>(old->GetData()), nullptr);
        b->Cancel();
        EXPECT_FALSE(b->HasRollback());
        EXPECT_TRUE(b->IsEmpty());
        EXPECT_EQ(other->GetSize(), 0);

        b->SetAsAnsiString("kept");
        b->Commit();
        EXPECT_FALSE(b->HasRollback());
        b->Cancel();
        EXPECT_EQ(b->GetAsAnsiString(), "kept");
        // The next change keeps the committed value for Cancel as usual.
        b->Write(0, 1, "K");
        b->Cancel();
        EXPECT_EQ(b->GetAsAnsiString(), "kept");
    }
}

TEST(Blob, UnicodeForms) {
    Ref b(CreateSharedObject<TBlob>());
    b->SetIsUnicode(true);  // empty: allowed
    const std::string text = rtl::UTF8ToAnsi("Дело №5");
    b->SetAsAnsiString(text);
    EXPECT_EQ(b->GetSize(), 2 * static_cast<int64_t>(text.size()));
    EXPECT_EQ(b->GetSizeAsAnsi(), static_cast<int64_t>(text.size()));
    EXPECT_EQ(b->GetAsWideString(), u"Дело №5");
    EXPECT_EQ(b->GetAsAnsiString(), text);
    EXPECT_THROW(b->GetSizeAsUnicode(), rtl::EAssertionFailed);
    EXPECT_EQ(MessageOf([&] { b->SetIsUnicode(false); }), "Cannot change IsUnicode if Size > 0");

    Ref a(CreateSharedObject<TBlob>());
    a->SetAsWideString(u"Опись");
    EXPECT_EQ(a->GetSize(), 5);
    EXPECT_EQ(a->GetSizeAsUnicode(), 10);
    EXPECT_EQ(a->GetAsWideString(), u"Опись");
    a->SetAsBytes(TBytes{1});
    EXPECT_EQ(MessageOf([&] { a->SetIsUnicode(true); }), "Cannot change IsUnicode if Size > 0");
    EXPECT_EQ(a->GetAsBytes(), TBytes{1});
}

TEST(Blob, LineBreaks) {
    struct Case {
        std::string in;
        bool expand;
        std::string out;
    };
    const Case cases[] = {
        {"a\nb\r\nc", true, "a\r\nb\r\nc"},
        {"\n\n", true, "\r\n\r\n"},
        {"a\r\nb\r\nc", false, "a\nb\nc"},
        {"a\rb\n\r", false, "a\rb\n\r"},
        {"", true, ""},
    };
    for (int pieceSize : {2, 3, 1000}) {
        for (const auto& c : cases) {
            SCOPED_TRACE(c.in + " piece " + std::to_string(pieceSize));
            for (bool unicode : {false, true}) {
                Ref b(CreateSharedObject<TBlob>(unicode));
                b->GetData()->SetPieceSize(pieceSize);
                b->SetAsAnsiString(c.in);
                if (c.expand)
                    b->ExpandLineBreaks();
                else
                    b->CollapseLineBreaks();
                EXPECT_EQ(b->GetAsAnsiString(), c.out) << unicode;
            }
        }
    }
}

TEST(CompressedBlob, WritesStayPlainAndCompressionIsAskedFor) {
    struct Case {
        size_t size;
        bool compresses;
    };
    // Equal bytes compress well from 51 bytes on; 50 and less never compress.
    for (const Case c : {Case{40, false}, Case{50, false}, Case{51, true}, Case{70000, true}}) {
        SCOPED_TRACE(c.size);
        const std::string plain(c.size, 'a');
        Ref b(CreateSharedObject<TCompressedBlob>());
        b->Write(0, static_cast<int64_t>(plain.size()), plain.data());
        EXPECT_FALSE(b->IsCompressed());
        EXPECT_EQ(RawBytes(*b->GetData()), plain);
        EXPECT_EQ(b->SetCompressed(true), c.compresses);
        EXPECT_EQ(b->IsCompressed(), c.compresses);
        EXPECT_EQ(b->GetSize(), static_cast<int64_t>(c.size));
        EXPECT_EQ(Bytes(*b.get()), plain);
        EXPECT_EQ(b->GetAsAnsiString(), plain);
    }

    // A value set through the text and byte forms of an edit is stored plainly too, even over a
    // compressed one.
    const std::string text(3000, 't');
    Ref edited(CreateSharedObject<TCompressedBlob>());
    edited->SetAsAnsiString(std::string(5000, 'o'));
    ASSERT_TRUE(edited->SetCompressed(true));
    edited->SetAsAnsiString(text);
    EXPECT_FALSE(edited->IsCompressed());
    EXPECT_EQ(RawBytes(*edited->GetData()), text);
    edited->SetAsBytes(TBytes(text.begin(), text.end()));
    EXPECT_FALSE(edited->IsCompressed());

    const std::string plain(10000, 'q');
    Ref b(CreateSharedObject<TCompressedBlob>());
    b->Write(0, static_cast<int64_t>(plain.size()), plain.data());
    ASSERT_TRUE(b->SetCompressed(true));
    EXPECT_EQ(b->GetSize(), 10000);
    std::string raw = RawBytes(*b->GetData());
    EXPECT_LT(raw.size(), 200u);
    EXPECT_EQ(raw.substr(0, 16), Marker());
    EXPECT_EQ(raw.substr(16, 4), std::string("\x10\x27\x00\x00", 4));
    // What follows is a plain zlib stream of the value.
    std::string back(10000, '\0');
    uLongf len = back.size();
    ASSERT_EQ(uncompress(reinterpret_cast<Bytef*>(back.data()), &len, reinterpret_cast<const Bytef*>(raw.data() + 20),
                         raw.size() - 20),
              Z_OK);
    EXPECT_EQ(back, plain);

    EXPECT_EQ(Bytes(*b.get()), plain);
    EXPECT_TRUE(b->IsCompressed());  // a whole read leaves the contents compressed
}

TEST(CompressedBlob, PartialAccessExpandsTheContents) {
    std::string plain;
    for (int i = 0; i < 3000; ++i) plain += static_cast<char>('a' + i % 7);

    Ref b(CreateSharedObject<TCompressedBlob>());
    b->Write(0, static_cast<int64_t>(plain.size()), plain.data());
    ASSERT_TRUE(b->SetCompressed(true));
    b->Write(5, 10, "0123456789");
    EXPECT_FALSE(b->IsCompressed());
    plain.replace(5, 10, "0123456789");
    EXPECT_EQ(Bytes(*b.get()), plain);

    EXPECT_TRUE(b->SetCompressed(true));
    EXPECT_FALSE(b->SetCompressed(true));
    char part[4] = {};
    EXPECT_EQ(b->Read(6, 4, part), 4);
    EXPECT_EQ(std::string(part, 4), "1234");
    EXPECT_FALSE(b->IsCompressed());

    EXPECT_TRUE(b->SetCompressed(true));
    b->Truncate(3);
    EXPECT_EQ(b->GetAsAnsiString(), "abc");

    // Overwriting a compressed value whole keeps it compressed; a cleared value starts plain.
    b->SetAsAnsiString(std::string(500, 'y'));
    ASSERT_TRUE(b->SetCompressed(true));
    const std::string other(500, 'z');
    b->Write(0, 500, other.data());
    EXPECT_TRUE(b->IsCompressed());
    EXPECT_EQ(b->GetAsAnsiString(), other);
    b->Clear();
    b->Write(0, 500, other.data());
    EXPECT_FALSE(b->IsCompressed());
    EXPECT_EQ(b->GetAsAnsiString(), other);
}

TEST(CompressedBlob, IncompressibleValuesStayPlain) {
    std::mt19937 rng(7);
    std::string noise(70000, '\0');
    for (auto& c : noise) c = static_cast<char>(rng());
    Ref b(CreateSharedObject<TCompressedBlob>());
    b->Write(0, static_cast<int64_t>(noise.size()), noise.data());
    EXPECT_FALSE(b->IsCompressed());
    EXPECT_FALSE(b->SetCompressed(true));
    EXPECT_EQ(Bytes(*b.get()), noise);
}

TEST(CompressedBlob, CachedModeKeepsTheCompressedRollback) {
    const std::string plain(5000, 'x');
    Ref b(CreateSharedObject<TCompressedBlob>());
    b->Write(0, 5000, plain.data());
    ASSERT_TRUE(b->SetCompressed(true));
    b->EnableRollback();
    b->Write(0, 3, "abc");
    EXPECT_EQ(b->GetSize(), 5000);
    b->Cancel();
    EXPECT_TRUE(b->IsCompressed());
    EXPECT_EQ(b->GetAsAnsiString(), plain);
}

TEST(CompressedBlob, DamagedContentsAreRefusedAndKept) {
    const std::string plain(4000, 'k');
    const std::string stream = ZStream(plain);
    struct Case {
        const char* what;
        std::string raw;
        const char* message;
    };
    const Case cases[] = {
        {"header only", Marker() + Le32(4000), "Invalid compressed blob size"},
        {"size zero", Marker() + Le32(0) + stream, "Invalid compressed blob size"},
        {"size beyond any stream", Marker() + Le32(0xFFFFFFFFu) + stream, "Invalid compressed blob size"},
        {"garbage stream", Marker() + Le32(4000) + std::string(40, '\x5A'), "Invalid compressed blob data"},
        {"truncated stream", Marker() + Le32(4000) + stream.substr(0, stream.size() - 5),
         "Invalid compressed blob data"},
        {"size too small", Marker() + Le32(3999) + stream, "Invalid compressed blob data"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Ref b(CreateSharedObject<TCompressedBlob>());
        SetRaw(*b->GetData(), c.raw);
        ASSERT_TRUE(b->IsCompressed());
        std::vector<char> buf(8000);
        EXPECT_EQ(MessageOf([&] { b->Read(0, 0, buf.data()); }), c.message);
        EXPECT_EQ(MessageOf([&] { b->SetCompressed(false); }), c.message);
        EXPECT_EQ(MessageOf([&] { b->Write(3, 1, "x"); }), c.message);
        EXPECT_EQ(RawBytes(*b->GetData()), c.raw);
    }

    // A size larger than the stream yields fewer bytes: a whole read reports them, expanding refuses.
    Ref b(CreateSharedObject<TCompressedBlob>());
    const std::string raw = Marker() + Le32(4100) + stream;
    SetRaw(*b->GetData(), raw);
    std::vector<char> buf(4100);
    EXPECT_EQ(b->Read(0, 0, buf.data()), 4000);
    EXPECT_EQ(MessageOf([&] { b->SetCompressed(false); }), "Invalid uncompressed blob size");
    EXPECT_TRUE(b->IsCompressed());
    EXPECT_EQ(RawBytes(*b->GetData()), raw);
}

TEST(Blob, StreamsInPieceSizedChunks) {
    std::string plain;
    for (int i = 0; i < 1000; ++i) plain += static_cast<char>(i * 31);
    rtl::TMemoryStream in;
    in.WriteBuffer(plain.data(), static_cast<int64_t>(plain.size()));

    Ref b(CreateSharedObject<TBlob>());
    b->GetData()->SetPieceSize(300);
    b->SetAsAnsiString("old");
    b->LoadFromStream(in);
    EXPECT_EQ(PieceUsed(*b->GetData()), (std::vector<int>{300, 300, 300, 100}));
    EXPECT_EQ(Bytes(*b.get()), plain);

    rtl::TMemoryStream out;
    out.WriteBuffer("previous contents that must go", 30);
    b->SaveToStream(out);
    ASSERT_EQ(out.Size(), 1000);
    EXPECT_EQ(std::memcmp(out.Memory(), plain.data(), 1000), 0);
}

TEST(VariantObject, HoldsAVariant) {
    Ref v(CreateSharedObject<TVariantObject>());
    EXPECT_TRUE(v->Value.IsEmpty());
    v->Value = rtl::Variant(int32_t(42));
    EXPECT_EQ(v->Value.AsInteger(), 42);
    EXPECT_STREQ(v->ClassName(), "TVariantObject");
}

// A blob made with new never got its contents: every use must refuse, loudly in debug builds.
TEST(Blob, MadeWithoutSecondPhaseRefusesUse) {
    TBlob* blob = new TBlob();
#ifndef NDEBUG
    EXPECT_THROW(blob->GetSize(), rtl::EAssertionFailed);
    EXPECT_THROW(blob->Write(0, 1, "x"), rtl::EAssertionFailed);
#else
    EXPECT_THROW(blob->GetSize(), rtl::Exception);
#endif
    EXPECT_FALSE(blob->HasRollback());
    blob->Release();
}
