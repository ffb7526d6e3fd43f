#include "converter/cal_logic.h"

#include "converter/register_update.h"
#include "core/hex.h"
#include "core/messages.h"
#include "core/numtext.h"

namespace kx::cal {

bool PowerDownCheck(Register& mode) {
    if ((ReadValue(mode) & 0x07) == 0) return true;
    ShowMessage(PowerDownMessage, Icon::Warning);
    return false;
}

std::optional<int32_t> ParseEntry(std::string_view text) {
    if (text.empty() || text.size() > 8) return std::nullopt;
    const auto parsed = ParseHex(text);
    if (!parsed || *parsed > static_cast<unsigned long long>(INT32_MAX)) return std::nullopt;
    return *parsed > static_cast<unsigned long long>(MaxValue) ? MaxValue
                                                               : static_cast<int32_t>(*parsed);
}

std::string HexText(int32_t value) {
    return HexPadded(value, 6);
}

bool Program(Register& reg, int32_t value) {
    if (WriteAndReadBack(reg, value) == value) return true;
    ShowMessage(MismatchMessage, Icon::Warning);
    return false;
}

}  // namespace kx::cal
