#include "acquisition/named_registers.h"

#include <cctype>

#include "board/calibration.h"
#include "converter/mode_logic.h"
#include "converter/register_update.h"
#include "core/messages.h"

namespace kx {

const RegisterInfo* FindRegister(const std::string& name) {
    // Any case, and '_' for '-' as Python writes names ("MODE", "adc_control").
    std::string key = name;
    for (char& c : key)
        c = c == '_' ? '-' : static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    for (const auto& r : NamedRegisters)
        if (key == r.name) return r.info;
    return nullptr;
}

std::string UnknownRegister(const std::string& name) {
    std::string names;
    for (const auto& r : NamedRegisters)
        names += (names.empty() ? "" : ", ") + std::string(r.name);
    return "unknown register '" + name + "' (" + names + ")";
}

bool WriteAndCheck(BoardLink& link, const RegisterInfo& info, uint32_t value) {
    Register reg = Register::For(link, info);
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

bool Calibrate(BoardLink& link, int modeCode) {
    Register mode = Register::For(link, RegisterMap::Mode);
    mode.RegValue = mode::WithCode(ReadValue(mode), modeCode);
    mode.WriteReg();
    if (WaitForCalibration(link)) return true;
    ShowMessage(mode::CalibrationError, Icon::Warning);
    return false;
}

}  // namespace kx
