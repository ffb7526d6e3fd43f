#include <iostream>
#include <new>

#include "cli/commands.h"
#include "cli/output.h"
#include "cli/settings.h"
#include "cli/tool.h"
#include "core/version.h"

namespace kx::cli {

namespace {

std::string BoardOptionsText() {
    return "Board options:\n" + BoardOptionsHelp(Program::Tool, sim::Speed::Fast) +
           "  --quiet                no notes on standard error, only failures\n"
           "\n"
           "Without --port, the first printer port is used; where the machine has none the tool\n"
           "fails (exit 1): --simulate, or any --sim- option, selects the simulated board.\n";
}

}  // namespace

Tool::Tool() : app_("Drives a KX3105 evaluation board from a shell or a script.", ToolName) {
    app_.option_defaults()->always_capture_default(false);
    app_.require_subcommand(0, 1);
    const auto table = BoardOptionTable();
    boardFlags_.resize(table.size());
    boardValues_.resize(table.size());
    boardLists_.resize(table.size());
    for (size_t i = 0; i < table.size(); ++i) {
        const BoardOptionText& option = table[i];
        if (option.program == Program::Desktop) continue;
        if (!option.value)
            app_.add_flag(option.name, boardFlags_[i]);
        else if (option.repeatable)
            // One value per occurrence: a repeated option must not swallow the command.
            app_.add_option(option.name, boardLists_[i])->allow_extra_args(false);
        else
            app_.add_option(option.name, boardValues_[i]);
    }
    app_.add_flag("--quiet", global_.quiet);
    app_.add_flag("--version", global_.version);
    app_.formatter_fn([this](const CLI::App* app, std::string, CLI::AppFormatMode) {
        for (size_t i = 0; i < subcommands_.size(); ++i)
            if (subcommands_[i] == app)
                return "Usage: kx3105-cli [board options] " +
                       std::string(commands_[i].first.synopsis) + "\n" +
                       ExpandHelp(commands_[i].first.help);
        return GeneralHelp();
    });
}

CLI::App* Tool::Add(const CommandText& text, std::function<int()> run) {
    CLI::App* sub = app_.add_subcommand(text.name, text.summary);
    // Board options may follow the command too.
    sub->fallthrough();
    commands_.emplace_back(text, std::move(run));
    subcommands_.push_back(sub);
    return sub;
}

const CommandText* Tool::TextOf(const CLI::App* command) const {
    for (size_t i = 0; i < subcommands_.size(); ++i)
        if (subcommands_[i] == command) return &commands_[i].first;
    return nullptr;
}

std::string Tool::GeneralHelp() const {
    std::string text =
        "Usage: kx3105-cli [board options] COMMAND [arguments]\n"
        "Drives a KX3105 evaluation board from a shell or a script, with the same board link,\n"
        "register map, noise analysis, data files and charts as the KX3105 evaluation software.\n"
        "Needs no display.\n"
        "\n"
        "Commands:\n";
    for (const auto& [c, run] : commands_)
        text += "  " + std::string(c.synopsis) + "\n      " + c.summary + "\n";
    text += "\n";
    text += BoardOptionsText();
    text +=
        "\n"
        "A FILE operand or -o FILE of - is standard input or output; an -o FILE that is a FIFO\n"
        "or a device (/dev/null) is written to as a stream. Hexadecimal values take an\n"
        "optional 0x.\n"
        "\n"
        "Exit status: 0 success, 1 the board or a file failed, 2 usage error, 130 and 143 a\n"
        "capture, sweep, log or scan ended by SIGINT or SIGTERM (what it had read kept).\n"
        "'kx3105-cli COMMAND --help' explains a command; --version shows the version.\n";
    return text;
}

namespace {

int Usage(const std::string& why) {
    Note(why);
    return ExitUsage;
}

}  // namespace

int Tool::Run(int argc, char** argv) {
    arguments_.assign(argv + 1, argv + argc);
    try {
        app_.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        if (e.get_exit_code() == 0) {  // --help
            app_.exit(e, std::cout, std::cerr);
            return WriteStdout("");
        }
        return Usage(e.what());
    }
    SetQuiet(global_.quiet);
    if (global_.version) return WriteStdout(std::string(VersionString) + "\n");

    // The board options in the table's order, checked as the program checks them.
    BoardOptions& board = global_.board;
    board.sim.speed = sim::Speed::Fast;
    const auto table = BoardOptionTable();
    for (size_t i = 0; i < table.size(); ++i) {
        std::vector<std::string> values = boardLists_[i];
        if (boardValues_[i]) values.push_back(*boardValues_[i]);
        if (boardFlags_[i]) values.push_back({});
        for (const std::string& value : values)
            if (auto why = ApplyBoardOption(board, table[i].name, value)) return Usage(*why);
    }
    if (auto why = CheckBoardOptions(board)) return Usage(*why);

    for (size_t i = 0; i < subcommands_.size(); ++i) {
        if (!subcommands_[i]->parsed()) continue;
        try {
            return commands_[i].second();
        } catch (const UsageError& e) {
            return Usage(e.why);
        } catch (const std::bad_alloc&) {
            // Where a command knows its count it asks up front; this is the rest.
            return Failure("not enough memory");
        }
    }
    return Usage("no command given (kx3105-cli --help lists them)");
}

}  // namespace kx::cli

namespace kx::cli {

void RegisterCommands(Tool& tool, const ChartRunner& charts) {
    RegisterRegisterCommands(tool);
    RegisterConfig(tool);
    RegisterCapture(tool);
    RegisterAnalyse(tool);
    RegisterCharts(tool, charts);
    RegisterScan(tool);
    RegisterSpectrum(tool, charts);
    RegisterSweep(tool);
    RegisterLog(tool);
    RegisterDrift(tool, charts);
}

}  // namespace kx::cli
