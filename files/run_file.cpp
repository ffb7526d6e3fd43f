#include "files/run_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <chrono>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <limits>
#include <nlohmann/json.hpp>
#include <sstream>
#include <tuple>
#include <utility>

#include "acquisition/settings.h"
#include "board/serial.h"
#include "converter/adc_control_fields.h"
#include "converter/control_logic.h"
#include "converter/filter_logic.h"
#include "converter/mode_logic.h"
#include "core/large_pages.h"
#include "core/numtext.h"
#include "core/safe_file.h"
#include "files/datafile.h"

namespace kx::files {

namespace {

std::string FormatDouble(const char* format, double value) {
    char text[64];
    std::snprintf(text, sizeof text, format, value);
    return text;
}

std::string PolarityName(int32_t adcControl) {
    return adc::IsUnipolar(adcControl) ? "unipolar" : "bipolar";
}

// A capture's registers (zero where the run does not know them).
struct Registers {
    int32_t mode = 0;
    int32_t adcControl = 0;
    int32_t filter = 0;
    explicit Registers(const Run& run)
        : mode(run.mode.value_or(0)),
          adcControl(run.adcControl.value_or(0)),
          filter(run.filter.value_or(0)) {}
    double rate() const { return filter > 0 ? UpdateRate(filter, ChopEnabledIn(mode)) : 0.0; }
};

// ISO 8601 in UTC, to the second.
std::string StartedText(const Run& run) {
    if (!run.taken) return {};
    const std::time_t when = std::chrono::system_clock::to_time_t(*run.taken);
    std::tm utc{};
    gmtime_r(&when, &utc);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &utc);
    return text;
}

// The board, last in a CSV capture's settings line: its words hold no comma.
std::string BoardField(const Run& run) {
    if (run.board.empty() || run.board.find_first_of(",\r\n") != std::string::npos) return {};
    return ", board=" + run.board;
}

std::string FilterText(int32_t filter) {
    char word[8];
    std::snprintf(word, sizeof word, "0x%02X", static_cast<unsigned>(filter & 0xFF));
    return word;
}

std::string CsvHead(const Run& run) {
    const Registers r(run);
    return "# kx3105 capture: range=" + RangeName(adc::RangeCode(r.adcControl)) +
           ", polarity=" + PolarityName(r.adcControl) +
           ", ref=" + FormatDouble("%g", run.referenceVolts) +
           ", rate_hz=" + FormatDouble("%.2f", r.rate()) + ", filter=" + FilterText(r.filter) +
           ", chop=" + (ChopEnabledIn(r.mode) ? "on" : "off") +
           ", channel=" + ChannelName(adc::ChannelCode(r.adcControl)) +
           ", started=" + StartedText(run) + BoardField(run) + "\n" + "index,time_s,code,volts\n";
}

// The JSON object with its settings, split where the codes go: the keys are written in
// nlohmann-json's order, so the codes sit between "chop" and "filter".
std::pair<std::string, std::string> JsonHeadAndTail(const Run& run) {
    nlohmann::json j = CaptureSettings(run);
    if (!run.board.empty()) j["board"] = run.board;
    j["codes"] = nlohmann::json::array();
    const std::string text = j.dump();
    const std::string codes = "\"codes\":[";
    const size_t at = text.find(codes) + codes.size();
    return {text.substr(0, at), text.substr(at) + "\n"};
}

// A "name=value" setting from a CSV capture's first line.
std::optional<std::string> CsvSetting(const std::string& line, const std::string& name) {
    const std::string key = name + "=";
    size_t at = line.find(key);
    while (at != std::string::npos && at > 0 && line[at - 1] != ' ' && line[at - 1] != ':')
        at = line.find(key, at + 1);
    if (at == std::string::npos) return std::nullopt;
    const size_t start = at + key.size();
    const size_t end = line.find(',', start);
    return line.substr(start, end == std::string::npos ? std::string::npos : end - start);
}

// A capture's value that the option of its name would refuse: held to the same bounds.
struct Refused {
    std::string why;
};

[[noreturn]] void Refuse(const std::string& name, const std::string& takes,
                         const std::string& typed) {
    throw Refused{name + " takes " + takes + ", not '" + typed + "'"};
}

constexpr const char* CodeBounds = "0 to 16777215, or -2147483648 for a failed read";

// A code as the converter gives it: 24 bits, or the time-out marker of a failed read.
int32_t CodeWithin(long double value, const std::string& typed) {
    if (value == static_cast<long double>(TimeoutMarker)) return TimeoutMarker;
    if (!(value >= 0 && value <= static_cast<long double>(MaxConverterCode)))
        Refuse("code", CodeBounds, typed);
    return static_cast<int32_t>(value);
}

// The moment a capture names as started, ISO 8601 in UTC to the second; nullopt for another text.
std::optional<std::chrono::system_clock::time_point> StartedFrom(const std::string& text) {
    std::tm utc{};
    char zone = 0;
    if (std::sscanf(text.c_str(), "%4d-%2d-%2dT%2d:%2d:%2d%c", &utc.tm_year, &utc.tm_mon,
                    &utc.tm_mday, &utc.tm_hour, &utc.tm_min, &utc.tm_sec, &zone) != 7 ||
        zone != 'Z' || utc.tm_mon < 1 || utc.tm_mon > 12 || utc.tm_mday < 1 || utc.tm_mday > 31 ||
        utc.tm_hour >= 24 || utc.tm_min >= 60 || utc.tm_sec > 60)
        return std::nullopt;
    utc.tm_year -= 1900;
    utc.tm_mon -= 1;
    // The clock counts nanoseconds: a start beyond its span (before 1678, after 2261) would
    // overflow it, and is not known rather than wrong.
    using Clock = std::chrono::system_clock;
    const time_t seconds = timegm(&utc);
    const auto limit = std::chrono::duration_cast<std::chrono::seconds>(Clock::duration::max());
    if (!(seconds > -limit.count() && seconds < limit.count())) return std::nullopt;
    return Clock::from_time_t(seconds);
}

// The settings a capture names, each as its option takes it, kept so that a loaded capture is
// written again as it was taken: the channel (when the range and polarity gave the ADC control
// register), the filter word, chopping (the mode register's CHOP bit; the rest of that register
// is not known), the start (a start that does not parse says nothing) and the board it came from.
struct NamedSettings {
    std::optional<std::string> range, polarity, ref, rate, filter, chop, channel, started, board;

