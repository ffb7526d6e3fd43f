#include "board/program_port.h"

#include <cstdlib>

#include "board/calibration.h"
#include "board/registers.h"
#include "board/resets.h"
#include "board/serial.h"
#include "core/globals.h"
#include "core/messages.h"

namespace kx {

namespace {

PortTrace programTrace;
bool traceHooksInstalled = false;

// Made before main runs, on the program's first thread, which owns it until it hands it over.
struct ProgramBoardLink : BoardLink {
    ProgramBoardLink() { BindBase(&PortAddress); }
} programLink;

}  // namespace

BoardLink& ProgramLink() {
    return programLink;
}

void HardwareReset() {
    HardwareReset(ProgramLink());
}

void SoftwareReset() {
    SoftwareReset(ProgramLink());
}

TraceStart OpenPortTrace(const std::string& path, std::string& error) {
    const TraceStart started = programTrace.Open(path, error);
    ProgramLink().SetTrace(started == TraceStart::Started ? &programTrace : nullptr);
    if (started == TraceStart::Started && !traceHooksInstalled) {
        traceHooksInstalled = true;
        AddUserWaitHook(FlushPortTrace);
        std::atexit(StopPortTrace);
    }
    return started;
}

bool StartPortTrace(const std::string& path, std::string& error) {
    return OpenPortTrace(path, error) == TraceStart::Started;
}

void FlushPortTrace() {
    // The trace belongs to the port: a worker that holds it writes it, and flushes it when done.
    if (ProgramLink().OwnedHere()) programTrace.Flush();
}

void StopPortTrace() {
    ProgramLink().SetTrace(nullptr);
    programTrace.Close();
}

void SetPortTraceDiagnostics(std::ostream* diagnostics) {
    programTrace.SetDiagnostics(diagnostics);
}

std::string TakePortTraceWarning() {
    if (!ProgramLink().OwnedHere()) return {};
    return programTrace.TakeWarning();
}

}  // namespace kx

void SetPortBackend(PortBackend* backend) {
    kx::ProgramLink().SetBackend(backend);
}

PortBackend& CurrentPortBackend() {
    return kx::ProgramLink().backend();
}

int16_t PortIn(int32_t address) {
    return kx::ProgramLink().In(address);
}

void PortOut(int16_t address, int16_t value) {
    kx::ProgramLink().Out(static_cast<uint16_t>(address), value);
}

std::thread::id PortOwner() {
    return kx::ProgramLink().owner();
}

void HandPortTo(std::thread::id owner) {
    kx::ProgramLink().HandTo(owner);
}

bool PortOwnedHere() {
    return kx::ProgramLink().OwnedHere();
}

void SetWaitStopFlag(const std::atomic<bool>* flag) {
    kx::ProgramLink().SetStopFlag(flag);
}

bool WaitStopRequested() {
    return kx::ProgramLink().StopRequested();
}

const std::atomic<bool>* WaitStopFlag() {
    return kx::ProgramLink().stopFlag();
}

void WriteSerial(int32_t value, int16_t port, int16_t bits) {
    WriteSerial(kx::ProgramLink(), value, port, bits);
}

int32_t ReadSerial(int16_t bits, int16_t port) {
    return ReadSerial(kx::ProgramLink(), bits, port);
}

int32_t ReadSerialWhenReady(int16_t bits, int16_t port) {
    return ReadSerialWhenReady(kx::ProgramLink(), bits, port);
}

bool WaitForCalibration(int32_t* pollsUsed) {
    return WaitForCalibration(kx::ProgramLink(), pollsUsed);
}

Register Register::For(const RegisterInfo& info) {
    return For(kx::ProgramLink(), info);
}

ReadData ReadData::ForDataRegister() {
    return ForDataRegister(kx::ProgramLink());
}
