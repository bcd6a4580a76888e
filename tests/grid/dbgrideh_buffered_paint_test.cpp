// Buffered paint of the data grid: when it applies, what reaches the window and that the image
// matches a direct paint.
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "controls/grid/DBGridEh_Setup.h"
#include "framework/ui/Themes.h"
#include "tests/grid/dbgrid_fixture.h"

namespace gridtest {
namespace {

using ui::TDrawOp;
using ui::TDrawRecord;

class BufferedPaintTest : public DBGridTest {
protected:
    void SetUp() override {
        DBGridTest::SetUp();
        ui::ThemeServices().SetThemesEnabled(true);
        NoDoubleBuffering = false;
        Bind({u"id", u"name", u"born"});
    }
    // A grid not yet painted, in place of the fixture's.
    void NewGrid() {
        Grid->Free();
        Grid = rtl::Create<TDBGridTestEh>(Form);
        Grid->SetBounds(10, 10, 300, 150);
        Grid->SetParent(Form);
        Bind({u"id", u"name", u"born"});
    }
    void TearDown() override {
        DBGridTest::TearDown();
        NoDoubleBuffering = true;
        ui::SetSurfaceFactory(nullptr);
        ui::ThemeServices().SetThemesEnabled(true);
    }
    void Show() {
        Grid->DataLink()->SetBufferCount(3);
        Grid->SetRowCount(Grid->TitleRowCount() + 3);
        Form->Show();
        Pump();
    }
    void Paint(const TRect* Part = nullptr) {
        if (auto* rec = dynamic_cast<ui::TRecordingSurface*>(Form->Surface())) rec->Clear();
        static_cast<ui::TWinControl*>(Grid)->InvalidateRect(Part);
        Pump();
        Grid->UpdateWindow();
    }
    ui::TRecordingSurface* Recording() { return static_cast<ui::TRecordingSurface*>(Form->Surface()); }
    TRect OnForm(TRect R) {
        const ui::TPoint o = Grid->ClientToParent(ui::TPoint{0, 0}, Form);
        R.Offset(o.X, o.Y);
        return R;
    }
    // The one image copy the last paint made.
    const TDrawRecord& OnlyBlit() {
        const auto& all = Recording()->Records();
        EXPECT_EQ(all.size(), 1u);
        EXPECT_EQ(all.at(0).Op, TDrawOp::Blit);
        return all.at(0);
    }
};

TEST_F(BufferedPaintTest, WhenTheGridBuffers) {
    struct {
        bool Flat, ThemesOn, Fixed3D, NoBuffering, Buffers;
    } cases[] = {
        {false, true, true, false, true},    // themed headers
        {true, true, true, false, false},    // flat: painted directly
        {false, false, true, false, false},  // no themes
        {false, true, false, false, false},  // headers not 3D
        {false, true, true, true, false},    // buffering switched off before the first paint
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.Flat << c.ThemesOn << c.Fixed3D << c.NoBuffering);
        NewGrid();
        Grid->SetFlat(c.Flat);
        ui::ThemeServices().SetThemesEnabled(c.ThemesOn);
        TDBGridEhOptions o = Grid->OptionsEh();
        if (c.Fixed3D)
            o.Include(dghFixed3D);
        else
            o.Exclude(dghFixed3D);
        Grid->SetOptionsEh(o);
        NoDoubleBuffering = c.NoBuffering;
        Show();
        Paint();
        EXPECT_EQ(Grid->DoubleBufferedPaint(), c.Buffers);
        const bool oneCopy = Recording()->Records().size() == 1 && Recording()->Records()[0].Op == TDrawOp::Blit;
        EXPECT_EQ(oneCopy, c.Buffers);
    }
}

TEST_F(BufferedPaintTest, OnceWantedBufferingStays) {
    Grid->SetFlat(true);
    Show();
    Paint();
    EXPECT_FALSE(Grid->DoubleBufferedPaint());
    Grid->SetFlat(false);
    Paint();
    EXPECT_TRUE(Grid->DoubleBufferedPaint());
    Grid->SetFlat(true);
    Paint();
    EXPECT_TRUE(Grid->DoubleBufferedPaint());
    // The first paint after the change also draws the flat border around the client area.
    Paint();
    OnlyBlit();
}

TEST_F(BufferedPaintTest, OneCopyOfTheDirtyPartFromOneReusedImage) {
    Show();
    Paint();
    const TRect client = Grid->GetClientRect();
    const TDrawRecord whole = OnlyBlit();
    EXPECT_EQ(whole.Rect, OnForm(client));
    EXPECT_EQ(whole.SourceRect, ui::Rect(0, 0, client.Width(), client.Height()));
    EXPECT_EQ(whole.Rop, ui::SRCCOPY);
    const ui::TSurface* image = whole.Source;
    ASSERT_NE(image, nullptr);

    Paint();
    EXPECT_EQ(OnlyBlit().Source, image);

    // A part of the window: only that part is copied, from the image's top-left.
    const TRect part = Grid->SingleCellRect(1, 1);
    Paint(&part);
    const TDrawRecord cell = OnlyBlit();
    EXPECT_EQ(cell.Rect, OnForm(part));
    EXPECT_EQ(cell.SourceRect, ui::Rect(0, 0, part.Width(), part.Height()));
    EXPECT_EQ(cell.Source, image);

    // The image grows with the client and is kept when the client shrinks.
    Grid->SetBounds(10, 10, 340, 180);
    Pump();
    Paint();
    EXPECT_EQ(OnlyBlit().Source, image);
    EXPECT_EQ(OnlyBlit().Rect, OnForm(Grid->GetClientRect()));
    const int grownWidth = image->Width(), grownHeight = image->Height();
    EXPECT_GE(grownWidth, Grid->GetClientRect().Width());
    EXPECT_GE(grownHeight, Grid->GetClientRect().Height());
    Grid->SetBounds(10, 10, 200, 100);
    Pump();
    Paint();
    EXPECT_EQ(OnlyBlit().Source, image);
    EXPECT_EQ(image->Width(), grownWidth);
    EXPECT_EQ(image->Height(), grownHeight);
}

TEST_F(BufferedPaintTest, NothingCopiedWhilePaintingIsLocked) {
    Show();
    Paint();
    Grid->LockPaint();
    Paint();
    EXPECT_TRUE(Recording()->Records().empty());
    Grid->UnlockPaint();
}

TEST_F(BufferedPaintTest, TheCopiedImageEqualsADirectPaint) {
    ui::SetSurfaceFactory(
        [](ui::TWinControl* W) { return std::make_unique<ui::TMemorySurface>(W->Width(), W->Height()); });
    Grid->Columns()->Items(0)->Title()->SetSortMarker(smDownEh);
    NoDoubleBuffering = true;
    Show();
    auto* raster = dynamic_cast<ui::TRasterSurface*>(Form->Surface());
    ASSERT_NE(raster, nullptr);
    const TRect area = OnForm(Grid->GetClientRect());
    auto pixels = [&] {
        std::vector<uint32_t> out;
        for (int y = area.Top; y < area.Bottom; ++y)
            for (int x = area.Left; x < area.Right; ++x) out.push_back(raster->ScanLine(y)[x]);
        return out;
    };
    Paint();
    ASSERT_FALSE(Grid->DoubleBufferedPaint());
    const std::vector<uint32_t> direct = pixels();
    ASSERT_GT(std::count(direct.begin(), direct.end(), direct.front()), 0);
    ASSERT_NE(std::count(direct.begin(), direct.end(), direct.front()), static_cast<long>(direct.size()));

    // Wipe the window so that only what the copy brings can match.
    raster->SetClip(nullptr);
    ui::TBrushData magenta;
    magenta.Color = ui::TColor(0xFF00FF);
    raster->FillRect(area, magenta, ui::PATCOPY);
    NoDoubleBuffering = false;
    Grid->SetFlat(true);
    Grid->SetFlat(false);
    Paint();
    ASSERT_TRUE(Grid->DoubleBufferedPaint());
    EXPECT_TRUE(pixels() == direct);
    // Painted again from the reused image, a part of it included.
    raster->FillRect(area, magenta, ui::PATCOPY);
    Paint();
    const TRect part = Grid->SingleCellRect(1, 1);
    Paint(&part);
    EXPECT_TRUE(pixels() == direct);
}

}  // namespace
}  // namespace gridtest
