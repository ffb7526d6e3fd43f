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
        control::ProgramError);
    if (!control.matches()) return control::ProgramError;

    Register filter = Register::For(RegisterMap::Filter);
    if (!ProgramFilterWord(filter, setting.filterWord, {})) {
        const char* message = setting.filterFromRate ? ProgrammingError : ProgrammingErrorLower;
        ShowMessage(message, Icon::Warning);
        return message;
    }

    Register mode = Register::For(RegisterMap::Mode);
    if (!mode::ProgramBit(mode, mode::ChopBit, !setting.chopEnabled).matches())
        return mode::FieldError;
    if (!mode::ProgramCode(mode, ContinuousConversion).matches()) return mode::CodeError;
    return std::nullopt;
}

}  // namespace kx
