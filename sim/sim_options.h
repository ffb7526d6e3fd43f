#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <string_view>

// The settings of the simulated board and the parsers for the options that choose them
// (--sim-seed, --sim-fault, --sim-speed, --sim-input).

namespace kx::sim {

// Faults the board can be told to show. Command-line names: ready-stuck, ignore-writes, no-board.
enum class Fault {
    ReadyStuck,    // no conversion finishes, no calibration ends: the ready line never falls
    IgnoreWrites,  // register writes are not taken, so every read-back differs
    NoBoard,       // nothing answers: every status input floats high, writes go nowhere
};

// realtime: each port access also takes the access time on the wall clock. fast: nothing waits.
enum class Speed { RealTime, Fast };

// What one channel code sees: a differential voltage with Gaussian noise (RMS).
struct InputSetting {
    double volts = 0.0;
    // About two codes RMS on the bipolar 2.56 V range (one code there is 305 nV).
    double noiseMicrovolts = 0.6;
};

struct SimSettings {
    uint64_t seed = 1;
    Speed speed = Speed::Fast;
    double accessTimeMicroseconds = 2.0;
    std::set<Fault> faults;
    std::map<int, InputSetting> inputs;  // channel code 0..15 -> input; others default
};

std::optional<Fault> ParseFault(std::string_view name);
std::optional<Speed> ParseSpeed(std::string_view name);
std::string FaultName(Fault fault);

// A decimal seed, 0 to 2^64 - 1.
std::optional<uint64_t> ParseSeed(std::string_view text);

// "CH=VOLTS[,NOISE_UV]", CH the channel code 0..15, NOISE_UV at least 0 (the default noise when
// left out). False, with a one-line reason in error ("the voltage 1e309 is out of range"), for
// text that does not fit; the caller names the setting.
bool ParseInputSetting(std::string_view text, int& channel, InputSetting& setting,
                       std::string& error);

}  // namespace kx::sim
