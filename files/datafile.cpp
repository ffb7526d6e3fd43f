#include "files/datafile.h"

#include "core/safe_file.h"

#include <algorithm>
#include <cmath>
#include <fstream>
#include <limits>
#include <optional>
#include <sstream>
#include <system_error>
#include <utility>

#include "core/hex.h"
#include "core/numtext.h"

namespace kx::datafile {

namespace {

// No code needs more than a few dozen characters; a longer line is no code, and capping it keeps
// a huge file without line ends from filling memory.
constexpr size_t MaxLineLength = 4096;

std::optional<double> DecimalCode(std::string_view line) {
    const std::optional<double> value = kx::ParseDecimal(line);
    if (!value) return std::nullopt;
    const double code = std::nearbyint(*value);  // halves to even
    if (code < std::numeric_limits<int32_t>::min() || code > std::numeric_limits<int32_t>::max())
        return std::nullopt;
    return code == 0 ? 0.0 : code;  // "-0" is plain zero
}

std::optional<double> HexCode(std::string_view line) {
    // No blanks: a decimal file read as hexadecimal then fails on its leading blank instead of
    // loading as different numbers.
    if (line.empty() || line.size() > 8) return std::nullopt;
    const std::optional<unsigned long long> value = kx::ParseHex(line);
    if (!value) return std::nullopt;
    // Eight digits are a 32-bit two's-complement number, as the writer prints a negative code
    // (the time-out marker is 80000000): every run saved in hex reads back unchanged.
    return static_cast<double>(static_cast<int32_t>(static_cast<uint32_t>(*value)));
}

// Reads one line into `line` without its end (LF, or CR LF). Returns false at the end of the
// stream when nothing is left. Reading stops in a line longer than MaxLineLength, which is
// marked: such a line is no code, and the rest of it need not be read at all.
bool ReadLine(std::streambuf& in, std::string& line, bool& tooLong) {
    line.clear();
    tooLong = false;
    bool any = false;
    for (;;) {
        const int c = in.sbumpc();
        if (c == std::char_traits<char>::eof()) break;
        any = true;
        if (c == '\n') break;
        if (line.size() == MaxLineLength) {
            tooLong = true;
            return true;
        }
        line.push_back(static_cast<char>(c));
    }
    if (!line.empty() && line.back() == '\r') line.pop_back();
    return any;
}

}  // namespace

std::string CodeLine(int32_t code, Form form) {
    if (form == Form::Hex) return kx::Hex(code);
    return code < 0 ? std::to_string(code) : " " + std::to_string(code);
}

std::string RunText(std::span<const int32_t> codes, Form form) {
    std::string text;
    text.reserve(codes.size() * 10);
    for (const int32_t code : codes) {
        text += CodeLine(code, form);
        text += "\r\n";
    }
    return text;
}

WriteStatus WriteRunFile(const std::filesystem::path& path, std::span<const int32_t> codes,
                         Form form) {
    // Written beside the name and renamed over it only when whole: a full disk never leaves a
    // cut line that would read back as a code, and an earlier file of that name survives.
    files::AtomicFile file;
    if (!file.Open(path.string())) return WriteStatus::CannotCreate;
    if (!file.Write(RunText(codes, form)) || !file.Commit()) return WriteStatus::WriteFailed;
    return WriteStatus::Written;
}

namespace {

// A limited read counts on past a bad line, so that a file too long to load says so whatever it
// holds; an overlong line, or any bad line of an unlimited read, ends the reading at once.
ReadResult Parse(std::istream& in, Form form, bool limited) {
    ReadResult result;
    std::streambuf* source = in.rdbuf();
    if (!source) {
        result.status = ReadStatus::CannotOpen;
        return result;
    }
    std::vector<double> codes{0.0};
    std::string line;
    bool tooLong = false;
    int lines = 0;
    while (ReadLine(*source, line, tooLong)) {
        if (line.empty() && lines > 0) break;
        ++lines;
        if (limited && lines > MaxCodes) {
            result.status = ReadStatus::TooManyCodes;
            result.lineCount = lines;
            return result;
        }
        if (tooLong) {
            if (result.badLine == 0) result.badLine = lines;
            break;
        }
        if (result.badLine != 0) continue;
        const std::optional<double> code = form == Form::Hex ? HexCode(line) : DecimalCode(line);
        if (code) {
            codes.push_back(*code);
        } else {
            result.badLine = lines;
            if (!limited) break;
        }
    }
    result.lineCount = lines;
    if (result.badLine != 0) {
        result.status = ReadStatus::BadLine;
    } else if (lines == 0) {
        result.status = ReadStatus::Empty;
    } else {
        result.status = ReadStatus::Loaded;
        result.run.buffer = std::move(codes);
        if (limited) result.run.count = static_cast<int16_t>(lines);
    }
    return result;
}

}  // namespace

ReadResult ParseRun(std::istream& in, Form form) {
    return Parse(in, form, true);
}

ReadResult ParseRun(std::string_view text, Form form) {
    std::istringstream in{std::string(text)};
    return ParseRun(in, form);
}

ReadResult ReadRunFile(const std::filesystem::path& path, Form form) {
    ReadResult result;
    result.status = ReadStatus::CannotOpen;
    // Devices and pipes can be endless: only plain files (or links to them) are data files.
    std::error_code error;
    if (path.empty() || !std::filesystem::is_regular_file(path, error)) return result;
    std::ifstream in(path, std::ios::binary);
    if (!in) return result;
    return ParseRun(in, form);
}

ReadResult ParseLongRun(std::istream& in, Form form) {
    return Parse(in, form, false);
}

std::vector<int32_t> CodesOf(const Run& run) {
    std::vector<int32_t> codes;
    codes.reserve(run.buffer.size());
    // The parser holds whole 32-bit numbers only.
    for (size_t i = 1; i < run.buffer.size(); ++i)
        codes.push_back(static_cast<int32_t>(run.buffer[i]));
    return codes;
}

}  // namespace kx::datafile
