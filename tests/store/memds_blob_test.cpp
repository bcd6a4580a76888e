#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "data/store/CRXml.h"
#include "framework/rtl/DateUtils.h"
#include "framework/rtl/SysUtils.h"
#include "tests/store/memds_extras_fixture.h"

using namespace memdsx;
using db::bmRead;
using db::bmReadWrite;
using db::bmWrite;

namespace {

constexpr int PtrSize = static_cast<int>(sizeof(void*));

std::vector<TColumn> NoteColumns() {
    return {{u"id", mdtInt32, 4},
            {u"note", mdtMemo, PtrSize},
            {u"wnote", mdtWideMemo, PtrSize},
            {u"photo", mdtBlob, PtrSize},
            {u"locked", mdtMemo, PtrSize, 0, /*Required*/ false, /*ReadOnly*/ true}};
}

rtl::AnsiString A(const char8_t* Text) { return rtl::UTF8ToAnsi(std::u8string_view(Text)); }

struct Notes : ::testing::Test {
    TDataSetHolder S{NoteColumns(),
                     {{Variant(1), Ru(u8"Опись фонда №5"), Variant(rtl::UTF8ToWide(u8"Широкий текст")),
                       Variant::FromBytes(rtl::TBytes{0x00, 0xAB, 0x10}), Ru(u8"Закрыто")},
                      {Variant(2), Variant::Null(), Variant::Null(), Variant::Null(), Variant::Null()}}};
    std::vector<std::string> Events;

    void SetUp() override { S->Open(); }
    rtl::TOwnedPtr<rtl::TStream> Stream(const char* Field, db::TBlobStreamMode Mode) {
        return rtl::TOwnedPtr<rtl::TStream>(S->CreateBlobStream(S.F(Field), Mode));
    }
    static std::string ReadAll(rtl::TStream& s) {
        std::string out(static_cast<size_t>(s.Size()), '\0');
        s.SetPosition(0);
        if (!out.empty()) s.ReadBuffer(out.data(), static_cast<int64_t>(out.size()));
        return out;
    }
};

// Records the field changes the dataset reports to its controls.
class TFieldChangeLink : public db::TDataLink {
    RTL_CLASS(TFieldChangeLink, db::TDataLink)
public:
    std::vector<std::string> Changed;

protected:
    void RecordChanged(TField* Field) override {
        if (Field) Changed.push_back(rtl::WideToAnsi(Field->FieldName()));
    }
};

}  // namespace

TEST_F(Notes, ReadsAndWritesCyrillicTextThroughTheStream) {
    {
        auto s = Stream("note", bmRead);
        EXPECT_EQ(ReadAll(*s), A(u8"Опись фонда №5"));
        EXPECT_EQ(s->Size(), 14);
    }
    rtl::TOwnedPtr<db::TDataSource> src{rtl::Create<db::TDataSource>(nullptr)};
    src->SetDataSet(S.DS.get());
    rtl::TOwnedPtr<TFieldChangeLink> link{rtl::Create<TFieldChangeLink>()};
    link->SetDataSource(src.get());

    S->Edit();
    {
        auto s = Stream("note", bmReadWrite);
        s->Seek(0, rtl::soEnd);
        const rtl::AnsiString tail = A(u8", дело 12");
        s->WriteBuffer(tail.data(), static_cast<int64_t>(tail.size()));
        EXPECT_EQ(s->Position(), 14 + static_cast<int64_t>(tail.size()));
    }
    EXPECT_TRUE(S.F("note")->Modified());
    EXPECT_EQ(link->Changed, (std::vector<std::string>{"note"}));
    S->Post();
    EXPECT_EQ(S.F("note")->AsString(), A(u8"Опись фонда №5, дело 12"));
    S->Next();
    S->Prior();
    EXPECT_EQ(S.F("note")->AsString(), A(u8"Опись фонда №5, дело 12"));
}

TEST_F(Notes, WriteModeEmptiesTheBlobAtOnce) {
    S->Edit();
    { auto s = Stream("note", bmWrite); }  // nothing written
    EXPECT_EQ(S.F("note")->AsString(), "");
    S->Post();
    EXPECT_EQ(S.F("note")->AsString(), "");

    S->Edit();
    S.F("note")->SetAsString(A(u8"Новая опись"));
    S->Post();
    EXPECT_EQ(S.F("note")->AsString(), A(u8"Новая опись"));
}

