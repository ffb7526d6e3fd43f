#pragma once

#include <cstdint>
#include <functional>

#include "board/registers.h"
#include "converter/register_update.h"

// The mode register: bit 7 CHOP (set = chopping disabled), 6 BUF (set = buffered), 5 REFSEL
// (set = reference input 2), 4 CHCON, 3 OSCPD (set = oscillator stops in power-down), 2..0 the
// operating mode (0 power-down, 1 idle, 2 single, 3 continuous, 4..7 the calibrations).

namespace kx::mode {

inline constexpr int32_t ChopBit = 0x80;
inline constexpr int32_t BufBit = 0x40;
inline constexpr int32_t RefSelBit = 0x20;
inline constexpr int32_t ChconBit = 0x10;
inline constexpr int32_t OscPdBit = 0x08;
inline constexpr int32_t CodeMask = 0x07;

inline constexpr int FirstCalibrationCode = 4;

// Mismatch messages: a field and an operating mode are worded differently, and both are kept.
inline constexpr const char* FieldError = ProgrammingError;
inline constexpr const char* CodeError = ProgrammingErrorLower;
inline constexpr const char* CalibrationError = "Error Calibrating KX3105";
inline constexpr const char* CalibratingText = "KX3105 Calibrating";
inline constexpr const char* ZeroScalePrompt =
    "Please Connect a Zero Scale signal to the Analog Input";
inline constexpr const char* FullScalePrompt =
    "Please connect a Full Scale signal to the Analog Input";

// The mode register read straight over the serial link (0x41, then 8 bits), as the control and
// filter screens do once at opening.
int32_t ReadModeDirect(BoardLink& link);

inline int Code(int32_t value) {
    return value & CodeMask;
}
inline int32_t WithBit(int32_t value, int32_t bit, bool set) {
    return set ? (value | bit) : (value & ~bit & 0xFF);
}
inline int32_t WithCode(int32_t value, int code) {
    return (value & 0xF8) | (code & CodeMask);
}

// Sets or clears one field bit (read, modify, write, read back); warns with FieldError when
// the read-back differs.
RegisterUpdate ProgramBit(Register& mode, int32_t bit, bool set);

// Selects operating mode 0 to 3, keeping bits 7..3 as read; warns with CodeError on a mismatch.
RegisterUpdate ProgramCode(Register& mode, int code);

// The connect prompt of calibration modes 6 and 7, shown before anything is written.
void ConnectPrompt(int code);

// Runs calibration mode 4 to 7 once its prompt was answered: the mode write (no read-back: the
// converter leaves the mode by itself when done), `calibrating` so the screen can say so, the
// bounded wait on the ready line with CalibrationError when it runs out (not when a stop request
// ended it). The wait and its stop request are the mode register's link's. Returns the mode
// register as read afterwards.
int32_t Calibrate(Register& mode, int code, const std::function<void()>& calibrating);

}  // namespace kx::mode
