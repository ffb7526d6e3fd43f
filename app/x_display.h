#pragma once

#include <string>

namespace kx {

// A connection to the X display `name` (":0", "host:10.0"), opened the way Qt will open it:
// through libxcb, loaded at run time so that nothing else the program's libraries serve
// (kx3105-cli) depends on it. Keep it until Qt has connected: an X server whose last client
// leaves resets, and would refuse the connection Qt makes right after.
class XDisplayConnection {
public:
    explicit XDisplayConnection(const std::string& name);
    ~XDisplayConnection();
    XDisplayConnection(const XDisplayConnection&) = delete;
    XDisplayConnection& operator=(const XDisplayConnection&) = delete;

    // False when the display cannot be opened. True when libxcb is not there: Qt then says
    // what is missing.
    bool opened() const { return opened_; }

private:
    void* library_ = nullptr;
    void* connection_ = nullptr;
    void (*disconnect_)(void*) = nullptr;
    bool opened_ = true;
};

}  // namespace kx
