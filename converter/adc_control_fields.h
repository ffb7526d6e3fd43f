#pragma once

#include <array>
#include <cstdint>
#include <string>

// The ADC control register's fields and tables, shared by every screen that selects a channel,
// a range or a coding: bits 7..4 channel code, bit 3 unipolar, bits 2..0 range code.

namespace kx::adc {

inline constexpr int32_t ChannelMask = 0xF0;
inline constexpr int32_t UnipolarBit = 0x08;
inline constexpr int32_t RangeMask = 0x07;

inline int ChannelCode(int32_t value) {
    return (value >> 4) & 0x0F;
}
inline int RangeCode(int32_t value) {
    return value & RangeMask;
}
inline bool IsUnipolar(int32_t value) {
    return (value & UnipolarBit) != 0;
}

// Polarity global's coding: 1 unipolar, 2 bipolar.
inline int16_t PolarityOf(int32_t value) {
    return IsUnipolar(value) ? 1 : 2;
}

// Nominal input range of a range code in volts (20 mV doubling up to 2.56 V), the same as the
// single-precision value InputRange holds (0.02f ... 2.56f), and the converter's gain for it (128
// at 20 mV down to 1 at 2.56 V).
double NominalRangeVolts(int rangeCode);
float RangeVolts(int rangeCode);
int RangeGain(int rangeCode);

// A range's span as the screens write it: "20 mV" ... "640 mV", "1.28 V", "2.56 V".
std::string RangeSpan(int rangeCode);

// Range captions: "± 20 mV", "± 1.28 V" (bipolar) or "0 - 20 mV", "0 - 1.28 V" (unipolar).
// "±" is U+00B1, returned in UTF-8.
std::string RangeCaption(int rangeCode, bool unipolar);

// Channel captions by channel code; codes 12, 14 and 15 name other inputs when CHCON is set.
std::string ChannelCaption(int channelCode, bool chcon);

}  // namespace kx::adc
