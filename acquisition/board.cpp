#include "acquisition/board.h"

#include <sys/stat.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <mutex>
#include <set>
#include <sstream>
#include <utility>

#include "board/port_addresses.h"
#include "board/registers.h"
#include "converter/register_update.h"
#include "core/hex.h"
#include "core/safe_file.h"

namespace kx {

namespace {

// The printer ports the boards of this process hold: a second board on one would interleave its
// bits with the first's on the wire.
std::mutex heldMutex;
std::set<std::string> heldPorts;

// One name per port, however it was written (/dev/parport0, a link to it).
std::string PortKey(const std::string& device) {
    char resolved[PATH_MAX];
    return ::realpath(device.c_str(), resolved) ? std::string(resolved) : device;
}

bool Hold(const std::string& key) {
    std::lock_guard lock(heldMutex);
    return heldPorts.insert(key).second;
}

void Release(const std::string& key) {
    std::lock_guard lock(heldMutex);
    heldPorts.erase(key);
}

std::string PortName(uint16_t address) {
    const PrinterPortAddress* known = FindPrinterPort(address);
    return (known ? std::string(known->name) + " at 0x" : std::string("the port at 0x")) +
           Hex(address);
}

}  // namespace

BoardPort OpenBoardPort(const BoardOptions& options, std::ostream& diagnostics,
                        std::unique_ptr<PpdevSystem> kernel, const std::string& prefix) {
    BoardPort board;
    auto simulated = [&] {
        auto simulator = std::make_unique<sim::SimulatedBoard>(options.sim);
        board.simulated = true;
        board.simulator = simulator.get();
        board.backend = std::move(simulator);
    };
    if (options.simulate) {
        simulated();
        return board;
    }
    board.kernel = kernel ? std::move(kernel) : MakeKernelPpdevSystem();
    if (!board.kernel) {  // a system without ppdev
        if (options.portDevice)
            diagnostics << prefix
                        << "printer ports are not supported on this system: using the "
                           "simulated KX3105 board.\n";
        simulated();
        return board;
    }
    board.device = options.portDevice.value_or(DefaultPortDevice);
    auto port = std::make_unique<PpdevPort>(board.device, *board.kernel, diagnostics, prefix);
    if (!options.portDevice && port->GetParallelPortCount() == 0) {
        diagnostics << "No printer port found: using the simulated KX3105 board (--port DEVICE "
                       "selects a port).\n";
        board.kernel.reset();
        simulated();
        return board;
    }
    board.backend = std::move(port);
    return board;
}

std::string BoardLineFor(const PortBackend& backend, bool simulated, uint16_t inUse) {
    // The backend names itself: the simulated board in words, a printer port by its device.
    const std::string what = (simulated ? "" : "printer port ") + backend.describe();
    // Where the board can be reached, if anywhere.
    const std::optional<int32_t> answersAt = backend.boardAddress();
    if (inUse == 0) return "Board: " + what + ", not available";
    if (answersAt && *answersAt == inUse) return "Board: " + what + " at 0x" + Hex(inUse);
    // The printer-port menu moves only the address: nothing answers there.
    return "Board: " + PortName(inUse) + ", no board there (the " + what +
           (answersAt ? " is at 0x" + Hex(static_cast<uint16_t>(*answersAt))
                      : " is not available") +
           ")";
}

bool BoardAnswers(BoardLink& link) {
    for (const RegisterInfo* info :
         {&RegisterMap::Status, &RegisterMap::Mode, &RegisterMap::AdcControl}) {
        Register reg = Register::For(link, *info);
        if (ReadValue(reg) != 0xFF) return true;
    }
    return false;
}

std::string NoBoardLine(const std::string& device) {
    return "no board answers on " + device;
}

Board::~Board() {
    Shut();
}

void Board::Shut() {
    // The state file goes with the board: a board kept after its work (the Python module's) must
    // not hold up the next caller on that file.
    state_.Release();
    if (!open_) return;
    link_.SetTrace(nullptr);
    trace_.Close();
    link_.SetBase(0);
    port_ = BoardPort{};
    link_.SetBackend(nullptr);
    if (!held_.empty()) Release(std::exchange(held_, {}));
    open_ = false;
}

std::unique_ptr<Board> Board::Open(const BoardOptions& given, const Notes& notes, std::string& why,
                                   std::unique_ptr<PpdevSystem> kernel) {
    std::unique_ptr<Board> board(new Board());
    BoardOptions options = given;
    if (options.simState && !board->state_.Open(*options.simState, why)) return nullptr;
    if (!options.simulate && !options.portDevice) {
        struct stat info {};
        if (stat(DefaultPortDevice, &info) != 0) {
            why = std::string("no printer port found (") + DefaultPortDevice + ": " +
                  SystemReason(errno) + "); use --simulate for the simulated board";
            return nullptr;
        }
        options.portDevice = DefaultPortDevice;
    }
    if (options.portDevice && !options.simulate) {
        const std::string key = PortKey(*options.portDevice);
        if (!Hold(key)) {
            why = *options.portDevice +
                  " is held by another board of this process: close that board first";
            return nullptr;
        }
        board->held_ = key;
    }
    const auto fail = [&board, &why](std::string reason) -> std::unique_ptr<Board> {
        why = std::move(reason);
        board->Shut();
        return nullptr;
    };
    if (options.traceFile) {
        std::string error;
        if (board->trace_.Open(*options.traceFile, error) != TraceStart::Started) {
            if (!board->held_.empty()) Release(std::exchange(board->held_, {}));
            why = "cannot write the trace " + *options.traceFile + ": " + error;
            return nullptr;
        }
        board->link_.SetTrace(&board->trace_);
    }
    std::ostringstream diagnostics;
    board->port_ = OpenBoardPort(options, diagnostics, std::move(kernel), "");
    board->link_.SetBackend(board->port_.backend.get());
    board->open_ = true;
    const auto passNotes = [&] {
        std::istringstream lines(diagnostics.str());
        diagnostics.str({});
        for (std::string line; std::getline(lines, line);)
            if (!line.empty() && notes) notes(line);
    };
    passNotes();
    if (board->port_.simulator && !board->state_.LoadInto(*board->port_.simulator, why))
        return fail(why);
    std::string unclaimed;
    const bool started = StartLink(board->link_, unclaimed);
    passNotes();
    if (!board->port_.simulated && (!started || !board->port_.backend->claimed()))
        return fail(board->Line());
    if (!options.noBoardCheck && !BoardAnswers(board->link_))
        return fail(
            NoBoardLine(board->port_.simulated ? "the simulated board" : board->port_.device));
    board->saveState_ = board->port_.simulator && options.simState;
    return board;
}

bool Board::Close(std::string& why) {
    if (!open_) return true;
    const bool saved = !saveState_ || state_.Save(*port_.simulator, why);
    Shut();
    return saved;
}

std::string Board::Line() const {
    return BoardLineFor(link_.backend(), port_.simulated, link_.base());
}

std::optional<double> Board::converterSeconds() const {
    return link_.backend().converterSeconds();
}

void Board::FlushTrace() {
    if (link_.OwnedHere()) trace_.Flush();
}

std::string Board::TakeTraceWarning() {
    if (!link_.OwnedHere()) return {};
    return trace_.TakeWarning();
}

}  // namespace kx
