#include <strings.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include <atomic>
#include <charconv>
#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iostream>
#include <sstream>

#include "cli/analyse_command.h"
#include "cli/board_commands.h"
#ifdef KX3105_CLI_CHARTS
#include "cli/chart_command.h"
#endif
#include "analysis/read_run.h"
#include "app/startup.h"
#include "board/port_trace.h"
#include "board/resets.h"
#include "cli/invocation.h"
#include "core/globals.h"
#include "core/messages.h"
#include "core/numtext.h"

using namespace kx::cli;

namespace {

// A capture's progress line on a terminal, not yet ended by a line feed.
bool progressLineOpen = false;

void EndProgressLine() {
    if (progressLineOpen) std::cerr << "\n";
    progressLineOpen = false;
}

// The screens' message boxes become one line each on standard error, their text as it is. The
// tool asks no questions: one would be answered No.
class StderrLines final : public kx::MessageService {
public:
    StderrLines() { kx::SetMessageService(this); }
    ~StderrLines() override { kx::SetMessageService(nullptr); }
    StderrLines(const StderrLines&) = delete;
    StderrLines& operator=(const StderrLines&) = delete;

    kx::Answer show(const kx::Message& message) override {
        EndProgressLine();
        std::string line;
        bool gap = false;
        for (const char c : message.text) {
            if (c == '\r' || c == '\n') {
                gap = !line.empty();
                continue;
            }
            if (gap) line += ' ';
            gap = false;
            line += c;
        }
        std::cerr << line << std::endl;
        return message.buttons == kx::Buttons::YesNo ? kx::Answer::No : kx::Answer::Ok;
    }
};

int UsageError(const std::string& why) {
    std::cerr << ToolName << ": " << why << "\n";
    return ExitUsage;
}

int Failure(const std::string& why) {
    std::cerr << ToolName << ": " << why << "\n";
    return ExitFailure;
}

// The values a command was given, checked before the board is touched.
struct Checked {
    const RegisterInfo* reg = nullptr;
    uint32_t value = 0;
    int number = 0;  // capture count, calibration mode code
    bool hardware = false;
    std::optional<int32_t> adcControl;
    float ref = 2.5f;
};

std::optional<int> ParseCount(const std::string& text) {
    int n = 0;
    const char* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, n);
    if (error != std::errc() || stop != end || n < 1 || n > 32767) return std::nullopt;
    return n;
}

bool IsChartFileName(const std::string& path) {
    auto endsWith = [&](const char* ending) {
        const size_t n = std::strlen(ending);
        return path.size() >= n && strcasecmp(path.c_str() + path.size() - n, ending) == 0;
    };
    return endsWith(".png") || endsWith(".pdf");
}

// A usage error in one line, or nothing.
std::optional<std::string> Check(const Invocation& inv, Checked& c) {
    const std::string& cmd = inv.command;
    const auto& ops = inv.operands;
    if (cmd == "read" || cmd == "write") {
        c.reg = FindRegister(ops[0]);
        if (!c.reg) {
            std::string names;
            for (const auto& r : NamedRegisters)
                names += (names.empty() ? "" : ", ") + std::string(r.name);
            return "unknown register '" + ops[0] + "' (" + names + ")";
        }
    }
    if (cmd == "write") {
        if (!c.reg->writable()) return ops[0] + " is read-only";
        const auto value = kx::ParseHex(ops[1]);
        if (!value) return "'" + ops[1] + "' is not a hexadecimal value";
        if (*value >= (1ull << c.reg->width))
            return ops[1] + " does not fit the " + std::to_string(c.reg->width) + "-bit " + ops[0] +
                   " register";
        c.value = static_cast<uint32_t>(*value);
    }
    if (cmd == "reset") {
        if (ops[0] != "hardware" && ops[0] != "software")
            return "reset takes hardware or software, not '" + ops[0] + "'";
        c.hardware = ops[0] == "hardware";
    }
    if (cmd == "calibrate") {
        c.number = CalibrationCode(ops[0]);
        if (c.number == 0)
            return "calibrate takes internal-zero, internal-full, system-zero or system-full, "
                   "not '" +
                   ops[0] + "'";
    }
    if (cmd == "capture") {
        const auto count = ParseCount(ops[0]);
        if (!count) return "COUNT must be a whole number from 1 to 32767, not '" + ops[0] + "'";
        c.number = *count;
    }
    if (cmd == "analyse") {
        if (inv.adcControl) {
            const auto byte = kx::ParseHex(*inv.adcControl);
            if (!byte || *byte > 0xFF)
                return "--adc-control takes a hexadecimal byte, not '" + *inv.adcControl + "'";
            c.adcControl = static_cast<int32_t>(*byte);
        }
        if (inv.ref) {
            const auto ref = kx::run::ParseReference(*inv.ref);
            if (!ref) return "--ref takes a number of volts, not '" + *inv.ref + "'";
            c.ref = *ref;
        }
    }
    if ((cmd == "plot" || cmd == "histogram") && !IsChartFileName(*inv.output))
        return "the output name must end in .png or .pdf: " + *inv.output;
    return std::nullopt;
}

