#include "board/registers.h"

#include <cmath>

#include "board/serial.h"
#include "core/numtext.h"

namespace {
// The serial routines take the port as the 16-bit pattern the program has always kept.
int16_t Port(const kx::BoardLink& link) {
    return static_cast<int16_t>(link.base());
}
}  // namespace

namespace RegisterMap {
const RegisterInfo* Find(int address) {
    for (const auto& info : All)
        if (info.address == address) return &info;
    return nullptr;
}
}  // namespace RegisterMap

double Register::ReadReg() {
    WriteSerial(*link_, ReadAddress, Port(*link_), 8);
    return static_cast<double>(ReadSerial(*link_, WordLength, Port(*link_)));
}

void Register::WriteReg() {
    WriteSerial(*link_, WriteAddress, Port(*link_), 8);
    WriteSerial(*link_, RoundHalfEven(RegValue), Port(*link_), WordLength);
}

Register Register::For(kx::BoardLink& link, const RegisterInfo& info) {
    Register r(link);
    r.WordLength = info.width;
    r.ReadAddress = info.readable() ? info.readByte : 0;
    r.WriteAddress = info.writable() ? info.writeByte : 0;
    return r;
}

int32_t ReadData::Read() {
    WriteSerial(*link_, ReadAddress, Port(*link_), 8);
    return ReadSerialWhenReady(*link_, WordLength, Port(*link_));
}

ReadData ReadData::ForDataRegister(kx::BoardLink& link) {
    ReadData d(link);
    d.WordLength = RegisterMap::Data.width;
    d.ReadAddress = RegisterMap::Data.readByte;
    return d;
}
