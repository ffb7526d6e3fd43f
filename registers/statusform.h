#pragma once

#include "board/program_port.h"
#include "board/registers.h"
#include "ui/screen_util.h"

// The status register, read once when the screen opens: its eight bits under their names and
// its value in hexadecimal. Reopen the screen to see a new value.
class StatusForm : public kx::ScreenDialog {
    Q_OBJECT
public:
    explicit StatusForm(QWidget* parent = nullptr);

private:
    Register status_{kx::ProgramLink()};
};
