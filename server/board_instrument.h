#pragma once

#include <string>

#include "server/instrument.h"

// The Instrument on the board installed behind PortIn/PortOut: the register map, the read-back
// writes and the capture loop shared with the other faces. Used on the thread that owns the port.

namespace kx::server {

class BoardInstrument : public Instrument {
public:
    explicit BoardInstrument(bool simulated) : simulated_(simulated) {}

    std::string Serial() const override { return simulated_ ? "SIMULATED" : "0"; }
    Failure Reset() override;
    bool Answers() override;
    Failure Apply(const SettingChange& change) override;
    int32_t ReadRegister(const RegisterInfo& info) override;
    Failure WriteRegister(const RegisterInfo& info, uint32_t value) override;
    ReadOutcome ReadCodes(int64_t count, const std::atomic<bool>& stop,
                          std::vector<int32_t>& codes) override;
    Failure Calibrate(int modeCode) override;

private:
    bool simulated_;
};

}  // namespace kx::server
