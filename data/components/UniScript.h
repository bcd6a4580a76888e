// The script component of the universal front end: statements run through a TUniSQL on a
// TUniConnection, split by the processor the connection's provider names.
#pragma once

#include "data/components/DAScript.h"
#include "data/components/Uni.h"

namespace components {

class TUniScript : public TDAScript {
    RTL_CLASS(TUniScript, TDAScript)
public:
    explicit TUniScript(rtl::TComponent* Owner);
    ~TUniScript() override;

    // "Connection is not defined" without a connection, else the provider's processor class.
    const TDAScriptProcessorClass& GetProcessorClass() override;
    // Installs the processor and applies the option lines to it.
    void SetProcessor(TDAScriptProcessor* Value) override;
    daccess::TCustomDASQL* CreateSQL() override;

    TUniConnection* Connection() const;
    void SetConnection(TUniConnection* Value);
    TUniTransaction* Transaction() const;
    void SetTransaction(TUniTransaction* Value);
    TCustomUniDataSet* DataSet() const { return dynamic_cast<TCustomUniDataSet*>(TDAScript::DataSet()); }
    void SetDataSet(TCustomUniDataSet* Value) { TDAScript::SetDataSet(Value); }
    // Plain lines, applied to the processor as written.
    rtl::TStrings* SpecificOptions() const noexcept { return FSpecificOptions.get(); }
    bool AutoCommit() const;
    void SetAutoCommit(bool Value);

private:
    TUniConnection* ProcessorConnection() const;

    rtl::TOwnedPtr<rtl::TStringList> FSpecificOptions;
};

}  // namespace components
