#include <gtest/gtest.h>

#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <optional>

#include "data/access/CRNetManager.h"
#include "data/access/CRServerEnumerator.h"
#include "data/access/DBAccess_ConnectDialog.h"
#include "expect_raise.h"
#include "framework/rtl/IniFiles.h"
#include "framework/rtl/Text.h"

using namespace daccess;
using accesstest::ExpectMessage;

namespace {

// A dialog of a product that keeps its keys under the maker's name.
class TProductConnectDialog : public TCustomConnectDialog {
    RTL_CLASS(TProductConnectDialog, TCustomConnectDialog)
public:
    using TCustomConnectDialog::TCustomConnectDialog;
    AnsiString KeyPath() const override { return "Software\\Ostrevik\\Marbelon\\"; }
};

class TTwoServers : public TCRServerEnumerator {
    RTL_CLASS(TTwoServers, TCRServerEnumerator)
public:
    void GetServerList(rtl::TStrings* List) override {
        List->Clear();
        List->Add("alpha");
        List->Add("beta");
    }
};

class TEnumeratingDialog : public TProductConnectDialog {
    RTL_CLASS(TEnumeratingDialog, TProductConnectDialog)
public:
    using TProductConnectDialog::TProductConnectDialog;
    const TCRServerEnumeratorClass& ServerEnumeratorClass() const override { return TTwoServers::StaticClass(); }
};

// The user's configuration folder points into a temporary folder for the test.
struct ConnectDialogTest : ::testing::Test {
    void SetUp() override {
        char tmpl[] = "/tmp/velmorat_cfg_XXXXXX";
        ASSERT_NE(::mkdtemp(tmpl), nullptr);
        Dir = tmpl;
        if (const char* old = std::getenv("XDG_CONFIG_HOME")) Saved = old;
        ::setenv("XDG_CONFIG_HOME", tmpl, 1);
        Conn.reset(rtl::Create<TCustomDAConnection>(nullptr));
        Dialog.reset(rtl::Create<TProductConnectDialog>(nullptr));
        Dialog->SetConnection(Conn.get());
        ApplicationTitleHook = [] { return AnsiString("Acquisitions"); };
    }
    void TearDown() override {
        ApplicationTitleHook = nullptr;
        DefConnectDialogRunHook = nullptr;
        Dialog.reset();
        Conn.reset();
        if (Saved)
            ::setenv("XDG_CONFIG_HOME", Saved->c_str(), 1);
        else
            ::unsetenv("XDG_CONFIG_HOME");
        std::error_code ec;
        std::filesystem::remove_all(Dir, ec);
    }
    std::vector<AnsiString> History() {
        rtl::TOwnedPtr<rtl::TStringList> list(rtl::Create<rtl::TStringList>());
        Dialog->LoadServerHistory(list.get());
        std::vector<AnsiString> out;
        for (int i = 0; i < list->Count(); ++i) out.push_back(list->Strings(i));
        return out;
    }
    rtl::TMemIniFile Registry() { return rtl::TMemIniFile(ConnectRegistryFileName()); }

    std::filesystem::path Dir;
    std::optional<std::string> Saved;
    rtl::TOwnedPtr<TCustomDAConnection> Conn;
    rtl::TOwnedPtr<TProductConnectDialog> Dialog;
};

}  // namespace

TEST_F(ConnectDialogTest, TheRegistryLivesInTheUsersConfigurationFolder) {
    EXPECT_EQ(ConnectRegistryFileName(), (Dir / "velmorat" / "registry.ini").string());
    EXPECT_EQ(Dialog->ServerListKey(), "Software\\Ostrevik\\Marbelon\\Connect");
    EXPECT_EQ(Dialog->ConnectKey(), "Software\\Ostrevik\\Marbelon\\Connect\\Acquisitions");
}

