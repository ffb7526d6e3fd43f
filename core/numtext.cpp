#include "core/numtext.h"

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <system_error>

int32_t RoundHalfEven(double value) {
    if (std::isnan(value)) return 0;
    // nearbyint rounds halves to even under the default rounding mode.
    const double r = std::nearbyint(value);
    if (r >= 2147483647.0) return INT32_MAX;
    if (r <= -2147483648.0) return INT32_MIN;
    return static_cast<int32_t>(r);
}

namespace kx {

namespace {

struct PatternShape {
    int minInt = 0;  // "0" digits before the point
    int minDec = 0;  // decimals up to the last "0" after the point
    int maxDec = 0;  // every digit placeholder after the point
    bool point = false;
};

PatternShape Shape(std::string_view pattern) {
    PatternShape s;
    const auto dot = pattern.find('.');
    const std::string_view intPart = pattern.substr(0, dot);
    for (char c : intPart)
        if (c == '0') ++s.minInt;
    if (dot != std::string_view::npos) {
        s.point = true;
        const std::string_view dec = pattern.substr(dot + 1);
        for (size_t i = 0; i < dec.size(); ++i) {
            if (dec[i] != '0' && dec[i] != '#') continue;
            ++s.maxDec;
            if (dec[i] == '0') s.minDec = s.maxDec;
        }
    }
    return s;
}

// The magnitude's decimal digits, rounded half away from zero to `decimals` places, taken from
// its 15-significant-digit form so binary noise does not decide a half.
std::string RoundedDigits(double magnitude, int decimals, int& intDigits) {
    // to_chars, unlike printf, ignores the process locale: sig is d.dddddddddddddde[+-]XX.
    char sig[64] = {};
    std::to_chars(sig, sig + sizeof sig - 1, magnitude, std::chars_format::scientific, 14);
    std::string digits;
    digits.push_back(sig[0]);
    digits.append(sig + 2, sig + 16);
    const int exponent = std::atoi(sig + 17);
    // Position of the decimal point within `digits`.
    int pointAt = exponent + 1;
    if (pointAt < 0) {
        digits.insert(0, static_cast<size_t>(-pointAt), '0');
        pointAt = 0;
    }
    if (static_cast<int>(digits.size()) < pointAt) digits.append(pointAt - digits.size(), '0');
    const int keep = pointAt + decimals;
    if (static_cast<int>(digits.size()) > keep) {
        const bool up = digits[keep] >= '5';
        digits.resize(keep);
        if (up) {
            int i = keep - 1;
            while (i >= 0 && digits[i] == '9')
                digits[i--] = '0';
            if (i >= 0) {
                ++digits[i];
            } else {
                digits.insert(digits.begin(), '1');
                ++pointAt;
            }
        }
    } else {
        digits.append(keep - digits.size(), '0');
    }
    intDigits = pointAt;
    return digits;
}

}  // namespace

std::string FormatPattern(double value, std::string_view pattern) {
    if (std::isnan(value)) return "NaN";
    if (std::isinf(value)) return value < 0 ? "-Infinity" : "Infinity";
    const PatternShape s = Shape(pattern);
    int intDigits = 0;
    std::string digits = RoundedDigits(std::fabs(value), s.maxDec, intDigits);

    std::string intPart = digits.substr(0, intDigits);
    std::string decPart = digits.substr(intDigits);
    const size_t firstSignificant = intPart.find_first_not_of('0');
    intPart = firstSignificant == std::string::npos ? "" : intPart.substr(firstSignificant);
    if (static_cast<int>(intPart.size()) < s.minInt)
        intPart.insert(0, s.minInt - intPart.size(), '0');
    while (static_cast<int>(decPart.size()) > s.minDec && decPart.back() == '0')
        decPart.pop_back();

    const bool zero = intPart.find_first_not_of('0') == std::string::npos &&
                      decPart.find_first_not_of('0') == std::string::npos;
    std::string out;
    if (value < 0 && !zero) out.push_back('-');
    out += intPart;
    if (s.point) {
        out.push_back('.');
        out += decPart;
    }
    return out;
}

std::string FormatGeneral(double value) {
    if (std::isnan(value)) return "NaN";
    if (std::isinf(value)) return value < 0 ? "-Infinity" : "Infinity";
    if (value == std::trunc(value) && std::fabs(value) < 1e15) {
        char buffer[32];
        const auto r = std::to_chars(buffer, buffer + sizeof buffer, value == 0 ? 0.0 : value,
                                     std::chars_format::fixed, 0);
        return std::string(buffer, r.ptr);
    }
    char buffer[64];
    const auto r =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::general, 15);
    return std::string(buffer, r.ptr);
}

std::string ShortestFloat(float value) {
    char buffer[64];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    return std::string(buffer, result.ptr);
}

std::optional<double> ParseDecimal(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
        text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t'))
        text.remove_suffix(1);
    if (text.empty()) return std::nullopt;
    size_t i = 0;
    if (text[i] == '+' || text[i] == '-') ++i;
    int digits = 0;
    bool point = false;
    for (; i < text.size(); ++i) {
        const char c = text[i];
        if (c >= '0' && c <= '9') {
            ++digits;
        } else if (c == '.' && !point) {
            point = true;
        } else {
            break;
        }
    }
    if (digits == 0) return std::nullopt;
    if (i < text.size()) {
        if (text[i] != 'e' && text[i] != 'E') return std::nullopt;
        ++i;
        if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
        int expDigits = 0;
        for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i)
            ++expDigits;
        if (expDigits == 0 || i != text.size()) return std::nullopt;
    }
    // from_chars reads the C form whatever the process locale is (Qt adopts the desktop's, where
    // the point may be a comma); it takes no leading plus.
    const char* first = text.data();
    if (*first == '+') ++first;
    double value = 0;
    const auto result = std::from_chars(first, text.data() + text.size(), value);
    if (result.ec != std::errc() || result.ptr != text.data() + text.size()) return std::nullopt;
    return value;
}

std::optional<unsigned long long> ParseHex(std::string_view text) {
    if (text.empty() || text.size() > 16) return std::nullopt;
    unsigned long long value = 0;
    for (char c : text) {
        int d;
        if (c >= '0' && c <= '9') {
            d = c - '0';
        } else if (c >= 'A' && c <= 'F') {
            d = c - 'A' + 10;
        } else if (c >= 'a' && c <= 'f') {
            d = c - 'a' + 10;
        } else {
            return std::nullopt;
        }
        value = value * 16 + static_cast<unsigned>(d);
    }
    return value;
}

std::optional<uint32_t> ParseHexValue(std::string_view text, uint32_t max) {
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X'))
        text.remove_prefix(2);
    const auto value = ParseHex(text);
    if (!value || *value > max) return std::nullopt;
    return static_cast<uint32_t>(*value);
}

}  // namespace kx
