#include "data/sqlite/LiteFunctionUni.h"

#include <atomic>
#include <cmath>
#include <cstring>

#include "data/sqlite/LiteClassesUni.h"
#include "data/sqlite/LiteConstsUni.h"
#include "framework/rtl/Exceptions.h"
#include "framework/rtl/SysUtils.h"
#include "framework/rtl/Text.h"

namespace sqlite {

using namespace store;
using rtl::Variant;

// --- descriptors ---

TCustomLiteFunctionDesc::TCustomLiteFunctionDesc(TSQLiteConnection* Connection, const AnsiString& Name, int ArgCount)
    : FConnection(Connection),
      FName(Name),
      FArgCount(ArgCount),
      FTextEncoding(Connection->IsUTF8() ? SQLITE_UTF16 : SQLITE_UTF8) {}

void TCustomLiteFunctionDesc::Call(sqlite3_context* Context, int ArgCount, sqlite3_value** Args) {
    TSQLite3API* api = FConnection->API();
    TLiteFunctionArgs args;
    args.reserve(static_cast<size_t>(ArgCount));
    for (int i = 0; i < ArgCount; ++i) {
        sqlite3_value* v = Args[i];
        switch (api->sqlite3_value_type(v)) {
            case SQLITE_INTEGER: args.emplace_back(static_cast<long long>(api->sqlite3_value_int64(v))); break;
            case SQLITE_FLOAT: args.emplace_back(api->sqlite3_value_double(v)); break;
            case SQLITE_TEXT:
                if (FConnection->IsUTF8()) {
                    auto* p = static_cast<const char16_t*>(api->sqlite3_value_text16(v));
                    int n = api->sqlite3_value_bytes16(v) / 2;
                    WideString w(p ? p : u"", p ? static_cast<size_t>(n) : 0);
                    if (FConnection->UseUnicode())
                        args.emplace_back(std::move(w));
                    else
                        args.emplace_back(rtl::WideToAnsi(w));
                } else {
                    auto* p = reinterpret_cast<const char*>(api->sqlite3_value_text(v));
                    int n = api->sqlite3_value_bytes(v);
                    args.emplace_back(AnsiString(p ? p : "", p ? static_cast<size_t>(n) : 0));
                }
                break;
            case SQLITE_BLOB: {
                auto* p = static_cast<const uint8_t*>(api->sqlite3_value_blob(v));
                int n = api->sqlite3_value_bytes(v);
                args.push_back(Variant::FromBytes(p, p ? static_cast<size_t>(n) : 0));
                break;
            }
            case SQLITE_NULL: args.push_back(Variant::Null()); break;
            default: throw rtl::Exception(SUnknownDataType);
        }
    }
    Variant result = DoCall(args);
    FConnection->GetTypes()->SetResult(Context, result);
}

Variant TLiteFunctionDesc::DoCall(const TLiteFunctionArgs& Args) {
    if (!FFunction) return Variant::Null();
    return FFunction(Args);
}

// --- engine callback ---

namespace {
// The engine's user-data entry point, taken from the table of the connection that registered a
// function: the callback has nothing else to reach the engine through before it knows the function.
std::atomic<decltype(&::sqlite3_user_data)> GUserData{nullptr};
}  // namespace

void LiteFunctionCallback(sqlite3_context* Context, int ArgCount, sqlite3_value** Args) {
    if (!Context) return;
    auto userData = GUserData.load();
    if (!userData) return;
    auto* desc = static_cast<TCustomLiteFunctionDesc*>(userData(Context));
    if (!desc) return;
    TSQLite3API* api = desc->Connection()->API();
    // An exception must not unwind through the engine's C frames: it becomes the statement's error.
    try {
        desc->Call(Context, ArgCount, Args);
    } catch (const std::exception& e) {
        rtl::UTF8String msg = rtl::AnsiToUTF8(e.what());
        api->sqlite3_result_error(Context, msg.c_str(), static_cast<int>(msg.size()));
    } catch (...) {
        api->sqlite3_result_error(Context, "Unknown error", -1);
    }
}

// --- manager ---

TSQLiteFunctionManager::~TSQLiteFunctionManager() {
    try {
        UnregisterAll();
    } catch (...) {
    }
}

void TSQLiteFunctionManager::Register(TCustomLiteFunctionDesc* Desc) {
    TSQLite3API* api = FConnection->API();
    GUserData.store(api->sqlite3_user_data);
    AnsiString name = FConnection->EncodeString(Desc->Name());
    api->sqlite3_create_function(api->SQLite, name.c_str(), Desc->ArgCount(), Desc->TextEncoding(), Desc,
                                 &LiteFunctionCallback, nullptr, nullptr);
}

void TSQLiteFunctionManager::Unregister(TCustomLiteFunctionDesc* Desc) {
    if (!FConnection->GetConnected()) return;
    TSQLite3API* api = FConnection->API();
    // Encoded as at registration so that a non-ASCII name reaches the same registration.
    AnsiString name = FConnection->EncodeString(Desc->Name());
    api->sqlite3_create_function(api->SQLite, name.c_str(), Desc->ArgCount(), Desc->TextEncoding(), nullptr, nullptr,
                                 nullptr, nullptr);
}

void TSQLiteFunctionManager::RegisterFunction(const AnsiString& Name, int ArgCount, TLiteFunction Function) {
    for (size_t i = 0; i < FItems.size(); ++i) {
        if (FItems[i]->Name() == Name && FItems[i]->ArgCount() == ArgCount) {
            Unregister(FItems[i].get());
            FItems.erase(FItems.begin() + static_cast<std::ptrdiff_t>(i));
            break;
        }
    }
    rtl::TOwnedPtr<TCustomLiteFunctionDesc> desc(
        rtl::Create<TLiteFunctionDesc>(FConnection, Name, ArgCount, std::move(Function)));
    if (FConnection->GetConnected()) Register(desc.get());
    FItems.push_back(std::move(desc));
}

void TSQLiteFunctionManager::RegisterAll() {
    if (!FConnection->GetConnected()) return;
    for (auto& d : FItems) Register(d.get());
}

void TSQLiteFunctionManager::UnregisterAll() {
    if (FConnection->GetConnected())
        for (auto& d : FItems) Unregister(d.get());
    FItems.clear();
}

// --- result types ---

TMemDataType TSQLiteTypes::GetVarType(rtl::TVarType VarType) {
    switch (VarType) {
        case rtl::varSmallint: return mdtInt16;
        case rtl::varInteger: return mdtInt32;
        case rtl::varSingle:
        case rtl::varDouble: return mdtFloat;
        case rtl::varCurrency: return mdtCurrency;
        case rtl::varDate: return mdtDateTime;
        case rtl::varBoolean: return mdtBoolean;
        case rtl::varShortInt:
        case rtl::varByte: return mdtInt8;
        case rtl::varWord: return mdtUInt16;
        case rtl::varLongWord: return mdtUInt32;
        case rtl::varInt64: return mdtInt64;
        case 257: return mdtBytes;
        case rtl::varArray | rtl::varByte:
        case rtl::varByRef: return mdtVarBytes;
        default: return mdtUnknown;
    }
}

int TSQLiteTypes::GetStorageClass(TMemDataType DataType, bool& IsDate) {
    IsDate = false;
    switch (DataType) {
        case mdtInt8:
        case mdtInt16:
        case mdtInt32:
        case mdtUInt16:
        case mdtBoolean:
        case mdtInt64:
        case mdtUInt32: return SQLITE_INTEGER;
        case mdtFloat:
        case mdtCurrency:
        case mdtBCD:
        case mdtFmtBCD: return SQLITE_FLOAT;
        case mdtBlob:
        case mdtBytes:
        case mdtVarBytes: return SQLITE_BLOB;
        case mdtDate:
        case mdtTime:
        case mdtDateTime:
        case mdtSQLTimeStamp: IsDate = true; return SQLITE_TEXT;
        default: return SQLITE_TEXT;
    }
}

void TSQLiteTypes::SetResult(sqlite3_context* Context, const Variant& Value) {
    TSQLite3API* api = FConnection->API();
    if (Value.IsNull() || Value.IsEmpty()) {
        api->sqlite3_result_null(Context);
        return;
    }
    TMemDataType dt = GetVarType(Value.VType());
    bool isDate = false;
    int sc = GetStorageClass(dt, isDate);
    switch (sc) {
        case SQLITE_INTEGER: {
            // The 32-bit conversion refuses a value outside its range instead of wrapping it.
            api->sqlite3_result_int64(Context, Value.AsInteger());
            break;
        }
        case SQLITE_FLOAT: api->sqlite3_result_double(Context, Value.AsDouble()); break;
        case SQLITE_TEXT: {
            AnsiString text;
            if (isDate) {
                rtl::TDateTime d = Value.AsDateTime();
                const char* fmt = "yyyy-mm-dd hh':'nn':'ss";
                text = FConnection->EncodeString(rtl::FormatDateTime(fmt, d));
            } else if (Value.IsPointer()) {
                auto* obj = static_cast<TSharedObject*>(Value.AsPointer());
                auto* blob = dynamic_cast<TBlob*>(obj);
                if (!blob) throw rtl::Exception(SCannotConvertType);
                text = FConnection->EncodeWideString(blob->GetAsWideString());
            } else {
                text = FConnection->EncodeWideString(Value.AsWideString());
            }
            api->sqlite3_result_text(Context, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
            break;
        }
        case SQLITE_BLOB: {
            TBytes bytes;
            if (Value.IsByteArray()) {
                bytes = Value.AsBytes();
            } else if (Value.IsPointer()) {
                auto* blob = dynamic_cast<TBlob*>(static_cast<TSharedObject*>(Value.AsPointer()));
                if (!blob) throw rtl::Exception(SCannotConvertType);
                blob->MergePieces();
                bytes = blob->GetAsBytes();
            } else {
                AnsiString s = Value.AsAnsiString();
                bytes.assign(s.begin(), s.end());
            }
            api->sqlite3_result_blob(Context, bytes.data(), static_cast<int>(bytes.size()), SQLITE_TRANSIENT);
            break;
        }
    }
}

}  // namespace sqlite
