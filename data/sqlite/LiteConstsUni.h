// Messages of the SQLite provider. Texts are ASCII, so they are valid 1251 as they stand.
// Append new constants at the end of the file.
#pragma once

namespace sqlite {

// --- client library and entry points ---
// Followed by the library name.
inline constexpr const char* SCannotLoadClientLibrary = "Cannot load client library: ";
inline constexpr const char* SSQLiteNotLinked = "SQLite function is not linked";
inline constexpr const char* SEncryptionNotSupported =
    "SQLite DLL that you are using does not support SQLite database encryption. \r"
    "Please download a new DLL or recompile the existing one with encryption support. ";


// --- connection, command, record set, metadata ---
inline constexpr const char* SDatabaseDoesNotExist = "Database does not exist";
inline constexpr const char* SEncryptionKeyMustBeEmpty =
    "The EncryptionKey property must be empty when no encryption algorithm specified";
inline constexpr const char* SInvalidEncryptionKey = "Invalid EncryptionKey and/or EncryptionAlgorithm specified";
inline constexpr const char* SNoConnectionsInTransaction = "There are no connections in the transaction";
inline constexpr const char* SUnsupportedIsolationLevel = "Unsupported transaction isolation level";
inline constexpr const char* SConnectionNotDefined = "Connection is not defined";
inline constexpr const char* SEmptySQLStatement = "No SQL statement provided";
inline constexpr const char* SIncorrectParamCount = "Incorrect parameter count. Expected: %d; Actual: %d";
inline constexpr const char* SStoredProcNotSupported = "SQLite does not support stored procedures";
inline constexpr const char* SNotRows = "SQL statement doesn't return rows";
inline constexpr const char* SCannotConvertType = "Cannot convert type";
inline constexpr const char* SUnknownDataType = "Unknown data type";
inline constexpr const char* SRestrictionMustBeSet = "%s restriction must be set";
// A fetched value that the column's field type cannot hold.
inline constexpr const char* SValueOutOfRange = "Value %s is out of the range of the field type";
// A command runs one statement; a text with more goes through a script.
inline constexpr const char* SMultipleStatements =
    "The SQL text holds more than one statement; run several statements as a script";
// A fetched text or binary value that its field cannot hold whole.
inline constexpr const char* SValueLongerThanField = "A value of length %d is longer than the field (%d)";
inline constexpr const char* SZeroCharInText = "A text holding a zero character cannot be kept in a text field";

// --- page codec ---
inline constexpr const char* SNoEncryptionAlgorithm = "An encryption key needs an encryption algorithm";
inline constexpr const char* SWalNotEncrypted = "An encrypted database cannot use the WAL journal mode";

// --- provider object and utilities ---
inline constexpr const char* SConnectionIsClosed = "Operation is not allowed when the connection is closed";
inline constexpr const char* SIncorrectConnectionType = "Incorrect connection type. Expected: %s; Actual: %s";

}  // namespace sqlite
