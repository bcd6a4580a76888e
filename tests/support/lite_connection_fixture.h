// A data-access connection component bound straight to the SQLite provider classes, with the
// provider-connection options a test or a benchmark gives.
#pragma once

#include <utility>
#include <vector>

#include "data/access/DBAccess.h"
#include "data/sqlite/LiteClassesUni.h"
#include "data/sqlite/LiteServicesUni.h"

namespace litetest {

class TLiteTestConnection : public daccess::TCustomDAConnection {
    RTL_CLASS(TLiteTestConnection, daccess::TCustomDAConnection)
public:
    using TCustomDAConnection::TCustomDAConnection;

    const daccess::TCRConnectionClass& GetIConnectionClass() const override {
        return sqlite::TSQLiteConnection::StaticClass();
    }
    const daccess::TCRCommandClass& GetICommandClass() const override { return sqlite::TSQLiteCommand::StaticClass(); }
    const daccess::TCRRecordSetClass& GetIRecordSetClass() const override {
        return sqlite::TSQLiteRecordSet::StaticClass();
    }
    const daccess::TCRMetaDataClass& GetIMetaDataClass() const override {
        return sqlite::TSQLiteMetaData::StaticClass();
    }
    const store::TDataSetServiceClass& GetDataSetServiceClass() const override {
        return LiteDataSetService ? sqlite::TCustomLiteDataSetService::StaticClass()
                                  : TCustomDAConnection::GetDataSetServiceClass();
    }
    void CreateIConnection() override {
        if (IConnection()) return;
        rtl::TOwnedPtr<sqlite::TSQLiteConnection> c(rtl::Create<sqlite::TSQLiteConnection>());
        c->SetProp(daccess::pidDatabase, rtl::Variant(Database));
        for (const auto& [prop, value] : Props) c->SetProp(prop, value);
        SetIConnection(c.release());
    }

    rtl::AnsiString Database;
    // Provider-connection properties (sqlite::pidBusyTimeout, ...), set in this order at each connect.
    std::vector<std::pair<int, rtl::Variant>> Props;
    // Off, datasets get the driver-neutral service rather than the SQLite one.
    bool LiteDataSetService = true;
};

}  // namespace litetest
