#include "acquisition/sweep_point.h"

#include "converter/control_logic.h"

namespace kx {

int32_t SweepSetting::adcControl() const {
    return control::WithUnipolar(
        control::WithRange(control::WithChannel(0, channelCode), rangeCode), unipolar);
}

ConverterSettings SweepSetting::settings() const {
    ConverterSettings s;
    s.channel = channelCode;
    s.range = rangeCode;
    s.unipolar = unipolar;
    s.filter = filterWord;
    s.chop = chopEnabled;
    s.referenceVolts = referenceVolts;
    return s;
}

}  // namespace kx
