#include "server/board_instrument.h"

#include <cmath>

#include "analysis/read_run.h"
#include "board/calibration.h"
#include "board/resets.h"
#include "board/serial.h"
#include "registers/adc_control_fields.h"
#include "registers/control_logic.h"
#include "registers/filter_logic.h"
#include "registers/mode_gates.h"
#include "registers/mode_logic.h"
#include "registers/register_update.h"

// PROVISIONAL: the board check, the settings and the capture loop come from the shared
// acquisition code once it is below every face.

namespace kx::server {

namespace {

Failure WriteChecked(const RegisterInfo& info, int32_t value, const char* message) {
    Register reg = Register::For(info);
    return WriteAndReadBack(reg, value) == value ? Failure{} : Failure{message};
}

}  // namespace

Failure BoardInstrument::Reset() {
    HardwareReset();
    return {};
}

bool BoardInstrument::Answers() {
    for (const RegisterInfo* info :
         {&RegisterMap::Status, &RegisterMap::Mode, &RegisterMap::AdcControl})
        if (ReadRegister(*info) != 0xFF) return true;
    return false;
}

Failure BoardInstrument::Apply(const SettingChange& c) {
    int32_t modeValue = ReadRegister(RegisterMap::Mode);
    if (c.chopEnabled) {
        const int32_t wanted =
            *c.chopEnabled ? (modeValue & ~mode::ChopBit) : (modeValue | mode::ChopBit);
        if (auto f = WriteChecked(RegisterMap::Mode, wanted, mode::FieldError); !f.empty())
            return f;
        modeValue = wanted;
    }
    if (c.filterWord) {
        if (auto f = WriteChecked(RegisterMap::Filter, *c.filterWord, ProgrammingErrorLower);
            !f.empty())
            return f;
    }
    if (c.channelCode || c.rangeCode || c.unipolar) {
        int32_t value = ReadRegister(RegisterMap::AdcControl);
        if (c.channelCode) value = control::WithChannel(value, *c.channelCode);
        if (c.rangeCode) value = control::WithRange(value, *c.rangeCode);
        if (c.unipolar) value = control::WithUnipolar(value, *c.unipolar);
        return WriteChecked(RegisterMap::AdcControl, value, control::ProgramError);
    }
    return {};
}

int32_t BoardInstrument::ReadRegister(const RegisterInfo& info) {
    Register reg = Register::For(info);
    return ReadValue(reg);
}

Failure BoardInstrument::WriteRegister(const RegisterInfo& info, uint32_t value) {
    return WriteChecked(info, static_cast<int32_t>(value), mode::FieldError);
}

ReadOutcome BoardInstrument::ReadCodes(int64_t count, const std::atomic<bool>& stop,
                                       std::vector<int32_t>& codes) {
    Register mode = Register::For(RegisterMap::Mode);
    const int32_t modeValue = ReadValue(mode);
    if (!IsContinuousConversion(modeValue)) {
        mode.RegValue = WithContinuousConversion(modeValue);
        mode.WriteReg();
    }
    ReadData reader = ReadData::ForDataRegister();
    codes.reserve(static_cast<size_t>(count));
    for (int64_t i = 0; i < count; ++i) {
        if (stop.load()) return {ReadEnd::Stopped, {}};
        const int32_t code = reader.Read();
        if (code == StoppedMarker) return {ReadEnd::Stopped, {}};
        if (code == TimeoutMarker) return {ReadEnd::TimedOut, run::ReadErrorMessage};
        codes.push_back(code);
    }
    return {};
}

Failure BoardInstrument::Calibrate(int modeCode) {
    Register mode = Register::For(RegisterMap::Mode);
    mode.RegValue = mode::WithCode(ReadValue(mode), modeCode);
    mode.WriteReg();
    return WaitForCalibration() ? Failure{} : Failure{mode::CalibrationError};
}

}  // namespace kx::server
