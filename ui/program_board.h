#pragma once

#include <string>

#include "acquisition/board.h"

// The desktop program's board: the port chosen at start-up, installed behind the program's link
// (board/program_port.h) at PortAddress, where its screens reach it by the old routines. Plain
// C++.

namespace kx {

// The start of the link as the program starts: the command line searched for the status
// switch, InitPort (with its messages), then the reference voltage of start-up. The port must be
// installed with SetPortBackend first.
void StartBoard(const std::string& commandLine);

// One line naming the port in use (PortAddress) and the board behind it: the printer-port menu
// may move the program to an address where no board answers.
std::string BoardLine(const BoardPort& port);

}  // namespace kx
