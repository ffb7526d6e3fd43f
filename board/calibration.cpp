#include "board/calibration.h"

bool WaitForCalibration(kx::BoardLink& link, int32_t* pollsUsed) {
    const int32_t status = link.base() + 1;
    int32_t counted = 0;
    int32_t reads = 0;
    bool ready = false;
    const std::atomic<bool>* stop = link.stopFlag();
    for (;;) {
        ++reads;
        if ((link.In(status) & 0x40) == 0) {
            ready = true;
            break;
        }
        if (++counted > CalibrationPollLimit || (stop && stop->load(std::memory_order_relaxed)))
            break;
    }
    if (pollsUsed) *pollsUsed = reads;
    return ready;
}
