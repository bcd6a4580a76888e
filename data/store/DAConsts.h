// Messages of the data-access library. Texts are ASCII, so they are valid 1251 as they stand.
// Append new constants at the end of the file.
#pragma once

namespace store {

// --- general ---
inline constexpr const char* SAssertionFailure = "Assertion failure";
inline constexpr const char* SNotImplemented = "not implemented";

// --- field descriptors and record values ---
inline constexpr const char* SFieldNotFound = "Field %s not found";
inline constexpr const char* SCannotConvertType = "Cannot convert type";
inline constexpr const char* SInvalidVType = "Invalid VType";
inline constexpr const char* SInvalidDataSize = "Invalid data size";
inline constexpr const char* SFieldNotBlob = "Field is not BLOB";
// Followed by the field name, "(", the field number and ") = nil".
inline constexpr const char* SObjectForField = "Object for field ";
inline constexpr const char* SObjectForFieldNil = ") = nil";
// Followed by the field name and "=nil".
inline constexpr const char* SSharedObjectFor = "Shared object for ";
inline constexpr const char* SSharedObjectNil = "=nil";

// --- string heap ---
inline constexpr const char* SDisposeBufFailed = "DisposeBuf failed";
inline constexpr const char* SSmallTabInDisposeBufFailed = "SmallTab in DisposeBuf failed";
inline constexpr const char* SAddRefStrFailed = "AddRefStr failed";

// --- shared objects and blobs ---
// Preceded by the class name and followed by the count.
inline constexpr const char* SFreeRefCount = ".Free RefCount = ";
inline constexpr const char* SInvalidBlob = "Invalid BLOB";
inline constexpr const char* SBlobMustBeInCacheMode = "Blob must be in cached mode";
inline constexpr const char* SCannotChangeIsUnicode = "Cannot change IsUnicode if Size > 0";
inline constexpr const char* SInvalidBlobPosition = "Invalid BLOB position";
inline constexpr const char* SInvalidCompressedBlobSize = "Invalid compressed blob size";
inline constexpr const char* SInvalidCompressedBlobHeader = "Invalid compressed blob header";
inline constexpr const char* SInvalidCompressedBlobData = "Invalid compressed blob data";
inline constexpr const char* SInvalidUncompressedBlobSize = "Invalid uncompressed blob size";

// --- sorting and filters ---
inline constexpr const char* SIllegalFilter = "Illegal filter expression";
inline constexpr const char* SInvalidIndexFieldNames = "Invalid IndexFieldNames format!";
// Followed by the value type code.
inline constexpr const char* SUnknownValueType = "Unknown ValueType = ";

// --- memory utilities and compression ---
inline constexpr const char* SInvalidTimeStamp = "'%d.%d' is not a valid timestamp";
inline constexpr const char* SCompressorNotLinked = "Compressor function is not linked";
inline constexpr const char* SUncompressorNotLinked = "Uncompressor function is not linked";
inline constexpr const char* SZlibError = "Error";
inline constexpr const char* SZlibTargetTooSmall = "ZLib error: target buffer may be too small";
inline constexpr const char* SUnicodeOnWin9x = "Unicode support on Win9x";

// --- SQL lexer ---
// Followed by the character, "'  $" and its code as four hexadecimal digits.
inline constexpr const char* SUnknownSymbol = "Parser: The unknown symbol '";
inline constexpr const char* SUnknownSymbolCode = "'  $";

// --- data type mapping ---
inline constexpr const char* SDBTypeNotDefined = "Database type is not defined";
inline constexpr const char* SUnsupportedDBType = "Unsupported database type: %s";
inline constexpr const char* SDBTypeLengthNotAllowed = "Length cannot be specified for the \"%s\" database type";
inline constexpr const char* SDBTypeScaleNotAllowed = "Scale cannot be specified for the \"%s\" database type";

// --- memory dataset ---
inline constexpr const char* SUnknownDataType = "Unknown data type";
inline constexpr const char* SDataTypeNotSupported = "Data type is not supported";
inline constexpr const char* SNotCachedUpdate = "Not in cached update mode";
inline constexpr const char* SUpdateFailed = "Update failed";
inline constexpr const char* SFieldCannotBeNil = "Field cannot be nil";
inline constexpr const char* SWrongDataSet = "Wrong DataSet";
inline constexpr const char* SRecordSetNotSet = "FIRecordSet must be setted to this time";

// --- data-access component layer ---
inline constexpr const char* SFieldTypeNotDefined = "Field type is not defined";
inline constexpr const char* SUnsupportedFieldType = "Unsupported field type: %s";
inline constexpr const char* SFieldTypeLengthNotAllowed = "Length cannot be specified for the \"%s\" field type";
inline constexpr const char* SFieldTypeScaleNotAllowed = "Scale cannot be specified for the \"%s\" field type";
inline constexpr const char* SMacroNotFound = "Macro %s not found";
inline constexpr const char* SMustBeOverrided = "Must be overrided";

}  // namespace store
