#include "app/Program.h"

#include <memory>

#include "app/AuthFormUnit.h"
#include "app/DBModUnit.h"
#include "app/FormServices.h"
#include "app/Main.h"
#include "app/OpisFormUnit.h"

namespace app {

namespace {

struct TUnit {
    const char* Name;
    void (*Start)(IAppServices& Services);
    void (*End)();
};

std::unique_ptr<THelpService> OwnHelp;

void StartHelp(IAppServices& Services) {
    OwnHelp = std::make_unique<THelpService>(Services);
    HelpService = OwnHelp.get();
    // F1 reaches here with the nearest topic up from the focused window.
    ui::Application()->HelpHandler = [](int Context) { return HelpService && HelpService->ShowTopic(Context); };
}

void EndHelp() {
    ui::Application()->HelpHandler = nullptr;
    HelpService = nullptr;
    OwnHelp.reset();
}

void StartData(IAppServices& Services) {
    DBMod = new TDBMod(&Services);
    try {
        DBMod->DataModuleCreate();
    } catch (const rtl::Exception& e) {
        // A database that opens but will not serve (tables missing): the program shows why and goes on.
        ui::Application()->ShowException(e);
    }
}

void EndData() {
    delete DBMod;
    DBMod = nullptr;
}

template <class TForm, TForm** Global>
void StartForm(IAppServices&) {
    *Global = ui::Application()->CreateForm<TForm>();
}

template <class TForm, TForm** Global>
void EndForm() {
    if (*Global) (*Global)->Free();
    *Global = nullptr;
}

const TUnit Units[] = {
    {"Help", StartHelp, EndHelp},
    {"DBModUnit", StartData, EndData},
    {"Main", StartForm<TMainForm, &MainForm>, EndForm<TMainForm, &MainForm>},
    {"AuthFormUnit", StartForm<TAuthForm, &AuthForm>, EndForm<TAuthForm, &AuthForm>},
    {"OpisFormUnit", StartForm<TOpisForm, &OpisForm>, EndForm<TOpisForm, &OpisForm>},
};

int Started = 0;

}  // namespace

void StartProgram(IAppServices& Services) {
    ui::Application()->SetTitle(rtl::UTF8ToAnsi(u8"Вельморат"));
    for (const TUnit& unit : Units) {
        unit.Start(Services);
        ++Started;
    }
}

void EndProgram() {
    while (Started > 0) Units[--Started].End();
}

}  // namespace app
