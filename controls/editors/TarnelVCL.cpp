#include "controls/editors/TarnelVCL.h"

namespace editors {

int DataSetCompareBookmarks(db::TDataSet* DataSet, const db::TBookmark& Bookmark1,
                            const db::TBookmark& Bookmark2) {
    if (!DataSet) return 0;
    return DataSet->CompareBookmarks(Bookmark1, Bookmark2);
}

}  // namespace editors
