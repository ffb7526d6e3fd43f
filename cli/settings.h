#pragma once

#include <CLI/CLI.hpp>
#include <optional>
#include <string>

#include "acquisition/settings.h"
#include "board/board_link.h"

// The converter settings as command-line options: --channel, --range, --polarity, --rate,
// --filter, --chop and --buffer, named, helped and refused by the settings' rule book
// (acquisition/settings.h). Plain C++.

namespace kx::cli {

struct SettingOptions {
    std::optional<std::string> channel;
    std::optional<std::string> range;
    std::optional<std::string> polarity;
    std::optional<std::string> rate;    // hertz
    std::optional<std::string> filter;  // hexadecimal, 0x allowed
    std::optional<std::string> chop;    // on or off
    std::optional<std::string> buffer;  // on or off

    // Adds the options to a command; `withRange` false leaves --range and --polarity to it.
    void AddTo(CLI::App* command, bool withRange = true);
    // The settings as a value; throws UsageError for a value that names nothing, in the rule
    // book's words ("--range takes 20mV, ..., not '3V'"), and for a rate or filter word outside
    // the limits of the chopping given with it.
    ConverterSettings Read() const;
    // An ADC control byte with the channel, range and polarity given (the rest kept).
    int32_t ControlByte(int32_t adcControl) const { return Read().ControlByte(adcControl); }
};

// One option's lines of a command's help: two blanks, the option and its value in a column of 19,
// then `text` wrapped under itself within 91 columns.
std::string HelpLine(const std::string& option, const std::string& text);
// The help of the setting options, from the rule book: what each takes.
std::string SettingsHelp(bool withRange = true);
// A command's help with the rule book's words put in for its marks: {channel}, {range},
// {polarity}, {rate}, {filter}, {max-count}, {power-on-range} (as the screens write it),
// {power-on-range-name} (as scripts do), {power-on-settings} ("bipolar 2.56V"), {settings} (every
// setting option's lines). An option's line that grows past the help's width is wrapped under its
// text.
std::string ExpandHelp(const std::string& help);

// The power-on range as the screens write it, from the rule book's defaults.
std::string PowerOnRangeName();

// A refusal of the rule book as the tool words it: the option's name, and the value as it was
// typed when `typed` has it.
std::string OptionWords(SettingRefusal refusal, const SettingOptions* typed = nullptr);

// Why a settings write did not take, as the tool says it: the refusal (exit 2, nothing written)
// or a read-back that differed (exit 1, its message said). ExitOk when it took.
int SettingsOutcome(const std::optional<SettingRefusal>& refusal, bool programmed,
                    const SettingOptions* typed = nullptr);
// The filter word a --rate chose, said with the rate it gives.
void RateRemark(int filterWord, double rateHz);
// Writes the settings on the board's link and says what came of it (both of the above).
int WriteSettings(BoardLink& link, const ConverterSettings& settings,
                  const SettingOptions* typed = nullptr);

}  // namespace kx::cli
