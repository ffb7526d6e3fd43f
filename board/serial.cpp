#include "board/serial.h"

#include "board/port.h"

namespace {

// Data-register bytes: clock is bit 3, data in bit 0, reset line bit 1 (held high), bit 4 high.
constexpr int16_t Idle = 0x1A;        // clock high, data 0
constexpr int16_t ClockLow0 = 0x12;   // clock low, data 0
constexpr int16_t ClockLow1 = 0x13;   // clock low, data 1
constexpr int16_t ClockHigh1 = 0x1B;  // clock high, data 1

constexpr int16_t DataOutBit = 0x10;
constexpr int16_t NotReadyBit = 0x40;

// Steps 2 to 4 of a read: one falling edge, one status read, one rising edge per bit.
int32_t ClockBitsIn(int16_t bits, int16_t port) {
    uint32_t result = 0;
    for (int k = bits - 1; k >= 0; --k) {
        PortOut(port, ClockLow0);
        const int16_t status = PortIn(port + 1);
        PortOut(port, Idle);
        if ((status & DataOutBit) && k < 32) result |= 1u << k;
    }
    return static_cast<int32_t>(result);
}

}  // namespace

void WriteSerial(int32_t value, int16_t port, int16_t bits) {
    for (int k = bits - 1; k >= 0; --k) {
        PortOut(port, Idle);
        // Bit 31 and above count as 0: "value AND 2^k greater than zero" is false for them.
        const bool one = k < 31 && (value & (int32_t{1} << k)) > 0;
        if (one) {
            PortOut(port, ClockLow1);
            PortOut(port, ClockHigh1);
        } else {
            PortOut(port, ClockLow0);
            PortOut(port, Idle);
        }
    }
    PortOut(port, Idle);
}

int32_t ReadSerial(int16_t bits, int16_t port) {
    PortOut(port, Idle);
    return ClockBitsIn(bits, port);
}

int32_t ReadSerialWhenReady(int16_t bits, int16_t port) {
    PortOut(port, Idle);
    const std::atomic<bool>* stop = WaitStopFlag();
    int32_t count = 0;
    int16_t notReady;
    do {
        ++count;
        notReady = PortIn(port + 1) & NotReadyBit;
        if (count == ReadyPollLimit) return TimeoutMarker;
        if (notReady != 0 && stop && stop->load(std::memory_order_relaxed)) [[unlikely]] {
            ClockBitsIn(bits, port);
            return StoppedMarker;
        }
    } while (notReady != 0);
    return ClockBitsIn(bits, port);
}