TEST_F(Notes, SeekTruncateAndSize) {
    S->Edit();
    auto s = Stream("note", bmReadWrite);
    char buf[8];
    EXPECT_EQ(s->Seek(100, rtl::soBeginning), 100);
    EXPECT_EQ(s->Read(buf, sizeof buf), 0);
    EXPECT_EQ(s->Seek(-2, rtl::soEnd), 12);
    EXPECT_EQ(s->Read(buf, sizeof buf), 2);
    EXPECT_EQ(std::string(buf, 2), A(u8"№5"));
    s->Seek(5, rtl::soBeginning);
    static_cast<TBlobStream&>(*s).Truncate();
    EXPECT_EQ(s->Size(), 5);
    EXPECT_EQ(ReadAll(*s), A(u8"Опись"));
    s->SetSize(3);
    EXPECT_EQ(ReadAll(*s), A(u8"Опи"));
    s.reset();
    S->Cancel();
    EXPECT_EQ(S.F("note")->AsString(), A(u8"Опись фонда №5"));
}

TEST_F(Notes, WideMemoIsAccessedAsUtf16) {
    auto s = Stream("wnote", bmRead);
    const WideString expected = rtl::UTF8ToWide(u8"Широкий текст");
    EXPECT_EQ(s->Size(), static_cast<int64_t>(expected.size() * 2));
    std::string bytes = ReadAll(*s);
    EXPECT_EQ(WideString(reinterpret_cast<const char16_t*>(bytes.data()), bytes.size() / 2), expected);
    s.reset();
    S->Edit();
    S.F("wnote")->SetAsWideString(rtl::UTF8ToWide(u8"Ёлка"));
    S->Post();
    EXPECT_EQ(S.F("wnote")->AsWideString(), rtl::UTF8ToWide(u8"Ёлка"));
    EXPECT_EQ(S.F("wnote")->AsString(), A(u8"Ёлка"));
}

TEST_F(Notes, MemoValuesKeepTheirTextTypeAndNull) {
    Variant note = S.F("note")->Value();
    Variant wnote = S.F("wnote")->Value();
    EXPECT_EQ(note.VType(), rtl::varString);
    EXPECT_EQ(note.AsAnsiString(), A(u8"Опись фонда №5"));
    EXPECT_EQ(wnote.VType(), rtl::varOleStr);
    EXPECT_EQ(WideString(wnote.WideRef()), rtl::UTF8ToWide(u8"Широкий текст"));
    S->Last();
    EXPECT_TRUE(S.F("note")->Value().IsNull());
    EXPECT_TRUE(S.F("wnote")->Value().IsNull());
}

TEST_F(Notes, WritableStreamNeedsEditingAndAWritableField) {
    EXPECT_EQ(ErrorOf([&] { Stream("note", bmWrite); }), "Dataset not in edit or insert mode");
    EXPECT_EQ(ErrorOf([&] { Stream("note", bmReadWrite); }), "Dataset not in edit or insert mode");
    EXPECT_EQ(S.F("note")->AsString(), A(u8"Опись фонда №5"));
    S->Edit();
    EXPECT_EQ(ErrorOf([&] { Stream("locked", bmWrite); }), "Field 'locked' cannot be modified");
    EXPECT_EQ(S.F("locked")->AsString(), A(u8"Закрыто"));
    EXPECT_EQ(ErrorOf([&] { S->CreateBlobStream(S.F("id"), bmRead); }), "Invalid class typecast");
}

TEST_F(Notes, ReadStreamNeverChangesTheStoredBlob) {
    for (bool editing : {false, true}) {
        if (editing) S->Edit();
        auto s = Stream("note", bmRead);
        const char text[] = "xyz";
        EXPECT_EQ(s->Write(text, 3), 0);
        EXPECT_THROW(s->WriteBuffer(text, 3), rtl::EWriteError);
        s->SetSize(1);
        static_cast<TBlobStream&>(*s).Truncate();
        EXPECT_EQ(ReadAll(*s), A(u8"Опись фонда №5"));
    }
    S->Cancel();
    S->Next();
    S->First();
    EXPECT_EQ(S.F("note")->AsString(), A(u8"Опись фонда №5"));
}

