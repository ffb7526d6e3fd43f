#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <ostream>
#include <string>
#include <vector>

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

// `capture`: puts the converter into continuous conversion when it is not, then reads up to count
// codes into `codes` (and, when given, the seconds since the first conversion into `seconds`).
// `keepReading` is looked at before each code; `progress` (may be empty) is called after each
// code with the number read. A time-out shows "Error Reading Data from KX3105"; the codes read
// before it stay.
enum class CaptureEnd { Done, TimedOut, Interrupted };
CaptureEnd Capture(int count, const std::atomic<bool>& keepReading, std::vector<int32_t>& codes,
                   std::vector<double>* seconds,
                   const std::function<void(int read, int count)>& progress);

}  // namespace kx::cli
