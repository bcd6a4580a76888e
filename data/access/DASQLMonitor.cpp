#include "data/access/DASQLMonitor.h"

namespace daccess {

namespace {
TCustomDASQLMonitor* gMonitor = nullptr;
}

TCustomDASQLMonitor::TCustomDASQLMonitor(rtl::TComponent* Owner) : TComponent(Owner) {}

void TCustomDASQLMonitor::BeforeDestruction() {
    SetActive(false);
    TComponent::BeforeDestruction();
}

void TCustomDASQLMonitor::SetActive(bool Value) {
    if (Value == FActive) return;
    FActive = Value;
    if (Value)
        gMonitor = this;
    else if (gMonitor == this)
        gMonitor = nullptr;
}

TCustomDASQLMonitor* TCustomDASQLMonitor::GetMonitor() { return gMonitor; }

void TCustomDASQLMonitor::Trace(rtl::TObject* Obj, const AnsiString& Text, TDATraceFlag Flag) {
    TCustomDASQLMonitor* m = gMonitor;
    if (m && m->OnSQL) m->OnSQL(Obj, Text, Flag);
}

void TCustomDASQLMonitor::SQLPrepare(rtl::TObject* Obj, const AnsiString& SQL, const db::TParams*, bool Start,
                                     bool) {
    if (!gMonitor || !Start) return;
    Trace(Obj, "Prepare: " + SQL, tfQPrepare);
}

void TCustomDASQLMonitor::SQLExecute(rtl::TObject* Obj, const AnsiString& SQL, const db::TParams*,
                                     const AnsiString& Operation, bool Start, bool) {
    if (!gMonitor || !Start) return;
    Trace(Obj, Operation + ": " + SQL, tfQExecute);
}

void TCustomDASQLMonitor::DBConnect(rtl::TObject* Obj, bool Start) {
    if (gMonitor && Start) Trace(Obj, "Connect", tfConnect);
}

void TCustomDASQLMonitor::DBDisconnect(rtl::TObject* Obj, bool Start) {
    if (gMonitor && Start) Trace(Obj, "Disconnect", tfConnect);
}

void TCustomDASQLMonitor::DBError(rtl::TObject* Obj, const AnsiString& Message) {
    if (gMonitor) Trace(Obj, "Error: " + Message, tfError);
}

}  // namespace daccess
