// Direct mode: the entry-point table bound to the SQLite engine the program is linked with.
#pragma once

namespace sqlite {

class TSQLite3API;

// Binds every slot to the linked engine's function of the same name. The key pair has no linked
// page codec yet, so it keeps the missing-encryption stub.
void BindLinkedEngine(TSQLite3API& api);

}  // namespace sqlite
