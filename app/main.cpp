// Вельморат: the acquisition registry of an archive. Started in its working folder (the database
// "velmorat.sdb", "setup.ini", "install_db.sql" and the "files" folder lie there); no arguments.
#include <cstdio>

#include <QApplication>

#include "app/FormServices.h"
#include "app/Main.h"
#include "app/Program.h"
#include "framework/qt/QtBackend.h"

int main(int argc, char** argv) {
    qtback::PreparePlatform();
    QApplication qapp(argc, argv);
    int code = 0;
    app::TFormServices services;
    try {
        // The backend brings the desktop's file-open dialog; message boxes are Qt's too.
        qtback::Install();
        qtback::InstallMessageBox();
        app::StartProgram(services);
        // Showing the main window runs the login; giving it up ends the program here.
        app::MainForm->Show();
        ui::Application()->Run();
    } catch (const rtl::Exception& e) {
        std::fprintf(stderr, "velmorat: %s\n", rtl::AnsiToUTF8(e.Message()).c_str());
        code = 1;
    }
    app::EndProgram();
    ui::ResetApplication();
    qtback::Uninstall();
    return code;
}
