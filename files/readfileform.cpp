#include "files/readfileform.h"

#include <QDir>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "core/globals.h"
#include "core/messages.h"
#include "files/datafile.h"
#include "files/file_lists.h"
#include "ui/file_chooser.h"
#include "ui/shared_run.h"

ReadFileForm::ReadFileForm(QWidget* parent, const QString& startDirectory) : ScreenDialog(parent) {
    setObjectName(QStringLiteral("ReadFileForm"));
    setWindowTitle(QStringLiteral("KX3105 Evaluation Software - Read Data From File"));

    QLabel* heading = kx::HeadingLabel("Label1", QStringLiteral("Read From File"), this);

    QGroupBox* select = kx::NamedFrame("Frame1", QStringLiteral("Select Data File"), this);
    readDrive_ = new kx::DriveList(select);
    readDrive_->setObjectName(QStringLiteral("ReadDrive"));
    readDir_ = new kx::DirectoryList(select);
    readDir_->setObjectName(QStringLiteral("ReadDir"));
    readDir_->setOpenOnAnyKey(true);
    listRead_ = new kx::FileList(select);
    listRead_->setObjectName(QStringLiteral("ListRead"));
    QLabel* searchCaption = kx::NamedLabel("Label2", QStringLiteral("Search Criteria :"), select);
    searchText_ = new QLineEdit(select);
    searchText_->setObjectName(QStringLiteral("SearchText"));
    searchCaption->setBuddy(searchText_);
    auto* grid = new QGridLayout(select);
    grid->addWidget(readDrive_, 0, 0);
    grid->addWidget(readDir_, 1, 0);
    grid->addWidget(listRead_, 1, 1);
    auto* searchRow = new QHBoxLayout;
    searchRow->addWidget(searchCaption);
    searchRow->addWidget(searchText_, 1);
    grid->addLayout(searchRow, 2, 0, 1, 2);
    // The desktop's own file dialog, beside the lists.
    QPushButton* browse = kx::NamedButton("BrowseButton", QStringLiteral("&Browse..."), select);
    grid->addWidget(browse, 2, 2);

    decOpt_ = new QRadioButton(QStringLiteral("Decimal"), this);
    decOpt_->setObjectName(QStringLiteral("FileReadDecOpt"));
    hexOpt_ = new QRadioButton(QStringLiteral("Hex"), this);
    hexOpt_->setObjectName(QStringLiteral("FileReadHexOpt"));
    auto* formRow = new QHBoxLayout;
    formRow->addWidget(decOpt_);
    formRow->addWidget(hexOpt_);
    formRow->addStretch();

    QPushButton* read = kx::NamedButton("ReadFileCommand", QStringLiteral("&Read File"), this);
    QPushButton* menu = kx::NamedButton("ReadMenuCommand", QStringLiteral("&Main Menu"), this);
    // How many codes the last file gave.
    codesRead_ = kx::NamedLabel("CodesReadLabel", QString(), this);
    kx::ShowLabelValue(codesRead_, QStringLiteral("Codes read:"), {});
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(codesRead_);
    buttons->addStretch();
    buttons->addWidget(read);
    buttons->addWidget(menu);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(heading);
    layout->addWidget(select);
    layout->addLayout(formRow);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    const QString start = startDirectory.isEmpty() ? kx::StartFolder() : startDirectory;
    if (!readDir_->setPath(start)) readDir_->setPath(QDir::currentPath());
    decOpt_->setChecked(true);
    searchText_->setText(QStringLiteral("*.*"));
    listRead_->setPattern(searchText_->text());
    ReadDir_Change();

    connect(readDrive_, &kx::DriveList::driveChanged, this, &ReadFileForm::ReadDrive_Change);
    connect(readDir_, &kx::DirectoryList::pathChanged, this, &ReadFileForm::ReadDir_Change);
    connect(listRead_, &QListWidget::itemClicked, this, &ReadFileForm::ListRead_Click);
    connect(listRead_, &QListWidget::itemDoubleClicked, this, &ReadFileForm::ReadFileCommand_Click);
    connect(listRead_, &kx::FileList::enterPressed, this, &ReadFileForm::ReadFileCommand_Click);
    kx::OnEnter(searchText_, [this] { ListRead_Click(); });
    connect(read, &QPushButton::clicked, this, &ReadFileForm::ReadFileCommand_Click);
    connect(browse, &QPushButton::clicked, this, &ReadFileForm::Browse_Click);
    connect(menu, &QPushButton::clicked, this, &QDialog::reject);
}

