#pragma once

#include <cstdint>
#include <functional>

#include "adc_control_fields.h"
#include "register_update.h"
#include "registers.h"

// Changing the ADC control register's fields (channel, coding, range; see adc_control_fields.h)
// and what the control screen reads of the mode register.

namespace kx::control {

inline constexpr const char* ProgramError = "Error programming KX3105";

// A Register set up for the ADC control register: write 2, read 66, 8 bits.
Register ControlRegister();

// The mode register read straight over the serial link (0x41, then 8 bits), as the control
// screen does once to name its channels.
int32_t ReadModeDirect();
inline bool ChconSet(int32_t modeValue) {
    return (modeValue & 0x10) != 0;
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

// Read, change, write, read back; warns with ProgramError when the read-back differs.
RegisterUpdate Program(Register& control, const std::function<int32_t(int32_t before)>& change);

}  // namespace kx::control
