#include "files/datafile.h"

#include "core/safe_file.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
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

namespace {

// A plain decimal line (blanks, a sign, up to ten digits, blanks), as nearly every data file is
// written: nullopt for anything else, which the full reader then reads.
std::optional<int32_t> PlainDecimal(const char* at, const char* end) {
    while (at < end && (*at == ' ' || *at == '\t'))
        ++at;
    const bool negative = at < end && *at == '-';
    if (at < end && (*at == '-' || *at == '+')) ++at;
    const char* digits = at;
    int64_t value = 0;
    while (at < end && static_cast<unsigned char>(*at - '0') < 10 && at - digits < 10)
        value = value * 10 + (*at++ - '0');
    if (at == digits) return std::nullopt;
    while (at < end && (*at == ' ' || *at == '\t'))
        ++at;
    if (at != end) return std::nullopt;
    if (negative) value = -value;
    if (value < std::numeric_limits<int32_t>::min() || value > std::numeric_limits<int32_t>::max())
        return std::nullopt;
    return static_cast<int32_t>(value);
}

// Whole plain decimal lines from `at` on, each ended by LF or CR LF, read in one sweep without
// looking for the line end first: their codes go to `codes`. Returns where the first other line
// (or an unfinished one) starts, for the full reader.
const char* PlainDecimalLines(const char* at, const char* end, std::vector<int32_t>& codes,
                              int64_t& lines) {
    for (;;) {
        const char* p = at;
        while (p < end && (*p == ' ' || *p == '\t'))
            ++p;
        const bool negative = p < end && *p == '-';
        if (p < end && (*p == '-' || *p == '+')) ++p;
        const char* digits = p;
        int64_t value = 0;
        while (p < end && static_cast<unsigned char>(*p - '0') < 10 && p - digits < 10)
            value = value * 10 + (*p++ - '0');
        if (p == digits) return at;
        while (p < end && (*p == ' ' || *p == '\t'))
            ++p;
        if (p < end && *p == '\r') ++p;
        if (p >= end || *p != '\n' || size_t(p - at) > MaxLineLength) return at;
        if (negative) value = -value;
        if (value < std::numeric_limits<int32_t>::min() ||
            value > std::numeric_limits<int32_t>::max())
            return at;
        codes.push_back(static_cast<int32_t>(value));
        ++lines;
        at = p + 1;
    }
}

}  // namespace

StreamResult StreamLongRun(const ByteSource& source, Form form, const CodeBatch& onCodes) {
    // Large reads, and room for a whole line of MaxLineLength after any remainder.
    constexpr size_t Chunk = size_t(1) << 20;
    std::vector<char> buffer(Chunk + MaxLineLength + 2);
    std::vector<int32_t> batch;
    batch.reserve(Chunk / 4);
    StreamResult result;
    size_t kept = 0;  // bytes of an unfinished line at the buffer's start
    bool atEnd = false;
    const auto flush = [&] {
        if (!batch.empty()) onCodes(batch);
        batch.clear();
    };
    const auto finish = [&](ReadStatus status) {
        flush();
        result.status = status;
        return result;
    };
    while (!atEnd) {
        const std::ptrdiff_t got = source(buffer.data() + kept, buffer.size() - kept);
        if (got < 0) {
            result.error = errno;
            return finish(ReadStatus::CannotOpen);
        }
        atEnd = got == 0;
        const char* at = buffer.data();
        const char* const end = buffer.data() + kept + static_cast<size_t>(got);
        for (;;) {
            if (form == Form::Decimal) {
                at = PlainDecimalLines(at, end, batch, result.lineCount);
                if (at == end) break;
            }
            const auto* newline = static_cast<const char*>(std::memchr(at, '\n', size_t(end - at)));
            if (!newline && !(atEnd && at < end)) {
                // An unfinished line: kept for the next read, unless it is already too long.
                if (size_t(end - at) > MaxLineLength) {
                    ++result.lineCount;
                    result.badLine = result.lineCount;
                    return finish(ReadStatus::BadLine);
                }
                break;
            }
            const char* const lineEnd = newline ? newline : end;
            const char* stop = lineEnd;
            if (stop > at && stop[-1] == '\r') --stop;
            if (stop == at && result.lineCount > 0) return finish(ReadStatus::Loaded);
            ++result.lineCount;
            std::optional<int32_t> code;
            if (size_t(lineEnd - at) > MaxLineLength) {
                code = std::nullopt;  // the line reader stops in such a line
            } else if (form == Form::Decimal) {
                code = PlainDecimal(at, stop);
                if (!code)
                    if (const auto slow = DecimalCode({at, size_t(stop - at)}))
                        code = static_cast<int32_t>(*slow);
            } else if (const auto hex = HexCode({at, size_t(stop - at)})) {
                code = static_cast<int32_t>(*hex);
            }
            if (!code) {
                result.badLine = result.lineCount;
                return finish(ReadStatus::BadLine);
            }
            batch.push_back(*code);
            at = newline ? newline + 1 : end;
            if (at == end) break;
        }
        kept = size_t(end - at);
        std::memmove(buffer.data(), at, kept);
        flush();
    }
    return finish(result.lineCount > 0 ? ReadStatus::Loaded : ReadStatus::Empty);
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
