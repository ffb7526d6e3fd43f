#pragma once

#include <array>

#include "board/program_port.h"
#include "board/registers.h"
#include "ui/screen_util.h"

class QLabel;
class QLineEdit;

// The calibration registers screen: both 24-bit calibration registers bit by bit and in
// hexadecimal, each with an entry for a new value. Every key typed into an entry first checks
// that the converter is in power-down mode.
class CalForm : public kx::ScreenDialog {
    Q_OBJECT
public:
    explicit CalForm(QWidget* parent = nullptr);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // One frame: its register, the value shown, its bit labels (bit 23 first), hex label, entry.
    struct Frame {
        Register* reg = nullptr;
        double* value = nullptr;
        std::array<QLabel*, 24> bits{};
        QLabel* hex = nullptr;
        QLineEdit* text = nullptr;
    };

    QWidget* BuildFrame(Frame& frame, const char* frameName, const QString& title, int firstLabel,
                        int labelStep, const char* hexName, const char* textName);
    void ShowCalibrationRegisters();
    void ShowFrame(const Frame& frame);
    // True when the key may go on to the entry box.
    bool Text_KeyPress(Frame& frame, bool enter);

    Register ZeroScaleReg{kx::ProgramLink()};
    Register FullScaleReg{kx::ProgramLink()};
    Register ModeReg{kx::ProgramLink()};
    double ZeroScaleValue = 0;
    double FullScaleValue = 0;

    Frame zero_;
    Frame full_;
};
