#include "cli/settings.h"

#include "cli/tool.h"

namespace kx::cli {

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
    if (auto why = Refusal()) throw UsageError{*why};
}

}  // namespace kx::cli
