#pragma once

#include "board/board_link.h"

// The two ways of resetting the converter from the port.

namespace kx {

// Pulls the board's reset line low for one port write, then returns the lines to idle.
void HardwareReset(BoardLink& link);

// Resets the converter through its serial interface: 32 clock pulses with data in held high,
// idle, then registers 12 and 13 cleared.
void SoftwareReset(BoardLink& link);

}  // namespace kx
