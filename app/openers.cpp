#include "openers.h"

#include <QApplication>

#include "aboutform.h"
#include "qt_message_service.h"
#include "resetform.h"

namespace kx {

MainMenuOpeners RealMainMenuOpeners() {
    MainMenuOpeners openers;
    openers.program = [](QWidget* parent) {
        ProgramForm form(RealProgramMenuOpeners(), parent);
        form.exec();
    };
    openers.reset = [](QWidget* parent) {
        ResetForm form(parent);
        form.exec();
    };
    openers.about = [](QWidget* parent) {
        aboutform form(parent);
        form.exec();
    };
    return openers;
}

ProgramMenuOpeners RealProgramMenuOpeners() {
    return {};
}

int RunMainMenu(const QString& boardLine) {
    InstallQtMessageService();
    QApplication::setWindowIcon(ApplicationIcon());
    MainMenuForm menu(boardLine, RealMainMenuOpeners());
    menu.exec();
    return 0;
}

}  // namespace kx
