#include "app/mainmenuform.h"

#include <QAction>
#include <QGridLayout>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QShortcut>
#include <QShortcutEvent>
#include <QVBoxLayout>

#include "acquisition/read_run.h"
#include "app/shell_logic.h"
#include "board/windows_version.h"
#include "converter/mode_gates.h"
#include "core/globals.h"
#include "core/messages.h"

MainMenuForm::MainMenuForm(const QString& boardLine, kx::MainMenuOpeners openers, QWidget* parent)
    : MainMenuForm([boardLine] { return boardLine; }, std::move(openers), parent) {}

MainMenuForm::MainMenuForm(std::function<QString()> boardLine, kx::MainMenuOpeners openers,
                           QWidget* parent)
    : ScreenDialog(parent), openers_(std::move(openers)), boardLine_(std::move(boardLine)) {
    setObjectName(QStringLiteral("MainMenuForm"));
    setWindowTitle(QStringLiteral("KX3105 Evaluation Software - Main Menu"));

    auto* menuBar = new QMenuBar(this);
    menuBar_ = menuBar;
    menuBar->setObjectName(QStringLiteral("MenuBar"));
    menuBar->setAccessibleName(QStringLiteral("Menu bar"));
    QMenu* printer = menuBar->addMenu(QStringLiteral("&Printer Port"));
    printer->setObjectName(QStringLiteral("MnuPrinter"));
    auto addEntry = [&](const char* name, const QString& caption) {
        QAction* entry = printer->addAction(caption);
        entry->setObjectName(QLatin1String(name));
        entry->setCheckable(true);
        connect(entry, &QAction::triggered, this, [this, entry] { PortEntry_Click(entry); });
        return entry;
    };
    mnuLpt1_ = addEntry("MnuLPT1", QStringLiteral("LPT1"));
    mnuLpt2_ = addEntry("MnuLPT2", QStringLiteral("LPT2"));
    mnuPrn_ = addEntry("MnuPRN", QStringLiteral("PRN"));

    QGroupBox* frame = kx::NamedFrame("Frame1", QStringLiteral("Main Menu"), this);
    auto* program = kx::NamedButton("Command1", QStringLiteral("&Program KX3105"), frame);
    program_ = program;
    auto* readData = kx::NamedButton("Command2", QStringLiteral("Read &Data"), frame);
    auto* noise = kx::NamedButton("Command3", QStringLiteral("&Noise Analysis"), frame);
    auto* multi = kx::NamedButton("Command9", QStringLiteral("Multi - Channel Read"), frame);
    auto* live = kx::NamedButton("LiveViewButton", QStringLiteral("&Live View"), frame);
    auto* reset = kx::NamedButton("Command4", QStringLiteral("Reset &KX3105"), frame);
    auto* readFile = kx::NamedButton("Command5", QStringLiteral("&Read from File"), frame);
    auto* writeFile = kx::NamedButton("Command6", QStringLiteral("&Write to File"), frame);
    auto* about = kx::NamedButton("Command7", QStringLiteral("A&bout"), frame);
    auto* quit = kx::NamedButton("Command8", QStringLiteral("&Quit"), frame);

    // The converter's functions on the left, files and the program itself on the right.
    auto* grid = new QGridLayout(frame);
    grid->setHorizontalSpacing(12);
    QPushButton* const left[] = {program, readData, live, noise, multi, reset};
    QPushButton* const right[] = {readFile, writeFile, about, quit};
    for (int row = 0; row < 6; ++row)
        grid->addWidget(left[row], row, 0);
    for (int row = 0; row < 4; ++row)
        grid->addWidget(right[row], row, 1);
    for (auto* button : frame->findChildren<QPushButton*>())
        button->setMinimumWidth(170);

    auto* board = kx::NamedLabel("BoardLabel", boardLine_(), this);
    boardLabel_ = board;
    QFont small = board->font();
    small.setPointSizeF(small.pointSizeF() * 0.85);
    board->setFont(small);
    board->setForegroundRole(QPalette::PlaceholderText);

    auto* layout = new QVBoxLayout(this);
    layout->setMenuBar(menuBar);
    layout->addWidget(frame);
    layout->addWidget(board);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    kx::WireOpener(program, this, openers_.program);
    kx::WireOpener(reset, this, openers_.reset);
    kx::WireOpener(readFile, this, openers_.readFile);
    kx::WireOpener(writeFile, this, openers_.writeFile);
    kx::WireOpener(about, this, openers_.about);
    kx::WireOpener(multi, this, openers_.multi);
    kx::WireOpener(live, this, openers_.live);
    // Disabled while their screen is not built, so their handlers always have one to open.
    readData->setEnabled(static_cast<bool>(openers_.readData));
    noise->setEnabled(static_cast<bool>(openers_.noise));
    connect(readData, &QPushButton::clicked, this, &MainMenuForm::Command2_Click);
    connect(noise, &QPushButton::clicked, this, &MainMenuForm::Command3_Click);
    connect(quit, &QPushButton::clicked, this, &MainMenuForm::Command8_Click);

    // Alt+P belongs to both "&Program KX3105" and "&Printer Port"; left to Qt it only moves the
    // focus. The screen's main action takes it, and F10 opens the menu as in any menu bar.
    program->installEventFilter(this);
    menuBar->installEventFilter(this);
    auto* f10 = new QShortcut(QKeySequence(Qt::Key_F10), this);
    connect(f10, &QShortcut::activated, this,
            [menuBar, printer] { menuBar->setActiveAction(printer->menuAction()); });

    // Start-up has settled the port address and greyed the entries of other ports.
    mnuLpt1_->setEnabled(kx::PortMenuEnabled.lpt1);
    mnuLpt2_->setEnabled(kx::PortMenuEnabled.lpt2);
    mnuPrn_->setEnabled(kx::PortMenuEnabled.prn);
    ShowPortChecks();
}