    void Into(Run& run) const {
        std::optional<int> rangeCode;
        std::optional<bool> unipolar;
        if (range && !(rangeCode = RangeCodeByName(*range)))
            Refuse("range", AllowedText(SettingId::Range), *range);
        if (polarity && !(unipolar = UnipolarByName(*polarity)))
            Refuse("polarity", "bipolar or unipolar", *polarity);
        if (channel && !ChannelCodeByName(*channel)) Refuse("channel", "an input pair", *channel);
        if (chop && *chop != "on" && *chop != "off") Refuse("chop", "on or off", *chop);
        std::optional<uint32_t> word;
        if (filter && !(word = ParseHexValue(*filter, MaxFilterWord)))
            Refuse("filter", "a hexadecimal byte", *filter);
        if (ref) {
            // Held as the option holds it, in single precision: 1e39 and 1e-300 have no such value.
            const auto volts = ParseDecimal(*ref);
            if (!volts || !(*volts > 0) || !(*volts <= std::numeric_limits<float>::max()) ||
                !(static_cast<float>(*volts) > 0))
                Refuse("ref", "a positive number of volts", *ref);
            run.referenceVolts = static_cast<float>(*volts);
        }
        std::optional<double> hz;
        if (rate) {
            hz = ParseDecimal(*rate);
            // 0 is the rate of filter word 0, which sets none.
            if (!hz || !(*hz == 0 || (*hz >= MinRunRateHz && *hz <= MaxRunRateHz)))
                Refuse("rate_hz", "0 or a number of hertz from 0.001 to 1000000", *rate);
        }
        if (rangeCode && unipolar) run.adcControl = *rangeCode | (*unipolar ? adc::UnipolarBit : 0);
        if (channel && run.adcControl)
            run.adcControl = control::WithChannel(*run.adcControl, *ChannelCodeByName(*channel));
        if (word) run.filter = static_cast<int32_t>(*word);
        if (chop) run.mode = *chop == "on" ? 0 : mode::ChopBit;
        if (started) run.taken = StartedFrom(*started);
        run.board = board.value_or("");
        // The rate exact from the filter word and chop state, else the rounded rate_hz.
        if (word && *word > 0 && chop)
            run.rateHz = UpdateRate(static_cast<int>(*word), *chop == "on");
        else if (hz && *hz > 0)
            run.rateHz = *hz;
    }
};

// Loads a CSV capture; throws Refused, the line named, for a line or value it cannot take.
void LoadCsv(const std::string& text, Run& run) {
    std::istringstream lines(text);
    std::string line;
    bool header = false;
    int64_t number = 0;
    while (std::getline(lines, line)) {
        ++number;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.empty()) continue;
        try {
            if (line[0] == '#') {
                NamedSettings{CsvSetting(line, "range"),   CsvSetting(line, "polarity"),
                              CsvSetting(line, "ref"),     CsvSetting(line, "rate_hz"),
                              CsvSetting(line, "filter"),  CsvSetting(line, "chop"),
                              CsvSetting(line, "channel"), CsvSetting(line, "started"),
                              CsvSetting(line, "board")}
                    .Into(run);
                continue;
            }
            if (!header) {
                if (line.rfind("index,", 0) != 0)
                    throw Refused{"not the header index,time_s,code,volts"};
                header = true;
                continue;
            }
            // index,time_s,code,volts
            std::istringstream fields(line);
            std::string field;
            int taken = 0;
            for (; taken < 3 && std::getline(fields, field, ','); ++taken) {
            }
            long long code = 0;
            const auto [end, error] =
                std::from_chars(field.data(), field.data() + field.size(), code);
            if (taken < 3 || error == std::errc::invalid_argument ||
                end != field.data() + field.size())
                throw Refused{"no code in its third field"};
            run.codes.push_back(CodeWithin(error == std::errc() ? code : 1e30L, field));
        } catch (const Refused& r) {
            throw Refused{"line " + std::to_string(number) + ": " + r.why};
        }
    }
}

