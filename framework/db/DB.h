// The dataset contract: field types, fields and field definitions, the dataset with its record
// buffer ring, data sources and data links. Concrete datasets derive from TDataSet and supply the
// record storage through the protected steps; concrete field classes derive from TField and are
// registered per field type with RegisterFieldClass.
//
// Native field data (what GetFieldValue/PutFieldValue move) by field type:
//   ftString, ftFixedChar, ftGuid   char[Size + 1], zero-terminated 1251 text
//   ftWideString, ftFixedWideChar   char16_t[Size + 1], zero-terminated
//   ftSmallint int16; ftWord uint16; ftBoolean uint16 (0 or 1); ftInteger, ftAutoInc int32;
//   ftLargeint int64; ftFloat, ftCurrency double; ftBCD, ftFMTBcd TBcd (34 bytes);
//   ftDate   int32 day number (day 1 = 0001-01-01); ftTime int32 milliseconds of the day;
//   ftDateTime double milliseconds since 0001-01-01
//   ftTimeStamp, ftOraTimeStamp     TSQLTimeStamp (16 bytes)
//   ftBytes                         Size bytes; ftVarBytes: uint16 length, then Size bytes
//   blobs                           through CreateBlobStream only
// The non-native form differs for ftBCD (a Currency) and for ftDate, ftTime and ftDateTime (a
// TDateTime); ConvertFieldData turns one into the other, and datasets that keep other forms
// override it.
#pragma once

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "framework/db/DB_Error.h"
#include "framework/rtl/Classes.h"
#include "framework/rtl/Exceptions.h"
#include "framework/rtl/Types.h"
#include "framework/rtl/Variant.h"

namespace rtl {
class TStream;
}

namespace db {

using rtl::AnsiString;
using rtl::Variant;
using rtl::WideString;

class TDataSet;
class TDataSource;
class TDataLink;
class TField;
class TFields;
class TFieldDef;
class TFieldDefs;

// ---------------------------------------------------------------------------------------------
// Enumerations. The ordinals are the platform's; stored data and mapping tables rely on them.

enum TFieldType : int {
    ftUnknown,
    ftString,
    ftSmallint,
    ftInteger,
    ftWord,
    ftBoolean,
    ftFloat,
    ftCurrency,
    ftBCD,
    ftDate,
    ftTime,
    ftDateTime,
    ftBytes,
    ftVarBytes,
    ftAutoInc,
    ftBlob,
    ftMemo,
    ftGraphic,
    ftFmtMemo,
    ftParadoxOle,
    ftDBaseOle,
    ftTypedBinary,
    ftCursor,
    ftFixedChar,
    ftWideString,
    ftLargeint,
    ftADT,
    ftArray,
    ftReference,
    ftDataSet,
    ftOraBlob,
    ftOraClob,
    ftVariant,
    ftInterface,
    ftIDispatch,
    ftGuid,
    ftTimeStamp,
    ftFMTBcd,
    ftFixedWideChar,
    ftWideMemo,
    ftOraTimeStamp,
    ftOraInterval
};
constexpr int FieldTypeCount = ftOraInterval + 1;
static_assert(FieldTypeCount == 42);

// The platform's type names ("String", "Integer", ...), for messages.
const char* FieldTypeName(TFieldType t) noexcept;
bool IsBlobType(TFieldType t) noexcept;

enum TDataSetState {
    dsInactive,
    dsBrowse,
    dsEdit,
    dsInsert,
    dsSetKey,
    dsCalcFields,
    dsFilter,
    dsNewValue,
    dsOldValue,
    dsCurValue,
    dsBlockRead,
    dsInternalCalc,
    dsOpening
};

enum TDataEvent {
    deFieldChange,
    deRecordChange,
    deDataSetChange,
    deDataSetScroll,
    deLayoutChange,
    deUpdateRecord,
    deUpdateState,
    deCheckBrowseMode,
    dePropertyChange,
    deFieldListChange,
    deFocusControl,
    deParentScroll,
    deConnectChange,
    deReconcileError,
    deDisabledStateChange
};

enum TGetMode { gmCurrent, gmNext, gmPrior };
enum TGetResult { grOK, grBOF, grEOF, grError };
enum TBookmarkFlag { bfCurrent, bfBOF, bfEOF, bfInserted };
enum TFieldKind { fkData, fkCalculated, fkLookup, fkInternalCalc, fkAggregate };
enum TDataAction { daFail, daAbort, daRetry };
enum TBlobStreamMode { bmRead, bmWrite, bmReadWrite };
enum TUpdateStatus { usUnmodified, usModified, usInserted, usDeleted };
enum TUpdateKind { ukModify, ukInsert, ukDelete };
enum TUpdateAction { uaFail, uaAbort, uaSkip, uaRetry, uaApplied };
enum TAlignment { taLeftJustify, taRightJustify, taCenter };
// Whether the database fills a field's value itself: an auto-increment or a default.
enum TAutoRefreshFlag { arNone, arAutoInc, arDefault };

enum TLocateOption { loCaseInsensitive, loPartialKey };
using TLocateOptions = rtl::TSet<TLocateOption>;
enum TFilterOption { foCaseInsensitive, foNoPartialCompare };
using TFilterOptions = rtl::TSet<TFilterOption>;
enum TResyncModeFlag { rmExact, rmCenter };
using TResyncMode = rtl::TSet<TResyncModeFlag>;
enum TFieldAttribute { faHiddenCol, faReadonly, faRequired, faLink, faUnNamed, faFixed };
using TFieldAttributes = rtl::TSet<TFieldAttribute>;
using TUpdateStatusSet = rtl::TSet<TUpdateStatus>;

// One record of the dataset's buffer ring; its layout is the concrete dataset's.
using TRecordBuffer = uint8_t*;
// An opaque position: the bytes GetBookmarkData copies out of a record buffer. Empty = none.
using TBookmark = std::string;

// ---------------------------------------------------------------------------------------------
// Errors


// The platform's message texts.
namespace msg {
inline constexpr const char* SFieldNotFound = "Field '%s' not found";
inline constexpr const char* SDataSetClosed = "Cannot perform this operation on a closed dataset";
inline constexpr const char* SDataSetOpen = "Cannot perform this operation on an open dataset";
inline constexpr const char* SNotEditing = "Dataset not in edit or insert mode";
inline constexpr const char* SDataSetReadOnly = "Cannot modify a read-only dataset";
inline constexpr const char* SFieldRequired = "Field '%s' must have a value";
inline constexpr const char* SCircularDataLink = "Circular datalinks are not allowed";
inline constexpr const char* SRecordNotFound = "Record not found";
inline constexpr const char* SNoCurrentRecord = "No current record";
inline constexpr const char* SInvalidFieldValue = "Invalid value for field '%s'";
inline constexpr const char* SNotIndexField = "Field '%s' is not indexed and cannot be modified";
inline constexpr const char* SDataSetEmpty = "Cannot perform this operation on an empty dataset";
inline constexpr const char* SFieldReadOnly = "Field '%s' cannot be modified";
inline constexpr const char* SFieldAccessError = "Cannot access field '%s' as type %s";
inline constexpr const char* SUnknownFieldType = "Field '%s' is of an unknown type";
inline constexpr const char* SDuplicateFieldName = "Duplicate field name '%s'";
inline constexpr const char* SFieldNameMissing = "Field name missing";
inline constexpr const char* SDataSetMissing = "Field '%s' has no dataset";
inline constexpr const char* SDataSourceChange = "DataSource cannot be changed";
inline constexpr const char* SLookupInfoError = "Lookup information for field '%s' is incomplete";
inline constexpr const char* SBookmarkInvalid = "Invalid bookmark";
inline constexpr const char* SInvalidCalcType = "Field '%s' cannot be a calculated or lookup field";
inline constexpr const char* SFieldIndexError = "Field index out of range";
inline constexpr const char* SNoDataSet = "No dataset association";
inline constexpr const char* SNotBrowsing = "Cannot perform this operation on a dataset not in browse mode";
}  // namespace msg

// Replaces each %s (and %d) of Fmt by the next argument, in order; "%%" gives "%".
AnsiString FormatMessage(std::string_view Fmt, std::initializer_list<AnsiString> Args);
// Raises EDatabaseError; a named component prefixes the text as "Name: text".
[[noreturn]] void DatabaseError(const AnsiString& Message, rtl::TComponent* Component = nullptr);
[[noreturn]] void DatabaseErrorFmt(std::string_view Fmt, std::initializer_list<AnsiString> Args,
                                   rtl::TComponent* Component = nullptr);

// The next name of a ';'-separated list, trimmed; Pos moves past it. Empty when done.
WideString ExtractFieldName(const WideString& Fields, size_t& Pos);
AnsiString ExtractFieldName(const AnsiString& Fields, size_t& Pos);

// Copies native field data of a type: a typed copy where bytes would not do (ftVariant).
void CopyFieldData(TFieldType DataType, void* Dest, const void* Source, size_t Size);

// ---------------------------------------------------------------------------------------------
// Field classes

// A field class is the class reference of a TField descendant; its Create(owner) makes one.
using TFieldClass = const rtl::TComponentClass*;

// The class that default fields of a type get; null until one is registered.
TFieldClass DefaultFieldClass(TFieldType t) noexcept;
// Registers the class for a type and returns the one it replaces.
TFieldClass RegisterFieldClass(TFieldType t, TFieldClass cls) noexcept;

// ---------------------------------------------------------------------------------------------
// Events

using TDataSetNotifyEvent = std::function<void(TDataSet* DataSet)>;
using TDataSetErrorEvent = std::function<void(TDataSet* DataSet, EDatabaseError& E, TDataAction& Action)>;
using TFilterRecordEvent = std::function<void(TDataSet* DataSet, bool& Accept)>;
using TFieldNotifyEvent = std::function<void(TField* Sender)>;
using TFieldGetTextEvent = std::function<void(TField* Sender, AnsiString& Text, bool DisplayText)>;
using TFieldSetTextEvent = std::function<void(TField* Sender, const AnsiString& Text)>;
using TDataChangeEvent = std::function<void(TDataSource* Sender, TField* Field)>;
using TDataSourceNotifyEvent = std::function<void(TDataSource* Sender)>;

// ---------------------------------------------------------------------------------------------
// TFieldDef / TFieldDefs

class TFieldDef : public rtl::TCollectionItem {
    RTL_CLASS(TFieldDef, rtl::TCollectionItem)
public:
    explicit TFieldDef(rtl::TCollection* Collection);
    ~TFieldDef() override;

