#pragma once

#include <cstdint>

#include "registers.h"

// The status register (read only): bit 7 RDY, 5 CAL, 3 ERR, 0 LOCK; bits 6, 4, 2, 1 unnamed.

namespace kx::status {

// A Register set up for the status register: read 0x40, 8 bits, no write byte.
Register StatusRegister();

// One read of the status register.
int16_t ReadStatus(Register& status);

}  // namespace kx::status
