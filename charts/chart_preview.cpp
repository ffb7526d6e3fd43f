// Dev-only: reads a run from the simulated board (or spreads one over the whole 24-bit range) and
// shows the noise plot, the histogram or the spectrum for it, non-modally, until the window is
// closed. The volts axis is scaled as bipolar 2.56 V at 2.5 V; input 0 carries a 5 Hz tone
// ("tone160": bipolar 160 mV, the tone at 500 uV RMS, as a tone that spans many codes).
//   kx3105_chart_preview graph|hist|spectrum [count] [quiet|full-span|tone160] [cursor]
// "cursor" moves the pointer over the middle of the plot once the window shows, so a screenshot
// shows the readout.

#include <qcustomplot.h>

#include <QApplication>
#include <QCursor>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <random>

#include "board/port.h"
#include "board/program_port.h"
#include "board/registers.h"
#include "board/serial.h"
#include "charts/graphform.h"
#include "charts/histform.h"
#include "charts/spectrumform.h"
#include "core/globals.h"
#include "sim/simulated_board.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    const bool hist = argc > 1 && std::strcmp(argv[1], "hist") == 0;
    const bool spectrum = argc > 1 && std::strcmp(argv[1], "spectrum") == 0;
    const int count = argc > 2 ? std::clamp(std::atoi(argv[2]), 1, 32767) : 5000;
    const bool fullSpan = argc > 3 && std::strcmp(argv[3], "full-span") == 0;
    const bool tone160 = argc > 3 && std::strcmp(argv[3], "tone160") == 0;
    const int adcControl = tone160 ? 0x03 : 0x07;

    kx::sim::SimulatedBoard board;
    board.addTone({0, 5.0, tone160 ? 500.0 : 20.0});
    PortAddress = 0x378;
    SetPortBackend(&board);
    WriteSerial(0x01, PortAddress, 8);  // mode register: continuous conversion
    WriteSerial(0x03, PortAddress, 8);
    WriteSerial(0x02, PortAddress, 8);  // ADC control: the range
    WriteSerial(adcControl, PortAddress, 8);
    ReadData reader = ReadData::ForDataRegister();
    std::mt19937 random(3);
    std::uniform_int_distribution<int> wide(0, 0xFFFFFF);
    kx::AnalysedRun run;
    for (int i = 0; i < count; ++i)
        run.run.codes.push_back(fullSpan ? wide(random) : reader.Read());
    const auto [lowest, highest] = std::minmax_element(run.run.codes.begin(), run.run.codes.end());
    run.minCode = *lowest;
    run.maxCode = *highest;
    run.scaling = kx::Scaling::Shown(adcControl, kx::DefaultReferenceVolts);

    std::unique_ptr<QDialog> form;
    std::string error;
    if (spectrum) {
        auto view = kx::AnalysedRunSpectrum(run, kx::ProgramLink(), error);
        if (!view) return std::fprintf(stderr, "%s\n", error.c_str()), 1;
        form = std::make_unique<SpectrumForm>(std::move(*view));
    } else if (hist)
        form = std::make_unique<HistForm>(run);
    else
        form = std::make_unique<GraphForm>(run);
    form->show();
    if (argc > 4 && std::strcmp(argv[4], "cursor") == 0) {
        QTimer::singleShot(800, form.get(), [&form] {
            auto* strip = form->findChild<QCustomPlot*>(QStringLiteral("Strip1"));
            const QRect plot = strip->axisRect()->rect();
            QCursor::setPos(strip->mapToGlobal(plot.center() + QPoint(plot.width() / 7, 0)));
        });
    }
    return app.exec();
}