    const WideString& Name() const noexcept { return FName; }
    void SetName(const WideString& Value);
    TFieldType DataType() const noexcept { return FDataType; }
    void SetDataType(TFieldType Value);
    int Size() const noexcept { return FSize; }
    void SetSize(int Value);
    int Precision() const noexcept { return FPrecision; }
    void SetPrecision(int Value);
    bool Required() const noexcept { return FAttributes.Contains(faRequired); }
    void SetRequired(bool Value);
    TFieldAttributes Attributes() const noexcept { return FAttributes; }
    void SetAttributes(TFieldAttributes Value);
    // 1-based number in the dataset's record; 0 until assigned.
    int FieldNo() const noexcept { return FFieldNo; }
    void SetFieldNo(int Value) { FFieldNo = Value; }
    bool InternalCalcField() const noexcept { return FInternalCalcField; }
    void SetInternalCalcField(bool Value) { FInternalCalcField = Value; }
    // Child definitions of object and array types; created on first use.
    TFieldDefs* ChildDefs();
    bool HasChildDefs() const noexcept;
    TFieldDef* ParentDef() const;
    TFieldDefs* FieldDefs() const;
    TDataSet* DataSet() const;
    // Dotted name through the parent definitions.
    WideString FullName() const;
    // The class a field of this definition gets (the dataset's choice for the type).
    TFieldClass FieldClass() const;
    // A field of this definition owned by Owner and joined to the dataset.
    TField* CreateField(rtl::TComponent* Owner, TField* ParentField = nullptr, const WideString& FieldName = {},
                        bool CheckName = true);
    AnsiString DisplayName() const override;
    void Assign(rtl::TPersistent* Source) override;

private:
    friend class TFieldDefs;
    WideString FName;
    TFieldType FDataType = ftUnknown;
    int FSize = 0;
    int FPrecision = 0;
    TFieldAttributes FAttributes;
    int FFieldNo = 0;
    bool FInternalCalcField = false;
    rtl::TOwnedPtr<TFieldDefs> FChildDefs;
};

class TFieldDefs : public rtl::TOwnedCollection {
    RTL_CLASS(TFieldDefs, rtl::TOwnedCollection)
public:
    // Owner is the dataset, or the parent definition of child definitions.
    explicit TFieldDefs(rtl::TPersistent* AOwner);

