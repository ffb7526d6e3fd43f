#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <istream>
#include <span>
#include <string>
#include <string_view>
#include <vector>

// The data file: one code per line, CR LF after every line (the last one included), no header.
// Decimal lines carry a blank before a zero or positive code and a minus before a negative one;
// hexadecimal lines are upper-case digits without prefix, blank or leading zeros. Nothing in the
// file says which form it is in: the user tells the reader.

namespace kx::datafile {

enum class Form { Decimal, Hex };

// Most codes one file may load.
inline constexpr int MaxCodes = 5000;

// ---- Writing ----

// One code as its line, without the line end: " 8388620", "-5", "80000C", "0". A negative code
// is 32-bit two's complement in hex (the time-out marker is 80000000).
std::string CodeLine(int32_t code, Form form);

// The whole file for a run's codes: one line each, ended by CR LF; empty for no codes.
std::string RunText(std::span<const int32_t> codes, Form form);

enum class WriteStatus {
    Written,
    CannotCreate,  // not created: empty or bad name, missing directory, FIFO, directory, device
    WriteFailed,   // writing failed part-way (disk full): nothing is left under the name, and an
                   // earlier file of that name is unchanged
};

// Writes the codes to the file, replacing one of that name, atomically.
WriteStatus WriteRunFile(const std::filesystem::path& path, std::span<const int32_t> codes,
                         Form form);

// ---- Reading ----

enum class ReadStatus {
    Loaded,        // run holds the new codes
    CannotOpen,    // missing or unreadable file: nothing loaded, no message
    Empty,         // the file holds nothing: nothing loaded, no message
    TooManyCodes,  // more than MaxCodes lines before the first empty line: nothing loaded
    BadLine,       // a line is not a code in the chosen form: nothing loaded
};

// A run read from a file. buffer has positions 0..count, position 0 is 0 and holds no code.
struct Run {
    std::vector<double> buffer{0.0};
    int16_t count = 0;
};

struct ReadResult {
    ReadStatus status = ReadStatus::Empty;
    Run run;            // meaningful only when status is Loaded
    int lineCount = 0;  // lines counted: to the first empty line, past MaxCodes or an overlong line
    int badLine = 0;    // 1-based number of the first unreadable line, for BadLine
};

// Reads lines up to the end or the first empty line. Lines end with CR LF or LF alone.
// Decimal: blanks around allowed, a fraction rounds half to even, the result must fit 32 bits.
// Hex: 1 to 8 digits in either case, any spelling of zero; eight digits from 80000000 up are
// negative (32-bit two's complement: FFFFFFFF is -1), as the writer prints negative codes.
// A NUL or other byte that belongs to no number makes its line unreadable.
ReadResult ParseRun(std::istream& in, Form form);
ReadResult ParseRun(std::string_view text, Form form);

// Opens the file and parses it; CannotOpen when it cannot be opened or is no plain file.
ReadResult ReadRunFile(const std::filesystem::path& path, Form form);

// The same lines without the MaxCodes limit, for the command-line tool and runs of any length,
// read as they come: neither the text nor the codes are kept. `source` fills up to `size` bytes
// and returns how many (0 at the end; -1 on a read error, errno set); `onCodes` gets the codes in
// order, a batch at a time. The first bad line ends the reading. A plain line (blanks, a sign,
// up to ten digits) is read on a fast path; every other line as ParseRun reads it.
using ByteSource = std::function<std::ptrdiff_t(char* into, size_t size)>;
using CodeBatch = std::function<void(std::span<const int32_t> codes)>;
struct StreamResult {
    ReadStatus status = ReadStatus::Empty;  // Loaded, Empty, BadLine, or CannotOpen (read error)
    int64_t lineCount = 0;
    int64_t badLine = 0;
    int error = 0;  // errno of a read error
};
StreamResult StreamLongRun(const ByteSource& source, Form form, const CodeBatch& onCodes);

// The codes of a loaded run, in order.
std::vector<int32_t> CodesOf(const Run& run);

}  // namespace kx::datafile
