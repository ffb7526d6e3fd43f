#include "server/board_instrument.h"

#include <thread>

#include "acquisition/capture.h"
#include "acquisition/named_registers.h"
#include "acquisition/read_run.h"
#include "board/resets.h"
#include "converter/register_update.h"
#include "core/messages.h"

// The acquisition layer's board work, its messages (a read-back that differs, a wait that ran
// out) taken as the failure of the command instead of shown.

namespace kx::server {

namespace {

// Runs `work` with the messages it would show captured: the first is the failure.
template <class Work>
Failure Captured(Work work) {
    MessageCapture capture;
    work();
    return capture.messages.empty() ? Failure{} : capture.messages.front().text;
}

}  // namespace

Failure BoardInstrument::Reset() {
    return Captured([this] { HardwareReset(link_); });
}

bool BoardInstrument::Answers() {
    return BoardAnswers(link_);
}

ApplyOutcome BoardInstrument::Apply(const ConverterSettings& settings) {
    ApplyOutcome outcome;
    outcome.failure = Captured([&] { outcome.refusal = ApplySettings(link_, settings).refusal; });
    return outcome;
}

int32_t BoardInstrument::ReadRegister(const RegisterInfo& info) {
    Register reg = Register::For(link_, info);
    return ReadValue(reg);
}

Failure BoardInstrument::WriteRegister(const RegisterInfo& info, uint32_t value) {
    return Captured([&] { WriteAndCheck(link_, info, value); });
}

ReadOutcome BoardInstrument::ReadCodes(int64_t count, const std::atomic<bool>& stop,
                                       std::vector<int32_t>& codes) {
    codes.reserve(static_cast<size_t>(count));
    CaptureRequest request;
    request.count = count;
    request.settings.referenceVolts = Reference();
    request.timed = false;
    ReadOutcome outcome;
    CaptureOutcome read;
    const Failure shown = Captured([&] {
        read = Capture(
            link_, request, stop, [&](const Run& setAs) { outcome.setAs = setAs; },
            [&](int32_t code, double) {
                codes.push_back(code);
                return true;
            });
    });
    outcome.end = read.end;
    if (!read.programmed) outcome.failure = shown;
    if (read.end == ReadEnd::TimedOut) outcome.failure = run::ReadErrorMessage;
    return outcome;
}

Failure BoardInstrument::Calibrate(int modeCode) {
    return Captured([&] { kx::Calibrate(link_, modeCode); });
}

void BoardInstrument::TakeOver(const std::atomic<bool>* stop) {
    link_.HandTo(std::this_thread::get_id());
    link_.SetStopFlag(stop);
}

void BoardInstrument::HandBack() {
    link_.SetStopFlag(nullptr);
    link_.HandTo(std::thread::id());
}

void BoardInstrument::FlushTrace() {
    if (board_) board_->FlushTrace();
}

}  // namespace kx::server
