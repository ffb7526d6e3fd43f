#include "cli/invocation.h"

#include <algorithm>
#include <array>
#include <string_view>

namespace kx::cli {

namespace {

struct CommandInfo {
    const char* name;
    int minOperands;
    int maxOperands;
    std::vector<std::string_view> options;  // beyond --help and --sim-state, which all take
    const char* synopsis;
    const char* summary;
    const char* help;
};

const std::array<CommandInfo, 9>& Commands() {
    static const std::array<CommandInfo, 9> commands{{
        {"regs",
         0,
         0,
         {"--data"},
         "regs [--data]",
         "every readable register, one per line",
         "Reads every readable register and prints one line each: the name and the value in\n"
         "upper-case hexadecimal (status, mode, adc-control, filter, offset, gain, io-control).\n"
         "\n"
         "  --data   also read the data register (the latest conversion result)\n"},
        {"read",
         1,
         1,
         {},
         "read REGISTER",
         "one register's value in hexadecimal",
         "Reads one register and prints its value in upper-case hexadecimal.\n"
         "REGISTER: status, mode, adc-control, filter, data, offset, gain, io-control.\n"},
        {"write",
         2,
         2,
         {},
         "write REGISTER HEX",
         "write a register and read it back",
         "Writes HEX (hexadecimal, no prefix) to a register and reads it back; a different\n"
         "value read back fails with \"Error Programming KX3105\".\n"
         "REGISTER: mode, adc-control, filter, offset, gain, io-control. The calibration\n"
         "registers (offset, gain) take a write only while the converter is powered down.\n"},
        {"reset",
         1,
         1,
         {},
         "reset hardware|software",
         "reset the converter",
         "Resets the converter as the reset screen does: hardware pulses the board's reset line,\n"
         "software sends 32 ones on the serial interface and clears registers 12 and 13.\n"},
        {"calibrate",
         1,
         1,
         {},
         "calibrate internal-zero|internal-full|system-zero|system-full",
         "run an on-chip calibration and wait for its end",
         "Starts an on-chip calibration as the mode screen does (the mode field set to 4 to 7,\n"
         "the other mode bits kept) and waits for the converter's ready line, at most 500000\n"
         "polls; when it runs out: \"Error Calibrating KX3105\". For system-zero and system-full\n"
         "connect the zero-scale or full-scale signal to the analog input first.\n"},
        {"capture",
         1,
         1,
         {"--hex", "-o"},
         "capture COUNT [--hex] [-o FILE]",
         "read COUNT codes into a data file",
         "Reads COUNT codes (1 to 32767) as the read for analysis does, after putting the\n"
         "converter into continuous conversion when it is not (mode field 3, the other mode\n"
         "bits kept), and writes them as a data file: one code per line, decimal or with --hex\n"
         "hexadecimal, CR LF line ends. A time-out fails with \"Error Reading Data from KX3105\"\n"
         "and the codes read so far are still written; so they are after Ctrl+C (\"User\n"
         "Interruption of Reading\"). Progress goes to standard error when it is a terminal.\n"
         "\n"
         "  --hex     write hexadecimal codes\n"
         "  -o FILE   write to FILE (replaced without asking); - or none: standard output\n"},
        {"analyse",
         1,
         1,
         {"--hex", "--adc-control", "--ref", "--json"},
         "analyse FILE [--hex] [--adc-control HEX] [--ref VOLTS] [--json]",
         "noise analysis of a data file",
         "Loads a data file as the read-from-file screen does (10 to 5000 codes) and prints the\n"
         "noise analysis screen's results, one line each as 'caption: text'. Range and polarity\n"
         "come from the ADC control byte given with --adc-control, or else from the board's ADC\n"
         "control register, as the noise analysis screen reads them.\n"
         "\n"
         "  --hex              the file holds hexadecimal codes\n"
         "  --adc-control HEX  the ADC control byte (range bits 2..0, unipolar bit 3); no board\n"
         "  --ref VOLTS        reference voltage, rounded to two decimals (default 2.5)\n"
         "  --json             one JSON object: the label texts under ref_voltage, lsb_size,\n"
         "                     input_range, codes_read, rms_noise_codes, average_code,\n"
         "                     code_span, max_code, min_code, rms_noise, pk_pk_noise,\n"
         "                     average_value, and the numbers rms_noise_exact_codes (sample\n"
         "                     standard deviation), effective_resolution_bits and\n"
         "                     noise_free_bits (null when the run does not vary)\n"},
        {"plot",
         1,
         1,
         {"--hex", "-o"},
         "plot FILE [--hex] -o OUT",
         "noise plot of a data file, PNG or PDF",
         "Draws the noise plot of a data file (code against read number) as the plot screen\n"
         "does, to OUT: PDF when its name ends in .pdf, PNG when in .png.\n"
         "\n"
         "  --hex   the file holds hexadecimal codes\n"},
        {"histogram",
         1,
         1,
         {"--hex", "-o"},
         "histogram FILE [--hex] -o OUT",
         "histogram of a data file, PNG or PDF",
         "Draws the histogram of a data file as the histogram screen does, to OUT: PDF when its\n"
         "name ends in .pdf, PNG when in .png.\n"
         "\n"
         "  --hex   the file holds hexadecimal codes\n"},
    }};
    return commands;
}

const CommandInfo* FindCommand(const std::string& name) {
    for (const auto& c : Commands())
        if (name == c.name) return &c;
    return nullptr;
}

// Board options are the program parser's: whether one takes a value is asked of it, so that the
// tool knows no option list of its own.
bool BoardOptionTakesValue(const std::string& option) {
    return !ParseCommandLine({option}, sim::Speed::Fast).ok;
}

}  // namespace

Invocation ParseInvocation(const std::vector<std::string>& args) {
    Invocation inv;
    std::vector<std::string> boardArgs;
    std::vector<std::string> used;  // the tool's own options given, for the command check
    auto fail = [&](std::string why) {
        inv.error = std::move(why);
        return inv;
    };

    bool optionsEnded = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        auto operand = [&] {
            if (inv.command.empty())
                inv.command = arg;
            else
                inv.operands.push_back(arg);
        };
        if (optionsEnded || arg == "-" || arg.empty() || arg[0] != '-') {
            operand();
            continue;
        }
        if (arg == "--") {
            optionsEnded = true;
            continue;
        }

        std::string name = arg;
        std::optional<std::string> inlineValue;
        if (arg.rfind("--", 0) == 0) {
            if (auto eq = arg.find('='); eq != std::string::npos) {
                inlineValue = arg.substr(eq + 1);
                name.resize(eq);
            }
        }
        if (name == "--output") name = "-o";

        std::optional<std::string>* valueSlot = nullptr;
        bool* flag = nullptr;
        if (name == "--help" || name == "-h") flag = &inv.help;
        if (name == "--hex") flag = &inv.hex;
        if (name == "--data") flag = &inv.data;
        if (name == "--json") flag = &inv.json;
        if (name == "-o") valueSlot = &inv.output;
        if (name == "--adc-control") valueSlot = &inv.adcControl;
        if (name == "--ref") valueSlot = &inv.ref;
        if (name == "--sim-state") valueSlot = &inv.simState;

        if (flag) {
            if (inlineValue) return fail(name + " takes no value");
            *flag = true;
        } else if (valueSlot) {
            if (inlineValue) {
                *valueSlot = *inlineValue;
            } else if (i + 1 < args.size()) {
                *valueSlot = args[++i];
            } else {
                return fail(name + " needs a value");
            }
            if ((*valueSlot)->empty()) return fail(name + " needs a value");
        } else {
            // A board option, with its value when it takes one.
            boardArgs.push_back(arg);
            if (!inlineValue && BoardOptionTakesValue(arg) && i + 1 < args.size())
                boardArgs.push_back(args[++i]);
            continue;
        }
        used.push_back(name);
    }

