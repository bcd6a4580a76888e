// A small provider for the tests of the provider layer: provider objects that record every property
// they are sent, and option lists shaped like a real provider's.
#pragma once

#include <utility>
#include <vector>

#include "data/components/UniProvider.h"
#include "framework/rtl/Ownership.h"
#include "tests/support/fake_provider.h"

namespace uptest {

using rtl::AnsiString;
using rtl::Variant;

using TPropLog = std::vector<std::pair<int, Variant>>;

class TRecConnection : public fake::TFakeConnection {
    RTL_CLASS(TRecConnection, fake::TFakeConnection)
public:
    bool SetProp(int Prop, const Variant& Value) override {
        Log.emplace_back(Prop, Value);
        return true;
    }
    TPropLog Log;
};

class TRecCommand : public fake::TFakeCommand {
    RTL_CLASS(TRecCommand, fake::TFakeCommand)
public:
    bool SetProp(int Prop, const Variant& Value) override {
        Log.emplace_back(Prop, Value);
        return true;
    }
    TPropLog Log;
};

class TRecRecordSet : public fake::TFakeRecordSet {
    RTL_CLASS(TRecRecordSet, fake::TFakeRecordSet)
public:
    void CreateCommand() override { SetCommand(rtl::Create<TRecCommand>()); }
    bool SetProp(int Prop, const Variant& Value) override {
        Log.emplace_back(Prop, Value);
        return true;
    }
    TRecCommand* RecCommand() const { return static_cast<TRecCommand*>(GetCommand()); }
    TPropLog Log;
};

enum TTestAlgorithm { taTripleDES, taBlowfish, taAES128, taAES192, taAES256, taCast128, taRC4, taDefault };

// Named after one of the registry's entries so that its lines carry a real prefix.
template <const char* ProvName>
class TTestProviderT : public components::TUniProvider {
    RTL_CLASS(TTestProviderT, components::TUniProvider)
public:
    explicit TTestProviderT(rtl::TComponent* Owner) : TUniProvider(Owner) {}
    static AnsiString GetProviderName() { return ProvName; }

    components::TOptionsList* GetConnectionOptions() override {
        if (!FConnectionOptions) {
            FConnectionOptions.reset(NewOptionsList());
            const std::vector<const rtl::ClassRef*> conn{&TRecConnection::StaticClass()};
            auto* list = FConnectionOptions.get();
            list->AddOption(rtl::Adopt(new components::TBooleanOption("ASCIIDataBase", false, conn, 1005)));
            list->AddOption(rtl::Adopt(new components::TIntegerOption("BusyTimeout", 0, conn, 1007)));
            list->AddOption(rtl::Adopt(new components::TStringOption("ClientLibrary", "", conn, 1002)));
            list->AddOption(rtl::Adopt(new components::TBooleanOption("EnableSharedCache", false, conn, 1006)));
            list->AddOption(rtl::Adopt(new components::TBooleanOption("ReadUncommitted", false, conn, 1008)));
            list->AddOption(rtl::Adopt(new components::TBooleanOption("ForeignKeys", true, conn, 1013)));
            list->AddOption(rtl::Adopt(new components::TEnumeratorOption(
                "EncryptionAlgorithm", static_cast<unsigned char>(taDefault), conn, 1016, "TTestAlgorithm",
                {"taTripleDES", "taBlowfish", "taAES128", "taAES192", "taAES256", "taCast128", "taRC4", "taDefault"})));
        }
        return FConnectionOptions.get();
    }
    components::TOptionsList* GetSQLOptions() override { return EnsureList(FSQLOptions); }
    components::TOptionsList* GetDataSetOptions() override {
        if (!FDataSetOptions) {
            FDataSetOptions.reset(NewOptionsList());
            const std::vector<const rtl::ClassRef*> rs{&TRecRecordSet::StaticClass(), &TRecCommand::StaticClass()};
            FDataSetOptions->AddOption(rtl::Adopt(new components::TBooleanOption("ExtendedFieldsInfo", true, rs, 51)));
            FDataSetOptions->AddOption(rtl::Adopt(new components::TBooleanOption("FetchAll", false, rs, 22)));
        }
        return FDataSetOptions.get();
    }
};

inline constexpr char kSQLite[] = "SQLite";
inline constexpr char kDBF[] = "DBF";
using TTestProvider = TTestProviderT<kSQLite>;
using TDBFProvider = TTestProviderT<kDBF>;

}  // namespace uptest
