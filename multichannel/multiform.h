#pragma once

#include <array>
#include <functional>
#include <mutex>

#include "multichannel/channel_table.h"
#include "multichannel/multi_read.h"
#include "multichannel/multi_state.h"
#include "ui/screen_util.h"

class QCheckBox;
class QComboBox;
class QKeyEvent;
class QLabel;
class QLineEdit;
class QPushButton;

namespace kx {
class BoardRunner;
}

// The multi-channel screen: twelve channels, each with its own range, polarity and filter word,
// read in turn for display or calibrated in turn. The settings live in `state`, which the caller
// keeps for the whole run; each opening creates a new MultiForm over the same state.
class MultiForm : public kx::ScreenDialog {
    Q_OBJECT
public:
    explicit MultiForm(kx::multi::MultiChannelState& state, QWidget* parent = nullptr);
    ~MultiForm() override;

    // A read or a calibration is running on the screen's worker.
    bool reading() const;
    kx::BoardRunner& runner() const { return *runner_; }

public slots:
    // Back and the close box stop a running read or calibration, wait for its worker and close.
    void reject() override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    struct Row {
        QCheckBox* check = nullptr;
        QComboBox* range = nullptr;
        QLineEdit* filter = nullptr;
        QComboBox* polarity = nullptr;
        QLineEdit* data = nullptr;
        QLabel* rate = nullptr;      // the filter word's update rate
        QLineEdit* volts = nullptr;  // the code in volts
    };
    class Reader;
    class Calibrator;

    void BuildRow(int index, QWidget* parent);
    QComboBox* ChoiceList(const QString& name, const QString& accessibleName, QWidget* parent,
                          std::function<void(const QString&)> chosen);
    void RestoreChannelSettings();
    // A row's range list, filter box, polarity list and data box follow its check box.
    void EnableRowControls(int index, bool enabled);
    // Greyed check boxes say why, in their tooltips.
    void ExplainGreyedChecks();
    void ShowRate(int index);
    void Check_Click(int index, bool checked);
    void Command1_Click();
    void Command3_Click();
    void Stop_Click();
    void SetBusy(bool on, bool read);
    kx::multi::CheckStates CheckedNow() const;
    // The worker reads the rows from this copy, which follows every change of the controls.
    void SnapshotRow(int index);
    kx::multi::RowControls RowNow(int index);

    kx::multi::MultiChannelState& state_;
    std::array<Row, kx::multi::ChannelCount> rows_{};
    std::mutex rowsMutex_;
    std::array<kx::multi::RowControls, kx::multi::ChannelCount> rowsNow_{};
    QLineEdit* text1_ = nullptr;
    QLabel* stopReadingText_ = nullptr;
    QLabel* calLabel_ = nullptr;
    QPushButton* read_ = nullptr;
    QPushButton* calibrate_ = nullptr;
    QPushButton* stop_ = nullptr;
    kx::BoardRunner* runner_ = nullptr;
    bool readRunning_ = false;
};
