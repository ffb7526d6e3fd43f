#include "server/serve.h"

#include <sys/stat.h>

#include <asio/io_context.hpp>
#include <asio/signal_set.hpp>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <iostream>
#include <sstream>

#include "board/port_trace.h"
#include "core/globals.h"
#include "server/board_instrument.h"

namespace kx::server {

namespace {

void Note(const std::string& line) {
    std::cerr << ServerName << ": " << line << std::endl;
}

int Fail(const std::string& line) {
    Note(line);
    return 1;
}

}  // namespace

int Serve(const ServerOptions& given) {
    StartupOptions options = given.board;
    options.commandLine.clear();
    // PROVISIONAL: the board is opened as kx3105-cli opens it, until that is shared.
    if (!options.simulate && !options.portDevice) {
        // A client must never get invented codes: no silent fall-back to the simulated board.
        struct stat info {};
        if (stat(DefaultPortDevice, &info) != 0)
            return Fail(std::string("no printer port found (") + DefaultPortDevice + ": " +
                        std::strerror(errno) + "); use --simulate for the simulated board");
        options.portDevice = DefaultPortDevice;
    }
    if (options.traceFile) {
        std::string error;
        if (!StartPortTrace(*options.traceFile, error))
            return Fail("cannot write the trace " + *options.traceFile + ": " + error);
    }
    std::ostringstream notes;
    Board board = OpenBoard(options, notes);
    SetPortBackend(board.backend.get());
    auto finish = [&](int status) {
        std::istringstream lines(notes.str());
        for (std::string line; std::getline(lines, line);)
            if (!line.empty()) Note(line.rfind("kx3105: ", 0) == 0 ? line.substr(8) : line);
        SetPortBackend(nullptr);
        StopPortTrace();
        return status;
    };
    RunStartup(options);
    auto* port = dynamic_cast<const PpdevPort*>(board.backend.get());
    if (!board.simulated && (PortAddress == 0 || (port && !port->claimed())))
        return finish(Fail(BoardLine(board)));
    BoardInstrument instrument(board.simulated);
    if (!given.noBoardCheck && !instrument.Answers())
        return finish(Fail("no board answers on " +
                           (board.simulated ? std::string("the simulated board") : board.device)));

    asio::io_context io(1);
    const Interpreter interpreter(instrument.Serial());
    BoardWorker worker(instrument, given.lockTimeout);
    InstrumentServer server(io, given.network, interpreter, worker);
    std::string why;
    if (!server.Listen(why)) return finish(Fail(why));

    // The port first, alone on its line, for scripts and tests that asked for a free one.
    std::cout << server.port() << std::endl;
    Note("serving " + (board.simulated ? std::string("the simulated KX3105 board") : board.device) +
         " on " + given.network.listen + " port " + std::to_string(server.port()));

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
    return finish(0);
}

}  // namespace kx::server
