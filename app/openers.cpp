#include "app/openers.h"

#include <QApplication>

#include "analysis/noiseform.h"
#include "analysis/readdataform.h"
#include "app/aboutform.h"
#include "app/blocked_close.h"
#include "app/resetform.h"
#include "charts/graphform.h"
#include "charts/histform.h"
#include "charts/spectrumform.h"
#include "files/readfileform.h"
#include "files/writefileform.h"
#include "live/liveform.h"
#include "multichannel/multi_state.h"
#include "multichannel/multiform.h"
#include "registers/calform.h"
#include "registers/controlform.h"
#include "registers/filterform.h"
#include "registers/iocontrolform.h"
#include "registers/modeform.h"
#include "registers/statusform.h"
#include "regmap/registermapform.h"
#include "ui/qt_message_service.h"
#include "ui/shared_run.h"

namespace kx {

namespace {
// Each screen is created afresh and shown modally over its parent.
template <typename Form>
void Open(QWidget* parent) {
    Form form(parent);
    form.exec();
}
// The charts show the run the noise analysis hands them.
void OpenGraph(QWidget* parent, const AnalysedRun& run) {
    GraphForm form(run, OpenSpectrum, parent);
    form.exec();
}
void OpenHistogram(QWidget* parent, const AnalysedRun& run) {
    HistForm form(run, parent);
    form.exec();
}
// The noise analysis analyses the program's run: the last one read or loaded.
void OpenNoise(QWidget* parent) {
    NoiseForm form(SharedRun(), NoiseOpeners{OpenGraph, OpenHistogram, OpenSpectrum}, parent);
    form.exec();
}
// The multi-channel settings outlive the screen for the rest of the run; a configuration saves
// and loads them too.
multi::MultiChannelState& MultiState() {
    static multi::MultiChannelState state;
    return state;
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
        form.SetLiveView(Open<LiveForm>);
        form.exec();
    };
    openers.live = Open<LiveForm>;
    openers.noise = OpenNoise;
    openers.reset = Open<ResetForm>;
    openers.readFile = Open<ReadFileForm>;
    openers.writeFile = [](QWidget* parent) {
        WriteFileForm form(SharedRun(), parent);
        form.exec();
    };
    openers.multi = [](QWidget* parent) {
        MultiForm form(MultiState(), parent);
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
    openers.registerMap = [](QWidget* parent) {
        RegisterMapForm form(&MultiState(), parent);
        form.exec();
    };
    return openers;
}

int RunMainMenu(std::function<QString()> boardLine) {
    InstallQtMessageService();
    QApplication::setWindowIcon(ApplicationIcon());
    MainMenuForm menu(std::move(boardLine), RealMainMenuOpeners());
    // Its close box ends the program even while a screen (a read) is open over it.
    WatchBlockedClose(&menu);
    menu.exec();
    return 0;
}

}  // namespace kx
