#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <ostream>
#include <string>

#include "acquisition/board_options.h"
#include "acquisition/sim_state.h"
#include "board/board_link.h"
#include "board/port.h"
#include "board/port_trace.h"
#include "board/ppdev_port.h"
#include "sim/simulated_board.h"

// The board a face talks to: chosen and opened from the board options, held as an object that
// owns its port (a printer port or a simulated board), its link, its trace and the simulated
// board's saved state, and passed to every register, settings and capture function. Several are
// held at once in one process (two printer ports, any number of simulated boards); a printer port
// this process holds already is refused. Plain C++.

namespace kx {

// The port behind a board: the printer port through ppdev, or the simulated board.
struct BoardPort {
    std::unique_ptr<PpdevSystem> kernel;
    std::unique_ptr<PortBackend> backend;
    bool simulated = false;
    sim::SimulatedBoard* simulator = nullptr;  // the backend, when it is the simulated board
    std::string device;                        // the printer-port device, when not simulated
};

// The port the options name, as the desktop program chooses it: the simulated board with
// --simulate (or any --sim- option); the named device with --port; otherwise the first printer
// port, or the simulated board where the machine has none (said on diagnostics). kernel is how
// the machine's ports are found; nullptr asks the real kernel. The port's own notes go to
// diagnostics after `prefix`.
BoardPort OpenBoardPort(const BoardOptions& options, std::ostream& diagnostics,
                        std::unique_ptr<PpdevSystem> kernel = nullptr,
                        const std::string& prefix = "kx3105: ");

// One line naming the port in use (`inUse`, 0 for none) and the board behind it: the desktop
// program's printer-port menu may move it to an address where no board answers.
std::string BoardLineFor(const PortBackend& backend, bool simulated, uint16_t inUse);

// Whether a board answers on the link: a floating bus reads all ones, so status, mode and ADC
// control all FF is no board.
bool BoardAnswers(BoardLink& link);

// The line when no board answers on `device`.
std::string NoBoardLine(const std::string& device);

// A board held for a piece of work, as kx3105-cli, the Python module and the instrument server
// hold it: the named port, the first printer port (/dev/parport0), or the simulated board with its
// --sim-state file locked, loaded and saved; never the simulated board unless asked for, since a
// script must never get invented codes. The trace runs while it is open. The thread that opens
// it owns its link until it hands it on (BoardLink::HandTo).
class Board {
public:
    using Notes = std::function<void(const std::string& line)>;

    ~Board();
    Board(const Board&) = delete;
    Board& operator=(const Board&) = delete;

    // Opens the board, starts its link, and checks that a board answers (unless
    // options.noBoardCheck). nullptr with the reason in one line when it cannot. The port's own
    // notes (why it cannot be claimed) go to `notes` as they come. `kernel` is how the machine's
    // ports are reached; nullptr asks the real kernel.
    static std::unique_ptr<Board> Open(const BoardOptions& options, const Notes& notes,
                                       std::string& why,
                                       std::unique_ptr<PpdevSystem> kernel = nullptr);

    // Saves the simulated board's registers to its --sim-state file, then releases the port, the
    // trace and the state file. False with the reason when the state could not be saved. Closing
    // again does nothing; the destructor closes without saving.
    bool Close(std::string& why);
    bool open() const { return open_; }

    BoardLink& link() { return link_; }
    bool simulated() const { return port_.simulated; }
    sim::SimulatedBoard* simulator() const { return port_.simulator; }
    // The printer-port device, or empty for the simulated board.
    const std::string& device() const { return port_.device; }
    // "Board: simulated KX3105 board at 0x378", "Board: printer port /dev/parport1 at 0x278".
    std::string Line() const;
    // The board's own clock, where it has one (the simulated board's).
    std::optional<double> converterSeconds() const;

    // The trace is written by the thread that owns the link: flushed when its work ends; a trace
    // that failed leaves a warning here, handed out once.
    void FlushTrace();
    std::string TakeTraceWarning();
    // Where a failed trace says so at once (standard error unless set).
    void SetTraceDiagnostics(std::ostream* diagnostics) { trace_.SetDiagnostics(diagnostics); }

private:
    Board() = default;
    void Shut();

    BoardPort port_;
    BoardLink link_;
    PortTrace trace_;
    SimStateFile state_;
    std::string held_;  // the device this board holds in the process's register of ports
    bool saveState_ = false;
    bool open_ = false;
};

}  // namespace kx
