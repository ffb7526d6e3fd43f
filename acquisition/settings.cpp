#include "acquisition/settings.h"

#include <algorithm>
#include <cctype>

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
const char* const RangeList = "20mV, 40mV, 80mV, 160mV, 320mV, 640mV, 1.28V, 2.56V";

// Writes value, reads it back; the screen's message on a difference.
bool WriteChecked(const RegisterInfo& info, int32_t value, const char* message) {
    Register reg = Register::For(info);
    if (WriteAndReadBack(reg, value) == value) return true;
    ShowMessage(message, Icon::Warning);
    return false;
}

}  // namespace

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
    for (int code = 0; code < 8; ++code)
        if (Squeezed(RangeName(code)) == name) return code;
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
    if (rate) {
        const auto hz = ParseDecimal(*rate);
        if (!hz || *hz <= 0 || *hz > 32767)
            return "--rate takes a number of hertz, not '" + *rate + "'";
    }
    if (filter && !ParseHexValue(*filter, 0xFF))
        return "--filter takes a hexadecimal byte, not '" + *filter + "'";
    if (chop && *chop != "on" && *chop != "off")
        return "--chop takes on or off, not '" + *chop + "'";
    return std::nullopt;
}

int32_t Settings::ControlByte(int32_t value) const {
    if (channel) value = control::WithChannel(value, *ChannelCodeByName(*channel));
    if (range) value = control::WithRange(value, *RangeCodeByName(*range));
    if (polarity) value = control::WithUnipolar(value, *UnipolarByName(*polarity));
    return value;
}

bool Settings::Apply() const {
    Register mode = Register::For(RegisterMap::Mode);
    int32_t modeValue = ReadValue(mode);
    if (chop) {
        // The mode register's CHOP bit is set when chopping is disabled.
        const int32_t wanted =
            *chop == "on" ? (modeValue & ~mode::ChopBit) : (modeValue | mode::ChopBit);
        if (!WriteChecked(RegisterMap::Mode, wanted, ProgrammingError)) return false;
        modeValue = wanted;
    }
    const bool chopOn = ChopEnabledIn(modeValue);
    std::optional<int> word;
    if (rate) word = FilterWordFromRateEntry(*rate, chopOn);
    if (filter) {
        std::string digits = *filter;
        if (digits.size() > 2 && (digits[1] == 'x' || digits[1] == 'X')) digits.erase(0, 2);
        word = FilterWordFromEntry(digits, chopOn);
    }
    if (word && !WriteChecked(RegisterMap::Filter, *word, ProgrammingError)) return false;

    if (channel || range || polarity) {
        Register control = Register::For(RegisterMap::AdcControl);
        const int32_t value = ControlByte(ReadValue(control));
        if (!WriteChecked(RegisterMap::AdcControl, value, ProgrammingError)) return false;
    }
    return true;
}

}  // namespace kx