    TFieldDef* Items(int Index) const { return static_cast<TFieldDef*>(TCollection::Items(Index)); }
    TFieldDef* operator[](int Index) const { return Items(Index); }
    TFieldDef* AddFieldDef();
    TFieldDef* Add(const WideString& Name, TFieldType DataType, int Size = 0, bool Required = false);
    int IndexOf(const WideString& Name) const;
    TFieldDef* Find(const WideString& Name) const;  // "Field '%s' not found"
    TFieldDef* FindDef(const WideString& Name) const noexcept;
    // Asks the dataset for its definitions when they are out of date.
    void Update();
    bool Updated() const noexcept { return FUpdated; }
    void SetUpdated(bool Value) noexcept { FUpdated = Value; }
    bool HiddenFields() const noexcept { return FHiddenFields; }
    void SetHiddenFields(bool Value) noexcept { FHiddenFields = Value; }
    TDataSet* DataSet() const noexcept { return FDataSet; }
    TFieldDef* ParentDef() const noexcept { return FParentDef; }

private:
    TDataSet* FDataSet = nullptr;
    TFieldDef* FParentDef = nullptr;
    bool FUpdated = false;
    bool FHiddenFields = false;
};

// ---------------------------------------------------------------------------------------------
// TLookupList: the cached key -> result pairs of a lookup field.

class TLookupList {
public:
    void Add(const Variant& Key, const Variant& Value);
    void Clear() { FItems.clear(); }
    // Null when the key is not there.
    Variant ValueOfKey(const Variant& Key) const;
    int Count() const noexcept { return static_cast<int>(FItems.size()); }

private:
    std::vector<std::pair<Variant, Variant>> FItems;
};

// ---------------------------------------------------------------------------------------------
// TField

class TField : public rtl::TComponent {
    RTL_CLASS(TField, rtl::TComponent)
public:
    explicit TField(rtl::TComponent* AOwner);
    ~TField() override;
    void BeforeDestruction() override;

    // --- identity and layout ---
    TDataSet* DataSet() const noexcept { return FDataSet; }
    // Joins the dataset's Fields (leaving the previous dataset); the dataset must be closed.
    virtual void SetDataSet(TDataSet* Value);
    const WideString& FieldName() const noexcept { return FFieldName; }
    void SetFieldName(const WideString& Value);
    WideString FullName() const;
    const WideString& DisplayLabel() const noexcept { return FDisplayLabel; }
    void SetDisplayLabel(const WideString& Value);
    // DisplayLabel, else FieldName.
    WideString DisplayName() const;
    // DisplayName as 1251 text, for messages.
    AnsiString DisplayNameA() const;
    int FieldNo() const noexcept { return FFieldNo; }
    void SetFieldNo(int Value) noexcept { FFieldNo = Value; }
    // Position in the dataset's Fields; -1 without a dataset.
    int Index() const;
    void SetIndex(int Value);
    TFieldType DataType() const noexcept { return FDataType; }
    void SetFieldType(TFieldType Value);
    int Size() const noexcept { return FSize; }
    virtual void SetSize(int Value);
    // Bytes of native data (see the table at the top).
    virtual int DataSize() const;
    TFieldKind FieldKind() const noexcept { return FFieldKind; }
    void SetFieldKind(TFieldKind Value);
    bool Calculated() const noexcept { return FFieldKind == fkCalculated; }
    void SetCalculated(bool Value) { SetFieldKind(Value ? fkCalculated : fkData); }
    bool Lookup() const noexcept { return FFieldKind == fkLookup; }
    // Offset of a calculated value in the calculated area (set by BindFields).
    int Offset() const noexcept { return FOffset; }
    void SetOffset(int Value) noexcept { FOffset = Value; }
    TField* ParentField() const noexcept { return FParentField; }
    void SetParentField(TField* Value) noexcept { FParentField = Value; }

    // --- presentation ---
    bool Required() const noexcept { return FRequired; }
    void SetRequired(bool Value) noexcept { FRequired = Value; }
    bool ReadOnly() const noexcept { return FReadOnly; }
    void SetReadOnly(bool Value);
    bool Visible() const noexcept { return FVisible; }
    void SetVisible(bool Value);
    TAlignment Alignment() const noexcept { return FAlignment; }
    void SetAlignment(TAlignment Value);
    int DisplayWidth() const;
    void SetDisplayWidth(int Value);
    const AnsiString& EditMask() const noexcept { return FEditMask; }
    void SetEditMask(const AnsiString& Value);
    // The mask the editors apply (EditMask for text fields).
    virtual AnsiString EditMaskPtr() const { return FEditMask; }
    const AnsiString& DefaultExpression() const noexcept { return FDefaultExpression; }
    void SetDefaultExpression(const AnsiString& Value) { FDefaultExpression = Value; }
    const AnsiString& Origin() const noexcept { return FOrigin; }
    void SetOrigin(const AnsiString& Value) { FOrigin = Value; }
    TAutoRefreshFlag AutoGenerateValue() const noexcept { return FAutoGenerateValue; }
    void SetAutoGenerateValue(TAutoRefreshFlag Value) noexcept { FAutoGenerateValue = Value; }
    // Characters an editor accepts; every character by default.
    virtual bool IsValidChar(char C) const;
    void SetValidChars(const std::string& Chars);
    void SetAllValidChars();
    virtual bool IsBlob() const { return IsBlobType(FDataType); }
    virtual bool CanModify() const;
    void FocusControl();

    // --- values ---
    bool IsNull() const;
    virtual void Clear();
    Variant Value() const { return GetAsVariant(); }
    // The setters of a lookup field outside the calculation pick the key fields' values instead.
    void SetValue(const Variant& V);
    Variant AsVariant() const { return GetAsVariant(); }
    AnsiString AsString() const { return GetAsString(); }
    void SetAsString(const AnsiString& V);
    WideString AsWideString() const { return GetAsWideString(); }
    void SetAsWideString(const WideString& V);
    int32_t AsInteger() const { return GetAsInteger(); }
    void SetAsInteger(int32_t V);
    int64_t AsLargeInt() const { return GetAsLargeInt(); }
    void SetAsLargeInt(int64_t V);
    double AsFloat() const { return GetAsFloat(); }
    void SetAsFloat(double V);
    bool AsBoolean() const { return GetAsBoolean(); }
    void SetAsBoolean(bool V);
    rtl::TDateTime AsDateTime() const { return GetAsDateTime(); }
    void SetAsDateTime(rtl::TDateTime V);
    rtl::Currency AsCurrency() const { return GetAsCurrency(); }
    void SetAsCurrency(rtl::Currency V);
    rtl::TBcd AsBCD() const { return GetAsBCD(); }
    void SetAsBCD(const rtl::TBcd& V);
    // Old, new and current values through the dataset's state values.
    Variant OldValue() const;
    Variant NewValue() const;
    void SetNewValue(const Variant& V);
    Variant CurValue() const;

