// Blob streams of the memory dataset and the service's rowset attribute writers.
#include <algorithm>

#include "data/store/CRXml.h"
#include "data/store/MemDS.h"
#include "framework/rtl/Bcd.h"
#include "framework/rtl/DateUtils.h"
#include "framework/rtl/SysUtils.h"
#include "framework/rtl/Text.h"

namespace store {

using namespace db;

// ---------------------------------------------------------------------------------------------
// TBlobStream

rtl::TStream* TMemDataSet::NewBlobStream(TField* Field, TBlobStreamMode Mode) {
    // The class references answer with a few pointer comparisons; a memo is read this way on
    // every row of a scan.
    if (!Field || !Field->InheritsFrom(&TBlobField::StaticClass())) throw EInvalidCast(SInvalidCast);
    return rtl::Create<TBlobStream>(static_cast<TBlobField*>(Field), Mode);
}

// What a read stream would give, without making one: a memo is read this way on every row of a
// scan.
template <class C>
static Variant ReadStoreText(TData* Data, int FieldNo, const void* Buffer, bool AsUnicode, bool FromRollback) {
    const int64_t size = Buffer ? Data->GetBlobSize(FieldNo, Buffer, AsUnicode, FromRollback) : 0;
    const size_t count = size > 0 ? static_cast<size_t>(size) / sizeof(C) : 0;
    C* chars = nullptr;
    Variant v = Variant::UninitTextOf(count, &chars);
    const int64_t want = static_cast<int64_t>(count * sizeof(C));
    auto* dest = reinterpret_cast<uint8_t*>(chars);
    for (int64_t done = 0; done < want;) {
        const int64_t n = Data->ReadBlob(FieldNo, Buffer, AsUnicode, FromRollback, dest + done, want - done, done);
        if (n <= 0) throw rtl::EReadError("Stream read error");
        done += n;
    }
    return v;
}

Variant TMemDataSet::ReadBlobText(TField* Field, bool Wide) {
    if (!Field || !Field->InheritsFrom(&TBlobField::StaticClass())) throw EInvalidCast(SInvalidCast);
    const int fieldNo = FieldNoOfDesc(Field);
    const bool asUnicode = Field->InheritsFrom(&TWideMemoField::StaticClass());
    const TRecordBuffer buf = StateRecordBuffer();
    const bool fromRollback = State() == dsOldValue;
    return Wide ? ReadStoreText<char16_t>(FIRecordSet.get(), fieldNo, buf, asUnicode, fromRollback)
                : ReadStoreText<char>(FIRecordSet.get(), fieldNo, buf, asUnicode, fromRollback);
}

TBlobStream::TBlobStream(TBlobField* Field, TBlobStreamMode Mode) : FField(Field), FMode(Mode) {
    TDataSet* dataSet = Field->DataSet();
    if (!dataSet || !dataSet->InheritsFrom(&TMemDataSet::StaticClass()))
        rtl::AssertFail(SAssertionFailure, MemDSUnit, __LINE__);
    FDataSet = static_cast<TMemDataSet*>(dataSet);
    FFieldNo = static_cast<uint16_t>(FDataSet->FieldNoOfDesc(Field));
    FAsUnicode = Field->InheritsFrom(&TWideMemoField::StaticClass());
    FBuffer = FDataSet->StateRecordBuffer();
    if (!FBuffer) return;
    if (!Field->Modified() && Mode != bmRead) {
        if (Field->ReadOnly()) DatabaseErrorFmt(msg::SFieldReadOnly, {Field->DisplayNameA()}, FDataSet);
        TDataSetState s = FDataSet->State();
        if (s != dsEdit && s != dsInsert && s != dsNewValue) DatabaseError(msg::SNotEditing, FDataSet);
    }
    FOpened = true;
    if (Mode == bmWrite) Truncate();
}

TBlobStream::~TBlobStream() {
    try {
        if (FOpened && FModified) FField->SetModified(true);
        if (FModified) FDataSet->DataEvent(deFieldChange, reinterpret_cast<intptr_t>(FField));
    } catch (...) {
        rtl::HandleException();
    }
}

bool TBlobStream::FromRollback() const { return FDataSet->State() == dsOldValue; }

int64_t TBlobStream::Read(void* Buffer, int64_t Count) {
    if (!FOpened || FPosition < 0) return 0;
    Count = std::min(Count, Size() - FPosition);
    if (Count <= 0) return 0;
    int64_t n =
        FDataSet->IRecordSet()->ReadBlob(FFieldNo, FBuffer, AsUnicode(), FromRollback(), Buffer, Count, FPosition);
    FPosition += n;
    return n;
}

int64_t TBlobStream::Write(const void* Buffer, int64_t Count) {
    // A read stream may share its blob with the stored record: writing through it would change
    // the store behind the dataset's back.
    if (!FOpened || FMode == bmRead || FPosition < 0 || Count <= 0) return 0;
    FDataSet->IRecordSet()->WriteBlob(FFieldNo, FBuffer, AsUnicode(), Buffer, Count, FPosition);
    FPosition += Count;
    FModified = true;
    return Count;
}

int64_t TBlobStream::Seek(int64_t Offset, rtl::TSeekOrigin Origin) {
    switch (Origin) {
        case rtl::soBeginning: FPosition = Offset; break;
        case rtl::soCurrent: FPosition += Offset; break;
        case rtl::soEnd: FPosition = Offset + Size(); break;
    }
    return FPosition;
}

int64_t TBlobStream::Size() {
    if (!FOpened) return 0;
    return FDataSet->IRecordSet()->GetBlobSize(FFieldNo, FBuffer, AsUnicode(), FromRollback());
}

void TBlobStream::SetSize(int64_t NewSize) {
    if (!FOpened || FMode == bmRead || NewSize < 0) return;
    FDataSet->IRecordSet()->SetBlobSize(FFieldNo, FBuffer, AsUnicode(), false, NewSize);
    FModified = true;
}

void TBlobStream::Truncate() {
    if (!FOpened || FMode == bmRead || FPosition < 0) return;
    FDataSet->IRecordSet()->TruncateBlob(FFieldNo, FBuffer, AsUnicode(), FPosition);
    FModified = true;
}

// ---------------------------------------------------------------------------------------------
// Rowset attributes

namespace {

WideString Num(int64_t Value) { return rtl::AnsiToWide(rtl::IntToStr(Value)); }

const char16_t* const MaxLongLength = u"2147483647";

AnsiString WithPoint(AnsiString Text) {
    std::replace(Text.begin(), Text.end(), rtl::FormatSettings().DecimalSeparator, '.');
    return Text;
}

WideString Pad(int Value, int Width) {
    AnsiString s = rtl::IntToStr(Value);
    if (static_cast<int>(s.size()) < Width) s.insert(0, static_cast<size_t>(Width) - s.size(), '0');
    return rtl::AnsiToWide(s);
}

WideString Hex(const uint8_t* Data, size_t Count) {
    static const char16_t digits[] = u"0123456789ABCDEF";
    WideString out;
    out.reserve(Count * 2);
    for (size_t i = 0; i < Count; ++i) {
        out += digits[Data[i] >> 4];
        out += digits[Data[i] & 0x0F];
    }
    return out;
}

}  // namespace

void TDataSetService::WriteFieldSchema(TField* Field, TFieldDesc* FieldDesc, XmlWriter& Writer) {
    const bool blobClass = dynamic_cast<TBlobField*>(Field) != nullptr;
    auto attr = [&Writer](const char16_t* Name, const WideString& Value) { WriteXmlAttribute(Writer, Name, Value); };
    const WideString size = Num(FieldDesc->Size);
    const WideString length = Num(FieldDesc->Length);
    const WideString scale = Num(FieldDesc->Scale);
    switch (FieldDesc->DataType) {
        case mdtUnknown:
        case mdtVariant: attr(u"dt:type", u"string"); break;
        case mdtString:
        case mdtMemo:
        case mdtExtString:
        case mdtWideString:
        case mdtExtWideString:
        case mdtWideMemo: {
            const TMemDataType t = FieldDesc->DataType;
            attr(u"dt:type", u"string");
            attr(u"dt:maxLength", t == mdtMemo || t == mdtWideMemo ? WideString(MaxLongLength) : length);
            if (t == mdtString || t == mdtMemo || t == mdtExtString) attr(u"rs:dbtype", u"str");
            if (blobClass && !FieldDesc->Fixed) attr(u"rs:long", u"true");
            break;
        }
        case mdtInt8:
            attr(u"dt:type", u"i1");
            attr(u"dt:maxLength", size);
            attr(u"rs:precision", length);
            break;
        case mdtInt16:
            attr(u"dt:type", u"i2");
            attr(u"dt:maxLength", size);
            attr(u"rs:precision", u"5");
            break;
        case mdtInt32:
            attr(u"dt:type", u"int");
            attr(u"dt:maxLength", size);
            attr(u"rs:precision", u"10");
            break;
        case mdtFloat:
            if (FieldDesc->Length > 7) {
                attr(u"dt:type", u"float");
                attr(u"dt:maxLength", size);
            } else {
                attr(u"dt:type", u"r4");
                attr(u"dt:maxLength", u"4");
            }
            attr(u"rs:precision", length);
            break;
        case mdtDate:
        case mdtTime:
            attr(u"dt:type", FieldDesc->DataType == mdtDate ? u"date" : u"time");
            attr(u"dt:maxLength", size);
            attr(u"rs:scale", scale);
            attr(u"rs:precision", length);
            break;
        case mdtDateTime:
            attr(u"dt:type", u"datetime");
            attr(u"rs:dbtype", u"variantdate");
            attr(u"dt:maxLength", size);
            attr(u"rs:scale", scale);
            attr(u"rs:precision", length);
            break;
        case mdtUInt16:
            attr(u"dt:type", u"ui2");
            attr(u"dt:maxLength", size);
            attr(u"rs:precision", length);
            break;
        case mdtBoolean:
            attr(u"dt:type", u"boolean");
            attr(u"dt:maxLength", size);
            break;
        case mdtInt64:
            attr(u"dt:type", u"i8");
            attr(u"dt:maxLength", size);
            attr(u"rs:precision", u"19");
            break;
        case mdtCurrency:
        case mdtBCD:
            attr(u"dt:type", u"number");
            attr(u"rs:dbtype", u"currency");
            attr(u"dt:maxLength", size);
            attr(u"rs:precision", length);
            break;
        case mdtBlob:
        case mdtBytes:
        case mdtVarBytes:
        case mdtExtVarBytes:
            attr(u"dt:type", u"bin.hex");
            attr(u"dt:maxLength", FieldDesc->DataType == mdtBlob ? WideString(MaxLongLength) : length);
            if (blobClass && !FieldDesc->Fixed) attr(u"rs:long", u"true");
            break;
        case mdtUInt32:
            attr(u"dt:type", u"ui4");
            attr(u"dt:maxLength", size);
            attr(u"rs:precision", length);
            break;
        case mdtFmtBCD:
            attr(u"dt:type", u"number");
            attr(u"rs:dbtype", u"numeric");
            attr(u"dt:maxLength", size);
            attr(u"rs:scale", scale);
            attr(u"rs:precision", length);
            break;
        case mdtGuid:
            attr(u"dt:type", u"uuid");
            attr(u"dt:maxLength", u"16");
            break;
        case mdtUInt8:
            attr(u"dt:type", u"ui1");
            attr(u"dt:maxLength", size);
            attr(u"rs:precision", length);
            break;
        default: DatabaseError(SDataTypeNotSupported, FDataSet);
    }
    if (FieldDesc->Fixed && FieldDesc->DataType != mdtUnknown && FieldDesc->DataType != mdtVariant)
        attr(u"rs:fixedlength", u"true");
    if (Field->Required() && !Field->ReadOnly()) attr(u"rs:maybenull", u"false");
}

void TDataSetService::WriteFieldAttributes(TField* Field, TFieldDesc* FieldDesc, XmlWriter& Writer,
                                           const WideString& NameOverride) {
    if (!NameOverride.empty()) {
        WriteXmlAttribute(Writer, u"name", NameOverride);
        WriteXmlAttribute(Writer, u"rs:name", FieldDesc->Name);
    } else {
        WriteXmlAttribute(Writer, u"name", FieldDesc->Name);
    }
    WriteXmlAttribute(Writer, u"rs:number", Num(FieldDesc->FieldNo));
    if (!Field->Required() && !Field->ReadOnly()) WriteXmlAttribute(Writer, u"rs:nullable", u"true");
    if (!Field->ReadOnly()) WriteXmlAttribute(Writer, u"rs:writeunknown", u"true");
    if (!FieldDesc->ColumnName.empty()) WriteXmlAttribute(Writer, u"rs:basecolumn", FieldDesc->ColumnName);
    if (FieldDesc->KeyColumn) WriteXmlAttribute(Writer, u"rs:keycolumn", u"true");
    TFieldDesc* own = FDataSet ? FDataSet->FieldDescOf(Field) : FieldDesc;
    if (own && own->AutoIncrement) WriteXmlAttribute(Writer, u"rs:autoincrement", u"true");
}

void TDataSetService::FieldValueToXml(TField* Field, TFieldDesc* FieldDesc, WideString& Text) {
    auto ansi = [&Text](const AnsiString& s) { Text = rtl::AnsiToWide(s); };
    switch (FieldDesc->DataType) {
        case mdtInt8:
        case mdtInt16:
        case mdtInt32:
        case mdtUInt16:
        case mdtInt64:
        case mdtUInt32:
        case mdtUInt8: ansi(Field->AsString()); break;
        case mdtFloat: ansi(WithPoint(rtl::FloatToStr(Field->AsFloat()))); break;
        case mdtDate:
        case mdtDateTime: {
            int y, mo, d, h, mi, sec, ms;
            rtl::DecodeDateTime(Field->AsDateTime(), y, mo, d, h, mi, sec, ms);
            Text = Pad(y, 4) + u"-" + Pad(mo, 2) + u"-" + Pad(d, 2) + u"T" + Pad(h, 2) + u":" + Pad(mi, 2) + u":" +
                   Pad(sec, 2);
            break;
        }
        case mdtTime: {
            int h, mi, sec, ms;
            rtl::DecodeTime(Field->AsDateTime(), h, mi, sec, ms);
            Text = Pad(h, 2) + u":" + Pad(mi, 2) + u":" + Pad(sec, 2);
            break;
        }
        case mdtBoolean: ansi(rtl::BoolToStr(Field->AsBoolean(), true)); break;
        case mdtCurrency:
        case mdtBCD: ansi(WithPoint(rtl::CurrToStr(Field->AsCurrency()))); break;
        case mdtBlob: {
            // Piece by piece, so a large blob is not copied whole first.
            Text.clear();
            rtl::TOwnedPtr<rtl::TStream> stream(Field->DataSet()->CreateBlobStream(Field, bmRead));
            uint8_t piece[4096];
            for (int64_t n; (n = stream->Read(piece, sizeof piece)) > 0;) Text += Hex(piece, static_cast<size_t>(n));
            break;
        }
        case mdtBytes:
        case mdtVarBytes:
        case mdtExtVarBytes: {
            rtl::Variant v = Field->Value();
            Text.clear();
            if (v.IsByteArray()) {
                const rtl::TBytes& b = *v.BytesData();
                Text = Hex(b.data(), b.size());
            }
            break;
        }
        case mdtFmtBCD: ansi(rtl::BcdToStr(Field->AsBCD())); break;
        default:
            if (dynamic_cast<TWideStringField*>(Field) || dynamic_cast<TWideMemoField*>(Field))
                Text = Field->AsWideString();
            else
                ansi(Field->AsString());
    }
}

}  // namespace store
