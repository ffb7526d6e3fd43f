#pragma once

#include <atomic>
#include <cstdint>
#include <optional>
#include <string>
#include <thread>

// Byte access to the printer port. Everything the program says to the board passes through
// PortIn and PortOut, which hand each access to the port backend chosen at start-up: the Linux
// printer port, the simulated board, or a recording port in tests.

// Filled by GetParallelPortInfo: the caller sets size to 12; baseAddress is the field used.
struct PortInfo {
    int32_t size = 0;
    int32_t baseAddress = 0;
    int32_t reserved = 0;
};

// The operations of the port library that start-up and PortIn/PortOut rely on.
class PortBackend {
public:
    virtual ~PortBackend() = default;

    virtual int32_t GetParallelPortCount() = 0;
    // Nonzero when the claim succeeded.
    virtual int16_t ClaimParallelPort(int32_t port, bool wait) = 0;
    // Nonzero when the port exists; info.baseAddress then holds its base I/O address.
    virtual int16_t GetParallelPortInfo(int32_t port, PortInfo& info) = 0;
    // The byte at an I/O address in the low 8 bits; addresses of no claimed port read 0xFF.
    virtual int32_t InByte(int32_t address) = 0;
    virtual void OutByte(int32_t address, int32_t value) = 0;

    // Which board this is, in words for the user ("simulated KX3105 board", "/dev/parport0").
    virtual std::string describe() const = 0;
    // Whether the port is ours to use: claimed from the system (a port that needs no claim is).
    virtual bool claimed() const = 0;
    // The base address at which a board can answer through this backend, if any: the claimed
    // printer port's, the simulated board's.
    virtual std::optional<int32_t> boardAddress() const = 0;
};

// Installs the backend that PortIn and PortOut use; nullptr installs one with no port at all.
// The caller keeps ownership.
void SetPortBackend(PortBackend* backend);
PortBackend& CurrentPortBackend();

// Reads one byte from an I/O address; only the low 8 bits of the backend's answer are kept.
// While PortAddress is 0 no port is known and nothing is accessed: the result is 0xFF.
int16_t PortIn(int32_t address);

// Writes the low 8 bits of value to an I/O address; nothing happens while PortAddress is 0.
void PortOut(int16_t address, int16_t value);

// One thread at a time owns the port: the program's first thread, until it hands the port to a
// worker for a piece of board work and takes it back when the work has ended. The hand-over is
// explicit, never a lock around each access; debug builds check each access against it.
std::thread::id PortOwner();
// An empty id leaves the port with no owner while it passes from one thread to another.
void HandPortTo(std::thread::id owner);
bool PortOwnedHere();

// A stop request for the board work of the calling thread: a wait on the ready line that finds
// it set ends at its next poll. nullptr: nothing stops the waits.
void SetWaitStopFlag(const std::atomic<bool>* flag);
bool WaitStopRequested();
// The calling thread's flag, for a wait to look up once: a thread-local costs a call per look in
// a shared object (the Python module), which a poll loop would pay on every status read.
const std::atomic<bool>* WaitStopFlag();
