// The connect dialog base: remembered logins and servers, the server list and the captions.
#include <cstdlib>
#include <filesystem>
#include <map>

#include "data/access/CRServerEnumerator.h"
#include "data/access/DBAccess.h"
#include "data/store/DAConsts.h"
#include "framework/rtl/IniFiles.h"
#include "framework/rtl/Ownership.h"
#include "framework/rtl/SysUtils.h"
#include "framework/rtl/Text.h"

namespace daccess {

TConnectDialogRunHook DefConnectDialogRunHook;
TConnectDialogRunHook AltConnectDialogRunHook;
std::function<AnsiString()> ApplicationTitleHook;

namespace {

// The maker's former name, under which older installations kept their keys.
constexpr const char* SMakerName = "Ostrevik";
constexpr const char* SFormerMakerName = "Halvemont";

AnsiString ApplicationTitle() { return ApplicationTitleHook ? ApplicationTitleHook() : AnsiString(); }

AnsiString ReplaceIgnoringCase(const AnsiString& Text, const AnsiString& From, const AnsiString& To) {
    const AnsiString lower = rtl::AnsiLowerCase(Text);
    const AnsiString from = rtl::AnsiLowerCase(From);
    AnsiString out;
    size_t pos = 0;
    for (size_t hit; (hit = lower.find(from, pos)) != AnsiString::npos; pos = hit + from.size())
        out += Text.substr(pos, hit - pos) + To;
    return out + Text.substr(pos);
}

// The connect dialog's settings store: key paths are sections of one ini file, values its entries. A key
// that cannot be read or written is skipped, as an unopened key would be.
class TKeyStore {
public:
    TKeyStore() {
        try {
            FIni.reset(rtl::Create<rtl::TIniFile>(ConnectRegistryFileName()));
        } catch (const rtl::Exception&) {
            FIni.reset();
        }
    }
    // The path that holds the key for reading: the key itself, else the one under the former
    // maker name; empty when neither exists.
    AnsiString OpenRead(const AnsiString& Key) {
        if (!FIni) return {};
        if (FIni->SectionExists(Key)) return Key;
        const AnsiString former = ReplaceIgnoringCase(Key, SMakerName, SFormerMakerName);
        if (former != Key && FIni->SectionExists(former)) return former;
        return {};
    }
    bool ValueExists(const AnsiString& Key, const AnsiString& Name) { return FIni && FIni->ValueExists(Key, Name); }
    AnsiString Read(const AnsiString& Key, const AnsiString& Name) {
        return FIni ? FIni->ReadString(Key, Name, {}) : AnsiString();
    }
    void Write(const AnsiString& Key, const AnsiString& Name, const AnsiString& Value) {
        if (!FIni) return;
        try {
            std::error_code ec;
            std::filesystem::create_directories(std::filesystem::path(rtl::AnsiToUTF8(FIni->FileName())).parent_path(),
                                                ec);
            FIni->WriteString(Key, Name, Value);
        } catch (const rtl::Exception&) {
            // Not writable: the login is simply not remembered.
        }
    }

private:
    rtl::TOwnedPtr<rtl::TIniFile> FIni;
};

AnsiString HistoryValueName(const AnsiString& ServerValueName, int Number) {
    return ServerValueName + " " + rtl::IntToStr(Number);
}

}  // namespace

AnsiString ConnectRegistryFileName() {
    std::filesystem::path folder;
    if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg && *xdg)
        folder = xdg;
    else if (const char* home = std::getenv("HOME"); home && *home)
        folder = std::filesystem::path(home) / ".config";
    else
        folder = ".";
    return rtl::UTF8ToAnsi((folder / "velmorat" / "registry.ini").string());
}

WideString ConnectDialogString(int Id) {
    static const std::map<int, const char16_t*> table = {
        {0, u"\u0421\u043e\u0435\u0434\u0438\u043d\u0435\u043d\u0438\u0435"},
        {1, u"\u0418\u043c\u044f"},
        {2, u"\u041f\u0430\u0440\u043e\u043b\u044c"},
        {3, u"\u0421\u0435\u0440\u0432\u0435\u0440"},
        {4, u"\u0421\u043e\u0435\u0434\u0438\u043d\u0438\u0442\u044c"},
        {5, u"\u041e\u0442\u043c\u0435\u043d\u0430"},
        {100, u"Connect"},
        {101, u"User Name"},
        {102, u"Password"},
        {103, u"Server"},
        {104, u"Connect"},
        {105, u"Cancel"},
        {200, u"Connexion"},
        {201, u"Utilisateur"},
        {202, u"Mot de passe"},
        {203, u"Serveur"},
        {204, u"Connecter"},
        {205, u"Annuler"},
        {300, u"Verbinden"},
        {301, u"Benutzername"},
        {302, u"Passwort"},
        {303, u"Server"},
        {304, u"Verbinden"},
        {305, u"Abbrechen"},
        {400, u"Connessione"},
        {401, u"Nome utente"},
        {402, u"Password"},
        {403, u"Server"},
        {404, u"Connetti"},
        {405, u"Annulla"},
        {500, u"Po\u0142\u0105czenie"},
        {501, u"U\u017cytkownik"},
        {502, u"Has\u0142o"},
        {503, u"Serwer"},
        {504, u"Po\u0142\u0105cz"},
        {505, u"Anuluj"},
        {600, u"Conex\u00e3o"},
        {601, u"Usu\u00e1rio"},
        {602, u"Senha"},
        {603, u"Servidor"},
        {604, u"Conectar"},
        {605, u"Cancelar"},
        {700, u"Conexi\u00f3n"},
        {701, u"Usuario"},
        {702, u"Contrase\u00f1a"},
        {703, u"Servidor"},
        {704, u"Conectar"},
        {705, u"Cancelar"},
    };
    auto it = table.find(Id);
    // The dialog's buffer holds 50 characters.
    return it == table.end() ? WideString() : WideString(it->second).substr(0, 50);
}

