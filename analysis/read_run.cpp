#include "analysis/read_run.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>

#include "board/port.h"
#include "board/serial.h"
#include "core/globals.h"
#include "core/messages.h"
#include "core/numtext.h"

namespace kx::run {

void RecreateRun(int count) {
    // A fresh buffer, never a resized one: element 0 is no sample and stays 0.
    SampleBuffer = std::vector<double>(static_cast<size_t>(count < 1 ? 0 : count) + 1, 0.0);
    CodeCount = 0;
}

std::optional<int16_t> ParseCodeCount(std::string_view text) {
    const auto value = ParseDecimal(text);
    if (!value) return std::nullopt;
    const int32_t whole = RoundHalfEven(*value);
    if (whole < INT16_MIN || whole > INT16_MAX) return std::nullopt;
    return static_cast<int16_t>(whole);
}

std::optional<float> ParseReference(std::string_view text) {
    const auto value = ParseDecimal(text);
    if (!value) return std::nullopt;
    const auto rounded = ParseDecimal(FormatPattern(*value, "#.00"));
    // A value no single-precision number can hold is refused like text that is no number.
    if (!rounded || std::fabs(*rounded) > std::numeric_limits<float>::max()) return std::nullopt;
    return static_cast<float>(*rounded);
}

std::optional<int32_t> ParseDelay(std::string_view text) {
    const auto value = ParseDecimal(text);
    if (!value || *value > INT32_MAX) return std::nullopt;
    return std::max(0, RoundHalfEven(*value));
}

AnalysisRead::AnalysisRead(int requestedCount) : AnalysisRead(requestedCount, true) {}

AnalysisRead AnalysisRead::Private(int requestedCount) {
    return AnalysisRead(requestedCount, false);
}

AnalysisRead::AnalysisRead(int requestedCount, bool shared)
    : shared_(shared), requested_(requestedCount < 1 ? 0 : requestedCount) {
    if (shared_)
        RecreateRun(requested_);
    else
        own_.assign(static_cast<size_t>(requested_) + 1, 0.0);
    finished_ = requested_ == 0;
}

void AnalysisRead::Publish() const {
    if (shared_) return;
    SampleBuffer = own_;
    CodeCount = static_cast<int16_t>(read_);
}

ReadStep AnalysisRead::Step(ReadData& reader, bool keepReading) {
    // The run may only be filled while it is the buffer this read created.
    if (finished_ || static_cast<size_t>(read_) + 1 >= Run().size()) {
        finished_ = true;
        return ReadStep::Done;
    }
    return Store(reader.Read(), keepReading);
}

ReadStep AnalysisRead::StepUnlessStopped(ReadData& reader, bool stopRequested) {
    if (finished_ || static_cast<size_t>(read_) + 1 >= Run().size()) {
        finished_ = true;
        return ReadStep::Done;
    }
    if (stopRequested) return Interrupt();
    const int32_t code = reader.Read();
    if (code == StoppedMarker) return Interrupt();
    // A stop that came while the word was clocked in keeps that code.
    return Store(code, !WaitStopRequested());
}

ReadStep AnalysisRead::Interrupt() {
    finished_ = true;
    ShowMessage(InterruptionMessage, Icon::Warning);
    return ReadStep::Interrupted;
}

ReadStep AnalysisRead::Store(int32_t code, bool keepReading) {
    if (code == TimeoutMarker) {
        // The failed slot is not a code: the run ends at the codes actually read.
        finished_ = true;
        ShowMessage(ReadErrorMessage);
        return ReadStep::TimedOut;
    }
    ++read_;
    Run()[static_cast<size_t>(read_)] = code;
    if (shared_) CodeCount = static_cast<int16_t>(read_);
    if (!keepReading) return Interrupt();
    if (read_ == requested_) {
        finished_ = true;
        return ReadStep::Done;
    }
    return ReadStep::Continue;
}

}  // namespace kx::run

namespace kx {

namespace {

constexpr int MinAnalysedCodes = 10;
constexpr int MaxAnalysedCodes = 5000;

// The message says 9, although a run of 9 codes is refused.
const char* const RunLengthRefusal =
    "For Data Analysis the number of Codes read must be between 9 and 5000";

}  // namespace

bool RunLengthGate(int codeCount) {
    if (codeCount >= MinAnalysedCodes && codeCount <= MaxAnalysedCodes) return true;
    ShowMessage(RunLengthRefusal);
    return false;
}

}  // namespace kx
