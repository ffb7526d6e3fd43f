#pragma once

#include <atomic>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "acquisition/read_codes.h"
#include "acquisition/run.h"
#include "acquisition/settings.h"
#include "board/registers.h"

// What the SCPI commands need of the board, one call per action, each run whole on the thread
// that owns the board. The board behind it is opened and held as kx3105-cli holds it
// (acquisition/board.h); tests put a board of their own behind it. Plain C++.

namespace kx::server {

// A board action that did not take: the screens' words ("Error Programming KX3105"); empty when
// it took.
using Failure = std::string;

// What came of a settings change: refused by the rule book (nothing written), or failed.
struct ApplyOutcome {
    std::optional<SettingRefusal> refusal;
    Failure failure;
};

struct ReadOutcome {
    ReadEnd end = ReadEnd::Done;
    Failure failure;  // why a read failed: it timed out, or its start did not take
    Run setAs;        // the run as the board was set to take it: registers, rate, reference
};

class Instrument {
public:
    virtual ~Instrument() = default;

    // "SIMULATED" on the simulated board; "0" where the board has no serial number to give.
    virtual std::string Serial() const = 0;

    // The hardware reset: the converter's registers back to their power-on values.
    virtual Failure Reset() = 0;
    // Whether a board answers at all (a floating bus reads all ones).
    virtual bool Answers() = 0;

    // The settings written as the rule book checks them, each read back.
    virtual ApplyOutcome Apply(const ConverterSettings& settings) = 0;
    virtual int32_t ReadRegister(const RegisterInfo& info) = 0;
    // Writes and reads back.
    virtual Failure WriteRegister(const RegisterInfo& info, uint32_t value) = 0;

    // Captures up to `count` codes into `codes` as every face captures (continuous conversion
    // switched on first when it is not, the filter settled after a write); `stop` is looked at
    // between codes and ends waits on the ready line.
    virtual ReadOutcome ReadCodes(int64_t count, const std::atomic<bool>& stop,
                                  std::vector<int32_t>& codes) = 0;

    // An on-chip calibration, mode code 4 (internal zero) to 7 (system full), waited for.
    virtual Failure Calibrate(int modeCode) = 0;

    // The reference voltage the board's codes are scaled by (the voltage on its REFIN): the
    // board's, so every client scales alike.
    float Reference() const { return reference_.load(); }
    void SetReference(float volts) { reference_.store(volts); }

    // The board thread takes the board over before its first job and flushes its trace after
    // each; the stop flag is the one each job's waits look at.
    virtual void TakeOver(const std::atomic<bool>* /*stop*/) {}
    virtual void HandBack() {}
    virtual void FlushTrace() {}

private:
    std::atomic<float> reference_{DefaultReferenceVolts};
};

}  // namespace kx::server
