#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "board/registers.h"

// The two 24-bit calibration registers (zero-scale, full-scale) as the calibration screen shows
// and programs them. The converter takes new values only in power-down mode.

namespace kx::cal {

inline constexpr int32_t MaxValue = 0xFFFFFF;

inline constexpr const char* PowerDownMessage =
    "The KX3105 must be placed in Power-Down Mode to program the Calibration Registers";
inline constexpr const char* MismatchMessage =
    "An Error has occurred , The Register may not be programmed correctly";

// Reads the mode register through `mode` (read byte and width set); true in power-down mode.
// Otherwise shows the power-down message and returns false.
bool PowerDownCheck(Register& mode);

// A typed value: one to eight hexadecimal digits, either case, nothing else. Values above
// FFFFFF become FFFFFF. nullopt for anything unreadable, and for eight digits from 80000000 up,
// which do not fit a signed 32-bit number.
std::optional<int32_t> ParseEntry(std::string_view text);

// Six upper-case hex digits, zero-padded: 1A2B -> "001A2B".
std::string HexText(int32_t value);

// Writes value and reads it back; true when the 24 bits read equal it. Shows the mismatch
// message otherwise.
bool Program(Register& reg, int32_t value);

}  // namespace kx::cal
