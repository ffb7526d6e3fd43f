#pragma once

#include <cstdint>
#include <string>

namespace kx {

// Upper-case hexadecimal without prefix or leading zeros, as every screen shows register values
// and codes ("83", "7FFFF3", "0"). A negative 32-bit value shows its two's complement in 8 digits.
std::string Hex(int64_t value);

// The same, padded on the left with zeros to at least `width` digits.
std::string HexPadded(int64_t value, int width);

}  // namespace kx
