#include "register_update.h"

namespace kx {

int32_t ReadValue(Register& reg) {
    return static_cast<int32_t>(reg.ReadReg());
}

int32_t WriteAndReadBack(Register& reg, int32_t value) {
    reg.RegValue = value;
    reg.WriteReg();
    return ReadValue(reg);
}

RegisterUpdate UpdateRegister(Register& reg, const std::function<int32_t(int32_t)>& change) {
    RegisterUpdate u;
    u.before = ReadValue(reg);
    u.written = change(u.before);
    u.readBack = WriteAndReadBack(reg, u.written);
    return u;
}

}  // namespace kx
