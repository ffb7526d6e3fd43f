#pragma once

#include <string>

#include "acquisition/board.h"
#include "server/instrument.h"

// The Instrument on a board's link: the register map, the read-back writes and the capture
// procedure shared with the other faces. Used on the thread that owns the link.

namespace kx::server {

class BoardInstrument : public Instrument {
public:
    // `board`, when given, is the held board whose trace is flushed after each job.
    BoardInstrument(BoardLink& link, bool simulated, Board* board = nullptr)
        : link_(link), simulated_(simulated), board_(board) {}

    std::string Serial() const override { return simulated_ ? "SIMULATED" : "0"; }
    Failure Reset() override;
    bool Answers() override;
    ApplyOutcome Apply(const ConverterSettings& settings) override;
    int32_t ReadRegister(const RegisterInfo& info) override;
    Failure WriteRegister(const RegisterInfo& info, uint32_t value) override;
    ReadOutcome ReadCodes(int64_t count, const std::atomic<bool>& stop,
                          std::vector<int32_t>& codes) override;
    Failure Calibrate(int modeCode) override;

    void TakeOver(const std::atomic<bool>* stop) override;
    void HandBack() override;
    void FlushTrace() override;

private:
    BoardLink& link_;
    bool simulated_;
    Board* board_;
};

}  // namespace kx::server
