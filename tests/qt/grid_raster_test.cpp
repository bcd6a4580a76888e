// A journal-like data grid painted through the backend's raster on the offscreen platform: the
// row colours, the lines, the check box and real Cyrillic glyphs reach the pixels.
// VELMORAT_SAVE_GRID=<file.png> keeps the picture for a look.
#include <QImage>

#include <cstdlib>

#include "controls/grid/DBGridEh.h"
#include "framework/qt/QtSurface.h"
#include "framework/rtl/DateUtils.h"
#include "framework/ui/Themes.h"
#include "qtbackend_fixture.h"
#include "tests/support/memds_fixture.h"

namespace qttest {
namespace {

AnsiString Cyr(const char* Utf8) { return rtl::UTF8ToAnsi(std::string_view(Utf8)); }

class GridRaster : public BackendTest {
protected:
    GridRaster()
        : Data(
              {{u"id", store::mdtInt32, 4},
               {u"name", store::mdtString, 41, 40},
               {u"born", store::mdtDate, 8},
               {u"cid", store::mdtInt32, 4},
               {u"flag", store::mdtString, 2, 1}},
              {{rtl::Variant(1), rtl::Variant(Cyr("Опись фонда №5")),
                rtl::Variant::FromDate(rtl::EncodeDate(1990, 3, 4)), rtl::Variant(1), rtl::Variant(AnsiString("1"))},
               {rtl::Variant(2), rtl::Variant(Cyr("Жалоба жильцов")),
                rtl::Variant::FromDate(rtl::EncodeDate(2001, 12, 31)), rtl::Variant(2), rtl::Variant(AnsiString("0"))},
               {rtl::Variant(3), rtl::Variant(Cyr("Ёлочные игрушки")),
                rtl::Variant::FromDate(rtl::EncodeDate(2010, 1, 9)), rtl::Variant(3), rtl::Variant(AnsiString("1"))}}) {
    }

    void SetUp() override {
        BackendTest::SetUp();
        ui::ThemeServices().SetThemesEnabled(true);
        Data.DS->Open();
        Form->SetBounds(100, 100, 560, 220);
        Src = rtl::Create<db::TDataSource>(Form);
        Src->SetDataSet(Data.DS.get());
        Grid = rtl::Create<grid::TDBGridEh>(Form);
        Grid->SetFlat(true);
        Grid->SetOptionsEh(Grid->OptionsEh() + grid::TDBGridEhOptions{grid::dghFixed3D});
        Grid->SetBorderStyle(TBorderStyle::bsNone);
        Grid->SetScrollBars(TScrollStyle::ssNone);
        const char16_t* names[5] = {u"id", u"name", u"born", u"cid", u"flag"};
        const char* captions[5] = {"N", "ЭПМК|Наименование", "ЭПМК|Дата прот.", "Город", "F"};
        const int widths[5] = {30, 160, 90, 80, 30};
        for (int i = 0; i < 5; ++i) {
            grid::TColumnEh* c = Grid->Columns()->Add();
            c->SetFieldName(names[i]);
            c->Title()->SetCaption(Cyr(captions[i]));
            c->SetWidth(widths[i]);
        }
        Grid->Columns()->Items(3)->KeyList()->SetText("1\n2\n3");
        Grid->Columns()->Items(3)->PickList()->SetText(Cyr("Тула\nОрёл\nКалуга"));
        Grid->Columns()->Items(4)->SetCheckboxes(true);
        Grid->Columns()->Items(4)->KeyList()->SetText("1\n0");
        Grid->Columns()->Items(2)->Title()->SetSortMarker(grid::smDownEh);
        db::TField* id = Data.F("id");
        Grid->OnGetCellParams = [id](rtl::TObject*, grid::TColumnEh*, ui::TFont*, ui::TColor& Background,
                                     grid::TGridDrawState) {
            if (id->AsInteger() == 2) Background = Yellowish;
        };
        Grid->SetDataSource(Src);
        Grid->SetParent(Form);
        Grid->SetBounds(8, 8, 520, 170);
        Grid->SetTitleHeight(36);
        Grid->SetUseMultiTitle(true);
        Grid->RebuildLayout();
        Grid->RebuildLayout();
        Input->SetFocus();  // the grid unfocused: no focus frame over the text
        Grab();
    }
    // Paints the form and keeps the grid's part of it.
    void Grab() {
        Pump();
        Form->Update();
        Pump();
        const QImage& whole = qtback::WindowSurface(Form)->Image();
        const TPoint g = Grid->ClientToScreen(Point(0, 0));
        Image = whole.copy(g.X - Form->Left(), g.Y - Form->Top(), Grid->ClientWidth(), Grid->ClientHeight())
                    .convertToFormat(QImage::Format_RGB32);
        const QByteArray keep = qgetenv("VELMORAT_SAVE_GRID");
        if (!keep.isEmpty()) Image.save(QString::fromLocal8Bit(keep));
    }
    void TearDown() override {
        Form->Free();
        Form = nullptr;
        BackendTest::TearDown();
    }
    TRect Cell(int DataCol, int DataRow) const {
        return Grid->SingleCellRect(Grid->DataToGridCol(DataCol), Grid->TitleRowCount() + DataRow);
    }
    QRgb At(int X, int Y) const { return Image.pixel(X, Y) & 0xFFFFFF; }
    // Pixels of a cell's inside that are not its background: the glyphs' ink.
    int Ink(const TRect& R, QRgb Background) const {
        int n = 0;
        for (int y = R.Top + 1; y < R.Bottom - 1; ++y)
            for (int x = R.Left + 1; x < R.Right - 1; ++x) n += At(x, y) != Background;
        return n;
    }
    std::vector<bool> InkMask(const TRect& R, QRgb Background) const {
        std::vector<bool> m;
        for (int y = R.Top + 1; y < R.Bottom - 1; ++y)
            for (int x = R.Left + 1; x < R.Right - 1; ++x) m.push_back(At(x, y) != Background);
        return m;
    }
    // The box of a title cell's ink: pixels unlike the cell's own left side on the same line (the
    // title gradient runs top to bottom, so a line of background is one colour).
    QRect TitleInk(int DataCol) const {
        const TRect r = Grid->SingleCellRect(Grid->DataToGridCol(DataCol), 0);
        QRect box;
        for (int y = r.Top + 2; y < r.Bottom - 2; ++y) {
            const QRgb back = At(r.Left + 3, y);
            for (int x = r.Left + 4; x < r.Right - 2; ++x)
                if (std::abs(qGray(At(x, y)) - qGray(back)) > 40) box |= QRect(x, y, 1, 1);
        }
        return box;
    }
    static QRgb Rgb(ui::TColor C) {
        const ui::TColorRef c = ui::ColorToRGB(C);
        return qRgb(ui::GetRValue(c), ui::GetGValue(c), ui::GetBValue(c)) & 0xFFFFFF;
    }
    static constexpr ui::TColor Yellowish = ui::TColor(0x80FFFF);

