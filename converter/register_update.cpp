#include "converter/register_update.h"

#include "core/messages.h"

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

RegisterUpdate UpdateRegister(Register& reg, const std::function<int32_t(int32_t)>& change,
                              const std::string& mismatch) {
    const RegisterUpdate u = UpdateRegister(reg, change);
    if (!u.matches()) ShowMessage(mismatch, Icon::Warning);
    return u;
}

}  // namespace kx
