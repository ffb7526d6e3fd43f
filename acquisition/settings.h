#pragma once

#include <cstdint>
#include <optional>
#include <string>

// Converter settings by name, as scripts give them: channel AIN3-AINCOM, range 640mV, polarity
// unipolar, rate 50 or filter 2A, chop on. Each is written with a read-back before the work uses
// the board, with the register screens' message on a mismatch. Plain C++.

namespace kx {

// "AIN1-AINCOM" ... the ADC control screen's channel captions without blanks; codes 12, 14 and
// 15 also by their CHCON names ("AIN9-AIN10"). Any case. nullopt for another name.
std::optional<int> ChannelCodeByName(std::string name);
// The name of a channel code, as the captions read with the mode register's CHCON bit as given.
std::string ChannelName(int code, bool chcon = false);
// "20mV" ... "640mV", "1.28V", "2.56V", any case, a blank before the unit allowed.
std::optional<int> RangeCodeByName(std::string name);
std::string RangeName(int code);
// "bipolar" or "unipolar", any case: true for unipolar.
std::optional<bool> UnipolarByName(const std::string& name);

struct Settings {
    std::optional<std::string> channel;
    std::optional<std::string> range;
    std::optional<std::string> polarity;
    std::optional<std::string> rate;    // hertz
    std::optional<std::string> filter;  // hexadecimal, 0x allowed
    std::optional<std::string> chop;    // on or off

    // Why a value names nothing ("--range takes 20mV, ..., not '3V'"); nullopt when all do.
    std::optional<std::string> Refusal() const;
    bool any() const { return channel || range || polarity || rate || filter || chop; }
    // An ADC control byte with the channel, range and polarity given (the rest kept).
    int32_t ControlByte(int32_t adcControl) const;
    // Writes the settings given, each read back; false after the message of a mismatch.
    bool Apply() const;
};

}  // namespace kx