    // Text as edited (OnGetText or GetText without display form).
    AnsiString Text() const;
    // Text as shown.
    AnsiString DisplayText() const;
    // The edit-text setter: OnSetText when assigned, else SetText.
    void SetEditText(const AnsiString& Value);

    // Native data of the current state's record; false when null. Buffer may be null.
    bool GetData(void* Buffer, bool NativeFormat = true) const;
    // Writes native data (null Buffer = null value).
    void SetData(const void* Buffer, bool NativeFormat = true);
    // Runs OnValidate with Buffer as the value the field is about to take.
    virtual void Validate(const void* Buffer);
    // OnChange.
    virtual void Change();
    bool Modified() const noexcept { return FModified; }
    void SetModified(bool Value) noexcept { FModified = Value; }

    // --- lookup ---
    TDataSet* LookupDataSet() const noexcept { return FLookupDataSet; }
    void SetLookupDataSet(TDataSet* Value);
    const WideString& LookupKeyFields() const noexcept { return FLookupKeyFields; }
    void SetLookupKeyFields(const WideString& Value);
    const WideString& LookupResultField() const noexcept { return FLookupResultField; }
    void SetLookupResultField(const WideString& Value);
    const WideString& KeyFields() const noexcept { return FKeyFields; }
    void SetKeyFields(const WideString& Value);
    bool LookupCache() const noexcept { return FLookupCache; }
    void SetLookupCache(bool Value);
    TLookupList& LookupList() noexcept { return FLookupList; }
    // Re-reads the lookup dataset into LookupList.
    void RefreshLookupList();
    // Computes the value of a lookup field in the calculate-fields state.
    virtual void CalcLookupValue();

    // --- events ---
    TFieldNotifyEvent OnChange;
    TFieldNotifyEvent OnValidate;
    TFieldGetTextEvent OnGetText;
    TFieldSetTextEvent OnSetText;

    void Notification(rtl::TComponent* AComponent, rtl::TOperation Operation) override;

    // Raises "Cannot access field '%s' as type %s".
    [[noreturn]] void AccessError(const char* TypeName) const;
    // Raises "Field '%s' cannot be modified" unless the field can be modified.
    void CheckReadOnly() const;

protected:
    // Conversions the concrete classes override; the base raises AccessError.
    virtual Variant GetAsVariant() const;
    virtual void SetAsVariant(const Variant& V);
    // Called by SetAsVariant for a value that is neither Null nor Empty.
    virtual void SetVarValue(const Variant& V);
    virtual AnsiString GetAsString() const;
    virtual void SetAsStringValue(const AnsiString& V);
    virtual WideString GetAsWideString() const;
    virtual void SetAsWideStringValue(const WideString& V);
    virtual int32_t GetAsInteger() const;
    virtual void SetAsIntegerValue(int32_t V);
    virtual int64_t GetAsLargeInt() const;
    virtual void SetAsLargeIntValue(int64_t V);
    virtual double GetAsFloat() const;
    virtual void SetAsFloatValue(double V);
    virtual bool GetAsBoolean() const;
    virtual void SetAsBooleanValue(bool V);
    virtual rtl::TDateTime GetAsDateTime() const;
    virtual void SetAsDateTimeValue(rtl::TDateTime V);
    virtual rtl::Currency GetAsCurrency() const;
    virtual void SetAsCurrencyValue(rtl::Currency V);
    virtual rtl::TBcd GetAsBCD() const;
    virtual void SetAsBCDValue(const rtl::TBcd& V);
    // Text of the value; DisplayText selects the display form.
    virtual void GetText(AnsiString& Text, bool DisplayText) const;
    // Text to value; the base assigns AsString.
    virtual void SetText(const AnsiString& Value);
    virtual int DefaultDisplayWidth() const { return FSize > 0 ? FSize : 10; }
    // Tells the dataset's controls that a property changed.
    void PropertyChanged(bool LayoutAffected);
    // Stores a property and, when it changed, tells the controls.
    template <class T>
    void ChangeProperty(T& Store, const T& Value, bool LayoutAffected) {
        if (Store == Value) return;
        Store = Value;
        PropertyChanged(LayoutAffected);
    }
    // "(Type)": the text of a value that has no text form of its own.
    AnsiString TypeNameText() const { return "(" + AnsiString(FieldTypeName(FDataType)) + ")"; }
    void CheckInactive() const;
    // Writes through the key fields when this is a lookup field outside the calculation.
    bool WriteLookup(const Variant& V);

    TFieldType FDataType = ftUnknown;
    int FSize = 0;

private:
    friend class TDataSet;
    friend class TFields;
    friend class TFieldDef;

    TDataSet* FDataSet = nullptr;
    WideString FFieldName;
    WideString FDisplayLabel;
    int FFieldNo = 0;
    TFieldKind FFieldKind = fkData;
    int FOffset = 0;
    TField* FParentField = nullptr;
    bool FRequired = false;
    bool FReadOnly = false;
    bool FVisible = true;
    TAlignment FAlignment = taLeftJustify;
    int FDisplayWidth = 0;
    AnsiString FEditMask;
    AnsiString FDefaultExpression;
    AnsiString FOrigin;
    TAutoRefreshFlag FAutoGenerateValue = arNone;
    std::vector<bool> FValidChars;
    bool FModified = false;
    TDataSet* FLookupDataSet = nullptr;
    WideString FLookupKeyFields;
    WideString FLookupResultField;
    WideString FKeyFields;
    bool FLookupCache = false;
    TLookupList FLookupList;
    // While OnValidate runs, the value being validated.
    const void* FValidating = nullptr;
    bool FInValidate = false;
};

// ---------------------------------------------------------------------------------------------
// TFields: the dataset's fields in order; it does not own them.

class TFields {
public:
    explicit TFields(TDataSet* DataSet) : FDataSet(DataSet) {}
    TFields(const TFields&) = delete;
    TFields& operator=(const TFields&) = delete;

