#include "cli/board_commands.h"

#include <chrono>

#include "analysis/read_run.h"
#include "board/calibration.h"
#include "board/serial.h"
#include "cli/tool.h"
#include "converter/mode_gates.h"
#include "converter/mode_logic.h"
#include "converter/register_update.h"
#include "core/hex.h"
#include "core/messages.h"

namespace kx::cli {

const RegisterInfo* FindRegister(const std::string& name) {
    for (const auto& r : NamedRegisters)
        if (name == r.name) return r.info;
    return nullptr;
}

int WriteRegister(const RegisterInfo& info, uint32_t value) {
    Register reg = Register::For(info);
    const int32_t readBack = WriteAndReadBack(reg, static_cast<int32_t>(value));
    if (readBack == static_cast<int32_t>(value)) return ExitOk;
    // The register screens' wording of a failed write.
    ShowMessage(mode::FieldError, Icon::Warning);
    return ExitFailure;
}

int CalibrationCode(const std::string& name) {
    if (name == "internal-zero") return 4;
    if (name == "internal-full") return 5;
    if (name == "system-zero") return 6;
    if (name == "system-full") return 7;
    return 0;
}

int Calibrate(int modeCode) {
    Register mode = Register::For(RegisterMap::Mode);
    mode.RegValue = mode::WithCode(ReadValue(mode), modeCode);
    mode.WriteReg();
    if (WaitForCalibration()) return ExitOk;
    ShowMessage(mode::CalibrationError, Icon::Warning);
    return ExitFailure;
}

CaptureEnd Capture(int count, const std::atomic<bool>& keepReading, std::vector<int32_t>& codes,
                   std::vector<double>* seconds,
                   const std::function<void(int read, int count)>& progress) {
    Register mode = Register::For(RegisterMap::Mode);
    const int32_t modeValue = ReadValue(mode);
    if (!IsContinuousConversion(modeValue)) {
        // As the continuous-conversion gate writes it: no read-back.
        mode.RegValue = WithContinuousConversion(modeValue);
        mode.WriteReg();
    }
    ReadData reader = ReadData::ForDataRegister();
    codes.reserve(static_cast<size_t>(count));
    std::chrono::steady_clock::time_point first;
    for (int i = 0; i < count; ++i) {
        if (!keepReading.load()) return CaptureEnd::Interrupted;
        const int32_t code = reader.Read();
        if (code == TimeoutMarker) {
            ShowMessage(run::ReadErrorMessage, Icon::Warning);
            return CaptureEnd::TimedOut;
        }
        const auto now = std::chrono::steady_clock::now();
        if (i == 0) first = now;
        codes.push_back(code);
        if (seconds) seconds->push_back(std::chrono::duration<double>(now - first).count());
        if (progress) progress(i + 1, count);
    }
    return CaptureEnd::Done;
}

}  // namespace kx::cli
