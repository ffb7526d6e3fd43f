#include "cli/board_session.h"

#include <sys/stat.h>

#include <cerrno>
#include <iostream>
#include <sstream>

#include "board/port_trace.h"
#include "board/registers.h"
#include "cli/output.h"
#include "cli/sim_state.h"
#include "converter/register_update.h"
#include "core/globals.h"

namespace kx::cli {

namespace {

// A floating bus reads all ones: status, mode and ADC control all FF is no board.
bool BoardAnswers() {
    for (const RegisterInfo* info :
         {&RegisterMap::Status, &RegisterMap::Mode, &RegisterMap::AdcControl}) {
        Register reg = Register::For(*info);
        if (ReadValue(reg) != 0xFF) return true;
    }
    return false;
}

}  // namespace

std::string NoBoardLine(const std::string& device) {
    return "no board answers on " + device;
}

int WithBoard(const GlobalOptions& global, const std::function<int()>& command) {
    StartupOptions options = global.board;
    // The status switch belongs to the program, not to the tool.
    options.commandLine.clear();

    SimStateFile state;
    if (global.simState) {
        std::string why;
        if (!state.Open(*global.simState, why)) return Failure(why);
    }
    if (!options.simulate && !options.portDevice) {
        // A script must never get invented codes: no silent fall-back to the simulated board.
        struct stat info {};
        if (stat(DefaultPortDevice, &info) != 0)
            return Failure(std::string("no printer port found (") + DefaultPortDevice + ": " +
                           SystemReason(errno) + "); use --simulate for the simulated board");
        options.portDevice = DefaultPortDevice;
    }
    if (options.traceFile) {
        std::string error;
        if (!StartPortTrace(*options.traceFile, error))
            return Failure("cannot write the trace " + *options.traceFile + ": " + error);
    }

    // The port's own notes (why a port cannot be claimed) go to standard error as the tool's.
    std::ostringstream notes;
    size_t notesShown = 0;
    auto showNotes = [&] {
        std::istringstream lines(notes.str().substr(notesShown));
        notesShown = notes.str().size();
        for (std::string line; std::getline(lines, line);) {
            if (line.rfind("kx3105: ", 0) == 0) line.erase(0, 8);
            if (!line.empty()) Note(line);
        }
    };
    Board board = OpenBoard(options, notes);
    auto* simulated = dynamic_cast<sim::SimulatedBoard*>(board.backend.get());
    SetPortBackend(board.backend.get());
    auto finish = [&](int status) {
        showNotes();
        SetPortBackend(nullptr);
        StopPortTrace();
        return status;
    };
    showNotes();

    if (simulated) {
        std::string why;
        if (!state.LoadInto(*simulated, why)) return finish(Failure(why));
    }
    RunStartup(options);
    showNotes();
    if (!simulated && (PortAddress == 0 || !board.backend->claimed()))
        return finish(Failure(BoardLine(board)));
    if (!global.noBoardCheck && !BoardAnswers())
        return finish(Failure(NoBoardLine(simulated ? "the simulated board" : board.device)));

    int status = command();

    if (simulated && global.simState) {
        std::string why;
        if (!state.Save(*simulated, why)) {
            Note(why);
            if (status == ExitOk) status = ExitFailure;
        }
    }
    return finish(status);
}

}  // namespace kx::cli
