#include "edit_fixture.h"
#include "framework/rtl/SysUtils.h"
#include "framework/ui/Mask.h"

namespace uitest {
namespace {

class MaskEditTest : public InputTest {
protected:
    TMaskEdit* MakeMask(const rtl::AnsiString& Mask) {
        auto* e = rtl::Create<TMaskEdit>(Form);
        e->SetParent(Form);
        e->SetBounds(10, 10, 200, 24);
        e->SetEditMask(Mask);
        e->OnChange = [this](TObject*) { ++Changes; };
        Form->Show();
        e->SetFocus();
        Changes = 0;
        return e;
    }
    int Changes = 0;
};

TEST(EditMaskTest, TextAndEditTextInBothSaveModes) {
    struct Case {
        const char8_t* Mask;
        const char8_t* Value;
        const char8_t* EditText;
        const char8_t* Text;
    } cases[] = {
        {u8"!(999)000-00-00;1;_", u8"(495)123-45-67", u8"(495)123-45-67", u8"(495)123-45-67"},
        {u8"(999)000-00-00;0;_", u8"4951234567", u8"(495)123-45-67", u8"4951234567"},
        {u8"(999)000-00-00;0;_", u8"495", u8"(495)___-__-__", u8"495"},
        {u8"(999)000-00-00;1;_", u8"(495)12", u8"(495)12_-__-__", u8"(495)12 -  -  "},
        {u8"!999;0;_", u8"7", u8"__7", u8"7"},
        {u8"00/00/0000;1;*", u8"01.02.2024", u8"01.02.2024", u8"01.02.2024"},
        {u8"00:00;0; ", u8"0930", u8"09:30", u8"0930"},
        {u8">LL<ll;0;_", u8"мОСк", u8"МОск", u8"МОск"},
        {u8"\\Д-000;1;_", u8"Д-12", u8"Д-12_", u8"Д-12 "},
        {u8"LL;0;_", u8"1Я", u8"_Я", u8" Я"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(reinterpret_cast<const char*>(c.Mask));
        TEditMask m(Cp(c.Mask));
        const rtl::AnsiString edit = m.EditTextOf(Cp(c.Value));
        EXPECT_EQ(edit, Cp(c.EditText));
        EXPECT_EQ(m.TextOf(edit), Cp(c.Text));
    }
    // '/' and ':' follow the locale's separators.
    rtl::TScopedFormatSettings fs;
    rtl::FormatSettings().DateSeparator = '-';
    EXPECT_EQ(FormatMaskText("00/00;0;_", "0102"), "01-02");
    EXPECT_EQ(FormatMaskText("000-00;1;_", "12"), "12 -  ");
}

TEST_F(MaskEditTest, TypingSkipsLiteralsRefusesWrongCharactersAndBackspaceBlanks) {
    auto* e = MakeMask("(999)000-00;0;_");
    EXPECT_EQ(e->EditText(), "(___)___-__");
    EXPECT_EQ(e->SelLength(), 11);  // AutoSelect; typing replaces it from the first input position
    Type("495");
    EXPECT_EQ(e->CaretPos(), 5);
    const int beeps = MessageBeepCount();
    Type(Cp(u8"ж"));
    EXPECT_EQ(MessageBeepCount(), beeps + 1);
    Type("12");
    EXPECT_EQ(e->EditText(), "(495)12_-__");
    EXPECT_EQ(e->Text(), "49512");
    EXPECT_EQ(Changes, 5);
    Stroke(K(VK_BACK));
    EXPECT_EQ(e->EditText(), "(495)1__-__");
    EXPECT_EQ(e->CaretPos(), 6);
    // Backspace over a literal blanks the input position before it.
    e->SetSel(5, 5);
    Stroke(K(VK_BACK));
    EXPECT_EQ(e->EditText(), "(49_)1__-__");
    // Delete blanks a selection and keeps the shape.
    e->SetSel(0, 11);
    Stroke(K(VK_DELETE));
    EXPECT_EQ(e->EditText(), "(___)___-__");
    EXPECT_EQ(e->Text(), "");
}

TEST_F(MaskEditTest, CaseConversionAndCyrillicLetters) {
    auto* e = MakeMask(">L<lll;1;_");
    Type(Cp(u8"тВЕР"));
    EXPECT_EQ(e->Text(), Cp(u8"Твер"));
}

TEST_F(MaskEditTest, ValidateEditPutsTheCaretOnTheFirstWrongPosition) {
    auto* e = MakeMask("000-00;1;_");
    Type("12");
    e->SetSel(0, 0);
    try {
        e->ValidateEdit();
        FAIL() << "no error";
    } catch (const EDBEditError& x) {
        EXPECT_STREQ(x.what(), "Invalid input value");
    }
    EXPECT_EQ(e->SelStart(), 2);
    EXPECT_EQ(e->SelLength(), 0);
    Type("3");
    Type("-");  // a typed literal steps over it
    Type("45");
    EXPECT_NO_THROW(e->ValidateEdit());
    EXPECT_EQ(e->Text(), "123-45");
    // Optional positions may stay blank.
    e->SetEditMask("999;0;_");
    e->SetText("1");
    e->SetModified(true);
    EXPECT_NO_THROW(e->ValidateEdit());
}

TEST_F(MaskEditTest, LeavingAnIncompleteTextRaisesAndKeepsTheFocus) {
    auto* e = MakeMask("00.00;1;_");
    auto* other = rtl::Create<TEdit>(Form);
    other->SetParent(Form);
    other->SetBounds(10, 50, 100, 24);
    e->SetFocus();
    Type("1");
    EXPECT_THROW(other->SetFocus(), EDBEditError);
    EXPECT_EQ(e->SelStart(), 1);
}

TEST_F(MaskEditTest, EscapeRestoresTheTextFromBeforeEditing) {
    auto* other = rtl::Create<TEdit>(Form);
    other->SetParent(Form);
    other->SetBounds(10, 50, 100, 24);
    auto* e = MakeMask("0000;1;_");
    e->SetText("2024");
    other->SetFocus();
    e->SetFocus();
    e->SetSel(0, 0);
    Type("19");
    EXPECT_EQ(e->Text(), "1924");
    Stroke(K(VK_ESCAPE));
    EXPECT_EQ(e->Text(), "2024");
    EXPECT_FALSE(e->Modified());
}

TEST_F(MaskEditTest, PasteFillsInputPositionsOrIsRefusedWhole) {
    auto* e = MakeMask("(999)000-00;0;_");
    Clipboard()->SetAsText("(812)555-12");
    Stroke(CK('V'));
    EXPECT_EQ(e->Text(), "81255512");
    e->SetText("");
    e->SetSel(1, 1);
    Clipboard()->SetAsText("81a");
    const rtl::AnsiString before = e->EditText();
    Stroke(CK('V'));
    EXPECT_EQ(e->EditText(), before);
    Clipboard()->SetAsWideText(u"812\u4E2D");
    Stroke(CK('V'));
    EXPECT_EQ(e->EditText(), before);
}

TEST_F(MaskEditTest, EditCanModifyIsAskedBeforeEveryChange) {
    class TGuarded : public TMaskEdit {
    public:
        using TMaskEdit::TMaskEdit;
        bool Allow = false;
        int Asked = 0;

    protected:
        bool EditCanModify() override {
            ++Asked;
            return Allow;
        }
    };
    auto* e = rtl::Create<TGuarded>(Form);
    e->SetParent(Form);
    e->SetEditMask("000;1;_");
    Form->Show();
    e->SetFocus();
    Type("1");
    Stroke(K(VK_DELETE));
    EXPECT_EQ(e->EditText(), "___");
    EXPECT_EQ(e->Asked, 2);
    e->Allow = true;
    Type("1");
    EXPECT_EQ(e->EditText(), "1__");
}

TEST_F(MaskEditTest, ChangingTheMaskKeepsTheValue) {
    auto* e = MakeMask("");
    e->SetText("12345");
    e->SetEditMask("000-00;0;_");
    EXPECT_EQ(e->EditText(), "123-45");
    e->SetEditMask("");
    EXPECT_EQ(e->Text(), "12345");
}

}  // namespace
}  // namespace uitest
