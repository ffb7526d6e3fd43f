#include "ui/file_chooser.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QStandardPaths>

namespace kx {

namespace {

QString& LastFolder() {
    static QString folder;
    return folder;
}

FileChooser& Chooser() {
    static FileChooser chooser;
    return chooser;
}

bool IsFolder(const QString& path) {
    return !path.isEmpty() && QFileInfo(path).isDir();
}

}  // namespace

QString StartFolder() {
    if (IsFolder(LastFolder())) return LastFolder();
    const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    // Where no documents folder is set up, Qt names one under home that may not exist.
    if (IsFolder(documents) && QDir(documents) != QDir::home()) return documents;
    return QDir::homePath();
}

void RememberFolder(const QString& folderOrFile) {
    if (folderOrFile.isEmpty()) {
        LastFolder().clear();
        return;
    }
    const QFileInfo info(folderOrFile);
    LastFolder() = info.isDir() ? info.absoluteFilePath() : info.absolutePath();
}

QString AskForFile(QWidget* parent, FileDialogKind kind, const QString& start) {
    if (Chooser()) return Chooser()(parent, kind, start);
    if (kind == FileDialogKind::OpenData)
        return QFileDialog::getOpenFileName(
            parent, QStringLiteral("Read Data File"), start,
            QStringLiteral("Data files (*.dat *.txt);;All files (*)"));
    if (kind == FileDialogKind::SaveData)
        // The screen asks before it replaces a file, as its own Save does.
        return QFileDialog::getSaveFileName(
            parent, QStringLiteral("Write Data File"), start,
            QStringLiteral("Data files (*.dat *.txt);;All files (*)"), nullptr,
            QFileDialog::DontConfirmOverwrite);
    const QString png = QStringLiteral("PNG image (*.png)");
    const QString pdf = QStringLiteral("PDF document (*.pdf)");
    QString filter = png;
    QString path = QFileDialog::getSaveFileName(parent, QStringLiteral("Save Image"), start,
                                                png + QStringLiteral(";;") + pdf, &filter);
    if (!path.isEmpty() && QFileInfo(path).suffix().isEmpty())
        path += filter == pdf ? QStringLiteral(".pdf") : QStringLiteral(".png");
    return path;
}

void SetFileChooser(FileChooser chooser) {
    Chooser() = std::move(chooser);
}

}  // namespace kx
