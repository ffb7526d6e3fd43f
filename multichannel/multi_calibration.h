#pragma once

#include <string>

#include "multichannel/multi_state.h"

// "Calibrate Channels": for every checked row in table order, select the row's channel and run
// the converter's internal zero-scale and then full-scale calibration, waiting on the ready line
// after each. Range, coding and filter word stay as the converter holds them.

namespace kx::multi {

inline constexpr const char* CalibratingText = "Calibrating";
inline constexpr const char* SelectForCalibrationMessage = "Select Channels for Calibration";

class CalibrationView {
public:
    virtual ~CalibrationView() = default;
    virtual bool Checked(int row) = 0;
    // Sets CalLabel's caption and repaints it at once: the waits give the event loop no turn.
    virtual void ShowCalCaption(const std::string& text) = 0;
    virtual void ShowStopCaption(const std::string& text) = 0;
};

void RunCalibration(MultiChannelState& s, CalibrationView& view);

}  // namespace kx::multi
