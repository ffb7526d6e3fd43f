#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <ostream>
#include <sstream>
#include <string>

#include "acquisition/board_options.h"
#include "acquisition/sim_state.h"
#include "board/port.h"
#include "board/ppdev_port.h"
#include "sim/simulated_board.h"

// The board a program talks to: chosen and opened from the board options, started as the program
// starts its link, checked to answer, and (for kx3105-cli and the faces after it) opened for one
// piece of work with the simulated board's saved state around it. Plain C++.

namespace kx {

// The board, owned for as long as it is used.
struct Board {
    std::unique_ptr<PpdevSystem> kernel;
    std::unique_ptr<PortBackend> backend;
    bool simulated = false;
    sim::SimulatedBoard* simulator = nullptr;  // the backend, when it is the simulated board
    std::string device;                        // the printer-port device, when not simulated

    // The board's own clock, in seconds, where it has one: the simulated board's converter time,
    // on which its results come exactly one update period apart. nullopt for a board behind a
    // printer port, whose conversions the PC times as each becomes ready.
    std::optional<double> converterSeconds() const;
};

// The simulated board with --simulate (or any --sim- option); the named device with --port;
// otherwise the first printer port, or the simulated board where the machine has none (said on
// diagnostics). kernel is how the machine's ports are found; nullptr asks the real kernel. The
// port's own notes go to diagnostics after `prefix`.
Board OpenBoard(const BoardOptions& options, std::ostream& diagnostics,
                std::unique_ptr<PpdevSystem> kernel = nullptr,
                const std::string& prefix = "kx3105: ");

// The start of the link, as the program starts: the command line searched for the status
// switch, InitPort, then the reference voltage of start-up. The board must be installed with
// SetPortBackend first.
void StartBoard(const std::string& commandLine);

// One line naming the port in use (PortAddress) and the board behind it: the printer-port menu
// may move the program to an address where no board answers.
std::string BoardLine(const Board& board);

// Whether a board answers: a floating bus reads all ones, so status, mode and ADC control all FF
// is no board.
bool BoardAnswers();

// The line when no board answers on `device`.
std::string NoBoardLine(const std::string& device);

// A board opened for one piece of work and closed after it, as kx3105-cli uses it: the named
// port, the first printer port (/dev/parport0), or the simulated board with its --sim-state file
// locked, loaded and saved; never the simulated board unless asked for, since a script must never
// get invented codes. The trace runs while it is open.
class BoardSession {
public:
    using Notes = std::function<void(const std::string& line)>;

    BoardSession() = default;
    ~BoardSession();
    BoardSession(const BoardSession&) = delete;
    BoardSession& operator=(const BoardSession&) = delete;

    // Opens and installs the board, starts the link, and checks that a board answers (unless
    // options.noBoardCheck). False with the reason in one line, the board closed again. The
    // port's own notes (why it cannot be claimed) go to `notes` as they come.
    bool Open(const BoardOptions& options, const Notes& notes, std::string& why);
    // Saves the simulated board's registers to its --sim-state file, then closes the board and
    // the trace. False with the reason when the state could not be saved.
    bool Close(std::string& why);
    // The board while the session is open: its line (BoardLine), the simulated board's clock.
    const Board& board() const { return board_; }

private:
    void Shut();
    void PassNotes();

    Board board_;
    SimStateFile state_;
    bool saveState_ = false;
    bool open_ = false;
    Notes notes_;
    std::ostringstream diagnostics_;
};

}  // namespace kx
