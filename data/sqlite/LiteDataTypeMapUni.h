// SQLite's database type codes in the provider-neutral type mapping: the codes and their names,
// the declared-type parser, the storage-class map and the fetch paths a mapping rule may ask for.
#pragma once

#include <cstdint>

#include "data/access/CRDataTypeMap.h"
#include "framework/rtl/Types.h"

namespace sqlite {

using rtl::AnsiString;

inline constexpr uint16_t liteBase = 600;
inline constexpr uint16_t liteInteger = 601;
inline constexpr uint16_t liteReal = 602;
inline constexpr uint16_t liteText = 603;
inline constexpr uint16_t liteBlob = 604;
inline constexpr uint16_t liteUnknown = 605;
inline constexpr uint16_t liteTinyInt = 606;
inline constexpr uint16_t liteInt2 = 607;
inline constexpr uint16_t liteSmallInt = 608;
inline constexpr uint16_t liteInt = 609;
inline constexpr uint16_t liteMediumInt = 610;
inline constexpr uint16_t liteBigInt = 611;
inline constexpr uint16_t liteUBigInt = 612;
inline constexpr uint16_t liteInt8 = 613;
inline constexpr uint16_t liteInt64 = 614;
inline constexpr uint16_t liteChar = 615;
inline constexpr uint16_t liteVarChar = 616;
inline constexpr uint16_t liteClob = 617;
inline constexpr uint16_t liteFloat = 618;
inline constexpr uint16_t liteDouble = 619;
inline constexpr uint16_t liteNumeric = 620;
inline constexpr uint16_t liteDecimal = 621;
inline constexpr uint16_t liteNumber = 622;
inline constexpr uint16_t liteMoney = 623;
inline constexpr uint16_t liteBool = 624;
inline constexpr uint16_t liteBinary = 625;
inline constexpr uint16_t liteVarBinary = 626;
inline constexpr uint16_t liteDate = 627;
inline constexpr uint16_t liteTime = 628;
inline constexpr uint16_t liteDateTime = 629;
inline constexpr uint16_t liteTimestamp = 630;

// Enters the SQLite types into the global registry; later calls do nothing.
void RegisterSQLiteTypes();

class TLiteConverterManager : public daccess::TConverterManager {
    RTL_CLASS(TLiteConverterManager, daccess::TConverterManager)
public:
    TLiteConverterManager();

    uint16_t GetDBProvider() const override { return liteBase; }

    // Splits a declared type such as "VARCHAR(50)" into its code, length and scale; TypeName
    // leaves upper-cased and without its bracket part. Length and scale are -1 when not stated
    // or not a usable size.
    static uint16_t ParseDeclaredType(AnsiString& TypeName, int32_t& Length, int32_t& Scale);
    // The code of an engine storage class (1 INTEGER .. 5 NULL); length and scale become -1.
    static uint16_t TypeOfStorageClass(int StorageClass, int32_t& Length, int32_t& Scale);
};

// The one SQLite converter manager of the process; the SQLite types are registered before it.
TLiteConverterManager* LiteConverterManager();

}  // namespace sqlite
