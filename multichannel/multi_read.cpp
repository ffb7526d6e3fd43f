#include "multichannel/multi_read.h"

#include <optional>

#include "acquisition/capture.h"
#include "converter/control_logic.h"
#include "converter/filter_logic.h"
#include "converter/mode_logic.h"
#include "converter/register_update.h"
#include "core/hex.h"
#include "core/messages.h"
#include "core/numtext.h"

namespace kx::multi {

namespace {

constexpr int IdleMode = 1;
constexpr int32_t ContinuousMode = 3;

// Range and polarity carry over from one converted channel to the next when a list holds a text
// that is none of its items; they start at 20 mV, bipolar.
struct ReadLocals {
    int16_t RN = 0;
    int16_t UB = 0;
};

// Hexadecimal digits into a 32-bit signed number: eight digits with the top bit set are negative.
std::optional<int32_t> FilterWordOf(const std::string& text) {
    const auto value = kx::ParseHex(text);
    if (!value || *value > 0xFFFFFFFFull) return std::nullopt;
    return static_cast<int32_t>(static_cast<uint32_t>(*value));
}

void Fail(ReadView& view, const std::string& message) {
    view.ShowStopCaption("");
    kx::ShowMessage(message, kx::Icon::Warning);
}

void ReadWorkingCopies(MultiChannelState& s) {
    s.ModeValue = ReadValue(s.modeRegister);
    s.ControlValue = ReadValue(s.controlRegister);
    s.FilterValue = ReadValue(s.filterRegister);
}

// The steps of a slot. A step that fails returns its message; nothing more is written then.

// Range, polarity and filter word of a checked row into RN, UB, FilterValue and ControlValue.
std::optional<std::string> WorkOutChannel(MultiChannelState& s, ReadLocals& locals, int row,
                                          const RowControls& controls) {
    // A range that names no item is refused before the row is written.
    const auto range = TypedRangeCode(controls.range);
    if (!range) return RangeRefusal(row, controls.range);
    locals.RN = static_cast<int16_t>(*range);
    if (controls.polarity == BipolarItem) locals.UB = 0;
    if (controls.polarity == UnipolarItem) locals.UB = 1;

    const auto word = FilterWordOf(controls.filter);
    if (!word) return FilterFormatMessage;
    s.FilterValue = *word;
    if (s.FilterValue > MaxFilterWord) return FilterMaxMessage;
    if (s.FilterValue < s.MinFilterWord)
        return FilterMinMessagePrefix + std::to_string(s.MinFilterWord);

    // Nothing of the register's previous contents survives: channel, coding and range are all
    // this row's.
    const int channel = ChannelTable[static_cast<size_t>(row)].channelCode;
    s.ControlValue = control::WithRange(
        control::WithUnipolar(control::WithChannel(s.ControlValue, channel), locals.UB == 1),
        locals.RN);
    return std::nullopt;
}

// Filter, ADC control, then mode register with continuous conversion, each read back.
std::optional<std::string> ProgramChannel(MultiChannelState& s) {
    if (WriteAndReadBack(s.filterRegister, s.FilterValue) != s.FilterValue)
        return FilterProgramMessage;
    if (WriteAndReadBack(s.controlRegister, s.ControlValue) != s.ControlValue)
        return ControlProgramMessage;
    // Idle or power-down both become continuous conversion.
    s.ModeValue |= ContinuousMode;
    if (WriteAndReadBack(s.modeRegister, s.ModeValue) != s.ModeValue) return ModeProgramMessage;
    return std::nullopt;
}

// Reads the slot's registers and puts the converter into idle (no read-back).
void FinishSlot(MultiChannelState& s) {
    ReadWorkingCopies(s);
    s.ModeValue = mode::WithCode(ReadValue(s.modeRegister), IdleMode);
    s.modeRegister.RegValue = s.ModeValue;
    s.modeRegister.WriteReg();
}

}  // namespace

void RunRead(MultiChannelState& s, ReadView& view) {
    s.KeepReading = -1;
    ReadLocals locals;
    while (s.KeepReading) {
        // A stop between passes ends the read where the last pass left the converter: idle.
        if (!view.GoOn()) break;
        view.ShowStopCaption(HitAnyKeyText);
        ReadWorkingCopies(s);
        for (int row = 0; row < ChannelCount; ++row) {
            const RowControls controls = view.Row(row);
            if (controls.checked) {
                if (auto failure = WorkOutChannel(s, locals, row, controls))
                    return Fail(view, *failure);
                if (auto failure = ProgramChannel(s)) return Fail(view, *failure);
                if (!view.GoOn()) {
                    // Stopped: leave the converter idle, as the end of a pass does.
                    FinishSlot(s);
                    return;
                }
                // The view was asked just now; a stop during the wait ends that wait.
                const auto show = [&](int32_t code, double) {
                    view.ShowCode(row, kx::Hex(code));
                    view.ShowConversion(row, code, s.ControlValue);
                    return true;
                };
                const CaptureOutcome read =
                    Capture(s.modeRegister.link(), DataOnly(1), NeverStopped, {}, show);
                if (read.end == ReadEnd::TimedOut) return Fail(view, ReadDataMessage);
                if (read.end == ReadEnd::Stopped) {
                    FinishSlot(s);
                    return;
                }
            }
            FinishSlot(s);
        }
        // Boxes may have been unchecked during the pass: the end of the pass decides.
        bool checkedNow = false;
        for (int row = 0; row < ChannelCount; ++row)
            checkedNow = checkedNow || view.Row(row).checked;
        if (!checkedNow) return Fail(view, SelectForConversionMessage);
    }
    view.ShowStopCaption("");
}

}  // namespace kx::multi