// The line of a JSON text on which the value of a top-level key starts, or (item >= 0) the
// item'th element of that value's array: to name a refused value. 1 when there is none.
int64_t JsonLineOf(const std::string& text, const std::string& key, int64_t item) {
    int64_t line = 1;
    int depth = 0;
    bool inString = false, escaped = false;
    std::string lastString;
    bool member = false;       // in the value of `key`
    bool valueNext = false;    // the value of `key` starts at the next token
    int64_t element = -1;      // element of its array, counting
    bool elementNext = false;  // an element starts at the next token
    for (const char c : text) {
        if (c == '\n') ++line;
        if (inString) {
            if (escaped) {
                escaped = false;
            } else if (c == '\\') {
                escaped = true;
            } else if (c == '"') {
                inString = false;
            } else {
                lastString += c;
            }
            continue;
        }
        if (c == ' ' || c == '\t' || c == '\r' || c == '\n') continue;
        if (valueNext) {
            valueNext = false;
            if (item < 0) return line;
        }
        if (elementNext && c != ']') {
            elementNext = false;
            if (element == item) return line;
        }
        switch (c) {
            case '"':
                inString = true;
                lastString.clear();
                break;
            case ':':
                if (depth == 1) {
                    member = lastString == key;
                    valueNext = member;
                }
                break;
            case '{':
            case '[':
                ++depth;
                if (depth == 2 && member && c == '[') {
                    element = 0;
                    elementNext = true;
                }
                break;
            case '}':
            case ']':
                --depth;
                break;
            case ',':
                if (depth == 1) member = false;
                if (depth == 2 && member) {
                    ++element;
                    elementNext = true;
                }
                break;
            default:
                break;
        }
    }
    return 1;
}

