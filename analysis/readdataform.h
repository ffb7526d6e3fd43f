#pragma once

#include <QLineEdit>
#include <QPointer>
#include <functional>

#include "ui/screen_util.h"

namespace kx {
class BoardRunner;
}

class QLabel;
class QProgressBar;
class QPushButton;

namespace kx {

// The line that takes the keyboard during a read: any key that types a character asks the read
// to stop. It lies outside the visible part of the window.
class StopKeyEdit : public QLineEdit {
    Q_OBJECT
public:
    using QLineEdit::QLineEdit;

signals:
    void stopRequested();

protected:
    void keyPressEvent(QKeyEvent* event) override;
};

// An entry field that keeps Enter to itself: it acts on it through returnPressed, and the
// dialog's default button must not act on it a second time.
class EntryEdit : public QLineEdit {
    Q_OBJECT
public:
    using QLineEdit::QLineEdit;

protected:
    void keyPressEvent(QKeyEvent* event) override;
};

}  // namespace kx

// Reads runs of codes from the converter's data register: a run for analysis into the shared
// sample buffer, or the latest code continuously for display. Holds the reference voltage the
// analysis scales with.
class ReadDataForm : public kx::ScreenDialog {
    Q_OBJECT
public:
    // `noise` opens the noise analysis once the run-length gate passes; empty opens a NoiseForm
    // with its plot buttons disabled.
    explicit ReadDataForm(std::function<void(QWidget*)> noise = {}, QWidget* parent = nullptr);
    ~ReadDataForm() override;

    // The worker that does the screen's board work.
    kx::BoardRunner& runner() const { return *runner_; }

    // "Live View" opens the live view over this screen; without an opener the button stays
    // disabled.
    void SetLiveView(std::function<void(QWidget*)> opener);

signals:
    // A read for analysis stored its code number `count` (the progress bar follows less often).
    void codeRead(int count);

public slots:
    // During a read Escape stops it and leaves the screen open; the close box stops the read,
    // waits for its worker and then closes.
    void reject() override;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void Command1_Click();
    void Command2_Click();
    void Command3_Click();
    void Text1_KeyPress();
    void RefText_Enter();
    void Refuse(QLineEdit* field);
    void Stop_Click();
    void SetReading(bool on);
    void CodeStored(int count);

    std::function<void(QWidget*)> noise_;
    QPointer<QWidget> focusBefore_;
    kx::BoardRunner* runner_ = nullptr;
    qint64 progressShownAt_ = 0;
    qint64 readStartedAt_ = 0;
    int requested_ = 0;

    QLineEdit* numCodes_ = nullptr;
    QLineEdit* delay_ = nullptr;
    QLineEdit* currentCode_ = nullptr;
    QLineEdit* ref_ = nullptr;
    QLabel* readingLabel_ = nullptr;
    QProgressBar* progress_ = nullptr;
    QLabel* timeLeft_ = nullptr;  // beside the bar while a slow read runs
    QLabel* status_ = nullptr;    // how the last read for analysis ended
    kx::StopKeyEdit* text1_ = nullptr;
    QPushButton* read_ = nullptr;
    QPushButton* display_ = nullptr;
    QPushButton* noiseButton_ = nullptr;
    QPushButton* stop_ = nullptr;
    QPushButton* live_ = nullptr;
    bool liveOpener_ = false;
    QPushButton* back_ = nullptr;
};