    int Count() const noexcept { return static_cast<int>(FList.size()); }
    // "Field index out of range" on a bad index.
    TField* Fields(int Index) const;
    TField* operator[](int Index) const { return Fields(Index); }
    void Add(TField* Field);
    void Remove(TField* Field);
    void Clear();
    int IndexOf(const TField* Field) const;
    TField* FindField(const WideString& FieldName) const;
    TField* FieldByName(const WideString& FieldName) const;  // "Field '%s' not found"
    TField* FieldByNumber(int FieldNo) const;
    void CheckFieldName(const WideString& FieldName) const;
    void SetFieldIndex(TField* Field, int Value);
    TDataSet* DataSet() const noexcept { return FDataSet; }
    auto begin() const { return FList.begin(); }
    auto end() const { return FList.end(); }

private:
    TDataSet* FDataSet;
    std::vector<TField*> FList;
};

// ---------------------------------------------------------------------------------------------
// TDataSet

class TDataSet : public rtl::TComponent {
    RTL_CLASS(TDataSet, rtl::TComponent)
public:
    explicit TDataSet(rtl::TComponent* AOwner);
    ~TDataSet() override;
    void BeforeDestruction() override;

    // --- lifecycle ---
    void Open() { SetActive(true); }
    void Close() { SetActive(false); }
    bool Active() const noexcept { return FState != dsInactive && FState != dsOpening; }
    void SetActive(bool Value);
    TDataSetState State() const noexcept { return FState; }
    void CheckActive() const;    // "Cannot perform this operation on a closed dataset"
    void CheckInactive() const;  // "Cannot perform this operation on an open dataset"
    void Loaded() override;

    // --- navigation ---
    void First();
    void Last();
    void Next();
    void Prior();
    // Moves by Distance records; returns the distance actually moved.
    int MoveBy(int Distance);
    bool Bof() const noexcept { return FBOF; }
    bool Eof() const noexcept { return FEOF; }
    bool IsEmpty() const noexcept;
    int RecNo() const { return CurrentRecNo(); }
    void SetRecNo(int Value) { MoveToRecNo(Value); }
    int RecordCount() const { return CountRecords(); }
    bool FindFirst();
    bool FindLast();
    bool FindNext();
    bool FindPrior();
    bool Found() const noexcept { return FFound; }

    // --- editing ---
    void Insert();
    void Append();
    void Edit();
    void Post();
    virtual void Cancel();
    void Delete();
    void Refresh();
    // Posts (when modified) or cancels a pending edit.
    void CheckBrowseMode();
    // Asks the controls to write their pending values ("Dataset not in edit or insert mode").
    void UpdateRecord();
    void ClearFields();
    bool Modified() const noexcept { return FModified; }
    void SetModified(bool Value) noexcept { FModified = Value; }
    bool CanModify() const { return CanModifyRecords(); }
    TUpdateStatus UpdateStatus() { return UpdateStatusStep(); }

    // --- bookmarks ---
    TBookmark GetBookmark() const;
    void GotoBookmark(const TBookmark& Bookmark);
    void FreeBookmark(TBookmark& Bookmark) { Bookmark.clear(); }
    TBookmark Bookmark() const { return GetBookmark(); }
    void SetBookmark(const TBookmark& Value) { GotoBookmark(Value); }
    bool BookmarkAvailable() const;
    int CompareBookmarks(const TBookmark& Bookmark1, const TBookmark& Bookmark2) {
        return CompareBookmarksStep(Bookmark1, Bookmark2);
    }
    bool BookmarkValid(const TBookmark& Bookmark) { return BookmarkValidStep(Bookmark); }
    int BookmarkSize() const noexcept { return FBookmarkSize; }

    // --- search ---
    virtual bool Locate(const WideString& KeyFields, const Variant& KeyValues, TLocateOptions Options);
    virtual Variant Lookup(const WideString& KeyFields, const Variant& KeyValues, const WideString& ResultFields);

    // --- filter ---
    const AnsiString& Filter() const noexcept { return FFilterText; }
    void SetFilter(const AnsiString& Value) { ChangeFilterText(Value); }
    bool Filtered() const noexcept { return FFiltered; }
    void SetFiltered(bool Value) { ChangeFiltered(Value); }
    TFilterOptions FilterOptions() const noexcept { return FFilterOptions; }
    void SetFilterOptions(TFilterOptions Value) { ChangeFilterOptions(Value); }
    const TFilterRecordEvent& OnFilterRecord() const noexcept { return FOnFilterRecord; }
    void SetOnFilterRecord(TFilterRecordEvent Value) { ChangeOnFilterRecord(std::move(Value)); }

    // --- controls ---
    void DisableControls();
    void EnableControls();
    bool ControlsDisabled() const noexcept { return FDisableCount != 0; }
    // Sends a data event to the dataset's handling and on to every data source and link.
    void DataEvent(TDataEvent Event, intptr_t Info) { NotifyDataEvent(Event, Info); }
    // True when DataSource links (through master links) to this dataset.
    bool IsLinkedTo(TDataSource* DataSource) const;
    // The master's data source of a detail dataset; none in the base.
    virtual TDataSource* MasterDataSource() const { return nullptr; }
    TDataSource* DataSource() const { return MasterDataSource(); }

    // --- fields ---
    TFields& Fields() noexcept { return *FFields; }
    const TFields& Fields() const noexcept { return *FFields; }
    int FieldCount() const noexcept { return FFields->Count(); }
    TField* FieldByName(const WideString& FieldName) const;
    TField* FieldByName(std::string_view FieldName) const;
    TField* FindField(const WideString& FieldName) const;
    TField* FindField(std::string_view FieldName) const;
    TField* FieldByNumber(int FieldNo) const { return FFields->FieldByNumber(FieldNo); }
    // One value, or a Variant array for a ';'-separated list.
    Variant FieldValues(const WideString& FieldName) const;
    void SetFieldValues(const WideString& FieldName, const Variant& Value);
    std::vector<WideString> GetFieldNames() const;
    void GetFieldNames(rtl::TStrings* List) const;
    // The fields of a ';'-separated list ("Field '%s' not found" for a missing one).
    void GetFieldList(std::vector<TField*>& List, const WideString& FieldNames) const;
    TFieldDefs& FieldDefs() noexcept { return *FFieldDefs; }
    const TFieldDefs& FieldDefs() const noexcept { return *FFieldDefs; }
    // Every definition, children included, in order (rebuilt by UpdateFieldDefList).
    const std::vector<TFieldDef*>& FieldDefList() const noexcept { return FFieldDefList; }
    void UpdateFieldDefList();
    // Fills FieldDefs without leaving the dataset open.
    void InitFieldDefs();
    bool DefaultFields() const noexcept { return FDefaultFields; }
    bool AutoCalcFields() const noexcept { return FAutoCalcFields; }
    void SetAutoCalcFields(bool Value) noexcept { FAutoCalcFields = Value; }
    bool ObjectView() const noexcept { return FObjectView; }
    void SetObjectView(bool Value);
    bool SparseArrays() const noexcept { return FSparseArrays; }
    void SetSparseArrays(bool Value);
    int CalcFieldsSize() const noexcept { return FCalcFieldsSize; }
    bool IsUniDirectional() const noexcept { return FIsUniDirectional; }
    int BlockReadSize() const noexcept { return FBlockReadSize; }
    void SetBlockReadSize(int Value) { ChangeBlockReadSize(Value); }
    bool IsSequenced() { return IsSequencedStep(); }
    // Datasets whose records are a field of this one; their dataset fields register them.
    const std::vector<TDataSet*>& NestedDataSets() const noexcept { return FNestedDataSets; }
    void RegisterNestedDataSet(TDataSet* DataSet, bool Register);
    // The class a default field of a type gets.
    virtual TFieldClass FieldClassOfType(TFieldType FieldType) const { return DefaultFieldClass(FieldType); }

