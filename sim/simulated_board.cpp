#include "sim/simulated_board.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <sstream>
#include <thread>

#include "core/hex.h"
#include "core/numtext.h"

namespace kx::sim {

namespace {

// Data-register lines.
constexpr uint32_t DataInLine = 0x01;
constexpr uint32_t ResetLine = 0x02;  // active low
constexpr uint32_t ClockLine = 0x08;

// Status-register inputs: bits 0-3 and 5 float high on an idle port, bit 7 reads 0.
constexpr uint8_t FloatingInputs = 0x2F;
constexpr uint8_t DataOutInput = 0x10;
constexpr uint8_t ReadyInput = 0x40;
constexpr uint8_t NothingConnected = 0x7F;

constexpr uint32_t ModeField = 0x07;
constexpr uint32_t ChopDisabled = 0x80;
constexpr uint32_t OscillatorOffInPowerDown = 0x08;
constexpr uint32_t Unipolar = 0x08;
enum Mode : uint32_t {
    PowerDown = 0,
    Idle = 1,
    Single = 2,
    Continuous = 3,
    InternalZero = 4,
    InternalFull = 5,
    SystemZero = 6,
    SystemFull = 7,
};

constexpr uint32_t Mask24 = 0xFFFFFF;
constexpr uint32_t ZeroScaleMid = 0x800000;
constexpr double NominalGain = 0x400000;
constexpr double TwoTo23 = 8388608.0;
constexpr double TwoTo24 = 16777216.0;
constexpr double ReferenceVolts = 2.5;

// One filter-word step with chopping disabled: 8 / 32768 s.
constexpr uint64_t PicosecondsPerFilterStep = 244140625;
constexpr uint32_t SmallestFilterWord = 3;
constexpr uint64_t CalibrationPeriods = 2;
// The update period at which an input's noise figure holds: filter word 0x45, chopping enabled
// (19.79 Hz), in filter-word steps.
constexpr double NoiseFigureSteps = 0x45 * 3;

// Ahead of the wall clock by more than this, real-time mode sleeps, and wakes with PaceLead still
// in hand: a sleep can wake milliseconds late on a loaded or virtual machine, and the lead absorbs
// that instead of letting conversions go by unread.
constexpr uint64_t PaceSlackPicoseconds = 4'000'000'000;
constexpr uint64_t PaceLeadPicoseconds = 2'000'000'000;

int WidthOf(uint32_t address) {
    switch (address) {
        case 4:
        case 5:
        case 6:
            return 24;
        case 12:
        case 13:
            return 16;
        default:
            return 8;  // unused addresses move 8 bits, so the interface stays in step
    }
}

uint32_t Clamp24(double value) {
    if (!(value > 0)) return 0;
    if (value >= Mask24) return Mask24;
    return static_cast<uint32_t>(std::floor(value + 0.5));
}

// The registers a saved state holds, in file order, with their widths.
struct StateField {
    const char* name;
    int bits;
};
constexpr std::array<StateField, 9> StateFields{{{"mode", 8},
                                                 {"adc-control", 8},
                                                 {"filter", 8},
                                                 {"io-control", 8},
                                                 {"offset", 24},
                                                 {"gain", 24},
                                                 {"register12", 16},
                                                 {"register13", 16},
                                                 {"data", 24}}};

// The register fields in the order of StateFields.
template <class Regs>
auto StateSlots(Regs& r) {
    const std::array slots{&r.mode,      &r.adcControl, &r.filter,     &r.ioControl, &r.zeroScale,
                           &r.fullScale, &r.register12, &r.register13, &r.data};
    static_assert(std::tuple_size_v<decltype(slots)> == StateFields.size());
    return slots;
}

}  // namespace

double SimulatedBoard::Gaussian::next() {
    if (haveSpare_) {
        haveSpare_ = false;
        return spare_;
    }
    // Box-Muller on 53-bit uniforms; u1 in (0, 1] keeps the logarithm finite.
    const double u1 = static_cast<double>((engine_() >> 11) + 1) * 0x1p-53;
    const double u2 = static_cast<double>(engine_() >> 11) * 0x1p-53;
    const double r = std::sqrt(-2.0 * std::log(u1));
    const double angle = 2.0 * std::numbers::pi * u2;
    spare_ = r * std::sin(angle);
    haveSpare_ = true;
    return r * std::cos(angle);
}

SimulatedBoard::SimulatedBoard(SimSettings settings)
    : settings_(std::move(settings)),
      accessTime_(static_cast<Picoseconds>(
          std::llround(std::max(0.0, settings_.accessTimeMicroseconds) * 1e6))),
      noise_(settings_.seed),
      wallAnchor_(std::chrono::steady_clock::now()) {
    for (const auto& [channel, input] : settings_.inputs)
        setInput(channel, input);
    for (const ToneSetting& tone : settings_.tones)
        addTone(tone);
    for (const Fault fault : settings_.faults)
        faults_[static_cast<size_t>(fault)] = true;
    powerOn();
    for (const auto& [fault, results] : settings_.faultsAfterResults)
        armFaultAfterResults(fault, results);
}

int32_t SimulatedBoard::GetParallelPortCount() {
    return 1;
}

int16_t SimulatedBoard::ClaimParallelPort(int32_t, bool) {
    return 1;
}

int16_t SimulatedBoard::GetParallelPortInfo(int32_t port, PortInfo& info) {
    if (port != 1) return 0;
    info.baseAddress = BaseAddress;
    return 1;
}

std::string SimulatedBoard::describe() const {
    return "simulated KX3105 board";
}

int32_t SimulatedBoard::InByte(int32_t address) {
    tick();
    switch (address) {
        case BaseAddress:
            return static_cast<int32_t>(dataLatch_);
        case BaseAddress + 1: {
            const uint8_t status = statusPort();
            if (settings_.speed == Speed::Fast) skipBusyPolls();
            return status;
        }
        case BaseAddress + 2:
            return static_cast<int32_t>(controlLatch_);
        default:
            return 0xFF;
    }
}

void SimulatedBoard::OutByte(int32_t address, int32_t value) {
    tick();
    const auto byte = static_cast<uint32_t>(value) & 0xFF;
    if (address == BaseAddress) {
        dataLatch_ = byte;
        if (!faultSet(Fault::NoBoard)) lines(byte);
    } else if (address == BaseAddress + 2) {
        controlLatch_ = byte;
    }
}

void SimulatedBoard::tick() {
    ++accesses_;
    now_ += accessTime_;
    if (settings_.speed == Speed::RealTime) pace();
    if (now_ >= nextEvent_) runEvents();
}

void SimulatedBoard::pace() {
    using namespace std::chrono;
    const auto wallPs = static_cast<Picoseconds>(
                            duration_cast<nanoseconds>(steady_clock::now() - wallAnchor_).count()) *
                        1000;
    const Picoseconds simPs = now_ - simAnchor_;
    if (wallPs > simPs) {
        // The program was slower than the port, or idle: the converter went on meanwhile.
        now_ = simAnchor_ + wallPs;
    } else if (simPs - wallPs > PaceSlackPicoseconds) {
        std::this_thread::sleep_until(wallAnchor_ +
                                      nanoseconds((simPs - PaceLeadPicoseconds) / 1000));
    }
}

void SimulatedBoard::skipBusyPolls() {
    // Only a poll of the ready line (the clock high, no bit being read) that finds the converter
    // busy: the time moves on to where a steady poll would first see the next event, so every
    // poll but the count of them stays as it was.
    if (!readyLineHigh() || !(boardLines_ & ClockLine) || faultSet(Fault::NoBoard) ||
        nextEvent_ == Never || nextEvent_ <= now_)
        return;
    if (accessTime_ == 0) {
        now_ = nextEvent_;
        return;
    }
    now_ += (nextEvent_ - now_ - 1) / accessTime_ * accessTime_;
}

void SimulatedBoard::advanceTime(uint64_t nanoseconds) {
    const Picoseconds step = nanoseconds * 1000;
    now_ += step;
    simAnchor_ += step;
    if (now_ >= nextEvent_) runEvents();
}

uint8_t SimulatedBoard::statusPort() const {
    if (faultSet(Fault::NoBoard)) return NothingConnected;
    return FloatingInputs | (dataOut_ ? DataOutInput : 0) | (readyLineHigh() ? ReadyInput : 0);
}

// --- serial interface ---

void SimulatedBoard::lines(uint32_t value) {
    const bool clockWasHigh = boardLines_ & ClockLine;
    boardLines_ = value;
    if (!(value & ResetLine)) {
        // Held in reset: the clock is not looked at.
        powerOn();
        return;
    }
    const bool clockHigh = value & ClockLine;
    if (clockHigh && !clockWasHigh) risingEdge(value & DataInLine);
    if (!clockHigh && clockWasHigh) fallingEdge();
}

void SimulatedBoard::risingEdge(bool dataIn) {
    ones_ = dataIn ? ones_ + 1 : 0;
    if (ones_ == 32) {
        powerOn();
        return;
    }
    switch (transfer_) {
        case Transfer::Command:
            shift_ = (shift_ << 1) | (dataIn ? 1 : 0);
            if (++bits_ == 8) startTransfer(shift_ & 0xFF);
            break;
        case Transfer::Write:
            shift_ = (shift_ << 1) | (dataIn ? 1 : 0);
            if (++bits_ == width_) finishWrite();
            break;
        case Transfer::Read:
            if (++bits_ == width_) {
                transfer_ = Transfer::Command;
                bits_ = 0;
                shift_ = 0;
                dataOut_ = true;
                // The ready line rises now, unless a newer result came in during the read.
                readHoldsReady_ = false;
            }
            break;
    }
}

void SimulatedBoard::fallingEdge() {
    if (transfer_ != Transfer::Read) return;
    // Latched at the first bit rather than at the command: a data read sends its command
    // first and only then waits for the result it is meant to get.
    if (bits_ == 0) latchReadWord();
    dataOut_ = (readWord_ >> (width_ - 1 - bits_)) & 1;
}

void SimulatedBoard::startTransfer(uint32_t command) {
    bits_ = 0;
    shift_ = 0;
    if (command & 0x80) return;  // not a command: keep waiting for one
    address_ = command & 0x0F;
    width_ = WidthOf(address_);
    transfer_ = (command & 0x40) ? Transfer::Read : Transfer::Write;
}

void SimulatedBoard::latchReadWord() {
    switch (address_) {
        case 0:
            readWord_ = statusRegister();
            break;
        case 1:
            readWord_ = regs_.mode;
            break;
        case 2:
            readWord_ = regs_.adcControl;
            break;
        case 3:
            readWord_ = regs_.filter;
            break;
        case 4:
            readWord_ = regs_.data;
            // The result is taken; the ready line stays as it is until the last bit.
            readHoldsReady_ = unread_;
            unread_ = false;
            break;
        case 5:
            readWord_ = regs_.zeroScale;
            break;
        case 6:
            readWord_ = regs_.fullScale;
            break;
        case 7:
            readWord_ = ioControlRead();
            break;
        default:
            readWord_ = 0xFFFFFFFF;  // write-only or unused: data out stays high
            break;
    }
}

void SimulatedBoard::finishWrite() {
    const uint32_t value = shift_ & ((1u << width_) - 1);
    transfer_ = Transfer::Command;
    bits_ = 0;
    shift_ = 0;
    if (faultSet(Fault::IgnoreWrites)) return;
    const bool poweredDown = (regs_.mode & ModeField) == PowerDown;
    switch (address_) {
        case 1:
            writeMode(value);
            break;
        case 2:
            regs_.adcControl = value;
            break;
        case 3:
            writeFilter(value);
            break;
        case 5:
            // Calibration registers take new values only in power-down mode.
            if (poweredDown) regs_.zeroScale = value;
            break;
        case 6:
            if (poweredDown) regs_.fullScale = value;
            break;
        case 7:
            regs_.ioControl = value;
            break;
        case 12:
            regs_.register12 = value;
            break;
        case 13:
            regs_.register13 = value;
            break;
        default:
            break;  // read-only or unused: the bits go nowhere
    }
}

void SimulatedBoard::powerOn() {
    transfer_ = Transfer::Command;
    bits_ = 0;
    shift_ = 0;
    ones_ = 0;
    dataOut_ = true;
    readHoldsReady_ = false;
    regs_ = Registers{};
    unread_ = false;
    calibrating_ = false;
    clamped_ = false;
    converting_ = false;
    reschedule();
}

// --- converter ---

uint32_t SimulatedBoard::statusRegister() const {
    const uint32_t mode = regs_.mode;
    const bool oscillatorStopped =
        (mode & ModeField) == PowerDown && (mode & OscillatorOffInPowerDown);
    return (readyLineHigh() ? 0x80 : 0) | (calibrating_ ? 0x20 : 0) | (clamped_ ? 0x08 : 0) |
           (oscillatorStopped ? 0 : 0x01);
}

uint32_t SimulatedBoard::ioControlRead() const {
    const uint32_t io = regs_.ioControl;
    uint32_t value = io & 0xFC;
    value |= (io & 0x20) ? (io & 0x02) : (p2High_ ? 0x02 : 0);
    value |= (io & 0x10) ? (io & 0x01) : (p1High_ ? 0x01 : 0);
    return value;
}

SimulatedBoard::Picoseconds SimulatedBoard::period() const {
    const uint64_t sf = std::max(regs_.filter, SmallestFilterWord);
    const uint64_t chopDivisor = (regs_.mode & ChopDisabled) ? 1 : 3;
    return sf * chopDivisor * PicosecondsPerFilterStep;
}

void SimulatedBoard::writeMode(uint32_t value) {
    regs_.mode = value;
    converting_ = false;
    calibrating_ = false;
    const uint32_t md = value & ModeField;
    if (md == Single || md == Continuous) converting_ = true;
    if (md >= InternalZero) calibrating_ = true;
    restartTiming();
}

void SimulatedBoard::writeFilter(uint32_t value) {
    regs_.filter = value;
    restartTiming();
}

void SimulatedBoard::restartTiming() {
    unread_ = false;
    periodNow_ = period();
    nextResult_ = converting_ ? now_ + periodNow_ : Never;
    // A tone's phase counts from the first conversion after a start, so that a capture taken the
    // same way gives the same codes whatever traffic came before it.
    if (converting_) toneOrigin_ = nextResult_;
    calibrationEnd_ = calibrating_ ? now_ + CalibrationPeriods * periodNow_ : Never;
    reschedule();
}

void SimulatedBoard::reschedule() {
    nextEvent_ = Never;
    if (faultSet(Fault::ReadyStuck)) return;
    if (converting_) nextEvent_ = nextResult_;
    if (calibrating_) nextEvent_ = std::min(nextEvent_, calibrationEnd_);
}

void SimulatedBoard::runEvents() {
    if (calibrating_ && calibrationEnd_ <= now_) finishCalibration();
    while (converting_ && nextResult_ <= now_ && !faultSet(Fault::ReadyStuck)) {
        const uint64_t due = (now_ - nextResult_) / periodNow_ + 1;
        if ((regs_.mode & ModeField) == Continuous && due > 2) {
            // After a long wait only the newest results can matter: count the older ones as
            // made and replaced, stopping short of any armed fault.
            uint64_t skip = due - 2;
            for (const auto& [fault, after] : arms_)
                skip = std::min(skip, after - produced_ - 1);
            if (skip > 0) {
                replaced_ += unread_ ? skip : skip - 1;
                produced_ += skip;
                unread_ = true;
                nextResult_ += skip * periodNow_;
            }
        }
        produceResult();
    }
    reschedule();
}

double SimulatedBoard::measureInput(Picoseconds at) {
    const size_t channel = regs_.adcControl >> 4;
    const auto& input = inputs_[channel];
    // White noise through the digital filter: its RMS grows with the square root of the rate.
    const double noiseScale =
        std::sqrt(NoiseFigureSteps * PicosecondsPerFilterStep / static_cast<double>(period()));
    double volts = input.volts + noise_.next() * input.noiseMicrovolts * 1e-6 * noiseScale;
    const double seconds = static_cast<double>(at - std::min(at, toneOrigin_)) * 1e-12;
    for (const ToneSetting& tone : tones_[channel]) {
        const double cycles = tone.hertz * seconds;
        volts += std::numbers::sqrt2 * tone.microvoltsRms * 1e-6 *
                 std::sin(2.0 * std::numbers::pi * (cycles - std::floor(cycles)));
    }
    const int gain = 1 << (7 - (regs_.adcControl & 0x07));
    const double fullScale = 1.024 * ReferenceVolts / gain;
    return volts / fullScale;
}

void SimulatedBoard::produceResult() {
    const double offset = (static_cast<double>(regs_.zeroScale) - ZeroScaleMid) / TwoTo23;
    const double y = (measureInput(nextResult_) - offset) * (regs_.fullScale / NominalGain);
    const double code =
        std::floor(((regs_.adcControl & Unipolar) ? y * TwoTo24 : TwoTo23 + y * TwoTo23) + 0.5);
    clamped_ = code < 0 || code > Mask24;
    regs_.data = Clamp24(code);
    if (unread_) ++replaced_;
    unread_ = true;
    ++produced_;
    if ((regs_.mode & ModeField) == Single) {
        regs_.mode = (regs_.mode & ~ModeField) | Idle;
        converting_ = false;
    } else {
        nextResult_ += periodNow_;
    }
    checkArms();
}

void SimulatedBoard::finishCalibration() {
    const double offset = (static_cast<double>(regs_.zeroScale) - ZeroScaleMid) / TwoTo23;
    const auto gainFor = [](double span) {
        // A full-scale point at or below the zero point leaves the largest gain.
        return span > 0 ? Clamp24(NominalGain / span) : Mask24;
    };
    switch (regs_.mode & ModeField) {
        case InternalZero:
            regs_.zeroScale = ZeroScaleMid;
            break;
        case InternalFull:
            regs_.fullScale = gainFor(1.0 - offset);
            break;
        case SystemZero:
            regs_.zeroScale = Clamp24(ZeroScaleMid + measureInput(now_) * TwoTo23);
            break;
        case SystemFull:
            regs_.fullScale = gainFor(measureInput(now_) - offset);
            break;
        default:
            break;
    }
    regs_.mode = (regs_.mode & ~ModeField) | Idle;
    calibrating_ = false;
    calibrationEnd_ = Never;
    unread_ = true;  // the ready line falls to say the calibration is done
}

void SimulatedBoard::checkArms() {
    for (auto it = arms_.begin(); it != arms_.end();) {
        if (produced_ >= it->second) {
            const Fault fault = it->first;
            it = arms_.erase(it);
            faults_[static_cast<size_t>(fault)] = true;
        } else {
            ++it;
        }
    }
}

// --- saved state ---

std::string SimulatedBoard::saveState() const {
    const auto slots = StateSlots(regs_);
    std::string text;
    for (size_t i = 0; i < StateFields.size(); ++i)
        text += std::string(StateFields[i].name) + ' ' + Hex(*slots[i]) + '\n';
    return text;
}

bool SimulatedBoard::loadState(std::string_view text, std::string& error) {
    Registers loaded = regs_;
    const auto slots = StateSlots(loaded);
    std::istringstream in{std::string(text)};
    std::string line;
    for (int number = 1; std::getline(in, line); ++number) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        std::istringstream words(line);
        std::string name, value, extra;
        if (!(words >> name)) continue;  // blank line
        const auto where = "line " + std::to_string(number) + ": ";
        if (!(words >> value) || (words >> extra)) {
            error = where + "expected a register name and a hexadecimal value";
            return false;
        }
        const auto field = std::find_if(StateFields.begin(), StateFields.end(),
                                        [&](const StateField& f) { return name == f.name; });
        if (field == StateFields.end()) {
            error = where + "unknown register '" + name + "'";
            return false;
        }
        // Hexadecimal with an optional 0x, as the tool's other hex values take it.
        const auto parsed = ParseHexValue(value, static_cast<uint32_t>((1ull << field->bits) - 1));
        if (!parsed) {
            error = where + "'" + value + "' is not a " + std::to_string(field->bits) +
                    "-bit hexadecimal value";
            return false;
        }
        *slots[static_cast<size_t>(field - StateFields.begin())] = static_cast<uint32_t>(*parsed);
    }
    regs_ = loaded;
    // As if the mode had just been written: conversions or a calibration start afresh.
    writeMode(regs_.mode);
    return true;
}

