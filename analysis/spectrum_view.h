#pragma once

#include <optional>
#include <span>
#include <string>
#include <vector>

#include "analysis/noise_stats.h"
#include "board/board_link.h"
#include "maths/spectrum.h"

// What the Spectrum window shows of a run: the noise spectral density and the figures read from
// it. Plain data and texts, so the window can be shown (and tested) with any spectrum.

namespace kx {

using SpectrumSpur = spectrum::Spur;
using SpectrumTone = spectrum::Tone;

struct SpectrumView {
    double rateHz = 0;   // update rate the run was taken at
    int segment = 0;     // points per Welch segment
    std::string window;  // "hann" or "blackman-harris"
    // One row per frequency bin, 0 to half the update rate.
    std::vector<double> frequencyHz;
    std::vector<double> nsdNvPerRtHz;
    double whiteNsdNvPerRtHz = 0;      // median density over the band
    std::vector<SpectrumSpur> spurs;   // the largest first, at most five
    std::optional<SpectrumTone> tone;  // nullopt: no tone stands clear
};

// The update rate the converter on the link is set to: the filter word under the chop state of the
// mode register, both read through Register, as the filter screen computes it. nullopt when the
// filter register reads 0 (no rate; the filter screen reports that as a failed read).
std::optional<double> BoardUpdateRate(BoardLink& link);

// The spectrum of a run of codes taken at rateHz, in volts by the scaling: the density with the
// default segment and the Hann window, and its figures. nullopt, with a one-line reason in error,
// for a run the spectrum refuses (fewer than 64 codes, a failed read in it).
std::optional<SpectrumView> ComputeRunSpectrum(std::span<const int32_t> codes, double rateHz,
                                               const Scaling& scaling, std::string& error);

// The spectrum of an analysed run at its own update rate, scaled as the noise analysis scaled it
// (else by its own ADC control register). What the run does not know of itself is asked of the
// board on the link: the rate it is set to, its ADC control register. nullopt, with the message for
// the user in error, when no rate is known or the run is refused.
std::optional<SpectrumView> AnalysedRunSpectrum(const AnalysedRun& run, BoardLink& board,
                                                std::string& error);

// One figure beside the chart: the value label's object name, its caption and its text.
struct SpectrumFigure {
    std::string name;
    std::string caption;
    std::string value;
};

// Update rate, segment and window, white-noise level, the five spurs (empty text for a spur
// that is not there), then the tone ("no tone" when none) and SNR, THD ("below the noise" when no
// harmonic stands clear of it), SINAD, SFDR, ENOB of the tone and ENOB referred to full scale
// (empty without a tone).
std::vector<SpectrumFigure> SpectrumFigures(const SpectrumView& view);

// The row the cursor snaps to: the bin nearest to hz on the log-frequency axis, among bins above
// 0 Hz; -1 when there is none.
int NearestSpectrumRow(const SpectrumView& view, double hz);

// The density for a report ("Copy Data"): a heading line, then frequency and density per bin,
// tab-separated, each line ending in a line feed.
std::string SpectrumText(const SpectrumView& view);

// Numbers as the window shows them: four significant digits, no exponent below 1e6 ("0.07731",
// "19.79", "1365").
std::string SpectrumNumber(double value);

}  // namespace kx
