#include <nlohmann/json.hpp>

#include "acquisition/named_registers.h"
#include "acquisition/settings.h"
#include "board/registers.h"
#include "board/resets.h"
#include "cli/board_session.h"
#include "cli/commands.h"
#include "cli/output.h"
#include "cli/settings.h"
#include "converter/adc_control_fields.h"
#include "converter/filter_logic.h"
#include "converter/mode_logic.h"
#include "converter/register_update.h"
#include "core/hex.h"

// regs, read, write, reset and calibrate: the register screens and the reset screen from a shell.

namespace kx::cli {

namespace {

int32_t ReadNamed(BoardLink& link, const RegisterInfo& info) {
    Register reg = Register::For(link, info);
    return ReadValue(reg);
}

std::string Captions(const char* const* names, int code) {
    return names[code];
}

// Each register's fields named as on its screen.
nlohmann::json Fields(const RegisterInfo* info, int32_t v, int32_t modeValue) {
    using nlohmann::json;
    if (info == &RegisterMap::Status)
        return json{{"RDY", (v & 0x80) != 0},
                    {"CAL", (v & 0x20) != 0},
                    {"ERR", (v & 0x08) != 0},
                    {"LOCK", (v & 0x01) != 0}};
    if (info == &RegisterMap::Mode) {
        static const char* const modes[] = {"Power Down Mode",          "Idle Mode",
                                            "Single Conversion",        "Continuous Conversion",
                                            "Internal Zero Scale Cal.", "Internal Full Scale Cal.",
                                            "System Zero Scale Cal.",   "System Full Scale Cal."};
        return json{{"mode", v & mode::CodeMask},
                    {"mode_name", Captions(modes, v & mode::CodeMask)},
                    {"chopping", (v & mode::ChopBit) ? "disabled" : "enabled"},
                    {"buffered", (v & mode::BufBit) != 0},
                    {"reference", (v & mode::RefSelBit) ? 2 : 1},
                    {"chcon", (v & mode::ChconBit) != 0},
                    {"oscillator_powered_down", (v & mode::OscPdBit) != 0}};
    }
    if (info == &RegisterMap::AdcControl)
        return json{{"channel", adc::ChannelCode(v)},
                    {"channel_name",
                     adc::ChannelCaption(adc::ChannelCode(v), (modeValue & mode::ChconBit) != 0)},
                    {"polarity", adc::IsUnipolar(v) ? "unipolar" : "bipolar"},
                    {"range", adc::RangeCode(v)},
                    {"range_name", adc::RangeCaption(adc::RangeCode(v), adc::IsUnipolar(v))},
                    {"range_volts", RangeVolts(adc::RangeCode(v))}};
    if (info == &RegisterMap::Filter) {
        json j{{"filter_word", v}};
        j["update_rate_hz"] = v > 0 ? json(UpdateRate(v, ChopEnabledIn(modeValue))) : json(nullptr);
        return j;
    }
    if (info == &RegisterMap::IoControl)
        return json{{"p1_direction", (v & 0x10) ? "output" : "input"},
                    {"p2_direction", (v & 0x20) ? "output" : "input"},
                    {"p1_level", (v & 0x01) ? "high" : "low"},
                    {"p2_level", (v & 0x02) ? "high" : "low"}};
    return json::object();
}

int PrintRegisters(BoardLink& link, bool withData, bool asJson) {
    if (!asJson) {
        std::string text;
        for (const auto& r : NamedRegisters) {
            if (r.info == &RegisterMap::Data && !withData) continue;
            std::string name = r.name;
            name.resize(12, ' ');
            text += name + Hex(ReadNamed(link, *r.info)) + "\n";
        }
        return WriteStdout(text);
    }
    nlohmann::json all = nlohmann::json::object();
    const int32_t modeValue = ReadNamed(link, RegisterMap::Mode);
    for (const auto& r : NamedRegisters) {
        if (r.info == &RegisterMap::Data && !withData) continue;
        const int32_t value = ReadNamed(link, *r.info);
        all[r.name] = {
            {"value", value}, {"hex", Hex(value)}, {"fields", Fields(r.info, value, modeValue)}};
    }
    return WriteStdout(all.dump(2) + "\n");
}

const RegisterInfo& RegisterNamed(const std::string& name) {
    if (const RegisterInfo* info = FindRegister(name)) return *info;
    throw UsageError{UnknownRegister(name)};
}

}  // namespace

void RegisterRegisterCommands(Tool& tool) {
    static bool data = false;
    static bool json = false;
    CLI::App* regs = tool.Add(
        {"regs", "regs [--data] [--json]", "every readable register, one per line",
         "Reads every readable register and prints one line each: the name and the value in\n"
         "upper-case hexadecimal (status, mode, adc-control, filter, offset, gain, io-control).\n"
         "\n"
         "  --data   also read the data register (the latest conversion result)\n"
         "  --json   one JSON object: each register's value and its fields, named as on the\n"
         "           register screens (mode, chopping, range, polarity, channel, filter word\n"
         "           and update rate, pin directions and levels, status bits)\n"},
        [&tool] {
            return WithBoard(tool.global(),
                             [](Board& board) { return PrintRegisters(board.link(), data, json); });
        });
    regs->add_flag("--data", data);
    regs->add_flag("--json", json);

    static std::string readName;
    CLI::App* read =
        tool.Add({"read", "read REGISTER", "one register's value in hexadecimal",
                  "Reads one register and prints its value in upper-case hexadecimal.\n"
                  "REGISTER: status, mode, adc-control, filter, data, offset, gain, io-control.\n"},
                 [&tool] {
                     const RegisterInfo& info = RegisterNamed(readName);
                     return WithBoard(tool.global(), [&](Board& board) {
                         return WriteStdout(Hex(ReadNamed(board.link(), info)) + "\n");
                     });
                 });
    read->add_option("REGISTER", readName)->required();

    static std::string writeName;
    static std::string writeValue;
    CLI::App* write = tool.Add(
        {"write", "write REGISTER HEX", "write a register and read it back",
         "Writes HEX (hexadecimal, optional 0x) to a register and reads it back; a different\n"
         "value read back fails with \"Error Programming KX3105\".\n"
         "REGISTER: mode, adc-control, filter, offset, gain, io-control. The calibration\n"
         "registers (offset, gain) take a write only while the converter is powered down.\n"},
        [&tool] {
            const RegisterInfo& info = RegisterNamed(writeName);
            if (!info.writable()) throw UsageError{writeName + " is read-only"};
            const uint32_t max = static_cast<uint32_t>((1ull << info.width) - 1);
            const auto value = ParseHexValue(writeValue, max);
            if (!value) {
                if (ParseHexValue(writeValue, 0xFFFFFFFFu))
                    throw UsageError{writeValue + " does not fit the " +
                                     std::to_string(info.width) + "-bit " + writeName +
                                     " register"};
                throw UsageError{"'" + writeValue + "' is not a hexadecimal value"};
            }
            return WithBoard(tool.global(), [&](Board& board) {
                return WriteAndCheck(board.link(), info, *value) ? ExitOk : ExitFailure;
            });
        });
    write->add_option("REGISTER", writeName)->required();
    write->add_option("HEX", writeValue)->required();

    static std::string resetKind;
    CLI::App* reset = tool.Add(
        {"reset", "reset hardware|software", "reset the converter",
         "Resets the converter as the reset screen does: hardware pulses the board's reset line,\n"
         "software sends 32 ones on the serial interface and clears registers 12 and 13.\n"},
        [&tool] {
            if (resetKind != "hardware" && resetKind != "software")
                throw UsageError{"reset takes hardware or software, not '" + resetKind + "'"};
            return WithBoard(tool.global(), [](Board& board) {
                if (resetKind == "hardware")
                    HardwareReset(board.link());
                else
                    SoftwareReset(board.link());
                return ExitOk;
            });
        });
    reset->add_option("KIND", resetKind)->required();

    static std::string calibration;
    CLI::App* calibrate = tool.Add(
        {"calibrate", "calibrate internal-zero|internal-full|system-zero|system-full",
         "run an on-chip calibration and wait for its end",
         "Starts an on-chip calibration as the mode screen does (the mode field set to 4 to 7,\n"
         "the other mode bits kept) and waits for the converter's ready line, at most 500000\n"
         "polls; when it runs out: \"Error Calibrating KX3105\". For system-zero and system-full\n"
         "connect the zero-scale or full-scale signal to the analog input first.\n"},
        [&tool] {
            const int code = CalibrationCode(calibration);
            if (code == 0)
                throw UsageError{
                    "calibrate takes internal-zero, internal-full, system-zero or "
                    "system-full, not '" +
                    calibration + "'"};
            return WithBoard(tool.global(), [code](Board& board) {
                return Calibrate(board.link(), code) ? ExitOk : ExitFailure;
            });
        });
    calibrate->add_option("KIND", calibration)->required();
}

}  // namespace kx::cli