// Loads a JSON capture; throws Refused, the line named, for a value it cannot take.
void LoadJson(const std::string& text, Run& run) {
    const auto j = nlohmann::json::parse(text, nullptr, false);
    if (j.is_discarded()) throw Refused{"not JSON"};
    if (!j.is_object() || !j.contains("codes") || !j["codes"].is_array())
        throw Refused{"no array of codes"};
    const auto refuse = [&](const std::string& key, int64_t item, const std::string& why) {
        throw Refused{"line " + std::to_string(JsonLineOf(text, key, item)) + ": " + why};
    };
    const nlohmann::json& codes = j["codes"];
    run.codes.reserve(codes.size());
    for (size_t i = 0; i < codes.size(); ++i) {
        const nlohmann::json& code = codes[i];
        try {
            if (!code.is_number_integer()) Refuse("code", CodeBounds, code.dump());
            run.codes.push_back(CodeWithin(code.is_number_unsigned()
                                               ? static_cast<long double>(code.get<uint64_t>())
                                               : static_cast<long double>(code.get<int64_t>()),
                                           code.dump()));
        } catch (const Refused& r) {
            refuse("codes", static_cast<int64_t>(i), r.why);
        }
    }
    // Each setting as the text its option would be given: strings as they are, numbers printed.
    const auto value = [&](const char* key, bool number) -> std::optional<std::string> {
        if (!j.contains(key)) return std::nullopt;
        const nlohmann::json& v = j[key];
        if (number ? !v.is_number() : !v.is_string())
            Refuse(key, number ? "a number" : "a text", v.dump());
        return number ? v.dump() : v.get<std::string>();
    };
    try {
        NamedSettings settings;
        settings.range = value("range", false);
        settings.polarity = value("polarity", false);
        settings.ref = value("ref", true);
        settings.rate = value("rate_hz", true);
        settings.filter = value("filter", false);
        settings.chop = value("chop", false);
        settings.channel = value("channel", false);
        settings.started = value("started", false);
        settings.board = value("board", false);
        settings.Into(run);
    } catch (const Refused& r) {
        // Name the setting's own line: the key is the first word of the reason.
        refuse(r.why.substr(0, r.why.find(' ')), -1, r.why);
    }
}

// The file a run is read from, or standard input for "-", read in large pieces; or a text already
// read. Devices and pipes can be endless: only plain files (or links to them) are opened by name.
class Input {
public:
    Input() = default;
    ~Input() {
        if (fd_ > STDIN_FILENO) close(fd_);
    }
    Input(const Input&) = delete;
    Input& operator=(const Input&) = delete;

    bool Open(const std::string& path, std::string& why) {
        name_ = path == "-" ? "standard input" : Quoted(path);
        if (path == "-") {
            fd_ = STDIN_FILENO;
            return true;
        }
        struct stat info {};
        if (stat(path.c_str(), &info) != 0) return Failed(why, "cannot open ");
        if (!S_ISREG(info.st_mode)) {
            why = "cannot open " + name_ + ": not a regular file";
            return false;
        }
        size_ = static_cast<uint64_t>(info.st_size);
        fd_ = open(path.c_str(), O_RDONLY | O_CLOEXEC);
        return fd_ >= 0 || Failed(why, "cannot open ");
    }

    void OpenText(std::string_view text, const std::string& name) {
        text_ = text;
        name_ = name;
        size_ = text.size();
    }

    // Up to `size` bytes: how many, 0 at the end, -1 on an error (errno set).
    ptrdiff_t Read(char* into, size_t size) {
        if (text_) {
            const size_t n = std::min(size, text_->size());
            std::memcpy(into, text_->data(), n);
            text_->remove_prefix(n);
            return static_cast<ptrdiff_t>(n);
        }
        for (;;) {
            const ssize_t n = read(fd_, into, size);
            if (n >= 0 || errno != EINTR) return n;
        }
    }

