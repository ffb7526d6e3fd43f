#include "sim/sim_options.h"

#include <charconv>
#include <cmath>

namespace kx::sim {

namespace {

// The whole of text as a finite decimal number; otherwise why not, as "is not a number" or
// "is out of range" (1e309, 1e-400).
std::optional<double> WholeNumber(std::string_view text, std::string& why) {
    double value = 0;
    const auto [end, ec] =
        std::from_chars(text.data(), text.data() + text.size(), value, std::chars_format::general);
    const bool whole = !text.empty() && text.front() != '+' && end == text.data() + text.size();
    if (whole && ec == std::errc::result_out_of_range) {
        why = std::string(text) + " is out of range";
        return std::nullopt;
    }
    if (!whole || ec != std::errc() || !std::isfinite(value)) {
        why = "is not a number";
        return std::nullopt;
    }
    return value;
}

// A channel code 0..15, the whole of text.
std::optional<int> ChannelCode(std::string_view text) {
    int ch = -1;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), ch);
    if (text.empty() || ec != std::errc() || end != text.data() + text.size() || ch < 0 || ch > 15)
        return std::nullopt;
    return ch;
}

}  // namespace

std::optional<Fault> ParseFault(std::string_view name) {
    if (name == "ready-stuck") return Fault::ReadyStuck;
    if (name == "ignore-writes") return Fault::IgnoreWrites;
    if (name == "no-board") return Fault::NoBoard;
    return std::nullopt;
}

std::optional<Speed> ParseSpeed(std::string_view name) {
    if (name == "realtime") return Speed::RealTime;
    if (name == "fast") return Speed::Fast;
    return std::nullopt;
}

std::string FaultName(Fault fault) {
    switch (fault) {
        case Fault::ReadyStuck:
            return "ready-stuck";
        case Fault::IgnoreWrites:
            return "ignore-writes";
        case Fault::NoBoard:
            return "no-board";
    }
    return "unknown";
}

std::optional<uint64_t> ParseSeed(std::string_view text) {
    uint64_t value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || ec != std::errc() || end != text.data() + text.size()) return std::nullopt;
    return value;
}

bool ParseInputSetting(std::string_view text, int& channel, InputSetting& setting,
                       std::string& error) {
    const auto equals = text.find('=');
    if (equals == std::string_view::npos) {
        error = "not CH=VOLTS[,NOISE_UV]";
        return false;
    }
    const std::string_view channelText = text.substr(0, equals);
    std::string_view rest = text.substr(equals + 1);

    const auto ch = ChannelCode(channelText);
    if (!ch) {
        error = "the channel code must be 0 to 15";
        return false;
    }

    std::string_view voltsText = rest;
    std::optional<std::string_view> noiseText;
    if (const auto comma = rest.find(','); comma != std::string_view::npos) {
        voltsText = rest.substr(0, comma);
        noiseText = rest.substr(comma + 1);
    }
    std::string why;
    const auto volts = WholeNumber(voltsText, why);
    if (!volts) {
        error = "the voltage " + why;
        return false;
    }
    InputSetting parsed;
    parsed.volts = *volts;
    if (noiseText) {
        const auto noise = WholeNumber(*noiseText, why);
        if (!noise && why.ends_with("out of range")) {
            error = "the noise " + why;
            return false;
        }
        if (!noise || *noise < 0) {
            error = "the noise must be a number of microvolts, 0 or more";
            return false;
        }
        parsed.noiseMicrovolts = *noise;
    }
    channel = *ch;
    setting = parsed;
    return true;
}

bool ParseFaultSetting(std::string_view text, Fault& fault, std::optional<uint64_t>& afterResults,
                       std::string& error) {
    const auto at = text.find('@');
    const std::string_view name = text.substr(0, at);
    const auto parsed = ParseFault(name);
    if (!parsed) {
        error = "unknown fault '" + std::string(name) + "' (ready-stuck, ignore-writes, no-board)";
        return false;
    }
    std::optional<uint64_t> after;
    if (at != std::string_view::npos) {
        after = ParseSeed(text.substr(at + 1));
        if (!after) {
            error = "after '@' comes the number of conversion results, a whole number";
            return false;
        }
    }
    fault = *parsed;
    afterResults = after;
    return true;
}

bool ParseToneSetting(std::string_view text, ToneSetting& tone, std::string& error) {
    const auto equals = text.find('=');
    const auto comma = text.find(',', equals == std::string_view::npos ? 0 : equals);
    if (equals == std::string_view::npos || comma == std::string_view::npos) {
        error = "not CH=HZ,UV";
        return false;
    }
    const auto ch = ChannelCode(text.substr(0, equals));
    if (!ch) {
        error = "the channel code must be 0 to 15";
        return false;
    }
    std::string why;
    const auto hertz = WholeNumber(text.substr(equals + 1, comma - equals - 1), why);
    if (!hertz || *hertz < 0) {
        error = "the frequency must be a number of hertz, 0 or more";
        return false;
    }
    const auto microvolts = WholeNumber(text.substr(comma + 1), why);
    if (!microvolts || *microvolts < 0) {
        error = "the amplitude must be a number of microvolts RMS, 0 or more";
        return false;
    }
    tone = ToneSetting{*ch, *hertz, *microvolts};
    return true;
}

}  // namespace kx::sim
