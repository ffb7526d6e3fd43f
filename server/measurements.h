#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "acquisition/run.h"

// The figures MEASure answers, as comma-separated numbers in a fixed order, from codes read and
// the registers they were read with: the same analysis as kx3105-cli analyse and spectrum.
// Plain C++.

namespace kx::server {

inline constexpr size_t MinNoiseCodes = 10;
inline constexpr size_t MinSpectrumCodes = 64;

// MEASure:NOISe?: codes, mean_code, rms_codes (sample standard deviation), peak_to_peak_codes,
// min_code, max_code, lsb_volts, rms_volts, peak_to_peak_volts, mean_volts,
// effective_resolution_bits, noise_free_bits (the last two 9.91E+37, not a number, for a run of
// equal codes). Scaled by the run's own range, polarity and reference.
std::string NoiseFigures(const Run& run);

// MEASure:SPECtrum?: rate_hz, white_nv_per_rthz, then the tone's tone_hz, tone_uv_rms, snr_db,
// thd_db, sinad_db, sfdr_db, enob and enob_full_scale (9.91E+37, not a number, where kx3105-cli
// spectrum --json writes null: no tone stands clear of the noise, or for THD no harmonic).
// nullopt with why when the spectrum cannot be made.
// At the run's own rate, in volts of its own range, polarity and reference.
std::optional<std::string> SpectrumFigures(const Run& run, std::string& why);

}  // namespace kx::server
