#pragma once

#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "port.h"
#include "ppdev_port.h"
#include "simulated_board.h"

// The program's command line and the choice of board, shared by the program and the
// command-line tool. Plain C++: the screens are started elsewhere.

namespace kx {

inline constexpr const char* ProgramVersion = "2.0.1";

struct StartupOptions {
    bool help = false;
    bool version = false;
    bool simulate = false;
    std::optional<std::string> portDevice;
    std::optional<std::string> traceFile;
    sim::SimSettings sim;
    // Everything after the program name, as one line; start-up searches it for "/SS".
    std::string commandLine;
};

struct ParsedCommandLine {
    bool ok = false;
    std::string error;  // why not, in one line
    StartupOptions options;
};

// Reads the arguments after the program name. simSpeed is the simulated board's pace unless
// --sim-speed says otherwise: real time for the interactive program, fast for tools.
ParsedCommandLine ParseCommandLine(const std::vector<std::string>& args, sim::Speed simSpeed);

std::string Usage(const std::string& program);

// The board the program talks to, owned for the whole run.
struct Board {
    std::unique_ptr<PpdevSystem> kernel;
    std::unique_ptr<PortBackend> backend;
    bool simulated = false;
    std::string device;  // the printer-port device, when not simulated
};

// The simulated board with --simulate (or any --sim- option); the named device with --port;
// otherwise the first printer port, or the simulated board where the machine has none (said on
// diagnostics). kernel is how the machine's ports are found; nullptr asks the real kernel.
Board OpenBoard(const StartupOptions& options, std::ostream& diagnostics,
                std::unique_ptr<PpdevSystem> kernel = nullptr);

// The start-up order: the command line for the status switch, InitPort, then the reference
// voltage. The board must be installed with SetPortBackend first.
void RunStartup(const StartupOptions& options);

// One line for the main menu naming the board in use, for after start-up.
std::string BoardLine(const Board& board);

}  // namespace kx
