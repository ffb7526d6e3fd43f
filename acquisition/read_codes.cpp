#include "acquisition/read_codes.h"

#include <utility>

#include "board/registers.h"
#include "board/serial.h"
#include "converter/filter_logic.h"
#include "converter/mode_gates.h"
#include "converter/register_update.h"

namespace kx {

bool EnsureContinuousConversion(BoardLink& link) {
    Register mode = Register::For(link, RegisterMap::Mode);
    const int32_t value = ReadValue(mode);
    if (IsContinuousConversion(value)) return false;
    mode.RegValue = WithContinuousConversion(value);
    mode.WriteReg();
    return true;
}

Run RunAsSetNow(BoardLink& link, float referenceVolts) {
    Run run;
    for (auto [info, slot] : {std::pair{&RegisterMap::Mode, &run.mode},
                              std::pair{&RegisterMap::AdcControl, &run.adcControl},
                              std::pair{&RegisterMap::Filter, &run.filter}}) {
        Register reg = Register::For(link, *info);
        *slot = ReadValue(reg);
    }
    run.referenceVolts = referenceVolts;
    if (*run.filter > 0) run.rateHz = UpdateRate(*run.filter, ChopEnabledIn(*run.mode));
    run.taken = std::chrono::system_clock::now();
    run.board = link.backend().describe();
    return run;
}

ReadResult ReadCodes(BoardLink& link, int64_t count, const ReadSettings& settings,
                     const std::atomic<bool>& stop, const CodeSink& onCode) {
    if (settings.continuous) EnsureContinuousConversion(link);
    ReadData reader = ReadData::ForDataRegister(link);
    ReadResult result;
    for (int64_t i = 0; count == UntilStopped || i < settings.settle + count; ++i) {
        if (stop.load(std::memory_order_relaxed)) {
            result.end = ReadEnd::Stopped;
            break;
        }
        const int32_t code = reader.Read();
        if (code == StoppedMarker) {
            result.end = ReadEnd::Stopped;
            break;
        }
        if (code == TimeoutMarker) {
            result.end = ReadEnd::TimedOut;
            break;
        }
        if (i < settings.settle) continue;
        ++result.codes;
        if (!onCode(code)) {
            result.end = ReadEnd::Stopped;
            break;
        }
    }
    return result;
}

}  // namespace kx
