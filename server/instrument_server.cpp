#include "server/instrument_server.h"

#include <asio/ip/v6_only.hpp>
#include <asio/write.hpp>

#include "server/connection.h"

namespace kx::server {

namespace {
// How long a refused connection is given to read its line.
constexpr std::chrono::seconds RefusalTime{2};
// After a failed accept (out of descriptors, say), the next try waits this long.
constexpr std::chrono::milliseconds AcceptRetry{100};
}  // namespace

std::string TooManyClientsLine(size_t maxClients) {
    return "kx3105-server: refused: already serving " + std::to_string(maxClients) +
           " clients (--max-clients)\n";
}

InstrumentServer::InstrumentServer(asio::io_context& io, const NetworkOptions& options,
                                   const Interpreter& interpreter, BoardWorker& worker)
    : io_(io),
      options_(options),
      interpreter_(interpreter),
      worker_(worker),
      acceptor_(io),
      drainTimer_(io) {}

InstrumentServer::~InstrumentServer() = default;

bool InstrumentServer::Listen(std::string& why) {
    asio::error_code ec;
    const auto address = asio::ip::make_address(options_.listen, ec);
    if (ec) {
        why = "--listen takes an IPv4 or IPv6 address, not '" + options_.listen + "'";
        return false;
    }
    const asio::ip::tcp::endpoint endpoint(address, options_.port);
    auto fail = [&](const char* what) {
        why = std::string("cannot ") + what + " " + options_.listen + " port " +
              std::to_string(options_.port) + ": " + ec.message();
        asio::error_code ignored;
        acceptor_.close(ignored);
        return false;
    };
    acceptor_.open(endpoint.protocol(), ec);
    if (ec) return fail("open a socket for");
    acceptor_.set_option(asio::socket_base::reuse_address(true), ec);
    // "::" serves IPv4 clients too.
    if (address.is_v6()) acceptor_.set_option(asio::ip::v6_only(false), ec);
    acceptor_.bind(endpoint, ec);
    if (ec) return fail("listen on");
    acceptor_.listen(asio::socket_base::max_listen_connections, ec);
    if (ec) return fail("listen on");
    return true;
}

uint16_t InstrumentServer::port() const {
    asio::error_code ec;
    return acceptor_.local_endpoint(ec).port();
}

void InstrumentServer::Start() {
    Accept();
}

void InstrumentServer::Accept() {
    acceptor_.async_accept([this](const asio::error_code& ec, asio::ip::tcp::socket socket) {
        if (shuttingDown_ || !acceptor_.is_open()) return;
        if (ec) {
            auto retry = std::make_shared<asio::steady_timer>(io_, AcceptRetry);
            retry->async_wait([this, retry](const asio::error_code&) {
                if (!shuttingDown_) Accept();
            });
            return;
        }
        asio::error_code peerError;
        const auto peer = socket.remote_endpoint(peerError);
        if (peerError) {
            // Gone before it was seen.
        } else if (!options_.allow.Allows(peer.address())) {
            Refuse(std::move(socket), NotAllowedLine);
        } else if (connections_.size() >= options_.maxClients) {
            Refuse(std::move(socket), TooManyClientsLine(options_.maxClients));
        } else {
            const uint64_t id = nextId_++;
            auto connection = std::make_shared<Connection>(*this, std::move(socket), id);
            connections_.emplace(id, connection);
            connection->Start();
        }
        Accept();
    });
}

void InstrumentServer::Refuse(asio::ip::tcp::socket socket, const std::string& why) {
    // The line, then the send side shut and what the client sends read and dropped until it
    // closes (or for a moment), so the line is not lost to a reset.
    struct Refused {
        asio::ip::tcp::socket socket;
        asio::steady_timer timer;
        std::string line;
        std::array<char, 1024> sink{};
    };
    auto r =
        std::make_shared<Refused>(Refused{std::move(socket), asio::steady_timer(io_), why, {}});
    r->timer.expires_after(RefusalTime);
    r->timer.async_wait([r](const asio::error_code& ec) {
        asio::error_code ignored;
        if (!ec) r->socket.close(ignored);
    });
    asio::async_write(r->socket, asio::buffer(r->line), [r](const asio::error_code& ec, size_t) {
        asio::error_code ignored;
        if (ec) {
            r->socket.close(ignored);
            r->timer.cancel();
            return;
        }
        r->socket.shutdown(asio::socket_base::shutdown_send, ignored);
        auto drain = std::make_shared<std::function<void()>>();
        *drain = [r, drain] {
            r->socket.async_read_some(asio::buffer(r->sink),
                                      [r, drain](const asio::error_code& e, size_t) {
                                          if (!e) return (*drain)();
                                          asio::error_code ignored;
                                          r->socket.close(ignored);
                                          r->timer.cancel();
                                          *drain = nullptr;  // ends the cycle
                                      });
        };
        (*drain)();
    });
}

void InstrumentServer::Remove(uint64_t id) {
    connections_.erase(id);
    if (shuttingDown_ && connections_.empty()) drainTimer_.cancel();
}

void InstrumentServer::Shutdown() {
    if (shuttingDown_) return;
    shuttingDown_ = true;
    asio::error_code ignored;
    acceptor_.close(ignored);
    worker_.RequestStop();
    // Closing removes a connection from the map: walk a copy.
    const auto open = connections_;
    for (const auto& [id, connection] : open)
        connection->Shutdown();
    if (connections_.empty()) return;
    drainTimer_.expires_after(options_.drainTimeout);
    drainTimer_.async_wait([this](const asio::error_code& ec) {
        if (ec) return;
        const auto left = connections_;
        for (const auto& [id, connection] : left)
            connection->Close();
    });
}

}  // namespace kx::server
