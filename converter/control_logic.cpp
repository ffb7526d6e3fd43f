#include "converter/control_logic.h"

#include "board/registers.h"
#include "board/serial.h"
#include "core/globals.h"

namespace kx::control {

int32_t ReadDirect() {
    WriteSerial(RegisterMap::AdcControl.readByte, PortAddress, 8);
    return ReadSerial(8, PortAddress) & 0xFF;
}

}  // namespace kx::control
