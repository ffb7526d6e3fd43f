#include "analysis/characterise.h"

#include <algorithm>
#include <cmath>

#include "analysis/read_run.h"
#include "board/registers.h"
#include "board/serial.h"
#include "converter/control_logic.h"
#include "converter/filter_logic.h"
#include "converter/mode_logic.h"
#include "converter/register_update.h"
#include "core/messages.h"

namespace kx::characterise {

namespace {

constexpr double CodesInFullScale = 16777216.0;
constexpr double BipolarZero = 8388608.0;
constexpr int ContinuousConversion = 3;

struct Moments {
    double mean = 0;
    std::optional<double> deviation;  // sample standard deviation, from two codes
};

Moments MomentsOf(const std::vector<int32_t>& codes) {
    Moments m;
    if (codes.empty()) return m;
    double sum = 0;
    for (int32_t c : codes)
        sum += c;
    m.mean = sum / static_cast<double>(codes.size());
    if (codes.size() < 2) return m;
    double squares = 0;
    for (int32_t c : codes)
        squares += (c - m.mean) * (c - m.mean);
    m.deviation = std::sqrt(squares / static_cast<double>(codes.size() - 1));
    return m;
}

// False when the converter never became ready.
bool ReadCode(ReadData& reader, int32_t& code) {
    code = reader.Read();
    return code != TimeoutMarker;
}

SweepOutcome Failed(StepResult result, std::string message) {
    return {result, std::move(message), std::nullopt};
}

}  // namespace

std::optional<double> UpdateRateOf(int32_t modeValue, int32_t filterWord) {
    if (filterWord < 1 || filterWord > MaxFilterWord) return std::nullopt;
    return UpdateRate(filterWord, ChopEnabledIn(modeValue));
}

SweepOutcome SweepPoint(const SweepSetting& setting, const std::atomic<bool>& stop,
                        const std::function<void(int read, int count)>& progress) {
    Register adcControl = Register::For(RegisterMap::AdcControl);
    const auto control = UpdateRegister(
        adcControl,
        [&](int32_t v) {
            v = control::WithChannel(v, setting.channelCode);
            v = control::WithRange(v, setting.rangeCode);
            return control::WithUnipolar(v, setting.unipolar);
        },
        control::ProgramError);
    if (!control.matches()) return Failed(StepResult::ProgrammingFailed, control::ProgramError);

    Register filter = Register::For(RegisterMap::Filter);
    if (!ProgramFilterWord(filter, setting.filterWord, {})) {
        const char* message = setting.filterFromRate ? ProgrammingError : ProgrammingErrorLower;
        ShowMessage(message, Icon::Warning);
        return Failed(StepResult::ProgrammingFailed, message);
    }

    Register mode = Register::For(RegisterMap::Mode);
    if (!mode::ProgramBit(mode, mode::ChopBit, !setting.chopEnabled).matches())
        return Failed(StepResult::ProgrammingFailed, mode::FieldError);
    if (!mode::ProgramCode(mode, ContinuousConversion).matches())
        return Failed(StepResult::ProgrammingFailed, mode::CodeError);

    ReadData reader = ReadData::ForDataRegister();
    std::vector<int32_t> codes;
    codes.reserve(static_cast<size_t>(std::max(setting.count, 0)));
    for (int i = 0; i < setting.settle + setting.count; ++i) {
        if (stop) return Failed(StepResult::Stopped, {});
        int32_t code = 0;
        if (!ReadCode(reader, code)) {
            ShowMessage(run::ReadErrorMessage);
            return Failed(StepResult::TimedOut, run::ReadErrorMessage);
        }
        if (i < setting.settle) continue;
        codes.push_back(code);
        if (progress) progress(static_cast<int>(codes.size()), setting.count);
    }
    return {StepResult::Done, {}, SweepFigures(codes, setting)};
}

SweepRow SweepFigures(const std::vector<int32_t>& codes, const SweepSetting& setting) {
    const noise::Scaling scaling =
        noise::ScalingFor(setting.rangeCode, setting.unipolar ? 1 : 2, setting.referenceVolts);
    const double microvoltsPerCode = static_cast<double>(scaling.lsbVolts) * 1e6;

    SweepRow row;
    row.rateHz = UpdateRate(std::max(setting.filterWord, 1), setting.chopEnabled);
    row.filterWord = setting.filterWord;
    row.rangeCode = setting.rangeCode;
    row.unipolar = setting.unipolar;
    row.codes = static_cast<int>(codes.size());
    const Moments m = MomentsOf(codes);
    row.meanCode = m.mean;
    row.rmsCodes = m.deviation.value_or(0.0);
    row.rmsMicrovolts = row.rmsCodes * microvoltsPerCode;
    if (!codes.empty()) {
        const auto [low, high] = std::minmax_element(codes.begin(), codes.end());
        const double span = static_cast<double>(*high) - static_cast<double>(*low);
        row.pkPkMicrovolts = span * microvoltsPerCode;
        if (span > 0) row.noiseFreeBits = std::log2(CodesInFullScale / span);
    }
    if (row.rmsCodes > 0) row.effectiveResolutionBits = std::log2(CodesInFullScale / row.rmsCodes);
    return row;
}

std::optional<LogLine> TakeLogLine(int average, const noise::Scaling& scaling,
                                   const std::atomic<bool>& stop) {
    LogLine line;
    line.time = allan::Clock::now();
    line.status = "ok";
    ReadData reader = ReadData::ForDataRegister();
    std::vector<int32_t> codes;
    for (int i = 0; i < std::max(average, 1); ++i) {
        if (stop) return std::nullopt;
        int32_t code = 0;
        if (!ReadCode(reader, code)) {
            line.status = run::ReadErrorMessage;
            break;
        }
        codes.push_back(code);
    }
    line.codes = static_cast<int>(codes.size());
    if (codes.empty()) return line;
    const Moments m = MomentsOf(codes);
    line.meanCode = m.mean;
    line.rmsCodes = m.deviation;
    const double fromZero = scaling.polarity == 1 ? m.mean : m.mean - BipolarZero;
    line.volts = fromZero * static_cast<double>(scaling.lsbVolts);
    return line;
}

}  // namespace kx::characterise
