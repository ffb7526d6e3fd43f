#include "cli/board_session.h"

#include "acquisition/board.h"
#include "cli/output.h"

namespace kx::cli {

int WithBoard(const GlobalOptions& global, const std::function<int()>& command) {
    BoardSession session;
    std::string why;
    if (!session.Open(global.board, Note, why)) return Failure(why);
    int status = command();
    if (!session.Close(why)) {
        Note(why);
        if (status == ExitOk) status = ExitFailure;
    }
    return status;
}

}  // namespace kx::cli
