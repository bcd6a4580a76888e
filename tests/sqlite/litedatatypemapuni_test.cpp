#include <gtest/gtest.h>

#include <string>

#include "data/sqlite/LiteDataTypeMapUni.h"
#include "framework/rtl/Exceptions.h"

using namespace sqlite;
using namespace store;
using daccess::DBTypeInfos;

TEST(LiteDataTypeMap, ParseDeclaredType) {
    struct Case {
        const char* declared;
        uint16_t code;
        int32_t length, scale;
        const char* name;  // what is left of the declared type
    };
    const Case cases[] = {
        {"VARCHAR(50)", liteVarChar, 50, -1, "VARCHAR"},
        {"NUMERIC(10,2)", liteNumeric, 10, 2, "NUMERIC"},
        {"NUMERIC( 10 , 2 )", liteNumeric, 10, 2, "NUMERIC"},
        {"DECIMAL(18)", liteDecimal, 18, -1, "DECIMAL"},
        {"VARCHAR (50)", liteVarChar, 50, -1, "VARCHAR "},  // the blank stays with the name
        {"NVARCHAR(20)", liteVarChar, 20, -1, "NVARCHAR"},
        {"CHARACTER VARYING(20)", liteChar, 20, -1, "CHARACTER VARYING"},
        {"CHAR(3)", liteChar, 3, -1, "CHAR"},
        {"VARCHAR(ABC)", liteVarChar, -1, -1, "VARCHAR"},
        {"VARCHAR()", liteVarChar, -1, -1, "VARCHAR"},
        {"VARCHAR(-5)", liteVarChar, -1, -1, "VARCHAR"},  // no column has a negative size
        {"NUMERIC(10,-2)", liteNumeric, 10, -1, "NUMERIC"},
        {"VARCHAR(99999999999)", liteVarChar, -1, -1, "VARCHAR"},
        {"NUMERIC(,4)", liteNumeric, -1, 4, "NUMERIC"},
        {"NUMERIC(5,2,1)", liteNumeric, 5, -1, "NUMERIC"},
        {"VARCHAR)50(", liteVarChar, -1, -1, "VARCHAR)50"},
        {"VARCHAR(50", liteVarChar, -1, -1, "VARCHAR(50"},  // no closing bracket: left whole
        {"INTEGER", liteInteger, -1, -1, "INTEGER"},
        {"INTEGER PRIMARY KEY", liteInt, -1, -1, "INTEGER PRIMARY KEY"},
        {"INT", liteInt, -1, -1, "INT"},
        {"INT2", liteSmallInt, -1, -1, "INT2"},
        {"INT8", liteUBigInt, -1, -1, "INT8"},
        {"INT64", liteUBigInt, -1, -1, "INT64"},
        {"SMALLINT", liteSmallInt, -1, -1, "SMALLINT"},
        {"SMALL INT", liteSmallInt, -1, -1, "SMALL INT"},
        {"TINYINT(1)", liteTinyInt, 1, -1, "TINYINT"},
        {"BIGINT", liteBigInt, -1, -1, "BIGINT"},
        {"UNSIGNED BIG INT", liteUBigInt, -1, -1, "UNSIGNED BIG INT"},
        {"MEDIUMINT", liteMediumInt, -1, -1, "MEDIUMINT"},
        {"POINT", liteInt, -1, -1, "POINT"},  // contains INT
        {"TEXT", liteText, -1, -1, "TEXT"},
        {"CLOB", liteClob, -1, -1, "CLOB"},
        {"BLOB", liteBlob, -1, -1, "BLOB"},
        {"FLOAT", liteFloat, -1, -1, "FLOAT"},
        {"REAL", liteReal, -1, -1, "REAL"},
        {"DOUBLE PRECISION", liteDouble, -1, -1, "DOUBLE PRECISION"},
        {"NUMBER", liteNumber, -1, -1, "NUMBER"},
        {"MONEY", liteMoney, -1, -1, "MONEY"},
        {"BOOLEAN", liteBool, -1, -1, "BOOLEAN"},
        {"BINARY(16)", liteBinary, 16, -1, "BINARY"},
        {"VARBINARY(255)", liteVarBinary, 255, -1, "VARBINARY"},
        {"DATE", liteDate, -1, -1, "DATE"},
        {"TIME", liteTime, -1, -1, "TIME"},
        {"DATETIME", liteDateTime, -1, -1, "DATETIME"},
        {"DATETIME2", liteUnknown, -1, -1, "DATETIME2"},
        {"TIMESTAMP", liteTimestamp, -1, -1, "TIMESTAMP"},
        {"NULL", liteUnknown, -1, -1, "NULL"},
        {"", liteUnknown, -1, -1, ""},
        {"GEOMETRY", liteUnknown, -1, -1, "GEOMETRY"},
        {" TEXT", liteUnknown, -1, -1, " TEXT"},  // only an exact TEXT is text
        {"varchar(50)", liteVarChar, 50, -1, "VARCHAR"},
        {"Numeric(10,2)", liteNumeric, 10, 2, "NUMERIC"},
        {"datetime", liteDateTime, -1, -1, "DATETIME"},
    };
    for (const auto& c : cases) {
        AnsiString name = c.declared;
        int32_t length = 0, scale = 0;
        EXPECT_EQ(TLiteConverterManager::ParseDeclaredType(name, length, scale), c.code) << c.declared;
        EXPECT_EQ(length, c.length) << c.declared;
        EXPECT_EQ(scale, c.scale) << c.declared;
        EXPECT_EQ(name, c.name) << c.declared;
    }
}