TCustomConnectDialog::TCustomConnectDialog(rtl::TComponent* Owner) : TComponent(Owner) { SetLabelSet(lsEnglish); }

TCustomConnectDialog::~TCustomConnectDialog() { SetServerEnumerator(nullptr); }

void TCustomConnectDialog::Notification(rtl::TComponent* AComponent, rtl::TOperation Operation) {
    TComponent::Notification(AComponent, Operation);
    if (Operation == rtl::opRemove && AComponent == FConnection) FConnection = nullptr;
}

void TCustomConnectDialog::SetConnection(TCustomDAConnection* Value) {
    if (Value == FConnection) return;
    if (FConnection) RemoveFreeNotification(FConnection);
    FConnection = Value;
    if (Value) FreeNotification(Value);
}

const TCRServerEnumeratorClass& TCustomConnectDialog::ServerEnumeratorClass() const {
    rtl::AssertFail(store::SMustBeOverrided, DBAccessUnit, __LINE__);
}

void TCustomConnectDialog::SetServerEnumerator(TCRServerEnumerator* Value) {
    if (Value == FServerEnumerator) return;
    rtl::TObject::Free(FServerEnumerator);
    FServerEnumerator = Value;
}

void TCustomConnectDialog::SetLabelSet(TLabelSet Value) {
    FLabelSet = Value;
    static const int bases[] = {-1, 100, 200, 300, 400, 500, 600, 0, 700};
    const int base = bases[static_cast<int>(Value)];
    if (base < 0) return;
    Caption = ConnectDialogString(base);
    UsernameLabel = ConnectDialogString(base + 1);
    PasswordLabel = ConnectDialogString(base + 2);
    ServerLabel = ConnectDialogString(base + 3);
    ConnectButton = ConnectDialogString(base + 4);
    CancelButton = ConnectDialogString(base + 5);
}

AnsiString TCustomConnectDialog::ConnectKey() const { return KeyPath() + "Connect\\" + ApplicationTitle(); }

void TCustomConnectDialog::LoadServerHistory(rtl::TStrings* List) {
    TKeyStore store;
    const AnsiString key = store.OpenRead(ServerListKey());
    if (key.empty()) return;
    List->Clear();
    for (int i = 1;; ++i) {
        const AnsiString name = HistoryValueName(ServerValueName(), i);
        if (!store.ValueExists(key, name)) break;
        List->Add(store.Read(key, name));
    }
}

void TCustomConnectDialog::SaveServerHistory() {
    if (!FConnection || FConnection->Server().empty()) return;
    const AnsiString server = FConnection->Server();
    rtl::TOwnedPtr<rtl::TStringList> history(rtl::Create<rtl::TStringList>());
    LoadServerHistory(history.get());
    TKeyStore store;
    const AnsiString key = ServerListKey();
    store.Write(key, HistoryValueName(ServerValueName(), 1), server);
    int number = 2;
    for (int i = 0; i < history->Count(); ++i)
        if (!rtl::AnsiSameText(history->Strings(i), server))
            store.Write(key, HistoryValueName(ServerValueName(), number++), history->Strings(i));
}

void TCustomConnectDialog::SaveLogInfo(const AnsiString& Key) {
    TKeyStore store;
    store.Write(Key, "Username", FConnection->Username());
    store.Write(Key, ServerValueName(), FConnection->Server());
}

void TCustomConnectDialog::LoadLogInfo(const AnsiString& Key) {
    TKeyStore store;
    if (store.ValueExists(Key, "Username")) FConnection->SetUsername(store.Read(Key, "Username"));
    if (store.ValueExists(Key, ServerValueName())) FConnection->SetServer(store.Read(Key, ServerValueName()));
}

void TCustomConnectDialog::GetServerList(rtl::TStrings* List) {
    if (!FUseServerHistory) {
        const TCRServerEnumeratorClass& cls = ServerEnumeratorClass();
        if (!FServerEnumerator || FServerEnumerator->ClassType() != &cls) SetServerEnumerator(cls.Create());
        FServerEnumerator->GetServerList(List);
        if (List->Count() > 0) return;
    }
    LoadServerHistory(List);
}

bool TCustomConnectDialog::Execute() {
    if (!FConnection) throw rtl::Exception(SConnectionNotDefined);
    TCustomDAConnection* conn = FConnection;
    const AnsiString oldUsername = conn->Username();
    const AnsiString oldPassword = conn->Password();
    const AnsiString oldServer = conn->Server();
    // This system has no design environment: the dialog always runs as at run time.
    bool result = false;
    rtl::TryFinally(
        [&] {
            if (FStoreLogInfo) {
                TKeyStore store;
                const AnsiString key = store.OpenRead(ConnectKey());
                if (!key.empty()) LoadLogInfo(key);
                if (!FSavePassword) conn->SetPassword({});
            }
            if (DefConnectDialogRunHook) result = DefConnectDialogRunHook(this);
            if (result && FStoreLogInfo) {
                SaveServerHistory();
                SaveLogInfo(ConnectKey());
            }
        },
        [&] {
            // A refused or failed login leaves the connection as it was.
            if (result) return;
            conn->SetUsername(oldUsername);
            conn->SetPassword(oldPassword);
            conn->SetServer(oldServer);
        });
    return result;
}

}  // namespace daccess
