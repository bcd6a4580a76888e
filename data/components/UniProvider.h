// The provider layer of the universal components: the process-wide provider registry, the provider
// base that names every provider-side class and owns the provider-specific option lists, the option
// lines themselves, and the translator of the provider-neutral SQL constructs in braces.
#pragma once

#include <functional>
#include <vector>

#include "data/access/CRAccess.h"
#include "data/access/CRConnectionPool.h"
#include "data/access/CRDataTypeMap.h"
#include "data/store/CRParser.h"
#include "data/store/MemDS.h"
#include "data/store/MemData.h"
#include "framework/db/DB.h"
#include "framework/rtl/Classes.h"
#include "framework/rtl/Lock.h"
#include "framework/rtl/Variant.h"

namespace components {

using rtl::AnsiString;
using rtl::Variant;

class TUniProvider;
class TUniSqlFormatter;
class TOptionsList;

// =============================================================================================
// Provider-specific options

// Gives the provider of the component that owns a line list, or raises when there is none.
using TGetProviderFunc = std::function<TUniProvider*()>;

class TSpecificOptionsHolder;

// The option lines of a component: "Provider.Option=Value". A line without a prefix is stored
// with the owner's provider name in front.
class TSpecificOptionsList : public rtl::TStringList {
    RTL_CLASS(TSpecificOptionsList, rtl::TStringList)
public:
    explicit TSpecificOptionsList(TGetProviderFunc GetProvider) : FGetProvider(std::move(GetProvider)) {}

    // The index of the line for the option, looked up with the provider's name in front when the
    // plain name finds nothing; -1 when none.
    int FindOptionLine(const AnsiString& Name) const;
    // True when the first "." comes before the first "=" (a line without "=" has no prefix).
    static bool HasPrefix(const AnsiString& Line);

protected:
    void InsertItem(int Index, const AnsiString& S, rtl::TObject* AObject) override;
    void Put(int Index, const AnsiString& S) override;

private:
    AnsiString Prefixed(const AnsiString& Line) const;
    TGetProviderFunc FGetProvider;
};

// Owns a component's option lines and remembers that they changed since they were last applied.
class TSpecificOptionsHolder : public rtl::TObject {
    RTL_CLASS(TSpecificOptionsHolder, rtl::TObject)
public:
    explicit TSpecificOptionsHolder(TGetProviderFunc GetProvider);
    ~TSpecificOptionsHolder() override;

    TSpecificOptionsList* Values() const noexcept { return FValues.get(); }
    bool IsModified() const noexcept { return FIsModified; }
    void SetIsModified(bool Value) noexcept { FIsModified = Value; }

protected:
    // Called before the lines change; a component refuses or prepares the change here.
    virtual void ValuesChanging(rtl::TObject* /*Sender*/) {}
    virtual void ValuesChanged(rtl::TObject* /*Sender*/) { FIsModified = true; }

private:
    rtl::TOwnedPtr<TSpecificOptionsList> FValues;
    bool FIsModified = false;
};

class TOption;
using TGetValuesListEvent = std::function<void(TOption* Option, rtl::TStrings* List)>;
using TSetOptionValueEvent = std::function<void(rtl::TObject* Obj, const Variant& Value)>;
// The set-property operation of a provider object.
using TSetPropFunc = std::function<bool(int Prop, const Variant& Value)>;

// One option a provider understands, with the property id it is applied through.
class TOption : public rtl::TObject {
    RTL_CLASS(TOption, rtl::TObject)
public:
    TOption(AnsiString Name, Variant DefaultValue, std::vector<const rtl::ClassRef*> Classes, int PropertyId);

    virtual void DefaultValuesList(rtl::TStrings* /*List*/) const {}
    virtual AnsiString ValueToText(const Variant& Value) const;
    virtual Variant TextToValue(const AnsiString& Text) const = 0;
    virtual bool IsValidText(const AnsiString& Text) const = 0;
    // Raises "Invalid value: <text> for option <name>" unless the text is valid.
    virtual void CheckText(const AnsiString& Text) const;
    virtual void GetValuesList(rtl::TStrings* List);

