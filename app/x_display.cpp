#include "app/x_display.h"

#include <dlfcn.h>

namespace kx {

bool CanOpenXDisplay(const std::string& name) {
    void* xcb = dlopen("libxcb.so.1", RTLD_NOW | RTLD_LOCAL);
    if (!xcb) return true;
    // The three calls of libxcb's public interface, declared with an opaque connection.
    using Connect = void* (*)(const char*, int*);
    using HasError = int (*)(void*);
    using Disconnect = void (*)(void*);
    const auto connect = reinterpret_cast<Connect>(dlsym(xcb, "xcb_connect"));
    const auto hasError = reinterpret_cast<HasError>(dlsym(xcb, "xcb_connection_has_error"));
    const auto disconnect = reinterpret_cast<Disconnect>(dlsym(xcb, "xcb_disconnect"));
    bool opened = true;
    if (connect && hasError && disconnect) {
        // xcb_connect always returns a connection object, an errored one when it failed.
        void* connection = connect(name.c_str(), nullptr);
        opened = hasError(connection) == 0;
        disconnect(connection);
    }
    dlclose(xcb);
    return opened;
}

}  // namespace kx
