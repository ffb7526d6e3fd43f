#pragma once

#include <cstdint>

#include "board/registers.h"

// The mode field (low three bits of the Mode register) as the menus test it before opening a
// screen: 3 is continuous conversion, 0 power-down.

namespace kx {

bool IsContinuousConversion(int32_t modeRegister);
bool IsPowerDown(int32_t modeRegister);
// The Mode register value that selects continuous conversion and keeps the upper five bits.
int32_t WithContinuousConversion(int32_t modeRegister);

// "Read Data": reads the Mode register through `mode` (set up afresh for it, on its link); when the
// converter is not converting continuously, asks whether to make it so and, on Yes, writes the mode
// field without a read-back. True when the data-reading screen may open.
bool ContinuousConversionGate(Register& mode);

// "Program Filter Register": the filter screen opens only while the converter is powered down.
// Reads the Mode register through `mode` (read byte and width only); refuses with a warning.
bool PowerDownGate(Register& mode);

}  // namespace kx