    // Appends the rest of the input to text.
    bool ReadRest(std::string& text, std::string& why) {
        size_t used = text.size();
        text.resize(std::max<size_t>(used + 65536, size_ + 1));
        for (;;) {
            if (used == text.size()) text.resize(text.size() * 2);
            const ptrdiff_t n = Read(text.data() + used, text.size() - used);
            if (n < 0) return Failed(why);
            if (n == 0) break;
            used += static_cast<size_t>(n);
        }
        text.resize(used);
        return true;
    }

    // False with the reason errno gives, naming the input.
    bool Failed(std::string& why, const char* doing = "cannot read ") const {
        why = doing + name_ + ": " + SystemReason(errno);
        return false;
    }

    const std::string& name() const { return name_; }
    uint64_t size() const { return size_; }

private:
    int fd_ = -1;
    std::optional<std::string_view> text_;
    std::string name_;
    uint64_t size_ = 0;
};

}  // namespace

nlohmann::json CaptureSettings(const Run& run) {
    const Registers r(run);
    return {{"range", RangeName(adc::RangeCode(r.adcControl))},
            {"polarity", PolarityName(r.adcControl)},
            {"ref", static_cast<double>(run.referenceVolts)},
            {"rate_hz", r.rate()},
            {"filter", FilterText(r.filter)},
            {"chop", ChopEnabledIn(r.mode) ? "on" : "off"},
            {"channel", ChannelName(adc::ChannelCode(r.adcControl))},
            {"started", StartedText(run)}};
}

RunWriter::RunWriter(RunFormat format, bool hex, const Run& settings, Sink sink)
    : format_(format),
      hex_(hex),
      scaling_(Scaling::Of(settings.adcControl.value_or(0), settings.referenceVolts)),
      sink_(std::move(sink)) {
    if (format == RunFormat::Csv) buffer_ = CsvHead(settings);
    if (format == RunFormat::Json) std::tie(buffer_, tail_) = JsonHeadAndTail(settings);
}

bool RunWriter::Add(int32_t code, double seconds) {
    if (failed_) return false;
    ++written_;
    switch (format_) {
        case RunFormat::Dat:
            buffer_ +=
                datafile::CodeLine(code, hex_ ? datafile::Form::Hex : datafile::Form::Decimal);
            buffer_ += "\r\n";
            break;
        case RunFormat::Csv: {
            char line[96];
            std::snprintf(line, sizeof line, "%lld,%.6f,%d,%.9g\n",
                          static_cast<long long>(written_), seconds, code,
                          scaling_.CodeToVolts(code));
            buffer_ += line;
            break;
        }
        case RunFormat::Json:
            if (written_ > 1) buffer_ += ',';
            buffer_ += std::to_string(code);
            break;
    }
    return buffer_.size() < 65536 || Flush();
}

bool RunWriter::Flush() {
    if (!failed_ && !buffer_.empty()) failed_ = !sink_(buffer_);
    buffer_.clear();
    return !failed_;
}

bool RunWriter::Finish() {
    buffer_ += tail_;
    tail_.clear();
    return Flush();
}

std::string RunText(RunFormat format, bool hex, const Run& run,
                    const std::vector<double>& seconds) {
    std::string text;
    RunWriter writer(format, hex, run, [&text](std::string_view piece) {
        text += piece;
        return true;
    });
    for (size_t i = 0; i < run.codes.size(); ++i)
        writer.Add(run.codes[i], i < seconds.size() ? seconds[i] : 0.0);
    writer.Finish();
    return text;
}

bool ReadInputText(const std::string& path, std::string& text, std::string& why) {
    Input in;
    if (!in.Open(path, why)) return false;
    text.clear();
    return in.ReadRest(text, why);
}

