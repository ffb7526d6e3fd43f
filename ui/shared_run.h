#pragma once

#include <cstdint>

#include "acquisition/run.h"

// The program's shared globals (core/globals.h) as the screens leave them for each other, written
// here and nowhere else: where a read or a load ends, where start-up and the reference field set
// the reference, where the noise analysis and the ADC control screen set the range and polarity,
// and where the noise analysis leaves the extremes. The screens hand runs on as values; these
// keep the old program's names and behaviour for the screens that read them.

namespace kx {

// The run in SampleBuffer (codes 1..CodeCount) with ReferenceVoltage as its reference, and what
// the run published last knows of itself (its registers, rate, time and board) while the buffer
// still holds its codes.
Run SharedRun();

// A finished read or load becomes the program's run: SampleBuffer re-created with elements
// 0..slots (the requested count of a read for analysis, the codes of a load; element 0 is no
// sample, and slots beyond the codes read stay 0), the codes from element 1, CodeCount, and
// ReferenceVoltage from the run's reference. At most 32767 codes: CodeCount is 16 bits.
void PublishRun(const Run& run, size_t slots);

// ReferenceVoltage alone: start-up's 2.5 V, Enter in the reference field.
void PublishReference(float volts);

// InputRange and Polarity: the ADC control screen's range and coding, one at a time, or both
// from a scaling (the noise analysis).
void PublishRange(int rangeCode);
void PublishPolarity(bool unipolar);
void PublishScaling(const Scaling& scaling);

// MaxCode and MinCode, as the noise analysis leaves them.
void PublishExtremes(int32_t minCode, int32_t maxCode);

}  // namespace kx
