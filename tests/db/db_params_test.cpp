#include <gtest/gtest.h>

#include "db_fieldclasses_fixture.h"
#include "framework/db/DB_Params.h"
#include "framework/rtl/DateUtils.h"
#include "framework/rtl/SqlTimSt.h"

namespace fieldtest {
namespace {

TEST(Params, AssignFieldTakesTypeValueNameAndSizeFromEveryFieldClass) {
    struct Case {
        const char* Name;
        TFieldType Type;
        int Size;
        Variant Value;
        TFieldType ParamType;
    };
    const Case cases[] = {
        {"s", ftString, 12, Variant(A(u8"Фонд 12")), ftString},
        {"fc", ftFixedChar, 3, Variant("ab"), ftFixedChar},
        {"w", ftWideString, 8, Variant(WideString(u"Дело")), ftWideString},
        {"si", ftSmallint, 0, Variant(-7), ftSmallint},
        {"i", ftInteger, 0, Variant(123456), ftInteger},
        {"wd", ftWord, 0, Variant(65000), ftWord},
        {"ai", ftAutoInc, 0, Variant(9), ftAutoInc},
        {"li", ftLargeint, 0, Variant(1LL << 40), ftLargeint},
        {"b", ftBoolean, 0, Variant(true), ftBoolean},
        {"f", ftFloat, 0, Variant(0.125), ftFloat},
        {"c", ftCurrency, 0, Variant(99.5), ftCurrency},
        {"bcd", ftBCD, 4, Variant(rtl::StrToCurr("1,2345")), ftBCD},
        {"fmt", ftFMTBcd, 2, Variant(rtl::StrToBcd("12,34")), ftFMTBcd},
        {"d", ftDate, 0, Variant::FromDate(rtl::EncodeDate(2001, 2, 3)), ftDate},
        {"t", ftTime, 0, Variant::FromDate(rtl::EncodeTime(4, 5, 6, 0)), ftTime},
        {"dt", ftDateTime, 0, Variant::FromDate(rtl::EncodeDateTime(2001, 2, 3, 4, 5, 6, 0)), ftDateTime},
        {"ts", ftTimeStamp, 0,
         Variant::FromSQLTimeStamp(rtl::DateTimeToSQLTimeStamp(rtl::EncodeDateTime(2001, 2, 3, 4, 5, 6, 7))),
         ftTimeStamp},
        {"g", ftGuid, 38, Variant("{01234567-89AB-CDEF-0123-456789ABCDEF}"), ftGuid},
        {"by", ftBytes, 2, Variant::FromBytes(rtl::TBytes{1, 2}), ftBytes},
        {"vb", ftVarBytes, 4, Variant::FromBytes(rtl::TBytes{3}), ftVarBytes},
        {"memo", ftMemo, 0, Variant(A(u8"Длинный текст")), ftMemo},
        {"wmemo", ftWideMemo, 0, Variant(WideString(u"Текст")), ftWideMemo},
        {"blob", ftBlob, 0, Variant::FromBytes(rtl::TBytes{0, 255}), ftBlob},
        {"v", ftVariant, 0, Variant(3.5), ftVariant},
        {"empty", ftInteger, 0, Variant::Null(), ftInteger},
    };
    TOneRow t;
    for (const Case& c : cases) t.Add(rtl::AnsiToWide(c.Name), c.Type, c.Size);
    t.OpenAndEdit();
    for (const Case& c : cases) t.F(c.Name)->SetValue(c.Value);
    t.DataSet->Post();

    rtl::TOwnedPtr<TParams> params(rtl::Create<TParams>(nullptr));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        TField* f = t.F(c.Name);
        auto* p = static_cast<TParam*>(params->Add());
        p->AssignField(f);
        EXPECT_EQ(p->Name(), c.Name);
        EXPECT_EQ(p->DataType(), c.ParamType);
        EXPECT_TRUE(p->Bound());
        EXPECT_EQ(p->IsNull(), f->IsNull());
        EXPECT_TRUE(rtl::VarSameValue(p->Value(), f->Value()) || (p->IsNull() && f->IsNull()))
            << rtl::VarToStr(p->Value()) << " vs " << rtl::VarToStr(f->Value());
        EXPECT_EQ(p->AsString(), f->AsString());
    }
    EXPECT_EQ(params->ParamByName("s")->Size(), 12);
    EXPECT_EQ(params->ParamByName("bcd")->NumericScale(), 4);
    EXPECT_EQ(params->ParamByName("blob")->AsBytes(), (rtl::TBytes{0, 255}));

