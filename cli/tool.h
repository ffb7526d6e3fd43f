#pragma once

#include <CLI/CLI.hpp>
#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "acquisition/board_options.h"

// The tool's command line on CLI11: the board options before (or after) the command, and one
// subcommand per command. A command lives in its own file with a registration function that adds
// its subcommand with Tool::Add and keeps its options in variables of its own; the function is
// called once from RegisterCommands (app.cpp). Plain C++.

namespace kx::cli {

// Exit statuses.
inline constexpr int ExitOk = 0;
inline constexpr int ExitFailure = 1;  // the board or a file failed
inline constexpr int ExitUsage = 2;
inline constexpr int ExitSigint = 130;
inline constexpr int ExitSigterm = 143;

inline constexpr const char* ToolName = "kx3105-cli";
// The program beside the tool that draws the charts (the tool itself links no Qt).
inline constexpr const char* ChartRendererName = "kx3105-cli-charts";

// A usage error found by a command after parsing: exit 2 with this line.
struct UsageError {
    std::string why;
};

// The options every command takes.
struct GlobalOptions {
    bool quiet = false;
    bool version = false;
    // The board options, read from the one table of them once CLI11 has parsed the line.
    BoardOptions board;
};

// What a command's help shows; the same texts as `kx3105-cli --help` lists.
struct CommandText {
    const char* name;
    const char* synopsis;  // "capture COUNT [--hex] [-o FILE]"
    const char* summary;   // one line for the command list
    const char* help;      // the command's help after its usage line
};

class Tool {
public:
    Tool();

    // Adds a command. `run` is called when it was chosen, after every option has been read; it
    // returns an exit status or throws UsageError. Options added to the returned subcommand are
    // the command's own.
    CLI::App* Add(const CommandText& text, std::function<int()> run);

    // Parses and runs: the exit status.
    int Run(int argc, char** argv);

    GlobalOptions& global() { return global_; }
    // The arguments as given, for the chart renderer.
    const std::vector<std::string>& arguments() const { return arguments_; }

    std::string GeneralHelp() const;

    // The command line and each command's texts, for the completion and the manual page.
    const CLI::App& app() const { return app_; }
    const CommandText* TextOf(const CLI::App* command) const;

private:
    CLI::App app_;
    GlobalOptions global_;
    std::vector<std::pair<CommandText, std::function<int()>>> commands_;
    // What CLI11 parsed of each board option, by its place in the table: flags, single values,
    // repeated values.
    std::deque<bool> boardFlags_;
    std::vector<std::optional<std::string>> boardValues_;
    std::vector<std::vector<std::string>> boardLists_;
    std::vector<CLI::App*> subcommands_;
    std::vector<std::string> arguments_;
};

// Adds every command (app.cpp). The chart commands run `charts` (kx3105-cli hands them to its
// renderer; the renderer draws them).
using ChartRunner = std::function<int(const struct ChartRequest&)>;
void RegisterCommands(Tool& tool, const ChartRunner& charts);

}  // namespace kx::cli
