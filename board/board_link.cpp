#include "board/board_link.h"

#include "board/port_trace.h"

namespace {

class NoPort final : public PortBackend {
public:
    int32_t GetParallelPortCount() override { return 0; }
    int16_t ClaimParallelPort(int32_t, bool) override { return 0; }
    int16_t GetParallelPortInfo(int32_t, PortInfo&) override { return 0; }
    int32_t InByte(int32_t) override { return 0xFF; }
    void OutByte(int32_t, int32_t) override {}
    std::string describe() const override { return "no printer port"; }
    bool claimed() const override { return false; }
    std::optional<int32_t> boardAddress() const override { return std::nullopt; }
};

}  // namespace

PortBackend& NoPortBackend() {
    static NoPort none;
    return none;
}

namespace kx {

BoardLink::BoardLink(PortBackend* backend) : backend_(backend ? backend : &NoPortBackend()) {}

void BoardLink::SetBackend(PortBackend* backend) {
    backend_ = backend ? backend : &NoPortBackend();
}

void BoardLink::TraceRead(int32_t address, int value) {
    trace_->Read(address, value);
}

void BoardLink::TraceWrite(int32_t address, int value) {
    trace_->Write(address, value);
}

}  // namespace kx

namespace kx {

bool StartLink(BoardLink& link, std::string& why) {
    PortBackend& port = link.backend();
    port.GetParallelPortCount();
    if (port.ClaimParallelPort(1, true) == 0) {
        why = "the printer port " + port.describe() + " cannot be claimed";
        return false;
    }
    PortInfo info;
    info.size = 12;
    if (port.GetParallelPortInfo(1, info) == 0) {
        why = "the printer port " + port.describe() + " has no address";
        return false;
    }
    link.SetBase(static_cast<uint16_t>(info.baseAddress));
    const int32_t control = link.base() + 2;
    link.Out(control, link.In(control) & 0xD4);
    return true;
}

}  // namespace kx
