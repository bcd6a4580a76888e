#include "data/components/UniSQLMonitor.h"

#include "data/components/Uni.h"

namespace components {

// The first monitor made registers itself (the base does so for every class); a later one leaves
// it in place, and destroying it clears the registration.
const rtl::ClassRef& TUniConnection::SQLMonitorClass() const { return TUniSQLMonitor::StaticClass(); }

}  // namespace components
