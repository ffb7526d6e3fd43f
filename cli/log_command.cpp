#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <thread>

#include "acquisition/read_codes.h"
#include "analysis/allan.h"
#include "analysis/characterise.h"
#include "board/registers.h"
#include "cli/board_session.h"
#include "cli/commands.h"
#include "cli/output.h"
#include "cli/settings.h"
#include "cli/stop_signals.h"
#include "converter/adc_control_fields.h"
#include "converter/mode_gates.h"
#include "converter/register_update.h"
#include "core/numtext.h"
#include "core/safe_file.h"

// `log`: a drift log, one averaged reading per interval, each line on disk before the next is
// taken. The one output not saved through a temporary file: it grows line by line.

namespace kx::cli {

namespace {

struct LogOptions {
    std::optional<std::string> every;
    int average = 0;
    std::optional<std::string> duration;
    std::optional<std::string> output;
    std::optional<std::string> ref;
    SettingOptions settings;
};

double PositiveSeconds(const std::optional<std::string>& text, const char* option) {
    const auto value = ParseDecimal(*text);
    if (!value || !(*value > 0) || !std::isfinite(*value) || *value > 1e7)
        throw UsageError{std::string(option) + " takes a positive number of seconds, not '" +
                         *text + "'"};
    return *value;
}

std::string CsvField(const std::string& text) {
    if (text.find_first_of(",\"\r\n") == std::string::npos) return text;
    std::string quoted = "\"";
    for (const char c : text) {
        if (c == '"') quoted += '"';
        quoted += (c == '\r' || c == '\n') ? ' ' : c;
    }
    return quoted + "\"";
}

std::string Optional(const std::optional<double>& value, const char* format) {
    if (!value) return {};
    char text[64];
    std::snprintf(text, sizeof text, format, *value);
    return text;
}

std::string LineText(const characterise::LogLine& line) {
    return allan::FormatLogTime(line.time) + "," + Optional(line.meanCode, "%.3f") + "," +
           Optional(line.volts, "%.9g") + "," + Optional(line.rmsCodes, "%.3f") + "," +
           CsvField(line.status) + "\n";
}

// The log file, each line handed to the system in one write and synced.
class LogFile {
public:
    ~LogFile() {
        if (fd_ > 2) close(fd_);
    }

    // A new or empty file gets the header; an existing drift log is continued after its last
    // whole line (a line cut by a power cut is dropped); anything else is refused.
    bool Open(const std::string& path, std::string& why) {
        path_ = path;
        if (path == "-") {
            fd_ = STDOUT_FILENO;
            return Append(std::string(allan::DriftLogHeader) + "\n", why);
        }
        std::string reason;
        if (!files::IsSaveTarget(path, &reason)) {
            why = "cannot write " + path + (reason.empty() ? "" : ": " + reason);
            return false;
        }
        fd_ = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
        if (fd_ < 0) return Fail(why);
        std::string text;
        char buffer[65536];
        for (ssize_t n; (n = read(fd_, buffer, sizeof buffer)) != 0;) {
            if (n < 0) return Fail(why);
            text.append(buffer, static_cast<size_t>(n));
        }
        if (text.empty()) return Append(std::string(allan::DriftLogHeader) + "\n", why);
        if (text.rfind(std::string(allan::DriftLogHeader) + "\n", 0) != 0 &&
            text.rfind(std::string(allan::DriftLogHeader) + "\r\n", 0) != 0) {
            why = path + " is not a drift log (its first line is not " + allan::DriftLogHeader +
                  "); it is left as it was";
            return false;
        }
        const off_t whole = static_cast<off_t>(text.rfind('\n') + 1);
        if (ftruncate(fd_, whole) != 0 || lseek(fd_, whole, SEEK_SET) < 0) return Fail(why);
        continued_ = true;
        return true;
    }

    bool Append(const std::string& line, std::string& why) {
        size_t done = 0;
        while (done < line.size()) {
            const ssize_t n = write(fd_, line.data() + done, line.size() - done);
            if (n < 0 && errno == EINTR) continue;
            if (n < 0) return Fail(why);
            done += static_cast<size_t>(n);
        }
        // A pipe or a terminal cannot be synced, and needs no sync.
        if (fdatasync(fd_) != 0 && errno != EINVAL && errno != EROFS) return Fail(why);
        return true;
    }

    bool continued() const { return continued_; }

private:
    bool Fail(std::string& why) {
        why = "cannot write " + (path_ == "-" ? std::string("standard output") : path_) + ": " +
              SystemReason(errno);
        return false;
    }

