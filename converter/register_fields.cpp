#include "converter/register_fields.h"

#include <array>

#include "converter/adc_control_fields.h"
#include "converter/cal_logic.h"
#include "converter/control_logic.h"
#include "converter/filter_logic.h"
#include "converter/io_control_logic.h"
#include "converter/mode_logic.h"
#include "core/numtext.h"

namespace kx::fields {

namespace {

constexpr Field StatusFields[] = {
    {"RDY", 7, 7, Kind::Shown, "the ready line"},
    {"-", 6, 6, Kind::Shown, ""},
    {"CAL", 5, 5, Kind::Shown, "calibration"},
    {"-", 4, 4, Kind::Shown, ""},
    {"ERR", 3, 3, Kind::Shown, "the latest result"},
    {"-", 2, 2, Kind::Shown, ""},
    {"-", 1, 1, Kind::Shown, ""},
    {"LOCK", 0, 0, Kind::Shown, "the oscillator"},
};
constexpr Field ModeFields[] = {
    {"CHOP", 7, 7, Kind::Choice, "chopping"},
    {"BUF", 6, 6, Kind::Choice, "input buffering"},
    {"REFSEL", 5, 5, Kind::Choice, "reference selection"},
    {"CHCON", 4, 4, Kind::Choice, "channel configuration"},
    {"OSCPD", 3, 3, Kind::Choice, "the oscillator in power-down mode"},
    {"MD", 2, 0, Kind::Choice, "mode of operation"},
};
constexpr Field ControlFields[] = {
    {"CH", 7, 4, Kind::Choice, "input channel"},
    {"UB", 3, 3, Kind::Choice, "coding"},
    {"RN", 2, 0, Kind::Choice, "input range"},
};
constexpr Field FilterFields[] = {
    {"SF", 7, 0, Kind::Number, "filter word: the output update rate"},
};
constexpr Field ZeroScaleFields[] = {
    {"OFFSET", 23, 0, Kind::Number, "zero-scale calibration coefficient"},
};
constexpr Field FullScaleFields[] = {
    {"GAIN", 23, 0, Kind::Number, "full-scale calibration coefficient"},
};
constexpr Field IoFields[] = {
    {"-", 7, 6, Kind::Number, "unused, kept as written"},
    {"P2DIR", 5, 5, Kind::Choice, "P2 direction"},
    {"P1DIR", 4, 4, Kind::Choice, "P1 direction"},
    {"-", 3, 2, Kind::Number, "unused, kept as written"},
    {"P2DAT", 1, 1, Kind::Choice, "P2 level"},
    {"P1DAT", 0, 0, Kind::Choice, "P1 level"},
};

// Power-on values: the converter's after its reset line or 32 ones on its serial input.
constexpr std::array<RegisterFields, 7> Table{{
    {&RegisterMap::Status, "status", 0x81, StatusFields},
    {&RegisterMap::Mode, "mode", 0x01, ModeFields},
    {&RegisterMap::AdcControl, "adc-control", 0x07, ControlFields},
    {&RegisterMap::Filter, "filter", 0x45, FilterFields},
    {&RegisterMap::ZeroScale, "offset", 0x800000, ZeroScaleFields},
    {&RegisterMap::FullScale, "gain", 0x400000, FullScaleFields},
    {&RegisterMap::IoControl, "io-control", 0x00, IoFields},
}};

const char* const ModeMeanings[] = {"power-down",
                                    "idle",
                                    "single conversion",
                                    "continuous conversion",
                                    "internal zero-scale calibration",
                                    "internal full-scale calibration",
                                    "system zero-scale calibration",
                                    "system full-scale calibration"};

std::string Flag(int32_t v, const char* set, const char* clear) {
    return v ? set : clear;
}

std::string StatusMeaning(std::string_view name, int32_t v) {
    if (name == "RDY") return Flag(v, "no unread result", "a result is waiting");
    if (name == "CAL") return Flag(v, "calibrating", "not calibrating");
    if (name == "ERR") return Flag(v, "clamped at an end of the range", "within the range");
    if (name == "LOCK") return Flag(v, "running", "stopped");
    return {};
}

std::string ModeMeaning(std::string_view name, int32_t v) {
    if (name == "CHOP") return Flag(v, "chopping disabled", "chopping enabled");
    if (name == "BUF") return Flag(v, "analog input buffered", "unbuffered");
    if (name == "REFSEL") return Flag(v, "reference input 2", "reference input 1");
    if (name == "CHCON") return Flag(v, "set: codes 12, 14, 15 name AIN9, AIN10", "cleared");
    if (name == "OSCPD") return Flag(v, "powered down", "kept running");
    return ModeMeanings[v & mode::CodeMask];
}

std::string IoMeaning(std::string_view name, int32_t v) {
    if (name == "P2DIR") return Flag(v, "P2 output", "P2 input");
    if (name == "P1DIR") return Flag(v, "P1 output", "P1 input");
    if (name == "P2DAT") return Flag(v, "P2 high", "P2 low");
    if (name == "P1DAT") return Flag(v, "P1 high", "P1 low");
    return {};
}

}  // namespace

std::span<const RegisterFields> Registers() {
    return Table;
}

const RegisterFields* FieldsOf(const RegisterInfo& info) {
    for (const RegisterFields& r : Table)
        if (r.info->address == info.address) return &r;
    return nullptr;
}

const RegisterFields* FieldsByKey(std::string_view key) {
    for (const RegisterFields& r : Table)
        if (key == r.key) return &r;
    return nullptr;
}

int32_t Get(const Field& field, int32_t registerValue) {
    return (registerValue & field.mask()) >> field.low;
}

int32_t Set(const Field& field, int32_t registerValue, int32_t fieldValue) {
    return (registerValue & ~field.mask()) | ((fieldValue << field.low) & field.mask());
}

std::string Meaning(const RegisterFields& reg, const Field& field, int32_t v,
                    const Context& context) {
    const std::string_view name = field.name;
    switch (reg.info->address) {
        case RegisterMap::Status.address:
            return StatusMeaning(name, v);
        case RegisterMap::Mode.address:
            return ModeMeaning(name, v);
        case RegisterMap::AdcControl.address:
            if (name == "CH") return adc::ChannelCaption(v, control::ChconSet(context.mode));
            if (name == "UB") return Flag(v, "unipolar", "bipolar");
            return adc::RangeCaption(v, adc::IsUnipolar(context.adcControl));
        case RegisterMap::Filter.address:
            if (v < 1) return "no rate";
            return FormatPattern(UpdateRate(v, ChopEnabledIn(context.mode)), "0.00") + " Hz";
        case RegisterMap::IoControl.address:
            return IoMeaning(name, v);
        default:
            return {};
    }
}

int32_t CheckedBits(const RegisterFields& reg, int32_t written) {
    if (reg.info == &RegisterMap::IoControl) return io::DecidedBits(written) & 0xFF;
    return (1 << reg.info->width) - 1;
}

std::string MismatchMessage(const RegisterFields& reg, int32_t before, int32_t written) {
    switch (reg.info->address) {
        case RegisterMap::Mode.address:
            // The mode screen words a change of the operating mode and of a field bit differently.
            return mode::Code(before) != mode::Code(written) ? mode::CodeError : mode::FieldError;
        case RegisterMap::AdcControl.address:
            return control::ProgramError;
        case RegisterMap::Filter.address:
            return ProgrammingErrorLower;
        case RegisterMap::ZeroScale.address:
        case RegisterMap::FullScale.address:
            return cal::MismatchMessage;
        default:
            return ProgrammingError;
    }
}

}  // namespace kx::fields
