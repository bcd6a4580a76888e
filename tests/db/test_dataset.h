// A small array-backed dataset and two field classes that exercise the dataset contract.
#pragma once

#include <string>
#include <vector>

#include "framework/db/DB.h"
#include "test_cursor.h"

namespace dbtest {

using db::TDataSet;
using db::TField;
using rtl::AnsiString;
using rtl::Variant;
using rtl::WideString;

// Text in native form: char[Size + 1].
class TTestStringField : public TField {
    RTL_CLASS(TTestStringField, db::TField)
public:
    explicit TTestStringField(rtl::TComponent* AOwner);

protected:
    Variant GetAsVariant() const override;
    void SetVarValue(const Variant& V) override;
    AnsiString GetAsString() const override;
    void SetAsStringValue(const AnsiString& V) override;
};

// int32 in native form.
class TTestIntegerField : public TField {
    RTL_CLASS(TTestIntegerField, db::TField)
public:
    explicit TTestIntegerField(rtl::TComponent* AOwner);

protected:
    Variant GetAsVariant() const override;
    void SetVarValue(const Variant& V) override;
    AnsiString GetAsString() const override;
    void SetAsStringValue(const AnsiString& V) override;
    int32_t GetAsInteger() const override;
    void SetAsIntegerValue(int32_t V) override;
};

// Registers the two classes for ftString and ftInteger while alive.
class TTestFieldClasses {
public:
    TTestFieldClasses();
    ~TTestFieldClasses();

private:
    db::TFieldClass FOldString;
    db::TFieldClass FOldInteger;
};

// Rows live in a vector; a bookmark is the row's id (4 bytes), which survives inserts and deletes.
// Record buffer: per field def a null byte and its native data, then the calculated area, then the
// record info (int32 id, byte bookmark flag).
class TTestDataSet : public TDataSet {
    RTL_CLASS(TTestDataSet, db::TDataSet)
public:
    explicit TTestDataSet(rtl::TComponent* AOwner);

    void AddDef(const WideString& Name, db::TFieldType Type, int Size = 0, bool Required = false);
    // Adds a row to the store (open or not); values in field-def order.
    void AddRow(const std::vector<Variant>& Values);
    int StoreCount() const { return static_cast<int>(FRows.size()); }
    // The stored value of a row, by def index.
    Variant StoredValue(int Row, int Def) const;
    void SetReadOnlyDataSet(bool Value) { FReadOnly = Value; }
    void SetMasterSource(db::TDataSource* Value) { FMaster = Value; }
    // Makes the next write of a record fail with the given message (once).
    void FailNextPost(const AnsiString& Message) { FFailPost = Message; }

    db::TDataSource* MasterDataSource() const override { return FMaster; }
    bool Locate(const WideString& KeyFields, const Variant& KeyValues, db::TLocateOptions Options) override;
    Variant Lookup(const WideString& KeyFields, const Variant& KeyValues, const WideString& ResultFields) override;
    bool GetFieldValue(TField* Field, void* Dest) override;
    void PutFieldValue(TField* Field, const void* Source) override;

    using TDataSet::ActiveBuffer;

protected:
    db::TRecordBuffer AllocRecordBuffer() override;
    void FreeRecordBuffer(db::TRecordBuffer& Buffer) override;
    db::TGetResult GetRecordStep(db::TRecordBuffer Buffer, db::TGetMode GetMode, bool DoCheck) override;
    int RecordSizeOf() const override { return FDataSize; }
    void GetBookmarkData(db::TRecordBuffer Buffer, void* Data) override;
    void SetBookmarkData(db::TRecordBuffer Buffer, const void* Data) override;
    db::TBookmarkFlag GetBookmarkFlag(db::TRecordBuffer Buffer) override;
    void SetBookmarkFlag(db::TRecordBuffer Buffer, db::TBookmarkFlag Value) override;
    void OpenStep() override;
    void CloseStep() override;
    bool CursorOpen() const override { return FOpen; }
    void FirstStep() override { FCursor = -1; }
    void LastStep() override { FCursor = StoreCount(); }
    void GotoBookmarkStep(const void* Bookmark) override;
    void SetToRecordStep(db::TRecordBuffer Buffer) override;
    void InitRecordStep(db::TRecordBuffer Buffer) override;
    void AddRecordStep(db::TRecordBuffer Buffer, bool Append) override;
    void DeleteStep() override;
    void PostStep() override;
    bool BookmarkValidStep(const db::TBookmark& Bookmark) override;
    int CompareBookmarksStep(const db::TBookmark& Bookmark1, const db::TBookmark& Bookmark2) override;
    bool CanModifyRecords() const override { return !FReadOnly; }
    int CountRecords() const override { return Active() ? StoreCount() : 0; }
    int CurrentRecNo() const override;

private:
    struct TRow {
        int Id;
        std::vector<uint8_t> Data;
    };
    void Layout();
    int IndexOfId(int Id) const;
    int InfoOffset() const { return FDataSize + CalcFieldsSize(); }
    db::TRecordBuffer StateBuffer();
    int DefSize(int Def) const;
    static void Encode(db::TFieldType Type, int Size, const Variant& V, uint8_t* Slot);
    static Variant Decode(db::TFieldType Type, const uint8_t* Slot);
    bool Matches(int Row, const std::vector<TField*>& Keys, const Variant& Values, db::TLocateOptions Options) const;

    std::vector<TRow> FRows;
    std::vector<int> FOffsets;
    int FDataSize = 0;
    int FCursor = -1;
    int FNextId = 0;
    bool FOpen = false;
    bool FReadOnly = false;
    db::TDataSource* FMaster = nullptr;
    AnsiString FFailPost;
};

// A data link that records what it is told.
class TTestLink : public db::TDataLink {
    RTL_CLASS(TTestLink, db::TDataLink)
public:
    std::vector<std::string> Log;
    std::vector<int> Distances;
    int ActiveChanges = 0;
    int UpdateDataCalls = 0;

    using TDataLink::FirstRecord;
    void DataEvent(db::TDataEvent Event, intptr_t Info) override;

protected:
    void ActiveChanged() override;
    void DataSetChanged() override;
    void DataSetScrolled(int Distance) override;
    void RecordChanged(TField* Field) override;
    void EditingChanged() override;
    void UpdateData() override;
    void LayoutChanged() override;
    void CheckBrowseMode() override;
    void FocusControl(TField** Field) override;
};

}  // namespace dbtest
