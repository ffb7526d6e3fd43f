#pragma once

#include <functional>

#include "cli/tool.h"

// The board a command works on, as the global options choose it: the named port, the first
// printer port, or the simulated board (with its --sim-state file locked, loaded and saved around
// the command). Never the simulated board unless asked for. Plain C++.

namespace kx::cli {

// Opens the board, runs start-up, checks that a board answers (unless --no-board-check), runs
// `command` and closes the board. The exit status: the command's, or 1 when the board could not
// be used (the command does not run then).
int WithBoard(const GlobalOptions& options, const std::function<int()>& command);

// The line when no board answers on `device`.
std::string NoBoardLine(const std::string& device);

}  // namespace kx::cli
