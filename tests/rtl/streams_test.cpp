#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "framework/rtl/Streams.h"
#include "framework/rtl/Text.h"

using namespace rtl;

namespace {

AnsiString A(const char8_t* utf8) { return UTF8ToAnsi(reinterpret_cast<const char*>(utf8)); }

class StreamFiles : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/streams_test_XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        FDir = pattern;
    }
    void TearDown() override { std::filesystem::remove_all(FDir); }
    // A 1251 path inside the folder.
    AnsiString Path(const AnsiString& name) const { return FDir + "/" + name; }
    std::string FDir;
};

}  // namespace

TEST(MemoryStreamTest, RoundTripSeekAndGaps) {
    TMemoryStream s;
    const int32_t values[] = {1, -2, 0x7FFFFFFF};
    s.WriteBuffer(values, sizeof values);
    EXPECT_EQ(s.Size(), 12);
    EXPECT_EQ(s.Position(), 12);
    EXPECT_EQ(s.Seek(-8, soCurrent), 4);
    int32_t v = 0;
    s.ReadBuffer(&v, 4);
    EXPECT_EQ(v, -2);
    EXPECT_EQ(s.Seek(-4, soEnd), 8);
    s.ReadBuffer(&v, 4);
    EXPECT_EQ(v, 0x7FFFFFFF);
    EXPECT_EQ(s.Read(&v, 4), 0);

    // Writing past the end fills the gap with zeros; growing the size does too.
    s.SetPosition(16);
    s.WriteBuffer("ab", 2);
    EXPECT_EQ(s.Size(), 18);
    const auto* bytes = static_cast<const uint8_t*>(s.Memory());
    EXPECT_EQ(std::vector<uint8_t>(bytes + 12, bytes + 16), std::vector<uint8_t>(4, 0));
    s.SetSize(4);
    EXPECT_EQ(s.Position(), 4);
    s.SetSize(8);
    bytes = static_cast<const uint8_t*>(s.Memory());
    EXPECT_EQ(std::vector<uint8_t>(bytes + 4, bytes + 8), std::vector<uint8_t>(4, 0));
    EXPECT_EQ(bytes[0], 1);
}

TEST(MemoryStreamTest, ShortReadsAndCopies) {
    TMemoryStream src;
    src.WriteBuffer("0123456789", 10);
    src.SetPosition(7);
    char buf[8];
    try {
        src.ReadBuffer(buf, 4);
        FAIL() << "no error";
    } catch (const EReadError& e) {
        EXPECT_EQ(e.Message(), "Stream read error");
    }

    // Count 0 copies everything from the start, whatever the source's position.
    TMemoryStream all;
    EXPECT_EQ(all.CopyFrom(&src, 0), 10);
    EXPECT_EQ(std::memcmp(all.Memory(), "0123456789", 10), 0);

    TStringStream part;
    src.SetPosition(2);
    EXPECT_EQ(part.CopyFrom(&src, 3), 3);
    EXPECT_EQ(part.DataString(), "234");
    src.SetPosition(8);
    EXPECT_THROW(part.CopyFrom(&src, 5), EReadError);
}

TEST(StringStreamTest, WritingInsideKeepsTheRest) {
    TStringStream s(A(u8"Фонд 12, опись 3"));
    s.SetPosition(5);
    s.WriteString("45");
    EXPECT_EQ(s.DataString(), A(u8"Фонд 45, опись 3"));
    EXPECT_EQ(s.ReadString(2), ", ");
    s.Seek(0, soEnd);
    s.WriteString("!");
    EXPECT_EQ(s.DataString(), A(u8"Фонд 45, опись 3!"));
    s.SetPosition(0);
    EXPECT_EQ(s.ReadString(100), s.DataString());
    EXPECT_EQ(s.ReadString(1), "");
}

TEST_F(StreamFiles, FileRoundTripWithCyrillicName) {
    const AnsiString name = Path(A(u8"Опись фонда.dat"));
    {
        TFileStream f(name, fmCreate);
        f.WriteBuffer("hello, world", 12);
        EXPECT_EQ(f.Size(), 12);
    }
    // On disk the name is UTF-8.
    EXPECT_TRUE(std::filesystem::exists(FDir + "/" + reinterpret_cast<const char*>(u8"Опись фонда.dat")));
    {
        TFileStream f(name, fmOpenReadWrite | fmShareDenyNone);
        EXPECT_EQ(f.Size(), 12);
        f.Seek(7, soBeginning);
        f.WriteBuffer("WORLD", 5);
        f.SetSize(10);
    }
    TMemoryStream m;
    m.LoadFromFile(name);
    EXPECT_EQ(AnsiString(static_cast<const char*>(m.Memory()), static_cast<size_t>(m.Size())), "hello, WOR");
    m.SaveToFile(Path("copy.dat"));
    TFileStream copy(Path("copy.dat"), fmOpenRead);
    EXPECT_EQ(copy.Size(), 10);
    // A stream opened for reading refuses writes.
    EXPECT_THROW(copy.WriteBuffer("x", 1), EWriteError);
    // fmCreate empties an existing file.
    TFileStream again(name, fmCreate);
    EXPECT_EQ(again.Size(), 0);
}

TEST_F(StreamFiles, OpenAndCreateErrorsNameTheFile) {
    const AnsiString missing = Path(A(u8"нет.txt"));
    try {
        TFileStream f(missing, fmOpenRead);
        FAIL() << "no error";
    } catch (const EFOpenError& e) {
        EXPECT_EQ(e.Message(), "Cannot open file \"" + missing + "\". " + SysErrorMessage(ENOENT));
    }
    const AnsiString nowhere = Path("no/such/folder.txt");
    try {
        TFileStream f(nowhere, fmCreate);
        FAIL() << "no error";
    } catch (const EFCreateError& e) {
        EXPECT_EQ(e.Message(), "Cannot create file \"" + nowhere + "\". " + SysErrorMessage(ENOENT));
    }
    // A folder is not a file.
    EXPECT_THROW(TFileStream(FDir, fmOpenRead), EFOpenError);
}
