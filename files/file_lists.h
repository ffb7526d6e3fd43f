#pragma once

#include <QComboBox>
#include <QListWidget>
#include <QString>
#include <QStringList>
#include <QTreeWidget>
#include <functional>

class QLineEdit;

// The pieces of the file screens' chooser: a drive list, a directory list and a file list,
// which the screens wire together with their own rules. They hold no current directory of their
// own beyond what they show; the screens decide when the process follows them.

namespace kx {

// Runs `action` on Enter in `field` and keeps the key from reaching the dialog, whose default
// button would otherwise act on it as well.
void OnEnter(QLineEdit* field, std::function<void()> action);

// The "drives": the places a user starts from. Drive letters on Windows; on Linux the root and
// the mounted volumes a user would pick (system and package mounts left out).
class DriveList : public QComboBox {
    Q_OBJECT
public:
    explicit DriveList(QWidget* parent = nullptr);

    // Replaces the entries (each a root path) and selects none of them anew.
    void setDrives(const QStringList& roots);
    QStringList drives() const;

    // Root path of the selected entry.
    QString drive() const;

    // Selects the entry that holds `directory` (the deepest root above it) without emitting
    // driveChanged.
    void showDriveOf(const QString& directory);

signals:
    // Another entry was selected, by the user or by setCurrentIndex.
    void driveChanged(const QString& root);
};

// The directory list: the chain of directories from the root down to the current one, then the
// current one's subdirectories. Opening an entry (double-click, Enter) makes it current.
class DirectoryList : public QTreeWidget {
    Q_OBJECT
public:
    explicit DirectoryList(QWidget* parent = nullptr);

    QString path() const { return path_; }

    // Shows `directory`. Returns false, changing nothing, when it cannot be listed. Emits
    // pathChanged when the directory differs from the one shown.
    bool setPath(const QString& directory);

    // Path of the highlighted entry (empty when none).
    QString highlightedPath() const;

    // Makes the highlighted entry the current directory.
    void openHighlighted();

    // When set, any key that types a character opens the highlighted entry.
    void setOpenOnAnyKey(bool on) { openOnAnyKey_ = on; }

signals:
    void pathChanged(const QString& path);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    // Every entry is always open: no expand arrows.
    void drawBranches(QPainter*, const QRect&, const QModelIndex&) const override {}

private:
    QString path_;
    bool openOnAnyKey_ = false;
};

// The file list: the files of one directory whose names match a pattern ("*.dat", several
// joined by ';'; "*.*" means every file, as users of the format expect; * and ? are the only
// wildcards). Names compare without regard to case.
class FileList : public QListWidget {
    Q_OBJECT
public:
    explicit FileList(QWidget* parent = nullptr);

    QString directory() const { return directory_; }
    QString pattern() const { return pattern_; }
    void setDirectory(const QString& directory);
    void setPattern(const QString& pattern);

    // Lists the directory again; the selected name stays selected while it is still there.
    void refresh();

    // The selected file's name (empty when none) and its full path.
    QString selectedName() const;
    QString selectedPath() const;

    // A name typed as a pattern, in the form the directory listing takes.
    static QStringList NameFilters(const QString& pattern);

signals:
    // Enter on the list (kept from the dialog's default button).
    void enterPressed();

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    QString directory_;
    QString pattern_ = QStringLiteral("*.*");
};

// A drive chosen in the drive list: the directory list moves to its root and the process with
// it. A drive that cannot be read puts the drive list back on the directory list's drive and the
// process on its directory, without a word.
void FollowDrive(DriveList* drives, DirectoryList* directories);

// A directory chosen in the directory list: the file list shows it, the process makes it its
// current directory and the drive list shows its drive.
void FollowDirectory(DirectoryList* directories, FileList* files, DriveList* drives);

}  // namespace kx
