#pragma once

#include <cstdint>
#include <string>

#include "core/version.h"

// The shell's own decisions, kept apart from the screens so that they can be tested alone.

namespace kx {

// The program's version, as the About box shows it.
struct Version {
    int major;
    int minor;
    int revision;
};
inline constexpr Version ApplicationVersion{VersionMajor, VersionMinor, VersionPatch};

// "Version " and major.minor.revision, as the About box shows it.
std::string VersionText(const Version& version);

// The three printer-port menu entries and their base addresses.
enum class PortEntry { None, Lpt1, Lpt2, Prn };
PortEntry PortEntryFor(int16_t address);  // None for an address that is none of the three
int16_t AddressOf(PortEntry entry);       // 0 for None

}  // namespace kx
