// The connect dialog base a user-interface unit derives from.
#pragma once

#include <functional>

#include "data/access/DBAccess_Connection.h"

namespace daccess {

// =============================================================================================
// Connect dialog base

class TCustomConnectDialog;
class TCRServerEnumerator;
class TCRServerEnumeratorClass;

// Runs the login dialog for the connect dialog component; true: the user confirmed. A
// user-interface unit installs them; none is installed in this system.
using TConnectDialogRunHook = std::function<bool(TCustomConnectDialog* Dialog)>;
extern TConnectDialogRunHook DefConnectDialogRunHook;
extern TConnectDialogRunHook AltConnectDialogRunHook;
// The host application's title; empty without a hook.
extern std::function<AnsiString()> ApplicationTitleHook;

// Where the remembered logins live: an ini file in the user's configuration folder
// ($XDG_CONFIG_HOME, else ~/.config), one section per key path.
AnsiString ConnectRegistryFileName();

enum TLabelSet { lsCustom, lsEnglish, lsFrench, lsGerman, lsItalian, lsPolish, lsPortuguese, lsRussian, lsSpanish };

// The non-visual side of a login dialog: remembers the last login and the servers used, offers a
// server list, carries the captions in one of eight languages and runs the dialog through a hook.
class TCustomConnectDialog : public rtl::TComponent {
    RTL_CLASS(TCustomConnectDialog, rtl::TComponent)
public:
    explicit TCustomConnectDialog(rtl::TComponent* Owner);
    ~TCustomConnectDialog() override;
    void Notification(rtl::TComponent* AComponent, rtl::TOperation Operation) override;

    virtual const TCRServerEnumeratorClass& ServerEnumeratorClass() const;
    virtual void SetServerEnumerator(TCRServerEnumerator* Value);
    virtual void SetLabelSet(TLabelSet Value);
    virtual AnsiString KeyPath() const { return {}; }
    virtual AnsiString ServerValueName() const { return "Server"; }
    virtual AnsiString ServerListKey() const { return KeyPath() + "Connect"; }
    AnsiString ConnectKey() const;
    virtual void SaveServerHistory();
    virtual void LoadServerHistory(rtl::TStrings* List);
    // Registry: the opened key path.
    virtual void SaveLogInfo(const AnsiString& Key);
    virtual void LoadLogInfo(const AnsiString& Key);
    // Whether the user confirmed and the login may proceed.
    virtual bool Execute();
    virtual void GetServerList(rtl::TStrings* List);

    TCustomDAConnection* Connection() const noexcept { return FConnection; }
    void SetConnection(TCustomDAConnection* Value);
    TCRServerEnumerator* ServerEnumerator() const noexcept { return FServerEnumerator; }
    int Retries() const noexcept { return FRetries; }
    void SetRetries(int Value) noexcept { FRetries = Value; }
    TLabelSet LabelSet() const noexcept { return FLabelSet; }
    bool StoreLogInfo() const noexcept { return FStoreLogInfo; }
    void SetStoreLogInfo(bool Value) noexcept { FStoreLogInfo = Value; }
    bool SavePassword() const noexcept { return FSavePassword; }
    void SetSavePassword(bool Value) noexcept { FSavePassword = Value; }
    bool UseServerHistory() const noexcept { return FUseServerHistory; }
    void SetUseServerHistory(bool Value) noexcept { FUseServerHistory = Value; }
    bool NeedConnect() const noexcept { return FNeedConnect; }
    void SetNeedConnect(bool Value) noexcept { FNeedConnect = Value; }

    // Captions are display texts.
    WideString Caption;
    WideString UsernameLabel;
    WideString PasswordLabel;
    WideString ServerLabel;
    WideString ConnectButton;
    WideString CancelButton;

private:
    TCustomDAConnection* FConnection = nullptr;
    int FRetries = 3;
    TLabelSet FLabelSet = lsEnglish;
    bool FStoreLogInfo = true;
    bool FSavePassword = false;
    bool FUseServerHistory = true;
    bool FNeedConnect = true;
    TCRServerEnumerator* FServerEnumerator = nullptr;
};

// The program's caption strings of the connect dialog by id (base of the label set + 0..5).
WideString ConnectDialogString(int Id);

}  // namespace daccess
