#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <map>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "board/port.h"
#include "sim/sim_options.h"

// A KX3105 evaluation board in software, behind the port layer: the converter's serial
// interface, registers, conversions and calibrations, driven by the same data-register writes
// and status-register reads that a board on a printer port sees. It answers at 0x378 as port 1.
// Single-threaded, like every caller of the port layer.

namespace kx::sim {

class SimulatedBoard final : public PortBackend {
public:
    static constexpr int BaseAddress = 0x378;

    explicit SimulatedBoard(SimSettings settings = {});

    // Port library: one port, always claimed, at BaseAddress. Addresses outside the port's three
    // registers read 0xFF and writes there go nowhere.
    int32_t GetParallelPortCount() override;
    int16_t ClaimParallelPort(int32_t port, bool wait) override;
    int16_t GetParallelPortInfo(int32_t port, PortInfo& info) override;
    int32_t InByte(int32_t address) override;
    void OutByte(int32_t address, int32_t value) override;
    std::string describe() const override;
    bool claimed() const override { return true; }
    std::optional<int32_t> boardAddress() const override { return BaseAddress; }
    std::optional<double> converterSeconds() const override {
        return static_cast<double>(simulatedTimeNanoseconds()) * 1e-9;
    }

    // Test interface. Faults can change at any moment; switching one off also drops its arming.
    void setFault(Fault fault, bool on);
    bool faultOn(Fault fault) const;
    // Switches the fault on once resultsProduced() reaches results (at once if it already has).
    void armFaultAfterResults(Fault fault, uint64_t results);
    void setInput(int channel, InputSetting setting);  // channel code 0..15; others are ignored
    void addTone(ToneSetting tone);                    // channel code 0..15; others are ignored
    void setPinInputs(bool p1High, bool p2High);       // levels of P1/P2 while they are inputs
    // Lets simulated time pass without a port access (in real-time mode it is not slept off).
    void advanceTime(uint64_t nanoseconds);

    // The converter's registers as text, one "name HEX" line each (mode, adc-control, filter,
    // io-control, offset, gain, register12, register13, data), so that a later run can go on with
    // the same board. Loading sets them as if written, which restarts conversion and calibration
    // timing; a name left out keeps its value. Text that does not fit changes nothing: false,
    // with a one-line reason.
    std::string saveState() const;
    bool loadState(std::string_view text, std::string& error);

    uint64_t accessCount() const { return accesses_; }
    uint64_t resultsProduced() const { return produced_; }
    uint64_t resultsReplaced() const { return replaced_; }
    uint64_t simulatedTimeNanoseconds() const { return now_ / 1000; }

private:
    using Picoseconds = uint64_t;
    static constexpr Picoseconds Never = UINT64_MAX;

    // Converter registers; the member initialisers are the power-on values.
    struct Registers {
        uint32_t mode = 0x01;        // idle, chopping enabled
        uint32_t adcControl = 0x07;  // AIN1 - AINCOM, bipolar, 2.56 V
        uint32_t filter = 0x45;
        uint32_t ioControl = 0x00;
        uint32_t zeroScale = 0x800000;
        uint32_t fullScale = 0x400000;  // nominal gain
        uint32_t register12 = 0;
        uint32_t register13 = 0;
        uint32_t data = 0;
    };

    enum class Transfer { Command, Write, Read };

    // Gaussian numbers from a fixed engine and a fixed transform: the same on every platform.
    class Gaussian {
    public:
        explicit Gaussian(uint64_t seed) : engine_(seed) {}
        double next();

    private:
        std::mt19937_64 engine_;
        bool haveSpare_ = false;
        double spare_ = 0;
    };

    void tick();
    void pace();
    void skipBusyPolls();
    void lines(uint32_t value);
    void risingEdge(bool dataIn);
    void fallingEdge();
    void startTransfer(uint32_t command);
    void latchReadWord();
    void finishWrite();
    void powerOn();

    void writeMode(uint32_t value);
    void writeFilter(uint32_t value);
    void restartTiming();
    void reschedule();
    void runEvents();
    void produceResult();
    void finishCalibration();
    void checkArms();

    Picoseconds period() const;
    // The selected input at simulated time `at`, noise and tones included, normalised to full
    // scale.
    double measureInput(Picoseconds at);
    bool readyLineHigh() const { return !(unread_ || readHoldsReady_); }
    uint32_t statusRegister() const;
    uint32_t ioControlRead() const;
    uint8_t statusPort() const;
    bool faultSet(Fault fault) const { return faults_[static_cast<size_t>(fault)]; }

    SimSettings settings_;
    Picoseconds accessTime_;
    std::array<InputSetting, 16> inputs_{};
    std::array<std::vector<ToneSetting>, 16> tones_{};
    std::array<bool, 3> faults_{};
    std::map<Fault, uint64_t> arms_;
    Gaussian noise_;
    bool p1High_ = false;
    bool p2High_ = false;

    // The PC side: port latches, and the line levels the converter last saw.
    uint32_t dataLatch_ = 0x1A;  // idle levels, so the first transfer sees no stray clock edge
    uint32_t controlLatch_ = 0xCC;
    uint32_t boardLines_ = 0x1A;

    // Serial interface.
    Transfer transfer_ = Transfer::Command;
    uint32_t address_ = 0;
    int width_ = 8;
    int bits_ = 0;
    uint32_t shift_ = 0;
    uint32_t readWord_ = 0;
    int ones_ = 0;
    bool dataOut_ = true;
    bool readHoldsReady_ = false;  // a data read took a waiting result and is under way

    // Converter.
    Registers regs_;
    bool unread_ = false;
    bool calibrating_ = false;
    bool clamped_ = false;
    bool converting_ = false;
    Picoseconds periodNow_ = 0;
    Picoseconds nextResult_ = Never;
    Picoseconds calibrationEnd_ = Never;
    Picoseconds nextEvent_ = Never;
    Picoseconds toneOrigin_ = 0;  // the first conversion after the latest start

    Picoseconds now_ = 0;
    uint64_t accesses_ = 0;
    uint64_t produced_ = 0;
    uint64_t replaced_ = 0;

    // Real-time pacing: simulated time simAnchor_ + t is due at wall time wallAnchor_ + t.
    std::chrono::steady_clock::time_point wallAnchor_;
    Picoseconds simAnchor_ = 0;
};

}  // namespace kx::sim
