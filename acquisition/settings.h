#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "board/board_link.h"

// The rule book of the converter's settings: for each setting its names, what it allows and its
// default, the one reader of every spelling a face is given, the one check of the settings as a
// whole, and the writing of them to a board with read-back. Every face (the tool, the Python
// module, the instrument server, configuration files, the screens' lists) reads and refuses
// through here; a refusal is a value that each face words in its own convention. Plain C++.

namespace kx {

enum class SettingId { Channel, Range, Polarity, Rate, Filter, Chop, Reference, Buffer };

struct SettingName {
    SettingId id;
    const char* key;   // "range": the tool's --range, Python's keyword, JSON and file keys
    const char* scpi;  // "RANGe": its node under CONFigure
    const char* what;  // "input range", for help texts
};
std::span<const SettingName> SettingNames();
const SettingName& NameOf(SettingId id);

// A value a setting does not allow: which setting, what was given (as given), what is allowed in
// words, and for a combination refused, why.
struct SettingRefusal {
    SettingId setting;
    std::string given;
    std::string allowed;
    std::string because;

    // "NAME takes ALLOWED, not 'GIVEN'" (": BECAUSE"), NAME as the face calls the setting.
    std::string Words(std::string_view name) const;
    // The same named by the setting's key ("rate takes ...").
    std::string Words() const;
};

// What a reader made of a value: the value, or why not.
template <class T>
struct SettingValue {
    std::optional<T> value;
    std::optional<SettingRefusal> refusal;
    explicit operator bool() const { return value.has_value(); }
};

// --- what is allowed ---

// The eight ranges by code 0..7: "20mV" ... "640mV", "1.28V", "2.56V", as scripts and files name
// them; their nominal volts (at a 2.5 V reference).
inline constexpr int RangeCount = 8;
std::string RangeName(int code);
double RangeVolts(int code);
// The range code whose nominal volts are `volts`, if any.
std::optional<int> RangeOfVolts(double volts);
// The smallest range whose span holds `volts` (a meter's rule), nullopt above the widest.
std::optional<int> RangeHolding(double volts);

// Channel codes 0..15 by the ADC control screen's captions without blanks ("AIN1-AINCOM"); codes
// 12, 14 and 15 name other inputs when CHCON is set.
inline constexpr int ChannelCount = 16;
std::string ChannelName(int code, bool chcon = false);

// "bipolar" or "unipolar".
std::string PolarityName(bool unipolar);
// "on" or "off".
std::string SwitchName(bool on);

// A number's limits and default, as help texts, refusals and the instrument's MINimum, MAXimum
// and DEFault give them. minText and maxText are as printed: a value typed as printed is taken.
struct NumberLimits {
    double min = 0;
    double max = 0;
    double def = 0;
    std::string minText;
    std::string maxText;
};
// Update rates in hertz: the slowest and the fastest filter word of the chop state.
NumberLimits RateLimits(bool chopEnabled);
// Filter words: 0D (03 without chopping) to FF.
NumberLimits FilterLimits(bool chopEnabled);
// Range in volts: 0.02 to 2.56, default the widest.
NumberLimits RangeLimits();
// Reference voltage: positive volts, two decimals kept, default 2.5.
NumberLimits ReferenceLimits();
// The power-on register values the defaults come from (the ADC control's is run.h's).
int32_t PowerOnMode();
int32_t PowerOnFilter();

// What a setting allows, in words ("20mV, 40mV, ... or 2.56V, or their volts 0.02 to 2.56").
std::string AllowedText(SettingId id, bool chopEnabled = true);

// --- readers: the one place text and numbers become settings ---

// A channel by name (any case, blanks ignored, the CHCON names too) or by its code 0..15.
SettingValue<int> ReadChannel(std::string_view text);
SettingValue<int> ReadChannel(long long code);
// A range as written: "2.56", "2.56V", "2.56 V", "± 2.56 V", "20mV", "20 mV" (any case), or a
// number of volts that is one of the eight.
SettingValue<int> ReadRange(std::string_view text);
SettingValue<int> ReadRange(double volts);
// "bipolar"/"unipolar" (or "bip"/"unip"), any case: true for unipolar.
SettingValue<bool> ReadPolarity(std::string_view text);
// An update rate in hertz (its limits depend on chopping: see CheckSettings).
SettingValue<double> ReadRate(std::string_view text);
SettingValue<double> ReadRate(double hz);
// A filter word: hexadecimal with an optional 0x, or a number, 0 to FF (its lower limit depends
// on chopping: see CheckSettings).
SettingValue<int> ReadFilter(std::string_view text);
SettingValue<int> ReadFilter(long long word);
// Chopping or the input buffer: on/off, true/false, 1/0, any case.
SettingValue<bool> ReadSwitch(SettingId id, std::string_view text);
// The reference in volts, rounded to two decimals and held in single precision, as the program
// stores it; it must stay positive.
SettingValue<float> ReadReference(std::string_view text);
SettingValue<float> ReadReference(double volts);

// The readers for callers that only want the value.
std::optional<int> ChannelCodeByName(std::string_view name);
std::optional<int> RangeCodeByName(std::string_view name);
std::optional<bool> UnipolarByName(std::string_view name);

// --- the settings as a value ---

struct ConverterSettings {
    std::optional<int> channel{};  // ADC control bits 7..4
    std::optional<int> range{};    // ADC control bits 2..0
    std::optional<bool> unipolar{};
    std::optional<double> rateHz{};  // the filter word whose rate is nearest
    std::optional<int> filter{};     // the filter word itself
    std::optional<bool> chop{};      // chopping enabled (the mode register's CHOP bit clear)
    std::optional<bool> buffer{};    // the input buffer (the mode register's BUF bit)
    std::optional<float> referenceVolts{};

    // Whether any register is to be written.
    bool writesRegisters() const {
        return channel || range || unipolar || rateHz || filter || chop || buffer;
    }
    // An ADC control byte with the channel, range and polarity given (the rest kept).
    int32_t ControlByte(int32_t adcControl) const;
    bool operator==(const ConverterSettings&) const = default;
};

// The settings checked as a whole over the board's mode and filter registers now: a rate and a
// filter word both given; a rate or a filter word outside the limits of the chopping they will
// run with; chopping switched on over a filter word below its smallest. nullopt when they stand.
std::optional<SettingRefusal> CheckSettings(const ConverterSettings& settings, int32_t modeNow,
                                            int32_t filterNow);

// The filter word the settings set, if they set one, under the chopping they leave.
std::optional<int> FilterWordOf(const ConverterSettings& settings, bool chopEnabled);

struct AppliedSettings {
    bool ok = false;
    // Nothing was written: the settings do not stand over the board's state.
    std::optional<SettingRefusal> refusal;
    // A register was written (the filter settles afresh after it).
    bool wrote = false;
    // The filter word a rate chose, and the rate it gives.
    std::optional<int> filterWord;
    std::optional<double> rateHz;
};

// Checks the settings over the board's registers, then writes those given, each read back: the
// filter word before switching chopping on and after switching it off, so that the converter
// never runs chopped on a word too small for it; the ADC control register last. Not ok after a
// refusal (nothing written) or a read-back that differs ("Error Programming KX3105" shown
// through the message service, and nothing more written).
AppliedSettings ApplySettings(BoardLink& link, const ConverterSettings& settings);

}  // namespace kx
