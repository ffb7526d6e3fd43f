#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "board/board_link.h"

// The data-reading screen's logic: its entry fields, the read for analysis and the read for
// display (both through the one capture loop, ReadCodes), and the run-length gate of "Noise
// Analysis". Plain C++; the screen runs the reads on its worker.

namespace kx::run {

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

// The read for analysis: up to `requested` codes (none below 1) through ReadCodes into `codes`,
// `progress` told how many are held after each one. A time-out shows "Error Reading Data from
// KX3105" and keeps the codes read before it (the failed slot is no code); a stop, before a code or
// while it was awaited or clocked in, shows "User Interruption of Reading" (the code clocked in
// is kept). The caller makes the codes the program's run.
enum class AnalysisReadEnd { Done, TimedOut, Interrupted };
AnalysisReadEnd ReadForAnalysis(BoardLink& link, int requested, const std::atomic<bool>& stop,
                                std::vector<int32_t>& codes,
                                const std::function<void(int stored)>& progress);

// The status line under the progress bar when a read for analysis ends: "1000 codes read",
// "Stopped: 123 of 1000 codes kept", "Time-out: 4 of 1000 codes kept".
std::string ReadEndText(AnalysisReadEnd end, size_t kept, int requested);

// The time a read for analysis still needs, from its pace so far: "about 42 s left", "about 3 min
// 20 s left"; empty until two codes and a second have passed, and while less than two seconds
// remain (at the fast rates a read is over before it could be read).
std::string TimeLeftText(double elapsedSeconds, int stored, int requested);

// The read for display: code after code until a stop or a time-out ("Error Reading Data from
// KX3105"), each handed to `show`, which may end the read by returning false.
void ReadForDisplay(BoardLink& link, const std::atomic<bool>& stop,
                    const std::function<bool(int32_t code)>& show);

// The texts the read shows.
inline constexpr const char* ReadingNotice = "Press any key to stop reading";
inline constexpr const char* InterruptionMessage = "User Interruption of Reading";
inline constexpr const char* ReadErrorMessage = "Error Reading Data from KX3105";

}  // namespace kx::run

namespace kx {

// "Noise Analysis": runs of 10 to 5000 codes pass; anything else is refused with a message.
bool RunLengthGate(int codeCount);

}  // namespace kx
