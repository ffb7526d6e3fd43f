#include "core/globals.h"

int16_t PortAddress = 0;
std::vector<double> SampleBuffer(1, 0.0);
int16_t CodeCount = 0;
float ReferenceVoltage = 0.0f;
float InputRange = 0.0f;
int16_t Polarity = 0;
int16_t UpdatingDisplay = 0;
int32_t MaxCode = 0;
int32_t MinCode = 0;

namespace kx {
void ResetGlobals() {
    PortAddress = 0;
    SampleBuffer.assign(1, 0.0);
    CodeCount = 0;
    ReferenceVoltage = 0.0f;
    InputRange = 0.0f;
    Polarity = 0;
    UpdatingDisplay = 0;
    MaxCode = 0;
    MinCode = 0;
}
}  // namespace kx
