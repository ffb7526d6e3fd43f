// libFuzzer target for the data-file parser: any bytes, read in both forms, must give a clean
// refusal or a run that keeps the format's promises and reads back the same once written.

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "files/datafile.h"

using namespace kx::datafile;

namespace {

void Check(bool condition) {
    if (!condition) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    for (const Form form : {Form::Decimal, Form::Hex}) {
        const ReadResult result = ParseRun(text, form);
        Check(result.lineCount >= 0 && result.lineCount <= MaxCodes + 1);
        if (result.status == ReadStatus::BadLine)
            Check(result.badLine >= 1 && result.badLine <= result.lineCount);
        if (result.status != ReadStatus::Loaded) continue;

        const Run& run = result.run;
        Check(run.count >= 1 && run.count <= MaxCodes);
        Check(run.buffer.size() == static_cast<size_t>(run.count) + 1 && run.buffer[0] == 0);
        for (size_t i = 1; i < run.buffer.size(); ++i) {
            const double code = run.buffer[i];
            Check(code == std::floor(code) && code >= -2147483648.0 && code <= 2147483647.0);
        }

        const ReadResult again = ParseRun(RunText(CodesOf(run), form), form);
        Check(again.status == ReadStatus::Loaded && again.run.count == run.count);
        Check(again.run.buffer == run.buffer);
    }
    return 0;
}
