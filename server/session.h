#pragma once

#include <cstdint>

#include "server/scpi_errors.h"

// What the instrument keeps for each client: its error queue, its status registers and the form
// of its data. Each client sees its own, so one client's mistakes never reach another's queue.

namespace kx::server {

enum class DataForm { Ascii, Int32 };

struct Session {
    uint64_t client = 0;
    scpi::ErrorQueue errors;
    int eventStatus = 0;        // *ESR?
    int eventStatusEnable = 0;  // *ESE
    int serviceEnable = 0;      // *SRE
    DataForm form = DataForm::Ascii;
    bool bigEndian = true;  // FORMat:BORDer NORMal, as SCPI has it

    void Error(int code, std::string info = {}) {
        errors.Push(code, std::move(info));
        eventStatus |= scpi::EsrBitOf(code);
    }
    // *STB?: bit 2 an error waits, bit 5 an enabled event, bit 6 a summary of the enabled bits.
    int StatusByte() const {
        int stb = 0;
        if (!errors.empty()) stb |= 0x04;
        if (eventStatus & eventStatusEnable) stb |= 0x20;
        if (stb & serviceEnable & ~0x40) stb |= 0x40;
        return stb;
    }
};

}  // namespace kx::server
