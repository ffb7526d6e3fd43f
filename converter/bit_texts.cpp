#include "converter/bit_texts.h"

namespace kx {

std::array<std::string, 8> BitTexts(int32_t value) {
    std::array<std::string, 8> texts;
    for (int i = 0; i < 8; ++i)
        texts[static_cast<size_t>(i)] = std::string(1, (value >> (7 - i)) & 1 ? '1' : '0');
    return texts;
}

}  // namespace kx
