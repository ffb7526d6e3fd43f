#include "converter/filter_logic.h"

#include <cmath>

#include "converter/register_update.h"
#include "core/hex.h"
#include "core/messages.h"
#include "core/numtext.h"

namespace kx {

int ChopDivisor(bool chopEnabled) {
    return chopEnabled ? 3 : 1;
}

int MinFilterWord(bool chopEnabled) {
    return chopEnabled ? 0x0D : 0x03;
}

// The rates of SF 255 and of the smallest word, as whole hertz.
int MinRate(bool chopEnabled) {
    return chopEnabled ? 5 : 16;
}

int MaxRate(bool chopEnabled) {
    return chopEnabled ? 105 : 1365;
}

std::string RangePrompt(bool chopEnabled) {
    return chopEnabled ? "Enter a value Between 5.35 Hz and 105.3 Hz"
                       : "Enter a value Between 16.06 Hz and 1365.33 Hz";
}

double UpdateRate(int sf, bool chopEnabled) {
    return (32768.0 / (8.0 * sf)) / ChopDivisor(chopEnabled);
}

int FilterWordForRate(int rate, bool chopEnabled) {
    const double sf = std::floor(32768.0 / (ChopDivisor(chopEnabled) * 8.0 * rate));
    if (sf > MaxFilterWord) return MaxFilterWord;
    // 3 in both chop states: with chopping enabled the rate limits already keep SF at 13 or more.
    if (sf < 3) return 3;
    return static_cast<int>(sf);
}

double SlowestRate(bool chopEnabled) {
    return UpdateRate(MaxFilterWord, chopEnabled);
}

double FastestRate(bool chopEnabled) {
    return UpdateRate(MinFilterWord(chopEnabled), chopEnabled);
}

int NearestFilterWord(double hz, bool chopEnabled) {
    const int lowest = MinFilterWord(chopEnabled);
    if (!(hz > 0)) return MaxFilterWord;
    // The rate falls as the word grows: the nearest is one of the two words around the exact one.
    const double exact = 32768.0 / (8.0 * ChopDivisor(chopEnabled) * hz);
    if (!(exact < MaxFilterWord)) return MaxFilterWord;
    if (exact <= lowest) return lowest;
    const int below = static_cast<int>(std::floor(exact));
    const int above = below + 1;
    return std::fabs(UpdateRate(below, chopEnabled) - hz) <=
                   std::fabs(UpdateRate(above, chopEnabled) - hz)
               ? below
               : above;
}

std::optional<int> FilterWordFromEntry(std::string_view text, bool chopEnabled) {
    if (text.empty()) text = "0";
    const auto parsed = ParseHex(text);
    // Eight digits from 80000000 up do not fit a signed 32-bit number: unreadable, not negative.
    if (!parsed || *parsed > static_cast<unsigned long long>(INT32_MAX)) return std::nullopt;
    int64_t word = static_cast<int64_t>(*parsed);
    if (word > MaxFilterWord) {
        ShowMessage("The maximum Filter Word is  FF Hex", Icon::Warning);
        word = MaxFilterWord;
    }
    const int minWord = MinFilterWord(chopEnabled);
    if (word < minWord) {
        ShowMessage("The minimum Filter Word is " + Hex(minWord) + " Hex", Icon::Warning);
        word = minWord;
    }
    return static_cast<int>(word);
}

std::optional<int> FilterWordFromRateEntry(std::string_view text, bool chopEnabled) {
    const auto number = ParseDecimal(text);
    if (!number) return std::nullopt;
    // The rate is taken to two decimals first, then to a whole number of hertz.
    const auto normalised = ParseDecimal(FormatPattern(*number, "####.##"));
    if (!normalised) return std::nullopt;
    const double whole = std::nearbyint(*normalised);  // default rounding: halves to even
    if (whole < INT16_MIN || whole > INT16_MAX) return std::nullopt;
    int rate = static_cast<int>(whole);
    if (rate < MinRate(chopEnabled)) {
        ShowMessage(RangePrompt(chopEnabled), Icon::Warning);
        rate = MinRate(chopEnabled);
    }
    if (rate > MaxRate(chopEnabled)) {
        ShowMessage(RangePrompt(chopEnabled), Icon::Warning);
        rate = MaxRate(chopEnabled);
    }
    return FilterWordForRate(rate, chopEnabled);
}

bool ProgramFilterWord(Register& filter, int word, const std::function<void()>& showBits) {
    filter.RegValue = word;
    filter.WriteReg();
    if (showBits) showBits();
    return ReadValue(filter) == word;
}

}  // namespace kx
