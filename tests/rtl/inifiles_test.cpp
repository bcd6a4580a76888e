#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "framework/rtl/IniFiles.h"
#include "framework/rtl/Streams.h"
#include "framework/rtl/Text.h"

using namespace rtl;

namespace {

AnsiString A(const char8_t* utf8) { return UTF8ToAnsi(reinterpret_cast<const char*>(utf8)); }

std::string ReadAll(const std::string& utf8Path) {
    std::ifstream in(utf8Path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

void WriteAll(const std::string& utf8Path, const std::string& bytes) {
    std::ofstream out(utf8Path, std::ios::binary);
    out << bytes;
}

// Fails the save after half of the file has been written, as a full disk would.
class TFailingIniFile : public TIniFile {
public:
    using TIniFile::TIniFile;
    bool fail = true;
    AnsiString lastTemp;

protected:
    void WriteTempFile(const AnsiString& TempName, const AnsiString& Content) override {
        lastTemp = TempName;
        if (!fail) return TIniFile::WriteTempFile(TempName, Content);
        TFileStream f(TempName, fmCreate);
        f.WriteBuffer(Content.data(), static_cast<int64_t>(Content.size() / 2));
        throw EWriteError("Stream write error");
    }
};

class IniFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/inifiles_test_XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        FDir = pattern;
        FFile = FDir + "/" + reinterpret_cast<const char*>(u8"настройки.ini");
        FName = UTF8ToAnsi(FFile);
    }
    void TearDown() override { std::filesystem::remove_all(FDir); }
    int FilesInFolder() const {
        int n = 0;
        for ([[maybe_unused]] auto& e : std::filesystem::directory_iterator(FDir)) ++n;
        return n;
    }
    std::string FDir;
    std::string FFile;  // UTF-8 path
    AnsiString FName;   // the same path in 1251
};

}  // namespace

TEST_F(IniFileTest, CyrillicRoundTripThroughTheFile) {
    {
        TMemIniFile ini(FName);
        ini.WriteString(A(u8"Окна"), A(u8"Главное"), A(u8"Журнал поступлений"));
        ini.WriteInteger(A(u8"Окна"), "Left", -120);
        ini.WriteBool("Options", "Confirm", true);
        ini.WriteString("Options", "Empty", "");
        ini.UpdateFile();
    }
    // 1251 bytes, CRLF lines, one blank line after each section.
    const std::string expected =
        A(u8"[Окна]\r\nГлавное=Журнал поступлений\r\nLeft=-120\r\n\r\n") + "[Options]\r\nConfirm=1\r\nEmpty=\r\n\r\n";
    EXPECT_EQ(ReadAll(FFile), expected);

    TMemIniFile ini(FName);
    EXPECT_EQ(ini.ReadString(A(u8"ОКНА"), A(u8"главное"), "?"), A(u8"Журнал поступлений"));
    EXPECT_EQ(ini.ReadInteger(A(u8"окна"), "LEFT", 0), -120);
    EXPECT_TRUE(ini.ReadBool("options", "confirm", false));
    EXPECT_EQ(ini.ReadString("Options", "Empty", "dflt"), "");  // present but empty is not missing
    EXPECT_EQ(ini.ReadString("Options", "Missing", "dflt"), "dflt");
    EXPECT_EQ(ini.ReadString("Nowhere", "Left", "dflt"), "dflt");

    TStringList list;
    ini.ReadSections(&list);
    EXPECT_EQ(list.Count(), 2);
    EXPECT_EQ(list[0], A(u8"Окна"));
    ini.ReadSection(A(u8"Окна"), &list);
    EXPECT_EQ(list.CommaText(), A(u8"Главное,Left"));
    ini.ReadSectionValues("Options", &list);
    EXPECT_EQ(list.Values("Confirm"), "1");
    EXPECT_TRUE(ini.SectionExists("OPTIONS"));
    EXPECT_TRUE(ini.ValueExists("Options", "Empty"));
    EXPECT_FALSE(ini.ValueExists("Options", "Nope"));
}

