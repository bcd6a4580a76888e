// A memory dataset of a few rows for the editors' tests, and the bookmark list over it.
#pragma once

#include <string>
#include <vector>

#include "controls/editors/ToolCtrlsEh.h"
#include "tests/support/memds_fixture.h"

namespace editorstest {

using memdstest::TFixture;
using rtl::Variant;

// id integer, name string(20), qty smallint; rows (10, n1, 1), (20, n2, 2), ...
inline TFixture OpenPeople(int n) {
    TFixture f(memdstest::PeopleCols(), memdstest::PeopleRows(n));
    f.DS->Open();
    return f;
}

// The selection list of a control over one dataset; counts the dataset look-ups, which every
// bookmark comparison makes.
class TTestBMList : public editors::TBMListEh {
    RTL_CLASS(TTestBMList, editors::TBMListEh)
public:
    explicit TTestBMList(db::TDataSet* DataSet) : FDataSet(DataSet) {}
    db::TDataSet* GetDataSet() override {
        ++Lookups;
        return FDataSet;
    }
    void Changed() override { ++ChangedCount; }
    void Invalidate() override { ++InvalidateCount; }

    int Lookups = 0;
    int ChangedCount = 0;
    int InvalidateCount = 0;

private:
    db::TDataSet* FDataSet;
};

// The ids of the listed rows, in list order.
inline std::vector<int> ListedIds(editors::TBMListEh& List, db::TDataSet* DataSet) {
    std::vector<int> ids;
    db::TBookmark saved = DataSet->Bookmark();
    for (int i = 0; i < List.Count(); ++i) {
        DataSet->GotoBookmark(List.Items(i));
        ids.push_back(DataSet->FieldByName(std::string_view("id"))->AsInteger());
    }
    DataSet->GotoBookmark(saved);
    return ids;
}

inline void SelectRecNos(editors::TBMListEh& List, db::TDataSet* DataSet, std::initializer_list<int> RecNos) {
    for (int r : RecNos) {
        DataSet->SetRecNo(r);
        List.SetCurrentRowSelected(true);
    }
}

}  // namespace editorstest
