#include "mode_logic.h"

#include "calibration.h"
#include "messages.h"

namespace kx::mode {

namespace {

RegisterUpdate Program(Register& mode, const std::function<int32_t(int32_t)>& change,
                       const char* message) {
    const RegisterUpdate u = UpdateRegister(mode, change);
    if (!u.matches()) ShowMessage(message, Icon::Warning);
    return u;
}

}  // namespace

Register ModeRegister() {
    Register reg;
    reg.WriteAddress = 1;
    reg.ReadAddress = 65;
    reg.WordLength = 8;
    return reg;
}

RegisterUpdate ProgramBit(Register& mode, int32_t bit, bool set) {
    return Program(
        mode, [&](int32_t old) { return WithBit(old, bit, set); }, FieldError);
}

RegisterUpdate ProgramCode(Register& mode, int code) {
    return Program(
        mode, [&](int32_t old) { return WithCode(old, code); }, CodeError);
}

int32_t Calibrate(Register& mode, int code, const std::function<void()>& calibrating) {
    // The user connects the signal first; there is nothing to cancel.
    if (code == 6) ShowMessage(ZeroScalePrompt, Icon::Information);
    if (code == 7) ShowMessage(FullScalePrompt, Icon::Question);

    const int32_t before = ReadValue(mode);
    mode.RegValue = WithCode(before, code);
    mode.WriteReg();

    if (calibrating) calibrating();
    if (!WaitForCalibration()) ShowMessage(CalibrationError, Icon::Warning);
    return ReadValue(mode);
}

}  // namespace kx::mode