    // --- state values and field data (called by TField) ---
    virtual Variant StateFieldValue(TDataSetState State, TField* Field);
    virtual void SetStateFieldValue(TDataSetState State, TField* Field, const Variant& Value);
    // Native data of a field in the current state's record; false when null.
    virtual bool GetFieldValue(TField* Field, void* Dest);
    virtual bool GetFieldValueByNo(int FieldNo, void* Dest);
    virtual bool GetFieldValueNative(TField* Field, void* Dest, bool NativeFormat);
    // Where a field's native data sits as plain bytes of the record GetFieldValue reads (its
    // null flag a byte that is 1 when null), so a reader watching a few values per edit can
    // compare bytes; false when the value is converted, referenced or not kept in the record.
    struct TFieldBytes {
        int Offset = 0;
        int Size = 0;
        int NullFlag = 0;
    };
    virtual bool FieldBytes(TField* Field, TFieldBytes& Place);
    // The record GetFieldValue reads now; null when none (or when no field has bytes).
    virtual const uint8_t* FieldBytesRecord();
    virtual void PutFieldValue(TField* Field, const void* Source);
    virtual void PutFieldValueNative(TField* Field, const void* Source, bool NativeFormat);
    // Converts between native and non-native field data.
    virtual void ConvertFieldData(TField* Field, const void* Source, void* Dest, bool ToNative);
    virtual rtl::TStream* NewBlobStream(TField* Field, TBlobStreamMode Mode);
    rtl::TStream* CreateBlobStream(TField* Field, TBlobStreamMode Mode) { return NewBlobStream(Field, Mode); }
    // A memo's whole text in the current state's record, as a text value (UTF-16 when Wide); the
    // base reads it through a blob stream.
    virtual Variant ReadBlobText(TField* Field, bool Wide);
    virtual void CloseBlobStep(TField* /*Field*/) {}
    // The master and detail fields of a master/detail link; none in the base.
    virtual void CollectDetailLinkFields(std::vector<TField*>& MasterFields, std::vector<TField*>& DetailFields);

    // --- buffers (also read by data links) ---
    int ActiveRecord() const noexcept { return FActiveRecord; }
    int BufferCount() const noexcept { return FBufferCount; }
    int BufferedRecordCount() const noexcept { return FRecordCount; }
    TRecordBuffer ActiveBuffer() const;
    TRecordBuffer CalcBuffer() const noexcept { return FCalcBuffer; }
    TRecordBuffer Buffers(int Index) const;
    void UpdateCursorPos();
    void CursorPosChanged() noexcept { FCurrentRecord = -1; }
    // Re-reads the buffers around the cursor's record.
    virtual void Resync(TResyncMode Mode);

    // --- events ---
    TDataSetNotifyEvent BeforeOpen, AfterOpen, BeforeClose, AfterClose;
    TDataSetNotifyEvent BeforeInsert, AfterInsert, BeforeEdit, AfterEdit;
    TDataSetNotifyEvent BeforePost, AfterPost, BeforeCancel, AfterCancel;
    TDataSetNotifyEvent BeforeDelete, AfterDelete, BeforeScroll, AfterScroll;
    TDataSetNotifyEvent BeforeRefresh, AfterRefresh;
    TDataSetNotifyEvent OnNewRecord, OnCalcFields;
    TDataSetErrorEvent OnPostError, OnEditError, OnDeleteError;

    void Notification(rtl::TComponent* AComponent, rtl::TOperation Operation) override;

protected:
    // --- record storage steps of a concrete dataset ---
    virtual TRecordBuffer AllocRecordBuffer() = 0;
    virtual void FreeRecordBuffer(TRecordBuffer& Buffer) = 0;
    virtual TGetResult GetRecordStep(TRecordBuffer Buffer, TGetMode GetMode, bool DoCheck) = 0;
    virtual int RecordSizeOf() const { return 0; }
    virtual void GetBookmarkData(TRecordBuffer Buffer, void* Data) = 0;
    virtual void SetBookmarkData(TRecordBuffer Buffer, const void* Data) = 0;
    virtual TBookmarkFlag GetBookmarkFlag(TRecordBuffer Buffer) = 0;
    virtual void SetBookmarkFlag(TRecordBuffer Buffer, TBookmarkFlag Value) = 0;
    virtual void OpenStep() = 0;
    virtual void CloseStep() = 0;
    virtual bool CursorOpen() const = 0;
    virtual void FirstStep() = 0;
    virtual void LastStep() = 0;
    virtual void GotoBookmarkStep(const void* Bookmark) = 0;
    virtual void SetToRecordStep(TRecordBuffer Buffer) = 0;
    virtual void InitRecordStep(TRecordBuffer Buffer) = 0;
    virtual void AddRecordStep(TRecordBuffer Buffer, bool Append) = 0;
    virtual void DeleteStep() = 0;
    // Checks required fields; a concrete dataset writes the record after calling it.
    virtual void PostStep();
    virtual void CancelStep() {}
    virtual void EditStep() {}
    virtual void InsertStep() {}
    virtual void RefreshStep() {}
    virtual void InitFieldDefsStep() {}
    // Reports an error that must not leave a callback (shown by the application's handler).
    virtual void HandleErrorStep();
    virtual bool BookmarkValidStep(const TBookmark& /*Bookmark*/) { return false; }
    virtual int CompareBookmarksStep(const TBookmark& Bookmark1, const TBookmark& Bookmark2);
    virtual TUpdateStatus UpdateStatusStep() { return usUnmodified; }
    // Whether records may be changed (the CanModify property).
    virtual bool CanModifyRecords() const { return true; }
    virtual bool IsSequencedStep() { return true; }
    virtual int CountRecords() const { return -1; }
    virtual int CurrentRecNo() const { return -1; }
    virtual void MoveToRecNo(int /*Value*/) {}
    virtual bool FindRecordStep(bool /*Restart*/, bool /*GoForward*/) { return false; }

