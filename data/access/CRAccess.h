// The abstract provider layer: connection, command with parameter descriptors, record set,
// transaction, SQL dialect information, metadata reader, loader and alerter. A provider derives
// from these classes; the component layer talks to a provider only through them and through the
// integer property ids. Each part has its own header, so that a source can include only the parts
// it uses.
#pragma once

#include "data/access/CRAccess_Types.h"
#include "data/access/CRAccess_SQLInfo.h"
#include "data/access/CRAccess_Command.h"
#include "data/access/CRAccess_Connection.h"
#include "data/access/CRAccess_RecordSet.h"
#include "data/access/CRAccess_MetaData.h"
