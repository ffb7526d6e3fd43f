#include "acquisition/run.h"

#include <algorithm>

#include "board/serial.h"
#include "converter/adc_control_fields.h"

namespace kx {

std::optional<int> Run::channel() const {
    if (!adcControl) return std::nullopt;
    return adc::ChannelCode(*adcControl);
}

size_t Run::timeouts() const {
    return static_cast<size_t>(std::count(codes.begin(), codes.end(), TimeoutMarker));
}

std::vector<double> CodesAsDoubles(std::span<const int32_t> codes) {
    return {codes.begin(), codes.end()};
}

Scaling Scaling::Of(int32_t adcControl, float referenceVolts) {
    Scaling s;
    s.rangeCode = adc::RangeCode(adcControl);
    s.unipolar = adc::IsUnipolar(adcControl);
    s.referenceVolts = referenceVolts;
    s.lsbVolts =
        static_cast<double>(referenceVolts) * 1.024 * s.polarity() / (s.gain() * CodesInFullScale);
    return s;
}

Scaling Scaling::Shown(int32_t adcControl, float referenceVolts) {
    Scaling s = Of(adcControl, referenceVolts);
    s.lsbVolts = static_cast<float>(s.lsbVolts);
    return s;
}

int Scaling::gain() const {
    return adc::RangeGain(rangeCode);
}

float Scaling::inputRange() const {
    return adc::RangeVolts(rangeCode);
}

double Scaling::nominalRangeVolts() const {
    return adc::NominalRangeVolts(rangeCode);
}

double Scaling::fullScaleVolts() const {
    return 1.024 * referenceVolts / gain();
}

std::optional<Scaling> ScalingOf(const Run& run) {
    if (!run.adcControl) return std::nullopt;
    return Scaling::Of(*run.adcControl, run.referenceVolts);
}

}  // namespace kx