    memdstest::TFixture Data;
    db::TDataSource* Src = nullptr;
    grid::TDBGridEh* Grid = nullptr;
    QImage Image;
};

TEST_F(GridRaster, RowColoursLinesCheckBoxesAndCyrillicGlyphsReachThePixels) {
    ASSERT_FALSE(Image.isNull());
    const QRgb window = Rgb(ui::clWindow), yellow = Rgb(Yellowish);
    // The handler's row colour fills the second record's cells, the others keep the window colour
    // (the first row is current but the grid is unfocused and does not always show its selection).
    for (int c : {0, 1, 2, 3}) {
        const TRect r = Cell(c, 1);
        EXPECT_EQ(At(r.Right - 2, r.Top + 1), yellow) << "column " << c;
        EXPECT_EQ(At(r.Right - 2, Cell(c, 2).Top + 1), window) << "column " << c;
    }
    // Data lines between the cells are drawn in silver.
    const TRect a = Cell(1, 0);
    EXPECT_EQ(At(a.Right, a.Top + 3), Rgb(ui::clSilver));
    EXPECT_EQ(At(a.Left + 5, a.Bottom), Rgb(ui::clSilver));

    // Cyrillic names leave glyphs of their own: each name a different picture, none boxes or '?'.
    const int ink0 = Ink(Cell(1, 0), window), ink2 = Ink(Cell(1, 2), window);
    EXPECT_GT(ink0, 40);
    EXPECT_GT(ink2, 40);
    EXPECT_NE(InkMask(Cell(1, 0), window), InkMask(Cell(1, 2), window));
    // The key list shows the picked city, not the key: much more ink than a single digit.
    EXPECT_GT(Ink(Cell(3, 2), window), 3 * Ink(Cell(0, 2), window) / 2);
    // Checked and unchecked boxes differ; both are drawn, the same check twice alike.
    const auto checked = InkMask(Cell(4, 0), window), unchecked = InkMask(Cell(4, 1), yellow);
    EXPECT_NE(checked, unchecked);
    EXPECT_EQ(checked, InkMask(Cell(4, 2), window));
    EXPECT_GT(Ink(Cell(4, 1), yellow), 10);

    // The titles: a gradient from light at the top to the button face at the bottom, and captions.
    const TRect title = Grid->SingleCellRect(Grid->DataToGridCol(3), 0);
    const QRgb top = At(title.Left + 3, title.Top + 2), bottom = At(title.Left + 3, title.Bottom - 3);
    EXPECT_GT(qGray(top), qGray(bottom));
    EXPECT_GT(Ink(title, bottom), 0);
}

TEST_F(GridRaster, AVerticalTitleStandsUprightInATitleAsHighAsItsCaption) {
    grid::TColumnEh* c = Grid->Columns()->Items(0);
    c->Title()->SetCaption(Cyr("Номер"));
    Grab();
    const QRect flat = TitleInk(0);
    ASSERT_FALSE(flat.isEmpty());
    EXPECT_GT(flat.width(), flat.height()) << "lying, cut to the column";
    c->Title()->SetOrientation(grid::tohVertical);
    Grid->RebuildLayout();
    Grab();
    const QRect upright = TitleInk(0);
    ASSERT_FALSE(upright.isEmpty());
    EXPECT_GT(upright.height(), 2 * upright.width()) << "standing";
    // The whole word: as tall as the caption is long, and the title row grew to hold it.
    const TRect title = Grid->SingleCellRect(Grid->DataToGridCol(0), 0);
    EXPECT_GT(upright.height(), flat.width());
    EXPECT_GE(title.Height(), upright.height());
    // Reading upward from the bottom, centred across the cell.
    EXPECT_LE(title.Bottom - (upright.bottom() + 1), 8);
    EXPECT_NEAR((upright.left() + upright.right()) / 2.0, (title.Left + title.Right) / 2.0, 3);
}

}  // namespace
}  // namespace qttest
