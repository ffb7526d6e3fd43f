#include "server/serve.h"

#include <asio/io_context.hpp>
#include <asio/signal_set.hpp>
#include <csignal>
#include <iostream>

#include "acquisition/board.h"
#include "board/ppdev_port.h"
#include "server/board_instrument.h"

namespace kx::server {

namespace {

void Note(const std::string& line) {
    std::cerr << ServerName << ": " << line << std::endl;
}

}  // namespace

int Serve(const ServerOptions& options) {
    // The board as kx3105-cli opens it: never the simulated one unless asked for, the trace, the
    // board check, the --sim-state file saved at the end.
    std::string why;
    const std::unique_ptr<Board> board = Board::Open(options.board, Note, why);
    if (!board) {
        Note(why);
        return 1;
    }
    auto close = [&](int status) {
        if (!board->Close(why)) {
            Note(why);
            if (status == 0) status = 1;
        }
        return status;
    };

    BoardInstrument instrument(board->link(), board->simulated(), board.get());
    asio::io_context io(1);
    const Interpreter interpreter(instrument.Serial());
    BoardWorker worker(instrument, options.lockTimeout);
    InstrumentServer server(io, options.network, interpreter, worker);
    if (!server.Listen(why)) {
        Note(why);
        return close(1);
    }

    // The port first, alone on its line, for scripts and tests that asked for a free one.
    std::cout << server.port() << std::endl;
    const std::string served = options.board.simulate
                                   ? std::string("the simulated KX3105 board")
                                   : options.board.portDevice.value_or(DefaultPortDevice);
    Note("serving " + served + " on " + options.network.listen + " port " +
         std::to_string(server.port()));

    std::signal(SIGPIPE, SIG_IGN);
    asio::signal_set signals(io, SIGTERM, SIGINT);
    signals.async_wait([&](const asio::error_code& ec, int signal) {
        if (ec) return;
        Note(std::string("stopping on ") + (signal == SIGTERM ? "SIGTERM" : "SIGINT"));
        server.Shutdown();
    });

    worker.Start();
    server.Start();
    io.run();
    worker.Stop();
    return close(0);
}

}  // namespace kx::server
