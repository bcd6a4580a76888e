// The monitor class the components of this layer name.
#include "data/access/DASQLMonitor.h"
#include "data/access/DBAccess_Connection.h"

namespace daccess {

const rtl::ClassRef& TCustomDAConnection::SQLMonitorClass() const { return TCustomDASQLMonitor::StaticClass(); }

}  // namespace daccess
