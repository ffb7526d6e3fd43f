#include "cli/output.h"

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <new>

#include "core/numtext.h"

namespace kx::cli {

namespace {

bool quietNotes = false;
bool progressLineOpen = false;

void EndProgressLine() {
    if (progressLineOpen) std::cerr << "\n";
    progressLineOpen = false;
}

}  // namespace

void SetQuiet(bool quiet) {
    quietNotes = quiet;
}

void Note(const std::string& why) {
    EndProgressLine();
    std::cerr << "kx3105-cli: " << Escaped(why) << std::endl;
}

void Remark(const std::string& why) {
    if (!quietNotes) Note(why);
}

int Failure(const std::string& why) {
    Note(why);
    return 1;
}

bool ReserveCodes(std::vector<int32_t>& codes, int64_t count) {
    try {
        codes.reserve(static_cast<size_t>(count));
        return true;
    } catch (const std::bad_alloc&) {
        Note("not enough memory for " + std::to_string(count) + " codes");
        return false;
    }
}

int WriteStdout(std::string_view text) {
    std::cout.write(text.data(), static_cast<std::streamsize>(text.size()));
    std::cout.flush();
    if (std::cout) return 0;
    const int error = errno;
    std::cout.clear();
    return Failure("cannot write standard output: " + SystemReason(error));
}

void Progress(const std::string& line) {
    std::cerr << "\r" << line << std::flush;
    progressLineOpen = true;
}

StderrMessages::StderrMessages() {
    SetMessageService(this);
}

StderrMessages::~StderrMessages() {
    SetMessageService(nullptr);
}

Answer StderrMessages::show(const Message& message) {
    std::string line;
    bool gap = false;
    for (const char c : message.text) {
        if (c == '\r' || c == '\n') {
            gap = !line.empty();
            continue;
        }
        if (gap) line += ' ';
        gap = false;
        line += c;
    }
    Note(line);
    return message.buttons == Buttons::YesNo ? Answer::No : Answer::Ok;
}

}  // namespace kx::cli
