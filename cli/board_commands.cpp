#include "board_commands.h"

#include "calibration.h"
#include "hex.h"
#include "invocation.h"
#include "messages.h"
#include "read_run.h"
#include "register_update.h"
#include "shell_logic.h"

namespace kx::cli {

namespace {

struct NamedRegister {
    std::string name;
    const RegisterInfo* info;
};

const std::vector<NamedRegister>& NamedRegisters() {
    static const std::vector<NamedRegister> registers{
        {"status", &RegisterMap::Status},          {"mode", &RegisterMap::Mode},
        {"adc-control", &RegisterMap::AdcControl}, {"filter", &RegisterMap::Filter},
        {"offset", &RegisterMap::ZeroScale},       {"gain", &RegisterMap::FullScale},
        {"io-control", &RegisterMap::IoControl},   {"data", &RegisterMap::Data},
    };
    return registers;
}

constexpr int32_t KeptModeBits = 0xF8;

const char* const ProgrammingError = "Error Programming KX3105";
const char* const CalibrationError = "Error Calibrating KX3105";

int32_t ReadOnce(const RegisterInfo& info) {
    Register reg = Register::For(info);
    return ReadValue(reg);
}

}  // namespace

const RegisterInfo* FindRegister(const std::string& name) {
    for (const auto& r : NamedRegisters())
        if (r.name == name) return r.info;
    return nullptr;
}

const std::vector<std::string>& RegisterNames() {
    static const std::vector<std::string> names = [] {
        std::vector<std::string> out;
        for (const auto& r : NamedRegisters())
            out.push_back(r.name);
        return out;
    }();
    return names;
}

int PrintRegisters(std::ostream& out, bool withData) {
    for (const auto& r : NamedRegisters()) {
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
    ShowMessage(ProgrammingError, Icon::Warning);
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
    mode.RegValue = (ReadValue(mode) & KeptModeBits) | modeCode;
    mode.WriteReg();
    if (WaitForCalibration()) return ExitOk;
    ShowMessage(CalibrationError, Icon::Warning);
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
