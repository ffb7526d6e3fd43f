#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "board/registers.h"

// The one way a register screen changes a field: read the register afresh (so changes made
// elsewhere are respected), form the new value from what was read, write it, read it back.
// Each screen words its mismatch message differently, so the caller names it (or compares itself).

namespace kx {

// The two wordings of a write that did not take; each field keeps the one it has always shown.
inline constexpr const char* ProgrammingError = "Error Programming KX3105";
inline constexpr const char* ProgrammingErrorLower = "Error programming KX3105";

struct RegisterUpdate {
    int32_t before = 0;    // value read before the write
    int32_t written = 0;   // value written
    int32_t readBack = 0;  // value read after the write
    bool matches() const { return written == readBack; }
};

RegisterUpdate UpdateRegister(Register& reg, const std::function<int32_t(int32_t before)>& change);

// The same, then `mismatch` in a warning box when the value read back differs from the one written.
RegisterUpdate UpdateRegister(Register& reg, const std::function<int32_t(int32_t before)>& change,
                              const std::string& mismatch);

// Reads the register as a whole number (register reads are whole by construction).
int32_t ReadValue(Register& reg);

// Writes value, then reads the register back.
int32_t WriteAndReadBack(Register& reg, int32_t value);

}  // namespace kx
