// The grid's data link (field map, write-back) and its selected-record list; the title tree the
// grid builds from its columns.
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "dbgrid_fixture.h"
#include "title_shape.h"

namespace gridtest {
namespace {

using DataLinkTest = DBGridTest;

TEST_F(DataLinkTest, SparseMapGivesMinusOneWhileTheStrictMapRaises) {
    Bind({u"id", u"nothing", u"city"});
    TGridDataLinkEh* link = Grid->DataLink();
    ASSERT_TRUE(link->Active());
    EXPECT_TRUE(link->SparseMap());
    ASSERT_EQ(link->FieldMappingCount(), 3);
    EXPECT_EQ(link->MappedField(0), F("id"));
    EXPECT_EQ(link->MappedFieldIndex(1), -1);
    EXPECT_EQ(link->MappedField(1), nullptr);
    EXPECT_EQ(link->MappedField(2), F("city"));
    EXPECT_EQ(link->MappedField(3), nullptr);
    EXPECT_EQ(link->MappedField(-1), nullptr);
    EXPECT_FALSE(link->UsesDefaultFields());
    EXPECT_EQ(Col(1)->Field(), nullptr);

    link->ClearFieldMapping();
    EXPECT_EQ(link->FieldMappingCapacity(), 0);
    link->SetSparseMap(false);
    try {
        link->AddFieldMapping(u"nothing");
        ADD_FAILURE();
    } catch (const db::EDatabaseError& e) {
        EXPECT_EQ(e.Message(), "Field 'nothing' not found");
    }
    for (int i = 0; i < 9; ++i) link->AddFieldMapping(u"name");
    EXPECT_EQ(link->FieldMappingCount(), 9);
    EXPECT_EQ(link->FieldMappingCapacity(), 16);
}

TEST_F(DataLinkTest, EditTextIsWrittenOnUpdateDataOnlyWhenFlagged) {
    Bind({u"id", u"name"});
    Grid->SetCol(Grid->DataToGridCol(1));
    People.DS->First();
    People.DS->Edit();
    Grid->FEditText = "Zed";
    People.DS->Post();
    EXPECT_EQ(Grid->Writes, 0);
    EXPECT_EQ(F("name")->AsString(), Cyr("Анна"));

    People.DS->Edit();
    Grid->DataLink()->FlagModified();
    People.DS->Post();
    // Written once, though the write asked for the record again.
    EXPECT_EQ(Grid->Writes, 1);
    EXPECT_FALSE(Grid->DataLink()->Modified());
    EXPECT_EQ(F("name")->AsString(), "Zed");

    // Reset without a pending edit cancels the dataset's edit.
    People.DS->Edit();
    F("name")->SetAsString("Y");
    Grid->DataLink()->Reset();
    EXPECT_EQ(People.DS->State(), db::dsBrowse);
    EXPECT_EQ(F("name")->AsString(), "Zed");
}

TEST_F(DataLinkTest, FocusingAFieldMakesItsColumnCurrentAndShowsTheEditor) {
    Bind({u"id", u"name", u"born"});
    Form->Show();
    Pump();
    F("born")->FocusControl();
    Pump();
    EXPECT_EQ(Grid->CurrentColumn(), Col(2));
    // The grid took the focus and shows its cell editor, which holds it now.
    ASSERT_NE(Grid->InplaceEditor(), nullptr);
    EXPECT_TRUE(Grid->InplaceEditor()->Focused());
}

TEST_F(DataLinkTest, SelectingInAnEmptyDatasetChangesNothing) {
    Bind({u"id"});
    People.Store->SetRows({});
    People.DS->Close();
    People.DS->Open();
    ASSERT_TRUE(People.DS->IsEmpty());
    int changes = 0;
    Grid->OnSelectionChanged = [&](rtl::TObject*) { ++changes; };
    Grid->SelectedRecords()->SetCurrentRowSelected(true);
    EXPECT_EQ(Grid->SelectedRecords()->Count(), 0);
    EXPECT_EQ(Grid->SelectionType(), gstNon);
    EXPECT_EQ(changes, 0);
    Grid->OnSelectionChanged = nullptr;
}

TEST_F(DataLinkTest, SelectingRecordsSwitchesTheSelectionToRecords) {
    Bind({u"id"});
    Grid->SelectionSetType(gstRectangle);
    People.DS->First();
    Grid->SelectedRecords()->SetCurrentRowSelected(true);
    People.DS->Last();
    Grid->SelectedRecords()->SetCurrentRowSelected(true);
    EXPECT_EQ(Grid->SelectedRecords()->Count(), 2);
    EXPECT_EQ(Grid->SelectionType(), gstRecordBookmarks);
    Grid->DataLink()->SetBufferCount(3);
    const TGridRect r = Grid->SelectedRecords()->SelectionGridRect();
    EXPECT_EQ(r.Top, 1);
    EXPECT_EQ(r.Bottom, 3);
    Grid->SetOptions(Grid->Options() + TDBGridOptions{dgMultiSelect});
    Grid->SetOptions(Grid->Options() - TDBGridOptions{dgMultiSelect});
    EXPECT_EQ(Grid->SelectedRecords()->Count(), 0);
    EXPECT_EQ(Grid->SelectionType(), gstNon);
}

TEST_F(DataLinkTest, GridBuildsItsTitleTreeFromColumnCaptions) {
    Bind({u"id", u"name", u"born", u"cid"});
    const char* captions[] = {"A|B", "A|K", "D|X", "D|Y"};
    for (int i = 0; i < 4; ++i) Col(i)->Title()->SetCaption(captions[i]);
    Col(0)->SetWidth(40);
    Col(1)->SetWidth(30);
    Col(3)->SetVisible(false);
    Col(1)->Title()->SetSortMarker(smDownEh);
    Grid->SetUseMultiTitle(true);
    EXPECT_EQ(Shape(Grid->TitleRoot()), "A[B,K],D[X,Y]");
    ASSERT_EQ(Grid->LeafFieldArr().size(), 4u);
    EXPECT_EQ(Grid->LeafFieldArr()[1]->LeafColumn, Col(1));
    EXPECT_EQ(Grid->LeafFieldArr()[1]->MarkerIndent, 16);
    EXPECT_EQ(Grid->LeafFieldArr()[0]->MarkerIndent, 0);
    EXPECT_EQ(Grid->LeafFieldArr()[3]->CellWidth, -1);
    EXPECT_EQ(Grid->TitleRoot()->FirstChild->CellWidth, 40 + 1 + 30);
    // Without column lines a hidden column is 0 wide and lines add nothing.
    Grid->SetOptions(Grid->Options() - TDBGridOptions{dgColLines});
    EXPECT_EQ(Grid->LeafFieldArr()[3]->CellWidth, 0);
    EXPECT_EQ(Grid->TitleRoot()->FirstChild->CellWidth, 70);
    // The application's captions keep every level.
    Col(0)->Title()->SetCaption("A||B");
    Col(1)->Title()->SetCaption("A|C");
    Col(2)->Title()->SetCaption("A|B|X");
    Col(3)->Title()->SetCaption("B|Y");
    Grid->LinkLayoutChanged();
    EXPECT_EQ(Shape(Grid->TitleRoot()), "A[B,C,B[X]],B[Y]");
}

}  // namespace
}  // namespace gridtest
