// The concrete field classes: each one decodes the native data its dataset delivers (see the table
// below), turns it into text for display and editing under FormatSettings, parses text back and
// guards ranges. RegisterStandardFieldClasses installs them as the default class per field type.
//
// Native data by field type as the field classes read and write it:
//   ftDate      int32 day number (day 1 = 0001-01-01, 693594 = 1899-12-30)
//   ftTime      int32 milliseconds since midnight
//   ftDateTime  double milliseconds since 0001-01-01
//   ftBCD       the non-native form: 8-byte Currency (the dataset converts from its native form)
//   ftFMTBcd    TBcd; ftTimeStamp TSQLTimeStamp; ftVariant an rtl::Variant object
//   the others as DB.h lists them.
#pragma once

#include <cstdint>
#include <string>

#include "framework/db/DB.h"
#include "framework/rtl/Bcd.h"
#include "framework/rtl/SysUtils.h"

namespace rtl {
class TStream;
}

namespace db {

// The platform's texts of field conversions and ranges.
namespace msg {
inline constexpr const char* SInvalidIntegerValue = "'%s' is not a valid integer value for field '%s'";
inline constexpr const char* SInvalidFloatValue = "'%s' is not a valid floating-point value for field '%s'";
inline constexpr const char* SInvalidBoolValue = "'%s' is not a valid boolean value for field '%s'";
inline constexpr const char* SInvalidBcdValue = "'%s' is not a valid BCD value for field '%s'";
inline constexpr const char* SFieldRangeError = "%g is not a valid value for field '%s'. The allowed range is %g to %g";
inline constexpr const char* SFieldRangeErrorText =
    "%s is not a valid value for field '%s'. The allowed range is %s to %s";
inline constexpr const char* SInvalidFieldSize = "Invalid field size";
inline constexpr const char* SInvalidVarByteArray = "Invalid variant type or size for field '%s'";
inline constexpr const char* SFieldTypeMismatch = "Type mismatch for field '%s', expecting: %s actual: %s";
inline constexpr const char* SFieldSizeMismatch = "Size mismatch for field '%s', expecting: %s actual: %s";
inline constexpr const char* SParameterNotFound = "Parameter '%s' not found";
inline constexpr const char* SInvalidParamFieldType = "Must have a valid field type selected";
inline constexpr const char* SConnectionNameMissing = "Connection name missing";
}  // namespace msg

// Installs the standard classes for every field type that has one (idempotent).
void RegisterStandardFieldClasses();
namespace detail {
// Registration happens as soon as any unit that sees the field classes is loaded.
inline const bool StandardFieldClassesRegistered = (RegisterStandardFieldClasses(), true);
}  // namespace detail

// The conversions a field class overrides when every scalar form can be turned into its value:
// text and variant fields add booleans and dates, the number classes BCD and their own text.
#define DB_COMMON_FIELD_CONVERSIONS                      \
    Variant GetAsVariant() const override;               \
    void SetVarValue(const Variant& V) override;         \
    AnsiString GetAsString() const override;             \
    void SetAsStringValue(const AnsiString& V) override; \
    int32_t GetAsInteger() const override;               \
    void SetAsIntegerValue(int32_t V) override;          \
    int64_t GetAsLargeInt() const override;              \
    void SetAsLargeIntValue(int64_t V) override;         \
    double GetAsFloat() const override;                  \
    void SetAsFloatValue(double V) override;             \
    rtl::Currency GetAsCurrency() const override;        \
    void SetAsCurrencyValue(rtl::Currency V) override;

#define DB_SCALAR_FIELD_CONVERSIONS                \
    DB_COMMON_FIELD_CONVERSIONS                    \
    bool GetAsBoolean() const override;            \
    void SetAsBooleanValue(bool V) override;       \
    rtl::TDateTime GetAsDateTime() const override; \
    void SetAsDateTimeValue(rtl::TDateTime V) override;

#define DB_NUMERIC_FIELD_CONVERSIONS                 \
    DB_COMMON_FIELD_CONVERSIONS                      \
    rtl::TBcd GetAsBCD() const override;             \
    void SetAsBCDValue(const rtl::TBcd& V) override; \
    void GetText(AnsiString& Text, bool DisplayText) const override;

// A class that differs from its parent only in the field type it starts with.
#define DB_TYPED_FIELD_CLASS(Name, Base, Type)                                      \
    class Name : public Base {                                                      \
        RTL_CLASS(Name, Base)                                                       \
    public:                                                                         \
        explicit Name(rtl::TComponent* AOwner) : Base(AOwner) { FDataType = Type; } \
    };

// ---------------------------------------------------------------------------------------------
// Text fields

class TStringField : public TField {
    RTL_CLASS(TStringField, TField)
public:
    explicit TStringField(rtl::TComponent* AOwner);
    // Fixed-length text: set, or implied by the type ftFixedChar.
    bool FixedChar() const noexcept { return FFixedChar || FDataType == ftFixedChar; }
    void SetFixedChar(bool Value);
    void SetSize(int Value) override;
    // The text when not null, false otherwise.
    bool GetValue(AnsiString& Value) const;

protected:
    DB_SCALAR_FIELD_CONVERSIONS
    int DefaultDisplayWidth() const override { return FSize > 0 ? FSize : 20; }

private:
    bool FFixedChar = false;
};

class TWideStringField : public TStringField {
    RTL_CLASS(TWideStringField, TStringField)
public:
    explicit TWideStringField(rtl::TComponent* AOwner);
    bool GetWideValue(WideString& Value) const;

protected:
    Variant GetAsVariant() const override;
    AnsiString GetAsString() const override;
    void SetAsStringValue(const AnsiString& V) override;
    WideString GetAsWideString() const override;
    void SetAsWideStringValue(const WideString& V) override;
    void SetVarValue(const Variant& V) override;
};

class TGuidField : public TStringField {
    RTL_CLASS(TGuidField, TStringField)
public:
    explicit TGuidField(rtl::TComponent* AOwner);
    rtl::TGUID AsGuid() const;
    void SetAsGuid(const rtl::TGUID& Value);
    void SetSize(int Value) override;

protected:
    // Only a GUID in braces (or the empty text, which clears) is accepted.
    void SetAsStringValue(const AnsiString& V) override;
};

// ---------------------------------------------------------------------------------------------
// Numbers

class TNumericField : public TField {
    RTL_CLASS(TNumericField, TField)
public:
    explicit TNumericField(rtl::TComponent* AOwner);
    const AnsiString& DisplayFormat() const noexcept { return FDisplayFormat; }
    void SetDisplayFormat(const AnsiString& Value);
    const AnsiString& EditFormat() const noexcept { return FEditFormat; }
    void SetEditFormat(const AnsiString& Value);

protected:
    // The format that applies: DisplayFormat for display or when no EditFormat is set.
    const AnsiString& FormatFor(bool DisplayText) const {
        return (DisplayText || FEditFormat.empty()) ? FDisplayFormat : FEditFormat;
    }
    // EConvertError naming the field: the value does not fit the field's type.
    [[noreturn]] void ConversionRangeError(const AnsiString& Value, double Min, double Max) const;
    // EDatabaseError with the platform's range message.
    [[noreturn]] void RangeError(double Value, double Min, double Max) const;
    // V rounded to Places with at most Precision digits in all; EConvertError when it does not fit.
    rtl::TBcd FitDigits(const rtl::TBcd& V, int Precision, int Places) const;
    // Empty text clears the value; other text must parse, or Message (text, field) is raised.
    template <class T, class Parse, class Store>
    void SetParsedText(const AnsiString& Text, const char* Message, Parse TryParse, Store Set) {
        if (Text.empty()) {
            Clear();
            return;
        }
        T v{};
        if (!TryParse(Text, v)) DatabaseErrorFmt(Message, {Text, DisplayNameA()}, this);
        Set(v);
    }
    // A whole number as text under the display or edit format.
    AnsiString IntegerText(int64_t Value, bool DisplayText) const;
    // Text and variants of integer classes: text parses, fractions round, the rest is an integer.
    void SetIntegerVarValue(const Variant& V);

private:
    AnsiString FDisplayFormat;
    AnsiString FEditFormat;
};

// Small integer, integer, word and auto-increment values (by DataType).
class TIntegerField : public TNumericField {
    RTL_CLASS(TIntegerField, TNumericField)
public:
    explicit TIntegerField(rtl::TComponent* AOwner);
    int32_t MinValue() const noexcept { return FMinValue; }
    void SetMinValue(int32_t Value);
    int32_t MaxValue() const noexcept { return FMaxValue; }
    void SetMaxValue(int32_t Value);
    bool IsValidChar(char C) const override;
    bool GetValue(int32_t& Value) const;
    int DataSize() const override;

protected:
    DB_NUMERIC_FIELD_CONVERSIONS
    int DefaultDisplayWidth() const override;
    // The range of the native type.
    void TypeRange(int64_t& Min, int64_t& Max) const;

private:
    int32_t FMinValue = 0;
    int32_t FMaxValue = 0;
};

DB_TYPED_FIELD_CLASS(TSmallintField, TIntegerField, ftSmallint)

DB_TYPED_FIELD_CLASS(TWordField, TIntegerField, ftWord)

DB_TYPED_FIELD_CLASS(TAutoIncField, TIntegerField, ftAutoInc)

class TLargeintField : public TNumericField {
    RTL_CLASS(TLargeintField, TNumericField)
public:
    explicit TLargeintField(rtl::TComponent* AOwner);
    int64_t MinValue() const noexcept { return FMinValue; }
    void SetMinValue(int64_t Value);
    int64_t MaxValue() const noexcept { return FMaxValue; }
    void SetMaxValue(int64_t Value);
    bool IsValidChar(char C) const override;
    bool GetValue(int64_t& Value) const;

protected:
    DB_NUMERIC_FIELD_CONVERSIONS
    int DefaultDisplayWidth() const override { return 15; }

private:
    int64_t FMinValue = 0;
    int64_t FMaxValue = 0;
};

class TFloatField : public TNumericField {
    RTL_CLASS(TFloatField, TNumericField)
public:
    explicit TFloatField(rtl::TComponent* AOwner);
    bool Currency() const noexcept { return FCurrency; }
    void SetCurrency(bool Value);
    double MinValue() const noexcept { return FMinValue; }
    void SetMinValue(double Value);
    double MaxValue() const noexcept { return FMaxValue; }
    void SetMaxValue(double Value);
    // Significant digits of the general text form (2 .. 15).
    int Precision() const noexcept { return FPrecision; }
    void SetPrecision(int Value);
    bool IsValidChar(char C) const override;
    bool GetValue(double& Value) const;

protected:
    DB_NUMERIC_FIELD_CONVERSIONS

private:
    bool FCurrency = false;
    double FMinValue = 0;
    double FMaxValue = 0;
    int FPrecision = 15;
};

class TCurrencyField : public TFloatField {
    RTL_CLASS(TCurrencyField, TFloatField)
public:
    explicit TCurrencyField(rtl::TComponent* AOwner);
};

// A fixed-point value with Size decimal places, read and written as Currency.
class TBCDField : public TNumericField {
    RTL_CLASS(TBCDField, TNumericField)
public:
    explicit TBCDField(rtl::TComponent* AOwner);
    bool Currency() const noexcept { return FCurrency; }
    void SetCurrency(bool Value);
    rtl::Currency MinValue() const noexcept { return FMinValue; }
    void SetMinValue(rtl::Currency Value);
    rtl::Currency MaxValue() const noexcept { return FMaxValue; }
    void SetMaxValue(rtl::Currency Value);
    // Total digits (0: not limited).
    int Precision() const noexcept { return FPrecision; }
    void SetPrecision(int Value);
    bool IsValidChar(char C) const override;
    bool GetValue(rtl::Currency& Value) const;

protected:
    DB_NUMERIC_FIELD_CONVERSIONS
    int DefaultDisplayWidth() const override { return FPrecision > 0 ? FPrecision + 2 : 10; }

private:
    bool FCurrency = false;
    rtl::Currency FMinValue;
    rtl::Currency FMaxValue;
    int FPrecision = 0;
};

// A packed decimal with Precision digits and Size decimal places.
class TFMTBCDField : public TNumericField {
    RTL_CLASS(TFMTBCDField, TNumericField)
public:
    explicit TFMTBCDField(rtl::TComponent* AOwner);
    bool Currency() const noexcept { return FCurrency; }
    void SetCurrency(bool Value);
    // Bounds as decimal text; both empty: no range.
    const AnsiString& MinValue() const noexcept { return FMinValue; }
    void SetMinValue(const AnsiString& Value);
    const AnsiString& MaxValue() const noexcept { return FMaxValue; }
    void SetMaxValue(const AnsiString& Value);
    int Precision() const noexcept { return FPrecision; }
    void SetPrecision(int Value);
    bool IsValidChar(char C) const override;
    bool GetValue(rtl::TBcd& Value) const;

protected:
    DB_NUMERIC_FIELD_CONVERSIONS
    int DefaultDisplayWidth() const override { return FPrecision > 0 ? FPrecision + 2 : 10; }

private:
    bool FCurrency = false;
    AnsiString FMinValue;
    AnsiString FMaxValue;
    int FPrecision = 15;
};

// ---------------------------------------------------------------------------------------------
// Booleans

class TBooleanField : public TField {
    RTL_CLASS(TBooleanField, TField)
public:
    explicit TBooleanField(rtl::TComponent* AOwner);
    // "true text;false text"; either part may be empty.
    const AnsiString& DisplayValues() const noexcept { return FDisplayValues; }
    void SetDisplayValues(const AnsiString& Value);
    bool GetValue(bool& Value) const;

protected:
    Variant GetAsVariant() const override;
    void SetVarValue(const Variant& V) override;
    AnsiString GetAsString() const override;
    void SetAsStringValue(const AnsiString& V) override;
    bool GetAsBoolean() const override;
    void SetAsBooleanValue(bool V) override;
    int32_t GetAsInteger() const override;
    void SetAsIntegerValue(int32_t V) override;
    int DefaultDisplayWidth() const override;

private:
    AnsiString FDisplayValues = "True;False";
    AnsiString FTextTrue = "True";
    AnsiString FTextFalse = "False";
};

// ---------------------------------------------------------------------------------------------
// Dates and times

// Date, time and date-time values (by DataType).
class TDateTimeField : public TField {
    RTL_CLASS(TDateTimeField, TField)
public:
    explicit TDateTimeField(rtl::TComponent* AOwner);
    const AnsiString& DisplayFormat() const noexcept { return FDisplayFormat; }
    void SetDisplayFormat(const AnsiString& Value);
    bool GetValue(rtl::TDateTime& Value) const;
    int DataSize() const override;

protected:
    Variant GetAsVariant() const override;
    void SetVarValue(const Variant& V) override;
    AnsiString GetAsString() const override;
    void SetAsStringValue(const AnsiString& V) override;
    double GetAsFloat() const override;
    void SetAsFloatValue(double V) override;
    rtl::TDateTime GetAsDateTime() const override;
    void SetAsDateTimeValue(rtl::TDateTime V) override;
    void GetText(AnsiString& Text, bool DisplayText) const override;
    int DefaultDisplayWidth() const override;

private:
    AnsiString FDisplayFormat;
};

DB_TYPED_FIELD_CLASS(TDateField, TDateTimeField, ftDate)

DB_TYPED_FIELD_CLASS(TTimeField, TDateTimeField, ftTime)

class TSQLTimeStampField : public TField {
    RTL_CLASS(TSQLTimeStampField, TField)
public:
    explicit TSQLTimeStampField(rtl::TComponent* AOwner);
    const AnsiString& DisplayFormat() const noexcept { return FDisplayFormat; }
    void SetDisplayFormat(const AnsiString& Value);
    bool GetValue(rtl::TSQLTimeStamp& Value) const;
    rtl::TSQLTimeStamp AsSQLTimeStamp() const;
    void SetAsSQLTimeStamp(const rtl::TSQLTimeStamp& Value);

protected:
    Variant GetAsVariant() const override;
    void SetVarValue(const Variant& V) override;
    AnsiString GetAsString() const override;
    void SetAsStringValue(const AnsiString& V) override;
    double GetAsFloat() const override;
    void SetAsFloatValue(double V) override;
    rtl::TDateTime GetAsDateTime() const override;
    void SetAsDateTimeValue(rtl::TDateTime V) override;
    void GetText(AnsiString& Text, bool DisplayText) const override;
    int DefaultDisplayWidth() const override { return 20; }

private:
    AnsiString FDisplayFormat;
};

// ---------------------------------------------------------------------------------------------
// Binary values

class TBinaryField : public TField {
    RTL_CLASS(TBinaryField, TField)
public:
    explicit TBinaryField(rtl::TComponent* AOwner);
    rtl::TBytes AsBytes() const;
    void SetAsBytes(const rtl::TBytes& Value);

protected:
    Variant GetAsVariant() const override;
    void SetVarValue(const Variant& V) override;
    AnsiString GetAsString() const override;
    void SetAsStringValue(const AnsiString& V) override;
    void GetText(AnsiString& Text, bool DisplayText) const override;
};

class TBytesField : public TBinaryField {
    RTL_CLASS(TBytesField, TBinaryField)
public:
    explicit TBytesField(rtl::TComponent* AOwner);
};

class TVarBytesField : public TBinaryField {
    RTL_CLASS(TVarBytesField, TBinaryField)
public:
    explicit TVarBytesField(rtl::TComponent* AOwner);
};

// ---------------------------------------------------------------------------------------------
// Blobs: every value passes through the dataset's blob stream.

class TBlobField : public TField {
    RTL_CLASS(TBlobField, TField)
public:
    explicit TBlobField(rtl::TComponent* AOwner);
    TFieldType BlobType() const noexcept { return FDataType; }
    void SetBlobType(TFieldType Value) { SetFieldType(Value); }
    bool IsBlob() const override { return true; }
    // The stored bytes (empty when null).
    rtl::TBytes AsBytes() const;
    void SetAsBytes(const rtl::TBytes& Value);
    void LoadFromStream(rtl::TStream* Stream);
    void SaveToStream(rtl::TStream* Stream) const;
    // Bytes stored.
    int64_t BlobSize() const;
    // Empties the value through a write stream.
    void Clear() override;
    // No native data; the blob stream carries the value.
    int DataSize() const override { return 0; }

protected:
    Variant GetAsVariant() const override;
    void SetVarValue(const Variant& V) override;
    AnsiString GetAsString() const override;
    void SetAsStringValue(const AnsiString& V) override;
    // "(Memo)" when empty, "(MEMO)" with a value: the type name in parentheses.
    void GetText(AnsiString& Text, bool DisplayText) const override;
    std::string ReadAll() const;
    void WriteAll(const void* Data, size_t Count);
};

class TMemoField : public TBlobField {
    RTL_CLASS(TMemoField, TBlobField)
public:
    explicit TMemoField(rtl::TComponent* AOwner);

protected:
    Variant GetAsVariant() const override;
    WideString GetAsWideString() const override;
    void SetAsWideStringValue(const WideString& V) override;
};

// Text kept in the blob as UTF-16.
class TWideMemoField : public TBlobField {
    RTL_CLASS(TWideMemoField, TBlobField)
public:
    explicit TWideMemoField(rtl::TComponent* AOwner);

protected:
    Variant GetAsVariant() const override;
    void SetVarValue(const Variant& V) override;
    AnsiString GetAsString() const override;
    void SetAsStringValue(const AnsiString& V) override;
    WideString GetAsWideString() const override;
    void SetAsWideStringValue(const WideString& V) override;
};

DB_TYPED_FIELD_CLASS(TGraphicField, TBlobField, ftGraphic)

// ---------------------------------------------------------------------------------------------
// Variants and object types

class TVariantField : public TField {
    RTL_CLASS(TVariantField, TField)
public:
    explicit TVariantField(rtl::TComponent* AOwner);
    int DataSize() const override { return static_cast<int>(sizeof(Variant)); }

protected:
    DB_SCALAR_FIELD_CONVERSIONS
};

// The parent of the child fields of an object or array column; its text is its type name.
class TObjectField : public TField {
    RTL_CLASS(TObjectField, TField)
public:
    explicit TObjectField(rtl::TComponent* AOwner);
    // The dataset's fields whose ParentField is this one, in order.
    std::vector<TField*> ChildFields() const;

protected:
    void GetText(AnsiString& Text, bool DisplayText) const override;
};

DB_TYPED_FIELD_CLASS(TADTField, TObjectField, ftADT)

DB_TYPED_FIELD_CLASS(TArrayField, TObjectField, ftArray)

DB_TYPED_FIELD_CLASS(TReferenceField, TObjectField, ftReference)

class TDataSetField : public TObjectField {
    RTL_CLASS(TDataSetField, TObjectField)
public:
    explicit TDataSetField(rtl::TComponent* AOwner);
    // The dataset showing the nested rows; none until one attaches.
    TDataSet* NestedDataSet() const noexcept { return FNestedDataSet; }
    void SetNestedDataSet(TDataSet* Value) noexcept { FNestedDataSet = Value; }

private:
    TDataSet* FNestedDataSet = nullptr;
};

class TInterfaceField : public TField {
    RTL_CLASS(TInterfaceField, TField)
public:
    explicit TInterfaceField(rtl::TComponent* AOwner);

protected:
    void GetText(AnsiString& Text, bool DisplayText) const override;
};

DB_TYPED_FIELD_CLASS(TIDispatchField, TInterfaceField, ftIDispatch)

}  // namespace db
