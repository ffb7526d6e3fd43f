#pragma once

#include <string>

#include "multichannel/multi_state.h"

// "Read Data for Display": pass after pass over the twelve channels until a stop request (a key,
// Stop, Back, the close box) ends it: at the next checked row, or within one poll of the ready
// line when a conversion is awaited, always with the converter left idle. Each checked channel gets
// its filter word, ADC control byte and continuous mode (each read back), one conversion and its
// code on screen; every slot, checked or not, ends with the converter put back into idle.

namespace kx::multi {

inline constexpr const char* HitAnyKeyText = "Hit any Key to Stop Reading";
inline constexpr const char* FilterFormatMessage = "Enter Correct Number format for Filter Word";
inline constexpr const char* FilterMaxMessage = "Illegal Filter Value , Max Value is FF";
inline constexpr const char* FilterMinMessagePrefix = "Illegal Filter Value , Min Value is ";
inline constexpr const char* FilterProgramMessage = "Error Programming Filter Register";
inline constexpr const char* ControlProgramMessage = "Error Programming ADC Control Register";
inline constexpr const char* ModeProgramMessage = "Error Programming Mode Register";
inline constexpr const char* ReadDataMessage = "Error Reading Data from KX3105";
inline constexpr const char* SelectForConversionMessage = "Select Channels for Conversion";

// A row's controls as the read finds them when the row's turn comes: the check state and the
// visible texts of the range list, the polarity list and the filter box.
struct RowControls {
    bool checked = false;
    std::string range;
    std::string polarity;
    std::string filter;
};

// What the read needs from the screen.
class ReadView {
public:
    virtual ~ReadView() = default;
    virtual RowControls Row(int row) = 0;
    virtual void ShowStopCaption(const std::string& text) = 0;
    // Asked before each pass and each conversion: false once a stop was requested.
    virtual bool GoOn() = 0;
    // Shows a code in the row's data box and repaints it at once.
    virtual void ShowCode(int row, const std::string& code) = 0;
    // The same code with the ADC control byte it was converted with, for a view that shows it
    // in volts.
    virtual void ShowConversion(int /*row*/, int32_t /*code*/, int32_t /*adcControl*/) {}
};

// The whole read, messages included. Once GoOn has said stop, the view is not used
// again. A range that names no item stops the read with RangeRefusal before its row is written.
void RunRead(MultiChannelState& s, ReadView& view);

}  // namespace kx::multi
