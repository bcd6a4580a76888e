#include "data/sqlite/LiteCollationUni.h"

#include "data/sqlite/LiteClassesUni.h"
#include "framework/rtl/Text.h"

namespace sqlite {

TCustomLiteCollationDesc::TCustomLiteCollationDesc(TSQLiteConnection* Connection, const AnsiString& Name)
    : FConnection(Connection), FName(Name), FTextEncoding(Connection->IsUTF8() ? SQLITE_UTF16 : SQLITE_UTF8) {}

int TLiteWideCollationDesc::Compare(const void* Str1, int Len1, const void* Str2, int Len2) {
    if (!FCollation) return 0;
    if (FTextEncoding == SQLITE_UTF16) {
        std::u16string_view a(static_cast<const char16_t*>(Str1), static_cast<size_t>(Len1 / 2));
        std::u16string_view b(static_cast<const char16_t*>(Str2), static_cast<size_t>(Len2 / 2));
        return FCollation(a, b);
    }
    WideString a = rtl::AnsiToWide(std::string_view(static_cast<const char*>(Str1), static_cast<size_t>(Len1)));
    WideString b = rtl::AnsiToWide(std::string_view(static_cast<const char*>(Str2), static_cast<size_t>(Len2)));
    return FCollation(a, b);
}

int UniNoCaseCompare(std::u16string_view S1, std::u16string_view S2) {
    WideString a = rtl::WideUpperCase(S1);
    WideString b = rtl::WideUpperCase(S2);
    int c = a.compare(b);
    return c < 0 ? -1 : (c > 0 ? 1 : 0);
}

int LiteCollationCallback(void* UserData, int Len1, const void* Str1, int Len2, const void* Str2) {
    auto* desc = static_cast<TCustomLiteCollationDesc*>(UserData);
    if (!desc) return 0;
    // A collation has no way to report an error to the engine, and an exception must not unwind
    // through its C frames: the connection keeps the error and the statement raises it when the
    // engine returns.
    try {
        return desc->Compare(Str1, Len1, Str2, Len2);
    } catch (const rtl::Exception& e) {
        desc->Connection()->SetPendingError(e.Clone());
    } catch (const std::exception& e) {
        desc->Connection()->SetPendingError(std::make_unique<rtl::Exception>(e.what()));
    } catch (...) {
        desc->Connection()->SetPendingError(std::make_unique<rtl::Exception>("Unknown error"));
    }
    return 0;
}

// --- manager ---

TSQLiteCollationManager::~TSQLiteCollationManager() {
    try {
        UnregisterAll();
    } catch (...) {
    }
}

bool TSQLiteCollationManager::EngineOpen() const { return FConnection->GetConnected() && FConnection->API()->SQLite; }

void TSQLiteCollationManager::Register(TCustomLiteCollationDesc* Desc) {
    TSQLite3API* api = FConnection->API();
    // The engine matches the name against the statement text, which goes to it in the same encoding.
    AnsiString name = FConnection->EncodeString(Desc->Name());
    api->sqlite3_create_collation(api->SQLite, name.c_str(), Desc->TextEncoding(), Desc, &LiteCollationCallback);
}

void TSQLiteCollationManager::Unregister(TCustomLiteCollationDesc* Desc) {
    if (!EngineOpen()) return;
    TSQLite3API* api = FConnection->API();
    AnsiString name = FConnection->EncodeString(Desc->Name());
    api->sqlite3_create_collation(api->SQLite, name.c_str(), Desc->TextEncoding(), nullptr, nullptr);
}

void TSQLiteCollationManager::RegisterCollation(const AnsiString& Name, TLiteWideCollation Collation) {
    UnregisterCollation(Name);
    rtl::TOwnedPtr<TCustomLiteCollationDesc> desc(
        rtl::Create<TLiteWideCollationDesc>(FConnection, Name, std::move(Collation)));
    // One added while the connection is closed is registered by the next connect.
    if (EngineOpen()) Register(desc.get());
    FItems.push_back(std::move(desc));
}

void TSQLiteCollationManager::RegisterAll() {
    if (!EngineOpen()) return;
    for (auto& d : FItems) Register(d.get());
}

void TSQLiteCollationManager::UnregisterCollation(const AnsiString& Name) {
    for (size_t i = 0; i < FItems.size(); ++i) {
        if (FItems[i]->Name() == Name) {
            Unregister(FItems[i].get());
            FItems.erase(FItems.begin() + static_cast<std::ptrdiff_t>(i));
            return;
        }
    }
}

void TSQLiteCollationManager::UnregisterAll() {
    for (auto& d : FItems) Unregister(d.get());
    FItems.clear();
}

void TSQLiteCollationManager::RegisterDefaultCollations() { RegisterCollation("UniNoCase", &UniNoCaseCompare); }

void TSQLiteCollationManager::UnregisterDefaultCollations() { UnregisterCollation("UniNoCase"); }

}  // namespace sqlite
