#include "acquisition/characterise.h"

#include <algorithm>
#include <cmath>

#include "acquisition/capture.h"
#include "acquisition/read_run.h"
#include "converter/filter_logic.h"
#include "converter/register_update.h"
#include "core/messages.h"
#include "maths/statistics.h"

namespace kx::characterise {

std::optional<double> UpdateRateOf(int32_t modeValue, int32_t filterWord) {
    if (filterWord < 1 || filterWord > MaxFilterWord) return std::nullopt;
    return UpdateRate(filterWord, ChopEnabledIn(modeValue));
}

SweepOutcome SweepPoint(BoardLink& link, const SweepSetting& setting, const std::atomic<bool>& stop,
                        const std::function<void(int read, int count)>& progress,
                        std::vector<int32_t>* buffer) {
    std::vector<int32_t> own;
    std::vector<int32_t>& codes = buffer ? *buffer : own;
    codes.clear();
    codes.reserve(static_cast<size_t>(std::max(setting.count, 0)));
    CaptureRequest request;
    request.count = setting.count;
    request.settings = setting.settings();
    request.settle = setting.settle;
    const CaptureOutcome read = Capture(link, request, stop, {}, [&](int32_t code, double) {
        codes.push_back(code);
        if (progress) progress(static_cast<int>(codes.size()), setting.count);
        return true;
    });
    if (read.refusal) return {StepResult::ProgrammingFailed, read.refusal->Words(), std::nullopt};
    if (!read.programmed) return {StepResult::ProgrammingFailed, ProgrammingError, std::nullopt};
    if (read.end == ReadEnd::Stopped) return {StepResult::Stopped, {}, std::nullopt};
    if (read.end == ReadEnd::TimedOut) {
        ShowMessage(run::ReadErrorMessage);
        return {StepResult::TimedOut, run::ReadErrorMessage, std::nullopt};
    }
    return {StepResult::Done, {}, SweepFigures(codes, setting)};
}

SweepRow SweepFigures(std::span<const int32_t> codes, const SweepSetting& setting) {
    const Scaling scaling = Scaling::Shown(setting.adcControl(), setting.referenceVolts);
    const double microvoltsPerCode = scaling.lsbVolts * 1e6;

    SweepRow row;
    row.rateHz = UpdateRate(std::max(setting.filterWord, 1), setting.chopEnabled);
    row.filterWord = setting.filterWord;
    row.rangeCode = setting.rangeCode;
    row.unipolar = setting.unipolar;
    row.codes = static_cast<int>(codes.size());
    const noise::NoiseStatistics stats = noise::ComputeNoiseStatistics(codes);
    row.meanCode = stats.averageCode;
    row.rmsCodes = stats.rmsExactCodes;
    row.rmsMicrovolts = row.rmsCodes * microvoltsPerCode;
    row.pkPkMicrovolts = static_cast<double>(stats.span) * microvoltsPerCode;
    if (stats.span > 0) row.noiseFreeBits = stats.noiseFreeBits;
    if (row.rmsCodes > 0) row.effectiveResolutionBits = stats.effectiveResolutionBits;
    return row;
}

std::optional<LogLine> TakeLogLine(BoardLink& link, int average, const Scaling& scaling,
                                   const std::atomic<bool>& stop, const LineLimits& limits) {
    LogLine line;
    line.time = allan::Clock::now();
    line.status = "ok";
    std::vector<int32_t> own;
    std::vector<int32_t>& codes = limits.codes ? *limits.codes : own;
    codes.clear();
    // The log's settings were written at its start: a line only reads.
    const CaptureOutcome read =
        Capture(link, DataOnly(std::max(average, 1)), stop, {}, [&](int32_t code, double) {
            codes.push_back(code);
            return !limits.until || std::chrono::steady_clock::now() < *limits.until ||
                   codes.size() >= static_cast<size_t>(std::max(average, 1));
        });
    if (read.end == ReadEnd::Stopped) return std::nullopt;
    if (read.end == ReadEnd::TimedOut) line.status = run::ReadErrorMessage;
    line.codes = static_cast<int>(codes.size());
    if (codes.empty()) return line;
    const noise::NoiseStatistics stats = noise::ComputeNoiseStatistics(codes);
    line.meanCode = stats.averageCode;
    if (codes.size() > 1) line.rmsCodes = stats.rmsExactCodes;
    line.volts = scaling.CodeToVolts(stats.averageCode);
    return line;
}

}  // namespace kx::characterise