TEST_F(Notes, NullBlobAndEmptyDataset) {
    S->Last();
    EXPECT_TRUE(S.F("note")->IsNull());
    EXPECT_EQ(Stream("note", bmRead)->Size(), 0);

    TDataSetHolder empty{NoteColumns(), {}};
    empty->Open();
    auto s = rtl::TOwnedPtr<rtl::TStream>(empty->CreateBlobStream(empty.F("note"), bmWrite));
    char buf[4] = {'a', 'b', 'c', 'd'};
    EXPECT_FALSE(static_cast<TBlobStream&>(*s).Opened());
    EXPECT_EQ(s->Write(buf, 4), 0);
    EXPECT_EQ(s->Read(buf, 4), 0);
    EXPECT_EQ(s->Size(), 0);
}

// ---------------------------------------------------------------------------------------------
// Rowset attributes

namespace {

WideString Schema(TMemDataSet* DS, TField* Field, TMemDataType Type, int Size, int Length, int Scale = 0,
                  bool Fixed = false) {
    TFieldDesc desc;
    desc.DataType = Type;
    desc.Size = Size;
    desc.Length = static_cast<uint16_t>(Length);
    desc.Scale = static_cast<uint16_t>(Scale);
    desc.Fixed = Fixed;
    XmlWriter w;
    w.WriteStartElement(u"s:datatype");
    DS->DataSetService()->WriteFieldSchema(Field, &desc, w);
    return w.Text();
}

}  // namespace

