#include "port_trace.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "messages.h"

namespace kx {

bool portTraceActive = false;

namespace {

std::FILE* traceFile = nullptr;
bool hooksInstalled = false;

void WriteLine(char kind, int32_t address, int value) {
    static constexpr char digits[] = "0123456789ABCDEF";
    char line[24];
    int n = 0;
    line[n++] = kind;
    line[n++] = ' ';
    char a[8];
    int an = 0;
    auto ua = static_cast<uint32_t>(address);
    do {
        a[an++] = digits[ua & 0xF];
        ua >>= 4;
    } while (ua != 0);
    while (an > 0)
        line[n++] = a[--an];
    line[n++] = ' ';
    line[n++] = digits[(value >> 4) & 0xF];
    line[n++] = digits[value & 0xF];
    line[n++] = '\n';
    std::fwrite(line, 1, n, traceFile);
}

}  // namespace

bool StartPortTrace(const std::string& path, std::string& error) {
    StopPortTrace();
    traceFile = std::fopen(path.c_str(), "w");
    if (!traceFile) {
        error = std::strerror(errno);
        return false;
    }
    std::setvbuf(traceFile, nullptr, _IOFBF, 1 << 16);
    portTraceActive = true;
    if (!hooksInstalled) {
        hooksInstalled = true;
        AddUserWaitHook(FlushPortTrace);
        std::atexit(StopPortTrace);
    }
    return true;
}

void FlushPortTrace() {
    if (traceFile) std::fflush(traceFile);
}

void StopPortTrace() {
    portTraceActive = false;
    if (traceFile) {
        std::fclose(traceFile);
        traceFile = nullptr;
    }
}

void TraceRead(int32_t address, int value) {
    if (traceFile) WriteLine('R', address, value);
}

void TraceWrite(int32_t address, int value) {
    if (traceFile) WriteLine('W', address, value);
}

}  // namespace kx
