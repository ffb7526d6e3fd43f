#pragma once

#include <array>
#include <cstdint>
#include <memory>

#include "board/program_port.h"
#include "board/registers.h"
#include "registers/bit_frame_widgets.h"
#include "ui/screen_util.h"

class QGroupBox;
class QLabel;

namespace kx {
class BoardRunner;
}
class QRadioButton;

// The mode register screen: operating mode (with the four calibrations), chopping, buffering,
// reference, CHCON and the oscillator in power-down, with the register's bits and value.
class ModeForm : public kx::ScreenDialog {
    Q_OBJECT
public:
    explicit ModeForm(QWidget* parent = nullptr);
    ~ModeForm() override;

    // The worker that waits while the converter calibrates.
    kx::BoardRunner& runner() const { return *runner_; }

public slots:
    void reject() override;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    // One field option button: the bit it programs and whether it sets it.
    struct BitOption {
        QRadioButton* button;
        int32_t bit;
        bool set;
    };

    void OptField_Click(const BitOption& option);
    void OptMD_Click(int code);

    // Selection, bit labels and value from ModeValue, without reading the converter.
    void ShowModeState();
    // Reads the register into ModeValue and refreshes the bit labels only.
    void ShowModeBits();

    Register mode_{kx::ProgramLink()};
    int16_t ModeValue = 0;

    std::array<QRadioButton*, 8> optMD_{};
    std::array<BitOption, 10> fieldOptions_{};
    std::unique_ptr<kx::BitFrame> bits_;
    QLabel* modeLabel_ = nullptr;
    QLabel* calLabel_ = nullptr;
    std::array<QGroupBox*, 6> optionFrames_{};
    kx::BoardRunner* runner_ = nullptr;
};
