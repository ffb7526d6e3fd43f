#include "acquisition/sim_state.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <fstream>
#include <set>
#include <sstream>

#include "core/safe_file.h"

namespace kx {

namespace {

const std::set<std::string>& StateNames() {
    static const std::set<std::string> names{"mode",       "adc-control", "filter",
                                             "io-control", "offset",      "gain",
                                             "register12", "register13",  "data"};
    return names;
}

}  // namespace

std::string CheckStateText(const std::string& text) {
    if (text.empty()) return "empty";
    if (text.back() != '\n') return "the last line is cut short";
    // The values: the board's own loader checks them, on a board that is then thrown away.
    sim::SimulatedBoard scratch;
    std::string why;
    if (!scratch.loadState(text, why)) return why;
    std::set<std::string> seen;
    std::istringstream lines(text);
    std::string name;
    std::string line;
    while (std::getline(lines, line)) {
        std::istringstream words(line);
        if (words >> name) seen.insert(name);
    }
    for (const auto& required : StateNames())
        if (!seen.count(required)) return "no value for " + required;
    return {};
}

SimStateFile::~SimStateFile() {
    Release();
}

void SimStateFile::Release() {
    if (lockFd_ >= 0) close(lockFd_);  // releases the lock
    lockFd_ = -1;
}

bool SimStateFile::Open(const std::string& path, std::string& why) {
    path_ = path;
    // No lock file beside a device or in place of a directory's contents.
    struct stat before {};
    if (stat(path.c_str(), &before) == 0 && !S_ISREG(before.st_mode)) {
        why = path + " is not a regular file";
        return false;
    }
    // The lock is a file of its own beside the state, made once and left there; a link in its
    // place is never followed, so the lock cannot be made to create or touch another file.
    const std::string lockPath = path + ".lock";
    lockFd_ = open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0666);
    if (lockFd_ < 0) {
        why = errno == ELOOP ? lockPath + " is a symbolic link, not the state file's lock"
                             : "cannot open " + lockPath + ": " + SystemReason(errno);
        return false;
    }
    struct stat lockInfo {};
    if (fstat(lockFd_, &lockInfo) != 0 || !S_ISREG(lockInfo.st_mode)) {
        why = lockPath + " is not a regular file, not the state file's lock";
        return false;
    }
    while (flock(lockFd_, LOCK_EX) != 0) {
        if (errno == EINTR) continue;
        why = "cannot lock " + lockPath + ": " + SystemReason(errno);
        return false;
    }

    struct stat info {};
    if (stat(path.c_str(), &info) != 0) {
        if (errno == ENOENT) return true;  // the power-on board
        why = "cannot open " + path + ": " + SystemReason(errno);
        return false;
    }
    if (!S_ISREG(info.st_mode)) {
        why = path + " is not a regular file";
        return false;
    }
    if (info.st_size > MaxStateBytes) {
        why = path + " is larger than 64 KiB: no board state";
        return false;
    }
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    if (!in) {
        why = "cannot read " + path + ": " + SystemReason(errno);
        return false;
    }
    text_ = text.str();
    if (const std::string problem = CheckStateText(text_); !problem.empty()) {
        why = path + ": not a whole board state: " + problem;
        return false;
    }
    exists_ = true;
    return true;
}

bool SimStateFile::LoadInto(sim::SimulatedBoard& board, std::string& why) const {
    if (!exists_) return true;
    std::string problem;
    if (board.loadState(text_, problem)) return true;
    why = path_ + ": " + problem;
    return false;
}

bool SimStateFile::Save(const sim::SimulatedBoard& board, std::string& why) const {
    const std::string error = files::SaveAtomically(path_, board.saveState());
    if (error.empty()) return true;
    why = "cannot save the board's state to " + path_ + ": " + error;
    return false;
}

}  // namespace kx
