#include "channel_table.h"

#include "adc_control_fields.h"

namespace kx::multi {

const std::array<ChannelRow, ChannelCount> ChannelTable{{
    {"CheckAin1_Com",
     "RangeAin1_Com",
     "FilterAin1_Com",
     "PolAin1_Com",
     "DataAin1_Com",
     0,
     false,
     {8, NoRow}},
    {"CheckAin2_Com",
     "RangeAin2_Com",
     "FilterAin2_Com",
     "PolAin2_Com",
     "DataAin2_Com",
     1,
     false,
     {8, NoRow}},
    {"CheckAin3_Com",
     "RangeAin3_Com",
     "FilterAin3_Com",
     "PolAin3_Com",
     "DataAin3_Com",
     2,
     false,
     {9, NoRow}},
    {"CheckAin4_Com",
     "RangeAin4_Com",
     "FilterAin4_Com",
     "PolAin4_Com",
     "DataAin4_Com",
     3,
     false,
     {9, NoRow}},
    {"CheckAin5_Com",
     "RangeAin5_Com",
     "FilterAin5_Com",
     "PolAin5_Com",
     "DataAin5_Com",
     4,
     false,
     {10, NoRow}},
    {"CheckAin6_Com",
     "RangeAin6_Com",
     "FilterAin6_Com",
     "PolAin6_Com",
     "DataAin6_Com",
     5,
     false,
     {10, NoRow}},
    {"CheckAin7_Com",
     "RangeAin7_Com",
     "FilterAin7_Com",
     "PolAin7_Com",
     "DataAin7_Com",
     6,
     false,
     {11, NoRow}},
    {"CheckAin8_Com",
     "RangeAin8_Com",
     "FilterAin8_Com",
     "PolAin8_Com",
     "DataAin8_Com",
     7,
     false,
     {11, NoRow}},
    {"CheckAin1_2", "RangeAin1_2", "FilterAin1_2", "PolAin1_2", "DataAin1_2", 8, true, {0, 1}},
    {"CheckAin3_4", "RangeAin3_4", "FilterAin3_4", "PolAin3_4", "DataAin3_4", 9, true, {2, 3}},
    {"CheckAin5_6", "RangeAin5_6", "FilterAin5_6", "PolAin5_6", "DataAin5_6", 10, true, {4, 5}},
    {"CheckAin7_8", "RangeAin7_8", "FilterAin7_8", "PolAin7_8", "DataAin7_8", 11, true, {6, 7}},
}};

std::string RowCaption(int row) {
    return adc::ChannelCaption(ChannelTable[static_cast<size_t>(row)].channelCode, false);
}

int OtherHalf(int row) {
    return row ^ 1;  // rows 0..7 pair up as (0,1), (2,3), (4,5), (6,7)
}

std::optional<int> RangePosition(std::string_view text) {
    for (size_t i = 0; i < RangeItems.size(); ++i)
        if (text == RangeItems[i].text) return static_cast<int>(i) + 1;
    return std::nullopt;
}

std::optional<int> RangeCodeOf(std::string_view text) {
    if (auto position = RangePosition(text))
        return RangeItems[static_cast<size_t>(*position - 1)].code;
    return std::nullopt;
}

}  // namespace kx::multi
