// Column footers over the people of the grid fixture: the texts per value type, the sums the
// footers bind in the grid's sum list, and the painted footer row.
#include <gtest/gtest.h>

#include "tests/grid/dbgrid_fixture.h"

namespace gridtest {
namespace {

class FooterTest : public DBGridTest {
protected:
    void SetUp() override {
        DBGridTest::SetUp();
        Bind({u"id", u"name", u"cid"});
        Grid->SetFooterRowCount(1);
        Grid->SumList()->SetActive(true);
    }
    TColumnFooterEh* Footer(int C) { return Col(C)->Footer(); }
    // Paints the whole grid afresh on the form's recording surface.
    ui::TRecordingSurface* Repaint() {
        auto* surface = static_cast<ui::TRecordingSurface*>(Form->Surface());
        surface->Clear();
        Grid->Invalidate();
        Pump();
        Grid->UpdateWindow();
        return surface;
    }
};

TEST_F(FooterTest, TextsFollowTheValueType) {
    struct Case {
        const char* What;
        int Column;
        TFooterValueType Type;
        const char16_t* FieldName;
        const char* Format;
        const char* Value;
        const char* Text;
    };
    const Case cases[] = {
        {"nothing", 0, fvtNon, u"", "", "", ""},
        {"sum of the ids", 0, fvtSum, u"", "", "", "60"},
        {"sum with a format", 0, fvtSum, u"", "0.00", "", "60,00"},
        {"average over the non-null", 2, fvtAvg, u"", "", "", "1"},
        {"sum over a missing field", 1, fvtSum, u"nosuch", "", "", "0"},
        {"count of the records", 1, fvtCount, u"", "", "", "3"},
        {"a field's value", 1, fvtFieldValue, u"id", "", "", "10"},
        {"a fixed text", 1, fvtStaticText, u"", "", "Total", "Total"},
    };
    for (const Case& c : cases) {
        TColumnFooterEh* f = Footer(c.Column);
        f->SetValueType(fvtNon);
        f->SetFieldName(c.FieldName);
        f->SetDisplayFormat(c.Format);
        f->SetValue(c.Value);
        if (std::u16string(c.FieldName) == u"nosuch") {
            // The missing field raises in the sum list; the footer shows 0.
            EXPECT_THROW(f->SetValueType(c.Type), db::EDatabaseError) << c.What;
        } else {
            f->SetValueType(c.Type);
        }
        EXPECT_EQ(Grid->GetFooterValueText(0, Col(c.Column)), c.Text) << c.What;
        f->SetValueType(fvtNon);
    }
}

TEST_F(FooterTest, FootersBindSumsAndFollowPosts) {
    Footer(0)->SetValueType(fvtSum);
    Footer(1)->SetValueType(fvtCount);
    TDBSumCollection* sums = Grid->SumList()->SumCollection();
    ASSERT_EQ(sums->Count(), 2);
    EXPECT_EQ(sums->FindSum(goSum, u"ID"), Footer(0)->DBSum()) << "names compare without case";
    People.DS->Edit();
    F("id")->SetAsInteger(15);
    People.DS->Post();
    EXPECT_EQ(Grid->GetFooterValueText(0, Col(0)), "65");
    People.DS->Append();
    F("id")->SetAsInteger(40);
    People.DS->Post();
    EXPECT_EQ(Grid->GetFooterValueText(0, Col(1)), "4");
    Footer(0)->SetValueType(fvtStaticText);
    EXPECT_EQ(sums->Count(), 1) << "a footer without an aggregate lets its sum go";
    Col(1)->Footers()->Add()->SetValueType(fvtCount);
    EXPECT_EQ(Col(1)->FooterForIndex(0), Col(1)->Footers()->Items(0));
    EXPECT_EQ(Col(1)->FooterForIndex(3), Col(1)->Footer());
}

TEST_F(FooterTest, TheFooterRowIsPaintedWithTheFooterTexts) {
    Footer(0)->SetValueType(fvtSum);
    Footer(1)->SetValueType(fvtStaticText);
    Footer(1)->SetValue("Total");
    int params = 0;
    Grid->OnGetFooterParams = [&](rtl::TObject*, int DataCol, int, TColumnEh*, ui::TFont*, ui::TColor&, TAlignment&,
                                  TGridDrawState, AnsiString& Text) {
        ++params;
        if (DataCol == 1) Text += "!";
    };
    Form->Show();
    Pump();
    ui::TRecordingSurface* surface = Repaint();
    std::vector<std::string> texts;
    for (const ui::TDrawRecord* r : surface->OfKind(ui::TDrawOp::Text)) texts.push_back(r->Text);
    EXPECT_NE(std::find(texts.begin(), texts.end(), "60"), texts.end());
    EXPECT_NE(std::find(texts.begin(), texts.end(), "Total!"), texts.end());
    EXPECT_GT(params, 0);
}

TEST_F(FooterTest, TheIndicatorNumbersTheRowsAndCountsTheRecordsInTheFooter) {
    Form->Show();
    Pump();
    // Turned on in a grid already shown: the indicator widens for the numbers at once.
    Grid->SetOptionsEh(Grid->OptionsEh() + TDBGridEhOptions{dghShowRecNo});
    Pump();
    // The texts drawn in the indicator column, top to bottom.
    auto indicatorTexts = [&] {
        ui::TRecordingSurface* surface = Repaint();
        const TPoint o = Grid->ClientToParent(TPoint{0, 0}, Form);
        std::vector<std::string> out;
        for (int row = Grid->TitleRowCount(); row <= Grid->RowCount(); ++row) {
            TRect cell = Grid->SingleCellRect(0, row);
            cell.Offset(o.X, o.Y);
            std::string text;
            for (const ui::TDrawRecord* r : surface->OfKind(ui::TDrawOp::Text))
                if (!r->Text.empty() && r->Rect.Left >= cell.Left && r->Rect.Right <= cell.Right &&
                    r->Rect.Top >= cell.Top - 1 && r->Rect.Bottom <= cell.Bottom + 1)
                    text = r->Text;
            out.push_back(text);
        }
        return out;
    };
    // Three numbered records, then the footer row with the dataset's record count.
    EXPECT_EQ(indicatorTexts(), (std::vector<std::string>{"1", "2", "3", "3"}));

    // The row being inserted has no number yet.
    People.DS->Last();
    People.DS->Append();
    EXPECT_EQ(indicatorTexts(), (std::vector<std::string>{"1", "2", "3", "", "3"}));
    People.DS->Cancel();

    // A closed dataset counts nothing.
    People.DS->Close();
    for (const std::string& t : indicatorTexts()) EXPECT_EQ(t, "");
}

TEST_F(FooterTest, AFooterWrapsOnlyWhereTheRowsHoldSeveralLines) {
    Footer(1)->SetValueType(fvtStaticText);
    Footer(1)->SetValue("one two three four five six");
    Footer(1)->SetWordWrap(true);
    Col(1)->SetWidth(40);
    Form->Show();
    Pump();
    auto* surface = static_cast<ui::TRecordingSurface*>(Form->Surface());
    // The lines of the footer text as painted, top to bottom.
    auto footerLines = [&] {
        surface->Clear();
        Grid->Invalidate();
        Pump();
        Grid->UpdateWindow();
        std::vector<std::pair<int, std::string>> lines;
        for (const ui::TDrawRecord* r : surface->OfKind(ui::TDrawOp::Text))
            if (std::string("one two three four five six").find(r->Text) != std::string::npos && !r->Text.empty())
                lines.push_back({r->Rect.Top, r->Text});
        return lines;
    };
    struct Case {
        const char* What;
        int RowLines;
        bool Wrap;
        bool SeveralLines;
    } cases[] = {
        {"rows of one line", 0, true, false},
        {"rows of three lines", 3, true, true},
        {"rows of three lines, wrapping off", 3, false, false},
    };
    for (const Case& c : cases) {
        Grid->SetRowLines(c.RowLines);
        Footer(1)->SetWordWrap(c.Wrap);
        const auto lines = footerLines();
        ASSERT_FALSE(lines.empty()) << c.What;
        EXPECT_EQ(lines.size() > 1, c.SeveralLines) << c.What;
        if (c.SeveralLines) {
            EXPECT_LT(lines[0].first, lines[1].first) << c.What;
        }
    }
}

}  // namespace
}  // namespace gridtest