TEST_F(Notes, FieldSchemaAttributesByDataType) {
    S->CheckDataSetService();
    TField* plain = S.F("id");
    TField* memo = S.F("note");
    const struct {
        TField* Field;
        TMemDataType Type;
        int Size, Length, Scale;
        bool Fixed;
        const char16_t* Expected;
    } cases[] = {
        {plain, mdtString, 41, 40, 0, false, u"dt:type=\"string\" dt:maxLength=\"40\" rs:dbtype=\"str\""},
        {plain, mdtString, 11, 10, 0, true,
         u"dt:type=\"string\" dt:maxLength=\"10\" rs:dbtype=\"str\" rs:fixedlength=\"true\""},
        {memo, mdtMemo, 8, 0, 0, false,
         u"dt:type=\"string\" dt:maxLength=\"2147483647\" rs:dbtype=\"str\" rs:long=\"true\""},
        {plain, mdtWideString, 42, 20, 0, false, u"dt:type=\"string\" dt:maxLength=\"20\""},
        {plain, mdtFloat, 8, 7, 0, false, u"dt:type=\"r4\" dt:maxLength=\"4\" rs:precision=\"7\""},
        {plain, mdtFloat, 8, 15, 0, false, u"dt:type=\"float\" dt:maxLength=\"8\" rs:precision=\"15\""},
        {plain, mdtInt32, 4, 0, 0, true,
         u"dt:type=\"int\" dt:maxLength=\"4\" rs:precision=\"10\" rs:fixedlength=\"true\""},
        {plain, mdtVariant, 8, 0, 0, true, u"dt:type=\"string\""},
        {plain, mdtDateTime, 8, 0, 0, false,
         u"dt:type=\"datetime\" rs:dbtype=\"variantdate\" dt:maxLength=\"8\" rs:scale=\"0\" rs:precision=\"0\""},
        {plain, mdtTime, 8, 0, 0, false, u"dt:type=\"time\" dt:maxLength=\"8\" rs:scale=\"0\" rs:precision=\"0\""},
        {plain, mdtBoolean, 2, 0, 0, false, u"dt:type=\"boolean\" dt:maxLength=\"2\""},
        {plain, mdtCurrency, 8, 19, 0, false,
         u"dt:type=\"number\" rs:dbtype=\"currency\" dt:maxLength=\"8\" rs:precision=\"19\""},
        {memo, mdtBlob, 8, 0, 0, false, u"dt:type=\"bin.hex\" dt:maxLength=\"2147483647\" rs:long=\"true\""},
        {plain, mdtVarBytes, 102, 100, 0, false, u"dt:type=\"bin.hex\" dt:maxLength=\"100\""},
        {plain, mdtFmtBCD, 34, 18, 4, false,
         u"dt:type=\"number\" rs:dbtype=\"numeric\" dt:maxLength=\"34\" rs:scale=\"4\" rs:precision=\"18\""},
        {plain, mdtGuid, 39, 38, 0, false, u"dt:type=\"uuid\" dt:maxLength=\"16\""},
        {plain, mdtUInt8, 1, 3, 0, false, u"dt:type=\"ui1\" dt:maxLength=\"1\" rs:precision=\"3\""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Schema(S.DS.get(), c.Field, c.Type, c.Size, c.Length, c.Scale, c.Fixed),
                  WideString(u"<s:datatype ") + c.Expected + u">")
            << int(c.Type);

    plain->SetRequired(true);
    EXPECT_EQ(Schema(S.DS.get(), plain, mdtInt16, 2, 0),
              u"<s:datatype dt:type=\"i2\" dt:maxLength=\"2\" rs:precision=\"5\" rs:maybenull=\"false\">");
    plain->SetRequired(false);
    for (TMemDataType unsupported : {mdtObject, mdtReference, mdtArray, mdtTable, mdtCursor, mdtSQLTimeStamp})
        EXPECT_EQ(ErrorOf([&] { Schema(S.DS.get(), plain, unsupported, 8, 0); }), "Data type is not supported");
}

TEST_F(Notes, FieldColumnAttributes) {
    S->CheckDataSetService();
    TField* id = S.F("id");
    TFieldDesc* desc = S->FieldDescOf(id);
    desc->KeyColumn = true;
    desc->AutoIncrement = true;
    XmlWriter w;
    w.WriteStartElement(u"s:AttributeType");
    S->DataSetService()->WriteFieldAttributes(id, desc, w, u"ident");
    EXPECT_EQ(w.Text(),
              u"<s:AttributeType name=\"ident\" rs:name=\"id\" rs:number=\"1\" rs:nullable=\"true\" "
              u"rs:writeunknown=\"true\" rs:basecolumn=\"id\" rs:keycolumn=\"true\" rs:autoincrement=\"true\">");

    XmlWriter w2;
    w2.WriteStartElement(u"s:AttributeType");
    TField* locked = S.F("locked");
    S->DataSetService()->WriteFieldAttributes(locked, S->FieldDescOf(locked), w2, u"");
    EXPECT_EQ(w2.Text(), u"<s:AttributeType name=\"locked\" rs:number=\"5\" rs:basecolumn=\"locked\">");
}

TEST(RowsetValues, FieldValuesAsXmlText) {
    rtl::TScopedFormatSettings settings;  // comma decimal separator
    const rtl::TDateTime when = rtl::EncodeDate(2024, 3, 5) + rtl::EncodeTime(7, 8, 9, 500);
    TDataSetHolder S{{{u"f", mdtFloat, 8, 15},
                      {u"d", mdtDate, 8},
                      {u"t", mdtTime, 8},
                      {u"dt", mdtDateTime, 8},
                      {u"b", mdtBoolean, 2},
                      {u"c", mdtCurrency, 8},
                      {u"photo", mdtBlob, PtrSize},
                      {u"name", mdtString, 41, 40},
                      {u"wname", mdtWideString, 42, 20},
                      {u"n", mdtInt32, 4}},
                     {{Variant(1.5), Variant::FromDate(rtl::EncodeDate(2024, 3, 5)),
                       Variant::FromDate(rtl::EncodeTime(7, 8, 9, 0)), Variant::FromDate(when), Variant(true),
                       Variant(rtl::Currency::FromScaled(123400)), Variant::FromBytes(rtl::TBytes{0x00, 0xAB, 0x10}),
                       Variant(A(u8"\"Тест\" & <'ok'>")), Variant(rtl::UTF8ToWide(u8"Ширина")), Variant(-42)}}};
    S->Open();
    S->CheckDataSetService();
    const std::pair<const char*, const char16_t*> cases[] = {
        {"f", u"1.5"},        {"d", u"2024-03-05T00:00:00"},
        {"t", u"07:08:09"},   {"dt", u"2024-03-05T07:08:09"},
        {"b", u"True"},       {"c", u"12.34"},
        {"photo", u"00AB10"}, {"wname", u"\u0428\u0438\u0440\u0438\u043d\u0430"},
        {"n", u"-42"},
    };
    for (const auto& [name, expected] : cases) {
        TField* f = S.F(name);
        WideString text;
        S->DataSetService()->FieldValueToXml(f, S->FieldDescOf(f), text);
        EXPECT_EQ(text, expected) << name;
    }
    // The value's five special characters become entities in the attribute, nothing else changes.
    TField* f = S.F("name");
    WideString text;
    S->DataSetService()->FieldValueToXml(f, S->FieldDescOf(f), text);
    XmlWriter w;
    w.WriteStartElement(u"z:row");
    WriteXmlAttribute(w, u"name", text);
    EXPECT_EQ(w.Text(), u"<z:row name=\"&#x22;\u0422\u0435\u0441\u0442&#x22; &#x26; &#x3c;&#x27;ok&#x27;&#x3e;\">");
}

TEST_F(Notes, OldValueReadsTheBlobBeforeTheEdit) {
    S->Edit();
    S.F("note")->SetAsString(A(u8"Правка"));
    EXPECT_EQ(S.F("note")->AsString(), A(u8"Правка"));
    EXPECT_EQ(S.F("note")->OldValue().AsAnsiString(), A(u8"Опись фонда №5"));
    S->Post();
    EXPECT_EQ(S.F("note")->AsString(), A(u8"Правка"));
}

// A memo's value is read from the store without a stream: it must give what the read stream
// gives, in each state the record is read in.
TEST_F(Notes, MemoValuesMatchTheReadStreamInEveryState) {
    auto viaStream = [&](const char* Field) {
        auto s = Stream(Field, bmRead);
        return ReadAll(*s);
    };
    auto wide = [](const Variant& V) {
        const WideString w(V.WideRef());
        return std::string(reinterpret_cast<const char*>(w.data()), w.size() * 2);
    };
    const WideString oldWide = rtl::UTF8ToWide(u8"Широкий текст");
    S->Edit();
    S.F("note")->SetAsString(A(u8"Правка, лист 3"));
    S.F("wnote")->SetAsWideString(u"");
    struct Case {
        const char* What;
        std::function<void()> Step;
        std::string Note, WideBytes;
        bool NoteNull, WideNull;
    };
    const std::string none;
    const std::vector<Case> cases = {
        {"edited", [] {}, A(u8"Правка, лист 3"), none, false, true},
        {"posted", [&] { S->Post(); }, A(u8"Правка, лист 3"), none, false, true},
        {"null row", [&] { S->Last(); }, none, none, true, true},
        {"back", [&] { S->First(); }, A(u8"Правка, лист 3"), none, false, true},
    };
    for (const Case& c : cases) {
        c.Step();
        Variant note = S.F("note")->Value(), wnote = S.F("wnote")->Value();
        EXPECT_EQ(note.IsNull(), c.NoteNull) << c.What;
        EXPECT_EQ(wnote.IsNull(), c.WideNull) << c.What;
        if (!c.NoteNull) {
            EXPECT_EQ(note.AsAnsiString(), c.Note) << c.What;
        }
        if (!c.WideNull) {
            EXPECT_EQ(wide(wnote), c.WideBytes) << c.What;
        }
        EXPECT_EQ(c.NoteNull ? none : note.AsAnsiString(), viaStream("note")) << c.What;
        EXPECT_EQ(c.WideNull ? none : wide(wnote), viaStream("wnote")) << c.What;
    }
    // The values before an edit are read from the rollback copy.
    S->Edit();
    S.F("note")->SetAsString("x");
    S.F("wnote")->SetAsWideString(oldWide + u"!");
    EXPECT_EQ(S.F("note")->OldValue().AsAnsiString(), A(u8"Правка, лист 3"));
    EXPECT_EQ(rtl::VarToWideStr(S.F("wnote")->OldValue()), u"");
    EXPECT_EQ(WideString(S.F("wnote")->NewValue().WideRef()), oldWide + u"!");
    S->Cancel();
    EXPECT_EQ(S.F("note")->Value().AsAnsiString(), A(u8"Правка, лист 3"));
}