TEST(LiteDataTypeMap, TypeOfStorageClass) {
    const std::pair<int, uint16_t> cases[] = {
        {1, liteInteger}, {2, liteFloat}, {3, liteText}, {4, liteBlob}, {5, liteUnknown}};
    for (auto [storageClass, code] : cases) {
        int32_t length = 7, scale = 7;
        EXPECT_EQ(TLiteConverterManager::TypeOfStorageClass(storageClass, length, scale), code);
        EXPECT_EQ(length, -1);
        EXPECT_EQ(scale, -1);
    }
    for (int bad : {0, 6, -1}) {
        int32_t length = 0, scale = 0;
        try {
            TLiteConverterManager::TypeOfStorageClass(bad, length, scale);
            ADD_FAILURE() << bad;
        } catch (const rtl::EAssertionFailed& e) {
            EXPECT_EQ(e.Unit(), "LiteDataTypeMap");
            EXPECT_EQ(e.Line(), 424);
        }
    }
}

TEST(LiteDataTypeMap, TypesAreRegisteredOnceWithNamesAndSizeFlags) {
    RegisterSQLiteTypes();
    RegisterSQLiteTypes();
    int found = 0;
    for (int i = 0; i < DBTypeInfos().Count(); ++i) {
        const auto* info = DBTypeInfos().Items(i);
        if (info->DBType > liteBase && info->DBType <= liteTimestamp) ++found;
    }
    EXPECT_EQ(found, 30);

    struct Case {
        uint16_t code;
        const char* name;
        bool length, scale;
    };
    const Case cases[] = {
        {liteInteger, "Integer", false, false},         {liteBlob, "BLOB", false, false},
        {liteUBigInt, "Unsigned BigInt", false, false}, {liteChar, "Char", true, false},
        {liteVarChar, "VarChar", true, false},          {liteNumeric, "Numeric", true, true},
        {liteDecimal, "Decimal", true, true},           {liteNumber, "Number", true, true},
        {liteVarBinary, "VarBinary", true, false},      {liteTimestamp, "Timestamp", false, false},
    };
    for (const auto& c : cases) {
        const auto* info = DBTypeInfos().FindTypeInfo(c.code);
        ASSERT_NE(info, nullptr) << c.code;
        EXPECT_EQ(info->Name, c.name);
        EXPECT_EQ(info->LengthAllowed, c.length) << c.name;
        EXPECT_EQ(info->ScaleAllowed, c.scale) << c.name;
    }

    // Rules on SQLite types are validated against these entries.
    EXPECT_NO_THROW(DBTypeInfos().CheckTypeInfo(liteNumeric, 1, 18, 2, 4, true));
    try {
        DBTypeInfos().CheckTypeInfo(liteInteger, 1, -1, -1, -1, true);
        ADD_FAILURE();
    } catch (const daccess::EInvalidDBTypeMapping& e) {
        EXPECT_EQ(e.Message(), "Length cannot be specified for the \"Integer\" database type");
    }
    EXPECT_THROW(DBTypeInfos().CheckTypeInfo(liteVarChar, 1, -1, 0, -1, true), daccess::EInvalidDBTypeMapping);
}

