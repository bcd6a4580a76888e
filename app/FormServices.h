// The services the data module asks of the user interface, given by the program's own windows:
// message boxes, the file-open dialog, the desktop's opener, the server-setup dialog; and the help
// pages.
#pragma once

#include <string>
#include <vector>

#include "app/AppServices.h"
#include "framework/ui/Forms.h"

namespace app {

class TFormServices : public IAppServices {
public:
    // Through the application's message box; a question asks Yes/No.
    bool MessageBox(const AnsiString& Text, const AnsiString& Caption, TMsgIcon Icon) override;
    // Through the framework's file-open dialog; FileName comes back as a file-system (UTF-8) path.
    bool OpenFileDialog(const AnsiString& Filter, std::string& FileName) override;
    // Starts "xdg-open" on the path and goes on without waiting; an error box when it cannot start.
    bool OpenWithDesktop(const std::string& Path) override;
    // Shows the server-setup dialog modally; it lives only while it is shown.
    bool ServerSetup() override;
};

// Starts Argv[0], found on PATH, with the given arguments (no shell) and returns at once; the
// child is reaped in the background. False when it could not be started.
bool StartProcess(const std::vector<std::string>& Argv);

// The folder the program's executable lies in.
std::string ProgramFolder();

// Help pages: "<topic>.html" in a "help" folder beside the program, opened with the desktop's
// program. The pages themselves are not part of the program.
class THelpService {
public:
    explicit THelpService(IAppServices& Services);
    THelpService(IAppServices& Services, std::string Folder);
    // Opens the topic's page; a missing page gives an error box naming it. False when not shown.
    bool ShowTopic(int Topic);
    std::string PageOf(int Topic) const;
    const std::string& Folder() const noexcept { return FFolder; }

private:
    IAppServices& FServices;
    std::string FFolder;
};

// The program's help; set while the program runs.
extern THelpService* HelpService;
// Help topics of the forms.
inline constexpr int HelpMainForm = 101;
inline constexpr int HelpContents = 1000;
inline constexpr int HelpLogin = 1100;
inline constexpr int HelpOpisiFrame = 107;
inline constexpr int HelpOpisCard = 107;

}  // namespace app
