// Moving the edited text back into the current column's field.
#include "controls/grid/DBGridEh.h"

namespace grid {

namespace {

// The key of Text's pick-list entry; -1 when the text is not listed or its entry has no key.
int KeyIndexOf(TColumnEh* Column, const AnsiString& Text) {
    const int i = Column->PickList()->IndexOf(Text);
    return i >= 0 && i < Column->KeyList()->Count() ? i : -1;
}

}  // namespace

void TCustomDBGridEh::WriteCellEditText() {
    TColumnEh* column = CurrentColumn();
    if (!column) return;
    if (!column->Field()) {
        column->UpdateDataValue(FEditText, Variant(FEditText), true);
        return;
    }
    switch (column->CellKind()) {
        case cckPickList:
            if (column->OnNotInList && column->PickList()->IndexOf(FEditText) < 0) {
                bool recheck = false;
                column->OnNotInList(column, FEditText, recheck);
            }
            column->UpdateDataValue(FEditText, Variant(FEditText), true);
            return;
        case cckKeyPickList: {
            int k = KeyIndexOf(column, FEditText);
            if (k < 0 && column->OnNotInList && !FEditText.empty()) {
                bool recheck = false;
                column->OnNotInList(column, FEditText, recheck);
                if (recheck) k = KeyIndexOf(column, FEditText);
                if (k < 0) FEditValue = Variant::Null();
            } else if (k < 0 && FEditText.empty()) {
                FEditValue = Variant::Null();
            }
            if (k >= 0) FEditValue = Variant(column->KeyList()->Strings(k));
            column->UpdateDataValue(FEditText, FEditValue, false);
            return;
        }
        default: column->UpdateDataValue(FEditText, Variant(FEditText), true); return;
    }
}

}  // namespace grid
