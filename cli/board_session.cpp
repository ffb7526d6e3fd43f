#include "cli/board_session.h"

#include "cli/output.h"

namespace kx::cli {

int WithBoard(const GlobalOptions& global, const std::function<int()>& command) {
    return WithBoard(global, [&command](const Board&) { return command(); });
}

int WithBoard(const GlobalOptions& global, const std::function<int(const Board&)>& command) {
    BoardSession session;
    std::string why;
    if (!session.Open(global.board, Note, why)) return Failure(why);
    int status = command(session.board());
    if (!session.Close(why)) {
        Note(why);
        if (status == ExitOk) status = ExitFailure;
    }
    return status;
}

}  // namespace kx::cli
