#include "board/port.h"

#include <cassert>

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
    bool claimed() const override { return false; }
    std::optional<int32_t> boardAddress() const override { return std::nullopt; }
};

NoPortBackend noPort;
PortBackend* backend = &noPort;

// Initialised before main runs, on the program's first thread.
std::atomic<std::thread::id> owner{std::this_thread::get_id()};
thread_local const std::atomic<bool>* waitStop = nullptr;

}  // namespace

void SetPortBackend(PortBackend* b) {
    backend = b ? b : &noPort;
}

PortBackend& CurrentPortBackend() {
    return *backend;
}

// The I/O space is 16 bits wide; a base address above 0x7FFF held in the 16-bit PortAddress is
// negative, and masking gives back the real address.
std::thread::id PortOwner() {
    return owner.load(std::memory_order_acquire);
}

void HandPortTo(std::thread::id next) {
    owner.store(next, std::memory_order_release);
}

bool PortOwnedHere() {
    return PortOwner() == std::this_thread::get_id();
}

void SetWaitStopFlag(const std::atomic<bool>* flag) {
    waitStop = flag;
}

const std::atomic<bool>* WaitStopFlag() {
    return waitStop;
}

bool WaitStopRequested() {
    return waitStop && waitStop->load(std::memory_order_relaxed);
}

int16_t PortIn(int32_t address) {
    assert(PortOwnedHere());
    if (PortAddress == 0) return 0xFF;
    address &= 0xFFFF;
    const auto value = static_cast<int16_t>(backend->InByte(address) & 0xFF);
    if (kx::portTraceActive) [[unlikely]]
        kx::TraceRead(address, value);
    return value;
}

void PortOut(int16_t address, int16_t value) {
    assert(PortOwnedHere());
    if (PortAddress == 0) return;
    const int32_t a = static_cast<uint16_t>(address);
    const int32_t v = value & 0xFF;
    backend->OutByte(a, v);
    if (kx::portTraceActive) [[unlikely]]
        kx::TraceWrite(a, v);
}
