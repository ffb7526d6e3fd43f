#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "board/registers.h"

// Every readable register of the converter as the register map shows it: its bit fields by name,
// what each value of a field means, and the value the register holds at power-on. The register
// screens own the same layouts one register each; this is the one table of all of them.

namespace kx::fields {

enum class Kind {
    Choice,  // an enumeration: each value has its own meaning (a drop-down)
    Number,  // a value (a number entry)
    Shown,   // read-only: shown, never written
};

struct Field {
    const char* name;  // "CHOP", "MD", "SF"; a bit without a name is "-"
    int high;          // most significant bit of the field
    int low;           // least significant bit
    Kind kind;
    const char* about;  // what the field sets, for the reader of the map

    int width() const { return high - low + 1; }
    int32_t mask() const { return static_cast<int32_t>(((1u << width()) - 1u) << low); }
    int32_t largest() const { return static_cast<int32_t>((1u << width()) - 1u); }
};

struct RegisterFields {
    const RegisterInfo* info;
    const char* key;  // the name scripts and configuration files use: "mode", "adc-control"
    int32_t powerOn;
    std::span<const Field> fields;  // most significant first, covering every bit

    bool writable() const { return info->writable(); }
};

// Status, mode, ADC control, filter, zero-scale, full-scale and I/O control registers, by address.
std::span<const RegisterFields> Registers();
// The entry of a register, or nullptr for one the map does not show (data, registers 12 and 13).
const RegisterFields* FieldsOf(const RegisterInfo& info);
const RegisterFields* FieldsByKey(std::string_view key);

int32_t Get(const Field& field, int32_t registerValue);
int32_t Set(const Field& field, int32_t registerValue, int32_t fieldValue);

// What the meanings of some fields depend on: CHCON renames channels, CHOP sets the rate a filter
// word gives, the coding names the ranges.
struct Context {
    int32_t mode = 0x01;
    int32_t adcControl = 0x07;
};

// The meaning of one value of a field ("chopping enabled", "AIN9 - AIN10", "19.79 Hz").
std::string Meaning(const RegisterFields& reg, const Field& field, int32_t fieldValue,
                    const Context& context);

// The bits of a written value that its read-back must show: all of them, except an input pin's
// level in the I/O control register, which reads the level on the pin.
int32_t CheckedBits(const RegisterFields& reg, int32_t written);

// The mismatch message the register's own screen shows after a write that did not take.
std::string MismatchMessage(const RegisterFields& reg, int32_t before, int32_t written);

}  // namespace kx::fields
