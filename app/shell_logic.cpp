#include "shell_logic.h"

#include "globals.h"
#include "messages.h"
#include "port.h"
#include "serial.h"

namespace kx {

namespace {

constexpr int32_t ModeField = 0x07;
constexpr int32_t ContinuousConversionCode = 3;
constexpr int32_t PowerDownCode = 0;

constexpr int MinAnalysedCodes = 10;
constexpr int MaxAnalysedCodes = 5000;

// Data-register bytes of the resets: bit 1 is the reset line, bit 3 the clock, bit 0 data in.
constexpr int16_t ResetPulse = 0x18;
constexpr int16_t ResetClockLow = 0x13;
constexpr int16_t ResetClockHigh = 0x19;
constexpr int16_t Idle = 0x1A;
constexpr int SoftwareResetPulses = 32;

const char* const ContinuousConversionQuestion =
    "This function requires that the KX3105,\r\n"
    "be placed in Continuous Conversion Mode,\r\n"
    "\r\n"
    "Do you wish to Place the KX3105\r\n"
    "in Continuous Conversion Mode ?";

// The message says 9, although a run of 9 codes is refused.
const char* const RunLengthRefusal =
    "For Data Analysis the number of Codes read must be between 9 and 5000";

const char* const NotPoweredDown =
    "The KX3105 must be in Power-Down Mode in order to program the Filter Register";

int32_t AsByte(double registerValue) {
    return RoundHalfEven(registerValue);
}

}  // namespace

std::string VersionText(const Version& v) {
    return "Version " + std::to_string(v.major) + "." + std::to_string(v.minor) + "." +
           std::to_string(v.revision);
}

PortEntry PortEntryFor(int16_t address) {
    switch (static_cast<uint16_t>(address)) {
        case 0x378:
            return PortEntry::Lpt1;
        case 0x278:
            return PortEntry::Lpt2;
        case 0x3BC:
            return PortEntry::Prn;
        default:
            return PortEntry::None;
    }
}

int16_t AddressOf(PortEntry entry) {
    switch (entry) {
        case PortEntry::Lpt1:
            return 0x378;
        case PortEntry::Lpt2:
            return 0x278;
        case PortEntry::Prn:
            return 0x3BC;
        case PortEntry::None:
            break;
    }
    return 0;
}

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
    mode = Register::For(RegisterMap::Mode);
    const int32_t value = AsByte(mode.ReadReg());
    if (IsContinuousConversion(value)) return true;
    if (ShowMessage(ContinuousConversionQuestion, Icon::None, Buttons::YesNo) != Answer::Yes)
        return false;
    mode.RegValue = WithContinuousConversion(value);
    mode.WriteReg();
    return true;
}

bool RunLengthGate(int codeCount) {
    if (codeCount >= MinAnalysedCodes && codeCount <= MaxAnalysedCodes) return true;
    ShowMessage(RunLengthRefusal);
    return false;
}

bool PowerDownGate(Register& mode) {
    // Only read here: the write byte is left as it was.
    mode.ReadAddress = RegisterMap::Mode.readByte;
    mode.WordLength = RegisterMap::Mode.width;
    if (IsPowerDown(AsByte(mode.ReadReg()))) return true;
    ShowMessage(NotPoweredDown, Icon::Warning);
    return false;
}

void HardwareReset() {
    PortOut(PortAddress, ResetPulse);
    PortOut(PortAddress, Idle);
}

void SoftwareReset() {
    for (int i = 0; i < SoftwareResetPulses; ++i) {
        PortOut(PortAddress, ResetClockLow);
        PortOut(PortAddress, ResetClockHigh);
    }
    PortOut(PortAddress, Idle);
    for (const RegisterInfo& reg : {RegisterMap::Register12, RegisterMap::Register13}) {
        WriteSerial(reg.writeByte, PortAddress, 8);
        WriteSerial(0, PortAddress, reg.width);
    }
}

}  // namespace kx
