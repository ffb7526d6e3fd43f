#include "converter/adc_control_fields.h"

#include "core/numtext.h"

namespace kx::adc {

namespace {
constexpr std::array<const char*, 16> Channels{
    "AIN1 - AINCOM", "AIN2 - AINCOM",   "AIN3 - AINCOM",       "AIN4 - AINCOM",
    "AIN5 - AINCOM", "AIN6 - AINCOM",   "AIN7 - AINCOM",       "AIN8 - AINCOM",
    "AIN1 - AIN2",   "AIN3 - AIN4",     "AIN5 - AIN6",         "AIN7 - AIN8",
    "AIN2 - AIN2",   "AINCOM - AINCOM", "REFIN(+) - REFIN(-)", "OPEN - OPEN"};
}  // namespace

// The one place the ranges are written: 20 mV at code 0, doubling with each code (the gain
// halving) to code 7.
double NominalRangeVolts(int rangeCode) {
    return 0.02 * (1 << (rangeCode & RangeMask));
}

std::string RangeSpan(int rangeCode) {
    const double volts = NominalRangeVolts(rangeCode);
    if (volts < 1) return ShortestFloat(static_cast<float>(volts * 1000)) + " mV";
    return FormatPattern(volts, "0.00") + " V";
}

float RangeVolts(int rangeCode) {
    return static_cast<float>(NominalRangeVolts(rangeCode));
}

int RangeGain(int rangeCode) {
    return 128 >> (rangeCode & RangeMask);
}

std::string RangeCaption(int rangeCode, bool unipolar) {
    return std::string(unipolar ? "0 - " : "\u00B1 ") + RangeSpan(rangeCode);
}

std::string ChannelCaption(int channelCode, bool chcon) {
    channelCode &= 0x0F;
    if (chcon) {
        if (channelCode == 12) return "AIN9 - AIN10";
        if (channelCode == 14) return "AIN9 - AINCOM";
        if (channelCode == 15) return "AIN10 - AINCOM";
    }
    return Channels[static_cast<size_t>(channelCode)];
}

}  // namespace kx::adc
