// Filter expression slots of the store. The expression parser and evaluator are still to come:
// a blank text installs no expression and any other text is refused, so that a filter is never
// silently ignored.
#include "data/store/DAConsts.h"
#include "data/store/MemData_Store.h"

namespace store {

void TData::ParseFilter(const AnsiString& Text) {
    FreeFilterExpression();
    if (Text.find_first_not_of(" \t\r\n") == AnsiString::npos) return;
    throw rtl::Exception(SIllegalFilter);
}

void TData::FreeFilterExpression() noexcept { FFilterExpression = nullptr; }

bool TData::EvaluateFilterExpression(void* /*RecBuf*/) { return true; }

}  // namespace store
