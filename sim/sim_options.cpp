#include "sim_options.h"

#include <charconv>
#include <cmath>

namespace kx::sim {

namespace {

// The whole of text as a finite decimal number, or nothing.
std::optional<double> WholeNumber(std::string_view text) {
    if (text.empty() || text.front() == '+') return std::nullopt;
    double value = 0;
    const auto [end, ec] =
        std::from_chars(text.data(), text.data() + text.size(), value, std::chars_format::general);
    if (ec != std::errc() || end != text.data() + text.size() || !std::isfinite(value))
        return std::nullopt;
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
    const std::string quoted = "'" + std::string(text) + "'";
    const auto equals = text.find('=');
    if (equals == std::string_view::npos) {
        error = "input setting " + quoted + " is not CH=VOLTS[,NOISE_UV]";
        return false;
    }
    const std::string_view channelText = text.substr(0, equals);
    std::string_view rest = text.substr(equals + 1);

    int ch = -1;
    const auto [chEnd, chEc] =
        std::from_chars(channelText.data(), channelText.data() + channelText.size(), ch);
    if (channelText.empty() || chEc != std::errc() ||
        chEnd != channelText.data() + channelText.size() || ch < 0 || ch > 15) {
        error = "input setting " + quoted + ": the channel code must be 0 to 15";
        return false;
    }

    std::string_view voltsText = rest;
    std::optional<std::string_view> noiseText;
    if (const auto comma = rest.find(','); comma != std::string_view::npos) {
        voltsText = rest.substr(0, comma);
        noiseText = rest.substr(comma + 1);
    }
    const auto volts = WholeNumber(voltsText);
    if (!volts) {
        error = "input setting " + quoted + ": the voltage is not a number";
        return false;
    }
    InputSetting parsed;
    parsed.volts = *volts;
    if (noiseText) {
        const auto noise = WholeNumber(*noiseText);
        if (!noise || *noise < 0) {
            error =
                "input setting " + quoted + ": the noise must be a number of microvolts, 0 or more";
            return false;
        }
        parsed.noiseMicrovolts = *noise;
    }
    channel = ch;
    setting = parsed;
    return true;
}

}  // namespace kx::sim
