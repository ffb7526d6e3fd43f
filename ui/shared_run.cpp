#include "ui/shared_run.h"

#include <algorithm>

#include "board/registers.h"
#include "converter/adc_control_fields.h"
#include "core/globals.h"

namespace kx {

namespace {

// The last run published: what it knows of itself (registers, rate, when, board) goes with its
// codes for as long as the globals still hold them.
Run& Published() {
    static Run run;
    return run;
}

}  // namespace

Run SharedRun() {
    Run run;
    const size_t held = SampleBuffer.empty() ? 0 : SampleBuffer.size() - 1;
    const size_t n = std::min(static_cast<size_t>(std::max<int>(CodeCount, 0)), held);
    run.codes.reserve(n);
    for (size_t i = 1; i <= n; ++i)
        run.codes.push_back(RoundHalfEven(SampleBuffer[i]));
    if (run.codes == Published().codes) {
        std::vector<int32_t> codes = std::move(run.codes);
        run = Published();
        run.codes = std::move(codes);
    }
    run.referenceVolts = ReferenceVoltage;
    return run;
}

void PublishRun(const Run& run, size_t slots) {
    const size_t n = std::min<size_t>(run.codes.size(), INT16_MAX);
    // A fresh buffer, never a resized one: element 0 is no sample and stays 0.
    SampleBuffer = std::vector<double>(std::max(n, std::min<size_t>(slots, INT16_MAX)) + 1, 0.0);
    std::copy_n(run.codes.begin(), n, SampleBuffer.begin() + 1);
    CodeCount = static_cast<int16_t>(n);
    ReferenceVoltage = run.referenceVolts;
    Published() = run;
    Published().codes.resize(n);
}

void PublishReference(float volts) {
    ReferenceVoltage = volts;
}

void PublishRange(int rangeCode) {
    InputRange = adc::RangeVolts(rangeCode);
}

void PublishPolarity(bool unipolar) {
    Polarity = unipolar ? 1 : 2;
}

void PublishScaling(const Scaling& scaling) {
    InputRange = scaling.inputRange();
    Polarity = scaling.polarity();
}

void PublishExtremes(int32_t minCode, int32_t maxCode) {
    MinCode = minCode;
    MaxCode = maxCode;
}

}  // namespace kx
