#include "edit_fixture.h"
#include "framework/ui/StdCtrls.h"

namespace uitest {
namespace {

class ButtonTest : public InputTest {
protected:
    template <class T>
    T* Add(int X, int Y, const rtl::AnsiString& Caption = {}) {
        auto* c = rtl::Create<T>(Form);
        c->SetParent(Form);
        c->SetLeft(X);
        c->SetTop(Y);
        c->SetCaption(Caption);
        return c;
    }
};

TEST_F(ButtonTest, EnterPressesTheDefaultButtonAndEscTheCancelButton) {
    auto* edit = Add<TEdit>(10, 10);
    auto* ok = Add<TButton>(10, 50, Cp(u8"Сохранить"));
    auto* cancel = Add<TButton>(100, 50, Cp(u8"Отмена"));
    auto* other = Add<TButton>(200, 50, "Other");
    ok->SetDefault(true);
    ok->SetModalResult(mrOk);
    cancel->SetCancel(true);
    cancel->SetModalResult(mrCancel);
    std::vector<std::string> clicks;
    ok->OnClick = [&](TObject*) { clicks.push_back("ok"); };
    cancel->OnClick = [&](TObject*) { clicks.push_back("cancel"); };
    other->OnClick = [&](TObject*) { clicks.push_back("other"); };
    Form->Show();
    edit->SetFocus();

    Stroke(K(VK_RETURN));
    EXPECT_EQ(clicks, std::vector<std::string>{"ok"});
    EXPECT_EQ(Form->ModalResult(), mrOk);
    Stroke(K(VK_ESCAPE));
    EXPECT_EQ(clicks, (std::vector<std::string>{"ok", "cancel"}));
    EXPECT_EQ(Form->ModalResult(), mrCancel);

    // With another button focused, Enter presses that one; the default one is not active.
    clicks.clear();
    other->SetFocus();
    EXPECT_FALSE(ok->Active());
    Stroke(K(VK_RETURN));
    EXPECT_EQ(clicks, std::vector<std::string>{"other"});
    edit->SetFocus();
    EXPECT_TRUE(ok->Active());
    // Space presses the focused button on release.
    clicks.clear();
    cancel->SetFocus();
    Stroke(K(VK_SPACE));
    EXPECT_EQ(clicks, std::vector<std::string>{"cancel"});
}

TEST_F(ButtonTest, AMouseClickCountsOnlyWhenReleasedOverTheButton) {
    auto* b = Add<TButton>(10, 10, "B");
    int n = 0;
    b->OnClick = [&](TObject*) { ++n; };
    Form->Show();
    Click(b, 5, 5);
    EXPECT_EQ(n, 1);
    EXPECT_TRUE(b->Focused());
    MouseInput(WM_LBUTTONDOWN, At(b, 5, 5));
    Pump();  // the press takes the capture before the next input is routed
    MouseInput(WM_MOUSEMOVE, At(b, 200, 5));
    Pump();
    EXPECT_FALSE(b->Pressed());
    MouseInput(WM_LBUTTONUP, At(b, 200, 5));
    Pump();
    EXPECT_EQ(n, 1);
    EXPECT_FALSE(b->Pressed());
}

TEST_F(ButtonTest, CheckBoxCyclesItsStatesAndRadioButtonsExcludeEachOther) {
    auto* cb = Add<TCheckBox>(10, 10, Cp(u8"Особо ценный"));
    int clicks = 0;
    cb->OnClick = [&](TObject*) { ++clicks; };
    Form->Show();
    Click(cb, 3, 3);
    EXPECT_EQ(cb->State(), cbChecked);
    cb->SetFocus();
    Stroke(K(VK_SPACE));
    EXPECT_EQ(cb->State(), cbUnchecked);
    cb->SetAllowGrayed(true);
    cb->Toggle();
    cb->Toggle();
    EXPECT_EQ(cb->State(), cbGrayed);
    EXPECT_EQ(clicks, 4);
    // Setting the same state again is no change and no click.
    cb->SetState(cbGrayed);
    EXPECT_EQ(clicks, 4);

    auto* r1 = Add<TRadioButton>(10, 40, "1");
    auto* r2 = Add<TRadioButton>(10, 60, "2");
    r1->SetChecked(true);
    Click(r2, 3, 3);
    EXPECT_TRUE(r2->Checked());
    EXPECT_FALSE(r1->Checked());
}

TEST_F(ButtonTest, LabelAcceleratorFocusesItsControl) {
    auto* first = Add<TEdit>(100, 10);
    auto* edit = Add<TEdit>(100, 40);
    auto* label = Add<TLabel>(10, 40, Cp(u8"&Фонд"));
    label->SetFocusControl(edit);
    Form->Show();
    first->SetFocus();
    EXPECT_EQ(Form->Perform(CM_DIALOGCHAR, static_cast<uint8_t>(Cp(u8"ф")[0])), 1);
    EXPECT_TRUE(edit->Focused());
    // AutoSize fits the label to its caption, the '&' not counted.
    EXPECT_EQ(label->Width(), 6 * 4);
    EXPECT_EQ(StripHotkey(Cp(u8"&Фонд && опись")), Cp(u8"Фонд & опись"));
    // The label forgets a freed control.
    edit->Free();
    EXPECT_EQ(label->FocusControl(), nullptr);
    EXPECT_EQ(Form->Perform(CM_DIALOGCHAR, static_cast<uint8_t>(Cp(u8"ф")[0])), 0);
}

}  // namespace
}  // namespace uitest

namespace uitest {
namespace {

// Alt+letter reaches the form's accelerators from whatever control has the focus, and types
// nothing into it.
TEST_F(ButtonTest, AltLetterReachesTheAcceleratorsFromEveryControlKind) {
    auto* save = Add<TButton>(10, 200, Cp(u8"&Сохранить"));
    int saved = 0;
    save->OnClick = [&](TObject*) { ++saved; };
    auto* target = Add<TEdit>(100, 170);
    auto* label = Add<TLabel>(10, 170, Cp(u8"&Фонд"));
    label->SetFocusControl(target);
    auto* edit = Add<TEdit>(10, 10);
    auto* memo = Add<TMemo>(10, 40);
    memo->SetHeight(40);
    auto* combo = Add<TComboBox>(10, 90);
    auto* list = Add<TComboBox>(10, 120);
    list->SetStyle(csDropDownList);
    list->Items()->Add("a");
    auto* check = Add<TCheckBox>(200, 10, Cp(u8"Мои"));
    auto* button = Add<TButton>(200, 40, "Ok");
    Form->Show();
    const auto alt = [&](const char8_t* Letter) {
        KeyInput(VK_MENU, true);
        CharInput(Cp(Letter)[0]);
        Pump();
        KeyInput(VK_MENU, false);
        Pump();
    };
    for (TWinControl* from : std::vector<TWinControl*>{edit, memo, combo, list, check, button}) {
        SCOPED_TRACE(from->ClassName());
        from->SetFocus();
        const AnsiString before = from->Text();
        saved = 0;
        alt(u8"с");
        EXPECT_EQ(saved, 1);
        EXPECT_EQ(from->Text(), before) << "the letter is not typed";
        from->SetFocus();
        alt(u8"Ф");
        EXPECT_TRUE(target->Focused());
    }
}

}  // namespace
}  // namespace uitest
