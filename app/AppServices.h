// What the data module asks of the user interface: message boxes, the file-open dialog and
// opening a file with the desktop's program. The forms provide the real ones; tests script fakes.
#pragma once

#include <string>
#include <vector>

#include "framework/rtl/Text.h"

namespace app {

using rtl::AnsiString;

enum class TMsgIcon { Information, Warning, Error, Question };

class IAppServices {
public:
    virtual ~IAppServices() = default;
    // Shows a message; for a question, true when the user answered Yes.
    virtual bool MessageBox(const AnsiString& Text, const AnsiString& Caption, TMsgIcon Icon) = 0;
    // Asks for a file to open; false when the user cancelled.
    virtual bool OpenFileDialog(const AnsiString& Filter, std::string& FileName) = 0;
    // Hands a file to the desktop's program for it; false when that could not be started.
    virtual bool OpenWithDesktop(const std::string& Path) = 0;
    // The server-setup dialog, shown when the database cannot be opened at start-up; true when it
    // closed with OK, the connection then open. Without the dialog start-up goes on unconnected.
    virtual bool ServerSetup() { return false; }
};

// The desktop's own: opening runs "xdg-open" with the path as its one argument, never through a
// shell. Dialogs answer as cancelled until the forms replace this object.
class TDesktopServices : public IAppServices {
public:
    bool MessageBox(const AnsiString& Text, const AnsiString& Caption, TMsgIcon Icon) override;
    bool OpenFileDialog(const AnsiString& Filter, std::string& FileName) override;
    bool OpenWithDesktop(const std::string& Path) override;
};

// Starts Argv[0], found on PATH, with the given arguments (no shell); the child's id, or -1 when it
// could not be started.
int Spawn(const std::vector<std::string>& Argv);

// Runs Argv[0], found on PATH, with the given arguments and waits for it (an opener hands the file
// on and returns); false when it could not be started or reported failure.
bool SpawnDetached(const std::vector<std::string>& Argv);

}  // namespace app
