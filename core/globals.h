#pragma once

#include <cstdint>
#include <vector>

// The program-wide values that the screens share. One instance each for the whole run; the
// widths are the ones the stored files and the displays rely on.

extern int16_t PortAddress;               // base I/O address of the printer port; 0 = none known
extern std::vector<double> SampleBuffer;  // codes in elements 1..CodeCount; element 0 is no sample
extern int16_t CodeCount;                 // number of codes in SampleBuffer
extern float ReferenceVoltage;            // volts, 2.5 at start-up
extern float InputRange;                  // volts, 0.02 to 2.56
extern int16_t Polarity;                  // 1 unipolar, 2 bipolar
extern int16_t UpdatingDisplay;           // 1 while a screen selects its own option buttons
extern int32_t MaxCode;                   // extremes of the run, left by the noise analysis
extern int32_t MinCode;

namespace kx {
// Puts every shared value back to its start-up state (tests start from a fresh program).
void ResetGlobals();
}  // namespace kx
