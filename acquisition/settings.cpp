#include "acquisition/settings.h"

#include <algorithm>
#include <cctype>
#include <cmath>

#include "board/registers.h"
#include "converter/adc_control_fields.h"
#include "converter/control_logic.h"
#include "converter/filter_logic.h"
#include "converter/mode_logic.h"
#include "converter/register_update.h"
#include "core/messages.h"
#include "core/numtext.h"

namespace kx {

namespace {

std::string Squeezed(std::string text) {
    text.erase(std::remove(text.begin(), text.end(), ' '), text.end());
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    return text;
}

const char* const ChannelList =
    "AIN1-AINCOM ... AIN8-AINCOM, AIN1-AIN2, AIN3-AIN4, AIN5-AIN6, AIN7-AIN8, AIN2-AIN2, "
    "AINCOM-AINCOM, REFIN(+)-REFIN(-), OPEN-OPEN";
const char* const RangeList =
    "20mV, 40mV, 80mV, 160mV, 320mV, 640mV, 1.28V, 2.56V (a bare number is volts)";

// Writes value, reads it back; the screen's message on a difference.
bool WriteChecked(const RegisterInfo& info, int32_t value, const char* message) {
    Register reg = Register::For(info);
    if (WriteAndReadBack(reg, value) == value) return true;
    ShowMessage(message, Icon::Warning);
    return false;
}

// The whole chop state the settings leave: their own, else the board's mode register.
bool ChopAfter(const std::optional<std::string>& chop, int32_t modeValue) {
    return chop ? *chop == "on" : ChopEnabledIn(modeValue);
}

std::string TwoDecimals(double value) {
    return FormatPattern(value, "0.00");
}

}  // namespace

std::optional<std::string> RateRefusal(const std::string& option, const std::string& text,
                                       bool chopEnabled) {
    const auto hz = ParseDecimal(text);
    if (!hz || !std::isfinite(*hz)) return option + " takes a number of hertz, not '" + text + "'";
    // The limits as printed: a rate typed as the message gives it is taken.
    const double low = std::round(SlowestRate(chopEnabled) * 100) / 100;
    const double high = std::round(FastestRate(chopEnabled) * 100) / 100;
    if (*hz >= low && *hz <= high) return std::nullopt;
    return option + " takes " + TwoDecimals(low) + " to " + TwoDecimals(high) +
           " Hz with chopping " + (chopEnabled ? "on" : "off") + ", not '" + text + "'";
}

std::optional<int> ChannelCodeByName(std::string name) {
    name = Squeezed(name);
    for (int code = 0; code < 16; ++code)
        for (const bool chcon : {false, true})
            if (Squeezed(adc::ChannelCaption(code, chcon)) == name) return code;
    return std::nullopt;
}

std::string ChannelName(int code, bool chcon) {
    std::string caption = adc::ChannelCaption(code, chcon);
    caption.erase(std::remove(caption.begin(), caption.end(), ' '), caption.end());
    return caption;
}

std::optional<int> RangeCodeByName(std::string name) {
    name = Squeezed(name);
    double scale = 1;
    if (name.size() > 2 && name.ends_with("MV")) {
        scale = 1e-3;
        name.resize(name.size() - 2);
    } else if (name.size() > 1 && name.ends_with("V")) {
        name.resize(name.size() - 1);
    }
    const auto number = ParseDecimal(name);
    if (!number) return std::nullopt;
    const double volts = *number * scale;
    for (int code = 0; code < 8; ++code)
        if (std::fabs(volts / adc::NominalRangeVolts(code) - 1) < 1e-9) return code;
    return std::nullopt;
}

std::string RangeName(int code) {
    static const char* const names[] = {"20mV",  "40mV",  "80mV",  "160mV",
                                        "320mV", "640mV", "1.28V", "2.56V"};
    return names[code & 7];
}

std::optional<bool> UnipolarByName(const std::string& name) {
    const std::string upper = Squeezed(name);
    if (upper == "UNIPOLAR") return true;
    if (upper == "BIPOLAR") return false;
    return std::nullopt;
}

std::optional<std::string> Settings::Refusal() const {
    if (channel && !ChannelCodeByName(*channel))
        return "--channel takes " + std::string(ChannelList) + ", not '" + *channel + "'";
    if (range && !RangeCodeByName(*range))
        return "--range takes " + std::string(RangeList) + ", not '" + *range + "'";
    if (polarity && !UnipolarByName(*polarity))
        return "--polarity takes bipolar or unipolar, not '" + *polarity + "'";
    if (rate && filter) return "--rate and --filter both set the filter word";
    if (chop && *chop != "on" && *chop != "off")
        return "--chop takes on or off, not '" + *chop + "'";
    if (rate) {
        // Without --chop the limits are those of the board's chopping, known once it is open.
        const bool chopOn = !chop || *chop == "on";
        if (auto why = RateRefusal("--rate", *rate, chopOn); why && (chop || !ParseDecimal(*rate)))
            return why;
    }
    if (filter && !ParseHexValue(*filter, 0xFF))
        return "--filter takes a hexadecimal byte, not '" + *filter + "'";
    return std::nullopt;
}

int32_t Settings::ControlByte(int32_t value) const {
    if (channel) value = control::WithChannel(value, *ChannelCodeByName(*channel));
    if (range) value = control::WithRange(value, *RangeCodeByName(*range));
    if (polarity) value = control::WithUnipolar(value, *UnipolarByName(*polarity));
    return value;
}

Settings::Applied Settings::Apply() const {
    Applied applied;
    Register mode = Register::For(RegisterMap::Mode);
    int32_t modeValue = ReadValue(mode);
    const bool chopOn = ChopAfter(chop, modeValue);
    if (rate) {
        if (auto why = RateRefusal("--rate", *rate, chopOn)) {
            applied.refusal = std::move(why);
            return applied;
        }
    }
    if (chop) {
        // The mode register's CHOP bit is set when chopping is disabled.
        const int32_t wanted = chopOn ? (modeValue & ~mode::ChopBit) : (modeValue | mode::ChopBit);
        if (!WriteChecked(RegisterMap::Mode, wanted, ProgrammingError)) return applied;
        modeValue = wanted;
    }
    std::optional<int> word;
    if (rate) {
        word = NearestFilterWord(*ParseDecimal(*rate), chopOn);
        applied.filterWord = word;
        applied.rateHz = UpdateRate(*word, chopOn);
    }
    if (filter) {
        std::string digits = *filter;
        if (digits.size() > 2 && (digits[1] == 'x' || digits[1] == 'X')) digits.erase(0, 2);
        word = FilterWordFromEntry(digits, chopOn);
    }
    if (word && !WriteChecked(RegisterMap::Filter, *word, ProgrammingError)) return applied;

    if (channel || range || polarity) {
        Register control = Register::For(RegisterMap::AdcControl);
        const int32_t value = ControlByte(ReadValue(control));
        if (!WriteChecked(RegisterMap::AdcControl, value, ProgrammingError)) return applied;
    }
    applied.ok = true;
    return applied;
}

}  // namespace kx
