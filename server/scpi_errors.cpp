#include "server/scpi_errors.h"

namespace kx::scpi {

const char* ErrorText(int code) {
    switch (code) {
        case err::None:
            return "No error";
        case err::Command:
            return "Command error";
        case err::InvalidCharacter:
            return "Invalid character";
        case err::Syntax:
            return "Syntax error";
        case err::InvalidSeparator:
            return "Invalid separator";
        case err::DataType:
            return "Data type error";
        case err::ParameterNotAllowed:
            return "Parameter not allowed";
        case err::MissingParameter:
            return "Missing parameter";
        case err::MnemonicTooLong:
            return "Program mnemonic too long";
        case err::UndefinedHeader:
            return "Undefined header";
        case err::NumericData:
            return "Numeric data error";
        case err::InvalidCharacterInNumber:
            return "Invalid character in number";
        case err::InvalidSuffix:
            return "Invalid suffix";
        case err::SuffixNotAllowed:
            return "Suffix not allowed";
        case err::InvalidStringData:
            return "Invalid string data";
        case err::Execution:
            return "Execution error";
        case err::SettingsConflict:
            return "Settings conflict";
        case err::DataOutOfRange:
            return "Data out of range";
        case err::IllegalParameterValue:
            return "Illegal parameter value";
        case err::Hardware:
            return "Hardware error";
        case err::SelfTestFailed:
            return "Self-test failed";
        case err::QueueOverflow:
            return "Queue overflow";
        case err::InputBufferOverrun:
            return "Input buffer overrun";
        case err::Query:
            return "Query error";
        default:
            return "Error";
    }
}

int EsrBitOf(int code) {
    if (code <= -100 && code > -200) return esr::CommandError;
    if (code <= -200 && code > -300) return esr::ExecutionError;
    if (code <= -300 && code > -400) return esr::DeviceError;
    if (code <= -400 && code > -500) return esr::QueryError;
    return code > 0 ? esr::DeviceError : 0;
}

std::string ErrorEntry::Formatted() const {
    std::string text = ErrorText(code);
    if (!info.empty()) text += ";" + info;
    // SCPI caps the error string at 255 characters.
    if (text.size() > 255) text.resize(255);
    std::string quoted = "\"";
    for (const char c : text) {
        quoted += c;
        if (c == '"') quoted += '"';
    }
    return std::to_string(code) + "," + quoted + "\"";
}

ErrorQueue::ErrorQueue(size_t capacity) : capacity_(capacity < 2 ? 2 : capacity) {}

void ErrorQueue::Push(int code, std::string info) {
    if (entries_.size() >= capacity_) return;  // already overflowed
    if (entries_.size() + 1 == capacity_) {
        entries_.push_back({err::QueueOverflow, {}});
        return;
    }
    entries_.push_back({code, std::move(info)});
}

ErrorEntry ErrorQueue::Next() {
    if (entries_.empty()) return {};
    ErrorEntry e = std::move(entries_.front());
    entries_.pop_front();
    return e;
}

}  // namespace kx::scpi
