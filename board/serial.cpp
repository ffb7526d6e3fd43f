#include "board/serial.h"

namespace {

// Data-register bytes: clock is bit 3, data in bit 0, reset line bit 1 (held high), bit 4 high.
constexpr int16_t Idle = 0x1A;        // clock high, data 0
constexpr int16_t ClockLow0 = 0x12;   // clock low, data 0
constexpr int16_t ClockLow1 = 0x13;   // clock low, data 1
constexpr int16_t ClockHigh1 = 0x1B;  // clock high, data 1

constexpr int16_t DataOutBit = 0x10;
constexpr int16_t NotReadyBit = 0x40;

// Steps 2 to 4 of a read: one falling edge, one status read, one rising edge per bit.
int32_t ClockBitsIn(kx::BoardLink& link, int16_t bits, int16_t port) {
    uint32_t result = 0;
    for (int k = bits - 1; k >= 0; --k) {
        link.Out(port, ClockLow0);
        const int16_t status = link.In(port + 1);
        link.Out(port, Idle);
        if ((status & DataOutBit) && k < 32) result |= 1u << k;
    }
    return static_cast<int32_t>(result);
}

}  // namespace

void WriteSerial(kx::BoardLink& link, int32_t value, int16_t port, int16_t bits) {
    for (int k = bits - 1; k >= 0; --k) {
        link.Out(port, Idle);
        // Bit 31 and above count as 0: "value AND 2^k greater than zero" is false for them.
        const bool one = k < 31 && (value & (int32_t{1} << k)) > 0;
        if (one) {
            link.Out(port, ClockLow1);
            link.Out(port, ClockHigh1);
        } else {
            link.Out(port, ClockLow0);
            link.Out(port, Idle);
        }
    }
    link.Out(port, Idle);
}

int32_t ReadSerial(kx::BoardLink& link, int16_t bits, int16_t port) {
    link.Out(port, Idle);
    return ClockBitsIn(link, bits, port);
}

int32_t ReadSerialWhenReady(kx::BoardLink& link, int16_t bits, int16_t port) {
    link.Out(port, Idle);
    const std::atomic<bool>* stop = link.stopFlag();
    int32_t count = 0;
    int16_t notReady;
    do {
        ++count;
        notReady = link.In(port + 1) & NotReadyBit;
        if (count == ReadyPollLimit) return TimeoutMarker;
        if (notReady != 0 && stop && stop->load(std::memory_order_relaxed)) [[unlikely]] {
            ClockBitsIn(link, bits, port);
            return StoppedMarker;
        }
    } while (notReady != 0);
    return ClockBitsIn(link, bits, port);
}
