#pragma once

#include <QString>
#include <functional>

#include "board/program_port.h"
#include "board/registers.h"
#include "ui/screen_util.h"

class QAction;
class QKeyEvent;
class QLabel;
class QMenuBar;
class QPushButton;

namespace kx {

// How the main menu opens the screens behind its buttons. Each opener shows its screen modally
// over the given parent and returns when it closes. An empty opener is a screen not built yet:
// its button stays disabled.
struct MainMenuOpeners {
    std::function<void(QWidget*parent)> program, readData, noise, reset, readFile, writeFile, about,
        multi, live;
};

}  // namespace kx

// The main menu: every function of the program is reached from here. Closing it, or a
// confirmed "&Quit", ends the program; Escape does not. Alt+P opens the Program Menu; F10 opens
// the "&Printer Port" menu, whose access key is the same.
class MainMenuForm : public kx::ScreenDialog {
    Q_OBJECT
public:
    // boardLine names the port in use and the board behind it, shown in a small line of its own;
    // it is asked again after every printer-port choice.
    MainMenuForm(std::function<QString()> boardLine, kx::MainMenuOpeners openers,
                 QWidget* parent = nullptr);
    // A board line that does not change.
    MainMenuForm(const QString& boardLine, kx::MainMenuOpeners openers, QWidget* parent = nullptr);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void Command2_Click();
    void Command3_Click();
    void Command8_Click();
    void PortEntry_Click(QAction* entry);

    // Check marks from PortAddress: at most one entry checked.
    void ShowPortChecks();

    kx::MainMenuOpeners openers_;
    std::function<QString()> boardLine_;
    Register modeRegister_{kx::ProgramLink()};
    QMenuBar* menuBar_ = nullptr;
    QPushButton* program_ = nullptr;
    QLabel* boardLabel_ = nullptr;
    QAction* mnuLpt1_ = nullptr;
    QAction* mnuLpt2_ = nullptr;
    QAction* mnuPrn_ = nullptr;
};
