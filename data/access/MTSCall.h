// The distributed transaction coordinator's interfaces and the binding of its library. This
// platform ships no coordinator: binding fails with "Can not find xolehlp.dll" unless a host has
// installed an in-process coordinator entry point.
#pragma once

#include <cstdint>
#include <memory>

#include "framework/rtl/Types.h"

namespace daccess {

using HRESULT = int32_t;
inline constexpr HRESULT S_OK = 0;
inline bool Succeeded(HRESULT hr) noexcept { return hr >= 0; }

inline constexpr const char* SCoordinatorLibrary = "xolehlp.dll";
inline constexpr const char* SCoordinatorEntry = "DtcGetTransactionManagerEx";
inline constexpr const char* SCannotFindCoordinator = "Can not find xolehlp.dll";
inline constexpr const char* SFunctionNotLinked = "Function is not linked";

// Interface identifiers of the coordinator's interfaces.
inline constexpr rtl::TGUID IID_ITransactionDispenser = {
    0x3A6AD9E1, 0x23B9, 0x11CF, {0xAD, 0x60, 0x00, 0xAA, 0x00, 0xA7, 0x4C, 0xCD}};
inline constexpr rtl::TGUID IID_ITransaction = {
    0x0FB15084, 0xAF41, 0x11CE, {0xBD, 0x2B, 0x20, 0x4C, 0x4F, 0x4F, 0x50, 0x20}};

// The coordinator's isolation levels.
inline constexpr int32_t ISOLATIONLEVEL_READUNCOMMITTED = 0x100;
inline constexpr int32_t ISOLATIONLEVEL_READCOMMITTED = 0x1000;
inline constexpr int32_t ISOLATIONLEVEL_REPEATABLEREAD = 0x10000;
inline constexpr int32_t ISOLATIONLEVEL_SERIALIZABLE = 0x100000;

// A running distributed transaction.
class ICRTransactionSC {
public:
    virtual ~ICRTransactionSC() = default;
    virtual HRESULT Commit(bool Retaining, uint32_t grfTC, uint32_t grfRM) = 0;
    virtual HRESULT Abort(const rtl::TGUID* Reason, bool Retaining, bool Async) = 0;
};

// Hands out distributed transactions.
class ICRTransactionDispenserSC {
public:
    virtual ~ICRTransactionDispenserSC() = default;
    virtual HRESULT BeginTransaction(void* Outer, int32_t IsoLevel, uint32_t IsoFlags, void* Options,
                                     std::shared_ptr<ICRTransactionSC>& Transaction) = 0;
};

// The coordinator's entry point: (host, manager name, interface id, options, configuration, out
// dispenser).
using TDtcGetTransactionManagerEx = HRESULT (*)(const char* Host, const char* TmName, const rtl::TGUID& Iid,
                                                uint32_t Options, void* Config,
                                                std::shared_ptr<ICRTransactionDispenserSC>& Dispenser);

// Binds the coordinator once; "Can not find xolehlp.dll" when there is none.
void LoadCoordinator();
void UnloadCoordinator();
// The bound entry point; until an entry is found it raises "Function is not linked".
HRESULT DtcGetTransactionManagerEx(const char* Host, const char* TmName, const rtl::TGUID& Iid, uint32_t Options,
                                   void* Config, std::shared_ptr<ICRTransactionDispenserSC>& Dispenser);
// Makes a coordinator available in-process, as a host with one would (null removes it); the next
// LoadCoordinator binds it.
void SetCoordinatorEntry(TDtcGetTransactionManagerEx Entry);
bool CoordinatorLoaded();

}  // namespace daccess
