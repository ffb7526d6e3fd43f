#include "multi_read.h"

#include "adc_control_fields.h"
#include "hex.h"
#include "messages.h"
#include "numtext.h"
#include "serial.h"

namespace kx::multi {

namespace {

constexpr int32_t IdleMode = 1;
constexpr int32_t ContinuousMode = 3;
constexpr int32_t ModeFieldKeep = 0xF8;

int32_t Read(Register& reg) {
    return RoundHalfEven(reg.ReadReg());
}

// Writes and reads back; true when the register took the value.
bool Program(Register& reg, int32_t value) {
    reg.RegValue = value;
    reg.WriteReg();
    return Read(reg) == value;
}

// Hexadecimal digits into a 32-bit signed number: eight digits with the top bit set are negative.
std::optional<int32_t> FilterWordOf(const std::string& text) {
    const auto value = kx::ParseHex(text);
    if (!value || *value > 0xFFFFFFFFull) return std::nullopt;
    return static_cast<int32_t>(static_cast<uint32_t>(*value));
}

ReadEnd Fail(ReadView& view, const std::string& message) {
    view.ShowStopCaption("");
    kx::ShowMessage(message, kx::Icon::Warning);
    return ReadEnd::Failed;
}

}  // namespace

void BeginPass(MultiChannelState& s) {
    s.ModeValue = Read(s.modeRegister);
    s.ControlValue = Read(s.controlRegister);
    s.FilterValue = Read(s.filterRegister);
}

std::optional<std::string> WorkOutChannel(MultiChannelState& s, ReadLocals& locals, int row,
                                          const RowControls& controls) {
    if (auto code = RangeCodeOf(controls.range)) locals.RN = static_cast<int16_t>(*code);
    if (controls.polarity == BipolarItem) locals.UB = 0;
    if (controls.polarity == UnipolarItem) locals.UB = 1;

    const auto word = FilterWordOf(controls.filter);
    if (!word) return FilterFormatMessage;
    s.FilterValue = *word;
    if (s.FilterValue > 255) return FilterMaxMessage;
    if (s.FilterValue < s.MinFilterWord)
        return FilterMinMessagePrefix + std::to_string(s.MinFilterWord);

    // Nothing of the register's previous contents survives: channel, coding and range are all
    // this row's.
    s.ControlValue = (s.ControlValue & 0x0F) | ChannelTable[static_cast<size_t>(row)].channelByte();
    s.ControlValue = (s.ControlValue & ~(adc::UnipolarBit | adc::RangeMask)) |
                     (locals.UB ? adc::UnipolarBit : 0) | locals.RN;
    return std::nullopt;
}

std::optional<std::string> ProgramChannel(MultiChannelState& s) {
    if (!Program(s.filterRegister, s.FilterValue)) return FilterProgramMessage;
    if (!Program(s.controlRegister, s.ControlValue)) return ControlProgramMessage;
    // Idle or power-down both become continuous conversion.
    s.ModeValue |= ContinuousMode;
    if (!Program(s.modeRegister, s.ModeValue)) return ModeProgramMessage;
    return std::nullopt;
}

void FinishSlot(MultiChannelState& s) {
    BeginPass(s);
    s.ModeValue = (Read(s.modeRegister) & ModeFieldKeep) | IdleMode;
    s.modeRegister.RegValue = s.ModeValue;
    s.modeRegister.WriteReg();
}

ReadEnd RunRead(MultiChannelState& s, ReadView& view) {
    s.KeepReading = -1;
    ReadLocals locals;
    while (s.KeepReading) {
        view.ShowStopCaption(HitAnyKeyText);
        BeginPass(s);
        for (int row = 0; row < ChannelCount; ++row) {
            const RowControls controls = view.Row(row);
            if (controls.checked) {
                if (auto failure = WorkOutChannel(s, locals, row, controls))
                    return Fail(view, *failure);
                if (auto failure = ProgramChannel(s)) return Fail(view, *failure);
                if (!view.TurnEventLoop()) {
                    // The screen is going: leave the converter idle, as a normal stop does.
                    FinishSlot(s);
                    return ReadEnd::Closed;
                }
                const int32_t code = s.dataRegister.Read();
                if (code == TimeoutMarker) return Fail(view, ReadDataMessage);
                view.ShowCode(row, kx::Hex(code));
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
    return ReadEnd::Stopped;
}

}  // namespace kx::multi
