#include "data/access/CRNetManager.h"

#include "framework/rtl/Exceptions.h"

namespace daccess {

namespace {

uint32_t NotLinked(...) { throw rtl::Exception(SFunctionIsNotLinked); }

}  // namespace

TNetworkEntryPoints& NetworkEntryPoints() {
    // Neither library exists on this platform, so no stub is replaced.
    static TNetworkEntryPoints entries{NotLinked, NotLinked, NotLinked, NotLinked, NotLinked,
                                       NotLinked, NotLinked, NotLinked, NotLinked};
    return entries;
}

TCRNetManager::TCRNetManager() : FCachedServerList(rtl::Create<rtl::TStringList>()) {}

TCRNetManager::~TCRNetManager() { ClearCachedServerList(); }

void TCRNetManager::ClearCachedServerList() {
    std::lock_guard<std::mutex> guard(FLock);
    for (int i = 0; i < FCachedServerList->Count(); ++i) rtl::TObject::Free(FCachedServerList->Objects(i));
    FCachedServerList->Clear();
}

TCRNetManager* CRNetManager() {
    static rtl::TOwnedPtr<TCRNetManager> manager(rtl::Create<TCRNetManager>());
    return manager.get();
}

}  // namespace daccess
