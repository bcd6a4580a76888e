#include "app/CardForm.h"

#include "app/FormBuild.h"
#include "framework/ui/Dialogs.h"

namespace app {

bool CheckRequired(const std::vector<TRequiredField>& Fields) {
    AnsiString missing;
    for (const auto& [empty, label] : Fields) {
        if (!empty) continue;
        if (!missing.empty()) missing += ", ";
        missing += T(label);
    }
    if (missing.empty()) return true;
    ui::MessageBox(T(u8"Заполните, пожалуйста, следующие поля: ") + missing, T(u8"Не заполнены обязательные поля"),
                   ui::MB_OK | ui::MB_ICONINFORMATION);
    return false;
}

TCardForm::TCardForm(rtl::TComponent* Owner, const char8_t* Caption, int HelpTopic) : ui::TForm(Owner) {
    SetCaption(T(Caption));
    SetHelpContext(HelpTopic);
    SetBorderStyle(ui::TFormBorderStyle::bsDialog);
    SetPosition(ui::poScreenCenter);
    OnShow = [this](rtl::TObject* Sender) { FormShow(Sender); };
    OnClose = [this](rtl::TObject* Sender, ui::TCloseAction& Action) { FormClose(Sender, Action); };
}

void TCardForm::MakeButtons(int Top, bool Files) {
    if (Files) {
        btnFile = Make<ui::TButton>(this, "btnFile", 8, Top, 120, 25);
        btnFile->SetCaption(T(u8"Файл"));
        btnDetachFile = rtl::Create<ui::TSpeedButton>(this);
        btnDetachFile->SetName("btnDetachFile");
        btnDetachFile->SetBounds(132, Top, 25, 25);
        btnDetachFile->SetCaption("X");
        btnDetachFile->SetHint(T(u8"Удалить файл"));
        btnDetachFile->SetShowHint(true);
        btnDetachFile->SetParent(this);
        btnDetachFile->OnClick = [this](rtl::TObject* Sender) { btnDetachFileClick(Sender); };
    }
    const int right = ClientWidth() - 8;
    btnCancel = Make<ui::TButton>(this, "btnCancel", right - 90, Top, 90, 25);
    btnCancel->SetCaption(T(u8"Закрыть"));
    // Esc and "Закрыть" close with Cancel; the closing rule cancels the edits.
    btnCancel->SetCancel(true);
    btnCancel->SetModalResult(ui::mrCancel);
    btnCancel->OnClick = [this](rtl::TObject* Sender) { btnCancelClick(Sender); };
    // No modal result of its own: the card closes with OK only once the row is posted.
    btnSave = Make<ui::TButton>(this, "btnSave", right - 186, Top, 90, 25);
    btnSave->SetCaption(T(u8"Сохранить"));
    btnSave->OnClick = [this](rtl::TObject* Sender) { btnSaveClick(Sender); };
}

void TCardForm::FormShow(rtl::TObject*) {
    FAttached.clear();
    FDetached.clear();
    if (btnFile) SetUpFileButtons();
    CardShow();
}

void TCardForm::btnSaveClick(rtl::TObject*) {
    if (!CheckRequiredFields()) return;
    // A failed post shows its error and keeps the card open with its edits. Shown here rather
    // than by the application: an exception out of the click leaves the mouse captured by the
    // button, and the user's next click would land on "Сохранить" again.
    try {
        DBMod->PostIfEditing(CardQuery());
    } catch (const rtl::Exception& e) {
        ui::Application()->HandleException(e);
        return;
    }
    for (int32_t id : FDetached) DBMod->RemoveAttachment(id);
    FAttached.clear();
    FDetached.clear();
    SetModalResult(ui::mrOk);
}

void TCardForm::btnCancelClick(rtl::TObject*) { SetModalResult(ui::mrCancel); }

void TCardForm::FormClose(rtl::TObject*, ui::TCloseAction&) {
    if (ModalResult() == ui::mrOk) return;
    VUdeVizov* q = CardQuery();
    if (q->Active() && (q->State() == db::dsEdit || q->State() == db::dsInsert)) q->Cancel();
    // What this visit attached points at nothing now; what it detached stays attached.
    for (int32_t id : FAttached) DBMod->RemoveAttachment(id);
    FAttached.clear();
    FDetached.clear();
}

void TCardForm::SetUpFileButtons() {
    db::TField* f = CardQuery()->FieldByName("file_id");
    ShowFileButtons(!f->IsNull() && f->AsInteger() >= 1);
}

void TCardForm::ShowFileButtons(bool HasFile) {
    btnFile->SetCaption(T(HasFile ? u8"Открыть файл" : u8"Прикрепить файл"));
    if (HasFile)
        btnFile->OnClick = [this](rtl::TObject* Sender) { btnFileOpenClick(Sender); };
    else
        btnFile->OnClick = [this](rtl::TObject* Sender) { btnFileAttachClick(Sender); };
    btnDetachFile->SetVisible(HasFile);
}

void TCardForm::btnFileAttachClick(rtl::TObject*) {
    if (!DBMod->AttachFile(CardQuery())) return;
    FAttached.push_back(CardQuery()->FieldByName("file_id")->AsInteger());
    ShowFileButtons(true);
}

void TCardForm::btnFileOpenClick(rtl::TObject*) { DBMod->OpenAttachedFile(CardQuery()); }

void TCardForm::btnDetachFileClick(rtl::TObject*) {
    if (ui::MessageBox(T(u8"Вы действительно хотите удалить файл?"), T(u8"Пожалуйста, подтвердите удаление файла"),
                       ui::MB_YESNO | ui::MB_ICONWARNING) != ui::IDYES)
        return;
    db::TField* f = CardQuery()->FieldByName("file_id");
    const int32_t id = f->IsNull() ? 0 : f->AsInteger();
    DBMod->DetachFile(CardQuery());
    if (id >= 1) FDetached.push_back(id);
    ShowFileButtons(false);
}

}  // namespace app
