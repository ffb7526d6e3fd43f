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
// "20mV" ... "640mV", "1.28V", "2.56V", any case, a blank before the unit allowed; a bare number
// is volts ("2.56", "0.02"), and any of them in the other unit ("0.64V", "1280mV").
std::optional<int> RangeCodeByName(std::string name);
std::string RangeName(int code);
// "bipolar" or "unipolar", any case: true for unipolar.
std::optional<bool> UnipolarByName(const std::string& name);

// Why a rate typed as `text` for `option` ("--rate", "--rates") cannot be had under a chop state:
// not a number of hertz, or outside the rates of the filter words that chop state allows, named
// as a usage error ("--rate takes 5.35 to 105.03 Hz with chopping on, not '0.5'"). nullopt when
// NearestFilterWord gives it.
std::optional<std::string> RateRefusal(const std::string& option, const std::string& text,
                                       bool chopEnabled);

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
    // What writing the settings came to.
    struct Applied {
        bool ok = false;
        // A value the board's own state refuses (a rate outside the limits of its chopping):
        // nothing was written.
        std::optional<std::string> refusal;
        // The filter word a rate chose, and the rate it gives.
        std::optional<int> filterWord;
        std::optional<double> rateHz;
    };
    // Writes the settings given, each read back, a rate as the filter word whose rate is nearest
    // under the chopping the settings leave. Not ok after a refusal (before any write) or the
    // message of a mismatch.
    Applied Apply() const;
};

}  // namespace kx
