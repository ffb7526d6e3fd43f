#include <cstdio>
#include <nlohmann/json.hpp>

#include "cli/board_session.h"
#include "cli/commands.h"
#include "cli/output.h"
#include "cli/settings.h"
#include "cli/stop_signals.h"
#include "converter/adc_control_fields.h"
#include "core/hex.h"
#include "core/numtext.h"
#include "files/run_file.h"
#include "multichannel/channel_table.h"
#include "multichannel/multi_read.h"
#include "multichannel/multi_state.h"

// `scan`: the multi-channel screen's "Read Data for Display" from a shell, for a given number of
// passes, with each code and its volts printed.

namespace kx::cli {

namespace {

struct ScanOptions {
    std::vector<std::string> channels;
    std::string passes = "1";
    std::string format = "table";
    std::optional<std::string> ref;
};

struct Reading {
    int pass;
    int row;
    int32_t code;
};

// A row's settings as the multi-channel screen's controls would hold them.
struct RowSetting {
    bool checked = false;
    multi::RowControls controls;
    int32_t adcControl = 0;  // for the volts
};

// CHANNEL[:RANGE[:POLARITY[:FILTER]]], e.g. AIN1-AINCOM:2.56V:bipolar:45.
void ParseChannel(const std::string& text, std::array<RowSetting, multi::ChannelCount>& rows) {
    std::vector<std::string> parts;
    size_t start = 0;
    for (;;) {
        const size_t colon = text.find(':', start);
        parts.push_back(text.substr(start, colon - start));
        if (colon == std::string::npos) break;
        start = colon + 1;
    }
    if (parts.size() > 4)
        throw UsageError{"scan takes CHANNEL[:RANGE[:POLARITY[:FILTER]]], not '" + text + "'"};
    const auto code = ChannelCodeByName(parts[0]);
    int row = multi::NoRow;
    for (int r = 0; r < multi::ChannelCount; ++r)
        if (code && multi::ChannelTable[static_cast<size_t>(r)].channelCode == *code) row = r;
    if (row == multi::NoRow)
        throw UsageError{
            "scan takes the channels AIN1-AINCOM ... AIN8-AINCOM, AIN1-AIN2, "
            "AIN3-AIN4, AIN5-AIN6, AIN7-AIN8, not '" +
            parts[0] + "'"};
    RowSetting& s = rows[static_cast<size_t>(row)];
    if (s.checked) throw UsageError{parts[0] + " is named twice"};
    for (const int partner : multi::ChannelTable[static_cast<size_t>(row)].partners)
        if (partner != multi::NoRow && rows[static_cast<size_t>(partner)].checked)
            throw UsageError{
                parts[0] + " and " +
                ChannelName(multi::ChannelTable[static_cast<size_t>(partner)].channelCode) +
                " cannot be scanned together"};
    const int rangeCode = parts.size() > 1 ? RangeCodeByName(parts[1]).value_or(-1) : 7;
    if (rangeCode < 0) throw UsageError{"'" + parts[1] + "' is no input range"};
    const auto unipolar = parts.size() > 2 ? UnipolarByName(parts[2]) : std::optional(false);
    if (!unipolar) throw UsageError{"'" + parts[2] + "' is neither bipolar nor unipolar"};
    std::string filter = parts.size() > 3 ? parts[3] : multi::DefaultFilterText;
    if (filter.size() > 2 && (filter[1] == 'x' || filter[1] == 'X')) filter.erase(0, 2);

    s.checked = true;
    s.controls.checked = true;
    for (const auto& item : multi::RangeItems())
        if (item.code == rangeCode) s.controls.range = item.text;
    s.controls.polarity = *unipolar ? multi::UnipolarItem : multi::BipolarItem;
    s.controls.filter = filter;
    s.adcControl = rangeCode | (*unipolar ? adc::UnipolarBit : 0);
}

// The readings as text, pass by pass: the header (or the JSON array's opening) before the first,
// so that what a stopped scan had read is whole on standard output.
class ScanOutput {
public:
    ScanOutput(const std::array<RowSetting, multi::ChannelCount>& rows, float ref,
               const std::string& format)
        : rows_(rows), ref_(ref), format_(format) {}

    // Writes the readings; false when standard output failed (said already).
    bool Write(const std::vector<Reading>& readings) {
        std::string text;
        if (!started_ && format_ != "json")
            text = format_ == "csv" ? "pass,channel,code,volts\n"
                                    : "pass  channel        code      volts\n";
        for (const auto& r : readings) {
            const double volts =
                Scaling::Of(rows_[static_cast<size_t>(r.row)].adcControl, ref_).CodeToVolts(r.code);
            const std::string name =
                ChannelName(multi::ChannelTable[static_cast<size_t>(r.row)].channelCode);
            if (format_ == "json") {
                // As nlohmann-json indents an array of objects by two.
                text += started_ || &r != &readings.front() ? ",\n  " : "[\n  ";
                const std::string object = nlohmann::json{
                    {"pass", r.pass},
                    {"channel", name},
                    {"code", r.code},
                    {"volts", volts}}.dump(2);
                for (const char c : object)
                    text += c == '\n' ? std::string("\n  ") : std::string(1, c);
                continue;
            }
            char line[128];
            if (format_ == "csv")
                std::snprintf(line, sizeof line, "%d,%s,%d,%.9g\n", r.pass, name.c_str(), r.code,
                              volts);
            else
                std::snprintf(line, sizeof line, "%-5d %-14s %-9s %.6f V\n", r.pass, name.c_str(),
                              Hex(r.code).c_str(), volts);
            text += line;
        }
        started_ = started_ || !text.empty();
        return text.empty() || WriteStdout(text) == ExitOk;
    }

