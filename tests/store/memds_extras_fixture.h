// The row store of memds_fixture.h and a dataset over it that the test opens, for the search,
// sort, filter, master/detail and blob tests.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "data/store/MemDS.h"
#include "framework/rtl/Text.h"
#include "tests/support/memds_fixture.h"

namespace memdsx {

using namespace store;
using db::TField;
using rtl::Variant;

using TColumn = memdstest::TCol;
using TFilledStore = memdstest::TRowStore;
using memdstest::ErrorOf;

// A dataset over a filled store; opened by the test.
struct TDataSetHolder {
    rtl::TOwnedPtr<TMemDataSet> DS{rtl::Create<TMemDataSet>(nullptr)};

    TDataSetHolder(std::vector<TColumn> Columns, std::vector<std::vector<Variant>> Rows) {
        DS->SetIRecordSet(std::unique_ptr<TData>(new TFilledStore(std::move(Columns), std::move(Rows))));
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

}  // namespace memdsx
