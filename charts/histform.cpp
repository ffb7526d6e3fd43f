#include "charts/histform.h"

#include <qcustomplot.h>

#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>

#include "charts/chart_interaction.h"
#include "charts/chart_setup.h"
#include "core/numtext.h"

HistForm::HistForm(const kx::AnalysedRun& run, QWidget* parent) : ScreenDialog(parent) {
    kx::BusyPointer busy;
    setObjectName(QStringLiteral("HistForm"));
    setWindowTitle(QStringLiteral("KX3105 Evaluation Software -  Histogram of Data"));
    parts_ = kx::BuildChartScreen(
        this, QStringLiteral("Occurence"), QStringLiteral("Code"),
        [this] { return kx::HistogramText(histogram_); }, QStringLiteral("histogram.png"));
    const std::vector<double> codes = kx::CodesAsDoubles(run.run.codes);
    histogram_ = kx::SetupHistogram(parts_.strip, codes, run.minCode, run.maxCode);
    if (run.scaling) kx::AddVoltsAxis(parts_.strip->xAxis, *run.scaling);
    kx::EnableChartNavigation(parts_.strip);

    connect(parts_.gridOn, &QPushButton::clicked, this, &HistForm::Command2_Click);
    connect(parts_.gridOff, &QPushButton::clicked, this, &HistForm::Command3_Click);
    connect(parts_.strip, &QCustomPlot::mouseMove, this, &HistForm::Strip1_MouseMove);
}

void HistForm::Command2_Click() {
    kx::SetChartGrid(parts_.strip, true);
}

void HistForm::Command3_Click() {
    kx::SetChartGrid(parts_.strip, false);
}

// The readout snaps to the bin under the mouse: its code, and how often it occurs (0 for a bin no
// sample hits). It keeps its last values when the mouse stops or leaves the plot.
void HistForm::Strip1_MouseMove(QMouseEvent* event) {
    const QPointF at = event->position();
    if (histogram_.BinCount() == 0 || !parts_.strip->axisRect()->rect().contains(at.toPoint()))
        return;
    const int64_t code = kx::NearestCode(parts_.strip->xAxis->pixelToCoord(at.x()),
                                         histogram_.minCode, histogram_.maxCode);
    parts_.label4->setText(QString::fromStdString(kx::FormatGeneral(static_cast<double>(code))));
    parts_.label3->setText(QString::fromStdString(kx::FormatGeneral(histogram_.CountOf(code))));
}
