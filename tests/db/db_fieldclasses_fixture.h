// A small dataset for the field-class tests: rows of native field data (a null byte and the
// native slot per definition), with blob and variant values kept beside the row, BCD kept as an
// 8-byte currency value, and blob streams that write back when freed.
#pragma once

#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "framework/db/DB.h"
#include "framework/db/DB_FieldClasses.h"
#include "framework/rtl/Streams.h"
#include "framework/rtl/Text.h"
#include "test_cursor.h"

namespace fieldtest {

using namespace db;
using rtl::AnsiString;
using rtl::Variant;
using rtl::WideString;

// 1251 text from a UTF-8 literal.
inline AnsiString A(const char8_t* s) { return rtl::UTF8ToAnsi(reinterpret_cast<const char*>(s)); }

class TNativeDataSet;

// Writes its contents into the dataset's pending value of the field when freed.
class TTestBlobStream : public rtl::TMemoryStream {
public:
    TTestBlobStream(TNativeDataSet* DataSet, TField* Field, bool Writing)
        : FDataSet(DataSet), FField(Field), FWriting(Writing) {}
    void BeforeDestruction() override;

private:
    TNativeDataSet* FDataSet;
    TField* FField;
    bool FWriting;
};

class TNativeDataSet : public TDataSet {
    RTL_CLASS(TNativeDataSet, db::TDataSet)
public:
    explicit TNativeDataSet(rtl::TComponent* AOwner) : TDataSet(AOwner) {}

    // Bytes of native data a definition occupies in the row.
    static int SlotSize(const TFieldDef* d) {
        switch (d->DataType()) {
            case ftString:
            case ftFixedChar:
            case ftGuid: return d->Size() + 1;
            case ftWideString:
            case ftFixedWideChar: return (d->Size() + 1) * 2;
            case ftSmallint:
            case ftWord:
            case ftBoolean: return 2;
            case ftInteger:
            case ftAutoInc:
            case ftDate:
            case ftTime: return 4;
            case ftLargeint:
            case ftFloat:
            case ftCurrency:
            case ftDateTime:
            case ftBCD: return 8;
            case ftFMTBcd: return 34;
            case ftTimeStamp: return 16;
            case ftBytes: return d->Size();
            case ftVarBytes: return d->Size() + 2;
            default: return 0;
        }
    }

    // One empty (all null) row, or a row per call.
    void AddEmptyRow() {
        Layout();
        FRows.push_back(TRow{std::vector<uint8_t>(static_cast<size_t>(FDataSize), 0),
                             std::vector<std::string>(static_cast<size_t>(FieldDefs().Count())),
                             std::vector<Variant>(static_cast<size_t>(FieldDefs().Count()))});
    }
    // The stored native bytes of a definition in a row (empty when null).
    std::vector<uint8_t> Stored(int Row, int Def) const {
        const uint8_t* slot = FRows.at(static_cast<size_t>(Row)).Data.data() + FOffsets.at(static_cast<size_t>(Def));
        if (!slot[0]) return {};
        return std::vector<uint8_t>(slot + 1, slot + 1 + SlotSize(FieldDefs().Items(Def)));
    }
    void PutStored(int Row, int Def, const void* Data) {
        uint8_t* slot = FRows.at(static_cast<size_t>(Row)).Data.data() + FOffsets.at(static_cast<size_t>(Def));
        slot[0] = 1;
        std::memcpy(slot + 1, Data, static_cast<size_t>(SlotSize(FieldDefs().Items(Def))));
    }
    const std::string& StoredBlob(int Row, int Def) const {
        return FRows.at(static_cast<size_t>(Row)).Blobs.at(static_cast<size_t>(Def));
    }

    bool GetFieldValue(TField* Field, void* Dest) override {
        int def = Field->FieldNo() - 1;
        if (def < 0) return false;
        TFieldType t = FieldDefs().Items(def)->DataType();
        if (IsBlobType(t)) {
            std::string v = BlobValue(Field);
            return !v.empty();
        }
        if (t == ftVariant) {
            Variant v = VariantValue(def);
            if (v.IsNull() || v.IsEmpty()) return false;
            if (Dest) *static_cast<Variant*>(Dest) = v;
            return true;
        }
        const uint8_t* buffer = StateBuffer();
        if (!buffer) return false;
        const uint8_t* slot = buffer + FOffsets[static_cast<size_t>(def)];
        if (!slot[0]) return false;
        if (Dest) std::memcpy(Dest, slot + 1, static_cast<size_t>(SlotSize(FieldDefs().Items(def))));
        return true;
    }

