#include "converter/control_logic.h"

#include "board/registers.h"
#include "board/serial.h"

namespace kx::control {

int32_t ReadDirect(BoardLink& link) {
    const auto port = static_cast<int16_t>(link.base());
    WriteSerial(link, RegisterMap::AdcControl.readByte, port, 8);
    return ReadSerial(link, 8, port) & 0xFF;
}

}  // namespace kx::control