    // True when the object's class is exactly one of the applicable classes.
    bool AppliesTo(const rtl::TObject* Obj) const;

    const AnsiString& OptionName() const noexcept { return FName; }
    int PropertyId() const noexcept { return FPropertyId; }
    const Variant& DefaultValue() const noexcept { return FDefaultValue; }
    const std::vector<const rtl::ClassRef*>& Classes() const noexcept { return FClasses; }

    TGetValuesListEvent OnGetValuesList;
    TSetOptionValueEvent OnSetValue;

private:
    AnsiString FName;
    Variant FDefaultValue;
    std::vector<const rtl::ClassRef*> FClasses;
    int FPropertyId;
};

class TStringOption : public TOption {
    RTL_CLASS(TStringOption, TOption)
public:
    using TOption::TOption;
    Variant TextToValue(const AnsiString& Text) const override { return Variant(Text); }
    bool IsValidText(const AnsiString& /*Text*/) const override { return true; }
};

class TIntegerOption : public TOption {
    RTL_CLASS(TIntegerOption, TOption)
public:
    using TOption::TOption;
    AnsiString ValueToText(const Variant& Value) const override;
    Variant TextToValue(const AnsiString& Text) const override;
    bool IsValidText(const AnsiString& Text) const override;
};

class TBooleanOption : public TOption {
    RTL_CLASS(TBooleanOption, TOption)
public:
    using TOption::TOption;
    void DefaultValuesList(rtl::TStrings* List) const override;
    AnsiString ValueToText(const Variant& Value) const override;
    Variant TextToValue(const AnsiString& Text) const override;
    bool IsValidText(const AnsiString& Text) const override;
};

// An enumeration's values by name; the value sent is the ordinal as a byte.
class TEnumeratorOption : public TOption {
    RTL_CLASS(TEnumeratorOption, TOption)
public:
    // TypeName is the enumeration type's name; ValueNames are its value names from MinValue on.
    TEnumeratorOption(AnsiString Name, Variant DefaultValue, std::vector<const rtl::ClassRef*> Classes, int PropertyId,
                      AnsiString TypeName, std::vector<AnsiString> ValueNames, int MinValue = 0);

    void DefaultValuesList(rtl::TStrings* List) const override;
    AnsiString ValueToText(const Variant& Value) const override;
    Variant TextToValue(const AnsiString& Text) const override;
    bool IsValidText(const AnsiString& Text) const override;

    int MinValue() const noexcept { return FMinValue; }
    int MaxValue() const noexcept { return FMaxValue; }

private:
    // The ordinal of the text, or -1.
    int Lookup(const AnsiString& Text) const;

    AnsiString FTypeName;
    std::vector<AnsiString> FValueNames;
    int FMinValue;
    int FMaxValue;
    bool FUnderscore;
};

// The parts of one option line; nothing is trimmed.
struct TOptionLine {
    AnsiString Prefix;
    AnsiString Name;
    AnsiString Value;
};

// The options of one kind of provider object, in name order; owns its options.
class TOptionsList : public rtl::TStringList {
    RTL_CLASS(TOptionsList, rtl::TStringList)
public:
    explicit TOptionsList(AnsiString ProviderName);
    ~TOptionsList() override;

    void Clear() override;
    void Delete(int Index) override;

    // The list owns the option from the call on, also when adding it fails.
    void AddOption(rtl::TOwnedPtr<TOption> Option);
    TOption* Option(int Index) const { return static_cast<TOption*>(Objects(Index)); }
    // The option of the name (case-insensitive), or null.
    TOption* FindOption(const AnsiString& Name) const;
    const AnsiString& ProviderName() const noexcept { return FProviderName; }

