// The row cursor the test datasets share: -1 stands before the first row, Count after the last.
#pragma once

#include "framework/db/DB.h"

namespace dbtest {

// Moves Cursor as GetRecordStep asks; grOK when it then stands on a row.
inline db::TGetResult StepCursor(int& Cursor, int Count, db::TGetMode Mode) {
    switch (Mode) {
        case db::gmNext:
            if (Cursor < Count) ++Cursor;
            if (Cursor >= Count) return db::grEOF;
            break;
        case db::gmPrior:
            if (Cursor >= 0) --Cursor;
            if (Cursor < 0) return db::grBOF;
            break;
        case db::gmCurrent:
            if (Cursor < 0 || Cursor >= Count) return db::grError;
            break;
    }
    return db::grOK;
}

}  // namespace dbtest
