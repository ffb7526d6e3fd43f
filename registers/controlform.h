#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>

#include "board/program_port.h"
#include "board/registers.h"
#include "registers/bit_frame_widgets.h"
#include "ui/screen_util.h"

class QLabel;
class QRadioButton;

// The ADC control register screen: input channel pair, input range and unipolar or bipolar
// coding, with the register's bits and value. Keeps InputRange and Polarity up to date.
class ControlForm : public kx::ScreenDialog {
    Q_OBJECT
public:
    explicit ControlForm(QWidget* parent = nullptr);

private:
    void OptChannel_Click(int channelCode);
    void OptRange_Click(int rangeCode);
    void OptPolarity_Click(bool unipolar);
    // Read, change, write, read back, then the value and bit labels from the converter.
    void Program(const std::function<int32_t(int32_t)>& change);

    // Selection and value from a fresh read; used once, at opening.
    void ShowControlState();
    // Bit labels and range captions from a fresh read; no selection changes.
    void ShowControlBits();
    void CaptionRanges(bool unipolar);

    Register control_{kx::ProgramLink()};
    int16_t ControlValue = 0;

    std::array<QRadioButton*, 16> optChannel_{};
    std::array<QRadioButton*, 8> optRange_{};
    QRadioButton* optBipolar_ = nullptr;
    QRadioButton* optUnipolar_ = nullptr;
    std::unique_ptr<kx::BitFrame> bits_;
    QLabel* controlLabel_ = nullptr;
};
