#pragma once

#include <cstdint>
#include <initializer_list>
#include <span>
#include <string>
#include <string_view>

// Parameters as SCPI writes them, read into values, and values written back as responses.
// Each reader returns 0 or the err:: number of what is wrong. Plain C++.

namespace kx::scpi {

// Decimal numeric data ("2.56", "-1e3", ".5") with an optional suffix of letters ("20mV"; a blank
// between allowed), or non-decimal numeric data of IEEE 488.2 ("#H45", "#B101", "#Q17").
// `suffix` comes back upper-cased, empty when none.
int ParseNumber(std::string_view text, double& value, std::string& suffix);

// Volts: a number with no suffix or V, MV (millivolts) or UV.
int ParseVolts(std::string_view text, double& volts);

// Hertz: a number with no suffix or HZ, KHZ.
int ParseHertz(std::string_view text, double& hz);

// A whole number from min to max, no suffix.
int ParseCount(std::string_view text, int64_t min, int64_t max, int64_t& value);

// An unsigned value written in hexadecimal as kx3105-cli takes it ("45", "0x45"), or as IEEE
// 488.2 non-decimal numeric data ("#H45", "#B1000101", "#Q105"); at most `max`.
int ParseHexValue(std::string_view text, uint64_t max, uint64_t& value);

// Character data: the index of the choice ("ASCii", "INTeger") it names in its short or long
// form, any case; -1 for none.
int Choose(std::string_view text, std::initializer_list<std::string_view> choices);

// ON, OFF, 1 or 0.
int ParseBoolean(std::string_view text, bool& value);

// A parameter with its quotes removed (a doubled quote inside becomes one); unquoted text as it
// is.
std::string Unquoted(std::string_view text);

// A number as response data: the shortest decimal that reads back as the same double; SCPI's
// 9.91E+37 for not-a-number and 9.9E+37 (negative: -9.9E+37) for the infinities.
std::string FormatNumber(double value);

// Non-decimal numeric response data: #H and upper-case hexadecimal digits.
std::string FormatHex(uint64_t value);

// An IEEE 488.2 definite-length arbitrary block: '#', the number of length digits, the length,
// then the bytes.
std::string DefiniteBlock(std::string_view bytes);

// 32-bit signed codes as bytes, most significant byte first (NORMal) or last (SWAPped).
std::string Int32Bytes(std::span<const int32_t> codes, bool bigEndian);

// Codes as comma-separated decimal numbers.
std::string AsciiCodes(std::span<const int32_t> codes);

}  // namespace kx::scpi
