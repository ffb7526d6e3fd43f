// libFuzzer target for the drift-log reader: any bytes give a refusal naming its line, or a series
// on the log's clock whose counts agree with each other and whose readings are finite volts
// within the converter's span.

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "maths/allan.h"

using namespace kx::allan;

namespace {

void Check(bool condition) {
    if (!condition) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    std::string error;
    const auto series = ParseDriftLog(text, error);
    if (!series) {
        Check(!error.empty());
        return 0;
    }
    Check(error.empty());
    Check(std::isfinite(series->tau0) && series->tau0 > 0);
    Check(series->readings >= 3);
    size_t placed = 0;
    for (const double volts : series->volts) {
        if (std::isnan(volts)) continue;
        Check(std::fabs(volts) <= MaxReadingVolts);
        ++placed;
    }
    Check(placed == series->readings);
    Check(series->volts.size() == series->readings + series->failed + series->missing);
    if (series->gaps == 0) Check(series->missing == 0);

    // The deviation of what was read: finite, positive terms. (A log with a gap of millions of
    // intervals is read as quickly as any; its deviation is left out to keep the pace.)
    if (series->volts.size() <= 65536)
        for (const AllanPoint& point : OverlappingDeviation(series->volts, series->tau0))
            Check(std::isfinite(point.deviation) && point.deviation >= 0);

    // Each time the reader takes is written back as a time it takes again.
    const auto first = text.find('\n');
    if (first != std::string_view::npos) {
        const auto line = text.substr(first + 1, text.find(',', first + 1) - first - 1);
        if (const auto time = ParseLogTime(line))
            Check(ParseLogTime(FormatLogTime(*time)).has_value());
    }
    return 0;
}
