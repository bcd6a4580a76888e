// The SQL monitor of the universal components: one instance per process receives the traces of
// every universal connection and of its datasets, SQL components and transactions.
#pragma once

#include "data/access/DASQLMonitor.h"

namespace components {

using rtl::AnsiString;

class TUniSQLMonitor : public daccess::TCustomDASQLMonitor {
    RTL_CLASS(TUniSQLMonitor, daccess::TCustomDASQLMonitor)
public:
    using TCustomDASQLMonitor::TCustomDASQLMonitor;
    AnsiString GetCaption() const override { return "Marbelon"; }
};

}  // namespace components
