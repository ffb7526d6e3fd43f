// Shows the multi-channel screen on a simulated board in real time, for looking at it; not a
// test and not built by default. "--read" starts a read once the window is up.
#include <QApplication>
#include <QPushButton>
#include <QTimer>

#include "globals.h"
#include "multiform.h"
#include "qt_message_service.h"
#include "simulated_board.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    kx::sim::SimSettings settings;
    settings.speed = kx::sim::Speed::RealTime;
    settings.inputs = {{0, {0.75, 0.6}}, {4, {-0.21, 0.6}}, {11, {0.004, 0.6}}};
    kx::sim::SimulatedBoard board(settings);
    PortAddress = 0x378;
    SetPortBackend(&board);
    kx::InstallQtMessageService();

    // Settings as a user might have left them at an earlier visit.
    kx::multi::MultiChannelState state;
    for (int row : {0, 4, 5, 11})
        state.settings[static_cast<size_t>(row)].ChannelSelected = 1;
    state.settings[4] = {1, 3, 1, "2A"};
    state.settings[11] = {1, 8, 0, "0D"};

    MultiForm form(state);
    if (QCoreApplication::arguments().contains("--read"))
        QTimer::singleShot(800, &form,
                           [&form] { form.findChild<QPushButton*>("Command1")->click(); });
    const int result = form.exec();
    SetPortBackend(nullptr);
    return result;
}
