#pragma once

#include <cstdint>
#include <string>

// A record of every port access in order, one line each: "W 378 1A" for a write of 0x1A to
// 0x378, "R 379 7F" for a read of 0x379 that returned 0x7F.

namespace kx {

// Starts tracing to a file (replacing it). False, with the reason in error, if it cannot be
// created. The file is made complete whenever the program waits for the user and at exit.
bool StartPortTrace(const std::string& path, std::string& error);
void FlushPortTrace();
void StopPortTrace();

// True while a trace is written. PortIn/PortOut test it on every access: one predictable branch.
extern bool portTraceActive;

// Used by PortIn/PortOut only.
void TraceRead(int32_t address, int value);
void TraceWrite(int32_t address, int value);

}  // namespace kx
