#pragma once

#include <string>

#include "sim/simulated_board.h"

// The --sim-state file: the simulated board's registers kept from one call to the next. Calls on
// one file take an advisory lock on FILE.lock beside it for their whole run, so they follow each
// other; the lock file stays once made, and a symbolic link in its place is refused. The file is
// replaced atomically. Plain C++ (POSIX calls).

namespace kx {

inline constexpr long MaxStateBytes = 64 * 1024;

// Whether a saved state is whole: every register named once or more, each with a value in range,
// and the last line ended. Empty when it is, else the reason.
std::string CheckStateText(const std::string& text);

class SimStateFile {
public:
    SimStateFile() = default;
    ~SimStateFile();
    SimStateFile(const SimStateFile&) = delete;
    SimStateFile& operator=(const SimStateFile&) = delete;

    // Waits for the lock, then reads and checks the file; a missing file is the power-on board.
    // False with the reason (naming the file) for anything else that is not a whole state.
    bool Open(const std::string& path, std::string& why);
    // The state read by Open, if there was one.
    bool LoadInto(sim::SimulatedBoard& board, std::string& why) const;
    // Replaces the file with the board's registers: temporary file, sync, rename.
    bool Save(const sim::SimulatedBoard& board, std::string& why) const;
    // Lets the next caller have the file (the destructor does too).
    void Release();

private:
    std::string path_;
    std::string text_;
    bool exists_ = false;
    int lockFd_ = -1;
};

}  // namespace kx
