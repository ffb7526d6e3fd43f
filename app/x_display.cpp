#include "app/x_display.h"

#include <dlfcn.h>

namespace kx {

XDisplayConnection::XDisplayConnection(const std::string& name) {
    library_ = dlopen("libxcb.so.1", RTLD_NOW | RTLD_LOCAL);
    if (!library_) return;
    // Three calls of libxcb's public interface, with the connection kept opaque.
    using Connect = void* (*)(const char*, int*);
    using HasError = int (*)(void*);
    const auto connect = reinterpret_cast<Connect>(dlsym(library_, "xcb_connect"));
    const auto hasError = reinterpret_cast<HasError>(dlsym(library_, "xcb_connection_has_error"));
    disconnect_ = reinterpret_cast<void (*)(void*)>(dlsym(library_, "xcb_disconnect"));
    if (!connect || !hasError || !disconnect_) return;
    // xcb_connect always returns a connection object, an errored one when it failed.
    connection_ = connect(name.c_str(), nullptr);
    opened_ = hasError(connection_) == 0;
}

XDisplayConnection::~XDisplayConnection() {
    if (connection_) disconnect_(connection_);
    if (library_) dlclose(library_);
}

}  // namespace kx
