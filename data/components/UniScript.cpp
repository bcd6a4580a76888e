#include "data/components/UniScript.h"

#include <mutex>

namespace components {

namespace {

// Option lines reach a script processor through its own set-property operation.
void RegisterScriptProps() {
    static std::once_flag once;
    std::call_once(once, [] {
        TUniProvider::RegisterSetPropHandler("TDAScriptProcessor",
                                             [](rtl::TObject* Obj, int Prop, const Variant& Value) {
                                                 static_cast<TDAScriptProcessor*>(Obj)->SetProp(Prop, Value);
                                                 return true;
                                             });
    });
}

}  // namespace

TUniScript::TUniScript(rtl::TComponent* Owner) : TDAScript(Owner) {
    FSpecificOptions.reset(rtl::Create<rtl::TStringList>());
}

TUniScript::~TUniScript() = default;

TUniConnection* TUniScript::ProcessorConnection() const {
    if (TDAScript::DataSet()) return dynamic_cast<TUniConnection*>(TDAScript::DataSet()->UsedConnection());
    return dynamic_cast<TUniConnection*>(UsedConnection());
}

const TDAScriptProcessorClass& TUniScript::GetProcessorClass() {
    TUniConnection* conn = ProcessorConnection();
    if (!conn) throw rtl::Exception(daccess::SConnectionNotDefined);
    const rtl::ClassRef& cls = conn->GetProvider()->GetScriptProcessorClass();
    auto* typed = dynamic_cast<const TDAScriptProcessorClass*>(&cls);
    if (!typed) rtl::AssertFail("Assertion failure", DAScriptUnit, 0);
    return *typed;
}

void TUniScript::SetProcessor(TDAScriptProcessor* Value) {
    TDAScript::SetProcessor(Value);
    if (!Value || FSpecificOptions->Count() == 0) return;
    TUniConnection* conn = ProcessorConnection();
    if (!conn) return;
    RegisterScriptProps();
    conn->GetProvider()->SetObjectProps(Value, FSpecificOptions.get());
}

daccess::TCustomDASQL* TUniScript::CreateSQL() { return rtl::Create<TUniSQL>(nullptr); }

TUniConnection* TUniScript::Connection() const { return dynamic_cast<TUniConnection*>(InternalSQL()->Connection()); }

void TUniScript::SetConnection(TUniConnection* Value) { InternalSQL()->SetConnection(Value); }

TUniTransaction* TUniScript::Transaction() const {
    return dynamic_cast<TUniTransaction*>(InternalSQL()->Transaction());
}

void TUniScript::SetTransaction(TUniTransaction* Value) { InternalSQL()->SetTransaction(Value); }

bool TUniScript::AutoCommit() const { return InternalSQL()->AutoCommit(); }

void TUniScript::SetAutoCommit(bool Value) { InternalSQL()->SetAutoCommit(Value); }

}  // namespace components
