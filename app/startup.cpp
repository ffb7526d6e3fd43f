#include "startup.h"

#include "globals.h"
#include "hex.h"
#include "sim_options.h"
#include "windows_version.h"

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
           "  --sim-fault NAME       ready-stuck, ignore-writes or no-board (repeatable)\n"
           "  --sim-speed SPEED      realtime or fast\n"
           "  --sim-input CH=VOLTS[,NOISE_UV]\n"
           "                         input of channel code CH (0-15), repeatable\n"
           "  --help                 show this text\n"
           "  --version              show the version\n"
           "\n"
           "Without --port, the program uses the first printer port, or the simulated board\n"
           "where the machine has none. Any --sim- option selects the simulated board.\n";
}

ParsedCommandLine ParseCommandLine(const std::vector<std::string>& args, sim::Speed simSpeed) {
    ParsedCommandLine result;
    StartupOptions& o = result.options;
    o.sim.speed = simSpeed;
    bool simOption = false;

    for (size_t i = 0; i < args.size(); ++i) {
        if (!o.commandLine.empty()) o.commandLine += ' ';
        o.commandLine += args[i];
    }

    auto fail = [&](std::string why) {
        result.error = std::move(why);
        return result;
    };

    for (size_t i = 0; i < args.size(); ++i) {
        std::string arg = args[i];
        std::optional<std::string> inlineValue;
        if (arg.rfind("--", 0) == 0) {
            if (auto eq = arg.find('='); eq != std::string::npos) {
                inlineValue = arg.substr(eq + 1);
                arg.resize(eq);
            }
        }
        auto value = [&](std::string& out) {
            if (inlineValue) {
                out = *inlineValue;
                return true;
            }
            if (i + 1 >= args.size()) {
                result.error = arg + " needs a value";
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
            auto fault = sim::ParseFault(v);
            if (!fault)
                return fail("unknown fault '" + v + "' (ready-stuck, ignore-writes, no-board)");
            o.sim.faults.insert(*fault);
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
        } else if (arg.size() > 1 && arg[0] == '-') {
            return fail("unknown option " + arg);
        }
        // Anything else is part of the command line the status switch is looked for in.
    }

    if (simOption) o.simulate = true;
    if (o.simulate && o.portDevice)
        return fail("--port and the simulated board exclude each other");
    result.ok = true;
    return result;
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

std::string BoardLine(const Board& board) {
    if (board.simulated)
        return "Board: simulated KX3105 board at 0x" + Hex(sim::SimulatedBoard::BaseAddress);
    auto* port = dynamic_cast<const PpdevPort*>(board.backend.get());
    if (port && port->claimed() && PortAddress != 0)
        return "Board: printer port " + board.device + " at 0x" +
               Hex(static_cast<uint16_t>(PortAddress));
    return "Board: printer port " + board.device + ", not available";
}

}  // namespace kx
