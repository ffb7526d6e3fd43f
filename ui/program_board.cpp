#include "ui/program_board.h"

#include "board/program_port.h"
#include "board/windows_version.h"
#include "core/globals.h"
#include "ui/shared_run.h"

namespace kx {

void StartBoard(const std::string& commandLine) {
    ProgramCommandLine = commandLine;
    InitPort();
    PublishReference(DefaultReferenceVolts);
}

std::string BoardLine(const BoardPort& port) {
    return BoardLineFor(*port.backend, port.simulated, static_cast<uint16_t>(PortAddress));
}

}  // namespace kx
