#include "files/file_lists.h"

#include <QDir>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLineEdit>
#include <QSignalBlocker>
#include <QStorageInfo>
#include <QStyle>
#include <utility>

namespace kx {

namespace {

bool IsEnter(const QKeyEvent* event) {
    return event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
}

class EnterFilter : public QObject {
public:
    EnterFilter(QObject* parent, std::function<void()> action)
        : QObject(parent), action_(std::move(action)) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::KeyPress && IsEnter(static_cast<QKeyEvent*>(event))) {
            action_();
            return true;
        }
        return QObject::eventFilter(watched, event);
    }

private:
    std::function<void()> action_;
};

QStringList DefaultDrives() {
    QStringList roots;
#ifdef Q_OS_WIN
    for (const QFileInfo& drive : QDir::drives())
        roots << drive.absolutePath();
#else
    roots << QDir::rootPath();
    // Kernel, device and package mounts are nowhere a user keeps data files.
    static const QStringList systemTrees = {QStringLiteral("/proc"), QStringLiteral("/sys"),
                                            QStringLiteral("/dev"),  QStringLiteral("/run"),
                                            QStringLiteral("/snap"), QStringLiteral("/boot")};
    for (const QStorageInfo& volume : QStorageInfo::mountedVolumes()) {
        const QString root = volume.rootPath();
        if (!volume.isValid() || !volume.isReady() || roots.contains(root)) continue;
        if (volume.fileSystemType() == "squashfs") continue;
        bool system = false;
        for (const QString& tree : systemTrees)
            system = system || root == tree || root.startsWith(tree + QLatin1Char('/'));
        if (root.startsWith(QStringLiteral("/run/media/"))) system = false;  // removable media
        if (!system) roots << root;
    }
#endif
    roots.sort();
    return roots;
}

// Whether `directory` lies on the tree below `root` (both clean absolute paths).
bool IsUnder(const QString& directory, const QString& root) {
    if (root.endsWith(QLatin1Char('/')))
        return directory.startsWith(root) || directory + '/' == root;
    return directory == root || directory.startsWith(root + QLatin1Char('/'));
}

}  // namespace

void OnEnter(QLineEdit* field, std::function<void()> action) {
    field->installEventFilter(new EnterFilter(field, std::move(action)));
}

void FollowDrive(DriveList* drives, DirectoryList* directories) {
    const QString root = drives->drive();
    if (root.isEmpty() || !QDir::setCurrent(root) || !directories->setPath(root)) {
        drives->showDriveOf(directories->path());
        QDir::setCurrent(directories->path());
    }
}

void FollowDirectory(DirectoryList* directories, FileList* files, DriveList* drives) {
    files->setDirectory(directories->path());
    QDir::setCurrent(directories->path());
    drives->showDriveOf(directories->path());
}

// ---- DriveList ----

DriveList::DriveList(QWidget* parent) : QComboBox(parent) {
    setAccessibleName(QStringLiteral("Drive"));
    setDrives(DefaultDrives());
    connect(this, &QComboBox::currentIndexChanged, this, [this] { emit driveChanged(drive()); });
}

void DriveList::setDrives(const QStringList& roots) {
    const QSignalBlocker blocker(this);
    clear();
    for (const QString& root : roots)
        addItem(QDir::toNativeSeparators(root), root);
}

QStringList DriveList::drives() const {
    QStringList roots;
    for (int i = 0; i < count(); ++i)
        roots << itemData(i).toString();
    return roots;
}

QString DriveList::drive() const {
    return currentData().toString();
}

void DriveList::showDriveOf(const QString& directory) {
    const QString dir = QDir::cleanPath(QDir(directory).absolutePath());
    int best = -1;
    qsizetype bestLength = -1;
    for (int i = 0; i < count(); ++i) {
        const QString root = itemData(i).toString();
        if (IsUnder(dir, root) && root.size() > bestLength) {
            best = i;
            bestLength = root.size();
        }
    }
    const QSignalBlocker blocker(this);
    setCurrentIndex(best);
}

// ---- DirectoryList ----

DirectoryList::DirectoryList(QWidget* parent) : QTreeWidget(parent) {
    setAccessibleName(QStringLiteral("Directories"));
    setHeaderHidden(true);
    setColumnCount(1);
    setHeaderLabel(accessibleName());  // what a screen reader calls the column
    setRootIsDecorated(false);
    setItemsExpandable(false);
    setIndentation(14);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setMinimumSize(220, 200);
    connect(this, &QTreeWidget::itemActivated, this, [this] { openHighlighted(); });
}

