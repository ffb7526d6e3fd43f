#include "analysis/chart_caption.h"

#include <cstdio>
#include <ctime>

#include "analysis/noise_stats.h"

namespace kx {

ChartConditions ConditionsOf(const Run& run, const std::optional<Scaling>& scaling,
                             const std::string& board) {
    ChartConditions c;
    c.scaling = scaling;
    c.rateHz = run.rateHz;
    c.codes = run.codes.size();
    c.taken = run.taken;
    c.board = board;
    return c;
}

std::string ConditionsCaption(const ChartConditions& c) {
    std::string text;
    if (c.scaling) {
        text = noise::RangeText(c.scaling->inputRange(), c.scaling->polarity()) +
               (c.scaling->unipolar ? " unipolar" : " bipolar") +
               (c.scalingAssumed ? " (assumed)" : "") + ", ref " +
               noise::ReferenceText(c.scaling->referenceVolts);
    } else {
        text = "range not recorded";
    }
    char rate[48] = "rate not recorded";
    if (c.rateHz && *c.rateHz > 0) std::snprintf(rate, sizeof rate, "%.2f Hz", *c.rateHz);
    text += std::string(", ") + rate + ", " + std::to_string(c.codes) + " codes, ";
    if (c.taken) {
        const std::time_t when = std::chrono::system_clock::to_time_t(*c.taken);
        std::tm local{};
        localtime_r(&when, &local);
        char date[32];
        std::strftime(date, sizeof date, "%Y-%m-%d %H:%M", &local);
        text += date;
    } else {
        text += "date not recorded";
    }
    text += ", " + (c.board.empty() ? std::string("board not recorded") : c.board);
    return text;
}

}  // namespace kx
