// SQL functions written in the program and registered with a connection's engine.
#pragma once

#include <functional>
#include <vector>

#include "data/sqlite/LiteCallUni.h"
#include "data/store/MemData.h"
#include "framework/rtl/Classes.h"
#include "framework/rtl/Variant.h"

namespace sqlite {

class TSQLiteConnection;

using TLiteFunctionArgs = std::vector<rtl::Variant>;
using TLiteFunction = std::function<rtl::Variant(const TLiteFunctionArgs& Args)>;

class TCustomLiteFunctionDesc : public rtl::TObject {
    RTL_CLASS(TCustomLiteFunctionDesc, rtl::TObject)
public:
    TCustomLiteFunctionDesc(TSQLiteConnection* Connection, const AnsiString& Name, int ArgCount);

    // Runs the function for one call of the engine: the arguments come in, the result goes out.
    virtual void Call(sqlite3_context* Context, int ArgCount, sqlite3_value** Args);

    const AnsiString& Name() const noexcept { return FName; }
    int ArgCount() const noexcept { return FArgCount; }
    int TextEncoding() const noexcept { return FTextEncoding; }
    TSQLiteConnection* Connection() const noexcept { return FConnection; }

protected:
    virtual rtl::Variant DoCall(const TLiteFunctionArgs& Args) = 0;

    TSQLiteConnection* FConnection;
    AnsiString FName;
    int FArgCount;
    int FTextEncoding;
};

class TLiteFunctionDesc : public TCustomLiteFunctionDesc {
    RTL_CLASS(TLiteFunctionDesc, TCustomLiteFunctionDesc)
public:
    TLiteFunctionDesc(TSQLiteConnection* Connection, const AnsiString& Name, int ArgCount, TLiteFunction Function)
        : TCustomLiteFunctionDesc(Connection, Name, ArgCount), FFunction(std::move(Function)) {}

protected:
    rtl::Variant DoCall(const TLiteFunctionArgs& Args) override;

private:
    TLiteFunction FFunction;
};

class TSQLiteFunctionManager : public rtl::TObject {
    RTL_CLASS(TSQLiteFunctionManager, rtl::TObject)
public:
    explicit TSQLiteFunctionManager(TSQLiteConnection* Connection) : FConnection(Connection) {}
    ~TSQLiteFunctionManager() override;

    void RegisterFunction(const AnsiString& Name, int ArgCount, TLiteFunction Function);
    void RegisterAll();
    void UnregisterAll();
    int Count() const noexcept { return static_cast<int>(FItems.size()); }

private:
    void Register(TCustomLiteFunctionDesc* Desc);
    void Unregister(TCustomLiteFunctionDesc* Desc);

    TSQLiteConnection* FConnection;
    std::vector<rtl::TOwnedPtr<TCustomLiteFunctionDesc>> FItems;
};

// Data type and storage class of values that functions hand back.
class TSQLiteTypes : public rtl::TObject {
    RTL_CLASS(TSQLiteTypes, rtl::TObject)
public:
    explicit TSQLiteTypes(TSQLiteConnection* Connection) : FConnection(Connection) {}

    static store::TMemDataType GetVarType(rtl::TVarType VarType);
    // 1 INTEGER, 2 FLOAT, 3 TEXT, 4 BLOB; IsDate is set for the date and time types.
    static int GetStorageClass(store::TMemDataType DataType, bool& IsDate);
    // Hands a Variant to the engine as the function's result.
    void SetResult(sqlite3_context* Context, const rtl::Variant& Value);

private:
    TSQLiteConnection* FConnection;
};

// The routine the engine calls for every registered function.
void LiteFunctionCallback(sqlite3_context* Context, int ArgCount, sqlite3_value** Args);

}  // namespace sqlite
