#include "multichannel/row_texts.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <utility>

#include "acquisition/run.h"
#include "board/serial.h"
#include "converter/filter_logic.h"
#include "core/numtext.h"

namespace kx::multi {

std::string FilterRateText(std::string_view text, int16_t minFilterWord) {
    const auto word = ParseHex(text);
    if (!word || *word > MaxFilterWord || static_cast<int64_t>(*word) < minFilterWord) return {};
    char rate[32];
    std::snprintf(rate, sizeof rate, "%.2f Hz",
                  UpdateRate(static_cast<int>(*word), minFilterWord >= 13));
    return rate;
}

std::string CodeVoltsText(int32_t code, int32_t adcControl, float referenceVolts) {
    if (code == TimeoutMarker) return {};
    const Scaling scaling = Scaling::Of(adcControl, referenceVolts);
    const double volts = scaling.CodeToVolts(code);
    const double size = std::fabs(volts);
    const auto [unit, name] = size < 1e-3 ? std::pair{1e-6, " uV"}
                              : size < 1  ? std::pair{1e-3, " mV"}
                                          : std::pair{1.0, " V"};
    const int decimals =
        std::clamp(static_cast<int>(std::ceil(-std::log10(scaling.lsbVolts / unit))), 0, 9);
    char text[64];
    std::snprintf(text, sizeof text, "%.*f", decimals, volts / unit);
    return text + std::string(name);
}

std::string CheckGreyedReason(int row, const CheckStates& checked) {
    const ChannelRow& r = ChannelTable[static_cast<size_t>(row)];
    for (const int partner : r.partners) {
        if (partner == NoRow || !checked[static_cast<size_t>(partner)]) continue;
        return RowCaption(partner) + " is selected: a pair and its halves are not read together";
    }
    return {};
}

std::string ControlsGreyedReason(int row) {
    return "Select " + RowCaption(row) + " to set its range, filter word and polarity";
}

}  // namespace kx::multi