TEST_F(ConnectDialogTest, AConfirmedLoginIsRememberedAndARefusedOneChangesNothing) {
    Conn->SetUsername("curator");
    Conn->SetPassword("secret");
    Conn->SetServer("archive1");
    DefConnectDialogRunHook = [](TCustomConnectDialog* D) {
        D->Connection()->SetUsername("clerk");
        D->Connection()->SetPassword("pw");
        return true;
    };
    EXPECT_TRUE(Dialog->Execute());
    {
        rtl::TMemIniFile ini = Registry();
        EXPECT_EQ(ini.ReadString(Dialog->ConnectKey(), "Username", "?"), "clerk");
        EXPECT_EQ(ini.ReadString(Dialog->ConnectKey(), "Server", "?"), "archive1");
        // The password never goes to the file.
        EXPECT_FALSE(ini.ValueExists(Dialog->ConnectKey(), "Password"));
    }
    EXPECT_EQ(History(), (std::vector<AnsiString>{"archive1"}));

    // The next dialog starts from the remembered login, without the password.
    Conn->SetUsername("someone");
    Conn->SetPassword("other");
    Conn->SetServer("elsewhere");
    AnsiString seenUser, seenPassword, seenServer;
    DefConnectDialogRunHook = [&](TCustomConnectDialog* D) {
        seenUser = D->Connection()->Username();
        seenPassword = D->Connection()->Password();
        seenServer = D->Connection()->Server();
        D->Connection()->SetServer("archive2");
        return false;
    };
    EXPECT_FALSE(Dialog->Execute());
    EXPECT_EQ(seenUser, "clerk");
    EXPECT_EQ(seenPassword, "");
    EXPECT_EQ(seenServer, "archive1");
    EXPECT_EQ(Conn->Username(), "someone");
    EXPECT_EQ(Conn->Password(), "other");
    EXPECT_EQ(Conn->Server(), "elsewhere");
    EXPECT_EQ(History(), (std::vector<AnsiString>{"archive1"}));

    // Without a hook there is no dialog and no login.
    DefConnectDialogRunHook = nullptr;
    EXPECT_FALSE(Dialog->Execute());
    Dialog->SetConnection(nullptr);
    ExpectMessage([&] { Dialog->Execute(); }, "Connection is not defined");
}

TEST_F(ConnectDialogTest, TheCurrentServerLeadsTheHistoryOnce) {
    {
        rtl::TIniFile ini(ConnectRegistryFileName());
        std::filesystem::create_directories(Dir / "velmorat");
        const AnsiString key = Dialog->ServerListKey();
        ini.WriteString(key, "Server 1", "north");
        ini.WriteString(key, "Server 2", "Middle");
        ini.WriteString(key, "Server 3", "south");
    }
    Conn->SetServer("MIDDLE");
    Dialog->SaveServerHistory();
    EXPECT_EQ(History(), (std::vector<AnsiString>{"MIDDLE", "north", "south"}));
    // An empty server writes nothing.
    Conn->SetServer("");
    Dialog->SaveServerHistory();
    EXPECT_EQ(History().size(), 3u);
}

TEST_F(ConnectDialogTest, KeysUnderTheFormerMakerNameAreReadButNeverWritten) {
    std::filesystem::create_directories(Dir / "velmorat");
    const AnsiString former = "Software\\HALVEMONT\\Marbelon\\Connect";
    {
        rtl::TIniFile ini(ConnectRegistryFileName());
        ini.WriteString(former, "Server 1", "old1");
        ini.WriteString(former, "Server 2", "old2");
        ini.WriteString(former + "\\Acquisitions", "Username", "veteran");
    }
    Conn->SetServer("new");
    EXPECT_EQ(History(), (std::vector<AnsiString>{"old1", "old2"}));
    DefConnectDialogRunHook = [](TCustomConnectDialog*) { return true; };
    EXPECT_TRUE(Dialog->Execute());
    EXPECT_EQ(Conn->Username(), "veteran");
    rtl::TMemIniFile ini = Registry();
    EXPECT_EQ(ini.ReadString(Dialog->ServerListKey(), "Server 1", "?"), "new");
    EXPECT_EQ(ini.ReadString(Dialog->ServerListKey(), "Server 3", "?"), "old2");
    EXPECT_EQ(ini.ReadString(Dialog->ConnectKey(), "Username", "?"), "veteran");
    // The old keys stay as they were.
    EXPECT_EQ(ini.ReadString(former, "Server 1", "?"), "old1");
    EXPECT_FALSE(ini.ValueExists(former, "Server 3"));
}

