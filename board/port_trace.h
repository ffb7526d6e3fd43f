#pragma once

#include <cstdint>
#include <cstdio>
#include <ostream>
#include <string>

// A record of every port access of a board's link in order, one line each: "W 378 1A" for a
// write of 0x1A to 0x378, "R 379 7F" for a read of 0x379 that returned 0x7F.

namespace kx {

enum class TraceStart {
    Started,
    WouldBlock,  // a target nobody reads (a FIFO without a reader): waiting would hang the program
    Failed,      // cannot be created or opened
};

class PortTrace {
public:
    PortTrace() = default;
    ~PortTrace();
    PortTrace(const PortTrace&) = delete;
    PortTrace& operator=(const PortTrace&) = delete;

    // Starts tracing to a file (replacing it) or a character device (/dev/stderr streams it);
    // the reason in error when it does not start.
    TraceStart Open(const std::string& path, std::string& error);
    // Written by the thread that owns the link: the accesses, then a flush when its work ends.
    void Read(int32_t address, int value);
    void Write(int32_t address, int value);
    void Flush();
    void Close();
    bool active() const { return file_ != nullptr; }

    // The first write, flush or close that fails stops the trace: one line goes to the
    // diagnostics stream (standard error unless set) and a warning waits here for the user,
    // handed out once.
    void SetDiagnostics(std::ostream* diagnostics) { diagnostics_ = diagnostics; }
    std::string TakeWarning();

private:
    void Line(char kind, int32_t address, int value);
    void Failed(int error, bool closed);

    std::FILE* file_ = nullptr;
    std::string path_;
    std::string warning_;
    std::ostream* diagnostics_ = nullptr;
};

}  // namespace kx
