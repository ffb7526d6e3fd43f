#include "multichannel/multi_calibration.h"

#include "board/calibration.h"
#include "board/port.h"
#include "converter/control_logic.h"
#include "converter/mode_logic.h"
#include "converter/register_update.h"
#include "core/messages.h"

namespace kx::multi {

namespace {

constexpr int ZeroScaleMode = 4;
constexpr int FullScaleMode = 5;

// Only the channel field changes: range, coding and filter word stay as the converter holds them.
void SelectChannel(MultiChannelState& s, int row) {
    s.ControlValue = control::WithChannel(ReadValue(s.controlRegister),
                                          ChannelTable[static_cast<size_t>(row)].channelCode);
    s.controlRegister.RegValue = s.ControlValue;
    s.controlRegister.WriteReg();
}

// One calibration step; a wait that runs out is reported and the sequence goes on.
void CalibrationStep(MultiChannelState& s, int modeField, CalibrationView& view) {
    if (s.modeRegister.link().StopRequested()) return;
    s.ModeValue = ReadValue(s.modeRegister);
    s.modeRegister.RegValue = mode::WithCode(s.ModeValue, modeField);
    s.modeRegister.WriteReg();
    view.ShowCalCaption(CalibratingText);
    // Each wait is given the full limit of its own.
    if (!WaitForCalibration(s.modeRegister.link()) && !s.modeRegister.link().StopRequested())
        kx::ShowMessage(mode::CalibrationError, kx::Icon::Warning);
    view.ShowCalCaption("");
}

}  // namespace

void RunCalibration(MultiChannelState& s, CalibrationView& view) {
    bool anyChecked = false;
    for (int row = 0; row < ChannelCount; ++row) {
        if (!view.Checked(row)) continue;
        anyChecked = true;
        // A stop (the screen is going) ends the sequence after the step it cut short.
        if (s.modeRegister.link().StopRequested()) return;
        SelectChannel(s, row);
        CalibrationStep(s, ZeroScaleMode, view);
        CalibrationStep(s, FullScaleMode, view);
    }
    if (!anyChecked) {
        view.ShowStopCaption("");
        kx::ShowMessage(SelectForCalibrationMessage, kx::Icon::Warning);
    }
}

}  // namespace kx::multi
