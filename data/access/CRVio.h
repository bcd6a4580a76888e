// Settings of the network transport that connections and pooled connection parameters carry.
// The transport itself adds its classes to this unit.
#pragma once

#include "framework/rtl/Classes.h"
#include "framework/rtl/Types.h"

namespace daccess {

using rtl::AnsiString;

// The custom I/O component a connection can be given; no subclass exists in the system.
class TCRIOHandler;

class TProxyOptions : public rtl::TPersistent {
    RTL_CLASS(TProxyOptions, rtl::TPersistent)
public:
    AnsiString Hostname;
    int Port = 0;
    AnsiString Username;
    AnsiString Password;

    void Assign(rtl::TPersistent* Source) override {
        if (auto* src = dynamic_cast<TProxyOptions*>(Source)) {
            Hostname = src->Hostname;
            Port = src->Port;
            Username = src->Username;
            Password = src->Password;
            return;
        }
        rtl::TPersistent::Assign(Source);
    }
    bool Equals(const TProxyOptions& Other) const {
        return Hostname == Other.Hostname && Port == Other.Port && Username == Other.Username &&
               Password == Other.Password;
    }
};

class THttpOptions : public rtl::TPersistent {
    RTL_CLASS(THttpOptions, rtl::TPersistent)
public:
    THttpOptions() : FProxyOptions(rtl::Create<TProxyOptions>()) {}

    AnsiString Url;
    AnsiString Username;
    AnsiString Password;
    TProxyOptions* ProxyOptions() const noexcept { return FProxyOptions.get(); }

    void Assign(rtl::TPersistent* Source) override {
        if (auto* src = dynamic_cast<THttpOptions*>(Source)) {
            Url = src->Url;
            Username = src->Username;
            Password = src->Password;
            FProxyOptions->Assign(src->FProxyOptions.get());
            return;
        }
        rtl::TPersistent::Assign(Source);
    }
    bool Equals(const THttpOptions& Other) const {
        return Url == Other.Url && Username == Other.Username && Password == Other.Password &&
               FProxyOptions->Equals(*Other.FProxyOptions);
    }

private:
    rtl::TOwnedPtr<TProxyOptions> FProxyOptions;
};

}  // namespace daccess
