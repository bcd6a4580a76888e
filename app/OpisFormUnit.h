// The inventory card: one inventory submitted to the expert commission (a row of zOpisi), its
// source, kind, dates, volume, the commission's decision and an attached file.
#pragma once

#include "app/CardForm.h"
#include "controls/editors/DBCtrlsEh_Editors.h"
#include "controls/grid/DBLookupEh.h"

namespace app {

class TOpisForm : public TCardForm {
    RTL_CLASS(TOpisForm, TCardForm)
public:
    explicit TOpisForm(rtl::TComponent* Owner);

    ui::TGroupBox *gbOpis, *gbEPMK, *gbRework;
    grid::TDBLookupComboboxEh* cbSource;
    editors::TDBDateTimeEditEh* edRegDate;
    editors::TDBComboBoxEh* cbOpisKind;
    editors::TDBNumberEditEh* edUnitsCount;
    editors::TDBNumberEditEh *edYearFrom, *edYearTo;
    editors::TDBEditEh* edNumFrom;
    editors::TDBNumberEditEh* edNumTo;
    editors::TDBDateTimeEditEh* edForwardDate;
    editors::TDBEditEh* edNoteDates;
    ui::TLabel* lblNTDKind;
    grid::TDBLookupComboboxEh* cbNTDKind;
    editors::TDBComboBoxEh* cbPlan;
    editors::TDBEditEh *edOpisNum, *edNote;
    grid::TDBLookupComboboxEh* cbEPMK;
    editors::TDBComboBoxEh* cbResult;
    editors::TDBEditEh* edEpmkNum;
    editors::TDBDateTimeEditEh *edEpmkDate, *edSentDate, *edReturnDate;

    // The source chosen on the card.
    int32_t FSourceId = 0;

    VUdeVizov* CardQuery() const override { return DBMod->zOpisi.get(); }
    bool CheckRequiredFields() override;
    // The NTD kind shows only for the kind "НТД".
    void cbOpisKindChange(rtl::TObject* Sender);
    void cbSourceExit(rtl::TObject* Sender);

protected:
    void CardShow() override;

private:
    ui::TLabel* Caption(ui::TWinControl* Parent, const char8_t* Text, int Left, int Top);
};

extern TOpisForm* OpisForm;

}  // namespace app
