#pragma once

#include <cstdint>
#include <string>

#include "registers.h"

// The shell's decisions and board sequences, kept apart from the screens so that they can be
// driven without a window. Messages go through kx::ShowMessage; board traffic through Register,
// WriteSerial and PortOut.

namespace kx {

// The program's version, as the About box shows it.
struct Version {
    int major;
    int minor;
    int revision;
};
inline constexpr Version ApplicationVersion{2, 0, 1};

// "Version 2.0.1".
std::string VersionText(const Version& version);

// The three printer-port menu entries and their base addresses.
enum class PortEntry { None, Lpt1, Lpt2, Prn };
PortEntry PortEntryFor(int16_t address);  // None for an address that is none of the three
int16_t AddressOf(PortEntry entry);       // 0 for None

// The mode field (low three bits of the Mode register): 3 is continuous conversion, 0 power-down.
bool IsContinuousConversion(int32_t modeRegister);
bool IsPowerDown(int32_t modeRegister);
// The Mode register value that selects continuous conversion and keeps the upper five bits.
int32_t WithContinuousConversion(int32_t modeRegister);

// "Read Data": reads the Mode register through `mode` (set up afresh for it); when the converter
// is not converting continuously, asks whether to make it so and, on Yes, writes the mode field
// without a read-back. True when the data-reading screen may open.
bool ContinuousConversionGate(Register& mode);

// "Noise Analysis": runs of 10 to 5000 codes pass; anything else is refused with a message.
bool RunLengthGate(int codeCount);

// "Program Filter Register": the filter screen opens only while the converter is powered down.
// Reads the Mode register through `mode` (read byte and width only); refuses with a warning.
bool PowerDownGate(Register& mode);

// Pulls the board's reset line low for one port write, then returns the lines to idle.
void HardwareReset();

// Resets the converter through its serial interface: 32 clock pulses with data in held high,
// idle, then registers 12 and 13 cleared.
void SoftwareReset();

}  // namespace kx
