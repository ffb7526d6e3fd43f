#include "acquisition/board_options.h"

#include <array>

namespace kx {

namespace {

const std::array<BoardOptionText, 10> Table{{
    {"--port", "DEVICE", false, Program::Both, {"use this printer port (default /dev/parport0)"}},
    {"--simulate", nullptr, false, Program::Both, {"use the simulated KX3105 board"}},
    {"--trace", "FILE", false, Program::Both, {"write every port access to FILE"}},
    {"--sim-seed", "N", false, Program::Both, {"noise seed of the simulated board"}},
    {"--sim-fault",
     "NAME[@N]",
     true,
     Program::Both,
     {"ready-stuck, ignore-writes or no-board (repeatable);",
      "@N: once the board has made N conversion results"}},
    {"--sim-speed", "SPEED", false, Program::Both, {}},  // its default is the program's
    {"--sim-input",
     "CH=VOLTS[,NOISE_UV]",
     true,
     Program::Both,
     {"input of channel code CH (0-15), repeatable; NOISE_UV",
      "is the RMS at 19.79 Hz, growing with the square root of", "the update rate"}},
    {"--sim-tone",
     "CH=HZ,UV",
     true,
     Program::Both,
     {"a sine of HZ hertz, UV microvolts RMS, added to input CH", "(repeatable)"}},
    {"--sim-state",
     "FILE",
     false,
     Program::Tool,
     {"load the simulated board's registers from FILE when it exists",
      "and save them there at exit, so that several calls see one",
      "board; calls on one FILE wait for each other through",
      "FILE.lock beside it, which stays there"}},
    {"--no-board-check",
     nullptr,
     false,
     Program::Tool,
     {"skip the check that a board answers before the first access"}},
}};

constexpr size_t HelpColumn = 25;

bool IsFor(Program option, Program program) {
    return (static_cast<int>(option) & static_cast<int>(program)) != 0;
}

}  // namespace

std::span<const BoardOptionText> BoardOptionTable() {
    return Table;
}

std::string BoardOptionsHelp(Program program, sim::Speed speed) {
    const std::string speeds = speed == sim::Speed::Fast ? "fast (the default here) or realtime"
                                                         : "realtime (the default here) or fast";
    std::string text;
    for (const BoardOptionText& option : Table) {
        if (!IsFor(option.program, program)) continue;
        std::string left = std::string("  ") + option.name;
        if (option.value) left += std::string(" ") + option.value;
        std::vector<std::string> help(option.help.begin(), option.help.end());
        if (std::string_view(option.name) == "--sim-speed") help = {speeds};
        bool first = true;
        if (left.size() >= HelpColumn - 1) {
            text += left + "\n";
            left.clear();
        }
        for (const std::string& line : help) {
            const std::string column = first ? left : std::string();
            text += column + std::string(HelpColumn - column.size(), ' ') + line + "\n";
            first = false;
        }
    }
    return text;
}

std::optional<std::string> ApplyBoardOption(BoardOptions& o, std::string_view name,
                                            const std::string& v) {
    if (name == "--simulate") {
        o.simulate = true;
    } else if (name == "--no-board-check") {
        o.noBoardCheck = true;
    } else if (name == "--port") {
        if (v.empty()) return "--port needs a device";
        o.portDevice = v;
    } else if (name == "--trace") {
        if (v.empty()) return "--trace needs a file";
        o.traceFile = v;
    } else if (name == "--sim-state") {
        o.simState = v;
        o.simulate = true;
    } else if (name == "--sim-seed") {
        const auto seed = sim::ParseSeed(v);
        if (!seed) return "--sim-seed takes a whole number, not '" + v + "'";
        o.sim.seed = *seed;
        o.simulate = true;
    } else if (name == "--sim-fault") {
        sim::Fault fault{};
        std::optional<uint64_t> after;
        std::string why;
        if (!sim::ParseFaultSetting(v, fault, after, why)) return "--sim-fault " + v + ": " + why;
        if (after)
            o.sim.faultsAfterResults[fault] = *after;
        else
            o.sim.faults.insert(fault);
        o.simulate = true;
    } else if (name == "--sim-speed") {
        const auto speed = sim::ParseSpeed(v);
        if (!speed) return "--sim-speed takes realtime or fast, not '" + v + "'";
        o.sim.speed = *speed;
        o.simulate = true;
    } else if (name == "--sim-input") {
        int channel = 0;
        sim::InputSetting setting;
        std::string why;
        if (!sim::ParseInputSetting(v, channel, setting, why))
            return "--sim-input " + v + ": " + why;
        o.sim.inputs[channel] = setting;
        o.simulate = true;
    } else if (name == "--sim-tone") {
        sim::ToneSetting tone;
        std::string why;
        if (!sim::ParseToneSetting(v, tone, why)) return "--sim-tone " + v + ": " + why;
        o.sim.tones.push_back(tone);
        o.simulate = true;
    } else {
        return "unknown option " + std::string(name);
    }
    return std::nullopt;
}

std::optional<std::string> CheckBoardOptions(const BoardOptions& o) {
    if (o.simulate && o.portDevice) return "--port and the simulated board exclude each other";
    return std::nullopt;
}

}  // namespace kx
