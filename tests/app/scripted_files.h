// The file dialog answered from a list and the desktop's opener recorded, over either kind of the
// program's services (the data module's interface or the windows' implementation).
#pragma once

#include <deque>
#include <string>
#include <vector>

#include "framework/rtl/Types.h"

namespace apptest {

template <class Services>
struct ScriptedFiles : Services {
    std::deque<std::string> Picks;  // files the dialog returns; empty: cancelled
    std::vector<std::string> Opened;
    bool OpenFileDialog(const rtl::AnsiString&, std::string& FileName) override {
        if (Picks.empty()) return false;
        FileName = Picks.front();
        Picks.pop_front();
        return true;
    }
    bool OpenWithDesktop(const std::string& Path) override {
        Opened.push_back(Path);
        return true;
    }
};

}  // namespace apptest
