#pragma once

#include <cstdio>
#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "acquisition/board.h"
#include "acquisition/board_options.h"

// The program's command line, its display and its start-up order. Plain C++: the screens are
// started elsewhere; the board options, the choice of board and the board line are the
// acquisition layer's, shared with kx3105-cli.

namespace kx {

// The program's command line: the board options (acquisition/board_options.h) and its own.
struct StartupOptions : BoardOptions {
    bool help = false;
    bool version = false;
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

// The start-up order: the command line for the status switch, InitPort, then the reference
// voltage. The board (OpenBoard) must be installed with SetPortBackend first.
void RunStartup(const StartupOptions& options);

}  // namespace kx
