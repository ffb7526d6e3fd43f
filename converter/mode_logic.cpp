#include "converter/mode_logic.h"

#include "board/calibration.h"
#include "board/serial.h"
#include "core/messages.h"

namespace kx::mode {

int32_t ReadModeDirect(BoardLink& link) {
    const auto port = static_cast<int16_t>(link.base());
    WriteSerial(link, RegisterMap::Mode.readByte, port, 8);
    return ReadSerial(link, 8, port);
}

RegisterUpdate ProgramBit(Register& mode, int32_t bit, bool set) {
    return UpdateRegister(
        mode, [&](int32_t old) { return WithBit(old, bit, set); }, FieldError);
}

RegisterUpdate ProgramCode(Register& mode, int code) {
    return UpdateRegister(
        mode, [&](int32_t old) { return WithCode(old, code); }, CodeError);
}

void ConnectPrompt(int code) {
    // The user connects the signal first; there is nothing to cancel.
    if (code == 6) ShowMessage(ZeroScalePrompt, Icon::Information);
    if (code == 7) ShowMessage(FullScalePrompt, Icon::Question);
}

int32_t Calibrate(Register& mode, int code, const std::function<void()>& calibrating) {
    const int32_t before = ReadValue(mode);
    mode.RegValue = WithCode(before, code);
    mode.WriteReg();

    if (calibrating) calibrating();
    if (!WaitForCalibration(mode.link()) && !mode.link().StopRequested())
        ShowMessage(CalibrationError, Icon::Warning);
    return ReadValue(mode);
}

}  // namespace kx::mode
