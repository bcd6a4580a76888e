// The benches open SQLite through the same connection class as the tests.
#pragma once

#include "tests/support/lite_connection_fixture.h"

namespace bench {
using TLiteBenchConnection = litetest::TLiteTestConnection;
}  // namespace bench
