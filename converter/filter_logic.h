#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "board/registers.h"
#include "converter/mode_logic.h"

// The filter word SF and the output update rate it sets. The rate depends on the chop state
// (bit 7 of the mode register set = chopping disabled): chopping divides the rate by three.
// Shared by the filter screen and the multi-channel screens.

namespace kx {

inline constexpr int MaxFilterWord = 0xFF;

// Mode register bit 7 (CHOP) is set when chopping is disabled.
inline bool ChopEnabledIn(int32_t modeValue) {
    return (modeValue & mode::ChopBit) == 0;
}

// 1 with chopping disabled, 3 with it enabled.
int ChopDivisor(bool chopEnabled);
// Smallest filter word accepted from a filter-word entry: 0x0D enabled, 0x03 disabled.
int MinFilterWord(bool chopEnabled);
// Whole-hertz limits on a rate entry: 5..105 enabled, 16..1365 disabled.
int MinRate(bool chopEnabled);
int MaxRate(bool chopEnabled);
// The message for a rate outside those limits.
std::string RangePrompt(bool chopEnabled);

// Update rate in Hz of filter word sf: (32768 / (8 * sf)) / divisor, in double precision.
// sf must be at least 1.
double UpdateRate(int sf, bool chopEnabled);

// Filter word for a whole-hertz rate: floor(32768 / (divisor * 8 * rate)), kept to 3..255.
// rate must be at least 1.
int FilterWordForRate(int rate, bool chopEnabled);

// The rates of the slowest and the fastest filter word a chop state allows (255 and
// MinFilterWord): 5.354 to 105.03 Hz enabled, 16.06 to 1365.33 Hz disabled.
double SlowestRate(bool chopEnabled);
double FastestRate(bool chopEnabled);

// The filter word (MinFilterWord..255) whose update rate is nearest `hz`: 19.79 Hz is 0x45
// (19.787 Hz) with chopping enabled, 100 Hz is 0x29 (99.90 Hz) with it disabled. Scripts ask
// for rates this way; the filter screen keeps its whole-hertz entry.
int NearestFilterWord(double hz, bool chopEnabled);

// A filter-word entry: hexadecimal digits, empty meaning 0. Out-of-range words are clamped to
// MinFilterWord..255 after their message. nullopt for text that is not hexadecimal or does not
// fit a 32-bit signed number (nothing is shown then; the screen empties the field).
std::optional<int> FilterWordFromEntry(std::string_view text, bool chopEnabled);

// An update-rate entry in hertz, rounded to a whole number (halves to even); a rate outside the
// limits is clamped after the range prompt. Returns the filter word for it, or nullopt for text
// that is not a number or whose rate does not fit 16 bits.
std::optional<int> FilterWordFromRateEntry(std::string_view text, bool chopEnabled);

// Writes word to the filter register, lets the display read it (showBits), then reads it back.
// True when the read-back equals the word.
bool ProgramFilterWord(Register& filter, int word, const std::function<void()>& showBits);

}  // namespace kx
