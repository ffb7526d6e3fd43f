#include "openers.h"

#include <QApplication>

#include "aboutform.h"
#include "calform.h"
#include "controlform.h"
#include "filterform.h"
#include "graphform.h"
#include "histform.h"
#include "iocontrolform.h"
#include "modeform.h"
#include "multiform.h"
#include "multi_state.h"
#include "noiseform.h"
#include "qt_message_service.h"
#include "readdataform.h"
#include "readfileform.h"
#include "resetform.h"
#include "statusform.h"
#include "writefileform.h"

namespace kx {

namespace {
// Each screen is created afresh and shown modally over its parent.
template <typename Form>
void Open(QWidget* parent) {
    Form form(parent);
    form.exec();
}
void OpenNoise(QWidget* parent) {
    NoiseForm form(NoiseOpeners{Open<GraphForm>, Open<HistForm>}, parent);
    form.exec();
}

}  // namespace

MainMenuOpeners RealMainMenuOpeners() {
    MainMenuOpeners openers;
    openers.program = [](QWidget* parent) {
        ProgramForm form(RealProgramMenuOpeners(), parent);
        form.exec();
    };
    openers.readData = [](QWidget* parent) {
        ReadDataForm form(OpenNoise, parent);
        form.exec();
    };
    openers.noise = OpenNoise;
    openers.reset = Open<ResetForm>;
    openers.readFile = Open<ReadFileForm>;
    openers.writeFile = Open<WriteFileForm>;
    openers.multi = [](QWidget* parent) {
        // The channel settings outlive the screen for the rest of the run.
        static multi::MultiChannelState state;
        MultiForm form(state, parent);
        form.exec();
    };
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

int RunMainMenu(std::function<QString()> boardLine) {
    InstallQtMessageService();
    QApplication::setWindowIcon(ApplicationIcon());
    MainMenuForm menu(std::move(boardLine), RealMainMenuOpeners());
    menu.exec();
    return 0;
}

}  // namespace kx
