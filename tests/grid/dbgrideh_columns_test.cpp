// Columns: defaultable properties, widths, titles and column defaults.
#include <gtest/gtest.h>

#include <memory>

#include "dbgrid_fixture.h"

namespace gridtest {
namespace {

using ColumnTest = DBGridTest;

// Measures a "0" of no width in the font named "Zero".
class TZeroDigitSurface : public ui::TRecordingSurface {
public:
    ui::TSize TextExtent(std::string_view Text, const ui::TFontData& Font) override {
        ui::TSize s = ui::TRecordingSurface::TextExtent(Text, Font);
        if (Font.Name == "Zero") s.cx = 0;
        return s;
    }
};

TEST_F(ColumnTest, UnassignedPropertiesFollowTheirSourceUntilAssigned) {
    Bind({u"id", u"name"});
    TColumnEh* c = Col(0);
    Grid->SetColor(ui::clYellow);
    EXPECT_EQ(c->Color(), ui::clYellow);
    c->SetColor(ui::clRed);
    Grid->SetColor(ui::clAqua);
    EXPECT_EQ(c->Color(), ui::clRed);
    c->RestoreDefaults();
    EXPECT_EQ(c->Color(), ui::clAqua);

    // Column defaults, then the column's own value.
    EXPECT_FALSE(c->AlwaysShowEditButton());
    Grid->ColumnDefValues()->SetAlwaysShowEditButton(true);
    EXPECT_TRUE(c->AlwaysShowEditButton());
    c->SetAlwaysShowEditButton(false);
    EXPECT_FALSE(c->AlwaysShowEditButton());
    Grid->ColumnDefValues()->SetLayout(editors::tlCenter);
    EXPECT_EQ(c->Layout(), editors::tlCenter);

    // The field's values.
    EXPECT_EQ(c->Alignment(), F("id")->Alignment());
    F("id")->SetAlignment(db::taCenter);
    EXPECT_EQ(c->Alignment(), db::taCenter);
    EXPECT_FALSE(c->ReadOnly());
    F("id")->SetReadOnly(true);
    EXPECT_TRUE(c->ReadOnly());
    F("id")->SetReadOnly(false);
    Grid->SetReadOnly(true);
    EXPECT_TRUE(c->ReadOnly());
    c->SetReadOnly(false);
    EXPECT_FALSE(c->ReadOnly());
    EXPECT_TRUE(Col(1)->WordWrap());
    EXPECT_FALSE(c->WordWrap());

    // The font follows the grid's until changed.
    Grid->Font()->SetHeight(-15);
    EXPECT_EQ(c->Font()->Height(), -15);
    c->Font()->SetHeight(-20);
    Grid->Font()->SetHeight(-12);
    EXPECT_EQ(c->Font()->Height(), -20);
    EXPECT_TRUE(c->AssignedValues().Contains(cvFont));
}

TEST_F(ColumnTest, TitlesFollowFieldsAndColumnDefaults) {
    Bind({u"id", u"name"});
    TColumnTitleEh* t = Col(1)->Title();
    EXPECT_EQ(t->Caption(), "name");
    F("name")->SetDisplayLabel(rtl::AnsiToWide(Cyr("Имя")));
    EXPECT_EQ(t->Caption(), Cyr("Имя"));
    t->SetCaption("N");
    EXPECT_EQ(t->Caption(), "N");
    t->RestoreDefaults();
    EXPECT_EQ(t->Caption(), Cyr("Имя"));

    EXPECT_EQ(t->Alignment(), db::taLeftJustify);
    Grid->SetUseMultiTitle(true);
    EXPECT_EQ(t->Alignment(), db::taCenter);
    Grid->SetUseMultiTitle(false);
    EXPECT_EQ(t->Alignment(), db::taLeftJustify);
    EXPECT_EQ(t->Color(), Grid->FixedColor());
    Grid->ColumnDefValues()->Title()->SetColor(ui::clRed);
    EXPECT_EQ(t->Color(), ui::clRed);
    t->SetColor(ui::clBlue);
    EXPECT_EQ(t->Color(), ui::clBlue);
    EXPECT_EQ(t->Font()->Height(), Grid->TitleFont()->Height());
    Grid->TitleFont()->SetHeight(-17);
    EXPECT_EQ(t->Font()->Height(), -17);

    // A column without a field shows its field name.
    Grid->Columns()->Add()->SetFieldName(u"nothing");
    EXPECT_EQ(Col(2)->Field(), nullptr);
    EXPECT_EQ(Col(2)->Title()->Caption(), "nothing");
}

TEST_F(ColumnTest, ColumnDefaultsAssignLeavesLayoutHighlightAndFooter) {
    Bind({u"id"});
    auto* other = rtl::Create<TDBGridEh>(Form);
    TColumnDefValuesEh* d = other->ColumnDefValues();
    d->SetLayout(editors::tlBottom);
    d->SetHighlightRequired(true);
    d->Footer()->SetToolTips(true);
    d->SetEndEllipsis(true);
    d->Title()->SetColor(ui::clRed);
    Grid->SetColumnDefValues(d);
    EXPECT_EQ(Grid->ColumnDefValues()->Layout(), editors::tlTop);
    EXPECT_FALSE(Grid->ColumnDefValues()->HighlightRequired());
    EXPECT_FALSE(Grid->ColumnDefValues()->Footer()->ToolTips());
    EXPECT_TRUE(Grid->ColumnDefValues()->EndEllipsis());
    EXPECT_EQ(Grid->ColumnDefValues()->Title()->Color(), ui::clRed);
    EXPECT_TRUE(Grid->ColumnDefValues()->Title()->ColorAssigned());
}

TEST_F(ColumnTest, DefaultColumnsWriteAlignmentReadOnlyAndCaptionThroughToTheField) {
    Grid->SetDataSource(Src);
    TColumnEh* c = Grid->Columns()->AddDefaultColumn();
    c->SetField(F("name"));
    ASSERT_TRUE(c->IsDefaultColumn());
    ASSERT_FALSE(Grid->Columns()->HasPersistentColumns());
    c->SetAlignment(db::taRightJustify);
    EXPECT_EQ(F("name")->Alignment(), db::taRightJustify);
    EXPECT_FALSE(c->AssignedValues().Contains(cvAlignment));
    c->SetReadOnly(true);
    EXPECT_TRUE(F("name")->ReadOnly());
    EXPECT_FALSE(c->AssignedValues().Contains(cvReadOnly));
    c->Title()->SetCaption("Label");
    EXPECT_EQ(F("name")->DisplayLabel(), u"Label");
    EXPECT_FALSE(c->AssignedValues().Contains(cvTitleCaption));
    // Another field restores every default.
    c->SetColor(ui::clRed);
    c->SetField(F("id"));
    EXPECT_EQ(c->FieldName(), u"id");
    EXPECT_FALSE(c->AssignedValues().Contains(cvColor));
    c->SetField(nullptr);
    EXPECT_EQ(c->FieldName(), u"");
}

TEST_F(ColumnTest, WidthsAreClippedAndMinusOneIgnored) {
    Bind({u"name"});
    TColumnEh* c = Col(0);
    const int defaultWidth = c->Width();
    const int zero = ui::FixedTextExtent("0", c->Font()->Data()).cx;
    EXPECT_EQ(defaultWidth, zero * F("name")->DisplayWidth() + 4);
    c->SetWidth(-1);
    EXPECT_EQ(c->Width(), defaultWidth);
    EXPECT_FALSE(c->AssignedValues().Contains(cvWidth));
    c->SetMaxWidth(100);
    c->SetWidth(150);
    EXPECT_EQ(c->Width(), 100);
    c->SetMinWidth(20);
    c->SetWidth(5);
    EXPECT_EQ(c->Width(), 20);
    c->SetMinWidth(40);
    EXPECT_EQ(c->Width(), 40);
    // The minimum wins over a smaller maximum.
    c->SetMaxWidth(30);
    EXPECT_EQ(c->Width(), 40);
    c->SetMinWidth(0);
    c->SetWidth(35);
    EXPECT_EQ(c->Width(), 30);
    // The grid shows the column's width.
    EXPECT_EQ(Grid->ColWidths(Grid->DataToGridCol(0)), 30);
    c->SetVisible(false);
    EXPECT_EQ(Grid->ColWidths(Grid->DataToGridCol(0)), -1);
}

TEST_F(ColumnTest, DefaultColumnWidthSetsTheDisplayWidthUnlessTheDigitHasNoWidth) {
    Grid->SetDataSource(Src);
    Form->Show();
    Pump();
    Form->SetSurface(std::make_unique<TZeroDigitSurface>());
    TColumnEh* c = Grid->Columns()->AddDefaultColumn();
    c->SetField(F("name"));
    const int zero = ui::FixedTextExtent("0", c->Font()->Data()).cx;
    c->SetWidth(zero * 5 + 4);
    EXPECT_EQ(F("name")->DisplayWidth(), 5);
    Grid->Font()->SetName("Zero");
    ASSERT_EQ(c->Font()->Name(), "Zero");
    c->SetWidth(200);
    EXPECT_EQ(F("name")->DisplayWidth(), 5);
    EXPECT_EQ(c->Width(), 200);
}

TEST_F(ColumnTest, FitWidthsKeepTheirValueWhenTheGridWidthIsZero) {
    Grid->SetOptions(Grid->Options() - TDBGridOptions{dgColLines});
    Bind({u"id", u"name", u"born"});
    Grid->SetAutoFitColWidths(true);
    for (int i = 0; i < 3; ++i) Col(i)->SetFitWidth(100);
    // A hidden column without column lines has grid width 0.
    Col(1)->SetVisible(false);
    ASSERT_EQ(Grid->ColWidths(Grid->DataToGridCol(1)), 0);
    Col(1)->SetTag(1);
    Col(1)->SetButtonStyle(cbsEllipsis);  // reports the column changed
    EXPECT_EQ(Col(1)->FitWidth(), 100);
    EXPECT_EQ(Col(2)->FitWidth(), 100);
    // A shown column scales its fit width by its new width over the grid's and the next one absorbs it.
    Col(0)->SetWidth(Grid->ColWidths(Grid->DataToGridCol(0)) / 2);
    EXPECT_EQ(Col(0)->FitWidth(), 50);
    EXPECT_EQ(Col(1)->FitWidth(), 150);
}

TEST_F(ColumnTest, FieldNameTakesTheFieldsLetterCaseAndAssignCopiesAssignedValues) {
    Bind({u"NAME"});
    EXPECT_EQ(Col(0)->Field(), F("name"));
    EXPECT_EQ(Col(0)->FieldName(), u"name");
    TColumnEh* c = Grid->Columns()->Add();
    Col(0)->SetColor(ui::clRed);
    Col(0)->Title()->SetCaption("T");
    Col(0)->PickList()->SetCommaText("a,b");
    c->Assign(Col(0));
    EXPECT_EQ(c->FieldName(), u"name");
    EXPECT_EQ(c->Color(), ui::clRed);
    EXPECT_EQ(c->Title()->Caption(), "T");
    EXPECT_EQ(c->PickList()->CommaText(), "a,b");
    EXPECT_FALSE(c->AssignedValues().Contains(cvWidth));
}

TEST_F(ColumnTest, HidingTheCurrentColumnMovesToTheFirstVisibleOne) {
    Bind({u"id", u"name", u"born"});
    Grid->SetCol(Grid->DataToGridCol(1));
    Col(0)->SetVisible(false);
    EXPECT_EQ(Grid->DisplayedColumnList()->Count(), 2);
    EXPECT_EQ(Grid->CurrentColumn(), Col(1));
    Col(1)->SetVisible(false);
    EXPECT_EQ(Grid->CurrentColumn(), Col(2));
    EXPECT_EQ(Grid->DisplayedColumnList()->Items(0), Col(2));
}

TEST_F(ColumnTest, ColumnsLookTheirFieldsUpAgainAfterAStateChangeWhileDisabled) {
    Bind({u"id", u"name"});
    ASSERT_EQ(Col(1)->Field(), F("name"));
    People.DS->DisableControls();
    People.DS->Close();
    People.DS->Open();
    EXPECT_EQ(Col(1)->CachedField(), nullptr);
    People.DS->EnableControls();
    EXPECT_EQ(Col(1)->Field(), F("name"));
}

}  // namespace
}  // namespace gridtest
