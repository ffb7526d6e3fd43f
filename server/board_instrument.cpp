#include "server/board_instrument.h"

#include "acquisition/board.h"
#include "acquisition/named_registers.h"
#include "acquisition/settings.h"
#include "acquisition/read_run.h"
#include "board/resets.h"
#include "converter/register_update.h"
#include "core/hex.h"
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
    return Captured([] { HardwareReset(); });
}

bool BoardInstrument::Answers() {
    return BoardAnswers();
}

Failure BoardInstrument::Apply(const SettingChange& c) {
    // The settings by name, as kx3105-cli takes them.
    Settings settings;
    if (c.channelCode) settings.channel = ChannelName(*c.channelCode);
    if (c.rangeCode) settings.range = RangeName(*c.rangeCode);
    if (c.unipolar) settings.polarity = *c.unipolar ? "unipolar" : "bipolar";
    if (c.filterWord) settings.filter = Hex(*c.filterWord);
    if (c.chopEnabled) settings.chop = *c.chopEnabled ? "on" : "off";
    return Captured([&] { settings.Apply(); });
}

int32_t BoardInstrument::ReadRegister(const RegisterInfo& info) {
    Register reg = Register::For(info);
    return ReadValue(reg);
}

Failure BoardInstrument::WriteRegister(const RegisterInfo& info, uint32_t value) {
    return Captured([&] { WriteAndCheck(info, value); });
}

ReadOutcome BoardInstrument::ReadCodes(int64_t count, const std::atomic<bool>& stop,
                                       std::vector<int32_t>& codes) {
    codes.reserve(static_cast<size_t>(count));
    const ReadResult read = kx::ReadCodes(count, {.continuous = true}, stop, [&](int32_t code) {
        codes.push_back(code);
        return true;
    });
    if (read.end == ReadEnd::TimedOut) return {read.end, run::ReadErrorMessage};
    return {read.end, {}};
}

Failure BoardInstrument::Calibrate(int modeCode) {
    return Captured([&] { kx::Calibrate(modeCode); });
}

}  // namespace kx::server
