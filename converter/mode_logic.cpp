#include "converter/mode_logic.h"

#include "board/calibration.h"
#include "board/port.h"
#include "board/serial.h"
#include "core/globals.h"
#include "core/messages.h"

namespace kx::mode {

int32_t ReadModeDirect() {
    WriteSerial(RegisterMap::Mode.readByte, PortAddress, 8);
    return ReadSerial(8, PortAddress);
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
    if (!WaitForCalibration() && !WaitStopRequested()) ShowMessage(CalibrationError, Icon::Warning);
    return ReadValue(mode);
}

}  // namespace kx::mode
