#include "app/shell_logic.h"

namespace kx {

std::string VersionText(const Version& v) {
    return "Version " + std::to_string(v.major) + "." + std::to_string(v.minor) + "." +
           std::to_string(v.revision);
}

PortEntry PortEntryFor(int16_t address) {
    switch (static_cast<uint16_t>(address)) {
        case 0x378:
            return PortEntry::Lpt1;
        case 0x278:
            return PortEntry::Lpt2;
        case 0x3BC:
            return PortEntry::Prn;
        default:
            return PortEntry::None;
    }
}

int16_t AddressOf(PortEntry entry) {
    switch (entry) {
        case PortEntry::Lpt1:
            return 0x378;
        case PortEntry::Lpt2:
            return 0x278;
        case PortEntry::Prn:
            return 0x3BC;
        case PortEntry::None:
            break;
    }
    return 0;
}

}  // namespace kx
