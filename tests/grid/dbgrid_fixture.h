// A data grid on a form over a memory dataset of people: id integer, name text (Cyrillic),
// born date, cid integer (NULL in one row), flag text holding "1" or "0", and the lookup field
// city over a second dataset of cities.
#pragma once

#include <string>
#include <vector>

#include "controls/grid/DBGridEh.h"
#include "framework/rtl/DateUtils.h"
#include "framework/rtl/SysUtils.h"
#include "framework/rtl/Text.h"
#include "tests/support/memds_fixture.h"
#include "tests/support/ui_fixture.h"

namespace gridtest {

using namespace grid;
using rtl::AnsiString;
using rtl::Variant;

inline AnsiString Cyr(const char* Utf8) { return rtl::UTF8ToAnsi(std::string_view(Utf8)); }

class TDBGridTestEh : public TDBGridEh {
    RTL_CLASS(TDBGridTestEh, TDBGridEh)
public:
    using TCustomDBGridEh::FEditText;
    using TCustomDBGridEh::FIndicatorColCount;
    using TDBGridEh::TDBGridEh;
    void WriteEditText() override {
        ++Writes;
        TDBGridEh::WriteEditText();
        // A write that asks for the record again must not write twice.
        DataLink()->UpdateRecord();
    }
    int Writes = 0;
};

class DBGridTest : public uitest::UiTest {
protected:
    DBGridTest()
        : Cities({{u"cid", store::mdtInt32, 4}, {u"city", store::mdtString, 21, 20}},
                 {{Variant(1), Variant(Cyr("Тула"))}, {Variant(2), Variant(Cyr("Орёл"))}}),
          People({{u"id", store::mdtInt32, 4},
                  {u"name", store::mdtString, 21, 20},
                  {u"born", store::mdtDate, 8},
                  {u"cid", store::mdtInt32, 4},
                  {u"flag", store::mdtString, 2, 1}},
                 {{Variant(10), Variant(Cyr("Анна")), Variant::FromDate(rtl::EncodeDate(1990, 3, 4)), Variant(2),
                   Variant(AnsiString("1"))},
                  {Variant(20), Variant(Cyr("Борис")), Variant::Null(), Variant(1), Variant(AnsiString("0"))},
                  {Variant(30), Variant::Null(), Variant::FromDate(rtl::EncodeDate(2001, 12, 31)), Variant::Null(),
                   Variant::Null()}}) {}

    void SetUp() override {
        UiTest::SetUp();
        Cities.DS->Open();
        store::TMemDataSet* ds = People.DS.get();
        AddField<db::TIntegerField>(u"id");
        AddField<db::TStringField>(u"name", 20);
        AddField<db::TDateField>(u"born");
        AddField<db::TIntegerField>(u"cid");
        AddField<db::TStringField>(u"flag", 1);
        auto* city = rtl::Create<db::TStringField>(ds);
        city->SetFieldName(u"city");
        city->SetFieldKind(db::fkLookup);
        city->SetSize(20);
        city->SetLookupDataSet(Cities.DS.get());
        city->SetKeyFields(u"cid");
        city->SetLookupKeyFields(u"cid");
        city->SetLookupResultField(u"city");
        city->SetDataSet(ds);
        ds->Open();
        Src = rtl::Create<db::TDataSource>(Form);
        Src->SetDataSet(ds);
        Grid = rtl::Create<TDBGridTestEh>(Form);
        Grid->SetName("Grid");
        Grid->SetBounds(10, 10, 300, 150);
        Grid->SetParent(Form);
    }
    void TearDown() override {
        // The form's controls go before the datasets they are bound to.
        if (Form) Form->Free();
        Form = nullptr;
        UiTest::TearDown();
    }
    template <class TFieldClass>
    void AddField(const char16_t* Name, int Size = 0) {
        auto* f = rtl::Create<TFieldClass>(People.DS.get());
        f->SetFieldName(Name);
        if (Size) f->SetSize(Size);
        f->SetDataSet(People.DS.get());
    }
    // Persistent columns bound to the given fields, and the grid on the source.
    void Bind(std::initializer_list<const char16_t*> Names) {
        for (const char16_t* n : Names) Grid->Columns()->Add()->SetFieldName(n);
        Grid->SetDataSource(Src);
    }
    // Bound, shown and focused, as a user meets it.
    void ShowFocused(std::initializer_list<const char16_t*> Names) {
        Bind(Names);
        Form->Show();
        Pump();
        Grid->SetFocus();
        Pump();
    }
    TColumnEh* Col(int I) { return Grid->Columns()->Items(I); }
    db::TField* F(const char* Name) { return People.F(Name); }

    memdstest::TFixture Cities;
    memdstest::TFixture People;
    db::TDataSource* Src = nullptr;
    TDBGridTestEh* Grid = nullptr;
};

}  // namespace gridtest