void MainMenuForm::keyPressEvent(QKeyEvent* event) {
    // Only the window's close or a confirmed Quit ends the program.
    if (event->matches(QKeySequence::Cancel)) {
        event->accept();
        return;
    }
    ScreenDialog::keyPressEvent(event);
}

bool MainMenuForm::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::Shortcut && (watched == program_ || watched == menuBar_) &&
        static_cast<QShortcutEvent*>(event)->key() == QKeySequence(Qt::ALT | Qt::Key_P)) {
        program_->setFocus(Qt::ShortcutFocusReason);
        program_->animateClick();
        return true;
    }
    return ScreenDialog::eventFilter(watched, event);
}

void MainMenuForm::Command2_Click() {
    if (kx::ContinuousConversionGate(modeRegister_)) openers_.readData(this);
}

void MainMenuForm::Command3_Click() {
    if (kx::RunLengthGate(CodeCount)) openers_.noise(this);
}

void MainMenuForm::Command8_Click() {
    if (kx::ShowMessage("Are you sure you want to quit", kx::Icon::None, kx::Buttons::YesNo) ==
        kx::Answer::Yes)
        accept();
}

void MainMenuForm::PortEntry_Click(QAction* entry) {
    const kx::PortEntry chosen = entry == mnuLpt1_   ? kx::PortEntry::Lpt1
                                 : entry == mnuLpt2_ ? kx::PortEntry::Lpt2
                                                     : kx::PortEntry::Prn;
    // Only the address changes: the new port is neither claimed nor set up.
    PortAddress = kx::AddressOf(chosen);
    ShowPortChecks();
    boardLabel_->setText(boardLine_());
}

void MainMenuForm::ShowPortChecks() {
    const kx::PortEntry current = kx::PortEntryFor(PortAddress);
    mnuLpt1_->setChecked(current == kx::PortEntry::Lpt1);
    mnuLpt2_->setChecked(current == kx::PortEntry::Lpt2);
    mnuPrn_->setChecked(current == kx::PortEntry::Prn);
}
