// The data-reading screen's read for analysis of 5000 codes on the simulated board in real time,
// at the converter's fastest rate (filter word 3, chopping disabled: 1365.33 Hz). Reports the
// elapsed time against 5000 conversion periods and the conversions replaced before they were
// read. Run with QT_QPA_PLATFORM=offscreen (set here when unset).

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <chrono>

#include "analysis/readdataform.h"
#include "board/program_port.h"
#include "board/registers.h"
#include "core/globals.h"
#include "sim/simulated_board.h"
#include "ui/board_runner.h"

using kx::sim::SimSettings;
using kx::sim::SimulatedBoard;
using kx::sim::Speed;

namespace {

constexpr int Codes = 5000;
// 8 x SF x D / 32768 s with SF 3 and D 1 (chopping disabled).
constexpr double PeriodSeconds = 8.0 * 3.0 / 32768.0;

void WriteRegister(const RegisterInfo& info, int value) {
    Register reg = Register::For(info);
    reg.RegValue = value;
    reg.WriteReg();
}

void BM_ReadForAnalysis5000RealTime(benchmark::State& state) {
    double elapsedTotal = 0;
    double replacedTotal = 0;
    double readTotal = 0;
    for (auto _ : state) {
        SimSettings settings;
        settings.speed = Speed::RealTime;
        SimulatedBoard board(settings);
        kx::ResetGlobals();
        PortAddress = 0x378;
        ReferenceVoltage = 2.5f;
        SetPortBackend(&board);
        WriteRegister(RegisterMap::Filter, 0x03);  // filter word 3
        WriteRegister(RegisterMap::Mode, 0x83);    // continuous conversion, chopping disabled

        ReadDataForm form;
        form.show();
        QApplication::processEvents();
        form.findChild<QLineEdit*>("NumCodesText")->setText(QString::number(Codes));
        // The board counts what happened while nobody looked at the next access: bring it up to
        // now, so the conversions replaced while the screen was being shown are not charged to
        // the read.
        PortIn(0x379);
        const uint64_t replacedBefore = board.resultsReplaced();
        const auto start = std::chrono::steady_clock::now();
        form.findChild<QPushButton*>("Command1")->click();
        // The read runs on the screen's worker; the window's thread waits for its end.
        while (form.runner().running())
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
        const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
        state.SetIterationTime(elapsed.count());

        elapsedTotal += elapsed.count();
        replacedTotal += static_cast<double>(board.resultsReplaced() - replacedBefore);
        readTotal += CodeCount;
        SetPortBackend(nullptr);
        kx::ResetGlobals();
    }
    const double n = static_cast<double>(state.iterations());
    state.counters["codes_read"] = readTotal / n;
    state.counters["elapsed_s"] = elapsedTotal / n;
    state.counters["periods_s"] = Codes * PeriodSeconds;
    state.counters["elapsed_vs_periods_pct"] = 100.0 * (elapsedTotal / n) / (Codes * PeriodSeconds);
    state.counters["replaced"] = replacedTotal / n;
}
BENCHMARK(BM_ReadForAnalysis5000RealTime)->UseManualTime()->Iterations(3)->Unit(benchmark::kSecond);

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
