#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <set>
#include <vector>

#include "data/store/MemData.h"

using namespace store;

namespace {

// Header fields are packed: read them by value, never bind a reference to them.
template <class T>
T V(T v) {
    return v;
}

int BlockCount(const TBlockManager& m) {
    int n = 0;
    for (TItemBlock* b = m.FirstBlock; b; b = b->Older) ++n;
    return n;
}

// Walks the free list both ways and checks it against the blocks' counts.
void CheckFreeList(const TBlockManager& m) {
    int freeCount = 0;
    TRecordItem* prev = nullptr;
    for (TRecordItem* i = m.FirstFree; i; i = i->Next) {
        ASSERT_EQ(V(i->CheckByte), ItemCheckFree);
        ASSERT_EQ(V(i->Prev), prev);
        prev = i;
        ++freeCount;
    }
    int expected = 0;
    for (TItemBlock* b = m.FirstBlock; b; b = b->Older) expected += b->ItemCount - b->UsedCount;
    EXPECT_EQ(freeCount, expected);
}

}  // namespace

TEST(BlockManager, ElevenItemsTakeTwoBlocksAndTheLastFreesTheSecond) {
    TBlockManager m;
    m.RecordSize = 7;
    std::vector<TRecordItem*> items(11);
    for (auto& i : items) m.AllocItem(i);
    EXPECT_EQ(BlockCount(m), 2);
    EXPECT_EQ(V(m.FirstBlock->UsedCount), 1);
    for (auto* i : items) {
        EXPECT_EQ(V(i->CheckByte), ItemCheckUsed);
        EXPECT_EQ(V(i->UpdateResult), urNone);
        EXPECT_EQ(V(i->Status), isUnmodified);
        // Header and odd record size keep every record on an even address.
        EXPECT_EQ(reinterpret_cast<uintptr_t>(TBlockManager::RecordOf(i)) % 2, 0u);
    }
    TItemBlock* first = items[0]->Block;
    EXPECT_NE(V(items[10]->Block), first);
    m.FreeItem(items[10]);
    EXPECT_EQ(BlockCount(m), 1);
    EXPECT_EQ(m.FirstBlock, first);
    EXPECT_EQ(m.FirstFree, nullptr);
    for (int i = 0; i < 10; ++i) m.FreeItem(items[i]);
    EXPECT_EQ(BlockCount(m), 0);
}

TEST(BlockManager, FreedItemIsHandedOutNext) {
    TBlockManager m;
    m.RecordSize = 3;
    TRecordItem *a, *b, *c;
    m.AllocItem(a);
    m.AllocItem(b);
    m.FreeItem(a);
    EXPECT_EQ(m.FirstFree, a);
    EXPECT_EQ(V(a->CheckByte), ItemCheckFree);
    m.AllocItem(c);
    EXPECT_EQ(c, a);
    CheckFreeList(m);
}

TEST(BlockManager, ProviderFilledBlockLendsItsUnusedItemsFirst) {
    TBlockManager m;
    m.RecordSize = 5;
    TItemBlock* block;
    m.AllocBlock(block, 100);
    for (int i = 0; i < 100; ++i) {
        TRecordItem* item = m.BlockItem(block, i);
        item->Block = block;
        if (i < 60) {
            item->CheckByte = ItemCheckUsed;
            item->UpdateResult = urNone;
        } else {
            m.AddFreeItem(item);
        }
    }
    block->UsedCount = 60;
    CheckFreeList(m);

    std::set<TRecordItem*> got;
    for (int i = 0; i < 40; ++i) {
        TRecordItem* item;
        m.AllocItem(item);
        EXPECT_EQ(V(item->Block), block);
        got.insert(item);
    }
    EXPECT_EQ(got.size(), 40u);
    EXPECT_EQ(BlockCount(m), 1);
    TRecordItem* extra;
    m.AllocItem(extra);
    EXPECT_EQ(BlockCount(m), 2);
    EXPECT_NE(V(extra->Block), block);
}

TEST(BlockManager, ManyItemsFreedInAnyOrderGiveEveryBlockBack) {
    TBlockManager m;
    m.RecordSize = 9;
    std::mt19937 rng(12345);
    std::vector<TRecordItem*> live;
    for (int round = 0; round < 5; ++round) {
        for (int i = 0; i < 400; ++i) {
            TRecordItem* item;
            m.AllocItem(item);
            std::memset(TBlockManager::RecordOf(item), round, 9);
            live.push_back(item);
        }
        std::shuffle(live.begin(), live.end(), rng);
        // Free about half; blocks emptied this way leave the list while their neighbours stay.
        for (int i = 0; i < 300; ++i) {
            m.FreeItem(live.back());
            live.pop_back();
        }
        CheckFreeList(m);
    }
    for (TRecordItem* item : live) EXPECT_EQ(V(item->CheckByte), ItemCheckUsed);
    for (TRecordItem* item : live) m.FreeItem(item);
    EXPECT_EQ(BlockCount(m), 0);
    EXPECT_EQ(m.FirstFree, nullptr);
}

TEST(BlockManager, DoubleFreeIsRefusedAndChangesNothing) {
    TBlockManager m;
    m.RecordSize = 1;
    TRecordItem *a, *b;
    m.AllocItem(a);
    m.AllocItem(b);
    m.FreeItem(a);
    EXPECT_THROW(m.FreeItem(a), rtl::EAssertionFailed);
    CheckFreeList(m);
    EXPECT_EQ(BlockCount(m), 1);
}

TEST(BlockManager, RecordCopies) {
    TBlockManager m;
    m.RecordSize = 5;
    TRecordItem *a, *b;
    m.AllocItem(a);
    m.AllocItem(b);
    const char src[5] = {1, 2, 3, 4, 5};
    m.PutRecord(a, src);
    m.CopyRecord(a, b);
    char dst[5] = {};
    m.GetRecord(b, dst);
    EXPECT_EQ(std::memcmp(src, dst, 5), 0);
}

TEST(BlockManager, FreeAllBlocks) {
    TBlockManager m;
    m.FreeAllBlocks();  // nothing to do
    EXPECT_EQ(m.FirstBlock, nullptr);
    m.RecordSize = 1;
    TRecordItem* a;
    for (int i = 0; i < 25; ++i) m.AllocItem(a);
    m.FreeAllBlocks();
    EXPECT_EQ(BlockCount(m), 0);
    EXPECT_EQ(m.FirstFree, nullptr);
}
