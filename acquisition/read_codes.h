#pragma once

#include <atomic>
#include <cstdint>
#include <functional>

#include "acquisition/run.h"
#include "board/board_link.h"

// The loop under every capture: conversion results read from the data register through ReadData
// on a board's link, one after the other, each handed on as it comes. Faces capture through
// acquisition/capture.h, which writes the settings first; the read screen and the multi-channel
// pass, whose board traffic is the program's own, read through it directly. It shows and prints
// nothing: how a read ended is its result, and each caller words it.

namespace kx {

struct ReadSettings {
    // Mode field 3 (continuous conversion) is written first when the converter is in another
    // mode, the other mode bits kept, without a read-back, as the "Read Data" gate writes it.
    bool continuous = false;
    // Results read and dropped before the first one handed on: the filter settling after a change.
    int settle = 0;
};

enum class ReadEnd {
    Done,      // every code asked for was handed on
    TimedOut,  // the converter never became ready (ReadyPollLimit status reads): no code for it
    Stopped,   // the stop flag was set, a stop ended the wait on the ready line, or onCode said so
};

struct ReadResult {
    ReadEnd end = ReadEnd::Done;
    int64_t codes = 0;  // codes handed on
};

// Read without end, until a stop, a time-out or onCode ends it.
inline constexpr int64_t UntilStopped = -1;

// A stop flag that is never set, for a caller whose stop is its own affair.
inline constinit const std::atomic<bool> NeverStopped{false};

// Called with each code as it is read; false ends the read after this code (Stopped).
using CodeSink = std::function<bool(int32_t code)>;

// Reads `count` codes (or UntilStopped), looking at `stop` before each one. A code whose wait on
// the ready line a stop ended (StoppedMarker) is no code and is not handed on.
ReadResult ReadCodes(BoardLink& link, int64_t count, const ReadSettings& settings,
                     const std::atomic<bool>& stop, const CodeSink& onCode);

// An empty run as the board is set to take it: its mode, ADC control and filter registers read
// from the board, the update rate they set, the reference given, the board and now. A capture
// fills in the codes.
Run RunAsSetNow(BoardLink& link, float referenceVolts);

// Writes mode field 3 when the mode register holds another mode (no read-back). True when it
// had to.
bool EnsureContinuousConversion(BoardLink& link);

}  // namespace kx
