#pragma once

#include <cstdint>
#include <ostream>
#include <string>

// A record of every port access in order, one line each: "W 378 1A" for a write of 0x1A to
// 0x378, "R 379 7F" for a read of 0x379 that returned 0x7F.

namespace kx {

enum class TraceStart {
    Started,
    WouldBlock,  // a target nobody reads (a FIFO without a reader): waiting would hang the program
    Failed,      // cannot be created or opened
};

// Starts tracing to a file (replacing it) or a character device (/dev/stderr streams it); the
// reason in error when it does not start. The file is made complete whenever the program waits
// for the user and at exit.
TraceStart OpenPortTrace(const std::string& path, std::string& error);
// The same, true when started.
bool StartPortTrace(const std::string& path, std::string& error);
void FlushPortTrace();
void StopPortTrace();

// The first write, flush or close that fails stops the trace: one line goes to the diagnostics
// stream (standard error unless set) and a warning waits here for the user, handed out once.
void SetPortTraceDiagnostics(std::ostream* diagnostics);
std::string TakePortTraceWarning();

// True while a trace is written. PortIn/PortOut test it on every access: one predictable branch.
extern bool portTraceActive;

// Used by PortIn/PortOut only.
void TraceRead(int32_t address, int value);
void TraceWrite(int32_t address, int value);

}  // namespace kx
