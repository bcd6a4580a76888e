// The dump component of the universal front end: the processor comes from the connection's
// provider, restores run through a TUniScript, and backups begin with the universal header.
#pragma once

#include "data/components/DADump.h"
#include "data/components/Uni.h"
#include "data/components/UniScript.h"

namespace components {

class TUniDump : public TDADump {
    RTL_CLASS(TUniDump, TDADump)
public:
    explicit TUniDump(rtl::TComponent* Owner);
    ~TUniDump() override;

    const TDADumpProcessorClass& GetProcessorClass() override;
    void SetProcessor(TDADumpProcessor* Value) override;
    // The names joined with ";".
    AnsiString TableNamesRead() override;
    // Split at "," and ";" into trimmed, non-empty names.
    void TableNamesWrite(const AnsiString& Value) override;
    TDAScript* CreateScript() override;
    void BeginConnection() override;
    void AddHeader(AnsiString& Text) override;

    TUniConnection* Connection() const { return dynamic_cast<TUniConnection*>(TDADump::Connection()); }
    void SetConnection(TUniConnection* Value) { TDADump::SetConnection(Value); }
    TSpecificOptionsList* SpecificOptions() const { return FSpecificOptions->Values(); }

private:
    TUniProvider* Provider() const;
    void ApplyOptionLines();

    rtl::TOwnedPtr<TSpecificOptionsHolder> FSpecificOptions;
};

}  // namespace components
