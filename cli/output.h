#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/messages.h"
#include "core/numtext.h"    // ParseHexValue
#include "core/safe_file.h"  // SystemReason, Quoted

// What the tool prints besides its results: one line per message on standard error, each starting
// with "kx3105-cli: ", and the checked writes of standard output. Plain C++.

namespace kx::cli {

// --quiet: notes are dropped, failures are not.
void SetQuiet(bool quiet);

// A failure: "kx3105-cli: why" on standard error, always one line: a control character that
// reaches it (from a name the tool did not quote) is written as an escape.
void Note(const std::string& why);
// A note that --quiet drops.
void Remark(const std::string& why);
// Note(why), then exit status 1.
int Failure(const std::string& why);

// Room for `count` codes, asked for before the work starts, so that a long run never ends in an
// allocation failure part way; false after "not enough memory for N codes".
bool ReserveCodes(std::vector<int32_t>& codes, int64_t count);

// Writes to standard output and flushes; a failed write is reported ("cannot write standard
// output: REASON") and gives exit status 1, else 0.
int WriteStdout(std::string_view text);

// A capture's progress on a terminal: the line stays open until the next message.
void Progress(const std::string& line);

// The screens' message boxes as lines on standard error, for as long as it lives. The tool asks
// no questions: one would be answered No.
class StderrMessages final : public MessageService {
public:
    StderrMessages();
    ~StderrMessages() override;
    StderrMessages(const StderrMessages&) = delete;
    StderrMessages& operator=(const StderrMessages&) = delete;
    Answer show(const Message& message) override;
};

}  // namespace kx::cli