void ReadFileForm::ReadDrive_Change() {
    kx::FollowDrive(readDrive_, readDir_);
}

void ReadFileForm::ReadDir_Change() {
    kx::FollowDirectory(readDir_, listRead_, readDrive_);
    kx::RememberFolder(readDir_->path());
}

void ReadFileForm::ListRead_Click() {
    listRead_->setPattern(searchText_->text());
}

void ReadFileForm::ReadFileCommand_Click() {
    QDir::setCurrent(readDir_->path());
    readDrive_->showDriveOf(readDir_->path());
    failed_ = false;
    kx::ShowLabelValue(codesRead_, QStringLiteral("Codes read:"), {});
    const QString path = listRead_->selectedPath();
    if (path.isEmpty()) {
        failed_ = true;  // nothing selected: nothing to say
        return;
    }
    ReadPath(path);
}

// The lists move to the folder of the file chosen in the dialog, which is then read as a file
// chosen in the list is, whatever the search pattern shows.
void ReadFileForm::Browse_Click() {
    const QString chosen = kx::AskForFile(this, kx::FileDialogKind::OpenData, readDir_->path());
    if (chosen.isEmpty()) return;
    const QFileInfo file(chosen);
    if (file.absolutePath() != readDir_->path() && !readDir_->setPath(file.absolutePath())) return;
    QDir::setCurrent(readDir_->path());
    const QList<QListWidgetItem*> shown = listRead_->findItems(file.fileName(), Qt::MatchExactly);
    if (!shown.isEmpty()) listRead_->setCurrentItem(shown.first());
    failed_ = false;
    kx::ShowLabelValue(codesRead_, QStringLiteral("Codes read:"), {});
    ReadPath(file.absoluteFilePath());
}

void ReadFileForm::ReadPath(const QString& path) {
    const auto form = hexOpt_->isChecked() ? kx::datafile::Form::Hex : kx::datafile::Form::Decimal;
    kx::datafile::ReadResult result =
        kx::datafile::ReadRunFile(QFileInfo(path).filesystemFilePath(), form);
    switch (result.status) {
        case kx::datafile::ReadStatus::Loaded: {
            // Only a file read whole replaces the run; the reference voltage stays. A data file
            // says nothing of how its codes were taken.
            kx::Run run;
            run.referenceVolts = ReferenceVoltage;
            run.codes = kx::datafile::CodesOf(result.run);
            kx::PublishRun(run, run.codes.size());
            kx::ShowLabelValue(codesRead_, QStringLiteral("Codes read:"),
                               QStringLiteral("%1 %2 read from %3")
                                   .arg(run.codes.size())
                                   .arg(run.codes.size() == 1 ? "code" : "codes")
                                   .arg(QFileInfo(path).fileName()));
            break;
        }
        case kx::datafile::ReadStatus::CannotOpen:
        case kx::datafile::ReadStatus::Empty:
            failed_ = true;
            break;
        case kx::datafile::ReadStatus::TooManyCodes:
            kx::ShowMessage(TooManyCodesText, kx::Icon::Warning);
            failed_ = true;
            break;
        case kx::datafile::ReadStatus::BadLine:
            kx::ShowMessage("Error Reading File", kx::Icon::Warning);
            failed_ = true;
            break;
    }
    if (!failed_) kx::ShowMessage("File Successfully Read", kx::Icon::Information);
}
