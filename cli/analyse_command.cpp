#include <nlohmann/json.hpp>

#include "analysis/figures.h"
#include "analysis/noise_stats.h"
#include "analysis/read_run.h"
#include "board/registers.h"
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

std::string AnalysisText(const noise::NoiseTexts& t) {
    return "Ref. Voltage: " + t.ref + "\nLSB Size: " + t.lsb + "\nInput Range: " + t.range +
           "\nCodes Read: " + t.codes + "\nRMS Noise: " + t.rmsLsb +
           " Hex\nAverage Code: " + t.average + " Hex\nCode Span: " + t.span +
           " Hex\nMax Code: " + t.max + " Hex\nMin Code: " + t.min + " Hex\nRMS Noise: " + t.rms +
           "\nPk to Pk Noise: " + t.pkPk + "\nAverage Value: " + t.avValue + "\n";
}

std::string AnalysisJson(const noise::NoiseAnalysis& a, size_t count, int32_t adcControl,
                         float ref) {
    return nlohmann::json{{"labels", figures::AnalysisLabels(a.texts)},
                          {"values", figures::AnalysisValues(a, count, adcControl, ref)}}
               .dump(2) +
           "\n";
}

// The byte read from the board, as the noise analysis screen reads it.
int32_t BoardAdcControl() {
    Register control = Register::For(RegisterMap::AdcControl);
    return ReadValue(control) & 0xFF;
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
    named.Check();
    std::optional<float> ref;
    if (o.ref) ref = ParseReferenceOption(*o.ref);

    Run run;
    std::string why;
    if (!files::LoadRun(o.file, o.hex, run, why)) return Failure(why);
    if (run.codes.size() < MinAnalysisCodes)
        return Failure("analyse needs at least 10 codes, " +
                       (o.file == "-" ? std::string("standard input") : Quoted(o.file)) +
                       " holds " + std::to_string(run.codes.size()));

    auto analyse = [&](int32_t byte) {
        byte = named.ControlByte(byte);
        const float volts = ref.value_or(run.referenceVolts);
        const auto a = noise::AnalyseRun(run.codes, Scaling::Shown(byte, volts));
        return WriteStdout(o.json ? AnalysisJson(a, run.codes.size(), byte, volts)
                                  : AnalysisText(a.texts));
    };
    if (optionByte) return analyse(*optionByte);
    if (run.adcControl) return analyse(*run.adcControl);
    if (o.range && o.polarity) return analyse(0);
    return WithBoard(global, [&] {
        const int32_t byte = BoardAdcControl();
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
    CLI::App* c = tool.Add(
        {"analyse",
         "analyse FILE [--hex] [--adc-control HEX | --range RANGE --polarity POL] [--ref VOLTS] "
         "[--json]",
         "noise analysis of a data file or a capture",
         "Loads a run of any length (at least 10 codes) from a data file, or from a CSV or JSON\n"
         "capture, and prints the noise analysis screen's results, one line each as\n"
         "'caption: text'. FILE - is standard input. Range and polarity come from\n"
         "--adc-control or --range and --polarity, else from a capture's own settings, else\n"
         "from the board's ADC control register, as the noise analysis screen reads them (said\n"
         "on standard error).\n"
         "\n"
         "  --hex              the data file holds hexadecimal codes\n"
         "  --adc-control HEX  the ADC control byte (range bits 2..0, unipolar bit 3); no board\n"
         "  --range RANGE      20mV, 40mV, 80mV, 160mV, 320mV, 640mV, 1.28V or 2.56V\n"
         "  --polarity POL     bipolar or unipolar\n"
         "  --ref VOLTS        reference voltage, a positive number rounded to two decimals\n"
         "                     (default: the capture's, else 2.5)\n"
         "  --json             one JSON object: \"labels\", the label texts under ref_voltage,\n"
         "                     lsb_size, input_range, codes_read, rms_noise_codes, average_code,\n"
         "                     code_span, max_code, min_code, rms_noise, pk_pk_noise,\n"
         "                     average_value; and \"values\", numbers in base units: codes,\n"
         "                     mean_code, rms_codes (sample standard deviation), rms_codes_whole,\n"
         "                     peak_to_peak_codes, min_code, max_code, lsb_volts, rms_volts,\n"
         "                     peak_to_peak_volts, mean_volts, range_volts, bipolar, ref_volts,\n"
         "                     effective_resolution_bits and noise_free_bits (null when the run\n"
         "                     does not vary)\n"},
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
