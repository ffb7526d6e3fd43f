#include "app/shell_logic.h"

#include "board/port_addresses.h"

namespace kx {

std::string VersionText(const Version& v) {
    return "Version " + std::to_string(v.major) + "." + std::to_string(v.minor) + "." +
           std::to_string(v.revision);
}

PortEntry PortEntryFor(int16_t address) {
    const auto a = static_cast<uint16_t>(address);
    if (a == Lpt1.address) return PortEntry::Lpt1;
    if (a == Lpt2.address) return PortEntry::Lpt2;
    if (a == Prn.address) return PortEntry::Prn;
    return PortEntry::None;
}

int16_t AddressOf(PortEntry entry) {
    switch (entry) {
        case PortEntry::Lpt1:
            return static_cast<int16_t>(Lpt1.address);
        case PortEntry::Lpt2:
            return static_cast<int16_t>(Lpt2.address);
        case PortEntry::Prn:
            return static_cast<int16_t>(Prn.address);
        case PortEntry::None:
            break;
    }
    return 0;
}

}  // namespace kx
