// libFuzzer target for the capture readers (CSV and JSON, and the data file behind them): any
// bytes give a clean refusal naming the input, or a run that is written back in its own form and
// read again to the same codes and settings.

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string>

#include "files/run_file.h"

using namespace kx;
using namespace kx::files;

namespace {

void Check(bool condition) {
    if (!condition) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    for (const bool hex : {false, true}) {
        Run run;
        std::string why;
        if (!RunFromText(text, "input", hex, run, why)) {
            Check(why.find("input") != std::string::npos);
            continue;
        }
        Check(!run.codes.empty() && why.empty());
        Check(std::isfinite(run.referenceVolts) && run.referenceVolts > 0);
        if (run.rateHz) Check(std::isfinite(*run.rateHz) && *run.rateHz > 0);

        // A capture carries its settings; written back in its form it reads the same.
        const size_t first = text.find_first_not_of(" \t\r\n");
        const bool json = first != std::string::npos && text[first] == '{';
        const bool csv = text.rfind("# kx3105 capture", 0) == 0 || text.rfind("index,", 0) == 0;
        if (!json && !csv) continue;
        const std::string again = RunText(json ? RunFormat::Json : RunFormat::Csv, false, run, {});
        Run back;
        Check(RunFromText(again, "again", false, back, why));
        Check(back.codes == run.codes);
        Check(back.adcControl.value_or(0) == run.adcControl.value_or(0));
        Check(back.referenceVolts == run.referenceVolts);
    }
    return 0;
}
