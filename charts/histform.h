#pragma once

#include "maths/histogram.h"
#include "analysis/noise_stats.h"
#include "charts/chart_screen.h"
#include "charts/chart_setup.h"
#include "ui/screen_util.h"

class QCheckBox;
class QComboBox;
class QMouseEvent;

// The histogram: how often each code from the smallest to the largest the noise analysis found
// occurs in a run; codes are gathered into wider bins where the span is too wide for one bin
// each, and a Gaussian of the run's mean and deviation can be laid over the bars.
class HistForm : public kx::ScreenDialog {
    Q_OBJECT
public:
    // The volts axis follows the analysis's scaling (none without one); shows the busy pointer
    // while it counts and draws.
    explicit HistForm(const kx::AnalysedRun& run, QWidget* parent = nullptr);

    // The bin width the chart shows now.
    int64_t binWidth() const { return chart_.bins.width; }

private:
    void Command2_Click();
    void Command3_Click();
    void Strip1_MouseMove(QMouseEvent* event);
    void BinWidth_Change();
    void Gaussian_Click();
    // Draws the histogram again at the chosen width (0: automatic).
    void Build(int64_t width);

    kx::AnalysedRun run_;
    std::vector<double> codes_;
    kx::noise::NoiseStatistics stats_;
    kx::HistogramChart chart_;
    kx::ChartScreenParts parts_;
    QComboBox* binWidth_ = nullptr;
    QCheckBox* gaussian_ = nullptr;
};
