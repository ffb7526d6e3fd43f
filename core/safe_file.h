#pragma once

#include <string>
#include <string_view>

// Saving a file so that a failure never leaves a cut file behind: everything goes to a temporary
// file beside the target, which is flushed, synced and put in place under the target's name only
// when whole. The temporary has no name at all where the file system allows it (O_TMPFILE), so a
// killed process leaves nothing behind. Plain C++ (POSIX calls); no Qt.

namespace kx {

// The system's reason for an errno value ("No space left on device").
std::string SystemReason(int error);

// A file name as messages echo it: as it is, or in double quotes with C escapes ("a\nb") when it
// holds a control character, so that a newline in a name cannot start a line of its own.
std::string Quoted(const std::string& name);
// A text with every control character written as its escape, so that it stays one line.
std::string Escaped(std::string_view text);

}  // namespace kx

namespace kx::files {

// What a save does with a FIFO or a character device (/dev/null, a terminal): the screens refuse
// it, since opening a FIFO waits for a reader; the tool writes to it as a stream, as shell tools
// do. A directory, a block device or a socket is refused either way.
enum class Streams { Refused, Written };

// A target that can be saved to: a name that does not exist yet, an existing regular file, or
// with Streams::Written a FIFO or character device. False otherwise, with the system's reason in
// `why` where there is one.
bool IsSaveTarget(const std::string& path, std::string* why = nullptr,
                  Streams streams = Streams::Refused);

// A file written in pieces and put in place at the end. Nothing is visible under the target's
// name until Commit() succeeds; destroying an uncommitted file drops the temporary, so an
// existing file of that name stays as it was. A new file gets 0666 less the umask; a replaced
// one keeps its read and write bits, never execute, set-ID or sticky (a 4755 file becomes 0644).
// A stream target is written directly and Commit() only closes it.
class AtomicFile {
public:
    AtomicFile() = default;
    ~AtomicFile();
    AtomicFile(const AtomicFile&) = delete;
    AtomicFile& operator=(const AtomicFile&) = delete;

    // Refuses a target that IsSaveTarget refuses, then creates the temporary file in the
    // target's directory (a symbolic link's target, so the link stays a link).
    bool Open(const std::string& path, Streams streams = Streams::Refused);
    bool Write(std::string_view bytes);
    // Flushes and syncs the temporary, puts it in place over the target and syncs the directory.
    bool Commit();
    // Drops the temporary; the target is untouched.
    void Discard();

    bool isOpen() const { return fd_ >= 0; }
    // Writing straight into a FIFO or device: what was written cannot be taken back.
    bool streaming() const { return stream_; }
    // The system's reason for the first failure ("No space left on device").
    const std::string& error() const { return error_; }

private:
    bool Fail(const std::string& what);
    bool PutInPlace();

    int fd_ = -1;
    bool stream_ = false;
    bool unnamed_ = false;  // an O_TMPFILE, linked in only by Commit
    std::string target_;
    std::string temporary_;  // a named temporary's path, while it exists
    std::string error_;
};

// The whole file at once: Open, Write, Commit. Empty on success, else the system's reason.
std::string SaveAtomically(const std::string& path, std::string_view bytes,
                           Streams streams = Streams::Refused);

}  // namespace kx::files