TEST_F(IniFileTest, ReadingToleratesHandWrittenFiles) {
    WriteAll(FFile, A(u8"; заголовок\n[Main]\n  Key  =  value with spaces  \n; comment\nnoequals\n\n[Nums]\n") +
                        "a=0x1F\nb=$10\nc=12abc\nd=2147483648\ne=-2147483648\nf=\n");
    TMemIniFile ini(FName);
    EXPECT_EQ(ini.ReadString("main", "key", ""), "value with spaces");
    struct Case {
        const char* ident;
        int32_t value;
    } cases[] = {{"a", 31}, {"b", 16}, {"c", 7}, {"d", 7}, {"e", INT32_MIN}, {"f", 7}, {"g", 7}};
    for (const auto& c : cases) EXPECT_EQ(ini.ReadInteger("Nums", c.ident, 7), c.value) << c.ident;
    EXPECT_TRUE(ini.ReadBool("Nums", "a", false));
    EXPECT_FALSE(ini.ReadBool("Nums", "zero", false));

    // Comments and stray lines survive a save.
    ini.WriteString("Main", "Key", "new");
    ini.UpdateFile();
    std::string text = ReadAll(FFile);
    EXPECT_NE(text.find(A(u8"; заголовок\r\n")), std::string::npos);
    EXPECT_NE(text.find("; comment\r\nnoequals\r\n"), std::string::npos);
    EXPECT_NE(text.find("Key=new\r\n"), std::string::npos);
}

TEST_F(IniFileTest, EraseAndDeleteKey) {
    TIniFile ini(FName);
    ini.WriteString("A", "x", "1");
    ini.WriteString("A", "y", "2");
    ini.WriteString("B", "z", "3");
    ini.DeleteKey("a", "X");
    ini.EraseSection("b");
    // TIniFile writes at once: a second object sees the changes without UpdateFile.
    TIniFile other(FName);
    EXPECT_EQ(other.ReadString("A", "x", "gone"), "gone");
    EXPECT_EQ(other.ReadString("A", "y", ""), "2");
    EXPECT_FALSE(other.SectionExists("B"));
    other.WriteString("A", "y", "changed");
    EXPECT_EQ(ini.ReadString("A", "y", ""), "changed");
}

TEST_F(IniFileTest, InterruptedSaveLeavesTheOldFileWhole) {
    {
        TIniFile ini(FName);
        ini.WriteString(A(u8"База"), A(u8"Путь"), A(u8"/data/архив.db"));
    }
    const std::string before = ReadAll(FFile);

    TFailingIniFile ini(FName);
    try {
        ini.WriteString(A(u8"База"), A(u8"Путь"), A(u8"/data/новый.db"));
        FAIL() << "no error";
    } catch (const EIniFileException& e) {
        EXPECT_EQ(e.Message(), "Unable to write to " + FName);
    }
    EXPECT_EQ(ReadAll(FFile), before);
    EXPECT_EQ(FilesInFolder(), 1);  // the half-written temporary file is gone
    EXPECT_FALSE(std::filesystem::exists(AnsiToUTF8(ini.lastTemp)));
    // Memory keeps the stored value too.
    EXPECT_EQ(ini.ReadString(A(u8"База"), A(u8"Путь"), ""), A(u8"/data/архив.db"));

    // TMemIniFile reports the stream's own error.
    ini.fail = true;
    TMemIniFile& asMem = ini;
    EXPECT_THROW(asMem.TMemIniFile::UpdateFile(), EWriteError);
    EXPECT_EQ(ReadAll(FFile), before);

    ini.fail = false;
    ini.WriteString(A(u8"База"), A(u8"Путь"), A(u8"/data/новый.db"));
    EXPECT_NE(ReadAll(FFile).find(A(u8"новый")), std::string::npos);
    EXPECT_EQ(FilesInFolder(), 1);
}

TEST_F(IniFileTest, UnstorableNamesAndValuesAreRefused) {
    TIniFile ini(FName);
    ini.WriteString("S", "k", "kept");
    const std::string before = ReadAll(FFile);
    struct Case {
        const char* section;
        const char* ident;
        const char* value;
    } cases[] = {
        {"S", "k", "two\r\nlines"}, {"S", "k", "x\ninjected=1"},
        {"S", "a=b", "v"},          {"S", "", "v"},
        {"S", "[T]", "v"},          {"S", ";c", "v"},
        {"S]", "k", "v"},           {"S\n", "k", "v"},
    };
    for (const auto& c : cases) {
        try {
            ini.WriteString(c.section, c.ident, c.value);
            ADD_FAILURE() << c.ident << " " << c.value;
        } catch (const EIniFileException& e) {
            EXPECT_EQ(e.Message(), "Unable to write to " + FName);
        }
    }
    EXPECT_EQ(ReadAll(FFile), before);
    EXPECT_EQ(ini.ReadString("S", "k", ""), "kept");
}
