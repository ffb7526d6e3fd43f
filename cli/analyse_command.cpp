#include <sys/stat.h>

#include <nlohmann/json.hpp>
#include <span>

#include "acquisition/read_run.h"
#include "analysis/figures.h"
#include "analysis/noise_stats.h"
#include "board/ppdev_port.h"
#include "board/registers.h"
#include "board/serial.h"
#include "cli/board_session.h"
#include "cli/commands.h"
#include "cli/output.h"
#include "cli/settings.h"
#include "converter/adc_control_fields.h"
#include "converter/register_update.h"
#include "files/run_file.h"

// `analyse`: the noise analysis screen's results for a run of any length, as text or JSON.

namespace kx::cli {

namespace {

constexpr size_t MinAnalysisCodes = 10;

struct AnalyseOptions {
    std::string file;
    bool hex = false;
    bool json = false;
    std::optional<std::string> adcControl;
    std::optional<std::string> range;
    std::optional<std::string> polarity;
    std::optional<std::string> ref;
};

// The screen's results under its captions, each line named once: the whole-code RMS noise of the
// codes frame and the RMS noise in volts of the results frame apart, then the data-sheet figures.
std::string AnalysisText(const noise::NoiseAnalysis& a) {
    const noise::NoiseTexts& t = a.texts;
    const noise::DataSheetTexts& d = a.dataSheet;
    const auto bits = [](const std::string& figure) {
        return figure == "-" ? figure : figure + " bits";
    };
    return "Ref. Voltage: " + t.ref + "\nLSB Size: " + t.lsb + "\nInput Range: " + t.range +
           "\nCodes Read: " + t.codes + "\nRMS Noise in Codes: " + t.rmsLsb +
           " Hex\nAverage Code: " + t.average + " Hex\nCode Span: " + t.span +
           " Hex\nMax Code: " + t.max + " Hex\nMin Code: " + t.min +
           " Hex\nRMS Noise in Volts: " + t.rms + "\nPk to Pk Noise: " + t.pkPk +
           "\nAverage Value: " + t.avValue + "\nExact RMS Noise in Codes: " + d.rmsCodes +
           "\nExact RMS Noise in Volts: " + d.rms +
           "\nEffective Resolution: " + bits(d.effectiveResolution) +
           "\nNoise-Free Resolution: " + bits(d.noiseFree) + "\n";
}

// The byte read from the board, as the noise analysis screen reads it.
int32_t BoardAdcControl(BoardLink& link) {
    Register control = Register::For(link, RegisterMap::AdcControl);
    return ReadValue(control) & 0xFF;
}

// No board named and no printer port on the machine: a file needs none.
bool NoBoard(const GlobalOptions& global) {
    struct stat info {};
    return !global.board.simulate && !global.board.portDevice &&
           stat(DefaultPortDevice, &info) != 0;
}

// What the power-on settings (bipolar, 2.56 V) give where neither the options nor a capture do.
std::string PowerOnNote(const AnalyseOptions& o) {
    if (!o.range && !o.polarity)
        return "the power-on settings, " + PolarityName(false) + " " + PowerOnRangeName();
    return o.range ? "the power-on polarity, " + PolarityName(false)
                   : "the power-on range, " + PowerOnRangeName();
}

int RunAnalyse(const GlobalOptions& global, const AnalyseOptions& o) {
    std::optional<int32_t> optionByte;
    if (o.adcControl) {
        optionByte = ParseHexValue(*o.adcControl, 0xFF);
        if (!optionByte)
            throw UsageError{"--adc-control takes a hexadecimal byte, not '" + *o.adcControl + "'"};
    }
    SettingOptions named;
    named.range = o.range;
    named.polarity = o.polarity;
    named.Read();
    std::optional<float> ref;
    if (o.ref) ref = ParseReferenceOption(*o.ref);

    // One pass over the codes as they are read: a run of any length in little memory. Time-out
    // markers of failed reads are no codes: counted, and left out.
    Run run;
    noise::NoiseSums sums;
    uint64_t timeouts = 0;
    std::string why;
    const bool loaded = files::StreamRun(
        o.file, o.hex, run,
        [&](std::span<const int32_t> codes) {
            for (const int32_t code : codes) {
                if (code == TimeoutMarker)
                    ++timeouts;
                else
                    sums.Add(code);
            }
        },
        why);
    if (!loaded) return Failure(why);
    const std::string name = o.file == "-" ? std::string("standard input") : Quoted(o.file);
    if (sums.count() < MinAnalysisCodes)
        return Failure("analyse needs at least 10 codes, " + name + " holds " +
                       std::to_string(sums.count()) +
                       (timeouts ? " besides " + std::to_string(timeouts) + " time-out markers"
                                 : std::string()));
    if (timeouts)
        Remark(std::to_string(timeouts) + " time-out marker" + (timeouts > 1 ? "s" : "") +
               " (-2147483648, a failed read) left out of the statistics of " +
               std::to_string(sums.count()) + " codes");

    auto analyse = [&](int32_t byte) {
        byte = named.ControlByte(byte);
        const float volts = ref.value_or(run.referenceVolts);
        const auto a = noise::AnalyseSums(sums, Scaling::Shown(byte, volts), timeouts);
        return WriteStdout(o.json ? figures::Analysis(a).dump(2) + "\n" : AnalysisText(a));
    };
    if (optionByte) return analyse(*optionByte);
    if (run.adcControl) return analyse(*run.adcControl);
    if (o.range && o.polarity) return analyse(0);
    if (NoBoard(global)) {
        Remark("no board: " + PowerOnNote(o));
        return analyse(PowerOnAdcControl);
    }
    return WithBoard(global, [&](Board& board) {
        const int32_t byte = BoardAdcControl(board.link());
        Remark("range and polarity from the board: " +
               noise::RangeText(adc::RangeVolts(adc::RangeCode(byte)), adc::PolarityOf(byte)) +
               ", " + (adc::IsUnipolar(byte) ? "unipolar" : "bipolar"));
        return analyse(byte);
    });
}

}  // namespace

float ParseReferenceOption(const std::string& text) {
    const auto ref = run::ParseReference(text);
    if (!ref || !(*ref > 0))
        throw UsageError{"--ref takes a positive number of volts, not '" + text + "'"};
    return *ref;
}

void RegisterAnalyse(Tool& tool) {
    static AnalyseOptions o;
    static const std::string help =
        "Loads a run of any length (at least 10 codes) from a data file, or from a CSV or JSON\n"
        "capture, and prints the noise analysis screen's results, one line each as\n"
        "'caption: text', each caption once (RMS Noise in Codes, whole and in hexadecimal, and\n"
        "RMS Noise in Volts, as the screen rounds them), then the data-sheet figures: the exact\n"
        "RMS noise in codes and volts, the effective resolution log2(2^24 / RMS) and the\n"
        "noise-free resolution log2(2^24 / span). FILE - is standard input; a data file is read\n"
        "as it comes, in one pass. Time-out markers of failed reads (-2147483648) are left out\n"
        "of the statistics and counted (said on standard error; \"timeouts\" in JSON).\n"
        "Range and polarity come from --adc-control or --range and --polarity, else from a\n"
        "capture's own settings, else from the board's ADC control register, as the noise\n"
        "analysis screen reads them; with no board named and no printer port, from the\n"
        "power-on settings, " +
        PolarityName(false) + " " + PowerOnRangeName() +
        ". Where they came from is said on standard error.\n"
        "\n"
        "  --hex              the data file holds hexadecimal codes\n"
        "  --adc-control HEX  the ADC control byte (range bits 2..0, unipolar bit 3); no board\n" +
        HelpLine("--range RANGE", AllowedText(SettingId::Range)) +
        HelpLine("--polarity POL", AllowedText(SettingId::Polarity)) +
        "  --ref VOLTS        reference voltage, a positive number rounded to two decimals\n"
        "                     (default: the capture's, else 2.5)\n"
        "  --json             one JSON object: \"labels\", the label texts under ref_voltage,\n"
        "                     lsb_size, input_range, codes_read, rms_noise_codes, average_code,\n"
        "                     code_span, max_code, min_code, rms_noise, pk_pk_noise,\n"
        "                     average_value; and \"values\", numbers in base units: codes,\n"
        "                     timeouts, mean_code, rms_codes (sample standard deviation),\n"
        "                     rms_codes_whole, peak_to_peak_codes, min_code, max_code, "
        "lsb_volts,\n"
        "                     rms_volts, peak_to_peak_volts, mean_volts, range_volts (what the\n"
        "                     codes span at the reference: half the range at half the\n"
        "                     reference),\n"
        "                     bipolar, ref_volts, effective_resolution_bits and noise_free_bits\n"
        "                     (null when the run does not vary)\n";
    CLI::App* c = tool.Add(
        {"analyse",
         "analyse FILE [--hex] [--adc-control HEX | --range RANGE --polarity POL] [--ref VOLTS] "
         "[--json]",
         "noise analysis of a data file or a capture", help.c_str()},
        [&tool] { return RunAnalyse(tool.global(), o); });
    c->add_option("FILE", o.file)->required();
    c->add_flag("--hex", o.hex);
    c->add_flag("--json", o.json);
    c->add_option("--adc-control", o.adcControl);
    c->add_option("--range", o.range);
    c->add_option("--polarity", o.polarity);
    c->add_option("--ref", o.ref);
}

}  // namespace kx::cli
