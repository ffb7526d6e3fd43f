#include "server/scpi_values.h"

#include <charconv>
#include <cmath>
#include <limits>

#include "server/scpi_errors.h"
#include "server/scpi_parser.h"

namespace kx::scpi {

namespace {

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}
bool IsAlpha(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}
bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}
std::string Upper(std::string_view text) {
    std::string out(text);
    for (char& c : out)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return out;
}

// The value of a digit in `base`, -1 when it is none.
int DigitValue(char c, int base) {
    int v = -1;
    if (IsDigit(c))
        v = c - '0';
    else if (c >= 'a' && c <= 'f')
        v = c - 'a' + 10;
    else if (c >= 'A' && c <= 'F')
        v = c - 'A' + 10;
    return v >= 0 && v < base ? v : -1;
}

// Digits of `base` to the end of text; false on none, a stray character or more than 64 bits.
bool ParseDigits(std::string_view text, int base, uint64_t& value) {
    if (text.empty()) return false;
    value = 0;
    for (const char c : text) {
        const int d = DigitValue(c, base);
        if (d < 0) return false;
        if (value > (std::numeric_limits<uint64_t>::max() - static_cast<uint64_t>(d)) /
                        static_cast<uint64_t>(base))
            return false;
        value = value * static_cast<uint64_t>(base) + static_cast<uint64_t>(d);
    }
    return true;
}

// "#H45", "#Q17", "#B101": 0 or the error.
int ParseNonDecimal(std::string_view text, uint64_t& value) {
    if (text.size() < 2) return err::InvalidCharacterInNumber;
    const char kind = text[1];
    const int base = (kind == 'H' || kind == 'h')   ? 16
                     : (kind == 'Q' || kind == 'q') ? 8
                     : (kind == 'B' || kind == 'b') ? 2
                                                    : 0;
    // '#' and a digit begins block data, which no command here takes.
    if (base == 0) return IsDigit(kind) ? err::DataType : err::InvalidCharacterInNumber;
    return ParseDigits(text.substr(2), base, value) ? 0 : err::InvalidCharacterInNumber;
}

}  // namespace

int ParseNumber(std::string_view text, double& value, std::string& suffix) {
    suffix.clear();
    if (text.empty()) return err::MissingParameter;
    if (text.front() == '#') {
        uint64_t v = 0;
        const int e = ParseNonDecimal(text, v);
        if (e == 0) value = static_cast<double>(v);
        return e;
    }
    size_t i = 0;
    if (text[i] == '+' || text[i] == '-') ++i;
    const size_t mantissa = i;
    size_t digits = 0;
    while (i < text.size() && IsDigit(text[i])) {
        ++i;
        ++digits;
    }
    if (i < text.size() && text[i] == '.') {
        ++i;
        while (i < text.size() && IsDigit(text[i])) {
            ++i;
            ++digits;
        }
    }
    if (digits == 0) {
        // Words are character data, quoted ones strings: the wrong type here.
        if (mantissa == 0 && (IsAlpha(text[0]) || text[0] == '"' || text[0] == '\''))
            return err::DataType;
        return err::InvalidCharacterInNumber;
    }
    std::string number(text.substr(0, i));
    // An exponent: E, an optional sign and digits, blanks allowed around the E.
    size_t j = i;
    while (j < text.size() && IsBlank(text[j]))
        ++j;
    if (j < text.size() && (text[j] == 'E' || text[j] == 'e')) {
        size_t k = j + 1;
        while (k < text.size() && IsBlank(text[k]))
            ++k;
        size_t signAt = k;
        if (k < text.size() && (text[k] == '+' || text[k] == '-')) ++k;
        if (k < text.size() && IsDigit(text[k])) {
            const size_t start = k;
            while (k < text.size() && IsDigit(text[k]))
                ++k;
            number += "e" + std::string(text.substr(signAt, k - signAt));
            (void)start;
            i = k;
        }
    }
    if (number.front() == '+') number.erase(0, 1);
    const auto [end, ec] = std::from_chars(number.data(), number.data() + number.size(), value);
    if (ec != std::errc() || end != number.data() + number.size() || !std::isfinite(value))
        return err::NumericData;
    while (i < text.size() && IsBlank(text[i]))
        ++i;
    const size_t suffixStart = i;
    while (i < text.size() && (IsAlpha(text[i]) || text[i] == '/'))
        ++i;
    if (i != text.size()) return err::InvalidCharacterInNumber;
    suffix = Upper(text.substr(suffixStart));
    return 0;
}

