#include "files/run_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <ctime>
#include <fstream>
#include <iostream>
#include <nlohmann/json.hpp>
#include <sstream>
#include <tuple>
#include <utility>

#include "acquisition/settings.h"
#include "converter/adc_control_fields.h"
#include "converter/control_logic.h"
#include "converter/filter_logic.h"
#include "converter/mode_logic.h"
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

bool SettingsFrom(const std::optional<std::string>& range,
                  const std::optional<std::string>& polarity, const std::optional<double>& ref,
                  Run& run) {
    if (range && polarity) {
        const auto code = RangeCodeByName(*range);
        const auto unipolar = UnipolarByName(*polarity);
        if (!code || !unipolar) return false;
        run.adcControl = *code | (*unipolar ? adc::UnipolarBit : 0);
    }
    if (ref) {
        if (!(*ref > 0) || !std::isfinite(*ref)) return false;
        run.referenceVolts = static_cast<float>(*ref);
    }
    return true;
}

// The rate a capture was taken at: exact from its filter word and chop state, else its rounded
// rate_hz. A rate of 0 (no filter word) says nothing.
void RateFrom(const std::optional<std::string>& filter, const std::optional<std::string>& chop,
              const std::optional<std::string>& rate, Run& run) {
    const auto word = filter ? ParseHexValue(*filter, MaxFilterWord) : std::nullopt;
    if (word && *word > 0 && chop && (*chop == "on" || *chop == "off")) {
        run.rateHz = UpdateRate(static_cast<int>(*word), *chop == "on");
        return;
    }
    if (!rate) return;
    try {
        const double hz = std::stod(*rate);
        if (hz > 0 && std::isfinite(hz)) run.rateHz = hz;
    } catch (const std::exception&) {
    }
}

// The rest a capture names, kept so that a loaded capture is written again as it was taken: the
// channel (when the range and polarity gave the ADC control register), the filter word, chopping
// (the mode register's CHOP bit; the rest of that register is not known) and the start. A value
// that does not parse says nothing.
void RegistersFrom(const std::optional<std::string>& channel,
                   const std::optional<std::string>& filter, const std::optional<std::string>& chop,
                   const std::optional<std::string>& started, Run& run) {
    if (const auto code = channel ? ChannelCodeByName(*channel) : std::nullopt;
        code && run.adcControl)
        run.adcControl = control::WithChannel(*run.adcControl, *code);
    if (const auto word = filter ? ParseHexValue(*filter, MaxFilterWord) : std::nullopt)
        run.filter = static_cast<int32_t>(*word);
    if (chop && (*chop == "on" || *chop == "off")) run.mode = *chop == "on" ? 0 : mode::ChopBit;
    std::tm utc{};
    char zone = 0;
    if (started &&
        std::sscanf(started->c_str(), "%4d-%2d-%2dT%2d:%2d:%2d%c", &utc.tm_year, &utc.tm_mon,
                    &utc.tm_mday, &utc.tm_hour, &utc.tm_min, &utc.tm_sec, &zone) == 7 &&
        zone == 'Z' && utc.tm_mon >= 1 && utc.tm_mon <= 12 && utc.tm_mday >= 1 &&
        utc.tm_mday <= 31 && utc.tm_hour < 24 && utc.tm_min < 60 && utc.tm_sec <= 60) {
        utc.tm_year -= 1900;
        utc.tm_mon -= 1;
        // The clock counts nanoseconds: a start beyond its span (before 1678, after 2261) would
        // overflow it, and is not known rather than wrong.
        using Clock = std::chrono::system_clock;
        const time_t seconds = timegm(&utc);
        const auto limit = std::chrono::duration_cast<std::chrono::seconds>(Clock::duration::max());
        if (seconds > -limit.count() && seconds < limit.count())
            run.taken = Clock::from_time_t(seconds);
    }
}

// A code as a capture holds it: a whole 32-bit number.
bool CodeFrom(long long value, Run& run) {
    if (value < INT32_MIN || value > INT32_MAX) return false;
    run.codes.push_back(static_cast<int32_t>(value));
    return true;
}

bool LoadCsv(const std::string& text, Run& run) {
    std::istringstream lines(text);
    std::string line;
    bool header = false;
    while (std::getline(lines, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.empty()) continue;
        if (line[0] == '#') {
            std::optional<double> ref;
            if (auto r = CsvSetting(line, "ref")) {
                try {
                    ref = std::stod(*r);
                } catch (const std::exception&) {
                    return false;
                }
            }
            if (!SettingsFrom(CsvSetting(line, "range"), CsvSetting(line, "polarity"), ref, run))
                return false;
            RateFrom(CsvSetting(line, "filter"), CsvSetting(line, "chop"),
                     CsvSetting(line, "rate_hz"), run);
            RegistersFrom(CsvSetting(line, "channel"), CsvSetting(line, "filter"),
                          CsvSetting(line, "chop"), CsvSetting(line, "started"), run);
            run.board = CsvSetting(line, "board").value_or("");
            continue;
        }
        if (!header) {
            if (line.rfind("index,", 0) != 0) return false;
            header = true;
            continue;
        }
        // index,time_s,code,volts
        std::istringstream fields(line);
        std::string field;
        for (int i = 0; i < 3 && std::getline(fields, field, ','); ++i) {
        }
        try {
            size_t used = 0;
            const long long code = std::stoll(field, &used);
            if (used != field.size() || !CodeFrom(code, run)) return false;
        } catch (const std::exception&) {
            return false;
        }
    }
    return true;
}