    static TOptionLine SplitOptionLine(const AnsiString& Line);
    // Sends every option that applies to the object's class: the value of its first matching line,
    // or its default when no line names it. Lines of other providers are ignored.
    void ApplyOptions(rtl::TStrings* Lines, rtl::TObject* Obj, const TSetPropFunc& SetProp);

private:
    AnsiString FProviderName;
};

// =============================================================================================
// Provider-neutral SQL syntax

class TUniSqlFormatterClass : public rtl::ClassRef {
public:
    using ClassRef::ClassRef;
    // The virtual constructor.
    virtual TUniSqlFormatter* Create() const;
    template <class T>
    class Of;
};

template <class T>
class TUniSqlFormatterClass::Of : public TUniSqlFormatterClass {
public:
    using TUniSqlFormatterClass::TUniSqlFormatterClass;
    TUniSqlFormatter* Create() const override {
        if constexpr (std::is_default_constructible_v<T> && !std::is_abstract_v<T>)
            return rtl::Create<T>();
        else
            return TUniSqlFormatterClass::Create();
    }
    rtl::TObject* NewInstance() const override;
};

// Translates "{fn ...}", "{date ...}", "{time ...}", "{timestamp ...}", "{if ...}{else}{endif}"
// and "{macro ...}" into the provider's dialect. A provider's formatter installs its tables.
class TUniSqlFormatter : public rtl::TObject {
public:
    using ClassRefType = TUniSqlFormatterClass;
    RTL_CLASS(TUniSqlFormatter, rtl::TObject)
public:
    TUniSqlFormatter();
    ~TUniSqlFormatter() override;

    virtual char LeftQuote() const { return '"'; }
    virtual char RightQuote() const { return '"'; }
    // Raises "Unknown function: %s"; a provider may supply its own translation.
    virtual void UnknownFunction(const AnsiString& Name, const std::vector<AnsiString>& Args, AnsiString& Result);

    // Expands every construct of the text in place.
    void Expand(AnsiString& Text);
    AnsiString TranslateFunction(const AnsiString& Body);
    AnsiString DateLiteral(const AnsiString& Body) const;
    AnsiString TimeLiteral(const AnsiString& Body) const;
    AnsiString TimestampLiteral(const AnsiString& Body) const;
    AnsiString ExpandMacro(const AnsiString& Name, const AnsiString& Body);
    // An empty text, a prepared macro name or a predefined macro.
    bool IsConditionDefined(const AnsiString& Text) const;
    bool IsMacroDefined(const AnsiString& Name) const;

    // Tables as "NAME=text" lines; the formatter does not own them.
    void SetFunctions(const rtl::TStrings* Value) noexcept { FFunctions = Value; }
    void SetPredefinedMacros(const rtl::TStrings* Value) noexcept { FPredefinedMacros = Value; }
    const rtl::TStrings* Functions() const noexcept { return FFunctions; }
    const rtl::TStrings* PredefinedMacros() const noexcept { return FPredefinedMacros; }
    // The connection's prepared macros: upper-cased names and their values at the same positions.
    void SetMacroLists(const rtl::TStrings* Names, const rtl::TStrings* Values) noexcept {
        FMacroNames = Names;
        FMacroValues = Values;
    }
    void SetParserClass(const store::TParserClass* Value) noexcept { FParserClass = Value; }
    const store::TParserClass* ParserClass() const noexcept { return FParserClass; }

protected:
    const rtl::TStrings* FFunctions = nullptr;
    const rtl::TStrings* FPredefinedMacros = nullptr;
    const rtl::TStrings* FMacroNames = nullptr;
    const rtl::TStrings* FMacroValues = nullptr;
    const store::TParserClass* FParserClass;

private:
    store::TParser* CreateLexer(const AnsiString& Text) const;
    void ExpandUntil(store::TParser* Lexer, const char* Terminator, AnsiString& Result);
    AnsiString Literal(const AnsiString& Body, const char* TemplateName, const char* Message, int Line) const;
    int MacroCount() const;

    int FMacroDepth = 0;
};

template <class T>
rtl::TObject* TUniSqlFormatterClass::Of<T>::NewInstance() const {
    return Create();
}

// A macro of a connection: "{Name}" becomes Value, when its Condition (a macro name) is defined.
class TUniMacro : public rtl::TCollectionItem {
    RTL_CLASS(TUniMacro, rtl::TCollectionItem)
public:
    explicit TUniMacro(rtl::TCollection* Collection) : TCollectionItem(Collection) {}

