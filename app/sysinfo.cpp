#include "app/sysinfo.h"

#include "core/messages.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <filesystem>
#endif

namespace kx {

namespace {

#ifdef _WIN32

class WindowsSystemInfo final : public SystemInfoHost {
public:
    bool GetKeyValue(RegistryRoot, const std::string& keyName, const std::string& valueName,
                     std::string& valueText) override {
        HKEY key = nullptr;
        if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, keyName.c_str(), 0, 0x2003F, &key) != ERROR_SUCCESS) {
            valueText.clear();
            return false;
        }
        char buffer[1024] = {};
        DWORD type = 0;
        DWORD size = sizeof buffer;
        const LONG result = RegQueryValueExA(key, valueName.c_str(), nullptr, &type,
                                             reinterpret_cast<BYTE*>(buffer), &size);
        if (result == ERROR_SUCCESS)
            TakeRegistryValue(type, std::string_view(buffer, sizeof buffer), size, valueText);
        else
            valueText.clear();
        RegCloseKey(key);
        return result == ERROR_SUCCESS;
    }

    bool FileExists(const std::string& path) override {
        const DWORD attributes = GetFileAttributesA(path.c_str());
        return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
    }

    bool StartProgram(const std::string& path) override {
        STARTUPINFOA startup{};
        startup.cb = sizeof startup;
        startup.dwFlags = STARTF_USESHOWWINDOW;
        startup.wShowWindow = SW_SHOWNORMAL;
        PROCESS_INFORMATION process{};
        if (!CreateProcessA(path.c_str(), nullptr, nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                            &startup, &process))
            return false;
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
        return true;
    }
};

WindowsSystemInfo platformHost;

#else

// No registry here, hence no system-information program to find.
class NoSystemInfo final : public SystemInfoHost {
public:
    bool GetKeyValue(RegistryRoot, const std::string&, const std::string&,
                     std::string& valueText) override {
        valueText.clear();
        return false;
    }

    bool FileExists(const std::string& path) override {
        std::error_code error;
        return std::filesystem::is_regular_file(path, error);
    }

    bool StartProgram(const std::string&) override { return false; }
};

NoSystemInfo platformHost;

#endif

}  // namespace

SystemInfoHost& PlatformSystemInfo() {
    return platformHost;
}

void TakeRegistryValue(uint32_t type, std::string_view buffer, uint32_t returnedSize,
                       std::string& valueText) {
    if (type != RegistryStringType) return;
    std::string_view data = buffer.substr(0, returnedSize);
    if (!data.empty() && data.back() == '\0') data.remove_suffix(1);
    valueText.assign(data);
}

}  // namespace kx

bool StartSysInfo(kx::SystemInfoHost& host) {
    using kx::RegistryRoot;
    std::string path;
    bool found = host.GetKeyValue(RegistryRoot::LocalMachine,
                                  "SOFTWARE\\Microsoft\\Shared Tools\\MSINFO", "PATH", path);
    if (!found && host.GetKeyValue(RegistryRoot::LocalMachine,
                                   "SOFTWARE\\Microsoft\\Shared Tools Location", "MSINFO", path)) {
        const std::string program = path + "\\MSINFO32.EXE";
        if (host.FileExists(program)) {
            path = program;
            found = true;
        }
    }
    if (found && host.StartProgram(path)) return true;
    kx::ShowMessage("System Information Is Unavailable At This Time");
    return false;
}
