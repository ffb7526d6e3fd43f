#pragma once

#include "analysis/histogram.h"
#include "charts/chart_screen.h"
#include "ui/screen_util.h"

class QMouseEvent;

// The histogram: how often each code from MinCode to MaxCode occurs in the shared sample buffer.
class HistForm : public kx::ScreenDialog {
    Q_OBJECT
public:
    // Reads SampleBuffer, CodeCount, MinCode and MaxCode as they stand, and the volts axis from
    // the scaling the noise analysis left; shows the busy pointer
    // while it counts and draws.
    explicit HistForm(QWidget* parent = nullptr);

private:
    void Command2_Click();
    void Command3_Click();
    void Strip1_MouseMove(QMouseEvent* event);

    kx::CodeHistogram histogram_;
    kx::ChartScreenParts parts_;
};
