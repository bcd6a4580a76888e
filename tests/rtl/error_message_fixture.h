// Moved to tests/support; kept for tests/app/dbmod_fixture.h until it includes it from there.
#pragma once

#include "tests/support/error_message_fixture.h"
