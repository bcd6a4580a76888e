// A record store filled by test code at every open (a fetch-all provider does the same) and the
// memory dataset over it, for the search, sort, filter, master/detail and blob tests.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "data/store/MemDS.h"
#include "framework/rtl/Text.h"

namespace memdsx {

using namespace store;
using db::TField;
using rtl::Variant;

struct TColumn {
    std::u16string Name;
    TMemDataType Type;
    int Size;
    int Length = 0;
    bool ReadOnly = false;
};

class TFilledStore : public TMemData {
public:
    TFilledStore(std::vector<TColumn> Columns, std::vector<std::vector<Variant>> Rows)
        : FColumns(std::move(Columns)), FRows(std::move(Rows)) {}

    void DoInitFields() override {
        for (const TColumn& c : FColumns) {
            auto d = CreateFieldDesc();
            d->Name = c.Name;
            d->ColumnName = c.Name;
            d->DataType = c.Type;
            d->Size = c.Size;
            d->Length = static_cast<uint16_t>(c.Length);
            d->ReadOnly = c.ReadOnly;
            d->FieldNo = static_cast<uint16_t>(FFields.Count() + 1);
            FFields.Add(std::move(d));
        }
    }

    void DoOpen(int /*Flag*/) override {
        InitFields();
        for (const auto& row : FRows) Fetch(row);
        ReorderItems(nullptr, rmAll);
        SetToBegin();
    }

private:
    void Fetch(const std::vector<Variant>& Values) {
        void* buf = AllocRecBuf();
        InitRecord(buf);
        if (HasComplexFields()) CreateComplexFields(buf, true);
        try {
            for (size_t i = 0; i < Values.size(); ++i) {
                const int fieldNo = static_cast<int>(i + 1);
                if (Values[i].IsNull()) continue;
                if (Values[i].IsByteArray() && IsBlobFieldType(FFields[static_cast<int>(i)]->DataType)) {
                    const rtl::TBytes& b = *Values[i].BytesData();
                    WriteBlob(fieldNo, buf, false, b.data(), static_cast<int64_t>(b.size()), 0);
                } else {
                    PutFieldAsVariant(fieldNo, buf, Values[i]);
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

    std::vector<TColumn> FColumns;
    std::vector<std::vector<Variant>> FRows;
};

// A dataset over a filled store; opened by the test.
struct TDataSetHolder {
    rtl::TOwnedPtr<TMemDataSet> DS{rtl::Create<TMemDataSet>(nullptr)};

    TDataSetHolder(std::vector<TColumn> Columns, std::vector<std::vector<Variant>> Rows) {
        DS->SetIRecordSet(new TFilledStore(std::move(Columns), std::move(Rows)));
    }
    TMemDataSet* operator->() const { return DS.get(); }
    TField* F(const char* Name) const { return DS->FieldByName(std::string_view(Name)); }
    // One field's values over the visible records, in order; the position is kept.
    std::vector<Variant> Column(const char* Name) const {
        std::vector<Variant> out;
        db::TBookmark bm = DS->Bookmark();
        DS->DisableControls();
        for (DS->First(); !DS->Eof(); DS->Next()) out.push_back(F(Name)->Value());
        if (!bm.empty()) DS->GotoBookmark(bm);
        DS->EnableControls();
        return out;
    }
};

// 1251 text from a UTF-8 literal.
inline Variant Ru(const char8_t* Text) { return Variant(rtl::UTF8ToAnsi(std::u8string_view(Text))); }

template <class F>
std::string ErrorOf(F&& Body) {
    try {
        Body();
    } catch (const rtl::Exception& e) {
        return e.Message();
    }
    return {};
}

}  // namespace memdsx
