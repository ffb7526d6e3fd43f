#include "multi_calibration.h"

#include "calibration.h"
#include "messages.h"

namespace kx::multi {

namespace {
constexpr int ZeroScaleMode = 4;
constexpr int FullScaleMode = 5;
}  // namespace

void SelectChannel(MultiChannelState& s, int row) {
    s.ControlValue = RoundHalfEven(s.controlRegister.ReadReg());
    s.ControlValue = (s.ControlValue & 0x0F) | ChannelTable[static_cast<size_t>(row)].channelByte();
    s.controlRegister.RegValue = s.ControlValue;
    s.controlRegister.WriteReg();
}

bool CalibrationStep(MultiChannelState& s, int modeField, CalibrationView& view) {
    s.ModeValue = RoundHalfEven(s.modeRegister.ReadReg());
    s.modeRegister.RegValue = (s.ModeValue & 0xF8) | modeField;
    s.modeRegister.WriteReg();
    view.ShowCalCaption(CalibratingText);
    // Each wait is given the full limit of its own.
    const bool finished = WaitForCalibration();
    if (!finished) kx::ShowMessage(CalibrationErrorMessage, kx::Icon::Warning);
    view.ShowCalCaption("");
    return finished;
}

void RunCalibration(MultiChannelState& s, CalibrationView& view) {
    bool anyChecked = false;
    for (int row = 0; row < ChannelCount; ++row) {
        if (!view.Checked(row)) continue;
        anyChecked = true;
        SelectChannel(s, row);
        // A step that runs out is reported and the sequence goes on.
        CalibrationStep(s, ZeroScaleMode, view);
        CalibrationStep(s, FullScaleMode, view);
    }
    if (!anyChecked) {
        view.ShowStopCaption("");
        kx::ShowMessage(SelectForCalibrationMessage, kx::Icon::Warning);
    }
}

}  // namespace kx::multi
