// Record items carved from blocks, with a free list of unused items.
#include <cstdlib>
#include <cstring>

#include "data/store/DAConsts.h"
#include "data/store/MemData.h"

namespace store {

namespace {

[[noreturn]] void Failed(int line) { rtl::AssertFail(SAssertionFailure, MemDataUnit, line); }

}  // namespace

TBlockManager::~TBlockManager() { FreeAllBlocks(); }

TRecordItem* TBlockManager::BlockItem(TItemBlock* Block, int Index) const noexcept {
    return reinterpret_cast<TRecordItem*>(reinterpret_cast<uint8_t*>(Block) + sizeof(TItemBlock) +
                                          static_cast<size_t>(Index) * ItemSize());
}

void TBlockManager::AllocBlock(TItemBlock*& Block, int ItemCount) {
    if (ItemCount < 1 || ItemCount > 0xFFFF) Failed(__LINE__);
    size_t bytes = sizeof(TItemBlock) + static_cast<size_t>(ItemCount) * ItemSize();
    void* mem = std::calloc(1, bytes);
    if (!mem) throw rtl::EOutOfMemory("Out of memory");
    Block = static_cast<TItemBlock*>(mem);
    Block->ItemCount = static_cast<uint16_t>(ItemCount);
    Block->UsedCount = static_cast<uint16_t>(ItemCount);
    Block->Newer = nullptr;
    Block->Older = FirstBlock;
    if (FirstBlock) FirstBlock->Newer = Block;
    FirstBlock = Block;
}

void TBlockManager::FreeBlock(TItemBlock* Block) {
    if (Block->Newer)
        Block->Newer->Older = Block->Older;
    else
        FirstBlock = Block->Older;
    if (Block->Older) Block->Older->Newer = Block->Newer;
    std::free(Block);
}

void TBlockManager::FreeAllBlocks() {
    // Oldest first: the newest blocks lie at the top of the heap, and freeing them first would
    // give memory back to the system once per block instead of once at the end.
    TItemBlock* block = FirstBlock;
    while (block && block->Older) block = block->Older;
    while (block) {
        TItemBlock* newer = block->Newer;
        std::free(block);
        block = newer;
    }
    FirstBlock = nullptr;
    FirstFree = nullptr;
}

void TBlockManager::AddFreeItem(TRecordItem* Item) {
    Item->CheckByte = ItemCheckFree;
    Item->Prev = nullptr;
    Item->Next = FirstFree;
    if (FirstFree) FirstFree->Prev = Item;
    FirstFree = Item;
}

void TBlockManager::UnlinkFree(TRecordItem* Item) noexcept {
    if (Item->Prev)
        Item->Prev->Next = Item->Next;
    else
        FirstFree = Item->Next;
    if (Item->Next) Item->Next->Prev = Item->Prev;
    Item->Prev = nullptr;
    Item->Next = nullptr;
}

void TBlockManager::AddFreeBlock() {
    TItemBlock* block = nullptr;
    AllocBlock(block, DefaultItemCount);
    // Pushed last to first, so items are handed out in address order.
    for (int i = block->ItemCount - 1; i >= 0; --i) {
        TRecordItem* item = BlockItem(block, i);
        item->Block = block;
        AddFreeItem(item);
    }
    block->UsedCount = 0;
}

void TBlockManager::AllocItem(TRecordItem*& Item) {
    if (!FirstFree) AddFreeBlock();
    TRecordItem* item = FirstFree;
    if (item->CheckByte != ItemCheckFree) Failed(__LINE__);
    UnlinkFree(item);
    item->CheckByte = ItemCheckUsed;
    item->Rollback = nullptr;
    item->Status = isUnmodified;
    item->UpdateResult = urNone;
    item->Order = 0;
    item->FilterState = fsNotChecked;
    ++item->Block->UsedCount;
    Item = item;
}

void TBlockManager::FreeItem(TRecordItem* Item) {
    if (Item->CheckByte != ItemCheckUsed) Failed(__LINE__);
    TItemBlock* block = Item->Block;
    if (block->UsedCount != 1) {
        AddFreeItem(Item);
        --block->UsedCount;
        return;
    }
    // The block's last used item: its free items leave the list and the block goes.
    for (int i = 0; i < block->ItemCount; ++i) {
        TRecordItem* other = BlockItem(block, i);
        if (other == Item) continue;
        if (other->CheckByte != ItemCheckFree) Failed(__LINE__);
    }
    Item->CheckByte = ItemCheckFree;
    for (int i = 0; i < block->ItemCount; ++i) {
        TRecordItem* other = BlockItem(block, i);
        if (other != Item) UnlinkFree(other);
    }
    FreeBlock(block);
}

void TBlockManager::PutRecord(TRecordItem* Item, const void* Buffer) const {
    std::memcpy(RecordOf(Item), Buffer, static_cast<size_t>(RecordSize));
}

void TBlockManager::GetRecord(TRecordItem* Item, void* Buffer) const {
    std::memcpy(Buffer, RecordOf(Item), static_cast<size_t>(RecordSize));
}

void TBlockManager::CopyRecord(TRecordItem* Source, TRecordItem* Dest) const {
    std::memmove(RecordOf(Dest), RecordOf(Source), static_cast<size_t>(RecordSize));
}

}  // namespace store
