#pragma once

#include <QAccessible>
#include <QStringList>
#include <QWidget>
#include <vector>

#include "board_fixture.h"
#include "globals.h"
#include "port.h"
#include "registers.h"
#include "simulated_board.h"

// What the register screen tests share: a simulated board at 0x378, direct register access with
// the bytes written out here, the expected wire of an 8-bit read, and lookup by accessible name.

// The program talking to a fresh simulated board.
struct SimBench {
    kx::sim::SimulatedBoard board;
    SimBench() {
        kx::ResetGlobals();
        PortAddress = 0x378;
        SetPortBackend(&board);
    }
    ~SimBench() {
        SetPortBackend(nullptr);
        kx::ResetGlobals();
    }
    SimBench(const SimBench&) = delete;
    SimBench& operator=(const SimBench&) = delete;
};

inline int ReadRegister(int readByte, int bits) {
    Register reg;
    reg.ReadAddress = static_cast<int16_t>(readByte);
    reg.WordLength = static_cast<int16_t>(bits);
    return static_cast<int>(reg.ReadReg());
}

inline void WriteRegister(int writeByte, int bits, int value) {
    Register reg;
    reg.WriteAddress = static_cast<int16_t>(writeByte);
    reg.WordLength = static_cast<int16_t>(bits);
    reg.RegValue = value;
    reg.WriteReg();
}

// Data-register writes of an 8-bit register write.
inline std::vector<int> ByteWriteWrites(int communicationsByte, int value) {
    return Concat({SerialWordWrites(communicationsByte, 8), SerialWordWrites(value, 8)});
}

// The widget a screen reader names `name` (buddy labels give entries their names).
template <typename T>
T* FindByName(QWidget* window, const QString& name) {
    for (T* w : window->findChildren<T*>()) {
        QAccessibleInterface* a = QAccessible::queryAccessibleInterface(w);
        if (a && a->text(QAccessible::Name) == name) return w;
    }
    return nullptr;
}
