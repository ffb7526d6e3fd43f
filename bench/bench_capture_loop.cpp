#include <time.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "acquisition/board.h"
#include "acquisition/capture.h"

// The simulated board's own time for a capture, as kx3105-cli capture and the Python module take
// it (the one capture procedure: filter word 3, chopping off, continuous conversion), with nothing
// around it but a vector: the base bench/python_module.py measures the module's capture against.
// Usage: kx3105_capture_loop_bench [COUNT [RUNS]]; prints the best run in seconds, wall and
// processor (the processor time is what a loaded machine leaves alone).

int main(int argc, char** argv) {
    const long long count = argc > 1 ? std::atoll(argv[1]) : 100000;
    const int runs = argc > 2 ? std::atoi(argv[2]) : 5;
    double best = 1e300;
    double bestCpu = 1e300;
    auto cpu = [] {
        timespec t{};
        clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
        return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
    };
    for (int i = 0; i < runs; ++i) {
        kx::BoardOptions options;
        options.simulate = true;
        std::string why;
        const auto board = kx::Board::Open(options, {}, why);
        if (!board) {
            std::fprintf(stderr, "%s\n", why.c_str());
            return 1;
        }
        kx::CaptureRequest request;
        request.count = count;
        request.settings.filter = 3;
        request.settings.chop = false;
        kx::Run run;
        double startCpu = 0;
        std::chrono::steady_clock::time_point start;
        const auto begin = [&](const kx::Run& setAs) {
            run = setAs;
            run.codes.reserve(static_cast<size_t>(count));
            start = std::chrono::steady_clock::now();
            startCpu = cpu();
        };
        kx::Capture(board->link(), request, kx::NeverStopped, begin, [&](int32_t code, double) {
            run.codes.push_back(code);
            return true;
        });
        const double seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        if (seconds < best) best = seconds;
        if (cpu() - startCpu < bestCpu) bestCpu = cpu() - startCpu;
        board->Close(why);
    }
    std::printf("%.6f %.6f\n", best, bestCpu);
    return 0;
}
