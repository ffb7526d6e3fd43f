#pragma once

#include <cstddef>
#include <cstdint>
#include <nlohmann/json_fwd.hpp>

#include "analysis/noise_stats.h"
#include "maths/spectrum.h"

// The figures of an analysis as named values: what kx3105-cli prints with --json and the Python
// module returns, built in one place so that both faces give the same keys and the same numbers.
// A figure that does not exist (a run of equal codes has no effective resolution) is null.

namespace kx::figures {

// The noise analysis's label texts: ref_voltage, lsb_size, input_range, codes_read,
// rms_noise_codes, average_code, code_span, max_code, min_code, rms_noise, pk_pk_noise,
// average_value.
nlohmann::json AnalysisLabels(const noise::NoiseTexts& texts);

// Its numbers in base units, the LSB in double precision: codes, timeouts (markers of failed
// reads left out of the statistics), mean_code, rms_codes, rms_codes_whole, peak_to_peak_codes,
// min_code, max_code, lsb_volts, rms_volts, peak_to_peak_volts, mean_volts, range_volts (what the
// codes span at the reference: 1.28 at 1.25 V on the 2.56 V range), bipolar, ref_volts,
// effective_resolution_bits, noise_free_bits. `count` codes analysed with the ADC control byte
// and reference given.
nlohmann::json AnalysisValues(const noise::NoiseAnalysis& analysis, size_t count,
                              int32_t adcControl, float referenceVolts);

// The whole analysis as kx3105-cli analyse --json prints it: {"labels": AnalysisLabels,
// "values": AnalysisValues}, of the analysis's own count and scaling.
nlohmann::json Analysis(const noise::NoiseAnalysis& analysis);

// The spectrum's figures: rate_hz, segment, window, white_nsd_nv_per_rthz, spurs (hz, uv_rms,
// largest first) and tone (hz, uv_rms, snr_db, thd_db, sinad_db, sfdr_db, enob,
// enob_full_scale; null when no tone stands clear of the noise).
nlohmann::json SpectrumFigures(const spectrum::Spectrum& spectrum);

}  // namespace kx::figures
