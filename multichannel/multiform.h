#pragma once

#include <array>
#include <functional>

#include "multichannel/channel_table.h"
#include "multichannel/multi_state.h"
#include "ui/screen_util.h"

class QCheckBox;
class QComboBox;
class QKeyEvent;
class QLabel;
class QLineEdit;
class QPushButton;

// The multi-channel screen: twelve channels, each with its own range, polarity and filter word,
// read in turn for display or calibrated in turn. The settings live in `state`, which the caller
// keeps for the whole run; each opening creates a new MultiForm over the same state.
class MultiForm : public kx::ScreenDialog {
    Q_OBJECT
public:
    explicit MultiForm(kx::multi::MultiChannelState& state, QWidget* parent = nullptr);

    bool reading() const { return reading_; }

public slots:
    // While a read runs the screen closes only once the read has ended.
    void reject() override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    struct Row {
        QCheckBox* check = nullptr;
        QComboBox* range = nullptr;
        QLineEdit* filter = nullptr;
        QComboBox* polarity = nullptr;
        QLineEdit* data = nullptr;
    };
    class Reader;
    class Calibrator;

    void BuildRow(int index, QWidget* parent);
    QComboBox* ChoiceList(const QString& name, const QString& accessibleName, QWidget* parent,
                          std::function<void(const QString&)> chosen);
    void RestoreChannelSettings();
    // A row's range list, filter box, polarity list and data box follow its check box.
    void EnableRowControls(int index, bool enabled);
    void Check_Click(int index, bool checked);
    void Command1_Click();
    void Command3_Click();
    kx::multi::CheckStates CheckedNow() const;

    kx::multi::MultiChannelState& state_;
    std::array<Row, kx::multi::ChannelCount> rows_{};
    QLineEdit* text1_ = nullptr;
    QLabel* stopReadingText_ = nullptr;
    QLabel* calLabel_ = nullptr;
    bool reading_ = false;
    bool closeRequested_ = false;
};
