#include "app/JournalFrame.h"

#include "app/FormBuild.h"
#include "controls/editors/ToolCtrlsEh_Buttons.h"

namespace app {

TJournalFrame::TJournalFrame(rtl::TComponent* Owner, const std::vector<const char8_t*>& Kinds, int MinYear,
                             int HelpTopic)
    : ui::TFrame(Owner) {
    SetHelpContext(HelpTopic);
    SetBounds(0, 0, 640, 400);
    Panel1 = rtl::Create<ui::TPanel>(this);
    Panel1->SetName("Panel1");
    Panel1->SetAlign(ui::alTop);
    Panel1->SetHeight(35);
    Panel1->SetCaption("");
    Panel1->SetParent(this);
    btnAdd = rtl::Create<ui::TButton>(this);
    btnAdd->SetName("btnAdd");
    btnAdd->SetCaption(T(u8"Добавить"));
    btnAdd->SetBounds(6, 5, 90, 25);
    btnAdd->SetParent(Panel1);
    int left = 104;
    if (MinYear > 0) {
        edYear = rtl::Create<editors::TDBNumberEditEh>(this);
        edYear->SetName("edYear");
        edYear->SetBounds(left, 7, 70, 21);
        edYear->SetDecimalPlaces(0);
        edYear->SetDisplayFormat("0");
        // The current year is always a choice: the range ends at the year the program started in.
        edYear->SetMinValue(MinYear);
        edYear->SetMaxValue(ThisYear);
        edYear->EditButton()->SetStyle(editors::ebsUpDownEh);
        edYear->EditButton()->SetVisible(true);
        edYear->SetParent(Panel1);
        edYear->OnChange = [this](rtl::TObject* Sender) { edYearChange(Sender); };
        left += 78;
    }
    btnDelete = rtl::Create<ui::TButton>(this);
    btnDelete->SetName("btnDelete");
    btnDelete->SetCaption(T(u8"Удалить"));
    btnDelete->SetBounds(left, 5, 90, 25);
    btnDelete->SetParent(Panel1);
    if (!Kinds.empty()) {
        tcKinds = rtl::Create<ui::TTabControl>(this);
        tcKinds->SetName("tcKinds");
        tcKinds->SetAlign(ui::alClient);
        tcKinds->SetParent(this);
        tcKinds->Tabs()->Add(T(u8"Все"));
        for (const char8_t* kind : Kinds) tcKinds->Tabs()->Add(T(kind));
        tcKinds->SetTabIndex(0);
        tcKinds->OnChange = [this](rtl::TObject* Sender) { tcKindsChange(Sender); };
    }
}

void TJournalFrame::Reset(int Year) {
    FResetting = true;
    rtl::TryFinally(
        [&] {
            if (tcKinds) tcKinds->SetTabIndex(0);
            if (edYear) edYear->SetValue(Year);
        },
        [&] { FResetting = false; });
}

void TJournalFrame::SetCuratorRestrictions(bool Curator) { btnDelete->SetEnabled(!Curator); }

void TJournalFrame::edYearChange(rtl::TObject*) {
    if (FResetting) return;
    const rtl::Variant v = edYear->Value();
    DBMod->SetYear(v.IsNull() ? 0 : v.AsInteger());
    UpdateCount();
}

void TJournalFrame::tcKindsChange(rtl::TObject*) {
    DBMod->SetKind(tcKinds->TabIndex());
    UpdateCount();
}

void TJournalFrame::UpdateCount() {
    if (FHost && Query()->Active()) FHost->ShowRecordCount(Query());
}

}  // namespace app
