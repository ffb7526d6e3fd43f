#pragma once

#include "board/program_port.h"
#include "board/registers.h"
#include "core/globals.h"
#include "sim/simulated_board.h"
#include "tests/support/program_register.h"

// A fresh program at 0x378 talking to a simulated board, with the reference voltage start-up
// leaves; globals reset and the backend installed for the lifetime of the object.
struct SimBench {
    kx::sim::SimulatedBoard board;

    explicit SimBench(kx::sim::SimSettings settings = {}) : board(std::move(settings)) {
        kx::ResetGlobals();
        PortAddress = 0x378;
        ReferenceVoltage = 2.5f;
        SetPortBackend(&board);
    }
    ~SimBench() {
        SetPortBackend(nullptr);
        kx::ResetGlobals();
    }
    SimBench(const SimBench&) = delete;
    SimBench& operator=(const SimBench&) = delete;
};

// A register read or write by its communications byte, written out here rather than taken from
// the register map under test: 0x01 mode, 0x02 ADC control, 0x03 filter (0x41... to read).
inline int ReadRegister(int readByte, int bits) {
    Register reg = ProgramRegister(int16_t(bits), 0, int16_t(readByte), 0);
    return static_cast<int>(reg.ReadReg());
}

inline void WriteRegister(int writeByte, int bits, int value) {
    Register reg = ProgramRegister(int16_t(bits), double(value), 0, int16_t(writeByte));
    reg.WriteReg();
}
