// The messages are inline constants; this unit exists so the header is compiled on its own.
#include "data/store/DAConsts.h"