    const AnsiString& Name() const noexcept { return FName; }
    const AnsiString& Value() const noexcept { return FValue; }
    const AnsiString& Condition() const noexcept { return FCondition; }
    void SetName(const AnsiString& Value);
    void SetValue(const AnsiString& Value);
    void SetCondition(const AnsiString& Value);
    void Assign(rtl::TPersistent* Source) override;
    AnsiString DisplayName() const override { return FName; }

private:
    AnsiString FName;
    AnsiString FValue;
    AnsiString FCondition;
};

// The macros of a connection; the connection hears every change made outside an update bracket.
class TUniMacros : public rtl::TOwnedCollection {
    RTL_CLASS(TUniMacros, rtl::TOwnedCollection)
public:
    explicit TUniMacros(rtl::TPersistent* Owner) : TOwnedCollection(Owner, TUniMacro::StaticClass()) {}

    TUniMacro* Add(const AnsiString& Name, const AnsiString& Value, const AnsiString& Condition = {});
    TUniMacro* Items(int Index) const { return static_cast<TUniMacro*>(TCollection::Items(Index)); }

    // Set by the owning connection: raise its macros-changed flag and macro version.
    std::function<void()> OnMacrosChanged;

protected:
    void Update(rtl::TCollectionItem* Item) override;
};

// Whether a macro condition holds: a defined name, or a macro of that name whose own condition
// holds. Raises "Cyclic macros conditions" when the chain is longer than the macros.
bool IsMacroConditionTrue(TUniMacros* Macros, TUniSqlFormatter* Formatter, int Depth, const AnsiString& Condition);
// Fills the prepared lists (upper-cased names, values at the same positions) from the enabled
// macros and hands them to the formatter. An unconditional definition is a default that the
// first enabled conditional one after it replaces.
void PrepareMacroLists(TUniMacros* Macros, TUniSqlFormatter* Formatter, rtl::TStrings* Names, rtl::TStrings* Values);

// =============================================================================================
// Connect-dialog service

class TConnectDialogService;

class TConnectDialogServiceClass : public rtl::ClassRef {
public:
    using ClassRef::ClassRef;
    virtual TConnectDialogService* Create() const;
    template <class T>
    class Of;
};

template <class T>
class TConnectDialogServiceClass::Of : public TConnectDialogServiceClass {
public:
    using TConnectDialogServiceClass::TConnectDialogServiceClass;
    TConnectDialogService* Create() const override {
        if constexpr (std::is_default_constructible_v<T> && !std::is_abstract_v<T>)
            return rtl::Create<T>();
        else
            return TConnectDialogServiceClass::Create();
    }
    rtl::TObject* NewInstance() const override { return Create(); }
};

// What a connect dialog asks of its provider. No component of this system creates one; the
// answers are the fixed defaults a provider may change.
class TConnectDialogService : public rtl::TObject {
public:
    using ClassRefType = TConnectDialogServiceClass;
    RTL_CLASS(TConnectDialogService, rtl::TObject)
public:
    TConnectDialogService() = default;

