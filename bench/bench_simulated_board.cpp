// How fast the simulated board answers in fast mode: port accesses and 24-bit conversion reads
// per second, and what the backend's virtual call costs against a direct one.

#include <benchmark/benchmark.h>

#include "board/program_port.h"
#include "board/registers.h"
#include "board/serial.h"
#include "core/globals.h"
#include "sim/simulated_board.h"

using kx::sim::SimulatedBoard;

namespace {

// The program at 0x378 with a simulated board installed, for the length of one benchmark.
struct Installed {
    SimulatedBoard board;
    Installed() {
        PortAddress = 0x378;
        SetPortBackend(&board);
    }
    ~Installed() {
        SetPortBackend(nullptr);
        PortAddress = 0;
    }
};

void WriteRegister(int16_t command, int32_t value) {
    WriteSerial(command, PortAddress, 8);
    WriteSerial(value, PortAddress, 8);
}

// Alternating clock edges and status reads, as the serial routines make them.
void BM_PortAccessThroughPortInOut(benchmark::State& state) {
    Installed sim;
    for (auto _ : state) {
        PortOut(0x378, 0x12);
        benchmark::DoNotOptimize(PortIn(0x379));
        PortOut(0x378, 0x1A);
    }
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * 3);
    state.counters["sim_s_per_s"] =
        benchmark::Counter(static_cast<double>(sim.board.simulatedTimeNanoseconds()) * 1e-9,
                           benchmark::Counter::kIsRate);
}
BENCHMARK(BM_PortAccessThroughPortInOut);

// Continuous conversion, each result read with ReadData as the program reads it, at the fastest
// rate and the power-on one (19.79 Hz). A poll that finds the converter busy moves the simulated
// clock on to the result, so a read costs the same at any rate; s_per_1e6_reads is what a
// capture of a million codes spends in the board.
void BM_ConversionRead(benchmark::State& state) {
    Installed sim;
    const auto filter = static_cast<int32_t>(state.range(0));
    const auto mode = static_cast<int32_t>(state.range(1));
    WriteRegister(0x01, 0x00);
    WriteRegister(0x03, filter);
    WriteRegister(0x01, mode);
    ReadData reader = ReadData::ForDataRegister();
    for (auto _ : state) {
        const int32_t code = reader.Read();
        if (code == TimeoutMarker) state.SkipWithError("data-ready time-out");
        benchmark::DoNotOptimize(code);
    }
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations()));
    state.counters["accesses_per_read"] =
        static_cast<double>(sim.board.accessCount()) / static_cast<double>(state.iterations());
    state.counters["s_per_1e6_reads"] = benchmark::Counter(
        1e-6, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_ConversionRead)->Args({0x03, 0x83})->ArgNames({"SF", "mode"});
BENCHMARK(BM_ConversionRead)->Args({0x45, 0x03})->ArgNames({"SF", "mode"});

// A 24-bit read with no ready wait: the serial clocking cost of one conversion word alone.
void BM_DataWordClocking(benchmark::State& state) {
    Installed sim;
    for (auto _ : state) {
        WriteSerial(0x44, PortAddress, 8);
        benchmark::DoNotOptimize(ReadSerial(24, PortAddress));
    }
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations()));
}
BENCHMARK(BM_DataWordClocking);

// The same status read three ways: through PortIn, through the PortBackend interface, and as a
// direct call on the final class, which the compiler need not dispatch.
void BM_StatusReadViaPortIn(benchmark::State& state) {
    Installed sim;
    for (auto _ : state)
        benchmark::DoNotOptimize(PortIn(0x379));
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations()));
}
BENCHMARK(BM_StatusReadViaPortIn);

void BM_StatusReadViaBackendInterface(benchmark::State& state) {
    SimulatedBoard board;
    PortBackend* backend = &board;
    benchmark::DoNotOptimize(backend);  // hides the dynamic type from the optimiser
    for (auto _ : state)
        benchmark::DoNotOptimize(backend->InByte(0x379));
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations()));
}
BENCHMARK(BM_StatusReadViaBackendInterface);

void BM_StatusReadDirect(benchmark::State& state) {
    SimulatedBoard board;
    for (auto _ : state)
        benchmark::DoNotOptimize(board.InByte(0x379));
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations()));
}
BENCHMARK(BM_StatusReadDirect);

}  // namespace

BENCHMARK_MAIN();
