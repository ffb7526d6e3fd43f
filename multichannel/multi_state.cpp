#include "multichannel/multi_state.h"

#include "converter/filter_logic.h"
#include "converter/mode_logic.h"
#include "core/numtext.h"

namespace kx::multi {

namespace {
size_t At(int row) {
    return static_cast<size_t>(row);
}
}  // namespace

void MultiChannelState::Open(BoardLink& link) {
    modeRegister = Register::For(link, RegisterMap::Mode);
    controlRegister = Register::For(link, RegisterMap::AdcControl);
    filterRegister = Register::For(link, RegisterMap::Filter);

    // Power-down keeps the converter quiet until a read or calibration picks a channel; CHCON
    // cleared makes the channel codes mean what the table says.
    ModeValue = ReadValue(modeRegister) & ~(mode::ChconBit | mode::CodeMask);
    modeRegister.RegValue = ModeValue;
    modeRegister.WriteReg();
    MinFilterWord = static_cast<int16_t>(kx::MinFilterWord(kx::ChopEnabledIn(ModeValue)));
}

void MultiChannelState::CheckClicked(int row, bool checked) {
    settings[At(row)].ChannelSelected = checked ? 1 : 0;
}

void MultiChannelState::RangeChosen(int row, std::string_view text) {
    if (auto position = RangePosition(text))
        settings[At(row)].SavedRange = static_cast<int16_t>(*position);
}

void MultiChannelState::PolarityChosen(int row, std::string_view text) {
    if (text == UnipolarItem) settings[At(row)].SavedPolarity = 1;
    if (text == BipolarItem) settings[At(row)].SavedPolarity = 0;
}

void MultiChannelState::FilterConfirmed(int row, std::string text) {
    settings[At(row)].SavedFilterText = std::move(text);
}

int MultiChannelState::RestoredRangePosition(int row) const {
    const int saved = settings[At(row)].SavedRange;
    return saved >= 1 && saved <= static_cast<int>(RangeItems().size()) ? saved : 1;
}

bool MultiChannelState::RestoredUnipolar(int row) const {
    return settings[At(row)].SavedPolarity == 1;
}

bool MultiChannelState::RestoredChecked(int row) const {
    return settings[At(row)].ChannelSelected == 1;
}

std::string MultiChannelState::RestoredFilterText(int row) const {
    const auto& saved = settings[At(row)].SavedFilterText;
    // An empty text, or one that reads as zero ("0", "00"), counts as nothing confirmed.
    if (!saved || saved->empty()) return DefaultFilterText;
    if (auto number = kx::ParseDecimal(*saved); number && *number == 0.0) return DefaultFilterText;
    return *saved;
}

void ApplyCheckClick(int row, const CheckStates& checked, CheckStates& enabled) {
    const ChannelRow& r = ChannelTable[At(row)];
    if (r.differential) {
        // Either half of the pair is free again exactly when the differential row is not picked.
        for (int half : r.partners)
            enabled[At(half)] = !checked[At(row)];
        return;
    }
    const int pair = r.partners[0];
    if (checked[At(row)])
        enabled[At(pair)] = false;
    else if (!checked[At(OtherHalf(row))])
        enabled[At(pair)] = true;
}

CheckStates RestoredCheckEnables(const CheckStates& checked) {
    CheckStates enabled;
    enabled.fill(true);
    for (int row = 0; row < ChannelCount; ++row)
        ApplyCheckClick(row, checked, enabled);
    return enabled;
}

}  // namespace kx::multi
