#include "analysis/spectrum_view.h"

namespace kx {

// PLACEHOLDER until the spectrum library lands.
SpectrumView ComputeRunSpectrum(const std::vector<double>& codes, double rateHz,
                                const noise::Scaling& scaling) {
    (void)codes;
    (void)scaling;
    SpectrumView view;
    view.rateHz = rateHz;
    return view;
}

}  // namespace kx
