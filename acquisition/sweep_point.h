#pragma once

#include <cstdint>

#include "acquisition/run.h"
#include "acquisition/settings.h"

// One point of a data-sheet noise sweep: channel, range, coding, filter word and chopping, and
// how many codes it takes after how many settling results. Captured through the one capture
// procedure (acquisition/capture.h). Plain C++.

namespace kx {

struct SweepSetting {
    int channelCode = 0;  // ADC control bits 7..4
    int rangeCode = 7;    // ADC control bits 2..0
    bool unipolar = false;
    bool chopEnabled = true;  // mode bit 7 clear
    int filterWord = 0x45;
    int settle = 3;    // results discarded after programming
    int count = 1000;  // codes captured, at least 1
    float referenceVolts = DefaultReferenceVolts;

    // The ADC control byte the point programs.
    int32_t adcControl() const;
    // The point as settings to write.
    ConverterSettings settings() const;
};

}  // namespace kx
