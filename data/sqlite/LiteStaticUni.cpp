#include "data/sqlite/LiteStaticUni.h"

#include "data/sqlite/LiteCallUni.h"

namespace sqlite {

void BindLinkedEngine(TSQLite3API& api) {
#define VELMORAT_SQLITE_LINK(name) api.name = &::name;
    VELMORAT_SQLITE_ENTRY_POINTS(VELMORAT_SQLITE_LINK)
#undef VELMORAT_SQLITE_LINK
    api.sqlite3_key = NoEncryptionStub<Tsqlite3_key>;
    api.sqlite3_rekey = NoEncryptionStub<Tsqlite3_rekey>;
}

}  // namespace sqlite
