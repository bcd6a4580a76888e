// A form with the editor under test and a second edit to move the focus to; the editor bound
// through a source over a dataset of its own. Keys and characters go through the message queue
// as the display backend would deliver them.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "tests/support/editors_fixture.h"
#include "tests/support/ui_fixture.h"

namespace editorstest {

using rtl::AnsiString;

class EditorFormTest : public uitest::UiTest {
protected:
    // Places Editor and the other edit on the form and shows it; the focus starts on the other
    // edit, since entering the editor is part of what the tests watch.
    void SetUpForm(ui::TWinControl* Editor, int Width = 150, int Height = 24) {
        Editor->SetBounds(10, 10, Width, Height);
        Editor->SetParent(Form);
        Other = rtl::Create<ui::TEdit>(Form);
        Other->SetName("Other");
        Other->SetBounds(10, 50, 150, 24);
        Other->SetParent(Form);
        Form->Show();
        Pump();
        Other->SetFocus();
        Pump();
    }
    void TearDown() override {
        // The form's controls go before the dataset they are bound to.
        if (Form) Form->Free();
        Form = nullptr;
        UiTest::TearDown();
    }
    void Focus(ui::TWinControl* C) {
        C->SetFocus();
        Pump();
    }
    void Type(const std::string& Text) {
        for (char c : Text) ui::CharInput(c);
        Pump();
    }
    void Key(uint16_t K, char C = 0) {
        ui::KeyPressInput(K, C);
        Pump();
    }
    // DropDown shows on the screen right under Editor and, wider and taller than Editor, is hit
    // where it shows: no editor clips it.
    static void ExpectShownUnder(ui::TWinControl* Editor, ui::TWinControl* DropDown) {
        const ui::TRect editor = Editor->WindowRectOnScreen();
        const ui::TRect onScreen = DropDown->WindowRectOnScreen();
        EXPECT_EQ(onScreen.Left, editor.Left);
        EXPECT_EQ(onScreen.Top, editor.Bottom);
        const ui::TPoint inside{onScreen.Left + DropDown->Width() - 10, onScreen.Top + DropDown->Height() - 10};
        EXPECT_EQ(ui::WindowFromPoint(inside), DropDown->Handle());
    }
    ui::TEdit* Other = nullptr;
};

// The editor of type TEditor over its own dataset of Cols and Rows.
template <class TEditor>
class BoundEditorTest : public EditorFormTest {
protected:
    BoundEditorTest(std::vector<memdstest::TCol> Cols, std::vector<std::vector<Variant>> Rows)
        : Data(std::move(Cols), std::move(Rows)) {}
    // Opens the dataset, gives it a source and creates the editor, not yet placed nor bound.
    TEditor* CreateEditor(const char* Name) {
        Data.DS->Open();
        Src = rtl::Create<db::TDataSource>(Form);
        Src->SetDataSet(Data.DS.get());
        Edit = rtl::Create<TEditor>(Form);
        Edit->SetName(Name);
        return Edit;
    }
    void Bind(const char* FieldName) {
        Edit->SetDataSource(Src);
        Edit->SetDataField(FieldName);
    }

    TFixture Data;
    db::TDataSource* Src = nullptr;
    TEditor* Edit = nullptr;
};

}  // namespace editorstest
