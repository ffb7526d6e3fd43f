#include "core/hex.h"

namespace kx {

std::string Hex(int64_t value) {
    // Negative 32-bit values show as 32-bit two's complement, wider ones in full.
    uint64_t v = (value < 0 && value >= INT32_MIN) ? static_cast<uint32_t>(value)
                                                   : static_cast<uint64_t>(value);
    static constexpr char digits[] = "0123456789ABCDEF";
    char buffer[16];
    int n = 0;
    do {
        buffer[n++] = digits[v & 0xF];
        v >>= 4;
    } while (v != 0);
    std::string out;
    out.reserve(n);
    while (n > 0)
        out.push_back(buffer[--n]);
    return out;
}

std::string HexPadded(int64_t value, int width) {
    std::string h = Hex(value);
    if (static_cast<int>(h.size()) < width) h.insert(0, width - h.size(), '0');
    return h;
}

}  // namespace kx