    // A text field flagged fixed-length gives a fixed-char parameter.
    rtl::TOwnedPtr<TStringField> fixed(rtl::Create<TStringField>(nullptr));
    fixed->SetFixedChar(true);
    TParam* p = params->ParamByName("s");
    p->AssignFieldValue(fixed.get(), Variant("abc"));
    EXPECT_EQ(p->DataType(), ftFixedChar);
    EXPECT_EQ(p->AsString(), "abc");
}

TEST(Params, AssignFieldValueKeepsTheNameAndAssignToFieldWritesBack) {
    TOneRow t;
    t.Add(u"n", ftInteger);
    t.Add(u"d", ftDate);
    t.OpenAndEdit();
    rtl::TOwnedPtr<TParams> params(rtl::Create<TParams>(nullptr));
    TParam* p = params->CreateParam(ftUnknown, "OLD_N", ptInput);
    p->AssignFieldValue(t.F("n"), Variant(77));
    EXPECT_EQ(p->Name(), "OLD_N");
    EXPECT_EQ(p->DataType(), ftInteger);
    EXPECT_EQ(p->AsInteger(), 77);
    p->AssignToField(t.F("n"));
    EXPECT_EQ(t.F("n")->AsInteger(), 77);
    // Assign from a field goes the same way as AssignField.
    TParam* q = params->CreateParam(ftUnknown, "", ptInput);
    t.F("d")->SetAsString("05.03.2024");
    q->Assign(t.F("d"));
    EXPECT_EQ(q->Name(), "d");
    EXPECT_EQ(q->DataType(), ftDate);
    EXPECT_EQ(q->AsString(), "05.03.2024");
}

TEST(Params, ParamByNameAndFindParam) {
    rtl::TOwnedPtr<TParams> params(rtl::Create<TParams>(nullptr));
    params->CreateParam(ftInteger, "ID", ptInput);
    params->CreateParam(ftString, A(u8"Имя"), ptInput);
    EXPECT_EQ(params->FindParam("id"), params->Items(0));
    EXPECT_EQ(params->FindParam(A(u8"имя")), params->Items(1));
    EXPECT_EQ(params->FindParam("missing"), nullptr);
    try {
        params->ParamByName("missing");
        FAIL();
    } catch (const EDatabaseError& e) {
        EXPECT_EQ(e.Message(), "Parameter 'missing' not found");
    }
}

TEST(Params, TypedWritesSetTheTypeAndUntypedValuesInferIt) {
    rtl::TOwnedPtr<TParams> params(rtl::Create<TParams>(nullptr));
    TParam* p = params->CreateParam(ftUnknown, "p", ptUnknown);
    EXPECT_TRUE(p->IsNull());
    EXPECT_FALSE(p->Bound());
    struct Case {
        Variant Value;
        TFieldType Type;
    };
    const Case inferred[] = {
        {Variant(5), ftInteger},
        {Variant(static_cast<short>(5)), ftSmallint},
        {Variant(5LL), ftLargeint},
        {Variant(2.5), ftFloat},
        {Variant(true), ftBoolean},
        {Variant("x"), ftString},
        {Variant(WideString(u"x")), ftWideString},
        {Variant(rtl::IntToCurr(3)), ftBCD},
        {Variant::FromDate(1.5), ftDateTime},
        {Variant::FromBytes(rtl::TBytes{1}), ftBlob},
    };
    for (const Case& c : inferred) {
        p->SetDataType(ftUnknown);
        p->SetValue(c.Value);
        EXPECT_EQ(p->DataType(), c.Type) << rtl::VarToStr(c.Value);
        EXPECT_TRUE(p->Bound());
        EXPECT_FALSE(p->IsNull());
    }
    p->SetAsInteger(3);
    EXPECT_EQ(p->DataType(), ftInteger);
    p->SetAsString("12");
    EXPECT_EQ(p->DataType(), ftString);
    EXPECT_EQ(p->AsInteger(), 12);
    p->SetAsDate(rtl::EncodeDate(2020, 1, 2));
    EXPECT_EQ(p->DataType(), ftDate);
    p->SetAsLargeInt(1LL << 50);
    EXPECT_EQ(p->AsLargeInt(), 1LL << 50);
    EXPECT_THROW(p->AsInteger(), rtl::EConvertError);
    EXPECT_THROW(p->AsSmallInt(), rtl::EConvertError);
    p->SetAsBoolean(true);
    EXPECT_EQ(p->AsString(), "True");
    p->SetAsMemo(A(u8"Заметка"));
    EXPECT_EQ(p->DataType(), ftMemo);
    EXPECT_EQ(p->AsWideString(), u"Заметка");
    // Text keeps the type and converts.
    p->SetAsInteger(1);
    p->SetText("42");
    EXPECT_EQ(p->DataType(), ftInteger);
    EXPECT_EQ(p->Value().VType(), rtl::varInteger);
    // A new type converts the value when it can and drops it otherwise.
    p->SetAsString("12");
    p->SetDataType(ftInteger);
    EXPECT_EQ(p->Value().VType(), rtl::varInteger);
    EXPECT_EQ(p->AsInteger(), 12);
    p->SetAsString("abc");
    p->SetDataType(ftFloat);
    EXPECT_TRUE(p->IsNull());
    p->SetAsInteger(1);
    p->Clear();
    EXPECT_TRUE(p->IsNull());
    EXPECT_EQ(p->AsString(), "");
    EXPECT_EQ(p->AsInteger(), 0);
}

TEST(Params, ValuesByNameListsAndCopies) {
    rtl::TOwnedPtr<TParams> a(rtl::Create<TParams>(nullptr));
    rtl::TOwnedPtr<TParams> b(rtl::Create<TParams>(nullptr));
    a->CreateParam(ftInteger, "x", ptInput)->SetAsInteger(1);
    a->CreateParam(ftString, "y", ptInput)->SetAsString("one");
    a->CreateParam(ftString, "only_a", ptInput)->SetAsString("keep");
    b->CreateParam(ftInteger, "Y", ptOutput);
    b->CreateParam(ftInteger, "x", ptInput)->SetAsInteger(2);
    a->AssignValues(b.get());
    EXPECT_EQ(a->ParamByName("x")->AsInteger(), 2);
    EXPECT_TRUE(a->ParamByName("y")->IsNull());
    EXPECT_EQ(a->ParamByName("y")->ParamType(), ptInput);
    EXPECT_EQ(a->ParamByName("only_a")->AsString(), "keep");

    a->SetParamValues("x;only_a", Variant::VarArray({Variant(5), Variant("z")}));
    Variant v = a->ParamValues("x; only_a");
    ASSERT_TRUE(v.IsArray());
    EXPECT_EQ(v.GetElement(0).AsInteger(), 5);
    EXPECT_EQ(rtl::VarToStr(v.GetElement(1)), "z");
    EXPECT_THROW(a->ParamValues("x;nope"), EDatabaseError);
    // Too few values change nothing.
    EXPECT_THROW(a->SetParamValues("x;only_a", Variant::VarArray({Variant(8)})), rtl::EVariantError);
    EXPECT_EQ(a->ParamByName("x")->AsInteger(), 5);

    rtl::TOwnedPtr<TParams> c(rtl::Create<TParams>(nullptr));
    c->Assign(a.get());
    EXPECT_TRUE(c->IsEqual(a.get()));
    c->ParamByName("x")->SetAsInteger(6);
    EXPECT_FALSE(c->IsEqual(a.get()));
    EXPECT_EQ(a->ParamByName("x")->AsInteger(), 5);
}

}  // namespace
}  // namespace fieldtest
