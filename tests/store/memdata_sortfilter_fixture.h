// A memory record store over a given list of columns, filled from rows of variants; used by the
// sorting, comparison and filter tests.
#pragma once

#include <string>
#include <vector>

#include "data/store/MemData_Store.h"
#include "framework/rtl/Text.h"

namespace sortfiltertest {

using namespace store;

struct TCol {
    std::u16string Name;
    TMemDataType Type;
    int Size;
    int Length = 0;
    bool Fixed = false;
    uint8_t Kind = fdkData;
};

class TStore : public TMemData {
public:
    explicit TStore(std::vector<TCol> columns) : FCols(std::move(columns)) {
        InitFields();
        Open();
    }

    void DoInitFields() override {
        for (const TCol& c : FCols) {
            auto d = CreateFieldDesc();
            d->Name = c.Name;
            d->ColumnName = c.Name;
            d->DataType = c.Type;
            d->Size = c.Size;
            d->Length = static_cast<uint16_t>(c.Length);
            d->Fixed = c.Fixed;
            d->DescKind = c.Kind;
            d->FieldNo = static_cast<uint16_t>(FFields.Count() + 1);
            FFields.Add(std::move(d));
        }
    }

    // One value per column; Null leaves the field null.
    void Add(const std::vector<rtl::Variant>& values) {
        void* buf = AllocRecBuf();
        InitRecord(buf);
        if (HasComplexFields()) CreateComplexFields(buf, true);
        for (size_t i = 0; i < values.size(); ++i)
            if (!values[i].IsNull()) PutFieldAsVariant(static_cast<int>(i + 1), buf, values[i]);
        AppendRecord(buf);
        FreeRecBuf(buf);
    }

    // Values of field 1 (an integer id) of the visible rows in order.
    std::vector<int> Ids() {
        std::vector<int> ids;
        void* buf = AllocRecBuf();
        SetToBegin();
        while (true) {
            GetNextRecord(buf);
            if (GetEof()) break;
            ids.push_back(GetFieldValue(1, buf).AsInteger());
        }
        FreeRecBuf(buf);
        return ids;
    }

    // The records of the list in order, including hidden ones.
    std::vector<void*> Records() {
        std::vector<void*> r;
        for (TRecordItem* it = FirstItem(); it; it = it->Next) r.push_back(TBlockManager::RecordOf(it));
        return r;
    }

private:
    std::vector<TCol> FCols;
};

// 1251 text from UTF-8 source.
inline rtl::AnsiString A(const char8_t* s) {
    return rtl::UTF8ToAnsi(std::string_view(reinterpret_cast<const char*>(s)));
}

inline rtl::Variant V(const char8_t* s) { return rtl::Variant(A(s)); }

}  // namespace sortfiltertest
