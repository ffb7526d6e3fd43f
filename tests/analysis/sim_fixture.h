#pragma once

#include "globals.h"
#include "port.h"
#include "registers.h"
#include "simulated_board.h"

// A fresh program at 0x378 talking to a simulated board. Register bytes are written out here,
// not taken from the code under test.
struct SimBench {
    kx::sim::SimulatedBoard board;

    SimBench() {
        kx::ResetGlobals();
        PortAddress = 0x378;
        ReferenceVoltage = 2.5f;  // as start-up leaves it
        SetPortBackend(&board);
    }
    ~SimBench() {
        SetPortBackend(nullptr);
        kx::ResetGlobals();
    }

    // An 8-bit register write: 0x01 mode (0x03 continuous), 0x02 ADC control.
    static void Write(int writeByte, int value) {
        Register reg{8, double(value), 0, int16_t(writeByte)};
        reg.WriteReg();
    }
};
