#include "cli/settings.h"

#include "cli/output.h"
#include "cli/tool.h"
#include "converter/filter_logic.h"
#include "core/hex.h"

namespace kx::cli {

void SettingOptions::AddTo(CLI::App* command, bool withRange) {
    command->add_option("--channel", channel, "input channel pair");
    if (withRange) {
        command->add_option("--range", range, "input range");
        command->add_option("--polarity", polarity, "bipolar or unipolar");
    }
    command->add_option("--rate", rate, "update rate in Hz, the nearest the filter word gives");
    command->add_option("--filter", filter, "filter word (hexadecimal)");
    command->add_option("--chop", chop, "chopping on or off");
}

void SettingOptions::Check() const {
    if (auto why = Refusal()) throw UsageError{*why};
}

int SettingOptions::Write() const {
    const Applied applied = Apply();
    if (applied.refusal) {
        Note(*applied.refusal);
        return ExitUsage;
    }
    if (!applied.ok) return ExitFailure;
    if (applied.rateHz)
        Remark("update rate " + FormatPattern(*applied.rateHz, "0.00") + " Hz (filter word 0x" +
               HexPadded(*applied.filterWord, 2) + ")");
    return ExitOk;
}

}  // namespace kx::cli
