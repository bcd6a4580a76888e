// The edit base bound to a field: the value between field and text, editing state, the write-back
// and its failures, the guard for a missing data source, and what the field lends the editor.
#include <gtest/gtest.h>

#include "dbedit_fixture.h"
#include "framework/db/DB_FieldClasses.h"
#include "framework/rtl/Text.h"
#include "framework/ui/Clipbrd.h"

using namespace editorstest;
using namespace editors;

namespace {

TEST_F(DBEditTest, FocusedShowsEditTextAndLeavingWritesBackAndShowsDisplayText) {
    static_cast<db::TIntegerField*>(F("id"))->SetDisplayFormat("#,##0.00");
    static_cast<db::TIntegerField*>(F("id"))->SetEditFormat("0");
    Bind("id");
    EXPECT_EQ(Edit->Text(), "10,00") << "unfocused: display text";
    FocusEdit();
    EXPECT_EQ(Edit->Text(), "10") << "focused: edit text";
    EXPECT_TRUE(Edit->WindowReadOnly()) << "the dataset browses: no editing yet";

    std::vector<std::string> order;
    Edit->OnExit = [&](rtl::TObject*) { order.push_back("exit:" + F("id")->AsString()); };
    Edit->SelectAll();
    Type("42");
    EXPECT_EQ(Data.DS->State(), db::dsEdit) << "the first keystroke starts editing";
    EXPECT_FALSE(Edit->WindowReadOnly());
    EXPECT_EQ(Edit->Text(), "42");
    EXPECT_TRUE(Edit->Modified());
    EXPECT_TRUE(Edit->DataLink()->Modified());
    EXPECT_EQ(F("id")->AsInteger(), 10) << "the field waits for the write-back";

    FocusOther();
    EXPECT_EQ(order, std::vector<std::string>{"exit:10"}) << "OnExit fires before the field is written";
    EXPECT_EQ(F("id")->AsInteger(), 42);
    EXPECT_EQ(Edit->Text(), "42,00");
    EXPECT_FALSE(Edit->Modified());
}

TEST_F(DBEditTest, DataChangesReachTheTextAndUpdateRecordWritesItBack) {
    Bind("name");
    EXPECT_EQ(Edit->Text(), "Anna");
    Data.DS->Next();
    EXPECT_EQ(Edit->Text(), "Boris");
    FocusEdit();
    Type("!");
    EXPECT_EQ(Edit->Text(), "!") << "AutoSelect selected the text on entry";
    Data.DS->Post();  // the record update asks every link for its data
    EXPECT_EQ(F("name")->AsString(), "!");
    EXPECT_EQ(Data.DS->State(), db::dsBrowse);
}

TEST_F(DBEditTest, TextWrittenByCodeEditsTheDatasetAndWritesAtOnce) {
    Bind("name");
    Edit->SetText("Vera");
    EXPECT_EQ(Data.DS->State(), db::dsEdit);
    EXPECT_EQ(F("name")->AsString(), "Vera");
    EXPECT_FALSE(Edit->Modified());

    Edit->SetValue(Variant(AnsiString("Gleb")));
    EXPECT_EQ(F("name")->AsString(), "Gleb");
    EXPECT_EQ(Edit->Value(), Variant(AnsiString("Gleb")));
}

TEST_F(DBEditTest, OnUpdateDataMayTakeOverTheWriteAndATextWriteInsideItDoesNotWriteAgain) {
    Bind("name");
    int calls = 0;
    Edit->OnUpdateData = [&](rtl::TObject*, bool& Handled) {
        ++calls;
        Edit->SetText("inner");
        F("name")->SetAsString("by handler");
        Handled = true;
    };
    Edit->SetText("outer");
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(F("name")->AsString(), "by handler");
}

TEST_F(DBEditTest, AFailedConversionReloadsTheFieldAndKeepsTheFocus) {
    Bind("id");
    EXPECT_THROW(Edit->SetText("abc"), rtl::Exception);
    EXPECT_EQ(Edit->Text(), "10") << "a failed write by code reloads the value";
    EXPECT_EQ(F("id")->AsInteger(), 10);

    FocusEdit();
    Edit->SelectAll();
    Type("1x");  // 'x' is refused by the integer field
    EXPECT_EQ(Edit->Text(), "1");
    Edit->SelectAll();
    Edit->SetSelText("99999999999");  // beyond a 32-bit integer: the write-back fails
    EXPECT_THROW(Other->SetFocus(), rtl::Exception);
    Pump();
    EXPECT_EQ(ui::GetFocus(), Edit->Handle()) << "the focus stays in the editor";
    EXPECT_TRUE(Edit->EditFocused());
    EXPECT_EQ(Edit->SelLength(), static_cast<int>(Edit->EditText().size())) << "the text is selected";
    EXPECT_EQ(F("id")->AsInteger(), 10);
}

TEST_F(DBEditTest, InvalidCharactersOfTheFieldBeepAndAreDropped) {
    Bind("id");
    FocusEdit();
    Edit->SelectAll();
    const int beeps = ui::MessageBeepCount();
    Type("7a-b8");
    EXPECT_EQ(Edit->Text(), "7-8");
    EXPECT_EQ(ui::MessageBeepCount(), beeps + 2);
}

TEST_F(DBEditTest, EscPutsTheFieldValueBack) {
    Bind("name");
    FocusEdit();
    Type("Zoya");
    EXPECT_EQ(Edit->Text(), "Zoya");
    Key(ui::VK_ESCAPE);
    EXPECT_EQ(Edit->Text(), "Anna");
    EXPECT_EQ(Edit->SelLength(), 4) << "the value comes back selected";
    EXPECT_FALSE(Edit->Modified());
    FocusOther();
    EXPECT_EQ(F("name")->AsString(), "Anna");
}

// An editor bound by field name but without a data source: reads are empty, writes raise and
// change nothing.
TEST_F(DBEditTest, MissingDataSourceGuard) {
    Edit->SetDataField("name");
    EXPECT_TRUE(Edit->DataSourceMissing());
    EXPECT_EQ(Edit->Text(), "");
    EXPECT_TRUE(Edit->Value().IsNull());
    struct TCase {
        const char* Name;
        std::function<void()> Write;
    };
    const TCase cases[] = {
        {"Text", [&] { Edit->SetText("lost"); }},
        {"Value", [&] { Edit->SetValue(Variant(5)); }},
        {"Clear", [&] { Edit->Clear(); }},
    };
    for (const TCase& c : cases) {
        try {
            c.Write();
            ADD_FAILURE() << c.Name << " did not raise";
        } catch (const db::EDatabaseError& e) {
            EXPECT_EQ(std::string(e.Message()), "Edit: Missing DataSource property") << c.Name;
        }
        EXPECT_EQ(Edit->EditText(), "") << c.Name;
    }

    // A data source without a dataset has nothing to write to either.
    rtl::TOwnedPtr<db::TDataSource> empty(rtl::Create<db::TDataSource>(nullptr));
    Edit->SetDataSource(empty.get());
    EXPECT_THROW(Edit->SetText("lost"), db::EDatabaseError);
    Edit->SetDataSource(nullptr);

    // Unbound editors keep their own value.
    Edit->SetDataField("");
    Edit->SetText("kept");
    EXPECT_EQ(Edit->Text(), "kept");
    EXPECT_EQ(Edit->DataLink()->UnboundValue(), Variant(AnsiString("kept")));
}

TEST_F(DBEditTest, ReadOnlyAndCanModify) {
    Bind("name");
    FocusEdit();
    Edit->SetReadOnly(true);
    const int beeps = ui::MessageBeepCount();
    Type("x");
    Key(ui::VK_DELETE);
    EXPECT_EQ(Edit->Text(), "Anna");
    EXPECT_EQ(Data.DS->State(), db::dsBrowse) << "a read-only editor never starts editing";
    EXPECT_GT(ui::MessageBeepCount(), beeps);
    EXPECT_TRUE(Edit->WindowReadOnly());

    Edit->SetReadOnly(false);
    F("name")->SetReadOnly(true);
    Type("x");
    EXPECT_EQ(Edit->Text(), "Anna") << "a field that cannot be modified keeps the window read-only";
    EXPECT_EQ(Data.DS->State(), db::dsBrowse);
    F("name")->SetReadOnly(false);
    Type("x");
    EXPECT_EQ(Edit->Text(), "x");
}

TEST_F(DBEditTest, AnEditorWithOnUpdateDataStaysWritableWhileItsDatasetEdits) {
    Bind("name");
    Edit->OnUpdateData = [](rtl::TObject*, bool& Handled) { Handled = true; };
    Data.DS->Edit();
    Edit->SetReadOnly(false);
    EXPECT_FALSE(Edit->WindowReadOnly());
}

// The window takes no character that 1251 lacks, typed or pasted; one 1251 has is typed as its
// 1251 byte.
TEST_F(DBEditTest, CharactersWithoutA1251FormAreRefused) {
    Bind("name");
    FocusEdit();
    Edit->SelectAll();
    const int beeps = ui::MessageBeepCount();
    ui::PostMessage(Edit->Handle(), ui::WM_CHAR, 0x4E2D, 1);  // a CJK ideograph
    Pump();
    EXPECT_EQ(Edit->Text(), "Anna");
    EXPECT_EQ(Data.DS->State(), db::dsBrowse);
    EXPECT_EQ(ui::MessageBeepCount(), beeps + 1);

    ui::PostMessage(Edit->Handle(), ui::WM_CHAR, 0x0416, 1);  // Cyrillic capital Zhe
    Pump();
    EXPECT_EQ(Edit->Text(), "\xC6");

    ui::Clipboard()->SetAsWideText(u"ab\u4E2Dc");
    Edit->SelectAll();
    Edit->PasteFromClipboard();
    EXPECT_EQ(Edit->Text(), "\xC6");
    ui::Clipboard()->SetAsWideText(u"\u0416\u0416");
    Edit->PasteFromClipboard();
    EXPECT_EQ(Edit->Text(), "\xC6\xC6");
    FocusOther();
    EXPECT_EQ(F("name")->AsString(), "\xC6\xC6");
    EXPECT_EQ(F("name")->AsString().find('?'), std::string::npos);
}

TEST_F(DBEditTest, MaxLengthFollowsAStringFieldOnly) {
    Bind("name");
    EXPECT_EQ(Edit->MaxLength(), 20);
    Edit->SetDataField("id");
    EXPECT_EQ(Edit->MaxLength(), 0);
    Edit->SetDataField("note");
    EXPECT_EQ(Edit->MaxLength(), 10);
    Edit->SetMaxLength(5);
    Edit->SetDataField("name");
    EXPECT_EQ(Edit->MaxLength(), 5) << "a length the user chose stays";
}

TEST_F(DBEditTest, EditMaskAndAlignmentComeFromTheFieldUnlessTheUserSetsThem) {
    F("note")->SetEditMask("000;0;_");
    F("id")->SetAlignment(db::taRightJustify);
    Bind("note");
    EXPECT_EQ(Edit->EditMask(), "000;0;_");
    EXPECT_FALSE(Edit->EditMaskAssigned());
    Edit->SetDataField("id");
    EXPECT_EQ(Edit->EditMask(), "") << "the next field's mask replaces it";
    EXPECT_EQ(Edit->Alignment(), ui::TAlignment::taRightJustify);
    Edit->SetAlignment(ui::TAlignment::taCenter);
    EXPECT_EQ(Edit->Alignment(), ui::TAlignment::taCenter);

    Edit->SetEditMask("99;0;_");
    Edit->SetDataField("note");
    EXPECT_EQ(Edit->EditMask(), "99;0;_") << "the user's mask stays";
    EXPECT_TRUE(Edit->EditMaskAssigned());
}

TEST_F(DBEditTest, ChangeFlagsTheLinkAndFiresOnChange) {
    Bind("name");
    int changes = 0;
    Edit->OnChange = [&](rtl::TObject*) { ++changes; };
    FocusEdit();
    Type("ab");
    EXPECT_EQ(changes, 2);
    EXPECT_TRUE(Edit->DataLink()->Modified());
    Key(ui::VK_ESCAPE);
    EXPECT_FALSE(Edit->DataLink()->Modified());
}

}  // namespace
