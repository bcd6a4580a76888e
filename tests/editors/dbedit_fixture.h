// A form with a bound edit, a second edit to move the focus to, and a dataset of a few people:
// id integer, name string(20), born date, note string(10). Keys and characters go through the
// message queue as the display backend would deliver them.
#pragma once

#include <string>
#include <vector>

#include "controls/editors/DBCtrlsEh.h"
#include "editors_fixture.h"
#include "framework/rtl/DateUtils.h"
#include "tests/ui/ui_fixture.h"

namespace editorstest {

using rtl::AnsiString;

inline std::vector<memdstest::TCol> EditCols() {
    using namespace store;
    return {{u"id", mdtInt32, 4}, {u"name", mdtString, 21, 20}, {u"born", mdtDate, 8}, {u"note", mdtString, 11, 10}};
}

inline std::vector<std::vector<Variant>> EditRows() {
    return {{Variant(10), Variant(AnsiString("Anna")), Variant::FromDate(rtl::EncodeDate(1990, 3, 4)), Variant::Null()},
            {Variant(20), Variant(AnsiString("Boris")), Variant::Null(), Variant(AnsiString("x"))}};
}

class DBEditTest : public uitest::UiTest {
protected:
    void SetUp() override {
        UiTest::SetUp();
        Data.DS->Open();
        Src = rtl::Create<db::TDataSource>(Form);
        Src->SetDataSet(Data.DS.get());
        Edit = rtl::Create<editors::TDBEditEh>(Form);
        Edit->SetName("Edit");
        Edit->SetBounds(10, 10, 150, 24);
        Edit->SetParent(Form);
        Other = rtl::Create<ui::TEdit>(Form);
        Other->SetName("Other");
        Other->SetBounds(10, 50, 150, 24);
        Other->SetParent(Form);
        Form->Show();
        Pump();
        // Entering the editor is part of what the tests watch.
        Other->SetFocus();
        Pump();
    }
    void TearDown() override {
        // The form's controls go before the dataset they are bound to.
        if (Form) Form->Free();
        Form = nullptr;
        UiTest::TearDown();
    }
    void Bind(const char* FieldName) {
        Edit->SetDataSource(Src);
        Edit->SetDataField(FieldName);
    }
    void FocusEdit() {
        Edit->SetFocus();
        Pump();
    }
    void FocusOther() {
        Other->SetFocus();
        Pump();
    }
    void Type(const std::string& Text) {
        for (char c : Text) ui::CharInput(c);
        Pump();
    }
    void Key(uint16_t K) {
        ui::KeyPressInput(K);
        Pump();
    }
    db::TField* F(const char* Name) const { return Data.F(Name); }

    TFixture Data{EditCols(), EditRows()};
    db::TDataSource* Src = nullptr;
    editors::TDBEditEh* Edit = nullptr;
    ui::TEdit* Other = nullptr;
};

}  // namespace editorstest
