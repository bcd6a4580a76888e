#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "data/access/DBAccess_Params.h"
#include "data/store/DAConsts.h"
#include "framework/db/DB_FieldClasses.h"
#include "framework/rtl/DateUtils.h"
#include "framework/rtl/Streams.h"
#include "framework/rtl/SysUtils.h"
#include "framework/rtl/Text.h"

using namespace daccess;
using db::TFieldType;

namespace {

AnsiString Ansi(const char8_t* Utf8) { return rtl::UTF8ToAnsi(Utf8); }

// A collection that frees itself, and parameters made in it.
struct ParamsFixture {
    TDAParams Params;
    TDAParam* Add(const AnsiString& Name = "p") {
        auto* p = static_cast<TDAParam*>(Params.Add());
        p->SetName(Name);
        return p;
    }
};

// Counts the Disconnect calls it hears.
class TCountingObject : public store::TSharedObject {
public:
    int Disconnects = 0;
    void Disconnect() override { ++Disconnects; }
};

template <class T>
struct Owned {
    T* Ptr;
    explicit Owned(T* P) : Ptr(P) {}
    ~Owned() { rtl::TObject::Free(Ptr); }
    T* operator->() const { return Ptr; }
};

}  // namespace

TEST(DAParam, TypedWritesAndReads) {
    const AnsiString cyr = Ansi(u8"Опись №5");
    const WideString wcyr = u"Фонд 12";
    const rtl::TDateTime day = rtl::EncodeDate(2024, 3, 5);
    const rtl::TDateTime moment = day + rtl::EncodeTime(14, 30, 0, 0);
    struct Case {
        const char* what;
        std::function<void(TDAParam&)> write;
        TFieldType type;
        bool null;
        AnsiString text;
    };
    const std::vector<Case> cases = {
        {"ansi text", [&](TDAParam& p) { p.SetAsString(cyr); }, db::ftString, false, cyr},
        {"wide text", [&](TDAParam& p) { p.SetAsWideString(wcyr); }, db::ftWideString, false, rtl::WideToAnsi(wcyr)},
        {"integer", [](TDAParam& p) { p.WriteAsInteger(-42); }, db::ftInteger, false, "-42"},
        {"large", [](TDAParam& p) { p.SetAsLargeInt(5000000000LL); }, db::ftLargeint, false, "5000000000"},
        {"small", [](TDAParam& p) { p.SetAsSmallInt(-7); }, db::ftSmallint, false, "-7"},
        {"word", [](TDAParam& p) { p.SetAsWord(65535); }, db::ftWord, false, "65535"},
        {"float", [](TDAParam& p) { p.SetAsFloat(2.5); }, db::ftFloat, false, "2,5"},
        {"date", [&](TDAParam& p) { p.SetAsDate(day); }, db::ftDate, false, "05.03.2024"},
        // The time part is kept in the text of a date-and-time value.
        {"date and time", [&](TDAParam& p) { p.SetAsDateTime(moment); }, db::ftDateTime, false, "05.03.2024 14:30:00"},
        {"memo", [&](TDAParam& p) { p.SetAsMemo(cyr); }, db::ftMemo, false, cyr},
        {"blob",
         [](TDAParam& p) {
             p.SetAsBlob({'a', 0, 'b'});
         },
         db::ftBlob, false, AnsiString("a\0b", 3)},
        {"null integer",
         [](TDAParam& p) {
             p.SetDataType(db::ftInteger);
             p.SetValue(Variant::Null());
         },
         db::ftInteger, true, ""},
        {"empty memo", [](TDAParam& p) { p.SetAsMemo(""); }, db::ftMemo, true, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ParamsFixture f;
        TDAParam* p = f.Add();
        p->SetBound(false);
        c.write(*p);
        EXPECT_EQ(p->DataType(), c.type);
        EXPECT_EQ(p->IsNull(), c.null);
        EXPECT_EQ(p->AsString(), c.text);
        EXPECT_EQ(p->AsWideString(), rtl::AnsiToWide(c.text));
        EXPECT_TRUE(p->Bound());
        EXPECT_EQ(p->Value().IsNull(), c.null);
    }
}

TEST(DAParam, NumericReadsOfTextAndNull) {
    ParamsFixture f;
    TDAParam* p = f.Add();
    p->SetAsMemo("123");
    EXPECT_EQ(p->AsInteger(), 123);
    EXPECT_EQ(p->AsLargeInt(), 123);
    EXPECT_DOUBLE_EQ(p->AsFloat(), 123.0);
    p->Clear();
    EXPECT_TRUE(p->IsNull());
    EXPECT_EQ(p->AsInteger(), 0);
    EXPECT_EQ(p->AsLargeInt(), 0);
    p->SetAsLargeInt(int64_t{1} << 40);
    EXPECT_THROW(p->AsInteger(), rtl::Exception);  // never cut to 32 bits
}

TEST(DAParam, WideMemoHoldsWideTextAndGivesSingleByteForm) {
    ParamsFixture f;
    TDAParam* p = f.Add();
    p->SetDataType(db::ftWideMemo);
    ASSERT_NE(p->AsMemoRef(), nullptr);
    EXPECT_TRUE(p->AsMemoRef()->IsUnicode());
    p->SetAsWideString(u"Акт \u20AC");
    EXPECT_EQ(p->AsWideString(), u"Акт \u20AC");
    EXPECT_EQ(p->AsString(), rtl::WideToAnsi(u"Акт \u20AC"));
    EXPECT_EQ(p->Value().VType(), rtl::varOleStr);
}

TEST(DAParam, TypeChangesCreateAndReleaseTheBlob) {
    ParamsFixture f;
    TDAParam* p = f.Add();
    p->SetAsMemo("text");
    store::TBlob* blob = p->AsMemoRef();
    blob->AddRef();  // watch it outlive the parameter's reference
    ASSERT_EQ(blob->RefCount(), 2);

    p->SetDataType(db::ftInteger);
    EXPECT_EQ(blob->RefCount(), 1);
    EXPECT_EQ(p->GetParamObject(), nullptr);
    blob->Release();

    p->SetDataType(db::ftMemo);
    ASSERT_NE(p->GetParamObject(), nullptr);
    EXPECT_TRUE(p->IsNull());
    EXPECT_EQ(p->AsString(), "");

    // Every typed write of another type lets the blob go as well.
    p->SetAsMemo("x");
    blob = p->AsMemoRef();
    blob->AddRef();
    p->WriteAsInteger(3);
    EXPECT_EQ(blob->RefCount(), 1);
    EXPECT_EQ(p->AsInteger(), 3);
    blob->Release();
}

TEST(DAParam, MemoTextSurvivesChangeToString) {
    ParamsFixture f;
    TDAParam* p = f.Add();
    p->SetAsMemo(Ansi(u8"Дело"));
    p->SetDataType(db::ftString);
    EXPECT_EQ(p->AsString(), Ansi(u8"Дело"));
    p->SetAsMemo("abc");
    p->SetDataType(db::ftInteger);  // text that is no number is dropped, never the marker
    EXPECT_TRUE(p->IsNull());

    // Plain values are converted as the platform converts them.
    p->WriteAsInteger(5);
    p->SetDataType(db::ftString);
    EXPECT_EQ(p->AsString(), "5");
    p->SetDataType(db::ftFloat);
    EXPECT_DOUBLE_EQ(p->AsFloat(), 5.0);
}

TEST(DAParam, RefAccessorsTypeUntypedParameters) {
    ParamsFixture f;
    TDAParam* memo = f.Add("m");
    store::TBlob* b = memo->AsMemoRef();
    EXPECT_EQ(memo->DataType(), db::ftMemo);
    ASSERT_NE(b, nullptr);

    TDAParam* blob = f.Add("b");
    EXPECT_NE(blob->AsBlobRef(), nullptr);
    EXPECT_EQ(blob->DataType(), db::ftBlob);

    TDAParam* typed = f.Add("i");
    typed->WriteAsInteger(1);
    EXPECT_EQ(typed->AsBlobRef(), nullptr);

    store::TBlob* wide = store::CreateSharedObject<store::TBlob>(true);
    wide->SetAsWideString(u"я");
    TDAParam* w = f.Add("w");
    w->SetAsMemoRef(wide);
    EXPECT_EQ(w->DataType(), db::ftWideMemo);
    EXPECT_EQ(w->AsMemoRef(), wide);
    EXPECT_EQ(wide->RefCount(), 2);
    w->SetAsMemoRef(wide);  // the blob held now, given again
    EXPECT_EQ(wide->RefCount(), 2);
    w->SetAsBlobRef(wide);
    EXPECT_EQ(w->DataType(), db::ftBlob);
    EXPECT_EQ(wide->RefCount(), 2);
    EXPECT_FALSE(w->IsNull());
    wide->Release();
    EXPECT_EQ(w->AsWideString(), u"я");
}

TEST(DAParam, AssignSharesTheBlobAndWritesStayApart) {
    ParamsFixture f;
    TDAParam* a = f.Add("a");
    TDAParam* b = f.Add("b");
    a->SetAsMemo(Ansi(u8"Акт"));
    a->SetSize(10);
    a->SetNational(true);
    b->Assign(a);
    EXPECT_EQ(b->Name(), "a");
    EXPECT_EQ(b->GetParamObject(), a->GetParamObject());
    EXPECT_EQ(a->AsMemoRef()->RefCount(), 2);
    EXPECT_EQ(b->Size(), 10);
    EXPECT_TRUE(b->National());
    EXPECT_TRUE(b->IsEqual(a));

    b->SetAsString("new");
    EXPECT_EQ(a->AsString(), Ansi(u8"Акт"));
    EXPECT_EQ(b->AsString(), "new");
    EXPECT_FALSE(b->IsEqual(a));

    b->Assign(a);
    b->Clear();
    EXPECT_EQ(a->AsString(), Ansi(u8"Акт"));
    EXPECT_TRUE(b->IsNull());

    b->Assign(a);
    delete a;  // freeing one holder keeps the other's value
    EXPECT_EQ(b->AsString(), Ansi(u8"Акт"));
    EXPECT_EQ(b->AsMemoRef()->RefCount(), 1);
}

TEST(DAParam, AssignFromPlatformParamAndStrings) {
    db::TParams plain;
    auto* src = static_cast<db::TParam*>(plain.Add());
    src->SetName("src");
    src->SetParamType(db::ptInput);
    src->SetAsMemo(Ansi(u8"Опись"));

    ParamsFixture f;
    TDAParam* p = f.Add();
    p->Assign(src);
    EXPECT_EQ(p->DataType(), db::ftMemo);
    EXPECT_EQ(p->Name(), "src");
    EXPECT_EQ(p->ParamType(), db::ptInput);
    EXPECT_EQ(p->AsString(), Ansi(u8"Опись"));
    ASSERT_NE(p->AsMemoRef(), nullptr);
    EXPECT_EQ(p->AsMemoRef()->GetAsAnsiString(), Ansi(u8"Опись"));

    rtl::TStringList lines;
    lines.SetText("one\r\ntwo\r\n");
    p->Assign(&lines);
    EXPECT_EQ(p->DataType(), db::ftMemo);
    EXPECT_EQ(p->AsString(), lines.Text());
}

TEST(DAParam, AssignFieldValueChoosesTypeFromField) {
    Owned<db::TStringField> fixed(rtl::Create<db::TStringField>(nullptr));
    fixed->SetSize(5);
    fixed->SetFixedChar(true);
    Owned<db::TMemoField> longMemo(rtl::Create<db::TMemoField>(nullptr));
    longMemo->SetSize(300);
    Owned<db::TMemoField> memo(rtl::Create<db::TMemoField>(nullptr));
    Owned<db::TWideMemoField> wideMemo(rtl::Create<db::TWideMemoField>(nullptr));
    wideMemo->SetSize(256);
    struct Case {
        db::TField* field;
        Variant value;
        TFieldType type;
        AnsiString text;
    };
    const std::vector<Case> cases = {
        {fixed.Ptr, Variant(AnsiString("ab")), db::ftFixedChar, "ab"},
        {longMemo.Ptr, Variant(Ansi(u8"длинный")), db::ftString, Ansi(u8"длинный")},
        {memo.Ptr, Variant(AnsiString("short")), db::ftMemo, "short"},
        {wideMemo.Ptr, Variant(WideString(u"ш")), db::ftWideString, Ansi(u8"ш")},
        {memo.Ptr, Variant::Null(), db::ftMemo, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.type));
        ParamsFixture f;
        TDAParam* p = f.Add();
        p->SetAsMemo("old");
        p->AssignFieldValue(c.field, c.value);
        EXPECT_EQ(p->DataType(), c.type);
        EXPECT_EQ(p->AsString(), c.text);
        EXPECT_EQ(p->IsNull(), c.value.IsNull());
    }
}

