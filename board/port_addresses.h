#pragma once

#include <array>
#include <cstdint>

// The printer-port base addresses the program knows, with the names its printer-port menu and
// messages give them: the one table of them.

namespace kx {

struct PrinterPortAddress {
    const char* name;
    uint16_t address;
};

inline constexpr PrinterPortAddress Lpt1{"LPT1", 0x378};
inline constexpr PrinterPortAddress Lpt2{"LPT2", 0x278};
inline constexpr PrinterPortAddress Prn{"PRN", 0x3BC};
inline constexpr std::array<PrinterPortAddress, 3> PrinterPortAddresses{Lpt1, Lpt2, Prn};

// The entry of a base address; nullptr for an address that is none of them.
constexpr const PrinterPortAddress* FindPrinterPort(uint16_t address) {
    for (const PrinterPortAddress& port : PrinterPortAddresses)
        if (port.address == address) return &port;
    return nullptr;
}

}  // namespace kx
