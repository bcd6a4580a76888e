#include "app/SQLSetupFrmUnit.h"

#include <algorithm>
#include <filesystem>

#include "app/DBModUnit.h"
#include "app/FormBuild.h"
#include "framework/rtl/SysUtils.h"

namespace app {

TSQLSetupFrm* SQLSetupFrm = nullptr;

namespace {

const char8_t* const DatabasePrompt = u8"введите название базы данных";

void ConnectionMessage() {
    DBMod->Services().MessageBox(T(u8"Не удается подключиться к базе данных, проверьте запущен ли сервер, а также его "
                                   u8"параметры, указанные здесь"),
                                 T(u8"Ошибка соединения"), TMsgIcon::Warning);
}

// The file a database name stands for: relative names lie in the working folder.
std::filesystem::path DatabaseFile(const AnsiString& Name) {
    std::filesystem::path file(rtl::AnsiToUTF8(Name));
    return file.is_relative() ? std::filesystem::path(AppDir) / file : file;
}

}  // namespace

TSQLSetupFrm::TSQLSetupFrm(rtl::TComponent* Owner) : ui::TForm(Owner) {
    SetName("SQLSetupFrm");
    SetCaption(T(u8"Настройте параметры MySQL"));
    SetBorderStyle(ui::TFormBorderStyle::bsDialog);
    SetPosition(ui::poScreenCenter);
    SetBounds(0, 0, 330, 230);
    lblHost = Make<ui::TLabel>(this, "lblHost", 16, 16, 120, 13);
    lblHost->SetCaption(T(u8"Сервер"));
    edHost = Make<ui::TEdit>(this, "edHost", 140, 12, 170, 21);
    edHost->SetText("localhost");
    edHost->SetHint(T(u8"DNS-имя или IP-адрес сервера MySQL"));
    lblUser = Make<ui::TLabel>(this, "lblUser", 16, 48, 120, 13);
    lblUser->SetCaption(T(u8"Пользователь"));
    edUser = Make<ui::TEdit>(this, "edUser", 140, 44, 170, 21);
    edUser->SetText("root");
    edUser->SetHint(T(u8"Пользователь с правами доступа к нужной базе данных"));
    lblPass = Make<ui::TLabel>(this, "lblPass", 16, 80, 120, 13);
    lblPass->SetCaption(T(u8"Пароль"));
    edPass = Make<ui::TEdit>(this, "edPass", 140, 76, 170, 21);
    edPass->SetPasswordChar('*');
    lblDatabase = Make<ui::TLabel>(this, "lblDatabase", 16, 112, 120, 13);
    lblDatabase->SetCaption(T(u8"База данных"));
    cbDatabase = Make<ui::TComboBox>(this, "cbDatabase", 140, 108, 170, 21);
    cbDatabase->Items()->Add(T(DatabasePrompt));
    cbDatabase->SetText(T(DatabasePrompt));
    cbDatabase->SetHint(T(u8"Укажите название базы данных (если не существует, то будет создана)"));
    cbDatabase->OnEnter = [this](rtl::TObject* Sender) { cbDatabaseEnter(Sender); };
    for (ui::TControl* c : {static_cast<ui::TControl*>(edHost), static_cast<ui::TControl*>(edUser),
                            static_cast<ui::TControl*>(cbDatabase)})
        c->SetShowHint(true);
    btnOk = Make<ui::TButton>(this, "btnOk", 235, 150, 75, 25);
    btnOk->SetCaption(T(u8"ОК"));
    btnOk->OnClick = [this](rtl::TObject* Sender) { btnOkClick(Sender); };
    OnShow = [this](rtl::TObject* Sender) { FormShow(Sender); };
}

void TSQLSetupFrm::FormShow(rtl::TObject*) {
    TUniConnection* c = DBMod->zServer.get();
    edHost->SetText(c->Server());
    edUser->SetText(c->Username());
    edPass->SetText(c->Password());
    // A database of the working folder shows as its file name, the way the list names it.
    const std::filesystem::path file = DatabaseFile(c->Database());
    if (!c->Database().empty() && file.parent_path() == std::filesystem::path(AppDir))
        cbDatabase->SetText(rtl::UTF8ToAnsi(file.filename().string()));
    else if (!c->Database().empty())
        cbDatabase->SetText(c->Database());
}

void TSQLSetupFrm::cbDatabaseEnter(rtl::TObject*) {
    const AnsiString text = cbDatabase->Text();
    std::vector<AnsiString> names;
    std::error_code ec;
    for (std::filesystem::directory_iterator it(AppDir, ec), end; !ec && it != end; it.increment(ec))
        if (it->path().extension() == ".sdb" && it->is_regular_file())
            names.push_back(rtl::UTF8ToAnsi(it->path().filename().string()));
    if (ec) {
        ConnectionMessage();
        return;
    }
    std::sort(names.begin(), names.end(),
              [](const AnsiString& a, const AnsiString& b) { return rtl::AnsiCompareText(a, b) < 0; });
    cbDatabase->Items()->Clear();
    for (const AnsiString& n : names) cbDatabase->Items()->Add(n);
    cbDatabase->SetText(text);
}

void TSQLSetupFrm::btnOkClick(rtl::TObject*) {
    const AnsiString name = rtl::Trim(cbDatabase->Text());
    if (name.empty() || name == T(DatabasePrompt)) {
        DBMod->Services().MessageBox(T(u8"Необходимо указать название базы данных"), T(u8"Внимание"),
                                     TMsgIcon::Warning);
        return;
    }
    TUniConnection* c = DBMod->zServer.get();
    c->SetServer(edHost->Text());
    c->SetUsername(edUser->Text());
    c->SetPassword(edPass->Text());
    std::error_code ec;
    const bool existed = std::filesystem::file_size(DatabaseFile(name), ec) > 0 && !ec;
    try {
        if (!DBMod->OpenOrInstallDatabase(name)) return;
    } catch (const rtl::Exception& e) {
        // An existing file that will not open is a connection failure; a failed install reports
        // its own error (the half-made file is gone).
        if (existed)
            ConnectionMessage();
        else
            ui::Application()->ShowException(e);
        return;
    }
    if (c->Connected()) SetModalResult(ui::mrOk);
}

}  // namespace app
