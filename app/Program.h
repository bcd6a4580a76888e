// The program's start and end: its units started from one explicit list (the order matters and
// static initialisers have none), the data module first, then the forms.
#pragma once

#include "app/AppServices.h"

namespace app {

// The application title, the help, the data module over the working folder's database and the
// forms, each kept in its global. Errors of the data module's start are shown, never thrown.
void StartProgram(IAppServices& Services);
// Frees what StartProgram made, in reverse order.
void EndProgram();

}  // namespace app
