#include "board/registers.h"

#include <cmath>

#include "board/serial.h"
#include "core/globals.h"
#include "core/numtext.h"

namespace RegisterMap {
const RegisterInfo* Find(int address) {
    for (const auto& info : All)
        if (info.address == address) return &info;
    return nullptr;
}
}  // namespace RegisterMap

double Register::ReadReg() {
    WriteSerial(ReadAddress, PortAddress, 8);
    return static_cast<double>(ReadSerial(WordLength, PortAddress));
}

void Register::WriteReg() {
    WriteSerial(WriteAddress, PortAddress, 8);
    WriteSerial(RoundHalfEven(RegValue), PortAddress, WordLength);
}

Register Register::For(const RegisterInfo& info) {
    Register r;
    r.WordLength = info.width;
    r.ReadAddress = info.readable() ? info.readByte : 0;
    r.WriteAddress = info.writable() ? info.writeByte : 0;
    return r;
}

int32_t ReadData::Read() {
    WriteSerial(ReadAddress, PortAddress, 8);
    return ReadSerialWhenReady(WordLength, PortAddress);
}

ReadData ReadData::ForDataRegister() {
    ReadData d;
    d.WordLength = RegisterMap::Data.width;
    d.ReadAddress = RegisterMap::Data.readByte;
    return d;
}
