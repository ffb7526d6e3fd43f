#include "openers.h"

#include <QApplication>

#include "aboutform.h"
#include "calform.h"
#include "controlform.h"
#include "filterform.h"
#include "iocontrolform.h"
#include "modeform.h"
#include "qt_message_service.h"
#include "resetform.h"
#include "statusform.h"

namespace kx {

namespace {
// Each screen is created afresh and shown modally over its parent.
template <typename Form>
void Open(QWidget* parent) {
    Form form(parent);
    form.exec();
}
}  // namespace

MainMenuOpeners RealMainMenuOpeners() {
    MainMenuOpeners openers;
    openers.program = [](QWidget* parent) {
        ProgramForm form(RealProgramMenuOpeners(), parent);
        form.exec();
    };
    openers.reset = Open<ResetForm>;
    openers.about = Open<aboutform>;
    return openers;
}

ProgramMenuOpeners RealProgramMenuOpeners() {
    ProgramMenuOpeners openers;
    openers.mode = Open<ModeForm>;
    openers.filter = Open<Filterform>;
    openers.calibration = Open<CalForm>;
    openers.control = Open<ControlForm>;
    openers.ioControl = Open<IOcontrolForm>;
    openers.status = Open<StatusForm>;
    return openers;
}

int RunMainMenu(const QString& boardLine) {
    InstallQtMessageService();
    QApplication::setWindowIcon(ApplicationIcon());
    MainMenuForm menu(boardLine, RealMainMenuOpeners());
    menu.exec();
    return 0;
}

}  // namespace kx
