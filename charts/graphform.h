#pragma once

#include <functional>
#include <vector>

#include "charts/chart_screen.h"
#include "ui/screen_util.h"

class QMouseEvent;

// The noise plot: the run in the shared sample buffer as code against read number, on the code
// range the noise analysis left in MinCode and MaxCode.
class GraphForm : public kx::ScreenDialog {
    Q_OBJECT
public:
    // Reads SampleBuffer, CodeCount, MinCode and MaxCode as they stand, and the volts axis from
    // the scaling the noise analysis left. openSpectrum, when given, is the "&Spectrum" entry of
    // the right-click menu.
    explicit GraphForm(QWidget* parent = nullptr);
    explicit GraphForm(std::function<void(QWidget*)> openSpectrum, QWidget* parent = nullptr);

private:
    void Command2_Click();
    void Command3_Click();
    void Strip1_MouseMove(QMouseEvent* event);

    std::vector<double> run_;  // the codes drawn, read number 1 first
    kx::ChartScreenParts parts_;
};
