// Every recorded-paint test reads the cell drawing on the window's recording surface, which a
// buffered paint would replace by one image copy: the grids of these tests paint directly unless a
// test turns buffering back on for itself.
#include <gtest/gtest.h>

#include "controls/grid/DBGridEh_Setup.h"

namespace {

class TDirectPaintEnvironment : public ::testing::Environment {
public:
    void SetUp() override { grid::NoDoubleBuffering = true; }
};

[[maybe_unused]] ::testing::Environment* const Registered =
    ::testing::AddGlobalTestEnvironment(new TDirectPaintEnvironment);

}  // namespace
