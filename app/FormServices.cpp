#include "app/FormServices.h"

#include <sys/wait.h>

#include <filesystem>
#include <thread>

#include "app/FormBuild.h"
#include "app/SQLSetupFrmUnit.h"
#include "framework/rtl/Ownership.h"
#include "framework/ui/Dialogs.h"

namespace app {

bool TFormServices::MessageBox(const AnsiString& Text, const AnsiString& Caption, TMsgIcon Icon) {
    unsigned flags = ui::MB_OK;
    switch (Icon) {
        case TMsgIcon::Information: flags |= ui::MB_ICONINFORMATION; break;
        case TMsgIcon::Warning: flags |= ui::MB_ICONWARNING; break;
        case TMsgIcon::Error: flags |= ui::MB_ICONERROR; break;
        case TMsgIcon::Question: flags = ui::MB_YESNO | ui::MB_ICONQUESTION; break;
    }
    const int answer = ui::MessageBox(Text, Caption, flags);
    return Icon == TMsgIcon::Question ? answer == ui::IDYES : true;
}

bool TFormServices::OpenFileDialog(const AnsiString& Filter, std::string& FileName) {
    rtl::TOwnedPtr<ui::TOpenDialog> dialog(rtl::Create<ui::TOpenDialog>(nullptr));
    dialog->SetFilter(Filter);
    dialog->SetOptions({ui::ofHideReadOnly, ui::ofFileMustExist, ui::ofEnableSizing});
    if (!dialog->Execute()) return false;
    FileName = rtl::AnsiToUTF8(dialog->FileName());
    return true;
}

bool TFormServices::OpenWithDesktop(const std::string& Path) {
    if (StartProcess({"xdg-open", Path})) return true;
    MessageBox(T(u8"Не удается запустить программу для открытия файла: ") + rtl::UTF8ToAnsi(Path), T(u8"Ошибка"),
               TMsgIcon::Error);
    return false;
}

bool TFormServices::ServerSetup() {
    rtl::TOwnedPtr<TSQLSetupFrm> form(rtl::Create<TSQLSetupFrm>(nullptr));
    SQLSetupFrm = form.get();
    int result = ui::mrNone;
    rtl::TryFinally([&] { result = form->ShowModal(); }, [&] { SQLSetupFrm = nullptr; });
    return result == ui::mrOk;
}

bool StartProcess(const std::vector<std::string>& Argv) {
    const int pid = Spawn(Argv);
    if (pid < 0) return false;
    // The program goes on while the child runs; a waiting thread reaps it so no zombie is left.
    std::thread([pid] {
        int status = 0;
        ::waitpid(pid, &status, 0);
    }).detach();
    return true;
}

std::string ProgramFolder() {
    std::error_code ec;
    const std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    return ec ? std::filesystem::current_path().string() : exe.parent_path().string();
}

// ---------------------------------------------------------------------------------------------
// Help

THelpService::THelpService(IAppServices& Services) : THelpService(Services, ProgramFolder() + "/help") {}

THelpService::THelpService(IAppServices& Services, std::string Folder)
    : FServices(Services), FFolder(std::move(Folder)) {}

std::string THelpService::PageOf(int Topic) const { return FFolder + "/" + std::to_string(Topic) + ".html"; }

THelpService* HelpService = nullptr;

bool THelpService::ShowTopic(int Topic) {
    const std::string page = PageOf(Topic);
    std::error_code ec;
    if (!std::filesystem::is_regular_file(page, ec)) {
        FServices.MessageBox(T(u8"Страница справки не найдена: ") + rtl::UTF8ToAnsi(page), T(u8"Справка"),
                             TMsgIcon::Error);
        return false;
    }
    return FServices.OpenWithDesktop(page);
}

}  // namespace app
