#pragma once

#include <algorithm>
#include <string>
#include <vector>

#include "board/registers.h"
#include "core/messages.h"

// What the screens' benchmark programs share: a message service that answers at once, a register
// write, a percentile.

// Answers every box at once and keeps its text, to report it.
class QuietMessages final : public kx::MessageService {
public:
    kx::Answer show(const kx::Message& m) override {
        texts.push_back(m.text);
        return kx::Answer::Ok;
    }
    std::vector<std::string> texts;
};

inline void WriteRegister(const RegisterInfo& info, int value) {
    Register reg = Register::For(info);
    reg.RegValue = value;
    reg.WriteReg();
}

inline double Percentile(std::vector<double> v, double p) {
    if (v.empty()) return 0;
    std::sort(v.begin(), v.end());
    const size_t i = std::min(v.size() - 1, static_cast<size_t>(p / 100.0 * double(v.size())));
    return v[i];
}
