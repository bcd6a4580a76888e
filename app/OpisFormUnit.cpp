#include "app/OpisFormUnit.h"

#include "app/FormBuild.h"
#include "app/FormServices.h"

namespace app {

TOpisForm* OpisForm = nullptr;

namespace {

// Combo texts with their stored codes.
struct TItem {
    const char8_t* Text;
    int Key;
};

const TItem OpisKinds[] = {{u8"постоянного хранения", 1},
                           {u8"личный состав", 2},
                           {u8"личные дела уволенных", 3},
                           {u8"кино-", 4},
                           {u8"фото-", 5},
                           {u8"фоно-", 6},
                           {u8"видео-", 7},
                           {u8"НТД", 8},
                           {u8"МЧД", 9},
                           {u8"коллекции", 10},
                           {u8"личные фонды", 11},
                           {u8"ПМХ", 12}};
constexpr int NTDKind = 8;

const TItem Plans[] = {{u8"1 квартал", 101}, {u8"  январь", 1},   {u8"  февраль", 2}, {u8"  март", 3},
                       {u8"2 квартал", 102}, {u8"  апрель", 4},   {u8"  май", 5},     {u8"  июнь", 6},
                       {u8"3 квартал", 103}, {u8"  июль", 7},     {u8"  август", 8},  {u8"  сентябрь", 9},
                       {u8"4 квартал", 104}, {u8"  октябрь", 10}, {u8"  ноябрь", 11}, {u8"  декабрь", 12}};

const TItem Results[] = {{u8"утверждена", 1}, {u8"отравлена на доработку", 2}};

// An editor of the form's, placed on Parent and bound to Field of the inventory.
template <class TEditor>
TEditor* Bound(ui::TWinControl* Parent, const char* Name, const char* Field, int Left, int Top, int Width) {
    auto* e = rtl::Create<TEditor>(Parent->Owner());
    e->SetName(Name);
    e->SetBounds(Left, Top, Width, 21);
    e->SetParent(Parent);
    e->SetDataSource(DBMod->srcOpisi.get());
    e->SetDataField(Field);
    return e;
}

template <size_t N>
editors::TDBComboBoxEh* Combo(ui::TWinControl* Parent, const char* Name, const char* Field, int Left, int Top,
                              int Width, const TItem (&Items)[N]) {
    auto* c = Bound<editors::TDBComboBoxEh>(Parent, Name, Field, Left, Top, Width);
    for (const TItem& i : Items) {
        c->Items()->Add(T(i.Text));
        c->KeyItems()->Add(std::to_string(i.Key));
    }
    return c;
}

grid::TDBLookupComboboxEh* Lookup(ui::TWinControl* Parent, const char* Name, const char* Field, int Left, int Top,
                                  int Width, db::TDataSource* List, const char* ListField) {
    auto* c = Bound<grid::TDBLookupComboboxEh>(Parent, Name, Field, Left, Top, Width);
    c->SetListSource(List);
    c->SetKeyField("id");
    c->SetListField(ListField);
    return c;
}

bool Empty(const editors::TCustomDBEditEh* Editor) { return Editor->Text().empty(); }
// A date or number editor with no value (a date's text is then its empty mask).
template <class TEditor>
bool NoValue(const TEditor* Editor) {
    return Editor->Value().IsNull();
}

}  // namespace

ui::TLabel* TOpisForm::Caption(ui::TWinControl* Parent, const char8_t* Text, int Left, int Top) {
    auto* l = rtl::Create<ui::TLabel>(this);
    l->SetCaption(T(Text));
    l->SetLeft(Left);
    l->SetTop(Top + 3);
    l->SetParent(Parent);
    return l;
}

TOpisForm::TOpisForm(rtl::TComponent* Owner) : TCardForm(Owner, u8"Карточка описи", HelpOpisCard) {
    SetName("OpisForm");
    SetClientWidth(560);
    SetClientHeight(470);

    gbOpis = Make<ui::TGroupBox>(this, "gbOpis", 8, 8, 544, 250);
    gbOpis->SetCaption(T(u8"Опись"));
    const int l = 10, e = 130;
    Caption(gbOpis, u8"Источник вельмората", l, 20);
    cbSource = Lookup(gbOpis, "cbSource", "source_id", e, 20, 400, DBMod->srcLSources.get(), "source_name");
    cbSource->OnExit = [this](rtl::TObject* Sender) { cbSourceExit(Sender); };
    Caption(gbOpis, u8"Дата рег.", l, 46);
    edRegDate = Bound<editors::TDBDateTimeEditEh>(gbOpis, "edRegDate", "reg_date", e, 46, 100);
    Caption(gbOpis, u8"Вид описи", 250, 46);
    cbOpisKind = Combo(gbOpis, "cbOpisKind", "kind_id", 330, 46, 200, OpisKinds);
    cbOpisKind->DropDownBox()->Rows = 8;
    cbOpisKind->OnChange = [this](rtl::TObject* Sender) { cbOpisKindChange(Sender); };
    Caption(gbOpis, u8"Кол-во дел", l, 72);
    edUnitsCount = Bound<editors::TDBNumberEditEh>(gbOpis, "edUnitsCount", "units_count", e, 72, 100);
    Caption(gbOpis, u8"Крайние годы", 250, 72);
    edYearFrom = Bound<editors::TDBNumberEditEh>(gbOpis, "edYearFrom", "year_from", 330, 72, 60);
    edYearTo = Bound<editors::TDBNumberEditEh>(gbOpis, "edYearTo", "year_to", 400, 72, 60);
    Caption(gbOpis, u8"Номера дел", l, 98);
    edNumFrom = Bound<editors::TDBEditEh>(gbOpis, "edNumFrom", "num_from", e, 98, 60);
    edNumTo = Bound<editors::TDBNumberEditEh>(gbOpis, "edNumTo", "num_to", 200, 98, 60);
    Caption(gbOpis, u8"Дата отпр.", 280, 98);
    edForwardDate = Bound<editors::TDBDateTimeEditEh>(gbOpis, "edForwardDate", "forward_date", 360, 98, 100);
    Caption(gbOpis, u8"Прим. по дате", l, 124);
    edNoteDates = Bound<editors::TDBEditEh>(gbOpis, "edNoteDates", "note_dates", e, 124, 400);
    lblNTDKind = Caption(gbOpis, u8"Вид НТД", l, 150);
    cbNTDKind = Lookup(gbOpis, "cbNTDKind", "ntd_kind_id", e, 150, 400, DBMod->srcVNTD.get(), "ntd_kind");
    Caption(gbOpis, u8"План", l, 176);
    cbPlan = Combo(gbOpis, "cbPlan", "plan", e, 176, 150, Plans);
    Caption(gbOpis, u8"№ описи", 300, 176);
    edOpisNum = Bound<editors::TDBEditEh>(gbOpis, "edOpisNum", "opis_num", 360, 176, 100);
    edNote = Bound<editors::TDBEditEh>(gbOpis, "edNote", "note", l, 208, 520);

    gbEPMK = Make<ui::TGroupBox>(this, "gbEPMK", 8, 264, 544, 160);
    gbEPMK->SetCaption(T(u8"Рассмотрение на ЭПМК"));
    Caption(gbEPMK, u8"Комиссия", l, 20);
    cbEPMK = Lookup(gbEPMK, "cbEPMK", "epmk_id", e, 20, 400, DBMod->srcEPMK.get(), "epmk_name");
    Caption(gbEPMK, u8"Результат", l, 46);
    cbResult = Combo(gbEPMK, "cbResult", "result_id", e, 46, 200, Results);
    Caption(gbEPMK, u8"Протокол  №", l, 72);
    edEpmkNum = Bound<editors::TDBEditEh>(gbEPMK, "edEpmkNum", "epmk_num", e, 72, 100);
    Caption(gbEPMK, u8"Дата протокола", 250, 72);
    edEpmkDate = Bound<editors::TDBDateTimeEditEh>(gbEPMK, "edEpmkDate", "epmk_date", 360, 72, 100);
    gbRework = rtl::Create<ui::TGroupBox>(this);
    gbRework->SetName("gbRework");
    gbRework->SetBounds(l, 100, 520, 50);
    gbRework->SetParent(gbEPMK);
    gbRework->SetCaption(T(u8"Доработка"));
    Caption(gbRework, u8"Дата отпр.", 10, 18);
    edSentDate = Bound<editors::TDBDateTimeEditEh>(gbRework, "edSentDate", "sent_date", 120, 18, 100);
    Caption(gbRework, u8"Дата возврата", 250, 18);
    edReturnDate = Bound<editors::TDBDateTimeEditEh>(gbRework, "edReturnDate", "return_date", 350, 18, 100);

    MakeButtons(436, true);
}

void TOpisForm::CardShow() { cbOpisKindChange(cbOpisKind); }

void TOpisForm::cbOpisKindChange(rtl::TObject*) {
    const bool ntd = cbOpisKind->ItemIndex() == NTDKind - 1;
    lblNTDKind->SetVisible(ntd);
    cbNTDKind->SetVisible(ntd);
}

void TOpisForm::cbSourceExit(rtl::TObject*) {
    // The fund-inventory query belongs to the source card that may be open behind: left alone.
    const rtl::Variant key = cbSource->KeyValue();
    FSourceId = key.IsNull() || key.IsEmpty() ? 0 : key.AsInteger();
}

bool TOpisForm::CheckRequiredFields() {
    const bool result = !Empty(cbResult);
    std::vector<TRequiredField> fields = {
        {Empty(cbSource), u8"Источник вельмората"},
        {NoValue(edRegDate), u8"Дата рег."},
        {Empty(cbOpisKind), u8"Вид описи"},
        {NoValue(edUnitsCount), u8"Кол-во дел"},
        {NoValue(edYearFrom) || NoValue(edYearTo), u8"Крайние годы"},
        {Empty(edNumFrom) || NoValue(edNumTo), u8"Номера дел"},
    };
    if (result) {
        fields.push_back({Empty(edEpmkNum), u8"Протокол  №"});
        fields.push_back({NoValue(edEpmkDate), u8"Дата протокола"});
    }
    return CheckRequired(fields);
}

}  // namespace app
