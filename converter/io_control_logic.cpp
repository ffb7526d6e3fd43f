#include "converter/io_control_logic.h"

namespace kx::io {

int32_t NewValue(Choice choice, int32_t old) {
    switch (choice) {
        case Choice::P1In:
            return old & 0xEF;
        case Choice::P1Out:
            return old | P1Dir;
        case Choice::P2In:
            return old & 0xDF;
        case Choice::P2Out:
            return old | P2Dir;
        case Choice::P1High:
            return old | P1Dat;
        case Choice::P1Low:
            return old & 0xFE;
        case Choice::P2High:
            return old | P2Dat;
        case Choice::P2Low:
            return old & 0xFD;
    }
    return old;
}

int32_t DecidedBits(int32_t written) {
    int32_t decided = ~0;
    if (!(written & P1Dir)) decided &= ~P1Dat;
    if (!(written & P2Dir)) decided &= ~P2Dat;
    return decided;
}

bool ReadBackAccepted(Choice choice, const RegisterUpdate& update) {
    const int32_t decided = DecidedBits(update.written);
    if ((update.written & decided) == (update.readBack & decided)) return true;
    const bool toInput = choice == Choice::P1In || choice == Choice::P2In;
    return toInput && update.readBack == 0x03;
}

bool RefreshesDirections(Choice choice) {
    return choice == Choice::P1Out || choice == Choice::P2Out;
}

RegisterUpdate Apply(Register& io, Choice choice) {
    return UpdateRegister(io, [choice](int32_t old) { return NewValue(choice, old); });
}

}  // namespace kx::io
