#pragma once

#include <cstdint>

#include "board/board_link.h"

// Waiting for an on-chip calibration to finish: the converter holds its data-ready line high
// while it calibrates. The ready line is polled directly on the status register, never through
// the serial routines, so no clock edge reaches the converter while it works.

// Counted polls that may still find the line high; the next one that does ends the wait.
inline constexpr int32_t CalibrationPollLimit = 500000;

// Polls the status register at the link's port + 1 until bit 6 reads 0. True when it did; false
// when poll number CalibrationPollLimit + 1 still found it high (the caller reports the failure).
// The link's stop request ends the wait at its next poll, also with false. `pollsUsed`, when
// given, receives the number of status reads made.
bool WaitForCalibration(kx::BoardLink& link, int32_t* pollsUsed = nullptr);
