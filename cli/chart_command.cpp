#include "cli/chart_command.h"

#include <qcustomplot.h>
#include <QApplication>
#include <QBuffer>
#include <QFileInfo>
#include <iostream>

#include "analysis/noise_stats.h"
#include "charts/chart_setup.h"
#include "cli/output.h"
#include "cli/tool.h"
#include "core/safe_file.h"
#include "files/run_file.h"

namespace kx::cli {

namespace {

// Qt's own notes (a missing runtime directory, font fallbacks) say nothing about the chart; the
// tool reports its own failures.
void QuietQt(QtMsgType type, const QMessageLogContext&, const QString& message) {
    if (type == QtCriticalMsg || type == QtFatalMsg)
        std::cerr << message.toLocal8Bit().constData() << std::endl;
}

void Retitle(QCustomPlot& plot, const QString& from, const QString& to) {
    for (int i = 0; i < plot.itemCount(); ++i)
        if (auto* text = qobject_cast<QCPItemText*>(plot.item(i)); text && text->text() == from)
            text->setText(to);
    for (int i = 0; i < plot.plotLayout()->elementCount(); ++i)
        if (auto* text = qobject_cast<QCPTextElement*>(plot.plotLayout()->elementAt(i));
            text && text->text() == from)
            text->setText(to);
}

}  // namespace

int DrawChart(const ChartRequest& request, const std::function<void(QCustomPlot&)>& setup) {
    // No display is needed, or looked for.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qInstallMessageHandler(QuietQt);
    int argc = 1;
    char name[] = "kx3105-cli";
    char* argv[] = {name, nullptr};
    QApplication app(argc, argv);
    QCustomPlot plot;
    setup(plot);

    // Drawn in memory, then written whole (or as a stream to a FIFO or device).
    const bool pdf =
        request.output != "-" && QFileInfo(QString::fromStdString(request.output))
                                         .suffix()
                                         .compare(QLatin1String("pdf"), Qt::CaseInsensitive) == 0;
    QByteArray image;
    if (pdf) {
        image = kx::RenderChart(&plot, true, request.width, request.height);
    } else {
        QBuffer buffer(&image);
        buffer.open(QIODevice::WriteOnly);
        if (!plot.toPixmap(request.width, request.height).save(&buffer, "PNG")) image.clear();
    }
    if (image.isEmpty()) return Failure("cannot draw the chart");
    const std::string_view bytes(image.constData(), static_cast<size_t>(image.size()));
    if (request.output == "-") return WriteStdout(bytes);
    const std::string why = files::SaveAtomically(request.output, bytes, files::Streams::Written);
    return why.empty() ? ExitOk : Failure("cannot write " + Quoted(request.output) + ": " + why);
}

int RenderChart(const ChartRequest& request) {
    if (request.chart == Chart::Curve) return RenderCurve(request);
    Run run;
    if (!LoadChartRun(request, run)) return ExitFailure;
    const auto stats = noise::ComputeNoiseStatistics(run.codes);
    const std::vector<double> codes = CodesAsDoubles(run.codes);
    return DrawChart(request, [&](QCustomPlot& plot) {
        const bool isPlot = request.chart == Chart::NoisePlot;
        if (isPlot)
            SetupNoisePlot(&plot, codes, stats.minCode, stats.maxCode);
        else
            SetupHistogram(&plot, codes, stats.minCode, stats.maxCode);
        if (request.title)
            Retitle(plot, isPlot ? NoisePlotTitle : HistogramTitle,
                    QString::fromStdString(*request.title));
    });
}

}  // namespace kx::cli
