#pragma once

#include "board/program_port.h"
#include "board/registers.h"

// Transaction objects on the program's link with their fields written out in the test, as the
// old program's screens set them up.
inline Register ProgramRegister(int bits, double value, int readByte, int writeByte) {
    Register r(kx::ProgramLink());
    r.WordLength = static_cast<int16_t>(bits);
    r.RegValue = value;
    r.ReadAddress = static_cast<int16_t>(readByte);
    r.WriteAddress = static_cast<int16_t>(writeByte);
    return r;
}

inline ReadData ProgramReadData(int bits, int readByte) {
    ReadData d(kx::ProgramLink());
    d.WordLength = static_cast<int16_t>(bits);
    d.ReadAddress = static_cast<int16_t>(readByte);
    return d;
}