// --- test interface ---

void SimulatedBoard::setFault(Fault fault, bool on) {
    arms_.erase(fault);
    if (faultSet(fault) == on) return;
    faults_[static_cast<size_t>(fault)] = on;
    if (!on && fault == Fault::ReadyStuck) {
        // Conversion timing starts afresh rather than releasing a burst of overdue results.
        if (converting_) nextResult_ = now_ + periodNow_;
        if (calibrating_) calibrationEnd_ = now_ + CalibrationPeriods * periodNow_;
    }
    // Back on the cable: the converter sees the present line levels, without an edge.
    if (!on && fault == Fault::NoBoard) boardLines_ = dataLatch_;
    reschedule();
}

bool SimulatedBoard::faultOn(Fault fault) const {
    return faultSet(fault);
}

void SimulatedBoard::armFaultAfterResults(Fault fault, uint64_t results) {
    if (produced_ >= results) {
        setFault(fault, true);
        return;
    }
    arms_[fault] = results;
}

void SimulatedBoard::setInput(int channel, InputSetting setting) {
    if (channel < 0 || channel >= static_cast<int>(inputs_.size())) return;
    inputs_[static_cast<size_t>(channel)] = setting;
}

void SimulatedBoard::addTone(ToneSetting tone) {
    if (tone.channel < 0 || tone.channel >= static_cast<int>(tones_.size())) return;
    tones_[static_cast<size_t>(tone.channel)].push_back(tone);
}

void SimulatedBoard::setPinInputs(bool p1High, bool p2High) {
    p1High_ = p1High;
    p2High_ = p2High;
}

}  // namespace kx::sim
