// The provider command and the parameter descriptors it binds.
#pragma once

#include "data/access/CRAccess_SQLInfo.h"
#include "data/access/CRDataTypeMap.h"
#include "data/store/CLRClasses.h"

namespace daccess {

// ---------------------------------------------------------------------------------------------
// Parameter descriptors

class TParamDescClass : public rtl::ClassRef {
public:
    using ClassRef::ClassRef;
    virtual TParamDesc* Create() const;
    template <class T>
    class Of;
};

template <class T>
class TParamDescClass::Of : public TParamDescClass {
public:
    using TParamDescClass::TParamDescClass;
    TParamDesc* Create() const override { return rtl::Create<T>(); }
    rtl::TObject* NewInstance() const override { return Create(); }
};

// The type word of a Variant that carries an object (blob or cursor) pointer.
inline constexpr rtl::TVarType varObjectPointer = rtl::varByRef;

class TParamDesc : public rtl::TObject {
public:
    using ClassRefType = TParamDescClass;
    RTL_CLASS(TParamDesc, rtl::TObject)
public:
    TParamDesc() = default;
    ~TParamDesc() override;

    virtual void SetDataType(store::TMemDataType Value) { FDataType = Value; }
    virtual void SetSubDataType(store::TMemDataType Value) { FSubDataType = Value; }
    virtual void SetParamType(uint8_t Value) { FParamType = Value; }
    virtual void SetSize(int32_t Value) { FSize = Value; }
    virtual Variant GetValue() const { return FValue; }
    virtual void SetValue(const Variant& Value);
    virtual store::TSharedObject* GetObject() const;
    // A blob; with an encryptor an encrypted copy of it is held instead.
    virtual void SetObject(store::TSharedObject* Value);
    virtual bool GetNull() const { return FIsNull; }
    virtual void SetNull(bool Value);
    virtual void SetIsBound(bool Value) { FIsBound = Value; }
    virtual bool GetNational() const { return FNational; }
    virtual void SetNational(bool Value) { FNational = Value; }

    const AnsiString& GetName() const noexcept { return FName; }
    void SetName(const AnsiString& Value) { FName = Value; }
    store::TMemDataType GetDataType() const noexcept { return FDataType; }
    store::TMemDataType GetSubDataType() const noexcept { return FSubDataType; }
    uint8_t GetParamType() const noexcept { return FParamType; }
    int32_t GetSize() const noexcept { return FSize; }
    bool GetIsBound() const noexcept { return FIsBound; }
    bool GetConvertEOL() const noexcept { return FConvertEOL; }
    void SetConvertEOL(bool Value) noexcept { FConvertEOL = Value; }
    void SetEncryptor(TEncryptValueFunc Value) { FEncryptor = std::move(Value); }
    bool HasEncryptor() const noexcept { return static_cast<bool>(FEncryptor); }

protected:
    Variant EncryptValue(const Variant& Value) const;

    AnsiString FName;
    store::TMemDataType FDataType = 0;
    store::TMemDataType FSubDataType = 0;
    uint8_t FParamType = 0;  // db::TParamType ordinal
    int32_t FSize = 0;
    Variant FValue;
    bool FIsNull = true;
    bool FIsBound = true;
    bool FConvertEOL = false;
    bool FNational = false;
    TEncryptValueFunc FEncryptor;
    rtl::TSharedRef<store::TBlob> FEncryptedBlob;
};

// Owns its descriptors.
class TParamDescs : public rtl::TList {
    RTL_CLASS(TParamDescs, rtl::TList)
public:
    TParamDescs() = default;
    ~TParamDescs() override;
    void Clear() override;
    TParamDesc* Items(int Index) const { return static_cast<TParamDesc*>(TList::Items(Index)); }
    // First match, names compared without regard to case.
    TParamDesc* FindParam(const AnsiString& Name) const;
    // Frees the descriptor at the index.
    void DeleteParam(int Index);
};

// A server cursor a command can read from.
class TCRCursor : public store::TSharedObject {
public:
    const char* ClassName() const noexcept override { return "TCRCursor"; }
    virtual void NativeCheck() = 0;
};

// ---------------------------------------------------------------------------------------------
// Command

class TCRCommandClass : public rtl::ClassRef {
public:
    using ClassRef::ClassRef;
    virtual TCRCommand* Create() const;
    // The SQL-info class constructed with the parser class.
    virtual TSQLInfo* CreateSQLInfo() const;
    virtual const TCRTableInfoClass& GetTableInfoClass() const;
    virtual const TSQLInfoClass& GetSQLInfoClass() const;
    virtual const store::TParserClass& GetParserClass() const;
    virtual const TCRMapRulesClass& GetMapRulesClass() const;
    virtual const TParamDescClass& GetParamDescClass() const;
    template <class T>
    class Of;
};

template <class T>
class TCRCommandClass::Of : public TCRCommandClass {
public:
    using TCRCommandClass::TCRCommandClass;
    TCRCommand* Create() const override {
        if constexpr (std::is_default_constructible_v<T> && !std::is_abstract_v<T>)
            return rtl::Create<T>();
        else
            return TCRCommandClass::Create();
    }
    const TCRTableInfoClass& GetTableInfoClass() const override { return T::GetTableInfoClass(); }
    const TSQLInfoClass& GetSQLInfoClass() const override { return T::GetSQLInfoClass(); }
    const store::TParserClass& GetParserClass() const override { return T::GetParserClass(); }
    const TCRMapRulesClass& GetMapRulesClass() const override { return T::GetMapRulesClass(); }
    const TParamDescClass& GetParamDescClass() const override { return T::GetParamDescClass(); }
    rtl::TObject* NewInstance() const override { return Create(); }
};

class TCRCommand : public rtl::TObject {
public:
    using ClassRefType = TCRCommandClass;
    RTL_CLASS(TCRCommand, rtl::TObject)
public:
    TCRCommand();
    ~TCRCommand() override;

