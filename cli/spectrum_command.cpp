#include <cmath>
#include <cstdio>
#include <nlohmann/json.hpp>

#include "acquisition/characterise.h"
#include "analysis/chart_caption.h"
#include "analysis/figures.h"
#include "analysis/noise_stats.h"
#include "board/registers.h"
#include "cli/board_session.h"
#include "cli/commands.h"
#include "cli/curve_output.h"
#include "cli/output.h"
#include "cli/settings.h"
#include "converter/adc_control_fields.h"
#include "converter/filter_logic.h"
#include "converter/register_update.h"
#include "core/hex.h"
#include "core/numtext.h"
#include "files/run_file.h"
#include "maths/spectrum.h"

// `spectrum`: the noise spectral density of a run and the figures read from it, as text or JSON;
// the density as a chart or CSV.

namespace kx::cli {

namespace {

struct SpectrumOptions {
    std::string file;
    bool hex = false;
    bool json = false;
    std::optional<std::string> rate;
    std::optional<std::string> adcControl;
    std::optional<std::string> range;
    std::optional<std::string> polarity;
    std::optional<std::string> ref;
    std::string window = "hann";
    std::optional<int> segment;
    CurveOutput out;
};

// What the options say, checked before anything is read.
struct SpectrumRequest {
    std::optional<int32_t> adcControl;
    std::optional<double> rateHz;
    std::optional<float> ref;
    spectrum::WelchOptions welch;
};

std::string Fixed(double value, int decimals) {
    char text[64];
    std::snprintf(text, sizeof text, "%.*f", decimals, value);
    return text;
}

std::string FiguresJson(const spectrum::Spectrum& s) {
    return figures::SpectrumFigures(s).dump(2) + "\n";
}

std::string FiguresText(const spectrum::Spectrum& s) {
    const auto& d = s.density;
    std::string text = "Update rate: " + Fixed(d.rateHz, 2) + " Hz\n";
    text += "Window: " + spectrum::WindowName(d.window) + ", " + std::to_string(d.segment) +
            " points per segment, " + std::to_string(d.segments) + " segments, " +
            Fixed(d.binHz, 4) + " Hz per bin\n";
    text += "White noise: " + Fixed(s.figures.whiteNvPerRtHz, 2) + " nV/rtHz\n";
    if (s.figures.spurs.empty()) text += "Spurs: none above the noise\n";
    for (const auto& spur : s.figures.spurs)
        text += "Spur: " + Fixed(spur.hz, 3) + " Hz, " + Fixed(spur.uvRms, 3) + " uV RMS\n";
    if (const auto& t = s.figures.tone) {
        text += "Tone: " + Fixed(t->hz, 3) + " Hz, " + Fixed(t->uvRms, 3) + " uV RMS\n";
        // No harmonic clear of the noise leaves THD at minus infinity.
        const std::string thd =
            std::isinf(t->thdDb) ? std::string("below the noise") : Fixed(t->thdDb, 2) + " dB";
        text += "SNR: " + Fixed(t->snrDb, 2) + " dB\nTHD: " + thd +
                "\nSINAD: " + Fixed(t->sinadDb, 2) + " dB\nSFDR: " + Fixed(t->sfdrDb, 2) +
                " dB\nENOB: " + Fixed(t->enob, 2) +
                " bits\nENOB (full scale): " + Fixed(t->enobFullScale, 2) + " bits\n";
    } else {
        text += "Tone: none stands clear of the noise\n";
    }
    return text;
}

SpectrumRequest CheckOptions(const SpectrumOptions& o) {
    SpectrumRequest r;
    if (o.adcControl) {
        const auto byte = ParseHexValue(*o.adcControl, 0xFF);
        if (!byte)
            throw UsageError{"--adc-control takes a hexadecimal byte, not '" + *o.adcControl + "'"};
        r.adcControl = static_cast<int32_t>(*byte);
    }
    SettingOptions named;
    named.range = o.range;
    named.polarity = o.polarity;
    named.Read();
    if (o.ref) r.ref = ParseReferenceOption(*o.ref);
    if (o.rate) {
        const auto hz = ParseDecimal(*o.rate);
        // Far beyond any converter's rates the figures are only overflow and underflow.
        if (!hz || !(*hz >= files::MinRunRateHz && *hz <= files::MaxRunRateHz))
            throw UsageError{"--rate takes a number of hertz from 0.001 to 1000000, not '" +
                             *o.rate + "'"};
        r.rateHz = *hz;
    }
    const auto window = spectrum::ParseWindow(o.window);
    if (!window) throw UsageError{"--window takes hann or blackman-harris, not '" + o.window + "'"};
    r.welch.window = *window;
    if (o.segment) {
        if (*o.segment < spectrum::MinSegment)
            throw UsageError{"--segment takes a number of points from 16, not " +
                             std::to_string(*o.segment)};
        r.welch.segment = *o.segment;
    }
    return r;
}

// The byte the run is scaled with: an option's, else the capture's, else (nullopt) the board's.
std::optional<int32_t> OwnByte(const SpectrumOptions& o, const SpectrumRequest& r, const Run& run) {
    if (r.adcControl) return r.adcControl;
    if (run.adcControl) return run.adcControl;
    if (o.range && o.polarity) return 0;
    return std::nullopt;
}

int Analyse(const GlobalOptions& global, const SpectrumOptions& o, const SpectrumRequest& r,
            CurveData* curve) {
    Run run;
    std::string why;
    if (!files::LoadRun(o.file, o.hex, run, why)) return Failure(why);
    const std::string name = o.file == "-" ? std::string("standard input") : Quoted(o.file);
    if (run.codes.size() < spectrum::MinCodes)
        return Failure("spectrum needs at least 64 codes, " + name + " holds " +
                       std::to_string(run.codes.size()));
    if (static_cast<size_t>(r.welch.segment) > run.codes.size())
        throw UsageError{"--segment " + std::to_string(r.welch.segment) + " is longer than the " +
                         std::to_string(run.codes.size()) + " codes of " + name};

    std::optional<int32_t> byte = OwnByte(o, r, run);
    std::optional<double> rate = r.rateHz ? r.rateHz : run.rateHz;
    if (!byte || !rate) {
        const int status = WithBoard(global, [&](Board& board) {
            if (!byte) {
                Register control = Register::For(board.link(), RegisterMap::AdcControl);
                byte = ReadValue(control) & 0xFF;
                Remark("range and polarity from the board: " +
                       noise::RangeText(adc::RangeVolts(adc::RangeCode(*byte)),
                                        adc::PolarityOf(*byte)) +
                       ", " + (adc::IsUnipolar(*byte) ? "unipolar" : "bipolar"));
            }
            if (!rate) {
                Register mode = Register::For(board.link(), RegisterMap::Mode);
                Register filter = Register::For(board.link(), RegisterMap::Filter);
                const int32_t modeValue = ReadValue(mode);
                const int32_t word = ReadValue(filter);
                rate = characterise::UpdateRateOf(modeValue, word);
                if (!rate) return Failure("the board's filter word is 0, which sets no rate");
                Remark("update rate from the board: " + FormatPattern(*rate, "#.##") +
                       " Hz (filter word " + Hex(word) + ", chopping " +
                       (ChopEnabledIn(modeValue) ? "on" : "off") + ")");
            }
            return ExitOk;
        });
        if (status != ExitOk) return status;
    }
    SettingOptions given;
    given.range = o.range;
    given.polarity = o.polarity;
    *byte = given.ControlByte(*byte);
    const Scaling scaling = Scaling::Of(*byte, r.ref.value_or(run.referenceVolts));
    const auto s =
        spectrum::AnalyseSpectrum(std::move(run.codes), scaling.lsbVolts, *rate, r.welch, why);
    if (!s) return Failure("no spectrum of " + name + ": " + why);

    // Standard output carries the curve when -o is -.
    if (!o.out.toStdout()) {
        const int status = WriteStdout(o.json ? FiguresJson(*s) : FiguresText(*s));
        if (status != ExitOk) return status;
    }
    if (curve) {
        curve->title = "Noise Spectral Density";
        curve->xLabel = "Frequency (Hz)";
        curve->yLabel = "nV/\u221AHz";
        run.rateHz = *rate;
        curve->caption = ConditionsCaption(ConditionsOf(run, scaling, run.board));
        for (const auto& row : spectrum::DensityRows(s->density)) {
            curve->x.push_back(row.hz);
            curve->y.push_back(row.nvPerRtHz);
        }
    }
    return ExitOk;
}

int RunSpectrum(const GlobalOptions& global, const SpectrumOptions& o, const ChartRunner& charts) {
    const SpectrumRequest r = CheckOptions(o);
    if (const int status = o.out.Check("spectrum"); status != ExitOk) return status;
    if (o.out.picture())
        return o.out.Draw(charts,
                          [&global, &o, r](CurveData& c) { return Analyse(global, o, r, &c); });
    if (!o.out.output) return Analyse(global, o, r, nullptr);
    CurveData curve;
    if (const int status = Analyse(global, o, r, &curve); status != ExitOk) return status;
    return o.out.WriteCsv("frequency_hz,nsd_nv_per_rthz", curve);
}

}  // namespace

// The help states the margin.
static_assert(spectrum::ToneMarginDb == 20.0);

void RegisterSpectrum(Tool& tool, const ChartRunner& charts) {
    static SpectrumOptions o;
    CLI::App* c = tool.Add(
        {"spectrum",
         "spectrum FILE [--rate HZ] [--window hann|blackman-harris] [--segment N] [--json] "
         "[-o OUT.png|.pdf|.csv] [scaling]",
         "noise spectral density of a run, its white level, spurs and tone figures",
         "Makes the noise spectral density of a run (at least 64 codes) by Welch's method:\n"
         "segments overlapping by half a segment rounded down (as scipy.signal.welch), each\n"
         "with its mean removed and windowed, one-sided, in nV/rtHz from 0 to half the update\n"
         "rate. Prints the white-noise level (the median of the density), the five largest\n"
         "spurs (frequency, uV RMS) and, when one tone stands clear of the noise, its frequency\n"
         "and amplitude with SNR, THD (harmonics 2 to 6), SINAD, SFDR, ENOB of the tone\n"
         "((SINAD - 1.76) / 6.02) and ENOB referred to full scale (log2 of the 2^24-code span\n"
         "over the RMS noise and distortion times sqrt 12), from one transform of the whole run\n"
         "with the narrowest of the Hann, 4-term and 7-term Blackman-Harris windows whose side\n"
         "lobes lie below its noise. A tone is reported only when its peak bin is beyond what\n"
         "noise reaches (one chance in a thousand) and its power stands at least 20 dB above the\n"
         "noise in one bin (rate / codes wide); the tone, its main lobe and its skirt are no\n"
         "spur, and they and its harmonics are left out of the white level. THD reads \"below\n"
         "the noise\" when no harmonic stands clear of it.\n"
         "FILE is a data file or a capture, - for standard input. The update rate comes from\n"
         "--rate, else from a capture's rate_hz, else from the board's mode and filter\n"
         "registers; range and polarity as for analyse. What is taken from the board is said\n"
         "on standard error.\n"
         "\n"
         "  --rate HZ          update rate of the run in hertz\n"

         "  --hex              the data file holds hexadecimal codes\n"
         "  scaling, as for analyse:\n"
         "  --adc-control HEX  the ADC control byte (range bits 2..0, unipolar bit 3)\n"
         "  --range RANGE      {range}\n"
         "  --polarity POL     {polarity}\n"
         "  --ref VOLTS        reference voltage (default: the capture's, else 2.5)\n"
         "  --window NAME      hann (the default) or blackman-harris\n"
         "  --segment N        points per segment (default: the largest power of two not\n"
         "                     above a quarter of the run, at least 64)\n"
         "  --json             the figures as one JSON object: rate_hz, segment, window,\n"
         "                     white_nsd_nv_per_rthz, spurs [{hz, uv_rms}], tone {hz, uv_rms,\n"
         "                     snr_db, thd_db, sinad_db, sfdr_db, enob, enob_full_scale} or\n"
         "                     null; thd_db is null when no harmonic stands clear of the noise\n"
         "  -o OUT             the density: a chart on log axes (.png, .pdf; - is PNG on\n"
         "                     standard output, the figures then not printed) or the points\n"
         "                     (.csv: frequency_hz,nsd_nv_per_rthz)\n"
         "  --size WxH         chart size in pixels (default 800x500)\n"
         "  --title TEXT       the chart's title\n"},
        [&tool, charts] { return RunSpectrum(tool.global(), o, charts); });
    c->add_option("FILE", o.file)->required();
    c->add_flag("--hex", o.hex);
    c->add_flag("--json", o.json);
    c->add_option("--rate", o.rate);
    c->add_option("--adc-control", o.adcControl);
    c->add_option("--range", o.range);
    c->add_option("--polarity", o.polarity);
    c->add_option("--ref", o.ref);
    c->add_option("--window", o.window);
    c->add_option("--segment", o.segment);
    o.out.AddTo(c);
}

}  // namespace kx::cli
