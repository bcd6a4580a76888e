// The find dialog's direction table and option bits.
#include <gtest/gtest.h>

#include "controls/grid/DBGridEhFindDlgs.h"

namespace gridtest {
namespace {

using namespace grid;

TEST(FindDialog, DirectionByFirstSearchAndCtrl) {
    struct Case {
        int Index;
        bool Ctrl, First;
        TLocateTextDirectionEh Expected;
    } cases[] = {
        {0, false, true, ltdUpEh},   {1, false, true, ltdDownEh},  {2, false, true, ltdAllEh},
        {0, true, true, ltdDownEh},  {1, true, true, ltdUpEh},     {2, true, true, ltdUpEh},
        {0, false, false, ltdUpEh},  {1, false, false, ltdDownEh}, {2, false, false, ltdDownEh},
        {0, true, false, ltdDownEh}, {1, true, false, ltdUpEh},    {2, true, false, ltdUpEh},
    };
    for (const Case& k : cases)
        EXPECT_EQ(FindDialogDirection(k.Index, k.Ctrl, k.First), k.Expected) << k.Index << k.Ctrl << k.First;
}

TEST(FindDialog, OptionBits) {
    EXPECT_EQ(FindDialogOptions(false, true, false), 1u + 4u);
    EXPECT_EQ(FindDialogOptions(true, true, false), 4u);
    EXPECT_EQ(FindDialogOptions(true, false, true), 2u);
    EXPECT_EQ(FindDialogOptions(false, false, true), 3u);
}

}  // namespace
}  // namespace gridtest
