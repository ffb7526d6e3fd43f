#pragma once

#include <QString>

#include "ui/screen_util.h"

class QLabel;
class QLineEdit;
class QRadioButton;

namespace kx {
class DirectoryList;
class DriveList;
class FileList;
}  // namespace kx

// Loads a data file into the shared run. A file that cannot be read whole leaves the run as it
// was.
class ReadFileForm : public kx::ScreenDialog {
    Q_OBJECT
public:
    // The lists start in startDirectory, which becomes the process's current directory; empty
    // means the folder last used, else the user's documents or home folder.
    explicit ReadFileForm(QWidget* parent = nullptr, const QString& startDirectory = QString());

    // Shown when a file holds more codes than one run may.
    static constexpr const char* TooManyCodesText =
        "File not Read: at most 5000 Codes can be read from one File";

private:
    void ReadDrive_Change();
    void ReadDir_Change();
    void ListRead_Click();
    void ReadFileCommand_Click();
    void Browse_Click();
    // Reads a data file into the run, with the screen's messages.
    void ReadPath(const QString& path);

    kx::DriveList* readDrive_ = nullptr;
    kx::DirectoryList* readDir_ = nullptr;
    kx::FileList* listRead_ = nullptr;
    QLineEdit* searchText_ = nullptr;
    QRadioButton* decOpt_ = nullptr;
    QRadioButton* hexOpt_ = nullptr;
    QLabel* codesRead_ = nullptr;  // "1000 codes read from run.dat" after a read
    bool failed_ = false;          // set by any failure of a read; no success message then
};
