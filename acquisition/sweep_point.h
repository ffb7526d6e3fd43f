#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "acquisition/run.h"

// One point of a data-sheet noise sweep as programmed on the board: channel, range, coding,
// filter word, chopping and continuous conversion, each read back with the register screens'
// message on a mismatch. The codes are then read with ReadCodes. Plain C++.

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
};

// Programs the ADC control register, the filter word and the mode register (chopping, then
// continuous conversion), each read back. nullopt when all took; else the message shown ("Error
// Programming KX3105", spelt one way whichever register differed), and nothing more is written.
std::optional<std::string> ProgramSweepPoint(const SweepSetting& setting);

}  // namespace kx