    void PutFieldValue(TField* Field, const void* Source) override {
        CheckEditing();
        int def = Field->FieldNo() - 1;
        Field->Validate(Source);
        TFieldType t = FieldDefs().Items(def)->DataType();
        if (t == ftVariant) {
            FPendingVariants[def] = Source ? *static_cast<const Variant*>(Source) : Variant::Null();
        } else if (IsBlobType(t)) {
            FPendingBlobs[def].clear();
        } else {
            uint8_t* slot = ActiveBuffer() + FOffsets[static_cast<size_t>(def)];
            size_t size = static_cast<size_t>(SlotSize(FieldDefs().Items(def)));
            std::memset(slot, 0, size + 1);
            if (Source) {
                slot[0] = 1;
                std::memcpy(slot + 1, Source, size);
            }
        }
        DataEvent(deFieldChange, EventInfo(Field));
    }

    // BCD stays an 8-byte currency value in both forms.
    void ConvertFieldData(TField* Field, const void* Source, void* Dest, bool ToNative) override {
        if (Field->DataType() == ftBCD)
            std::memcpy(Dest, Source, 8);
        else
            TDataSet::ConvertFieldData(Field, Source, Dest, ToNative);
    }

    rtl::TStream* NewBlobStream(TField* Field, TBlobStreamMode Mode) override {
        bool writing = Mode != bmRead;
        if (writing) CheckEditing();
        auto* s = rtl::Create<TTestBlobStream>(this, Field, writing);
        if (Mode != bmWrite) {
            std::string v = BlobValue(Field);
            if (!v.empty()) s->WriteBuffer(v.data(), static_cast<int64_t>(v.size()));
            s->SetPosition(0);
        }
        return s;
    }

    void CommitBlob(TField* Field, std::string Value) {
        FPendingBlobs[Field->FieldNo() - 1] = std::move(Value);
        DataEvent(deFieldChange, EventInfo(Field));
    }

protected:
    TRecordBuffer AllocRecordBuffer() override {
        size_t size = static_cast<size_t>(FDataSize + 5);
        auto* b = new uint8_t[size];
        std::memset(b, 0, size);
        return b;
    }
    void FreeRecordBuffer(TRecordBuffer& Buffer) override {
        delete[] Buffer;
        Buffer = nullptr;
    }
    TGetResult GetRecordStep(TRecordBuffer Buffer, TGetMode GetMode, bool /*DoCheck*/) override {
        TGetResult result = dbtest::StepCursor(FCursor, static_cast<int>(FRows.size()), GetMode);
        if (result != grOK) return result;
        std::memcpy(Buffer, FRows[static_cast<size_t>(FCursor)].Data.data(), static_cast<size_t>(FDataSize));
        std::memcpy(Buffer + FDataSize, &FCursor, 4);
        Buffer[FDataSize + 4] = bfCurrent;
        return grOK;
    }
    void GetBookmarkData(TRecordBuffer Buffer, void* Data) override { std::memcpy(Data, Buffer + FDataSize, 4); }
    void SetBookmarkData(TRecordBuffer Buffer, const void* Data) override { std::memcpy(Buffer + FDataSize, Data, 4); }
    TBookmarkFlag GetBookmarkFlag(TRecordBuffer Buffer) override {
        return static_cast<TBookmarkFlag>(Buffer[FDataSize + 4]);
    }
    void SetBookmarkFlag(TRecordBuffer Buffer, TBookmarkFlag Value) override {
        Buffer[FDataSize + 4] = static_cast<uint8_t>(Value);
    }
    void OpenStep() override {
        Layout();
        if (DefaultFields()) CreateFields();
        BindFields(true);
        SetBookmarkSize(4);
        FCursor = -1;
        FOpen = true;
    }
    void CloseStep() override {
        BindFields(false);
        FOpen = false;
    }
    bool CursorOpen() const override { return FOpen; }
    void FirstStep() override { FCursor = -1; }
    void LastStep() override { FCursor = static_cast<int>(FRows.size()); }
    void GotoBookmarkStep(const void* Bookmark) override { std::memcpy(&FCursor, Bookmark, 4); }
    void SetToRecordStep(TRecordBuffer Buffer) override { GotoBookmarkStep(Buffer + FDataSize); }
    void InitRecordStep(TRecordBuffer Buffer) override { std::memset(Buffer, 0, static_cast<size_t>(FDataSize)); }
    void AddRecordStep(TRecordBuffer Buffer, bool /*Append*/) override {
        AddEmptyRow();
        FCursor = static_cast<int>(FRows.size()) - 1;
        std::memcpy(FRows.back().Data.data(), Buffer, static_cast<size_t>(FDataSize));
    }
    void DeleteStep() override { FRows.erase(FRows.begin() + FCursor); }
    void InsertStep() override { ClearPending(); }
    void EditStep() override { ClearPending(); }
    void CancelStep() override { ClearPending(); }
    void PostStep() override {
        TDataSet::PostStep();
        if (State() == dsEdit)
            std::memcpy(FRows[static_cast<size_t>(FCursor)].Data.data(), ActiveBuffer(),
                        static_cast<size_t>(FDataSize));
        else
            AddRecordStep(ActiveBuffer(), true);
        TRow& row = FRows[static_cast<size_t>(FCursor)];
        for (auto& [def, v] : FPendingBlobs) row.Blobs[static_cast<size_t>(def)] = v;
        for (auto& [def, v] : FPendingVariants) row.Variants[static_cast<size_t>(def)] = v;
        ClearPending();
    }
    bool BookmarkValidStep(const TBookmark& Bookmark) override {
        if (Bookmark.size() != 4) return false;
        int i;
        std::memcpy(&i, Bookmark.data(), 4);
        return i >= 0 && i < static_cast<int>(FRows.size());
    }
    int CountRecords() const override { return static_cast<int>(FRows.size()); }

private:
    friend class TTestBlobStream;
    struct TRow {
        std::vector<uint8_t> Data;
        std::vector<std::string> Blobs;
        std::vector<Variant> Variants;
    };