    // The end of the output: the header of an empty table, the JSON array's close.
    bool End() {
        if (!Write({})) return false;
        if (format_ != "json") return true;
        return WriteStdout(started_ ? "\n]\n" : "[]\n") == ExitOk;
    }

private:
    const std::array<RowSetting, multi::ChannelCount>& rows_;
    float ref_;
    std::string format_;
    bool started_ = false;
};

// The multi-channel read's view: each pass is written as soon as it is complete; a signal or a
// failed write ends the read before the next conversion.
class ScanView final : public multi::ReadView {
public:
    ScanView(const std::array<RowSetting, multi::ChannelCount>& rows, int passes,
             ScanOutput& output, const std::atomic<bool>& stop)
        : rows_(rows), passes_(passes), output_(output), stop_(stop) {
        for (const auto& r : rows)
            checked_ += r.checked ? 1 : 0;
    }
    multi::RowControls Row(int row) override { return rows_[static_cast<size_t>(row)].controls; }
    void ShowStopCaption(const std::string&) override {}
    // Asked before each pass and each conversion.
    bool GoOn() override { return !failed && !stop_ && passesWritten < passes_; }
    void ShowCode(int row, const std::string& code) override {
        const auto value = ParseHex(code);
        pass_.push_back({passesWritten + 1, row, static_cast<int32_t>(value.value_or(0))});
        if (static_cast<int>(pass_.size()) < checked_) return;
        failed = !output_.Write(pass_);
        pass_.clear();
        ++passesWritten;
    }
    // A pass a failure cut short: its codes read so far.
    bool WriteRest() {
        const bool written = output_.Write(pass_);
        pass_.clear();
        return written;
    }

    int passesWritten = 0;
    bool failed = false;

private:
    const std::array<RowSetting, multi::ChannelCount>& rows_;
    int passes_;
    ScanOutput& output_;
    const std::atomic<bool>& stop_;
    int checked_ = 0;
    std::vector<Reading> pass_;
};

int RunScan(const GlobalOptions& global, const ScanOptions& o) {
    std::array<RowSetting, multi::ChannelCount> rows{};
    for (const auto& channel : o.channels)
        ParseChannel(channel, rows);
    int passes = 0;
    if (std::sscanf(o.passes.c_str(), "%d", &passes) != 1 || passes < 1 || passes > 1000000 ||
        std::to_string(passes) != o.passes)
        throw UsageError{"--passes takes a whole number from 1 to 1000000, not '" + o.passes + "'"};
    const float ref = o.ref ? ParseReferenceOption(*o.ref) : DefaultReferenceVolts;
    return WithBoard(global, [&](Board& board) {
        multi::MultiChannelState state;
        state.Open(board.link());
        ScanOutput output(rows, ref, o.format);
        StopSignals signals;
        ScanView view(rows, passes, output, signals.flag());
        multi::RunRead(state, view);
        signals.Release();
        // A failed read has said why; the codes read before it are written all the same. A stop
        // keeps the whole passes.
        const bool stopped = signals.stopped();
        if (view.failed || (!stopped && !view.WriteRest()) || !output.End()) return ExitFailure;
        if (stopped) {
            Note("stopped after " + std::to_string(view.passesWritten) + " passes");
            return signals.exitStatus();
        }
        return view.passesWritten == passes ? ExitOk : ExitFailure;
    });
}

}  // namespace

void RegisterScan(Tool& tool) {
    static ScanOptions o;
    CLI::App* c = tool.Add(
        {"scan",
         "scan CHANNEL[:RANGE[:POLARITY[:FILTER]]]... [--passes N] [--format table|csv|json]",
         "the multi-channel read: each channel's code and volts, pass after pass",
         "Reads the channels named as the multi-channel screen's \"Read Data for Display\" does:\n"
         "the converter is put into power-down with CHCON cleared, then in each pass every\n"
         "channel, in the screen's order, gets its filter word, ADC control byte and continuous\n"
         "conversion (each read back), one conversion, and idle mode again. One row per channel\n"
         "and pass: the code and its volts, each pass written as soon as it is read. SIGINT\n"
         "and SIGTERM end the scan with the passes so far written (exit 130, 143).\n"
         "CHANNEL: AIN1-AINCOM ... AIN8-AINCOM, AIN1-AIN2, AIN3-AIN4, AIN5-AIN6, AIN7-AIN8; a\n"
         "pair and its own halves cannot be scanned together.\n"
         "RANGE: {range} (default {power-on-range-name})\n"
         "POLARITY: bipolar (default) or unipolar; FILTER: the filter word in hexadecimal\n"
         "(default 45).\n"
         "\n"
         "  --passes N         passes over the channels (default 1)\n"
         "  --format FORMAT    table (the default), csv (pass,channel,code,volts) or json\n"
         "  --ref VOLTS        reference voltage for the volts (default 2.5)\n"},
        [&tool] { return RunScan(tool.global(), o); });
    c->add_option("CHANNEL", o.channels)->required();
    c->add_option("--passes", o.passes);
    c->add_option("--format", o.format)->check(CLI::IsMember({"table", "csv", "json"}));
    c->add_option("--ref", o.ref);
}

}  // namespace kx::cli
