#pragma once

#include <functional>

#include "acquisition/board.h"
#include "cli/tool.h"

// The board a command works on, as the global options choose it (acquisition/board.h: the named
// port, the first printer port, or the simulated board with its --sim-state file; never the
// simulated board unless asked for). Plain C++.

namespace kx::cli {

// Opens the board, runs `command` on it and closes it; the port's notes and every failure go to
// standard error. The exit status: the command's, or 1 when the board could not be used (the
// command does not run then) or its state could not be saved.
int WithBoard(const GlobalOptions& options, const std::function<int(Board&)>& command);

}  // namespace kx::cli
