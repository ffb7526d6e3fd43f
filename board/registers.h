#pragma once

#include <array>
#include <cstdint>

#include "board/board_link.h"
#include "core/numtext.h"

// The converter's register map and the two one-transaction classes every screen uses.
//
// A communications byte, clocked out first as an 8-bit word, names the register (bits 3..0) and
// the direction (bit 6 set = read); the register's contents follow in the same direction.

struct RegisterInfo {
    const char* name;
    int16_t address;
    int16_t writeByte;  // NoByte for a read-only register
    int16_t readByte;   // NoByte for a write-only register
    int16_t width;      // bits

    static constexpr int16_t NoByte = -1;
    constexpr bool writable() const { return writeByte != NoByte; }
    constexpr bool readable() const { return readByte != NoByte; }
};

namespace RegisterMap {
inline constexpr RegisterInfo Status{"Status", 0, RegisterInfo::NoByte, 0x40, 8};
inline constexpr RegisterInfo Mode{"Mode", 1, 0x01, 0x41, 8};
inline constexpr RegisterInfo AdcControl{"ADC control", 2, 0x02, 0x42, 8};
inline constexpr RegisterInfo Filter{"Filter", 3, 0x03, 0x43, 8};
inline constexpr RegisterInfo Data{"Data", 4, RegisterInfo::NoByte, 0x44, 24};
inline constexpr RegisterInfo ZeroScale{"Zero-scale calibration", 5, 0x05, 0x45, 24};
inline constexpr RegisterInfo FullScale{"Full-scale calibration", 6, 0x06, 0x46, 24};
inline constexpr RegisterInfo IoControl{"I/O control", 7, 0x07, 0x47, 8};
inline constexpr RegisterInfo Register12{"Register 12", 12, 0x0C, RegisterInfo::NoByte, 16};
inline constexpr RegisterInfo Register13{"Register 13", 13, 0x0D, RegisterInfo::NoByte, 16};

inline constexpr std::array<RegisterInfo, 10> All{Status,     Mode,      AdcControl, Filter,
                                                  Data,       ZeroScale, FullScale,  IoControl,
                                                  Register12, Register13};

// The entry for a register address, or nullptr for an address the converter does not use.
const RegisterInfo* Find(int address);
}  // namespace RegisterMap

// One read/write register of the board on a link. The fields are plain properties: set them from
// the map, then ReadReg or WriteReg. Nothing is cached: every ReadReg goes to the converter.
class Register {
public:
    explicit Register(kx::BoardLink& link) : link_(&link) {}
    // Set up with For before its first transaction (a screen's member, made before its link is).
    Register() = default;

    int16_t WordLength = 0;

    // Sends ReadAddress, then clocks in WordLength bits at the link's port. RegValue is left alone.
    double ReadReg();

    // Sends WriteAddress, then RegValue as a WordLength-bit word, rounded to the nearest
    // whole number with halves going to the even neighbour. No read-back.
    void WriteReg();

    double RegValue = 0;
    int16_t ReadAddress = 0;
    int16_t WriteAddress = 0;

    // A register set up from its map entry (bytes and width); a missing byte stays 0.
    static Register For(kx::BoardLink& link, const RegisterInfo& info);
    // The same on the desktop program's port (board/program_port.h; its screens only).
    static Register For(const RegisterInfo& info);

    kx::BoardLink& link() const { return *link_; }

private:
    kx::BoardLink* link_ = nullptr;
};

// The data register reader: sends ReadAddress, waits for data ready, clocks in the result.
class ReadData {
public:
    explicit ReadData(kx::BoardLink& link) : link_(&link) {}

    // Returns the conversion result, or TimeoutMarker when data ready never came. (Named Read:
    // a member cannot share the class's name.)
    int32_t Read();

    int16_t WordLength = 0;
    int16_t ReadAddress = 0;

    // Set up for the data register: 0x44, 24 bits.
    static ReadData ForDataRegister(kx::BoardLink& link);
    // The same on the desktop program's port (board/program_port.h; its screens only).
    static ReadData ForDataRegister();

private:
    kx::BoardLink* link_;
};
