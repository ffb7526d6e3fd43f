#pragma once

#include <cstddef>
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
    int segments = 0;  // segments averaged, overlapping by half
    double binHz = 0;  // rateHz / segment
    std::vector<double> nvPerRtHz;

    double hz(size_t bin) const { return static_cast<double>(bin) * binHz; }
};

// Welch's method: each code times lsbVolts; segments of `segment` points overlapping by half,
// each with its mean removed and windowed; |FFT|^2 / (rate * sum(w^2)), doubled except at DC and
// Nyquist, averaged over the segments; the square root in nV/sqrt(Hz). nullopt, with a one-line
// reason in error, for fewer than MinCodes codes, a segment outside MinSegment..count, a rate or
// LSB size that is not a positive number, or a run holding the time-out marker (-2147483648).
std::optional<Density> WelchDensity(std::span<const double> codes, double lsbVolts, double rateHz,
                                    const WelchOptions& options, std::string& error);

// The density as rows for a CSV file or a chart, DC included.
struct DensityRow {
    double hz;
    double nvPerRtHz;
};
std::vector<DensityRow> DensityRows(const Density& density);

// The white-noise level: the median of the density over the band (DC bins left out), corrected
// for the few percent by which the median of an averaged periodogram lies below its mean.
double WhiteLevel(const Density& density);

// A local peak of the density clearly above the local noise (the median of the bins around it)
// and above the bins just below it, so that drift rising towards DC is none: neighbouring bins
// above the noise are one spur. A spur within two main lobes of DC is not told from drift. Its
// amplitude is the power above the noise under its bins; its frequency the centre of that power.
struct Spur {
    double hz = 0;
    double uvRms = 0;
};

// The largest spurs, largest first, at most `count`.
std::vector<Spur> LargestSpurs(const Density& density, size_t count = 5);

// The data-sheet figures of a test tone, from one Blackman-Harris windowed transform of the whole
// run: the tone is the largest bin from two main lobes (12 bins) above DC (a tone closer to DC is
// not told from drift), its power that of its main lobe; harmonics 2 to 6 are taken where they
// alias into the band; noise is every other bin except the DC bins, with the tone's bins filled
// at the noise's mean. THD and SFDR are in dBc (THD negative). THD is -infinity only when every
// harmonic falls on DC or the tone.
struct Tone {
    double hz = 0;
    double uvRms = 0;
    double snrDb = 0;
    double thdDb = 0;
    double sinadDb = 0;
    double sfdrDb = 0;
    double enob = 0;  // (SINAD - 1.76) / 6.02
};

// nullopt when no tone stands clear of the noise (its peak bin would be reached by noise alone
// with a chance below one in a thousand per run), or for a run the density refuses.
std::optional<Tone> ToneFigures(std::span<const double> codes, double lsbVolts, double rateHz);

// Everything at once, as the command-line tool and the Spectrum window show it.
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

}  // namespace kx::spectrum
