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

    int ch = -1;
    const auto [chEnd, chEc] =
        std::from_chars(channelText.data(), channelText.data() + channelText.size(), ch);
    if (channelText.empty() || chEc != std::errc() ||
        chEnd != channelText.data() + channelText.size() || ch < 0 || ch > 15) {
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
    channel = ch;
    setting = parsed;
    return true;
}

}  // namespace kx::sim
