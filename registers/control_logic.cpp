#include "control_logic.h"

#include "globals.h"
#include "messages.h"
#include "serial.h"

namespace kx::control {

Register ControlRegister() {
    Register reg;
    reg.WriteAddress = 2;
    reg.ReadAddress = 66;
    reg.WordLength = 8;
    return reg;
}

int32_t ReadModeDirect() {
    WriteSerial(0x41, PortAddress, 8);
    return ReadSerial(8, PortAddress);
}

RegisterUpdate Program(Register& control, const std::function<int32_t(int32_t)>& change) {
    const RegisterUpdate u = UpdateRegister(control, change);
    if (!u.matches()) ShowMessage(ProgramError, Icon::Warning);
    return u;
}

}  // namespace kx::control
