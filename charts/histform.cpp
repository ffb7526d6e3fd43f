#include "charts/histform.h"

#include <qcustomplot.h>

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>

#include "charts/chart_interaction.h"
#include "core/numtext.h"

namespace {

// The narrowest view of the code axis: four bins, so that whole ticks remain.
constexpr double LeastBins = 4;

QString Number(double value) {
    return QString::fromStdString(kx::FormatGeneral(value));
}

}  // namespace

HistForm::HistForm(const kx::AnalysedRun& run, QWidget* parent)
    : ScreenDialog(parent), run_(run), codes_(kx::CodesAsDoubles(run.run.codes)) {
    kx::BusyPointer busy;
    setObjectName(QStringLiteral("HistForm"));
    setWindowTitle(QStringLiteral("KX3105 Evaluation Software -  Histogram of Data"));
    parts_ = kx::BuildChartScreen(
        this, QStringLiteral("Occurence"), QStringLiteral("Code"),
        [this] {
            return chart_.bins.width == 1 ? kx::HistogramText(chart_.table)
                                          : kx::BinnedText(chart_.bins);
        },
        QStringLiteral("histogram.png"), [this] { return kx::RunConditions(run_); });
    stats_ = kx::noise::ComputeNoiseStatistics(run.run.codes);

    // Our own controls beside the readout: the width of a bin and the Gaussian.
    auto* caption = kx::NamedLabel("BinWidthLabel", QStringLiteral("Bin &width:"), this);
    binWidth_ = new QComboBox(this);
    binWidth_->setObjectName(QStringLiteral("BinWidthCombo"));
    caption->setBuddy(binWidth_);
    binWidth_->addItem(QStringLiteral("Auto"), qlonglong{0});
    const int64_t span = int64_t{run.maxCode} - run.minCode + 1;
    for (int64_t width = 1; width <= kx::MaxBinWidth; width *= 2) {
        binWidth_->addItem(QString::number(width), qlonglong{width});
        if (width >= span) break;  // one bin holds the whole run
    }
    gaussian_ = new QCheckBox(QStringLiteral("&Gaussian"), this);
    gaussian_->setObjectName(QStringLiteral("GaussianCheck"));
    gaussian_->setToolTip(
        QStringLiteral("A normal distribution of the run's mean and standard "
                       "deviation over the bars"));
    parts_.tools->addWidget(caption);
    parts_.tools->addWidget(binWidth_);
    parts_.tools->addSpacing(12);
    parts_.tools->addWidget(gaussian_);

    Build(0);

    connect(binWidth_, &QComboBox::currentIndexChanged, this, &HistForm::BinWidth_Change);
    connect(gaussian_, &QCheckBox::toggled, this, &HistForm::Gaussian_Click);
    connect(parts_.gridOn, &QPushButton::clicked, this, &HistForm::Command2_Click);
    connect(parts_.gridOff, &QPushButton::clicked, this, &HistForm::Command3_Click);
    connect(parts_.strip, &QCustomPlot::mouseMove, this, &HistForm::Strip1_MouseMove);
}

void HistForm::Build(int64_t width) {
    kx::BusyPointer busy;
    const bool grid = parts_.strip->xAxis->grid()->visible();
    // The last drawing's full view would hold the new ranges inside it.
    kx::DropChartNavigation(parts_.strip);
    chart_ = kx::SetupHistogram(parts_.strip, codes_, run_.minCode, run_.maxCode, width);
    if (run_.scaling) kx::AddVoltsAxis(parts_.strip->xAxis, *run_.scaling);
    kx::ShowGaussian(parts_.strip, chart_, stats_.averageCode, stats_.rmsExactCodes, codes_.size(),
                     gaussian_->isChecked());
    kx::SetChartGrid(parts_.strip, grid);
    kx::EnableChartNavigation(parts_.strip, LeastBins * static_cast<double>(chart_.bins.width), 1);
    kx::HideEndCaptionsWhenZoomed(parts_.strip, true, {3, 4});
    parts_.ShowValues({}, {});
    const QString auto_ = QStringLiteral("Auto (%1)").arg(chart_.bins.width);
    binWidth_->setItemText(0, auto_);
    binWidth_->setAccessibleName(QStringLiteral("Bin width %1 codes").arg(chart_.bins.width));
    parts_.strip->replot();
}

void HistForm::BinWidth_Change() {
    Build(binWidth_->currentData().toLongLong());
}

// Drawn afresh: the count axis may grow to the curve's peak, and that is the full view then.
void HistForm::Gaussian_Click() {
    BinWidth_Change();
}

void HistForm::Command2_Click() {
    kx::SetChartGrid(parts_.strip, true);
}

void HistForm::Command3_Click() {
    kx::SetChartGrid(parts_.strip, false);
}

// The readout snaps to the bin under the mouse: its code (its first and last code when it holds
// several), and how many samples it holds (0 for an empty bin). It keeps its last values when
// the mouse stops or leaves the plot.
void HistForm::Strip1_MouseMove(QMouseEvent* event) {
    const QPointF at = event->position();
    const kx::BinnedHistogram& bins = chart_.bins;
    if (bins.BinCount() == 0 || !parts_.strip->axisRect()->rect().contains(at.toPoint())) return;
    const int64_t code =
        kx::NearestCode(parts_.strip->xAxis->pixelToCoord(at.x()), run_.minCode, run_.maxCode);
    const int64_t first = bins.BinStart(code);
    const QString codes = bins.width == 1
                              ? Number(static_cast<double>(code))
                              : QStringLiteral("%1 to %2").arg(first).arg(first + bins.width - 1);
    parts_.ShowValues(Number(bins.CountAt(code)), codes);
}
