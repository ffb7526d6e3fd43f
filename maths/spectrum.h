#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

// The noise spectrum of a run of codes: the noise spectral density by Welch's method, and the
// figures an engineer reads from it (white-noise level, spurs, and the data-sheet figures of a
// test tone). Plain C++ on FFTW3, no Qt. The update rate and the size of one code step come from
// the caller. Any thread may call these; FFTW's planner is guarded inside.

namespace kx::spectrum {

enum class Window { Hann, BlackmanHarris };

// "hann" and "blackman-harris"; nullopt for any other name.
std::optional<Window> ParseWindow(std::string_view name);
std::string WindowName(Window window);

// Fewest codes a spectrum is made from, and the shortest segment accepted.
inline constexpr size_t MinCodes = 64;
inline constexpr int MinSegment = 16;

// The largest power of two not above count / 4, at least 64.
int DefaultSegment(size_t count);

struct WelchOptions {
    Window window = Window::Hann;
    int segment = 0;  // points per segment, MinSegment..count; 0: DefaultSegment(count)
};

// One-sided noise spectral density, bin k at k * binHz, from 0 to rateHz / 2.
struct Density {
    double rateHz = 0;
    Window window = Window::Hann;
    int segment = 0;   // points per segment
    int segments = 0;  // segments averaged, overlapping by segment / 2 (rounded down)
    double binHz = 0;  // rateHz / segment
    std::vector<double> nvPerRtHz;

    double hz(size_t bin) const { return static_cast<double>(bin) * binHz; }
};

// Welch's method: each code times lsbVolts; segments of `segment` points overlapping by half a
// segment rounded down (as scipy.signal.welch does), each with its mean removed and windowed;
// |FFT|^2 / (rate * sum(w^2)), doubled except at DC and Nyquist, averaged over the segments; the
// square root in nV/sqrt(Hz). nullopt, with a one-line reason in error, for fewer than MinCodes
// codes, a segment outside MinSegment..count, a rate or LSB size that is not a positive number, or
// a run holding the time-out marker (-2147483648).
std::optional<Density> WelchDensity(std::span<const double> codes, double lsbVolts, double rateHz,
                                    const WelchOptions& options, std::string& error);
// The same of codes as a run holds them, without a copy in double precision.
std::optional<Density> WelchDensity(std::span<const int32_t> codes, double lsbVolts, double rateHz,
                                    const WelchOptions& options, std::string& error);

// The density as rows for a CSV file or a chart, DC included.
struct DensityRow {
    double hz;
    double nvPerRtHz;
};
std::vector<DensityRow> DensityRows(const Density& density);

// A stretch of the density that belongs to a known component (a tone and its skirt, one of its
// harmonics): left out of the noise; a tone's band is no spur, a harmonic's at most one.
struct Band {
    double lowHz = 0;
    double highHz = 0;
    bool spur = false;  // may be reported as a spur
};

// The white-noise level: the median of the density over the band (DC bins and the bands left
// out), corrected for the few percent by which the median of an averaged periodogram lies below
// its mean. NaN when the bands leave no bin.
double WhiteLevel(const Density& density, std::span<const Band> leftOut = {});

// A local peak of the density clearly above the local noise (the median of the bins around it)
// and above the bins just below it, so that drift rising towards DC is none: neighbouring bins
// above the noise are one spur. A spur within two main lobes of DC is not told from drift. Its
// amplitude is the power above the noise under its bins; its frequency the centre of that power.
struct Spur {
    double hz = 0;
    double uvRms = 0;
};

// The largest spurs, largest first, at most `count`; bins in a band are searched only as one spur
// of that band.
std::vector<Spur> LargestSpurs(const Density& density, size_t count = 5,
                               std::span<const Band> bands = {});

// The span of codes of the 24-bit converter, the full scale ENOB is referred to.
inline constexpr double FullScaleCodes = 16777216.0;

// A tone is reported only when its power stands this far above the noise in one bin of the
// whole run's transform (rate / codes wide): 20 dB.
inline constexpr double ToneMarginDb = 20.0;

// The data-sheet figures of a test tone, from one windowed transform of the whole run. The window
// is the narrowest of Hann, 4-term and 7-term Blackman-Harris whose side lobes lie 10 dB below the
// noise in a bin for the peak found (the 7-term, near -180 dB, for a strong tone on a 24-bit
// converter), so that no leakage counts as noise. The tone is the largest bin from two main lobes
// above DC (a tone closer to DC is not told from drift); its power is that of its main lobe and
// the skirt where its leakage still shows, less the noise there; harmonics 2 to 6 are taken where
// they alias into the band and count when they stand clear of the noise. The noise is the mean of
// every other bin (DC bins left out) over the whole band: bins of DC, the tone and the harmonics
// are counted at that mean, not dropped. THD and SFDR are in dBc (THD negative, -infinity when no
// harmonic stands clear of the noise).
struct Tone {
    double hz = 0;
    double uvRms = 0;
    double snrDb = 0;
    double thdDb = 0;
    double sinadDb = 0;
    double sfdrDb = 0;
    double enob = 0;  // of the tone: (SINAD - 1.76) / 6.02
    // Referred to full scale: log2(full scale / (RMS noise and distortion x sqrt 12)).
    double enobFullScale = 0;
};

// nullopt when no tone stands clear of the noise (its peak bin would be reached by noise alone
// with a chance above one in a thousand per run, or its power is less than ToneMarginDb above the
// noise in one bin), or for a run the density refuses.
std::optional<Tone> ToneFigures(std::span<const double> codes, double lsbVolts, double rateHz);
std::optional<Tone> ToneFigures(std::span<const int32_t> codes, double lsbVolts, double rateHz);

// Everything at once, as the command-line tool and the Spectrum window show it: the white level
// and the spurs with the tone and its harmonics taken out of the noise, no spur in the tone's
// main lobe or skirt (the tone itself is none).
struct Figures {
    double whiteNvPerRtHz = 0;
    std::vector<Spur> spurs;  // at most five, largest first
    std::optional<Tone> tone;
};
struct Spectrum {
    Density density;
    Figures figures;
};
std::optional<Spectrum> AnalyseSpectrum(std::span<const double> codes, double lsbVolts,
                                        double rateHz, const WelchOptions& options,
                                        std::string& error);
// The same of codes as a run holds them.
std::optional<Spectrum> AnalyseSpectrum(std::span<const int32_t> codes, double lsbVolts,
                                        double rateHz, const WelchOptions& options,
                                        std::string& error);
// The same, the codes freed once the whole run's transform holds them: 10^7 codes then need about
// 180 MB at most (the transform in place and its plan), not the codes besides.
std::optional<Spectrum> AnalyseSpectrum(std::vector<int32_t>&& codes, double lsbVolts,
                                        double rateHz, const WelchOptions& options,
                                        std::string& error);

}  // namespace kx::spectrum
