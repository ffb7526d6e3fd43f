#include "board/resets.h"

#include "board/port.h"
#include "board/registers.h"
#include "board/serial.h"
#include "core/globals.h"

namespace kx {

namespace {

// Data-register bytes of the resets: bit 1 is the reset line, bit 3 the clock, bit 0 data in.
constexpr int16_t ResetPulse = 0x18;
constexpr int16_t ResetClockLow = 0x13;
constexpr int16_t ResetClockHigh = 0x19;
constexpr int16_t Idle = 0x1A;
constexpr int SoftwareResetPulses = 32;

}  // namespace

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
