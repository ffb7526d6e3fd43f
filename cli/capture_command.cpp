#include <unistd.h>

#include <chrono>
#include <cmath>

#include "acquisition/capture.h"
#include "acquisition/read_run.h"
#include "board/registers.h"
#include "cli/board_session.h"
#include "cli/commands.h"
#include "cli/output.h"
#include "cli/settings.h"
#include "cli/stop_signals.h"
#include "converter/filter_logic.h"
#include "converter/register_update.h"
#include "core/messages.h"
#include "core/safe_file.h"
#include "files/datafile.h"
#include "files/run_file.h"

// `capture`: codes from the board into a data file, a CSV or a JSON capture, or standard output.

namespace kx::cli {

namespace {

struct CaptureOptions {
    std::string count;
    bool hex = false;
    std::optional<std::string> output;
    std::string format = "dat";
    std::optional<std::string> ref;
    SettingOptions settings;
};

std::function<void(int, int)> TerminalProgress() {
    if (!isatty(STDERR_FILENO)) return {};
    return [last = std::chrono::steady_clock::time_point()](int read, int count) mutable {
        const auto now = std::chrono::steady_clock::now();
        if (read != count && now - last < std::chrono::milliseconds(100)) return;
        last = now;
        Progress("Reading code " + std::to_string(read) + " of " + std::to_string(count));
    };
}

int RunCapture(const GlobalOptions& global, const CaptureOptions& o) {
    int count = 0;
    try {
        size_t used = 0;
        count = std::stoi(o.count, &used);
        if (used != o.count.size()) count = 0;
    } catch (const std::exception&) {
        count = 0;
    }
    if (count < 1 || count > MaxCaptureCount)
        throw UsageError{"COUNT must be a whole number from 1 to " +
                         std::to_string(MaxCaptureCount) + ", not '" + o.count + "'"};
    const files::RunFormat format = o.format == "csv"    ? files::RunFormat::Csv
                                    : o.format == "json" ? files::RunFormat::Json
                                                         : files::RunFormat::Dat;
    if (o.hex && format != files::RunFormat::Dat)
        throw UsageError{"--hex is for the dat format only"};
    CaptureRequest request;
    request.count = count;
    request.settings = o.settings.Read();
    request.timed = format == files::RunFormat::Csv;
    request.settings.referenceVolts = o.ref ? ParseReferenceOption(*o.ref) : DefaultReferenceVolts;

    // The output is created before the first conversion, so a bad name fails at once; it takes
    // the name only when the capture is whole (or ended by a signal). The codes go into it as
    // they are read, so a capture of any length holds no more than a buffer.
    const bool toStdout = !o.output || *o.output == "-";
    const std::string name = toStdout ? std::string() : Quoted(*o.output);
    files::AtomicFile file;
    if (!toStdout && !file.Open(*o.output, files::Streams::Written))
        return Failure("Error Creating File: cannot create " + name + ": " + file.error());

    return WithBoard(global, [&](Board& board) {
        bool writeFailed = false;
        std::optional<files::RunWriter> writer;
        const auto begin = [&](const Run& setAs) {
            if (request.settings.rateHz && setAs.filter && setAs.rateHz)
                RateRemark(*setAs.filter, *setAs.rateHz);
            writer.emplace(format, o.hex, setAs, [&](std::string_view text) {
                writeFailed = toStdout ? WriteStdout(text) != ExitOk : !file.Write(text);
                return !writeFailed;
            });
        };
        auto failedWrite = [&] {
            // Standard output has said why already.
            return toStdout
                       ? ExitFailure
                       : Failure("Error Creating File: cannot write " + name + ": " + file.error());
        };
        const auto progress = TerminalProgress();
        int read = 0;
        StopSignals signals;
        const CaptureOutcome result =
            Capture(board.link(), request, signals.flag(), begin, [&](int32_t code, double t) {
                ++read;
                if (progress) progress(read, count);
                return writer->Add(code, t);
            });
        signals.Release();
        if (const int status = SettingsOutcome(result.refusal, result.programmed, &o.settings);
            status != ExitOk)
            return status;
        if (writeFailed) return failedWrite();
        // A failed capture leaves an existing output as it was.
        if (result.end == ReadEnd::TimedOut) {
            ShowMessage(run::ReadErrorMessage, Icon::Warning);
            return ExitFailure;
        }
        if (!writer->Finish() || (!toStdout && !file.Commit())) return failedWrite();
        if (format == files::RunFormat::Dat && read > datafile::MaxCodes)
            Remark(std::to_string(read) +
                   " codes written; the program's Read from File "
                   "takes at most 5000");
        if (result.end == ReadEnd::Stopped) {
            Note("interrupted after " + std::to_string(read) + " codes");
            return signals.exitStatus();
        }
        return ExitOk;
    });
}

}  // namespace

void RegisterCapture(Tool& tool) {
    static CaptureOptions o;
    static const std::string help =
        "Reads COUNT codes (1 to " + std::to_string(MaxCaptureCount) +
        ") as the read for analysis does, after writing the\n"
        "settings given (each read back) and putting the converter into continuous conversion\n"
        "when it is not (mode field 3, the other mode bits kept); after any write the first " +
        std::to_string(SettleResults) +
        "\n"
        "results, given while the filter settles, are dropped. The output file is created\n"
        "before the first conversion and takes its name only when the capture ends: a time-out\n"
        "(\"Error Reading Data from KX3105\", exit 1) leaves an existing file as it was. SIGINT\n"
        "and SIGTERM end the capture with the codes read so far written (\"interrupted after N\n"
        "codes\", exit 130 and 143). The codes are written as they are read, so any count\n"
        "needs the same little memory; to standard output, a FIFO or a device they go out as\n"
        "they come. Progress goes to standard error when it is a terminal.\n"
        "\n"
        "  --format FORMAT    dat (the default): the data file, one code per line, decimal or\n"
        "                     with --hex hexadecimal, CR LF line ends; more than 5000 codes is\n"
        "                     more than the program's Read from File takes.\n"
        "                     csv: '# kx3105 capture: range=..., polarity=..., ref=...,\n"
        "                     rate_hz=..., filter=0x.., chop=on|off, channel=..., started=...',\n"
        "                     then index,time_s,code,volts (seconds from the first code in\n"
        "                     whole update periods, n / rate: by the simulated board's own\n"
        "                     clock, on a board by the PC's as each is ready, so a conversion\n"
        "                     the read missed still counts).\n"
        "                     json: one object with those settings and the array codes.\n"
        "  --hex              write hexadecimal codes (dat)\n"
        "  -o FILE            write to FILE (replaced without asking; a FIFO or device is\n"
        "                     written to); - or none: standard output\n"
        "  --ref VOLTS        reference voltage for the volts of csv (default 2.5)\n" +
        SettingsHelp();
    CLI::App* c =
        tool.Add({"capture", "capture COUNT [--format dat|csv|json] [--hex] [-o FILE] [settings]",
                  "read COUNT codes into a data file, a CSV or a JSON capture", help.c_str()},
                 [&tool] { return RunCapture(tool.global(), o); });
    c->add_option("COUNT", o.count)->required();
    c->add_option("--format", o.format)->check(CLI::IsMember({"dat", "csv", "json"}));
    c->add_flag("--hex", o.hex);
    c->add_option("-o,--output", o.output);
    c->add_option("--ref", o.ref);
    o.settings.AddTo(c);
}

}  // namespace kx::cli
