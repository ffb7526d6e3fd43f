#include "cli/settings.h"

#include <sstream>

#include "acquisition/capture.h"
#include "cli/output.h"
#include "cli/tool.h"
#include "converter/adc_control_fields.h"
#include "converter/mode_logic.h"
#include "core/hex.h"
#include "core/numtext.h"

namespace kx::cli {

namespace {

std::string Help(SettingId id) {
    return NameOf(id).what;
}

template <class T>
T Taken(const SettingValue<T>& read) {
    if (!read) throw UsageError{OptionWords(*read.refusal)};
    return *read.value;
}

}  // namespace

std::string HelpLine(const std::string& option, const std::string& text) {
    constexpr size_t Column = 21;
    constexpr size_t Width = 91;
    std::string out = "  " + option;
    out += out.size() < Column - 1 ? std::string(Column - out.size(), ' ')
                                   : "\n" + std::string(Column, ' ');
    size_t lineStart = out.rfind('\n') == std::string::npos ? 0 : out.rfind('\n') + 1;
    std::istringstream words(text);
    bool first = true;
    for (std::string word; words >> word;) {
        if (!first && out.size() - lineStart + 1 + word.size() > Width) {
            out += "\n" + std::string(Column, ' ');
            lineStart = out.size() - Column;
        } else if (!first) {
            out += ' ';
        }
        out += word;
        first = false;
    }
    return out + "\n";
}

std::string SettingsHelp(bool withRange) {
    std::string help = HelpLine("--channel NAME", AllowedText(SettingId::Channel));
    if (withRange) {
        help += HelpLine("--range RANGE", AllowedText(SettingId::Range));
        help += HelpLine("--polarity POL", AllowedText(SettingId::Polarity));
    }
    help += HelpLine("--rate HZ",
                     "the filter word whose rate is nearest (said on standard "
                     "error): " +
                         AllowedText(SettingId::Rate, true) + ", " +
                         AllowedText(SettingId::Rate, false));
    help += HelpLine("--filter HEX", "the filter word: " + AllowedText(SettingId::Filter, true) +
                                         ", " + AllowedText(SettingId::Filter, false));
    help += HelpLine("--chop on|off", NameOf(SettingId::Chop).what);
    help += HelpLine("--buffer on|off", NameOf(SettingId::Buffer).what);
    return help;
}

std::string ExpandHelp(const std::string& help) {
    const std::pair<std::string, std::string> marks[] = {
        {"{settings}", SettingsHelp()},
        {"{channel}", AllowedText(SettingId::Channel)},
        {"{range}", AllowedText(SettingId::Range)},
        {"{polarity}", AllowedText(SettingId::Polarity)},
        {"{rate}", AllowedText(SettingId::Rate, true) + ", " + AllowedText(SettingId::Rate, false)},
        {"{filter}",
         AllowedText(SettingId::Filter, true) + ", " + AllowedText(SettingId::Filter, false)},
        {"{max-count}", std::to_string(MaxCaptureCount)},
        {"{power-on-range}", PowerOnRangeName()},
        {"{power-on-range-name}", RangeName(adc::RangeCode(PowerOnAdcControl))},
        {"{power-on-settings}", PolarityName(adc::IsUnipolar(PowerOnAdcControl)) + " " +
                                    RangeName(adc::RangeCode(PowerOnAdcControl))},
    };
    std::string out;
    std::istringstream lines(help);
    for (std::string line; std::getline(lines, line);) {
        bool marked = false;
        for (const auto& [mark, words] : marks)
            for (size_t at; (at = line.find(mark)) != std::string::npos; marked = true)
                line.replace(at, mark.size(), words);
        if (!marked || line.size() <= 91 || line.find('\n') != std::string::npos) {
            out += line + "\n";
            continue;
        }
        // An option's line wraps under its text (column 21); a paragraph's under its start.
        const bool option =
            line.starts_with("  -") && line.size() > 21 && line[19] == ' ' && line[20] == ' ';
        if (option) {
            std::string name = line.substr(2, 17);
            name.erase(name.find_last_not_of(' ') + 1);
            out += HelpLine(name, line.substr(21));
            continue;
        }
        std::string wrapped;
        std::istringstream words(line);
        size_t width = 0;
        for (std::string word; words >> word;) {
            if (width > 0 && width + 1 + word.size() > 91) {
                wrapped += "\n";
                width = 0;
            } else if (width > 0) {
                wrapped += ' ';
                ++width;
            }
            wrapped += word;
            width += word.size();
        }
        out += wrapped + "\n";
    }
    return out;
}

std::string PowerOnRangeName() {
    return adc::RangeSpan(adc::RangeCode(PowerOnAdcControl));
}

std::string OptionWords(SettingRefusal refusal, const SettingOptions* typed) {
    if (typed) {
        const std::optional<std::string>* text = nullptr;
        switch (refusal.setting) {
            case SettingId::Rate:
                text = &typed->rate;
                break;
            case SettingId::Chop:
                text = &typed->chop;
                break;
            default:
                break;
        }
        if (text && *text) refusal.given = **text;
    }
    return refusal.Words(std::string("--") + NameOf(refusal.setting).key);
}

void SettingOptions::AddTo(CLI::App* command, bool withRange) {
    command->add_option("--channel", channel, Help(SettingId::Channel));
    if (withRange) {
        command->add_option("--range", range, Help(SettingId::Range));
        command->add_option("--polarity", polarity, Help(SettingId::Polarity));
    }
    command->add_option("--rate", rate, Help(SettingId::Rate));
    command->add_option("--filter", filter, Help(SettingId::Filter));
    command->add_option("--chop", chop, Help(SettingId::Chop));
    command->add_option("--buffer", buffer, Help(SettingId::Buffer));
}

ConverterSettings SettingOptions::Read() const {
    ConverterSettings s;
    if (channel) s.channel = Taken(ReadChannel(*channel));
    if (range) s.range = Taken(ReadRange(*range));
    if (polarity) s.unipolar = Taken(ReadPolarity(*polarity));
    if (rate) s.rateHz = Taken(ReadRate(*rate));
    if (filter) s.filter = Taken(ReadFilter(*filter));
    if (chop) s.chop = Taken(ReadSwitch(SettingId::Chop, *chop));
    if (buffer) s.buffer = Taken(ReadSwitch(SettingId::Buffer, *buffer));
    // What can be told without the board: with --chop given, the limits of its chopping. (A
    // filter word 0D and up stands under either, as does a chop switched off.)
    if (chop) {
        const int32_t mode = *s.chop ? 0 : mode::ChopBit;
        if (auto refusal = CheckSettings(s, mode, 0xFF))
            throw UsageError{OptionWords(*refusal, this)};
    } else if (s.rateHz && s.filter) {
        if (auto refusal = CheckSettings(s, 0, 0xFF)) throw UsageError{OptionWords(*refusal, this)};
    }
    return s;
}

int SettingsOutcome(const std::optional<SettingRefusal>& refusal, bool programmed,
                    const SettingOptions* typed) {
    if (refusal) {
        Note(OptionWords(*refusal, typed));
        return ExitUsage;
    }
    return programmed ? ExitOk : ExitFailure;
}

void RateRemark(int filterWord, double rateHz) {
    Remark("update rate " + FormatPattern(rateHz, "0.00") + " Hz (filter word 0x" +
           HexPadded(filterWord, 2) + ")");
}

int WriteSettings(BoardLink& link, const ConverterSettings& settings, const SettingOptions* typed) {
    const AppliedSettings applied = ApplySettings(link, settings);
    const int status = SettingsOutcome(applied.refusal, applied.ok || applied.refusal, typed);
    if (status == ExitOk && applied.rateHz) RateRemark(*applied.filterWord, *applied.rateHz);
    return status;
}

}  // namespace kx::cli