TEST(DAParam, LoadFromStream) {
    ParamsFixture f;
    TDAParam* p = f.Add();
    rtl::TMemoryStream stream;
    const AnsiString text = Ansi(u8"из потока");
    stream.WriteBuffer(text.data(), static_cast<int64_t>(text.size()));
    p->LoadFromStream(stream, db::ftMemo);
    EXPECT_EQ(p->DataType(), db::ftMemo);
    EXPECT_EQ(p->AsString(), text);

    // Refused types leave the parameter as it was.
    try {
        p->LoadFromStream(stream, db::ftInteger);
        FAIL() << "no error";
    } catch (const db::EDatabaseError& e) {
        EXPECT_STREQ(e.what(), "Data type is not supported");
    }
    EXPECT_THROW(p->LoadFromStream(stream, db::ftOraBlob), rtl::EAssertionFailed);
    EXPECT_EQ(p->DataType(), db::ftMemo);
    EXPECT_EQ(p->AsString(), text);
}

TEST(DAParam, ObjectMarkerNeverShowsAsValue) {
    ParamsFixture f;
    TDAParam* p = f.Add();
    auto* obj = store::CreateSharedObject<TCountingObject>();
    p->SetParamObject(obj);  // untyped: the type stays unknown
    EXPECT_EQ(p->DataType(), db::ftUnknown);
    EXPECT_FALSE(p->IsNull());
    EXPECT_EQ(obj->RefCount(), 2);
    p->SetAsString("plain");
    EXPECT_EQ(obj->RefCount(), 1);  // a typed write lets it go
    EXPECT_EQ(p->AsString(), "plain");
    obj->Release();
}