TEST_F(ConnectDialogTest, ServerListFromTheEnumeratorOrTheHistory) {
    rtl::TOwnedPtr<TEnumeratingDialog> dialog(rtl::Create<TEnumeratingDialog>(nullptr));
    dialog->SetConnection(Conn.get());
    rtl::TOwnedPtr<rtl::TStringList> list(rtl::Create<rtl::TStringList>());
    Conn->SetServer("remembered");
    dialog->SaveServerHistory();

    dialog->GetServerList(list.get());
    ASSERT_EQ(list->Count(), 1);
    EXPECT_EQ(list->Strings(0), "remembered");
    dialog->SetUseServerHistory(false);
    dialog->GetServerList(list.get());
    ASSERT_EQ(list->Count(), 2);
    EXPECT_EQ(list->Strings(1), "beta");
    EXPECT_TRUE(dialog->ServerEnumerator()->InheritsFrom(&TTwoServers::StaticClass()));

    // The base names no enumerator class.
    Dialog->SetUseServerHistory(false);
    EXPECT_THROW(Dialog->GetServerList(list.get()), rtl::EAssertionFailed);
    rtl::TOwnedPtr<TCRServerEnumerator> base(rtl::Create<TCRServerEnumerator>());
    base->GetServerList(list.get());
    EXPECT_EQ(list->Count(), 0);
    Variant v;
    EXPECT_THROW(base->GetProp(7, v), rtl::EAssertionFailed);
}

TEST(ConnectDialogLabels, LabelSetsLoadTheirCaptions) {
    rtl::TOwnedPtr<TCustomConnectDialog> d(rtl::Create<TCustomConnectDialog>(nullptr));
    EXPECT_EQ(d->Caption, u"Connect");
    EXPECT_EQ(d->UsernameLabel, u"User Name");
    EXPECT_EQ(d->CancelButton, u"Cancel");
    d->SetLabelSet(lsRussian);
    EXPECT_EQ(d->Caption, ConnectDialogString(0));
    EXPECT_EQ(rtl::WideToUTF8(d->Caption), "Соединение");
    EXPECT_EQ(rtl::WideToUTF8(d->UsernameLabel), "Имя");
    EXPECT_EQ(rtl::WideToUTF8(d->CancelButton), "Отмена");
    // A custom set keeps what was set.
    d->Caption = u"Login";
    d->SetLabelSet(lsCustom);
    EXPECT_EQ(d->Caption, u"Login");
    EXPECT_EQ(d->LabelSet(), lsCustom);
    EXPECT_EQ(d->Retries(), 3);
}

TEST(NetworkEntryPoints, EveryEntryIsAStubThatSaysItIsNotLinked) {
    TNetworkEntryPoints& e = NetworkEntryPoints();
    for (TNetEntryPoint f :
         {e.OpenSCManagerA, e.CloseServiceHandle, e.OpenServiceA, e.EnumServicesStatusA, e.QueryServiceStatus,
          e.StartServiceA, e.ControlService, e.NetServerEnum, e.NetApiBufferFree})
        ExpectMessage([&] { f(); }, "function is not linked");
    TCRNetManager* m = CRNetManager();
    m->CachedServerList()->AddObject("srv", rtl::Create<rtl::TStringList>());
    m->ClearCachedServerList();
    EXPECT_EQ(m->CachedServerList()->Count(), 0);
}