bool DirectoryList::setPath(const QString& directory) {
    QDir dir(directory);
    if (directory.isEmpty() || !dir.exists() || !dir.isReadable()) return false;
    const QString target = QDir::cleanPath(dir.absolutePath());
    dir.setPath(target);
    const QStringList subdirectories =
        dir.entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name | QDir::IgnoreCase);

    // The chain from the root down to the target, each one level deeper than the one above.
    QStringList chain;
    for (QDir up(target);;) {
        chain.prepend(QDir::cleanPath(up.absolutePath()));
        if (up.isRoot() || !up.cdUp()) break;
    }

    clear();
    const QIcon open = style()->standardIcon(QStyle::SP_DirOpenIcon);
    const QIcon closed = style()->standardIcon(QStyle::SP_DirClosedIcon);
    QTreeWidgetItem* parent = nullptr;
    for (const QString& path : chain) {
        const QString name = QFileInfo(path).fileName();
        const QString text = name.isEmpty() ? QDir::toNativeSeparators(path) : name;
        auto* item =
            parent ? new QTreeWidgetItem(parent, {text}) : new QTreeWidgetItem(this, {text});
        item->setData(0, Qt::UserRole, path);
        item->setIcon(0, open);
        parent = item;
    }
    for (const QString& name : subdirectories) {
        auto* item = new QTreeWidgetItem(parent, {name});
        item->setData(0, Qt::UserRole, QDir::cleanPath(dir.filePath(name)));
        item->setIcon(0, closed);
    }
    expandAll();
    setCurrentItem(parent);

    const bool changed = target != path_;
    path_ = target;
    if (changed) emit pathChanged(path_);
    return true;
}

QString DirectoryList::highlightedPath() const {
    const QTreeWidgetItem* item = currentItem();
    return item ? item->data(0, Qt::UserRole).toString() : QString();
}

void DirectoryList::openHighlighted() {
    const QString target = highlightedPath();
    if (target.isEmpty()) return;
    if (!setPath(target)) setPath(path_);  // gone or unreadable: show the current one again
}

void DirectoryList::keyPressEvent(QKeyEvent* event) {
    const QString text = event->text();
    const bool typed = !text.isEmpty() && text.at(0) >= QLatin1Char(' ');
    if (IsEnter(event) || (openOnAnyKey_ && typed)) {
        openHighlighted();
        event->accept();
        return;
    }
    QTreeWidget::keyPressEvent(event);
}

// ---- FileList ----

FileList::FileList(QWidget* parent) : QListWidget(parent) {
    setAccessibleName(QStringLiteral("Files"));
    setSelectionMode(QAbstractItemView::SingleSelection);
    setMinimumSize(220, 200);
}

QStringList FileList::NameFilters(const QString& pattern) {
    QStringList filters;
    for (const QString& part : pattern.split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
        QString p = part.trimmed();
        if (p.isEmpty()) continue;
        // Only * and ? are wildcards in a typed pattern: a bracket is part of a name.
        p.replace(QLatin1Char('['), QStringLiteral("[[]"));
        filters << (p == QStringLiteral("*.*") ? QStringLiteral("*") : p);
    }
    if (filters.isEmpty()) filters << QStringLiteral("*");
    return filters;
}

void FileList::setDirectory(const QString& directory) {
    directory_ = directory;
    refresh();
}

void FileList::setPattern(const QString& pattern) {
    pattern_ = pattern;
    refresh();
}

void FileList::refresh() {
    QStringList names;
    if (!directory_.isEmpty())
        names = QDir(directory_)
                    .entryList(NameFilters(pattern_), QDir::Files, QDir::Name | QDir::IgnoreCase);
    // Unchanged, the items stay: a click refreshes the list, and rebuilding it under the mouse
    // would swallow the double-click that follows.
    QStringList shown;
    for (int i = 0; i < count(); ++i)
        shown << item(i)->text();
    if (names == shown) return;
    const QString kept = selectedName();
    clear();
    for (const QString& name : names) {
        auto* entry = new QListWidgetItem(name, this);
        if (name == kept) setCurrentItem(entry);
    }
}

QString FileList::selectedName() const {
    const QList<QListWidgetItem*> selected = selectedItems();
    return selected.isEmpty() ? QString() : selected.first()->text();
}

QString FileList::selectedPath() const {
    const QString name = selectedName();
    return name.isEmpty() ? QString() : QDir(directory_).filePath(name);
}

void FileList::keyPressEvent(QKeyEvent* event) {
    if (IsEnter(event)) {
        emit enterPressed();
        event->accept();
        return;
    }
    QListWidget::keyPressEvent(event);
}

}  // namespace kx
