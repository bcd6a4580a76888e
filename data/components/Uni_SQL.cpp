// The universal SQL command: option lines, connection macros, provider errors wrapped, and a
// parameter model in which one named parameter may stand behind several provider descriptors.
#include "data/components/Uni.h"
#include "data/components/UniConsts.h"
#include "data/store/CRParser.h"
#include "framework/rtl/Ownership.h"
#include "framework/rtl/Text.h"

namespace components {

using daccess::TDAParam;
using daccess::TDAParams;

namespace {

TUniProvider* ProviderOf(const daccess::TCustomDAConnection* Connection) {
    auto* conn = dynamic_cast<const TUniConnection*>(Connection);
    return conn ? conn->ProviderIfAny() : nullptr;
}

// Copies of the parameters, so that values survive a rebuild of the collection.
rtl::TOwnedPtr<TDAParams> CopyParams(const TDAParams* Params) {
    rtl::TOwnedPtr<TDAParams> copy(rtl::Create<TDAParams>());
    for (int i = 0; i < Params->Count(); ++i) static_cast<TDAParam*>(copy->Add())->Assign(Params->Items(i));
    return copy;
}

}  // namespace

TUniSQL::TUniSQL(rtl::TComponent* Owner) : TCustomDASQL(Owner) {}

void TUniSQL::AfterConstruction() {
    FSpecificOptions.reset(rtl::Create<TSpecificOptionsHolder>([this]() -> TUniProvider* {
        TUniConnection* conn = UsedUniConnection();
        if (!conn) db::DatabaseError(SConnectionNotDefined);
        return conn->GetProvider();
    }));
    TCustomDASQL::AfterConstruction();
    SetAutoCommit(true);
}

void TUniSQL::BeforeDestruction() {
    FDestroying = true;
    TCustomDASQL::BeforeDestruction();
}

TUniSQL::~TUniSQL() {
    FDestroying = true;
    FParamsMap.clear();
}

daccess::TDAParams* TUniSQL::CreateParams() {
    TUniParams* params = rtl::Create<TUniParams>(this);
    params->SetUniSQL(this);
    return params;
}

TUniConnection* TUniSQL::UsedUniConnection() const { return dynamic_cast<TUniConnection*>(UsedConnection()); }

TUniProvider* TUniSQL::ProviderOrNull() const { return ProviderOf(UsedConnection()); }

void TUniSQL::ClearDescriptorMap() {
    if (!FDestroying) FParamsMap.clear();
}

// ---------------------------------------------------------------------------------------------
// Text

AnsiString TUniSQL::GetFinalSQL() {
    AnsiString text = TCustomDASQL::GetFinalSQL();
    if (FEnableUniSQL)
        if (TUniConnection* conn = UsedUniConnection()) conn->ExpandMacros(text);
    return text;
}

void TUniSQL::RefreshMacroVersion() {
    TUniConnection* conn = UsedUniConnection();
    if (!conn || FMacroVersion == conn->MacroVersion()) return;
    daccess::TCRCommand* cmd = ICommand();
    // A prepared statement is prepared again for its new text; a dataset passes its text at
    // every open anyway.
    const bool reprepare = cmd && !FDataSet && cmd->GetPrepared();
    if (reprepare) cmd->Unprepare();
    if (cmd) SetNativeSQL();
    if (reprepare) {
        try {
            ReraiseAsUniError([cmd] { cmd->Prepare(); });
        } catch (...) {
            // No longer prepared: the connect the preparation held goes with it.
            FMacroVersion = conn->MacroVersion();
            EndConnection();
            throw;
        }
    }
    FMacroVersion = conn->MacroVersion();
}

void TUniSQL::SQLChanged() {
    ClearDescriptorMap();
    FParamsKept = FKeepParams;
    if (!FDataSet && !ProviderOrNull()) {
        // No provider command can hold the text yet: the parameters come from the generic lexer.
        if (ParamCheck() && !FKeepParams) ScanParams(GetFinalSQL(), Params());
        return;
    }
    TCustomDASQL::SQLChanged();
    if (TUniConnection* conn = UsedUniConnection()) FMacroVersion = conn->MacroVersion();
}

void TUniSQL::ScanParams(const AnsiString& Text, TDAParams* Params) {
    if (ProviderOrNull()) {
        TCustomDASQL::ScanParams(Text, Params);
        return;
    }
    rtl::TOwnedPtr<TDAParams> scanned(rtl::Create<TDAParams>());
    ParseSQLParams(Text, scanned.get());
    rtl::TOwnedPtr<TDAParams> old = CopyParams(Params);
    Params->BeginUpdate();
    rtl::TryFinally(
        [&] {
            Params->Clear();
            for (int i = 0; i < scanned->Count(); ++i) {
                const AnsiString name = scanned->Items(i)->Name();
                auto* p = static_cast<TDAParam*>(Params->Add());
                if (TDAParam* prev = old->FindParam(name)) p->Assign(prev);
                p->SetName(name);
            }
        },
        [&] { Params->EndUpdate(); });
}

void TUniSQL::ParseSQLParams(const AnsiString& SQL, TDAParams* Params) {
    rtl::TOwnedPtr<store::TParser> parser(store::TSQLParser::StaticClass().Create(SQL));
    parser->SetSkipBlanks(false);
    parser->SetSkipComments(true);
    parser->SetKeepStringQuotes(true);
    Params->BeginUpdate();
    rtl::TryFinally(
        [&] {
            Params->Clear();
            AnsiString lexem;
            for (int code = parser->GetNext(lexem); code != store::lcEnd; code = parser->GetNext(lexem)) {
                if (code == store::lcString || lexem != ":") continue;
                AnsiString name;
                int nameCode = parser->GetNext(name);
                if (nameCode == store::lcEnd) break;
                if (name == "@") {
                    AnsiString rest;
                    nameCode = parser->GetNext(rest);
                    if (nameCode == store::lcEnd) break;
                    name += rest;
                }
                const bool keyword = nameCode > 0 && !name.empty() && parser->IsAlpha(name.front());
                if (nameCode != store::lcIdent && nameCode != store::lcNumber && !keyword) continue;
                if (name.size() >= 2 && name.front() == '"' && name.back() == '"')
                    name = name.substr(1, name.size() - 2);
                if (Params->FindParam(name)) continue;
                auto* p = static_cast<TDAParam*>(Params->Add());
                p->SetName(name);
                p->SetParamType(db::ptUnknown);
            }
        },
        [&] { Params->EndUpdate(); });
}

// ---------------------------------------------------------------------------------------------
// Parameters and descriptors

void TUniSQL::CreateParamsFromCommand() {
    daccess::TCRCommand* cmd = ICommand();
    if (!cmd) return;
    TUniParams* params = Params();
    rtl::TOwnedPtr<TDAParams> old = CopyParams(params);
    FCreatingParams = true;
    params->BeginUpdate();
    rtl::TryFinally(
        [&] {
            params->Clear();
            FParamsMap.clear();
            for (int i = 0; i < cmd->ParamCount(); ++i) {
                daccess::TParamDesc* desc = cmd->Params(i);
                const AnsiString& name = desc->GetName();
                // Unnamed placeholders are distinct parameters each.
                TUniParam* p = name.empty() ? nullptr : params->FindParam(name);
                if (!p) {
                    p = static_cast<TUniParam*>(params->Add());
                    if (TDAParam* prev = name.empty() ? nullptr : old->FindParam(name))
                        p->Assign(prev);
                    else
                        daccess::ReadParamDesc(*p, *desc, daccess::TDAFieldTypeMap::Instance());
                }
                FParamsMap.push_back(p);
            }
        },
        [&] {
            params->EndUpdate();
            FCreatingParams = false;
        });
}

void TUniSQL::WriteParams(bool WithValues) {
    daccess::TCRCommand* cmd = ICommand();
    if (!cmd) return;
    TUniParams* params = Params();
    const bool changedByUser = params->ParamsChangeType() == daccess::pbByName;
    if ((!ParamCheck() || FKeepParams || FParamsKept) && !changedByUser) {
        TCustomDASQL::WriteParams(WithValues);
        return;
    }
    daccess::TParamDescOptions options;
    if (daccess::TCustomDAConnection* conn = UsedConnection()) {
        options.ConvertEOL = conn->ConvertEOL();
        Variant size;
        if (daccess::TryGetProp(conn->IConnection(), daccess::pidStringParamSize, size))
            options.DefaultSize = size.AsInteger();
    }
    if (TUniProvider* prov = ProviderOrNull()) options.InOutParamSupported = prov->IsOutParamsSupported();
    const store::TFieldTypeMap& map = daccess::TDAFieldTypeMap::Instance();
    const bool mapped = !FParamsMap.empty();
    for (int i = 0; i < cmd->ParamCount(); ++i) {
        daccess::TParamDesc* desc = cmd->Params(i);
        TUniParam* p = nullptr;
        if (mapped)
            p = i < static_cast<int>(FParamsMap.size()) ? FParamsMap[i] : nullptr;
        else {
            p = params->FindParam(desc->GetName());
            FParamsMap.push_back(p);
        }
        if (!p) continue;
        daccess::WriteParamDesc(*p, *desc, map, options);
        if (WithValues) daccess::WriteParamValue(*p, *desc, options);
    }
    if (!changedByUser) {
        params->SetParamsChangeType(daccess::pbByNumber);
        return;
    }
    bool samePositions = cmd->ParamCount() == params->Count();
    for (int i = 0; samePositions && i < params->Count(); ++i)
        samePositions = cmd->Params(i)->GetName() == params->Items(i)->Name();
    if (!samePositions) FParamsMap.clear();
    TCustomDASQL::WriteParams(WithValues);
}

void TUniSQL::ReadOutParams() {
    if (!ParamCheck() || FKeepParams || FParamsKept) {
        TCustomDASQL::ReadOutParams();
        return;
    }
    daccess::TCRCommand* cmd = ICommand();
    if (!cmd) return;
    Variant has;
    if (!daccess::TryGetProp(cmd, daccess::pidHasOutValues, has) || !has.AsBoolean()) return;
    TUniProvider* prov = ProviderOrNull();
    const bool outSupported = prov && prov->IsOutParamsSupported();
    const bool convertEOL = UsedConnection() && UsedConnection()->ConvertEOL();
    for (int i = 0; i < cmd->ParamCount(); ++i) {
        daccess::TParamDesc* desc = cmd->Params(i);
        TUniParam* p = i < static_cast<int>(FParamsMap.size()) ? FParamsMap[i] : Params()->FindParam(desc->GetName());
        if (!p || p->ParamType() == db::ptInput) continue;
        if (outSupported || p->ParamType() != db::ptUnknown) daccess::ReadParamValue(*p, *desc, convertEOL);
    }
    cmd->SetProp(daccess::pidHasOutValues, false);
}

daccess::TDAParam* TUniSQL::FindResultParam() {
    TUniParams* params = Params();
    for (int i = params->Count() - 1; i >= 0; --i) {
        TUniParam* p = params->Items(i);
        if (p->ParamType() != db::ptResult) continue;
        if (p->DataType() == db::ftUnknown) p->SetDataType(db::ftInteger);
        return p;
    }
    return nullptr;
}

// ---------------------------------------------------------------------------------------------
// Connection and execution

daccess::TDATransaction* TUniSQL::UsedTransaction() const {
    if (FLockTransaction && UsedConnection()) return FLockTransaction;
    return TCustomDASQL::UsedTransaction();
}

void TUniSQL::ApplyLinesToCommand() {
    // A dataset's own statement takes the dataset's lines instead.
    if (FDataSet) return;
    daccess::TCRCommand* cmd = ICommand();
    TUniProvider* prov = ProviderOrNull();
    if (!cmd || !prov) return;
    prov->SetObjectProps(cmd, SpecificOptions());
    FSpecificOptions->SetIsModified(false);
}

void TUniSQL::BeginConnection(bool Counted) {
    TCustomDASQL::BeginConnection(Counted);
    // Applied each time: the command may have been made anew since the last statement.
    ApplyLinesToCommand();
    if (!FLockTransaction) FLockTransaction = TCustomDASQL::UsedTransaction();
}

void TUniSQL::EndConnection() {
    TCustomDASQL::EndConnection();
    if (!Prepared()) FLockTransaction = nullptr;
}

void TUniSQL::ClientForgetTransaction(daccess::TDATransaction* Transaction) {
    if (Transaction == FLockTransaction) FLockTransaction = nullptr;
    TCustomDASQL::ClientForgetTransaction(Transaction);
}

void TUniSQL::Prepare() {
    RefreshMacroVersion();
    ReraiseAsUniError([this] { TCustomDASQL::Prepare(); });
}

void TUniSQL::UnPrepare() {
    ReraiseAsUniError([this] { TCustomDASQL::UnPrepare(); });
}

void TUniSQL::ExecuteIters(int Iters) {
    RefreshMacroVersion();
    ReraiseAsUniError([this, Iters] { TCustomDASQL::ExecuteIters(Iters); });
}

}  // namespace components