    int fd_ = -1;
    std::string path_;
    bool continued_ = false;
};

// Sleeps until `when`, waking for a stop.
bool WaitUntil(std::chrono::steady_clock::time_point when, const std::atomic<bool>& stop) {
    while (!stop) {
        const auto now = std::chrono::steady_clock::now();
        if (now >= when) return true;
        std::this_thread::sleep_for(std::min<std::chrono::steady_clock::duration>(
            when - now, std::chrono::milliseconds(50)));
    }
    return false;
}

int RunLog(const GlobalOptions& global, const LogOptions& o) {
    if (!o.every) throw UsageError{"log needs --every SECONDS"};
    const double every = PositiveSeconds(o.every, "--every");
    if (o.average < 1 || o.average > 10'000'000)
        throw UsageError{"log needs --average N, 1 to 10000000 codes a line"};
    std::optional<double> duration;
    if (o.duration) duration = PositiveSeconds(o.duration, "--duration");
    if (!o.output) throw UsageError{"log needs -o FILE.csv"};
    const float ref = o.ref ? ParseReferenceOption(*o.ref) : DefaultReferenceVolts;
    o.settings.Check();

    // Opened before the board, so that a bad name fails at once.
    LogFile file;
    std::string why;
    if (!file.Open(*o.output, why)) return Failure(why);

    return WithBoard(global, [&] {
        if (!o.settings.Apply()) return ExitFailure;
        Register control = Register::For(RegisterMap::AdcControl);
        // Volts as the noise analysis scales them.
        const Scaling scaling = Scaling::Shown(ReadValue(control), ref);
        EnsureContinuousConversion();
        Remark(std::string(file.continued() ? "continuing " : "logging to ") +
               (*o.output == "-" ? std::string("standard output") : *o.output) + ": every " +
               FormatGeneral(every) + " s, " + std::to_string(o.average) + " codes a line");

        StopSignals signals;
        const auto start = std::chrono::steady_clock::now();
        const auto interval = std::chrono::duration<double>(every);
        long long lines = 0;
        long long failed = 0;
        int status = ExitOk;
        for (long long k = 0;; ++k) {
            // Line k starts k intervals after the first; a late line does not move the others.
            if (duration && k * every >= *duration * (1 - 1e-12)) break;
            const auto when =
                start +
                std::chrono::duration_cast<std::chrono::steady_clock::duration>(k * interval);
            if (!WaitUntil(when, signals.flag())) break;
            const auto line = characterise::TakeLogLine(o.average, scaling, signals.flag());
            if (!line) break;  // stopped part way: that line is not made
            if (!file.Append(LineText(*line), why)) {
                status = Failure(why);
                break;
            }
            ++lines;
            if (line->status != "ok") ++failed;
        }
        signals.Release();
        if (status != ExitOk) return status;
        if (signals.stopped()) {
            Note("stopped after " + std::to_string(lines) + " lines");
            return signals.exitStatus();
        }
        if (failed) {
            Note(std::to_string(failed) + " of " + std::to_string(lines) +
                 " lines failed (their status says why)");
            return ExitFailure;
        }
        return ExitOk;
    });
}

}  // namespace

void RegisterLog(Tool& tool) {
    static LogOptions o;
    CLI::App* c = tool.Add(
        {"log", "log --every SECONDS --average N [--duration D] -o FILE.csv [settings]",
         "a drift log: every SECONDS the mean of N codes, one CSV line each",
         "Every SECONDS (from the start, so a late line does not shift the others) reads N codes\n"
         "and writes one line under the header time,mean_code,volts,rms_codes,status: the time\n"
         "the line began (ISO 8601, UTC, milliseconds), the mean code, its input voltage (range\n"
         "and polarity from the ADC control register, --ref), the codes' sample standard\n"
         "deviation, and ok or the message of what failed. A read that times out gives a line\n"
         "with that message and logging goes on. Each line is written whole and synced to disk\n"
         "before the next is taken, so a stopped run or a power cut loses at most the line\n"
         "being made. An existing drift log is continued after its last whole line; another\n"
         "file is refused. Runs for --duration seconds, or until SIGINT or SIGTERM (exit 130,\n"
         "143); exit 1 when any line failed. Settings given are written first, each read back.\n"
         "\n"
         "  --every SECONDS    the interval between lines\n"
         "  --average N        codes averaged for a line\n"
         "  --duration D       seconds to log: lines start at 0, SECONDS, ... before D\n"
         "  -o FILE            the log (- is standard output)\n"
         "  --ref VOLTS        reference voltage for the volts (default 2.5)\n"
         "  --channel, --range, --polarity, --rate, --filter, --chop   as for capture\n"},
        [&tool] { return RunLog(tool.global(), o); });
    c->add_option("--every", o.every);
    c->add_option("--average", o.average);
    c->add_option("--duration", o.duration);
    c->add_option("-o,--output", o.output);
    c->add_option("--ref", o.ref);
    o.settings.AddTo(c);
}

}  // namespace kx::cli