    // --- open and close ---
    // Opens the cursor; InfoQuery only reads the field definitions.
    virtual void OpenCursorStep(bool InfoQuery);
    // Frees the buffers and runs CloseStep.
    virtual void CloseCursorStep();

    // --- records ---
    // A new record: InitRecordStep, calculated fields cleared, flag bfInserted.
    virtual void InitNewRecord(TRecordBuffer Buffer);
    virtual void ClearCalcFieldsStep(TRecordBuffer Buffer);
    // The calculated-field pass over one record buffer (run by GetRecordStep implementations).
    void GetCalcFields(TRecordBuffer Buffer);
    virtual void CalculateFields(TRecordBuffer Buffer);
    // Recalculates the active record while editing when AutoCalcFields is on.
    void UpdateCalcFields();
    virtual bool NextRecordStep();
    virtual bool PriorRecordStep();
    int GetNextRecords();
    int GetPriorRecords();
    void SetBufferCount(int Value);
    // The largest buffer count any data link asks for (at least 1).
    void UpdateBufferCount();
    void ClearBuffers();
    void ActivateBuffers();
    void SetCurrentRecord(int Index);
    // Moves the active record within the buffers without events (data links, painting).
    void SetActiveRecord(int Value);
    int CurrentRecord() const noexcept { return FCurrentRecord; }
    void SetBookmarkSize(int Value) noexcept { FBookmarkSize = Value; }
    void SetUniDirectional(bool Value) noexcept { FIsUniDirectional = Value; }
    bool InternalOpenComplete() const noexcept { return FInternalOpenComplete; }

    // --- state ---
    void SetState(TDataSetState Value);
    TDataSetState SetTempState(TDataSetState Value);
    void RestoreState(TDataSetState Value);
    void CheckBiDirectional() const;
    void CheckCanModify() const;  // "Cannot modify a read-only dataset"
    void CheckRequiredFields();

    // --- fields ---
    void CreateFields();
    void DestroyFields();
    // Binds FieldNo of data fields to FieldDefs and lays out the calculated area.
    virtual void BindFields(bool Binding);
    // "Type mismatch for field '%s', expecting: %s actual: %s" when the field cannot hold the
    // definition's data.
    void CheckFieldCompatibility(TField* Field, TFieldDef* FieldDef);
    bool HasCalcFields() const noexcept { return FHasCalcFields; }

    // --- notifications and events ---
    virtual void NotifyDataEvent(TDataEvent Event, intptr_t Info);
    virtual void BeforeOpenStep();
    virtual void AfterOpenStep();
    virtual void BeforeCloseStep();
    virtual void AfterCloseStep();
    virtual void BeforeInsertStep();
    virtual void AfterInsertStep();
    virtual void BeforeEditStep();
    virtual void AfterEditStep();
    virtual void BeforePostStep();
    virtual void AfterPostStep();
    virtual void BeforeCancelStep();
    virtual void AfterCancelStep();
    virtual void BeforeDeleteStep();
    virtual void AfterDeleteStep();
    virtual void BeforeScrollStep();
    virtual void AfterScrollStep();
    virtual void BeforeRefreshStep();
    virtual void AfterRefreshStep();
    virtual void NewRecordStep();
    virtual void CalcFieldsStep();
    virtual void BlockReadNextStep();

    // --- property changes ---
    virtual void ChangeFiltered(bool Value);
    virtual void ChangeFilterText(const AnsiString& Value);
    virtual void ChangeFilterOptions(TFilterOptions Value);
    virtual void ChangeOnFilterRecord(TFilterRecordEvent Value);
    virtual void ChangeBlockReadSize(int Value);

private:
    friend class TDataSource;
    friend class TDataLink;
    friend class TField;
    friend class TFields;
    friend class TFieldDefs;

    void DoInternalOpen();
    void BeginInsertAppend();
    void EndInsertAppend();
    void CheckOperation(void (TDataSet::*Operation)(), const TDataSetErrorEvent& ErrorEvent);
    void MoveBuffer(int CurIndex, int NewIndex);
    void AddDataSource(TDataSource* DataSource);
    void RemoveDataSource(TDataSource* DataSource);
    void NotifyDataSources(TDataEvent Event, intptr_t Info);
    void FireEvent(const TDataSetNotifyEvent& Event) {
        if (Event) Event(this);
    }

    TDataSetState FState = dsInactive;
    std::unique_ptr<TFields> FFields;
    rtl::TOwnedPtr<TFieldDefs> FFieldDefs;
    std::vector<TFieldDef*> FFieldDefList;
    std::vector<TDataSource*> FDataSources;
    std::vector<TDataSet*> FNestedDataSets;
    // Buffer ring: FBufferCount records plus one spare slot at the end.
    std::vector<TRecordBuffer> FBuffers;
    int FBufferCount = 0;
    int FRecordCount = 0;
    int FActiveRecord = 0;
    int FCurrentRecord = -1;
    // Net rotation of the ring toward lower indexes since the last scroll event.
    int FBufferShift = 0;
    TRecordBuffer FCalcBuffer = nullptr;
    int FBookmarkSize = 0;
    bool FBOF = true;
    bool FEOF = true;
    bool FModified = false;
    bool FFound = false;
    bool FDefaultFields = false;
    bool FAutoCalcFields = true;
    bool FObjectView = false;
    bool FSparseArrays = false;
    bool FIsUniDirectional = false;
    bool FInternalOpenComplete = false;
    bool FStreamedActive = false;
    bool FHasCalcFields = false;
    bool FHasLookupFields = false;
    int FCalcFieldsSize = 0;
    int FBlockReadSize = 0;
    int FDisableCount = 0;
    TDataSetState FDisableState = dsInactive;
    // Whether the controls last heard (while disabled) that the dataset is active.
    bool FDisabledActive = false;
    // The event owed to the controls at the last EnableControls: -1 none.
    int FEnableEvent = -1;
    AnsiString FFilterText;
    bool FFiltered = false;
    TFilterOptions FFilterOptions;
    TFilterRecordEvent FOnFilterRecord;
};

// ---------------------------------------------------------------------------------------------
// TDataSource

class TDataSource : public rtl::TComponent {
    RTL_CLASS(TDataSource, rtl::TComponent)
public:
    explicit TDataSource(rtl::TComponent* AOwner);
    ~TDataSource() override;
    void BeforeDestruction() override;

