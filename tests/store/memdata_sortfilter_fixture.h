// A memory record store that opens over its columns at once, filled from rows of variants; used by
// the sorting, comparison and filter tests.
#pragma once

#include <string>
#include <vector>

#include "framework/rtl/Text.h"
#include "tests/store/memdata_store_fixture.h"

namespace sortfiltertest {

using namespace store;
using TCol = storetest::TColumn;

class TStore : public storetest::TTestStore {
public:
    explicit TStore(std::vector<TCol> columns) : TTestStore(std::move(columns)) { OpenStore(); }

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
};

// 1251 text from UTF-8 source.
inline rtl::AnsiString A(const char8_t* s) {
    return rtl::UTF8ToAnsi(std::string_view(reinterpret_cast<const char*>(s)));
}

inline rtl::Variant V(const char8_t* s) { return rtl::Variant(A(s)); }

}  // namespace sortfiltertest
