#include "acquisition/named_registers.h"

#include "board/calibration.h"
#include "converter/mode_logic.h"
#include "converter/register_update.h"
#include "core/messages.h"

namespace kx {

const RegisterInfo* FindRegister(const std::string& name) {
    for (const auto& r : NamedRegisters)
        if (name == r.name) return r.info;
    return nullptr;
}

std::string UnknownRegister(const std::string& name) {
    std::string names;
    for (const auto& r : NamedRegisters)
        names += (names.empty() ? "" : ", ") + std::string(r.name);
    return "unknown register '" + name + "' (" + names + ")";
}

bool WriteAndCheck(const RegisterInfo& info, uint32_t value) {
    Register reg = Register::For(info);
    const int32_t readBack = WriteAndReadBack(reg, static_cast<int32_t>(value));
    if (readBack == static_cast<int32_t>(value)) return true;
    // The register screens' wording of a failed write.
    ShowMessage(mode::FieldError, Icon::Warning);
    return false;
}

int CalibrationCode(const std::string& name) {
    if (name == "internal-zero") return 4;
    if (name == "internal-full") return 5;
    if (name == "system-zero") return 6;
    if (name == "system-full") return 7;
    return 0;
}

bool Calibrate(int modeCode) {
    Register mode = Register::For(RegisterMap::Mode);
    mode.RegValue = mode::WithCode(ReadValue(mode), modeCode);
    mode.WriteReg();
    if (WaitForCalibration()) return true;
    ShowMessage(mode::CalibrationError, Icon::Warning);
    return false;
}

}  // namespace kx
