#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "acquisition/run.h"
#include "acquisition/sweep_point.h"
#include "board/board_link.h"
#include "maths/allan.h"

// The figures of a data-sheet noise sweep and of a drift log, and the steps that take them on
// the board: the point programmed by the acquisition layer (ProgramSweepPoint), the codes read
// through its one capture loop (ReadCodes), the figures from the noise statistics. They return
// figures only; printing is the caller's. Each looks at a stop flag between codes, so a signal
// handler can end a long run.

namespace kx::characterise {

// The update rate in hertz of a filter word under a mode register value (its CHOP bit), as the
// filter screen computes it; nullopt for filter word 0, which sets no rate.
std::optional<double> UpdateRateOf(int32_t modeValue, int32_t filterWord);

using SweepSetting = kx::SweepSetting;

struct SweepRow {
    double rateHz = 0;
    int filterWord = 0;
    int rangeCode = 0;
    bool unipolar = false;
    int codes = 0;
    double meanCode = 0;
    double rmsCodes = 0;  // sample standard deviation, exact
    double rmsMicrovolts = 0;
    double pkPkMicrovolts = 0;
    // log2(2^24 / rmsCodes) and log2(2^24 / (max - min)); none when the run does not vary.
    std::optional<double> effectiveResolutionBits;
    std::optional<double> noiseFreeBits;
};

enum class StepResult { Done, ProgrammingFailed, TimedOut, Stopped };

struct SweepOutcome {
    StepResult result = StepResult::Done;
    std::string message;          // the message shown, when a register or a read failed
    std::optional<SweepRow> row;  // with Done
};

// Captures the point: its settings written (a mismatch shown in the register screen's words and
// the point abandoned; settings the converter refuses are a failure named by their refusal),
// continuous conversion, `settle` results discarded, then `count` codes. A time-out shows
// "Error Reading Data from KX3105". `stop` is looked at before every code; `progress` (may be
// empty) is called after every captured code. `codes` (may be null) is a buffer the caller has
// reserved for setting.count codes, so that a sweep asks for its memory once, before the first
// point; without it the point reserves its own.
SweepOutcome SweepPoint(BoardLink& link, const SweepSetting& setting, const std::atomic<bool>& stop,
                        const std::function<void(int read, int count)>& progress = {},
                        std::vector<int32_t>* codes = nullptr);

// The row's figures from captured codes (a sweep point's last step, on its own for callers that
// have the codes already).
SweepRow SweepFigures(std::span<const int32_t> codes, const SweepSetting& setting);

// One line of a drift log. A failed read ends the line early, with the read's message as its
// status (shown nowhere else: the log goes on); the figures then cover the codes read before.
struct LogLine {
    allan::Clock::time_point time;   // when the line's first read began
    int codes = 0;                   // codes averaged
    std::optional<double> meanCode;  // none without a code
    std::optional<double> volts;     // the mean code as input voltage
    std::optional<double> rmsCodes;  // sample standard deviation; none below two codes
    std::string status;              // "ok" or the message
};

// What bounds a line besides its stop flag: a buffer the caller reserved for the line's codes
// (a long log asks for its memory once), and a time by which the line must be complete.
struct LineLimits {
    std::vector<int32_t>* codes = nullptr;
    std::optional<std::chrono::steady_clock::time_point> until;
};

// Reads `average` codes (at least 1) and averages them; volts from the scaling (the noise
// analysis's, Scaling::Shown): bipolar code 0x800000 is 0 V. nullopt when `stop` was set, or the
// time `limits.until` passed, before the line was complete.
std::optional<LogLine> TakeLogLine(BoardLink& link, int average, const Scaling& scaling,
                                   const std::atomic<bool>& stop, const LineLimits& limits = {});

}  // namespace kx::characterise