int ParseVolts(std::string_view text, double& volts) {
    std::string suffix;
    if (const int e = ParseNumber(text, volts, suffix)) return e;
    if (suffix.empty() || suffix == "V") return 0;
    if (suffix == "MV") {
        volts *= 1e-3;
        return 0;
    }
    if (suffix == "UV") {
        volts *= 1e-6;
        return 0;
    }
    return err::InvalidSuffix;
}

int ParseHertz(std::string_view text, double& hz) {
    std::string suffix;
    if (const int e = ParseNumber(text, hz, suffix)) return e;
    if (suffix.empty() || suffix == "HZ") return 0;
    if (suffix == "KHZ") {
        hz *= 1e3;
        return 0;
    }
    return err::InvalidSuffix;
}

int ParseCount(std::string_view text, int64_t min, int64_t max, int64_t& value) {
    double number = 0;
    std::string suffix;
    if (const int e = ParseNumber(text, number, suffix)) return e;
    if (!suffix.empty()) return err::SuffixNotAllowed;
    if (number != std::floor(number) || number < static_cast<double>(min) ||
        number > static_cast<double>(max))
        return err::DataOutOfRange;
    value = static_cast<int64_t>(number);
    return 0;
}

int ParseHexValue(std::string_view text, uint64_t max, uint64_t& value) {
    if (text.empty()) return err::MissingParameter;
    if (text.front() == '#') {
        if (const int e = ParseNonDecimal(text, value)) return e;
    } else {
        std::string_view digits = text;
        if (digits.size() > 2 && digits[0] == '0' && (digits[1] == 'x' || digits[1] == 'X'))
            digits.remove_prefix(2);
        if (!ParseDigits(digits, 16, value)) {
            // Too many digits for 64 bits is still a number, only far too large.
            bool allHex = !digits.empty();
            for (const char c : digits)
                allHex = allHex && DigitValue(c, 16) >= 0;
            return allHex ? err::DataOutOfRange : err::DataType;
        }
    }
    return value > max ? err::DataOutOfRange : 0;
}

int Choose(std::string_view text, std::initializer_list<std::string_view> choices) {
    int index = 0;
    for (const std::string_view choice : choices) {
        if (MatchesMnemonic(text, choice)) return index;
        ++index;
    }
    return -1;
}

int ParseBoolean(std::string_view text, bool& value) {
    switch (Choose(text, {"ON", "OFF", "1", "0"})) {
        case 0:
        case 2:
            value = true;
            return 0;
        case 1:
        case 3:
            value = false;
            return 0;
        default:
            return err::IllegalParameterValue;
    }
}

std::string Unquoted(std::string_view text) {
    if (text.size() < 2 || (text.front() != '"' && text.front() != '\'') ||
        text.back() != text.front())
        return std::string(text);
    const char quote = text.front();
    std::string out;
    for (size_t i = 1; i + 1 < text.size(); ++i) {
        out += text[i];
        if (text[i] == quote && i + 2 < text.size() && text[i + 1] == quote) ++i;
    }
    return out;
}

std::string FormatNumber(double value) {
    if (std::isnan(value)) return "9.91E+37";
    if (std::isinf(value)) return value > 0 ? "9.9E+37" : "-9.9E+37";
    char text[64];
    const auto [end, ec] = std::to_chars(text, text + sizeof text, value);
    return ec == std::errc() ? std::string(text, end) : "9.91E+37";
}

std::string FormatHex(uint64_t value) {
    char text[32];
    const auto [end, ec] = std::to_chars(text, text + sizeof text, value, 16);
    std::string digits(text, ec == std::errc() ? end : text);
    return "#H" + Upper(digits);
}

std::string DefiniteBlock(std::string_view bytes) {
    const std::string length = std::to_string(bytes.size());
    std::string out;
    out.reserve(bytes.size() + length.size() + 2);
    out += '#';
    out += std::to_string(length.size());
    out += length;
    out.append(bytes);
    return out;
}

std::string Int32Bytes(std::span<const int32_t> codes, bool bigEndian) {
    std::string out(codes.size() * 4, '\0');
    char* p = out.data();
    for (const int32_t code : codes) {
        const uint32_t u = static_cast<uint32_t>(code);
        for (int b = 0; b < 4; ++b) {
            const int shift = bigEndian ? 24 - 8 * b : 8 * b;
            *p++ = static_cast<char>((u >> shift) & 0xFF);
        }
    }
    return out;
}

std::string AsciiCodes(std::span<const int32_t> codes) {
    std::string out;
    out.reserve(codes.size() * 9);
    char text[16];
    for (size_t i = 0; i < codes.size(); ++i) {
        if (i) out += ',';
        const auto [end, ec] = std::to_chars(text, text + sizeof text, codes[i]);
        out.append(text, end);
    }
    return out;
}

}  // namespace kx::scpi
