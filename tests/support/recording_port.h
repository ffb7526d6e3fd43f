#pragma once

#include <cstdint>
#include <deque>
#include <map>
#include <string>
#include <vector>

#include "board/program_port.h"

// A port backend for tests: it records every access and answers reads from a script.

namespace kx {

struct PortAccess {
    enum Kind { Read, Write };
    Kind kind;
    int32_t address;
    int value;

    bool operator==(const PortAccess&) const = default;
};

class RecordingPort final : public PortBackend {
public:
    // Port-library answers and the calls made to them, for start-up tests.
    int32_t portCount = 1;
    int16_t claimResult = 1;
    int16_t infoResult = 1;
    int32_t infoBaseAddress = 0x378;
    std::vector<std::string> calls;

    std::vector<PortAccess> accesses;

    // A read of an address takes the next scripted value for it; when the script is used up,
    // the steady value; without either, 0xFF (nothing connected).
    void script(int32_t address, std::vector<int> values);
    void steady(int32_t address, int value) { steady_[address] = value; }

    // Bytes written to one address, in order.
    std::vector<int> writesTo(int32_t address) const;
    int readsOf(int32_t address) const;
    void clear() { accesses.clear(); }

    int32_t GetParallelPortCount() override;
    int16_t ClaimParallelPort(int32_t port, bool wait) override;
    int16_t GetParallelPortInfo(int32_t port, PortInfo& info) override;
    int32_t InByte(int32_t address) override;
    void OutByte(int32_t address, int32_t value) override;
    std::string describe() const override { return "recording port"; }
    bool claimed() const override { return claimResult != 0; }
    std::optional<int32_t> boardAddress() const override { return infoBaseAddress; }

private:
    std::map<int32_t, std::deque<int>> scripts_;
    std::map<int32_t, int> steady_;
};

}  // namespace kx
