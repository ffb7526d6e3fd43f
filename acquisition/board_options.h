#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "sim/sim_options.h"

// The board options as a plain value, the one table of them that both programs' parsers and help
// texts are made from, and the reading of one option into the value. Plain C++.

namespace kx {

struct BoardOptions {
    bool simulate = false;
    std::optional<std::string> portDevice;
    std::optional<std::string> traceFile;
    sim::SimSettings sim;
    std::optional<std::string> simState;  // the simulated board's registers kept in this file
    bool noBoardCheck = false;            // no check that a board answers before the work
};

// Which program an option belongs to.
enum class Program { Desktop = 1, Tool = 2, Both = 3 };

struct BoardOptionText {
    const char* name;   // "--port"
    const char* value;  // "DEVICE"; nullptr for a flag
    bool repeatable;
    Program program;
    std::vector<const char*> help;  // lines of the help column
};

// Every board option, in the order both help texts list them and both parsers take them.
std::span<const BoardOptionText> BoardOptionTable();

// The options of one program in its help: two blanks, the option and its value in a column of 23
// characters (longer ones on a line of their own), then the help. `speed` is that program's
// default pace of the simulated board, which --sim-speed names first.
std::string BoardOptionsHelp(Program program, sim::Speed speed);

// Reads one option of the table into `options` (its value empty for a flag). Any option of the
// simulated board selects it. nullopt when taken, else why not in one line ("--sim-seed takes a
// whole number, not 'x'"), naming the option.
std::optional<std::string> ApplyBoardOption(BoardOptions& options, std::string_view name,
                                            const std::string& value);

// What the options say together, once all are read: nullopt, or why they cannot stand ("--port
// and the simulated board exclude each other").
std::optional<std::string> CheckBoardOptions(const BoardOptions& options);

}  // namespace kx
