#pragma once

#include <string>

namespace kx {

// Whether the X display `name` (":0", "host:10.0") can be opened, tried the way Qt will: an xcb
// connection through libxcb, loaded at run time so that nothing else the program's libraries
// serve (kx3105-cli) depends on it. True when libxcb is not there: Qt then says what is missing.
bool CanOpenXDisplay(const std::string& name);

}  // namespace kx