TEST(LiteDataTypeMap, ConverterManagerFetchPaths) {
    TLiteConverterManager* manager = LiteConverterManager();
    ASSERT_EQ(manager, LiteConverterManager());
    EXPECT_EQ(manager->GetDBProvider(), 600);
    EXPECT_EQ(manager->OnDemandConverterCount(), 441);  // the provider-neutral table stays

    struct Case {
        uint16_t type;
        int32_t length, scale;
        TMemDataType dest;
        TMemDataType stored;  // mdtUnknown with found == false: no fetch path
        bool found;
    };
    const Case cases[] = {
        {liteText, -1, -1, mdtMemo, mdtMemo, true},
        {liteClob, -1, -1, mdtWideMemo, mdtWideMemo, true},
        {liteText, -1, -1, mdtString, mdtMemo, true},
        {liteBlob, -1, -1, mdtWideString, mdtWideMemo, true},
        {liteText, -1, -1, mdtInt32, 0, false},
        {liteInteger, -1, -1, mdtInt16, mdtInt32, true},
        {liteInt, -1, -1, mdtInt64, mdtInt64, true},
        {liteMediumInt, -1, -1, mdtInt32, mdtInt32, true},
        {liteSmallInt, -1, -1, mdtInt64, mdtInt16, true},
        {liteTinyInt, -1, -1, mdtInt32, mdtInt16, true},
        {liteInt2, -1, -1, mdtInt16, mdtInt16, true},
        {liteInt8, -1, -1, mdtInt16, mdtInt64, true},
        {liteUBigInt, -1, -1, mdtInt32, mdtInt64, true},
        {liteNumeric, 10, 2, mdtBCD, mdtBCD, true},
        {liteDecimal, 10, 1, mdtFloat, mdtFloat, true},
        {liteNumber, 10, -1, mdtFmtBCD, mdtFmtBCD, true},
        {liteNumeric, 10, 0, mdtBCD, 0, false},  // no fraction digits
        {liteVarBinary, 16, -1, mdtWideString, mdtWideString, true},
        {liteDate, -1, -1, mdtDateTime, mdtDateTime, true},
        {liteDateTime, -1, -1, mdtDate, mdtDate, true},
        {liteDateTime, -1, -1, mdtDateTime, 0, false},
        {liteTimestamp, -1, -1, mdtDateTime, mdtDateTime, true},
        {liteUnknown, -1, -1, mdtVarBytes, mdtVarBytes, true},
        {liteUnknown, -1, -1, mdtGuid, 0, false},
        {liteMoney, -1, -1, mdtBCD, 0, false},
    };
    for (const auto& c : cases) {
        const auto* conv = manager->FindFetchConverter(c.type, c.length, c.scale, c.dest);
        ASSERT_EQ(conv != nullptr, c.found) << c.type << " -> " << c.dest;
        if (conv) {
            EXPECT_EQ(conv->InternalDataType, c.stored) << c.type << " -> " << c.dest;
        }
    }
}
