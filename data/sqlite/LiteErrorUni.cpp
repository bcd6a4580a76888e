#include "data/sqlite/LiteErrorUni.h"
