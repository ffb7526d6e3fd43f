#pragma once

#include <functional>
#include <vector>

#include "analysis/noise_stats.h"
#include "charts/chart_screen.h"
#include "ui/screen_util.h"

class QMouseEvent;

// The noise plot: a run as code against read number, on the code range the noise analysis found.
class GraphForm : public kx::ScreenDialog {
    Q_OBJECT
public:
    using SpectrumOpener = std::function<void(QWidget* parent, const kx::AnalysedRun& run)>;

    // The volts axis follows the analysis's scaling (none without one). openSpectrum, when
    // given, is the "&Spectrum" entry of the right-click menu.
    explicit GraphForm(const kx::AnalysedRun& run, SpectrumOpener openSpectrum = {},
                       QWidget* parent = nullptr);

private:
    void Command2_Click();
    void Command3_Click();
    void Strip1_MouseMove(QMouseEvent* event);

    std::vector<double> run_;  // the codes drawn, read number 1 first
    kx::ChartScreenParts parts_;
};
