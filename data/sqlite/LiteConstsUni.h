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

}  // namespace sqlite
