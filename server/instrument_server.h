#pragma once

#include <asio/io_context.hpp>
#include <asio/ip/tcp.hpp>
#include <asio/steady_timer.hpp>
#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>

#include "server/allow_list.h"
#include "server/board_worker.h"
#include "server/interpreter.h"

// The instrument on TCP: one connection per client, a line at a time, on the Asio io_context of
// the calling thread; board lines go to the board thread (BoardWorker), the others run here.

namespace kx::server {

struct NetworkOptions {
    std::string listen = "127.0.0.1";
    uint16_t port = 5025;  // 0: a free port
    AllowList allow = AllowList::Loopback();
    size_t maxClients = 128;
    size_t maxLine = 64 * 1024;                      // bytes, line end not counted
    std::chrono::milliseconds idleTimeout{300'000};  // no line from the client for so long
    std::chrono::milliseconds drainTimeout{10'000};  // at stop, for answers to reach clients
};

class Connection;

class InstrumentServer {
public:
    InstrumentServer(asio::io_context& io, const NetworkOptions& options,
                     const Interpreter& interpreter, BoardWorker& worker);
    ~InstrumentServer();

    // Binds and listens; false with why.
    bool Listen(std::string& why);
    uint16_t port() const;
    void Start();

    // Stops accepting, ends reads, answers the lines already taken, then closes every
    // connection (at the latest after the drain time-out). The io_context runs out of work then.
    void Shutdown();

    size_t clients() const { return connections_.size(); }

private:
    friend class Connection;
    void Accept();
    void Refuse(asio::ip::tcp::socket socket, const std::string& why);
    void Remove(uint64_t id);

    asio::io_context& io_;
    NetworkOptions options_;
    const Interpreter& interpreter_;
    BoardWorker& worker_;
    asio::ip::tcp::acceptor acceptor_;
    asio::steady_timer drainTimer_;
    std::unordered_map<uint64_t, std::shared_ptr<Connection>> connections_;
    uint64_t nextId_ = 1;
    bool shuttingDown_ = false;
};

// The refusal a client gets when the server is full, and one from a host not allowed.
std::string TooManyClientsLine(size_t maxClients);
inline constexpr const char* NotAllowedLine = "kx3105-server: this host may not connect\n";

}  // namespace kx::server
