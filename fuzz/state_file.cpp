// libFuzzer target for the --sim-state reader: any bytes are refused with their line, or give a
// board whose saved state is whole and loads back to itself; the check of a whole state agrees
// with the loader.

#include <cstddef>
#include <cstdint>
#include <string>

#include "acquisition/sim_state.h"
#include "sim/simulated_board.h"

using namespace kx;

namespace {

void Check(bool condition) {
    if (!condition) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    sim::SimulatedBoard board;
    const std::string before = board.saveState();
    std::string why;
    const bool loaded = board.loadState(text, why);
    if (!loaded) {
        Check(why.rfind("line ", 0) == 0);
        Check(board.saveState() == before);  // nothing taken from a refused text
    }
    // A text the check calls whole is one the loader takes.
    if (CheckStateText(text).empty()) Check(loaded);

    const std::string saved = board.saveState();
    Check(CheckStateText(saved).empty());
    sim::SimulatedBoard again;
    Check(again.loadState(saved, why));
    Check(again.saveState() == saved);
    return 0;
}