    // No property is known: an assertion whose text is the id.
    virtual bool SetProp(int Prop, const Variant& Value);
    virtual bool GetProp(int Prop, Variant& Value);
    virtual int ServerEnumerationKind() { return 1; }
    virtual bool UseDatabaseHistory() { return false; }
    virtual AnsiString GetDefaultDatabase() { return {}; }
    virtual bool UsernameEnabled() { return true; }
    virtual bool PasswordEnabled() { return true; }
    virtual bool ServerEnabled() { return true; }
    virtual bool PortEnabled() { return true; }
    virtual bool DatabaseEnabled() { return true; }
};

// =============================================================================================
// Provider

// Large-object parameter values: the blob class that holds one.
struct TParamObjectClass {
    const char* ClassName;
    store::TBlob* (*Create)();
};
const TParamObjectClass& BlobParamObjectClass();
const TParamObjectClass& CompressedBlobParamObjectClass();

class TUniProviderClass : public rtl::TComponentClass {
public:
    using TComponentClass::TComponentClass;
    // The registry key, option-line prefix and message name of the provider.
    virtual AnsiString GetProviderName() const;
    template <class T>
    class Of;
};

template <class T>
class TUniProviderClass::Of : public TUniProviderClass {
public:
    using TUniProviderClass::TUniProviderClass;
    AnsiString GetProviderName() const override { return T::GetProviderName(); }
    rtl::TComponent* Create(rtl::TComponent* Owner) const override {
        if constexpr (std::is_constructible_v<T, rtl::TComponent*> && !std::is_abstract_v<T>)
            return rtl::Create<T>(Owner);
        else
            return TUniProviderClass::Create(Owner);
    }
    rtl::TObject* NewInstance() const override { return Create(nullptr); }
};

// One database kind for the universal components. A provider hides GetProviderName with its own
// static and overrides the rest.
class TUniProvider : public rtl::TComponent {
public:
    using ClassRefType = TUniProviderClass;
    RTL_CLASS(TUniProvider, rtl::TComponent)
public:
    explicit TUniProvider(rtl::TComponent* Owner);
    ~TUniProvider() override;

    // The base belongs to no database: an assertion failure.
    static AnsiString GetProviderName();
    // The name of this provider's class.
    AnsiString ProviderName() const;

    virtual bool IsDatabaseSupported() { return false; }
    virtual bool IsPortSupported() { return false; }
    virtual bool IsMultipleTransactionsSupported() { return false; }
    virtual bool IsOutParamsSupported() { return true; }
    virtual bool IsPoolingSupported() { return true; }
    virtual bool NeedRecreateProcCall() { return false; }
    virtual bool IsComplexFieldsSupported() { return false; }

    // Abstract in the base: the platform's abstract-call error.
    virtual const rtl::ClassRef& GetConnectionParametersClass();
    virtual const daccess::TCRConnectionPoolManagerClass& GetConnectionPoolingManagerClass();
    virtual const daccess::TCRConnectionClass& GetConnectionClass();
    virtual const rtl::ClassRef& GetServerEnumeratorClass();
    virtual const daccess::TCRTransactionClass& GetTransactionClass();
    virtual const store::TParserClass& GetParserClass();
    virtual const daccess::TCRCommandClass& GetCommandClass();
    virtual const daccess::TCRRecordSetClass& GetRecordSetClass();
    virtual const store::TDataSetServiceClass& GetDataSetServiceClass();
    virtual const rtl::ClassRef& GetScriptProcessorClass();
    virtual const daccess::TCRLoaderClass& GetLoaderClass();
    // TCRDummyAlerter in the base.
    virtual const rtl::ClassRef& GetAlerterClass();
    virtual const rtl::ClassRef& GetDumpProcessorClass();
    // The map is a shared instance: field-type maps are used only through their virtual operations.
    virtual const store::TFieldTypeMap& GetFieldTypeMapClass();
    virtual const daccess::TCRMetaDataClass& GetMetaDataClass();
    virtual const TConnectDialogServiceClass& GetConnectDialogServiceClass();
    virtual const TUniSqlFormatterClass& GetSqlFormatterClass();
    virtual const rtl::ClassRef& GetConverterManagerClass();

    // Blob (15) -> compressed blob; memo (16) and wide memo (39) -> blob; others "Unknown data type".
    virtual const TParamObjectClass& GetParamObjectClass(db::TFieldType DataType);
    // A new empty object of that class (wide text for a wide memo); the caller releases it.
    virtual store::TBlob* CreateParamObject(db::TFieldType DataType);

    // Applies option lines to a provider object through the option list of its kind.
    virtual void SetObjectProps(rtl::TObject* Obj, rtl::TStrings* Options, bool Initial = false);

    virtual TOptionsList* GetConnectionOptions();
    virtual TOptionsList* GetSQLOptions();
    virtual TOptionsList* GetDataSetOptions();
    virtual TOptionsList* GetScriptOptions();
    virtual TOptionsList* GetLoaderOptions();
    virtual TOptionsList* GetDumpOptions();
    virtual TOptionsList* GetAlerterOptions();
    virtual AnsiString GetCurrentSchema() { return {}; }

