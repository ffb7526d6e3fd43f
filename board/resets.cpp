#include "board/resets.h"

#include "board/registers.h"
#include "board/serial.h"

namespace kx {

namespace {

// Data-register bytes of the resets: bit 1 is the reset line, bit 3 the clock, bit 0 data in.
constexpr int16_t ResetPulse = 0x18;
constexpr int16_t ResetClockLow = 0x13;
constexpr int16_t ResetClockHigh = 0x19;
constexpr int16_t Idle = 0x1A;
constexpr int SoftwareResetPulses = 32;

}  // namespace

void HardwareReset(BoardLink& link) {
    const int32_t port = link.base();
    link.Out(port, ResetPulse);
    link.Out(port, Idle);
}

void SoftwareReset(BoardLink& link) {
    const int32_t port = link.base();
    for (int i = 0; i < SoftwareResetPulses; ++i) {
        link.Out(port, ResetClockLow);
        link.Out(port, ResetClockHigh);
    }
    link.Out(port, Idle);
    for (const RegisterInfo& reg : {RegisterMap::Register12, RegisterMap::Register13}) {
        WriteSerial(link, reg.writeByte, static_cast<int16_t>(port), 8);
        WriteSerial(link, 0, static_cast<int16_t>(port), reg.width);
    }
}

}  // namespace kx
