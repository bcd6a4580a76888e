#include "data/components/UniDump.h"

#include <mutex>

#include "framework/rtl/Clock.h"
#include "framework/rtl/SysUtils.h"

namespace components {

namespace {

// Option lines reach a dump processor through its own set-property operation.
void RegisterDumpProps() {
    static std::once_flag once;
    std::call_once(once, [] {
        TUniProvider::RegisterSetPropHandler("TDADumpProcessor", [](rtl::TObject* Obj, int Prop, const Variant& Value) {
            static_cast<TDADumpProcessor*>(Obj)->SetProp(Prop, Value);
            return true;
        });
    });
}

}  // namespace

TUniDump::TUniDump(rtl::TComponent* Owner) : TDADump(Owner) {
    FSpecificOptions.reset(rtl::Create<TSpecificOptionsHolder>([this]() -> TUniProvider* {
        TUniConnection* conn = Connection();
        return conn ? conn->ProviderIfAny() : nullptr;
    }));
}

TUniDump::~TUniDump() = default;

TUniProvider* TUniDump::Provider() const {
    TUniConnection* conn = Connection();
    if (!conn) throw rtl::Exception(daccess::SConnectionNotDefined);
    return conn->GetProvider();
}

const TDADumpProcessorClass& TUniDump::GetProcessorClass() {
    const rtl::ClassRef& cls = Provider()->GetDumpProcessorClass();
    auto* typed = dynamic_cast<const TDADumpProcessorClass*>(&cls);
    if (!typed) rtl::AssertFail("Assertion failure", DADumpUnit, 0);
    return *typed;
}

void TUniDump::ApplyOptionLines() {
    if (!FProcessor) return;
    if (SpecificOptions()->Count() > 0) {
        RegisterDumpProps();
        Provider()->SetObjectProps(FProcessor.get(), SpecificOptions());
    }
    FSpecificOptions->SetIsModified(false);
}

void TUniDump::SetProcessor(TDADumpProcessor* Value) {
    TDADump::SetProcessor(Value);
    ApplyOptionLines();
}

AnsiString TUniDump::TableNamesRead() {
    daccess::TSQLInfo info(&store::TSQLParser::StaticClass());
    return info.NamesFromList(TableList());
}

void TUniDump::TableNamesWrite(const AnsiString& Value) {
    daccess::TSQLInfo info(&store::TSQLParser::StaticClass());
    info.NamesToList(Value, TableList());
}

TDAScript* TUniDump::CreateScript() { return rtl::Create<TUniScript>(nullptr); }

void TUniDump::BeginConnection() {
    TDADump::BeginConnection();
    if (FSpecificOptions->IsModified()) ApplyOptionLines();
}

void TUniDump::AddHeader(AnsiString& Text) {
    TUniConnection* conn = Connection();
    if (!conn) throw rtl::Exception(daccess::SConnectionNotDefined);
    const AnsiString provider = conn->ProviderName();
    Text = rtl::Format(
        "-- %s version: %s\r\n-- %s server version: %s\r\n-- %s client version: %s\r\n-- Script date %s\r\n"
        "-- ---------------------------------------------------------------------- \r\n-- Server: %s\r\n"
        "-- Database: %s\r\n\r\n",
        {"Marbelon", "4.3.8", provider, conn->ServerVersion(), provider, conn->ClientVersion(),
         rtl::DateTimeToStr(rtl::ClockNow()), conn->Server(), conn->Database()});
}

}  // namespace components