    // Set-property operations of provider objects whose classes live in units above this one
    // (server enumerator, dataset service, script and dump processors), found by class name.
    using TObjectSetProp = std::function<bool(rtl::TObject* Obj, int Prop, const Variant& Value)>;
    static void RegisterSetPropHandler(const AnsiString& BaseClassName, TObjectSetProp Handler);

protected:
    // A new empty option list bearing this provider's name.
    TOptionsList* NewOptionsList();
    // Creates the list in the slot on first use.
    TOptionsList* EnsureList(rtl::TOwnedPtr<TOptionsList>& Slot);

    rtl::TOwnedPtr<TOptionsList> FConnectionOptions;
    rtl::TOwnedPtr<TOptionsList> FSQLOptions;
    rtl::TOwnedPtr<TOptionsList> FDataSetOptions;
    rtl::TOwnedPtr<TOptionsList> FScriptOptions;
    rtl::TOwnedPtr<TOptionsList> FLoaderOptions;
    rtl::TOwnedPtr<TOptionsList> FDumpOptions;
    rtl::TOwnedPtr<TOptionsList> FAlerterOptions;
};

// =============================================================================================
// Registry

class TUniProviderDesc {
public:
    TUniProviderDesc(AnsiString ProviderName, AnsiString ProviderShortName, AnsiString PackageName,
                     AnsiString AssemblyName, AnsiString SiblingProduct);
    ~TUniProviderDesc();
    TUniProviderDesc(const TUniProviderDesc&) = delete;
    TUniProviderDesc& operator=(const TUniProviderDesc&) = delete;

    const AnsiString& ProviderName() const noexcept { return FProviderName; }
    const AnsiString& ProviderShortName() const noexcept { return FProviderShortName; }
    const AnsiString& PackageName() const noexcept { return FPackageName; }
    const AnsiString& AssemblyName() const noexcept { return FAssemblyName; }
    const AnsiString& SiblingProduct() const noexcept { return FSiblingProduct; }
    TUniProvider* Provider() const noexcept { return FProvider; }

private:
    friend class TUniProviders;
    AnsiString FProviderName;
    AnsiString FProviderShortName;
    AnsiString FPackageName;
    AnsiString FAssemblyName;
    AnsiString FSiblingProduct;
    TUniProvider* FProvider = nullptr;
};

// The process-wide list of known providers; every operation holds the list's lock.
class TUniProviders {
public:
    TUniProviders();
    ~TUniProviders();
    TUniProviders(const TUniProviders&) = delete;
    TUniProviders& operator=(const TUniProviders&) = delete;

    // First entry of the name, ASCII letters compared without regard to case; null when none.
    TUniProviderDesc* FindProviderDesc(const AnsiString& ProviderName);
    // Adds an entry unless one of the name exists.
    void RegisterProviderDesc(const AnsiString& ProviderName, const AnsiString& ProviderShortName,
                              const AnsiString& PackageName, const AnsiString& AssemblyName,
                              const AnsiString& SiblingProduct);
    // Raises "%s is not a valid provider name" when there is no entry.
    TUniProviderDesc* GetProviderDesc(const AnsiString& ProviderName);
    // Creates an instance of the class in its entry, replacing (and freeing) an earlier one.
    void RegisterProvider(const TUniProviderClass& ProviderClass);
    void UnRegisterProvider(const TUniProviderClass& ProviderClass);
    // The registered instance, or null.
    TUniProvider* GetProvider(const AnsiString& ProviderName);
    int Count();

private:
    rtl::TRecursiveLock FLock;
    std::vector<std::unique_ptr<TUniProviderDesc>> FItems;
};

// The one registry; made with the thirteen known provider names on first use and kept for the
// life of the process, so that providers may unregister from their own static destructors.
TUniProviders& UniProviders();

// Always raises: "Provider is not defined", "%s is not a valid provider name" or the
// not-registered message naming the provider's unit and component.
[[noreturn]] void RaiseProviderNotRegistered(const AnsiString& ProviderName);

}  // namespace components
