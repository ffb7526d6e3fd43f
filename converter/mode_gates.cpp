#include "converter/mode_gates.h"

#include "core/messages.h"

namespace kx {

namespace {

constexpr int32_t ModeField = 0x07;
constexpr int32_t ContinuousConversionCode = 3;
constexpr int32_t PowerDownCode = 0;

const char* const ContinuousConversionQuestion =
    "This function requires that the KX3105,\r\n"
    "be placed in Continuous Conversion Mode,\r\n"
    "\r\n"
    "Do you wish to Place the KX3105\r\n"
    "in Continuous Conversion Mode ?";

const char* const NotPoweredDown =
    "The KX3105 must be in Power-Down Mode in order to program the Filter Register";

int32_t AsByte(double registerValue) {
    return RoundHalfEven(registerValue);
}

}  // namespace

bool IsContinuousConversion(int32_t modeRegister) {
    return (modeRegister & ModeField) == ContinuousConversionCode;
}

bool IsPowerDown(int32_t modeRegister) {
    return (modeRegister & ModeField) == PowerDownCode;
}

int32_t WithContinuousConversion(int32_t modeRegister) {
    return (modeRegister & 0xF8) | ContinuousConversionCode;
}

bool ContinuousConversionGate(Register& mode) {
    mode = Register::For(mode.link(), RegisterMap::Mode);
    const int32_t value = AsByte(mode.ReadReg());
    if (IsContinuousConversion(value)) return true;
    if (ShowMessage(ContinuousConversionQuestion, Icon::None, Buttons::YesNo) != Answer::Yes)
        return false;
    mode.RegValue = WithContinuousConversion(value);
    mode.WriteReg();
    return true;
}

bool PowerDownGate(Register& mode) {
    // Only read here: the write byte is left as it was.
    mode.ReadAddress = RegisterMap::Mode.readByte;
    mode.WordLength = RegisterMap::Mode.width;
    if (IsPowerDown(AsByte(mode.ReadReg()))) return true;
    ShowMessage(NotPoweredDown, Icon::Warning);
    return false;
}

}  // namespace kx
