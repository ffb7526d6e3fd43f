#pragma once

#include <chrono>
#include <string>
#include <vector>

#include "acquisition/board_options.h"
#include "server/instrument_server.h"

// kx3105-server's command line: kx3105-cli's board options (the one table of
// acquisition/board_options.h) and the network's own. Plain C++ (CLI11).

namespace kx::server {

inline constexpr const char* ServerName = "kx3105-server";

struct ServerOptions {
    BoardOptions board;
    NetworkOptions network;
    std::chrono::milliseconds lockTimeout{10'000};
};

struct ParsedServerOptions {
    enum class Outcome { Run, Help, Version, Usage };
    Outcome outcome = Outcome::Run;
    std::string text;  // the help, or why the command line is refused
    ServerOptions options;
};

// The arguments after the program name. A --port value of digits is the TCP port, any other the
// printer-port device, so that the board options stay those of kx3105-cli.
ParsedServerOptions ParseServerOptions(const std::vector<std::string>& args);

}  // namespace kx::server
