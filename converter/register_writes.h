#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "converter/register_fields.h"

// Reading every register the map shows, and writing the ones that changed in the order the
// converter needs: the calibration registers take writes only in power-down mode, and the filter
// is programmed there too, so power-down comes first when either is written; the mode register,
// which may start conversions, comes last, after the filter and the channel. Each write is made as
// the register's own screen makes it, read-back and mismatch message included, so the port sees
// the same traffic. Plain C++, on a board's link.

namespace kx::fields {

// One value per register of Registers(), in that order.
using Values = std::array<int32_t, 7>;
static_assert(std::tuple_size_v<Values> == 7);

// The place of a register in Values.
size_t IndexOf(const RegisterFields& reg);

// Every register of the map, read in address order.
Values ReadAll(BoardLink& link);

// The power-on values.
Values PowerOnValues();

// Why the values cannot be written ("mode 5 starts a calibration ..."), nullopt when they can.
std::optional<std::string> Refusal(const Values& values);

struct PlannedWrite {
    enum class Why {
        PowerDown,  // the converter put into power-down for the filter and calibration writes
        Changed,    // a register that differs
        Restore,    // the mode register after the power-down, with its changes
    };
    const RegisterFields* reg = nullptr;
    Why why = Why::Changed;
    int32_t mask = 0;      // the bits this write sets; the rest stay as the register reads then
    int32_t value = 0;     // those bits
    int32_t from = 0;      // the register as known when planned
    int32_t expected = 0;  // and what the write will make of it
};

// The writes that take the registers from `current` to `wanted`, in order. A register whose
// value is the same is not written. Only the bits that differ are changed: the rest are taken
// from the register as read just before its write.
std::vector<PlannedWrite> PlanWrites(const Values& current, const Values& wanted);

// "mode 01 -> 00 (power-down for the filter and calibration writes)"
std::string Describe(const PlannedWrite& write);

struct WriteResult {
    const RegisterFields* reg = nullptr;
    int32_t written = 0;
    int32_t readBack = 0;
    bool ok = true;
};

// Makes the writes in order, each read back; a difference shows the register screen's message and
// ends the writes there. Returns what was written and read back, the failed one last.
std::vector<WriteResult> MakeWrites(BoardLink& link, const std::vector<PlannedWrite>& plan);

}  // namespace kx::fields
