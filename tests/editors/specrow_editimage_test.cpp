// The drop-down list's special row, the editor image, hosting checks and focusing through the link.
#include <gtest/gtest.h>

#include <vector>

#include "controls/editors/DBCtrlsEh.h"
#include "controls/editors/ToolCtrlsEh.h"
#include "framework/ui/Forms.h"
#include "tests/support/editors_fixture.h"

namespace {

using namespace editors;
using rtl::Variant;

TEST(SpecRow, DefaultsFollowTheOwnerUntilAssigned) {
    TSpecRowEh row;
    int changes = 0;
    row.OnChanged = [&](rtl::TObject*) { ++changes; };
    EXPECT_EQ(row.ShortCut(), 32814);
    EXPECT_TRUE(row.ShowIfNotInKeyList());
    EXPECT_TRUE(row.Value().IsNull());
    EXPECT_FALSE(row.Visible());
    EXPECT_EQ(row.Color(), ui::clWindow);
    EXPECT_FALSE(row.ColorAssigned());

    // Reading the owner's font is not the user's choice and fires nothing.
    EXPECT_EQ(row.Font()->Name(), ui::DefaultFontName);
    EXPECT_FALSE(row.FontAssigned());
    EXPECT_EQ(changes, 0);

    row.Font()->SetHeight(-20);
    EXPECT_TRUE(row.FontAssigned());
    EXPECT_EQ(changes, 1);
    EXPECT_EQ(row.Font()->Height(), -20);  // kept, not overwritten by the owner's

    row.SetColor(ui::clRed);
    EXPECT_TRUE(row.ColorAssigned());
    EXPECT_EQ(row.Color(), ui::clRed);
    row.SetColor(ui::clRed);
    row.SetVisible(false);
    EXPECT_EQ(changes, 2);  // unchanged writes fire nothing
}

TEST(SpecRow, CellsSplitAndKeyMatching) {
    TSpecRowEh row;
    row.SetCellsText("(none);\"a;b\";c");
    ASSERT_EQ(row.CellCount(), 3);
    EXPECT_EQ(row.TextOfCell(0), "(none)");
    EXPECT_EQ(row.TextOfCell(1), "a;b");
    EXPECT_EQ(row.TextOfCell(3), "");
    EXPECT_EQ(row.TextOfCell(-1), "");

    // Invisible rows match nothing; a visible one matches its value.
    EXPECT_FALSE(row.MatchesKey(Variant::Null()));
    row.SetVisible(true);
    EXPECT_TRUE(row.MatchesKey(Variant::Null()));
    EXPECT_FALSE(row.MatchesKey(Variant(1)));
    row.SetValue(Variant(1));
    EXPECT_TRUE(row.MatchesKey(Variant(1)));
}

TEST(SpecRow, AssignCopiesInOneNotification) {
    TSpecRowEh src, dst;
    src.SetCellsText("x");
    src.SetValue(Variant(5));
    src.SetVisible(true);
    src.SetShortCut(0);
    src.SetShowIfNotInKeyList(false);
    int changes = 0;
    dst.OnChanged = [&](rtl::TObject*) { ++changes; };
    dst.Assign(&src);
    EXPECT_EQ(changes, 1);
    EXPECT_EQ(dst.CellsText(), "x");
    EXPECT_EQ(dst.Value().AsInteger(), 5);
    EXPECT_TRUE(dst.Visible());
    EXPECT_EQ(dst.ShortCut(), 0);
    EXPECT_FALSE(dst.ShowIfNotInKeyList());
    // The source's effective colour counts as assigned; its unassigned font is not copied.
    EXPECT_TRUE(dst.ColorAssigned());
    EXPECT_FALSE(dst.FontAssigned());
}

// ---------------------------------------------------------------------------------------------

class TEditHost : public ui::TCustomControl {
    RTL_CLASS(TEditHost, ui::TCustomControl)
public:
    explicit TEditHost(rtl::TComponent* Owner) : TCustomControl(Owner) { SetBounds(0, 0, 100, 20); }
    std::vector<ui::WPARAM> ImageChanges;

protected:
    void WndProc(ui::TMessage& M) override {
        if (M.Msg == ui::WM_USER + 101) ImageChanges.push_back(M.WParam);
        TCustomControl::WndProc(M);
    }
};

class TGridHost : public ui::TCustomControl, public IInplaceEditHolderEh {
    RTL_CLASS(TGridHost, ui::TCustomControl)
public:
    using TCustomControl::TCustomControl;
    bool CanEditorModify(ui::TWinControl*) override { return true; }
    void GetLastMouseDown(ui::TPoint&, int&) override {}
    void EditorWndProc(ui::TWinControl*, ui::TMessage&) override {}
    void EditorKeyDown(ui::TWinControl*, uint16_t&, ui::TShiftState) override {}
    void EditorKeyPress(ui::TWinControl*, char&) override {}
    void EditorKeyUp(ui::TWinControl*, uint16_t&, ui::TShiftState) override {}
};

TEST(EditImage, OnlyLayoutChangesRecreateTheEditor) {
    auto* host = rtl::Create<TEditHost>(nullptr);
    TEditImageEh image(host);
    EXPECT_EQ(image.ImageIndex(), -1);
    EXPECT_TRUE(image.UseImageHeight());

    image.SetImageIndex(2);
    EXPECT_TRUE(host->ImageChanges.empty());
    image.SetWidth(16);
    image.SetWidth(16);
    image.SetVisible(true);
    image.SetUseImageHeight(false);
    ASSERT_EQ(host->ImageChanges.size(), 3u);
    EXPECT_EQ(host->ImageChanges[0], reinterpret_cast<ui::WPARAM>(&image));

    // A freed image list is dropped through the editor's notification.
    auto* list = ui::TCustomImageList::CreateSize(16, 16);
    image.SetImages(list);
    EXPECT_EQ(host->ImageChanges.size(), 4u);
    image.Notification(list, rtl::opRemove);
    EXPECT_EQ(image.Images(), nullptr);
    list->Free();

    TEditImageEh copy(host);
    copy.Assign(&image);
    EXPECT_EQ(copy.ImageIndex(), 2);
    EXPECT_EQ(copy.Width(), 16);
    EXPECT_TRUE(copy.Visible());
    EXPECT_TRUE(copy.UseImageHeight());  // not copied
    host->Free();
}

TEST(Hosting, HolderMustOfferTheHolderInterface) {
    auto* plain = rtl::Create<TEditHost>(nullptr);
    auto* grid = rtl::Create<TGridHost>(nullptr);
    EXPECT_EQ(RequireInplaceEditHolder(nullptr), nullptr);
    EXPECT_EQ(RequireInplaceEditHolder(grid), static_cast<IInplaceEditHolderEh*>(grid));
    try {
        RequireInplaceEditHolder(plain);
        ADD_FAILURE();
    } catch (const rtl::Exception& e) {
        EXPECT_STREQ(e.what(), InplaceEditHolderMismatch);
    }
    grid->Free();
    plain->Free();
}

TEST(FieldDataLinkFocus, FocusRequestFocusesTheOwningControl) {
    auto f = editorstest::OpenPeople(3);
    rtl::TOwnedPtr<db::TDataSource> src(rtl::Create<db::TDataSource>(nullptr));
    src->SetDataSet(f.DS.get());
    ui::TForm* form = rtl::Create<ui::TForm>(nullptr);
    form->SetBounds(0, 0, 300, 200);
    auto* edit = rtl::Create<TEditHost>(form);
    edit->SetParent(form);
    edit->SetTabStop(true);
    form->Show();

    TFieldDataLinkEh link;
    link.SetControl(edit);
    link.AssignLinkDataSource(src.get());
    link.BindFieldName("name");
    f.DS->FieldByName(std::string_view("name"))->FocusControl();
    EXPECT_TRUE(edit->Focused());

    link.AssignLinkDataSource(nullptr);
    form->Free();
}

}  // namespace
