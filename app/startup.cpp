#include "app/startup.h"

#include <cerrno>
#include <charconv>
#include <cstring>
#include <initializer_list>
#include <string_view>

#include "board/port_addresses.h"
#include "board/windows_version.h"
#include "core/globals.h"
#include "core/hex.h"
#include "sim/sim_options.h"

namespace kx {

std::string Usage(const std::string& program) {
    return "Usage: " + program +
           " [options] [/SS]\n"
           "Evaluation software for the KX3105 24-bit sigma-delta ADC board.\n"
           "\n"
           "  /SS                    show the port status message at start-up\n"
           "  --port DEVICE          use this printer port (default /dev/parport0)\n"
           "  --simulate             use the simulated KX3105 board\n"
           "  --trace FILE           write every port access to FILE\n"
           "  --sim-seed N           noise seed of the simulated board\n"
           "  --sim-fault NAME[@N]   ready-stuck, ignore-writes or no-board (repeatable);\n"
           "                         @N: once the board has made N conversion results\n"
           "  --sim-speed SPEED      realtime or fast\n"
           "  --sim-input CH=VOLTS[,NOISE_UV]\n"
           "                         input of channel code CH (0-15), repeatable; NOISE_UV\n"
           "                         is the RMS at 19.79 Hz, growing with the square root of\n"
           "                         the update rate\n"
           "  --sim-tone CH=HZ,UV    a sine of HZ hertz, UV microvolts RMS, added to input CH\n"
           "                         (repeatable)\n"
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
    bool simOption = false;
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

        std::string v;
        if (arg == "--help" || arg == "-h") {
            if (!takesNoValue()) return result;
            o.help = true;
        } else if (arg == "--version") {
            if (!takesNoValue()) return result;
            o.version = true;
        } else if (arg == "--simulate") {
            if (!takesNoValue()) return result;
            o.simulate = true;
        } else if (arg == "--port") {
            if (!value(v)) return result;
            if (v.empty()) return fail("--port needs a device");
            o.portDevice = v;
        } else if (arg == "--trace") {
            if (!value(v)) return result;
            if (v.empty()) return fail("--trace needs a file");
            o.traceFile = v;
        } else if (arg == "--sim-seed") {
            if (!value(v)) return result;
            auto seed = sim::ParseSeed(v);
            if (!seed) return fail("--sim-seed takes a whole number, not '" + v + "'");
            o.sim.seed = *seed;
            simOption = true;
        } else if (arg == "--sim-fault") {
            if (!value(v)) return result;
            sim::Fault fault{};
            std::optional<uint64_t> after;
            std::string why;
            if (!sim::ParseFaultSetting(v, fault, after, why))
                return fail("--sim-fault " + v + ": " + why);
            if (after)
                o.sim.faultsAfterResults[fault] = *after;
            else
                o.sim.faults.insert(fault);
            simOption = true;
        } else if (arg == "--sim-speed") {
            if (!value(v)) return result;
            auto speed = sim::ParseSpeed(v);
            if (!speed) return fail("unknown speed '" + v + "' (realtime, fast)");
            o.sim.speed = *speed;
            simOption = true;
        } else if (arg == "--sim-input") {
            if (!value(v)) return result;
            int channel = 0;
            sim::InputSetting setting;
            std::string why;
            if (!sim::ParseInputSetting(v, channel, setting, why))
                return fail("--sim-input " + v + ": " + why);
            o.sim.inputs[channel] = setting;
            simOption = true;
        } else if (arg == "--sim-tone") {
            if (!value(v)) return result;
            sim::ToneSetting tone;
            std::string why;
            if (!sim::ParseToneSetting(v, tone, why)) return fail("--sim-tone " + v + ": " + why);
            o.sim.tones.push_back(tone);
            simOption = true;
        } else {
            return fail("unknown option " + arg);
        }
    }

    if (simOption) o.simulate = true;
    if (o.simulate && o.portDevice)
        return fail("--port and the simulated board exclude each other");
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

Board OpenBoard(const StartupOptions& options, std::ostream& diagnostics,
                std::unique_ptr<PpdevSystem> kernel) {
    Board board;
    auto simulated = [&] {
        board.simulated = true;
        board.backend = std::make_unique<sim::SimulatedBoard>(options.sim);
    };
    if (options.simulate) {
        simulated();
        return board;
    }
    board.kernel = kernel ? std::move(kernel) : MakeKernelPpdevSystem();
    if (!board.kernel) {  // a system without ppdev
        if (options.portDevice)
            diagnostics << "kx3105: printer ports are not supported on this system: using the "
                           "simulated KX3105 board.\n";
        simulated();
        return board;
    }
    board.device = options.portDevice.value_or(DefaultPortDevice);
    auto port = std::make_unique<PpdevPort>(board.device, *board.kernel, diagnostics);
    if (!options.portDevice && port->GetParallelPortCount() == 0) {
        diagnostics << "No printer port found: using the simulated KX3105 board (--port DEVICE "
                       "selects a port).\n";
        board.kernel.reset();
        simulated();
        return board;
    }
    board.backend = std::move(port);
    return board;
}

void RunStartup(const StartupOptions& options) {
    ProgramCommandLine = options.commandLine;
    InitPort();
    ReferenceVoltage = 2.5f;
}

namespace {

std::string PortName(uint16_t address) {
    const PrinterPortAddress* known = FindPrinterPort(address);
    return (known ? std::string(known->name) + " at 0x" : std::string("the port at 0x")) +
           Hex(address);
}

}  // namespace

std::string BoardLine(const Board& board) {
    std::string what;
    std::optional<int> answersAt;  // where the board can be reached, if anywhere
    if (board.simulated)
        what = "simulated KX3105 board";
    else
        what = "printer port " + board.device;
    answersAt = board.backend->boardAddress();
    const auto inUse = static_cast<uint16_t>(PortAddress);
    if (inUse == 0) return "Board: " + what + ", not available";
    if (answersAt && *answersAt == inUse) return "Board: " + what + " at 0x" + Hex(inUse);
    // The printer-port menu moves only the address: nothing answers there.
    return "Board: " + PortName(inUse) + ", no board there (the " + what +
           (answersAt ? " is at 0x" + Hex(static_cast<uint16_t>(*answersAt))
                      : " is not available") +
           ")";
}

}  // namespace kx
