#include "cli/chart_command.h"

#include <qcustomplot.h>
#include <QApplication>
#include <QFileInfo>
#include <iostream>

#include "acquisition/settings.h"
#include "analysis/chart_caption.h"
#include "analysis/noise_stats.h"
#include "charts/chart_setup.h"
#include "cli/output.h"
#include "cli/tool.h"
#include "converter/adc_control_fields.h"
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

// The volts axis's scaling: the options, else the capture's, else the power-on settings (said).
ChartConditions Conditions(const ChartRequest& request, const Run& run) {
    // Checked when the options were read.
    ConverterSettings given;
    if (request.range) given.range = RangeCodeByName(*request.range);
    if (request.polarity) given.unipolar = UnipolarByName(*request.polarity);
    ChartConditions c = ConditionsOf(run, std::nullopt, run.board);
    int32_t byte = run.adcControl.value_or(PowerOnAdcControl);
    c.scalingAssumed = !run.adcControl && !(request.range && request.polarity);
    if (c.scalingAssumed)
        Remark("the volts axis takes the power-on settings, " + PolarityName(false) + " " +
               RangeName(adc::RangeCode(PowerOnAdcControl)) + ", where " +
               (request.input == "-" ? std::string("standard input") : request.input) +
               " does not say (--range and --polarity set them)");
    byte = given.ControlByte(byte);
    c.scaling = Scaling::Of(byte, request.ref.value_or(run.referenceVolts));
    return c;
}

}  // namespace

int DrawChart(const ChartRequest& request, const std::function<void(QCustomPlot&)>& setup,
              const std::string& caption) {
    // No display is needed, or looked for.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qInstallMessageHandler(QuietQt);
    int argc = 1;
    char name[] = "kx3105-cli";
    char* argv[] = {name, nullptr};
    QApplication app(argc, argv);
    QCustomPlot plot;
    setup(plot);

    // Drawn in memory, then written whole (or as a stream to a FIFO or device): PDF for a name
    // ending in .pdf, else PNG.
    const bool pdf =
        request.output != "-" && QFileInfo(QString::fromStdString(request.output))
                                         .suffix()
                                         .compare(QLatin1String("pdf"), Qt::CaseInsensitive) == 0;
    const QByteArray image =
        kx::RenderChart(&plot, pdf, request.width, request.height, QString::fromStdString(caption));
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
    const ChartConditions conditions = Conditions(request, run);
    return DrawChart(
        request,
        [&](QCustomPlot& plot) {
            const bool isPlot = request.chart == Chart::NoisePlot;
            if (isPlot) {
                SetupNoisePlot(&plot, codes, stats.minCode, stats.maxCode);
                AddVoltsAxis(plot.yAxis, *conditions.scaling);
            } else {
                SetupHistogram(&plot, codes, stats.minCode, stats.maxCode, request.binWidth);
                AddVoltsAxis(plot.xAxis, *conditions.scaling);
            }
            if (request.title)
                Retitle(plot, isPlot ? NoisePlotTitle : HistogramTitle,
                        QString::fromStdString(*request.title));
        },
        ConditionsCaption(conditions));
}

}  // namespace kx::cli
