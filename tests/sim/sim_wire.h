#pragma once

#include <QMetaType>
#include <cstdint>

#include "board/program_port.h"
#include "board/registers.h"
#include "board/serial.h"
#include "core/globals.h"
#include "sim/simulated_board.h"
#include "tests/support/program_register.h"

// The wire as the simulated board's suites drive it: register bytes written out, the ready
// line polled, the hardware reset pulsed.

using kx::sim::Fault;
using kx::sim::InputSetting;
using kx::sim::SimSettings;
using kx::sim::SimulatedBoard;

Q_DECLARE_METATYPE(Fault)

// The program at 0x378 talking to a fresh simulated board.
struct Bench {
    SimulatedBoard board;
    explicit Bench(SimSettings settings = {}) : board(std::move(settings)) {
        kx::ResetGlobals();
        PortAddress = 0x378;
        SetPortBackend(&board);
    }
    ~Bench() {
        SetPortBackend(nullptr);
        kx::ResetGlobals();
    }
};

// Register bytes as the register map gives them, written out here on purpose.
struct Reg {
    int readByte;
    int writeByte;
    int bits;
};
constexpr Reg Status{0x40, 0, 8}, Mode{0x41, 0x01, 8}, Adc{0x42, 0x02, 8}, Filter{0x43, 0x03, 8},
    Data{0x44, 0, 24}, Zero{0x45, 0x05, 24}, Full{0x46, 0x06, 24}, Io{0x47, 0x07, 8};

inline int Read(Reg r) {
    Register reg(kx::ProgramLink());
    reg.ReadAddress = static_cast<int16_t>(r.readByte);
    reg.WordLength = static_cast<int16_t>(r.bits);
    return static_cast<int>(reg.ReadReg());
}

inline void Write(Reg r, int value) {
    Register reg(kx::ProgramLink());
    reg.WriteAddress = static_cast<int16_t>(r.writeByte);
    reg.WordLength = static_cast<int16_t>(r.bits);
    reg.RegValue = value;
    reg.WriteReg();
}

inline int32_t Convert() {
    ReadData d(kx::ProgramLink());
    d.ReadAddress = 0x44;
    d.WordLength = 24;
    return d.Read();
}

inline bool ReadyLow() {
    return (PortIn(0x379) & 0x40) == 0;
}

// Polls the ready line; the simulated time in microseconds at which it was seen low.
inline double WaitReadyUs(const SimulatedBoard& board, int maxPolls = 2'000'000) {
    for (int i = 0; i < maxPolls; ++i)
        if (ReadyLow()) return board.simulatedTimeNanoseconds() / 1000.0;
    return -1;
}

inline void HardwareReset() {
    PortOut(0x378, 0x18);
    PortOut(0x378, 0x1A);
}
