#include "server/interpreter.h"

#include "server/scpi_errors.h"

namespace kx::server {

namespace {

bool IsCommandError(int code) {
    return code <= -100 && code > -200;
}

}  // namespace

Interpreter::Interpreter(std::string serial) : serial_(std::move(serial)) {
    AddCommonCommands(commands_);
    AddInstrumentCommands(commands_);
}

PreparedLine Interpreter::Prepare(std::string_view line) const {
    PreparedLine prepared;
    prepared.units = scpi::ParseLine(line);
    std::vector<std::string> path;
    for (const scpi::Unit& unit : prepared.units) {
        const CommandSet::Entry* entry = unit.error == 0 ? commands_.Resolve(unit, path) : nullptr;
        prepared.entries.push_back(entry);
        if (!entry) break;
        prepared.needsBoard = prepared.needsBoard || entry->value.needsBoard;
    }
    return prepared;
}

std::string Interpreter::Run(const PreparedLine& line, Session& session, Instrument* board,
                             BoardArbiter& arbiter, const std::atomic<bool>& stop,
                             const std::string& noBoardWhy) const {
    std::string response;
    bool answered = false;
    int64_t codesLeft = MaxReadCount;
    for (size_t i = 0; i < line.entries.size(); ++i) {
        const scpi::Unit& unit = line.units[i];
        const CommandSet::Entry* entry = line.entries[i];
        if (unit.error != 0) {
            session.Error(unit.error, unit.errorInfo);
            break;
        }
        if (!entry) {
            session.Error(scpi::err::UndefinedHeader);
            break;
        }
        const Command& command = entry->value;
        if (unit.params.size() < command.minParams) {
            session.Error(scpi::err::MissingParameter);
            break;
        }
        if (unit.params.size() > command.maxParams) {
            session.Error(scpi::err::ParameterNotAllowed);
            break;
        }
        if (command.needsBoard && !board) {
            if (command.withoutBoard) {
                if (answered) response += ';';
                response += command.withoutBoard;
                answered = true;
            } else {
                session.Error(scpi::err::Execution, noBoardWhy);
            }
            continue;
        }
        Call call{unit, session, board, arbiter, stop, serial_, std::nullopt, 0, codesLeft};
        command.run(call);
        if (call.response) {
            if (answered) response += ';';
            response += *call.response;
            answered = true;
        }
        if (IsCommandError(call.failed)) break;
    }
    if (answered) response += '\n';
    return response;
}

}  // namespace kx::server
