#pragma once

#include <QString>
#include <functional>
#include <vector>

#include "converter/register_writes.h"
#include "ui/screen_util.h"

class QComboBox;
class QGroupBox;
class QLabel;
class QSpinBox;

namespace kx::multi {
struct MultiChannelState;
}

// Every register of the converter on one screen: address, width and value in hexadecimal, each
// bit field by name with its meaning, edited by a drop-down (an enumeration) or a number (a
// value); fields that differ from the power-on value are marked. "Read All" reads every register;
// "Write Changed" writes the edited ones in the order the converter needs, each read back as its
// own screen does. A configuration (every register and the multi-channel settings) is saved and
// loaded as a file.
class RegisterMapForm : public kx::ScreenDialog {
    Q_OBJECT
public:
    // Asks for a file name to save to (save) or load from; empty: none chosen.
    using FileChooser = std::function<QString(QWidget* parent, bool save)>;

    // `channels`: the multi-channel settings a configuration saves and loads (none: the settings
    // of a fresh screen are saved, and a loaded file's are checked but kept nowhere).
    explicit RegisterMapForm(kx::multi::MultiChannelState* channels = nullptr,
                             QWidget* parent = nullptr, FileChooser chooser = {});

    // The registers as edited, and as last read or written.
    const kx::fields::Values& edited() const { return edited_; }
    const kx::fields::Values& shown() const { return shown_; }

private:
    // One field's controls.
    struct FieldRow {
        size_t reg = 0;
        const kx::fields::Field* field = nullptr;
        QLabel* name = nullptr;
        QComboBox* choice = nullptr;
        QSpinBox* number = nullptr;
        QLabel* value = nullptr;    // read-only fields
        QLabel* meaning = nullptr;  // numbers
        QLabel* powerOn = nullptr;  // marked when the field differs from its power-on value
    };

    void BuildFrame(const kx::fields::RegisterFields& reg, QGroupBox* frame);
    void ReadAll_Click();
    void WriteChanged_Click();
    void Save_Click();
    void Load_Click();
    void FieldEdited(const FieldRow& row, int value);
    // Every control from edited_, without taking their signals as edits.
    void ShowValues();
    void ShowRegister(size_t reg);

    kx::multi::MultiChannelState* channels_;
    FileChooser chooser_;
    kx::fields::Values shown_{};
    kx::fields::Values edited_{};
    bool showing_ = false;
    std::vector<FieldRow> rows_;
    std::vector<QLabel*> valueLabels_;
    QLabel* status_ = nullptr;
};