    // Class-level operations; a provider hides them with its own.
    static const TCRTableInfoClass& GetTableInfoClass();
    static const TSQLInfoClass& GetSQLInfoClass();
    // The base has no dialect: an assertion failure.
    static const store::TParserClass& GetParserClass();
    static const TCRMapRulesClass& GetMapRulesClass();
    static const TParamDescClass& GetParamDescClass();
    const TCRCommandClass& CommandClass() const { return static_cast<const TCRCommandClass&>(*ClassType()); }

    virtual void ParseSQLParam(store::AnsiStringBuilder& Builder, store::TParser* Parser, TParamDescs* Params,
                               char LeftQuote, char RightQuote, const AnsiString& RenamePrefix);
    virtual void Prepare();
    virtual void Unprepare();
    virtual bool GetPrepared() const = 0;
    virtual void Execute(int Iters = 1) = 0;
    virtual void SetConnection(TCRConnection* Value) { FConnection = Value; }
    virtual void SetTransaction(TCRTransaction* /*Value*/) {}
    virtual uint8_t GetCursorState() const = 0;
    virtual void SetCursorState(uint8_t Value) = 0;
    virtual void SetSQL(const AnsiString& Value);
    // Native SQL of the text; fills Params (when given) with the parameters met.
    virtual AnsiString ParseSQL(const AnsiString& SQL, TParamDescs* Params, bool IsScan,
                                const AnsiString& RenamePrefix);
    virtual AnsiString CreateProcCall(const AnsiString& Name, bool NeedDescribe, bool IsQuery) = 0;
    virtual TParamDesc* AddParam();
    virtual TCRCursor* GetCursor() { return nullptr; }
    virtual void SetCursor(TCRCursor* Value);
    virtual bool SetProp(int Prop, const Variant& Value);
    virtual bool GetProp(int Prop, Variant& Value);
    virtual void BreakExec() {}

    TSQLInfo* SQLInfo();
    int ParamCount() const { return FParams->Count(); }
    TParamDesc* Params(int Index) const { return FParams->Items(Index); }
    TParamDescs* ParamDescs() const noexcept { return FParams.get(); }
    TParamDesc* FindParam(const AnsiString& Name) const { return FParams->FindParam(Name); }
    void DeleteParam(int Index) { FParams->DeleteParam(Index); }
    TCRConnection* GetConnection() const noexcept { return FConnection; }

    const AnsiString& SQL() const noexcept { return FUserSQL; }
    const AnsiString& NativeSQL() const noexcept { return FSQL; }
    bool Executing() const noexcept { return FExecuting; }
    bool ScanParams() const noexcept { return FScanParams; }
    bool DisableParamScan() const noexcept { return FDisableParamScan; }
    bool QuoteNames() const noexcept { return FQuoteNames; }
    bool AutoCommit() const noexcept { return FAutoCommit; }
    bool EnableBCD() const noexcept { return FEnableBCD; }
    bool EnableFMTBCD() const noexcept { return FEnableFMTBCD; }
    int CompressBlobMode() const noexcept { return FCompressBlob; }
    void SetCompressBlobMode(int Value) noexcept { FCompressBlob = Value; }
    rtl::TComponent* Component() const noexcept { return FComponent; }
    void SetComponent(rtl::TComponent* Value) noexcept { FComponent = Value; }

    TNotifyProc AfterExecute;
    TNotifyProc ReadOutParams;

protected:
    rtl::TOwnedPtr<TSQLInfo> FSQLInfo;
    rtl::TComponent* FComponent = nullptr;
    TCRConnection* FConnection = nullptr;
    AnsiString FSQL;
    AnsiString FUserSQL;
    rtl::TOwnedPtr<TParamDescs> FParams;
    bool FExecuting = false;
    bool FScanParams = true;
    bool FDisableParamScan = false;
    bool FQuoteNames = false;
    bool FAutoCommit = false;
    bool FEnableBCD = false;
    bool FEnableFMTBCD = false;
    int FCompressBlob = 0;
};

}  // namespace daccess
