// A memory dataset that cannot number its records, as a server cursor.
#pragma once

#include "data/store/MemDS.h"

namespace gridtest {

class TUnnumberedDataSet : public store::TMemDataSet {
    RTL_CLASS(TUnnumberedDataSet, store::TMemDataSet)
public:
    using TMemDataSet::TMemDataSet;

protected:
    bool IsSequencedStep() override { return false; }
};

}  // namespace gridtest
