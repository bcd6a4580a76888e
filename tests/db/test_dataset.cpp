#include "test_dataset.h"

#include <algorithm>
#include <cstring>

#include "framework/rtl/SysUtils.h"
#include "framework/rtl/Text.h"

namespace dbtest {

using namespace db;

// ---------------------------------------------------------------------------------------------
// Fields

TTestStringField::TTestStringField(rtl::TComponent* AOwner) : TField(AOwner) {
    FDataType = ftString;
    FSize = 20;
}

Variant TTestStringField::GetAsVariant() const { return IsNull() ? Variant::Null() : Variant(GetAsString()); }

void TTestStringField::SetVarValue(const Variant& V) { SetAsStringValue(rtl::VarToStr(V)); }

AnsiString TTestStringField::GetAsString() const {
    std::vector<char> buf(static_cast<size_t>(DataSize()) + 1, '\0');
    if (!GetData(buf.data())) return {};
    return AnsiString(buf.data());
}

void TTestStringField::SetAsStringValue(const AnsiString& V) {
    std::vector<char> buf(static_cast<size_t>(DataSize()), '\0');
    std::memcpy(buf.data(), V.data(), std::min(V.size(), static_cast<size_t>(Size())));
    SetData(buf.data());
}

TTestIntegerField::TTestIntegerField(rtl::TComponent* AOwner) : TField(AOwner) { FDataType = ftInteger; }

Variant TTestIntegerField::GetAsVariant() const {
    int32_t v = 0;
    return GetData(&v) ? Variant(v) : Variant::Null();
}

void TTestIntegerField::SetVarValue(const Variant& V) { SetAsIntegerValue(V.AsInteger()); }

AnsiString TTestIntegerField::GetAsString() const {
    int32_t v = 0;
    return GetData(&v) ? rtl::IntToStr(v) : AnsiString();
}

void TTestIntegerField::SetAsStringValue(const AnsiString& V) {
    if (V.empty()) {
        Clear();
        return;
    }
    int32_t v = 0;
    if (!rtl::TryStrToInt(V, v)) DatabaseErrorFmt(msg::SInvalidFieldValue, {DisplayNameA()});
    SetAsIntegerValue(v);
}

int32_t TTestIntegerField::GetAsInteger() const {
    int32_t v = 0;
    return GetData(&v) ? v : 0;
}

void TTestIntegerField::SetAsIntegerValue(int32_t V) { SetData(&V); }

TTestFieldClasses::TTestFieldClasses()
    : FOldString(RegisterFieldClass(ftString, &TTestStringField::StaticClass())),
      FOldInteger(RegisterFieldClass(ftInteger, &TTestIntegerField::StaticClass())) {}

TTestFieldClasses::~TTestFieldClasses() {
    RegisterFieldClass(ftString, FOldString);
    RegisterFieldClass(ftInteger, FOldInteger);
}

// ---------------------------------------------------------------------------------------------
// Dataset

TTestDataSet::TTestDataSet(rtl::TComponent* AOwner) : TDataSet(AOwner) {}

void TTestDataSet::AddDef(const WideString& Name, TFieldType Type, int Size, bool Required) {
    FieldDefs().Add(Name, Type, Size, Required);
    Layout();
}

int TTestDataSet::DefSize(int Def) const {
    TFieldDef* d = FieldDefs().Items(Def);
    switch (d->DataType()) {
        case ftString: return d->Size() + 1;
        case ftInteger: return 4;
        default: return 8;
    }
}

void TTestDataSet::Layout() {
    FOffsets.clear();
    int off = 0;
    for (int i = 0; i < FieldDefs().Count(); ++i) {
        FOffsets.push_back(off);
        off += 1 + DefSize(i);
    }
    FDataSize = off;
}

void TTestDataSet::Encode(TFieldType Type, int Size, const Variant& V, uint8_t* Slot) {
    std::memset(Slot, 0, static_cast<size_t>(1 + (Type == ftString ? Size + 1 : Type == ftInteger ? 4 : 8)));
    if (V.IsNull() || V.IsEmpty()) return;
    Slot[0] = 1;
    if (Type == ftString) {
        AnsiString s = rtl::VarToStr(V);
        std::memcpy(Slot + 1, s.data(), std::min(s.size(), static_cast<size_t>(Size)));
    } else if (Type == ftInteger) {
        int32_t v = V.AsInteger();
        std::memcpy(Slot + 1, &v, 4);
    } else {
        double d = V.AsDouble();
        std::memcpy(Slot + 1, &d, 8);
    }
}

Variant TTestDataSet::Decode(TFieldType Type, const uint8_t* Slot) {
    if (!Slot[0]) return Variant::Null();
    if (Type == ftString) return Variant(AnsiString(reinterpret_cast<const char*>(Slot + 1)));
    if (Type == ftInteger) {
        int32_t v;
        std::memcpy(&v, Slot + 1, 4);
        return Variant(v);
    }
    double d;
    std::memcpy(&d, Slot + 1, 8);
    return Variant(d);
}

void TTestDataSet::AddRow(const std::vector<Variant>& Values) {
    TRow row{++FNextId, std::vector<uint8_t>(static_cast<size_t>(FDataSize), 0)};
    for (int i = 0; i < FieldDefs().Count() && i < static_cast<int>(Values.size()); ++i) {
        TFieldDef* d = FieldDefs().Items(i);
        Encode(d->DataType(), d->Size(), Values[static_cast<size_t>(i)],
               row.Data.data() + FOffsets[static_cast<size_t>(i)]);
    }
    FRows.push_back(std::move(row));
}

Variant TTestDataSet::StoredValue(int Row, int Def) const {
    return Decode(FieldDefs().Items(Def)->DataType(),
                  FRows[static_cast<size_t>(Row)].Data.data() + FOffsets[static_cast<size_t>(Def)]);
}

int TTestDataSet::IndexOfId(int Id) const {
    for (size_t i = 0; i < FRows.size(); ++i)
        if (FRows[i].Id == Id) return static_cast<int>(i);
    return -1;
}

TRecordBuffer TTestDataSet::AllocRecordBuffer() {
    size_t size = static_cast<size_t>(InfoOffset() + 5);
    auto* b = new uint8_t[size];
    std::memset(b, 0, size);
    return b;
}

void TTestDataSet::FreeRecordBuffer(TRecordBuffer& Buffer) {
    delete[] Buffer;
    Buffer = nullptr;
}

TGetResult TTestDataSet::GetRecordStep(TRecordBuffer Buffer, TGetMode GetMode, bool /*DoCheck*/) {
    TGetResult result = StepCursor(FCursor, StoreCount(), GetMode);
    if (result != grOK) return result;
    const TRow& row = FRows[static_cast<size_t>(FCursor)];
    std::memcpy(Buffer, row.Data.data(), row.Data.size());
    std::memcpy(Buffer + InfoOffset(), &row.Id, 4);
    Buffer[InfoOffset() + 4] = bfCurrent;
    GetCalcFields(Buffer);
    return grOK;
}

void TTestDataSet::GetBookmarkData(TRecordBuffer Buffer, void* Data) { std::memcpy(Data, Buffer + InfoOffset(), 4); }

void TTestDataSet::SetBookmarkData(TRecordBuffer Buffer, const void* Data) {
    std::memcpy(Buffer + InfoOffset(), Data, 4);
}

TBookmarkFlag TTestDataSet::GetBookmarkFlag(TRecordBuffer Buffer) {
    return static_cast<TBookmarkFlag>(Buffer[InfoOffset() + 4]);
}

void TTestDataSet::SetBookmarkFlag(TRecordBuffer Buffer, TBookmarkFlag Value) {
    Buffer[InfoOffset() + 4] = static_cast<uint8_t>(Value);
}

void TTestDataSet::OpenStep() {
    Layout();
    if (DefaultFields()) CreateFields();
    BindFields(true);
    SetBookmarkSize(4);
    FCursor = -1;
    FOpen = true;
}

void TTestDataSet::CloseStep() {
    BindFields(false);
    FOpen = false;
}

void TTestDataSet::GotoBookmarkStep(const void* Bookmark) {
    int id;
    std::memcpy(&id, Bookmark, 4);
    int i = IndexOfId(id);
    if (i < 0) DatabaseError(msg::SRecordNotFound, this);
    FCursor = i;
}

void TTestDataSet::SetToRecordStep(TRecordBuffer Buffer) { GotoBookmarkStep(Buffer + InfoOffset()); }

void TTestDataSet::InitRecordStep(TRecordBuffer Buffer) {
    std::memset(Buffer, 0, static_cast<size_t>(FDataSize));
    std::memset(Buffer + InfoOffset(), 0, 4);
}

void TTestDataSet::AddRecordStep(TRecordBuffer Buffer, bool Append) {
    TRow row{++FNextId, std::vector<uint8_t>(Buffer, Buffer + FDataSize)};
    if (Append || FCursor >= StoreCount()) {
        FRows.push_back(std::move(row));
        FCursor = StoreCount() - 1;
    } else {
        if (FCursor < 0) FCursor = 0;
        FRows.insert(FRows.begin() + FCursor, std::move(row));
    }
}

void TTestDataSet::DeleteStep() {
    if (FReadOnly) DatabaseError(msg::SDataSetReadOnly, this);
    if (FCursor < 0 || FCursor >= StoreCount()) DatabaseError(msg::SNoCurrentRecord, this);
    FRows.erase(FRows.begin() + FCursor);
}

void TTestDataSet::PostStep() {
    TDataSet::PostStep();
    if (!FFailPost.empty()) {
        AnsiString m = FFailPost;
        FFailPost.clear();
        DatabaseError(m, this);
    }
    TRecordBuffer buffer = ActiveBuffer();
    if (State() == dsEdit) {
        std::memcpy(FRows[static_cast<size_t>(FCursor)].Data.data(), buffer, static_cast<size_t>(FDataSize));
    } else {
        AddRecordStep(buffer, GetBookmarkFlag(buffer) == bfEOF);
    }
}

bool TTestDataSet::BookmarkValidStep(const TBookmark& Bookmark) {
    if (Bookmark.size() != 4) return false;
    int id;
    std::memcpy(&id, Bookmark.data(), 4);
    return IndexOfId(id) >= 0;
}

int TTestDataSet::CompareBookmarksStep(const TBookmark& Bookmark1, const TBookmark& Bookmark2) {
    if (Bookmark1.empty() || Bookmark2.empty()) return Bookmark1.empty() ? (Bookmark2.empty() ? 0 : -1) : 1;
    int a, b;
    std::memcpy(&a, Bookmark1.data(), 4);
    std::memcpy(&b, Bookmark2.data(), 4);
    int ia = IndexOfId(a), ib = IndexOfId(b);
    return ia < ib ? -1 : ia > ib ? 1 : 0;
}

int TTestDataSet::CurrentRecNo() const {
    if (!Active() || State() == dsInsert || IsEmpty()) return 0;
    int id;
    std::memcpy(&id, ActiveBuffer() + InfoOffset(), 4);
    return IndexOfId(id) + 1;
}

TRecordBuffer TTestDataSet::StateBuffer() {
    switch (State()) {
        case dsCalcFields: return CalcBuffer();
        case dsBrowse:
        case dsBlockRead: return IsEmpty() ? nullptr : ActiveBuffer();
        case dsEdit:
        case dsInsert:
        case dsNewValue: return ActiveBuffer();
        case dsOldValue: {
            if (IsEmpty()) return nullptr;
            int id;
            std::memcpy(&id, ActiveBuffer() + InfoOffset(), 4);
            int i = IndexOfId(id);
            return i < 0 ? nullptr : FRows[static_cast<size_t>(i)].Data.data();
        }
        default: return nullptr;
    }
}

bool TTestDataSet::GetFieldValue(TField* Field, void* Dest) {
    TRecordBuffer buffer = StateBuffer();
    if (!buffer) return false;
    const uint8_t* slot;
    size_t size;
    if (Field->FieldNo() >= 1) {
        int def = Field->FieldNo() - 1;
        slot = buffer + FOffsets[static_cast<size_t>(def)];
        size = static_cast<size_t>(DefSize(def));
    } else {
        if (State() == dsOldValue) return false;
        slot = buffer + FDataSize + Field->Offset();
        size = static_cast<size_t>(Field->DataSize());
    }
    if (!slot[0]) return false;
    if (Dest) std::memcpy(Dest, slot + 1, size);
    return true;
}

void TTestDataSet::PutFieldValue(TField* Field, const void* Source) {
    TDataSetState s = State();
    if (s != dsEdit && s != dsInsert && s != dsCalcFields && s != dsNewValue) DatabaseError(msg::SNotEditing, this);
    TRecordBuffer buffer = StateBuffer();
    uint8_t* slot;
    size_t size;
    if (Field->FieldNo() >= 1) {
        if (s == dsCalcFields) DatabaseError(msg::SNotEditing, this);
        if (Field->ReadOnly()) DatabaseErrorFmt(msg::SFieldReadOnly, {Field->DisplayNameA()}, this);
        Field->Validate(Source);
        int def = Field->FieldNo() - 1;
        slot = buffer + FOffsets[static_cast<size_t>(def)];
        size = static_cast<size_t>(DefSize(def));
    } else {
        slot = buffer + FDataSize + Field->Offset();
        size = static_cast<size_t>(Field->DataSize());
    }
    std::memset(slot, 0, size + 1);
    if (Source) {
        slot[0] = 1;
        std::memcpy(slot + 1, Source, size);
    }
    if (s != dsCalcFields && s != dsNewValue) DataEvent(deFieldChange, EventInfo(Field));
}

bool TTestDataSet::Matches(int Row, const std::vector<TField*>& Keys, const Variant& Values,
                           TLocateOptions Options) const {
    for (size_t k = 0; k < Keys.size(); ++k) {
        Variant key = Keys.size() == 1 ? Values : Values.GetElement(Values.ArrayLowBound() + static_cast<int>(k));
        int def = Keys[k]->FieldNo() - 1;
        Variant value = StoredValue(Row, def);
        if (key.IsNull() || value.IsNull()) {
            if (key.IsNull() != value.IsNull()) return false;
            continue;
        }
        if (rtl::VarIsStr(value)) {
            AnsiString a = rtl::VarToStr(value), b = rtl::VarToStr(key);
            if (Options.Contains(loCaseInsensitive)) {
                a = rtl::AnsiUpperCase(a);
                b = rtl::AnsiUpperCase(b);
            }
            if (Options.Contains(loPartialKey) ? a.compare(0, b.size(), b) != 0 : a != b) return false;
        } else if (!rtl::VarSameValue(value, key)) {
            return false;
        }
    }
    return true;
}

bool TTestDataSet::Locate(const WideString& KeyFields, const Variant& KeyValues, TLocateOptions Options) {
    CheckBrowseMode();
    BeforeScrollStep();
    std::vector<TField*> keys;
    GetFieldList(keys, KeyFields);
    for (int i = 0; i < StoreCount(); ++i) {
        if (Matches(i, keys, KeyValues, Options)) {
            FCursor = i;
            Resync(TResyncMode{rmExact, rmCenter});
            AfterScrollStep();
            return true;
        }
    }
    return false;
}

Variant TTestDataSet::Lookup(const WideString& KeyFields, const Variant& KeyValues, const WideString& ResultFields) {
    CheckActive();
    std::vector<TField*> keys, results;
    GetFieldList(keys, KeyFields);
    GetFieldList(results, ResultFields);
    for (int i = 0; i < StoreCount(); ++i) {
        if (!Matches(i, keys, KeyValues, {})) continue;
        if (results.size() == 1) return StoredValue(i, results[0]->FieldNo() - 1);
        std::vector<Variant> values;
        for (TField* f : results) values.push_back(StoredValue(i, f->FieldNo() - 1));
        return Variant::VarArray(std::move(values));
    }
    return Variant::Null();
}

// ---------------------------------------------------------------------------------------------
// Link

void TTestLink::ActiveChanged() {
    ++ActiveChanges;
    Log.push_back(Active() ? "active" : "inactive");
}

void TTestLink::DataSetChanged() { Log.push_back("changed"); }

void TTestLink::DataSetScrolled(int Distance) {
    Distances.push_back(Distance);
    Log.push_back("scrolled " + std::to_string(Distance));
}

void TTestLink::RecordChanged(TField* Field) {
    Log.push_back(Field ? "record " + rtl::WideToAnsi(Field->FieldName()) : "record");
}

void TTestLink::EditingChanged() { Log.push_back(Editing() ? "editing" : "not editing"); }

void TTestLink::UpdateData() {
    ++UpdateDataCalls;
    Log.push_back("update");
}

void TTestLink::LayoutChanged() { Log.push_back("layout"); }

void TTestLink::DataEvent(TDataEvent Event, intptr_t Info) {
    if (Event == deDisabledStateChange) Log.push_back("disabled " + std::to_string(Info));
    TDataLink::DataEvent(Event, Info);
}

void TTestLink::FocusControl(TField** Field) {
    if (Field && *Field) Log.push_back("focus " + rtl::WideToAnsi((*Field)->FieldName()));
}

void TTestLink::CheckBrowseMode() { Log.push_back("check"); }

}  // namespace dbtest
