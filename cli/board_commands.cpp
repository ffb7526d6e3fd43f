#include "cli/board_commands.h"

#include "analysis/read_run.h"
#include "board/calibration.h"
#include "cli/invocation.h"
#include "core/hex.h"
#include "core/messages.h"
#include "registers/mode_gates.h"
#include "registers/mode_logic.h"
#include "registers/register_update.h"

namespace kx::cli {

namespace {

int32_t ReadOnce(const RegisterInfo& info) {
    Register reg = Register::For(info);
    return ReadValue(reg);
}

}  // namespace

const RegisterInfo* FindRegister(const std::string& name) {
    for (const auto& r : NamedRegisters)
        if (name == r.name) return r.info;
    return nullptr;
}

int PrintRegisters(std::ostream& out, bool withData) {
    for (const auto& r : NamedRegisters) {
        if (r.info == &RegisterMap::Data && !withData) continue;
        std::string name = r.name;
        name.resize(12, ' ');
        out << name << Hex(ReadOnce(*r.info)) << '\n';
    }
    return ExitOk;
}

int ReadRegister(const RegisterInfo& reg, std::ostream& out) {
    out << Hex(ReadOnce(reg)) << '\n';
    return ExitOk;
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

int Capture(int count, const std::atomic<bool>& keepReading,
            const std::function<void(int read, int count)>& progress) {
    Register mode = Register::For(RegisterMap::Mode);
    const int32_t modeValue = ReadValue(mode);
    if (!IsContinuousConversion(modeValue)) {
        // As the continuous-conversion gate writes it: no read-back.
        mode.RegValue = WithContinuousConversion(modeValue);
        mode.WriteReg();
    }
    ReadData reader = ReadData::ForDataRegister();
    run::AnalysisRead read(count);
    for (;;) {
        const bool keep = keepReading.load();
        const run::ReadStep step = read.Step(reader, keep);
        if (progress && read.codesRead() > 0) progress(read.codesRead(), count);
        switch (step) {
            case run::ReadStep::Continue:
                continue;
            case run::ReadStep::Done:
                return ExitOk;
            case run::ReadStep::TimedOut:
            case run::ReadStep::Interrupted:
                return ExitFailure;
        }
    }
}

}  // namespace kx::cli
