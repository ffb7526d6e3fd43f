#pragma once

#include <optional>
#include <string>
#include <vector>

#include "app/startup.h"

// The tool's command line: `kx3105-cli [board options] COMMAND [operands] [options]`. The board
// options (--port, --simulate, --trace, --sim-*) are read by the program's own parser; the
// command, its operands and its options are the tool's. Plain C++.

namespace kx::cli {

// Exit statuses.
inline constexpr int ExitOk = 0;
inline constexpr int ExitFailure = 1;  // the board or a file failed
inline constexpr int ExitUsage = 2;

inline constexpr const char* ToolName = "kx3105-cli";
// The program beside the tool that draws the charts (the tool itself links no Qt).
inline constexpr const char* ChartRendererName = "kx3105-cli-charts";

struct Invocation {
    bool ok = false;
    std::string error;  // why not, in one line

    bool help = false;    // --help: about the command when one is named
    std::string command;  // empty when none was named
    std::vector<std::string> operands;
    StartupOptions board;  // --sim-state selects the simulated board

    bool hex = false;
    bool data = false;
    bool json = false;
    std::optional<std::string> output;      // -o FILE
    std::optional<std::string> adcControl;  // --adc-control HEX
    std::optional<std::string> ref;         // --ref VOLTS
    std::optional<std::string> simState;    // --sim-state FILE
};

// Splits the arguments after the program name, reads the board options and checks the command's
// operands and options against its synopsis. Values are checked by the commands themselves.
Invocation ParseInvocation(const std::vector<std::string>& args);

// `kx3105-cli --help`, and `kx3105-cli COMMAND --help` (empty for an unknown command).
std::string GeneralHelp();
std::string CommandHelp(const std::string& command);

}  // namespace kx::cli
