#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <optional>

#include "acquisition/read_codes.h"
#include "acquisition/run.h"
#include "acquisition/settings.h"
#include "board/board_link.h"

// The one capture procedure of every face: from the settings as a value to a run. The settings
// are written and read back, the converter put into continuous conversion, the results the
// filter gives while it settles after a write dropped, the run as set described, then the codes
// read, each with its time as n / rate. The read screen, the Live View, kx3105-cli's capture,
// sweep, log and scan, the Python module and the instrument server all capture through it, so the
// same request gives the same codes and times on every face. Plain C++; it shows only the
// register screens' message of a read-back that differs, through the message service.

namespace kx {

// The most codes one capture takes: the tool's, the module's and the instrument's limit.
inline constexpr int64_t MaxCaptureCount = 10'000'000;

// Results dropped after a settings write while the digital filter settles.
inline constexpr int SettleResults = 3;

struct CaptureRequest {
    int64_t count = 0;  // codes, or UntilStopped
    // Written first, each read back; referenceVolts is the run's reference (else the default).
    ConverterSettings settings;
    // Mode field 3 written first when the converter is in another mode.
    bool continuous = true;
    // The run's registers read before the first code (its settings, rate and board).
    bool describe = true;
    // Results dropped before the first code; by default SettleResults when a register was written.
    std::optional<int> settle;
    // Each code's time handed on (else 0): a caller that keeps no times spares the clock.
    bool timed = true;
};

struct CaptureOutcome {
    // The run as set: its registers, rate, reference, start and board (its codes went to the
    // sink).
    Run setAs;
    ReadEnd end = ReadEnd::Done;
    int64_t codes = 0;
    // The settings were refused before anything was written (nothing read).
    std::optional<SettingRefusal> refusal;
    // False when a write did not read back (its message was shown; nothing read).
    bool programmed = true;
    // What a rate chose: the filter word and the rate it gives.
    std::optional<int> filterWord;
    std::optional<double> rateHz;

    bool started() const { return !refusal && programmed; }
};

// Seconds from the first code of a capture to each code's conversion, in whole update periods:
// the board's own clock where it has one (the simulated board's), else the PC's as each code
// came, so a conversion the read missed still counts. Without a rate, the clock as it is.
class ConversionTimes {
public:
    ConversionTimes(const BoardLink& link, std::optional<double> rateHz);
    double Next();

private:
    const BoardLink& link_;
    std::optional<double> rateHz_;
    std::optional<double> first_;
};

// A request that writes nothing and reads nothing but the data register: the converter as the
// caller left it (the read screen after the "Read Data" gate, a multi-channel slot, a drift-log
// line after the log's start).
CaptureRequest DataOnly(int64_t count);

// Called once the settings are written and the run described, before the first code.
using CaptureStart = std::function<void(const Run& setAs)>;
// Called with each code and its time; false ends the capture after this code (Stopped).
using CaptureSink = std::function<bool(int32_t code, double seconds)>;

// Captures on the board's link, looking at `stop` before each code and in every wait on the
// ready line. The link must be owned by the calling thread.
CaptureOutcome Capture(BoardLink& link, const CaptureRequest& request,
                       const std::atomic<bool>& stop, const CaptureStart& onStart,
                       const CaptureSink& onCode);

}  // namespace kx
