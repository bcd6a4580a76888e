#include "controls/grid/DBGridEhFindDlgs.h"

#include "framework/rtl/Text.h"

namespace grid {

TLocateTextDirectionEh FindDialogDirection(int Index, bool Ctrl, bool FirstSearch) {
    TLocateTextDirectionEh d = Index == 0 ? ltdUpEh : Index == 1 ? ltdDownEh : ltdAllEh;
    if (Ctrl) d = d == ltdUpEh ? ltdDownEh : ltdUpEh;
    if (!FirstSearch && d == ltdAllEh) d = ltdDownEh;
    return d;
}

TLocateTextOptionsEh FindDialogOptions(bool MatchCase, bool MatchFormat, bool AllColumns) {
    return (MatchCase ? 0 : ltoCaseInsensitiveEh) | (MatchFormat ? ltoMatchFormatEh : 0) |
           (AllColumns ? ltoAllFieldsEh : 0);
}

namespace {

template <class T>
T* Place(ui::TForm* Form, int L, int T_, int W, int H) {
    T* c = rtl::Create<T>(Form);
    c->SetParent(Form);
    c->SetBounds(L, T_, W, H);
    return c;
}

ui::TLabel* Label(ui::TForm* Form, const char* Caption, int L, int T_, int W, int H) {
    auto* l = Place<ui::TLabel>(Form, L, T_, W, H);
    l->SetCaption(Caption);
    return l;
}

editors::TDBComboBoxEh* Combo(ui::TForm* Form, std::initializer_list<const char*> Items, int L, int T_, int W, int H) {
    auto* c = Place<editors::TDBComboBoxEh>(Form, L, T_, W, H);
    for (const char* i : Items) c->Items()->Add(i);
    c->SetKeyItems(c->Items());
    return c;
}

}  // namespace

TDBGridEhFindDlg::TDBGridEhFindDlg(rtl::TComponent* Owner) : ui::TForm(Owner) {
    SetCaption("Find text");
    SetBorderStyle(ui::TFormBorderStyle::bsDialog);
    SetPosition(ui::poScreenCenter);
    SetKeyPreview(true);
    SetBounds(273, 305, 0, 0);
    SetClientWidth(505);
    SetClientHeight(150);
    Label1 = Label(this, "Fi&nd What:", 10, 12, 52, 13);
    cbText = Combo(this, {}, 88, 9, 316, 21);
    bFind = Place<ui::TButton>(this, 413, 9, 82, 23);
    bFind->SetCaption("&Find next");
    bFind->OnClick = [this](rtl::TObject* s) { bFindClick(s); };
    bCancel = Place<ui::TButton>(this, 413, 37, 82, 22);
    bCancel->SetCaption("Close");
    bCancel->SetCancel(true);
    bCancel->SetModalResult(ui::mrCancel);
    bCancel->OnClick = [this](rtl::TObject*) { Close(); };
    Label2 = Label(this, "Find &in:", 10, 35, 34, 13);
    cbFindIn = Combo(this, {}, 88, 32, 192, 21);
    cbMatchType = Label(this, "Matc&h:", 10, 58, 33, 13);
    cbMatchinType = Combo(this, {"From any part of field", "Whole field", "From beging of field"}, 88, 55, 144, 21);
    cbMatchinType->SetItemIndex(0);
    Label3 = Label(this, "Sea&rch:", 10, 82, 37, 13);
    cbFindDirection = Combo(this, {"Up", "Down", "All"}, 88, 79, 144, 21);
    cbFindDirection->SetItemIndex(2);
    cbCharCase = Place<editors::TDBCheckBoxEh>(this, 88, 105, 144, 14);
    cbCharCase->SetCaption("Match &Case");
    cbUseFormat = Place<editors::TDBCheckBoxEh>(this, 260, 105, 144, 14);
    cbUseFormat->SetCaption("Match F&ormat");
    cbUseFormat->SetChecked(true);
    Label4 = Label(this, "Find in Tree:", 10, 128, 59, 13);
    dbcTreeFindRange =
        Combo(this, {"In all nodes", "In expanded nodes", "In current level", "In current node"}, 88, 124, 145, 21);
    dbcTreeFindRange->SetItemIndex(0);
    int order = 0;
    for (ui::TWinControl* c :
         std::initializer_list<ui::TWinControl*>{cbText, cbFindIn, cbMatchinType, cbFindDirection, cbCharCase,
                                                 cbUseFormat, bFind, bCancel, dbcTreeFindRange})
        c->SetTabOrder(order++);
    FFullHeight = Height();
}

void TDBGridEhFindDlg::Execute(TCustomDBGridEh* Grid, const AnsiString& Text, bool Modal) {
    // Our datasets have no tree view: the dialog is always the short one.
    SetClientHeight(dbcTreeFindRange->Top());
    Label4->SetVisible(false);
    dbcTreeFindRange->SetVisible(false);
    cbText->SetText(Text);
    FGrid = Grid;
    cbFindIn->Items()->Clear();
    FFindInColumns.clear();
    int select = -1;
    TColumnEh* current = Grid->CurrentColumn();
    for (int i = 0; i < Grid->Columns()->Count(); ++i) {
        TColumnEh* c = Grid->Columns()->Items(i);
        if (!c->Visible()) continue;
        if (c == current) select = static_cast<int>(FFindInColumns.size());
        cbFindIn->Items()->Add(c->Title()->Caption());
        FFindInColumns.push_back(c);
    }
    cbFindIn->Items()->Add("<All>");
    FFindInColumns.push_back(nullptr);
    cbFindIn->SetKeyItems(cbFindIn->Items());
    cbFindIn->SetItemIndex(select >= 0 ? select : cbFindIn->Items()->Count() - 1);
    FFirstSearch = true;
    if (Visible()) Close();
    SetActiveControl(cbText);
    if (Modal)
        ShowModal();
    else
        Show();
}

void TDBGridEhFindDlg::bFindClick(rtl::TObject* /*Sender*/) {
    const bool ctrl = ui::GetKeyState(ui::VK_CONTROL) < 0;
    const AnsiString text = cbText->Text();
    if (cbText->Items()->IndexOf(text) < 0) cbText->Items()->Add(text);
    if (!FGrid || !FGrid->DataSet() || !FGrid->DataSet()->Active()) return;
    const TLocateTextDirectionEh direction = FindDialogDirection(cbFindDirection->ItemIndex(), ctrl, FFirstSearch);
    const int m = cbMatchinType->ItemIndex();
    const TLocateTextMatchTypeEh match = m == 1 ? lmtWholeEh : m == 2 ? lmtFromBeginEh : lmtAnyPartEh;
    const int sel = cbFindIn->ItemIndex();
    TColumnEh* column = sel >= 0 && sel < static_cast<int>(FFindInColumns.size()) ? FFindInColumns[sel] : nullptr;
    const bool all = sel == cbFindIn->Items()->Count() - 1;
    const TLocateTextOptionsEh options = FindDialogOptions(cbCharCase->Checked(), cbUseFormat->Checked(), all);
    if (FGrid->LocateText(column ? column->FieldName() : WideString(), text, match, direction, options))
        FFirstSearch = false;
}

TDBGridEhFindDlg* DBGridEhFindDlg() {
    static TDBGridEhFindDlg* Dialog = nullptr;
    if (!Dialog) Dialog = rtl::Create<TDBGridEhFindDlg>(ui::Application());
    return Dialog;
}

namespace {
const bool HookInstalled = [] {
    FindDialogHook = [](TCustomDBGridEh* Grid, const AnsiString& Text, const AnsiString&, bool Modal) {
        DBGridEhFindDlg()->Execute(Grid, Text, Modal);
    };
    return true;
}();
}  // namespace

}  // namespace grid
