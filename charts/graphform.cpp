#include "charts/graphform.h"

#include <qcustomplot.h>

#include <QAction>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>

#include "maths/histogram.h"
#include "charts/chart_interaction.h"
#include "charts/chart_setup.h"
#include "core/numtext.h"

namespace {

// The narrowest views: a few reads, and two codes, so that whole ticks remain.
constexpr double LeastReads = 4;
constexpr double LeastCodes = 2;

}  // namespace

GraphForm::GraphForm(const kx::AnalysedRun& run, SpectrumOpener openSpectrum, QWidget* parent)
    : ScreenDialog(parent), run_(kx::CodesAsDoubles(run.run.codes)) {
    setObjectName(QStringLiteral("GraphForm"));
    setWindowTitle(QStringLiteral("KX3105 Evaluation Software - Noise Plot"));
    parts_ = kx::BuildChartScreen(
        this, QStringLiteral("Read No."), QStringLiteral("Code"),
        [this] { return kx::NoisePlotText(run_); }, QStringLiteral("noise_plot.png"),
        [run] { return kx::RunConditions(run); });
    kx::SetupNoisePlot(parts_.strip, run_, run.minCode, run.maxCode);
    if (run.scaling) kx::AddVoltsAxis(parts_.strip->yAxis, *run.scaling);
    kx::EnableChartNavigation(parts_.strip, LeastReads, LeastCodes);
    kx::HideEndCaptionsWhenZoomed(parts_.strip, false, {1, 2});

    if (openSpectrum) {
        auto* spectrum = new QAction(QStringLiteral("&Spectrum"), parts_.strip);
        spectrum->setObjectName(QStringLiteral("SpectrumAction"));
        parts_.strip->addAction(spectrum);
        connect(spectrum, &QAction::triggered, this,
                [this, run, open = std::move(openSpectrum)] { open(this, run); });
    }

    connect(parts_.gridOn, &QPushButton::clicked, this, &GraphForm::Command2_Click);
    connect(parts_.gridOff, &QPushButton::clicked, this, &GraphForm::Command3_Click);
    connect(parts_.strip, &QCustomPlot::mouseMove, this, &GraphForm::Strip1_MouseMove);
}

void GraphForm::Command2_Click() {
    kx::SetChartGrid(parts_.strip, true);
}

void GraphForm::Command3_Click() {
    kx::SetChartGrid(parts_.strip, false);
}

// The readout snaps to the read number under the mouse and shows that read's code; it keeps its
// last values when the mouse stops or leaves the plot.
void GraphForm::Strip1_MouseMove(QMouseEvent* event) {
    const QPointF at = event->position();
    if (run_.empty() || !parts_.strip->axisRect()->rect().contains(at.toPoint())) return;
    const int read = kx::NearestReadNumber(parts_.strip->xAxis->pixelToCoord(at.x()),
                                           static_cast<int>(run_.size()));
    parts_.ShowValues(
        QString::fromStdString(kx::FormatGeneral(read)),
        QString::fromStdString(kx::FormatGeneral(run_[static_cast<size_t>(read - 1)])));
}
