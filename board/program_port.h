#pragma once

#include <atomic>
#include <cstdint>
#include <ostream>
#include <string>
#include <thread>

#include "board/board_link.h"
#include "board/port.h"
#include "board/port_trace.h"

// The desktop program's board, as its screens have always reached it: one link for the whole run,
// at the port address PortAddress (which the printer-port menu moves), and the routines by their
// old names as thin wrappers over the functions that take a link. Only the desktop program's
// screens and their start-up use this; every other face holds a board of its own
// (acquisition/board.h) and passes its link.

namespace kx {
// The program's link; its base address is PortAddress.
BoardLink& ProgramLink();
}  // namespace kx

// Installs the backend the program's link talks through; nullptr installs one with no port at
// all. The caller keeps ownership.
void SetPortBackend(PortBackend* backend);
PortBackend& CurrentPortBackend();

// Reads one byte from an I/O address; only the low 8 bits of the backend's answer are kept.
// While PortAddress is 0 no port is known and nothing is accessed: the result is 0xFF.
int16_t PortIn(int32_t address);

// Writes the low 8 bits of value to an I/O address; nothing happens while PortAddress is 0.
void PortOut(int16_t address, int16_t value);

// The program's link's owner (see BoardLink::HandTo).
std::thread::id PortOwner();
void HandPortTo(std::thread::id owner);
bool PortOwnedHere();

// The stop request of the program's board work (see BoardLink::SetStopFlag).
void SetWaitStopFlag(const std::atomic<bool>* flag);
bool WaitStopRequested();
const std::atomic<bool>* WaitStopFlag();

// The serial routines on the program's link.
void WriteSerial(int32_t value, int16_t port, int16_t bits);
int32_t ReadSerial(int16_t bits, int16_t port);
int32_t ReadSerialWhenReady(int16_t bits, int16_t port);

// The calibration wait at PortAddress + 1.
bool WaitForCalibration(int32_t* pollsUsed = nullptr);

namespace kx {

// The resets on the program's link.
void HardwareReset();
void SoftwareReset();

// --trace FILE for the program: the program's link records every access there. The file is
// made complete whenever the program waits for the user and at exit.
TraceStart OpenPortTrace(const std::string& path, std::string& error);
bool StartPortTrace(const std::string& path, std::string& error);
// Flushed by the thread that owns the program's link.
void FlushPortTrace();
void StopPortTrace();
void SetPortTraceDiagnostics(std::ostream* diagnostics);
// The warning of a trace that stopped, once, to the thread that owns the program's link.
std::string TakePortTraceWarning();

}  // namespace kx
