#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "converter/register_writes.h"
#include "multichannel/channel_table.h"
#include "multichannel/multi_state.h"

// A configuration of the board as a file: every register a write can set and the multi-channel
// screen's per-channel settings, as versioned JSON. A file is checked whole before anything is
// used: a refusal names the field ("registers.filter: ..."), and nothing is written to the board
// or the settings from a refused file. The Register Map window and `kx3105-cli config` share it.
// Plain C++.

namespace kx::config {

inline constexpr const char* FormatName = "kx3105-configuration";
inline constexpr int FormatVersion = 1;
// A configuration is a few hundred bytes; anything near this is no configuration.
inline constexpr size_t MaxFileBytes = 64 * 1024;

// One row of the multi-channel screen as its next opening shows it.
struct ChannelSetting {
    bool selected = false;
    int rangePosition = 1;  // 1..8 in the range list ("2.56 V" ... "20 mV")
    bool unipolar = false;
    std::string filter = multi::DefaultFilterText;

    bool operator==(const ChannelSetting&) const = default;
};

struct Configuration {
    // Every register of the map; the status register is read-only and not part of a file (it
    // holds what was read, and is never written).
    fields::Values registers{};
    std::array<ChannelSetting, multi::ChannelCount> channels{};

    bool operator==(const Configuration&) const = default;
};

// The board's registers as read now, and the multi-channel settings as `state` holds them.
Configuration FromBoard(BoardLink& link, const multi::MultiChannelState& state);
// The settings of `state` alone.
std::array<ChannelSetting, multi::ChannelCount> ChannelsOf(const multi::MultiChannelState& state);

std::string ToJson(const Configuration& config);
// The whole text checked; nullopt with "field: why" in `error`.
std::optional<Configuration> Parse(std::string_view text, std::string& error);

// Reads and checks a file ("-" is standard input); nullopt with the reason (the file's or the
// field's) in `error`.
std::optional<Configuration> LoadFile(const std::string& path, std::string& error);
// Writes the file whole or not at all ("-" is standard output); empty on success, else why not.
std::string SaveFile(const std::string& path, const Configuration& config);

// The register writes that make the board's registers (`current`) those of the file.
std::vector<fields::PlannedWrite> PlanFor(const Configuration& config,
                                          const fields::Values& current);
// Makes them, each read back as its register's screen does; false after a mismatch message (the
// writes stop there). Then the channel settings go into `state`, when given.
bool Apply(BoardLink& link, const Configuration& config, multi::MultiChannelState* state);

}  // namespace kx::config
