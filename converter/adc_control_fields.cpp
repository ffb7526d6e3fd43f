#include "converter/adc_control_fields.h"

namespace kx::adc {

namespace {
constexpr std::array<const char*, 8> Spans{"20 mV",  "40 mV",  "80 mV",  "160 mV",
                                           "320 mV", "640 mV", "1.28 V", "2.56 V"};
constexpr std::array<const char*, 16> Channels{
    "AIN1 - AINCOM", "AIN2 - AINCOM",   "AIN3 - AINCOM",       "AIN4 - AINCOM",
    "AIN5 - AINCOM", "AIN6 - AINCOM",   "AIN7 - AINCOM",       "AIN8 - AINCOM",
    "AIN1 - AIN2",   "AIN3 - AIN4",     "AIN5 - AIN6",         "AIN7 - AIN8",
    "AIN2 - AIN2",   "AINCOM - AINCOM", "REFIN(+) - REFIN(-)", "OPEN - OPEN"};
}  // namespace

double NominalRangeVolts(int rangeCode) {
    return 0.02 * (1 << (rangeCode & RangeMask));
}

float RangeVolts(int rangeCode) {
    return static_cast<float>(NominalRangeVolts(rangeCode));
}

int RangeGain(int rangeCode) {
    return 128 >> (rangeCode & RangeMask);
}

std::string RangeCaption(int rangeCode, bool unipolar) {
    return std::string(unipolar ? "0 - " : "\u00B1 ") +
           Spans[static_cast<size_t>(rangeCode & RangeMask)];
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
