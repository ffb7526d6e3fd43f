#include "tests/support/recording_port.h"

namespace kx {

void RecordingPort::script(int32_t address, std::vector<int> values) {
    auto& queue = scripts_[address];
    queue.insert(queue.end(), values.begin(), values.end());
}

std::vector<int> RecordingPort::writesTo(int32_t address) const {
    std::vector<int> out;
    for (const auto& a : accesses)
        if (a.kind == PortAccess::Write && a.address == address) out.push_back(a.value);
    return out;
}

int RecordingPort::readsOf(int32_t address) const {
    int n = 0;
    for (const auto& a : accesses)
        if (a.kind == PortAccess::Read && a.address == address) ++n;
    return n;
}

int32_t RecordingPort::GetParallelPortCount() {
    calls.push_back("GetParallelPortCount");
    return portCount;
}

int16_t RecordingPort::ClaimParallelPort(int32_t port, bool wait) {
    calls.push_back("ClaimParallelPort(" + std::to_string(port) + "," + (wait ? "true" : "false") +
                    ")");
    return claimResult;
}

int16_t RecordingPort::GetParallelPortInfo(int32_t port, PortInfo& info) {
    calls.push_back("GetParallelPortInfo(" + std::to_string(port) + "," +
                    std::to_string(info.size) + ")");
    if (infoResult != 0) info.baseAddress = infoBaseAddress;
    return infoResult;
}

int32_t RecordingPort::InByte(int32_t address) {
    int value = 0xFF;
    auto s = scripts_.find(address);
    if (s != scripts_.end() && !s->second.empty()) {
        value = s->second.front();
        s->second.pop_front();
    } else if (auto st = steady_.find(address); st != steady_.end()) {
        value = st->second;
    }
    accesses.push_back({PortAccess::Read, address, value});
    return value;
}

void RecordingPort::OutByte(int32_t address, int32_t value) {
    accesses.push_back({PortAccess::Write, address, value});
}

}  // namespace kx
