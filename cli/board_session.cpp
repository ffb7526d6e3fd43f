#include "cli/board_session.h"

#include "cli/output.h"

namespace kx::cli {

int WithBoard(const GlobalOptions& global, const std::function<int(Board&)>& command) {
    std::string why;
    const std::unique_ptr<Board> board = Board::Open(global.board, Note, why);
    if (!board) return Failure(why);
    int status = command(*board);
    if (!board->Close(why)) {
        Note(why);
        if (status == ExitOk) status = ExitFailure;
    }
    return status;
}

}  // namespace kx::cli
