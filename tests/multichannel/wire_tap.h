#pragma once

#include <functional>
#include <vector>

#include "sim/simulated_board.h"

// Sits between the program and a simulated board and turns the port traffic back into register
// transactions, from the lines alone: a bit is taken at each rising clock edge, from data in
// (bit 0 written) or, in a read, from data out (bit 4 of the last status read).
struct Transaction {
    int command = 0;
    long value = 0;
    bool timedOut = false;  // a data read that saw 100000 ready polls and no clock
    long pollsBefore = 0;   // status reads between the previous transaction and this one
};

class WireTap final : public PortBackend {
public:
    explicit WireTap(kx::sim::SimulatedBoard& board) : board_(board) {}

    std::vector<Transaction> transactions;
    long loosePolls = 0;                         // status reads since the last transaction
    std::function<void(int command)> onCommand;  // as a command byte completes

    std::vector<long> writesTo(int command) const {  // values of one command's transfers
        std::vector<long> out;
        for (const Transaction& t : transactions)
            if (t.command == command) out.push_back(t.value);
        return out;
    }
    std::vector<int> commands() const {
        std::vector<int> out;
        for (const Transaction& t : transactions)
            out.push_back(t.command);
        return out;
    }

    int32_t GetParallelPortCount() override { return 1; }
    int16_t ClaimParallelPort(int32_t, bool) override { return 1; }
    int16_t GetParallelPortInfo(int32_t p, PortInfo& i) override {
        return board_.GetParallelPortInfo(p, i);
    }
    std::string describe() const override { return "wire tap"; }
    bool claimed() const override { return board_.claimed(); }
    std::optional<int32_t> boardAddress() const override { return board_.boardAddress(); }

    int32_t InByte(int32_t address) override {
        const int32_t value = board_.InByte(address);
        if (address != 0x379) return value;
        status_ = value;
        if (!inData_ && bits_ == 0) ++loosePolls;
        if (inData_ && command_ == 0x44 && !clocked_ && ++readyPolls_ == 100000) end(0, true);
        return value;
    }

    void OutByte(int32_t address, int32_t value) override {
        board_.OutByte(address, value);
        if (address != 0x378) return;
        const bool rising = !(last_ & 0x08) && (value & 0x08);
        clocked_ = clocked_ || !(value & 0x08);
        last_ = value;
        if (!rising) return;
        word_ = (word_ << 1) | (inData_ && (command_ & 0x40) ? (status_ >> 4) & 1 : value & 1);
        if (inData_ && ++bits_ == width_) return end(word_, false);
        if (inData_ || ++bits_ < 8) return;
        command_ = static_cast<int>(word_);
        const int reg = command_ & 0x0F;
        width_ = reg >= 4 && reg <= 6 ? 24 : reg >= 12 && reg <= 13 ? 16 : 8;
        pollsBefore_ = loosePolls;
        inData_ = true;
        clocked_ = false;
        readyPolls_ = bits_ = word_ = 0;
        if (onCommand) onCommand(command_);
    }

private:
    void end(long value, bool timedOut) {
        transactions.push_back({command_, value, timedOut, pollsBefore_});
        inData_ = false;
        loosePolls = bits_ = word_ = 0;
    }

    kx::sim::SimulatedBoard& board_;
    int last_ = 0x1A, status_ = 0, command_ = 0, width_ = 8, bits_ = 0;
    long word_ = 0, readyPolls_ = 0, pollsBefore_ = 0;
    bool inData_ = false, clocked_ = false;
};
