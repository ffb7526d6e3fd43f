#include "files/writefileform.h"

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

#include "core/messages.h"
#include "core/safe_file.h"
#include "files/datafile.h"
#include "files/file_lists.h"
#include "ui/file_chooser.h"

namespace {

constexpr const char* ReplaceQuestion = "File already exists. Replace it?";

}  // namespace

WriteFileForm::WriteFileForm(kx::Run run, QWidget* parent)
    : ScreenDialog(parent), run_(std::move(run)) {
    setObjectName(QStringLiteral("WriteFileForm"));
    setWindowTitle(QStringLiteral("KX3105 Evaluation Software - Write Data to File"));

    QLabel* heading = kx::HeadingLabel("Label1", QStringLiteral("Write to File"), this);

    QGroupBox* location = kx::NamedFrame("Frame1", QStringLiteral("Select File Location"), this);
    writeDrive_ = new kx::DriveList(location);
    writeDrive_->setObjectName(QStringLiteral("WriteDrive"));
    writeDir_ = new kx::DirectoryList(location);
    writeDir_->setObjectName(QStringLiteral("WriteDir"));
    writeList_ = new kx::FileList(location);
    writeList_->setObjectName(QStringLiteral("WriteList"));
    QLabel* nameCaption = kx::NamedLabel("Label2", QStringLiteral("Save file as:"), location);
    fileName_ = new QLineEdit(location);
    fileName_->setObjectName(QStringLiteral("FileName"));
    nameCaption->setBuddy(fileName_);
    auto* grid = new QGridLayout(location);
    grid->addWidget(writeDrive_, 0, 0);
    grid->addWidget(writeDir_, 1, 0);
    grid->addWidget(writeList_, 1, 1);
    grid->addWidget(nameCaption, 2, 0);
    grid->addWidget(fileName_, 3, 0, 1, 2);

    QGroupBox* form = kx::NamedFrame("Frame2", QStringLiteral("Save Data as"), this);
    decimalOpt_ = new QRadioButton(QStringLiteral("Decimal"), form);
    decimalOpt_->setObjectName(QStringLiteral("DecimalOpt"));
    hexOpt_ = new QRadioButton(QStringLiteral("Hex"), form);
    hexOpt_->setObjectName(QStringLiteral("HexOpt"));
    auto* formRow = new QHBoxLayout(form);
    formRow->addWidget(decimalOpt_);
    formRow->addWidget(hexOpt_);
    formRow->addStretch();

    // The desktop's own file dialog, beside the lists.
    QPushButton* browse = kx::NamedButton("BrowseButton", QStringLiteral("&Browse..."), location);
    grid->addWidget(browse, 3, 2);

    QPushButton* save = kx::NamedButton("Command1", QStringLiteral("&Save File"), this);
    QPushButton* menu = kx::NamedButton("Command2", QStringLiteral("&Main Menu"), this);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(save);
    buttons->addWidget(menu);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(heading);
    layout->addWidget(location);
    layout->addWidget(form);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    // The lists start in the folder last used, else in the user's documents or home folder.
    if (!writeDir_->setPath(kx::StartFolder())) writeDir_->setPath(QDir::currentPath());
    WriteDir_Change();
    decimalOpt_->setChecked(true);
    fileName_->setText(QStringLiteral("Default.dat"));

    connect(writeDrive_, &kx::DriveList::driveChanged, this, &WriteFileForm::WriteDrive_Change);
    connect(writeDir_, &kx::DirectoryList::pathChanged, this, &WriteFileForm::WriteDir_Change);
    connect(writeList_, &QListWidget::itemClicked, this, &WriteFileForm::WriteList_Click);
    connect(writeList_, &kx::FileList::enterPressed, this, &WriteFileForm::WriteList_Click);
    kx::OnEnter(fileName_, [this] { Command1_Click(); });
    connect(save, &QPushButton::clicked, this, &WriteFileForm::Command1_Click);
    connect(browse, &QPushButton::clicked, this, &WriteFileForm::Browse_Click);
    connect(menu, &QPushButton::clicked, this, &QDialog::reject);
}

void WriteFileForm::WriteDrive_Change() {
    kx::FollowDrive(writeDrive_, writeDir_);
}

void WriteFileForm::WriteDir_Change() {
    kx::FollowDirectory(writeDir_, writeList_, writeDrive_);
    kx::RememberFolder(writeDir_->path());
}

// The dialog's choice becomes the lists' folder and the name box's name, then is saved as
// "&Save File" saves it (asking before it replaces a file).
void WriteFileForm::Browse_Click() {
    const QString chosen =
        kx::AskForFile(this, kx::FileDialogKind::SaveData,
                       QDir(writeDir_->path()).filePath(fileName_->text().trimmed()));
    if (chosen.isEmpty()) return;
    const QFileInfo file(chosen);
    if (file.absolutePath() != writeDir_->path() && !writeDir_->setPath(file.absolutePath()))
        return;
    fileName_->setText(file.fileName());
    Command1_Click();
}

void WriteFileForm::WriteList_Click() {
    writeList_->refresh();
}

void WriteFileForm::Command1_Click() {
    failed_ = false;
    const QString name = fileName_->text();
    // A bare name lands in the directory the list shows, which the process follows. Blanks alone
    // name no file.
    const std::filesystem::path path =
        name.trimmed().isEmpty()
            ? std::filesystem::path()
            : QFileInfo(QDir(writeDir_->path()).filePath(name)).filesystemFilePath();
    const auto form = hexOpt_->isChecked() ? kx::datafile::Form::Hex : kx::datafile::Form::Decimal;
    // A FIFO, directory or device is refused before the question: a FIFO would block the save.
    const bool target = kx::files::IsSaveTarget(path.string());
    std::error_code error;
    if (target && std::filesystem::exists(path, error) &&
        kx::ShowMessage(ReplaceQuestion, kx::Icon::Question, kx::Buttons::YesNo) != kx::Answer::Yes)
        return;
    const auto status = target ? kx::datafile::WriteRunFile(path, run_.codes, form)
                               : kx::datafile::WriteStatus::CannotCreate;
    switch (status) {
        case kx::datafile::WriteStatus::Written:
            break;
        case kx::datafile::WriteStatus::CannotCreate:
            kx::ShowMessage("Error creating File");
            failed_ = true;
            break;
        case kx::datafile::WriteStatus::WriteFailed:
            kx::ShowMessage("Error Creating File");
            failed_ = true;
            break;
    }
    writeList_->refresh();
    if (!failed_) kx::ShowMessage("File Written Successfully");
}
