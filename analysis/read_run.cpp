#include "analysis/read_run.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>

#include "acquisition/read_codes.h"
#include "board/registers.h"
#include "core/messages.h"
#include "core/numtext.h"

namespace kx::run {

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

AnalysisReadEnd ReadForAnalysis(int requested, const std::atomic<bool>& stop,
                                std::vector<int32_t>& codes,
                                const std::function<void(int stored)>& progress) {
    codes.clear();
    if (requested < 1) return AnalysisReadEnd::Done;
    codes.reserve(static_cast<size_t>(requested));
    const ReadResult read = ReadCodes(requested, {}, stop, [&](int32_t code) {
        codes.push_back(code);
        progress(static_cast<int>(codes.size()));
        // A stop that came while the word was clocked in keeps that code.
        return !stop.load(std::memory_order_relaxed);
    });
    switch (read.end) {
        case ReadEnd::Done:
            return AnalysisReadEnd::Done;
        case ReadEnd::TimedOut:
            ShowMessage(ReadErrorMessage);
            return AnalysisReadEnd::TimedOut;
        case ReadEnd::Stopped:
            break;
    }
    ShowMessage(InterruptionMessage, Icon::Warning);
    return AnalysisReadEnd::Interrupted;
}

void ReadForDisplay(const std::atomic<bool>& stop, const std::function<bool(int32_t code)>& show) {
    if (ReadCodes(UntilStopped, {}, stop, show).end == ReadEnd::TimedOut)
        ShowMessage(ReadErrorMessage);
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
