#include "analysis/read_run.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>

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

AnalysisRead::AnalysisRead(int requestedCount)
    : requested_(requestedCount < 1 ? 0 : requestedCount) {
    RecreateRun(requested_);
    finished_ = requested_ == 0;
}

ReadStep AnalysisRead::Step(ReadData& reader, bool keepReading) {
    // The run may only be filled while it is the buffer this read created.
    if (finished_ || static_cast<size_t>(read_) + 1 >= SampleBuffer.size()) {
        finished_ = true;
        return ReadStep::Done;
    }
    const int32_t code = reader.Read();
    if (code == TimeoutMarker) {
        // The failed slot is not a code: the run ends at the codes actually read.
        finished_ = true;
        ShowMessage(ReadErrorMessage);
        return ReadStep::TimedOut;
    }
    ++read_;
    SampleBuffer[static_cast<size_t>(read_)] = code;
    CodeCount = static_cast<int16_t>(read_);
    if (!keepReading) {
        finished_ = true;
        ShowMessage(InterruptionMessage, Icon::Warning);
        return ReadStep::Interrupted;
    }
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
