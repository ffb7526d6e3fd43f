#include "cli/settings.h"

#include "cli/output.h"
#include "cli/tool.h"
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
