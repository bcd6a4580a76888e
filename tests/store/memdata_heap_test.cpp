#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "data/store/MemData.h"

using namespace store;

TEST(StringHeap, SmallSizesShareAClassAndReuseFreedBuffers) {
    TStringHeap h;
    EXPECT_EQ(h.AllocBuf(0), nullptr);
    void* a = h.AllocBuf(1);
    void* b = h.AllocBuf(8);
    EXPECT_EQ(TStringHeap::BufSize(a), 8);
    EXPECT_EQ(TStringHeap::BufSize(b), 8);
    h.DisposeBuf(a);
    EXPECT_EQ(h.AllocBuf(5), a);
    EXPECT_FALSE(h.Empty());
}

TEST(StringHeap, ReuseAcrossSizeClasses) {
    TStringHeap h;
    const int sizes[] = {1, 9, 17, 100, 640, 1999, 2000};
    std::vector<void*> first;
    for (int round = 0; round < 3; ++round)
        for (int s : sizes) first.push_back(h.AllocBuf(s));
    for (void* p : first) h.DisposeBuf(p);
    // Every request finds a freed buffer of its own class.
    std::set<void*> freed(first.begin(), first.end());
    for (int round = 0; round < 3; ++round) {
        for (int s : sizes) {
            void* p = h.AllocBuf(s);
            EXPECT_EQ(freed.count(p), 1u) << s;
            EXPECT_EQ(TStringHeap::BufSize(p), (s + 7) / 8 * 8);
            freed.erase(p);
        }
    }
    EXPECT_FALSE(h.SysGetMemHandedOut());
}

TEST(StringHeap, LargeBuffersComeFromTheMemoryManager) {
    TStringHeap h;
    void* small = h.AllocBuf(2000);
    EXPECT_FALSE(h.SysGetMemHandedOut());
    void* large = h.AllocBuf(2001);
    EXPECT_TRUE(h.SysGetMemHandedOut());
    EXPECT_EQ(TStringHeap::BufSize(large), 2001);
    std::memset(large, 'x', 2001);
    h.DisposeBuf(large);
    h.DisposeBuf(small);
    // A large buffer still referenced when the heap is emptied does not leak.
    void* kept = h.AllocBuf(100000);
    std::memset(kept, 1, 100000);
    h.Clear();
    EXPECT_TRUE(h.Empty());
    EXPECT_FALSE(h.SysGetMemHandedOut());
}

TEST(StringHeap, ReferencesKeepABufferAlive) {
    TStringHeap h;
    void* p = h.AllocBuf(16);
    h.AddRefStr(p);
    EXPECT_EQ(TStringHeap::RefCount(p), 2);
    h.DisposeBuf(p);
    EXPECT_EQ(TStringHeap::RefCount(p), 1);
    h.DisposeBuf(p);
    EXPECT_EQ(TStringHeap::RefCount(p), 0);
    EXPECT_EQ(h.AllocBuf(16), p);
    h.DisposeBuf(nullptr);
    h.AddRefStr(nullptr);
}

TEST(StringHeap, CounterDoesNotWrapPastSixteenBits) {
    TStringHeap h;
    void* p = h.AllocBuf(8);
    const int extra = 70000;
    for (int i = 0; i < extra; ++i) h.AddRefStr(p);
    EXPECT_EQ(TStringHeap::RefCount(p), extra + 1);
    for (int i = 0; i < extra; ++i) h.DisposeBuf(p);
    EXPECT_EQ(TStringHeap::RefCount(p), 1);
    void* other = h.AllocBuf(8);
    EXPECT_NE(other, p);  // p is still in use
    h.DisposeBuf(p);
    EXPECT_EQ(h.AllocBuf(8), p);
}

TEST(StringHeap, FreeBufferCannotBeReleasedOrReferenced) {
    TStringHeap h;
    void* p = h.AllocBuf(24);
    h.DisposeBuf(p);
    try {
        h.DisposeBuf(p);
        FAIL();
    } catch (const rtl::EAssertionFailed& e) {
        EXPECT_EQ(e.Text(), "DisposeBuf failed");
    }
    try {
        h.AddRefStr(p);
        FAIL();
    } catch (const rtl::EAssertionFailed& e) {
        EXPECT_EQ(e.Text(), "AddRefStr failed");
    }
}

TEST(StringHeap, AllocStrTrimsAndCopies) {
    struct Case {
        const char* src;
        bool trim;
        int len;
        std::string out;
    };
    const Case cases[] = {
        {"ab  ", true, -1, "ab"}, {"ab  ", false, -1, "ab  "}, {"ab  ", false, 3, "ab "},
        {"abcd", true, 2, "ab"},  {"    ", true, -1, ""},      {"", false, -1, ""},
    };
    TStringHeap h;
    for (const auto& c : cases) {
        char* s = h.AllocStr(c.src, c.trim, c.len);
        ASSERT_NE(s, nullptr);
        EXPECT_EQ(std::string(s), c.out) << c.src << " " << c.trim << " " << c.len;
    }
    EXPECT_EQ(h.AllocStr(nullptr), nullptr);

    char16_t* w = h.AllocWideStr(u"\u0416\u0416  ", true);
    EXPECT_EQ(std::u16string(w), u"\u0416\u0416");
    EXPECT_EQ(std::u16string(h.AllocWideStr(u"xy ", false, -1)), u"xy ");
    EXPECT_EQ(h.AllocWideStr(nullptr), nullptr);
}

TEST(StringHeap, BlockTailBecomesASmallerFreeBuffer) {
    TStringHeap h;
    const int step = TStringHeap::SmallSize + TStringHeap::BufHeaderSize;
    const int fit = TStringHeap::BlockDataSize / step;
    const int tail = TStringHeap::BlockDataSize - fit * step;
    const int tailSize = (tail - TStringHeap::BufHeaderSize) / 8 * 8;
    ASSERT_GT(tailSize, 0);

    std::vector<char*> bufs;
    for (int i = 0; i < fit; ++i) bufs.push_back(static_cast<char*>(h.AllocBuf(TStringHeap::SmallSize)));
    for (int i = 1; i < fit; ++i) EXPECT_EQ(bufs[i] - bufs[i - 1], step);
    // The next one does not fit: a new block starts and the old tail goes to its class.
    char* next = static_cast<char*>(h.AllocBuf(TStringHeap::SmallSize));
    EXPECT_NE(next, bufs.back() + step);
    void* fromTail = h.AllocBuf(tailSize);
    EXPECT_EQ(fromTail, bufs.back() + step);
    EXPECT_EQ(TStringHeap::BufSize(fromTail), tailSize);
}

TEST(StringHeap, ClearForgetsEverything) {
    TStringHeap h;
    h.Clear();  // empty heap: nothing to do
    void* a = h.AllocBuf(40);
    h.DisposeBuf(a);
    h.Clear();
    EXPECT_TRUE(h.Empty());
    // Free lists were emptied with the blocks: new buffers come from a fresh block.
    void* b = h.AllocBuf(40);
    std::memset(b, 0, 40);
    h.DisposeBuf(b);
}
