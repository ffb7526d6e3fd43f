#pragma once

#include <cstdint>

#include "board/board_link.h"

#include "converter/adc_control_fields.h"
#include "converter/mode_logic.h"

// Changing the ADC control register's fields (channel, coding, range; see adc_control_fields.h)
// and what the control screen reads of the mode register.

namespace kx::control {

inline constexpr const char* ProgramError = ProgrammingErrorLower;

// The ADC control register read straight over the serial link (0x42, then 8 bits), as the noise
// analysis reads it on opening: the byte taken as it comes.
int32_t ReadDirect(BoardLink& link);

inline bool ChconSet(int32_t modeValue) {
    return (modeValue & mode::ChconBit) != 0;
}

inline int32_t WithChannel(int32_t value, int channelCode) {
    return (value & 0x0F) | ((channelCode & 0x0F) << 4);
}
inline int32_t WithRange(int32_t value, int rangeCode) {
    return (value & 0xF8) | (rangeCode & adc::RangeMask);
}
inline int32_t WithUnipolar(int32_t value, bool unipolar) {
    return unipolar ? (value | adc::UnipolarBit) : (value & 0xF7);
}

}  // namespace kx::control
