// The edit on the form, over a dataset of a few people: id integer, name string(20), born date,
// note string(10).
#pragma once

#include <string>
#include <vector>

#include "controls/editors/DBCtrlsEh.h"
#include "tests/support/editorform_fixture.h"
#include "framework/rtl/DateUtils.h"

namespace editorstest {

inline std::vector<memdstest::TCol> EditCols() {
    using namespace store;
    return {{u"id", mdtInt32, 4}, {u"name", mdtString, 21, 20}, {u"born", mdtDate, 8}, {u"note", mdtString, 11, 10}};
}

inline std::vector<std::vector<Variant>> EditRows() {
    return {{Variant(10), Variant(AnsiString("Anna")), Variant::FromDate(rtl::EncodeDate(1990, 3, 4)), Variant::Null()},
            {Variant(20), Variant(AnsiString("Boris")), Variant::Null(), Variant(AnsiString("x"))}};
}

class DBEditTest : public BoundEditorTest<editors::TDBEditEh> {
protected:
    DBEditTest() : BoundEditorTest(EditCols(), EditRows()) {}
    void SetUp() override {
        BoundEditorTest::SetUp();
        SetUpForm(CreateEditor("Edit"));
    }
    void FocusEdit() { Focus(Edit); }
    void FocusOther() { Focus(Other); }
    db::TField* F(const char* Name) const { return Data.F(Name); }
};

}  // namespace editorstest
