// The layer's access to the system's service-control and network-server functions. This platform
// has neither library: every entry point stays a stub that raises "function is not linked".
#pragma once

#include <cstdint>
#include <mutex>

#include "framework/rtl/Classes.h"

namespace daccess {

inline constexpr const char* SFunctionIsNotLinked = "function is not linked";
inline constexpr const char* SServiceLibrary = "advapi32.dll";
inline constexpr const char* SNetworkLibrary = "netapi32.dll";

// Every entry point has this shape here; nothing in the system calls them.
using TNetEntryPoint = uint32_t (*)(...);

struct TNetworkEntryPoints {
    TNetEntryPoint OpenSCManagerA;
    TNetEntryPoint CloseServiceHandle;
    TNetEntryPoint OpenServiceA;
    TNetEntryPoint EnumServicesStatusA;
    TNetEntryPoint QueryServiceStatus;
    TNetEntryPoint StartServiceA;
    TNetEntryPoint ControlService;
    TNetEntryPoint NetServerEnum;
    TNetEntryPoint NetApiBufferFree;
};

// The process's entry points, bound on first use: the stub for every name neither library exports.
TNetworkEntryPoints& NetworkEntryPoints();

// Holds the servers found on the network, with objects it owns.
class TCRNetManager : public rtl::TObject {
    RTL_CLASS(TCRNetManager, rtl::TObject)
public:
    TCRNetManager();
    ~TCRNetManager() override;

    std::mutex& Lock() noexcept { return FLock; }
    rtl::TStringList* CachedServerList() const noexcept { return FCachedServerList.get(); }
    // Frees the cached list's objects and empties it.
    void ClearCachedServerList();

private:
    std::mutex FLock;
    rtl::TOwnedPtr<rtl::TStringList> FCachedServerList;
};

// The layer's one network manager.
TCRNetManager* CRNetManager();

}  // namespace daccess
