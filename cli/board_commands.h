#pragma once

#include <cstdint>
#include <string>

#include "board/registers.h"

// The tool's board commands, on the board installed behind PortIn/PortOut at PortAddress. The
// screens' messages (read-back mismatch, calibration or read time-out) go through
// kx::ShowMessage. Each returns an exit status (tool.h). Plain C++.

namespace kx::cli {

// The registers by the tool's names, in the order `regs` prints them ("data" last).
struct NamedRegister {
    const char* name;
    const RegisterInfo* info;
};
inline constexpr NamedRegister NamedRegisters[] = {
    {"status", &RegisterMap::Status},          {"mode", &RegisterMap::Mode},
    {"adc-control", &RegisterMap::AdcControl}, {"filter", &RegisterMap::Filter},
    {"offset", &RegisterMap::ZeroScale},       {"gain", &RegisterMap::FullScale},
    {"io-control", &RegisterMap::IoControl},   {"data", &RegisterMap::Data},
};

// A register by the tool's name; nullptr for any other name.
const RegisterInfo* FindRegister(const std::string& name);

// `write`: writes value (which must fit the register), reads it back, "Error Programming
// KX3105" on a difference. The register must be writable.
int WriteRegister(const RegisterInfo& reg, uint32_t value);

// `calibrate`: mode codes 4 (internal zero) to 7 (system full). Writes the mode field keeping the
// other bits, without a read-back, then waits for the ready line; "Error Calibrating KX3105"
// when the wait runs out.
int Calibrate(int modeCode);
// The mode code of a calibration name, 0 for any other name.
int CalibrationCode(const std::string& name);

}  // namespace kx::cli