TEST(DAParams, LookupCreationAndBinding) {
    ParamsFixture f;
    TDAParam* id = f.Params.CreateParam(db::ftInteger, "id", db::ptInput);
    TDAParam* note = f.Params.CreateParam(db::ftMemo, "Note", db::ptInput);
    EXPECT_NE(note->GetParamObject(), nullptr);
    EXPECT_EQ(f.Params.ParamByName("ID"), id);
    EXPECT_EQ(f.Params.FindParam("note"), note);
    EXPECT_EQ(f.Params.FindParam("none"), nullptr);
    try {
        f.Params.ParamByName("none");
        FAIL() << "no error";
    } catch (const db::EDatabaseError& e) {
        EXPECT_STREQ(e.what(), "Parameter 'none' not found");
    }

    f.Params.SetParamsChangeType(pbWatched);
    id->SetName("key");
    EXPECT_EQ(f.Params.ParamsChangeType(), pbByName);

    auto* obj = store::CreateSharedObject<TCountingObject>();
    note->SetParamObject(obj);
    obj->Release();
    f.Params.Unbind();
    EXPECT_EQ(obj->Disconnects, 1);
}

TEST(DAParams, IsEqualComparesBlobContents) {
    ParamsFixture a, b;
    a.Add("m")->SetAsMemo("one");
    b.Add("m")->SetAsMemo("two");
    EXPECT_FALSE(a.Params.IsEqual(&b.Params));
    b.Params.Items(0)->SetAsMemo("one");
    EXPECT_TRUE(a.Params.IsEqual(&b.Params));
    b.Params.Items(0)->SetSize(4);
    EXPECT_FALSE(a.Params.IsEqual(&b.Params));
}

