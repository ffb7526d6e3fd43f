// libFuzzer target for the option values a user types: the board options (the tool's and the
// program's table, the simulated board's inputs, tones, faults, seeds), the converter settings by
// name, the reference, decimal and hexadecimal values. Each line of the input is one value, its
// first byte choosing what it is given to. Any value is taken or refused with a reason that
// names the option; what is taken lies within the option's bounds.

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <string>
#include <string_view>

#include "acquisition/board_options.h"
#include "acquisition/read_run.h"
#include "acquisition/settings.h"
#include "core/numtext.h"

using namespace kx;

namespace {

void Check(bool condition) {
    if (!condition) __builtin_trap();
}

// A refusal names the setting and repeats what was given; a value taken lies within its bounds.
template <class T>
bool Taken(const SettingValue<T>& read, SettingId id) {
    Check(read.value.has_value() != read.refusal.has_value());
    if (read.refusal) Check(read.refusal->setting == id && !read.refusal->allowed.empty());
    return read.value.has_value();
}

void Setting(ConverterSettings& s, unsigned which, const std::string& value) {
    switch (which % 8) {
        case 0:
            if (const auto r = ReadChannel(value); Taken(r, SettingId::Channel)) {
                Check(*r.value >= 0 && *r.value < ChannelCount);
                s.channel = r.value;
            }
            break;
        case 1:
            if (const auto r = ReadRange(value); Taken(r, SettingId::Range)) {
                Check(*r.value >= 0 && *r.value < RangeCount);
                s.range = r.value;
            }
            break;
        case 2:
            if (const auto r = ReadPolarity(value); Taken(r, SettingId::Polarity))
                s.unipolar = r.value;
            break;
        case 3:
            if (const auto r = ReadRate(value); Taken(r, SettingId::Rate)) {
                Check(std::isfinite(*r.value) && *r.value > 0);
                s.rateHz = r.value;
            }
            break;
        case 4:
            if (const auto r = ReadFilter(value); Taken(r, SettingId::Filter)) {
                Check(*r.value >= 0 && *r.value <= 0xFF);
                s.filter = r.value;
            }
            break;
        case 5:
            if (const auto r = ReadSwitch(SettingId::Chop, value); Taken(r, SettingId::Chop))
                s.chop = r.value;
            break;
        case 6:
            if (const auto r = ReadSwitch(SettingId::Buffer, value); Taken(r, SettingId::Buffer))
                s.buffer = r.value;
            break;
        default:
            if (const auto r = ReadReference(value); Taken(r, SettingId::Reference))
                Check(std::isfinite(*r.value) && *r.value > 0);
            break;
    }
}

void Value(unsigned which, const std::string& value) {
    switch (which % 6) {
        case 0:
            if (const auto v = ParseDecimal(value)) Check(std::isfinite(*v));
            break;
        case 1:
            if (const auto v = ParseHexValue(value, 0xFF)) Check(*v <= 0xFF);
            break;
        case 2:
            if (const auto v = run::ParseReference(value)) {
                Check(std::isfinite(*v));
                // Taken to two decimals, as the read screen stores it.
                Check(std::fabs(*v * 100.0 - std::nearbyint(*v * 100.0)) <= std::fabs(*v) * 1e-4);
            }
            break;
        case 3:
            if (ParseHex(value)) Check(!value.empty() && value.size() <= 16);
            break;
        case 4:
            // A whole 16-bit number; the type holds the bounds.
            run::ParseCodeCount(value);
            break;
        default:
            if (const auto v = run::ParseDelay(value)) Check(*v >= 0);
            break;
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    const auto table = BoardOptionTable();
    BoardOptions board;
    ConverterSettings settings;
    for (size_t at = 0; at < input.size();) {
        size_t end = input.find('\n', at);
        if (end == std::string_view::npos) end = input.size();
        const std::string_view line = input.substr(at, end - at);
        at = end + 1;
        if (line.empty()) continue;
        const auto which = static_cast<unsigned char>(line[0]);
        const std::string value(line.substr(1));
        if (which < 0x80) {
            const BoardOptionText& option = table[which % table.size()];
            if (const auto why = ApplyBoardOption(board, option.name, value))
                Check(why->find(option.name) != std::string::npos);
        } else if (which < 0xC0) {
            Setting(settings, which, value);
        } else {
            Value(which, value);
        }
    }
    if (const auto why = CheckBoardOptions(board)) Check(!why->empty());
    for (const int32_t control : {0x00, 0x07, 0x5F, 0xFF}) {
        const int32_t byte = settings.ControlByte(control);
        Check(byte >= 0 && byte <= 0xFF);
    }
    // The whole check decides over any board state, and a word it lets through is one the
    // chopping allows.
    for (const int32_t mode : {0x01, 0x81})
        for (const int32_t filter : {0x03, 0x45})
            if (const auto refusal = CheckSettings(settings, mode, filter)) {
                Check(!refusal->allowed.empty());
            } else {
                const bool chop = settings.chop.value_or((mode & 0x80) == 0);
                if (const auto word = FilterWordOf(settings, chop))
                    Check(*word >= (chop ? 0x0D : 0x03) && *word <= 0xFF);
            }
    return 0;
}
