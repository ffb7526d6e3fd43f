#pragma once

#include <cstdint>

// What the operating system says of itself, as the version table of start-up reads it.
struct OsVersion {
    uint32_t major = 0;
    uint32_t minor = 0;
    uint32_t platformId = 0;  // 1 = Windows 95 family, 2 = NT family
};

// Platform identifier reported where the system is not Windows: outside the version table.
inline constexpr uint32_t NonWindowsPlatform = 0xFFFFFFFF;

// On Windows the answer of GetVersionExA; elsewhere NonWindowsPlatform.
OsVersion QueryOsVersion();
