#include "acquisition/sweep_point.h"

#include "board/registers.h"
#include "converter/control_logic.h"
#include "converter/filter_logic.h"
#include "converter/mode_logic.h"
#include "converter/register_update.h"
#include "core/messages.h"

namespace kx {

namespace {
constexpr int ContinuousConversion = 3;
}  // namespace

int32_t SweepSetting::adcControl() const {
    return control::WithUnipolar(
        control::WithRange(control::WithChannel(0, channelCode), rangeCode), unipolar);
}

std::optional<std::string> ProgramSweepPoint(const SweepSetting& setting) {
    Register adcControl = Register::For(RegisterMap::AdcControl);
    const auto control = UpdateRegister(
        adcControl,
        [&](int32_t v) {
            v = control::WithChannel(v, setting.channelCode);
            v = control::WithRange(v, setting.rangeCode);
            return control::WithUnipolar(v, setting.unipolar);
        },
        ProgrammingError);
    if (!control.matches()) return ProgrammingError;

    Register filter = Register::For(RegisterMap::Filter);
    if (!ProgramFilterWord(filter, setting.filterWord, {})) {
        ShowMessage(ProgrammingError, Icon::Warning);
        return ProgrammingError;
    }

    Register mode = Register::For(RegisterMap::Mode);
    const auto chop = UpdateRegister(
        mode, [&](int32_t v) { return mode::WithBit(v, mode::ChopBit, !setting.chopEnabled); },
        ProgrammingError);
    if (!chop.matches()) return ProgrammingError;
    const auto code = UpdateRegister(
        mode, [](int32_t v) { return mode::WithCode(v, ContinuousConversion); }, ProgrammingError);
    if (!code.matches()) return ProgrammingError;
    return std::nullopt;
}

}  // namespace kx
