#pragma once

#include <functional>

#include "board/program_port.h"
#include "board/registers.h"
#include "ui/screen_util.h"

namespace kx {

// How the Program Menu opens the six register screens; an empty opener is a screen not built
// yet, and its button stays disabled. The filter screen's opener runs only past the power-down
// gate.
struct ProgramMenuOpeners {
    std::function<void(QWidget*parent)> mode, filter, calibration, control, ioControl, status,
        registerMap;
};

}  // namespace kx

// The Program Menu: the way to the register screens.
class ProgramForm : public kx::ScreenDialog {
    Q_OBJECT
public:
    explicit ProgramForm(kx::ProgramMenuOpeners openers, QWidget* parent = nullptr);

private:
    void Command2_Click();

    kx::ProgramMenuOpeners openers_;
    Register modeRegister_{kx::ProgramLink()};
};
