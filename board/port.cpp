#include "board/port.h"

#include "board/port_trace.h"
#include "core/globals.h"

namespace {

class NoPortBackend final : public PortBackend {
public:
    int32_t GetParallelPortCount() override { return 0; }
    int16_t ClaimParallelPort(int32_t, bool) override { return 0; }
    int16_t GetParallelPortInfo(int32_t, PortInfo&) override { return 0; }
    int32_t InByte(int32_t) override { return 0xFF; }
    void OutByte(int32_t, int32_t) override {}
    std::string describe() const override { return "no printer port"; }
};

NoPortBackend noPort;
PortBackend* backend = &noPort;

}  // namespace

void SetPortBackend(PortBackend* b) {
    backend = b ? b : &noPort;
}

PortBackend& CurrentPortBackend() {
    return *backend;
}

// The I/O space is 16 bits wide; a base address above 0x7FFF held in the 16-bit PortAddress is
// negative, and masking gives back the real address.
int16_t PortIn(int32_t address) {
    if (PortAddress == 0) return 0xFF;
    address &= 0xFFFF;
    const auto value = static_cast<int16_t>(backend->InByte(address) & 0xFF);
    if (kx::portTraceActive) [[unlikely]]
        kx::TraceRead(address, value);
    return value;
}

void PortOut(int16_t address, int16_t value) {
    if (PortAddress == 0) return;
    const int32_t a = static_cast<uint16_t>(address);
    const int32_t v = value & 0xFF;
    backend->OutByte(a, v);
    if (kx::portTraceActive) [[unlikely]]
        kx::TraceWrite(a, v);
}
