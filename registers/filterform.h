#pragma once

#include <array>

#include "filter_logic.h"
#include "registers.h"
#include "screen_util.h"

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

    kx::FilterLimits limits_;
    Register filterReg_;
    int FilterValue = 0;

    QLineEdit* TxtFilter = nullptr;
    QLineEdit* TxtUpdate = nullptr;
    std::array<QLabel*, 8> bitLabels_{};  // Label1 (bit 7) ... Label8 (bit 0)
    QLabel* Filterlabel = nullptr;
};
