#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

// The settings of the simulated board and the parsers for the options that choose them
// (--sim-seed, --sim-fault, --sim-speed, --sim-input, --sim-tone).

namespace kx::sim {

// Faults the board can be told to show. Command-line names: ready-stuck, ignore-writes, no-board.
enum class Fault {
    ReadyStuck,    // no conversion finishes, no calibration ends: the ready line never falls
    IgnoreWrites,  // register writes are not taken, so every read-back differs
    NoBoard,       // nothing answers: every status input floats high, writes go nowhere
};

// realtime: each port access also takes the access time on the wall clock. fast: nothing waits.
enum class Speed { RealTime, Fast };

// What one channel code sees: a differential voltage with Gaussian noise. The noise figure is the
// RMS at the power-on update rate (19.79 Hz); the board scales it with the square root of the
// rate, as white noise through the converter's digital filter behaves.
struct InputSetting {
    double volts = 0.0;
    // About two codes RMS on the bipolar 2.56 V range (one code there is 305 nV).
    double noiseMicrovolts = 0.6;
};

// A sine added to one channel code's input, sampled at the conversion instants.
struct ToneSetting {
    int channel = 0;  // 0..15
    double hertz = 0.0;
    double microvoltsRms = 0.0;
};

struct SimSettings {
    uint64_t seed = 1;
    Speed speed = Speed::Fast;
    double accessTimeMicroseconds = 2.0;
    std::set<Fault> faults;
    // Faults that switch on once the board has made that many conversion results.
    std::map<Fault, uint64_t> faultsAfterResults;
    std::map<int, InputSetting> inputs;  // channel code 0..15 -> input; others default
    std::vector<ToneSetting> tones;      // any number per channel, added up
};

std::optional<Fault> ParseFault(std::string_view name);
std::optional<Speed> ParseSpeed(std::string_view name);
std::string FaultName(Fault fault);

// "NAME" or "NAME@N": the fault, and in afterResults the N conversion results after which it
// switches on (nullopt: on from the start). False, with a one-line reason in error, otherwise.
bool ParseFaultSetting(std::string_view text, Fault& fault, std::optional<uint64_t>& afterResults,
                       std::string& error);

// A decimal seed, 0 to 2^64 - 1.
std::optional<uint64_t> ParseSeed(std::string_view text);

// "CH=VOLTS[,NOISE_UV]", CH the channel code 0..15, NOISE_UV at least 0 (the default noise when
// left out). False, with a one-line reason in error ("the voltage 1e309 is out of range"), for
// text that does not fit; the caller names the setting.
bool ParseInputSetting(std::string_view text, int& channel, InputSetting& setting,
                       std::string& error);

// "CH=HZ,UV": a sine of HZ hertz and UV microvolts RMS on channel code CH (0..15), both numbers
// at least 0. False, with a one-line reason in error, for text that does not fit.
bool ParseToneSetting(std::string_view text, ToneSetting& tone, std::string& error);

}  // namespace kx::sim
