#pragma once

#include <QString>
#include <functional>

#include "analysis/noise_stats.h"
#include "ui/screen_util.h"

class QLabel;

namespace kx {

// How the noise analysis opens the plot, the histogram and the spectrum of the run it analysed;
// an empty opener leaves its button disabled.
struct NoiseOpeners {
    std::function<void(QWidget*parent, const AnalysedRun&run)> graph, histogram, spectrum;
};

}  // namespace kx

// The noise analysis of a run: reads the converter's range and polarity on opening, computes the
// statistics and shows them in codes and in volts. It leaves InputRange, Polarity, MaxCode and
// MinCode as the old program did.
class NoiseForm : public kx::ScreenDialog {
    Q_OBJECT
public:
    explicit NoiseForm(kx::Run run, kx::NoiseOpeners openers = {}, QWidget* parent = nullptr);

    // What the screen computed when it opened.
    const kx::noise::NoiseAnalysis& analysis() const { return analysis_; }
    // The run with what the analysis found, as the openers get it.
    const kx::AnalysedRun& analysed() const { return analysed_; }

    // A value label and the caption a screen reader speaks with it.
    struct Row {
        QLabel* value = nullptr;
        QString caption;
    };

private:
    void ShowNoiseResults();

    kx::NoiseOpeners openers_;
    kx::noise::NoiseAnalysis analysis_;
    kx::AnalysedRun analysed_;
    Row ref_, lsb_, range_, codes_, rmsLsb_, average_, span_, max_, min_, rms_, pkPk_, avValue_;
    Row exactRmsLsb_, exactRms_, effectiveResolution_, noiseFree_, exactMean_;
};
