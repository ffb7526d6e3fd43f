#include "status_logic.h"

namespace kx::status {

Register StatusRegister() {
    Register reg;
    reg.ReadAddress = 0x40;
    reg.WordLength = 8;
    return reg;
}

int16_t ReadStatus(Register& status) {
    return static_cast<int16_t>(status.ReadReg());
}

}  // namespace kx::status
