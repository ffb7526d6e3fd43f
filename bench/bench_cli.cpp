// The command-line tool as scripts use it.
//  - `analyse` of a 5000-code file as a whole process, against the obvious numpy script run the
//    same way (a python3 that has numpy: $KX_BENCH_PYTHON, else python3, else /usr/bin/python3).
//  - `capture 2000` with the simulated board in real time at the fastest rate (filter word 3,
//    chopping disabled): wall time against 2000 update periods, and conversions missed. Once in
//    this process (the capture alone, after start-up) and once as a whole process.

#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "acquisition/read_codes.h"
#include "board/program_port.h"
#include "board/registers.h"
#include "board/serial.h"
#include "core/globals.h"
#include "sim/simulated_board.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;

constexpr double UpdatePeriodSeconds = 3 * 8.0 / 32768;  // filter word 3, chopping disabled
constexpr int CaptureCount = 2000;

const fs::path& WorkDir() {
    static const fs::path dir = [] {
        fs::path d = fs::temp_directory_path() / ("kx3105_cli_bench_" + std::to_string(getpid()));
        fs::create_directories(d);
        return d;
    }();
    return dir;
}

// Runs a program to its end with its output discarded; its exit status, or -1.
int RunProcess(std::vector<std::string> args) {
    std::vector<char*> argv;
    for (auto& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    pid_t pid = 0;
    const int started = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (started != 0) return -1;
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// 5000 codes around mid-scale, about two codes of noise, as a capture writes them.
const std::string& RunFile() {
    static const std::string path = [] {
        const fs::path file = WorkDir() / "run5000.dat";
        std::ofstream out(file, std::ios::binary);
        std::mt19937 engine(7);
        std::normal_distribution<double> noise(8388708.0, 2.0);
        for (int i = 0; i < 5000; ++i)
            out << ' ' << static_cast<long>(std::lround(noise(engine))) << "\r\n";
        return file.string();
    }();
    return path;
}

const std::string& NumpyScript() {
    static const std::string path = [] {
        const fs::path file = WorkDir() / "analyse.py";
        std::ofstream out(file);
        out << "import sys\n"
               "import numpy as np\n"
               "codes = np.loadtxt(sys.argv[1])\n"
               "print(codes.mean(), codes.std(ddof=1), codes.min(), codes.max())\n";
        return file.string();
    }();
    return path;
}

std::string PythonWithNumpy() {
    std::vector<std::string> candidates;
    if (const char* chosen = std::getenv("KX_BENCH_PYTHON")) candidates.push_back(chosen);
    candidates.push_back("python3");
    candidates.push_back("/usr/bin/python3");
    for (const auto& python : candidates)
        if (RunProcess({python, "-c", "import numpy"}) == 0) return python;
    return {};
}

void BM_AnalyseProcess(benchmark::State& state) {
    const std::string file = RunFile();
    if (RunProcess({KX3105_CLI, "analyse", file, "--adc-control", "7", "--json"}) != 0) {
        state.SkipWithError("kx3105-cli analyse failed");
        return;
    }
    for (auto _ : state)
        RunProcess({KX3105_CLI, "analyse", file, "--adc-control", "7", "--json"});
}
BENCHMARK(BM_AnalyseProcess)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2);

void BM_NumpyScriptProcess(benchmark::State& state) {
    const std::string python = PythonWithNumpy();
    if (python.empty()) {
        state.SkipWithError("no python3 with numpy (set KX_BENCH_PYTHON)");
        return;
    }
    // Some machines pin OpenBLAS to an old kernel, which slows numpy: not for this command.
    unsetenv("OPENBLAS_CORETYPE");
    unsetenv("OPENBLAS_L2_SIZE");
    const std::string file = RunFile();
    const std::string script = NumpyScript();
    for (auto _ : state)
        RunProcess({python, script, file});
}
BENCHMARK(BM_NumpyScriptProcess)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2);

// The capture as the tool runs it, timed from the call: the converter starts at the fastest rate,
// idle, and the capture switches on continuous conversion.
void BM_CaptureRealTimeInProcess(benchmark::State& state) {
    double elapsedTotal = 0;
    uint64_t missed = 0;
    uint64_t shortRuns = 0;
    for (auto _ : state) {
        kx::sim::SimSettings settings;
        settings.speed = kx::sim::Speed::RealTime;
        kx::sim::SimulatedBoard board(settings);
        PortAddress = 0x378;
        SetPortBackend(&board);
        WriteSerial(0x03, PortAddress, 8);  // filter word 3
        WriteSerial(0x03, PortAddress, 8);
        WriteSerial(0x01, PortAddress, 8);  // idle, chopping disabled
        WriteSerial(0x81, PortAddress, 8);
        const uint64_t replacedBefore = board.resultsReplaced();
        const auto start = std::chrono::steady_clock::now();
        std::vector<int32_t> codes;
        const auto end =
            kx::ReadCodes(kx::ProgramLink(), CaptureCount, {.continuous = true}, kx::NeverStopped,
                          [&codes](int32_t code) {
                              codes.push_back(code);
                              return true;
                          })
                .end;
        const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;

        state.SetIterationTime(elapsed.count());
        elapsedTotal += elapsed.count();
        missed += board.resultsReplaced() - replacedBefore;
        if (end != kx::ReadEnd::Done || codes.size() != CaptureCount) ++shortRuns;
        SetPortBackend(nullptr);
    }
    const double runs = static_cast<double>(state.iterations());
    state.counters["periods"] = elapsedTotal / runs / UpdatePeriodSeconds;
    state.counters["error_pct"] =
        100.0 * (elapsedTotal / runs / (CaptureCount * UpdatePeriodSeconds) - 1.0);
    state.counters["missed"] = static_cast<double>(missed);
    state.counters["failed_runs"] = static_cast<double>(shortRuns);
}
BENCHMARK(BM_CaptureRealTimeInProcess)
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime()
    ->Iterations(10);

// The same as a script runs it: one process, start-up included, the board prepared by two
// earlier calls with the same state file.
void BM_CaptureRealTimeProcess(benchmark::State& state) {
    const std::string stateFile = (WorkDir() / "board.state").string();
    const std::string out = (WorkDir() / "capture.dat").string();
    for (auto _ : state) {
        state.PauseTiming();
        fs::remove(stateFile);
        RunProcess({KX3105_CLI, "--sim-state", stateFile, "write", "filter", "3"});
        RunProcess({KX3105_CLI, "--sim-state", stateFile, "write", "mode", "81"});
        state.ResumeTiming();
        const int status =
            RunProcess({KX3105_CLI, "--sim-state", stateFile, "--sim-speed", "realtime", "capture",
                        std::to_string(CaptureCount), "-o", out});
        if (status != 0) {
            state.SkipWithError("capture failed");
            break;
        }
    }
    state.counters["periods_expected"] = CaptureCount;
}
BENCHMARK(BM_CaptureRealTimeProcess)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    fs::remove_all(WorkDir());
    return 0;
}
