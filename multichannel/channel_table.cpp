#include "multichannel/channel_table.h"

#include "converter/adc_control_fields.h"

namespace kx::multi {

const std::array<ChannelRow, ChannelCount> ChannelTable{{
    {"Ain1_Com", 0, false, {8, NoRow}},
    {"Ain2_Com", 1, false, {8, NoRow}},
    {"Ain3_Com", 2, false, {9, NoRow}},
    {"Ain4_Com", 3, false, {9, NoRow}},
    {"Ain5_Com", 4, false, {10, NoRow}},
    {"Ain6_Com", 5, false, {10, NoRow}},
    {"Ain7_Com", 6, false, {11, NoRow}},
    {"Ain8_Com", 7, false, {11, NoRow}},
    {"Ain1_2", 8, true, {0, 1}},
    {"Ain3_4", 9, true, {2, 3}},
    {"Ain5_6", 10, true, {4, 5}},
    {"Ain7_8", 11, true, {6, 7}},
}};

std::string RowCaption(int row) {
    return adc::ChannelCaption(ChannelTable[static_cast<size_t>(row)].channelCode, false);
}

int OtherHalf(int row) {
    return row ^ 1;  // rows 0..7 pair up as (0,1), (2,3), (4,5), (6,7)
}

const std::array<RangeItem, 8>& RangeItems() {
    static const std::array<RangeItem, 8> items = [] {
        std::array<RangeItem, 8> list;
        for (int i = 0; i < 8; ++i)
            list[static_cast<size_t>(i)] = {adc::RangeSpan(7 - i), 7 - i};
        return list;
    }();
    return items;
}

std::optional<int> RangePosition(std::string_view text) {
    for (size_t i = 0; i < RangeItems().size(); ++i)
        if (text == RangeItems()[i].text) return static_cast<int>(i) + 1;
    return std::nullopt;
}

std::optional<int> RangeCodeOf(std::string_view text) {
    if (auto position = RangePosition(text))
        return RangeItems()[static_cast<size_t>(*position - 1)].code;
    return std::nullopt;
}

std::optional<int> TypedRangeCode(std::string_view text) {
    std::string typed;
    for (char c : text)
        if (c != ' ' && c != '\t') typed += c;
    for (const RangeItem& item : RangeItems()) {
        const std::string_view full(item.text);
        const size_t space = full.find(' ');
        const std::string number(full.substr(0, space));
        if (typed == number || typed == number + std::string(full.substr(space + 1)))
            return item.code;
    }
    return std::nullopt;
}

std::string RangeRefusal(int row, std::string_view text) {
    std::string allowed;
    for (const RangeItem& item : RangeItems())
        allowed += std::string(allowed.empty() ? "" : ", ") + item.text;
    return "Range of " + RowCaption(row) + ": \"" + std::string(text) +
           "\" is not an input range. Choose one of " + allowed + ".";
}

}  // namespace kx::multi
