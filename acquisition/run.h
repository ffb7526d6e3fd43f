#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "maths/statistics.h"

// A run of conversion codes as a value, and the one scaling of its codes to volts. Every face
// hands these on: the screens, the charts, the files, kx3105-cli and what is built on them next.
// Plain C++.

namespace kx {

// The reference voltage until one is given: the program's at start-up, every command's default.
inline constexpr float DefaultReferenceVolts = 2.5f;

// The code of 0 V in bipolar coding (2^23).
inline constexpr double BipolarZeroCode = 8388608.0;
// The largest code the converter gives.
inline constexpr int32_t MaxConverterCode = 0xFFFFFF;
// The converter's ADC control register at power-on: AIN1-AINCOM, bipolar, 2.56 V.
inline constexpr int32_t PowerOnAdcControl = 0x07;

// A run of codes and what is known of how it was taken. A run loaded from a file knows only what
// the file says; the read for analysis knows its codes and when.
struct Run {
    std::vector<int32_t> codes;  // in the order read; a loaded run may hold the time-out marker
    std::optional<int32_t> adcControl;  // the ADC control register the codes were taken with
    std::optional<int32_t> mode;        // the mode register (its CHOP bit)
    std::optional<int32_t> filter;      // the filter word
    float referenceVolts = DefaultReferenceVolts;
    std::optional<double> rateHz;                                // the update rate
    std::optional<std::chrono::system_clock::time_point> taken;  // when the read began
    std::string board;  // the board read, in words ("simulated KX3105 board"); empty: not known

    // The channel code (ADC control bits 7..4), when the ADC control register is known.
    std::optional<int> channel() const;
    // How many codes are the time-out marker of a failed read.
    size_t timeouts() const;
};

// The codes of a run as double-precision numbers, for the spectrum and the charts.
std::vector<double> CodesAsDoubles(std::span<const int32_t> codes);

// How the codes of a run turn into volts: the range and coding of an ADC control byte and a
// reference voltage. One code step (LSB) is ref x 1.024 x polarity / (gain x 2^24), polarity 1
// unipolar and 2 bipolar; a bipolar code 800000 hex is 0 V.
struct Scaling {
    int rangeCode = 7;
    bool unipolar = false;
    float referenceVolts = DefaultReferenceVolts;
    double lsbVolts = 0;

    // The LSB in double precision, for values later steps compute with.
    static Scaling Of(int32_t adcControl, float referenceVolts);
    // The LSB rounded to single precision, as the noise analysis shows it and figures with it.
    static Scaling Shown(int32_t adcControl, float referenceVolts);

    int16_t polarity() const { return unipolar ? 1 : 2; }  // the Polarity global's coding
    int gain() const;
    float inputRange() const;          // nominal range in volts, as InputRange holds it
    double nominalRangeVolts() const;  // 0.02 ... 2.56
    double fullScaleVolts() const;     // what the codes span at this reference: 1.024 ref / gain
    double zeroCode() const { return unipolar ? 0.0 : BipolarZeroCode; }

    double CodeToVolts(double code) const { return (code - zeroCode()) * lsbVolts; }
    double VoltsToCode(double volts) const { return volts / lsbVolts + zeroCode(); }
};

// The scaling a run was taken with (LSB in double precision); nullopt when its ADC control
// register is not known.
std::optional<Scaling> ScalingOf(const Run& run);

}  // namespace kx
