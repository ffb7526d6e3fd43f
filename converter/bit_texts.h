#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace kx {

// The eight bit labels of an 8-bit register, bit 7 first: "1" for a set bit, "0" for a clear one.
std::array<std::string, 8> BitTexts(int32_t value);

}  // namespace kx
