#include "app/startup.h"

#include "ui/program_board.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <optional>

namespace kx {

std::string Usage(const std::string& program) {
    return "Usage: " + program +
           " [options] [/SS]\n"
           "Evaluation software for the KX3105 24-bit sigma-delta ADC board.\n"
           "\n"
           "  /SS                    show the port status message at start-up\n" +
           BoardOptionsHelp(Program::Desktop, sim::Speed::RealTime) +
           "  --help                 show this text\n"
           "  --version              show the version\n"
           "  --                     end of the options\n"
           "\n"
           "Without --port, the program uses the first printer port, or the simulated board\n"
           "where the machine has none. Any --sim- option selects the simulated board.\n";
}

namespace {

bool IsStatusSwitch(const std::string& word) {
    return word.size() == 3 && word[0] == '/' && (word[1] == 's' || word[1] == 'S') &&
           (word[2] == 's' || word[2] == 'S');
}

}  // namespace

ParsedCommandLine ParseCommandLine(const std::vector<std::string>& args, sim::Speed simSpeed) {
    ParsedCommandLine result;
    StartupOptions& o = result.options;
    o.sim.speed = simSpeed;
    bool optionsEnded = false;

    auto fail = [&](std::string why) {
        result.error = std::move(why);
        return result;
    };

    for (size_t i = 0; i < args.size(); ++i) {
        std::string arg = args[i];
        if (IsStatusSwitch(arg)) {
            if (!o.commandLine.empty()) o.commandLine += ' ';
            o.commandLine += arg;
            continue;
        }
        if (optionsEnded || arg.size() < 2 || arg[0] != '-')
            return fail("unexpected argument '" + arg + "'");
        if (arg == "--") {
            optionsEnded = true;
            continue;
        }
        std::optional<std::string> inlineValue;
        if (arg.rfind("--", 0) == 0) {
            if (auto eq = arg.find('='); eq != std::string::npos) {
                inlineValue = arg.substr(eq + 1);
                arg.resize(eq);
            }
        }
        // A separate value that looks like an option is one: "--trace --simulate" is a
        // forgotten file name, not a file called "--simulate".
        auto value = [&](std::string& out) {
            if (inlineValue) {
                out = *inlineValue;
                return true;
            }
            if (i + 1 >= args.size()) {
                result.error = arg + " needs a value";
                return false;
            }
            if (args[i + 1].rfind('-', 0) == 0) {
                result.error = arg + " needs a value, not '" + args[i + 1] + "' (write " + arg +
                               "=VALUE for a value that starts with '-')";
                return false;
            }
            out = args[++i];
            return true;
        };
        auto takesNoValue = [&] {
            if (!inlineValue) return true;
            result.error = arg + " takes no value";
            return false;
        };

        if (arg == "--help" || arg == "-h" || arg == "--version") {
            if (!takesNoValue()) return result;
            (arg == "--version" ? o.version : o.help) = true;
            continue;
        }
        const auto& table = BoardOptionTable();
        const auto option = std::find_if(table.begin(), table.end(), [&](const auto& t) {
            return arg == t.name && t.program != Program::Tool;
        });
        if (option == table.end()) return fail("unknown option " + arg);
        std::string v;
        if (option->value ? !value(v) : !takesNoValue()) return result;
        if (auto why = ApplyBoardOption(o, arg, v)) return fail(std::move(*why));
    }

    if (auto why = CheckBoardOptions(o)) return fail(std::move(*why));
    result.ok = true;
    return result;
}

bool WriteOutput(const std::string& text, std::FILE* out, std::ostream& diagnostics) {
    errno = 0;
    const bool written = std::fwrite(text.data(), 1, text.size(), out) == text.size();
    if (std::fflush(out) == 0 && written && !std::ferror(out)) return true;
    diagnostics << "kx3105: write error: " << std::strerror(errno ? errno : EIO) << "\n";
    return false;
}

DisplayChoice ChooseDisplay(const std::function<const char*(const char*)>& getenv) {
    const auto value = [&getenv](const char* name) {
        const char* v = getenv(name);
        return std::string(v ? v : "");
    };
    DisplayChoice choice;
    const std::string display = value("DISPLAY");
    const std::string platforms = value("QT_QPA_PLATFORM");
    // Qt tries the platforms of "wayland;xcb" in turn; "xcb:option" carries options.
    const std::string first = platforms.substr(0, platforms.find_first_of(";:"));
    if (!platforms.empty() && first != "xcb") {
        choice.kind = DisplayChoice::Kind::NotX;
    } else if (platforms.empty() && !value("WAYLAND_DISPLAY").empty()) {
        choice.kind = DisplayChoice::Kind::NotX;
    } else if (!display.empty()) {
        choice.kind = DisplayChoice::Kind::X;
        choice.xDisplay = display;
    }
    return choice;
}

std::string CannotOpenDisplayError(const std::string& xDisplay) {
    return "no display found: cannot open display " + xDisplay;
}

void RunStartup(const StartupOptions& options) {
    StartBoard(options.commandLine);
}

}  // namespace kx
