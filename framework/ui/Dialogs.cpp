#include "framework/ui/Dialogs.h"

#include <filesystem>

#include "framework/rtl/Text.h"

namespace ui {

std::vector<TMessageButton> MessageBoxButtons(unsigned Flags) {
    const AnsiString ok = rtl::UTF8ToAnsi(u8"ОК"), cancel = rtl::UTF8ToAnsi(u8"Отмена"), yes = rtl::UTF8ToAnsi(u8"Да"),
                     no = rtl::UTF8ToAnsi(u8"Нет"), abort = rtl::UTF8ToAnsi(u8"Прервать"),
                     retry = rtl::UTF8ToAnsi(u8"Повторить"), ignore = rtl::UTF8ToAnsi(u8"Пропустить"),
                     yesToAll = rtl::UTF8ToAnsi(u8"Да для всех"), noToAll = rtl::UTF8ToAnsi(u8"Нет для всех"),
                     all = rtl::UTF8ToAnsi(u8"Все");
    switch (Flags & MB_TYPEMASK) {
        case MB_OKCANCEL: return {{ok, IDOK}, {cancel, IDCANCEL}};
        case MB_ABORTRETRYIGNORE: return {{abort, IDABORT}, {retry, IDRETRY}, {ignore, IDIGNORE}};
        case MB_YESNOCANCEL: return {{yes, IDYES}, {no, IDNO}, {cancel, IDCANCEL}};
        case MB_YESNO: return {{yes, IDYES}, {no, IDNO}};
        case MB_YESNOTOALL: return {{yes, IDYES}, {no, IDNO}, {yesToAll, IDYESTOALL}, {noToAll, IDNOTOALL}};
        case MB_YESNOALL: return {{yes, IDYES}, {no, IDNO}, {all, IDALL}};
        case MB_RETRYCANCEL: return {{retry, IDRETRY}, {cancel, IDCANCEL}};
        default: return {{ok, IDOK}};
    }
}

TForm* CreateMessageDialog(const AnsiString& Text, const AnsiString& Caption, unsigned Flags) {
    auto* form = rtl::Create<TForm>(nullptr);
    form->SetCaption(Caption);
    form->SetBorderStyle(TFormBorderStyle::bsDialog);
    form->SetPosition(TPosition::poScreenCenter);
    auto* label = rtl::Create<TLabel>(form);
    label->SetName("Message");
    label->SetParent(form);
    label->SetShowAccelChar(false);
    label->SetCaption(Text);
    label->SetBounds(16, 16, label->Width(), label->Height());
    const auto buttons = MessageBoxButtons(Flags);
    const int bw = 75, bh = 25, gap = 8;
    const int rowWidth = static_cast<int>(buttons.size()) * (bw + gap) - gap;
    const int width = std::max(label->Width() + 32, rowWidth + 32);
    form->SetClientSize(width, label->Top() + label->Height() + 16 + bh + 12);
    const size_t def = std::min<size_t>((Flags & MB_DEFMASK) >> 8, buttons.size() - 1);
    int x = (width - rowWidth) / 2;
    TButton* first = nullptr;
    bool haveCancel = false;
    for (size_t i = 0; i < buttons.size(); ++i) {
        auto* b = rtl::Create<TButton>(form);
        b->SetName("Button" + std::to_string(i + 1));
        b->SetParent(form);
        b->SetCaption(buttons[i].Caption);
        b->SetModalResult(buttons[i].Result);
        b->SetBounds(x, form->ClientHeight() - bh - 12, bw, bh);
        x += bw + gap;
        if (i == def) {
            b->SetDefault(true);
            form->SetActiveControl(b);
        }
        if (buttons[i].Result == IDCANCEL) {
            b->SetCancel(true);
            haveCancel = true;
        }
        if (!first) first = b;
    }
    // Esc answers No where there is no Cancel, and the only button of a plain message.
    if (!haveCancel) {
        for (int i = 0; i < form->ControlCount(); ++i)
            if (auto* b = dynamic_cast<TButton*>(form->Controls(i));
                b && (b->ModalResult() == IDNO || buttons.size() == 1))
                b->SetCancel(true);
    }
    return form;
}

int ShowMessageDialog(const AnsiString& Text, const AnsiString& Caption, unsigned Flags) {
    std::unique_ptr<TForm, void (*)(TForm*)> form(CreateMessageDialog(Text, Caption, Flags),
                                                  [](TForm* f) { f->Free(); });
    const int r = form->ShowModal();
    return r == mrNone ? IDCANCEL : r;
}

int MessageBox(const AnsiString& Text, const AnsiString& Caption, unsigned Flags) {
    return Application()->MessageBox(Text, Caption, Flags);
}

int MessageDlg(const AnsiString& Msg, TMsgDlgType DlgType, TMsgDlgButtons Buttons, int HelpCtx) {
    (void)HelpCtx;
    struct TSet {
        TMsgDlgButtons Buttons;
        unsigned Type;
    };
    static const TSet sets[] = {
        {{mbOK}, MB_OK},
        {{mbOK, mbCancel}, MB_OKCANCEL},
        {{mbYes, mbNo}, MB_YESNO},
        {{mbYes, mbNo, mbCancel}, MB_YESNOCANCEL},
        {{mbYes, mbNo, mbYesToAll, mbNoToAll}, MB_YESNOTOALL},
        {{mbYes, mbNo, mbAll}, MB_YESNOALL},
        {{mbAbort, mbRetry, mbIgnore}, MB_ABORTRETRYIGNORE},
        {{mbRetry, mbCancel}, MB_RETRYCANCEL},
    };
    unsigned type = MB_OK;
    bool found = false;
    for (const TSet& s : sets)
        if (s.Buttons == Buttons) {
            type = s.Type;
            found = true;
        }
    if (!found) throw rtl::EInvalidOperation("Unsupported message dialog buttons");
    static const unsigned icons[] = {MB_ICONWARNING, MB_ICONERROR, MB_ICONINFORMATION, MB_ICONQUESTION, 0};
    AnsiString caption = Application()->Title();
    return MessageBox(Msg, caption, type | icons[static_cast<int>(DlgType)]);
}

// ---------------------------------------------------------------------------------------------
// TOpenDialog

namespace {
TOpenDialog::TPresenter& OpenPresenter() {
    static TOpenDialog::TPresenter p;
    return p;
}
}  // namespace

TOpenDialog::TOpenDialog(rtl::TComponent* Owner)
    : rtl::TComponent(Owner), FFiles(std::make_unique<rtl::TStringList>()) {}
TOpenDialog::~TOpenDialog() = default;

rtl::TStrings* TOpenDialog::Files() const noexcept { return FFiles.get(); }

void TOpenDialog::SetPresenter(TPresenter Presenter) { OpenPresenter() = std::move(Presenter); }

bool TOpenDialog::HasPresenter() { return static_cast<bool>(OpenPresenter()); }

std::vector<std::pair<AnsiString, AnsiString>> TOpenDialog::FilterList() const {
    std::vector<std::pair<AnsiString, AnsiString>> r;
    std::vector<AnsiString> parts;
    size_t start = 0;
    for (;;) {
        const size_t bar = FFilter.find('|', start);
        parts.push_back(FFilter.substr(start, bar == AnsiString::npos ? AnsiString::npos : bar - start));
        if (bar == AnsiString::npos) break;
        start = bar + 1;
    }
    for (size_t i = 0; i + 1 < parts.size(); i += 2) r.emplace_back(parts[i], parts[i + 1]);
    return r;
}

bool TOpenDialog::Execute() {
    if (!OpenPresenter()) return false;
    FFiles->Clear();
    if (!OpenPresenter()(*this)) return false;
    if (FFiles->Count() == 0 && !FFileName.empty()) FFiles->Add(FFileName);
    if (FOptions.Contains(ofFileMustExist)) {
        for (int i = 0; i < FFiles->Count(); ++i) {
            std::error_code ec;
            if (!std::filesystem::is_regular_file(std::filesystem::path(rtl::AnsiToUTF8(FFiles->Strings(i))), ec))
                return false;
        }
    }
    return !FFileName.empty();
}

}  // namespace ui
