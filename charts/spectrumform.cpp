#include "charts/spectrumform.h"

#include <qcustomplot.h>

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QVBoxLayout>

#include "board/program_port.h"
#include "charts/chart_interaction.h"
#include "charts/chart_setup.h"
#include "charts/spectrum_chart.h"
#include "core/messages.h"

namespace {

QString Text(const std::string& s) {
    return QString::fromStdString(s);
}

// The figures beside the chart, one caption and one value per row.
QGroupBox* FiguresFrame(const kx::SpectrumView& view, QWidget* parent) {
    QGroupBox* frame = kx::NamedFrame("Frame2", QStringLiteral("Figures"), parent);
    auto* grid = new QGridLayout(frame);
    int row = 0;
    for (const kx::SpectrumFigure& figure : kx::SpectrumFigures(view)) {
        const std::string base = figure.name.substr(0, figure.name.size() - 5);  // less "Label"
        QLabel* caption = kx::NamedLabel((base + "Caption").c_str(), Text(figure.caption), frame);
        QLabel* value = kx::NamedLabel(figure.name.c_str(), Text(figure.value), frame);
        value->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        value->setMinimumWidth(150);
        value->setTextInteractionFlags(Qt::TextSelectableByMouse);
        // A blank figure (no spur, no tone) still has a name for a screen reader.
        value->setAccessibleName(
            (figure.caption + " " + (figure.value.empty() ? "none" : figure.value)).c_str());
        caption->setBuddy(value);
        grid->addWidget(caption, row, 0);
        grid->addWidget(value, row, 1);
        ++row;
    }
    grid->setRowStretch(row, 1);
    return frame;
}

}  // namespace

SpectrumForm::SpectrumForm(kx::SpectrumView view, QWidget* parent, QString conditions)
    : ScreenDialog(parent), view_(std::move(view)) {
    setObjectName(QStringLiteral("SpectrumForm"));
    setWindowTitle(QStringLiteral("KX3105 Evaluation Software - Spectrum"));
    parts_ = kx::BuildChartScreen(
        this, QStringLiteral("Frequency (Hz)"), QStringLiteral("Density (nV/rtHz)"),
        [this] { return kx::SpectrumText(view_); }, QStringLiteral("spectrum.png"),
        conditions.isEmpty() ? std::function<QString()>()
                             : std::function<QString()>([conditions] { return conditions; }));
    kx::SetupSpectrumPlot(parts_.strip, view_);
    kx::EnableChartNavigation(parts_.strip);

    // The figures go beside the chart, which the shared screen puts on top.
    auto* layout = static_cast<QVBoxLayout*>(this->layout());
    layout->removeWidget(parts_.strip);
    auto* top = new QHBoxLayout;
    top->addWidget(parts_.strip, 1);
    top->addWidget(FiguresFrame(view_, this));
    layout->insertLayout(0, top, 1);

    connect(parts_.gridOn, &QPushButton::clicked, this, &SpectrumForm::Command2_Click);
    connect(parts_.gridOff, &QPushButton::clicked, this, &SpectrumForm::Command3_Click);
    connect(parts_.strip, &QCustomPlot::mouseMove, this, &SpectrumForm::Strip1_MouseMove);
}

// Grid on also brings back the minor lines a log axis needs to be read.
void SpectrumForm::Command2_Click() {
    kx::SetChartGrid(parts_.strip, true);
    parts_.strip->xAxis->grid()->setSubGridVisible(true);
    parts_.strip->yAxis->grid()->setSubGridVisible(true);
    parts_.strip->replot();
}

void SpectrumForm::Command3_Click() {
    parts_.strip->xAxis->grid()->setSubGridVisible(false);
    parts_.strip->yAxis->grid()->setSubGridVisible(false);
    kx::SetChartGrid(parts_.strip, false);
}

// The readout snaps to the bin nearest the mouse on the log-frequency axis; it keeps its last
// values when the mouse stops or leaves the plot.
void SpectrumForm::Strip1_MouseMove(QMouseEvent* event) {
    const QPointF at = event->position();
    if (!parts_.strip->axisRect()->rect().contains(at.toPoint())) return;
    const int row = kx::NearestSpectrumRow(view_, parts_.strip->xAxis->pixelToCoord(at.x()));
    if (row < 0) return;
    const auto i = static_cast<size_t>(row);
    parts_.ShowValues(Text(kx::SpectrumNumber(view_.frequencyHz[i])),
                      Text(kx::SpectrumNumber(view_.nsdNvPerRtHz[i])));
}

namespace kx {

void OpenSpectrum(QWidget* parent, const AnalysedRun& run) {
    std::optional<SpectrumView> view;
    std::string error;
    {
        kx::BusyPointer busy;
        view = AnalysedRunSpectrum(run, ProgramLink(), error);
    }
    if (!view) {
        ShowMessage(error, Icon::Warning);
        return;
    }
    // The caption names the rate the spectrum was figured at.
    AnalysedRun withRate = run;
    withRate.run.rateHz = view->rateHz;
    SpectrumForm form(std::move(*view), parent, RunConditions(withRate));
    form.exec();
}

}  // namespace kx
