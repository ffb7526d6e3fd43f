#pragma once

#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

#include "board/registers.h"
#include "core/globals.h"

// The shared run (SampleBuffer, CodeCount, ReferenceVoltage) and the read that fills it, as a
// step function: the caller reads one code per call and may run its event loop in between, so a
// window stays responsive and a key press can stop the read.

namespace kx::run {

// Discards SampleBuffer and creates it afresh with elements 0..count (all 0) and sets CodeCount
// to 0. A count below 1 gives an empty run.
void RecreateRun(int count);

// "Number of Codes to Read": a 16-bit whole number, a fraction rounded half to even; nullopt for
// text that is no number or lies outside -32768..32767.
std::optional<int16_t> ParseCodeCount(std::string_view text);

// The reference voltage as stored: the number rounded to two decimals ("#.00") and taken as a
// single-precision value (2.499 gives 2.5). nullopt for text that is no number or a value beyond
// the single-precision range.
std::optional<float> ParseReference(std::string_view text);

// "Delay Between Reads (mS)": a whole number of milliseconds (rounded), negative taken as 0;
// nullopt for text that is no number or beyond 32 bits.
std::optional<int32_t> ParseDelay(std::string_view text);

enum class ReadStep {
    Continue,     // a code was stored; call Step again
    Done,         // the requested count has been read
    TimedOut,     // the converter never became ready; "Error Reading Data from KX3105" was shown
    Interrupted,  // keep-reading was false; "User Interruption of Reading" was shown
};

// A read for analysis. Construction re-creates the run at the requested size; each Step reads
// one code through `reader` into the next element and raises CodeCount to it. After Done or
// TimedOut the caller stores the reference voltage; after Interrupted it leaves
// ReferenceVoltage alone. A time-out leaves no marker in the run: CodeCount stays at the
// codes actually read.
//
// A read made away from the window's thread fills a run of its own instead (Private), which
// Publish puts into the shared globals once the read has ended.
class AnalysisRead {
public:
    explicit AnalysisRead(int requestedCount);
    static AnalysisRead Private(int requestedCount);

    // `keepReading` is the flag as it stands after this iteration's events were processed: the
    // code is still read and stored before an interruption is reported.
    ReadStep Step(ReadData& reader, bool keepReading);

    // The same for a read that can be stopped at any moment: a stop reads no further code, and
    // a wait on the ready line that a stop ended (StoppedMarker) stores nothing.
    ReadStep StepUnlessStopped(ReadData& reader, bool stopRequested);

    // SampleBuffer and CodeCount from the private run.
    void Publish() const;

    int requested() const { return requested_; }
    int codesRead() const { return read_; }
    bool finished() const { return finished_; }

private:
    AnalysisRead(int requestedCount, bool shared);
    std::vector<double>& Run() { return shared_ ? SampleBuffer : own_; }
    ReadStep Interrupt();
    ReadStep Store(int32_t code, bool keepReading);

    bool shared_ = true;
    std::vector<double> own_;
    int requested_;
    int read_ = 0;
    bool finished_ = false;
};

// The texts the read shows.
inline constexpr const char* ReadingNotice = "Press any key to stop reading";
inline constexpr const char* InterruptionMessage = "User Interruption of Reading";
inline constexpr const char* ReadErrorMessage = "Error Reading Data from KX3105";

}  // namespace kx::run

namespace kx {

// "Noise Analysis": runs of 10 to 5000 codes pass; anything else is refused with a message.
bool RunLengthGate(int codeCount);

}  // namespace kx
