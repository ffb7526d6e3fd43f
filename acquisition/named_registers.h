#pragma once

#include <cstdint>
#include <string>

#include "board/registers.h"

// The registers by the names scripts use, and the board work kx3105-cli's register commands do,
// on a board's link. The screens' messages (read-back
// mismatch, calibration time-out) go through kx::ShowMessage. Plain C++.

namespace kx {

// The registers by name, in the order kx3105-cli's `regs` prints them ("data" last).
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

// A register by its name, in any case and with '_' for '-'; nullptr for any other name.
const RegisterInfo* FindRegister(const std::string& name);
// Why a name is none of them: "unknown register 'x' (status, mode, ...)".
std::string UnknownRegister(const std::string& name);

// Writes value (which must fit the register), reads it back; false after "Error Programming
// KX3105" on a difference. The register must be writable.
bool WriteAndCheck(BoardLink& link, const RegisterInfo& reg, uint32_t value);

// A calibration, mode codes 4 (internal zero) to 7 (system full): writes the mode field keeping
// the other bits, without a read-back, then waits for the ready line; false after "Error
// Calibrating KX3105" when the wait runs out.
bool Calibrate(BoardLink& link, int modeCode);
// The mode code of a calibration name, 0 for any other name.
int CalibrationCode(const std::string& name);

}  // namespace kx
