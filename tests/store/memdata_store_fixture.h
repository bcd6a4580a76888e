// A memory record store over a fixed list of columns, with helpers to add and read rows.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "data/store/MemData_Store.h"

namespace storetest {

using namespace store;

struct TColumn {
    std::u16string Name;
    TMemDataType Type;
    int Size;
    int Length = 0;
    bool Fixed = false;
    int Scale = 0;
    uint8_t Kind = fdkData;
};

class TTestStore : public TMemData {
public:
    explicit TTestStore(std::vector<TColumn> columns) : FColumns(std::move(columns)) {}

    void DoInitFields() override {
        for (const TColumn& c : FColumns) {
            auto d = CreateFieldDesc();
            d->Name = c.Name;
            d->ColumnName = c.Name;
            d->DataType = c.Type;
            d->Size = c.Size;
            d->Length = static_cast<uint16_t>(c.Length);
            d->Fixed = c.Fixed;
            d->Scale = static_cast<uint16_t>(c.Scale);
            d->DescKind = c.Kind;
            d->FieldNo = static_cast<uint16_t>(FFields.Count() + 1);
            FFields.Add(std::move(d));
        }
    }

    void OpenStore() {
        InitFields();
        Open();
    }

private:
    std::vector<TColumn> FColumns;
};

// A record buffer of the store that frees itself. With its own complex values it releases them
// too, unless they were handed over to the store (HandOver).
class TBuf {
public:
    explicit TBuf(TData& data, bool withComplex = true) : FData(data), FBuf(data.AllocRecBuf()), FOwns(withComplex) {
        data.InitRecord(FBuf);
        if (withComplex && data.HasComplexFields()) data.CreateComplexFields(FBuf, true);
    }
    ~TBuf() {
        if (FOwns) FData.FreeComplexFields(FBuf, true);
        FData.FreeRecBuf(FBuf);
    }
    TBuf(const TBuf&) = delete;
    TBuf& operator=(const TBuf&) = delete;
    void* get() const noexcept { return FBuf; }
    void HandOver() noexcept { FOwns = false; }

private:
    TData& FData;
    void* FBuf;
    bool FOwns;
};

// ID int32 and NAME string(20).
inline std::vector<TColumn> IdNameColumns() { return {{u"ID", mdtInt32, 4}, {u"NAME", mdtString, 21, 20}}; }

// Appends a row; the store takes over the buffer's values.
inline void AddRow(TMemData& data, int id, const rtl::AnsiString& name = "row") {
    TBuf buf(data);
    data.PutFieldAsVariant(1, buf.get(), rtl::Variant(id));
    data.PutFieldAsVariant(2, buf.get(), rtl::Variant(name));
    data.AppendRecord(buf.get());
    buf.HandOver();
}

inline void InsertRow(TMemData& data, int id, const rtl::AnsiString& name = "row") {
    TBuf buf(data);
    data.PutFieldAsVariant(1, buf.get(), rtl::Variant(id));
    data.PutFieldAsVariant(2, buf.get(), rtl::Variant(name));
    data.InsertRecord(buf.get());
    buf.HandOver();
}

// ID of the current record, or -1 without one.
inline int CurrentId(TMemData& data) {
    if (!data.CurrentItem()) return -1;
    TBuf buf(data, false);
    data.GetRecord(buf.get());
    return data.GetFieldValue(1, buf.get()).AsInteger();
}

inline rtl::AnsiString CurrentName(TMemData& data) {
    TBuf buf(data, false);
    data.GetRecord(buf.get());
    return rtl::VarToStr(data.GetFieldValue(2, buf.get()));
}

// IDs of the visible rows in order, checking that record numbers count 1, 2, 3, ...
inline std::vector<int> VisibleIds(TMemData& data, bool* numbersOk = nullptr) {
    std::vector<int> ids;
    bool ok = true;
    TBuf buf(data, false);
    data.SetToBegin();
    while (true) {
        data.GetNextRecord(buf.get());
        if (data.GetEof()) break;
        ids.push_back(data.GetFieldValue(1, buf.get()).AsInteger());
        if (data.GetRecordNo() != static_cast<int>(ids.size())) ok = false;
    }
    if (numbersOk) *numbersOk = ok;
    return ids;
}

}  // namespace storetest
