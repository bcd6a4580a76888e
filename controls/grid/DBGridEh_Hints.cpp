// The grid's tool-tip window.
#include "controls/grid/DBGridEh.h"

namespace grid {

ui::TRect TToolTipsWindow::CalcHintRect(int MaxWidth, const AnsiString& Hint, void* Data) {
    ui::TRect r = editors::TToolTipsWindow::CalcHintRect(MaxWidth, Hint, Data);
    if (Data) Font()->SetColor(ui::clWindowText);
    return r;
}

}  // namespace grid
