#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// The twelve channels of the multi-channel screen, in the fixed order in which reads and
// calibrations visit them and the screen restores them, with the names of each row's controls.

namespace kx::multi {

inline constexpr int ChannelCount = 12;
inline constexpr int NoRow = -1;

struct ChannelRow {
    // The row's controls are named Check, Range, Filter, Pol and Data followed by this.
    const char* name;
    int channelCode;    // ADC control register CH field, 0..11
    bool differential;  // fully differential (AINx - AINy) rather than AINx - AINCOM
    // Rows that cannot be picked together with this one: a pseudo-differential row names its
    // pair's differential row, a differential row its two pseudo-differential halves.
    std::array<int, 2> partners;
};

extern const std::array<ChannelRow, ChannelCount> ChannelTable;

// "AIN1 - AINCOM" ... "AIN7 - AIN8" (CHCON is always cleared on this screen).
std::string RowCaption(int row);

// The other pseudo-differential half of a pseudo-differential row's pair (row 1 <-> row 2).
int OtherHalf(int row);

// Range list items in list order, widest first, with the range code each stands for: the
// converter's spans as the screens write them ("2.56 V" ... "20 mV").
struct RangeItem {
    std::string text;
    int code;
};
const std::array<RangeItem, 8>& RangeItems();

// Position (1..8) of an item text in the range list; nullopt for any other text. Exact and
// case-sensitive, as is the match the read makes.
std::optional<int> RangePosition(std::string_view text);
std::optional<int> RangeCodeOf(std::string_view text);

// A range typed into a list's edit field: an item's number with its unit, without it, or with
// the space left out ("2.56", "2.56V", "20mV"); nullopt for any other text.
std::optional<int> TypedRangeCode(std::string_view text);
// The refusal of a typed range that names no item: the row and the ranges there are.
std::string RangeRefusal(int row, std::string_view text);

inline constexpr const char* BipolarItem = "Bipolar";
inline constexpr const char* UnipolarItem = "Unipolar";
inline constexpr const char* DefaultFilterText = "45";

}  // namespace kx::multi
