#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <thread>

#include "acquisition/capture.h"
#include "acquisition/characterise.h"
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
#include "maths/allan.h"

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

// About four months: longer times in seconds are no interval a log keeps.
constexpr double LongestSeconds = 1e7;

double PositiveSeconds(const std::optional<std::string>& text, const char* option) {
    const auto value = ParseDecimal(*text);
    if (!value || !(*value > 0) || !std::isfinite(*value) || *value > LongestSeconds)
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

// The log file: held by one run at a time (a lock on the file itself), each line handed to the
// system in one write and synced; a write that fails part way is cut back to the last whole line.
class LogFile {
public:
    ~LogFile() {
        // A log refused before its first line leaves no file it made itself.
        if (created_ && !started_) unlink(path_.c_str());
        if (fd_ > 2) close(fd_);  // releases the lock
    }

    // Checks the target and takes it: an existing drift log is continued after its last whole
    // line (a line cut by a power cut is dropped); a FIFO or a device is written to as it is;
    // anything else, or a log another run is writing, is refused. Nothing is written yet.
    bool Open(const std::string& path, std::string& why) {
        path_ = path;
        name_ = path == "-" ? std::string("standard output") : Quoted(path);
        if (path == "-") {
            fd_ = STDOUT_FILENO;
            return true;
        }
        std::string reason;
        if (!files::IsSaveTarget(path, &reason, files::Streams::Written)) {
            why = "cannot write " + name_ + (reason.empty() ? "" : ": " + reason);
            return false;
        }
        struct stat info {};
        if (stat(path.c_str(), &info) == 0 && !S_ISREG(info.st_mode)) {
            fd_ = open(path.c_str(), O_WRONLY | O_CLOEXEC | O_NOCTTY);
            return fd_ >= 0 || Fail(why);
        }
        fd_ = open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        created_ = fd_ >= 0;
        if (fd_ < 0 && errno == EEXIST) fd_ = open(path.c_str(), O_RDWR | O_CLOEXEC);
        if (fd_ < 0) return Fail(why);
        if (flock(fd_, LOCK_EX | LOCK_NB) != 0) {
            if (errno != EWOULDBLOCK) return Fail(why);
            why = name_ + " is being written by another log; it is left to that one";
            return false;
        }
        regular_ = true;
        std::string text;
        char buffer[65536];
        for (ssize_t n; (n = read(fd_, buffer, sizeof buffer)) != 0;) {
            if (n < 0 && errno == EINTR) continue;
            if (n < 0) return Fail(why);
            text.append(buffer, static_cast<size_t>(n));
        }
        if (text.empty()) return true;
        const std::string header = allan::DriftLogHeader;
        if (text.rfind(header + "\n", 0) != 0 && text.rfind(header + "\r\n", 0) != 0) {
            why = name_ + " is not a drift log (its first line is not " + header +
                  "); it is left as it was";
            return false;
        }
        const off_t whole = static_cast<off_t>(text.rfind('\n') + 1);
        if (ftruncate(fd_, whole) != 0 || lseek(fd_, whole, SEEK_SET) < 0) return Fail(why);
        continued_ = true;
        return true;
    }

    // The header, unless an existing log is continued: the log has begun.
    bool Start(std::string& why) {
        started_ = true;
        return continued_ || Append(std::string(allan::DriftLogHeader) + "\n", why);
    }

    bool Append(const std::string& line, std::string& why) {
        const off_t before = regular_ ? lseek(fd_, 0, SEEK_CUR) : -1;
        size_t done = 0;
        while (done < line.size()) {
            const ssize_t n = write(fd_, line.data() + done, line.size() - done);
            if (n < 0 && errno == EINTR) continue;
            if (n < 0) {
                // A full disk takes part of a line and then refuses the rest: the part goes.
                const int error = errno;
                if (before >= 0 && ftruncate(fd_, before) == 0) lseek(fd_, before, SEEK_SET);
                errno = error;
                return Fail(why);
            }
            done += static_cast<size_t>(n);
        }
        // A pipe or a terminal cannot be synced, and needs no sync.
        if (fdatasync(fd_) != 0 && errno != EINVAL && errno != EROFS) return Fail(why);
        return true;
    }

    bool continued() const { return continued_; }
    const std::string& name() const { return name_; }

private:
    bool Fail(std::string& why) {
        why = "cannot write " + name_ + ": " + SystemReason(errno);
        return false;
    }

    int fd_ = -1;
    std::string path_;
    std::string name_;
    bool regular_ = false;
    bool created_ = false;  // made by this run
    bool started_ = false;
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

// Lines closer than the log's clock (milliseconds) could not be told apart.
constexpr double ShortestInterval = 0.001;

// The seconds one line takes on a board that converts in real time: `average` update periods
// (the first result comes within one). None on the fast simulated board, whose converter runs
// on a clock of its own.
std::optional<double> LineSeconds(const GlobalOptions& global, std::optional<double> rate,
                                  int average) {
    if (global.board.simulate && global.board.sim.speed == sim::Speed::Fast) return std::nullopt;
    if (!rate) return std::nullopt;
    return average / *rate;
}

// Four significant digits, rounded up: the minimum named is one that is taken.
std::string SecondsUp(double seconds) {
    const double step = std::pow(10.0, std::floor(std::log10(seconds)) - 3);
    char text[32];
    std::snprintf(text, sizeof text, "%.4g", std::ceil(seconds / step) * step);
    return text;
}

int RunLog(const GlobalOptions& global, const LogOptions& o) {
    if (!o.every) throw UsageError{"log needs --every SECONDS"};
    const double every = PositiveSeconds(o.every, "--every");
    if (every < ShortestInterval)
        throw UsageError{
            "--every takes at least 0.001 seconds (the log's times are in "
            "milliseconds), not '" +
            *o.every + "'"};
    if (o.average < 1 || o.average > MaxCaptureCount)
        throw UsageError{"log needs --average N, 1 to " + std::to_string(MaxCaptureCount) +
                         " codes a line"};
    std::optional<double> duration;
    if (o.duration) duration = PositiveSeconds(o.duration, "--duration");
    if (!o.output) throw UsageError{"log needs -o FILE.csv"};
    // The log's start: its settings written, continuous conversion, the filter settled; its
    // lines then read the data register alone.
    CaptureRequest start;
    start.count = 0;
    start.settings = o.settings.Read();
    start.settings.referenceVolts = o.ref ? ParseReferenceOption(*o.ref) : DefaultReferenceVolts;

    // Asked for before anything starts: a line's codes are held until it is written.
    std::vector<int32_t> codes;
    if (!ReserveCodes(codes, o.average)) return ExitFailure;
    // Opened before the board, so that a bad name or a log in use fails at once.
    LogFile file;
    std::string why;
    if (!file.Open(*o.output, why)) return Failure(why);

    return WithBoard(global, [&](Board& board) {
        const CaptureOutcome started = Capture(board.link(), start, NeverStopped, {}, {});
        if (const int status = SettingsOutcome(started.refusal, started.programmed, &o.settings);
            status != ExitOk)
            return status;
        if (started.rateHz) RateRemark(*started.filterWord, *started.rateHz);
        const double need = LineSeconds(global, started.setAs.rateHz, o.average).value_or(0);
        if (every < need)
            throw UsageError{"--every takes at least " + SecondsUp(need) + " s for " +
                             std::to_string(o.average) + (o.average == 1 ? " code" : " codes") +
                             " a line at " + FormatPattern(o.average / need, "#.##") +
                             " Hz, not '" + *o.every + "'"};
        // Volts as the noise analysis scales them.
        const Scaling scaling = Scaling::Shown(started.setAs.adcControl.value_or(PowerOnAdcControl),
                                               *start.settings.referenceVolts);
        if (!file.Start(why)) return Failure(why);
        Remark(std::string(file.continued() ? "continuing " : "logging to ") + file.name() +
               ": every " + FormatGeneral(every) + " s, " + std::to_string(o.average) +
               " codes a line");

        StopSignals signals;
        using Clock = std::chrono::steady_clock;
        const auto start = Clock::now();
        const auto wallStart = allan::Clock::now();
        const auto interval = std::chrono::duration<double>(every);
        const auto tick = [&](long long k) {
            return start + std::chrono::duration_cast<Clock::duration>(k * interval);
        };
        characterise::LineLimits limits{.codes = &codes, .until = std::nullopt};
        if (duration)
            limits.until = start + std::chrono::duration_cast<Clock::duration>(
                                       std::chrono::duration<double>(*duration));
        long long lines = 0;
        long long failed = 0;
        long long late = 0;
        bool cut = false;
        int status = ExitOk;
        // Every line starts and ends within the duration.
        const auto within = [&](long long k) {
            return !duration || (k * every < *duration * (1 - 1e-12) &&
                                 k * every + need <= *duration * (1 + 1e-12));
        };
        for (long long k = 0;; ++k) {
            // Line k starts on its tick, k intervals after the first, so a late line moves no
            // other. One that cannot start within half an interval of its tick is skipped;
            // ticks beyond the duration are none to skip.
            const double behind = std::chrono::duration<double>(Clock::now() - start).count();
            if (behind > (k + 0.5) * every) {
                const auto next =
                    std::max(k + 1, static_cast<long long>(std::ceil(behind / every - 0.5)));
                for (; k < next && within(k); ++k)
                    ++late;
                k = next;
            }
            if (!within(k)) break;
            if (!WaitUntil(tick(k), signals.flag())) break;
            auto line =
                characterise::TakeLogLine(board.link(), o.average, scaling, signals.flag(), limits);
            if (!line) {
                cut = !signals.stopped();  // the duration ended it part way
                break;
            }
            // Stamped with its tick, not the moment it began (up to half an interval later):
            // the times stay on one interval, and a skipped line leaves a whole one missing,
            // which drift takes as a gap.
            line->time =
                wallStart + std::chrono::duration_cast<allan::Clock::duration>(k * interval);
            if (!file.Append(LineText(*line), why)) {
                status = Failure(why + "; the log ends at its last whole line");
                break;
            }
            ++lines;
            if (line->status != "ok") ++failed;
        }
        signals.Release();
        if (status != ExitOk) return status;
        if (late)
            Note(std::to_string(late) + (late == 1 ? " line" : " lines") +
                 " skipped: they could not start on time");
        if (cut) Note("the line under way at the end of the duration was left out");
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
         "Every SECONDS (on a steady clock from the start, so a late line does not shift the\n"
         "others) reads N codes and writes one line under the header\n"
         "time,mean_code,volts,rms_codes,status: the time of the line's tick (ISO 8601, UTC,\n"
         "milliseconds), the mean code, its input voltage (range and polarity from the ADC\n"
         "control register, --ref), the codes' sample standard deviation, and ok or the message\n"
         "of what failed. A read that times out gives a line with that message and logging goes\n"
         "on. A line that cannot start within half an interval of its time is skipped, and the\n"
         "skipped lines are counted at the end. Each line is written whole in one write and\n"
         "synced to disk before the next is taken, so a stopped run, a full disk or a power cut\n"
         "loses at most the line being made. One run at a time writes a log: a second one is\n"
         "refused (exit 1). An existing drift log is continued after its last whole line;\n"
         "another file is refused. Runs for --duration seconds, or until SIGINT or SIGTERM\n"
         "(exit 130, 143); exit 1 when any line failed. Settings given are written first, each\n"
         "read back, and the results given while the filter settles dropped.\n"
         "\n"
         "  --every SECONDS    the interval between lines: at least 0.001 s, and on a board\n"
         "                     converting in real time at least the N update periods a line\n"
         "                     takes\n"
         "  --average N        codes averaged for a line, 1 to {max-count}\n"
         "  --duration D       seconds to log: every line starts and ends within D\n"
         "  -o FILE            the log (- is standard output; a FIFO or device is written to)\n"
         "  --ref VOLTS        reference voltage for the volts (default 2.5)\n"
         "{settings}"},
        [&tool] { return RunLog(tool.global(), o); });
    c->add_option("--every", o.every);
    c->add_option("--average", o.average);
    c->add_option("--duration", o.duration);
    c->add_option("-o,--output", o.output);
    c->add_option("--ref", o.ref);
    o.settings.AddTo(c);
}

}  // namespace kx::cli