TEST(DAParamDescs, WriteAndReadBack) {
    const store::TFieldTypeMap& map = store::TFieldTypeMap::Instance();
    ParamsFixture f;
    TDAParam* name = f.Params.CreateParam(db::ftString, "name", db::ptInput);
    name->SetAsString(Ansi(u8"Фонд"));
    name->SetNational(true);
    name->SetSubDataType(7);
    f.Params.CreateParam(db::ftString, "res", db::ptOutput);
    TDAParam* when = f.Params.CreateParam(db::ftDate, "d", db::ptInput);
    when->SetAsDate(rtl::EncodeDate(2024, 1, 2) + 0.75);
    TDAParam* memo = f.Params.CreateParam(db::ftMemo, "m", db::ptInput);
    memo->SetAsMemo("a\r\nb");

    TParamDescOptions options;
    options.DefaultSize = 8000;
    std::vector<std::unique_ptr<TParamDesc>> descs;
    for (int i = 0; i < f.Params.Count(); ++i) {
        descs.push_back(std::make_unique<TParamDesc>());
        WriteParamDesc(*f.Params.Items(i), *descs.back(), map, options);
        WriteParamValue(*f.Params.Items(i), *descs.back(), options);
    }
    EXPECT_EQ(descs[0]->GetName(), "name");
    EXPECT_EQ(descs[0]->GetSize(), 4);  // an input string takes its value's length
    EXPECT_TRUE(descs[0]->GetNational());
    EXPECT_EQ(descs[0]->GetSubDataType(), 7);
    EXPECT_EQ(descs[0]->GetParamType(), db::ptInput);
    EXPECT_EQ(descs[0]->GetValue().AsAnsiString(), Ansi(u8"Фонд"));
    EXPECT_EQ(descs[1]->GetSize(), 8000);
    EXPECT_TRUE(descs[1]->GetNull());
    EXPECT_DOUBLE_EQ(descs[2]->GetValue().AsDateTime(), rtl::EncodeDate(2024, 1, 2));
    EXPECT_EQ(descs[3]->GetObject(), memo->GetParamObject());
    EXPECT_FALSE(descs[3]->GetNull());

    ParamsFixture back;
    for (auto& d : descs) {
        TDAParam* p = back.Add();
        ReadParamDesc(*p, *d, map);
        ReadParamValue(*p, *d);
    }
    for (int i = 0; i < f.Params.Count(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(back.Params.Items(i)->Name(), f.Params.Items(i)->Name());
        EXPECT_EQ(back.Params.Items(i)->DataType(), f.Params.Items(i)->DataType());
        EXPECT_EQ(back.Params.Items(i)->ParamType(), f.Params.Items(i)->ParamType());
    }
    EXPECT_EQ(back.Params.Items(0)->AsString(), Ansi(u8"Фонд"));
    EXPECT_EQ(back.Params.Items(3)->AsString(), "a\r\nb");
    EXPECT_EQ(back.Params.Items(3)->GetParamObject(), memo->GetParamObject());
}

TEST(DAParamDescs, ConvertEOLLeavesSharedHolderIntact) {
    ParamsFixture f;
    TDAParam* memo = f.Params.CreateParam(db::ftMemo, "m", db::ptInput);
    store::TBlob* record = store::CreateSharedObject<store::TBlob>();
    record->SetAsAnsiString("a\r\nb");
    memo->SetAsMemoRef(record);
    TParamDescOptions options;
    options.ConvertEOL = true;
    TParamDesc desc;
    WriteParamDesc(*memo, desc, store::TFieldTypeMap::Instance(), options);
    WriteParamValue(*memo, desc, options);
    EXPECT_EQ(record->GetAsAnsiString(), "a\r\nb");
    EXPECT_EQ(memo->AsString(), "a\nb");
    EXPECT_EQ(desc.GetObject(), memo->GetParamObject());
    ReadParamValue(*memo, desc, true);
    EXPECT_EQ(memo->AsString(), "a\r\nb");
    record->Release();
}

TEST(DAParamData, RoundTripWithExtendedTypeAndUnboundItems) {
    const auto extType = static_cast<TFieldType>(50);
    ParamsFixture f;
    TDAParam* id = f.Params.CreateParam(db::ftInteger, "id", db::ptInput);
    id->WriteAsInteger(17);
    TDAParam* ext = f.Params.CreateParam(extType, "ext", db::ptInput);
    ext->SetSize(12);
    ext->SetBound(false);
    TDAParam* note = f.Params.CreateParam(db::ftMemo, "note", db::ptUnknown);
    note->SetAsMemo(Ansi(u8"Примечание"));

    EXPECT_FALSE(ParamDataNeedsWriting(TDAParams(), nullptr));
    EXPECT_TRUE(ParamDataNeedsWriting(f.Params, nullptr));

    const std::vector<TStreamedItem> items = WriteParamData(f.Params);
    ASSERT_EQ(items.size(), 3u);
    auto has = [](const TStreamedItem& item, const char* name) {
        for (const TStreamedProperty& prop : item)
            if (prop.Name == name) return true;
        return false;
    };
    EXPECT_EQ(items[0][0].Name, "DataType");
    EXPECT_EQ(items[0][0].Value.AsAnsiString(), "ftInteger");
    EXPECT_FALSE(has(items[1], "DataType"));
    EXPECT_TRUE(has(items[1], "ExtDataType"));
    EXPECT_FALSE(has(items[1], "Value"));

    ParamsFixture loaded;
    ReadParamData(loaded.Params, items);
    ASSERT_EQ(loaded.Params.Count(), 3);
    EXPECT_EQ(loaded.Params.Items(1)->DataType(), extType);
    EXPECT_EQ(loaded.Params.Items(1)->Size(), 12);
    EXPECT_FALSE(loaded.Params.Items(1)->Bound());
    EXPECT_EQ(loaded.Params.Items(0)->AsInteger(), 17);
    EXPECT_EQ(loaded.Params.Items(2)->AsString(), Ansi(u8"Примечание"));
    EXPECT_TRUE(loaded.Params.IsEqual(&f.Params));
    EXPECT_FALSE(ParamDataNeedsWriting(loaded.Params, &f.Params));
}

TEST(DAParamData, DesignTimeItemAndBadInput) {
    ParamsFixture f;
    ReadParamData(f.Params, {{{"DataType", Variant(AnsiString("ftUnknown"))}, {"Name", Variant(AnsiString("id"))}}});
    ASSERT_EQ(f.Params.Count(), 1);
    EXPECT_EQ(f.Params.Items(0)->Name(), "id");
    EXPECT_EQ(f.Params.Items(0)->DataType(), db::ftUnknown);

    const std::vector<std::vector<TStreamedItem>> bad = {
        {{{"DataType", Variant(AnsiString("ftNothing"))}}},
        {{{"ParamType", Variant(AnsiString("ptSideways"))}}},
        {{{"Colour", Variant(1)}}},
        {{{"Name", Variant(AnsiString("ok"))}}, {{"Size", Variant(AnsiString("big"))}}},
    };
    for (const auto& items : bad) {
        EXPECT_THROW(ReadParamData(f.Params, items), rtl::EReadError);
        ASSERT_EQ(f.Params.Count(), 1);
        EXPECT_EQ(f.Params.Items(0)->Name(), "id");
    }
}
