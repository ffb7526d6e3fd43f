#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// Starting the Windows system-information program from the About box. Its location comes from
// the registry; the operating system is reached only through SystemInfoHost, so the lookup order
// can be driven from a script and the program builds where there is no registry.

namespace kx {

enum class RegistryRoot { LocalMachine };

class SystemInfoHost {
public:
    virtual ~SystemInfoHost() = default;

    // Reads one registry value as text into valueText. False, with valueText emptied, when the
    // key cannot be opened or the value cannot be read; a value that is not a string leaves
    // valueText as it was and still counts as found.
    virtual bool GetKeyValue(RegistryRoot root, const std::string& keyName,
                             const std::string& valueName, std::string& valueText) = 0;
    virtual bool FileExists(const std::string& path) = 0;
    // Starts the program in a normal window with the focus and returns without waiting for it.
    virtual bool StartProgram(const std::string& path) = 0;
};

// The registry and process functions on Windows; elsewhere a host that finds no value.
SystemInfoHost& PlatformSystemInfo();

// Registry value type of a zero-terminated string.
inline constexpr uint32_t RegistryStringType = 1;

// What a value query leaves in valueText: for a string, the buffer cut to the size the query
// returned, less a final terminating zero; for any other type, valueText unchanged.
void TakeRegistryValue(uint32_t type, std::string_view buffer, uint32_t returnedSize,
                       std::string& valueText);

}  // namespace kx

// Starts the system-information program, looked up first by its own registry entry, then by the
// shared-tools folder; every failure ends in the "unavailable" message. True when it started.
bool StartSysInfo(kx::SystemInfoHost& host);
