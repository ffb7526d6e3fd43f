#pragma once

#include <cstdint>
#include <optional>
#include <string>

// The operations of a printer-port library, behind which a board answers: the Linux printer port,
// the simulated board, or a recording port in tests. A board's link (board/board_link.h) talks
// through one of them.

// Filled by GetParallelPortInfo: the caller sets size to 12; baseAddress is the field used.
struct PortInfo {
    int32_t size = 0;
    int32_t baseAddress = 0;
    int32_t reserved = 0;
};

// The operations of the port library that start-up and the byte access rely on.
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
    // The board's own clock in seconds, where it has one: the simulated board's converter time, on
    // which its results come exactly one update period apart. nullopt for a board behind a printer
    // port, whose conversions the PC times as each becomes ready.
    virtual std::optional<double> converterSeconds() const { return std::nullopt; }
};

// A backend with no port at all: nothing claimed, every read 0xFF.
PortBackend& NoPortBackend();
