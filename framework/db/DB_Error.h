// The dataset layer's error, on its own so that error classes of lower providers need not pull the
// whole dataset contract.
#pragma once

#include "framework/rtl/Exceptions.h"

namespace db {

using rtl::Exception;
RTL_DECLARE_EXCEPTION(EDatabaseError, Exception);

}  // namespace db
