#pragma once

#include <QString>
#include <functional>

class QWidget;

// Where the file screens and "Save Image..." start, and the desktop's file dialog behind their
// "Browse..." buttons. The program stores nothing between runs: the folder last used is kept for
// the run only.

namespace kx {

// The folder last used for a data file or an image while it still exists; else the user's
// documents folder where there is one; else the home folder. Never the program's own folder,
// which on an installed system is a bin folder where no run is kept.
QString StartFolder();

// A folder a file screen moved to, or the folder of a file saved or loaded: the next screen
// starts there. An empty text forgets it.
void RememberFolder(const QString& folderOrFile);

enum class FileDialogKind { SaveImage, SaveData, OpenData };

// The desktop's file dialog: `start` is the folder it opens in, or a path whose name it offers.
// Returns the path chosen (a saved image gets .png or .pdf from the filter when it has no
// suffix), empty when cancelled. Asks a chooser instead when one is set.
QString AskForFile(QWidget* parent, FileDialogKind kind, const QString& start);

// Tests answer the dialog from a script; nullptr brings back the dialog.
using FileChooser =
    std::function<QString(QWidget* parent, FileDialogKind kind, const QString& start)>;
void SetFileChooser(FileChooser chooser);

}  // namespace kx
