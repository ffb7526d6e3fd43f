#include "acquisition/read_run.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>

#include "acquisition/capture.h"
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

AnalysisReadEnd ReadForAnalysis(BoardLink& link, int requested, const std::atomic<bool>& stop,
                                std::vector<int32_t>& codes,
                                const std::function<void(int stored)>& progress) {
    codes.clear();
    if (requested < 1) return AnalysisReadEnd::Done;
    codes.reserve(static_cast<size_t>(requested));
    const CaptureOutcome read =
        Capture(link, DataOnly(requested), stop, {}, [&](int32_t code, double) {
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

std::string ReadEndText(AnalysisReadEnd end, size_t kept, int requested) {
    const std::string ofRequested =
        std::to_string(kept) + " of " + std::to_string(std::max(requested, 0)) + " codes kept";
    switch (end) {
        case AnalysisReadEnd::Done:
            return std::to_string(kept) + (kept == 1 ? " code read" : " codes read");
        case AnalysisReadEnd::TimedOut:
            return "Time-out: " + ofRequested;
        case AnalysisReadEnd::Interrupted:
            break;
    }
    return "Stopped: " + ofRequested;
}

std::string TimeLeftText(double elapsedSeconds, int stored, int requested) {
    if (stored < 2 || elapsedSeconds < 1 || requested <= stored) return {};
    const double left = elapsedSeconds / stored * (requested - stored);
    if (!(left >= 2)) return {};
    const auto seconds = static_cast<long>(std::lround(left));
    if (seconds < 60) return "about " + std::to_string(seconds) + " s left";
    if (seconds < 3600) {
        // Tens of seconds are as close as a pace can promise.
        const long tens = (seconds + 5) / 10 * 10;
        return "about " + std::to_string(tens / 60) + " min " + std::to_string(tens % 60) +
               " s left";
    }
    const long minutes = (seconds + 30) / 60;
    return "about " + std::to_string(minutes / 60) + " h " + std::to_string(minutes % 60) +
           " min left";
}

void ReadForDisplay(BoardLink& link, const std::atomic<bool>& stop,
                    const std::function<bool(int32_t code)>& show) {
    const auto each = [&show](int32_t code, double) { return show(code); };
    if (Capture(link, DataOnly(UntilStopped), stop, {}, each).end == ReadEnd::TimedOut)
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
