#pragma once

#include "server/server_options.h"

// The whole run of kx3105-server: the board opened and checked as kx3105-cli does it, the board
// thread, the network, until SIGTERM or SIGINT. The exit status.

namespace kx::server {

int Serve(const ServerOptions& options);

}  // namespace kx::server
