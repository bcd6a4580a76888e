#include "data/sqlite/LiteDataTypeMapUni.h"

#include <mutex>
#include <string_view>

#include "data/store/DAConsts.h"
#include "framework/rtl/Exceptions.h"
#include "framework/rtl/Text.h"

namespace sqlite {

using namespace store;
using daccess::DBTypeInfos;

namespace {

std::string_view TrimBlanks(std::string_view s) {
    while (!s.empty() && static_cast<unsigned char>(s.front()) <= ' ') s.remove_prefix(1);
    while (!s.empty() && static_cast<unsigned char>(s.back()) <= ' ') s.remove_suffix(1);
    return s;
}

// A size in brackets: a decimal number. Anything else, and a negative number, which no column can
// have, reads as -1 (not stated).
int32_t ReadSize(std::string_view s) {
    s = TrimBlanks(s);
    if (!s.empty() && s.front() == '+') s.remove_prefix(1);
    if (s.empty()) return -1;
    int64_t value = 0;
    for (char c : s) {
        if (c < '0' || c > '9') return -1;
        value = value * 10 + (c - '0');
        if (value > INT32_MAX) return -1;
    }
    return static_cast<int32_t>(value);
}

uint16_t ClassifyTypeName(std::string_view name) {
    auto is = [name](std::string_view s) { return name == s; };
    auto starts = [name](std::string_view s) { return name.starts_with(s); };
    auto has = [name](std::string_view s) { return name.find(s) != std::string_view::npos; };

    if (is("NULL")) return liteUnknown;
    if (is("INT2") || starts("SMALLINT") || starts("SMALL INT")) return liteSmallInt;
    if (starts("TINYINT") || starts("TINY INT")) return liteTinyInt;
    if (starts("BIGINT") || starts("BIG INT")) return liteBigInt;
    if (starts("UNSIGNED BIGINT") || starts("UNSIGNED BIG INT") || is("INT8") || is("INT64")) return liteUBigInt;
    if (is("INTEGER")) return liteInteger;
    if (is("INT")) return liteInt;
    if (starts("MEDIUMINT") || starts("MEDIUM INT")) return liteMediumInt;
    if (has("INT")) return liteInt;
    if (has("VARCHAR")) return liteVarChar;
    if (has("CHAR")) return liteChar;
    if (is("TEXT")) return liteText;
    if (starts("CLOB")) return liteClob;
    if (is("BLOB")) return liteBlob;
    if (starts("FLOAT")) return liteFloat;
    if (is("REAL")) return liteReal;
    if (starts("DOUBLE")) return liteDouble;
    if (is("NUMERIC")) return liteNumeric;
    if (is("DECIMAL")) return liteDecimal;
    if (is("NUMBER")) return liteNumber;
    if (is("MONEY")) return liteMoney;
    if (starts("BOOL")) return liteBool;
    if (is("BINARY")) return liteBinary;
    if (is("VARBINARY")) return liteVarBinary;
    if (is("DATE")) return liteDate;
    if (is("TIME")) return liteTime;
    if (is("DATETIME")) return liteDateTime;
    if (is("TIMESTAMP")) return liteTimestamp;
    return liteUnknown;
}

std::once_flag& RegistrationOnce() {
    static std::once_flag once;
    return once;
}

// Registers the types when the library starts, as the other providers do.
const bool kTypesRegistered = (RegisterSQLiteTypes(), true);

}  // namespace

void RegisterSQLiteTypes() {
    std::call_once(RegistrationOnce(), [] {
        struct Entry {
            uint16_t code;
            const char* name;
            bool length;
            bool scale;
        };
        static constexpr Entry kTypes[] = {
            {liteInteger, "Integer", false, false},   {liteReal, "Real", false, false},
            {liteText, "Text", false, false},         {liteBlob, "BLOB", false, false},
            {liteUnknown, "Unknown", false, false},   {liteTinyInt, "TinyInt", false, false},
            {liteInt2, "Int2", false, false},         {liteSmallInt, "SmallInt", false, false},
            {liteInt, "Int", false, false},           {liteMediumInt, "MediumInt", false, false},
            {liteBigInt, "BigInt", false, false},     {liteUBigInt, "Unsigned BigInt", false, false},
            {liteInt8, "Int8", false, false},         {liteInt64, "Int64", false, false},
            {liteChar, "Char", true, false},          {liteVarChar, "VarChar", true, false},
            {liteClob, "CLOB", false, false},         {liteFloat, "Float", false, false},
            {liteDouble, "Double", false, false},     {liteNumeric, "Numeric", true, true},
            {liteDecimal, "Decimal", true, true},     {liteNumber, "Number", true, true},
            {liteMoney, "Money", false, false},       {liteBool, "Bool", false, false},
            {liteBinary, "Binary", true, false},      {liteVarBinary, "VarBinary", true, false},
            {liteDate, "Date", false, false},         {liteTime, "Time", false, false},
            {liteDateTime, "DateTime", false, false}, {liteTimestamp, "Timestamp", false, false},
        };
        for (const Entry& e : kTypes) DBTypeInfos().Add(e.code, e.name, e.length, e.scale);
    });
}

TLiteConverterManager::TLiteConverterManager() {
    for (uint16_t t : {liteText, liteBlob, liteClob}) {
        AddFetchConverter(t, mdtMemo);
        AddFetchConverter(t, mdtWideMemo);
        AddFetchConverterWithCalc(t, mdtString, mdtMemo, nullptr, nullptr);
        AddFetchConverterWithCalc(t, mdtWideString, mdtWideMemo, nullptr, nullptr);
    }
    for (uint16_t t : {liteInteger, liteInt, liteMediumInt}) {
        AddFetchConverterWithCalc(t, mdtInt16, mdtInt32, nullptr, nullptr);
        AddFetchConverter(t, mdtInt32);
        AddFetchConverter(t, mdtInt64);
    }
    for (uint16_t t : {liteTinyInt, liteSmallInt, liteInt2}) {
        AddFetchConverter(t, mdtInt16);
        AddFetchConverterWithCalc(t, mdtInt32, mdtInt16, nullptr, nullptr);
        AddFetchConverterWithCalc(t, mdtInt64, mdtInt16, nullptr, nullptr);
    }
    for (uint16_t t : {liteBigInt, liteUBigInt, liteInt8, liteInt64}) {
        AddFetchConverter(t, mdtInt64);
        AddFetchConverterWithCalc(t, mdtInt16, mdtInt64, nullptr, nullptr);
        AddFetchConverterWithCalc(t, mdtInt32, mdtInt64, nullptr, nullptr);
    }
    for (uint16_t t : {liteNumeric, liteDecimal, liteNumber}) {
        // Only for columns declared with fraction digits.
        AddFetchConverterRange(t, -1, -1, 1, -1, mdtFloat);
        AddFetchConverterRange(t, -1, -1, 1, -1, mdtBCD);
        AddFetchConverterRange(t, -1, -1, 1, -1, mdtFmtBCD);
    }
    for (uint16_t t : {liteBinary, liteVarBinary}) {
        AddFetchConverter(t, mdtString);
        AddFetchConverter(t, mdtWideString);
    }
    AddFetchConverter(liteDate, mdtDateTime);
    AddFetchConverter(liteTime, mdtDateTime);
    AddFetchConverter(liteDateTime, mdtTime);
    AddFetchConverter(liteDateTime, mdtDate);
    AddFetchConverter(liteTimestamp, mdtTime);
    AddFetchConverter(liteTimestamp, mdtDate);
    AddFetchConverter(liteTimestamp, mdtDateTime);
    for (TMemDataType t : {mdtUnknown, mdtBoolean, mdtString, mdtWideString, mdtMemo, mdtWideMemo, mdtInt16, mdtInt32,
                           mdtInt64, mdtBCD, mdtFmtBCD, mdtFloat, mdtDate, mdtTime, mdtDateTime, mdtBytes, mdtVarBytes})
        AddFetchConverter(liteUnknown, t);
}

uint16_t TLiteConverterManager::ParseDeclaredType(AnsiString& TypeName, int32_t& Length, int32_t& Scale) {
    Length = -1;
    Scale = -1;
    TypeName = rtl::UpperCase(TypeName);
    const auto open = TypeName.find('(');
    const auto close = TypeName.find(')');
    if (open != AnsiString::npos && close != AnsiString::npos) {
        const std::string_view text(TypeName);
        // A ")" before the "(" leaves nothing between them.
        const std::string_view inner =
            close > open ? TrimBlanks(text.substr(open + 1, close - open - 1)) : std::string_view();
        const auto comma = inner.find(',');
        if (comma == std::string_view::npos) {
            Length = ReadSize(inner);
        } else {
            Length = ReadSize(inner.substr(0, comma));
            Scale = ReadSize(inner.substr(comma + 1));
        }
        TypeName.resize(open);
    }
    return ClassifyTypeName(TypeName);
}

uint16_t TLiteConverterManager::TypeOfStorageClass(int StorageClass, int32_t& Length, int32_t& Scale) {
    Length = -1;
    Scale = -1;
    switch (StorageClass) {
        case 1: return liteInteger;
        case 2: return liteFloat;
        case 3: return liteText;
        case 4: return liteBlob;
        case 5: return liteUnknown;
        default: rtl::AssertFail(SAssertionFailure, "LiteDataTypeMap", 424);
    }
}

TLiteConverterManager* LiteConverterManager() {
    RegisterSQLiteTypes();
    static TLiteConverterManager manager;
    return &manager;
}

}  // namespace sqlite
