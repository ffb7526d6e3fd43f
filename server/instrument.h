#pragma once

#include <atomic>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "acquisition/read_codes.h"
#include "board/registers.h"

// What the SCPI commands need of the board, one call per action, each run whole on the thread
// that owns the port. The board behind it is chosen, opened and checked as kx3105-cli does it
// (acquisition/board.h); tests put a board of their own behind it. Plain C++.

namespace kx::server {

// A board action that did not take: the screens' words ("Error Programming KX3105"); empty when
// it took.
using Failure = std::string;

// One change of the converter's settings, as CONFigure gives it; each written with a read-back.
struct SettingChange {
    std::optional<int> channelCode;  // ADC control bits 7..4
    std::optional<int> rangeCode;    // ADC control bits 2..0
    std::optional<bool> unipolar;
    std::optional<int> filterWord;
    std::optional<bool> chopEnabled;
};

struct ReadOutcome {
    ReadEnd end = ReadEnd::Done;
    Failure failure;  // why a read timed out
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

    virtual Failure Apply(const SettingChange& change) = 0;
    virtual int32_t ReadRegister(const RegisterInfo& info) = 0;
    // Writes and reads back.
    virtual Failure WriteRegister(const RegisterInfo& info, uint32_t value) = 0;

    // Reads up to `count` codes into `codes`, putting the converter into continuous conversion
    // first when it is not; `stop` is looked at between codes and ends waits on the ready line.
    virtual ReadOutcome ReadCodes(int64_t count, const std::atomic<bool>& stop,
                                  std::vector<int32_t>& codes) = 0;

    // An on-chip calibration, mode code 4 (internal zero) to 7 (system full), waited for.
    virtual Failure Calibrate(int modeCode) = 0;
};

}  // namespace kx::server
