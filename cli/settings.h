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
};

}  // namespace kx::cli
