// What every card shares: its caption and help, the save and close buttons, the required-field
// check, the attached-file buttons and the closing rule. A card edits the current row of one
// journal query; that row is posted only by "Сохранить", and every other way out cancels it.
#pragma once

#include <cstdint>
#include <utility>
#include <vector>

#include "app/DBModUnit.h"
#include "framework/ui/Buttons.h"
#include "framework/ui/Forms.h"
#include "framework/ui/StdCtrls.h"

namespace app {

// A required field: whether its value is missing, and its label.
using TRequiredField = std::pair<bool, const char8_t*>;

// The labels of the missing fields, in order, joined with ", " in one message; true when none is
// missing.
bool CheckRequired(const std::vector<TRequiredField>& Fields);

class TCardForm : public ui::TForm {
    RTL_CLASS(TCardForm, ui::TForm)
public:
    TCardForm(rtl::TComponent* Owner, const char8_t* Caption, int HelpTopic);

    ui::TButton* btnSave = nullptr;
    ui::TButton* btnCancel = nullptr;
    // Attach or open, by whether the row has a file; detach beside it.
    ui::TButton* btnFile = nullptr;
    ui::TSpeedButton* btnDetachFile = nullptr;

    // The query whose current row the card edits.
    virtual VUdeVizov* CardQuery() const = 0;
    // Shows the message and answers false when a required value is missing.
    virtual bool CheckRequiredFields() = 0;

    // Posts the row when the check passes and closes with OK; a failed post keeps the card open.
    void btnSaveClick(rtl::TObject* Sender);
    void btnCancelClick(rtl::TObject* Sender);
    void btnFileAttachClick(rtl::TObject* Sender);
    void btnFileOpenClick(rtl::TObject* Sender);
    void btnDetachFileClick(rtl::TObject* Sender);
    // The file buttons as the row's file_id says.
    void SetUpFileButtons();

protected:
    // The buttons along the bottom at Top: save, close and, with Files, the file buttons.
    void MakeButtons(int Top, bool Files);
    // The card's own part of showing; the shared part (file buttons, this visit's files) runs first.
    virtual void CardShow() {}
    void FormShow(rtl::TObject* Sender);
    // Any close but a save cancels the row's edits and drops the files attached on this visit.
    void FormClose(rtl::TObject* Sender, ui::TCloseAction& Action);

private:
    void ShowFileButtons(bool HasFile);
    // Files attached and detached on this visit: the first go when the card is not saved, the
    // others when it is.
    std::vector<int32_t> FAttached, FDetached;
};

}  // namespace app
