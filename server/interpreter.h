#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "acquisition/capture.h"
#include "server/instrument.h"
#include "server/scpi_parser.h"
#include "server/session.h"

// The instrument's command set: a line of SCPI is prepared (taken apart and its headers looked
// up, which tells whether it needs the board) and then run against a client's session, giving
// the line's response (the queries' answers joined by ';' and a line end; empty when none
// answered). Errors go to the session's queue. A command error (-1xx) ends the line there, as
// IEEE 488.2 has it; other errors let it go on. Plain C++.

namespace kx::server {

// The lock and the read in progress, which belong to whoever runs the board for many clients.
class BoardArbiter {
public:
    virtual ~BoardArbiter() = default;
    // SYSTem:LOCK:REQuest?, run with the board in this client's hands: the lock is its own now.
    virtual void Lock(uint64_t client) = 0;
    // SYSTem:LOCK:RELease: false when the client does not hold the lock.
    virtual bool Unlock(uint64_t client) = 0;
    // ABORt: ends the read in progress, unless another client holds the lock.
    virtual void Abort(uint64_t client) = 0;
};

// *IDN?: maker, model, serial number, version.
inline constexpr const char* IdentityMaker = "KX3105 Evaluation Software";
inline constexpr const char* IdentityModel = "KX3105 Evaluation Board";

// READ? takes at most this many codes, as kx3105-cli capture does; so does a whole line.
inline constexpr int64_t MaxReadCount = MaxCaptureCount;

// One command's run: its unit, the client's session, the board (nullptr when the board is not
// this client's now) and what it answers.
struct Call {
    const scpi::Unit& unit;
    Session& session;
    Instrument* board;
    BoardArbiter& arbiter;
    const std::atomic<bool>& stop;
    const std::string& serial;
    std::optional<std::string> response;
    int failed = 0;  // the first error this command queued
    // Codes the rest of the line may still read: a line reads at most MaxReadCount in all, so
    // that no line asks for a larger answer than one read gives.
    int64_t& codesLeft;

    void Error(int code, std::string info = {}) {
        session.Error(code, std::move(info));
        if (failed == 0) failed = code;
    }
    const std::string& Param(size_t i) const { return unit.params[i]; }
    size_t ParamCount() const { return unit.params.size(); }
};

struct Command {
    bool needsBoard = false;
    size_t minParams = 0;
    size_t maxParams = 0;
    std::function<void(Call&)> run;
    // A query that needs the board answers this, with no error, when the board is not the
    // client's (SYSTem:LOCK:REQuest? whose wait ran out: 0).
    const char* withoutBoard = nullptr;
};

using CommandSet = scpi::CommandTable<Command>;

// The commands of each group (common_commands.cpp, instrument_commands.cpp).
void AddCommonCommands(CommandSet& commands);
void AddInstrumentCommands(CommandSet& commands);

struct PreparedLine {
    std::vector<scpi::Unit> units;
    // One per unit up to the first that cannot run (a syntax error or an undefined header, which
    // ends the line); nullptr there.
    std::vector<const CommandSet::Entry*> entries;
    bool needsBoard = false;
};

class Interpreter {
public:
    // `serial` for *IDN? (Instrument::Serial of the board served).
    explicit Interpreter(std::string serial);

    PreparedLine Prepare(std::string_view line) const;

    // Runs a prepared line. Without a board, every command that needs one fails with -200 and
    // `noBoardWhy`.
    std::string Run(const PreparedLine& line, Session& session, Instrument* board,
                    BoardArbiter& arbiter, const std::atomic<bool>& stop,
                    const std::string& noBoardWhy = {}) const;

    const CommandSet& commands() const { return commands_; }

private:
    std::string serial_;
    CommandSet commands_;
};

}  // namespace kx::server