    TDataSet* DataSet() const noexcept { return FDataSet; }
    // "Circular datalinks are not allowed" when the dataset links back to this source.
    void SetDataSet(TDataSet* Value);
    bool Enabled() const noexcept { return FEnabled; }
    void SetEnabled(bool Value);
    bool AutoEdit() const noexcept { return FAutoEdit; }
    void SetAutoEdit(bool Value) noexcept { FAutoEdit = Value; }
    // The dataset's state; dsInactive without a dataset or while disabled.
    TDataSetState State() const noexcept { return FState; }
    // Puts the dataset into edit state when AutoEdit allows.
    void Edit();
    bool IsLinkedTo(TDataSet* DataSet) const;
    int DataLinkCount() const noexcept { return static_cast<int>(FDataLinks.size()); }
    TDataLink* DataLinks(int Index) const { return FDataLinks.at(static_cast<size_t>(Index)); }

    TDataChangeEvent OnDataChange;
    TDataSourceNotifyEvent OnStateChange;
    TDataSourceNotifyEvent OnUpdateData;

    void Notification(rtl::TComponent* AComponent, rtl::TOperation Operation) override;

protected:
    virtual void DataEvent(TDataEvent Event, intptr_t Info);

private:
    friend class TDataSet;
    friend class TDataLink;
    void AddDataLink(TDataLink* DataLink);
    void RemoveDataLink(TDataLink* DataLink);
    void NotifyDataLinks(TDataEvent Event, intptr_t Info);
    void NotifyLinkTypes(TDataEvent Event, intptr_t Info, bool LinkType);
    void UpdateState();

    TDataSet* FDataSet = nullptr;
    std::vector<TDataLink*> FDataLinks;
    bool FEnabled = true;
    bool FAutoEdit = true;
    TDataSetState FState = dsInactive;
};

// ---------------------------------------------------------------------------------------------
// TDataLink: a control's view of a dataset through a data source, with its own buffer window.

class TDataLink : public rtl::TPersistent {
    RTL_CLASS(TDataLink, rtl::TPersistent)
public:
    TDataLink();
    ~TDataLink() override;

    TDataSource* DataSource() const noexcept { return FDataSource; }
    void SetDataSource(TDataSource* Value);
    TDataSet* DataSet() const noexcept;
    bool Active() const noexcept { return FActive; }
    bool Editing() const noexcept { return FEditing; }
    bool ReadOnly() const noexcept { return FReadOnly; }
    void SetReadOnly(bool Value);
    bool VisualControl() const noexcept { return FVisualControl; }
    void SetVisualControl(bool Value) noexcept { FVisualControl = Value; }
    bool DataSourceFixed() const noexcept { return FDataSourceFixed; }
    void SetDataSourceFixed(bool Value) noexcept { FDataSourceFixed = Value; }

    // The link's active record within its window (0 .. BufferCount - 1).
    int ActiveRecord() const;
    // Makes another record of the window the dataset's active one, without events.
    void SetActiveRecord(int Value);
    int BufferCount() const noexcept { return FBufferCount; }
    virtual void SetBufferCount(int Value);
    // Records the window holds.
    int RecordCount() const;
    // The dataset's Bof/Eof (EOF is a C macro, hence the spelling).
    bool Bof() const;
    bool Eof() const;
    // Puts the dataset into edit state; returns Editing.
    bool Edit();
    // Asks the control to write back its pending value (UpdateData), guarded against re-entry.
    void UpdateRecord();
    virtual int MoveBy(int Distance);
    virtual bool ExecuteAction(void* /*Action*/) { return false; }
    virtual bool UpdateAction(void* /*Action*/) { return false; }

    // The platform's dispatch of a data event to the notifications below.
    virtual void DataEvent(TDataEvent Event, intptr_t Info);

protected:
    virtual void ActiveChanged() {}
    virtual void CheckBrowseMode() {}
    virtual void DataSetChanged() { RecordChanged(nullptr); }
    virtual void DataSetScrolled(int /*Distance*/) { DataSetChanged(); }
    virtual void EditingChanged() {}
    // Field is in/out: a link that takes the focus clears it.
    virtual void FocusControl(TField** /*Field*/) {}
    virtual void LayoutChanged() { DataSetChanged(); }
    virtual void RecordChanged(TField* /*Field*/) {}
    virtual void UpdateData() {}
    int FirstRecord() const noexcept { return FFirstRecord; }

private:
    friend class TDataSource;
    friend class TDataSet;
    void UpdateState();
    void SetActive(bool Value);
    void SetEditing(bool Value);
    void UpdateRange();
    // Keeps the window on the same records after the dataset's ring rotated by Shift.
    int ApplyShift(int Shift);

    TDataSource* FDataSource = nullptr;
    int FFirstRecord = 0;
    int FBufferCount = 1;
    bool FActive = false;
    bool FEditing = false;
    bool FReadOnly = false;
    bool FUpdating = false;
    bool FVisualControl = false;
    bool FDataSourceFixed = false;
};

// A data link through which a master dataset reaches its detail.
class TDetailDataLink : public TDataLink {
    RTL_CLASS(TDetailDataLink, TDataLink)
public:
    TDetailDataLink() = default;
    virtual TDataSet* GetDetailDataSet() const { return nullptr; }
    TDataSet* DetailDataSet() const { return GetDetailDataSet(); }
};

// The field a data-aware control names: "Field '%s' not found" for Control when the dataset lacks it.
TField* GetFieldProperty(TDataSet* DataSet, rtl::TComponent* Control, const WideString& FieldName);

// The pointer a data event carries as its Info.
inline intptr_t EventInfo(const void* p) noexcept { return reinterpret_cast<intptr_t>(p); }
inline TField* EventField(intptr_t Info) noexcept { return reinterpret_cast<TField*>(Info); }

}  // namespace db

// The standard field classes, registered per field type by every unit that includes this one.
#include "framework/db/DB_FieldClasses.h"
