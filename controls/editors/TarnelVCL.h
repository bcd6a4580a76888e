// Thin wrappers over the platform that the editors and the grid share.
#pragma once

#include "framework/db/DB.h"

namespace editors {

// The dataset's order of two bookmarks: negative, 0 or positive; 0 without a dataset.
int DataSetCompareBookmarks(db::TDataSet* DataSet, const db::TBookmark& Bookmark1,
                            const db::TBookmark& Bookmark2);

}  // namespace editors
