#include "app/AppServices.h"

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace app {

bool TDesktopServices::MessageBox(const AnsiString&, const AnsiString&, TMsgIcon) { return false; }

bool TDesktopServices::OpenFileDialog(const AnsiString&, std::string&) { return false; }

bool TDesktopServices::OpenWithDesktop(const std::string& Path) { return SpawnDetached({"xdg-open", Path}); }

int Spawn(const std::vector<std::string>& Argv) {
    if (Argv.empty()) return -1;
    std::vector<char*> args;
    for (const std::string& a : Argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    pid_t pid = 0;
    return ::posix_spawnp(&pid, args[0], nullptr, nullptr, args.data(), environ) == 0 ? pid : -1;
}

bool SpawnDetached(const std::vector<std::string>& Argv) {
    const pid_t pid = Spawn(Argv);
    if (pid < 0) return false;
    // The opener hands the file on and ends quickly; reap it so that no zombie is left.
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

}  // namespace app