namespace {

bool StreamFrom(Input& in, bool hex, Run& run, const datafile::CodeBatch& onCodes,
                std::string& why) {
    run = Run{};
    // Enough of the start to tell the form: its first character that is not blank, and the
    // sixteen of "# kx3105 capture".
    std::string head;
    for (;;) {
        const size_t had = head.size();
        head.resize(had + 65536);
        const ptrdiff_t got = in.Read(head.data() + had, 65536);
        if (got < 0) return in.Failed(why);
        head.resize(had + static_cast<size_t>(got));
        if (got == 0 || (head.size() >= 16 && head.find_first_not_of(" \t\r\n") != head.npos))
            break;
    }
    const size_t first = head.find_first_not_of(" \t\r\n");
    const bool json = first != std::string::npos && head[first] == '{';
    const bool csv = head.rfind("# kx3105 capture", 0) == 0 || head.rfind("index,", 0) == 0;
    if (json || csv) {
        if (!in.ReadRest(head, why)) return false;
        try {
            json ? LoadJson(head, run) : LoadCsv(head, run);
        } catch (const Refused& r) {
            why = in.name() + " is not a whole kx3105 " + (json ? "JSON" : "CSV") +
                  " capture: " + r.why;
            return false;
        }
        if (run.codes.empty()) {
            why = in.name() + " holds no codes";
            return false;
        }
        onCodes(run.codes);
        run.codes.clear();
        run.codes.shrink_to_fit();
        return true;
    }
    // A data file, read as it comes: what was read to tell the form first.
    size_t served = 0;
    const auto source = [&](char* into, size_t size) -> ptrdiff_t {
        if (served < head.size()) {
            const size_t n = std::min(size, head.size() - served);
            std::memcpy(into, head.data() + served, n);
            served += n;
            return static_cast<ptrdiff_t>(n);
        }
        return in.Read(into, size);
    };
    const datafile::Form form = hex ? datafile::Form::Hex : datafile::Form::Decimal;
    const auto result = datafile::StreamLongRun(source, form, onCodes);
    switch (result.status) {
        case datafile::ReadStatus::Loaded:
            return true;
        case datafile::ReadStatus::BadLine:
            why = "Error Reading File: " + in.name() + " line " + std::to_string(result.badLine) +
                  " is not a " + (hex ? "hexadecimal" : "decimal") + " code";
            return false;
        case datafile::ReadStatus::CannotOpen:
            errno = result.error;
            return in.Failed(why);
        default:
            why = in.name() + " holds no codes";
            return false;
    }
}

// The whole run of an input, its codes kept.
bool LoadFrom(Input& in, bool hex, Run& run, std::string& why) {
    std::vector<int32_t> codes;
    const bool loaded = StreamFrom(
        in, hex, run,
        [&](std::span<const int32_t> batch) {
            // A data file's line is at least a few characters: no copying as the run grows.
            if (codes.empty()) {
                codes.reserve(std::max<size_t>(batch.size(), in.size() / 8 + 1));
                AdviseLargePages(codes.data(), codes.capacity() * sizeof(int32_t));
            }
            codes.insert(codes.end(), batch.begin(), batch.end());
        },
        why);
    run.codes = std::move(codes);
    return loaded;
}

}  // namespace

bool StreamRun(const std::string& path, bool hex, Run& run, const datafile::CodeBatch& onCodes,
               std::string& why, uint64_t* sizeHint) {
    Input in;
    if (!in.Open(path, why)) return false;
    if (sizeHint) *sizeHint = in.size();
    return StreamFrom(in, hex, run, onCodes, why);
}

bool LoadRun(const std::string& path, bool hex, Run& run, std::string& why) {
    Input in;
    return in.Open(path, why) && LoadFrom(in, hex, run, why);
}

bool RunFromText(const std::string& text, const std::string& name, bool hex, Run& run,
                 std::string& why) {
    Input in;
    in.OpenText(text, name);
    return LoadFrom(in, hex, run, why);
}

}  // namespace kx::files
