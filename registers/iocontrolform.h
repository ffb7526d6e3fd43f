#pragma once

#include <array>
#include <memory>

#include "board/program_port.h"
#include "board/registers.h"
#include "converter/io_control_logic.h"
#include "registers/bit_frame_widgets.h"
#include "ui/screen_util.h"

class QLabel;
class QRadioButton;

// The I/O control register screen: direction and level of the pins P1 and P2. An output pin
// shows buttons for its level; an input pin shows the level the converter reports.
class IOcontrolForm : public kx::ScreenDialog {
    Q_OBJECT
public:
    explicit IOcontrolForm(QWidget* parent = nullptr);

private:
    void ShowIODirections();
    void ShowIOBits();
    void Option_Click(kx::io::Choice choice);
    void ShowPinAsOutput(int pin, bool output);

    Register ioReg_{kx::ProgramLink()};
    int IOValue = 0;

    QRadioButton* OptP1In = nullptr;
    QRadioButton* OptP1Out = nullptr;
    QRadioButton* OptP2In = nullptr;
    QRadioButton* OptP2Out = nullptr;
    QRadioButton* OptP1High = nullptr;
    QRadioButton* OptP1Low = nullptr;
    QRadioButton* OptP2High = nullptr;
    QRadioButton* OptP2Low = nullptr;
    QLabel* LblP1 = nullptr;
    QLabel* LblP2 = nullptr;
    std::unique_ptr<kx::BitFrame> bits_;
    QLabel* IOConLabel = nullptr;
};
