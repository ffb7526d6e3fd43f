#include "cli/chart_command.h"

#include <qcustomplot.h>
#include <QApplication>
#include <iostream>

#include "analysis/chart_setup.h"
#include "analysis/noise_stats.h"
#include "cli/invocation.h"
#include "core/globals.h"

namespace kx::cli {

namespace {

// Qt's own notes (a missing runtime directory, font fallbacks) say nothing about the chart; the
// tool reports its own failures.
void QuietQt(QtMsgType type, const QMessageLogContext&, const QString& message) {
    if (type == QtCriticalMsg || type == QtFatalMsg)
        std::cerr << message.toLocal8Bit().constData() << std::endl;
}

}  // namespace

int RenderChart(Chart chart, const std::string& path) {
    // No display is needed, or looked for.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qInstallMessageHandler(QuietQt);
    int argc = 1;
    char name[] = "kx3105-cli";
    char* argv[] = {name, nullptr};
    QApplication app(argc, argv);

    // The extremes as the noise analysis leaves them for its charts.
    const auto stats = noise::ComputeNoiseStatistics(SampleBuffer, CodeCount);
    MaxCode = stats.maxCode;
    MinCode = stats.minCode;

    QCustomPlot plot;
    const double* codes = SampleBuffer.data() + 1;
    if (chart == Chart::NoisePlot)
        SetupNoisePlot(&plot, codes, CodeCount, MinCode, MaxCode);
    else
        SetupHistogram(&plot, codes, CodeCount, MinCode, MaxCode);
    if (SaveChart(&plot, QString::fromStdString(path))) return ExitOk;
    std::cerr << "kx3105-cli: cannot write " << path << "\n";
    return ExitFailure;
}

}  // namespace kx::cli
