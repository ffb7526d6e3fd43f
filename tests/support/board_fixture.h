#pragma once

#include "board/program_port.h"
#include "core/globals.h"
#include "tests/support/recording_port.h"

// A fresh program talking to a recording port at 0x378: globals reset, backend installed for
// the lifetime of the object.
struct RecordingBoard {
    kx::RecordingPort port;

    explicit RecordingBoard(int16_t address = 0x378) {
        kx::ResetGlobals();
        PortAddress = address;
        SetPortBackend(&port);
    }
    ~RecordingBoard() {
        SetPortBackend(nullptr);
        kx::ResetGlobals();
    }
    RecordingBoard(const RecordingBoard&) = delete;
    RecordingBoard& operator=(const RecordingBoard&) = delete;

    // Every byte written to the data register, in order.
    std::vector<int> dataWrites() const { return port.writesTo(PortAddressUnsigned()); }

    static int32_t PortAddressUnsigned() { return static_cast<uint16_t>(PortAddress); }
};

// The write sequence that clocks out one word: for each bit 1A then 13 1B (a 1) or 12 1A (a 0),
// most significant first, then a closing 1A. Written here independently of the code under test.
inline std::vector<int> SerialWordWrites(uint32_t value, int bits) {
    std::vector<int> out;
    for (int k = bits - 1; k >= 0; --k) {
        out.push_back(0x1A);
        if ((value >> k) & 1u) {
            out.push_back(0x13);
            out.push_back(0x1B);
        } else {
            out.push_back(0x12);
            out.push_back(0x1A);
        }
    }
    out.push_back(0x1A);
    return out;
}

// Status-register reads that make an 8-bit register read return `value`: data out (bit 4) high
// for each 1 bit, most significant first.
inline std::vector<int> StatusReadsFor(int value) {
    std::vector<int> reads;
    for (int k = 7; k >= 0; --k)
        reads.push_back((value >> k) & 1 ? 0x10 : 0x00);
    return reads;
}

// Data-register writes of an 8-bit register read: the communications byte, the opening idle
// write, then clock low / clock high for each bit clocked in.
inline std::vector<int> ByteRegisterReadWrites(int communicationsByte) {
    std::vector<int> writes = SerialWordWrites(communicationsByte, 8);
    writes.push_back(0x1A);
    for (int i = 0; i < 8; ++i) {
        writes.push_back(0x12);
        writes.push_back(0x1A);
    }
    return writes;
}

inline std::vector<int> Concat(std::initializer_list<std::vector<int>> parts) {
    std::vector<int> out;
    for (const auto& p : parts)
        out.insert(out.end(), p.begin(), p.end());
    return out;
}
