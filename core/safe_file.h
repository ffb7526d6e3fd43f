#pragma once

#include <string>
#include <string_view>

// Saving a file so that a failure never leaves a cut file behind: everything goes to a temporary
// file beside the target, which is flushed, synced and renamed over the target only when whole.
// Plain C++ (POSIX calls); no Qt.

namespace kx {

// The system's reason for an errno value ("No space left on device").
std::string SystemReason(int error);

}  // namespace kx

namespace kx::files {

// A target that can be saved to: a name that does not exist yet, or an existing regular file.
// False for a FIFO, a directory or a device (a write to a FIFO would block until a reader
// comes), with the system's reason in `why` where there is one.
bool IsSaveTarget(const std::string& path, std::string* why = nullptr);

// A file written in pieces and put in place at the end. Nothing is visible under the target's
// name until Commit() succeeds; destroying an uncommitted file removes the temporary, so an
// existing file of that name stays as it was.
class AtomicFile {
public:
    AtomicFile() = default;
    ~AtomicFile();
    AtomicFile(const AtomicFile&) = delete;
    AtomicFile& operator=(const AtomicFile&) = delete;

    // Refuses a target that IsSaveTarget refuses, then creates the temporary file in the
    // target's directory (a symbolic link's target, so the link stays a link).
    bool Open(const std::string& path);
    bool Write(std::string_view bytes);
    // Flushes and syncs the temporary, renames it over the target and syncs the directory.
    bool Commit();
    // Removes the temporary; the target is untouched.
    void Discard();

    bool isOpen() const { return fd_ >= 0; }
    // The system's reason for the first failure ("No space left on device").
    const std::string& error() const { return error_; }

private:
    bool Fail(const std::string& what);

    int fd_ = -1;
    std::string target_;
    std::string temporary_;
    std::string error_;
};

// The whole file at once: Open, Write, Commit. Empty on success, else the system's reason.
std::string SaveAtomically(const std::string& path, std::string_view bytes);

}  // namespace kx::files