    void Layout() {
        FOffsets.clear();
        int off = 0;
        for (int i = 0; i < FieldDefs().Count(); ++i) {
            FOffsets.push_back(off);
            off += 1 + SlotSize(FieldDefs().Items(i));
        }
        FDataSize = off;
    }
    void CheckEditing() const {
        if (State() != dsEdit && State() != dsInsert)
            DatabaseError(msg::SNotEditing, const_cast<TNativeDataSet*>(this));
    }
    void ClearPending() {
        FPendingBlobs.clear();
        FPendingVariants.clear();
    }
    const uint8_t* StateBuffer() {
        if (State() == dsOldValue) return FCursor >= 0 ? FRows[static_cast<size_t>(FCursor)].Data.data() : nullptr;
        if (State() == dsEdit || State() == dsInsert) return ActiveBuffer();
        return IsEmpty() ? nullptr : ActiveBuffer();
    }
    int ActiveRow() {
        if (State() == dsInsert || IsEmpty()) return -1;
        int i;
        std::memcpy(&i, ActiveBuffer() + FDataSize, 4);
        return i;
    }
    std::string BlobValue(TField* Field) {
        int def = Field->FieldNo() - 1;
        if ((State() == dsEdit || State() == dsInsert) && FPendingBlobs.count(def)) return FPendingBlobs[def];
        int row = ActiveRow();
        return row < 0 ? std::string() : FRows[static_cast<size_t>(row)].Blobs[static_cast<size_t>(def)];
    }
    Variant VariantValue(int Def) {
        if ((State() == dsEdit || State() == dsInsert) && FPendingVariants.count(Def)) return FPendingVariants[Def];
        int row = ActiveRow();
        return row < 0 ? Variant::Null() : FRows[static_cast<size_t>(row)].Variants[static_cast<size_t>(Def)];
    }

    std::vector<TRow> FRows;
    std::vector<int> FOffsets;
    int FDataSize = 0;
    int FCursor = -1;
    bool FOpen = false;
    std::map<int, std::string> FPendingBlobs;
    std::map<int, Variant> FPendingVariants;
};

inline void TTestBlobStream::BeforeDestruction() {
    if (FWriting) {
        std::string data(static_cast<size_t>(Size()), '\0');
        SetPosition(0);
        if (!data.empty()) ReadBuffer(data.data(), static_cast<int64_t>(data.size()));
        FDataSet->CommitBlob(FField, std::move(data));
    }
    rtl::TMemoryStream::BeforeDestruction();
}

// A dataset with one field of each given definition and one empty row, open and in edit state.
struct TOneRow {
    rtl::TOwnedPtr<TNativeDataSet> DataSet{rtl::Create<TNativeDataSet>(nullptr)};

    TField* Add(const WideString& Name, TFieldType Type, int Size = 0) {
        DataSet->FieldDefs().Add(Name, Type, Size);
        return nullptr;
    }
    void OpenAndEdit() {
        DataSet->AddEmptyRow();
        DataSet->Open();
        DataSet->Edit();
    }
    TField* F(const char* Name) const { return DataSet->FieldByName(std::string_view(Name)); }
};

}  // namespace fieldtest
