// The component layer of data access: the data-access error, the field-type registry, connection
// options, published mapping rules, macros, parameters, the routines that read and rewrite SELECT
// text, and the connection, transaction, SQL command, query dataset and metadata components.
// Each part has its own header, so that a source can include only the parts it uses.
#pragma once

#include "data/access/DBAccess_Common.h"
#include "data/access/DBAccess_Params.h"
#include "data/access/DBAccess_Connection.h"
#include "data/access/DBAccess_DataSet.h"
#include "data/access/DBAccess_Updater.h"
#include "data/access/DBAccess_ConnectDialog.h"
