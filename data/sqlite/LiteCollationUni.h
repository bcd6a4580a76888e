// Collations written in the program and registered with a connection's engine.
#pragma once

#include <functional>
#include <string_view>
#include <vector>

#include "data/sqlite/LiteCallUni.h"
#include "framework/rtl/Classes.h"

namespace sqlite {

class TSQLiteConnection;

// Negative, 0 or positive.
using TLiteWideCollation = std::function<int(std::u16string_view S1, std::u16string_view S2)>;

class TCustomLiteCollationDesc : public rtl::TObject {
    RTL_CLASS(TCustomLiteCollationDesc, rtl::TObject)
public:
    TCustomLiteCollationDesc(TSQLiteConnection* Connection, const AnsiString& Name);

    // The texts as the engine hands them over, in the registered encoding.
    virtual int Compare(const void* Str1, int Len1, const void* Str2, int Len2) = 0;

    const AnsiString& Name() const noexcept { return FName; }
    int TextEncoding() const noexcept { return FTextEncoding; }
    TSQLiteConnection* Connection() const noexcept { return FConnection; }

protected:
    TSQLiteConnection* FConnection;
    AnsiString FName;
    int FTextEncoding;
};

class TLiteWideCollationDesc : public TCustomLiteCollationDesc {
    RTL_CLASS(TLiteWideCollationDesc, TCustomLiteCollationDesc)
public:
    TLiteWideCollationDesc(TSQLiteConnection* Connection, const AnsiString& Name, TLiteWideCollation Collation)
        : TCustomLiteCollationDesc(Connection, Name), FCollation(std::move(Collation)) {}

    int Compare(const void* Str1, int Len1, const void* Str2, int Len2) override;

private:
    TLiteWideCollation FCollation;
};

class TSQLiteCollationManager : public rtl::TObject {
    RTL_CLASS(TSQLiteCollationManager, rtl::TObject)
public:
    explicit TSQLiteCollationManager(TSQLiteConnection* Connection) : FConnection(Connection) {}
    ~TSQLiteCollationManager() override;

    void RegisterCollation(const AnsiString& Name, TLiteWideCollation Collation);
    void UnregisterCollation(const AnsiString& Name);
    // Registers every listed collation with the engine again; the connection runs it at each connect.
    void RegisterAll();
    void UnregisterAll();
    void RegisterDefaultCollations();
    void UnregisterDefaultCollations();
    int Count() const noexcept { return static_cast<int>(FItems.size()); }

private:
    bool EngineOpen() const;
    void Register(TCustomLiteCollationDesc* Desc);
    void Unregister(TCustomLiteCollationDesc* Desc);

    TSQLiteConnection* FConnection;
    std::vector<rtl::TOwnedPtr<TCustomLiteCollationDesc>> FItems;
};

// Upper-cases both texts and compares their UTF-16 code units: -1, 0 or 1.
int UniNoCaseCompare(std::u16string_view S1, std::u16string_view S2);

// The routine the engine calls for every registered collation.
int LiteCollationCallback(void* UserData, int Len1, const void* Str1, int Len2, const void* Str2);

}  // namespace sqlite
