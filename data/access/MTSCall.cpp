#include "data/access/MTSCall.h"

#include <mutex>

#include "framework/rtl/Exceptions.h"

namespace daccess {

namespace {

std::mutex& CoordinatorLock() {
    static std::mutex lock;
    return lock;
}

HRESULT NotLinked(const char*, const char*, const rtl::TGUID&, uint32_t, void*,
                  std::shared_ptr<ICRTransactionDispenserSC>&) {
    throw rtl::Exception(SFunctionNotLinked);
}

// What the host offers in place of the library; null: no library on this platform.
TDtcGetTransactionManagerEx GAvailableEntry = nullptr;
TDtcGetTransactionManagerEx GEntry = NotLinked;
bool GLoaded = false;

}  // namespace

void SetCoordinatorEntry(TDtcGetTransactionManagerEx Entry) {
    std::lock_guard<std::mutex> guard(CoordinatorLock());
    GAvailableEntry = Entry;
    GLoaded = false;
    GEntry = NotLinked;
}

void LoadCoordinator() {
    std::lock_guard<std::mutex> guard(CoordinatorLock());
    if (GLoaded) return;
    if (!GAvailableEntry) throw rtl::Exception(SCannotFindCoordinator);
    GEntry = GAvailableEntry;
    GLoaded = true;
}

void UnloadCoordinator() {
    std::lock_guard<std::mutex> guard(CoordinatorLock());
    GLoaded = false;
    GEntry = NotLinked;
}

bool CoordinatorLoaded() {
    std::lock_guard<std::mutex> guard(CoordinatorLock());
    return GLoaded;
}

HRESULT DtcGetTransactionManagerEx(const char* Host, const char* TmName, const rtl::TGUID& Iid, uint32_t Options,
                                   void* Config, std::shared_ptr<ICRTransactionDispenserSC>& Dispenser) {
    TDtcGetTransactionManagerEx entry;
    {
        std::lock_guard<std::mutex> guard(CoordinatorLock());
        entry = GEntry;
    }
    return entry(Host, TmName, Iid, Options, Config, Dispenser);
}

}  // namespace daccess
