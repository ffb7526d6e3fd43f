#include "cli/settings.h"

#include <algorithm>
#include <cctype>

#include "board/registers.h"
#include "cli/output.h"
#include "cli/tool.h"
#include "converter/adc_control_fields.h"
#include "converter/control_logic.h"
#include "converter/filter_logic.h"
#include "converter/mode_logic.h"
#include "converter/register_update.h"
#include "core/messages.h"
#include "core/numtext.h"

namespace kx::cli {

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

std::string ChannelName(int code) {
    std::string caption = adc::ChannelCaption(code, false);
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

void SettingOptions::AddTo(CLI::App* command, bool withRange) {
    command->add_option("--channel", channel, "input channel pair");
    if (withRange) {
        command->add_option("--range", range, "input range");
        command->add_option("--polarity", polarity, "bipolar or unipolar");
    }
    command->add_option("--rate", rate, "update rate in Hz");
    command->add_option("--filter", filter, "filter word (hexadecimal)");
    command->add_option("--chop", chop, "chopping on or off");
}

void SettingOptions::Check() const {
    if (channel && !ChannelCodeByName(*channel))
        throw UsageError{"--channel takes " + std::string(ChannelList) + ", not '" + *channel +
                         "'"};
    if (range && !RangeCodeByName(*range))
        throw UsageError{"--range takes " + std::string(RangeList) + ", not '" + *range + "'"};
    if (polarity && !UnipolarByName(*polarity))
        throw UsageError{"--polarity takes bipolar or unipolar, not '" + *polarity + "'"};
    if (rate && filter) throw UsageError{"--rate and --filter both set the filter word"};
    if (rate) {
        const auto hz = ParseDecimal(*rate);
        if (!hz || *hz <= 0 || *hz > 32767)
            throw UsageError{"--rate takes a number of hertz, not '" + *rate + "'"};
    }
    if (filter && !ParseHexValue(*filter, 0xFF))
        throw UsageError{"--filter takes a hexadecimal byte, not '" + *filter + "'"};
    if (chop && *chop != "on" && *chop != "off")
        throw UsageError{"--chop takes on or off, not '" + *chop + "'"};
}

bool SettingOptions::Apply() const {
    Register mode = Register::For(RegisterMap::Mode);
    int32_t modeValue = ReadValue(mode);
    if (chop) {
        // The mode register's CHOP bit is set when chopping is disabled.
        const int32_t wanted =
            *chop == "on" ? (modeValue & ~mode::ChopBit) : (modeValue | mode::ChopBit);
        if (!WriteChecked(RegisterMap::Mode, wanted, mode::FieldError)) return false;
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
    if (word && !WriteChecked(RegisterMap::Filter, *word, ProgrammingErrorLower)) return false;

    if (channel || range || polarity) {
        Register control = Register::For(RegisterMap::AdcControl);
        int32_t value = ReadValue(control);
        if (channel) value = (value & 0x0F) | (*ChannelCodeByName(*channel) << 4);
        if (range) value = (value & 0xF8) | *RangeCodeByName(*range);
        if (polarity)
            value = *UnipolarByName(*polarity) ? (value | adc::UnipolarBit)
                                               : (value & ~adc::UnipolarBit);
        if (!WriteChecked(RegisterMap::AdcControl, value, control::ProgramError)) return false;
    }
    return true;
}

}  // namespace kx::cli
