#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "board/registers.h"
#include "multichannel/channel_table.h"

// What the multi-channel screen keeps for the whole run: the user's per-channel settings, the
// register objects and the working register copies. The screen's window is created afresh at
// every opening; this state is created once and handed to each of them, so a closed and
// reopened screen shows the same selections.

namespace kx::multi {

// What the user last did on one row. Only user actions are recorded: a check-box click, an item
// chosen from a list, Enter in the filter box.
struct ChannelSettings {
    int16_t ChannelSelected = 0;                 // 1 when the check box was last checked
    int16_t SavedRange = 0;                      // position 1..8 of the last range chosen; 0 none
    int16_t SavedPolarity = 0;                   // 1 when "Unipolar" was last chosen
    std::optional<std::string> SavedFilterText;  // filter text at the last Enter
};

struct MultiChannelState {
    std::array<ChannelSettings, ChannelCount> settings{};

    Register modeRegister;
    Register controlRegister;
    Register filterRegister;

    int32_t ModeValue = 0;
    int32_t ControlValue = 0;
    int32_t FilterValue = 0;
    int16_t MinFilterWord = 0;  // set only when the screen opens
    int16_t KeepReading = 0;    // all bits set while a read is to go on

    // The converter side of an opening: sets the three register objects up, reads the mode
    // register, writes it back in power-down with CHCON cleared (no read-back) and takes the
    // smallest filter word from its chop bit.
    void Open(BoardLink& link);

    void CheckClicked(int row, bool checked);
    // Items chosen from a list; a text that is no item of the list changes nothing.
    void RangeChosen(int row, std::string_view text);
    void PolarityChosen(int row, std::string_view text);
    // Enter in a filter box: kept as typed, checked only when a read programs it.
    void FilterConfirmed(int row, std::string text);

    // What an opening shows for a row.
    int RestoredRangePosition(int row) const;  // 1..8
    bool RestoredUnipolar(int row) const;
    bool RestoredChecked(int row) const;
    std::string RestoredFilterText(int row) const;
};

// The pair interlock: which check boxes are enabled. A row's other controls are enabled exactly
// while its own check box is checked.
using CheckStates = std::array<bool, ChannelCount>;

// The effect of a click that left `row` in state checked[row], applied to the enabled states.
void ApplyCheckClick(int row, const CheckStates& checked, CheckStates& enabled);

// The enabled states an opening gives the check boxes: all enabled, then the click rule applied
// to every row in table order for its current state, as the user's clicks would have left them.
CheckStates RestoredCheckEnables(const CheckStates& checked);

}  // namespace kx::multi
