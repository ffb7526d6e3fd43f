#include "acquisition/board.h"

#include <sys/stat.h>

#include <cerrno>
#include <optional>

#include "acquisition/shared_run.h"
#include "board/port_addresses.h"
#include "board/port_trace.h"
#include "board/registers.h"
#include "board/windows_version.h"
#include "converter/register_update.h"
#include "core/globals.h"
#include "core/hex.h"
#include "core/safe_file.h"

namespace kx {

Board OpenBoard(const BoardOptions& options, std::ostream& diagnostics,
                std::unique_ptr<PpdevSystem> kernel, const std::string& prefix) {
    Board board;
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

std::optional<double> Board::converterSeconds() const {
    if (!simulator) return std::nullopt;
    return static_cast<double>(simulator->simulatedTimeNanoseconds()) * 1e-9;
}

void StartBoard(const std::string& commandLine) {
    ProgramCommandLine = commandLine;
    InitPort();
    PublishReference(DefaultReferenceVolts);
}

namespace {

std::string PortName(uint16_t address) {
    const PrinterPortAddress* known = FindPrinterPort(address);
    return (known ? std::string(known->name) + " at 0x" : std::string("the port at 0x")) +
           Hex(address);
}

}  // namespace

std::string BoardLine(const Board& board) {
    // The backend names itself: the simulated board in words, a printer port by its device.
    const std::string what = (board.simulated ? "" : "printer port ") + board.backend->describe();
    // Where the board can be reached, if anywhere.
    const std::optional<int32_t> answersAt = board.backend->boardAddress();
    const auto inUse = static_cast<uint16_t>(PortAddress);
    if (inUse == 0) return "Board: " + what + ", not available";
    if (answersAt && *answersAt == inUse) return "Board: " + what + " at 0x" + Hex(inUse);
    // The printer-port menu moves only the address: nothing answers there.
    return "Board: " + PortName(inUse) + ", no board there (the " + what +
           (answersAt ? " is at 0x" + Hex(static_cast<uint16_t>(*answersAt))
                      : " is not available") +
           ")";
}

bool BoardAnswers() {
    for (const RegisterInfo* info :
         {&RegisterMap::Status, &RegisterMap::Mode, &RegisterMap::AdcControl}) {
        Register reg = Register::For(*info);
        if (ReadValue(reg) != 0xFF) return true;
    }
    return false;
}

std::string NoBoardLine(const std::string& device) {
    return "no board answers on " + device;
}

BoardSession::~BoardSession() {
    Shut();
}

void BoardSession::PassNotes() {
    std::istringstream lines(diagnostics_.str());
    diagnostics_.str({});
    for (std::string line; std::getline(lines, line);)
        if (!line.empty() && notes_) notes_(line);
}

void BoardSession::Shut() {
    // The state file goes with the board: a session kept after its work (the Python module's)
    // must not hold up the next caller on that file.
    state_.Release();
    if (!open_) return;
    PassNotes();
    SetPortBackend(nullptr);
    // No port is known once it is released: a later session in the same process (the Python
    // module, the server) starts from none, as a new program does.
    PortAddress = 0;
    StopPortTrace();
    open_ = false;
}

bool BoardSession::Open(const BoardOptions& given, const Notes& notes, std::string& why) {
    BoardOptions options = given;
    notes_ = notes;
    if (options.simState && !state_.Open(*options.simState, why)) return false;
    if (!options.simulate && !options.portDevice) {
        struct stat info {};
        if (stat(DefaultPortDevice, &info) != 0) {
            why = std::string("no printer port found (") + DefaultPortDevice + ": " +
                  SystemReason(errno) + "); use --simulate for the simulated board";
            return false;
        }
        options.portDevice = DefaultPortDevice;
    }
    if (options.traceFile) {
        std::string error;
        if (!StartPortTrace(*options.traceFile, error)) {
            why = "cannot write the trace " + *options.traceFile + ": " + error;
            state_.Release();
            return false;
        }
    }
    board_ = OpenBoard(options, diagnostics_, nullptr, "");
    SetPortBackend(board_.backend.get());
    open_ = true;
    PassNotes();

    const auto fail = [this, &why](std::string reason) {
        why = std::move(reason);
        Shut();
        return false;
    };
    if (board_.simulator && !state_.LoadInto(*board_.simulator, why)) return fail(why);
    // The status switch belongs to the program, not to a session.
    StartBoard("");
    PassNotes();
    if (!board_.simulated && (PortAddress == 0 || !board_.backend->claimed()))
        return fail(BoardLine(board_));
    if (!options.noBoardCheck && !BoardAnswers())
        return fail(NoBoardLine(board_.simulated ? "the simulated board" : board_.device));
    saveState_ = board_.simulator && options.simState;
    return true;
}

bool BoardSession::Close(std::string& why) {
    const bool saved = !saveState_ || state_.Save(*board_.simulator, why);
    Shut();
    return saved;
}

}  // namespace kx
