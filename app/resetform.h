#pragma once

#include "ui/screen_util.h"

// Resets the converter by the board's reset line or through its serial interface, then closes;
// "&Cancel" closes without touching the board.
class ResetForm : public kx::ScreenDialog {
    Q_OBJECT
public:
    explicit ResetForm(QWidget* parent = nullptr);
};
