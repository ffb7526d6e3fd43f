#include "board/windows_version.h"

#include <algorithm>
#include <cctype>

#include "board/port_addresses.h"
#include "board/program_port.h"
#include "core/globals.h"
#include "core/hex.h"
#include "core/messages.h"

std::string WindowsVersionName;

namespace kx {

std::string ProgramCommandLine;
OsVersion (*OsVersionSource)() = QueryOsVersion;
PrinterPortMenuState PortMenuEnabled;

std::string WindowsVersionFor(const OsVersion& v) {
    switch (v.platformId) {
        case 1:
            if (v.minor == 0) return "Windows 95";
            if (v.minor == 10) return "Windows 98";
            return "";
        case 2:
            if (v.major == 3) return "Windows NT 3.51";
            if (v.major == 4) return "Windows NT 4.0";
            if (v.major == 5) return "Windows 2000";
            return "";
        default:
            return "Failed";
    }
}

}  // namespace kx

std::string GetWindowsVersion() {
    return kx::WindowsVersionFor(kx::OsVersionSource());
}

void InitPort() {
    WindowsVersionName = GetWindowsVersion();
    if (WindowsVersionName.find("95") != std::string::npos ||
        WindowsVersionName.find("98") != std::string::npos) {
        PortAddress = static_cast<int16_t>(kx::Lpt1.address);
    } else {
        ClaimPort();
        GetPortAddress();
    }
    // Leaves the data lines driving outputs (direction bit 5 cleared) and the strobe, autofeed
    // and select-in lines released; no access at all while no port is known.
    const int16_t control = PortIn(PortAddress + 2);
    PortOut(static_cast<int16_t>(PortAddress + 2), static_cast<int16_t>(control & 0xD4));
    ShowStatus();
}

void ClaimPort() {
    PortBackend& port = CurrentPortBackend();
    port.GetParallelPortCount();
    if (port.ClaimParallelPort(1, true) == 0) kx::ShowMessage("claim parallel port failed");
}

void GetPortAddress() {
    PortInfo info;
    info.size = 12;
    if (CurrentPortBackend().GetParallelPortInfo(1, info) == 0) {
        kx::ShowMessage("This PC does not appear to have a Printer Port", kx::Icon::Warning,
                        kx::Buttons::Ok, "GetPortAddress Error");
        return;
    }
    // Kept as its 16-bit pattern: PortIn/PortOut read it back as an unsigned I/O address.
    PortAddress = static_cast<int16_t>(info.baseAddress);
    // Only the entry of a known address stays selectable; any other address greys none.
    const auto address = static_cast<uint16_t>(PortAddress);
    if (!kx::FindPrinterPort(address)) return;
    auto& menu = kx::PortMenuEnabled;
    menu.lpt1 = menu.lpt1 && address == kx::Lpt1.address;
    menu.lpt2 = menu.lpt2 && address == kx::Lpt2.address;
    menu.prn = menu.prn && address == kx::Prn.address;
}

void ShowStatus() {
    std::string upper = kx::ProgramCommandLine;
    std::transform(upper.begin(), upper.end(), upper.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    if (upper.find("/SS") == std::string::npos) return;
    kx::ShowMessage("Windows Version:" + WindowsVersionName + "\rPort Address:0x" +
                        kx::Hex(static_cast<uint16_t>(PortAddress)),
                    kx::Icon::Information, kx::Buttons::Ok, "Show Status");
}
