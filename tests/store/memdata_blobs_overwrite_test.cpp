// Writes that land inside a blob whose pieces have spare room or empty pieces left behind by a
// shrink: they must overwrite the bytes there, never push the rest along.
#include <gtest/gtest.h>

#include <string>

#include "data/store/MemData.h"

using namespace store;

namespace {

std::string Contents(TBlob& b) {
    std::string s(static_cast<size_t>(b.GetSize()), '\0');
    s.resize(static_cast<size_t>(b.Read(0, 0, s.data())));
    return s;
}

}  // namespace

TEST(BlobOverwrite, WriteAfterShrinkOrGrowOverwritesInPlace) {
    enum TOp { Truncate, SetSize };
    struct {
        TOp Op;
        int64_t NewSize;
        int64_t Position;
        std::string Data;
        std::string Expected;
    } const cases[] = {
        {Truncate, 5, 3, "WXYZ", "012WXYZ"},  // inside the cut piece and past its spare room
        {Truncate, 4, 2, "ab", "01ab"},       // the cut falls on a piece boundary
        {Truncate, 4, 3, "abc", "012abc"},    // ends in the emptied piece after the boundary
        {Truncate, 8, 8, "x", "01234567x"},   // at the very end
        {Truncate, 1, 0, "abcdefghij", "abcdefghij"},
        {SetSize, 6, 5, "abc", "01234abc"},
        {SetSize, 2, 0, "abcdef", "abcdef"},
        {SetSize, 13, 12, "ab", std::string("0123456789\0\0ab", 14)},
        {SetSize, 13, 9, "ABCD", std::string("012345678ABCD", 13)},
    };
    for (const auto& c : cases) {
        TBlob* b = CreateSharedObject<TBlob>();
        b->GetData()->SetPieceSize(4);
        b->Write(0, 10, "0123456789");
        if (c.Op == Truncate)
            b->Truncate(c.NewSize);
        else
            b->SetSize(c.NewSize);
        b->Write(c.Position, static_cast<int64_t>(c.Data.size()), c.Data.data());
        EXPECT_EQ(Contents(*b), c.Expected)
            << (c.Op == Truncate ? "Truncate " : "SetSize ") << c.NewSize << ", write at " << c.Position;
        EXPECT_EQ(b->GetSize(), static_cast<int64_t>(c.Expected.size()));
        b->Release();
    }
}
