#include "cli/analyse_command.h"

#include <charconv>
#include <cmath>

#include "analysis/read_run.h"
#include "core/globals.h"

namespace kx::cli {

namespace {

std::string JsonString(const std::string& text) {
    std::string out = "\"";
    for (const char c : text) {
        const auto u = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (u < 0x20) {
            static constexpr char digits[] = "0123456789abcdef";
            out += "\\u00";
            out += digits[u >> 4];
            out += digits[u & 0xF];
        } else {
            out += c;  // UTF-8 passes as it is ("±")
        }
    }
    return out + "\"";
}

// The shortest text that reads back as the same double.
std::string JsonNumber(std::optional<double> value) {
    if (!value || !std::isfinite(*value)) return "null";
    char buffer[32];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, *value);
    return std::string(buffer, result.ptr);
}

}  // namespace

bool LoadRunForAnalysis(const std::string& path, datafile::Form form, std::ostream& errors) {
    auto result = datafile::ReadRunFile(path, form);
    const char* const formName = form == datafile::Form::Hex ? "hexadecimal" : "decimal";
    switch (result.status) {
        case datafile::ReadStatus::Loaded:
            break;
        case datafile::ReadStatus::CannotOpen:
            errors << "kx3105-cli: cannot open " << path << "\n";
            return false;
        case datafile::ReadStatus::Empty:
            errors << "kx3105-cli: " << path << " holds no codes\n";
            return false;
        case datafile::ReadStatus::TooManyCodes:
            errors << "kx3105-cli: " << path << " holds more than " << datafile::MaxCodes
                   << " codes\n";
            return false;
        case datafile::ReadStatus::BadLine:
            errors << "Error Reading File: " << path << " line " << result.badLine << " is not a "
                   << formName << " code\n";
            return false;
    }
    datafile::UseRun(std::move(result.run));
    return RunLengthGate(CodeCount);
}

noise::NoiseAnalysis AnalyseRun(std::optional<int32_t> adcControl) {
    return adcControl ? noise::AnalyseSharedRun(*adcControl) : noise::AnalyseSharedRun();
}

void PrintAnalysis(const noise::NoiseAnalysis& analysis, std::ostream& out) {
    const noise::NoiseTexts& t = analysis.texts;
    out << "Ref. Voltage: " << t.ref << "\n"
        << "LSB Size: " << t.lsb << "\n"
        << "Input Range: " << t.range << "\n"
        << "Codes Read: " << t.codes << "\n"
        << "RMS Noise: " << t.rmsLsb << " Hex\n"
        << "Average Code: " << t.average << " Hex\n"
        << "Code Span: " << t.span << " Hex\n"
        << "Max Code: " << t.max << " Hex\n"
        << "Min Code: " << t.min << " Hex\n"
        << "RMS Noise: " << t.rms << "\n"
        << "Pk to Pk Noise: " << t.pkPk << "\n"
        << "Average Value: " << t.avValue << "\n";
}

void PrintAnalysisJson(const noise::NoiseAnalysis& analysis, std::ostream& out) {
    const noise::NoiseStatistics& s = analysis.stats;
    const noise::NoiseTexts& t = analysis.texts;
    const std::pair<const char*, const std::string*> texts[] = {
        {"ref_voltage", &t.ref},  {"lsb_size", &t.lsb},           {"input_range", &t.range},
        {"codes_read", &t.codes}, {"rms_noise_codes", &t.rmsLsb}, {"average_code", &t.average},
        {"code_span", &t.span},   {"max_code", &t.max},           {"min_code", &t.min},
        {"rms_noise", &t.rms},    {"pk_pk_noise", &t.pkPk},       {"average_value", &t.avValue},
    };
    out << "{";
    for (const auto& [key, text] : texts)
        out << JsonString(key) << ": " << JsonString(*text) << ", ";
    out << "\"rms_noise_exact_codes\": " << JsonNumber(s.rmsExactCodes)
        << ", \"effective_resolution_bits\": " << JsonNumber(s.effectiveResolutionBits)
        << ", \"noise_free_bits\": " << JsonNumber(s.noiseFreeBits) << "}\n";
}

}  // namespace kx::cli
