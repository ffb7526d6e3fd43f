#pragma once

#include <array>
#include <memory>

#include "board/program_port.h"
#include "board/registers.h"
#include "converter/filter_logic.h"
#include "registers/bit_frame_widgets.h"
#include "ui/screen_util.h"

class QLabel;
class QLineEdit;

// The filter register screen: the filter word as hexadecimal and as an update rate. Its limits
// follow the chop state read when it opens. Opened only in power-down mode (the Program Menu's
// gate).
class Filterform : public kx::ScreenDialog {
    Q_OBJECT
public:
    explicit Filterform(QWidget* parent = nullptr);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void ShowFilterRate();
    void ShowFilterBits();
    void TxtFilter_Enter();
    void TxtUpdate_Enter();
    void Refuse(QLineEdit* field);

    // Read once at opening: it fixes the limits for as long as the screen is open.
    bool chopEnabled_ = true;
    Register filterReg_{kx::ProgramLink()};
    int FilterValue = 0;

    QLineEdit* TxtFilter = nullptr;
    QLineEdit* TxtUpdate = nullptr;
    std::unique_ptr<kx::BitFrame> bits_;
    QLabel* Filterlabel = nullptr;
};
