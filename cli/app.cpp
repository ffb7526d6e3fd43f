#include <iostream>

#include "cli/commands.h"
#include "cli/output.h"
#include "cli/tool.h"
#include "core/version.h"

namespace kx::cli {

namespace {

const char* const BoardOptionsHelp =
    "Board options:\n"
    "  --port DEVICE          use this printer port (default /dev/parport0)\n"
    "  --simulate             use the simulated KX3105 board\n"
    "  --trace FILE           write every port access to FILE\n"
    "  --sim-seed N           noise seed of the simulated board\n"
    "  --sim-fault NAME[@N]   ready-stuck, ignore-writes or no-board (repeatable);\n"
    "                         @N: once the board has made N conversion results\n"
    "  --sim-speed SPEED      fast (the default here) or realtime\n"
    "  --sim-input CH=VOLTS[,NOISE_UV]\n"
    "                         input of channel code CH (0-15), repeatable\n"
    "  --sim-tone CH=HZ,UV    a sine of HZ hertz, UV microvolts RMS, added to input CH\n"
    "                         (repeatable)\n"
    "  --sim-state FILE       load the simulated board's registers from FILE when it exists\n"
    "                         and save them there at exit, so that several calls see one\n"
    "                         board; calls on one FILE wait for each other\n"
    "  --no-board-check       skip the check that a board answers before the first access\n"
    "  --quiet                no notes on standard error, only failures\n"
    "\n"
    "Without --port, the first printer port is used; where the machine has none the tool\n"
    "fails (exit 1): --simulate, or any --sim- option, selects the simulated board.\n";

}  // namespace

Tool::Tool() : app_("Drives a KX3105 evaluation board from a shell or a script.", ToolName) {
    app_.option_defaults()->always_capture_default(false);
    app_.require_subcommand(0, 1);
    app_.add_option("--port", global_.port);
    app_.add_flag("--simulate", global_.simulate);
    app_.add_option("--trace", global_.trace);
    app_.add_option("--sim-seed", global_.simSeed);
    // One value per occurrence: a repeated option must not swallow the command.
    app_.add_option("--sim-fault", global_.simFaults)->allow_extra_args(false);
    app_.add_option("--sim-speed", global_.simSpeed);
    app_.add_option("--sim-input", global_.simInputs)->allow_extra_args(false);
    app_.add_option("--sim-tone", global_.simTones)->allow_extra_args(false);
    app_.add_option("--sim-state", global_.simState);
    app_.add_flag("--no-board-check", global_.noBoardCheck);
    app_.add_flag("--quiet", global_.quiet);
    app_.add_flag("--version", global_.version);
    app_.formatter_fn([this](const CLI::App* app, std::string, CLI::AppFormatMode) {
        for (size_t i = 0; i < subcommands_.size(); ++i)
            if (subcommands_[i] == app)
                return "Usage: kx3105-cli [board options] " +
                       std::string(commands_[i].first.synopsis) + "\n" + commands_[i].first.help;
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
    text += BoardOptionsHelp;
    text +=
        "\n"
        "A FILE operand or -o FILE of - is standard input or output. Hexadecimal values take an\n"
        "optional 0x.\n"
        "\n"
        "Exit status: 0 success, 1 the board or a file failed, 2 usage error, 130 and 143 a\n"
        "capture, sweep or log ended by SIGINT or SIGTERM (what it had read kept).\n"
        "'kx3105-cli COMMAND --help' explains a command; --version shows the version.\n";
    return text;
}

namespace {

// The board options again as the program's parser reads them, so both check them alike.
std::vector<std::string> BoardArguments(const GlobalOptions& g) {
    std::vector<std::string> args;
    if (g.port) args.push_back("--port=" + *g.port);
    if (g.simulate || g.simState) args.push_back("--simulate");
    if (g.trace) args.push_back("--trace=" + *g.trace);
    if (g.simSeed) args.push_back("--sim-seed=" + *g.simSeed);
    for (const auto& f : g.simFaults)
        args.push_back("--sim-fault=" + f);
    if (g.simSpeed) args.push_back("--sim-speed=" + *g.simSpeed);
    for (const auto& i : g.simInputs)
        args.push_back("--sim-input=" + i);
    for (const auto& t : g.simTones)
        args.push_back("--sim-tone=" + t);
    return args;
}

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

    const auto parsed = ParseCommandLine(BoardArguments(global_), sim::Speed::Fast);
    if (!parsed.ok) return Usage(parsed.error);
    global_.board = parsed.options;

    for (size_t i = 0; i < subcommands_.size(); ++i) {
        if (!subcommands_[i]->parsed()) continue;
        try {
            return commands_[i].second();
        } catch (const UsageError& e) {
            return Usage(e.why);
        }
    }
    return Usage("no command given (kx3105-cli --help lists them)");
}

}  // namespace kx::cli

namespace kx::cli {

void RegisterCommands(Tool& tool, const ChartRunner& charts) {
    RegisterRegisterCommands(tool);
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
