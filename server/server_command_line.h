#pragma once

#include <CLI/CLI.hpp>
#include <deque>
#include <optional>
#include <string>
#include <vector>

// kx3105-server's command line as CLI11 takes it, apart from its reading (server_options.h), so
// that the shell completion is made from the same options. Plain C++ (CLI11).

namespace kx::server {

struct ServerCommandLine {
    ServerCommandLine();
    ServerCommandLine(const ServerCommandLine&) = delete;
    ServerCommandLine& operator=(const ServerCommandLine&) = delete;

    CLI::App app;
    bool help = false;
    bool version = false;
    std::vector<std::string> ports, allows;
    std::optional<std::string> listen;
    std::optional<double> idle, lockWait;
    std::optional<size_t> maxClients;
    // The board options by their place in the table: flags, single values, repeated values.
    std::deque<bool> flags;
    std::vector<std::optional<std::string>> values;
    std::vector<std::vector<std::string>> lists;
};

}  // namespace kx::server
