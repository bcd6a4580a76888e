// The provider layer's messages, property ids and the types its classes share.
#pragma once

#include <cstdint>
#include <functional>

#include "data/store/CRFieldEncryptor.h"
#include "data/store/MemData.h"
#include "framework/rtl/Classes.h"
#include "framework/rtl/Exceptions.h"
#include "framework/rtl/Variant.h"

namespace daccess {

using rtl::AnsiString;
using rtl::Variant;
using rtl::WideString;

// The unit the provider layer's consistency checks report.
inline constexpr const char* CRAccessUnit = "CRAccess";

// Messages of the provider layer.
inline constexpr const char* SMSDTCNotSupported = "MS DTC transactions not supported";
inline constexpr const char* SOperationNotSupported = "Operation is not supported by the database";
inline constexpr const char* SDataTypeCannotBeEncrypted = "Data type cannot be encrypted: %s";
inline constexpr const char* SCannotEncryptValue = "Value of parameter %s cannot be encrypted";
inline constexpr const char* SListIndexOutOfBounds = "List index out of bounds (%d)";
inline constexpr const char* SFieldPrefix = "Field: ";
inline constexpr const char* STransactionInactive = "Can't perform operation on inactive transaction";
inline constexpr const char* STransactionActive = "Can't perform operation on active transaction";
inline constexpr const char* SConnectionInTransactionNotActive =
    "One of the connections in the transaction is not active";
inline constexpr const char* SUnsupportedIsolationLevelMTS = "Transaction isolation level is not supported with MTS";
inline constexpr const char* SUnsupportedMetaDataKind = "Unsupported metadata kind";
inline constexpr const char* STableNameNotDefined = "TableName must be defined";
inline constexpr const char* SInvalidColumnNumber = "Invalid column number";
inline constexpr const char* SInvalidRowNumber = "Invalid row number";
inline constexpr const char* SEventsNotSupported = "Event notification is not supported by DBMS or provider";

// Raises the assertion of a property id that a class does not handle: the text is the id.
[[noreturn]] void PropertyIdFault(int Prop, const char* Unit = CRAccessUnit);

// ---------------------------------------------------------------------------------------------
// Property ids: one id space for every provider class; ids from 1001 belong to SQLite.

inline constexpr int pidUsername = 1;
inline constexpr int pidAutoCommit = 5;
inline constexpr int pidScanParams = 11;
inline constexpr int pidRowsAffected = 13;
inline constexpr int pidUniDirectional = 20;
inline constexpr int pidFetchRows = 21;
inline constexpr int pidFetchAll = 22;
inline constexpr int pidRecordCount = 23;
inline constexpr int pidExecuting = 24;
inline constexpr int pidLongStrings = 25;
inline constexpr int pidFlatBuffers = 27;
inline constexpr int pidConvertEOL = 28;
inline constexpr int pidIndexFieldNames = 29;
inline constexpr int pidCompressBlobMode = 30;
inline constexpr int pidDisconnectedMode = 31;
inline constexpr int pidDisableParamScan = 32;
// Accepted by commands without effect; nothing sets it.
inline constexpr int pidCommandReserved33 = 33;
inline constexpr int pidQuoteNames = 34;
inline constexpr int pidIsolationLevel = 35;
inline constexpr int pidTransactionReadOnly = 37;
inline constexpr int pidDatabase = 38;
inline constexpr int pidPort = 39;
inline constexpr int pidStringParamSize = 40;
inline constexpr int pidEnableBCD = 41;
inline constexpr int pidEnableFMTBCD = 42;
inline constexpr int pidHasOutValues = 43;
inline constexpr int pidReadOnly = 44;
inline constexpr int pidIsStoredProc = 45;
inline constexpr int pidRowsAffectedOnOpen = 46;
inline constexpr int pidLockFetchAll = 47;
inline constexpr int pidDefaultSortType = 48;
inline constexpr int pidLastInsertId = 49;
inline constexpr int pidExtendedFieldsInfo = 51;
inline constexpr int pidDefaultValues = 52;
inline constexpr int pidFieldsOrigin = 53;
inline constexpr int pidDescribesParams = 54;
inline constexpr int pidRefreshAfterUpdate = 55;
inline constexpr int pidEncryptedFields = 56;
inline constexpr int pidHttpUrl = 57;
inline constexpr int pidHttpUsername = 58;
inline constexpr int pidHttpPassword = 59;
inline constexpr int pidProxyHostname = 60;
inline constexpr int pidProxyPort = 61;
inline constexpr int pidProxyUsername = 62;
inline constexpr int pidProxyPassword = 63;

// ---------------------------------------------------------------------------------------------
// Shared types

class TCRConnection;
class TCRCommand;
class TCRRecordSet;
class TCRTransaction;
class TMTSTransaction;
class TSQLInfo;
class TCRTableInfo;
class TCRTablesInfo;
class TColumnsInfo;
class TParamDesc;
class TParamDescs;
class TCRConnectionPool;
class TCRMetaData;
class TCRLoader;
class ICRTransactionDispenserSC;
class ICRTransactionSC;

// The operation a lost connection interrupted.
enum TConnLostCause : uint8_t {
    clUnknown,
    clExecute,
    clOpen,
    clRefresh,
    clApply,
    clServiceQuery,
    clTransStart,
    clConnectionApply,
    clConnect
};

// Makes the caller repeat the interrupted operation after a successful reconnect.
class EFailOver : public rtl::Exception {
public:
    explicit EFailOver(TConnLostCause Cause) : Exception(""), FConnLostCause(Cause) {}
    TConnLostCause ConnLostCause() const noexcept { return FConnLostCause; }
    const char* ClassName() const noexcept override { return "EFailOver"; }
    bool InheritsFromName(std::string_view name) const noexcept override {
        return name == "EFailOver" || Exception::InheritsFromName(name);
    }
    std::unique_ptr<rtl::Exception> Clone() const override { return std::make_unique<EFailOver>(*this); }
    [[noreturn]] void Raise() const override { throw *this; }

private:
    TConnLostCause FConnLostCause;
};

enum TCRIsolationLevel : uint8_t {
    ilReadCommitted,
    ilReadUnCommitted,
    ilRepeatableRead,
    ilIsolated,
    ilSnapshot,
    ilCustom
};
enum TCRTransactionAction : uint8_t { taCommit, taRollback };

// The connection's error hook: (error, caller's fail flag, out cause, retry count, out re-execute,
// in/out reconnect).
using TErrorProc = std::function<void(rtl::Exception* E, bool* Fail, TConnLostCause& Cause, int RetryCount,
                                      bool& Reexecute, bool& Reconnect)>;
using TReconnectProc = std::function<void()>;
using TNotifyProc = std::function<void()>;
using TBeforeFetchProc = std::function<void(bool& Cancel)>;

// Cursor states of a command.
inline constexpr uint8_t csInactive = 0;
inline constexpr uint8_t csPrepared = 3;
inline constexpr uint8_t csExecuting = 7;
inline constexpr uint8_t csFetching = 8;
inline constexpr uint8_t csFetchingAll = 9;
inline constexpr uint8_t csFetched = 10;

// Command kinds a provider records at prepare.
inline constexpr uint8_t ctUnknown = 0;
inline constexpr uint8_t ctStatement = 1;
inline constexpr uint8_t ctCursor = 2;

using store::ekAnsiString;
using store::ekBlob;
using store::ekBytes;
using store::ekWideString;

// Encrypts Length bytes of Data of the given kind into Result; returns the encrypted length, 0
// when nothing was produced.
using TEncryptValueFunc = std::function<int(const void* Data, int Length, int Kind, Variant& Result)>;

using store::TCRFieldEncryptor;

}  // namespace daccess
