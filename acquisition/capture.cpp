#include "acquisition/capture.h"

#include <chrono>
#include <cmath>

#include "board/registers.h"
#include "converter/mode_gates.h"
#include "converter/register_update.h"
#include "core/messages.h"

namespace kx {

namespace {

double SteadySeconds() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

}  // namespace

ConversionTimes::ConversionTimes(const BoardLink& link, std::optional<double> rateHz)
    : link_(link), rateHz_(rateHz && *rateHz > 0 ? rateHz : std::nullopt) {}

double ConversionTimes::Next() {
    const double now = link_.backend().converterSeconds().value_or(SteadySeconds());
    if (!first_) first_ = now;
    const double seconds = now - *first_;
    if (!rateHz_) return seconds;
    return static_cast<double>(std::llround(seconds * *rateHz_)) / *rateHz_;
}

CaptureRequest DataOnly(int64_t count) {
    CaptureRequest request;
    request.count = count;
    request.continuous = false;
    request.describe = false;
    return request;
}

CaptureOutcome Capture(BoardLink& link, const CaptureRequest& request,
                       const std::atomic<bool>& stop, const CaptureStart& onStart,
                       const CaptureSink& onCode) {
    CaptureOutcome outcome;
    const AppliedSettings applied = ApplySettings(link, request.settings);
    outcome.refusal = applied.refusal;
    outcome.filterWord = applied.filterWord;
    outcome.rateHz = applied.rateHz;
    if (!applied.ok) {
        outcome.programmed = applied.refusal.has_value();
        return outcome;
    }
    const bool started = request.continuous && EnsureContinuousConversion(link);
    if (started) {
        // Read back, as every settings write is: a converter that did not take it would only
        // time out.
        Register mode = Register::For(link, RegisterMap::Mode);
        if (!IsContinuousConversion(ReadValue(mode))) {
            ShowMessage(ProgrammingError, Icon::Warning);
            outcome.programmed = false;
            return outcome;
        }
    }
    const float reference = request.settings.referenceVolts.value_or(DefaultReferenceVolts);
    if (request.describe) {
        outcome.setAs = RunAsSetNow(link, reference);
    } else {
        outcome.setAs.referenceVolts = reference;
        outcome.setAs.taken = std::chrono::system_clock::now();
        outcome.setAs.board = link.backend().describe();
    }
    if (onStart) onStart(outcome.setAs);
    ReadSettings read;
    read.settle = request.settle.value_or(applied.wrote || started ? SettleResults : 0);
    ConversionTimes times(link, outcome.setAs.rateHz);
    const ReadResult result =
        request.timed ? ReadCodes(link, request.count, read, stop,
                                  [&](int32_t code) { return onCode(code, times.Next()); })
                      : ReadCodes(link, request.count, read, stop,
                                  [&](int32_t code) { return onCode(code, 0.0); });
    outcome.end = result.end;
    outcome.codes = result.codes;
    return outcome;
}

}  // namespace kx
