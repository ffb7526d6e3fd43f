#pragma once

#include <cstdio>
#include <functional>
#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "board/port.h"
#include "board/ppdev_port.h"
#include "sim/simulated_board.h"

// The program's command line and the choice of board, shared by the program and the
// command-line tool. Plain C++: the screens are started elsewhere.

namespace kx {

struct StartupOptions {
    bool help = false;
    bool version = false;
    bool simulate = false;
    std::optional<std::string> portDevice;
    std::optional<std::string> traceFile;
    sim::SimSettings sim;
    // The free-standing "/SS" switches (any case), as given: start-up searches this for "/SS".
    // Option values and other words never land here.
    std::string commandLine;
};

struct ParsedCommandLine {
    bool ok = false;
    std::string error;  // why not, in one line
    StartupOptions options;
};

// Reads the arguments after the program name. simSpeed is the simulated board's pace unless
// --sim-speed says otherwise: real time for the interactive program, fast for tools.
// The only word taken is "/SS"; any other is refused, as is an option value given as a separate
// argument that starts with '-' (--trace=-x and --port=-x take such names). "--" ends the options.
ParsedCommandLine ParseCommandLine(const std::vector<std::string>& args, sim::Speed simSpeed);

std::string Usage(const std::string& program);

// Writes text to out (--help, --version) and flushes it. False, with "write error: REASON" on
// diagnostics, when it does not all arrive: a closed or full output.
bool WriteOutput(const std::string& text, std::FILE* out, std::ostream& diagnostics);

// The display the environment names (getenv is how it is read; an empty value counts as unset):
// none; one Qt reaches without an X server (QT_QPA_PLATFORM naming another platform first, or a
// Wayland session); or an X display, which the program opens once before Qt starts, since Qt
// aborts with a core dump when it cannot open it.
struct DisplayChoice {
    enum class Kind { None, NotX, X };
    Kind kind = Kind::None;
    std::string xDisplay;  // DISPLAY, for X
};
DisplayChoice ChooseDisplay(const std::function<const char*(const char*)>& getenv);
inline constexpr const char* NoDisplayError =
    "no display found: run it in a desktop session, or use kx3105-cli";
// "no display found: cannot open display :97"
std::string CannotOpenDisplayError(const std::string& xDisplay);

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

// One line for the main menu naming the port in use (PortAddress) and the board behind it: the
// printer-port menu may move the program to an address where no board answers.
std::string BoardLine(const Board& board);

}  // namespace kx
