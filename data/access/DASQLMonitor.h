// The SQL monitor component's class-level trace entry points. Every operation of the connection,
// dataset and SQL components calls them; without a monitor (the application creates none) each
// returns at once.
#pragma once

#include <functional>

#include "framework/db/DB_Params.h"
#include "framework/rtl/Classes.h"
#include "framework/rtl/Types.h"

namespace daccess {

using rtl::AnsiString;

enum TDATraceFlag {
    tfQPrepare, tfQExecute, tfQFetch, tfError, tfStmt, tfConnect, tfTransact, tfBlob, tfService, tfMisc,
    tfParams, tfObjDestroy, tfPool
};

using TOnSQLEvent = std::function<void(rtl::TObject* Sender, const AnsiString& Text, TDATraceFlag Flag)>;

class TCustomDASQLMonitor : public rtl::TComponent {
    RTL_CLASS(TCustomDASQLMonitor, rtl::TComponent)
public:
    explicit TCustomDASQLMonitor(rtl::TComponent* Owner);
    void BeforeDestruction() override;

    bool Active() const noexcept { return FActive; }
    void SetActive(bool Value);

    // The active monitor of the process; null when none.
    static TCustomDASQLMonitor* GetMonitor();
    static bool HasMonitor() { return GetMonitor() != nullptr; }

    // Trace points: start and end of one operation. Without a monitor nothing happens; Debug
    // alone has no output to go to in this system.
    static void SQLPrepare(rtl::TObject* Obj, const AnsiString& SQL, const db::TParams* Params, bool Start,
                           bool Debug = false);
    static void SQLExecute(rtl::TObject* Obj, const AnsiString& SQL, const db::TParams* Params,
                           const AnsiString& Operation, bool Start, bool Debug = false);
    static void DBConnect(rtl::TObject* Obj, bool Start);
    static void DBDisconnect(rtl::TObject* Obj, bool Start);
    static void DBError(rtl::TObject* Obj, const AnsiString& Message);

    TOnSQLEvent OnSQL;

private:
    static void Trace(rtl::TObject* Obj, const AnsiString& Text, TDATraceFlag Flag);
    bool FActive = false;
};

}  // namespace daccess
