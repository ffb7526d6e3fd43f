#pragma once

#include <cstdint>

#include "board/board_link.h"

// The bit-level serial link to the converter, driven on the printer port's data register
// (bit 0 data in, bit 1 reset line, bit 3 serial clock, bit 4 held high) and read on its status
// register (bit 4 data out, bit 6 data ready, low = ready), at the port address given on a
// board's link. Words travel most significant bit first. The routines allocate nothing and insert
// no delay: they run in the tight read loops.

// The result of a conversion read whose data-ready wait ran out; no word of 24 bits equals it.
inline constexpr int32_t TimeoutMarker = INT32_MIN;

// The result of a conversion read whose wait on the ready line was stopped (the link's stop
// request): the word is still clocked in, so the converter's interface ends the transaction it was
// told of, but it is no code and is dropped.
inline constexpr int32_t StoppedMarker = INT32_MIN + 1;

// Status reads before ReadSerialWhenReady gives up.
inline constexpr int32_t ReadyPollLimit = 100000;

// Clocks out the low `bits` bits of value to the data register at port.
void WriteSerial(kx::BoardLink& link, int32_t value, int16_t port, int16_t bits);

// Clocks in `bits` bits and returns them as an unsigned number in the low bits.
int32_t ReadSerial(kx::BoardLink& link, int16_t bits, int16_t port);

// Waits for data ready (at most ReadyPollLimit status reads), then reads as ReadSerial does;
// TimeoutMarker when ready never came, StoppedMarker when the link's stop request ended the wait.
int32_t ReadSerialWhenReady(kx::BoardLink& link, int16_t bits, int16_t port);
