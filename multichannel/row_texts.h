#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "multichannel/multi_state.h"

// What the multi-channel screen says beside each row's controls: the update rate of its filter
// word, its code in volts, and why a greyed control is greyed. Plain C++.

namespace kx::multi {

// The update rate a filter box's text sets with chopping as the screen found it (its least
// filter word, 13, means chopping on): "19.79 Hz"; empty for a text that is no filter word the
// read would take.
std::string FilterRateText(std::string_view text, int16_t minFilterWord);

// A code in volts at the range and coding of an ADC control byte and a reference, to the LSB:
// "1.2345678 V", "-12.345679 mV"; empty for the time-out marker.
std::string CodeVoltsText(int32_t code, int32_t adcControl, float referenceVolts);

// Why a row's check box is greyed: the row it cannot be read together with that is checked
// ("AIN1 - AIN2 is selected: a pair and its halves are not read together"). Empty while it is
// free.
std::string CheckGreyedReason(int row, const CheckStates& checked);

// Why a row's range, filter, polarity and data boxes are greyed: its check box is clear.
std::string ControlsGreyedReason(int row);

}  // namespace kx::multi
