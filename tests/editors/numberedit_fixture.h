// The number editor's dataset: qty integer, price float, sum currency, amount BCD(10,2).
#pragma once

#include "controls/editors/DBCtrlsEh_Editors.h"
#include "tests/support/editorform_fixture.h"

namespace editorstest {

inline std::vector<memdstest::TCol> NumberCols() {
    using namespace store;
    return {{u"qty", mdtInt32, 4},
            {u"price", mdtFloat, 8},
            {u"sum", mdtCurrency, 8},
            {u"amount", mdtBCD, 34, 10, false, false, 2}};
}

}  // namespace editorstest
