#include "app/Main.h"

#include "app/AuthFormUnit.h"
#include "app/DBModUnit.h"
#include "app/FormBuild.h"
#include "app/FormServices.h"
#include "framework/ui/StdCtrls.h"

namespace app {

TMainForm* MainForm = nullptr;

namespace {
const char8_t* const Journals = u8"Журналы";
}  // namespace

TMainForm::TMainForm(rtl::TComponent* Owner) : ui::TForm(Owner) {
    SetName("MainForm");
    SetCaption(T(u8"Вельморат"));
    SetHelpContext(HelpMainForm);
    SetPosition(ui::poScreenCenter);
    SetBounds(0, 0, 800, 560);
    Constraints()->SetMinWidth(360);
    Constraints()->SetMinHeight(240);

    ActionManager1 = rtl::Create<ui::TActionList>(this);
    ActionManager1->SetName("ActionManager1");
    using ui::scAlt;
    using ui::scCtrl;
    actSources = AddAction("actSources", u8"Источники вельмората", Journals, scCtrl | 'I', -1);
    actOpisi = AddAction("actOpisi", u8"Регистрация описей", Journals, scCtrl | 'O', 1);
    actTransfer = AddAction("actTransfer", u8"Приём документов", Journals, scCtrl | 'P', 2);
    actLosses = AddAction("actLosses", u8"Утраты", Journals, 0, 5);
    actNomenclature = AddAction("actNomenclature", u8"Номенклатура", Journals, scCtrl | 'N', -1);
    actDocs = AddAction("actDocs", u8"Локально-нормативные акты", Journals, 0, 4);
    actEvents = AddAction("actEvents", u8"Мероприятия", Journals, 0, 6);
    actChanges = AddAction("actChanges", u8"Изменения в списке № &1", Journals, 0, -1);
    actOther = AddAction("actOther", u8"Другие виды работ", Journals, 0, -1);
    actExit = AddAction("actExit", u8"Выход", Journals, scAlt | ui::VK_F4, -1);
    actFontLarger = AddAction("actFontLarger", u8"Шрифт больше", u8"Вид", 0, -1);
    actFontSmaller = AddAction("actFontSmaller", u8"Шрифт меньше", u8"Вид", 0, -1);
    actSourceListReport = AddAction("actSourceListReport", u8"Список по отраслям", u8"Отчёты", 0, -1);
    actSummary = AddAction("actSummary", u8"Сводный паспорт", u8"Отчёты", 0, -1);
    actActivityLog = AddAction("actActivityLog", u8"Журнал действий", u8"Отчёты", 0, -1);
    actUsers = AddAction("actUsers", u8"Пользователи", u8"Настройка", 0, 3);
    actVocab = AddAction("actVocab", u8"Справочники", u8"Настройка", 0, -1);
    // No F1 of its own: F1 stays the focused window's context help.
    actHelp = AddAction("actHelp", u8"Помощь", u8"Справка", 0, -1);
    actAbout = AddAction("actAbout", u8"О программе", u8"Справка", 0, -1);
    for (ui::TAction* a : JournalActions()) a->SetGroupIndex(1);
    actSources->SetChecked(true);
    actOpisi->OnExecute = [this](rtl::TObject* Sender) { actOpisiExecute(Sender); };
    actExit->OnExecute = [this](rtl::TObject* Sender) { actExitExecute(Sender); };
    actHelp->OnExecute = [this](rtl::TObject* Sender) { actHelpExecute(Sender); };
    actSummary->OnExecute = [this](rtl::TObject* Sender) { actSummaryExecute(Sender); };
    BuildMenu();

    sbStatus = rtl::Create<ui::TStatusBar>(this);
    sbStatus->SetName("sbStatus");
    sbStatus->SetAlign(ui::alBottom);
    sbStatus->SetParent(this);
    for (int width : {260, 200, 200}) sbStatus->Panels()->Add()->SetWidth(width);

    OpisListFrame1 = rtl::Create<TOpisListFrame>(this);
    OpisListFrame1->SetAlign(ui::alClient);
    OpisListFrame1->SetVisible(false);
    OpisListFrame1->SetHost(this);
    OpisListFrame1->SetParent(this);

    OnShow = [this](rtl::TObject* Sender) { FormShow(Sender); };
}

ui::TAction* TMainForm::AddAction(const char* Name, const char8_t* Caption, const char8_t* Category, ui::TShortCut Key,
                                  int Image) {
    auto* a = rtl::Create<ui::TAction>(this);
    a->SetName(Name);
    a->SetCaption(T(Caption));
    a->SetCategory(T(Category));
    a->SetShortCut(Key);
    a->SetImageIndex(Image);
    a->SetActionList(ActionManager1);
    return a;
}

void TMainForm::BuildMenu() {
    ActionMainMenuBar1 = rtl::Create<ui::TMainMenu>(this);
    ActionMainMenuBar1->SetName("ActionMainMenuBar1");
    const auto add = [this](ui::TMenuItem* Parent, ui::TAction* Action) {
        auto* item = rtl::Create<ui::TMenuItem>(this);
        if (Action)
            item->SetAction(Action);
        else
            item->SetCaption("-");
        Parent->Add(item);
        return item;
    };
    const auto menu = [this](const char8_t* Caption) {
        auto* item = rtl::Create<ui::TMenuItem>(this);
        item->SetCaption(T(Caption));
        ActionMainMenuBar1->Items()->Add(item);
        return item;
    };
    ui::TAction* const line = nullptr;
    const std::pair<const char8_t*, std::vector<ui::TAction*>> menus[] = {
        {Journals,
         {actSources, line, actOpisi, actTransfer, actLosses, line, actNomenclature, actDocs, actEvents, actChanges,
          actOther, line, actExit}},
        {u8"Вид", {actFontLarger, actFontSmaller}},
        {u8"Отчёты", {actSourceListReport, actSummary}},
        {u8"Настройка", {actUsers, actVocab}},
        {u8"Справка", {actHelp, actAbout}},
    };
    for (const auto& [caption, actions] : menus) {
        ui::TMenuItem* parent = menu(caption);
        for (ui::TAction* a : actions) add(parent, a);
    }
}

std::vector<ui::TAction*> TMainForm::JournalActions() const {
    return {actSources, actOpisi, actTransfer, actLosses, actNomenclature, actDocs, actEvents, actChanges, actOther};
}

std::vector<TJournalFrame*> TMainForm::JournalFrames() const { return {OpisListFrame1}; }

void TMainForm::FormShow(rtl::TObject*) {
    bool loggedIn = false;
    try {
        loggedIn = AuthForm->ShowModal() == ui::mrOk;
    } catch (const rtl::Exception& e) {
        // Without a database to check against there is no login, and no program.
        ui::Application()->ShowException(e);
    }
    if (!loggedIn) {
        ui::Application()->Terminate();
        return;
    }
    SetUpAccess();
    actSources->Execute();
}

void TMainForm::SetUpAccess() {
    sbStatus->Panels()->Items(2)->SetText(T(u8"Пользователь: ") + CurrentUser.Name);
    // A command with nothing behind it yet stays shut whatever the level (no handler).
    actUsers->SetEnabled(CurrentUser.Access > alDepartmentHead);
    actVocab->SetEnabled(CurrentUser.Access > alCurator);
    const bool curator = CurrentUser.Access == alCurator;
    if (curator) DBMod->SetCurator(CurrentUser.Id);
    for (TJournalFrame* f : JournalFrames()) f->SetCuratorRestrictions(curator);
}

void TMainForm::ResetJournals() {
    for (VUdeVizov* q : {DBMod->zSources.get(), DBMod->zOpisi.get(), DBMod->zTransfer.get(), DBMod->zLosses.get(),
                         DBMod->zEvents.get(), DBMod->zChanges.get(), DBMod->zDocsApp.get(), DBMod->zOther.get(),
                         DBMod->zNomenclature.get(), DBMod->zVNTD.get(), DBMod->zDocKind.get()})
        q->Close();
    DBMod->SetSource(0);
    DBMod->SetKind(0);
    DBMod->SetSourceKind(0);
    DBMod->SetYear(ThisYear);
    for (TJournalFrame* f : JournalFrames()) f->SetVisible(false);
}

void TMainForm::actOpisiExecute(rtl::TObject*) {
    ResetJournals();
    DBMod->zOpisi->Open();
    DBMod->zVNTD->Open();
    OpisListFrame1->SetVisible(true);
    OpisListFrame1->Reset(DBMod->FYear);
    // The count panel follows the journal shown, as every other journal command sets it.
    JournalShown(actOpisi, DBMod->zOpisi.get());
}

void TMainForm::JournalShown(ui::TAction* Command, db::TDataSet* Query) {
    Command->SetChecked(true);
    const AnsiString caption = ui::StripHotkey(Command->Caption());
    SetCaption(caption + T(u8" — ") + ui::Application()->Title());
    sbStatus->Panels()->Items(0)->SetText(T(u8"Журнал: ") + caption);
    ShowRecordCount(Query);
}

void TMainForm::ShowRecordCount(db::TDataSet* Query) {
    sbStatus->Panels()->Items(1)->SetText(T(u8"Кол-во записей: ") + std::to_string(Query->RecordCount()));
}

void TMainForm::actExitExecute(rtl::TObject*) { Close(); }

void TMainForm::actHelpExecute(rtl::TObject*) {
    if (HelpService) HelpService->ShowTopic(HelpContents);
}

void TMainForm::actSummaryExecute(rtl::TObject*) {}

}  // namespace app
