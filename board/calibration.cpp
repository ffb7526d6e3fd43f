#include "board/calibration.h"

#include "board/port.h"
#include "core/globals.h"

bool WaitForCalibration(int32_t* pollsUsed) {
    const int32_t status = static_cast<uint16_t>(PortAddress) + 1;
    int32_t counted = 0;
    int32_t reads = 0;
    bool ready = false;
    const std::atomic<bool>* stop = WaitStopFlag();
    for (;;) {
        ++reads;
        if ((PortIn(status) & 0x40) == 0) {
            ready = true;
            break;
        }
        if (++counted > CalibrationPollLimit || (stop && stop->load(std::memory_order_relaxed)))
            break;
    }
    if (pollsUsed) *pollsUsed = reads;
    return ready;
}
