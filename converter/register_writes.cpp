#include "converter/register_writes.h"

#include "converter/filter_logic.h"
#include "converter/io_control_logic.h"
#include "converter/mode_logic.h"
#include "converter/register_update.h"
#include "core/hex.h"
#include "core/messages.h"

namespace kx::fields {

namespace {

const RegisterFields& Entry(const RegisterInfo& info) {
    return *FieldsOf(info);
}

int32_t Full(const RegisterFields& reg) {
    return static_cast<int32_t>((1u << reg.info->width) - 1u);
}

int32_t Apply(int32_t before, int32_t mask, int32_t value) {
    return (before & ~mask) | (value & mask);
}

bool IsCalibrationOrFilter(const RegisterFields& reg) {
    return reg.info == &RegisterMap::Filter || reg.info == &RegisterMap::ZeroScale ||
           reg.info == &RegisterMap::FullScale;
}

// Mode, ADC control and I/O control are changed field by field on their screens: the register
// read afresh (`before`), the bits changed, written, read back, and the bits shown once more.
WriteResult WriteFields(const PlannedWrite& w, Register& reg, int32_t before) {
    const int32_t written = Apply(before, w.mask, w.value);
    const int32_t readBack = WriteAndReadBack(reg, written);
    const int32_t checked = CheckedBits(*w.reg, written);
    WriteResult r{w.reg, written, readBack, (written & checked) == (readBack & checked)};
    if (!r.ok) ShowMessage(MismatchMessage(*w.reg, before, written), Icon::Warning);
    // The I/O control screen reads the directions afresh when a pin turns to output.
    const int32_t directions = io::P1Dir | io::P2Dir;
    if (w.reg->info == &RegisterMap::IoControl && (written & ~before & directions) != 0)
        ReadValue(reg);
    ReadValue(reg);
    return r;
}

}  // namespace

size_t IndexOf(const RegisterFields& reg) {
    return static_cast<size_t>(&reg - Registers().data());
}

Values ReadAll(BoardLink& link) {
    Values values{};
    for (const RegisterFields& reg : Registers()) {
        Register r = Register::For(link, *reg.info);
        values[IndexOf(reg)] = ReadValue(r);
    }
    return values;
}

Values PowerOnValues() {
    Values values{};
    for (const RegisterFields& reg : Registers())
        values[IndexOf(reg)] = reg.powerOn;
    return values;
}

std::optional<std::string> Refusal(const Values& values) {
    const int code = mode::Code(values[IndexOf(Entry(RegisterMap::Mode))]);
    if (code >= mode::FirstCalibrationCode)
        return "mode " + std::to_string(code) +
               " starts a calibration; a calibration is run from the mode register screen";
    return std::nullopt;
}

std::vector<PlannedWrite> PlanWrites(const Values& current, const Values& wanted) {
    const RegisterFields& mode = Entry(RegisterMap::Mode);
    const size_t m = IndexOf(mode);
    auto changed = [&](const RegisterFields& reg) {
        const size_t i = IndexOf(reg);
        return reg.writable() && current[i] != wanted[i];
    };
    bool powerDownFirst = false;
    for (const RegisterFields& reg : Registers())
        if (changed(reg) && IsCalibrationOrFilter(reg)) powerDownFirst = true;

    std::vector<PlannedWrite> plan;
    int32_t modeNow = current[m];
    const int32_t modeMask = current[m] ^ wanted[m];
    // A mode change into power-down is itself the power-down the other writes need.
    if (powerDownFirst && changed(mode) && mode::Code(wanted[m]) == 0) {
        plan.push_back(
            {&mode, PlannedWrite::Why::Changed, modeMask, wanted[m], modeNow, wanted[m]});
        modeNow = wanted[m];
        powerDownFirst = false;
    } else if (powerDownFirst) {
        const int32_t down = mode::WithCode(modeNow, 0);
        plan.push_back({&mode, PlannedWrite::Why::PowerDown, mode::CodeMask, 0, modeNow, down});
        modeNow = down;
    }
    for (const RegisterInfo* info :
         {&RegisterMap::Filter, &RegisterMap::ZeroScale, &RegisterMap::FullScale,
          &RegisterMap::AdcControl, &RegisterMap::IoControl}) {
        const RegisterFields& reg = Entry(*info);
        const size_t i = IndexOf(reg);
        if (!changed(reg)) continue;
        const int32_t mask = IsCalibrationOrFilter(reg) ? Full(reg) : current[i] ^ wanted[i];
        plan.push_back({&reg, PlannedWrite::Why::Changed, mask, wanted[i], current[i], wanted[i]});
    }
    if (modeNow != wanted[m]) {
        const bool restore = modeNow != current[m];
        const int32_t mask = restore ? (modeMask | mode::CodeMask) : modeMask;
        plan.push_back({&mode, restore ? PlannedWrite::Why::Restore : PlannedWrite::Why::Changed,
                        mask, wanted[m], modeNow, Apply(modeNow, mask, wanted[m])});
    }
    return plan;
}

std::string Describe(const PlannedWrite& w) {
    const int digits = w.reg->info->width / 4;
    std::string text = std::string(w.reg->key) + " " + HexPadded(w.from, digits) + " -> " +
                       HexPadded(w.expected, digits);
    if (w.why == PlannedWrite::Why::PowerDown)
        text += " (power-down for the filter and calibration writes)";
    else if (w.why == PlannedWrite::Why::Restore)
        text += " (out of power-down)";
    return text;
}

std::vector<WriteResult> MakeWrites(BoardLink& link, const std::vector<PlannedWrite>& plan) {
    std::vector<WriteResult> results;
    for (const PlannedWrite& w : plan) {
        Register reg = Register::For(link, *w.reg->info);
        if (w.why == PlannedWrite::Why::PowerDown) {
            // As the filter screen's gate and the calibration screen check it: the mode read, and
            // written only when the converter is not powered down already.
            const int32_t now = ReadValue(reg);
            if (mode::Code(now) == 0) continue;
            results.push_back(WriteFields(w, reg, now));
        } else if (w.reg->info == &RegisterMap::Filter) {
            // The filter screen: the word written, its bits shown, then read again to compare.
            int32_t shown = 0;
            const bool ok = ProgramFilterWord(reg, w.value, [&] { shown = ReadValue(reg); });
            if (!ok) ShowMessage(MismatchMessage(*w.reg, w.from, w.value), Icon::Warning);
            results.push_back({w.reg, w.value, shown, ok});
        } else if (IsCalibrationOrFilter(*w.reg)) {
            // The calibration screen: written, read back.
            const int32_t back = WriteAndReadBack(reg, w.value);
            results.push_back({w.reg, w.value, back, back == w.value});
            if (back != w.value)
                ShowMessage(MismatchMessage(*w.reg, w.from, w.value), Icon::Warning);
        } else {
            results.push_back(WriteFields(w, reg, ReadValue(reg)));
        }
        if (!results.back().ok) break;
    }
    return results;
}

}  // namespace kx::fields