std::atomic<bool> keepReading{true};

void Interrupt(int) {
    keepReading = false;
}

std::function<void(int, int)> TerminalProgress() {
    if (!isatty(STDERR_FILENO)) return {};
    return [last = std::chrono::steady_clock::time_point()](int read, int count) mutable {
        const auto now = std::chrono::steady_clock::now();
        if (read != count && now - last < std::chrono::milliseconds(100)) return;
        last = now;
        std::cerr << "\rReading code " << read << " of " << count << std::flush;
        progressLineOpen = true;
    };
}

int WriteCapture(const Invocation& inv) {
    const auto form = inv.hex ? kx::datafile::Form::Hex : kx::datafile::Form::Decimal;
    if (!inv.output || *inv.output == "-") {
        std::cout << kx::datafile::RunText(SampleBuffer, CodeCount, form) << std::flush;
        if (std::cout) return ExitOk;
        std::cerr << "Error Creating File: standard output\n";
        return ExitFailure;
    }
    switch (kx::datafile::WriteRunFile(*inv.output, SampleBuffer, CodeCount, form)) {
        case kx::datafile::WriteStatus::Written:
            return ExitOk;
        case kx::datafile::WriteStatus::CannotCreate:
            std::cerr << "Error creating File: " << *inv.output << "\n";
            return ExitFailure;
        case kx::datafile::WriteStatus::WriteFailed:
            std::cerr << "Error Creating File: " << *inv.output << "\n";
            return ExitFailure;
    }
    return ExitFailure;
}

// The analysis of the loaded run, printed; ReferenceVoltage is the tool's (start-up sets the
// program's).
int Analyse(const Invocation& inv, const Checked& c) {
    ReferenceVoltage = c.ref;
    const auto analysis = AnalyseRun(c.adcControl);
    if (inv.json)
        PrintAnalysisJson(analysis, std::cout);
    else
        PrintAnalysis(analysis, std::cout);
    return ExitOk;
}

int RunBoardCommand(const Invocation& inv, const Checked& c) {
    const std::string& cmd = inv.command;
    if (cmd == "regs") return PrintRegisters(std::cout, inv.data);
    if (cmd == "read") return ReadRegister(*c.reg, std::cout);
    if (cmd == "write") return WriteRegister(*c.reg, c.value);
    if (cmd == "reset") {
        if (c.hardware)
            kx::HardwareReset();
        else
            kx::SoftwareReset();
        return ExitOk;
    }
    if (cmd == "calibrate") return Calibrate(c.number);
    if (cmd == "capture") {
        struct sigaction action {};
        action.sa_handler = Interrupt;
        action.sa_flags = SA_RESETHAND;  // a second Ctrl+C ends the tool at once
        sigaction(SIGINT, &action, nullptr);
        const int status = Capture(c.number, keepReading, TerminalProgress());
        EndProgressLine();
        const int written = WriteCapture(inv);
        return status != ExitOk ? status : written;
    }
    return Analyse(inv, c);  // range and polarity from the board
}

