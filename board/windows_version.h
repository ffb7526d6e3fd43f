#pragma once

#include <string>

#include "board/platform.h"

// Start-up of the board link: which system this is, which printer port to use, the port's
// control lines, and the optional status message.

// The name of the running Windows version as found at start-up; see WindowsVersionFor.
extern std::string WindowsVersionName;

namespace kx {

// The program's command line without the program name; ShowStatus searches it for "/SS".
extern std::string ProgramCommandLine;

// Where GetWindowsVersion asks; tests point it at a fixed version.
extern OsVersion (*OsVersionSource)();

// Which printer-port menu entries stay selectable. GetPortAddress greys the entries that do not
// match the port's address; the main menu applies this when it loads.
struct PrinterPortMenuState {
    bool lpt1 = true;
    bool lpt2 = true;
    bool prn = true;
};
extern PrinterPortMenuState PortMenuEnabled;

// The version table: "Windows 95", "Windows 98", "Windows NT 3.51", "Windows NT 4.0",
// "Windows 2000", "" for an unknown version of a known family, "Failed" otherwise.
std::string WindowsVersionFor(const OsVersion& version);

}  // namespace kx

std::string GetWindowsVersion();

// Windows version, then on anything but Windows 95/98 the claim and address lookup, then the
// control-line setup (control register AND 0xD4), then ShowStatus.
void InitPort();

// Asks the port library for the port count, then claims port 1; a refusal is reported.
void ClaimPort();

// Takes port 1's base address into PortAddress and greys the other menu entries; a missing port
// is reported and PortAddress keeps its value.
void GetPortAddress();

// Shows "Windows Version:...", "Port Address:0x..." when the command line holds "/SS" (any case).
void ShowStatus();
