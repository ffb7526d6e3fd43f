#pragma once

#include "acquisition/run.h"
#include "ui/screen_util.h"

class QLineEdit;
class QRadioButton;

namespace kx {
class DirectoryList;
class DriveList;
class FileList;
}  // namespace kx

// Saves a run as a data file, in decimal or hexadecimal, under a name chosen in a directory the
// process then stays in.
class WriteFileForm : public kx::ScreenDialog {
    Q_OBJECT
public:
    explicit WriteFileForm(kx::Run run, QWidget* parent = nullptr);

private:
    void WriteDrive_Change();
    void WriteDir_Change();
    void WriteList_Click();
    void Command1_Click();
    void Browse_Click();

    kx::DriveList* writeDrive_ = nullptr;
    kx::DirectoryList* writeDir_ = nullptr;
    kx::FileList* writeList_ = nullptr;
    QLineEdit* fileName_ = nullptr;
    QRadioButton* decimalOpt_ = nullptr;
    QRadioButton* hexOpt_ = nullptr;
    kx::Run run_;
    bool failed_ = false;  // set by either failure of a save; no success message then
};
