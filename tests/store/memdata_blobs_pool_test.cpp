// Blobs made with their contents in room of a shared block: every way a resident can go, or move
// its bytes out, must leave the others intact and free the block once (ASan checks the frees).
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "data/store/MemData.h"

using namespace store;

namespace {

std::string Bytes(TBlob& b) {
    std::string s(static_cast<size_t>(b.GetSize()), '\0');
    s.resize(static_cast<size_t>(b.Read(0, 0, s.data())));
    return s;
}

TCompressedBlob* Filled(TSharedBlockPool& pool, const std::string& text) {
    TCompressedBlob* b = TCompressedBlob::CreateFilled(false, text.data(), text.size(), pool);
    b->EnableRollback();
    return b;
}

}  // namespace

TEST(FilledBlob, ResidentsOutliveThePoolAndEachOther) {
    // Released in either order, with the pool gone first or last.
    for (bool poolFirst : {true, false}) {
        for (bool forward : {true, false}) {
            SCOPED_TRACE(::testing::Message() << "pool first " << poolFirst << ", forward " << forward);
            auto pool = std::make_unique<TSharedBlockPool>();
            std::vector<TBlob*> blobs;
            for (int i = 0; i < 50; ++i)
                blobs.push_back(Filled(*pool, std::string(static_cast<size_t>(i), 'a' + i % 26)));
            blobs.push_back(Filled(*pool, ""));
            if (poolFirst) pool.reset();
            for (int i = 0; i < 50; ++i)
                EXPECT_EQ(Bytes(*blobs[static_cast<size_t>(i)]), std::string(static_cast<size_t>(i), 'a' + i % 26));
            EXPECT_TRUE(blobs.back()->IsEmpty());
            if (!forward) std::reverse(blobs.begin(), blobs.end());
            for (TBlob* b : blobs) b->Release();
            pool.reset();
        }
    }
}

TEST(FilledBlob, ValuesLargerThanABlockGetTheirOwn) {
    TSharedBlockPool pool;
    const std::string big(TSharedBlockPool::BlockSize + 100, 'x');
    TBlob* small1 = Filled(pool, "before");
    TBlob* large = Filled(pool, big);
    TBlob* small2 = Filled(pool, "after");
    EXPECT_EQ(Bytes(*large), big);
    large->Release();
    EXPECT_EQ(Bytes(*small1), "before");
    EXPECT_EQ(Bytes(*small2), "after");
    small1->Release();
    small2->Release();
}

TEST(FilledBlob, ChangesMoveBytesOutWithoutFreeingTheBlock) {
    struct Case {
        const char* name;
        void (*change)(TBlob&);
        std::string after;
    };
    const Case cases[] = {
        {"grow at end", [](TBlob& b) { b.Write(5, 3, "xyz"); }, "helloxyz"},
        {"overwrite", [](TBlob& b) { b.Write(0, 2, "HE"); }, "HEllo"},
        {"truncate", [](TBlob& b) { b.Truncate(2); }, "he"},
        {"clear", [](TBlob& b) { b.Clear(); }, ""},
        {"set size", [](TBlob& b) { b.SetSize(7); }, std::string("hello\0\0", 7)},
        {"replace", [](TBlob& b) { b.SetAsString("other"); }, "other"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TSharedBlockPool pool;
        TBlob* b = Filled(pool, "hello");
        TBlob* neighbour = Filled(pool, "neighbour");
        c.change(*b);
        EXPECT_EQ(Bytes(*b), c.after);
        // The change kept the fetched value for Cancel, still in the block.
        b->Cancel();
        EXPECT_EQ(Bytes(*b), "hello");
        c.change(*b);
        b->Commit();
        EXPECT_EQ(Bytes(*b), c.after);
        b->Release();
        EXPECT_EQ(Bytes(*neighbour), "neighbour");
        neighbour->Release();
    }
}

TEST(FilledBlob, PiecesInTheBlockAreReallocatedOutOfIt) {
    TSharedBlockPool pool;
    TBlob* b = Filled(pool, "0123456789");
    TCRBlobData* data = b->GetData();
    PPieceHeader piece = data->FirstPiece();
    ASSERT_NE(piece, nullptr);
    piece->Used = 4;
    data->CompressPiece(piece);
    EXPECT_EQ(data->FirstPiece(), piece);
    EXPECT_EQ(piece->Size, 4);
    EXPECT_EQ(Bytes(*b), "0123");
    b->Write(4, 2, "ab");
    b->MergePieces();
    EXPECT_EQ(Bytes(*b), "0123ab");
    b->Release();
}

TEST(FilledBlob, SharedContentsKeepTheBlockAfterTheBlobGoes) {
    TSharedBlockPool pool;
    TBlob* b = Filled(pool, "shared");
    TBlob* clone = b->Clone();
    pool.Reset();
    b->Release();
    EXPECT_EQ(Bytes(*clone), "shared");
    clone->Release();

    // The rollback view holds the fetched contents twice over while it is shown.
    TBlob* edited = Filled(pool, "old");
    edited->SetAsString("new");
    edited->ViewRollback(true);
    EXPECT_EQ(Bytes(*edited), "old");
    edited->ViewRollback(false);
    EXPECT_EQ(Bytes(*edited), "new");
    edited->ViewRollback(true);
    edited->Release();
}
