#pragma once

#include <CLI/CLI.hpp>

#include "acquisition/settings.h"

// The converter settings by name as command-line options: --channel, --range, --polarity,
// --rate, --filter, --chop (acquisition/settings.h reads and writes them). Plain C++.

namespace kx::cli {

struct SettingOptions : Settings {
    // Adds the options to a command; `withRange` false leaves --range and --polarity to it.
    void AddTo(CLI::App* command, bool withRange = true);
    // Throws UsageError for a value that names nothing.
    void Check() const;
    // Writes the settings on the open board: the exit status (2 for a rate outside the limits of
    // the board's chopping, 1 after a mismatch's message); a rate chosen is said with the rate
    // it gives.
    int Write() const;
};

}  // namespace kx::cli
