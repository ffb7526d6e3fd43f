#pragma once

#include <array>
#include <asio/ip/tcp.hpp>
#include <asio/steady_timer.hpp>
#include <memory>
#include <string>

#include "server/session.h"

// One client: its socket, its session, the line it has in hand. Lines run one after the other;
// while one runs on the board the socket is still read, so that a client that goes away stops
// its read and a line of ABORt alone ends it at once. Used on the io_context's thread only.

namespace kx::server {

class InstrumentServer;

class Connection : public std::enable_shared_from_this<Connection> {
public:
    Connection(InstrumentServer& server, asio::ip::tcp::socket socket, uint64_t id);

    void Start();
    // At shutdown: closes once the line in hand is answered.
    void Shutdown();
    // The client went away: closed at once.
    void Close();
    // Closed from this side: the send side first, then what the client still sends is read and
    // dropped for a moment, so that the last answer is not lost to a reset.
    void CloseGently();

private:
    void Read();
    void Process();
    void RunLine(std::string_view line);
    void Answer(std::string response);
    void Idle();
    void TakeAbortAhead();
    void Overrun();
    void Drain(std::shared_ptr<std::array<char, 4096>> sink);

    InstrumentServer& server_;
    asio::ip::tcp::socket socket_;
    asio::steady_timer timer_;
    Session session_;
    std::array<char, 16 * 1024> chunk_{};
    std::string pending_;  // received, not yet taken as lines, from start_ on
    size_t start_ = 0;
    bool reading_ = false;     // a read is outstanding
    bool inHand_ = false;      // a line runs or its answer is being written
    bool writing_ = false;     // the answer is being written
    bool discarding_ = false;  // in an over-long line: dropped up to its end
    bool closing_ = false;     // close once the line in hand is answered
    bool closed_ = false;
    bool lingering_ = false;   // closed from this side, reading what the client still sends
    bool processing_ = false;  // in Process
};

}  // namespace kx::server
