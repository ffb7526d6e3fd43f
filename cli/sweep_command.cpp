#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <nlohmann/json.hpp>
#include <sstream>

#include "acquisition/capture.h"
#include "acquisition/characterise.h"
#include "board/registers.h"
#include "cli/board_session.h"
#include "cli/commands.h"
#include "cli/output.h"
#include "cli/settings.h"
#include "cli/stop_signals.h"
#include "converter/adc_control_fields.h"
#include "converter/filter_logic.h"
#include "converter/mode_logic.h"
#include "converter/register_update.h"
#include "core/hex.h"
#include "core/numtext.h"
#include "core/safe_file.h"

// `sweep`: the data sheet's table of RMS noise against update rate and range, one row per point,
// each point programmed with read-back and captured on the board.

namespace kx::cli {

namespace {

struct SweepOptions {
    std::string ranges = "all";
    std::optional<std::string> rates;
    std::optional<std::string> filters;
    std::optional<std::string> chop;
    std::optional<std::string> polarity;
    std::optional<std::string> channel;
    int count = 1000;
    int settle = 3;
    std::optional<std::string> format;
    std::optional<std::string> output;
    std::optional<std::string> ref;
};

enum class Format { Markdown, Csv, Json };

std::vector<std::string> Items(const std::string& list) {
    std::vector<std::string> items;
    std::istringstream in(list);
    for (std::string item; std::getline(in, item, ',');)
        if (!item.empty()) items.push_back(item);
    return items;
}

std::string Fixed(double value, int decimals) {
    char text[64];
    std::snprintf(text, sizeof text, "%.*f", decimals, value);
    return text;
}

std::string Bits(const std::optional<double>& bits) {
    return bits ? Fixed(*bits, 2) : std::string();
}

nlohmann::json BitsJson(const std::optional<double>& bits) {
    return bits ? nlohmann::json(*bits) : nlohmann::json(nullptr);
}

std::string TableText(Format format, const std::vector<characterise::SweepRow>& rows) {
    if (format == Format::Json) {
        nlohmann::json list = nlohmann::json::array();
        for (const auto& r : rows)
            list.push_back({{"rate_hz", r.rateHz},
                            {"filter", "0x" + HexPadded(r.filterWord, 2)},
                            {"range", RangeName(r.rangeCode)},
                            {"rms_codes", r.rmsCodes},
                            {"rms_uv", r.rmsMicrovolts},
                            {"pk_pk_uv", r.pkPkMicrovolts},
                            {"effective_resolution_bits", BitsJson(r.effectiveResolutionBits)},
                            {"noise_free_bits", BitsJson(r.noiseFreeBits)}});
        return nlohmann::json{{"rows", list}}.dump(2) + "\n";
    }
    std::string text;
    const bool md = format == Format::Markdown;
    if (md)
        text =
            "| Update rate (Hz) | Filter | Range | RMS noise (codes) | RMS noise (uV) | "
            "Peak-to-peak (uV) | Effective resolution (bits) | Noise-free bits |\n"
            "|---:|---:|---:|---:|---:|---:|---:|---:|\n";
    else
        text =
            "rate_hz,filter,range,rms_codes,rms_uv,pk_pk_uv,effective_resolution_bits,"
            "noise_free_bits\n";
    for (const auto& r : rows) {
        const std::vector<std::string> cells = {Fixed(r.rateHz, 2),
                                                "0x" + HexPadded(r.filterWord, 2),
                                                RangeName(r.rangeCode),
                                                Fixed(r.rmsCodes, 3),
                                                Fixed(r.rmsMicrovolts, 4),
                                                Fixed(r.pkPkMicrovolts, 3),
                                                Bits(r.effectiveResolutionBits),
                                                Bits(r.noiseFreeBits)};
        for (size_t i = 0; i < cells.size(); ++i)
            text += md ? "| " + cells[i] + " " : (i ? "," : "") + cells[i];
        text += md ? "|\n" : "\n";
    }
    return text;
}

Format FormatFor(const SweepOptions& o) {
    if (o.format)
        return *o.format == "json"  ? Format::Json
               : *o.format == "csv" ? Format::Csv
                                    : Format::Markdown;
    if (o.output && *o.output != "-") {
        const std::string& name = *o.output;
        auto ends = [&](const std::string& e) {
            return name.size() >= e.size() &&
                   name.compare(name.size() - e.size(), e.size(), e) == 0;
        };
        if (ends(".json")) return Format::Json;
        if (ends(".md")) return Format::Markdown;
        return Format::Csv;
    }
    return isatty(STDOUT_FILENO) ? Format::Markdown : Format::Csv;
}

struct SweepPlan {
    std::vector<int> rangeCodes;
    std::vector<std::string> rates;  // hertz as typed, or
    std::vector<int> words;          // filter words
    float ref = DefaultReferenceVolts;
};

SweepPlan CheckOptions(const SweepOptions& o) {
    SettingOptions named;
    named.channel = o.channel;
    named.polarity = o.polarity;
    named.chop = o.chop;
    named.Read();
    SweepPlan plan;
    if (o.ranges == "all") {
        for (int code = 7; code >= 0; --code)
            plan.rangeCodes.push_back(code);
    } else {
        for (const auto& name : Items(o.ranges)) {
            const auto code = RangeCodeByName(name);
            if (!code)
                throw UsageError{"--ranges takes all or a list of " +
                                 AllowedText(SettingId::Range) + ", not '" + name + "'"};
            plan.rangeCodes.push_back(*code);
        }
    }
    if (plan.rangeCodes.empty()) throw UsageError{"--ranges names no range"};
    if (o.rates && o.filters) throw UsageError{"--rates and --filters both set the filter words"};
    if (o.rates) {
        for (const auto& item : Items(*o.rates)) {
            const auto hz = ReadRate(item);
            if (!hz) throw UsageError{hz.refusal->Words("--rates")};
            // Limits that --chop fixes are checked now, the board's chopping's once it is open.
            if (o.chop) {
                ConverterSettings s;
                s.rateHz = hz.value;
                s.chop = *o.chop == "on";
                if (auto refusal = CheckSettings(s, 0, 0xFF)) {
                    refusal->given = item;
                    throw UsageError{refusal->Words("--rates")};
                }
            }
            plan.rates.push_back(item);
        }
        if (plan.rates.empty()) throw UsageError{"--rates names no rate"};
    }
    if (o.filters) {
        for (const auto& item : Items(*o.filters)) {
            const auto word = ParseHexValue(item, 0xFF);
            if (!word || *word == 0)
                throw UsageError{"--filters takes a list of hexadecimal filter words, not '" +
                                 item + "'"};
            plan.words.push_back(static_cast<int>(*word));
        }
        if (plan.words.empty()) throw UsageError{"--filters names no filter word"};
    }
    if (o.count < 2 || o.count > MaxCaptureCount)
        throw UsageError{"--count takes 2 to " + std::to_string(MaxCaptureCount) + " codes, not " +
                         std::to_string(o.count)};
    if (o.settle < 0 || o.settle > 1'000'000)
        throw UsageError{"--settle takes 0 to 1000000 results, not " + std::to_string(o.settle)};
    if (o.ref) plan.ref = ParseReferenceOption(*o.ref);
    return plan;
}

// The filter words to sweep under a chop state: for a rate the word whose rate is nearest. A rate
// outside the limits of the chopping, or a word below its least, is a usage error (said here,
// exit 2 from the caller).
bool WordsFor(SweepPlan& plan, bool chopOn) {
    const int32_t mode = chopOn ? 0 : mode::ChopBit;
    for (const std::string& typed : plan.rates) {
        ConverterSettings s;
        s.rateHz = ReadRate(typed).value;
        if (auto refusal = CheckSettings(s, mode, 0xFF)) {
            refusal->given = typed;
            Note(refusal->Words("--rates"));
            return false;
        }
        plan.words.push_back(NearestFilterWord(*s.rateHz, chopOn));
    }
    for (const int word : plan.words)
        if (ConverterSettings s{.filter = word}; auto refusal = CheckSettings(s, mode, 0xFF)) {
            Note(refusal->Words("--filters"));
            return false;
        }
    return true;
}

int RunSweep(const GlobalOptions& global, const SweepOptions& o) {
    SweepPlan plan = CheckOptions(o);
    const Format format = FormatFor(o);
    const bool toStdout = !o.output || *o.output == "-";
    if (!toStdout) {
        std::string why;
        if (!files::IsSaveTarget(*o.output, &why, files::Streams::Written))
            return Failure("cannot write " + Quoted(*o.output) + (why.empty() ? "" : ": " + why));
    }
    // One buffer for every point, asked for before the first.
    std::vector<int32_t> codes;
    if (!ReserveCodes(codes, o.count)) return ExitFailure;

    return WithBoard(global, [&](Board& board) {
        Register mode = Register::For(board.link(), RegisterMap::Mode);
        Register control = Register::For(board.link(), RegisterMap::AdcControl);
        const int32_t modeValue = ReadValue(mode);
        const int32_t controlValue = ReadValue(control);
        const bool chopOn = o.chop ? *o.chop == "on" : ChopEnabledIn(modeValue);
        if (plan.rates.empty() && plan.words.empty()) {
            Register filter = Register::For(board.link(), RegisterMap::Filter);
            plan.words.push_back(ReadValue(filter));
        }
        if (!WordsFor(plan, chopOn)) return ExitUsage;

        characterise::SweepSetting setting;
        setting.channelCode =
            o.channel ? *ChannelCodeByName(*o.channel) : adc::ChannelCode(controlValue);
        setting.unipolar =
            o.polarity ? *UnipolarByName(*o.polarity) : adc::IsUnipolar(controlValue);
        setting.chopEnabled = chopOn;
        setting.settle = o.settle;
        setting.count = o.count;
        setting.referenceVolts = plan.ref;

        StopSignals signals;
        std::vector<characterise::SweepRow> rows;
        const size_t points = plan.words.size() * plan.rangeCodes.size();
        int status = ExitOk;
        for (const int word : plan.words) {
            for (const int range : plan.rangeCodes) {
                setting.filterWord = word;
                setting.rangeCode = range;
                Remark("point " + std::to_string(rows.size() + 1) + " of " +
                       std::to_string(points) + ": " + RangeName(range) + " at " +
                       FormatPattern(UpdateRate(word, chopOn), "#.##") + " Hz");
                const auto outcome =
                    characterise::SweepPoint(board.link(), setting, signals.flag(), {}, &codes);
                if (outcome.result == characterise::StepResult::Done) {
                    rows.push_back(*outcome.row);
                    continue;
                }
                if (outcome.result == characterise::StepResult::Stopped) {
                    Note("interrupted after " + std::to_string(rows.size()) + " rows");
                    status = signals.exitStatus();
                } else {
                    status = ExitFailure;  // the screen's message is out already
                }
                break;
            }
            if (status != ExitOk) break;
        }
        signals.Release();

        // The rows so far are the table, whatever ended it.
        const std::string text = TableText(format, rows);
        if (toStdout) {
            if (WriteStdout(text) != ExitOk) return ExitFailure;
        } else if (const std::string why =
                       files::SaveAtomically(*o.output, text, files::Streams::Written);
                   !why.empty()) {
            return Failure("cannot write " + Quoted(*o.output) + ": " + why);
        }
        return status;
    });
}

}  // namespace

void RegisterSweep(Tool& tool) {
    static SweepOptions o;
    CLI::App* c = tool.Add(
        {"sweep",
         "sweep [--ranges all|LIST] [--rates LIST|--filters LIST] [--count N] [--settle N] "
         "[--format markdown|csv|json] [-o FILE] [settings]",
         "the data sheet's table of RMS noise against update rate and range",
         "For each update rate and each range: programs the ADC control register (channel,\n"
         "range, coding), the filter word and the mode register (chopping, continuous\n"
         "conversion), each read back with the register screens' message on a mismatch;\n"
         "discards --settle results, captures --count codes and prints a row: update rate,\n"
         "filter word, range, RMS noise in codes (the exact sample standard deviation) and in\n"
         "uV, peak-to-peak noise in uV, effective resolution log2(2^24/RMS) and noise-free bits\n"
         "log2(2^24/span). Progress on standard error. SIGINT (Ctrl+C) or SIGTERM ends it with\n"
         "the rows so far printed (exit 130, 143); a failed point ends it likewise (exit 1).\n"
         "What is not given is the board's present setting.\n"
         "\n"
         "  --ranges LIST      all (the default, the widest down to the narrowest) or a list of "
         "{range}\n"
         "  --rates LIST       update rates in hertz, each the filter word whose rate is nearest: "
         "{rate}\n"
         "  --filters LIST     filter words in hexadecimal: 45,0x0D\n"
         "                     (neither: the board's present filter word)\n"
         "  --count N          codes per point (default 1000, 2 to {max-count})\n"
         "  --settle N         results discarded after each change (default 3)\n"
         "  --ref VOLTS        reference voltage for the uV (default 2.5)\n"
         "  --format FORMAT    markdown (a table to paste into a report), csv or json\n"
         "                     ({\"rows\": [{rate_hz, filter, range, rms_codes, rms_uv, pk_pk_uv,\n"
         "                     effective_resolution_bits, noise_free_bits}]}). Default: markdown\n"
         "                     on a terminal, csv otherwise; with -o, by the name's ending\n"
         "                     (.md, .json, else csv)\n"
         "  -o FILE            write the table to FILE (replaced whole at the end)\n"
         "  settings:\n"
         "  --chop on|off      chopping\n"
         "  --polarity POL     {polarity}\n"
         "  --channel NAME     {channel}\n"},
        [&tool] { return RunSweep(tool.global(), o); });
    c->add_option("--ranges", o.ranges);
    c->add_option("--rates", o.rates);
    c->add_option("--filters", o.filters);
    c->add_option("--chop", o.chop);
    c->add_option("--polarity", o.polarity);
    c->add_option("--channel", o.channel);
    c->add_option("--count", o.count);
    c->add_option("--settle", o.settle);
    c->add_option("--format", o.format)->check(CLI::IsMember({"markdown", "csv", "json"}));
    c->add_option("-o,--output", o.output);
    c->add_option("--ref", o.ref);
}

}  // namespace kx::cli