bool LoadJson(const std::string& text, Run& run) {
    const auto j = nlohmann::json::parse(text, nullptr, false);
    if (j.is_discarded() || !j.is_object() || !j.contains("codes") || !j["codes"].is_array())
        return false;
    for (const auto& code : j["codes"]) {
        if (!code.is_number_integer() || !CodeFrom(code.get<long long>(), run)) return false;
    }
    auto text_of = [&](const char* key) -> std::optional<std::string> {
        if (j.contains(key) && j[key].is_string()) return j[key].get<std::string>();
        return std::nullopt;
    };
    std::optional<double> ref;
    if (j.contains("ref") && j["ref"].is_number()) ref = j["ref"].get<double>();
    std::optional<std::string> rate;
    if (j.contains("rate_hz") && j["rate_hz"].is_number())
        rate = std::to_string(j["rate_hz"].get<double>());
    RateFrom(text_of("filter"), text_of("chop"), rate, run);
    if (!SettingsFrom(text_of("range"), text_of("polarity"), ref, run)) return false;
    RegistersFrom(text_of("channel"), text_of("filter"), text_of("chop"), text_of("started"), run);
    run.board = text_of("board").value_or("");
    return true;
}

// The file in one read where it can: a million-code run is read for a spectrum in well under the
// time a stream takes.
bool ReadWhole(const std::string& path, size_t sizeHint, std::string& text) {
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    text.clear();
    text.resize(sizeHint + 1);
    size_t used = 0;
    for (;;) {
        if (used == text.size()) text.resize(text.size() * 2);
        const ssize_t n = read(fd, text.data() + used, text.size() - used);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            const int error = errno;
            close(fd);
            text.resize(used);
            errno = error;
            return n == 0;
        }
        used += static_cast<size_t>(n);
    }
}

// The data file as the tool and the program write it (blanks, a sign, up to ten digits, LF or
// CR LF ends), in one pass over the text. False for anything else, which the data file's own
// reader then takes line by line (and explains); where both read a file they read the same.
bool FastDecimalRun(std::string_view text, std::vector<int32_t>& run) {
    std::vector<int32_t> codes;
    codes.reserve(text.size() / 8 + 1);
    size_t at = 0;
    while (at < text.size()) {
        size_t end = text.find('\n', at);
        if (end == std::string_view::npos) end = text.size();
        size_t stop = end;
        if (stop > at && text[stop - 1] == '\r') --stop;
        if (stop == at) {
            if (codes.empty()) return false;
            break;  // an empty line ends the run
        }
        size_t i = at;
        while (i < stop && (text[i] == ' ' || text[i] == '\t'))
            ++i;
        const bool negative = i < stop && text[i] == '-';
        if (i < stop && (text[i] == '-' || text[i] == '+')) ++i;
        const size_t first = i;
        int64_t value = 0;
        while (i < stop && text[i] >= '0' && text[i] <= '9' && i - first < 10)
            value = value * 10 + (text[i++] - '0');
        if (i == first) return false;
        while (i < stop && (text[i] == ' ' || text[i] == '\t'))
            ++i;
        if (i != stop) return false;
        if (negative) value = -value;
        if (value < INT32_MIN || value > INT32_MAX) return false;
        codes.push_back(static_cast<int32_t>(value));
        at = end + 1;
    }
    if (codes.empty()) return false;  // an empty text: the data file's reader says so
    run = std::move(codes);
    return true;
}

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
    if (path == "-") {
        std::ostringstream all;
        all << std::cin.rdbuf();
        text = all.str();
        return true;
    }
    // Devices and pipes can be endless: only plain files (or links to them) are read.
    struct stat info {};
    if (stat(path.c_str(), &info) != 0) {
        why = "cannot open " + Quoted(path) + ": " + SystemReason(errno);
        return false;
    }
    if (!S_ISREG(info.st_mode)) {
        why = "cannot open " + Quoted(path) + ": not a regular file";
        return false;
    }
    if (!ReadWhole(path, static_cast<size_t>(info.st_size), text)) {
        why = "cannot open " + Quoted(path) + ": " + SystemReason(errno);
        return false;
    }
    return true;
}

bool LoadRun(const std::string& path, bool hex, Run& run, std::string& why) {
    std::string text;
    if (!ReadInputText(path, text, why)) return false;
    return RunFromText(text, path == "-" ? "standard input" : Quoted(path), hex, run, why);
}

bool RunFromText(const std::string& text, const std::string& name, bool hex, Run& run,
                 std::string& why) {
    run = Run{};
    const size_t first = text.find_first_not_of(" \t\r\n");
    const bool json = first != std::string::npos && text[first] == '{';
    const bool csv = text.rfind("# kx3105 capture", 0) == 0 || text.rfind("index,", 0) == 0;
    if (json || csv) {
        if (!(json ? LoadJson(text, run) : LoadCsv(text, run))) {
            why = name + " is not a whole kx3105 " + (json ? "JSON" : "CSV") + " capture";
            return false;
        }
    } else {
        if (!hex && FastDecimalRun(text, run.codes)) return true;  // never empty
        std::istringstream in(text);
        auto result =
            datafile::ParseLongRun(in, hex ? datafile::Form::Hex : datafile::Form::Decimal);
        if (result.status == datafile::ReadStatus::BadLine) {
            why = "Error Reading File: " + name + " line " + std::to_string(result.badLine) +
                  " is not a " + (hex ? "hexadecimal" : "decimal") + " code";
            return false;
        }
        if (result.status == datafile::ReadStatus::Loaded)
            run.codes = datafile::CodesOf(result.run);
    }
    if (run.codes.empty()) {
        why = name + " holds no codes";
        return false;
    }
    return true;
}

}  // namespace kx::files
