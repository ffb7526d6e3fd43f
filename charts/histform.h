#pragma once

#include "analysis/histogram.h"
#include "analysis/noise_stats.h"
#include "charts/chart_screen.h"
#include "ui/screen_util.h"

class QMouseEvent;

// The histogram: how often each code from the smallest to the largest the noise analysis found
// occurs in a run.
class HistForm : public kx::ScreenDialog {
    Q_OBJECT
public:
    // The volts axis follows the analysis's scaling (none without one); shows the busy pointer
    // while it counts and draws.
    explicit HistForm(const kx::AnalysedRun& run, QWidget* parent = nullptr);

private:
    void Command2_Click();
    void Command3_Click();
    void Strip1_MouseMove(QMouseEvent* event);

    kx::CodeHistogram histogram_;
    kx::ChartScreenParts parts_;
};
