#pragma once

#include "analysis/spectrum_view.h"
#include "charts/chart_screen.h"
#include "ui/screen_util.h"

class QMouseEvent;

// The Spectrum window: the noise spectral density of a run on log-log axes, the figures read from
// it beside the chart, a cursor readout, and Save Image / Copy Data on the right-click menu.
class SpectrumForm : public kx::ScreenDialog {
    Q_OBJECT
public:
    // conditions: the caption a saved image carries (none when empty).
    explicit SpectrumForm(kx::SpectrumView view, QWidget* parent = nullptr,
                          QString conditions = QString());

    const kx::SpectrumView& view() const { return view_; }

private:
    void Command2_Click();
    void Command3_Click();
    void Strip1_MouseMove(QMouseEvent* event);

    kx::SpectrumView view_;
    kx::ChartScreenParts parts_;
};

namespace kx {

// Opens the Spectrum window of an analysed run over parent, modally, with the busy pointer while
// it computes; a warning instead when the board gives no update rate ("Error Reading from
// KX3105") or the run gives no spectrum ("No spectrum: " and the reason).
void OpenSpectrum(QWidget* parent, const AnalysedRun& run);

}  // namespace kx
