#include "server/connection.h"

#include <asio/executor_work_guard.hpp>
#include <asio/post.hpp>
#include <asio/write.hpp>

#include "server/instrument_server.h"
#include "server/scpi_errors.h"

namespace kx::server {

namespace {
// How long a connection closed from this side waits for the client's end.
constexpr std::chrono::seconds LingerTime{2};
}  // namespace

Connection::Connection(InstrumentServer& server, asio::ip::tcp::socket socket, uint64_t id)
    : server_(server), socket_(std::move(socket)), timer_(socket_.get_executor()) {
    session_.client = id;
    asio::error_code ec;
    socket_.set_option(asio::ip::tcp::no_delay(true), ec);
}

void Connection::Start() {
    Idle();
    Read();
}

void Connection::Idle() {
    timer_.expires_after(server_.options_.idleTimeout);
    timer_.async_wait([self = shared_from_this()](const asio::error_code& ec) {
        if (ec || self->closed_) return;
        // A line still on the board is no idleness; an answer the client does not take is.
        if (self->inHand_ && !self->writing_) return self->Idle();
        self->CloseGently();
    });
}

void Connection::Read() {
    if (reading_ || closed_) return;
    reading_ = true;
    socket_.async_read_some(asio::buffer(chunk_),
                            [self = shared_from_this()](const asio::error_code& ec, size_t n) {
                                self->reading_ = false;
                                if (self->closed_) {
                                    if (self->lingering_)
                                        self->Drain(std::make_shared<std::array<char, 4096>>());
                                    return;
                                }
                                if (ec) return self->Close();
                                std::string_view data(self->chunk_.data(), n);
                                if (self->discarding_) {
                                    const size_t end = data.find('\n');
                                    if (end == std::string_view::npos) return self->Read();
                                    data.remove_prefix(end + 1);
                                    self->discarding_ = false;
                                }
                                if (self->start_ > 0 && self->start_ * 2 >= self->pending_.size()) {
                                    self->pending_.erase(0, self->start_);
                                    self->start_ = 0;
                                }
                                self->pending_.append(data);
                                self->Process();
                            });
}

void Connection::Overrun() {
    session_.Error(scpi::err::InputBufferOverrun,
                   "a line longer than " + std::to_string(server_.options_.maxLine) + " bytes");
}

void Connection::Process() {
    // Lines answered at once call back here; the loop below takes their next line.
    if (processing_) return;
    processing_ = true;
    const size_t maxLine = server_.options_.maxLine;
    while (!inHand_ && !closed_ && !closing_) {
        const size_t end = pending_.find('\n', start_);
        if (end == std::string::npos) {
            if (pending_.size() - start_ > maxLine) {
                pending_.clear();
                start_ = 0;
                discarding_ = true;
                Overrun();
            }
            break;
        }
        const std::string_view line(pending_.data() + start_, end - start_);
        start_ = end + 1;
        if (line.size() > maxLine + (line.ends_with('\r') ? 1 : 0)) {
            Overrun();
            continue;
        }
        RunLine(line);
    }
    processing_ = false;
    if (closed_) return;
    if (closing_ && !inHand_) return CloseGently();
    if (inHand_) TakeAbortAhead();
    // Read on while what is held stays within one line's bound; past it, wait for the line in
    // hand to end.
    if (discarding_ || pending_.size() - start_ <= maxLine) Read();
}

void Connection::TakeAbortAhead() {
    const size_t end = pending_.find('\n', start_);
    if (end == std::string::npos) return;
    const std::string_view line(pending_.data() + start_, end - start_);
    if (line.size() > 64) return;
    const PreparedLine prepared = server_.interpreter_.Prepare(line);
    if (prepared.units.size() != 1 || prepared.entries.size() != 1 || !prepared.entries[0] ||
        prepared.entries[0]->pattern.text() != "ABORt" || !prepared.units[0].params.empty())
        return;
    start_ = end + 1;
    server_.worker_.Abort(session_.client);
}

void Connection::RunLine(std::string_view line) {
    Idle();
    PreparedLine prepared = server_.interpreter_.Prepare(line);
    inHand_ = true;
    if (!prepared.needsBoard) {
        static const std::atomic<bool> never{false};
        return Answer(
            server_.interpreter_.Run(prepared, session_, nullptr, server_.worker_, never));
    }
    // The io_context must wait for this answer, even at shutdown.
    auto guard =
        std::make_shared<asio::executor_work_guard<asio::any_io_executor>>(socket_.get_executor());
    auto self = shared_from_this();
    server_.worker_.Submit(
        session_.client,
        [self, prepared = std::move(prepared)](Instrument* board, const std::string& why,
                                               const std::atomic<bool>& stop) {
            return self->server_.interpreter_.Run(prepared, self->session_, board,
                                                  self->server_.worker_, stop, why);
        },
        [self, guard](std::string answer) {
            asio::post(self->socket_.get_executor(),
                       [self, answer = std::move(answer), guard]() mutable {
                           self->Answer(std::move(answer));
                       });
        });
}

void Connection::Answer(std::string response) {
    if (closed_) return;
    if (response.empty()) {
        inHand_ = false;
        return Process();
    }
    writing_ = true;
    auto text = std::make_shared<std::string>(std::move(response));
    asio::async_write(socket_, asio::buffer(*text),
                      [self = shared_from_this(), text](const asio::error_code& ec, size_t) {
                          self->writing_ = false;
                          self->inHand_ = false;
                          if (self->closed_) return;
                          if (ec) return self->Close();
                          self->Idle();
                          self->Process();
                      });
}

void Connection::Shutdown() {
    closing_ = true;
    if (!inHand_) CloseGently();
}

void Connection::Close() {
    if (closed_) return;
    closed_ = true;
    asio::error_code ec;
    socket_.shutdown(asio::socket_base::shutdown_both, ec);
    socket_.close(ec);
    timer_.cancel();
    server_.worker_.ClientGone(session_.client);
    server_.Remove(session_.client);
}

void Connection::CloseGently() {
    if (closed_) return;
    closed_ = true;
    server_.worker_.ClientGone(session_.client);
    server_.Remove(session_.client);
    asio::error_code ec;
    socket_.shutdown(asio::socket_base::shutdown_send, ec);
    if (ec) {
        socket_.close(ec);
        return;
    }
    lingering_ = true;
    timer_.expires_after(LingerTime);
    timer_.async_wait([self = shared_from_this()](const asio::error_code& e) {
        if (e) return;
        asio::error_code ignored;
        self->socket_.close(ignored);
    });
    // An outstanding read goes on as the drain.
    if (!reading_) Drain(std::make_shared<std::array<char, 4096>>());
}

void Connection::Drain(std::shared_ptr<std::array<char, 4096>> sink) {
    reading_ = true;
    socket_.async_read_some(asio::buffer(*sink),
                            [self = shared_from_this(), sink](const asio::error_code& ec, size_t) {
                                self->reading_ = false;
                                if (!ec) return self->Drain(sink);
                                asio::error_code ignored;
                                self->socket_.close(ignored);
                                self->timer_.cancel();
                            });
}

}  // namespace kx::server
