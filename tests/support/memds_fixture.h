// A record store that fetches a fixed list of rows at every open, as a provider's record set
// does, and the memory dataset over it, with a data link that records what it is told.
#pragma once

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "data/store/MemDS.h"
#include "framework/rtl/Text.h"

namespace memdstest {

using namespace store;
using db::TField;
using rtl::Variant;

struct TCol {
    std::u16string Name;
    TMemDataType Type;
    int Size;
    int Length = 0;
    bool Required = false;
    bool ReadOnly = false;
    int Scale = 0;
};

class TRowStore : public TMemData {
public:
    TRowStore(std::vector<TCol> cols, std::vector<std::vector<Variant>> rows)
        : FCols(std::move(cols)), FRows(std::move(rows)) {}

    int Fetches = 0;

    void DoInitFields() override {
        for (const TCol& c : FCols) {
            auto d = CreateFieldDesc();
            d->Name = c.Name;
            d->ColumnName = c.Name;
            d->DataType = c.Type;
            d->Size = c.Size;
            d->Length = static_cast<uint16_t>(c.Length);
            d->Scale = static_cast<uint16_t>(c.Scale);
            d->Required = c.Required;
            d->ReadOnly = c.ReadOnly;
            d->FieldNo = static_cast<uint16_t>(FFields.Count() + 1);
            FFields.Add(std::move(d));
        }
    }

    // Fetch-all: the descriptors and every row, without any record event.
    void DoOpen(int /*Flag*/) override {
        ++Fetches;
        InitFields();
        for (const auto& row : FRows) Fetch(row);
        ReorderItems(nullptr, rmAll);
        SetToBegin();
    }

    // Rows fetched by the next open.
    void SetRows(std::vector<std::vector<Variant>> rows) { FRows = std::move(rows); }

    // Values of one field of the stored rows in list order; hidden rows only when asked.
    std::vector<Variant> Column(int FieldNo, bool WithHidden = false) {
        std::vector<Variant> r;
        for (TRecordItem* it = FirstItem(); it; it = it->Next)
            if (WithHidden || !IsItemHidden(it)) r.push_back(GetFieldValue(FieldNo, TBlockManager::RecordOf(it)));
        return r;
    }

private:
    void Fetch(const std::vector<Variant>& values) {
        void* buf = AllocRecBuf();
        InitRecord(buf);
        if (HasComplexFields()) CreateComplexFields(buf, true);
        try {
            for (size_t i = 0; i < values.size(); ++i) {
                const int fieldNo = static_cast<int>(i + 1);
                if (values[i].IsNull()) continue;
                // Bytes given for a blob field are its content, written as the provider would.
                if (values[i].IsByteArray() && IsBlobFieldType(FFields[static_cast<int>(i)]->DataType)) {
                    const rtl::TBytes& b = *values[i].BytesData();
                    WriteBlob(fieldNo, buf, false, b.data(), static_cast<int64_t>(b.size()), 0);
                } else {
                    PutFieldAsVariant(fieldNo, buf, values[i]);
                }
            }
        } catch (...) {
            FreeComplexFields(buf, true);
            FreeRecBuf(buf);
            throw;
        }
        CommitBlobs(buf);
        TRecordItem* item;
        FBlockMan.AllocItem(item);
        item->Rollback = nullptr;
        item->Status = isUnmodified;
        item->UpdateResult = urNone;
        item->FilterState = fsNotChecked;
        LinkAfter(item, FLastItem);
        FBlockMan.PutRecord(item, buf);
        FreeRecBuf(buf);
        ++FRecordCount;
    }

    std::vector<TCol> FCols;
    std::vector<std::vector<Variant>> FRows;
};

// The dataset over a store of these columns and rows; freed with the holder.
struct TFixture {
    rtl::TOwnedPtr<TMemDataSet> DS;
    TRowStore* Store;

    TFixture(std::vector<TCol> cols, std::vector<std::vector<Variant>> rows)
        : DS(rtl::Create<TMemDataSet>(nullptr)), Store(new TRowStore(std::move(cols), std::move(rows))) {
        DS->SetIRecordSet(std::unique_ptr<TData>(Store));
    }
    TField* F(const char* name) const { return DS->FieldByName(std::string_view(name)); }
};

// id integer, name string(20), qty smallint kept in one signed byte.
inline std::vector<TCol> PeopleCols() {
    return {{u"id", mdtInt32, 4}, {u"name", mdtString, 21, 20}, {u"qty", mdtInt8, 1}};
}

inline std::vector<std::vector<Variant>> PeopleRows(int n) {
    std::vector<std::vector<Variant>> rows;
    for (int i = 1; i <= n; ++i)
        rows.push_back(
            {Variant(i * 10), Variant(AnsiString("n") + std::to_string(i)), Variant(static_cast<int16_t>(i))});
    return rows;
}

// Records the notifications a control would get.
class TLink : public db::TDataLink {
    RTL_CLASS(TLink, db::TDataLink)
public:
    std::vector<std::string> Log;

protected:
    void RecordChanged(TField* Field) override {
        Log.push_back(Field ? "field:" + rtl::WideToAnsi(Field->FieldName()) : "record");
    }
    void DataSetChanged() override { Log.push_back("dataset"); }
    void DataSetScrolled(int /*Distance*/) override { Log.push_back("scroll"); }
    void EditingChanged() override { Log.push_back(Editing() ? "editing" : "browsing"); }
};

// The texts of exceptions, for tables of failures.
template <class F>
std::string ErrorOf(F&& f) {
    try {
        f();
    } catch (const rtl::Exception& e) {
        return e.Message();
    }
    return {};
}

}  // namespace memdstest