// Opens the board as the program does, loads and saves the simulated board's registers around the
// command, and runs it.
int WithBoard(const Invocation& inv, kx::StartupOptions options, const Checked& c) {
    if (options.traceFile) {
        std::string error;
        if (!kx::StartPortTrace(*options.traceFile, error))
            return Failure("cannot write the trace " + *options.traceFile + ": " + error);
    }
    kx::Board board = kx::OpenBoard(options, std::cerr);
    SetPortBackend(board.backend.get());
    auto* simulated = dynamic_cast<kx::sim::SimulatedBoard*>(board.backend.get());
    auto finish = [&](int status) {
        SetPortBackend(nullptr);
        kx::StopPortTrace();
        return status;
    };

    if (inv.simState && simulated && std::filesystem::exists(*inv.simState)) {
        std::ifstream in(*inv.simState, std::ios::binary);
        std::stringstream text;
        text << in.rdbuf();
        std::string error;
        if (!in || !simulated->loadState(text.str(), error))
            return finish(Failure(*inv.simState + ": " + (error.empty() ? "cannot read" : error)));
    }

    // The status switch belongs to the program, not to the tool.
    options.commandLine.clear();
    kx::RunStartup(options);
    auto* port = dynamic_cast<const kx::PpdevPort*>(board.backend.get());
    if (!simulated && (PortAddress == 0 || (port && !port->claimed())))
        return finish(Failure(kx::BoardLine(board)));

    int status = RunBoardCommand(inv, c);

    if (inv.simState && simulated) {
        std::ofstream out(*inv.simState, std::ios::binary | std::ios::trunc);
        out << simulated->saveState();
        out.close();
        if (!out) {
            const int saved = Failure("cannot save the board's state to " + *inv.simState);
            if (status == ExitOk) status = saved;
        }
    }
    return finish(status);
}

#ifndef KX3105_CLI_CHARTS
// The charts need Qt Widgets, whose libraries alone cost more to load than a whole register
// command takes; so they are drawn by a companion program beside this one, which takes over the
// process with the same arguments.
int RunChartRenderer(const std::vector<std::string>& args) {
    std::error_code error;
    const auto self = std::filesystem::read_symlink("/proc/self/exe", error);
    const std::string renderer = (self.parent_path() / ChartRendererName).string();
    std::vector<char*> argv{const_cast<char*>(renderer.c_str())};
    for (const auto& a : args)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    std::cout.flush();
    execv(renderer.c_str(), argv.data());
    return Failure("cannot start the chart renderer " + renderer + ": " + std::strerror(errno));
}
#endif

int Run(const std::vector<std::string>& args) {
    const Invocation inv = ParseInvocation(args);
    if (!inv.ok) return UsageError(inv.error);
    if (inv.help) {
        std::cout << (inv.command.empty() ? GeneralHelp() : CommandHelp(inv.command)) << std::flush;
        return std::cout ? ExitOk : Failure("cannot write the help text");
    }

    if (inv.board.version) {
        std::cout << kx::ProgramVersion << "\n" << std::flush;
        return std::cout ? ExitOk : Failure("cannot write the version");
    }
    if (inv.command.empty()) return UsageError("no command given (kx3105-cli --help lists them)");

    Checked checked;
    if (auto why = Check(inv, checked)) return UsageError(*why);
#ifndef KX3105_CLI_CHARTS
    if (inv.command == "plot" || inv.command == "histogram") return RunChartRenderer(args);
#endif

    StderrLines messages;
    if (inv.command == "analyse" || inv.command == "plot" || inv.command == "histogram") {
        const auto form = inv.hex ? kx::datafile::Form::Hex : kx::datafile::Form::Decimal;
        if (!LoadRunForAnalysis(inv.operands[0], form, std::cerr)) return ExitFailure;
#ifdef KX3105_CLI_CHARTS
        if (inv.command == "plot") return RenderChart(Chart::NoisePlot, *inv.output);
        if (inv.command == "histogram") return RenderChart(Chart::Histogram, *inv.output);
#endif
        if (checked.adcControl) return Analyse(inv, checked);  // no board needed
    }
    return WithBoard(inv, inv.board, checked);
}

}  // namespace

int main(int argc, char** argv) {
    const int status = Run(std::vector<std::string>(argv + 1, argv + argc));
    std::cout.flush();
    return status != ExitOk ? status : (std::cout ? ExitOk : ExitFailure);
}