    // Before the operands are counted: a stray "-1" is an unknown option, not a missing value.
    if (inv.simState) boardArgs.push_back("--simulate");  // the state is the simulated board's
    auto parsed = ParseCommandLine(boardArgs, sim::Speed::Fast);
    if (!parsed.ok) return fail(parsed.error);
    inv.board = std::move(parsed.options);

    if (inv.command.empty()) {
        for (const auto& option : used)
            if (option != "--help" && option != "-h" && option != "--sim-state")
                return fail(option + " belongs to a command");
        inv.ok = true;
        return inv;
    }
    const CommandInfo* info = FindCommand(inv.command);
    if (!info) return fail("unknown command '" + inv.command + "'");
    if (inv.help) {
        inv.ok = true;
        return inv;
    }
    for (const auto& option : used) {
        if (option == "--sim-state") continue;
        if (std::find(info->options.begin(), info->options.end(), option) == info->options.end())
            return fail(inv.command + " takes no " + option + " option");
    }
    const int count = static_cast<int>(inv.operands.size());
    if (count < info->minOperands)
        return fail(inv.command + ": missing argument (usage: " + info->synopsis + ")");
    if (count > info->maxOperands)
        return fail(inv.command + ": unexpected argument '" +
                    inv.operands[static_cast<size_t>(info->maxOperands)] + "'");
    if ((inv.command == "plot" || inv.command == "histogram") && !inv.output)
        return fail(inv.command + " needs -o OUT (a .png or .pdf file)");
    inv.ok = true;
    return inv;
}

std::string GeneralHelp() {
    std::string text =
        "Usage: kx3105-cli [board options] COMMAND [arguments]\n"
        "Drives a KX3105 evaluation board from a shell or a script, with the same board link,\n"
        "register map, noise analysis, data files and charts as the KX3105 evaluation software.\n"
        "Needs no display.\n"
        "\n"
        "Commands:\n";
    for (const auto& c : Commands())
        text += "  " + std::string(c.synopsis) + "\n      " + c.summary + "\n";
    text +=
        "\n"
        "Board options:\n"
        "  --port DEVICE          use this printer port (default /dev/parport0)\n"
        "  --simulate             use the simulated KX3105 board\n"
        "  --trace FILE           write every port access to FILE\n"
        "  --sim-seed N           noise seed of the simulated board\n"
        "  --sim-fault NAME       ready-stuck, ignore-writes or no-board (repeatable)\n"
        "  --sim-speed SPEED      fast (the default here) or realtime\n"
        "  --sim-input CH=VOLTS[,NOISE_UV]\n"
        "                         input of channel code CH (0-15), repeatable\n"
        "  --sim-state FILE       load the simulated board's registers from FILE when it exists\n"
        "                         and save them there at exit, so that several calls see one\n"
        "                         board\n"
        "\n"
        "Without --port, the first printer port is used, or the simulated board where the\n"
        "machine has none. Any --sim- option selects the simulated board.\n"
        "\n"
        "Exit status: 0 success, 1 the board or a file failed, 2 usage error.\n"
        "'kx3105-cli COMMAND --help' explains a command; --version shows the version.\n";
    return text;
}

std::string CommandHelp(const std::string& command) {
    const CommandInfo* info = FindCommand(command);
    if (!info) return {};
    return "Usage: kx3105-cli [board options] " + std::string(info->synopsis) + "\n" + info->help;
}

}  // namespace kx::cli
