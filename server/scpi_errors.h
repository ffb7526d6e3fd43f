#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <string>

// The instrument's error numbers and texts as SCPI fixes them, the bounded error queue a client
// reads with SYSTem:ERRor?, and the event status register those errors set. Plain C++.

namespace kx::scpi {

namespace err {
inline constexpr int None = 0;
inline constexpr int Command = -100;
inline constexpr int InvalidCharacter = -101;
inline constexpr int Syntax = -102;
inline constexpr int InvalidSeparator = -103;
inline constexpr int DataType = -104;
inline constexpr int ParameterNotAllowed = -108;
inline constexpr int MissingParameter = -109;
inline constexpr int MnemonicTooLong = -112;
inline constexpr int UndefinedHeader = -113;
inline constexpr int NumericData = -120;
inline constexpr int InvalidCharacterInNumber = -121;
inline constexpr int InvalidSuffix = -131;
inline constexpr int SuffixNotAllowed = -138;
inline constexpr int InvalidStringData = -151;
inline constexpr int Execution = -200;
inline constexpr int SettingsConflict = -221;
inline constexpr int DataOutOfRange = -222;
inline constexpr int IllegalParameterValue = -224;
inline constexpr int Hardware = -240;
inline constexpr int SelfTestFailed = -330;
inline constexpr int QueueOverflow = -350;
inline constexpr int InputBufferOverrun = -363;
inline constexpr int Query = -400;
}  // namespace err

// The standard text of an error number ("Undefined header"); "Error" for a number of no text.
const char* ErrorText(int code);

// Event status register bits (IEEE 488.2).
namespace esr {
inline constexpr int OperationComplete = 0x01;
inline constexpr int QueryError = 0x04;
inline constexpr int DeviceError = 0x08;
inline constexpr int ExecutionError = 0x10;
inline constexpr int CommandError = 0x20;
}  // namespace esr

// The event status bit an error number sets: -1xx command, -2xx execution, -3xx device, -4xx
// query error.
int EsrBitOf(int code);

struct ErrorEntry {
    int code = err::None;
    std::string info;  // more about this occurrence, after the text; may be empty

    // The SYSTem:ERRor? answer: -113,"Undefined header" or -240,"Hardware error;why" (quotes
    // in the info doubled, the whole string at most 255 characters).
    std::string Formatted() const;
};

// First in, first out, at most `capacity` entries; when it is full the newest entry becomes
// -350 "Queue overflow" and later errors are lost until it is read, as SCPI has it.
class ErrorQueue {
public:
    static constexpr size_t DefaultCapacity = 32;
    explicit ErrorQueue(size_t capacity = DefaultCapacity);

    void Push(int code, std::string info = {});
    // The oldest entry, taken off; 0,"No error" when empty.
    ErrorEntry Next();
    size_t size() const { return entries_.size(); }
    bool empty() const { return entries_.empty(); }
    void Clear() { entries_.clear(); }

private:
    size_t capacity_;
    std::deque<ErrorEntry> entries_;
};

}  // namespace kx::scpi
