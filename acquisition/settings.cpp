#include "acquisition/settings.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cmath>
#include <limits>

#include "acquisition/read_run.h"
#include "acquisition/run.h"
#include "board/registers.h"
#include "converter/adc_control_fields.h"
#include "converter/control_logic.h"
#include "converter/filter_logic.h"
#include "converter/mode_logic.h"
#include "converter/register_fields.h"
#include "converter/register_update.h"
#include "core/hex.h"
#include "core/messages.h"
#include "core/numtext.h"

namespace kx {

namespace {

constexpr std::array<SettingName, 8> Names{{
    {SettingId::Channel, "channel", "CHANnel", "input channel pair"},
    {SettingId::Range, "range", "RANGe", "input range"},
    {SettingId::Polarity, "polarity", "POLarity", "bipolar or unipolar coding"},
    {SettingId::Rate, "rate", "RATE", "update rate in Hz, the nearest a filter word gives"},
    {SettingId::Filter, "filter", "FILTer", "filter word (hexadecimal)"},
    {SettingId::Chop, "chop", "CHOP", "chopping on or off"},
    {SettingId::Reference, "ref", "REFerence", "reference voltage in volts"},
    {SettingId::Buffer, "buffer", "BUFFer", "input buffer on or off"},
}};

// Upper case without blanks: names are compared so.
std::string Squeezed(std::string_view text) {
    std::string out;
    for (const char c : text)
        if (c != ' ' && c != '\t')
            out += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return out;
}

std::string TwoDecimals(double value) {
    return FormatPattern(value, "0.00");
}

// A number as a refusal repeats it: whole numbers without a point, others as briefly as they read.
std::string NumberText(double value) {
    return FormatGeneral(value);
}

SettingRefusal Refuse(SettingId id, std::string given, bool chopEnabled = true) {
    return {id, std::move(given), AllowedText(id, chopEnabled), {}};
}

template <class T>
SettingValue<T> Take(T value) {
    return {value, std::nullopt};
}

template <class T>
SettingValue<T> Refused(SettingRefusal refusal) {
    return {std::nullopt, std::move(refusal)};
}

const fields::RegisterFields& FieldsFor(const RegisterInfo& info) {
    return *fields::FieldsOf(info);
}

// Writes value, reads it back; the screens' message on a difference.
bool WriteChecked(BoardLink& link, const RegisterInfo& info, int32_t value) {
    Register reg = Register::For(link, info);
    if (WriteAndReadBack(reg, value) == value) return true;
    ShowMessage(ProgrammingError, Icon::Warning);
    return false;
}

}  // namespace

std::span<const SettingName> SettingNames() {
    return Names;
}

const SettingName& NameOf(SettingId id) {
    return Names[static_cast<size_t>(id)];
}

std::string SettingRefusal::Words(std::string_view name) const {
    std::string text = std::string(name) + " takes " + allowed + ", not '" + given + "'";
    if (!because.empty()) text += ": " + because;
    return text;
}

std::string SettingRefusal::Words() const {
    return Words(NameOf(setting).key);
}

// --- what is allowed ---

std::string RangeName(int code) {
    std::string span = adc::RangeSpan(code);
    span.erase(std::remove(span.begin(), span.end(), ' '), span.end());
    return span;
}

double RangeVolts(int code) {
    return adc::NominalRangeVolts(code);
}

std::optional<int> RangeOfVolts(double volts) {
    for (int code = 0; code < RangeCount; ++code)
        if (std::fabs(volts / RangeVolts(code) - 1) < 1e-6) return code;
    return std::nullopt;
}

std::optional<int> RangeHolding(double volts) {
    const double size = std::fabs(volts);
    if (!std::isfinite(size)) return std::nullopt;
    for (int code = 0; code < RangeCount; ++code)
        if (size <= RangeVolts(code) * (1 + 1e-9)) return code;
    return std::nullopt;
}

std::string ChannelName(int code, bool chcon) {
    std::string caption = adc::ChannelCaption(code, chcon);
    caption.erase(std::remove(caption.begin(), caption.end(), ' '), caption.end());
    return caption;
}

std::string PolarityName(bool unipolar) {
    return unipolar ? "unipolar" : "bipolar";
}

std::string SwitchName(bool on) {
    return on ? "on" : "off";
}

int32_t PowerOnMode() {
    return FieldsFor(RegisterMap::Mode).powerOn;
}

int32_t PowerOnFilter() {
    return FieldsFor(RegisterMap::Filter).powerOn;
}

NumberLimits RateLimits(bool chopEnabled) {
    // As printed to two decimals, so that a rate typed as the help gives it is taken.
    NumberLimits l;
    l.min = SlowestRate(chopEnabled);
    l.max = FastestRate(chopEnabled);
    l.def = UpdateRate(PowerOnFilter(), chopEnabled);
    l.minText = TwoDecimals(l.min);
    l.maxText = TwoDecimals(l.max);
    return l;
}

NumberLimits FilterLimits(bool chopEnabled) {
    NumberLimits l;
    l.min = MinFilterWord(chopEnabled);
    l.max = MaxFilterWord;
    l.def = PowerOnFilter();
    l.minText = HexPadded(MinFilterWord(chopEnabled), 2);
    l.maxText = HexPadded(MaxFilterWord, 2);
    return l;
}

NumberLimits RangeLimits() {
    NumberLimits l;
    l.min = RangeVolts(0);
    l.max = RangeVolts(RangeCount - 1);
    l.def = RangeVolts(adc::RangeCode(PowerOnAdcControl));
    l.minText = FormatGeneral(l.min);
    l.maxText = FormatGeneral(l.max);
    return l;
}

NumberLimits ReferenceLimits() {
    NumberLimits l;
    l.min = 0.01;  // the smallest positive value at two decimals
    l.max = std::numeric_limits<float>::max();
    l.def = 2.5;
    l.minText = "0.01";
    l.maxText = FormatGeneral(l.max);
    return l;
}

std::string AllowedText(SettingId id, bool chopEnabled) {
    switch (id) {
        case SettingId::Channel: {
            std::string names = ChannelName(0) + " ... " + ChannelName(7);
            for (int code = 8; code < ChannelCount; ++code)
                names += ", " + ChannelName(code);
            return names + " (or the code, 0 to " + std::to_string(ChannelCount - 1) + ")";
        }
        case SettingId::Range: {
            std::string names;
            for (int code = 0; code < RangeCount; ++code)
                names += (code == 0                ? ""
                          : code == RangeCount - 1 ? " or "
                                                   : ", ") +
                         RangeName(code);
            const NumberLimits l = RangeLimits();
            return names + " (or their volts, " + l.minText + " to " + l.maxText + ")";
        }
        case SettingId::Polarity:
            return PolarityName(false) + " or " + PolarityName(true);
        case SettingId::Rate: {
            const NumberLimits l = RateLimits(chopEnabled);
            return l.minText + " to " + l.maxText + " Hz with chopping " + SwitchName(chopEnabled);
        }
        case SettingId::Filter: {
            const NumberLimits l = FilterLimits(chopEnabled);
            return l.minText + " to " + l.maxText + " (hexadecimal) with chopping " +
                   SwitchName(chopEnabled);
        }
        case SettingId::Chop:
        case SettingId::Buffer:
            return "on or off";
        case SettingId::Reference:
            return "a positive number of volts";
    }
    return {};
}

// --- readers ---

SettingValue<int> ReadChannel(std::string_view text) {
    const std::string name = Squeezed(text);
    for (int code = 0; code < ChannelCount; ++code)
        for (const bool chcon : {false, true})
            if (Squeezed(ChannelName(code, chcon)) == name) return Take(code);
    // A code as a number: no channel's name is one.
    if (const auto number = ParseDecimal(text); number && *number == std::floor(*number))
        return ReadChannel(static_cast<long long>(std::clamp(*number, -1.0, 1e6)));
    return Refused<int>(Refuse(SettingId::Channel, std::string(text)));
}

SettingValue<int> ReadChannel(long long code) {
    if (code >= 0 && code < ChannelCount) return Take(static_cast<int>(code));
    return Refused<int>(Refuse(SettingId::Channel, std::to_string(code)));
}

SettingValue<int> ReadRange(std::string_view text) {
    std::string name = Squeezed(text);
    // The captions' signs: "± 2.56 V" (bipolar), "0 - 20 mV" (unipolar).
    for (const std::string_view sign : {"\u00B1", "+/-", "+-", "0-"})
        if (name.starts_with(sign)) {
            name.erase(0, sign.size());
            break;
        }
    double scale = 1;
    if (name.size() > 2 && name.ends_with("MV")) {
        scale = 1e-3;
        name.resize(name.size() - 2);
    } else if (name.size() > 1 && name.ends_with("V")) {
        name.resize(name.size() - 1);
    }
    const auto number = ParseDecimal(name);
    if (number)
        if (const auto code = RangeOfVolts(*number * scale)) return Take(*code);
    return Refused<int>(Refuse(SettingId::Range, std::string(text)));
}

SettingValue<int> ReadRange(double volts) {
    if (const auto code = RangeOfVolts(volts)) return Take(*code);
    return Refused<int>(Refuse(SettingId::Range, NumberText(volts)));
}

SettingValue<bool> ReadPolarity(std::string_view text) {
    const std::string word = Squeezed(text);
    if (word == "BIPOLAR" || word == "BIP") return Take(false);
    if (word == "UNIPOLAR" || word == "UNIP") return Take(true);
    return Refused<bool>(Refuse(SettingId::Polarity, std::string(text)));
}

SettingValue<double> ReadRate(std::string_view text) {
    const auto hz = ParseDecimal(text);
    if (hz && std::isfinite(*hz) && *hz > 0) return Take(*hz);
    return Refused<double>({SettingId::Rate, std::string(text), "a number of hertz", {}});
}

SettingValue<double> ReadRate(double hz) {
    if (std::isfinite(hz) && hz > 0) return Take(hz);
    return Refused<double>({SettingId::Rate, NumberText(hz), "a number of hertz", {}});
}

SettingValue<int> ReadFilter(std::string_view text) {
    if (const auto word = ParseHexValue(text, MaxFilterWord)) return Take(static_cast<int>(*word));
    return Refused<int>({SettingId::Filter, std::string(text), "a hexadecimal byte, 00 to FF", {}});
}

SettingValue<int> ReadFilter(long long word) {
    if (word >= 0 && word <= MaxFilterWord) return Take(static_cast<int>(word));
    return Refused<int>({SettingId::Filter,
                         std::to_string(word),
                         "a byte, 0 to " + std::to_string(MaxFilterWord),
                         {}});
}

SettingValue<bool> ReadSwitch(SettingId id, std::string_view text) {
    const std::string word = Squeezed(text);
    if (word == "ON" || word == "TRUE" || word == "1") return Take(true);
    if (word == "OFF" || word == "FALSE" || word == "0") return Take(false);
    return Refused<bool>(Refuse(id, std::string(text)));
}

SettingValue<float> ReadReference(std::string_view text) {
    const auto volts = run::ParseReference(text);
    if (volts && *volts > 0 && std::isfinite(*volts)) return Take(*volts);
    return Refused<float>(Refuse(SettingId::Reference, std::string(text)));
}

SettingValue<float> ReadReference(double volts) {
    if (!std::isfinite(volts))
        return Refused<float>(Refuse(SettingId::Reference, NumberText(volts)));
    return ReadReference(FormatGeneral(volts));
}

std::optional<int> ChannelCodeByName(std::string_view name) {
    return ReadChannel(name).value;
}

std::optional<int> RangeCodeByName(std::string_view name) {
    return ReadRange(name).value;
}

std::optional<bool> UnipolarByName(std::string_view name) {
    return ReadPolarity(name).value;
}

// --- the settings as a whole ---

int32_t ConverterSettings::ControlByte(int32_t value) const {
    if (channel) value = control::WithChannel(value, *channel);
    if (range) value = control::WithRange(value, *range);
    if (unipolar) value = control::WithUnipolar(value, *unipolar);
    return value;
}

std::optional<int> FilterWordOf(const ConverterSettings& s, bool chopEnabled) {
    if (s.filter) return s.filter;
    if (s.rateHz) return NearestFilterWord(*s.rateHz, chopEnabled);
    return std::nullopt;
}

std::optional<SettingRefusal> CheckSettings(const ConverterSettings& s, int32_t modeNow,
                                            int32_t filterNow) {
    if (s.rateHz && s.filter)
        return SettingRefusal{SettingId::Filter, HexPadded(*s.filter, 2),
                              "no word when a rate is given",
                              "a rate and a filter word both "
                              "set the filter word"};
    const bool chopOn = s.chop.value_or(ChopEnabledIn(modeNow));
    if (s.rateHz) {
        const NumberLimits l = RateLimits(chopOn);
        // Taken as printed: 5.35 asks for the slowest word's 5.354 Hz.
        const double hz = std::round(*s.rateHz * 100) / 100;
        if (!(hz >= std::round(l.min * 100) / 100 && hz <= std::round(l.max * 100) / 100))
            return Refuse(SettingId::Rate, NumberText(*s.rateHz), chopOn);
    }
    if (s.filter && *s.filter < MinFilterWord(chopOn))
        return Refuse(SettingId::Filter, HexPadded(*s.filter, 2), chopOn);
    if (s.chop && *s.chop && !s.filter && !s.rateHz && filterNow < MinFilterWord(true)) {
        const NumberLimits l = RateLimits(true);
        const NumberLimits w = FilterLimits(true);
        return SettingRefusal{SettingId::Chop, SwitchName(true),
                              "on only over a filter word of " + w.minText + " to " + w.maxText +
                                  " (" + l.minText + " to " + l.maxText + " Hz)",
                              "the filter word is " + HexPadded(filterNow, 2) +
                                  "; give a rate or a filter word with it"};
    }
    return std::nullopt;
}

AppliedSettings ApplySettings(BoardLink& link, const ConverterSettings& s) {
    AppliedSettings applied;
    if (!s.writesRegisters()) {
        applied.ok = true;
        return applied;
    }
    Register mode = Register::For(link, RegisterMap::Mode);
    Register filter = Register::For(link, RegisterMap::Filter);
    const int32_t modeNow = ReadValue(mode);
    const int32_t filterNow = (s.chop && *s.chop) || s.rateHz || s.filter ? ReadValue(filter) : 0;
    if (auto refusal = CheckSettings(s, modeNow, filterNow)) {
        applied.refusal = std::move(refusal);
        return applied;
    }
    const bool chopOn = s.chop.value_or(ChopEnabledIn(modeNow));
    const std::optional<int> word = FilterWordOf(s, chopOn);
    if (s.rateHz) {
        applied.filterWord = word;
        applied.rateHz = UpdateRate(*word, chopOn);
    }
    int32_t modeWanted = modeNow;
    // The mode register's CHOP bit is set when chopping is disabled.
    if (s.chop) modeWanted = mode::WithBit(modeWanted, mode::ChopBit, !*s.chop);
    if (s.buffer) modeWanted = mode::WithBit(modeWanted, mode::BufBit, *s.buffer);
    const auto writeMode = [&] {
        if (modeWanted == modeNow) return true;
        applied.wrote = true;
        return WriteChecked(link, RegisterMap::Mode, modeWanted);
    };
    const auto writeFilter = [&] {
        if (!word) return true;
        applied.wrote = true;
        return WriteChecked(link, RegisterMap::Filter, *word);
    };
    const bool filterFirst = chopOn;
    if (!(filterFirst ? writeFilter() && writeMode() : writeMode() && writeFilter()))
        return applied;
    if (s.channel || s.range || s.unipolar) {
        Register control = Register::For(link, RegisterMap::AdcControl);
        const int32_t value = s.ControlByte(ReadValue(control));
        applied.wrote = true;
        if (!WriteChecked(link, RegisterMap::AdcControl, value)) return applied;
    }
    applied.ok = true;
    return applied;
}

}  // namespace kx
