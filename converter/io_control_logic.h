#pragma once

#include <cstdint>

#include "converter/register_update.h"

// The I/O control register: bits 5/4 the directions of P2/P1 (1 = output), bits 1/0 their
// levels (written for an output, reported for an input). Bits 7, 6, 3, 2 are kept as read.

namespace kx::io {

inline constexpr int32_t P2Dir = 0x20;
inline constexpr int32_t P1Dir = 0x10;
inline constexpr int32_t P2Dat = 0x02;
inline constexpr int32_t P1Dat = 0x01;

// The eight option buttons of the I/O control screen.
enum class Choice { P1In, P1Out, P2In, P2Out, P1High, P1Low, P2High, P2Low };

// The register value after a choice, from the value just read.
int32_t NewValue(Choice choice, int32_t old);

// The bits a written value decides: all but the level bit of a pin it makes an input, which
// reads back the level on the pin (a pin driven high and switched to input may read low).
int32_t DecidedBits(int32_t written);

// Whether the read-back after a choice is as it should be: equal in the bits the write decides.
// Switching a pin to input may also read 0x03 back, which is accepted.
bool ReadBackAccepted(Choice choice, const RegisterUpdate& update);

// Choices after which the directions are shown afresh (and with them the input levels).
bool RefreshesDirections(Choice choice);

// One read of the register and the change a choice makes: read, form, write, read back.
RegisterUpdate Apply(Register& io, Choice choice);

}  // namespace kx::io
