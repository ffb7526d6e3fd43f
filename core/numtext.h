#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// Numbers as the screens show and read them. The display patterns are the Visual-Basic-style
// fixed-point patterns the screens were designed with:
//   "0" prints a digit always, "#" only when significant (no leading zero before the point),
//   the number of pattern digits after the point is the most decimals shown, and a "0" among
//   them sets the fewest (trailing zeros up to it are kept). A pattern with a point always
//   prints the point ("#.##" shows 512 as "512.").
// Rounding is to the nearest, halves away from zero, on the value's 15-significant-digit
// decimal form (so 2.675 with "0.00" shows 2.68, as an engineer reading it expects).

// A double as the nearest 32-bit integer, halves to even (as registers and counts are rounded);
// out-of-range values are clamped, NaN is 0.
int32_t RoundHalfEven(double value);

namespace kx {

// "0.###", "#.##", "00.00", "#.##00", "####.##", "#.00", "##.00", "0.00", "00.000", "0".
std::string FormatPattern(double value, std::string_view pattern);

// General number format: a whole number prints without decimals (1250, 8388620), a fraction
// with the digits it needs, up to 15 significant (1250.5). Never exponent notation below 1e15.
std::string FormatGeneral(double value);

// The shortest decimal text that reads back as the same single-precision value: 640, 1280, 20,
// 0.1.
std::string ShortestFloat(float value);

// A decimal number typed by the user: blanks around it, an optional sign, digits with at most one
// point (".5" and "5." count), an optional exponent. Anything else, an empty text, or a value
// beyond the double range gives nullopt.
std::optional<double> ParseDecimal(std::string_view text);

// Hexadecimal digits 0-9, A-F in either case, no prefix, no blanks, at most 16 digits; nullopt
// otherwise (empty included). Callers apply their own width limits.
std::optional<unsigned long long> ParseHex(std::string_view text);

// Hexadecimal with an optional 0x or 0X, as scripts give it; nullopt for anything else or a value
// above max.
std::optional<uint32_t> ParseHexValue(std::string_view text, uint32_t max);

}  // namespace kx
